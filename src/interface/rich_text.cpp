#include "interface/rich_text.h"

#include <cctype>
#include <string>
#include <vector>

namespace kv::ui {

namespace {

bool IsDestinationSkipped(std::string_view word) {
  for (std::string_view d : {"fonttbl", "colortbl", "stylesheet", "info", "pict", "header", "footer", "object",
                             "listtable", "listoverridetable", "generator", "themedata", "datastore", "xmlnstbl"})
    if (word == d) return true;
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string RichTextToPlain(std::string_view rtf) {
  if (rtf.substr(0, 5) != "{\\rtf") return std::string(rtf);
  std::string out;
  struct Group {
    bool skip = false;
    int unicodeSkip = 1;  // \ucN: fallback characters after \uN
  };
  std::vector<Group> stack = {Group{}};
  int pendingSkip = 0;  // fallback characters still to drop
  size_t i = 0;
  auto emit = [&](char c) {
    if (pendingSkip > 0) {
      --pendingSkip;
      return;
    }
    if (!stack.back().skip) out += c;
  };
  while (i < rtf.size()) {
    const char c = rtf[i];
    if (c == '{') {
      Group g = stack.back();
      stack.push_back(g);
      if (stack.size() > kMaxRichTextDepth) stack.back().skip = true;
      ++i;
      continue;
    }
    if (c == '}') {
      if (stack.size() > 1) stack.pop_back();
      pendingSkip = 0;
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c != '\\') {
      emit(c);
      ++i;
      continue;
    }
    // A control sequence.
    ++i;
    if (i >= rtf.size()) break;
    const char n = rtf[i];
    if (n == '\\' || n == '{' || n == '}') {
      emit(n);
      ++i;
      continue;
    }
    if (n == '*') {
      stack.back().skip = true;
      ++i;
      continue;
    }
    if (n == '\'') {
      const int hi = i + 1 < rtf.size() ? HexDigit(rtf[i + 1]) : -1;
      const int lo = i + 2 < rtf.size() ? HexDigit(rtf[i + 2]) : -1;
      if (hi >= 0 && lo >= 0) {
        emit(static_cast<char>(hi * 16 + lo));
        i += 3;
      } else {
        i += hi >= 0 ? 2 : 1;  // a cut-short escape gives no character
      }
      continue;
    }
    if (n == '~') {
      emit(' ');
      ++i;
      continue;
    }
    if (!std::isalpha(static_cast<unsigned char>(n))) {
      ++i;  // other control symbols (\-, \_, \|, \:, line ends) carry no text we show
      continue;
    }
    size_t start = i;
    while (i < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[i]))) ++i;
    const std::string_view word = rtf.substr(start, i - start);
    bool hasParam = false;
    long param = 0;
    bool negative = false;
    if (i < rtf.size() && rtf[i] == '-') negative = true, ++i;
    int digits = 0;
    while (i < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[i]))) {
      if (digits++ < 9) param = param * 10 + (rtf[i] - '0');
      hasParam = true;
      ++i;
    }
    if (negative) param = -param;
    if (i < rtf.size() && rtf[i] == ' ') ++i;  // the delimiting space belongs to the control word

    if (IsDestinationSkipped(word)) {
      stack.back().skip = true;
    } else if (word == "par" || word == "line") {
      emit('\r');
      emit('\n');
    } else if (word == "tab") {
      emit('\t');
    } else if (word == "uc" && hasParam) {
      stack.back().unicodeSkip = param < 0 ? 0 : static_cast<int>(param);
    } else if (word == "u" && hasParam) {
      long code = param < 0 ? param + 65536 : param;
      emit(code >= 0 && code < 256 ? static_cast<char>(code) : '?');
      pendingSkip = stack.back().unicodeSkip;
    } else if (word == "bin" && hasParam && param > 0) {
      i += std::min<size_t>(static_cast<size_t>(param), rtf.size() - i);  // binary data is never text
    }
  }
  // Paragraph marks at the very end add nothing visible.
  while (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0) out.resize(out.size() - 2);
  return out;
}

}  // namespace kv::ui
