// Shortcuts of the step's hot paths give what the general paths give: built-in variables read by plain name, and
// animation-end events resolved per object (inherited ones too, after instance_change, and only where defined).
#include <cmath>
#include <filesystem>

#include "code/code_exec.h"
#include "world/event_cache.h"
#include "world/event_dispatch.h"
#include "actions/function_action.h"
#include "test_run_fixture.h"
#include "world_fixture.h"

namespace kv::test {
namespace {

class StepPaths : public WorldTest {};

// Each built-in read by its plain name equals the same variable read through self and through the instance id
// (the general path), for reals and strings alike.
TEST_F(StepPaths, BuiltinVariablesByPlainNameReadAsTheGeneralPath) {
  const int obj = AddObject("mover");
  Obj(obj).sprite = AddSprite(4, 4);
  const int r = AddRoom("r", {{12, 34, obj, 100001, ""}});
  ASSERT_TRUE(Prepare());
  StartRooms(res);
  EnterRoom(r, true);
  CInstance* inst = CurrentRoom()->ActiveAt(0);
  ASSERT_NE(inst, nullptr);
  inst->SetHSpeed(-3);
  inst->imageIndex = 0.25;
  inst->alarm[0] = 7;
  for (const char* name : {"x", "y", "hspeed", "vspeed", "speed", "direction", "image_index", "id", "object_index",
                           "sprite_index", "bbox_right", "alarm", "depth", "visible"}) {
    const std::string text = std::string("wlog(") + name + ", self." + name + ", (" +
                             std::to_string(inst->id) + ")." + name + ", " + name + " + 1)";
    CCode code(text, false);
    ASSERT_TRUE(code.Compile()) << text;
    Log().clear();
    RValue result;
    ASSERT_TRUE(RunCode(inst, inst, &code, result)) << text;
    ASSERT_EQ(Log().size(), 1u);
    const std::string& line = Log()[0];
    const size_t a = line.find(' '), b = line.find(' ', a + 1), c = line.find(' ', b + 1);
    ASSERT_NE(c, std::string::npos) << line;
    const std::string plain = line.substr(0, a);
    EXPECT_EQ(line.substr(a + 1, b - a - 1), plain) << name;
    EXPECT_EQ(line.substr(b + 1, c - b - 1), plain) << name;
  }
  // Writes through the plain name are seen by the next plain read in the same code.
  CCode moved("x = 50; wlog(x, bbox_left)", false);
  ASSERT_TRUE(moved.Compile());
  Log().clear();
  RValue result;
  ASSERT_TRUE(RunCode(inst, inst, &moved, result));
  EXPECT_EQ(Log(), (std::vector<std::string>{"50 50"}));
}

// Animation wraps by the frame count once the index reaches it: the same as comparing the index's floor, for
// fractional, negative and huge speeds and for instances without a sprite (no frames).
TEST_F(StepPaths, AnimationWrapsAsTheFloorOfTheIndexSays) {
  const int obj = AddObject("spinner");
  const int three = AddSprite(4, 4, 3);
  for (const int sprite : {three, -1}) {
    for (const double speed : {0.0, 0.3, 1.0, 2.5, -0.7, 1e300}) {
      CInstance inst(100001, obj, 0, 0);
      inst.SetSprite(sprite);
      inst.imageSpeed = speed;
      const int n = sprite >= 0 ? 3 : 0;
      double expected = 0;
      for (int step = 0; step < 12; ++step) {
        expected += speed;
        const bool wraps = std::floor(expected) >= n;
        if (wraps) expected -= n;
        EXPECT_EQ(inst.Animate(), wraps) << sprite << " " << speed << " " << step;
        EXPECT_EQ(inst.imageIndex, expected) << sprite << " " << speed << " " << step;
      }
    }
  }
}

// The step dispatch sets the event's context once per object and walk: every instance's actions still see their
// own event, object (the one defining the event, a parent for inherited ones) and action index, and the caller's
// context comes back afterwards.
TEST_F(StepPaths, EachInstanceSeesItsEventContext) {
  const int parent = AddObject("parent");
  const int child = AddObject("child", parent);
  const int plain = AddObject("plain");
  On(parent, kEventStep, kStepNormal, "wlog('p', id, event_type, event_number, event_object, event_action)");
  On(parent, kEventStep, kStepNormal, "wlog('q', id, event_action)");
  On(plain, kEventStep, kStepNormal, "wlog('c', id, event_object, event_action)");
  const int r = AddRoom("r", {{0, 0, child, 100001, ""}, {0, 0, plain, 100002, ""}, {0, 0, child, 100003, ""},
                              {0, 0, plain, 100004, ""}});
  ASSERT_TRUE(Prepare());
  StartRooms(res);
  EnterRoom(r, true);
  BuildDispatchLists();
  CurrentActionContext() = {77, 5, 6, 8};
  Log().clear();
  DispatchStep(kStepNormal);
  const std::string p = std::to_string(parent), c = std::to_string(plain);
  const std::string step = std::to_string(kEventStep) + " " + std::to_string(kStepNormal) + " ";
  EXPECT_EQ(Log(), (std::vector<std::string>{"p 100001 " + step + p + " 0", "q 100001 1", "p 100003 " + step + p + " 0",
                                             "q 100003 1", "c 100002 " + c + " 0", "c 100004 " + c + " 0"}));
  const ActionContext after = CurrentActionContext();
  EXPECT_EQ(after.object, 77);
  EXPECT_EQ(after.eventType, 5);
  EXPECT_EQ(after.eventNumber, 6);
  EXPECT_EQ(after.actionIndex, 8);
}

}  // namespace
}  // namespace kv::test

namespace {

using kvtest::Result;
using StepPathsRun = kvtest::RunGameTest;

// One-frame sprites end their animation every step. Only instances whose object has the event (its own or
// inherited) receive it; an instance changed into such an object receives it from that step on.
TEST_F(StepPathsRun, AnimationEndOnlyWhereTheObjectHasTheEvent) {
  std::filesystem::copy_file(std::string(KV_SOURCE_DIR) + "/bench/games/b1_step_storm/spr4.png",
                             dir / "project" / "spr4.png");
  Write("game.kvp",
        "[sprite spr4]\nfile = spr4.png\nframes = 1\n"
        "[object obj_a]\nsprite = spr4\nevent other animation_end = anim.kvs\n"
        "[object obj_b]\nsprite = spr4\nevent create = create_b.kvs\nevent step = step_b.kvs\n"
        "[object obj_c]\nsprite = spr4\nparent = obj_a\n"
        "[room rm]\ninstance obj_a 0 0\ninstance obj_b 10 0\ninstance obj_c 20 0\n");
  Write("anim.kvs", "show_debug_message('anim ' + string(x));");
  Write("create_b.kvs", "t = 0;");
  Write("step_b.kvs", "t += 1; if (t == 2) instance_change(obj_a, false);");
  Result r = Play(Pack(), "--steps 3");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "anim 0\nanim 20\nanim 0\nanim 20\nanim 10\nanim 0\nanim 20\nanim 10\n");
}

// The animation phase remembers which objects have no animation-end event; an event that adds one to another
// object (or clears it) changes what the later instances of the same phase receive.
TEST_F(StepPathsRun, AnimationEndEventsAddedOrClearedDuringThePhase) {
  std::filesystem::copy_file(std::string(KV_SOURCE_DIR) + "/bench/games/b1_step_storm/spr4.png",
                             dir / "project" / "spr4.png");
  Write("game.kvp",
        "[sprite spr4]\nfile = spr4.png\nframes = 1\n"
        "[object obj_a]\nsprite = spr4\nevent other animation_end = anim.kvs\n"
        "[object obj_b]\nsprite = spr4\n"
        "[room rm]\ninstance obj_b 0 0\ninstance obj_a 10 0\ninstance obj_b 20 0\n");
  Write("anim.kvs",
        "if (!variable_global_exists('n')) global.n = 0;\n"
        "global.n += 1;\n"
        "show_debug_message('a ' + string(global.n));\n"
        "if (global.n == 1) object_event_add(obj_b, ev_other, ev_animation_end, \"show_debug_message('b ' + string(x))\");\n"
        "if (global.n == 2) object_event_clear(obj_b, ev_other, ev_animation_end);\n");
  Result r = Play(Pack(), "--steps 3");
  EXPECT_EQ(r.exitCode, 0);
  // Step 1: the first obj_b came before the event was added, the second after. Step 2: the first obj_b still has
  // it, the clear stops the second. Step 3: no obj_b has it.
  EXPECT_EQ(r.out, "a 1\nb 20\nb 0\na 2\na 3\n");
}

}  // namespace
