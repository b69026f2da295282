#include "functions/function_graphics.h"

#include <cmath>

#include "code/code_error.h"
#include "code/code_function.h"
#include "code/code_value.h"
#include "functions/function_args.h"
#include "graphics/background_main.h"
#include "graphics/font_main.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_surface.h"
#include "graphics/graphics_text.h"
#include "graphics/graphics_texture.h"
#include "graphics/graphics_window.h"
#include "graphics/room_draw.h"
#include "graphics/support_color.h"
#include "world/instance_class.h"
#include "world/run_main.h"
#include "world/room_live.h"
#include "world/world_rooms.h"

namespace kv {

namespace {

using namespace fnargs;

constexpr int kWhite = 16777215;
constexpr double kDegToRad = M_PI / 180.0;
constexpr const char* kNoSprite = "Trying to draw non-existing sprite.";
constexpr const char* kNoBackgroundDraw = "Trying to draw non-existing background.";
constexpr const char* kNoSurface = "Trying to use non-existing surface.";
constexpr const char* kNoTile = "Tile does not exist.";
constexpr const char* kNoBackground = "Background does not exist.";

struct State {
  GraphicsWorldHooks hooks;
  std::vector<RTile> localTiles;
  int localTileId = 10000000;
  // Position of the tile found last, so repeated use of one id is fast.
  const std::vector<RTile>* cachedList = nullptr;
  size_t cachedPos = 0;
};
State& G() {
  static State s;
  return s;
}

// ---- argument conversions ----
std::string Text(const RValue* a, int i) {
  return a[i].IsString() ? a[i].ToStdString() : gfx::TextOfNumber(a[i].Real());
}

void RoomSize(int& w, int& h) {
  w = 640, h = 480;
  if (G().hooks.roomSize) {
    G().hooks.roomSize(w, h);
  } else if (const CLiveRoom* room = CurrentRoom()) {
    w = room->props.width;
    h = room->props.height;
  }
}

// ---- sprites ----

struct Frame {
  int texture = -1;
  int width = 0, height = 0, xorigin = 0, yorigin = 0;
  bool ok = false;  // the sprite exists and has a frame
};

// The frame to draw: a subimage below 0 means the caller's image_index; others wrap around the frame count.
// A missing sprite reports the error; a sprite without frames draws nothing.
Frame SpriteFrame(CInstance* self, int sprite, double subimg) {
  Frame f;
  int frames = gfx::SpriteFrameCount(sprite);
  if (frames < 0) {
    ReportRuntimeError(kNoSprite);
    return f;
  }
  if (frames == 0) return f;
  long long index;
  if (subimg < 0) {
    double img = !self ? 0.0 : G().hooks.imageIndex ? G().hooks.imageIndex(self) : self->imageIndex;
    index = std::isfinite(img) ? static_cast<long long>(std::floor(img)) : 0;
  } else {
    index = RoundToInt(subimg);
  }
  index %= frames;
  if (index < 0) index += frames;
  gfx::Sprites().geometry(sprite, f.width, f.height, f.xorigin, f.yorigin);
  f.texture = gfx::Sprites().frameTexture ? gfx::Sprites().frameTexture(sprite, static_cast<int>(index)) : -1;
  f.ok = true;
  return f;
}

// ---- images without frames (backgrounds, surfaces): texture and size, or an error ----

struct Image {
  int texture = -1, width = 0, height = 0;
  bool ok = false;
};
Image BackgroundImage(int index) {
  Image img;
  const CBackground* b = gfx::GetBackground(index);
  if (!b) {
    ReportRuntimeError(kNoBackgroundDraw);
    return img;
  }
  img = {gfx::BackgroundTexture(index), b->width, b->height, true};
  return img;
}
Image SurfaceImage(int id) {
  Image img;
  if (!gfx::SurfaceExists(id)) {
    ReportRuntimeError(kNoSurface);
    return img;
  }
  img = {gfx::SurfaceTexture(id), gfx::SurfaceWidth(id), gfx::SurfaceHeight(id), true};
  return img;
}

// The shared forms of images (origin applied by the caller through xo, yo).
void DrawStretched(int texture, int width, int height, double x, double y, double w, double h, int colour,
                   double alpha) {
  if (!(w > 0) || !(h > 0) || width <= 0 || height <= 0) return;
  gfx::DrawTextureExt(texture, colour, alpha, 0.0, w / width, h / height, x, y, 0, 0);
}
void DrawTiledOverRoom(int texture, double x, double y, double xs, double ys, int colour, double alpha, double xo,
                       double yo) {
  int w, h;
  RoomSize(w, h);
  gfx::DrawTextureTiled(texture, true, true, alpha, colour, 0, 0, w, h, xs, ys, x, y, xo, yo);
}

// Image forms shared by backgrounds and surfaces; `get` checks and reports.
template <Image (*get)(int)>
void RegisterImageForms(const char* plain, const char* ext, const char* stretched, const char* stretchedExt,
                        const char* part, const char* partExt, const char* general, const char* tiled,
                        const char* tiledExt) {
  Reg(plain, 3, KV_FN {
    KV_UNUSED_ARGS;
    Image i = get(I(a, 0));
    if (i.ok) gfx::DrawTexture(i.texture, D(a, 1), D(a, 2));
  });
  Reg(ext, 8, KV_FN {
    KV_UNUSED_ARGS;
    Image i = get(I(a, 0));
    if (i.ok)
      gfx::DrawTextureExt(i.texture, I(a, 6), D(a, 7), D(a, 5) * kDegToRad, D(a, 3), D(a, 4), D(a, 1), D(a, 2), 0, 0);
  });
  Reg(stretched, 5, KV_FN {
    KV_UNUSED_ARGS;
    Image i = get(I(a, 0));
    if (i.ok) DrawStretched(i.texture, i.width, i.height, D(a, 1), D(a, 2), D(a, 3), D(a, 4), kWhite, 1.0);
  });
  Reg(stretchedExt, 7, KV_FN {
    KV_UNUSED_ARGS;
    Image i = get(I(a, 0));
    if (i.ok) DrawStretched(i.texture, i.width, i.height, D(a, 1), D(a, 2), D(a, 3), D(a, 4), I(a, 5), D(a, 6));
  });
  Reg(part, 7, KV_FN {
    KV_UNUSED_ARGS;
    Image i = get(I(a, 0));
    if (i.ok) gfx::DrawTexturePart(i.texture, kWhite, 1.0, 0.0, 1.0, 1.0, D(a, 5), D(a, 6), D(a, 1), D(a, 2), D(a, 3), D(a, 4));
  });
  Reg(partExt, 11, KV_FN {
    KV_UNUSED_ARGS;
    Image i = get(I(a, 0));
    if (i.ok)
      gfx::DrawTexturePart(i.texture, I(a, 9), D(a, 10), 0.0, D(a, 7), D(a, 8), D(a, 5), D(a, 6), D(a, 1), D(a, 2),
                           D(a, 3), D(a, 4));
  });
  Reg(general, 15, KV_FN {
    KV_UNUSED_ARGS;
    Image i = get(I(a, 0));
    if (i.ok)
      gfx::DrawTextureGeneral(i.texture, I(a, 10), I(a, 11), I(a, 12), I(a, 13), D(a, 14), D(a, 9) * kDegToRad,
                              D(a, 7), D(a, 8), D(a, 5), D(a, 6), D(a, 1), D(a, 2), D(a, 3), D(a, 4));
  });
  Reg(tiled, 3, KV_FN {
    KV_UNUSED_ARGS;
    Image i = get(I(a, 0));
    if (i.ok) DrawTiledOverRoom(i.texture, D(a, 1), D(a, 2), 1.0, 1.0, kWhite, 1.0, 0, 0);
  });
  Reg(tiledExt, 7, KV_FN {
    KV_UNUSED_ARGS;
    Image i = get(I(a, 0));
    if (i.ok) DrawTiledOverRoom(i.texture, D(a, 1), D(a, 2), D(a, 3), D(a, 4), I(a, 5), D(a, 6), 0, 0);
  });
}

void RegisterScreenAndColours() {
  Reg("set_automatic_draw", 1, KV_FN {
    KV_UNUSED_ARGS;
    if (G().hooks.setAutomaticDraw) G().hooks.setAutomaticDraw(B(a, 0));
    else Game().automaticDraw = B(a, 0);
  });
  Reg("set_synchronization", 1, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetSynchronization(B(a, 0));
  });
  Reg("screen_redraw", 0, KV_FN {
    KV_UNUSED_ARGS;
    if (G().hooks.drawRoom) G().hooks.drawRoom();
    else gfx::DrawCurrentRoom();
    gfx::EndSceneAndPresent();
    gfx::BeginScene();
  });
  Reg("screen_refresh", 0, KV_FN {
    KV_UNUSED_ARGS;
    gfx::PresentAgain();
  });
  Reg("draw_getpixel", 2, KV_FN {
    KV_UNUSED_ARGS;
    int view = G().hooks.viewCurrent ? G().hooks.viewCurrent() : gfx::ViewCurrent();
    int fx = 0, fy = 0;
    gfx::RoomToFrame(view, D(a, 0), D(a, 1), fx, fy);
    r = gfx::ReadPixel(fx, fy);
  });
  Reg("draw_set_color", 1, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetDrawColour(I(a, 0));
  });
  Reg("draw_get_color", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::DrawColour();
  });
  Reg("draw_set_alpha", 1, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetDrawAlpha(D(a, 0));
  });
  Reg("draw_get_alpha", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::DrawAlpha();
  });
  Reg("draw_set_blend_mode", 1, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetBlendMode(I(a, 0));
  });
  Reg("draw_set_blend_mode_ext", 2, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetBlendFactors(I(a, 0), I(a, 1));
  });

  BuiltinFn rgb = KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::MakeColourRgb(D(a, 0), D(a, 1), D(a, 2));
  };
  Reg("make_color_rgb", 3, rgb);
  Reg("make_color", 3, rgb);
  Reg("make_color_hsv", 3, KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::MakeColourHsv(D(a, 0), D(a, 1), D(a, 2));
  });
  Reg("color_get_red", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::ColourGetRed(D(a, 0));
  });
  Reg("color_get_green", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::ColourGetGreen(D(a, 0));
  });
  Reg("color_get_blue", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::ColourGetBlue(D(a, 0));
  });
  Reg("color_get_hue", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::ColourGetHue(D(a, 0));
  });
  Reg("color_get_saturation", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::ColourGetSaturation(D(a, 0));
  });
  Reg("color_get_value", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::ColourGetValue(D(a, 0));
  });
  Reg("merge_color", 3, KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::MergeColour(I(a, 0), I(a, 1), D(a, 2));
  });
}

void RegisterShapes() {
  Reg("draw_clear", 1, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Clear(I(a, 0));
  });
  Reg("draw_clear_alpha", 2, KV_FN {
    KV_UNUSED_ARGS;
    gfx::ClearAlpha(I(a, 0), D(a, 1));
  });
  Reg("draw_point", 2, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Point(D(a, 0), D(a, 1));
  });
  Reg("draw_line", 4, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Line(D(a, 0), D(a, 1), D(a, 2), D(a, 3));
  });
  Reg("draw_line_width", 5, KV_FN {
    KV_UNUSED_ARGS;
    gfx::LineWidth(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4));
  });
  Reg("draw_rectangle", 5, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Rectangle(D(a, 0), D(a, 1), D(a, 2), D(a, 3), B(a, 4));
  });
  Reg("draw_roundrect", 5, KV_FN {
    KV_UNUSED_ARGS;
    gfx::RoundRectangle(D(a, 0), D(a, 1), D(a, 2), D(a, 3), B(a, 4));
  });
  Reg("draw_triangle", 7, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Triangle(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), B(a, 6));
  });
  Reg("draw_circle", 4, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Circle(D(a, 0), D(a, 1), D(a, 2), B(a, 3));
  });
  Reg("draw_ellipse", 5, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Ellipse(D(a, 0), D(a, 1), D(a, 2), D(a, 3), B(a, 4));
  });
  Reg("draw_arrow", 5, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Arrow(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4));
  });
  Reg("draw_button", 5, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Button(D(a, 0), D(a, 1), D(a, 2), D(a, 3), B(a, 4));
  });
  Reg("draw_healthbar", 11, KV_FN {
    KV_UNUSED_ARGS;
    gfx::HealthBar(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), I(a, 5), I(a, 6), I(a, 7), I(a, 8), B(a, 9),
                   B(a, 10));
  });
  Reg("draw_point_color", 3, KV_FN {
    KV_UNUSED_ARGS;
    gfx::PointColour(D(a, 0), D(a, 1), I(a, 2));
  });
  Reg("draw_line_color", 6, KV_FN {
    KV_UNUSED_ARGS;
    gfx::LineColour(D(a, 0), D(a, 1), D(a, 2), D(a, 3), I(a, 4), I(a, 5));
  });
  Reg("draw_line_width_color", 7, KV_FN {
    KV_UNUSED_ARGS;
    gfx::LineWidthColour(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), I(a, 5), I(a, 6));
  });
  Reg("draw_rectangle_color", 9, KV_FN {
    KV_UNUSED_ARGS;
    gfx::RectangleColour(D(a, 0), D(a, 1), D(a, 2), D(a, 3), I(a, 4), I(a, 5), I(a, 6), I(a, 7), B(a, 8));
  });
  Reg("draw_roundrect_color", 7, KV_FN {
    KV_UNUSED_ARGS;
    gfx::RoundRectangleColour(D(a, 0), D(a, 1), D(a, 2), D(a, 3), I(a, 4), I(a, 5), B(a, 6));
  });
  Reg("draw_triangle_color", 10, KV_FN {
    KV_UNUSED_ARGS;
    gfx::TriangleColour(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), I(a, 7), I(a, 8), B(a, 9));
  });
  Reg("draw_circle_color", 6, KV_FN {
    KV_UNUSED_ARGS;
    gfx::CircleColour(D(a, 0), D(a, 1), D(a, 2), I(a, 3), I(a, 4), B(a, 5));
  });
  Reg("draw_ellipse_color", 7, KV_FN {
    KV_UNUSED_ARGS;
    gfx::EllipseColour(D(a, 0), D(a, 1), D(a, 2), D(a, 3), I(a, 4), I(a, 5), B(a, 6));
  });
  Reg("draw_set_circle_precision", 1, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetCirclePrecision(I(a, 0));
  });
  Reg("draw_primitive_begin", 1, KV_FN {
    KV_UNUSED_ARGS;
    gfx::BeginPrimitive(I(a, 0), -1);
  });
  Reg("draw_primitive_begin_texture", 2, KV_FN {
    KV_UNUSED_ARGS;
    gfx::BeginPrimitive(I(a, 0), I(a, 1));
  });
  Reg("draw_primitive_end", 0, KV_FN {
    KV_UNUSED_ARGS;
    gfx::EndPrimitive();
  });
  Reg("draw_vertex", 2, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Vertex(D(a, 0), D(a, 1));
  });
  Reg("draw_vertex_color", 4, KV_FN {
    KV_UNUSED_ARGS;
    gfx::VertexColour(D(a, 0), D(a, 1), I(a, 2), D(a, 3));
  });
  Reg("draw_vertex_texture", 4, KV_FN {
    KV_UNUSED_ARGS;
    gfx::VertexTexture(D(a, 0), D(a, 1), D(a, 2), D(a, 3));
  });
  Reg("draw_vertex_texture_color", 6, KV_FN {
    KV_UNUSED_ARGS;
    gfx::VertexTextureColour(D(a, 0), D(a, 1), D(a, 2), D(a, 3), I(a, 4), D(a, 5));
  });
}

void RegisterText() {
  Reg("draw_set_font", 1, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetFont(I(a, 0));
  });
  Reg("draw_set_halign", 1, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetHalign(I(a, 0));
  });
  Reg("draw_set_valign", 1, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetValign(I(a, 0));
  });
  Reg("string_width", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::TextWidth(Text(a, 0), -1, -1);
  });
  Reg("string_height", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::TextHeight(Text(a, 0), -1, -1);
  });
  Reg("string_width_ext", 3, KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::TextWidth(Text(a, 0), I(a, 1), I(a, 2));
  });
  Reg("string_height_ext", 3, KV_FN {
    KV_UNUSED_ARGS;
    r = gfx::TextHeight(Text(a, 0), I(a, 1), I(a, 2));
  });
  Reg("draw_text", 3, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DrawText(Text(a, 2), -1, -1, D(a, 0), D(a, 1));
  });
  Reg("draw_text_ext", 5, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DrawText(Text(a, 2), I(a, 3), I(a, 4), D(a, 0), D(a, 1));
  });
  Reg("draw_text_transformed", 6, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DrawTextTransformed(Text(a, 2), -1, -1, D(a, 3), D(a, 4), D(a, 5), D(a, 0), D(a, 1));
  });
  Reg("draw_text_ext_transformed", 8, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DrawTextTransformed(Text(a, 2), I(a, 3), I(a, 4), D(a, 5), D(a, 6), D(a, 7), D(a, 0), D(a, 1));
  });
  Reg("draw_text_color", 8, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DrawTextColours(Text(a, 2), -1, -1, I(a, 3), I(a, 4), I(a, 5), I(a, 6), D(a, 7), D(a, 0), D(a, 1));
  });
  Reg("draw_text_transformed_color", 11, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DrawTextColoursTransformed(Text(a, 2), -1, -1, D(a, 3), D(a, 4), D(a, 5), I(a, 6), I(a, 7), I(a, 8),
                                    I(a, 9), D(a, 10), D(a, 0), D(a, 1));
  });
  Reg("draw_text_ext_color", 10, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DrawTextColours(Text(a, 2), I(a, 3), I(a, 4), I(a, 5), I(a, 6), I(a, 7), I(a, 8), D(a, 9), D(a, 0),
                         D(a, 1));
  });
  Reg("draw_text_ext_transformed_color", 13, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DrawTextColoursTransformed(Text(a, 2), I(a, 3), I(a, 4), D(a, 5), D(a, 6), D(a, 7), I(a, 8), I(a, 9),
                                    I(a, 10), I(a, 11), D(a, 12), D(a, 0), D(a, 1));
  });
}

void RegisterSprites() {
  Reg("draw_sprite", 4, KV_FN {
    KV_UNUSED_ARGS;
    Frame f = SpriteFrame(self, I(a, 0), D(a, 1));
    if (f.ok) gfx::DrawTexture(f.texture, D(a, 2) - f.xorigin, D(a, 3) - f.yorigin);
  });
  Reg("draw_sprite_ext", 9, KV_FN {
    KV_UNUSED_ARGS;
    Frame f = SpriteFrame(self, I(a, 0), D(a, 1));
    if (f.ok)
      gfx::DrawTextureExt(f.texture, I(a, 7), D(a, 8), D(a, 6) * kDegToRad, D(a, 4), D(a, 5), D(a, 2), D(a, 3),
                          f.xorigin, f.yorigin);
  });
  Reg("draw_sprite_stretched", 6, KV_FN {
    KV_UNUSED_ARGS;
    Frame f = SpriteFrame(self, I(a, 0), D(a, 1));
    if (f.ok) DrawStretched(f.texture, f.width, f.height, D(a, 2), D(a, 3), D(a, 4), D(a, 5), kWhite, 1.0);
  });
  Reg("draw_sprite_stretched_ext", 8, KV_FN {
    KV_UNUSED_ARGS;
    Frame f = SpriteFrame(self, I(a, 0), D(a, 1));
    if (f.ok) DrawStretched(f.texture, f.width, f.height, D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7));
  });
  Reg("draw_sprite_part", 8, KV_FN {
    KV_UNUSED_ARGS;
    Frame f = SpriteFrame(self, I(a, 0), D(a, 1));
    if (f.ok)
      gfx::DrawTexturePart(f.texture, kWhite, 1.0, 0.0, 1.0, 1.0, D(a, 6), D(a, 7), D(a, 2), D(a, 3), D(a, 4), D(a, 5));
  });
  Reg("draw_sprite_part_ext", 12, KV_FN {
    KV_UNUSED_ARGS;
    Frame f = SpriteFrame(self, I(a, 0), D(a, 1));
    if (f.ok)
      gfx::DrawTexturePart(f.texture, I(a, 10), D(a, 11), 0.0, D(a, 8), D(a, 9), D(a, 6), D(a, 7), D(a, 2), D(a, 3),
                           D(a, 4), D(a, 5));
  });
  Reg("draw_sprite_general", 16, KV_FN {
    KV_UNUSED_ARGS;
    Frame f = SpriteFrame(self, I(a, 0), D(a, 1));
    if (f.ok)
      gfx::DrawTextureGeneral(f.texture, I(a, 11), I(a, 12), I(a, 13), I(a, 14), D(a, 15), D(a, 10) * kDegToRad,
                              D(a, 8), D(a, 9), D(a, 6), D(a, 7), D(a, 2), D(a, 3), D(a, 4), D(a, 5));
  });
  Reg("draw_sprite_tiled", 4, KV_FN {
    KV_UNUSED_ARGS;
    Frame f = SpriteFrame(self, I(a, 0), D(a, 1));
    if (f.ok) DrawTiledOverRoom(f.texture, D(a, 2), D(a, 3), 1.0, 1.0, kWhite, 1.0, f.xorigin, f.yorigin);
  });
  Reg("draw_sprite_tiled_ext", 8, KV_FN {
    KV_UNUSED_ARGS;
    Frame f = SpriteFrame(self, I(a, 0), D(a, 1));
    if (f.ok)
      DrawTiledOverRoom(f.texture, D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7), f.xorigin, f.yorigin);
  });
}

// ---- tiles ----

// Tile look-up by id that reports a missing one.
RTile* TileArg(const RValue* a) {
  RTile* t = FindTile(I(a, 0));
  if (!t) ReportRuntimeError(kNoTile);
  return t;
}

bool Contains(const RTile& t, double x, double y) {
  return t.x <= x && x < t.x + t.width && t.y <= y && y < t.y + t.height;
}

template <class Pred>
void EraseTiles(Pred pred) {
  auto& tiles = CurrentTiles();
  std::erase_if(tiles, pred);
  G().cachedList = nullptr;
}

int NewTileId() {
  if (G().hooks.newTileId) return G().hooks.newTileId();
  if (CurrentRoom()) return ++LastTileIdRef();
  return ++G().localTileId;
}

#define TILE_GETTER(name, expr, missing)  \
  Reg(name, 1, KV_FN {                       \
    KV_UNUSED_ARGS;                          \
    RTile* t = TileArg(a);                \
    r = t ? static_cast<double>(expr) : (missing); \
  })

void RegisterTiles() {
  Reg("tile_add", 8, KV_FN {
    KV_UNUSED_ARGS;
    int bg = I(a, 0);
    if (!gfx::BackgroundExists(bg)) {
      ReportRuntimeError(kNoBackground);
      r = -1;
      return;
    }
    RTile t;
    t.background = bg;
    t.left = I(a, 1), t.top = I(a, 2), t.width = I(a, 3), t.height = I(a, 4);
    t.x = D(a, 5), t.y = D(a, 6), t.depth = D(a, 7);
    t.id = NewTileId();
    CurrentTiles().push_back(t);
    r = t.id;
  });
  Reg("tile_delete", 1, KV_FN {
    KV_UNUSED_ARGS;
    if (!TileArg(a)) return;
    int id = I(a, 0);
    auto& tiles = CurrentTiles();
    for (size_t i = 0; i < tiles.size(); ++i)
      if (tiles[i].id == id) {
        tiles.erase(tiles.begin() + static_cast<ptrdiff_t>(i));
        break;
      }
    G().cachedList = nullptr;
  });
  Reg("tile_exists", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = FindTile(I(a, 0)) ? 1.0 : 0.0;
  });
  TILE_GETTER("tile_get_x", t->x, 0.0);
  TILE_GETTER("tile_get_y", t->y, 0.0);
  TILE_GETTER("tile_get_left", t->left, 0.0);
  TILE_GETTER("tile_get_top", t->top, 0.0);
  TILE_GETTER("tile_get_width", t->width, 0.0);
  TILE_GETTER("tile_get_height", t->height, 0.0);
  TILE_GETTER("tile_get_depth", t->depth, 0.0);
  TILE_GETTER("tile_get_visible", t->visible ? 1 : 0, 0.0);
  TILE_GETTER("tile_get_xscale", t->xScale, 0.0);
  TILE_GETTER("tile_get_yscale", t->yScale, 0.0);
  TILE_GETTER("tile_get_blend", t->blend, 0.0);
  TILE_GETTER("tile_get_alpha", t->alpha, 0.0);
  TILE_GETTER("tile_get_background", t->background, -1.0);
  Reg("tile_set_position", 3, KV_FN {
    KV_UNUSED_ARGS;
    if (RTile* t = TileArg(a)) t->x = D(a, 1), t->y = D(a, 2);
  });
  Reg("tile_set_visible", 2, KV_FN {
    KV_UNUSED_ARGS;
    if (RTile* t = TileArg(a)) t->visible = B(a, 1);
  });
  Reg("tile_set_background", 2, KV_FN {
    KV_UNUSED_ARGS;
    RTile* t = TileArg(a);
    if (!t) return;
    if (!gfx::BackgroundExists(I(a, 1))) {
      ReportRuntimeError(kNoBackground);
      return;
    }
    t->background = I(a, 1);
  });
  Reg("tile_set_region", 5, KV_FN {
    KV_UNUSED_ARGS;
    if (RTile* t = TileArg(a)) t->left = I(a, 1), t->top = I(a, 2), t->width = I(a, 3), t->height = I(a, 4);
  });
  Reg("tile_set_depth", 2, KV_FN {
    KV_UNUSED_ARGS;
    if (RTile* t = TileArg(a)) t->depth = D(a, 1);
  });
  Reg("tile_set_scale", 3, KV_FN {
    KV_UNUSED_ARGS;
    if (RTile* t = TileArg(a)) t->xScale = D(a, 1), t->yScale = D(a, 2);
  });
  Reg("tile_set_blend", 2, KV_FN {
    KV_UNUSED_ARGS;
    if (RTile* t = TileArg(a)) t->blend = I(a, 1);
  });
  Reg("tile_set_alpha", 2, KV_FN {
    KV_UNUSED_ARGS;
    if (RTile* t = TileArg(a)) t->alpha = D(a, 1);
  });
  Reg("tile_find", 3, KV_FN {
    KV_UNUSED_ARGS;
    double x = D(a, 0), y = D(a, 1);
    bool fg = B(a, 2);
    r = -1;
    for (const RTile& t : CurrentTiles())
      if (Contains(t, x, y) && (fg ? t.depth < 0 : t.depth >= 0)) {
        r = t.id;
        return;
      }
  });
  Reg("tile_delete_at", 3, KV_FN {
    KV_UNUSED_ARGS;
    double x = D(a, 0), y = D(a, 1);
    bool fg = B(a, 2);
    EraseTiles([&](const RTile& t) {
      return t.x <= x && x <= t.x + t.width && t.y <= y && y <= t.y + t.height && (fg ? t.depth <= 0 : t.depth >= 0);
    });
  });
  Reg("tile_layer_hide", 1, KV_FN {
    KV_UNUSED_ARGS;
    for (RTile& t : CurrentTiles())
      if (t.depth == D(a, 0)) t.visible = false;
  });
  Reg("tile_layer_show", 1, KV_FN {
    KV_UNUSED_ARGS;
    for (RTile& t : CurrentTiles())
      if (t.depth == D(a, 0)) t.visible = true;
  });
  Reg("tile_layer_delete", 1, KV_FN {
    KV_UNUSED_ARGS;
    double d = D(a, 0);
    EraseTiles([&](const RTile& t) { return t.depth == d; });
  });
  Reg("tile_layer_shift", 3, KV_FN {
    KV_UNUSED_ARGS;
    for (RTile& t : CurrentTiles())
      if (t.depth == D(a, 0)) t.x += D(a, 1), t.y += D(a, 2);
  });
  Reg("tile_layer_find", 3, KV_FN {
    KV_UNUSED_ARGS;
    r = -1;
    for (const RTile& t : CurrentTiles())
      if (t.depth == D(a, 0) && Contains(t, D(a, 1), D(a, 2))) {
        r = t.id;
        return;
      }
  });
  Reg("tile_layer_delete_at", 3, KV_FN {
    KV_UNUSED_ARGS;
    double d = D(a, 0), x = D(a, 1), y = D(a, 2);
    EraseTiles([&](const RTile& t) { return t.depth == d && Contains(t, x, y); });
  });
  Reg("tile_layer_depth", 2, KV_FN {
    KV_UNUSED_ARGS;
    for (RTile& t : CurrentTiles())
      if (t.depth == D(a, 0)) t.depth = D(a, 1);
  });
}

#undef TILE_GETTER

Image SurfaceImageArg(int id) { return SurfaceImage(id); }
Image BackgroundImageArg(int index) { return BackgroundImage(index); }

}  // namespace

void SetGraphicsWorldHooks(const GraphicsWorldHooks& hooks) {
  G().hooks = hooks;
  G().cachedList = nullptr;
}

std::vector<RTile>& CurrentTiles() {
  if (G().hooks.tiles) {
    if (std::vector<RTile>* t = G().hooks.tiles()) return *t;
  } else if (CLiveRoom* room = CurrentRoom()) {
    return room->props.tiles;
  }
  return G().localTiles;
}

RTile* FindTile(int id) {
  auto& tiles = CurrentTiles();
  auto& g = G();
  if (g.cachedList == &tiles && g.cachedPos < tiles.size() && tiles[g.cachedPos].id == id) return &tiles[g.cachedPos];
  for (size_t i = 0; i < tiles.size(); ++i)
    if (tiles[i].id == id) {
      g.cachedList = &tiles;
      g.cachedPos = i;
      return &tiles[i];
    }
  return nullptr;
}

void RegisterGraphicsFunctions() {
  RegisterScreenAndColours();
  RegisterShapes();
  RegisterText();
  RegisterSprites();
  RegisterImageForms<BackgroundImageArg>("draw_background", "draw_background_ext", "draw_background_stretched",
                                         "draw_background_stretched_ext", "draw_background_part",
                                         "draw_background_part_ext", "draw_background_general",
                                         "draw_background_tiled", "draw_background_tiled_ext");
  RegisterImageForms<SurfaceImageArg>("draw_surface", "draw_surface_ext", "draw_surface_stretched",
                                      "draw_surface_stretched_ext", "draw_surface_part", "draw_surface_part_ext",
                                      "draw_surface_general", "draw_surface_tiled", "draw_surface_tiled_ext");
  RegisterTiles();
}

}  // namespace kv
