#include "graphics/font_main.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include <dlfcn.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

#include "graphics/graphics_d3d.h"
#include "graphics/graphics_texture.h"
#include "graphics/support_color.h"
#include "platform/library_open.h"
#include "platform/text_codec.h"

namespace kv::gfx {

namespace {

struct FontState {
  ResourceTable<CFont> own;
  ResourceTable<CFont>* bound = nullptr;
  std::vector<int> textures;  // per table index; −1 none
  std::unique_ptr<CFont> defaultFont;
  int defaultTexture = -1;
  SpriteAccess sprites;
};

FontState& S() {
  static FontState s;
  return s;
}

ResourceTable<CFont>& Table() { return S().bound ? *S().bound : S().own; }

int& TextureSlot(int index) {
  auto& t = S().textures;
  if (index >= static_cast<int>(t.size())) t.resize(index + 1, -1);
  return t[index];
}

void FreeTextureAt(int index) {
  if (index < 0 || index >= static_cast<int>(S().textures.size())) return;
  int& id = S().textures[index];
  if (id >= 0) FreeTexture(id);
  id = -1;
}

// The rows of each glyph cell that hold coverage, recorded per atlas texture. Most of a cell is empty above and
// below the glyph (the cell is the full line height); plain text draws only the inked rows plus one empty row on
// each side, which leaves every pixel as it was (see CropGlyph) at much less rasterising.
struct GlyphInk {
  RGlyph cell;              // the cell the rows were found in (a changed glyph table is not cropped)
  bool known = false;       // the cell lies inside the atlas, so its texels were looked at
  int16_t top = 0, bottom = -1;  // first and last row with coverage, relative to the cell; bottom < top: none
  int16_t left = 0, right = -1;  // first and last column with coverage
};
struct AtlasInk {
  bool valid = false;
  std::array<GlyphInk, 256> glyphs;
};
std::vector<AtlasInk>& InkByTexture() {
  static std::vector<AtlasInk> ink;
  return ink;
}

void RecordInk(const CFont& f, int texture) {
  if (texture < 0) return;
  auto& all = InkByTexture();
  if (texture >= static_cast<int>(all.size())) all.resize(texture + 1);
  AtlasInk& ink = all[texture];
  ink.valid = true;
  for (int c = 0; c < 256; ++c) {
    GlyphInk& gi = ink.glyphs[c];
    gi = GlyphInk{};
    if (c < f.first || c > f.last) continue;
    const RGlyph& g = f.glyphs[c];
    gi.cell = g;
    if (g.x < 0 || g.y < 0 || g.width <= 0 || g.height <= 0 || g.x + g.width > f.atlasWidth ||
        g.y + g.height > f.atlasHeight || g.width > 32767 || g.height > 32767)
      continue;  // never cropped
    gi.known = true;
    int top = -1, bottom = -1, left = g.width, right = -1;
    for (int row = 0; row < g.height; ++row) {
      const uint8_t* p = &f.atlas[static_cast<size_t>(g.y + row) * f.atlasWidth + g.x];
      for (int col = 0; col < g.width; ++col) {
        if (p[col] == 0) continue;
        if (top < 0) top = row;
        bottom = row;
        left = std::min(left, col);
        right = std::max(right, col);
      }
    }
    gi.top = static_cast<int16_t>(top < 0 ? 0 : top);
    gi.bottom = static_cast<int16_t>(top < 0 ? -1 : bottom);
    gi.left = static_cast<int16_t>(top < 0 ? 0 : left);
    gi.right = static_cast<int16_t>(top < 0 ? -1 : right);
  }
}

// Atlas texture of a system font; none for sprite fonts, empty names and inconsistent atlases.
int MakeAtlasTexture(const CFont& f) {
  if (f.name.empty() || f.sprite >= 0 || !AtlasConsistent(f) || f.atlasWidth == 0 || f.atlasHeight == 0) return -1;
  const int texture = TextureFromAlpha(f.atlasWidth, f.atlasHeight, f.atlas.data());
  RecordInk(f, texture);
  return texture;
}

// The glyph table entry that draws character c, or null when c is outside the range.
const RGlyph* GlyphOf(const CFont& f, uint8_t c) {
  return c >= f.first && c <= f.last ? &f.glyphs[c] : nullptr;
}

// ---- FreeType ----

// FreeType and fontconfig are opened with the first run-time font, not at start: most games draw with their
// stored font atlases only, and the libraries' loading would cost every run. Without them no run-time font opens.
#define KV_FREETYPE_FUNCTIONS(X) \
  X(FT_Init_FreeType) X(FT_New_Face) X(FT_Get_Char_Index) X(FT_Load_Glyph) X(FT_GlyphSlot_Embolden) \
  X(FT_GlyphSlot_Oblique) X(FT_Render_Glyph) X(FT_Set_Char_Size) X(FT_Done_Face)
#define KV_FONTCONFIG_FUNCTIONS(X) \
  X(FcInit) X(FcPatternCreate) X(FcPatternAddString) X(FcPatternAddInteger) X(FcPatternAddBool) \
  X(FcConfigSubstitute) X(FcDefaultSubstitute) X(FcFontMatch) X(FcPatternGetInteger) X(FcPatternGetString) \
  X(FcPatternDestroy)

template <class Api>
Api LoadFontLibrary(const char* file, void (*resolve)(void* lib, Api& api, bool& all)) {
  Api api;
  void* lib = plat::OpenLibraryOnDemand(file);
  bool all = lib != nullptr;
  if (lib) resolve(lib, api, all);
  api.loaded = all;
  return api;
}

#define KV_FONT_POINTER(name) decltype(&::name) name = nullptr;
#define KV_FONT_RESOLVE(name)                                               \
  api.name = reinterpret_cast<decltype(api.name)>(dlsym(lib, #name));       \
  all = all && api.name != nullptr;
struct FreeTypeApi {
  KV_FREETYPE_FUNCTIONS(KV_FONT_POINTER)
  bool loaded = false;
};
struct FontconfigApi {
  KV_FONTCONFIG_FUNCTIONS(KV_FONT_POINTER)
  bool loaded = false;
};

const FreeTypeApi& Ft() {
  static const FreeTypeApi api = LoadFontLibrary<FreeTypeApi>(
      "libfreetype.so.6", [](void* lib, FreeTypeApi& api, bool& all) { KV_FREETYPE_FUNCTIONS(KV_FONT_RESOLVE) });
  return api;
}
const FontconfigApi& Fc() {
  static const FontconfigApi api = LoadFontLibrary<FontconfigApi>(
      "libfontconfig.so.1", [](void* lib, FontconfigApi& api, bool& all) { KV_FONTCONFIG_FUNCTIONS(KV_FONT_RESOLVE) });
  return api;
}
#undef KV_FONT_RESOLVE
#undef KV_FONT_POINTER


FT_Library FreeType() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (!Ft().loaded || Ft().FT_Init_FreeType(&l) != 0) l = nullptr;
    return l;
  }();
  return lib;
}

// Unicode code point of a CP-1252 byte.
uint32_t CodePoint(uint8_t c) {
  if (c < 0x80 || c >= 0xA0) return c;
  std::string u = plat::Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(&c), 1));
  if (u.size() == 2) return ((u[0] & 0x1Fu) << 6) | (u[1] & 0x3Fu);
  if (u.size() == 3) return ((u[0] & 0x0Fu) << 12) | ((u[1] & 0x3Fu) << 6) | (u[2] & 0x3Fu);
  return c;
}

// Faces tried when fontconfig finds nothing usable.
const char* const kFallbackFaces[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
};

FT_Face OpenFace(const std::string& name, bool bold, bool italic) {
  FT_Library lib = FreeType();
  if (!lib) return nullptr;
  FT_Face face = nullptr;
  if (Fc().loaded && Fc().FcInit()) {
    FcPattern* pat = Fc().FcPatternCreate();
    std::string family = plat::Cp1252ToUtf8(name);
    Fc().FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    Fc().FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    Fc().FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    Fc().FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    Fc().FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    Fc().FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcPattern* match = Fc().FcFontMatch(nullptr, pat, &result);
    if (match) {
      FcChar8* file = nullptr;
      int index = 0;
      Fc().FcPatternGetInteger(match, FC_INDEX, 0, &index);
      if (Fc().FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
        if (Ft().FT_New_Face(lib, reinterpret_cast<const char*>(file), index, &face) != 0) face = nullptr;
      Fc().FcPatternDestroy(match);
    }
    Fc().FcPatternDestroy(pat);
  }
  for (const char* path : kFallbackFaces) {
    if (face) break;
    if (std::filesystem::exists(path) && Ft().FT_New_Face(lib, path, 0, &face) != 0) face = nullptr;
  }
  return face;
}

struct Rendered {
  int a = 0, b = 0, advance = 0;  // ABC widths: A, B and A + B + C
  int top = 0;                    // bitmap rows above the baseline
  int rows = 0, pitch = 0;
  std::vector<uint8_t> coverage;  // b × rows
};

Rendered RenderGlyph(FT_Face face, uint8_t c, bool emboldenBold, bool slantItalic) {
  Rendered r;
  FT_UInt gi = Ft().FT_Get_Char_Index(face, CodePoint(c));
  if (gi == 0 && c >= 0x20) gi = Ft().FT_Get_Char_Index(face, '?');
  if (Ft().FT_Load_Glyph(face, gi, FT_LOAD_DEFAULT) != 0) return r;
  if (emboldenBold) Ft().FT_GlyphSlot_Embolden(face->glyph);
  if (slantItalic) Ft().FT_GlyphSlot_Oblique(face->glyph);
  if (Ft().FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return r;
  const FT_Bitmap& bm = face->glyph->bitmap;
  r.a = face->glyph->bitmap_left;
  r.b = static_cast<int>(bm.width);
  r.advance = static_cast<int>((face->glyph->advance.x + 32) >> 6);
  r.top = face->glyph->bitmap_top;
  r.rows = static_cast<int>(bm.rows);
  r.coverage.resize(static_cast<size_t>(r.b) * r.rows);
  for (int y = 0; y < r.rows; ++y)
    for (int x = 0; x < r.b; ++x) {
      const uint8_t* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
      uint8_t v = bm.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[x >> 3] >> (7 - (x & 7))) & 1) * 255 : row[x];
      r.coverage[static_cast<size_t>(y) * r.b + x] = v;
    }
  return r;
}

void ClampRange(int& first, int& last) {
  first = std::clamp(first, 0, 255);
  last = std::clamp(last, 0, 255);
}

bool BuildSpriteFont(CFont& f, int sprite, int first, bool proportional, int separation) {
  int frames = SpriteFrameCount(sprite);
  int w = 0, h = 0, xo = 0, yo = 0;
  if (frames < 0 || !Sprites().geometry || !Sprites().geometry(sprite, w, h, xo, yo)) return false;
  f = CFont{};
  f.name.clear();
  f.sprite = sprite;
  f.first = std::clamp(first, 0, 255);
  f.last = std::min(255, f.first + frames - 1);
  for (int c = f.first; c <= f.last; ++c) {
    RGlyph& g = f.glyphs[c];
    g.width = w;
    g.height = h;
    g.advance = w + separation;
    g.offset = 0;
    int left = 0, right = 0;
    // An empty frame (a space) has no columns to measure: it keeps the full width rather than an advance of
    // minus its width.
    if (proportional && Sprites().frameColumns && Sprites().frameColumns(sprite, c - f.first, left, right)) {
      g.advance = right - left + separation;
      g.offset = -left;
    }
  }
  return true;
}

void StoreTexture(int index, int texture) {
  FreeTextureAt(index);
  TextureSlot(index) = texture;
}

int AddNamed(std::unique_ptr<CFont> font) {
  auto& t = Table();
  int index = t.Add("", std::move(font));
  t.SetName(index, "__newfont" + std::to_string(index));
  return index;
}

}  // namespace

// ---- sprites ----

void SetSpriteAccess(const SpriteAccess& access) { S().sprites = access; }
const SpriteAccess& Sprites() { return S().sprites; }
int SpriteFrameCount(int sprite) { return S().sprites.frameCount ? S().sprites.frameCount(sprite) : -1; }
bool SpriteExists(int sprite) { return SpriteFrameCount(sprite) >= 0; }

// ---- table ----

void BindFontTable(ResourceTable<CFont>* table) {
  FreeFontTextures();
  S().bound = table;
}
ResourceTable<CFont>& Fonts() { return Table(); }
bool FontExists(int index) { return Table().Exists(index); }
CFont* GetFont(int index) { return Table().Get(index); }
std::string_view FontName(int index) { return Table().Name(index); }
int FindFont(std::string_view name) { return Table().Find(name); }

void ClearFonts() {
  FreeFontTextures();
  S().textures.clear();
  S().own.Clear();
  if (S().bound) S().bound->Clear();
}

bool AtlasConsistent(const CFont& f) {
  if (f.atlasWidth < 0 || f.atlasHeight < 0) return false;
  if (static_cast<uint64_t>(f.atlasWidth) * static_cast<uint64_t>(f.atlasHeight) != f.atlas.size()) return false;
  if (f.first < 0 || f.last > 255) return false;
  for (int c = f.first; c <= f.last; ++c) {
    const RGlyph& g = f.glyphs[c];
    if (g.x < 0 || g.y < 0 || g.width < 0 || g.height < 0 ||
        static_cast<int64_t>(g.x) + g.width > f.atlasWidth || static_cast<int64_t>(g.y) + g.height > f.atlasHeight)
      return false;
  }
  return true;
}

void PrepareFontTextures() {
  for (int i = 0; i < Table().Count(); ++i) {
    const CFont* f = Table().Get(i);
    StoreTexture(i, f ? MakeAtlasTexture(*f) : -1);
  }
}

void FreeFontTextures() {
  for (int i = 0; i < static_cast<int>(S().textures.size()); ++i) FreeTextureAt(i);
  if (S().defaultTexture >= 0) FreeTexture(S().defaultTexture);
  S().defaultTexture = -1;
}

int FontTexture(int index) {
  if (!FontExists(index)) {
    DefaultFont();
    if (S().defaultTexture < 0 || !TextureExists(S().defaultTexture))
      S().defaultTexture = MakeAtlasTexture(*S().defaultFont);
    return S().defaultTexture;
  }
  int& slot = TextureSlot(index);
  // Made on first use when the font arrived before the device (or the device was re-created).
  if (slot < 0 || !TextureExists(slot)) slot = MakeAtlasTexture(*Table().Get(index));
  return slot;
}

bool BuildSystemFont(CFont& f) {
  ClampRange(f.first, f.last);
  f.size = std::clamp(f.size, 1, kMaxFontSize);
  f.sprite = -1;
  f.glyphs = {};
  f.atlasWidth = f.atlasHeight = 0;
  f.atlas.clear();
  FT_Face face = OpenFace(f.name, f.bold, f.italic);
  if (!face) return false;
  Ft().FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(f.size) * 64, 96, 96);
  const bool embolden = f.bold && !(face->style_flags & FT_STYLE_FLAG_BOLD);
  const bool slant = f.italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
  const int ascender = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
  const int descender = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
  const int h = std::max(1, ascender + descender);

  std::vector<Rendered> glyphs(256);
  int widest = 1;
  for (int c = f.first; c <= f.last; ++c) {
    glyphs[c] = RenderGlyph(face, static_cast<uint8_t>(c), embolden, slant);
    widest = std::max(widest, glyphs[c].b + 1);
  }
  Ft().FT_Done_Face(face);

  // Lay the cells out on rows, doubling the width until the atlas is at least as wide as high. The width starts
  // at the widest cell so no cell can hang over the right edge.
  int width = 128;
  while (width < widest) width *= 2;
  int height = 0;
  for (;;) {
    int x = 0, y = 0;
    for (int c = f.first; c <= f.last; ++c) {
      RGlyph& g = f.glyphs[c];
      const Rendered& r = glyphs[c];
      g.width = r.b + 1;
      g.height = h;
      g.advance = r.advance;
      g.offset = r.a;
      if (x > 0 && x + g.width >= width) {
        y += h + 1;
        x = 0;
      }
      g.x = x;
      g.y = y;
      x += g.width + 1;
    }
    height = y + h + 1;
    if (width >= height || width >= 8192) break;
    width *= 2;
  }
  f.atlasWidth = width;
  f.atlasHeight = height;
  f.atlas.assign(static_cast<size_t>(width) * height, 0);
  for (int c = f.first; c <= f.last; ++c) {
    const RGlyph& g = f.glyphs[c];
    const Rendered& r = glyphs[c];
    for (int row = 0; row < r.rows; ++row) {
      int ay = g.y + ascender - r.top + row;
      if (ay < g.y || ay >= g.y + g.height || ay >= height) continue;
      for (int col = 0; col < r.b; ++col) {
        int ax = g.x + col;
        if (ax >= width) break;
        f.atlas[static_cast<size_t>(ay) * width + ax] = r.coverage[static_cast<size_t>(row) * r.b + col];
      }
    }
  }
  return true;
}

int AddFont(std::string_view name, int size, bool bold, bool italic, int first, int last) {
  auto f = std::make_unique<CFont>();
  f->name = std::string(name);
  f->size = size;
  f->bold = bold;
  f->italic = italic;
  f->first = first;
  f->last = last;
  BuildSystemFont(*f);
  int texture = MakeAtlasTexture(*f);
  int index = AddNamed(std::move(f));
  StoreTexture(index, texture);
  return index;
}

int AddSpriteFont(int sprite, int first, bool proportional, int separation) {
  auto f = std::make_unique<CFont>();
  if (!BuildSpriteFont(*f, sprite, first, proportional, separation)) return -1;
  int index = AddNamed(std::move(f));
  StoreTexture(index, -1);
  return index;
}

bool ReplaceFont(int index, std::string_view name, int size, bool bold, bool italic, int first, int last) {
  if (!FontExists(index)) return false;
  auto f = std::make_unique<CFont>();
  f->name = std::string(name);
  f->size = size;
  f->bold = bold;
  f->italic = italic;
  f->first = first;
  f->last = last;
  BuildSystemFont(*f);
  int texture = MakeAtlasTexture(*f);
  Table().Set(index, std::move(f));
  StoreTexture(index, texture);
  return true;
}

bool ReplaceSpriteFont(int index, int sprite, int first, bool proportional, int separation) {
  if (!FontExists(index)) return false;
  auto f = std::make_unique<CFont>();
  if (!BuildSpriteFont(*f, sprite, first, proportional, separation)) return false;
  Table().Set(index, std::move(f));
  StoreTexture(index, -1);
  return true;
}

bool DeleteFont(int index) {
  if (!FontExists(index)) return false;
  FreeTextureAt(index);
  return Table().Delete(index);
}

const CFont& DefaultFont() {
  auto& s = S();
  if (!s.defaultFont) {
    s.defaultFont = std::make_unique<CFont>();
    s.defaultFont->name = "Arial";
    s.defaultFont->size = 12;
    s.defaultFont->first = 32;
    s.defaultFont->last = 127;
    BuildSystemFont(*s.defaultFont);
  }
  return *s.defaultFont;
}

void ResetDefaultFont() {
  if (S().defaultTexture >= 0) FreeTexture(S().defaultTexture);
  S().defaultTexture = -1;
  S().defaultFont.reset();
}

const CFont& ResolveFont(int index) {
  const CFont* f = Table().Get(index);
  return f ? *f : DefaultFont();
}

// ---- metrics ----

int Advance(const CFont& f, uint8_t c) {
  if (const RGlyph* g = GlyphOf(f, c)) return g->advance;
  if (f.first <= 32 && 32 <= f.last) return f.glyphs[32].advance;
  return f.first >= 0 && f.first <= 255 ? f.glyphs[f.first].advance : 0;
}

int StringWidth(const CFont& f, std::string_view s) {
  int w = 0;
  for (char ch : s) w += Advance(f, static_cast<uint8_t>(ch));
  return w;
}

int LineHeight(const CFont& f) { return f.first >= 0 && f.first <= 255 ? f.glyphs[f.first].height : 0; }

// ---- drawing ----

namespace {

// One glyph with the four corner colours, at anchor (x, y) (the cell's top-left before rotation).
void DrawGlyph(const CFont& f, int texture, uint8_t c, const RGlyph& g, const int colours[4], double alpha,
               double angle, double xscale, double yscale, double x, double y, bool general) {
  if (f.sprite >= 0) {
    int frameTex = Sprites().frameTexture ? Sprites().frameTexture(f.sprite, c - f.first) : -1;
    if (general) {
      DrawTextureGeneral(frameTex, colours[0], colours[1], colours[2], colours[3], alpha, angle, xscale, yscale, x,
                         y, 0, 0, g.width, g.height);
    } else {
      int w = 0, h = 0, xo = 0, yo = 0;
      if (Sprites().geometry) Sprites().geometry(f.sprite, w, h, xo, yo);
      DrawTextureExt(frameTex, colours[0], alpha, angle, xscale, yscale, x, y, xo, yo);
    }
    return;
  }
  if (texture < 0) return;
  if (general)
    DrawTextureGeneral(texture, colours[0], colours[1], colours[2], colours[3], alpha, angle, xscale, yscale, x, y,
                       g.x, g.y, g.width, g.height);
  else
    DrawTexturePart(texture, colours[0], alpha, angle, xscale, yscale, x, y, g.x, g.y, g.width, g.height);
}

// Whether fragments of fully transparent texels leave the target as it is: blending on with (source alpha,
// inverse source alpha) or (source alpha, one), and no depth buffer (which they would write).
bool TransparentTexelsLeaveNoTrace() {
  const DeviceState& d = D3D();
  return !d.depthMode && d.states.alphaBlend && d.srcBlend == plat::kBlendSrcAlpha &&
         (d.destBlend == plat::kBlendInvSrcAlpha || d.destBlend == plat::kBlendOne);
}

// The part of glyph c's cell that a plain (unrotated, unscaled, one-colour) string needs: the box of its inked
// texels widened by half a texel on each side (within the cell). A fragment outside it samples the texture more
// than half a texel away from any inked texel, so even with linear filtering at any sub-pixel position or view
// scale it reads only empty texels (of the cell or the empty gap around it) and leaves the target as it is.
// False: draw the whole cell. A glyph without ink gives an empty box (nothing to draw).
struct GlyphBox {
  double left = 0, top = 0, width = 0, height = 0;  // relative to the cell
};
bool CropGlyph(const AtlasInk* ink, uint8_t c, const RGlyph& g, GlyphBox& box) {
  if (!ink) return false;
  const GlyphInk& gi = ink->glyphs[c];
  if (!gi.known || !(gi.cell == g)) return false;
  box = GlyphBox{};
  if (gi.bottom < gi.top) return true;
  box.left = std::max(0.0, gi.left - 0.5);
  box.top = std::max(0.0, gi.top - 0.5);
  box.width = std::min(static_cast<double>(g.width), gi.right + 1.5) - box.left;
  box.height = std::min(static_cast<double>(g.height), gi.bottom + 1.5) - box.top;
  return true;
}

void DrawStringImpl(int font, std::string_view s, const int corners[4], bool general, double alpha, double angle,
                    double xscale, double yscale, double x, double y) {
  const CFont& f = ResolveFont(font);
  const int texture = f.sprite >= 0 ? -1 : FontTexture(FontExists(font) ? font : kDefaultFontIndex);
  const bool rotated = std::fabs(angle) >= 0.01 || xscale != 1.0 || yscale != 1.0;
  const AtlasInk* ink = nullptr;
  if (texture >= 0 && !general && !rotated && texture < static_cast<int>(InkByTexture().size()) &&
      InkByTexture()[texture].valid && TransparentTexelsLeaveNoTrace())
    ink = &InkByTexture()[texture];
  const double ca = std::cos(angle), sa = std::sin(angle);
  const double total = general ? StringWidth(f, s) : 0.0;
  double pen = 0.0;  // along the baseline, unscaled
  double px = x, py = y;
  for (char ch : s) {
    const uint8_t c = static_cast<uint8_t>(ch);
    const int advance = Advance(f, c);
    if (const RGlyph* g = GlyphOf(f, c)) {
      int colours[4] = {corners[0], corners[0], corners[0], corners[0]};
      if (general) {
        double f0 = total > 0 ? pen / total : 0.0, f1 = total > 0 ? (pen + advance) / total : 0.0;
        colours[0] = MergeColour(corners[0], corners[1], f0);
        colours[1] = MergeColour(corners[0], corners[1], f1);
        colours[2] = MergeColour(corners[3], corners[2], f1);
        colours[3] = MergeColour(corners[3], corners[2], f0);
      }
      double ax = rotated ? px + g->offset * xscale * ca : px + g->offset;
      double ay = rotated ? py - g->offset * xscale * sa : py;
      GlyphBox box;
      if (CropGlyph(ink, c, *g, box)) {
        if (box.height > 0)
          DrawTexturePart(texture, colours[0], alpha, 0.0, 1.0, 1.0, ax + box.left, ay + box.top, g->x + box.left,
                          g->y + box.top, box.width, box.height);
      } else {
        DrawGlyph(f, texture, c, *g, colours, alpha, rotated ? angle : 0.0, xscale, yscale, ax, ay, general);
      }
    }
    pen += advance;
    if (rotated) {
      px += advance * xscale * ca;
      py -= advance * xscale * sa;
    } else {
      px += advance;
    }
  }
}

}  // namespace

void DrawString(int font, std::string_view s, int colour, double alpha, double x, double y) {
  const int c[4] = {colour, colour, colour, colour};
  DrawStringImpl(font, s, c, false, alpha, 0.0, 1.0, 1.0, x, y);
}

void DrawStringTransformed(int font, std::string_view s, int colour, double alpha, double angle, double xscale,
                           double yscale, double x, double y) {
  const int c[4] = {colour, colour, colour, colour};
  DrawStringImpl(font, s, c, false, alpha, angle, xscale, yscale, x, y);
}

void DrawStringColours(int font, std::string_view s, int c1, int c2, int c3, int c4, double alpha, double x,
                       double y) {
  const int c[4] = {c1, c2, c3, c4};
  DrawStringImpl(font, s, c, true, alpha, 0.0, 1.0, 1.0, x, y);
}

void DrawStringColoursTransformed(int font, std::string_view s, int c1, int c2, int c3, int c4, double alpha,
                                  double angle, double xscale, double yscale, double x, double y) {
  const int c[4] = {c1, c2, c3, c4};
  DrawStringImpl(font, s, c, true, alpha, angle, xscale, yscale, x, y);
}

}  // namespace kv::gfx
