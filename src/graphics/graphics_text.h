// Text: the current font and alignment, splitting text into lines (line breaks and word wrapping), measuring,
// and drawing the lines with the draw colour and alpha or with corner colours, plain or rotated and scaled.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "graphics/font_class.h"

namespace kv::gfx {

enum TextAlign { kAlignLeft = 0, kAlignCentre = 1, kAlignRight = 2 };  // also top / middle / bottom

void SetFont(int index);  // an index that is not a font selects the default font (−1)
int CurrentFont();
void SetHalign(int n);    // 1 and 2 are taken, anything else is 0
void SetValign(int n);
int Halign();
int Valign();
void ResetTextState();    // default font, left, top

// The lines of a text: "#" breaks a line ("\#" is a plain "#"), so do carriage returns and line feeds; with a
// width ≥ 0 every piece is filled word by word (a word ends after a space or a hyphen) up to that width.
std::vector<std::string> SplitLines(const CFont& font, std::string_view text, int width);
std::vector<std::string> SplitLines(std::string_view text, int width);  // with the current font

// A separation below 0 is the font's line height; a width below 0 means no wrapping.
int TextWidth(std::string_view text, int separation, int width);   // at least 1
int TextHeight(std::string_view text, int separation, int width);  // 1 for no lines

// Angles in degrees.
void DrawText(std::string_view text, int separation, int width, double x, double y);
void DrawTextTransformed(std::string_view text, int separation, int width, double xscale, double yscale,
                         double angle, double x, double y);
void DrawTextColours(std::string_view text, int separation, int width, int c1, int c2, int c3, int c4, double alpha,
                     double x, double y);
void DrawTextColoursTransformed(std::string_view text, int separation, int width, double xscale, double yscale,
                                double angle, int c1, int c2, int c3, int c4, double alpha, double x, double y);

// How a real given where text is expected is written: a whole number as an integer, anything else with two
// decimals.
std::string TextOfNumber(double value);

}  // namespace kv::gfx
