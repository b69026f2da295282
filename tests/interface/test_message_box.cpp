// The message box's layout, keys and texts.
#include <gtest/gtest.h>

#include "interface/message_box.h"

namespace kv::ui {
namespace {

TEST(MessageBoxLayout, AutomaticAndFixedSizesWithAndWithoutInput) {
  LayoutInput in;
  in.textHeight = 26;
  in.screenWidth = 1000;
  in.screenHeight = 800;
  MessageLayout l = LayoutMessage(in);
  EXPECT_EQ(l.clientWidth, 348);
  EXPECT_EQ(l.clientHeight, 26 + 25 + 48);
  EXPECT_EQ(l.text, (Rect{24, 16, 300, 26}));
  const int top = l.clientHeight - 25 - 16;
  EXPECT_EQ(l.buttons[0], (Rect{24, top, 80, 25}));
  EXPECT_EQ(l.buttons[1], (Rect{134, top, 80, 25}));
  EXPECT_EQ(l.buttons[2], (Rect{244, top, 80, 25}));
  EXPECT_EQ(l.windowLeft, (1000 - 348) / 2);
  EXPECT_EQ(l.windowTop, (800 - l.clientHeight) / 2);

  in.input = true;
  l = LayoutMessage(in);
  EXPECT_EQ(l.clientHeight, 26 + 25 + 48 + 21 + 16);
  EXPECT_EQ(l.input, (Rect{24, l.clientHeight - 25 - 16 - 16 - 21, 300, 21}));

  in.setWidth = 500;
  in.setHeight = 200;
  in.x = 10;
  in.y = 20;
  l = LayoutMessage(in);
  EXPECT_EQ(l.clientWidth, 500);
  EXPECT_EQ(l.clientHeight, 200);
  EXPECT_EQ(l.buttons[2].x, 500 - 80 - 24);
  EXPECT_EQ(l.buttons[1].y, 200 - 25 - 16);
  EXPECT_EQ(l.windowLeft, 10);
  EXPECT_EQ(l.windowTop, 20);
}

TEST(MessageBoxKeys, ShortcutsEnterEscapeAndSpace) {
  const std::array<std::string, 3> buttons = {"&Yes", "", "&No"};
  EXPECT_EQ(ResolveMessageKey(MessageKey::Character, 'y', false, buttons), 1);
  EXPECT_EQ(ResolveMessageKey(MessageKey::Character, 'N', false, buttons), 3);
  EXPECT_EQ(ResolveMessageKey(MessageKey::Character, 'x', false, buttons), -1);
  EXPECT_EQ(ResolveMessageKey(MessageKey::Escape, 0, false, buttons), 0);
  EXPECT_EQ(ResolveMessageKey(MessageKey::Enter, 0, false, buttons), 1);
  EXPECT_EQ(ResolveMessageKey(MessageKey::Space, 0, false, buttons), 1);
  // With an input line, letters and spaces are typed, not shortcuts.
  EXPECT_EQ(ResolveMessageKey(MessageKey::Space, 0, true, buttons), -1);
  EXPECT_EQ(ResolveMessageKey(MessageKey::Character, 'y', true, buttons), -1);

  EXPECT_EQ(ButtonShortcut("Sa&ve"), 'V');
  EXPECT_EQ(ButtonShortcut("A&b&c"), 'C') << "the last '&' counts";
  EXPECT_EQ(ButtonShortcut("Ok&"), 0) << "a final '&' is no shortcut";
  EXPECT_EQ(ButtonShortcut("&Go&"), 'G');
}

TEST(MessageBoxText, HashesBreakLinesUnlessEscapedAndSettingsClamp) {
  EXPECT_EQ(ConvertMessageText("Line 1#Line 2"), "Line 1\rLine 2");
  EXPECT_EQ(ConvertMessageText("Cost: \\#5"), "Cost: #5");
  EXPECT_EQ(ConvertMessageText("end\\"), "end\\");
  EXPECT_EQ(AlphaByte(0.5), 128);
  EXPECT_EQ(AlphaByte(2), 255);
  EXPECT_EQ(AlphaByte(-1), 0);
  MessageFont font;
  ChangeFont(font, "", -1, -1, 7);
  EXPECT_EQ(font.name, "MS Sans Serif");
  EXPECT_EQ(font.size, 8);
  EXPECT_EQ(font.style, 0);
  ChangeFont(font, "Arial", 12, 0xFF, 3);
  EXPECT_EQ(font.name, "Arial");
  EXPECT_EQ(font.colour, 0xFF);
  EXPECT_EQ(font.style, 3);
}

}  // namespace
}  // namespace kv::ui
