#include "functions/function_surface.h"

#include <cmath>
#include <string>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "code/code_function.h"
#include "code/code_value.h"
#include "functions/function_args.h"
#include "graphics/background_main.h"
#include "graphics/bitmap_ops.h"
#include "graphics/font_main.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_support.h"
#include "graphics/graphics_surface.h"
#include "graphics/graphics_texture.h"
#include "world/instance_class.h"
#include "world/run_main.h"

namespace kv {

namespace {

using namespace fnargs;

constexpr const char* kNoSurface = "Trying to use non-existing surface.";


// The surface argument, or false after reporting that it does not exist.
bool Surface(const RValue* a, int i) {
  if (gfx::SurfaceExists(I(a, i))) return true;
  ReportRuntimeError(kNoSurface);
  return false;
}

// Texture of a sprite frame: a subimage below 0 is the caller's image_index; others wrap around the frames.
int SpriteFrameTexture(CInstance* self, int sprite, double subimg) {
  const int frames = gfx::SpriteFrameCount(sprite);
  if (frames < 0) {
    ReportRuntimeError("Trying to get texture from non-existing sprite.");
    return -1;
  }
  if (frames == 0 || !gfx::Sprites().frameTexture) return -1;
  long long index = 0;
  if (subimg < 0) {
    const double img = self ? self->imageIndex : 0.0;
    index = std::isfinite(img) ? static_cast<long long>(std::fmod(std::floor(img), frames)) : 0;
  } else {
    index = gfx::RoundToInt(subimg) % frames;
  }
  if (index < 0) index += frames;
  return gfx::Sprites().frameTexture(sprite, static_cast<int>(index));
}

void SaveSurface(const RValue* a, const std::string& file, int x, int y, int w, int h) {
  std::string error;
  if (!gfx::SaveSurfacePart(I(a, 0), file, x, y, w, h, Game().secureMode, error) && !error.empty())
    ReportRuntimeError(error);
}

}  // namespace

void RegisterSurfaceFunctions() {
  // ---- textures ----
  Reg("sprite_get_texture", 2, KV_FN {
    KV_UNUSED_ARGS;
    r = SpriteFrameTexture(self, I(a, 0), a[1].Real());
  });
  Reg("background_get_texture", 1, KV_FN {
    KV_UNUSED_ARGS;
    if (!gfx::GetBackground(I(a, 0))) {
      ReportRuntimeError("Trying to get texture from non-existing background.");
      r = -1;
      return;
    }
    r = gfx::BackgroundTexture(I(a, 0));
  });
  Reg("texture_exists", 1, KV_FN { KV_UNUSED_ARGS; r = gfx::TextureExists(I(a, 0)); });
  Reg("texture_get_width", 1, KV_FN { KV_UNUSED_ARGS; r = gfx::TextureWidth(I(a, 0)); });
  Reg("texture_get_height", 1, KV_FN { KV_UNUSED_ARGS; r = gfx::TextureHeight(I(a, 0)); });
  Reg("texture_set_interpolation", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetInterpolation(B(a, 0)); });
  Reg("texture_set_blending", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetTextureBlending(B(a, 0)); });
  Reg("texture_set_repeat", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetTextureRepeat(B(a, 0)); });
  Reg("texture_preload", 1, KV_FN { KV_UNUSED_ARGS; gfx::PreloadTexture(I(a, 0)); });
  Reg("texture_set_priority", 2, KV_FN { KV_UNUSED_ARGS; gfx::SetTexturePriority(I(a, 0), I(a, 1)); });
  DescribeFunctions("Textures", {
      {"sprite_get_texture", "sprite, subimg",
       "Returns the texture id of a sprite image, for textured primitives and 3D drawing."},
      {"background_get_texture", "back",
       "Returns the texture id of a background, for textured primitives and 3D drawing."},
      {"texture_exists", "texid", "Returns whether a texture with this id exists."},
      {"texture_get_width", "texid", "Returns the part of a texture's width that holds its image, from 0 to 1."},
      {"texture_get_height", "texid", "Returns the part of a texture's height that holds its image, from 0 to 1."},
      {"texture_set_interpolation", "linear", "Sets whether textures are smoothed between pixels when drawn scaled."},
      {"texture_set_blending", "blend", "Sets whether textures are tinted by the drawing colour and alpha."},
      {"texture_set_repeat", "repeat", "Sets whether texture coordinates outside 0 to 1 repeat the texture."},
      {"texture_preload", "texid", "Loads a texture into video memory now rather than when first drawn."},
      {"texture_set_priority", "texid, prio", "Has no effect; kept so that games calling it still run."},
  });

  // ---- surfaces ----
  Reg("surface_create", 2, KV_FN { KV_UNUSED_ARGS; r = gfx::CreateSurface(I(a, 0), I(a, 1)); });
  Reg("surface_free", 1, KV_FN { KV_UNUSED_ARGS; gfx::FreeSurface(I(a, 0)); });
  Reg("surface_exists", 1, KV_FN { KV_UNUSED_ARGS; r = gfx::SurfaceExists(I(a, 0)); });
  Reg("surface_get_width", 1, KV_FN { KV_UNUSED_ARGS; r = gfx::SurfaceWidth(I(a, 0)); });
  Reg("surface_get_height", 1, KV_FN { KV_UNUSED_ARGS; r = gfx::SurfaceHeight(I(a, 0)); });
  Reg("surface_get_texture", 1, KV_FN { KV_UNUSED_ARGS; r = gfx::SurfaceTexture(I(a, 0)); });
  Reg("surface_set_target", 1, KV_FN { KV_UNUSED_ARGS; r = gfx::SetTarget(I(a, 0)); });
  Reg("surface_reset_target", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::ResetTarget(); });
  Reg("surface_getpixel", 3, KV_FN {
    KV_UNUSED_ARGS;
    if (Surface(a, 0)) r = gfx::SurfacePixel(I(a, 0), I(a, 1), I(a, 2));
  });
  Reg("surface_save", 2, KV_FN {
    KV_UNUSED_ARGS;
    if (Surface(a, 0)) SaveSurface(a, Str(a, 1), 0, 0, gfx::SurfaceWidth(I(a, 0)), gfx::SurfaceHeight(I(a, 0)));
  });
  Reg("surface_save_part", 6, KV_FN {
    KV_UNUSED_ARGS;
    if (Surface(a, 0)) SaveSurface(a, Str(a, 1), I(a, 2), I(a, 3), I(a, 4), I(a, 5));
  });
  Reg("surface_copy", 4, KV_FN {
    KV_UNUSED_ARGS;
    if (Surface(a, 0) && Surface(a, 3)) gfx::CopySurface(I(a, 0), I(a, 1), I(a, 2), I(a, 3));
  });
  Reg("surface_copy_part", 8, KV_FN {
    KV_UNUSED_ARGS;
    if (Surface(a, 0) && Surface(a, 3))
      gfx::CopySurfacePart(I(a, 0), I(a, 1), I(a, 2), I(a, 3), I(a, 4), I(a, 5), I(a, 6), I(a, 7));
  });

  DescribeFunctions("Surfaces", {
      {"surface_create", "w, h",
       "Creates a drawing surface of the given size and returns its id, or -1 when it cannot."},
      {"surface_free", "id", "Frees a surface and its memory."},
      {"surface_exists", "id", "Returns whether a surface with this id exists."},
      {"surface_get_width", "id", "Returns the width of a surface."},
      {"surface_get_height", "id", "Returns the height of a surface."},
      {"surface_get_texture", "id", "Returns the texture id of a surface, for textured primitives and 3D drawing."},
      {"surface_set_target", "id", "Sends all later drawing to a surface instead of the screen."},
      {"surface_reset_target", "", "Sends drawing back to the screen."},
      {"surface_getpixel", "id, x, y", "Returns the colour of the pixel at (x, y) on a surface."},
      {"surface_save", "id, fname", "Saves a surface as an image file."},
      {"surface_save_part", "id, fname, x, y, w, h", "Saves a rectangle of a surface as an image file."},
      {"surface_copy", "dest, x, y, source", "Copies a whole surface onto another at (x, y)."},
      {"surface_copy_part", "dest, x, y, source, xs, ys, ws, hs",
       "Copies a rectangle of one surface onto another at (x, y)."},
  });
}

}  // namespace kv
