#include "graphics/graphics_text.h"

#include <algorithm>
#include <cmath>

#include "functions/function_math.h"
#include "graphics/font_main.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_support.h"

namespace kv::gfx {

namespace {

struct TextState {
  int font = kDefaultFontIndex;
  int halign = kAlignLeft, valign = kAlignLeft;
};
TextState& T() {
  static TextState t;
  return t;
}

int AlignValue(int n) { return n == 1 || n == 2 ? n : 0; }

// Cuts a piece into words (each up to and including the next space or hyphen) and fills lines with them.
void WrapPiece(const CFont& font, std::string_view piece, int width, std::vector<std::string>& out) {
  size_t pos = 0;
  auto nextWord = [&]() {
    size_t end = pos;
    while (end < piece.size() && piece[end] != ' ' && piece[end] != '-') ++end;
    if (end < piece.size()) ++end;  // the space or hyphen belongs to the word
    std::string_view w = piece.substr(pos, end - pos);
    return w;
  };
  while (pos < piece.size()) {
    std::string_view word = nextWord();
    std::string line(word);
    int lineWidth = StringWidth(font, word);
    pos += word.size();
    while (lineWidth < width && pos < piece.size()) {
      word = nextWord();
      int w = StringWidth(font, word);
      if (lineWidth + w > width) break;
      line.append(word);
      lineWidth += w;
      pos += word.size();
    }
    out.push_back(std::move(line));
  }
}

int Separation(const CFont& font, int separation) { return separation < 0 ? LineHeight(font) : separation; }

struct LineDrawer {
  bool colours = false;
  int c[4] = {0, 0, 0, 0};
  int colour = 0;
  double alpha = 1.0;
};

void DrawLines(std::string_view text, int separation, int width, double xscale, double yscale, double angleDeg,
               bool transformed, const LineDrawer& how, double x, double y) {
  const int fontIndex = T().font;
  const CFont& font = ResolveFont(fontIndex);
  const std::vector<std::string> lines = SplitLines(font, text, width);
  if (lines.empty()) return;
  const int sep = Separation(font, separation);
  const int n = static_cast<int>(lines.size());
  if (!transformed) {
    if (T().valign == 1) y -= (n * sep) / 2;
    else if (T().valign == 2) y -= n * sep;
    for (int i = 0; i < n; ++i) {
      int w = StringWidth(font, lines[i]);
      double lx = x;
      if (T().halign == 1) lx -= w / 2;
      else if (T().halign == 2) lx -= w;
      double ly = y + static_cast<double>(i) * sep;
      if (how.colours) DrawStringColours(fontIndex, lines[i], how.c[0], how.c[1], how.c[2], how.c[3], how.alpha, lx, ly);
      else DrawString(fontIndex, lines[i], how.colour, how.alpha, lx, ly);
    }
    return;
  }
  const double a = angleDeg * M_PI / 180.0;
  const double ca = std::cos(a), sa = std::sin(a);
  const double stepX = sep * yscale * sa, stepY = sep * yscale * ca;
  if (T().valign == 1) {
    x -= RoundToInt(n * stepX / 2);
    y -= RoundToInt(n * stepY / 2);
  } else if (T().valign == 2) {
    x -= RoundToInt(n * stepX);
    y -= RoundToInt(n * stepY);
  }
  for (int i = 0; i < n; ++i) {
    int w = StringWidth(font, lines[i]);
    double shift = 0;
    if (T().halign == 1) shift = -RoundToInt(xscale * w / 2);
    else if (T().halign == 2) shift = -RoundToInt(xscale * w);
    double lx = x + i * stepX + shift * ca, ly = y + i * stepY - shift * sa;
    if (how.colours)
      DrawStringColoursTransformed(fontIndex, lines[i], how.c[0], how.c[1], how.c[2], how.c[3], how.alpha, a, xscale,
                                   yscale, lx, ly);
    else
      DrawStringTransformed(fontIndex, lines[i], how.colour, how.alpha, a, xscale, yscale, lx, ly);
  }
}

}  // namespace

void SetFont(int index) { T().font = FontExists(index) ? index : kDefaultFontIndex; }
int CurrentFont() { return T().font; }
void SetHalign(int n) { T().halign = AlignValue(n); }
void SetValign(int n) { T().valign = AlignValue(n); }
int Halign() { return T().halign; }
int Valign() { return T().valign; }
void ResetTextState() { T() = TextState{}; }

std::vector<std::string> SplitLines(const CFont& font, std::string_view text, int width) {
  // Pieces between breaks; "\#" is a plain "#".
  std::vector<std::string> pieces(1);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size() && text[i + 1] == '#') {
      pieces.back().push_back('#');
      ++i;
    } else if (c == '#' || c == '\r' || c == '\n') {
      pieces.emplace_back();
    } else {
      pieces.back().push_back(c);
    }
  }
  if (pieces.back().empty()) pieces.pop_back();  // a break at the end (or no text) adds no line
  if (width < 0) return pieces;
  std::vector<std::string> lines;
  for (const std::string& p : pieces) WrapPiece(font, p, width, lines);
  return lines;
}

std::vector<std::string> SplitLines(std::string_view text, int width) {
  return SplitLines(ResolveFont(T().font), text, width);
}

int TextWidth(std::string_view text, int /*separation*/, int width) {
  const CFont& font = ResolveFont(T().font);
  int w = 1;
  for (const std::string& line : SplitLines(font, text, width)) w = std::max(w, StringWidth(font, line));
  return w;
}

int TextHeight(std::string_view text, int separation, int width) {
  const CFont& font = ResolveFont(T().font);
  size_t n = SplitLines(font, text, width).size();
  if (n == 0) return 1;
  return LineHeight(font) + Separation(font, separation) * static_cast<int>(n - 1);
}

void DrawText(std::string_view text, int separation, int width, double x, double y) {
  LineDrawer how;
  how.colour = DrawColour();
  how.alpha = DrawAlpha();
  DrawLines(text, separation, width, 1.0, 1.0, 0.0, false, how, x, y);
}

void DrawTextTransformed(std::string_view text, int separation, int width, double xscale, double yscale,
                         double angle, double x, double y) {
  LineDrawer how;
  how.colour = DrawColour();
  how.alpha = DrawAlpha();
  DrawLines(text, separation, width, xscale, yscale, angle, true, how, x, y);
}

void DrawTextColours(std::string_view text, int separation, int width, int c1, int c2, int c3, int c4, double alpha,
                     double x, double y) {
  LineDrawer how;
  how.colours = true;
  how.c[0] = c1, how.c[1] = c2, how.c[2] = c3, how.c[3] = c4;
  how.alpha = alpha;
  DrawLines(text, separation, width, 1.0, 1.0, 0.0, false, how, x, y);
}

void DrawTextColoursTransformed(std::string_view text, int separation, int width, double xscale, double yscale,
                                double angle, int c1, int c2, int c3, int c4, double alpha, double x, double y) {
  LineDrawer how;
  how.colours = true;
  how.c[0] = c1, how.c[1] = c2, how.c[2] = c3, how.c[3] = c4;
  how.alpha = alpha;
  DrawLines(text, separation, width, xscale, yscale, angle, true, how, x, y);
}

std::string TextOfNumber(double value) { return RealToText(value); }

}  // namespace kv::gfx
