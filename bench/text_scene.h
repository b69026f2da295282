// Tile and text benchmark scenes, shared by our driver (gbench_text.cpp) and, as numbers, by the LÖVE twin in
// text_love/main.lua: 128 × 128 tiles of 16 × 16 from one 256 × 256 background, and 500 strings of 20 glyphs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv::bench::text {

constexpr int kWidth = 640, kHeight = 480, kWarmup = 20, kFrames = 100;
constexpr int kTileGrid = 128, kTileSize = 16, kSheet = 256;
constexpr int kStrings = 500;

struct TilePlace {
  double x, y;
  int left, top;
};
inline TilePlace Tile(int k, int frame) {
  TilePlace t;
  t.x = (k % kTileGrid) * 5 - (frame % 16);
  t.y = (k / kTileGrid) * 3.75;
  t.left = (k * kTileSize) % kSheet;
  t.top = ((k / 16) * kTileSize) % kSheet;
  return t;
}

// The tile sheet: 16 × 16 cells, each a framed square of its own colour (0xAARRGGBB, top row first).
inline std::vector<uint32_t> SheetPixels() {
  std::vector<uint32_t> px(kSheet * kSheet);
  for (int y = 0; y < kSheet; ++y)
    for (int x = 0; x < kSheet; ++x) {
      int cell = (y / 16) * 16 + x / 16;
      bool edge = x % 16 == 0 || y % 16 == 0 || x % 16 == 15 || y % 16 == 15;
      uint32_t r = (cell * 37) & 255, g = (cell * 91) & 255, b = 128 + (cell & 127);
      px[y * kSheet + x] = edge ? 0xFF101010u : 0xFF000000u | r << 16 | g << 8 | b;
    }
  return px;
}

struct TextPlace {
  double x, y;
  std::string text;  // 20 glyphs
};
inline TextPlace Text(int i, int frame) {
  TextPlace t;
  t.x = (i * 37 + frame) % 560;
  t.y = (i * 13) % 460;
  std::string n = std::to_string(10000 + (i * 7919 + frame) % 90000);
  t.text = "Score " + n + " fps 60.00";  // 6 + 5 + 9 = 20
  return t;
}

}  // namespace kv::bench::text
