#pragma once
// CBackground: a single-image resource (room layers, tile sets) as stored in the game data. The texture is made
// from the image by the graphics code.
#include <cstdint>
#include <optional>

#include "graphics/bitmap32.h"

namespace kv {

class CStream;

struct CBackground {
  static constexpr int32_t kRecordVersion = 543;

  int width = 0, height = 0;
  std::optional<CBitmap32> image;  // none when the record has no image
  bool transparent = false;
  bool smooth = false;
  bool preload = true;

  // False for a wrong record version; truncation throws StreamError.
  bool Read(CStream& s);
  void Write(CStream& s) const;

  bool operator==(const CBackground&) const = default;
};

}  // namespace kv
