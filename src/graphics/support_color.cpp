#include "graphics/support_color.h"

#include <algorithm>
#include <cmath>

#include "graphics/graphics_support.h"

namespace kv::gfx {

int MakeColourRgb(double r, double g, double b) {
  // Wrapping arithmetic like the 32-bit original; saturating rounding keeps it defined for any real.
  uint32_t v = static_cast<uint32_t>(RoundToInt(r)) + static_cast<uint32_t>(RoundToInt(g)) * 256u +
               static_cast<uint32_t>(RoundToInt(b)) * 65536u;
  return static_cast<int>(v);
}

// The byte of a colour at a bit position.
static int Byte(int v, int shift) { return static_cast<int>((static_cast<uint32_t>(v) >> shift) & 255u); }

// Integer division and remainder truncate toward zero, as the game-facing functions always have.
int ColourGetRed(double c) { return RoundToInt(c) % 256; }
int ColourGetGreen(double c) { return (RoundToInt(c) / 256) % 256; }
int ColourGetBlue(double c) { return (RoundToInt(c) / 65536) % 256; }

int MakeColourHsv(double h, double s, double v) {
  double H = (RoundToInt(h) & 255) * 360.0 / 255.0;
  if (H >= 360.0) H = 0.0;
  double S = (RoundToInt(s) & 255) / 255.0, V = (RoundToInt(v) & 255) / 255.0;
  double R, G, B;
  if (S == 0.0) {
    R = G = B = V;
  } else {
    int i = static_cast<int>(H / 60.0);
    double f = H / 60.0 - i;
    double p = V * (1 - S), q = V * (1 - S * f), t = V * (1 - S * (1 - f));
    switch (i) {
      case 0: R = V, G = t, B = p; break;
      case 1: R = q, G = V, B = p; break;
      case 2: R = p, G = V, B = t; break;
      case 3: R = p, G = q, B = V; break;
      case 4: R = t, G = p, B = V; break;
      default: R = V, G = p, B = q; break;
    }
  }
  auto byte = [](double x) { return static_cast<int>(x * 255.0); };
  return byte(R) | (byte(G) << 8) | (byte(B) << 16);
}

namespace {
struct Hsv {
  int h, s, v;
};
Hsv ToHsv(double colour) {
  int c = RoundToInt(colour);
  double r = Byte(c, 0) / 255.0, g = Byte(c, 8) / 255.0, b = Byte(c, 16) / 255.0;
  double M = std::max({r, g, b}), m = std::min({r, g, b}), d = M - m;
  Hsv out;
  out.v = static_cast<int>(M * 255.0);
  double sat = M == 0.0 ? 0.0 : d / M;
  out.s = static_cast<int>(sat * 255.0);
  double hue = 0.0;
  if (out.s != 0 && d > 0.0) {
    if (r == M) hue = (g - b) * 60.0 / d;
    else if (g == M) hue = (b - r) * 60.0 / d + 120.0;
    else hue = (r - g) * 60.0 / d + 240.0;
    if (hue < 0) hue += 360.0;
  }
  out.h = static_cast<int>(hue * 255.0 / 360.0);
  return out;
}
}  // namespace

int ColourGetHue(double c) { return ToHsv(c).h; }
int ColourGetSaturation(double c) { return ToHsv(c).s; }
int ColourGetValue(double c) { return ToHsv(c).v; }

int MergeColour(int c1, int c2, double t) {
  int out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    double a = Byte(c1, shift), b = Byte(c2, shift);
    int ch = RoundToInt((1.0 - t) * a + t * b);
    out |= (ch & 255) << shift;
  }
  return out;
}

}  // namespace kv::gfx
