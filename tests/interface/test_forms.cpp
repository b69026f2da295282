// The form kit: the message box, score table, splash and game-information forms drawn headless, with their
// layouts against the fixed numbers, keys, shortcuts, clicks, delays and the close button.
#include <gtest/gtest.h>

#include "interface/colour_chooser.h"
#include "interface/form_images.h"
#include "interface/message_form.h"
#include "interface/popup_menu.h"
#include "interface/score_form.h"
#include "interface/splash_form.h"

namespace kv::ui {
namespace {

using Kind = plat::FormEvent::Kind;

plat::FormEvent Key(int vk, bool alt = false) { return {Kind::KeyDown, vk, 0, alt, 0, 0, 0}; }
plat::FormEvent Char(char c) { return {Kind::Char, 0, static_cast<uint8_t>(c), false, 0, 0, 0}; }
plat::FormEvent Mouse(Kind kind, int x, int y) { return {kind, 0, 0, false, x, y, 1}; }

plat::MessageFormRequest Request(std::array<std::string, 3> buttons, bool input = false) {
  plat::MessageFormRequest r;
  r.text = "Line 1\rLine 2";
  r.buttons = std::move(buttons);
  r.input = input;
  r.inputText = "player";
  return r;
}

TEST(FormImages, OwnPicturesHaveTheirSizes) {
  EXPECT_EQ(DefaultMessageBackground().width, 348);
  EXPECT_EQ(DefaultMessageBackground().height, 129);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(DefaultButtonImage(i).width, 80);
    EXPECT_EQ(DefaultButtonImage(i).height, 25);
  }
  EXPECT_NE(DefaultButtonImage(0).pixels, DefaultButtonImage(1).pixels);
}

TEST(MessageForm, LayoutAndDrawingFollowTheBoxRules) {
  MessageSettings s;
  MessageFormView view(Request({"", "OK", ""}), s, DefaultMessageImages(), 1000, 800);
  const MessageLayout& l = view.Layout();
  ASSERT_EQ(view.TextLines().size(), 2u) << "'#' made two lines";
  const int textHeight = l.text.h;
  EXPECT_GT(textHeight, 0);
  EXPECT_EQ(l.clientWidth, 348);
  EXPECT_EQ(l.clientHeight, textHeight + 25 + 48);
  EXPECT_EQ(l.text.x, 24);
  EXPECT_EQ(l.text.y, 16);
  EXPECT_EQ(l.text.w, 300);
  EXPECT_EQ(l.buttons[1], (Rect{134, l.clientHeight - 41, 80, 25}));
  EXPECT_EQ(l.windowLeft, (1000 - 348) / 2);
  const CBitmap32& image = view.Render();
  ASSERT_EQ(image.width, 348);
  ASSERT_EQ(image.height, l.clientHeight);
  // The middle button is drawn from its picture; where the hidden buttons would be, the background shows.
  const Rect& b = l.buttons[1];
  EXPECT_EQ(image.Pixel(b.x + 2, b.y + b.h / 2), DefaultButtonImage(0).Pixel(2, 12));
  const Rect& hidden = l.buttons[0];
  EXPECT_NE(image.Pixel(hidden.x + 2, hidden.y + 12), DefaultButtonImage(0).Pixel(2, 12));

  // With the input line: 16 more above the buttons plus its own height, filled with the input colour.
  MessageFormView input(Request({"", "OK", ""}, true), s, DefaultMessageImages(), 1000, 800);
  const MessageLayout& li = input.Layout();
  EXPECT_EQ(li.clientHeight, li.text.h + 25 + 48 + li.input.h + 16);
  EXPECT_EQ(li.input.y, li.clientHeight - 25 - 16 - 16 - li.input.h);
  EXPECT_EQ(input.Render().Pixel(li.input.x + li.input.w - 3, li.input.y + 2), PixelOf(0x3C3C3C));

  // Fixed size and position.
  s.width = 500;
  s.height = 200;
  s.x = 7;
  s.y = 9;
  MessageFormView fixed(Request({"&Yes", "", "&No"}), s, DefaultMessageImages(), 1000, 800);
  EXPECT_EQ(fixed.Layout().clientWidth, 500);
  EXPECT_EQ(fixed.Layout().clientHeight, 200);
  EXPECT_EQ(fixed.Layout().buttons[2], (Rect{396, 159, 80, 25}));
  EXPECT_EQ(fixed.WindowLook().x, 7);
  EXPECT_EQ(fixed.WindowLook().y, 9);
  EXPECT_EQ(fixed.Render().width, 500);
}

TEST(MessageForm, KeysShortcutsAndClicks) {
  const MessageSettings s;
  auto closesWith = [&](std::array<std::string, 3> buttons, const std::vector<plat::FormEvent>& events) {
    MessageFormView v(Request(std::move(buttons)), s, DefaultMessageImages(), 800, 600);
    for (const plat::FormEvent& e : events)
      if (!v.Handle(e)) return v.Result().button;
    return -1;  // still open
  };
  const std::array<std::string, 3> yesNo = {"&Yes", "", "&No"};
  EXPECT_EQ(closesWith(yesNo, {Char('y')}), 1);
  EXPECT_EQ(closesWith(yesNo, {Char('N')}), 3);
  EXPECT_EQ(closesWith(yesNo, {Char('x')}), -1);
  EXPECT_EQ(closesWith(yesNo, {Key(kVkEscape)}), 0);
  EXPECT_EQ(closesWith(yesNo, {Key(kVkReturn)}), 1);
  EXPECT_EQ(closesWith(yesNo, {Key(kVkSpace)}), 1);
  EXPECT_EQ(closesWith(yesNo, {Key('N', true)}), 3) << "Alt with the letter";
  EXPECT_EQ(closesWith(yesNo, {{Kind::Close}}), 0);

  MessageFormView v(Request(yesNo), s, DefaultMessageImages(), 800, 600);
  const Rect& no = v.Layout().buttons[2];
  const Rect& middle = v.Layout().buttons[1];
  EXPECT_TRUE(v.Handle(Mouse(Kind::MouseDown, middle.x + 5, middle.y + 5)));
  EXPECT_TRUE(v.Handle(Mouse(Kind::MouseUp, middle.x + 5, middle.y + 5))) << "the hidden button takes no click";
  EXPECT_TRUE(v.Handle(Mouse(Kind::MouseDown, no.x + 5, no.y + 5)));
  EXPECT_TRUE(v.Handle(Mouse(Kind::MouseMove, no.x + 6, no.y + 6)));
  // Pressed under the mouse: the pressed picture.
  EXPECT_EQ(v.Render().Pixel(no.x + 2, no.y + 12), DefaultButtonImage(2).Pixel(2, 12));
  EXPECT_FALSE(v.Handle(Mouse(Kind::MouseUp, no.x + 6, no.y + 6)));
  EXPECT_EQ(v.Result().button, 3);
}

TEST(MessageForm, InputLineTypingReplacesTheSelectedDefault) {
  const MessageSettings s;
  MessageFormView v(Request({"", "OK", ""}, true), s, DefaultMessageImages(), 800, 600);
  EXPECT_TRUE(v.Handle(Char('B')));
  EXPECT_TRUE(v.Handle(Key(kVkSpace)));
  EXPECT_TRUE(v.Handle(Char(' ')));
  EXPECT_TRUE(v.Handle(Char('o')));
  EXPECT_TRUE(v.Handle(Char('x')));
  EXPECT_TRUE(v.Handle(Key(kVkBack)));
  EXPECT_TRUE(v.Handle(Char('y'))) << "letters are typed, not shortcuts";
  EXPECT_FALSE(v.Handle(Key(kVkEscape)));
  EXPECT_EQ(v.Result().button, 0);
  EXPECT_EQ(v.Result().inputText, "B oy") << "Escape keeps the typed text";

  MessageFormView kept(Request({"", "OK", ""}, true), s, DefaultMessageImages(), 800, 600);
  EXPECT_FALSE(kept.Handle(Key(kVkReturn)));
  EXPECT_EQ(kept.Result().button, 1);
  EXPECT_EQ(kept.Result().inputText, "player");
}

TEST(ScoreForm, RowsTypingAndColours) {
  EXPECT_EQ(ScoreRow(1).rank, (Rect{8, 48, 33, 25}));
  EXPECT_EQ(ScoreRow(1).name, (Rect{48, 48, 209, 25}));
  EXPECT_EQ(ScoreRow(10).score, (Rect{264, 336, 73, 25}));
  ScoreTable table;
  for (ScoreEntry& e : table) e = {"<nobody>", 0};
  table[0] = {"", 100};
  ScoreDisplay display;
  ScoreFormView v(table, 1, display, std::nullopt);
  EXPECT_EQ(v.WindowLook().width, 360);
  EXPECT_EQ(v.WindowLook().height, 400);
  EXPECT_EQ(v.WindowLook().caption, "Top Ten Players");
  EXPECT_EQ(v.NameShown(1), "|");
  EXPECT_EQ(v.NameShown(2), "<nobody>");
  for (char c : std::string("Annx")) v.Handle(Char(c));
  v.Handle(Key(kVkBack));
  EXPECT_EQ(v.NameShown(1), "Ann|");
  for (int i = 0; i < 300; ++i) v.Handle(Char('z'));
  EXPECT_EQ(v.TypedName().size(), kMaxScoreName);
  const CBitmap32& image = v.Render();
  EXPECT_EQ(image.Pixel(2, 2), PixelOf(0xF0FBFF));
  // The new row is drawn in the new-entry colour (red), the others in black.
  int red = 0;
  for (int y = 48; y < 73; ++y)
    for (int x = 264; x < 337; ++x) red += image.Pixel(x, y) == PixelOf(0x0000FF);
  EXPECT_GT(red, 3);
  EXPECT_FALSE(v.Handle(Key(kVkReturn)));
  ScoreFormView noEntry(table, 0, display, std::nullopt);
  noEntry.Handle(Char('q'));
  EXPECT_EQ(noEntry.TypedName(), "");
  EXPECT_FALSE(noEntry.Handle(Key(kVkEscape)));
}

TEST(SplashForm, ImagePlacementInfoWindowAndClosing) {
  EXPECT_EQ(PlaceSplashImage(640, 480, 200, 100, -1), (Rect{0, 80, 640, 320}));
  EXPECT_EQ(PlaceSplashImage(640, 480, 200, 100, 1), (Rect{220, 190, 200, 100}));
  EXPECT_EQ(PlaceSplashImage(640, 480, 200, 100, 0.5), (Rect{270, 215, 100, 50}));
  EXPECT_EQ(PlaceSplashImage(640, 480, 1280, 480, 0), (Rect{0, 120, 640, 240}));
  EXPECT_EQ(PlaceInfoWindow(-1, -1, 2000, 300, 1024, 768), (Rect{0, 234, 1024, 300}));
  EXPECT_EQ(PlaceInfoWindow(10, 20, 300, 200, 1024, 768), (Rect{10, 20, 300, 200}));

  SplashOptions o;
  o.stopKey = o.stopMouse = false;
  o.colour = 0x00FF00;
  SplashView view(o, CBitmap32::Make(200, 100, 0xFF0000FF), PlaceSplashImage(640, 480, 200, 100, -1));
  const CBitmap32& frame = view.Render();
  EXPECT_EQ(frame.Pixel(320, 40), PixelOf(0x00FF00));
  EXPECT_EQ(frame.Pixel(320, 240), 0xFF0000FFu);
  EXPECT_TRUE(view.Handle(Key(kVkEscape)));
  EXPECT_TRUE(view.Handle(Mouse(Kind::MouseDown, 5, 5)));
  EXPECT_TRUE(view.Tick(100000)) << "no delay: open until closed";
  EXPECT_FALSE(view.Handle({Kind::Close})) << "the close button always ends a splash";

  o.stopKey = o.stopMouse = true;
  o.delay = 1500;
  SplashView timed(o, CBitmap32::Make(2, 2, 0), Rect{0, 0, 2, 2});
  EXPECT_TRUE(timed.Tick(1499));
  EXPECT_FALSE(timed.Tick(1500));
  EXPECT_FALSE(timed.Handle(Key(kVkEscape)));
  EXPECT_FALSE(SplashView(o, CBitmap32::Make(2, 2, 0), Rect{}).Handle(Mouse(Kind::MouseDown, 1, 1)));
}

TEST(SplashForm, RichTextScrollsWithinItsLength) {
  SplashOptions o;
  o.width = 200;
  o.height = 60;
  o.colour = 0xFFFFFF;
  std::string rtf = "{\\rtf1 ";
  for (int i = 0; i < 30; ++i) rtf += "line " + std::to_string(i) + "\\par ";
  rtf += "}";
  SplashView view(o, ParseRichText(rtf));
  ASSERT_NE(view.TextLayout(), nullptr);
  const int total = view.TextLayout()->height;
  EXPECT_GT(total, 300);
  for (int i = 0; i < 100; ++i) view.Handle(Key(34));  // page down
  view.Render();
  // Scrolled to the end, the last line is visible: some dark ink in the frame.
  int ink = 0;
  const CBitmap32& f = view.Render();
  for (uint32_t p : f.pixels) ink += (p & 0xFF) < 128;
  EXPECT_GT(ink, 10);
  EXPECT_TRUE(view.Handle({Kind::Wheel, 0, 0, false, 0, 0, 1}));
}

TEST(ColourChooser, GridKeysAndButtons) {
  const auto& palette = ColourChooserView::Palette();
  EXPECT_EQ(palette[0 * kColourColumns + 7], 0xFFFFFF);
  EXPECT_EQ(palette[5 * kColourColumns + 7], 0x000000);
  EXPECT_EQ(palette[2 * kColourColumns + 0], 0x0000FF) << "pure red in the third row";

  ColourChooserView chooser(0x0000FF);
  EXPECT_EQ(chooser.Colour(), 0x0000FF);
  chooser.Handle(Key(39));  // right: orange
  EXPECT_EQ(chooser.Colour(), palette[2 * kColourColumns + 1]);
  chooser.Handle(Key(40));  // down
  EXPECT_EQ(chooser.Colour(), palette[3 * kColourColumns + 1]);
  EXPECT_EQ(chooser.Render().Pixel(40, kColourRows * 24 + 24), PixelOf(chooser.Colour())) << "the preview";
  EXPECT_FALSE(chooser.Handle(Key(kVkReturn)));
  EXPECT_TRUE(chooser.Chosen());

  ColourChooserView clicked(0x123456);
  EXPECT_EQ(clicked.Colour(), 0x123456) << "a colour outside the grid stays until another is chosen";
  const Rect cell = clicked.CellRect(5 * kColourColumns + 7);
  EXPECT_TRUE(clicked.Handle(Mouse(Kind::MouseUp, cell.x + 3, cell.y + 3)));
  const Rect ok = clicked.OkRect();
  EXPECT_FALSE(clicked.Handle(Mouse(Kind::MouseUp, ok.x + 3, ok.y + 3)));
  EXPECT_TRUE(clicked.Chosen());
  EXPECT_EQ(clicked.Colour(), 0x000000);

  ColourChooserView cancelled(0);
  const Rect cancel = cancelled.CancelRect();
  EXPECT_FALSE(cancelled.Handle(Mouse(Kind::MouseUp, cancel.x + 3, cancel.y + 3)));
  EXPECT_FALSE(cancelled.Chosen());
}

TEST(PopupMenu, SeparatorsAreNotNumberedAndKeysOrClicksChoose) {
  PopupMenuView menu("New|-|&Open|Quit", 100, 50);
  const auto& entries = menu.Entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_TRUE(entries[1].separator);
  EXPECT_EQ(entries[2].text, "Open");
  EXPECT_EQ(entries[2].number, 1);
  EXPECT_EQ(entries[3].number, 2);
  EXPECT_EQ(menu.WindowLook().x, 100);
  EXPECT_EQ(menu.Render().height, menu.WindowLook().height);

  const Rect& open = entries[2].rect;
  EXPECT_TRUE(menu.Handle({Kind::MouseMove, 0, 0, false, open.x + 5, open.y + 5, 0}));
  EXPECT_EQ(menu.Render().Pixel(open.x + 2, open.y + 2), PixelOf(0xD77800)) << "the item under the mouse is lit";
  const Rect& line = entries[1].rect;
  EXPECT_TRUE(menu.Handle(Mouse(Kind::MouseUp, line.x + 5, line.y + 4))) << "a separator is no choice";
  EXPECT_FALSE(menu.Handle(Mouse(Kind::MouseUp, open.x + 5, open.y + 5)));
  EXPECT_EQ(menu.Chosen(), 1);

  PopupMenuView keys("New|-|Open|Quit", 0, 0);
  keys.Handle(Key(40));
  keys.Handle(Key(40));  // over the separator to Open
  EXPECT_FALSE(keys.Handle(Key(kVkReturn)));
  EXPECT_EQ(keys.Chosen(), 1);
  PopupMenuView none("New|-|Open|Quit", 0, 0);
  EXPECT_FALSE(none.Handle(Key(kVkEscape)));
  EXPECT_EQ(none.Chosen(), -1);
}

}  // namespace
}  // namespace kv::ui
