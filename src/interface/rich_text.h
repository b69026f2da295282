#pragma once
// Rich text (RTF) as the game information and text splashes store it, read into paragraphs of styled runs: font
// table, colour table, bold/italic/underline/strike-out, sizes, colours, alignment, indents, spacing, tab stops,
// \'hh and \uN characters and PNG/JPEG pictures. Unknown destinations are skipped whole; the reader never reads
// past its input and bounds how deep groups nest. Text that is not rich text becomes plain paragraphs.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/bitmap32.h"

namespace kv::ui {

inline constexpr int kMaxRichTextDepth = 256;  // deeper groups are skipped whole

struct RichCharFormat {
  std::string font = "Arial";
  int halfPoints = 24;  // 12 pt
  bool bold = false, italic = false, underline = false, strike = false;
  int colour = -1;  // 0x00BBGGRR; −1: the automatic text colour (black)
  bool operator==(const RichCharFormat&) const = default;
};

enum class RichAlign { Left, Centre, Right, Justify };

// Text (CP-1252 bytes; '\t' a tab, '\n' a line break inside the paragraph) or, without text, a picture.
struct RichRun {
  RichCharFormat format;
  std::string text;
  std::shared_ptr<const CBitmap32> picture;
  int pictureWidth = 0, pictureHeight = 0;  // pixels on screen
};

// Distances in pixels (96 per inch: a twip is 1/15 pixel).
struct RichParagraph {
  RichAlign align = RichAlign::Left;
  int leftIndent = 0, rightIndent = 0, firstIndent = 0;
  int spaceBefore = 0, spaceAfter = 0;
  std::vector<int> tabStops;
  std::vector<RichRun> runs;
};

struct RichDocument {
  std::vector<RichParagraph> paragraphs;
};

// `base` is the format of text before any formatting word (and what \plain returns to).
RichDocument ParseRichText(std::string_view text, const RichCharFormat& base = {});

// The characters only: paragraphs joined by CR LF (none after the last), tabs kept.
std::string RichTextToPlain(std::string_view text);

}  // namespace kv::ui
