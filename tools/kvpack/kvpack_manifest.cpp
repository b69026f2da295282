#include "kvpack_manifest.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kv::pack {

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

static std::string Unquote(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return std::string(v);
}

size_t TrailingCommentStart(std::string_view line) {
  char quote = 0;
  for (size_t i = 1; i < line.size(); ++i) {
    const char c = line[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '#' && (line[i - 1] == ' ' || line[i - 1] == '\t') &&
               (i + 1 == line.size() || line[i + 1] == ' ' || line[i + 1] == '\t')) {
      return i;
    }
  }
  return line.size();
}

void Manifest::Fail(int line, std::string_view message) const {
  throw PackError(fileName + ":" + std::to_string(line) + ": " + std::string(message));
}

Manifest ParseManifest(std::string_view text, std::string fileName) {
  Manifest m;
  m.fileName = std::move(fileName);
  int lineNo = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t nl = text.find('\n', pos);
    std::string_view raw = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? text.size() + 1 : nl + 1;
    ++lineNo;
    std::string_view line = Trim(raw);
    if (lineNo == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line = Trim(line.substr(3));  // UTF-8 mark
    line = Trim(line.substr(0, TrailingCommentStart(line)));
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']') m.Fail(lineNo, "section header without ']'");
      std::string_view inner = Trim(line.substr(1, line.size() - 2));
      size_t space = inner.find_first_of(" \t");
      ManifestSection sec;
      sec.line = lineNo;
      sec.kind = std::string(inner.substr(0, space));
      if (space != std::string_view::npos) sec.name = Unquote(Trim(inner.substr(space)));
      if (sec.kind.empty()) m.Fail(lineNo, "empty section header");
      m.sections.push_back(std::move(sec));
      continue;
    }
    if (m.sections.empty()) m.Fail(lineNo, "entry before the first [section]");
    ManifestEntry e;
    e.line = lineNo;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      e.key = std::string(line);
    } else {
      e.key = std::string(Trim(line.substr(0, eq)));
      e.rawValue = std::string(Trim(line.substr(eq + 1)));
      e.value = Unquote(e.rawValue);
      e.hasValue = true;
      if (e.key.empty()) m.Fail(lineNo, "missing key before '='");
    }
    m.sections.back().entries.push_back(std::move(e));
  }
  return m;
}

std::optional<int32_t> TryParseInt(std::string_view t) {
  t = Trim(t);
  bool neg = false;
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    neg = t[0] == '-';
    t.remove_prefix(1);
  }
  int base = 10;
  // "#RRGGBB", the way colours are usually written, becomes the stored 0xBBGGRR.
  if (!neg && t.size() == 7 && t[0] == '#') {
    uint32_t rgb = 0;
    auto [end, ec] = std::from_chars(t.data() + 1, t.data() + 7, rgb, 16);
    if (ec != std::errc() || end != t.data() + 7) return std::nullopt;
    return static_cast<int32_t>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16));
  }
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  }
  if (t.empty()) return std::nullopt;
  int64_t v = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v, base);
  if (ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
  if (neg) v = -v;
  // Hex values up to 0xFFFFFFFF are bit patterns (colours); decimal values must fit the signed range.
  if (base == 16 && !neg && v <= 0xFFFFFFFFll) return static_cast<int32_t>(static_cast<uint32_t>(v));
  if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(v);
}

int32_t ParseInt(const Manifest& m, const ManifestEntry& e, std::string_view text) {
  std::optional<int32_t> v = TryParseInt(text);
  if (!v) m.Fail(e.line, "'" + std::string(text) + "' is not an integer");
  return *v;
}

double ParseReal(const Manifest& m, const ManifestEntry& e, std::string_view text) {
  std::string t(Trim(text));
  double v = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v))
    m.Fail(e.line, "'" + t + "' is not a number");
  return v;
}

bool ParseBool(const Manifest& m, const ManifestEntry& e) {
  const std::string& v = e.value;
  if (v == "true" || v == "yes" || v == "on" || v == "1") return true;
  if (v == "false" || v == "no" || v == "off" || v == "0") return false;
  m.Fail(e.line, "'" + v + "' is not true or false");
}

std::vector<std::string> SplitWords(std::string_view text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= text.size()) break;
    if (text[i] == '"') {
      size_t close = text.find('"', i + 1);
      if (close == std::string_view::npos) close = text.size();
      words.emplace_back(text.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      size_t end = text.find_first_of(" \t", i);
      if (end == std::string_view::npos) end = text.size();
      words.emplace_back(text.substr(i, end - i));
      i = end;
    }
  }
  return words;
}

}  // namespace kv::pack
