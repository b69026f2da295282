// The debugger's model: value formatting, watches in their guarded context, run control through the main loop,
// information windows, executing code, and the questions it asks through the dialogs.
#include <gtest/gtest.h>

#include <deque>
#include <utility>
#include <filesystem>
#include <fstream>

#include "../world/world_fixture.h"
#include "code/code_constant.h"
#include "code/code_variable.h"
#include "debugger/debug_form.h"
#include "debugger/debug_format.h"
#include "debugger/debug_info.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "runner/game_data.h"
#include "world/instance_class.h"
#include "world/room_live.h"
#include "world/run_main.h"
#include "world/world_rooms.h"

namespace kv::test {
namespace {

using debugger::Action;
using debugger::DebugForm;

// Answers input boxes from a list (nullopt cancels), chooses a fixed file, and keeps what it was asked and shown.
class FakeDialogs final : public plat::IDialogs {
 public:
  std::deque<std::optional<std::string>> answers;
  std::vector<std::string> asked, shown;
  std::string file;

  plat::MessageResult MessageBox(std::string_view, std::string_view text, plat::MessageButtons,
                                 plat::MessageResult r) override {
    shown.emplace_back(text);
    return r;
  }
  plat::FileDialogResult FileDialog(const plat::FileDialogRequest& request) override {
    asked.push_back("file " + request.filter);
    return {plat::FileDialogResult::Status::Chosen, file};
  }
  bool ErrorWindow(std::string_view, bool) override { return false; }
  plat::MessageFormResult MessageForm(const plat::MessageFormRequest& request) override {
    asked.push_back(request.caption + "|" + request.text + "|" + request.inputText);
    plat::MessageFormResult result{request.defaultButton, request.inputText};
    if (!answers.empty()) {
      if (answers.front()) result = {1, *answers.front()};
      answers.pop_front();
    }
    return result;
  }
};

TEST(DebugFormat, ValuesAndVariableLines) {
  using debugger::FormatReal;
  const std::pair<double, const char*> cases[] = {
      {1.0 / 3, "0.3333333333"}, {0.25, "0.25"}, {2, "2"},        {0.125, "0.1250"}, {-0.5, "-0.50"},
      {1e-13, "0"},              {-1e-13, "0"},  {2.0000001, "2.0000001000"}, {1e15, "1000000000000000"},
      {0.1 + 0.2, "0.30"},       {-7, "-7"},     {0.000001, "0.000001"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatReal(value), text) << value;
  EXPECT_EQ(debugger::FormatValue(RValue(std::string_view("0.5 text"))), "0.5 text");
  EXPECT_EQ(debugger::VariableLine("x", "12"), "x:                  12\n");
  EXPECT_EQ(debugger::VariableLine("a_name_of_twenty_chars", "1"), "a_name_of_twenty_chars:1\n");
  EXPECT_EQ(debugger::VariableLine("s", std::string_view("a\0b", 3)), "s:                  ab\n");
}

class Debugger : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    clock = plat::CreateVirtualClock();
    ship = AddObject("obj_ship");
    rock = AddObject("obj_rock");
    AddConstant("obj_ship", RValue(double(ship)));  // what the runner defines for every resource name
    AddConstant("obj_rock", RValue(double(rock)));
    On(ship, kEventCreate, 0, "fuel = 5; arr[2] = 7; name = 'Ann';");
    On(rock, kEventStep, kStepNormal, "global.steps += 1;");
    AddRoom("rm_space", {{10, 20, ship, 100001, ""}, {30, 40, rock, 100002, ""}, {50, 60, ship, 100003, ""}},
            "global.steps = 0; global.label = 'go';");
    res.roomOrder = {0};
    res.lastInstanceId = 100003;
    ASSERT_TRUE(Prepare());
  }
  void TearDown() override {
    Game() = GameState();
    ResetConstants();
    WorldTest::TearDown();
  }
  void EnterFirstRoom() {
    StartWorld(res);
    EnterRoom(0, true);
    Game().running = true;
  }
  double Global(const char* name) {
    RValue v;
    GlobalVariables().GetValue(VariableIdOf(name), 0, v);
    return v.Real();
  }

  std::unique_ptr<plat::IClock> clock;
  FakeDialogs dialogs;
  int ship = 0, rock = 0;
};

TEST_F(Debugger, ActionsHaveTheirCaptionsShortcutsAndEnabledRules) {
  const auto& actions = debugger::Actions();
  EXPECT_STREQ(actions[0].caption, "&Run");
  EXPECT_STREQ(actions[0].shortcut, "Ctrl+Alt+R");
  EXPECT_STREQ(actions[3].caption, "Stop");
  EXPECT_STREQ(actions[3].shortcut, "Alt+F4");
  EXPECT_STREQ(actions[4].caption, "R&estart");
  EXPECT_STREQ(actions[10].caption, "Sa&ve ...");
  EXPECT_STREQ(actions[12].shortcut, "");
  DebugForm form(dialogs, *clock);
  struct State {
    bool running, paused;
    bool run, pause, step, stop, restart;
  } states[] = {
      {false, false, false, false, false, false, false},
      {true, false, false, true, false, true, true},
      {true, true, true, false, true, true, true},
  };
  for (const State& s : states) {
    Game().running = s.running;
    Game().paused = s.paused;
    EXPECT_EQ(form.Enabled(Action::Run), s.run);
    EXPECT_EQ(form.Enabled(Action::Pause), s.pause);
    EXPECT_EQ(form.Enabled(Action::Step), s.step);
    EXPECT_EQ(form.Enabled(Action::Stop), s.stop);
    EXPECT_EQ(form.Enabled(Action::Restart), s.restart);
    EXPECT_TRUE(form.Enabled(Action::Add) && form.Enabled(Action::ShowMessages));
  }
  // Step while running (not paused) does nothing.
  Game().running = true;
  Game().paused = false;
  EXPECT_FALSE(form.Perform(Action::Step));
}

TEST_F(Debugger, WatchesShowValuesAndErrorsWithoutTouchingTheGame) {
  EnterFirstRoom();
  DebugForm form(dialogs, *clock);
  const std::pair<const char*, const char*> watches[] = {
      {"obj_ship.x", "10"},
      {"obj_ship.fuel / 2", "2.50"},
      {"obj_ship.arr[2]", "7"},
      {"obj_ship.name + '!'", "Ann!"},
      {"global.steps + 1/3", "0.3333333333"},
      {"global.label", "go"},
      {"x +", "COMPILE ERROR"},
      {"instance_number(obj_ship)", "2"},
  };
  for (const auto& w : watches) form.AddWatch(w.first);
  form.AddWatch("no_such_variable + 1");
  form.AddWatch("room_goto(77)");
  form.AddWatch("1 / 0");
  form.Refresh();
  for (size_t i = 0; i < std::size(watches); ++i) EXPECT_EQ(form.WatchValue(static_cast<int>(i)), watches[i].second);
  // Failing watches show an error text; the game sees no error, no room change and goes on.
  for (int row = 8; row < 11; ++row) {
    EXPECT_FALSE(form.WatchValue(row).empty()) << row;
    EXPECT_NE(form.WatchValue(row), "0") << row;
  }
  EXPECT_NE(form.WatchValue(9).find("Unexisting room number: 77"), std::string::npos);
  EXPECT_TRUE(errors.empty());
  EXPECT_FALSE(ErrorOccurred());
  EXPECT_FALSE(Aborting());
  EXPECT_EQ(PendingRoomChange(), kNoRoomChange);
}

TEST_F(Debugger, WatchQuestionsSaveAndLoad) {
  EnterFirstRoom();
  DebugForm form(dialogs, *clock);
  dialogs.answers = {"obj_ship.y", std::nullopt, "global.steps"};
  form.Perform(Action::Add);
  form.Perform(Action::Add);  // cancelled: nothing added
  form.SelectRow(1);          // the empty last row: Change adds
  form.Perform(Action::Change);
  ASSERT_EQ(form.WatchCount(), 2);
  EXPECT_EQ(dialogs.asked[0], "Provide an expression.|Please type in the expression|");
  EXPECT_EQ(form.WatchValue(0), "20");
  dialogs.answers = {"obj_ship.y * 2"};
  form.SelectRow(0);
  form.Perform(Action::Change);
  EXPECT_EQ(dialogs.asked.back(), "Provide an expression.|Please type in the expression|obj_ship.y");
  EXPECT_EQ(form.WatchValue(0), "40");

  const std::string file = (std::filesystem::temp_directory_path() / "kv_debugger_watches.txt").string();
  dialogs.file = file;
  form.Perform(Action::Save);
  EXPECT_EQ(dialogs.asked.back(), "file Text Files|*.txt|All Files|*.*");
  form.Perform(Action::Clear);
  EXPECT_EQ(form.WatchCount(), 0);
  form.Perform(Action::Load);
  form.Perform(Action::Load);  // appends
  ASSERT_EQ(form.WatchCount(), 4);
  EXPECT_EQ(form.WatchExpression(3), "global.steps");
  form.SelectRow(4);
  form.Perform(Action::Delete);  // the empty row stays
  EXPECT_EQ(form.WatchCount(), 4);
  form.SelectRow(0);
  form.Perform(Action::Delete);
  EXPECT_EQ(form.WatchExpression(0), "global.steps");
  std::filesystem::remove(file);
}

TEST_F(Debugger, InformationWindows) {
  EnterFirstRoom();
  SetPendingRoomChange(kNoRoomChange);
  DebugForm form(dialogs, *clock);
  form.Perform(Action::ShowInstances);
  form.Perform(Action::ShowGlobals);
  ASSERT_EQ(form.InfoWindows().size(), 2u);
  EXPECT_EQ(form.InfoWindows()[0].caption, "All Instances");
  EXPECT_EQ(form.InfoWindows()[0].text,
            "   Id     Object Name    Sprite Name\n____________________________________\n"
            "100001       obj_ship    <undefined>\n100002       obj_rock    <undefined>\n"
            "100003       obj_ship    <undefined>\n");
  const std::string& globals = form.InfoWindows()[1].text;
  EXPECT_EQ(globals.rfind("mouse_x:", 0), 0u);
  EXPECT_NE(globals.find("\nroom_speed:         30\n"), std::string::npos);
  EXPECT_NE(globals.find("\n________________________________\nworking_directory:"), std::string::npos);
  EXPECT_NE(globals.find("\nsteps:              0\nlabel:              go\n"), std::string::npos);

  // Local variables by id, by object name (the first instance), and of nothing.
  dialogs.answers = {"100003", "obj_ship", "obj_none"};
  form.Perform(Action::ShowLocals);
  form.Perform(Action::ShowLocals);
  form.Perform(Action::ShowLocals);
  EXPECT_EQ(dialogs.asked[0], "Showing Local Variables.|Please provide the instance id or object name.|");
  ASSERT_EQ(form.InfoWindows().size(), 5u);
  const std::string& byId = form.InfoWindows()[2].text;
  EXPECT_EQ(byId.rfind("x:                  50\ny:                  60\n", 0), 0u);
  EXPECT_NE(byId.find("\nid:                 100003\n"), std::string::npos);
  EXPECT_NE(byId.find("\nfuel:               5\n"), std::string::npos);
  EXPECT_NE(form.InfoWindows()[3].text.find("\nid:                 100001\n"), std::string::npos);
  EXPECT_EQ(form.InfoWindows()[4].text, "NO SUCH INSTANCE EXISTS");

  // The window follows its instance: once it is destroyed, the window says so.
  dialogs.answers = {"with (100003) instance_destroy();"};
  form.Perform(Action::ExecuteCode);
  EXPECT_EQ(form.InfoWindows()[2].text, "NO SUCH INSTANCE EXISTS");
  form.CloseInfo(2);
  EXPECT_FALSE(form.InfoWindows()[2].visible);

  const std::string file = (std::filesystem::temp_directory_path() / "kv_debugger_info.txt").string();
  ASSERT_TRUE(form.SaveInfo(0, file));
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), form.InfoWindows()[0].text);
  std::filesystem::remove(file);
}

TEST_F(Debugger, ExecuteCodeSetSpeedAndMessages) {
  EnterFirstRoom();
  DebugForm form(dialogs, *clock);
  dialogs.answers = {"global.steps = 42; obj_ship.fuel = 1;", "x = ", "", "12", "fast"};
  form.Perform(Action::ExecuteCode);
  EXPECT_EQ(Global("steps"), 42);
  form.Perform(Action::ExecuteCode);
  EXPECT_EQ(dialogs.asked[1], "Execute some code.|Please type in the code|global.steps = 42; obj_ship.fuel = 1;");
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{"COMPILE ERROR"});
  form.Perform(Action::ExecuteCode);  // the empty program runs
  form.Perform(Action::SetSpeed);
  EXPECT_EQ(dialogs.asked[3], "Changing Game Speed.|Please provide the new speed|30");
  EXPECT_EQ(CurrentRoom()->props.speed, 12);
  form.Perform(Action::SetSpeed);  // not a number: the speed stays
  EXPECT_EQ(CurrentRoom()->props.speed, 12);

  dialogs.answers = {"show_debug_message('fuel low')"};
  form.Perform(Action::ExecuteCode);
  ASSERT_FALSE(form.InfoWindows().empty());
  EXPECT_EQ(form.InfoWindows().back().caption, "Messages");
  EXPECT_TRUE(form.InfoWindows().back().visible);
  const std::string& text = form.InfoWindows().back().text;
  EXPECT_EQ(text.substr(text.size() - 10), "fuel low\n\n");
  EXPECT_EQ(form.Status()[1], "3 inst");
  EXPECT_EQ(form.Status()[0], "0 fps");
}

// A window that asks questions itself: the game goes on while one is open, the answer comes back as an event.
class FakeWindow final : public plat::IDebugWindow {
 public:
  std::vector<plat::DebugEvent> next;
  plat::DebugView seen;
  std::vector<plat::DebugEvent> Frame(const plat::DebugView& view) override {
    seen = view;
    return std::exchange(next, {});
  }
  bool AsksQuestions() const override { return true; }
};

TEST_F(Debugger, QuestionsInsideTheWindowAndClosingItStopsTheGame) {
  EnterFirstRoom();
  auto owned = std::make_unique<FakeWindow>();
  FakeWindow& window = *owned;
  DebugForm form(dialogs, *clock, std::move(owned));
  form.Perform(Action::ShowGlobals);
  form.Perform(Action::Add);
  form.Pump();
  EXPECT_TRUE(dialogs.asked.empty());  // not through the dialogs
  ASSERT_TRUE(window.seen.question.open);
  EXPECT_EQ(window.seen.question.caption, "Provide an expression.");
  EXPECT_EQ(window.seen.question.prompt, "Please type in the expression");
  ASSERT_EQ(window.seen.actions.size(), 17u);
  EXPECT_EQ(window.seen.actions[1].caption, "&Pause");
  EXPECT_TRUE(window.seen.actions[1].enabled);
  EXPECT_FALSE(window.seen.actions[2].enabled);  // Step while running
  EXPECT_EQ(window.seen.infos.at(0).caption, "Global Variables");

  window.next = {{plat::DebugEvent::Kind::Answer, 0, "obj_rock.y + 1"}};
  form.Pump();
  form.Pump();
  EXPECT_FALSE(window.seen.question.open);
  ASSERT_EQ(window.seen.watches.size(), 1u);
  EXPECT_EQ(window.seen.watches[0][1], "41");
  // A double click on the watch asks to change it; Cancel keeps it.
  window.next = {{plat::DebugEvent::Kind::ChangeRow, 0, {}}};
  form.Pump();
  form.Pump();
  EXPECT_EQ(window.seen.question.text, "obj_rock.y + 1");
  window.next = {{plat::DebugEvent::Kind::CancelQuestion, 0, {}}, {plat::DebugEvent::Kind::CloseInfo, 0, {}}};
  form.Pump();
  form.Pump();
  EXPECT_FALSE(window.seen.question.open || window.seen.infos[0].visible);
  EXPECT_EQ(form.WatchExpression(0), "obj_rock.y + 1");

  window.next = {{plat::DebugEvent::Kind::CloseWindow, 0, {}}};
  form.Pump();
  EXPECT_TRUE(form.Closed());
  EXPECT_FALSE(Game().running);
}

// Pause, single steps and resume through the main loop on the virtual clock.
TEST_F(Debugger, PauseStepsExactlyOneStepAtATimeAndResumes) {
  DebugForm form(dialogs, *clock);
  RunConfig config;
  config.clock = clock.get();
  config.waitForTicks = false;
  config.maxSteps = 8;
  RunHooks hooks;
  std::vector<std::string> seen;
  hooks.afterStep = [&] {
    if (Game().stepCount == 3) form.Perform(Action::Pause);
  };
  hooks.whilePaused = [&] {
    seen.push_back(std::to_string(static_cast<int>(Global("steps"))) + (form.Enabled(Action::Step) ? " s" : "") +
                   (form.Enabled(Action::Pause) ? " p" : ""));
    if (seen.size() < 3) form.Perform(Action::Step);
    else form.Perform(Action::Run);
  };
  GameSettings settings;
  ASSERT_TRUE(RunGame(res, settings, config, hooks));
  EXPECT_EQ(seen, (std::vector<std::string>{"3 s", "4 s", "5 s"}));
  EXPECT_EQ(Global("steps"), 8);
  EXPECT_FALSE(Game().running || Game().paused);
}

TEST_F(Debugger, RestartWhilePausedResumesAndStopEnds) {
  DebugForm form(dialogs, *clock);
  RunConfig config;
  config.clock = clock.get();
  config.waitForTicks = false;
  config.maxSteps = 6;
  RunHooks hooks;
  int pausedCalls = 0;
  hooks.afterStep = [&] {
    if (Game().stepCount == 2) form.Perform(Action::Pause);
  };
  hooks.whilePaused = [&] {
    ++pausedCalls;
    form.Perform(Action::Restart);
    EXPECT_FALSE(Game().paused);
  };
  GameSettings settings;
  ASSERT_TRUE(RunGame(res, settings, config, hooks));
  EXPECT_EQ(pausedCalls, 1);
  EXPECT_EQ(Global("steps"), 4);  // the restart ran the room's code again before step 3

  Game().stepCount = 0;
  hooks.afterStep = [&] {
    if (Game().stepCount == 2) form.Perform(Action::Stop);
  };
  ASSERT_TRUE(RunGame(res, settings, config, hooks));
  EXPECT_EQ(Game().stepCount, 2);
  EXPECT_FALSE(Game().running);
}

}  // namespace
}  // namespace kv::test
