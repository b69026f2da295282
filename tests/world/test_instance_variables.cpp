// Built-in instance variables written from code go through the setters.
#include "code/code_exec.h"
#include "world_fixture.h"

namespace kv::test {
namespace {

class InstanceVariables : public WorldTest {
 protected:
  std::string Eval(CInstance* self, const std::string& program) {
    Log().clear();
    CCode code(program, false);
    EXPECT_TRUE(code.Compile()) << program;
    RValue r;
    EXPECT_TRUE(RunProgram(self, self, &code, r)) << program;
    std::string out;
    for (const std::string& l : Log()) out += (out.empty() ? "" : "|") + l;
    return out;
  }
};

TEST_F(InstanceVariables, WritesKeepTheInstanceConsistent) {
  const int spr = AddSprite(16, 16, 4, 8, 8);
  const int obj = AddObject("o");
  Obj(obj).sprite = spr;
  const int r = AddRoom("r", {{5, 5, obj, 100001, ""}});
  StartRooms(res);
  EnterRoom(r, true);
  CInstance* self = CurrentRoom()->FindInstance(100001);
  ASSERT_NE(self, nullptr);
  struct Case {
    const char* program;
    const char* logged;
  } cases[] = {
      {"x = 10; wlog(bbox_left, bbox_right, bbox_top)", "2 17 -3"},
      {"speed = 3; direction = 90; wlog(hspeed, vspeed)", "0 -3"},
      {"hspeed = 0; vspeed = 4; wlog(direction, speed)", "270 4"},
      {"direction = -90; wlog(direction)", "270"},
      {"alarm[12] = 5; wlog(alarm[0], alarm[12], alarm[11])", "5 5 -1"},
      {"visible = 0.5; wlog(visible); visible = 0.6; wlog(visible)", "0|1"},
      {"solid = -1; wlog(solid)", "0"},
      {"image_speed = 1; image_single = 2; wlog(image_index, image_speed, image_single)", "2 0 2"},
      {"image_single = -1; wlog(image_index, image_speed, image_single)", "2 1 -1"},
      {"image_xscale = 2; wlog(sprite_width, sprite_xoffset, image_number, bbox_left)", "32 16 4 -6"},
      {"path_position = 3; wlog(path_position)", "1"},
      {"wlog(instance_count, instance_id[0] == id, instance_id[instance_count])", "1 1 -4"},
      {"image_index = 3.5; sprite_index = -1; wlog(image_index, bbox_left, image_number)", "0 -100000 0"},
  };
  for (const Case& c : cases) EXPECT_EQ(Eval(self, c.program), c.logged) << c.program;
  CCode readOnly("id = 5", false);
  EXPECT_FALSE(readOnly.Compile() && RunCode(self, self, &readOnly, *std::make_unique<RValue>()));
  ClearErrorPending();
}

TEST_F(InstanceVariables, EventContextAndRelative) {
  const int obj = AddObject("o");
  On(obj, kEventOther, kOtherUser0 + 2, "wlog(event_type, event_number, event_object, event_action)");
  CAction a = CodeAction("wlog(argument_relative)");
  a.mayBeRelative = true;
  a.relative = true;
  Obj(obj).GetOrCreateEvent(kEventOther, kOtherUser0 + 2).actions.push_back(a);
  InvalidateEventCache();
  const int r = AddRoom("r", {{0, 0, obj, 100001, ""}});
  ASSERT_TRUE(Prepare());
  StartRooms(res);
  EnterRoom(r, true);
  Log().clear();
  PerformEventFor(CurrentRoom()->ActiveAt(0), CurrentRoom()->ActiveAt(0), kEventOther, kOtherUser0 + 2);
  EXPECT_EQ(Log(), (std::vector<std::string>{"7 12 0 0", "1"}));
  EXPECT_EQ(CurrentActionContext().object, -1);  // restored after the event
}

}  // namespace
}  // namespace kv::test
