#include "interface/form_canvas.h"

#include <algorithm>
#include <list>

#include "graphics/font_main.h"

namespace kv::ui {

namespace {

// The baseline from the ink of 'H' (its lowest row with coverage); four fifths of the line without one.
int FindBaseline(const CFont& f) {
  const RGlyph& g = f.glyphs['H'];
  for (int row = g.height - 1; row >= 0; --row)
    for (int col = 0; col < g.width; ++col) {
      const size_t at = static_cast<size_t>(g.y + row) * f.atlasWidth + g.x + col;
      if (at < f.atlas.size() && f.atlas[at] > 64) return row + 1;
    }
  return g.height * 4 / 5;
}

}  // namespace

const FormFont& GetFormFont(const FontLook& look) {
  struct Entry {
    FontLook look;
    FormFont font;
  };
  static std::list<Entry> cache;  // stable addresses
  for (const Entry& e : cache)
    if (e.look == look) return e.font;
  Entry e{look, {}};
  CFont& f = e.font.font;
  f.name = look.name.empty() ? "Arial" : look.name;
  f.size = std::clamp(look.size, 1, gfx::kMaxFontSize);
  f.bold = look.bold;
  f.italic = look.italic;
  f.first = 0;
  f.last = 255;
  gfx::BuildSystemFont(f);
  e.font.height = gfx::LineHeight(f);
  e.font.baseline = FindBaseline(f);
  if (cache.size() >= 64) cache.pop_front();
  cache.push_back(std::move(e));
  return cache.back().font;
}

int TextWidth(const FormFont& font, std::string_view text) { return gfx::StringWidth(font.font, text); }

std::vector<std::string> WrapText(const FormFont& font, std::string_view text, int width) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view para = text.substr(start, end - start);
    // Words of the paragraph: a line takes words while they fit; a single word wider than the line stays whole.
    std::string line;
    size_t i = 0;
    while (i < para.size()) {
      size_t wordEnd = para.find(' ', i);
      if (wordEnd == std::string_view::npos) wordEnd = para.size();
      size_t next = wordEnd;
      while (next < para.size() && para[next] == ' ') ++next;
      const std::string candidate = line + std::string(para.substr(i, wordEnd - i));
      if (!line.empty() && TextWidth(font, candidate) > width) {
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(line);
        line.clear();
        continue;  // the word starts the next line
      }
      line = candidate + std::string(para.substr(wordEnd, next - wordEnd));
      i = next;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    lines.push_back(line);
    if (end >= text.size()) break;
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return lines;
}

uint32_t PixelOf(int colour, int alpha) {
  const uint32_t c = static_cast<uint32_t>(colour);
  return (static_cast<uint32_t>(alpha & 255) << 24) | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

int ColourOf(uint32_t p) { return static_cast<int>(((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16)); }

void Canvas::FillRect(int x, int y, int w, int h, int colour) {
  const uint32_t p = PixelOf(colour);
  const int x0 = std::max(0, x), y0 = std::max(0, y);
  const int x1 = std::min(b_.width, x + std::max(0, w)), y1 = std::min(b_.height, y + std::max(0, h));
  for (int yy = y0; yy < y1; ++yy)
    std::fill(b_.pixels.begin() + static_cast<size_t>(yy) * b_.width + x0,
              b_.pixels.begin() + static_cast<size_t>(yy) * b_.width + x1, p);
}

void Canvas::Blend(int x, int y, uint32_t rgb, int a) {
  if (x < 0 || y < 0 || x >= b_.width || y >= b_.height || a <= 0) return;
  uint32_t& d = b_.pixels[static_cast<size_t>(y) * b_.width + x];
  if (a >= 255) {
    d = 0xFF000000u | (rgb & 0xFFFFFF);
    return;
  }
  auto mix = [a](uint32_t s, uint32_t t) { return (s * a + t * (255 - a) + 127) / 255; };
  const uint32_t r = mix((rgb >> 16) & 255, (d >> 16) & 255), g = mix((rgb >> 8) & 255, (d >> 8) & 255),
                 b = mix(rgb & 255, d & 255);
  d = 0xFF000000u | r << 16 | g << 8 | b;
}

void Canvas::DrawImage(const CBitmap32& image, int x, int y, int w, int h) {
  if (image.width <= 0 || image.height <= 0 || w <= 0 || h <= 0) return;
  const int x0 = std::max(0, x), y0 = std::max(0, y);
  const int x1 = std::min(b_.width, x + w), y1 = std::min(b_.height, y + h);
  for (int yy = y0; yy < y1; ++yy) {
    const int sy = static_cast<int>(static_cast<int64_t>(yy - y) * image.height / h);
    for (int xx = x0; xx < x1; ++xx) {
      const int sx = static_cast<int>(static_cast<int64_t>(xx - x) * image.width / w);
      const uint32_t p = image.Pixel(sx, sy);
      Blend(xx, yy, p, static_cast<int>(p >> 24));
    }
  }
}

void Canvas::DrawText(const FormFont& font, std::string_view text, int x, int y, int colour, bool underline,
                      bool strike) {
  const CFont& f = font.font;
  const uint32_t rgb = PixelOf(colour) & 0xFFFFFF;
  int pen = x;
  for (char ch : text) {
    const uint8_t c = static_cast<uint8_t>(ch);
    const RGlyph& g = f.glyphs[c];
    if (c >= 32 && !f.atlas.empty()) {
      for (int row = 0; row < g.height; ++row)
        for (int col = 0; col < g.width; ++col) {
          const size_t at = static_cast<size_t>(g.y + row) * f.atlasWidth + g.x + col;
          if (at < f.atlas.size()) Blend(pen + g.offset + col, y + row, rgb, f.atlas[at]);
        }
    }
    pen += gfx::Advance(f, c);
  }
  const int thickness = std::max(1, font.height / 16);
  if (underline)
    for (int t = 0; t < thickness; ++t)
      for (int xx = x; xx < pen; ++xx) Blend(xx, y + font.baseline + 1 + t, rgb, 255);
  if (strike)
    for (int t = 0; t < thickness; ++t)
      for (int xx = x; xx < pen; ++xx) Blend(xx, y + font.baseline * 2 / 3 + t, rgb, 255);
}

}  // namespace kv::ui
