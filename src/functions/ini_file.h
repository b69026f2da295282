#pragma once
// An ini file in memory: "[section]" headers, "key=value" lines, ";" comments. Sections and keys compare without
// regard to letter case; the first of duplicate sections or keys is the one read and written. Every other line is
// kept as it was, so writing a value changes only that value's line.
#include <string>
#include <vector>

namespace kv {

class IniFile {
 public:
  // Replaces the content with the given text (line ends CR LF, LF or CR).
  void Parse(const std::string& text);
  // The text to store: every line followed by CR LF.
  std::string Serialize() const;

  // The trimmed value with one pair of enclosing quotes removed; false when the key is missing.
  bool Read(const std::string& section, const std::string& key, std::string& value) const;
  bool KeyExists(const std::string& section, const std::string& key) const;
  bool SectionExists(const std::string& section) const;
  // Replaces the value of an existing key, or adds the key at the end of its section (adding the section at the
  // end of the file when it is missing).
  void Write(const std::string& section, const std::string& key, const std::string& value);
  // False when there was nothing to delete.
  bool DeleteKey(const std::string& section, const std::string& key);
  bool DeleteSection(const std::string& section);

 private:
  struct Line {
    enum class Kind { Other, Section, Key } kind = Kind::Other;
    std::string text;  // the line as stored
    std::string name;  // section or key name, trimmed
  };
  // Index of the first header of section, or -1.
  int FindSection(const std::string& section) const;
  // One past the last line of the section that starts at header index h.
  size_t SectionEnd(size_t h) const;
  int FindKey(const std::string& section, const std::string& key) const;

  std::vector<Line> lines_;
};

}  // namespace kv
