#pragma once
// CFont: a font resource as stored in the game data — the system font it was made from, its character range, the
// glyph table and the coverage atlas. The atlas texture is made by the graphics code.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

class CStream;

// One character's cell in the atlas and its metrics.
struct RGlyph {
  int x = 0, y = 0;            // cell position in the atlas
  int width = 0, height = 0;   // cell size
  int advance = 0;             // distance to the next character's pen position
  int offset = 0;              // horizontal offset of the cell from the pen position
  bool operator==(const RGlyph&) const = default;
};

struct CFont {
  static constexpr int32_t kRecordVersion = 540;

  std::string name;            // system font name (empty for a sprite font)
  int size = 12;               // point size
  bool bold = false, italic = false;
  int first = 32, last = 128;  // character range
  int sprite = -1;             // sprite index of a sprite font; never stored
  std::array<RGlyph, 256> glyphs{};
  int atlasWidth = 0, atlasHeight = 0;
  std::vector<uint8_t> atlas;  // atlasWidth * atlasHeight coverage bytes, rows top first

  // False for a wrong record version or a negative atlas size; truncation (also an atlas block holding fewer than
  // atlasWidth * atlasHeight bytes) throws StreamError.
  bool Read(CStream& s);
  void Write(CStream& s) const;

  bool operator==(const CFont&) const = default;
};

}  // namespace kv
