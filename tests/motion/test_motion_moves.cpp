// Place tests and moves against hand-computed positions: contact moves stop next to the obstacle, outside moves
// end free, both bounce methods on walls and corners, snapping, wrapping and random placement.
#include "motion_fixture.h"

namespace kv::test {
namespace {

class MotionMoves : public MotionWorld {
 protected:
  void SetUp() override {
    MotionWorld::SetUp();
    const int box = AddSprite(16, 16);
    wall = AddObject("wall");
    Obj(wall).sprite = box;
    Obj(wall).solid = true;
    ghost = AddObject("ghost");
    Obj(ghost).sprite = box;
    player = AddObject("player");
    Obj(player).sprite = box;
  }
  int wall = -1, ghost = -1, player = -1;
};

TEST_F(MotionMoves, ContactAndOutsideMoves) {
  Enter({{0, 0, player, 100001, ""}, {100, 0, wall, 100002, ""}, {1000, 1000, ghost, 100003, ""}}, 2000, 2000);
  CInstance* p = ById(100001);
  CInstance* g = ById(100003);
  Do(p, "move_contact_solid(0, 1000)");
  EXPECT_EQ(p->x, 84);  // its right edge (99) touches the wall's left edge (100) without overlap
  EXPECT_EQ(V(p, "place_free(x + 1, y)"), 0);
  EXPECT_EQ(V(p, "place_free(x, y)"), 1);
  EXPECT_EQ(V(p, "instance_place(x + 1, y, wall)"), 100002);
  EXPECT_EQ(V(p, "instance_place(x, y, wall)"), -4);

  Do(p, "x = 0; move_contact_solid(0, 10)");
  EXPECT_EQ(p->x, 10);  // limited by maxdist
  // A non-solid instance on the way stops only the move against all instances.
  g->SetPosition(50, 0);
  Do(p, "x = 0; move_contact_solid(0, -1)");
  EXPECT_EQ(p->x, 84);
  Do(p, "x = 0; move_contact_all(0, 0)");
  EXPECT_EQ(p->x, 34);
  Do(p, "x = 40");
  EXPECT_EQ(V(p, "place_free(x, y)"), 1);
  EXPECT_EQ(V(p, "place_empty(x, y)"), 0);
  g->SetPosition(1000, 1000);

  // Started inside a solid: the contact move does nothing, move_contact moves outside along the direction.
  Do(p, "x = 95; move_contact_solid(0, 100)");
  EXPECT_EQ(p->x, 95);
  Do(p, "move_outside_solid(180, 5)");
  EXPECT_EQ(p->x, 90);  // still inside after the 5 steps allowed
  Do(p, "move_contact(180)");
  EXPECT_EQ(p->x, 84);
  Do(p, "x = 95; move_outside_all(180, -1)");
  EXPECT_EQ(p->x, 84);
  // In an empty direction with no limit the contact move stops after 1000 steps.
  Do(p, "x = 0; y = 500; move_contact_all(270, 0)");
  EXPECT_EQ(p->y, 1500);
  EXPECT_NEAR(p->x, 0, 1e-9);
}

TEST_F(MotionMoves, BounceBothMethods) {
  Enter({{84, 84, player, 100001, ""},
         {1000, 0, wall, 100002, ""},
         {1000, 200, wall, 100003, ""},
         {1000, 400, wall, 100004, ""}},
        2000, 2000);
  CInstance* p = ById(100001);
  CInstance* a = ById(100002);
  CInstance* b = ById(100003);
  CInstance* c = ById(100004);
  auto reset = [&](double h, double v) {
    p->SetPosition(84, 84);
    p->xPrevious = p->yPrevious = 84;
    p->SetHSpeed(h);
    p->SetVSpeed(v);
  };
  // A wall on the right: only hspeed turns.
  a->SetPosition(100, 84);
  reset(4, 2);
  Do(p, "move_bounce_solid(false)");
  EXPECT_EQ(p->hSpeed, -4);
  EXPECT_EQ(p->vSpeed, 2);
  // Sliding along a floor: only vspeed turns.
  a->SetPosition(1000, 0);
  b->SetPosition(84, 100);
  reset(2, 4);
  Do(p, "move_bounce(0)");
  EXPECT_EQ(p->hSpeed, 2);
  EXPECT_EQ(p->vSpeed, -4);
  // In a corner both turn; a block met only diagonally turns both too.
  a->SetPosition(100, 84);
  reset(4, 4);
  Do(p, "move_bounce_solid(false)");
  EXPECT_EQ(p->hSpeed, -4);
  EXPECT_EQ(p->vSpeed, -4);
  a->SetPosition(1000, 0);
  b->SetPosition(1000, 200);
  c->SetPosition(100, 100);
  reset(4, 4);
  Do(p, "move_bounce_all(false)");
  EXPECT_EQ(p->hSpeed, -4);
  EXPECT_EQ(p->vSpeed, -4);
  c->SetPosition(1000, 400);

  // Advanced: moving right into a vertical wall comes back at 180; without any collision nothing changes.
  a->SetPosition(100, 84);
  reset(4, 0);
  Do(p, "move_bounce_solid(true)");
  EXPECT_EQ(p->direction, 180);
  a->SetPosition(1000, 0);
  reset(3, -3);
  Do(p, "move_bounce_solid(1)");
  EXPECT_EQ(p->direction, 45);
  // Standing inside a wall: back to the previous position first.
  a->SetPosition(90, 84);
  p->SetPosition(84, 84);
  p->xPrevious = 60;
  p->yPrevious = 84;
  p->SetHSpeed(4);
  Do(p, "move_bounce_solid(false)");
  EXPECT_EQ(p->x, 60);
  EXPECT_EQ(p->hSpeed, 4);  // the move from 60 is free again
}

TEST_F(MotionMoves, SnapWrapAndRandomPlacement) {
  Enter({{37, 21, player, 100001, ""}, {0, 0, wall, 100002, ""}}, 320, 240);
  CInstance* p = ById(100001);
  EXPECT_EQ(V(p, "place_snapped(16, 16)"), 0);
  Do(p, "move_snap(16, 0)");
  EXPECT_EQ(p->x, 32);
  EXPECT_EQ(p->y, 21);
  EXPECT_EQ(V(p, "place_snapped(16, 0)"), 1);
  EXPECT_EQ(V(p, "place_snapped(16, 16)"), 0);
  Do(p, "x = 40; move_snap(16, 16)");  // 2.5 cells rounds to even: 2
  EXPECT_EQ(p->x, 32);

  // Wrapping needs the instance beyond the margin.
  Do(p, "x = -5; move_wrap(true, false, 10)");
  EXPECT_EQ(p->x, -5);
  Do(p, "x = -11; move_wrap(true, false, 10)");
  EXPECT_EQ(p->x, 329);
  Do(p, "y = 251; move_wrap(false, true, 10)");
  EXPECT_EQ(p->y, -9);

  // Random placement keeps the box inside the room and lands on the snap grid on a free place.
  for (int k = 0; k < 50; ++k) {
    Do(p, "move_random(16, 8)");
    EXPECT_EQ(std::fmod(p->x, 16), 0);
    EXPECT_EQ(std::fmod(p->y, 8), 0);
    EXPECT_GE(p->bboxLeft, 0);
    EXPECT_LE(p->bboxRight, 320);
    EXPECT_EQ(V(p, "place_free(x, y)"), 1);
  }
  // A room without free places: after 100 attempts the instance stays.
  ById(100002)->SetXScale(100);
  ById(100002)->SetYScale(100);
  Do(p, "x = 33; y = 44; move_random(1, 1)");
  EXPECT_EQ(p->x, 33);
  EXPECT_EQ(p->y, 44);
}

TEST_F(MotionMoves, MotionAndDistances) {
  Enter({{100, 100, player, 100001, ""}, {200, 100, wall, 100002, ""}, {100, 300, wall, 100003, ""}});
  CInstance* p = ById(100001);
  Do(p, "motion_set(90, 3)");
  EXPECT_EQ(p->vSpeed, -3);
  Do(p, "motion_add(0, 4)");
  EXPECT_EQ(p->hSpeed, 4);
  EXPECT_EQ(p->speed, 5);
  Do(p, "move_towards_point(100, 50, 2)");
  EXPECT_EQ(p->direction, 90);
  EXPECT_EQ(p->speed, 2);
  EXPECT_EQ(V(p, "distance_to_point(110, 110)"), 0);
  EXPECT_EQ(V(p, "distance_to_point(118, 100)"), 3);  // from the box's right edge (115)
  EXPECT_EQ(V(p, "distance_to_point(95, 95)"), std::sqrt(50.0));
  EXPECT_EQ(V(p, "distance_to_object(wall)"), 85);  // 200 - 115: the nearer of the two walls
  EXPECT_EQ(V(p, "distance_to_object(ghost)"), 1000000);
  EXPECT_EQ(V(p, "distance_to_object(-1)"), 1000000);
  EXPECT_EQ(V(p, "distance_to_object(100003)"), 185);
}

}  // namespace
}  // namespace kv::test
