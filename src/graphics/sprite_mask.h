#pragma once
// Pixel-precise collision tests of sprite placements: a sprite frame drawn at an integer room position with scales
// and a rotation, tested against a point, a rectangle, an ellipse, a line or another placed sprite.
//
// A room pixel (px, py) maps into frame coordinates with c = cos(-angle), s = sin(-angle), dx = px - x,
// dy = py - y: u = floor((dx c + dy s) / xscale + xorigin), v = floor((dy c - dx s) / yscale + yorigin). It is solid
// when (u, v) lies in the frame and the frame's mask is set there. A scale of 0 shows no pixel at all. A sprite
// without masks is solid wherever its bounding box says so (the caller has tested the box); for two sprites, one
// without masks is solid everywhere inside its frame.
#include "graphics/sprite_class.h"

namespace kv {

// Room boxes, inclusive on all sides.
struct MaskRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Where and how a sprite frame is shown. `frame` is reduced modulo the frame count (negative frames count back).
struct SpritePlacement {
  int64_t frame = 0;
  int x = 0, y = 0;  // the instance position rounded to the nearest pixel
  double xscale = 1, yscale = 1;
  double angle = 0;  // degrees, counter-clockwise
};

bool MaskPointHits(const CSprite& sprite, const SpritePlacement& at, double px, double py);
// Every pixel of box ∩ rect, column by column.
bool MaskRectangleHits(const CSprite& sprite, const SpritePlacement& at, MaskRect box, MaskRect rect);
// The pixels of box ∩ rect inside the ellipse inscribed in rect.
bool MaskEllipseHits(const CSprite& sprite, const SpritePlacement& at, MaskRect box, MaskRect rect);
// The line from (x1, y1) to (x2, y2), x1 <= x2, already clipped to the box's columns.
bool MaskLineHits(const CSprite& sprite, const SpritePlacement& at, MaskRect box, int x1, int y1, int x2, int y2);
// A pixel of box1 ∩ box2 solid in both sprites.
bool MaskSpritesOverlap(const CSprite& a, const SpritePlacement& atA, MaskRect boxA, const CSprite& b,
                        const SpritePlacement& atB, MaskRect boxB);

}  // namespace kv
