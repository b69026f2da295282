#include "platform/dialogs.h"

namespace kv::plat {

std::vector<FileFilter> ParseFileFilter(std::string_view filter) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= filter.size() && !filter.empty()) {
    size_t bar = filter.find('|', start);
    if (bar == std::string_view::npos) bar = filter.size();
    parts.emplace_back(filter.substr(start, bar - start));
    start = bar + 1;
  }
  std::vector<FileFilter> out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) out.push_back({parts[i], parts[i + 1]});
  return out;
}

std::vector<std::string> MenuItems(std::string_view text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (true) {
    const size_t bar = text.find('|', start);
    const std::string_view piece = text.substr(start, bar == std::string_view::npos ? text.npos : bar - start);
    if (piece != "-") items.emplace_back(piece);
    if (bar == std::string_view::npos) return items;
    start = bar + 1;
  }
}

std::string UnixLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out += text[i];
    } else {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
  }
  return out;
}

}  // namespace kv::plat
