#include "interface/message_box.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace kv::ui {

MessageSettings& Settings() {
  static MessageSettings settings;
  return settings;
}

void ResetMessageSettings() { Settings() = MessageSettings(); }

void ChangeFont(MessageFont& font, const std::string& name, int size, int colour, int style) {
  if (!name.empty()) font.name = name;
  if (size >= 0) font.size = size;
  if (colour >= 0) font.colour = colour;
  if (style >= 0 && style <= 3) font.style = style;
}

int AlphaByte(double alpha) {
  const double v = std::round(alpha * 255.0);
  if (!(v > 0)) return 0;  // also NaN
  return v >= 255 ? 255 : static_cast<int>(v);
}

std::string ConvertMessageText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '#') {
      out += '#';
      ++i;
    } else if (text[i] == '#') {
      out += '\r';
    } else {
      out += text[i];
    }
  }
  return out;
}

char ButtonShortcut(std::string_view caption) {
  if (caption.size() < 2) return 0;
  const size_t amp = caption.substr(0, caption.size() - 1).rfind('&');
  if (amp == std::string_view::npos) return 0;
  return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[amp + 1])));
}

MessageLayout LayoutMessage(const LayoutInput& in) {
  MessageLayout l;
  l.clientWidth = in.setWidth >= 1 ? in.setWidth : in.pictureWidth;
  l.text = {24, 16, l.clientWidth - 48, in.textHeight};
  if (in.setHeight >= 1) {
    l.clientHeight = in.setHeight;
  } else {
    l.clientHeight = in.textHeight + in.buttonHeight + 48;
    if (in.input) l.clientHeight += in.inputHeight + 16;
  }
  const int top = l.clientHeight - in.buttonHeight - 16;
  l.buttons[0] = {24, top, in.buttonWidth, in.buttonHeight};
  l.buttons[1] = {(l.clientWidth - in.buttonWidth) / 2, top, in.buttonWidth, in.buttonHeight};
  l.buttons[2] = {l.clientWidth - in.buttonWidth - 24, top, in.buttonWidth, in.buttonHeight};
  l.input = {24, top - 16 - in.inputHeight, l.clientWidth - 48, in.inputHeight};
  const int windowWidth = l.clientWidth + in.frameWidth, windowHeight = l.clientHeight + in.frameHeight;
  l.windowLeft = in.x == -1 ? (in.screenWidth - windowWidth) / 2 : in.x;
  l.windowTop = in.y == -1 ? (in.screenHeight - windowHeight) / 2 : in.y;
  return l;
}

int ResolveMessageKey(MessageKey key, char ch, bool hasInput, const std::array<std::string, 3>& buttons) {
  switch (key) {
    case MessageKey::Escape:
      return 0;
    case MessageKey::Enter:
      return 1;
    case MessageKey::Space:
      if (!hasInput) return 1;
      return -1;
    case MessageKey::Character:
      break;
  }
  if (hasInput || ch == 0) return -1;
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  for (int i = 0; i < 3; ++i)
    if (!buttons[i].empty() && ButtonShortcut(buttons[i]) == upper) return i + 1;
  return -1;
}

}  // namespace kv::ui
