// Deactivation and activation: by object, region and all; inside running loops (with, collision events) no
// instance is visited twice and deactivated ones are skipped; persistent deactivated instances and room changes.
#include "motion_fixture.h"
#include "world/event_dispatch.h"
#include "world/object_class.h"
#include "world/run_main.h"

namespace kv::test {
namespace {

class MotionActivation : public MotionWorld {
 protected:
  void SetUp() override {
    MotionWorld::SetUp();
    const int box = AddSprite(16, 16);
    thing = AddObject("thing");
    Obj(thing).sprite = box;
    sub = AddObject("sub", thing);
    Obj(sub).sprite = box;
    dot = AddObject("dot");  // no sprite: regions test its position
  }
  int thing = -1, sub = -1, dot = -1;
};

TEST_F(MotionActivation, ObjectsRegionsAndAll) {
  CLiveRoom* room = Enter({{0, 0, thing, 100001, ""},
                           {100, 0, sub, 100002, ""},
                           {200, 0, thing, 100003, ""},
                           {50, 50, dot, 100004, ""}});
  CInstance* a = ById(100001);
  Do(a, "instance_deactivate_object(thing)");  // the object and its child, not self's exemption
  EXPECT_EQ(room->ActiveCount(), 1);
  EXPECT_EQ(room->DeactivatedCount(), 3);
  EXPECT_EQ(V(a, "instance_number(thing)"), 0);
  EXPECT_EQ(V(a, "collision_point(105, 5, all, false, false)"), -4);
  Do(a, "instance_activate_object(sub)");
  EXPECT_EQ(room->ActiveAt(1)->id, 100002);  // reactivated instances go to the end of the active list
  Do(a, "instance_activate_all()");
  EXPECT_EQ(room->ActiveCount(), 4);
  // The order of activation is kept: 100004 stayed active, then 100002, then the rest in their list order.
  std::vector<int> ids;
  for (int k = 0; k < room->ActiveCount(); ++k) ids.push_back(room->ActiveAt(k)->id);
  EXPECT_EQ(ids, (std::vector<int>{100004, 100002, 100001, 100003}));

  // Regions: boxes for instances with a sprite, positions for the others.
  Do(a, "instance_deactivate_region(90, 0, 20, 20, true, false)");
  EXPECT_EQ(V(a, "instance_exists(100002)"), 0);
  Do(a, "instance_deactivate_region(0, 0, 60, 60, false, true)");  // outside; self stays
  EXPECT_EQ(room->ActiveCount(), 2);  // self and the dot at (50, 50)
  EXPECT_EQ(V(a, "instance_exists(100004)"), 1);
  Do(a, "instance_activate_region(195, 0, 10, 10, true)");
  EXPECT_EQ(V(a, "instance_exists(100003)"), 1);
  EXPECT_EQ(V(a, "instance_exists(100002)"), 0);
  Do(a, "instance_deactivate_all(true)");
  EXPECT_EQ(room->ActiveCount(), 1);
  Do(a, "instance_activate_object(100002)");
  EXPECT_EQ(V(a, "instance_exists(100002)"), 1);
  Do(a, "instance_deactivate_object(-1)");
  EXPECT_TRUE(a->deactivated);
  Do(ById(100002), "instance_activate_region(0, 0, 1000, 1000, true)");
  EXPECT_EQ(room->ActiveCount(), 4);
}

TEST_F(MotionActivation, InsideRunningLoops) {
  On(thing, kEventCollision, thing, "wlog('hit', id); instance_deactivate_all(true);");
  CLiveRoom* room = Enter({{0, 0, thing, 100001, ""},
                           {100, 0, thing, 100002, ""},
                           {200, 0, thing, 100003, ""},
                           {300, 0, thing, 100004, ""}});
  // Each visited instance deactivates the next one and reactivates everything else: nothing is visited twice
  // and nothing deactivated meanwhile is visited.
  Do(ById(100001),
     "with (thing) { wlog(id); instance_deactivate_object(id + 1); instance_activate_object(id - 1); }");
  std::vector<std::string> seen = Log();
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
  EXPECT_EQ(room->ActiveCount() + room->DeactivatedCount(), 4);
  Log().clear();
  Do(ById(100001), "instance_activate_all(); with (all) { wlog(id); instance_deactivate_all(true); }");
  EXPECT_EQ(Log(), (std::vector<std::string>{"100001"}));

  // In a collision event: the partner deactivates everybody; the phase goes on without reading past its lists.
  Do(ById(100001), "instance_activate_all(); with (all) x = 0;");
  BuildDispatchLists();
  Log().clear();
  DispatchCollisions();
  ASSERT_FALSE(Log().empty());
  EXPECT_EQ(Log().size(), 1u);  // the first event deactivates the other side before its event could run
  EXPECT_EQ(room->ActiveCount(), 1);
}

// The step phase walks each object's list with its count taken at the start: instances deactivated by an earlier
// step event are passed over, reactivated ones (appended) are not reached, nobody steps twice.
TEST_F(MotionActivation, InsideTheStepPhase) {
  On(thing, kEventStep, kStepNormal,
     "wlog(id); instance_deactivate_object(id + 1); instance_activate_object(id - 1);");
  CLiveRoom* room = Enter({{0, 0, thing, 100001, ""},
                           {100, 0, thing, 100002, ""},
                           {200, 0, thing, 100003, ""},
                           {300, 0, thing, 100004, ""}});
  BuildDispatchLists();
  for (int step = 0; step < 3; ++step) {
    Log().clear();
    DispatchStep(kStepNormal);
    std::vector<std::string> seen = Log();
    if (step == 0) {
      EXPECT_EQ(seen, (std::vector<std::string>{"100001", "100003", "100002"}));
    }
    ASSERT_FALSE(seen.empty());
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << "step " << step;
    EXPECT_EQ(room->ActiveCount() + room->DeactivatedCount(), 4);
  }
}

TEST_F(MotionActivation, DeactivatedPersistentInstancesStayWithTheirRoom) {
  Obj(sub).persistent = true;
  const int first = AddRoom("first", {{0, 0, sub, 100001, ""}, {10, 10, sub, 100002, ""}, {5, 5, dot, 100003, ""}});
  const int second = AddRoom("second", {});
  ASSERT_TRUE(Prepare());
  StartRooms(res);
  EnterRoom(first, true);
  Do(ById(100003), "instance_deactivate_object(100002)");
  LeaveRoom(false);
  EnterRoom(second, false);
  // The active persistent instance came along; the deactivated one stayed behind and went with the room.
  ASSERT_EQ(CurrentRoom()->ActiveCount(), 1);
  EXPECT_EQ(CurrentRoom()->ActiveAt(0)->id, 100001);
  EXPECT_EQ(CurrentRoom()->DeactivatedCount(), 0);
}

}  // namespace
}  // namespace kv::test
