// Text layout (line breaks, wrapping, measuring, alignment) and glyph drawing on the recording device, with a
// hand-made font whose metrics are known; fonts built by FreeType and stored atlases.
#include <cmath>
#include <memory>

#include "graphics/font_main.h"
#include "graphics/gfx_fixture.h"
#include "graphics/graphics_text.h"

namespace kv::test {
namespace {

using Lines = std::vector<std::string>;

// Characters 32 … 127, every cell 6 × 10 in a 16-column grid of 8 × 11 slots; advance 7, offset 1.
// 'W' is wider (advance 11) so widths tell characters apart.
std::unique_ptr<CFont> GridFont() {
  auto f = std::make_unique<CFont>();
  f->name = "grid";
  f->first = 32;
  f->last = 127;
  for (int c = 32; c <= 127; ++c) {
    RGlyph& g = f->glyphs[c];
    g.x = (c - 32) % 16 * 8;
    g.y = (c - 32) / 16 * 11;
    g.width = 6;
    g.height = 10;
    g.advance = c == 'W' ? 11 : 7;
    g.offset = 1;
  }
  f->atlasWidth = 128;
  f->atlasHeight = 66;
  f->atlas.assign(128 * 66, 255);
  return f;
}

class TextTest : public RecordingGfxTest {
 protected:
  int font = -1;
  void SetUp() override {
    RecordingGfxTest::SetUp();
    gfx::ClearFonts();
    gfx::ResetTextState();
    font = gfx::Fonts().Add("grid", GridFont());
    gfx::SetFont(font);
    gpu.ClearLog();
  }
  void TearDown() override {
    gfx::ClearFonts();
    gfx::ResetDefaultFont();
    gfx::ResetTextState();
    RecordingGfxTest::TearDown();
  }
  // Top-left corner (anchor − 0.5) of every glyph quad drawn.
  std::vector<std::pair<float, float>> Anchors() const {
    std::vector<std::pair<float, float>> r;
    for (const auto& d : Draws()) r.emplace_back(d.vertices[0].x + 0.5f, d.vertices[0].y + 0.5f);
    return r;
  }
};

TEST_F(TextTest, SplitLines) {
  const CFont& f = *gfx::GetFont(font);
  struct Case {
    const char* text;
    int width;
    Lines want;
  } cases[] = {
      {"A#B", -1, {"A", "B"}},
      {"A\\#B", -1, {"A#B"}},
      {"one#two##three", -1, {"one", "two", "", "three"}},
      {"one#two##three", 1000, {"one", "two", "three"}},
      {"a\r\nb", -1, {"a", "", "b"}},
      {"a\nb\r", -1, {"a", "b"}},
      {"abc#", -1, {"abc"}},
      {"#", -1, {""}},
      {"", -1, {}},
      {"", 100, {}},
      {"\\x#", -1, {"\\x"}},
      // "aaa " is 28 wide: a width of 30 fits it but not "bbb" too.
      {"aaa bbb", 30, {"aaa ", "bbb"}},
      {"aaa bbb", 49, {"aaa bbb"}},
      {"well-known", 40, {"well-", "known"}},
      // A word wider than the width stands alone; later words start a new line.
      {"abcdefghij x", 20, {"abcdefghij ", "x"}},
      {"a b c d", 28, {"a b ", "c d"}},
  };
  for (const auto& c : cases) EXPECT_EQ(gfx::SplitLines(f, c.text, c.width), c.want) << c.text << " @" << c.width;
}

TEST_F(TextTest, Measuring) {
  struct Case {
    const char* text;
    int sep, width;
    int w, h;
  } cases[] = {
      {"", -1, -1, 1, 1},
      {"#", -1, -1, 1, 10},
      {"ab", -1, -1, 14, 10},
      {"W#ab#abc", -1, -1, 21, 30},
      {"W#ab#abc", 4, -1, 21, 18},
      {"aaa bbb", 20, 30, 28, 30},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(gfx::TextWidth(c.text, c.sep, c.width), c.w) << c.text;
    EXPECT_EQ(gfx::TextHeight(c.text, c.sep, c.width), c.h) << c.text;
  }
}

TEST_F(TextTest, AdvanceOutsideRange) {
  CFont f = *GridFont();
  f.glyphs[32].advance = 4;
  EXPECT_EQ(gfx::Advance(f, 200), 4);  // the space's advance
  f.first = 65;                        // no space in range: the first character's
  EXPECT_EQ(gfx::Advance(f, 200), 7);
  EXPECT_EQ(gfx::StringWidth(f, "AW"), 18);
}

TEST_F(TextTest, AlignmentPlacesLines) {
  // "ab" is 14 wide, "W" 11; line height 10.
  struct Case {
    int h, v;
    std::vector<std::pair<float, float>> anchors;  // pen + offset 1 per glyph
  } cases[] = {
      {0, 0, {{101, 50}, {108, 50}, {101, 60}}},
      {1, 0, {{94, 50}, {101, 50}, {96, 60}}},    // x − w div 2: 100 − 7, 100 − 5
      {2, 0, {{87, 50}, {94, 50}, {90, 60}}},
      {0, 1, {{101, 40}, {108, 40}, {101, 50}}},  // y − (2 × 10) div 2
      {0, 2, {{101, 30}, {108, 30}, {101, 40}}},
  };
  for (const auto& c : cases) {
    gpu.ClearLog();
    gfx::SetHalign(c.h);
    gfx::SetValign(c.v);
    gfx::DrawText("ab#W", -1, -1, 100, 50);
    EXPECT_EQ(Anchors(), c.anchors) << c.h << "/" << c.v;
  }
  gfx::SetHalign(7);
  EXPECT_EQ(gfx::Halign(), 0);
}

TEST_F(TextTest, SeparationAndOddMiddle) {
  gfx::SetValign(1);
  gfx::DrawText("a#b#c", 5, -1, 0, 0);  // (3 × 5) div 2 = 7
  std::vector<std::pair<float, float>> want = {{1, -7}, {1, -2}, {1, 3}};
  EXPECT_EQ(Anchors(), want);
}

TEST_F(TextTest, GlyphQuadsUseCellsAndDrawColour) {
  gfx::SetDrawColour(255);
  gfx::SetDrawAlpha(0.5);
  gfx::DrawText("A", -1, -1, 10, 20);
  auto d = Draws();
  ASSERT_EQ(d.size(), 1u);
  const auto& v = d[0].vertices;
  ASSERT_EQ(v.size(), 4u);
  EXPECT_TRUE(d[0].textured);
  EXPECT_EQ(d[0].kind, plat::PrimKind::TriangleFan);
  // 'A' = 65: slot 33 → column 1, row 2 → cell (8, 22), 6 × 10; atlas texture 128 × 128 granted.
  EXPECT_FLOAT_EQ(v[0].x, 10.5f);
  EXPECT_FLOAT_EQ(v[0].y, 19.5f);
  EXPECT_FLOAT_EQ(v[2].x, 16.5f);
  EXPECT_FLOAT_EQ(v[2].y, 29.5f);
  EXPECT_FLOAT_EQ(v[0].u, 8.0f / 128);
  EXPECT_FLOAT_EQ(v[0].v, 22.0f / 128);
  EXPECT_FLOAT_EQ(v[2].u, 14.0f / 128);
  EXPECT_FLOAT_EQ(v[2].v, 32.0f / 128);
  for (const auto& x : v) EXPECT_EQ(x.colour, 0x80FF0000u);
}

TEST_F(TextTest, CharactersOutsideRangeAdvanceWithoutDrawing) {
  gfx::DrawText(std::string("a\xC8" "b"), -1, -1, 0, 0);
  std::vector<std::pair<float, float>> want = {{1, 0}, {15, 0}};
  EXPECT_EQ(Anchors(), want);
}

TEST_F(TextTest, CornerColoursSpanTheLine) {
  // Two glyphs of 7 over a width of 14: fractions 0, 0.5, 1.
  gfx::DrawTextColours("aa", -1, -1, 0x000000, 0x0000FE, 0xFE0000, 0x00FE00, 1.0, 0, 0);
  auto d = Draws();
  ASSERT_EQ(d.size(), 2u);
  auto red = [](uint32_t c) { return int((c >> 16) & 255); };
  auto blue = [](uint32_t c) { return int(c & 255); };
  auto green = [](uint32_t c) { return int((c >> 8) & 255); };
  EXPECT_EQ(red(d[0].vertices[0].colour), 0);     // top-left of the string: c1
  EXPECT_EQ(red(d[0].vertices[1].colour), 127);   // half-way to c2 (red 254)
  EXPECT_EQ(red(d[1].vertices[1].colour), 254);   // top-right: c2
  EXPECT_EQ(blue(d[1].vertices[2].colour), 254);  // bottom-right: c3
  EXPECT_EQ(green(d[0].vertices[3].colour), 254); // bottom-left: c4
}

TEST_F(TextTest, TransformedTextFollowsTheAngle) {
  // Rotated 90°: the pen walks up the screen, lines step to the right (+x).
  gfx::DrawTextTransformed("ab#c", -1, -1, 2.0, 1.0, 90.0, 100, 100);
  auto d = Draws();
  ASSERT_EQ(d.size(), 3u);
  // Glyph anchors: first at (100, 100 − 1·2), second pen moved by 7·2 up, line two 10 to the right.
  auto anchorOf = [](const plat::GpuCall& c) {
    // Corner (−0.5, −0.5) rotated by 90°: x + dy·sin, y − dx·sin → (x − 0.5, y + 0.5).
    return std::make_pair(std::round((c.vertices[0].x + 0.5f) * 100) / 100,
                          std::round((c.vertices[0].y - 0.5f) * 100) / 100);
  };
  EXPECT_EQ(anchorOf(d[0]), std::make_pair(100.0f, 98.0f));
  EXPECT_EQ(anchorOf(d[1]), std::make_pair(100.0f, 84.0f));
  EXPECT_EQ(anchorOf(d[2]), std::make_pair(110.0f, 98.0f));
}

TEST_F(TextTest, TransformedCentreAndBottom) {
  gfx::SetHalign(1);
  gfx::SetValign(2);
  // Angle 0, scale 2: "ab" 14 wide → shift −14; bottom: 1 line × 10 × yscale 1.
  gfx::DrawTextTransformed("ab", -1, -1, 2.0, 1.0, 0.0, 50, 50);
  auto a = Anchors();
  ASSERT_EQ(a.size(), 2u);
  EXPECT_FLOAT_EQ(a[0].first, 50 - 14 + 2);
  EXPECT_FLOAT_EQ(a[0].second, 40);
  EXPECT_FLOAT_EQ(a[1].first, 50 - 14 + 2 + 14);
}

TEST_F(TextTest, SetFontFallsBackToDefault) {
  gfx::SetFont(99);
  EXPECT_EQ(gfx::CurrentFont(), gfx::kDefaultFontIndex);
  gfx::SetFont(font);
  EXPECT_EQ(gfx::CurrentFont(), font);
}

TEST(TextNumbers, WholeAndFractional) {
  EXPECT_EQ(gfx::TextOfNumber(3), "3");
  EXPECT_EQ(gfx::TextOfNumber(-12), "-12");
  EXPECT_EQ(gfx::TextOfNumber(3.14159), "3.14");
  EXPECT_EQ(gfx::TextOfNumber(0.5), "0.50");
}

// ---- fonts ----

TEST(FontAtlas, ConsistencyChecks) {
  struct Case {
    const char* what;
    void (*spoil)(CFont&);
    bool ok;
  } cases[] = {
      {"intact", [](CFont&) {}, true},
      {"atlas short by a byte", [](CFont& f) { f.atlas.pop_back(); }, false},
      {"atlas longer than its size", [](CFont& f) { f.atlas.push_back(0); }, false},
      {"cell past the right edge", [](CFont& f) { f.glyphs[40].x = 125; }, false},
      {"cell past the bottom", [](CFont& f) { f.glyphs[127].y = 60; }, false},
      {"negative cell", [](CFont& f) { f.glyphs[50].x = -1; }, false},
      {"bad cell outside the range is harmless", [](CFont& f) { f.glyphs[200].x = 5000; }, true},
  };
  for (const auto& c : cases) {
    CFont f = *GridFont();
    c.spoil(f);
    EXPECT_EQ(gfx::AtlasConsistent(f), c.ok) << c.what;
  }
}

TEST_F(TextTest, InconsistentStoredAtlasDrawsNothing) {
  gfx::GetFont(font)->atlas.resize(10);
  gfx::DrawText("abc", -1, -1, 0, 0);
  EXPECT_TRUE(Draws().empty());
  EXPECT_EQ(gfx::FontTexture(font), -1);
  EXPECT_EQ(gfx::TextWidth("abc", -1, -1), 21);  // metrics still work
}

TEST_F(TextTest, SystemFontsFromFreeType) {
  struct Case {
    const char* name;
    int size;
    bool bold, italic;
    int first, last;
  } cases[] = {
      {"Arial", 12, false, false, 32, 127},
      {"Arial", 24, true, true, 32, 255},
      {"No Such Family 123", 10, false, false, 48, 57},  // falls back to a free face
      {"DejaVu Sans", 100000, false, false, 65, 90},     // size capped
      {"Arial", 12, false, false, -50, 500},             // range clamped
      {"Arial", 8, false, false, 70, 60},                // empty range
  };
  for (const auto& c : cases) {
    int index = gfx::AddFont(c.name, c.size, c.bold, c.italic, c.first, c.last);
    ASSERT_GE(index, 0);
    const CFont& f = *gfx::GetFont(index);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(gfx::FontName(index), "__newfont" + std::to_string(index));
    EXPECT_LE(f.size, gfx::kMaxFontSize);
    EXPECT_GE(f.first, 0);
    EXPECT_LE(f.last, 255);
    EXPECT_TRUE(gfx::AtlasConsistent(f));
    EXPECT_GE(f.atlasWidth, f.atlasHeight > 0 ? 1 : 0);
    for (int ch = f.first; ch <= f.last; ++ch) EXPECT_GE(f.atlasWidth, f.glyphs[ch].width);
    if (f.first <= f.last) {
      EXPECT_GT(gfx::LineHeight(f), 0);
      EXPECT_GE(gfx::FontTexture(index), 0);
    }
  }
  // Wider text is wider; the digit glyphs have ink.
  int arial = gfx::AddFont("Arial", 12, false, false, 32, 127);
  const CFont& f = *gfx::GetFont(arial);
  EXPECT_GT(gfx::StringWidth(f, "WWW"), gfx::StringWidth(f, "iii"));
  EXPECT_GT(gfx::LineHeight(f), 10);
  EXPECT_LT(gfx::LineHeight(f), 25);
  const RGlyph& g = f.glyphs['8'];
  int ink = 0;
  for (int y = g.y; y < g.y + g.height; ++y)
    for (int x = g.x; x < g.x + g.width; ++x) ink += f.atlas[y * f.atlasWidth + x] > 128;
  EXPECT_GT(ink, 10);
}

TEST_F(TextTest, DefaultFontIsBuiltOnce) {
  gfx::SetFont(-1);
  const CFont& f = gfx::DefaultFont();
  EXPECT_EQ(f.name, "Arial");
  EXPECT_EQ(f.first, 32);
  EXPECT_EQ(f.last, 127);
  EXPECT_EQ(&gfx::DefaultFont(), &f);
  gfx::DrawText("Hi", -1, -1, 0, 0);
  EXPECT_EQ(Draws().size(), 2u);
}

// Sprite fonts through a fake sprite: frames 8 × 12, origin (2, 3), each frame's ink spans columns 1 … 3.
int FakeFrames(int s) { return s == 4 ? 5 : -1; }
bool FakeGeometry(int s, int& w, int& h, int& xo, int& yo) {
  if (s != 4) return false;
  w = 8, h = 12, xo = 2, yo = 3;
  return true;
}
int g_spriteTexture = -1;
int FakeTexture(int, int) { return g_spriteTexture; }
bool FakeColumns(int, int frame, int& l, int& r) {
  if (frame == 4) return false;  // an empty frame
  l = 1, r = 3;
  return true;
}

TEST_F(TextTest, SpriteFonts) {
  const gfx::SpriteAccess saved = gfx::Sprites();  // the sprite module's, restored afterwards
  gfx::SetSpriteAccess({FakeFrames, FakeGeometry, FakeTexture, FakeColumns});
  struct Case {
    int first;
    bool proportional;
    int sep;
    int wantFirst, wantLast, advance, offset;
  } cases[] = {
      {65, false, 2, 65, 69, 10, 0},
      {65, true, 1, 65, 69, 3, -1},
      {253, false, 0, 253, 255, 8, 0},
      {-9, false, 0, 0, 4, 8, 0},
  };
  for (const auto& c : cases) {
    int index = gfx::AddSpriteFont(4, c.first, c.proportional, c.sep);
    ASSERT_GE(index, 0);
    const CFont& f = *gfx::GetFont(index);
    EXPECT_EQ(f.first, c.wantFirst);
    EXPECT_EQ(f.last, c.wantLast);
    EXPECT_EQ(f.glyphs[c.wantFirst].advance, c.advance);
    EXPECT_EQ(f.glyphs[c.wantFirst].offset, c.offset);
    EXPECT_EQ(gfx::LineHeight(f), 12);
  }
  // The empty frame keeps the full width instead of a negative advance.
  int index = gfx::AddSpriteFont(4, 65, true, 0);
  EXPECT_EQ(gfx::GetFont(index)->glyphs[69].advance, 8);
  EXPECT_EQ(gfx::AddSpriteFont(3, 65, true, 0), -1);

  // Drawing: each glyph is the frame with the sprite's origin, pen + offset as the anchor; colour forms use
  // the general form without the origin.
  g_spriteTexture = PatternTexture(8, 12);
  gfx::SetFont(gfx::AddSpriteFont(4, 65, true, 1));  // advance 3, offset −1
  gpu.ClearLog();
  gfx::DrawText("AB", -1, -1, 100, 50);
  auto d = Draws();
  ASSERT_EQ(d.size(), 2u);
  EXPECT_FLOAT_EQ(d[0].vertices[0].x, 100 - 1 - 2 - 0.5f);
  EXPECT_FLOAT_EQ(d[0].vertices[0].y, 50 - 3 - 0.5f);
  EXPECT_FLOAT_EQ(d[1].vertices[0].x, 103 - 1 - 2 - 0.5f);
  gpu.ClearLog();
  gfx::DrawTextColours("A", -1, -1, 255, 255, 255, 255, 1.0, 100, 50);
  ASSERT_EQ(Draws().size(), 1u);
  EXPECT_FLOAT_EQ(Draws()[0].vertices[0].x, 100 - 1 - 0.5f);
  EXPECT_EQ(Draws()[0].vertices[0].colour, 0xFFFF0000u);
  gfx::FreeTexture(g_spriteTexture);
  g_spriteTexture = -1;
  gfx::SetSpriteAccess(saved);
}

// ---- pixels ----

// Plain text draws only the rows of a cell that can show: the inked rows and half a row around them; blank
// glyphs draw nothing. Corner colours, transforms, depth mode and blend modes in which transparent texels still
// change the target keep whole cells.
TEST_F(TextTest, PlainGlyphsDrawTheirInkedRows) {
  auto f = GridFont();
  std::fill(f->atlas.begin(), f->atlas.end(), 0);
  for (int c = 33; c <= 127; ++c) {  // every glyph but the space: ink in rows 3 … 5 of its cell
    const RGlyph& g = f->glyphs[c];
    for (int row = 3; row <= 5; ++row)
      for (int col = 0; col < g.width; ++col) f->atlas[(g.y + row) * 128 + g.x + col] = 200;
  }
  f->glyphs['!'].height = 4;  // ink reaches the bottom of this cell: no half row beyond it
  {
    const RGlyph& g = f->glyphs['"'];  // ink in columns 2 … 3 only
    for (int row = 3; row <= 5; ++row)
      for (int col = 0; col < g.width; ++col) f->atlas[(g.y + row) * 128 + g.x + col] = col == 2 || col == 3 ? 9 : 0;
  }
  gfx::SetFont(gfx::Fonts().Add("ink", std::move(f)));
  struct Case {
    const char* what;
    void (*setup)();
    void (*draw)();
    float top, bottom;  // quad rows relative to the cell (the cell is 0 … 10)
    int quads;
  } cases[] = {
      {"plain", [] {}, [] { gfx::DrawText("A B", -1, -1, 10, 20); }, 2.5f, 6.5f, 2},
      {"fractional position", [] {}, [] { gfx::DrawText("A", -1, -1, 10.25, 20); }, 2.5f, 6.5f, 1},
      {"additive blend", [] { gfx::SetBlendMode(1); }, [] { gfx::DrawText("A", -1, -1, 10, 20); }, 2.5f, 6.5f, 1},
      {"subtractive blend", [] { gfx::SetBlendMode(3); }, [] { gfx::DrawText("A B", -1, -1, 10, 20); }, 0, 10, 3},
      {"corner colours", [] {},
       [] { gfx::DrawTextColours("A", -1, -1, 255, 255, 255, 255, 1.0, 10, 20); }, 0, 10, 1},
      {"scaled", [] {}, [] { gfx::DrawTextTransformed("A", -1, -1, 1.0, 2.0, 0.0, 10, 20); }, 0, 20, 1},
  };
  for (const Case& c : cases) {
    gfx::SetBlendMode(0);
    c.setup();
    gpu.ClearLog();
    c.draw();
    const auto d = Draws();
    ASSERT_EQ(static_cast<int>(d.size()), c.quads) << c.what;
    EXPECT_FLOAT_EQ(d[0].vertices[0].y + 0.5f - 20, c.top) << c.what;
    EXPECT_FLOAT_EQ(d[0].vertices[2].y + 0.5f - 20, c.bottom) << c.what;
    // The texture rows follow the quad: 'A' is in the cell at atlas row 22.
    EXPECT_FLOAT_EQ(d[0].vertices[0].v * 128, 22 + (c.top == 0 || c.bottom == 20 ? 0 : c.top)) << c.what;
  }
  gfx::SetBlendMode(0);
  gpu.ClearLog();
  gfx::DrawText("!", -1, -1, 0, 0);
  ASSERT_EQ(Draws().size(), 1u);
  EXPECT_FLOAT_EQ(Draws()[0].vertices[2].y + 0.5f, 4.0f);  // rows 2.5 … 4, not beyond the cell
  EXPECT_FLOAT_EQ(Draws()[0].vertices[0].y + 0.5f, 2.5f);
  gpu.ClearLog();
  gfx::DrawText("\"", -1, -1, 0, 0);
  ASSERT_EQ(Draws().size(), 1u);
  const auto q = Draws()[0].vertices;
  EXPECT_FLOAT_EQ(q[0].x + 0.5f, 1 + 1.5f);  // offset 1, columns 1.5 … 4.5
  EXPECT_FLOAT_EQ(q[2].x + 0.5f, 1 + 4.5f);
  EXPECT_FLOAT_EQ(q[0].u * 128, 16 + 1.5f);  // '"' = 34: slot 2, cell at atlas column 16
}

// Drawing only the inked rows leaves every pixel as drawing whole cells does: plain text against the same text
// drawn with four equal corner colours (whole cells), at sub-pixel positions and through a magnifying view.
TEST(TextPixels, InkedRowsDrawLikeWholeCells) {
  ASSERT_TRUE(GlGfx::Available());
  ASSERT_NE(GlGfx::Start({}, 160, 120), nullptr);
  gfx::ResetTextState();
  gfx::ClearFonts();
  struct View {
    double x, y, w, h;
  } views[] = {{0, 0, 160, 120}, {3.3, 1.7, 61, 47}};
  for (const View& v : views) {
    CBitmap32 frames[2];
    for (int pass = 0; pass < 2; ++pass) {
      gfx::SetProjection2D(v.x, v.y, v.w, v.h, 0);
      gfx::Clear(0x203040);
      gfx::SetDrawColour(0xF0E0D0);
      for (int i = 0; i < 6; ++i) {
        const double x = 2 + i * 0.37, y = 4 + i * 17.31;
        if (pass == 0) gfx::DrawText("Score 12345 gjpqy|", -1, -1, x, y);
        else gfx::DrawTextColours("Score 12345 gjpqy|", -1, -1, 0xF0E0D0, 0xF0E0D0, 0xF0E0D0, 0xF0E0D0, 1.0, x, y);
      }
      frames[pass] = Frame();
    }
    ASSERT_EQ(frames[0].pixels.size(), frames[1].pixels.size());
    int differing = 0;
    for (size_t i = 0; i < frames[0].pixels.size(); ++i) differing += frames[0].pixels[i] != frames[1].pixels[i];
    EXPECT_EQ(differing, 0) << "view " << v.w << " x " << v.h;
  }
  gfx::SetProjection2D(0, 0, 160, 120, 0);
  gfx::ResetDefaultFont();
  gfx::ResetTextState();
  GlGfx::Stop();
}

TEST(TextGolden, AlignmentCases) {
  ASSERT_TRUE(GlGfx::Available());
  ASSERT_NE(GlGfx::Start({}, 200, 150), nullptr);
  gfx::ResetTextState();
  gfx::ClearFonts();
  gfx::Clear(0x302010);
  gfx::SetDrawColour(0x808080);
  gfx::Line(100, 0, 100, 150);
  gfx::Line(0, 75, 200, 75);
  gfx::SetDrawColour(0xFFFFFF);
  gfx::DrawText("Left#two lines", -1, -1, 4, 4);
  gfx::SetHalign(2);
  gfx::DrawText("Right#aligned", 20, -1, 196, 4);  // separation 20
  gfx::SetHalign(1);
  gfx::SetValign(1);
  gfx::DrawTextColours("Centred text wraps here", -1, 60, 0x0000FF, 0x00FFFF, 0xFF0000, 0x00FF00, 1.0, 100, 75);
  gfx::SetHalign(0);
  gfx::SetValign(2);
  gfx::SetDrawAlpha(0.6);
  gfx::DrawTextTransformed("Turned", -1, -1, 1.5, 1.0, 30.0, 6, 146);
  gfx::SetDrawAlpha(1.0);
  int big = gfx::AddFont("Liberation Serif", 14, true, true, 32, 127);
  gfx::SetFont(big);
  gfx::SetHalign(2);
  gfx::DrawText("Bold\\#", -1, -1, 196, 146);
  ExpectGolden("text_alignment", Frame());
  gfx::ClearFonts();
  gfx::ResetDefaultFont();
  gfx::ResetTextState();
  GlGfx::Stop();
}

}  // namespace
}  // namespace kv::test
