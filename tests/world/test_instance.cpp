// Instance fields: motion coherence, friction and gravity, bounding boxes, animation and the collision tests.
#include <cmath>

#include "world_fixture.h"

namespace kv::test {
namespace {

struct Motion {
  double direction, speed, hspeed, vspeed;
};

void ExpectMotion(const CInstance& i, Motion m, const char* what) {
  EXPECT_NEAR(i.direction, m.direction, 1e-9) << what;
  EXPECT_NEAR(i.speed, m.speed, 1e-9) << what;
  EXPECT_NEAR(i.hSpeed, m.hspeed, 1e-9) << what;
  EXPECT_NEAR(i.vSpeed, m.vspeed, 1e-9) << what;
}

TEST(InstanceMotion, SettersKeepPolarAndComponentsCoherent) {
  struct Case {
    const char* what;
    void (*apply)(CInstance&);
    Motion expect;
  } cases[] = {
      {"speed then direction", [](CInstance& i) { i.SetSpeed(4); i.SetDirection(90); }, {90, 4, 0, -4}},
      {"direction then speed", [](CInstance& i) { i.SetDirection(180); i.SetSpeed(2); }, {180, 2, -2, 0}},
      {"direction normalised", [](CInstance& i) { i.SetSpeed(1); i.SetDirection(-90); }, {270, 1, 0, 1}},
      {"direction 720+45", [](CInstance& i) { i.SetSpeed(std::sqrt(2.0)); i.SetDirection(765); },
       {45, std::sqrt(2.0), 1, -1}},
      {"hspeed 0 with vspeed -3", [](CInstance& i) { i.SetHSpeed(2); i.SetVSpeed(-3); i.SetHSpeed(0); },
       {90, 3, 0, -3}},
      {"negative speed keeps direction", [](CInstance& i) { i.SetSpeed(-2); }, {0, -2, -2, 0}},
      {"then hspeed -3", [](CInstance& i) { i.SetSpeed(-2); i.SetHSpeed(-3); }, {180, 3, -3, 0}},
      {"components 3,4", [](CInstance& i) { i.SetHSpeed(3); i.SetVSpeed(4); },
       {360 - std::atan2(4.0, 3.0) * 180 / M_PI, 5, 3, 4}},
      {"add motion down", [](CInstance& i) { i.AddMotion(1, 270); }, {270, 1, 0, 1}},
      // Toward its own position while moving up: the components vanish, direction falls back to 0, then the new
      // speed moves it right.
      {"move towards own position", [](CInstance& i) { i.SetVSpeed(-3); i.MoveTowards(i.x, i.y, 2); },
       {0, 2, 2, 0}},
      // Components within 1e-4 of an integer are snapped: cos(90°) * 5 is not left as 3e-16.
      {"snapped components", [](CInstance& i) { i.SetDirection(90); i.SetSpeed(5); }, {90, 5, 0, -5}},
  };
  for (const Case& c : cases) {
    CInstance inst(100001, 0, 10, 20);
    c.apply(inst);
    ExpectMotion(inst, c.expect, c.what);
    if (c.expect.hspeed == 0 && std::string(c.what) != "add motion down") {
      EXPECT_EQ(inst.hSpeed, 0.0) << c.what;  // exactly, not merely near
    }
  }
}

TEST(InstanceMotion, SettersActOnlyOnChange) {
  CInstance inst(100001, 0, 0, 0);
  inst.SetSpeed(3);
  inst.hSpeed = 7;  // a stale component survives a same-value write...
  inst.SetSpeed(3);
  EXPECT_EQ(inst.hSpeed, 7);
  inst.SetDirection(0);
  EXPECT_EQ(inst.hSpeed, 7);
  inst.SetDirection(360);  // ...but a differing value recomputes (360 normalises to 0)
  EXPECT_EQ(inst.direction, 0);
  EXPECT_EQ(inst.hSpeed, 3);
}

TEST(InstanceMotion, FrictionAndGravity) {
  struct Case {
    const char* what;
    double speed, friction, gravity, gravityDirection;
    Motion expect;
  } cases[] = {
      {"friction stops at zero", 0.3, 0.5, 0, 270, {0, 0, 0, 0}},
      {"friction slows", 2, 0.5, 0, 270, {0, 1.5, 1.5, 0}},
      {"friction on negative speed", -2, 0.5, 0, 270, {0, -1.5, -1.5, 0}},
      {"negative speed crossing zero", -0.3, 0.5, 0, 270, {0, 0, 0, 0}},
      {"negative friction accelerates", 1, -0.5, 0, 270, {0, 1.5, 1.5, 0}},
      {"friction at rest does nothing", 0, 0.5, 0, 270, {0, 0, 0, 0}},
      {"gravity from rest", 0, 0, 1, 270, {270, 1, 0, 1}},
      {"gravity up", 0, 0, 2, 90, {90, 2, 0, -2}},
      {"gravity after friction", 1, 1, 0.5, 180, {180, 0.5, -0.5, 0}},
  };
  for (const Case& c : cases) {
    CInstance inst(100001, 0, 0, 0);
    inst.SetSpeed(c.speed);
    inst.friction = c.friction;
    inst.gravity = c.gravity;
    inst.gravityDirection = c.gravityDirection;
    inst.ApplyFrictionAndGravity();
    ExpectMotion(inst, c.expect, c.what);
  }
}

class InstanceShapes : public WorldTest {};

TEST_F(InstanceShapes, BoundingBoxRoundsHalvesToEven) {
  const int spr = AddSprite(16, 16);
  const int obj = AddObject("o");
  Obj(obj).sprite = spr;
  struct Case {
    double x, y, xscale, angle;
    int left, top, right, bottom;
  } cases[] = {
      {0, 0, 1, 0, 0, 0, 15, 15},
      {0.5, 0, 1, 0, 0, 0, 16, 15},   // 0.5 -> 0, 15.5 -> 16
      {1.5, 0, 1, 0, 2, 0, 16, 15},   // 1.5 -> 2, 16.5 -> 16
      {10, 10, -1, 0, -7, 10, 10, 25},  // mirrored: the sides swap (the formula's -1 reaches one pixel further)
      {0, 0, 2, 0, 0, 0, 31, 15},
      {0, 0, 1, 90, 0, -15, 15, 0},   // a quarter turn counter-clockwise lifts the box above the origin
  };
  for (const Case& c : cases) {
    CInstance inst = CInstance::Make(100001, obj, 0, 0);
    inst.SetXScale(c.xscale);
    inst.SetAngle(c.angle);
    inst.SetPosition(c.x, c.y);
    inst.ComputeBoundingBox();
    EXPECT_EQ(inst.bboxLeft, c.left) << c.x << " " << c.xscale << " " << c.angle;
    EXPECT_EQ(inst.bboxTop, c.top) << c.x << " " << c.xscale << " " << c.angle;
    EXPECT_EQ(inst.bboxRight, c.right) << c.x << " " << c.xscale << " " << c.angle;
    EXPECT_EQ(inst.bboxBottom, c.bottom) << c.x << " " << c.xscale << " " << c.angle;
  }
  CInstance bare = CInstance::Make(100002, AddObject("none"), 5, 5);
  EXPECT_EQ(bare.bboxLeft, kNoBoundingBox);
  EXPECT_EQ(bare.bboxBottom, kNoBoundingBox);
  EXPECT_FALSE(bare.precise);
}

TEST_F(InstanceShapes, ObjectDefaultsAndSpriteChanges) {
  const int three = AddSprite(8, 8, 3);
  const int one = AddSprite(8, 8, 1);
  const int obj = AddObject("o");
  Obj(obj).sprite = three;
  Obj(obj).depth = -7;
  Obj(obj).solid = true;
  Obj(obj).persistent = true;
  CInstance inst = CInstance::Make(100001, obj, 4, 6);
  EXPECT_EQ(inst.spriteIndex, three);
  EXPECT_EQ(inst.depth, -7.0);
  EXPECT_TRUE(inst.solid);
  EXPECT_TRUE(inst.persistent);
  EXPECT_EQ(inst.xStart, 4);
  EXPECT_EQ(inst.yPrevious, 6);
  inst.imageIndex = 2.5;
  inst.SetSprite(three);
  EXPECT_EQ(inst.imageIndex, 2.5);  // floor 2 < 3 frames
  inst.SetSprite(one);
  EXPECT_EQ(inst.imageIndex, 0);
  inst.SetMask(three);
  EXPECT_EQ(inst.CollisionSprite(), three);
  inst.SetAlarm(12, 5);
  EXPECT_EQ(inst.GetAlarm(12), -1);
  inst.SetAlarm(11, 5);
  EXPECT_EQ(inst.GetAlarm(11), 5);
  inst.SetPathPosition(1.5);
  EXPECT_EQ(inst.pathPosition, 1);
}

TEST_F(InstanceShapes, AnimationWrapsOncePerStep) {
  const int four = AddSprite(8, 8, 4);
  CInstance inst(100001, 0, 0, 0);
  inst.SetSprite(four);
  inst.imageIndex = 3.6;
  inst.imageSpeed = 0.5;
  EXPECT_TRUE(inst.Animate());
  EXPECT_NEAR(inst.imageIndex, 0.1, 1e-12);
  inst.imageIndex = 0;
  inst.imageSpeed = 9;
  EXPECT_TRUE(inst.Animate());
  EXPECT_EQ(inst.imageIndex, 5);  // one subtraction per step
  EXPECT_TRUE(inst.Animate());    // 14 -> 10: wraps again
  CInstance bare(100002, 0, 0, 0);
  EXPECT_TRUE(bare.Animate());    // no sprite: every step
  EXPECT_EQ(bare.imageIndex, 1);
  bare.imageSpeed = 0;
  bare.imageIndex = -0.5;
  EXPECT_FALSE(bare.Animate());
}

TEST_F(InstanceShapes, CollisionTests) {
  const int spr = AddSprite(16, 16);
  const int obj = AddObject("o");
  Obj(obj).sprite = spr;
  CInstance a = CInstance::Make(100001, obj, 0, 0);  // box 0..15
  struct Case {
    const char* what;
    bool expect;
    bool (*test)(const CInstance&);
  } cases[] = {
      {"point inside", true, [](const CInstance& i) { return i.CollidesPoint(15.99, 0, true); }},
      {"point at right edge + 1", false, [](const CInstance& i) { return i.CollidesPoint(16, 5, true); }},
      {"point left of box", false, [](const CInstance& i) { return i.CollidesPoint(-0.01, 5, true); }},
      {"rect overlapping corner", true, [](const CInstance& i) { return i.CollidesRect(15.5, 15.5, 30, 30, true); }},
      {"rect reversed corners", true, [](const CInstance& i) { return i.CollidesRect(30, 30, 15, 15, true); }},
      {"rect beside", false, [](const CInstance& i) { return i.CollidesRect(16, 0, 30, 30, true); }},
      {"line through", true, [](const CInstance& i) { return i.CollidesLine(-10, 8, 30, 8, true); }},
      {"line passing above", false, [](const CInstance& i) { return i.CollidesLine(-10, -20, 30, -1, true); }},
      {"diagonal line missing the corner", false,
       [](const CInstance& i) { return i.CollidesLine(10, -10, 40, 20, true); }},
      {"diagonal line clipped into the box", true,
       [](const CInstance& i) { return i.CollidesLine(-10, -5, 10, 5, true); }},
      {"ellipse around", true, [](const CInstance& i) { return i.CollidesEllipse(-20, -20, 40, 40, true); }},
      {"ellipse near corner only", false,
       [](const CInstance& i) { return i.CollidesEllipse(16.5, 16.5, 40, 40, true); }},
      {"ellipse reaching corner", true, [](const CInstance& i) { return i.CollidesEllipse(10, 10, 40, 40, true); }},
  };
  for (const Case& c : cases) EXPECT_EQ(c.test(a), c.expect) << c.what;

  CInstance b = CInstance::Make(100002, obj, 15, 15);
  CInstance far = CInstance::Make(100003, obj, 16, 0);
  EXPECT_TRUE(a.CollidesInstance(b, true));
  EXPECT_TRUE(b.CollidesInstance(a, true));
  EXPECT_FALSE(a.CollidesInstance(far, true));  // boxes touch without overlapping
  EXPECT_FALSE(a.CollidesInstance(a, true));
  b.deleted = true;
  EXPECT_FALSE(a.CollidesInstance(b, true));
  EXPECT_FALSE(b.CollidesPoint(20, 20, false));
}

TEST_F(InstanceShapes, PreciseTestsConsultTheMaskOnRoundedPoints) {
  const int spr = AddSprite(16, 16);
  res.sprites.Get(spr)->precise = true;
  const int obj = AddObject("o");
  Obj(obj).sprite = spr;
  CInstance a = CInstance::Make(100001, obj, 0, 0);
  ASSERT_TRUE(a.precise);
  // A mask that is solid inside the frame only, like a fully opaque sprite.
  MaskTests masks;
  masks.pointHits = [](int, int, int px, int py, int ix, int iy, double, double, double) {
    return px - ix >= 0 && px - ix < 16 && py - iy >= 0 && py - iy < 16;
  };
  SetMaskTests(masks);
  EXPECT_TRUE(a.CollidesPoint(15.99, 3, false));  // box test only
  EXPECT_FALSE(a.CollidesPoint(15.99, 3, true));  // the mask sees the rounded point 16
  EXPECT_TRUE(a.CollidesPoint(15.49, 3, true));
  SetMaskTests({});
}

TEST_F(InstanceShapes, CopyFromCopiesEverythingButRoomBookkeeping) {
  CInstance a(100001, 3, 1, 2);
  a.locals.SetValue(100000, 0, RValue("v"));
  a.deleted = true;
  a.SetSpeed(5);
  a.creationCode = "x = 1";
  a.activePos = 4;
  CInstance b(100009, 0, 0, 0);
  b.activePos = 9;
  b.CopyFrom(a);
  EXPECT_EQ(b.id, 100001);
  EXPECT_EQ(b.objectIndex, 3);
  EXPECT_TRUE(b.deleted);
  EXPECT_EQ(b.hSpeed, 5);
  EXPECT_EQ(b.creationCode, "x = 1");
  EXPECT_EQ(b.activePos, 9);
  a.locals.SetValue(100000, 0, RValue("changed"));  // deep copy
  RValue v;
  ASSERT_TRUE(b.locals.GetValue(100000, 0, v));
  EXPECT_EQ(v.ToStdString(), "v");
}

}  // namespace
}  // namespace kv::test
