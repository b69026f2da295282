#pragma once
// CBitmap32: a plain 32-bit pixel array (0xAARRGGBB, row-major, top row first) as stored in the game data and
// owned by sprites, backgrounds and fonts. Also decodes and encodes the BMP files embedded in the settings block.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kv {

class CStream;

struct CBitmap32 {
  static constexpr int32_t kRecordVersion = 540;

  bool exists = false;
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;

  static CBitmap32 Make(int width, int height, uint32_t fill = 0);

  // Stored record: int version (540, anything else leaves the bitmap empty and reads nothing more), bool exists,
  // then int width, int height and a compressed block of width * height pixels. A pixel block shorter than
  // width * height * 4 bytes, or a negative size, throws StreamError.
  static CBitmap32 FromStream(CStream& s);
  void Write(CStream& s) const;

  // A BMP file: 1/4/8-bit palettes, 16/24/32-bit (plain or bit fields, 32-bit honours an alpha mask).
  // Uncompressed only; anything else (RLE, PNG/JPEG payloads, bad sizes) gives nullopt.
  static std::optional<CBitmap32> DecodeBmp(const uint8_t* data, size_t size);
  // 32-bit BMP with a version-4 header and an alpha mask, so DecodeBmp restores every pixel exactly.
  std::vector<uint8_t> EncodeBmp() const;

  uint32_t Pixel(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  bool operator==(const CBitmap32&) const = default;
};

}  // namespace kv
