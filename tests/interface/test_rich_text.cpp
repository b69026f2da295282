// Rich text: reading styles, tables, characters and pictures; safety on malformed input; layout and drawing.
#include <gtest/gtest.h>

#include <cstdio>

#include "graphics/bitmap_ops.h"
#include "interface/form_canvas.h"
#include "interface/rich_text.h"
#include "interface/rich_text_view.h"

namespace kv::ui {
namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buf[3];
  for (uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", b);
    out += buf;
  }
  return out;
}

std::string TinyPngHex() {
  CBitmap32 b = CBitmap32::Make(4, 2, 0xFFFF0000);
  return Hex(gfx::EncodePng(b));
}

TEST(RichTextRead, StylesFontsColoursAndParagraphFormats) {
  const std::string rtf =
      "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}"
      "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
      "\\f0\\fs24 Plain {\\b bold}{\\i\\cf1 red italic}\\f1\\fs32\\ul under\\ulnone\\par"
      "\\pard\\qc\\li720\\fi-360\\sb120\\sa240\\tx1440 centred\\tab x\\par"
      "\\qr\\cf2\\strike right\\plain  plain}";
  const RichDocument doc = ParseRichText(rtf);
  ASSERT_EQ(doc.paragraphs.size(), 3u);
  const auto& runs = doc.paragraphs[0].runs;
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[0].text, "Plain ");
  EXPECT_EQ(runs[0].format, RichCharFormat{});
  EXPECT_EQ(runs[1].text, "bold");
  EXPECT_TRUE(runs[1].format.bold);
  EXPECT_EQ(runs[2].text, "red italic");
  EXPECT_TRUE(runs[2].format.italic);
  EXPECT_FALSE(runs[2].format.bold) << "a group's formatting ends with the group";
  EXPECT_EQ(runs[2].format.colour, 0x0000FF);
  EXPECT_EQ(runs[3].text, "under");
  EXPECT_EQ(runs[3].format.font, "Times New Roman");
  EXPECT_EQ(runs[3].format.halfPoints, 32);
  EXPECT_TRUE(runs[3].format.underline);

  const RichParagraph& p = doc.paragraphs[1];
  EXPECT_EQ(p.align, RichAlign::Centre);
  EXPECT_EQ(p.leftIndent, 48);
  EXPECT_EQ(p.firstIndent, -24);
  EXPECT_EQ(p.spaceBefore, 8);
  EXPECT_EQ(p.spaceAfter, 16);
  EXPECT_EQ(p.tabStops, std::vector<int>{96});
  ASSERT_EQ(p.runs.size(), 1u);
  EXPECT_EQ(p.runs[0].text, "centred\tx");

  const RichParagraph& q = doc.paragraphs[2];
  EXPECT_EQ(q.align, RichAlign::Right) << "paragraph formats last until \\pard";
  ASSERT_EQ(q.runs.size(), 2u);
  EXPECT_EQ(q.runs[0].format.colour, 0xFF0000);
  EXPECT_TRUE(q.runs[0].format.strike);
  EXPECT_EQ(q.runs[1].text, " plain");
  EXPECT_EQ(q.runs[1].format, RichCharFormat{});
}

TEST(RichTextRead, CharactersEscapesAndUnicode) {
  const std::string rtf =
      "{\\rtf1 caf\\'e9 \\u8364? \\uc2\\u1234 XYz \\{\\}\\\\ a\\~b\\emdash\\line c{\\*\\unknown hidden}d}";
  EXPECT_EQ(RichTextToPlain(rtf), "caf\xE9 \x80 ?z {}\\ a\xA0" "b\x97\nc" "d");
  EXPECT_EQ(RichTextToPlain("plain text"), "plain text");
  const RichDocument plain = ParseRichText("one\r\ntwo\nthree");
  ASSERT_EQ(plain.paragraphs.size(), 3u);
  EXPECT_EQ(plain.paragraphs[2].runs[0].text, "three");
}

TEST(RichTextRead, PicturesDecodedScaledOrSkipped) {
  const std::string png = TinyPngHex();
  const std::string rtf = "{\\rtf1 A{\\pict\\pngblip\\picw4\\pich2\\picwgoal300\\pichgoal150 " + png +
                          "}B{\\*\\shppict{\\pict\\pngblip " + png +
                          "}}{\\nonshppict{\\pict\\wmetafile8 0102}}{\\pict\\wmetafile8 0102}"
                          "{\\pict\\pngblip 0011223344}{\\pict\\jpegblip\\picscalex200 zz}C}";
  const RichDocument doc = ParseRichText(rtf);
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  const auto& runs = doc.paragraphs[0].runs;
  ASSERT_EQ(runs.size(), 5u);
  EXPECT_EQ(runs[0].text, "A");
  ASSERT_TRUE(runs[1].picture);
  EXPECT_EQ(runs[1].picture->width, 4);
  EXPECT_EQ(runs[1].pictureWidth, 20);  // 300 twips
  EXPECT_EQ(runs[1].pictureHeight, 10);
  EXPECT_EQ(runs[2].text, "B");
  ASSERT_TRUE(runs[3].picture) << "the picture inside \\shppict is shown";
  EXPECT_EQ(runs[3].pictureWidth, 4);
  EXPECT_EQ(runs[4].text, "C") << "metafiles and undecodable pictures are left out";
}

TEST(RichTextRead, MalformedInputEndsSafely) {
  const std::string sample = "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red9;}\\f0\\cf1 ab\\'4"
                             "{\\pict\\pngblip " + TinyPngHex() + "}\\u-3\\bin9999 x}";
  // Every cut of the input parses (a read past the end would be caught by the sanitizer run).
  for (size_t n = 0; n <= sample.size(); ++n) ParseRichText(std::string_view(sample).substr(0, n));
  EXPECT_EQ(RichTextToPlain("{\\rtf1 abc\\'4"), "abc");
  EXPECT_EQ(RichTextToPlain("{\\rtf1 a}}}}b"), "a") << "the document ends with its group";
  std::string deep = "{\\rtf1 x";
  for (int i = 0; i < 100000; ++i) deep += '{';
  deep += "deep";
  for (int i = 0; i < 100000; ++i) deep += '}';
  deep += "y}";
  EXPECT_EQ(RichTextToPlain(deep), "xy") << "groups beyond the depth limit are skipped whole";
  EXPECT_EQ(RichTextToPlain("{\\rtf1 \\bin5 {}}}}x}"), "x");
  EXPECT_EQ(RichTextToPlain("{\\rtf1 \\cf99 \\f77 \\fs-4 \\li99999999999999 ok}"), "ok");
}

TEST(RichTextLayout, WrapsAlignsTabsAndDraws) {
  const RichDocument doc = ParseRichText(
      "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}"
      "\\fs20 one two three four five six seven eight nine ten\\par"
      "\\qc mid\\par\\qr end\\par\\pard\\tx1500 a\\tab b\\tab c\\par{\\cf1 RED}}");
  const int width = 150;
  const RichLayout layout = LayoutRichText(doc, width);
  ASSERT_FALSE(layout.pieces.empty());
  int lines = 0, lastY = -1;
  for (const RichPiece& p : layout.pieces) {
    EXPECT_LE(p.x + p.width, width + 1) << p.text;
    if (p.y != lastY) ++lines, lastY = p.y;
  }
  EXPECT_GE(lines, 6) << "the first paragraph wraps onto several lines";
  auto find = [&](const std::string& text) -> const RichPiece& {
    for (const RichPiece& p : layout.pieces)
      if (p.text == text) return p;
    ADD_FAILURE() << "no piece " << text;
    return layout.pieces[0];
  };
  const RichPiece& mid = find("mid");
  EXPECT_NEAR(mid.x + mid.width / 2, width / 2, 2);
  const RichPiece& end = find("end");
  EXPECT_EQ(end.x + end.width, width);
  EXPECT_EQ(find("b").x, 100) << "the tab stop at 1500 twips";
  EXPECT_EQ(find("c").x % kDefaultTabWidth, 0) << "past the last stop: every half inch";
  const RichPiece& red = find("RED");
  EXPECT_GT(red.y, end.y);
  EXPECT_EQ(layout.height, red.y + red.height);

  CBitmap32 image = CBitmap32::Make(width, layout.height, 0xFFFFFFFF);
  Canvas canvas(image);
  DrawRichText(canvas, layout, 0, 0);
  int reddish = 0;
  for (int y = red.y; y < red.y + red.height; ++y)
    for (int x = red.x; x < red.x + red.width; ++x) {
      const uint32_t p = image.Pixel(x, y);
      reddish += ((p >> 16) & 255) > 200 && ((p >> 8) & 255) < 100;
    }
  EXPECT_GT(reddish, 5);
}

TEST(RichTextLayout, PictureSetsItsLineHeight) {
  const RichDocument doc =
      ParseRichText("{\\rtf1 x{\\pict\\pngblip\\picwgoal600\\pichgoal900 " + TinyPngHex() + "}y\\par z}");
  const RichLayout layout = LayoutRichText(doc, 400);
  ASSERT_GE(layout.pieces.size(), 4u);
  EXPECT_EQ(layout.pieces[1].height, 60);
  EXPECT_EQ(layout.pieces[1].width, 40);
  EXPECT_GE(layout.pieces[3].y, 60) << "the next paragraph starts below the picture";
}

}  // namespace
}  // namespace kv::ui
