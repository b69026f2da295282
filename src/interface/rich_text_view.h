#pragma once
// Lays rich text out at a width (word wrap, alignment, indents, tab stops, pictures on the line) and draws it onto
// a canvas: the game information window and text splashes.
#include <string>
#include <vector>

#include "interface/form_canvas.h"
#include "interface/rich_text.h"

namespace kv::ui {

// One placed piece: a stretch of text in one format, or a picture (text empty). Positions are pixels from the
// top-left of the text.
struct RichPiece {
  int x = 0, y = 0, width = 0, height = 0;
  std::string text;
  const RichRun* run = nullptr;  // its format (and picture); points into the laid-out document
};

struct RichLayout {
  std::vector<RichPiece> pieces;
  int height = 0;
};

inline constexpr int kDefaultTabWidth = 48;  // half an inch

FontLook FontOf(const RichCharFormat& format);
// The document must outlive the layout.
RichLayout LayoutRichText(const RichDocument& doc, int width);
// Draws the pieces offset by (dx, dy); text in the automatic colour takes `textColour`.
void DrawRichText(Canvas& canvas, const RichLayout& layout, int dx, int dy, int textColour = 0);

}  // namespace kv::ui
