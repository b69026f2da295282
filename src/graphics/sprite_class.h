#pragma once
// CSprite: an animated image resource as stored in the game data — frames of equal size, origin, bounding box and
// the options the frames were made with. Masks and textures are built from these fields by the graphics code.
#include <cstdint>
#include <vector>

#include "graphics/bitmap32.h"

namespace kv {

class CStream;

struct CSprite {
  static constexpr int32_t kRecordVersion = 542;

  int bboxKind = 0;  // 0 automatic, 1 full image, 2 manual
  int bboxLeft = 0, bboxTop = 0, bboxRight = 0, bboxBottom = 0;  // inclusive frame pixel coordinates
  int width = 1, height = 1;  // size of every frame
  int xOrigin = 0, yOrigin = 0;
  bool precise = true;
  bool transparent = true;
  bool smooth = false;
  bool preload = true;
  std::vector<CBitmap32> frames;

  int FrameCount() const { return static_cast<int>(frames.size()); }

  // False for a wrong record version; truncation and impossible frame counts throw StreamError.
  bool Read(CStream& s);
  void Write(CStream& s) const;

  bool operator==(const CSprite&) const = default;
};

}  // namespace kv
