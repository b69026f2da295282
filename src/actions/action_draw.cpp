// Drawing actions for draw events: sprites, backgrounds, texts, values, shapes, gradients, colour and font.
// Every position is relative to self when the action is relative.
#include <cmath>
#include <cstdio>

#include "actions/action_common.h"
#include "code/code_docs.h"
#include "graphics/background_class.h"
#include "runner/game_sections.h"
#include "world/world_state.h"

namespace kv::actlib {

namespace {

RValue R(double v) { return RValue(v); }
constexpr double kWhite = 0xFFFFFF;

void DrawSprite(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  const int sprite = Round(a[0]);
  if (!WorldSprite(sprite)) return Report("Trying to draw a non-existing sprite.");
  const double sub = Num(a[3]) < 0 ? self->imageIndex : Num(a[3]);
  Call("draw_sprite_ext", self, other,
       {R(sprite), R(std::floor(sub)), R(PosX(self, a[1])), R(PosY(self, a[2])), R(1), R(1), R(0), R(kWhite), R(1)});
}
void DrawBackground(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  const int back = Round(a[0]);
  GameResources* res = WorldResources();
  if (!res || !res->backgrounds.Get(back)) return Report("Trying to draw a non-existing background.");
  const RValue x = R(PosX(self, a[1])), y = R(PosY(self, a[2]));
  if (Flag(a[3])) Call("draw_background_tiled_ext", self, other, {R(back), x, y, R(1), R(1), R(kWhite), R(1)});
  else Call("draw_background_ext", self, other, {R(back), x, y, R(1), R(1), R(0), R(kWhite), R(1)});
}
void DrawText(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  Call("draw_text", self, other, {R(PosX(self, a[1])), R(PosY(self, a[2])), a[0]});
}
void DrawTextTransformed(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  Call("draw_text_transformed", self, other, {R(PosX(self, a[1])), R(PosY(self, a[2])), a[0], a[3], a[4], a[5]});
}

}  // namespace

// A string as it is; an integral real without decimals, any other real with two.
std::string VariableText(const RValue& v) {
  if (v.IsString()) return v.ToStdString();
  const double r = v.Real();
  const double rounded = static_cast<double>(RoundToInt64(r));
  char buffer[64];
  if (r == rounded) std::snprintf(buffer, sizeof buffer, "%.0f", rounded);
  else std::snprintf(buffer, sizeof buffer, "%.2f", r);
  return buffer;
}

namespace {

void DrawVariable(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  Call("draw_text", self, other, {R(PosX(self, a[1])), R(PosY(self, a[2])), RValue(VariableText(a[0]))});
}
// The two corners of a shape, both relative to self when the action is relative.
struct Box {
  RValue x1, y1, x2, y2;
};
Box Corners(const CInstance* self, const RValue* a) {
  return {R(PosX(self, a[0])), R(PosY(self, a[1])), R(PosX(self, a[2])), R(PosY(self, a[3]))};
}
void DrawRectangle(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  const Box b = Corners(self, a);
  Call("draw_rectangle", self, other, {b.x1, b.y1, b.x2, b.y2, R(!Flag(a[4]))});
}
void DrawEllipse(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  const Box b = Corners(self, a);
  Call("draw_ellipse", self, other, {b.x1, b.y1, b.x2, b.y2, R(!Flag(a[4]))});
}
void DrawLine(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  const Box b = Corners(self, a);
  Call("draw_line", self, other, {b.x1, b.y1, b.x2, b.y2});
}
void DrawArrow(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  const Box b = Corners(self, a);
  Call("draw_arrow", self, other, {b.x1, b.y1, b.x2, b.y2, a[4]});
}
// Corner colours run top-left, top-right, bottom-right, bottom-left.
void GradientHor(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  const Box b = Corners(self, a);
  Call("draw_rectangle_color", self, other, {b.x1, b.y1, b.x2, b.y2, a[4], a[5], a[5], a[4], R(0)});
}
void GradientVert(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  const Box b = Corners(self, a);
  Call("draw_rectangle_color", self, other, {b.x1, b.y1, b.x2, b.y2, a[4], a[4], a[5], a[5], R(0)});
}
void EllipseGradient(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  const Box b = Corners(self, a);
  Call("draw_ellipse_color", self, other, {b.x1, b.y1, b.x2, b.y2, a[4], a[5], R(0)});
}
void Color(RValue&, CInstance*, CInstance*, int, RValue* a) { Call("draw_set_color", {a[0]}); }
void Font(RValue&, CInstance*, CInstance*, int, RValue* a) {
  Call("draw_set_font", {a[0]});
  Call("draw_set_halign", {a[1]});
}
void Nothing(RValue&, CInstance*, CInstance*, int, RValue*) {}

}  // namespace

void RegisterDrawActions() {
  Reg("action_draw_sprite", 4, DrawSprite);
  Reg("action_draw_background", 4, DrawBackground);
  Reg("action_draw_text", 3, DrawText);
  Reg("action_draw_text_transformed", 6, DrawTextTransformed);
  Reg("action_draw_variable", 3, DrawVariable);
  Reg("action_draw_rectangle", 5, DrawRectangle);
  Reg("action_draw_ellipse", 5, DrawEllipse);
  Reg("action_draw_line", 4, DrawLine);
  Reg("action_draw_arrow", 5, DrawArrow);
  Reg("action_draw_gradient_hor", 6, GradientHor);
  Reg("action_draw_gradient_vert", 6, GradientVert);
  Reg("action_draw_ellipse_gradient", 6, EllipseGradient);
  Reg("action_color", 1, Color);
  Reg("action_font", 2, Font);
  Reg("action_draw_font", 1, Nothing);
  Reg("action_draw_font_old", 6, Nothing);
  Reg("action_fill_color", 1, Nothing);
  Reg("action_line_color", 1, Nothing);
  DescribeFunctions("Drawing actions", {
      {"action_draw_sprite", "spr, x, y, subimg",
       "Draws frame subimg of the sprite at (x, y) (a negative subimg draws the current frame)."},
      {"action_draw_background", "back, x, y, tiled",
       "Draws the background at (x, y), tiled over the room when tiled is true."},
      {"action_draw_text", "str, x, y", "Draws the text at (x, y)."},
      {"action_draw_text_transformed", "str, x, y, xscale, yscale, angle",
       "Draws the text at (x, y), scaled and rotated."},
      {"action_draw_variable", "val, x, y", "Draws the value at (x, y)."},
      {"action_draw_rectangle", "x1, y1, x2, y2, filled", "Draws a rectangle, filled or as an outline."},
      {"action_draw_ellipse", "x1, y1, x2, y2, filled",
       "Draws the ellipse inside the rectangle, filled or as an outline."},
      {"action_draw_line", "x1, y1, x2, y2", "Draws a line."},
      {"action_draw_arrow", "x1, y1, x2, y2, tipsize", "Draws an arrow from the first point to the second."},
      {"action_draw_gradient_hor", "x1, y1, x2, y2, col1, col2",
       "Fills the rectangle with colours going from col1 at the left to col2 at the right."},
      {"action_draw_gradient_vert", "x1, y1, x2, y2, col1, col2",
       "Fills the rectangle with colours going from col1 at the top to col2 at the bottom."},
      {"action_draw_ellipse_gradient", "x1, y1, x2, y2, col1, col2",
       "Fills the ellipse with colours going from col1 at the centre to col2 at the edge."},
      {"action_color", "col", "Sets the drawing colour."},
      {"action_font", "font, halign", "Sets the drawing font and horizontal text alignment."},
      {"action_draw_font", "font", "Kept so old games load; does nothing."},
      {"action_draw_font_old", "name, size, col, bold, italic, underline", "Kept so old games load; does nothing."},
      {"action_fill_color", "col", "Kept so old games load; does nothing."},
      {"action_line_color", "col", "Kept so old games load; does nothing."},
  });
}

}  // namespace kv::actlib
