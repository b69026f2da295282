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

MessageFormResult IDialogs::MessageForm(const MessageFormRequest& request) {
  MessageFormResult result;
  result.inputText = request.inputText;
  int first = 0, last = 0, count = 0;
  for (int i = 0; i < 3; ++i) {
    if (request.buttons[i].empty()) continue;
    if (!first) first = i + 1;
    last = i + 1;
    ++count;
  }
  if (count <= 1) {
    MessageBox(request.caption, request.text, MessageButtons::Ok, MessageResult::Ok);
    result.button = first ? first : 1;
    return result;
  }
  const MessageResult answer =
      MessageBox(request.caption, request.text, MessageButtons::YesNo,
                 request.defaultButton == last ? MessageResult::No : MessageResult::Yes);
  result.button = answer == MessageResult::Yes ? first : answer == MessageResult::No ? last : 0;
  return result;
}

std::string WithoutAmpersands(std::string_view caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') out += '&', ++i;
      continue;
    }
    out += caption[i];
  }
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
