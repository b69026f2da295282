// Fonts at run time: the font table with an atlas texture per font, the default font, fonts made from system
// fonts while the game runs (FreeType, with fontconfig finding the family) and from sprite frames, glyph metrics,
// and drawing strings glyph by glyph as textured quads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "graphics/font_class.h"
#include "runner/resource_table.h"

namespace kv::gfx {

// ---- sprites, as fonts and the drawing functions need them ----
// Installed by the sprite module; until then (and in tests without sprites) every sprite is missing.
struct SpriteAccess {
  int (*frameCount)(int sprite) = nullptr;  // −1 when the sprite does not exist
  // Frame size and origin; false when the sprite does not exist.
  bool (*geometry)(int sprite, int& width, int& height, int& xorigin, int& yorigin) = nullptr;
  int (*frameTexture)(int sprite, int frame) = nullptr;  // texture id of a frame, −1 when none
  // Horizontal extent (inclusive) of the frame's visible pixels; false when the frame is empty.
  bool (*frameColumns)(int sprite, int frame, int& left, int& right) = nullptr;
};
void SetSpriteAccess(const SpriteAccess& access);
const SpriteAccess& Sprites();
int SpriteFrameCount(int sprite);  // −1 when the sprite does not exist
bool SpriteExists(int sprite);

// ---- the font table ----
// The table in use: the loaded game's fonts (bound by the runner) or, unbound, an internal one (tests).
void BindFontTable(ResourceTable<CFont>* table);
ResourceTable<CFont>& Fonts();
bool FontExists(int index);
CFont* GetFont(int index);
std::string_view FontName(int index);
int FindFont(std::string_view name);
void ClearFonts();             // frees every texture and empties the table (an internal table only)

// Largest point size a run-time font is made with: larger requests would need atlases beyond any texture.
constexpr int kMaxFontSize = 200;
constexpr int kDefaultFontIndex = -1;

// Checks a stored font before its atlas is used: the atlas holds exactly width × height bytes and every cell of
// the character range lies inside it. A font that fails keeps its metrics but gets no texture (its glyphs draw
// nothing).
bool AtlasConsistent(const CFont& font);
// Makes the atlas textures of every font (after the device exists, "Preparing graphics").
void PrepareFontTextures();
void FreeFontTextures();        // device going away: the table keeps its fonts
int FontTexture(int index);     // −1 when none; kDefaultFontIndex gives the default font's texture

// Builds the glyph table and the coverage atlas of a system font (name, size, bold, italic, first … last) with
// FreeType. The family is found through fontconfig; an unknown name uses a free fallback face. False when no
// face at all can be loaded (the font then has metrics of zero and no atlas).
bool BuildSystemFont(CFont& font);

// Run-time fonts; each returns the new index or −1. The range is clamped to 0 … 255 and the size to
// 1 … kMaxFontSize.
int AddFont(std::string_view name, int size, bool bold, bool italic, int first, int last);
int AddSpriteFont(int sprite, int first, bool proportional, int separation);
bool ReplaceFont(int index, std::string_view name, int size, bool bold, bool italic, int first, int last);
bool ReplaceSpriteFont(int index, int sprite, int first, bool proportional, int separation);
bool DeleteFont(int index);

// The font text is drawn with when the game has chosen none: "Arial" 12, characters 32 … 127, built when
// first needed.
const CFont& DefaultFont();
void ResetDefaultFont();  // drops it (and its texture); rebuilt on the next use

// The font an index selects: the table entry, or the default font for anything else.
const CFont& ResolveFont(int index);

// ---- metrics ----
int Advance(const CFont& font, uint8_t c);
int StringWidth(const CFont& font, std::string_view s);
int LineHeight(const CFont& font);

// ---- drawing (font index as ResolveFont takes it; angles in radians; colours are script colours) ----
void DrawString(int font, std::string_view s, int colour, double alpha, double x, double y);
void DrawStringTransformed(int font, std::string_view s, int colour, double alpha, double angle, double xscale,
                           double yscale, double x, double y);
void DrawStringColours(int font, std::string_view s, int c1, int c2, int c3, int c4, double alpha, double x,
                       double y);
void DrawStringColoursTransformed(int font, std::string_view s, int c1, int c2, int c3, int c4, double alpha,
                                  double angle, double xscale, double yscale, double x, double y);

}  // namespace kv::gfx
