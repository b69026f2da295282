#pragma once
// CScript: a script resource as stored in the game data. The text block is kept as stored (substituted with a
// fixed seed, so the source is not kept in plain form); Text() recovers the source.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class CStream;

struct CScript {
  static constexpr int32_t kRecordVersion = 400;
  static constexpr int32_t kTextSeed = 52719;

  std::vector<uint8_t> textBlock;  // the inflated block as stored: one string primitive, substituted

  // The source text: a copy of the block with the substitution undone, read as one string ("" for an empty
  // block). A block too short for its string throws StreamError.
  std::string Text() const;
  // Builds the stored block for the given source text (writers and runtime-made scripts).
  void SetText(std::string_view text);

  // False for a wrong record version; truncation, a bad compressed block or a block that does not hold its whole
  // string throws StreamError.
  bool Read(CStream& s);
  void Write(CStream& s) const;

  bool operator==(const CScript&) const = default;
};

}  // namespace kv
