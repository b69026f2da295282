#include "functions/function_sprite.h"

#include <string>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "code/code_function.h"
#include "code/code_value.h"
#include "functions/function_args.h"
#include "graphics/bitmap_ops.h"
#include "graphics/sprite_main.h"

namespace kv {

namespace {

using namespace fnargs;

bool g_secureMode = false;

CSprite* Spr(const RValue* a, int i) { return gfx::GetSprite(I(a, i)); }

// A getter returning a number of an existing sprite, 0 for a missing one.
#define GETTER(fname, expr)             \
  Reg(fname, 1, KV_FN {                    \
    KV_UNUSED_ARGS;                        \
    if (const CSprite* s = Spr(a, 0))   \
      r = static_cast<double>(expr);    \
  })

void SpriteName(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r = RValue(gfx::GetSprite(I(a, 0)) ? std::string(gfx::SpriteName(I(a, 0))) : std::string());
}

// sprite_add / sprite_add_alpha and their replace forms share the argument tail.
struct LoadArgs {
  std::string file;
  int frames;
  bool precise, transparent, smooth, preload;
  int xorigin, yorigin;
};

void Add(RValue& r, const LoadArgs& l, bool useAlpha) {
  r = static_cast<double>(gfx::AddSprite(l.file, l.frames, useAlpha, l.precise, l.transparent, l.smooth, l.preload,
                                         l.xorigin, l.yorigin));
}

void Replace(RValue& r, int index, const LoadArgs& l, bool useAlpha) {
  if (index < 0 || index >= gfx::SpriteTable().Count()) {
    ReportRuntimeError("Trying to replace non-existing sprite.");
    return;
  }
  r = gfx::ReplaceSprite(index, l.file, l.frames, useAlpha, l.precise, l.transparent, l.smooth, l.preload,
                         l.xorigin, l.yorigin)
          ? 1.0
          : 0.0;
}

}  // namespace

void SetSpriteSaveSecureMode(bool on) { g_secureMode = on; }
bool SpriteSaveSecureMode() { return g_secureMode; }

void RegisterSpriteFunctions() {
  Reg("sprite_name", 1, SpriteName);
  Reg("sprite_get_name", 1, SpriteName);
  Reg("sprite_exists", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = Spr(a, 0) ? 1.0 : 0.0;
  });
  GETTER("sprite_get_number", s->FrameCount());
  GETTER("sprite_get_width", s->width);
  GETTER("sprite_get_height", s->height);
  GETTER("sprite_get_transparent", s->transparent);
  GETTER("sprite_get_smooth", s->smooth);
  GETTER("sprite_get_preload", s->preload);
  GETTER("sprite_get_xoffset", s->xOrigin);
  GETTER("sprite_get_yoffset", s->yOrigin);
  GETTER("sprite_get_bbox_mode", s->bboxKind);
  GETTER("sprite_get_bbox_left", s->bboxLeft);
  GETTER("sprite_get_bbox_right", s->bboxRight);
  GETTER("sprite_get_bbox_top", s->bboxTop);
  GETTER("sprite_get_bbox_bottom", s->bboxBottom);
  GETTER("sprite_get_precise", s->precise);

  Reg("sprite_set_offset", 3, KV_FN {
    KV_UNUSED_ARGS;
    if (CSprite* s = Spr(a, 0)) {
      s->xOrigin = I(a, 1);
      s->yOrigin = I(a, 2);
    }
  });
  Reg("sprite_set_bbox_mode", 2, KV_FN {
    KV_UNUSED_ARGS;
    if (CSprite* s = Spr(a, 0)) s->SetBoundingBoxKind(I(a, 1));
  });
  Reg("sprite_set_bbox", 5, KV_FN {
    KV_UNUSED_ARGS;
    if (CSprite* s = Spr(a, 0)) s->SetManualBoundingBox(I(a, 1), I(a, 2), I(a, 3), I(a, 4));
  });
  Reg("sprite_set_precise", 2, KV_FN {
    KV_UNUSED_ARGS;
    if (CSprite* s = Spr(a, 0)) s->SetPrecise(B(a, 1));
  });
  Reg("sprite_set_alpha_from_sprite", 2, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetSpriteAlphaFrom(I(a, 0), I(a, 1));
  });

  Reg("sprite_add", 8, KV_FN {
    KV_UNUSED_ARGS;
    Add(r, {Str(a, 0), I(a, 1), B(a, 2), B(a, 3), B(a, 4), B(a, 5), I(a, 6), I(a, 7)}, false);
  });
  Reg("sprite_add_alpha", 6, KV_FN {
    KV_UNUSED_ARGS;
    Add(r, {Str(a, 0), I(a, 1), B(a, 2), true, false, B(a, 3), I(a, 4), I(a, 5)}, true);
  });
  Reg("sprite_replace", 9, KV_FN {
    KV_UNUSED_ARGS;
    Replace(r, I(a, 0), {Str(a, 1), I(a, 2), B(a, 3), B(a, 4), B(a, 5), B(a, 6), I(a, 7), I(a, 8)}, false);
  });
  Reg("sprite_replace_alpha", 7, KV_FN {
    KV_UNUSED_ARGS;
    Replace(r, I(a, 0), {Str(a, 1), I(a, 2), B(a, 3), true, false, B(a, 4), I(a, 5), I(a, 6)}, true);
  });
  Reg("sprite_delete", 1, KV_FN {
    KV_UNUSED_ARGS;
    if (!gfx::DeleteSprite(I(a, 0))) ReportRuntimeError("Trying to delete non-existing sprite.");
  });
  Reg("sprite_duplicate", 1, KV_FN {
    KV_UNUSED_ARGS;
    const int index = gfx::DuplicateSprite(I(a, 0));
    if (index < 0) ReportRuntimeError("Trying to duplicate non-existing sprite.");
    r = static_cast<double>(index);
  });
  Reg("sprite_assign", 2, KV_FN {
    KV_UNUSED_ARGS;
    if (!gfx::AssignSprite(I(a, 0), I(a, 1))) ReportRuntimeError("Error assigning a sprite.");
  });
  Reg("sprite_merge", 2, KV_FN {
    KV_UNUSED_ARGS;
    if (!Spr(a, 0)) return ReportRuntimeError("Trying to merge to non-existing sprite.");
    if (!Spr(a, 1)) return ReportRuntimeError("Trying to merge from non-existing sprite.");
    gfx::MergeSprite(I(a, 0), I(a, 1));
  });
  Reg("sprite_save", 3, KV_FN {
    KV_UNUSED_ARGS;
    const CSprite* s = Spr(a, 0);
    if (!s || s->FrameCount() == 0) return ReportRuntimeError("Trying to save non-existing sprite bitmap.");
    const std::string file = Str(a, 2);
    if (file.empty()) return ReportRuntimeError("Trying to save sprite bitmap to empty image file name.");
    if (g_secureMode && !gfx::PathInsideWorkingDirectory(file))
      return ReportRuntimeError("In secure mode you cannot write file " + file);
    // A subimage below 0 counts back from the last frame, as drawing does; a failure to write is ignored.
    gfx::SaveSpriteFrame(I(a, 0), I(a, 1), file, g_secureMode);
  });

  DescribeFunctions("Sprites", {
      {"sprite_name", "ind", "Returns the name of a sprite, or an empty string when it does not exist."},
      {"sprite_get_name", "ind", "Returns the name of a sprite, or an empty string when it does not exist."},
      {"sprite_exists", "ind", "Returns whether a sprite with this index exists."},
      {"sprite_get_number", "ind", "Returns the number of images of a sprite."},
      {"sprite_get_width", "ind", "Returns the width of a sprite in pixels."},
      {"sprite_get_height", "ind", "Returns the height of a sprite in pixels."},
      {"sprite_get_transparent", "ind", "Returns whether a sprite's background colour is drawn transparent."},
      {"sprite_get_smooth", "ind", "Returns whether a sprite has smoothed edges."},
      {"sprite_get_preload", "ind", "Returns whether a sprite is loaded into video memory when the game starts."},
      {"sprite_get_xoffset", "ind", "Returns the x position of a sprite's origin."},
      {"sprite_get_yoffset", "ind", "Returns the y position of a sprite's origin."},
      {"sprite_get_bbox_mode", "ind",
       "Returns how a sprite's bounding box is found: 0 automatic, 1 full image, 2 manual."},
      {"sprite_get_bbox_left", "ind", "Returns the left edge of a sprite's bounding box."},
      {"sprite_get_bbox_right", "ind", "Returns the right edge of a sprite's bounding box."},
      {"sprite_get_bbox_top", "ind", "Returns the top edge of a sprite's bounding box."},
      {"sprite_get_bbox_bottom", "ind", "Returns the bottom edge of a sprite's bounding box."},
      {"sprite_get_precise", "ind", "Returns whether a sprite uses precise, pixel-by-pixel collision checking."},
      {"sprite_set_offset", "ind, xoff, yoff", "Sets the origin of a sprite."},
      {"sprite_set_bbox_mode", "ind, mode",
       "Sets how a sprite's bounding box is found: 0 automatic, 1 full image, 2 manual."},
      {"sprite_set_bbox", "ind, left, top, right, bottom",
       "Sets a sprite's bounding box, used when its mode is manual."},
      {"sprite_set_precise", "ind, mode", "Sets whether a sprite uses precise, pixel-by-pixel collision checking."},
      {"sprite_set_alpha_from_sprite", "ind, spr",
       "Takes the alpha of a sprite's images from the brightness of another sprite's images."},
      {"sprite_add", "fname, imgnumb, precise, transparent, smooth, preload, xorig, yorig",
       "Loads a new sprite from an image file cut into imgnumb images and returns its index, or -1."},
      {"sprite_add_alpha", "fname, imgnumb, precise, preload, xorig, yorig",
       "Loads a new sprite from an image file with its own alpha channel and returns its index, or -1."},
      {"sprite_replace", "ind, fname, imgnumb, precise, transparent, smooth, preload, xorig, yorig",
       "Replaces the images of a sprite by those of an image file and returns whether it worked."},
      {"sprite_replace_alpha", "ind, fname, imgnumb, precise, preload, xorig, yorig",
       "Replaces a sprite by an image file with its own alpha channel and returns whether it worked."},
      {"sprite_delete", "ind", "Deletes a sprite and frees its memory."},
      {"sprite_duplicate", "ind", "Makes a copy of a sprite and returns the index of the copy."},
      {"sprite_assign", "ind, spr", "Makes sprite ind a copy of sprite spr."},
      {"sprite_merge", "ind1, ind2", "Appends the images of sprite ind2 to sprite ind1."},
      {"sprite_save", "ind, subimg, fname", "Saves one image of a sprite to an image file."},
  });
}

}  // namespace kv
