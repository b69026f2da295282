// Sprites drawn as text for the sprite tests: '#' is an opaque pixel, '.' a transparent one; every string is a row.
#pragma once

#include <string>
#include <vector>

#include "graphics/sprite_class.h"

namespace kv::test {

inline CBitmap32 ArtFrame(const std::vector<std::string>& rows, uint32_t ink = 0xFF204060u) {
  const int h = static_cast<int>(rows.size()), w = h ? static_cast<int>(rows[0].size()) : 0;
  CBitmap32 b = CBitmap32::Make(w, h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == '#') b.pixels[static_cast<size_t>(y) * w + x] = ink;
  return b;
}

// A precise, transparent sprite with an automatic box and built masks.
inline CSprite ArtSprite(const std::vector<std::vector<std::string>>& frames, int xorigin = 0, int yorigin = 0) {
  CSprite s;
  for (const auto& f : frames) s.frames.push_back(ArtFrame(f));
  s.width = s.frames.empty() ? 1 : s.frames[0].width;
  s.height = s.frames.empty() ? 1 : s.frames[0].height;
  s.xOrigin = xorigin;
  s.yOrigin = yorigin;
  s.ComputeBoundingBox();
  s.BuildMasks();
  return s;
}

}  // namespace kv::test
