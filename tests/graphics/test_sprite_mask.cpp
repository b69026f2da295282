// Pixel-mask collision tests: room points mapped into placed frames (scale, mirroring, rotation, frame wrapping),
// rectangles, ellipses and lines against masks, and instances whose boxes overlap while their pixels do not.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "graphics/font_main.h"
#include "graphics/sprite_main.h"
#include "graphics/sprite_mask.h"
#include "runner/game_sections.h"
#include "sprite_art.h"
#include "world/instance_class.h"
#include "world/world_state.h"

namespace kv {
namespace {

using test::ArtSprite;

// "##.." / "#..." : an L in the top-left corner of a 4 × 2 frame.
CSprite Corner() { return ArtSprite({{"##..", "#..."}}); }

struct PointCase {
  const char* what;
  SpritePlacement at;
  double px, py;
  bool hit;
};

TEST(SpriteMaskPoints, MappingUnderScaleMirrorAndRotation) {
  const CSprite s = Corner();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const PointCase cases[] = {
      {"identity origin", {0, 10, 10, 1, 1, 0}, 10, 10, true},
      {"identity arm", {0, 10, 10, 1, 1, 0}, 11, 10, true},
      {"identity gap", {0, 10, 10, 1, 1, 0}, 12, 10, false},
      {"identity leg", {0, 10, 10, 1, 1, 0}, 10, 11, true},
      {"identity hole", {0, 10, 10, 1, 1, 0}, 11, 11, false},
      {"left of frame", {0, 10, 10, 1, 1, 0}, 9, 10, false},
      {"below frame", {0, 10, 10, 1, 1, 0}, 10, 12, false},
      {"real point floors", {0, 10, 10, 1, 1, 0}, 11.9, 11.9, false},
      {"scale 2 arm end", {0, 10, 10, 2, 2, 0}, 13, 11, true},
      {"scale 2 gap", {0, 10, 10, 2, 2, 0}, 14, 10, false},
      {"scale 2 leg", {0, 10, 10, 2, 2, 0}, 11, 13, true},
      {"scale 2 hole", {0, 10, 10, 2, 2, 0}, 12, 12, false},
      {"mirrored arm", {0, 10, 10, -1, 1, 0}, 9, 10, true},
      {"mirrored origin", {0, 10, 10, -1, 1, 0}, 10, 10, true},
      {"mirrored right side empty", {0, 10, 10, -1, 1, 0}, 11, 10, false},
      {"mirrored gap", {0, 10, 10, -1, 1, 0}, 8, 10, false},
      {"flipped leg above", {0, 10, 10, 1, -1, 0}, 10, 9, true},
      {"flipped nothing below", {0, 10, 10, 1, -1, 0}, 10, 11, false},
      // 90° counter-clockwise on a y-down room: the arm points up, the leg points right.
      {"rot 90 arm up", {0, 10, 10, 1, 1, 90}, 10, 9, true},
      {"rot 90 arm end", {0, 10, 10, 1, 1, 90}, 10, 8, false},
      {"rot 90 leg right", {0, 10, 10, 1, 1, 90}, 11, 10, true},
      {"rot 90 hole", {0, 10, 10, 1, 1, 90}, 11, 9, false},
      {"rot 90 nothing left", {0, 10, 10, 1, 1, 90}, 9, 10, false},
      {"rot 180 arm left", {0, 10, 10, 1, 1, 180}, 9, 10, true},
      {"rot 180 nothing right", {0, 10, 10, 1, 1, 180}, 11, 10, false},
      {"rot -90 arm down", {0, 10, 10, 1, 1, -90}, 10, 11, true},
      {"scale 0 hides all", {0, 10, 10, 0, 1, 0}, 10, 10, false},
      {"y scale 0 hides all", {0, 10, 10, 1, 0, 0}, 10, 10, false},
      {"NaN scale hides all", {0, 10, 10, nan, 1, 0}, 10, 10, false},
      {"NaN angle hides all", {0, 10, 10, 1, 1, nan}, 10, 10, false},
      {"huge point", {0, 10, 10, 1, 1, 0}, 1e300, 10, false},
  };
  for (const PointCase& c : cases) EXPECT_EQ(MaskPointHits(s, c.at, c.px, c.py), c.hit) << c.what;
}

TEST(SpriteMaskPoints, OriginShiftsTheFrame) {
  CSprite s = Corner();
  s.xOrigin = 1;
  s.yOrigin = 1;
  // The hole (1, 1) sits on the placement point; the corner pixel is one up and left.
  EXPECT_FALSE(MaskPointHits(s, {0, 10, 10, 1, 1, 0}, 10, 10));
  EXPECT_TRUE(MaskPointHits(s, {0, 10, 10, 1, 1, 0}, 9, 9));
  // Rotation turns around the origin: 180° puts the corner pixel one down and right.
  EXPECT_TRUE(MaskPointHits(s, {0, 10, 10, 1, 1, 180}, 11, 11));
  EXPECT_FALSE(MaskPointHits(s, {0, 10, 10, 1, 1, 180}, 9, 9));
}

TEST(SpriteMaskPoints, FramesWrapBothWays) {
  // Frame 0 solid on the left pixel, frame 1 on the right.
  const CSprite s = ArtSprite({{"#."}, {".#"}});
  struct Case { int64_t frame; bool left; } cases[] = {{0, true}, {1, false}, {2, true}, {3, false},
                                                       {-1, false}, {-2, true}, {-3, false}, {9, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(MaskPointHits(s, {c.frame, 0, 0, 1, 1, 0}, 0, 0), c.left) << c.frame;
    EXPECT_EQ(MaskPointHits(s, {c.frame, 0, 0, 1, 1, 0}, 1, 0), !c.left) << c.frame;
  }
}

TEST(SpriteMaskPoints, WithoutMasksTheBoxDecidesAndWithoutFramesNothingHits) {
  CSprite opaque = Corner();
  opaque.transparent = false;  // frames made without transparency have no masks
  opaque.BuildMasks();
  ASSERT_FALSE(opaque.HasMasks());
  EXPECT_TRUE(MaskPointHits(opaque, {}, 3, 1));
  EXPECT_TRUE(MaskRectangleHits(opaque, {}, {0, 0, 3, 1}, {3, 1, 3, 1}));
  CSprite imprecise = Corner();
  imprecise.SetPrecise(false);
  EXPECT_FALSE(imprecise.HasMasks());
  EXPECT_TRUE(MaskPointHits(imprecise, {}, 2, 1));
  imprecise.SetPrecise(true);
  EXPECT_FALSE(MaskPointHits(imprecise, {}, 2, 1));
  const CSprite none;
  EXPECT_FALSE(MaskPointHits(none, {}, 0, 0));
  EXPECT_FALSE(MaskLineHits(none, {}, {0, 0, 5, 5}, 0, 0, 5, 5));
}

struct ShapeCase {
  const char* what;
  MaskRect rect;
  bool rectangle, ellipse;
};

TEST(SpriteMaskShapes, RectanglesAndEllipsesScanTheBoxIntersection) {
  // A ring: border pixels only, 5 × 5, placed at (0, 0).
  const CSprite ring = ArtSprite({{"#####", "#...#", "#...#", "#...#", "#####"}});
  const MaskRect box{0, 0, 4, 4};
  const ShapeCase cases[] = {
      {"inside the hole", {1, 1, 3, 3}, false, false},
      {"touching the border", {1, 1, 4, 3}, true, true},  // the ellipse reaches (4, 2)
      {"whole ring", {0, 0, 4, 4}, true, true},            // its ellipse reaches the border midpoints
      {"corner only", {-3, -3, 0, 0}, true, false},        // the rectangle holds (0, 0); its ellipse does not
      {"outside the box", {6, 6, 9, 9}, false, false},
      {"flat rectangle on the border", {0, 2, 4, 2}, true, true},
      {"single pixel in the hole", {2, 2, 2, 2}, false, false},
  };
  for (const ShapeCase& c : cases) {
    EXPECT_EQ(MaskRectangleHits(ring, {}, box, c.rect), c.rectangle) << c.what;
    EXPECT_EQ(MaskEllipseHits(ring, {}, box, c.rect), c.ellipse) << c.what;
  }
}

TEST(SpriteMaskShapes, LinesFollowTheirPixels) {
  const CSprite ring = ArtSprite({{"#####", "#...#", "#...#", "#...#", "#####"}});
  const MaskRect box{10, 10, 14, 14};
  const SpritePlacement at{0, 10, 10, 1, 1, 0};
  struct Case { const char* what; int x1, y1, x2, y2; bool hit; } cases[] = {
      {"vertical through the hole", 12, 11, 12, 13, false},
      {"vertical across", 12, 5, 12, 50, true},
      {"horizontal on the border", 10, 10, 14, 10, true},
      {"shallow inside", 11, 11, 13, 12, false},
      {"steep inside", 11, 11, 12, 13, false},
      {"steep reversed ends", 12, 13, 11, 11, false},
      {"diagonal across", 10, 10, 14, 14, true},
      {"shallow reaching the border", 11, 12, 14, 13, true},
  };
  for (const Case& c : cases) EXPECT_EQ(MaskLineHits(ring, at, box, c.x1, c.y1, c.x2, c.y2), c.hit) << c.what;
}

// Instances placed in a small game whose sprite table is the module's, so the instances' own collision tests run
// through the installed mask hooks.
class SpriteCollision : public ::testing::Test {
 protected:
  void SetUp() override {
    SetWorldResources(&res);
    gfx::InstallSpriteModule(&res.sprites);
  }
  void TearDown() override {
    SetMaskTests({});
    gfx::SetSpriteAccess({});
    gfx::BindSpriteTable(nullptr);
    SetWorldResources(nullptr);
  }
  int Sprite(CSprite s) { return res.sprites.Add("spr" + std::to_string(res.sprites.Count()), std::make_unique<CSprite>(std::move(s))); }
  int Object(int sprite) {
    auto o = std::make_unique<CObject>();
    o->sprite = sprite;
    return res.objects.Add("obj" + std::to_string(res.objects.Count()), std::move(o));
  }
  CInstance Place(int object, double x, double y, double xs = 1, double ys = 1, double angle = 0) {
    CInstance i = CInstance::Make(nextId++, object, x, y);
    i.SetXScale(xs);
    i.SetYScale(ys);
    i.SetAngle(angle);
    return i;
  }
  static bool BoxesOverlap(const CInstance& a, const CInstance& b) { return a.CollidesInstance(b, false); }

  GameResources res;
  int nextId = 100001;
};

TEST_F(SpriteCollision, OverlappingBoxesWithApartPixels) {
  const int diag4 = Object(Sprite(ArtSprite({{"#...", ".#..", "..#.", "...#"}})));
  const int diag5 = Object(Sprite(ArtSprite({{"#....", ".#...", "..#..", "...#.", "....#"}})));
  struct Case {
    const char* what;
    int object;
    double x, xs;
    bool precise;
  } cases[] = {
      {"same place", diag4, 0, 1, true},
      {"shifted one pixel", diag4, 1, 1, false},
      // Mirrored at x = 3 the diagonal runs the other way: an even size has no common pixel, an odd one meets in
      // the centre.
      {"mirrored even", diag4, 3, -1, false},
      {"mirrored odd", diag5, 4, -1, true},
  };
  for (const Case& c : cases) {
    const CInstance a = Place(c.object, 0, 0);
    const CInstance b = Place(c.object, c.x, 0, c.xs);
    ASSERT_TRUE(BoxesOverlap(a, b)) << c.what;
    EXPECT_EQ(a.CollidesInstance(b, true), c.precise) << c.what;
    EXPECT_EQ(b.CollidesInstance(a, true), c.precise) << c.what;
  }
}

TEST_F(SpriteCollision, RotatedAndScaledRings) {
  // A 5 × 5 ring turning about its centre, and a single pixel.
  const int ring = Object(Sprite(ArtSprite({{"#####", "#...#", "#...#", "#...#", "#####"}}, 2, 2)));
  const int dot = Object(Sprite(ArtSprite({{"#"}})));
  struct Case {
    const char* what;
    double angle, scale, dotX, dotY;
    bool hit;
  } cases[] = {
      {"centre is the hole", 0, 1, 2, 2, false},
      {"border", 0, 1, 4, 2, true},
      {"90 degrees keeps the hole", 90, 1, 2, 2, false},
      {"90 degrees border", 90, 1, 2, 0, true},
      {"45 degrees pulls the side in", 45, 1, 4, 2, false},
      {"45 degrees corner reaches up", 45, 1, 2, 0, true},
      {"scale 3 widens the hole", 0, 3, 4, 2, false},
      {"scale 3 border", 0, 3, 8, 2, true},
      {"scale 0 has no pixel", 0, 0, 2, 0, false},
  };
  for (const Case& c : cases) {
    const CInstance r = Place(ring, 2, 2, c.scale, c.scale, c.angle);
    const CInstance d = Place(dot, c.dotX, c.dotY);
    if (c.scale != 0) {
      ASSERT_TRUE(BoxesOverlap(r, d)) << c.what;
    }
    EXPECT_EQ(r.CollidesInstance(d, true), c.hit) << c.what;
    EXPECT_EQ(r.CollidesPoint(c.dotX, c.dotY, true), c.hit) << c.what;
  }
}

TEST_F(SpriteCollision, ASpriteWithoutMasksIsSolidInsideItsFrameOnly) {
  CSprite block = ArtSprite({{"##", "##"}});
  block.transparent = false;
  block.BuildMasks();
  block.bboxKind = CSprite::kBoxManual;
  block.bboxRight = 5;  // a manual box wider than the frame
  const int wide = Object(Sprite(block));
  const int dot = Object(Sprite(ArtSprite({{"#"}})));
  const CInstance w = Place(wide, 0, 0);
  EXPECT_TRUE(w.CollidesInstance(Place(dot, 1, 1), true));
  const CInstance beyond = Place(dot, 4, 0);
  ASSERT_TRUE(BoxesOverlap(w, beyond));
  EXPECT_FALSE(w.CollidesInstance(beyond, true));
  // Point tests trust the box for a sprite without masks.
  EXPECT_TRUE(w.CollidesPoint(4, 0, true));
}

TEST_F(SpriteCollision, AnimatedFrameSelectsTheMask) {
  const int blink = Object(Sprite(ArtSprite({{"#."}, {".#"}})));
  CInstance a = Place(blink, 0, 0);
  a.imageIndex = 1.7;  // frame 1
  EXPECT_FALSE(a.CollidesPoint(0, 0, true));
  EXPECT_TRUE(a.CollidesPoint(1, 0, true));
  a.imageIndex = -0.5;  // floor -1 wraps to frame 1 as well
  EXPECT_TRUE(a.CollidesPoint(1, 0, true));
  a.imageIndex = 2;  // frame 0
  EXPECT_TRUE(a.CollidesPoint(0, 0, true));
}

}  // namespace
}  // namespace kv
