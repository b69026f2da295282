// Library actions called through action lists: the relative rule and the instance actions.
#include "../world/world_fixture.h"
#include "actions/action_library.h"

namespace kv::test {
namespace {

class ActionLibrary : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    RegisterActionLibraryFunctions();
    obj = AddObject("mover");
    spawn = AddObject("spawn");
    On(spawn, kEventCreate, 0, "wlog('spawned', x, y, speed, direction)");
    On(spawn, kEventDestroy, 0, "wlog('killed', id)");
    room = AddRoom("r", {{100, 200, obj, 100001, ""}});
    ASSERT_TRUE(Prepare());
    StartRooms(res);
    EnterRoom(room, true);
    self = CurrentRoom()->FindInstance(100001);
  }
  // Runs one library action with constant arguments.
  void Run(const std::string& fn, std::vector<std::string> args, bool relative = false) {
    CAction a;
    a.exeType = kExeFunction;
    a.functionName = fn;
    a.mayBeRelative = true;
    a.relative = relative;
    a.argumentCount = static_cast<int>(args.size());
    for (size_t i = 0; i < args.size(); ++i) a.argumentTexts[i] = args[i];
    CEvent e;
    e.actions = {a};
    ASSERT_TRUE(PrepareAction(e.actions[0]));
    ASSERT_GE(e.actions[0].functionIndex, 0) << fn;
    RunActionList(self, self, e);
  }
  int obj = 0, spawn = 0, room = 0;
  CInstance* self = nullptr;
};

TEST_F(ActionLibrary, MotionAndRelativeValues) {
  Run("action_set_motion", {"90", "2"});
  EXPECT_EQ(self->vSpeed, -2);
  Run("action_set_motion", {"0", "2"}, true);  // adds the vector
  EXPECT_EQ(self->hSpeed, 2);
  EXPECT_EQ(self->vSpeed, -2);
  Run("action_set_hspeed", {"3"}, true);
  EXPECT_EQ(self->hSpeed, 5);
  Run("action_reverse_xdir", {});
  EXPECT_EQ(self->hSpeed, -5);
  Run("action_set_friction", {"0.5"}, true);
  Run("action_set_friction", {"0.25"}, true);
  EXPECT_EQ(self->friction, 0.75);
  Run("action_move_to", {"10", "-10"}, true);
  EXPECT_EQ(self->x, 110);
  EXPECT_EQ(self->y, 190);
  Run("action_move_start", {});
  EXPECT_EQ(self->x, 100);
  Run("action_set_alarm", {"5", "2"}, true);  // an unset alarm is set
  Run("action_set_alarm", {"2.5", "2"}, true);  // then added to, rounded
  EXPECT_EQ(self->GetAlarm(2), 7);
  Run("action_sprite_transform", {"2", "3", "45", "3"});
  EXPECT_EQ(self->imageXScale, -2);
  EXPECT_EQ(self->imageYScale, -3);
  EXPECT_EQ(self->imageAngle, 45);
}

TEST_F(ActionLibrary, InstanceActions) {
  Run("action_create_object_motion", {std::to_string(spawn), "5", "5", "3", "90"}, true);
  Run("action_create_object", {"99", "0", "0"});
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Creating instance for non-existing object: 99"), std::string::npos);
  Run("action_change_object", {std::to_string(spawn), "1"});
  CInstance* changed = CurrentRoom()->FindInstance(100001);
  ASSERT_NE(changed, nullptr);
  EXPECT_EQ(changed->objectIndex, spawn);
  self = changed;
  Run("action_kill_object", {});
  EXPECT_TRUE(changed->deleted);
  EXPECT_EQ(Log(), (std::vector<std::string>{"spawned 105 205 3 90", "spawned 100 200 0 0", "killed 100001"}));
}

}  // namespace
}  // namespace kv::test
