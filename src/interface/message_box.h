#pragma once
// The game's message box: its settings kept between calls, the text conversion of message texts, button
// shortcuts, the layout of the box and what a key does while it is open.
#include <array>
#include <string>
#include <string_view>

namespace kv::ui {

struct MessageFont {
  std::string name = "MS Sans Serif";
  int size = 8;
  int colour = 0xFFFFFF;
  int style = 0;  // 0 normal, 1 bold, 2 italic, 3 bold italic
};

struct MessageSettings {
  int background = -1;    // background resource, −1: the program's own picture
  int buttonSprite = -1;  // sprite whose images 0, 1, 2 are the buttons, −1: the program's own
  MessageFont textFont, buttonFont{"MS Sans Serif", 8, 0xFFFFFF, 1}, inputFont;  // bold button captions
  int mouseColour = 0x00FFFF;
  int inputColour = 0x3C3C3C;
  int alpha = 255;
  int x = -1, y = -1;  // −1: centred
  int width = 0, height = 0;  // below 1: automatic
  bool showCaption = false;
  std::string caption;
};
MessageSettings& Settings();
void ResetMessageSettings();

// Changes a font as message_*_font does: name when not empty, size when ≥ 0, colour when ≥ 0, style 0 … 3.
void ChangeFont(MessageFont& font, const std::string& name, int size, int colour, int style);
// round(alpha·255) clamped to 0 … 255.
int AlphaByte(double alpha);

// '#' becomes a line break (CR), "\#" a literal '#'.
std::string ConvertMessageText(std::string_view text);
// The upper-case character after the last '&' that is not the caption's final character; 0 for none.
char ButtonShortcut(std::string_view caption);

inline constexpr int kDefaultBackgroundWidth = 348;
inline constexpr int kDefaultBackgroundHeight = 129;
inline constexpr int kButtonWidth = 80, kButtonHeight = 25;

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const Rect&) const = default;
};
struct MessageLayout {
  int clientWidth = 0, clientHeight = 0;
  int windowLeft = 0, windowTop = 0;
  Rect text, input;
  std::array<Rect, 3> buttons;
};
struct LayoutInput {
  int setWidth = 0, setHeight = 0;  // below 1: automatic
  int pictureWidth = kDefaultBackgroundWidth;
  int textHeight = 13;  // of the wrapped text at the label's width
  int buttonWidth = kButtonWidth, buttonHeight = kButtonHeight;
  bool input = false;
  int inputHeight = 21;
  int x = -1, y = -1;
  int screenWidth = 1024, screenHeight = 768;
  int frameWidth = 0, frameHeight = 0;  // border and caption around the client area
};
MessageLayout LayoutMessage(const LayoutInput& in);

// What a key does while the box is open: the result that closes it, or −1 to keep it open. `ch` is the typed
// character (0 for keys without one); escape/enter/space are the named keys.
enum class MessageKey { Escape, Enter, Space, Character };
int ResolveMessageKey(MessageKey key, char ch, bool hasInput, const std::array<std::string, 3>& buttons);

}  // namespace kv::ui
