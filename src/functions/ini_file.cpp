#include "functions/ini_file.h"

#include <strings.h>

namespace kv {
namespace {

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
  return s.substr(a, b - a);
}

bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

}  // namespace

void IniFile::Parse(const std::string& text) {
  lines_.clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    Line line;
    line.text = text.substr(start, end - start);
    const std::string t = Trim(line.text);
    if (!t.empty() && t[0] == '[') {
      const size_t close = t.find(']');
      line.kind = Line::Kind::Section;
      line.name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    } else if (!t.empty() && t[0] != ';') {
      const size_t eq = t.find('=');
      if (eq != std::string::npos) {
        line.kind = Line::Kind::Key;
        line.name = Trim(t.substr(0, eq));
      }
    }
    lines_.push_back(std::move(line));
    start = end;
    if (start < text.size() && text[start] == '\r') ++start;
    if (start < text.size() && text[start] == '\n') ++start;
  }
}

std::string IniFile::Serialize() const {
  std::string out;
  for (const Line& l : lines_) {
    out += l.text;
    out += "\r\n";
  }
  return out;
}

int IniFile::FindSection(const std::string& section) const {
  const std::string want = Trim(section);
  for (size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].kind == Line::Kind::Section && SameName(lines_[i].name, want)) return static_cast<int>(i);
  return -1;
}

size_t IniFile::SectionEnd(size_t h) const {
  size_t i = h + 1;
  while (i < lines_.size() && lines_[i].kind != Line::Kind::Section) ++i;
  return i;
}

int IniFile::FindKey(const std::string& section, const std::string& key) const {
  const int h = FindSection(section);
  if (h < 0) return -1;
  const std::string want = Trim(key);
  const size_t end = SectionEnd(static_cast<size_t>(h));
  for (size_t i = static_cast<size_t>(h) + 1; i < end; ++i)
    if (lines_[i].kind == Line::Kind::Key && SameName(lines_[i].name, want)) return static_cast<int>(i);
  return -1;
}

bool IniFile::Read(const std::string& section, const std::string& key, std::string& value) const {
  const int i = FindKey(section, key);
  if (i < 0) return false;
  const std::string& text = lines_[static_cast<size_t>(i)].text;
  std::string v = Trim(text.substr(text.find('=') + 1));
  if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
  value = std::move(v);
  return true;
}

bool IniFile::KeyExists(const std::string& section, const std::string& key) const {
  return FindKey(section, key) >= 0;
}

bool IniFile::SectionExists(const std::string& section) const { return FindSection(section) >= 0; }

void IniFile::Write(const std::string& section, const std::string& key, const std::string& value) {
  Line line;
  line.kind = Line::Kind::Key;
  line.name = Trim(key);
  line.text = line.name + "=" + value;
  const int existing = FindKey(section, key);
  if (existing >= 0) {
    line.name = lines_[static_cast<size_t>(existing)].name;  // keep the spelling the file had
    line.text = line.name + "=" + value;
    lines_[static_cast<size_t>(existing)] = std::move(line);
    return;
  }
  int h = FindSection(section);
  if (h < 0) {
    Line header;
    header.kind = Line::Kind::Section;
    header.name = Trim(section);
    header.text = "[" + header.name + "]";
    lines_.push_back(std::move(header));
    lines_.push_back(std::move(line));
    return;
  }
  // After the section's last non-blank line, so a blank line before the next section stays where it was.
  size_t at = SectionEnd(static_cast<size_t>(h));
  while (at > static_cast<size_t>(h) + 1 && Trim(lines_[at - 1].text).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

bool IniFile::DeleteKey(const std::string& section, const std::string& key) {
  const int i = FindKey(section, key);
  if (i < 0) return false;
  lines_.erase(lines_.begin() + i);
  return true;
}

bool IniFile::DeleteSection(const std::string& section) {
  const int h = FindSection(section);
  if (h < 0) return false;
  const size_t end = SectionEnd(static_cast<size_t>(h));
  lines_.erase(lines_.begin() + h, lines_.begin() + static_cast<std::ptrdiff_t>(end));
  return true;
}

}  // namespace kv
