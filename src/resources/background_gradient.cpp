#include "resources/background_gradient.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "graphics/graphics_support.h"

namespace kv {

namespace {

// Large enough for any background a game can draw, small enough that a typo in a size cannot exhaust memory.
constexpr int64_t kMaxGradientPixels = int64_t{16384} * 16384;

int Mix(int c1, int c2, double t) {
  int out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int a = (c1 >> shift) & 255, b = (c2 >> shift) & 255;
    const int v = std::clamp(static_cast<int>(std::lround((1 - t) * a + t * b)), 0, 255);
    out |= v << shift;
  }
  return out;
}

struct Painter {
  CBitmap32& b;
  int c1, c2;
  uint32_t Colour(int step, int steps) const {
    const double t = steps > 0 ? static_cast<double>(step) / steps : 0.0;
    return gfx::DeviceColour(Mix(c1, c2, t), 1.0);
  }
  void Column(int x, uint32_t c) {
    if (x < 0 || x >= b.width) return;
    for (int y = 0; y < b.height; ++y) b.pixels[static_cast<size_t>(y) * b.width + x] = c;
  }
  void Row(int y, uint32_t c) {
    if (y < 0 || y >= b.height) return;
    std::fill_n(b.pixels.begin() + static_cast<ptrdiff_t>(y) * b.width, b.width, c);
  }
  // The box [left, right) × [top, bottom), filled, or only the pixels whose centres lie in its inscribed ellipse.
  void Box(int left, int top, int right, int bottom, uint32_t c, bool ellipse) {
    const double cx = (left + right) / 2.0, cy = (top + bottom) / 2.0;
    const double rx = (right - left) / 2.0, ry = (bottom - top) / 2.0;
    for (int y = std::max(0, top); y < std::min(b.height, bottom); ++y)
      for (int x = std::max(0, left); x < std::min(b.width, right); ++x) {
        if (ellipse) {
          const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
          if (dx * dx + dy * dy > 1.0) continue;
        }
        b.pixels[static_cast<size_t>(y) * b.width + x] = c;
      }
  }
};

}  // namespace

CBitmap32 GradientImage(int width, int height, int kind, int colour1, int colour2) {
  width = std::max(1, width);
  height = std::max(1, height);
  if (static_cast<int64_t>(width) * height > kMaxGradientPixels) width = height = 1;
  CBitmap32 b = CBitmap32::Make(width, height, 0xFF000000u);
  Painter p{b, colour1, colour2};
  const int n = std::min(width, height) / 2;
  switch (kind) {
    case 0:
      for (int i = 0; i < width; ++i) p.Column(i, p.Colour(i, width));
      break;
    case 1:
      for (int i = 0; i < height; ++i) p.Row(i, p.Colour(i, height));
      break;
    case 2:
    case 3:
      if (kind == 3) p.Box(0, 0, width, height, p.Colour(0, 1), false);
      for (int g = 0; g <= n; ++g) p.Box(g, g, width - g, height - g, p.Colour(g, n), kind == 3);
      break;
    case 4: {
      const int m = width / 2;
      for (int i = 0; i <= m; ++i) {
        p.Column(i, p.Colour(i, m));
        p.Column(width - i, p.Colour(i, m));
      }
      break;
    }
    case 5: {
      const int m = height / 2;
      for (int i = 0; i <= m; ++i) {
        p.Row(i, p.Colour(i, m));
        p.Row(height - i, p.Colour(i, m));
      }
      break;
    }
    default:
      break;
  }
  return b;
}

}  // namespace kv
