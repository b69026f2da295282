#include "functions/function_graphics.h"

#include <cmath>

#include "code/code_docs.h"
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

  DescribeFunctions("Screen and colours", {
      {"set_automatic_draw", "value", "Sets whether the room is drawn automatically at the end of every step."},
      {"set_synchronization", "value",
       "Sets whether drawing waits for the screen's vertical refresh to avoid tearing."},
      {"screen_redraw", "", "Draws the room now and shows the result on the screen."},
      {"screen_refresh", "", "Shows the last drawn frame on the screen again without redrawing the room."},
      {"draw_getpixel", "x, y", "Returns the colour of the drawn pixel at room position (x, y) in the current view."},
      {"draw_set_color", "col", "Sets the colour used by the drawing functions that take no colour of their own."},
      {"draw_get_color", "", "Returns the current drawing colour."},
      {"draw_set_alpha", "alpha", "Sets the opacity of later drawing, from 0 (invisible) to 1 (opaque)."},
      {"draw_get_alpha", "", "Returns the current drawing opacity."},
      {"draw_set_blend_mode", "mode",
       "Sets how drawn pixels combine with those already there (bm_normal, bm_add, bm_max or bm_subtract)."},
      {"draw_set_blend_mode_ext", "src, dest", "Sets the source and destination blend factors used for later drawing."},
      {"make_color_rgb", "red, green, blue",
       "Returns the colour made of the given red, green and blue amounts, each 0 to 255."},
      {"make_color", "red, green, blue",
       "Returns the colour made of the given red, green and blue amounts, each 0 to 255."},
      {"make_color_hsv", "hue, saturation, value",
       "Returns the colour with the given hue, saturation and value, each 0 to 255."},
      {"color_get_red", "col", "Returns the red amount of a colour, 0 to 255."},
      {"color_get_green", "col", "Returns the green amount of a colour, 0 to 255."},
      {"color_get_blue", "col", "Returns the blue amount of a colour, 0 to 255."},
      {"color_get_hue", "col", "Returns the hue of a colour, 0 to 255."},
      {"color_get_saturation", "col", "Returns the saturation of a colour, 0 to 255."},
      {"color_get_value", "col", "Returns the value (brightness) of a colour, 0 to 255."},
      {"merge_color", "col1, col2, amount", "Returns the mix of two colours, amount 0 giving col1 and 1 giving col2."},
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

  DescribeFunctions("Drawing shapes", {
      {"draw_clear", "col", "Fills the whole drawing area with a colour."},
      {"draw_clear_alpha", "col, alpha",
       "Fills the whole drawing area with a colour and opacity, useful for clearing surfaces."},
      {"draw_point", "x, y", "Draws a single pixel in the drawing colour."},
      {"draw_line", "x1, y1, x2, y2", "Draws a line between two points."},
      {"draw_line_width", "x1, y1, x2, y2, w", "Draws a line of the given width between two points."},
      {"draw_rectangle", "x1, y1, x2, y2, outline", "Draws a rectangle, filled or only its outline."},
      {"draw_roundrect", "x1, y1, x2, y2, outline",
       "Draws a rectangle with rounded corners, filled or only its outline."},
      {"draw_triangle", "x1, y1, x2, y2, x3, y3, outline", "Draws a triangle, filled or only its outline."},
      {"draw_circle", "x, y, r, outline", "Draws a circle of radius r around (x, y), filled or only its outline."},
      {"draw_ellipse", "x1, y1, x2, y2, outline",
       "Draws the ellipse inside the given rectangle, filled or only its outline."},
      {"draw_arrow", "x1, y1, x2, y2, size",
       "Draws an arrow from the first point to the second with a head of the given size."},
      {"draw_button", "x1, y1, x2, y2, up", "Draws a raised or pressed button shape in the drawing colour."},
      {"draw_healthbar", "x1, y1, x2, y2, amount, backcol, mincol, maxcol, direction, showback, showborder",
       "Draws a bar filled to amount percent, coloured between mincol and maxcol, growing from the given side."},
      {"draw_point_color", "x, y, col", "Draws a single pixel in the given colour."},
      {"draw_line_color", "x1, y1, x2, y2, col1, col2",
       "Draws a line whose colour runs from col1 at the start to col2 at the end."},
      {"draw_line_width_color", "x1, y1, x2, y2, w, col1, col2",
       "Draws a line of the given width whose colour runs from col1 to col2."},
      {"draw_rectangle_color", "x1, y1, x2, y2, col1, col2, col3, col4, outline",
       "Draws a rectangle with a colour at each corner, blended across it."},
      {"draw_roundrect_color", "x1, y1, x2, y2, col1, col2, outline",
       "Draws a rounded rectangle whose colour runs from col1 in the middle to col2 at the edge."},
      {"draw_triangle_color", "x1, y1, x2, y2, x3, y3, col1, col2, col3, outline",
       "Draws a triangle with a colour at each corner, blended across it."},
      {"draw_circle_color", "x, y, r, col1, col2, outline",
       "Draws a circle whose colour runs from col1 in the centre to col2 at the edge."},
      {"draw_ellipse_color", "x1, y1, x2, y2, col1, col2, outline",
       "Draws an ellipse whose colour runs from col1 in the centre to col2 at the edge."},
      {"draw_set_circle_precision", "precision", "Sets how many segments circles and ellipses are drawn with."},
      {"draw_primitive_begin", "kind",
       "Starts a primitive of the given kind (points, lines or triangles) built from the vertices that follow."},
      {"draw_primitive_begin_texture", "kind, texture",
       "Starts a textured primitive of the given kind built from the vertices that follow."},
      {"draw_primitive_end", "", "Draws the primitive built from the vertices given since it began."},
      {"draw_vertex", "x, y", "Adds a vertex in the drawing colour and alpha to the current primitive."},
      {"draw_vertex_color", "x, y, col, alpha",
       "Adds a vertex with its own colour and alpha to the current primitive."},
      {"draw_vertex_texture", "x, y, xtex, ytex",
       "Adds a vertex with texture coordinates (0 to 1) to the current primitive."},
      {"draw_vertex_texture_color", "x, y, xtex, ytex, col, alpha",
       "Adds a vertex with texture coordinates, colour and alpha to the current primitive."},
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

  DescribeFunctions("Drawing text", {
      {"draw_set_font", "font", "Sets the font used to draw text."},
      {"draw_set_halign", "halign", "Sets the horizontal alignment of drawn text (fa_left, fa_center or fa_right)."},
      {"draw_set_valign", "valign", "Sets the vertical alignment of drawn text (fa_top, fa_middle or fa_bottom)."},
      {"string_width", "string", "Returns the width in pixels of a text drawn in the current font."},
      {"string_height", "string", "Returns the height in pixels of a text drawn in the current font."},
      {"string_width_ext", "string, sep, w",
       "Returns the width of a text drawn with line separation sep and wrapped at width w."},
      {"string_height_ext", "string, sep, w",
       "Returns the height of a text drawn with line separation sep and wrapped at width w."},
      {"draw_text", "x, y, string", "Draws a text at (x, y); a # starts a new line."},
      {"draw_text_ext", "x, y, string, sep, w",
       "Draws a text with line separation sep, wrapping lines longer than w pixels."},
      {"draw_text_transformed", "x, y, string, xscale, yscale, angle",
       "Draws a text scaled and rotated by angle degrees."},
      {"draw_text_ext_transformed", "x, y, string, sep, w, xscale, yscale, angle",
       "Draws a wrapped text scaled and rotated by angle degrees."},
      {"draw_text_color", "x, y, string, c1, c2, c3, c4, alpha",
       "Draws a text with a colour at each corner of its box and the given alpha."},
      {"draw_text_transformed_color", "x, y, string, xscale, yscale, angle, c1, c2, c3, c4, alpha",
       "Draws a scaled and rotated text with corner colours and alpha."},
      {"draw_text_ext_color", "x, y, string, sep, w, c1, c2, c3, c4, alpha",
       "Draws a wrapped text with corner colours and alpha."},
      {"draw_text_ext_transformed_color", "x, y, string, sep, w, xscale, yscale, angle, c1, c2, c3, c4, alpha",
       "Draws a wrapped, scaled and rotated text with corner colours and alpha."},
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

  DescribeFunctions("Drawing images", {
      {"draw_sprite", "sprite, subimg, x, y",
       "Draws an image of a sprite at (x, y); subimg -1 draws the calling instance's current image."},
      {"draw_sprite_ext", "sprite, subimg, x, y, xscale, yscale, rot, color, alpha",
       "Draws a sprite image scaled, rotated, blended with a colour and with the given alpha."},
      {"draw_sprite_stretched", "sprite, subimg, x, y, w, h",
       "Draws a sprite image stretched to fill the given width and height."},
      {"draw_sprite_stretched_ext", "sprite, subimg, x, y, w, h, color, alpha",
       "Draws a sprite image stretched to the given size, blended with a colour and alpha."},
      {"draw_sprite_part", "sprite, subimg, left, top, width, height, x, y",
       "Draws the given rectangle of a sprite image at (x, y)."},
      {"draw_sprite_part_ext", "sprite, subimg, left, top, width, height, x, y, xscale, yscale, color, alpha",
       "Draws a rectangle of a sprite image scaled, blended with a colour and alpha."},
      {"draw_sprite_general",
       "sprite, subimg, left, top, width, height, x, y, xscale, yscale, rot, c1, c2, c3, c4, alpha",
       "Draws a rectangle of a sprite image scaled, rotated, with a colour at each corner and alpha."},
      {"draw_sprite_tiled", "sprite, subimg, x, y",
       "Fills the whole room with copies of a sprite image, one of them at (x, y)."},
      {"draw_sprite_tiled_ext", "sprite, subimg, x, y, xscale, yscale, color, alpha",
       "Fills the room with scaled copies of a sprite image, blended with a colour and alpha."},
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

  DescribeFunctions("Tiles", {
      {"tile_add", "background, left, top, width, height, x, y, depth",
       "Adds a tile showing part of a background to the room and returns its id."},
      {"tile_delete", "id", "Removes a tile from the room."},
      {"tile_exists", "id", "Returns whether a tile with this id is in the room."},
      {"tile_get_x", "id", "Returns the x position of a tile."},
      {"tile_get_y", "id", "Returns the y position of a tile."},
      {"tile_get_left", "id", "Returns the left edge of the part of the background a tile shows."},
      {"tile_get_top", "id", "Returns the top edge of the part of the background a tile shows."},
      {"tile_get_width", "id", "Returns the width of a tile."},
      {"tile_get_height", "id", "Returns the height of a tile."},
      {"tile_get_depth", "id", "Returns the depth of a tile."},
      {"tile_get_visible", "id", "Returns whether a tile is visible."},
      {"tile_get_xscale", "id", "Returns the horizontal scale of a tile."},
      {"tile_get_yscale", "id", "Returns the vertical scale of a tile."},
      {"tile_get_blend", "id", "Returns the blend colour of a tile."},
      {"tile_get_alpha", "id", "Returns the alpha of a tile."},
      {"tile_get_background", "id", "Returns the background a tile shows, or -1 when the tile does not exist."},
      {"tile_set_position", "id, x, y", "Moves a tile to (x, y)."},
      {"tile_set_visible", "id, visible", "Shows or hides a tile."},
      {"tile_set_background", "id, background", "Makes a tile show another background."},
      {"tile_set_region", "id, left, top, width, height", "Sets the part of the background a tile shows."},
      {"tile_set_depth", "id, depth", "Sets the depth of a tile."},
      {"tile_set_scale", "id, xscale, yscale", "Sets the horizontal and vertical scale of a tile."},
      {"tile_set_blend", "id, color", "Sets the colour a tile is blended with."},
      {"tile_set_alpha", "id, alpha", "Sets the alpha of a tile."},
      {"tile_find", "x, y, foreground",
       "Returns the id of the first foreground (negative depth) or background tile at (x, y), or -1."},
      {"tile_delete_at", "x, y, foreground", "Removes the foreground or background tiles at (x, y)."},
      {"tile_layer_hide", "depth", "Hides every tile at the given depth."},
      {"tile_layer_show", "depth", "Shows every tile at the given depth."},
      {"tile_layer_delete", "depth", "Removes every tile at the given depth."},
      {"tile_layer_shift", "depth, x, y", "Moves every tile at the given depth by (x, y)."},
      {"tile_layer_find", "depth, x, y",
       "Returns the id of the first tile at the given depth containing (x, y), or -1."},
      {"tile_layer_delete_at", "depth, x, y", "Removes the tiles at the given depth containing (x, y)."},
      {"tile_layer_depth", "depth, newdepth", "Moves every tile at one depth to another depth."},
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
  DescribeFunctions("Drawing images", {
      {"draw_background", "back, x, y", "Draws a background image with its top left corner at (x, y)."},
      {"draw_background_ext", "back, x, y, xscale, yscale, rot, color, alpha",
       "Draws a background image scaled, rotated, blended with a colour and alpha."},
      {"draw_background_stretched", "back, x, y, w, h",
       "Draws a background image stretched to the given width and height."},
      {"draw_background_stretched_ext", "back, x, y, w, h, color, alpha",
       "Draws a background image stretched to the given size, blended with a colour and alpha."},
      {"draw_background_part", "back, left, top, width, height, x, y",
       "Draws the given rectangle of a background image at (x, y)."},
      {"draw_background_part_ext", "back, left, top, width, height, x, y, xscale, yscale, color, alpha",
       "Draws a rectangle of a background image scaled, blended with a colour and alpha."},
      {"draw_background_general", "back, left, top, width, height, x, y, xscale, yscale, rot, c1, c2, c3, c4, alpha",
       "Draws a rectangle of a background image scaled, rotated, with a colour at each corner and alpha."},
      {"draw_background_tiled", "back, x, y",
       "Fills the whole room with copies of a background image, one of them at (x, y)."},
      {"draw_background_tiled_ext", "back, x, y, xscale, yscale, color, alpha",
       "Fills the room with scaled copies of a background image, blended with a colour and alpha."},
      {"draw_surface", "id, x, y", "Draws a surface with its top left corner at (x, y)."},
      {"draw_surface_ext", "id, x, y, xscale, yscale, rot, color, alpha",
       "Draws a surface scaled, rotated, blended with a colour and alpha."},
      {"draw_surface_stretched", "id, x, y, w, h", "Draws a surface stretched to the given width and height."},
      {"draw_surface_stretched_ext", "id, x, y, w, h, color, alpha",
       "Draws a surface stretched to the given size, blended with a colour and alpha."},
      {"draw_surface_part", "id, left, top, width, height, x, y", "Draws the given rectangle of a surface at (x, y)."},
      {"draw_surface_part_ext", "id, left, top, width, height, x, y, xscale, yscale, color, alpha",
       "Draws a rectangle of a surface scaled, blended with a colour and alpha."},
      {"draw_surface_general", "id, left, top, width, height, x, y, xscale, yscale, rot, c1, c2, c3, c4, alpha",
       "Draws a rectangle of a surface scaled, rotated, with a colour at each corner and alpha."},
      {"draw_surface_tiled", "id, x, y", "Fills the whole room with copies of a surface, one of them at (x, y)."},
      {"draw_surface_tiled_ext", "id, x, y, xscale, yscale, color, alpha",
       "Fills the room with scaled copies of a surface, blended with a colour and alpha."},
  });
  RegisterTiles();
}

}  // namespace kv
