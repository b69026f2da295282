#pragma once
// Drawing for the runner's own windows (message box, score table, splash, game information): fonts made with
// FreeType for the forms, and a canvas that fills, stretches images and writes text into a CBitmap32, so every
// form is drawn the same way with or without a display.
#include <string>
#include <string_view>
#include <vector>

#include "graphics/bitmap32.h"
#include "graphics/font_class.h"

namespace kv::ui {

struct FontLook {
  std::string name = "Arial";
  int size = 12;  // points at 96 pixels per inch
  bool bold = false, italic = false;
  bool operator==(const FontLook&) const = default;
};

struct FormFont {
  CFont font;        // characters 0 … 255
  int baseline = 0;  // rows from the cell's top to the baseline
  int height = 0;    // of a line
};
// Made on first use and kept for the run.
const FormFont& GetFormFont(const FontLook& look);
int TextWidth(const FormFont& font, std::string_view text);

// Lines no wider than `width` (when a word allows): breaks at CR, LF and CR LF, and between words.
std::vector<std::string> WrapText(const FormFont& font, std::string_view text, int width);

// Script colours (0x00BBGGRR) to pixels (0xAARRGGBB) and back.
uint32_t PixelOf(int colour, int alpha = 255);
int ColourOf(uint32_t pixel);

class Canvas {
 public:
  explicit Canvas(CBitmap32& target) : b_(target) {}
  CBitmap32& Target() { return b_; }
  void Fill(int colour) { FillRect(0, 0, b_.width, b_.height, colour); }
  void FillRect(int x, int y, int w, int h, int colour);
  // The image stretched to w × h (nearest pixel), blended by its alpha.
  void DrawImage(const CBitmap32& image, int x, int y, int w, int h);
  // Text with its cell's top-left at (x, y), one line (control characters draw nothing).
  void DrawText(const FormFont& font, std::string_view text, int x, int y, int colour, bool underline = false,
                bool strike = false);

 private:
  void Blend(int x, int y, uint32_t rgb, int coverage);
  CBitmap32& b_;
};

}  // namespace kv::ui
