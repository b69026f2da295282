// The drawing benchmark scene, shared by our driver and (as numbers) by the LÖVE twin in draw_love/main.lua:
// 10,000 rotated, alpha-blended 32×32 sprites per frame, from one texture or from 16 in depth order.
#pragma once

#include <cstdint>
#include <vector>

namespace kv::bench {

constexpr int kSprites = 10000, kWidth = 640, kHeight = 480, kWarmup = 20, kFrames = 200;
constexpr uint32_t kBackground = 0xFF303030u;

struct SpritePlace {
  double x, y, angleDeg;
  int texture;
};
// Same formula as draw_love/main.lua.
inline SpritePlace Place(int i, int frame, int textures) {
  SpritePlace p;
  p.x = (i * 37 + frame * 3) % kWidth;
  p.y = (i * 71 + frame * 2) % kHeight;
  p.angleDeg = (i * 7 + frame * 5) % 360;
  p.texture = i % textures;
  return p;
}

// Texture k: a disc with a soft edge, tinted per texture (0xAARRGGBB, top row first).
inline std::vector<uint32_t> SpritePixels(int k) {
  std::vector<uint32_t> px(32 * 32);
  uint32_t r = 80 + (k * 53) % 176, g = 80 + (k * 97) % 176, b = 80 + (k * 151) % 176;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      double dx = x - 15.5, dy = y - 15.5, d = dx * dx + dy * dy;
      uint32_t a = d < 196 ? 255 : d < 256 ? 128 : 0;
      px[y * 32 + x] = (a << 24) | (((x * 8) ^ r) & 255) << 16 | (g << 8) | ((y * 8 + b) & 255);
    }
  return px;
}

}  // namespace kv::bench
