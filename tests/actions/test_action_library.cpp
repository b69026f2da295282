// Library actions called through action lists: the relative rule and the instance actions.
#include "../world/world_fixture.h"
#include "actions/action_common.h"
#include "actions/action_library.h"
#include "functions/function_math.h"
#include "functions/function_sprite.h"
#include "graphics/sprite_main.h"
#include "world/run_main.h"

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
  void Run(const std::string& fn, std::vector<std::string> args, bool relative = false) { RunOn(self, fn, args, relative); }
  void RunOn(CInstance* target, const std::string& fn, std::vector<std::string> args, bool relative = false) {
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
    RunActionList(target, target, e);
  }
  // Calls a question action directly and gives its answer.
  bool Ask(const std::string& fn, std::vector<RValue> args) {
    RValue result, slots[kMaxCallArgs];
    for (size_t i = 0; i < args.size(); ++i) slots[i] = args[i];
    GetBuiltinFunction(FindBuiltinFunction(fn))->handler(result, self, self, int(args.size()), slots);
    return result.Real() >= 0.5;
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

// Wrapping moves an instance that left the room by the room's size plus its sprite's (scaled) size, and only in
// the direction it moves; the sprite's size matters only for the instances that wrap.
TEST_F(ActionLibrary, WrapAddsTheSpriteSizeWhenWrapping) {
  RegisterSpriteFunctions();
  gfx::BindSpriteTable(&res.sprites);
  self->SetSprite(AddSprite(16, 8));
  CurrentRoom()->props.width = 640;
  CurrentRoom()->props.height = 480;
  struct Case {
    double x, y, h, v, yScale;
    const char* how;
    double wantX, wantY;
  } cases[] = {
      {-1, 100, -2, 0, 1, "0", 655, 100},   // left out of the left side
      {640, 100, 2, 0, 1, "2", -16, 100},   // right out of the right side
      {-1, 100, 2, 0, 1, "0", -1, 100},     // outside but moving back in: stays
      {320, 100, 2, 0, 1, "2", 320, 100},   // inside: stays
      {10, -5, 0, -1, 2, "1", 10, 491},     // up out of the top, sprite twice as high
      {10, -5, 0, -1, 2, "0", 10, -5},      // horizontal only
      {10, 480, 0, 3, 1, "2", 10, -8},      // down out of the bottom
  };
  for (const Case& c : cases) {
    self->SetYScale(c.yScale);
    self->SetPosition(c.x, c.y);
    self->SetHSpeed(c.h);
    self->SetVSpeed(c.v);
    Run("action_wrap", {c.how});
    EXPECT_EQ(self->x, c.wantX) << c.x << " " << c.y << " " << c.how;
    EXPECT_EQ(self->y, c.wantY) << c.x << " " << c.y << " " << c.how;
  }
  gfx::BindSpriteTable(nullptr);
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

TEST_F(ActionLibrary, MoveChoosesFromTheKeypadAndChecksItsText) {
  self->SetSpeed(4);
  Run("action_move", {"'000000000'", "7"});  // no direction offered: nothing changes
  EXPECT_EQ(self->speed, 4);
  Run("action_move", {"'000010000'", "7"});  // the stop choice overrides the speed
  EXPECT_EQ(self->speed, 0);
  Run("action_move", {"'001000000'", "3"}, true);
  EXPECT_EQ(self->speed, 3);
  EXPECT_EQ(self->direction, 315);
  Run("action_move", {"'0010'", "9"});
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Wrong argument to action_move()."), std::string::npos);
  EXPECT_EQ(self->speed, 3);
}

TEST_F(ActionLibrary, QuestionsAnswerByTheirRules) {
  struct Case {
    const char* fn;
    std::vector<RValue> args;
    bool answer;
  } cases[] = {
      {"action_if_dice", {RValue(1.0)}, true},
      {"action_if_dice", {RValue(0.5)}, true},
      {"action_if_variable", {RValue(2.0), RValue(3.0), RValue(1.0)}, true},
      {"action_if_variable", {RValue(2.0), RValue(3.0), RValue(2.0)}, false},
      {"action_if_variable", {RValue(2.0), RValue(2.0), RValue(7.0)}, true},
      {"action_if_variable", {RValue("abc"), RValue("abd"), RValue(1.0)}, true},
      {"action_if_variable", {RValue("B"), RValue("a"), RValue(2.0)}, false},  // by character code
      {"action_if_variable", {RValue("1"), RValue(1.0), RValue(0.0)}, false},
      {"action_if_aligned", {RValue(50.0), RValue(25.0)}, true},   // self at 100, 200
      {"action_if_aligned", {RValue(30.0), RValue(0.0)}, false},
      {"action_if_aligned", {RValue(-1.0), RValue(0.0)}, true},
      {"action_if_number", {RValue(double(obj)), RValue(1.0), RValue(0.0)}, true},
      {"action_if_number", {RValue(double(spawn)), RValue(1.0), RValue(1.0)}, true},
      {"action_if", {RValue(0.5)}, true},
      {"action_if", {RValue(0.4)}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(Ask(c.fn, c.args), c.answer) << c.fn;
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Cannot compare arguments."), std::string::npos);
}

TEST_F(ActionLibrary, LivesAndHealthRunTheirEventsOnceWhenTheyRunOut) {
  On(obj, kEventOther, kOtherNoMoreLives, "wlog('no lives')");
  On(obj, kEventOther, kOtherNoMoreHealth, "wlog('no health')");
  ASSERT_TRUE(Prepare());
  Run("action_set_life", {"1"});
  Run("action_set_life", {"-1"}, true);  // 1 -> 0
  Run("action_set_life", {"-1"}, true);  // 0 -> -1: not again
  EXPECT_EQ(Game().lives, -1);
  Run("action_set_health", {"10"});
  Run("action_set_health", {"-10.5"}, true);
  EXPECT_EQ(Game().health, -0.5);
  Run("action_set_score", {"2.5"});  // halves to even
  Run("action_set_score", {"3"}, true);
  EXPECT_EQ(Game().score, 5);
  EXPECT_EQ(Log(), (std::vector<std::string>{"no lives", "no health"}));
  Game().lives = -1;
  Game().health = 100;
  Game().score = 0;
}

TEST_F(ActionLibrary, ParticleSlotsAreMadeOnFirstUse) {
  Run("action_partemit_burst", {"0", "0", "5"});
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("The particle emitter must first be created."), std::string::npos);
  Run("action_parttype_life", {"3", "10", "20"});
  Run("action_partemit_create", {"0", "0", "0", "10", "0", "10"});
  Run("action_partemit_burst", {"0", "3", "5"});
  Run("action_partemit_stream", {"15", "3", "5"});  // an emitter slot that names nothing
  EXPECT_EQ(errors.size(), 2u);
  Run("action_partsyst_destroy", {});
}

TEST_F(ActionLibrary, DrawVariableFormatsIntegralRealsWithoutDecimals) {
  EXPECT_EQ(actlib::VariableText(RValue(5.0)), "5");
  EXPECT_EQ(actlib::VariableText(RValue(2.5)), "2.50");
  EXPECT_EQ(actlib::VariableText(RValue(3.14159)), "3.14");
  EXPECT_EQ(actlib::VariableText(RValue(-7.0)), "-7");
  EXPECT_EQ(actlib::VariableText(RValue("2.5")), "2.5");
}

TEST_F(ActionLibrary, SpritesAndRandomObjectsReportMissingResources) {
  Run("action_set_sprite", {"42", "2"});
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Setting instance to non-existing sprite: 42"), std::string::npos);
  EXPECT_EQ(self->imageXScale, 1);  // the action did nothing
  Run("action_create_object_random", {"-1", "77", "-1", "-1", "0", "0"});  // none exists: nothing, no message
  EXPECT_EQ(errors.size(), 1u);
  Run("action_create_object_random", {"-1", std::to_string(spawn), "-1", "-1", "1", "2"}, true);
  EXPECT_EQ(Log(), (std::vector<std::string>{"spawned 101 202 0 0"}));
}

}  // namespace
}  // namespace kv::test
