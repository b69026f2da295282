#pragma once
// The line format of a kvpack manifest (game.kvp): sections "[kind NAME]" holding "key = value" entries and bare
// lines. Comments are lines whose first non-blank character is '#' or ';'. See tools/kvpack/README.md.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kv::pack {

// A project error with the place it was found ("game.kvp:12: ..."); kvpack prints it and exits 1.
struct PackError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct ManifestEntry {
  int line = 0;
  std::string key;    // text before the first '=', trimmed; the whole line for a bare line
  std::string value;  // text after '=', trimmed, one pair of surrounding double quotes removed
  std::string rawValue;  // text after '=', trimmed, quotes kept (constants are source text)
  bool hasValue = false;
};

struct ManifestSection {
  int line = 0;
  std::string kind;  // "settings", "object", ...
  std::string name;  // the rest of the header, trimmed ("" when none)
  std::vector<ManifestEntry> entries;
};

struct Manifest {
  std::string fileName;  // for messages
  std::vector<ManifestSection> sections;

  [[noreturn]] void Fail(int line, std::string_view message) const;
};

Manifest ParseManifest(std::string_view text, std::string fileName);

// Value parsers; each throws PackError naming the line on bad input.
bool ParseBool(const Manifest& m, const ManifestEntry& e);
int32_t ParseInt(const Manifest& m, const ManifestEntry& e, std::string_view text);
double ParseReal(const Manifest& m, const ManifestEntry& e, std::string_view text);
std::optional<int32_t> TryParseInt(std::string_view text);  // decimal, optional sign, or 0x hex

// Splits on blanks; a word may be double-quoted to hold blanks.
std::vector<std::string> SplitWords(std::string_view text);

std::string_view Trim(std::string_view s);
// Where a trailing comment starts: a '#' with a blank before it and a blank (or the line end) after it, outside
// '…' and "…" quotes (so "#RRGGBB" colours and quoted texts keep theirs); the line's size when there is none.
size_t TrailingCommentStart(std::string_view line);

}  // namespace kv::pack
