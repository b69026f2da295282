// background_* and font_* functions, script_name, and sprites or backgrounds taken from the rendered screen or a
// drawing surface. The tables and their textures belong to the graphics modules; this file checks existence,
// reports the messages and builds the images that only these functions make (colour gradients, screen parts).
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "code/code_error.h"
#include "code/code_docs.h"
#include "code/code_script.h"
#include "functions/function_args.h"
#include "functions/function_sprite.h"
#include "graphics/background_main.h"
#include "graphics/bitmap_ops.h"
#include "graphics/font_main.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_support.h"
#include "graphics/graphics_surface.h"
#include "graphics/sprite_main.h"
#include "resources/background_gradient.h"
#include "resources/resource_families.h"

namespace kv {

namespace {

using namespace fnargs;

// ---- images from the screen or a surface ----

// The frame has no alpha channel: every pixel read back is opaque.
std::optional<CBitmap32> ScreenPart(int x, int y, int w, int h) {
  std::optional<gfx::PixelBlock> block = gfx::ReadBack(x, y, w, h);
  if (!block || block->width <= 0 || block->height <= 0) return std::nullopt;
  CBitmap32 b = CBitmap32::Make(block->width, block->height);
  b.pixels = std::move(block->pixels);
  for (auto& p : b.pixels) p |= 0xFF000000u;
  return b;
}

std::optional<CBitmap32> SurfacePart(int surface, int x, int y, int w, int h) {
  if (!gfx::SurfaceExists(surface)) {
    ReportRuntimeError("Trying to use non-existing surface.");
    return std::nullopt;
  }
  std::optional<gfx::PixelBlock> block = gfx::SurfaceReadBack(surface, x, y, w, h);
  if (!block || block->width <= 0 || block->height <= 0) return std::nullopt;
  CBitmap32 b = CBitmap32::Make(block->width, block->height);
  b.pixels = std::move(block->pixels);
  return b;
}

// sprite_create_from_screen / _surface: a new one-frame sprite, −1 when nothing could be read.
void NewSpriteFrom(RValue& r, std::optional<CBitmap32> image, bool has32Bits, const RValue* a, int first) {
  r = -1.0;
  if (!image) return;
  CSprite s;
  s.SetFromBitmap(std::move(*image), has32Bits, B(a, first), I(a, first + 4), I(a, first + 5), B(a, first + 3),
                  B(a, first + 2), B(a, first + 1));
  r = static_cast<double>(gfx::AddSpriteRecord(std::move(s)));
}

// sprite_add_from_screen / _surface: a further frame of an existing sprite, sized to the sprite.
void AddSpriteFrame(int index, std::optional<CBitmap32> image, bool has32Bits) {
  CSprite* s = gfx::GetSprite(index);
  if (!s || !image) return;
  s->AddFrame(std::move(*image), has32Bits);
  gfx::MakeSpriteTextures(index);
}

// background_create_from_screen / _surface: transparent, smooth and preload as given.
void NewBackgroundFrom(RValue& r, std::optional<CBitmap32> image, bool keepAlpha, bool transparent, bool smooth,
                       bool preload) {
  r = -1.0;
  if (!image) return;
  gfx::PrepareImage(*image, keepAlpha, smooth, transparent);
  CBackground b;
  b.width = image->width;
  b.height = image->height;
  b.transparent = transparent;
  b.smooth = smooth;
  b.preload = preload;
  b.image = std::move(*image);
  r = static_cast<double>(gfx::AddBackgroundRecord(std::move(b)));
}

// ---- backgrounds ----

CBackground* Back(const RValue* a, int i) { return gfx::GetBackground(I(a, i)); }

void BackgroundName(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r = RValue(Back(a, 0) ? std::string(gfx::BackgroundName(I(a, 0))) : std::string());
}

#define BACKGROUND_GETTER(fname, expr)  \
  Reg(fname, 1, KV_FN {                 \
    KV_UNUSED_ARGS;                     \
    if (const CBackground* b = Back(a, 0)) \
      r = static_cast<double>(expr);    \
  })

// background_replace and background_replace_alpha: 1 on success, 0 when the file cannot be loaded.
void ReplaceBackground(RValue& r, int index, const std::string& file, bool useAlpha, bool transparent, bool smooth,
                       bool preload) {
  CBackground* old = gfx::GetBackground(index);
  if (!old) return ReportRuntimeError("Trying to replace non-existing background.");
  CBackground fresh;
  if (!gfx::LoadBackgroundFromFile(fresh, file, useAlpha, transparent, smooth, preload)) {
    r = 0.0;
    return;
  }
  *old = std::move(fresh);
  gfx::MakeBackgroundTexture(index);
  r = 1.0;
}

void BackgroundSave(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const CBackground* b = Back(a, 0);
  if (!b || !b->image || !b->image->exists || b->image->width <= 0)
    return ReportRuntimeError("Trying to save non-existing background bitmap.");
  const std::string file = Str(a, 1);
  if (file.empty()) return ReportRuntimeError("Trying to save background bitmap to empty image file name.");
  const bool secure = SpriteSaveSecureMode();
  if (secure && !gfx::PathInsideWorkingDirectory(file)) return ReportRuntimeError(gfx::kMsgSecureWrite + file);
  // PNG unless the name asks for a BMP; a failure to write is ignored.
  const bool bmp = file.size() >= 4 && (file.compare(file.size() - 4, 4, ".bmp") == 0 ||
                                        file.compare(file.size() - 4, 4, ".BMP") == 0);
  if (bmp) gfx::SaveImageFile(*b->image, file, secure);
  else gfx::SavePng(*b->image, file, secure);
}

void RegisterBackgrounds() {
  Reg("background_name", 1, BackgroundName);
  Reg("background_get_name", 1, BackgroundName);
  Reg("background_exists", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = Back(a, 0) ? 1.0 : 0.0;
  });
  BACKGROUND_GETTER("background_get_width", b->width);
  BACKGROUND_GETTER("background_get_height", b->height);
  BACKGROUND_GETTER("background_get_transparent", b->transparent);
  BACKGROUND_GETTER("background_get_smooth", b->smooth);
  BACKGROUND_GETTER("background_get_preload", b->preload);
  Reg("background_set_alpha_from_background", 2, KV_FN {
    KV_UNUSED_ARGS;
    CBackground* dest = Back(a, 0);
    const CBackground* source = Back(a, 1);
    if (!dest || !source || !dest->image || !source->image) return;
    gfx::SetAlphaFrom(*dest->image, *source->image);
    gfx::MakeBackgroundTexture(I(a, 0));
  });
  Reg("background_create_from_screen", 7, KV_FN {
    KV_UNUSED_ARGS;
    NewBackgroundFrom(r, ScreenPart(I(a, 0), I(a, 1), I(a, 2), I(a, 3)), false, B(a, 4), B(a, 5), B(a, 6));
  });
  Reg("background_create_from_surface", 8, KV_FN {
    KV_UNUSED_ARGS;
    NewBackgroundFrom(r, SurfacePart(I(a, 0), I(a, 1), I(a, 2), I(a, 3), I(a, 4)), true, B(a, 5), B(a, 6),
                      B(a, 7));
  });
  Reg("background_create_color", 4, KV_FN {
    KV_UNUSED_ARGS;
    CBackground b;
    gfx::SetBackgroundSolid(b, I(a, 0), I(a, 1), I(a, 2), B(a, 3));
    r = static_cast<double>(gfx::AddBackgroundRecord(std::move(b)));
  });
  Reg("background_create_gradient", 6, KV_FN {
    KV_UNUSED_ARGS;
    CBackground b;
    b.image = GradientImage(I(a, 0), I(a, 1), I(a, 4), I(a, 2), I(a, 3));
    b.width = b.image->width;
    b.height = b.image->height;
    b.preload = B(a, 5);
    r = static_cast<double>(gfx::AddBackgroundRecord(std::move(b)));
  });
  Reg("background_add", 4, KV_FN {
    KV_UNUSED_ARGS;
    r = static_cast<double>(gfx::AddBackground(Str(a, 0), B(a, 1), B(a, 2), B(a, 3)));
  });
  Reg("background_add_alpha", 2, KV_FN {
    KV_UNUSED_ARGS;
    r = static_cast<double>(gfx::AddBackgroundAlpha(Str(a, 0), B(a, 1)));
  });
  Reg("background_replace", 5, KV_FN {
    KV_UNUSED_ARGS;
    ReplaceBackground(r, I(a, 0), Str(a, 1), false, B(a, 2), B(a, 3), B(a, 4));
  });
  Reg("background_replace_alpha", 3, KV_FN {
    KV_UNUSED_ARGS;
    ReplaceBackground(r, I(a, 0), Str(a, 1), true, true, false, B(a, 2));
  });
  Reg("background_delete", 1, KV_FN {
    KV_UNUSED_ARGS;
    if (!gfx::DeleteBackground(I(a, 0))) ReportRuntimeError("Trying to delete non-existing background.");
  });
  Reg("background_duplicate", 1, KV_FN {
    KV_UNUSED_ARGS;
    const int index = gfx::DuplicateBackground(I(a, 0));
    if (index < 0) ReportRuntimeError("Trying to duplicate non-existing background.");
    r = static_cast<double>(index);
  });
  Reg("background_assign", 2, KV_FN {
    KV_UNUSED_ARGS;
    if (!gfx::AssignBackground(I(a, 0), I(a, 1))) ReportRuntimeError("Error assigning a background.");
  });
  Reg("background_save", 2, BackgroundSave);
  DescribeFunctions("Backgrounds", {
      {"background_name", "ind", "The name of background ind."},
      {"background_get_name", "ind", "The name of background ind."},
      {"background_exists", "ind", "Whether background ind exists."},
      {"background_get_width", "ind", "The width of background ind."},
      {"background_get_height", "ind", "The height of background ind."},
      {"background_get_transparent", "ind", "Whether background ind is transparent."},
      {"background_get_smooth", "ind", "Whether background ind has smoothed edges."},
      {"background_get_preload", "ind", "Whether background ind is loaded into video memory at the start."},
      {"background_set_alpha_from_background", "ind, back",
       "Sets the opacity of background ind from the brightness of background back."},
      {"background_create_from_screen", "x, y, w, h, transparent, smooth, preload",
       "Creates a background from a rectangle of the screen and returns its index."},
      {"background_create_from_surface", "id, x, y, w, h, transparent, smooth, preload",
       "Creates a background from a rectangle of surface id and returns its index."},
      {"background_create_color", "w, h, col, preload", "Creates a background of one colour and returns its index."},
      {"background_create_gradient", "w, h, col1, col2, kind, preload",
       "Creates a background with a colour gradient and returns its index."},
      {"background_add", "fname, transparent, smooth, preload",
       "Adds a background from an image file and returns its index, -1 on failure."},
      {"background_add_alpha", "fname, preload",
       "Adds a background from an image file with its own opacity and returns its index."},
      {"background_replace", "ind, fname, transparent, smooth, preload",
       "Replaces background ind with an image file."},
      {"background_replace_alpha", "ind, fname, preload",
       "Replaces background ind with an image file with its own opacity."},
      {"background_delete", "ind", "Deletes background ind."},
      {"background_duplicate", "ind", "Adds a copy of background ind and returns its index."},
      {"background_assign", "ind, back", "Makes background ind a copy of background back."},
      {"background_save", "ind, fname", "Saves background ind to an image file."},
  });
}

// ---- fonts ----

const CFont* Font(const RValue* a, int i) { return gfx::GetFont(I(a, i)); }

void FontName(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r = RValue(Font(a, 0) ? std::string(gfx::FontName(I(a, 0))) : std::string());
}

#define FONT_GETTER(fname, expr)     \
  Reg(fname, 1, KV_FN {              \
    KV_UNUSED_ARGS;                  \
    if (const CFont* f = Font(a, 0)) \
      r = static_cast<double>(expr); \
  })

void RegisterFonts() {
  Reg("font_name", 1, FontName);
  Reg("font_get_name", 1, FontName);
  Reg("font_exists", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = Font(a, 0) ? 1.0 : 0.0;
  });
  Reg("font_get_fontname", 1, KV_FN {
    KV_UNUSED_ARGS;
    const CFont* f = Font(a, 0);
    r = RValue(f ? f->name : std::string());
  });
  FONT_GETTER("font_get_size", f->size);
  FONT_GETTER("font_get_bold", f->bold);
  FONT_GETTER("font_get_italic", f->italic);
  FONT_GETTER("font_get_first", f->first);
  FONT_GETTER("font_get_last", f->last);
  Reg("font_add", 6, KV_FN {
    KV_UNUSED_ARGS;
    r = static_cast<double>(gfx::AddFont(Str(a, 0), I(a, 1), B(a, 2), B(a, 3), I(a, 4), I(a, 5)));
  });
  Reg("font_replace", 7, KV_FN {
    KV_UNUSED_ARGS;
    if (!Font(a, 0)) return ReportRuntimeError("Trying to replace non-existing font.");
    r = gfx::ReplaceFont(I(a, 0), Str(a, 1), I(a, 2), B(a, 3), B(a, 4), I(a, 5), I(a, 6)) ? 1.0 : 0.0;
  });
  Reg("font_add_sprite", 4, KV_FN {
    KV_UNUSED_ARGS;
    r = -1.0;
    if (!gfx::GetSprite(I(a, 0))) return ReportRuntimeError("Trying to create font from non-existing sprite.");
    r = static_cast<double>(gfx::AddSpriteFont(I(a, 0), I(a, 1), B(a, 2), I(a, 3)));
  });
  Reg("font_replace_sprite", 5, KV_FN {
    KV_UNUSED_ARGS;
    if (!Font(a, 0)) return ReportRuntimeError("Trying to replace non-existing font.");
    if (!gfx::GetSprite(I(a, 1))) return ReportRuntimeError("Trying to replace font from non-existing sprite.");
    r = gfx::ReplaceSpriteFont(I(a, 0), I(a, 1), I(a, 2), B(a, 3), I(a, 4)) ? 1.0 : 0.0;
  });
  DescribeFunctions("Fonts", {
      {"font_name", "ind", "The name of font ind."},
      {"font_get_name", "ind", "The name of font ind."},
      {"font_exists", "ind", "Whether font ind exists."},
      {"font_get_fontname", "ind", "The name of the typeface of font ind."},
      {"font_get_size", "ind", "The size of font ind in points."},
      {"font_get_bold", "ind", "Whether font ind is bold."},
      {"font_get_italic", "ind", "Whether font ind is italic."},
      {"font_get_first", "ind", "The first character code of font ind."},
      {"font_get_last", "ind", "The last character code of font ind."},
      {"font_add", "name, size, bold, italic, first, last",
       "Adds a font made from a typeface and returns its index."},
      {"font_replace", "ind, name, size, bold, italic, first, last",
       "Replaces font ind with one made from a typeface."},
      {"font_add_sprite", "spr, first, prop, sep",
       "Adds a font whose characters are the images of sprite spr and returns its index."},
      {"font_replace_sprite", "ind, spr, first, prop, sep",
       "Replaces font ind with one whose characters are the images of sprite spr."},
      {"font_delete", "ind", "Deletes font ind."},
  });
  Reg("font_delete", 1, KV_FN {
    KV_UNUSED_ARGS;
    if (!gfx::DeleteFont(I(a, 0))) ReportRuntimeError("Trying to delete non-existing font.");
  });
}

// ---- sprites from the screen and surfaces ----

void RegisterCapturedSprites() {
  Reg("sprite_create_from_screen", 10, KV_FN {
    KV_UNUSED_ARGS;
    NewSpriteFrom(r, ScreenPart(I(a, 0), I(a, 1), I(a, 2), I(a, 3)), false, a, 4);
  });
  Reg("sprite_create_from_surface", 11, KV_FN {
    KV_UNUSED_ARGS;
    NewSpriteFrom(r, SurfacePart(I(a, 0), I(a, 1), I(a, 2), I(a, 3), I(a, 4)), true, a, 5);
  });
  Reg("sprite_add_from_screen", 5, KV_FN {
    KV_UNUSED_ARGS;
    if (!gfx::GetSprite(I(a, 0))) return ReportRuntimeError("Trying to add to non-existing sprite.");
    AddSpriteFrame(I(a, 0), ScreenPart(I(a, 1), I(a, 2), I(a, 3), I(a, 4)), false);
  });
  Reg("sprite_add_from_surface", 6, KV_FN {
    KV_UNUSED_ARGS;
    if (!gfx::GetSprite(I(a, 0))) return ReportRuntimeError("Trying to add to non-existing sprite.");
    AddSpriteFrame(I(a, 0), SurfacePart(I(a, 1), I(a, 2), I(a, 3), I(a, 4), I(a, 5)), true);
  });
  DescribeFunctions("Sprites", {
      {"sprite_create_from_screen", "x, y, w, h, precise, transparent, smooth, preload, xorig, yorig",
       "Creates a sprite from a rectangle of the screen and returns its index."},
      {"sprite_create_from_surface", "id, x, y, w, h, precise, transparent, smooth, preload, xorig, yorig",
       "Creates a sprite from a rectangle of surface id and returns its index."},
      {"sprite_add_from_screen", "ind, x, y, w, h",
       "Adds a rectangle of the screen as a further image of sprite ind."},
      {"sprite_add_from_surface", "ind, id, x, y, w, h",
       "Adds a rectangle of surface id as a further image of sprite ind."},
  });
}

}  // namespace

void RegisterGraphicResourceFunctions() {
  RegisterBackgrounds();
  RegisterFonts();
  RegisterCapturedSprites();
}

}  // namespace kv
