// The game-wide built-in variables backed by live state: the room's layers and views (and what room drawing and the
// mouse mapping then use), the input state, the caption settings, dates, directories, ids and the error state —
// all through compiled game code. One end-to-end game reads them while kvrun plays it with scripted input.
#include <filesystem>
#include <fstream>

#include "code/code_exec.h"
#include "functions/function_date.h"
#include "graphics/graphics_window.h"
#include "graphics/room_draw.h"
#include "input/io_main.h"
#include "world/builtin_globals.h"
#include "world/event_dispatch.h"
#include "world/run_main.h"
#include "world/test_run_fixture.h"
#include "world_fixture.h"

namespace kv::test {
namespace {

class GlobalVariables : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    input::ClearInput();
    Caption() = CaptionSettings{};
    savedGame_ = Game();
    savedMouseHook_ = DispatchHooks().mouseRoomPosition;
    DispatchHooks().mouseRoomPosition = nullptr;
    background_ = AddBackground(32, 16);
    obj_ = AddObject("o");
    auto room = std::make_unique<CRoom>();
    room->caption = "Cave";
    room->speed = 30;
    room->views[0].xView = 7;
    room->views[3].yView = 9;
    room->backgrounds[0].background = background_;
    room->backgrounds[0].hSpeed = 2;
    room->instances = {{0, 0, obj_, 100001, ""}};
    const int r = res.rooms.Add("rm", std::move(room));
    StartRooms(res);
    EnterRoom(r, true);
    self_ = CurrentRoom()->FindInstance(100001);
    ASSERT_NE(self_, nullptr);
  }
  void TearDown() override {
    DispatchHooks().mouseRoomPosition = savedMouseHook_;
    Game() = savedGame_;
    Caption() = CaptionSettings{};
    input::ClearInput();
    SetRunnerPaths("", "");
    SetDateNowProvider(nullptr);
    WorldTest::TearDown();
  }

  int AddBackground(int w, int h) {
    auto b = std::make_unique<CBackground>();
    b->width = w;
    b->height = h;
    return res.backgrounds.Add("bg" + std::to_string(res.backgrounds.Count()), std::move(b));
  }

  // Runs the program on the room's instance; the wlog lines joined with "|", or "fails: <message>".
  std::string Run(const std::string& program) {
    Log().clear();
    CCode code(program, false);
    if (!code.Compile()) return "compile: " + PendingMessage();
    RValue r;
    if (!RunCode(self_, self_, &code, r)) {
      const std::string message = PendingMessage();
      ClearErrorPending();
      return "fails: " + message;
    }
    std::string out;
    for (const std::string& l : Log()) out += (out.empty() ? "" : "|") + l;
    return out;
  }
  static bool CannotAssign(const std::string& outcome) {
    return outcome.rfind("fails: ", 0) == 0 && outcome.find("Cannot assign to the variable") != std::string::npos;
  }

  struct Case {
    std::string program;
    std::string logged;
  };
  void RunCases(std::initializer_list<Case> cases) {
    for (const Case& c : cases) EXPECT_EQ(Run(c.program), c.logged) << c.program;
  }

  CInstance* self_ = nullptr;
  int background_ = -1, obj_ = -1;

 private:
  GameState savedGame_;
  std::function<void(double&, double&)> savedMouseHook_;
};

TEST_F(GlobalVariables, LayerAndViewArraysWithTheirConversions) {
  const std::string bg = std::to_string(background_);
  RunCases({
      // Out-of-range indices address element 0, for reading and writing.
      {"wlog(view_xview[9], view_xview[8], view_xview[0], view_yview[3], view_yview[1, 3])", "7 7 7 9 0"},
      {"view_wview[8] = 100; wlog(view_wview[0], view_wview[1])", "100 640"},
      {"background_alpha[12] = 0.25; wlog(background_alpha[0], background_alpha[7])", "0.25 1"},
      // int: rounded, halves to even; bool: rounded value of 1 or more; real: unchanged.
      {"view_xport[2] = 2.5; wlog(view_xport[2]); view_xport[2] = 3.5; wlog(view_xport[2])", "2|4"},
      {"view_hborder[1] = -0.5; view_object[1] = 100001.4; wlog(view_hborder[1], view_object[1])", "0 100001"},
      {"background_visible[1] = 0.5; wlog(background_visible[1]); background_visible[1] = 0.6; "
       "wlog(background_visible[1])",
       "0|1"},
      {"view_enabled = -3; wlog(view_enabled); view_enabled = 1; wlog(view_enabled)", "0|1"},
      {"background_x[2] = 1.25; view_angle[1] = 33.5; background_yscale[5] = -2; "
       "wlog(background_x[2], view_angle[1], background_yscale[5])",
       "1.25 33.5 -2"},
      {"background_color = 255.5; background_showcolor = 0; wlog(background_color, background_showcolor)", "256 0"},
      // Sizes come from the layer's background resource; 0 when it does not exist.
      {"wlog(background_width[0], background_height[0], background_width[1], background_height[9])", "32 16 0 16"},
      {"background_index[1] = 99; wlog(background_width[1], background_height[1])", "0 0"},
      {"background_index[1] = " + bg + "; wlog(background_width[1])", "32"},
      // Global: the same on any instance.
      {"wlog(other.view_xview[0], other.background_color)", "7 256"},
  });
  // The writes landed in the live room.
  const CRoom& p = CurrentRoom()->props;
  EXPECT_EQ(p.views[0].wView, 100);
  EXPECT_EQ(p.views[2].xPort, 4);
  EXPECT_TRUE(p.backgrounds[1].visible);
  EXPECT_EQ(p.backgrounds[0].alpha, 0.25);
  EXPECT_EQ(p.colour, 256);
  EXPECT_FALSE(p.showColour);
}

TEST_F(GlobalVariables, WritesChangeWhatTheRoomUses) {
  // Scrolling moves the layer by the speed written from code.
  EXPECT_EQ(Run("background_x[0] = 10; background_hspeed[0] = 3"), "");
  CurrentRoom()->ScrollBackgrounds();
  EXPECT_EQ(Run("wlog(background_x[0])"), "13");

  // Room drawing maps the views the code set up, and mouse_x / mouse_y go through that mapping.
  gfx::Win() = gfx::WindowState{};
  gfx::Win().clientWidth = gfx::Win().regionWidth = 640;
  gfx::Win().clientHeight = gfx::Win().regionHeight = 480;
  DispatchHooks().mouseRoomPosition = [](double& x, double& y) {
    x = gfx::MouseRoomX();
    y = gfx::MouseRoomY();
  };
  EXPECT_EQ(Run("view_enabled = 1; view_visible[1] = 1; view_xview[1] = 40; view_yview[1] = 8; "
                "view_wview[1] = 160; view_hview[1] = 120; view_xport[1] = 0; view_yport[1] = 0; "
                "view_wport[1] = 320; view_hport[1] = 240"),
            "");
  gfx::UpdateViews(*CurrentRoom());
  const gfx::ViewMapping& m = gfx::ViewMappings()[1];
  EXPECT_TRUE(m.active);
  EXPECT_EQ(m.viewX, 40);
  EXPECT_EQ(m.viewW, 160);
  EXPECT_EQ(m.portW, 320);
  EXPECT_FALSE(gfx::ViewMappings()[0].active);
  input::SetMouseClient(100, 60);
  EXPECT_EQ(Run("wlog(mouse_x, mouse_y)"), "90 38");
  // Views off: the mapping is cleared and the frame point is the room point.
  EXPECT_EQ(Run("view_enabled = 0"), "");
  gfx::UpdateViews(*CurrentRoom());
  EXPECT_EQ(Run("wlog(mouse_x, mouse_y)"), "100 60");
  gfx::ClearViewMappings();
  gfx::Win() = gfx::WindowState{};
}

TEST_F(GlobalVariables, MouseWithoutMappingIsTheClientPosition) {
  input::SetMouseClient(12, 34);
  EXPECT_EQ(Run("wlog(mouse_x, mouse_y)"), "12 34");
}

TEST_F(GlobalVariables, InputStateReadAndWritten) {
  RunCases({
      // Only buttons 1 to 3 are taken; anything else leaves the value alone (a huge value does not wrap into range).
      {"mouse_button = 2; wlog(mouse_button); mouse_button = 4; mouse_button = 0; mouse_button = 4294967298; "
       "wlog(mouse_button)",
       "2|2"},
      {"mouse_lastbutton = 2.6; wlog(mouse_lastbutton); mouse_lastbutton = -1; wlog(mouse_lastbutton)", "3|3"},
      // Keys 0 to 255 are taken.
      {"keyboard_key = 65; keyboard_key = 256; wlog(keyboard_key); keyboard_key = 0; wlog(keyboard_key)", "65|0"},
      {"keyboard_lastkey = 300; wlog(keyboard_lastkey); keyboard_lastkey = 255; wlog(keyboard_lastkey)", "0|255"},
      // The first character of the text is taken; an empty text is ignored.
      {"keyboard_lastchar = 'xyz'; wlog(keyboard_lastchar); keyboard_lastchar = ''; wlog(keyboard_lastchar)",
       "x|x"},
      {"keyboard_lastchar = 66; wlog(string_length(keyboard_lastchar))", "1"},
      {"keyboard_string = 'abc'; wlog(keyboard_string)", "abc"},
      {"cursor_sprite = 3.5; wlog(cursor_sprite)", "4"},
  });
  EXPECT_EQ(Game().cursorSprite, 4);
  // The handlers and the variables share the state.
  input::OnChar('d');
  input::OnKeyDown(70);
  input::OnButton(1, true);
  EXPECT_EQ(Run("wlog(keyboard_string, keyboard_lastchar, keyboard_key, keyboard_lastkey, mouse_button, "
                "mouse_lastbutton)"),
            "abcd d 70 70 1 1");
  EXPECT_EQ(Run("keyboard_string = ''; keyboard_key = 0; mouse_button = 3"), "");
  EXPECT_EQ(input::TypedText(), "");
  EXPECT_EQ(input::CurrentKey(), 0);
  EXPECT_EQ(input::CurrentButton(), 3);
  // Nothing typed yet: still one character (character 0).
  input::ClearInput();
  EXPECT_EQ(Run("wlog(string_length(keyboard_lastchar), ord(keyboard_lastchar))"), "1 0");
}

TEST_F(GlobalVariables, ReadOnlyVariablesRefuseWrites) {
  for (const char* program :
       {"game_id = 1", "working_directory = 'x'", "temp_directory = 'x'", "program_directory = 'x'",
        "background_width[0] = 5", "background_height = 5", "mouse_x = 1", "mouse_y = 1", "current_year = 1",
        "current_month = 1", "current_day = 1", "current_weekday = 1", "current_hour = 1", "current_minute = 1",
        "current_second = 1", "secure_mode = 0", "other.mouse_x = 3", "mouse_x += 1"}) {
    EXPECT_TRUE(CannotAssign(Run(program))) << program;
  }
  EXPECT_EQ(Run("wlog(background_width[0])"), "32");
}

TEST_F(GlobalVariables, ErrorStateAndRoomSpeed) {
  RunCases({
      // No rounding: 0.5 already sets it.
      {"error_occurred = 0.5; wlog(error_occurred); error_occurred = 0.49; wlog(error_occurred)", "1|0"},
      {"error_last = 'boom'; wlog(error_last); error_last = 7; wlog(error_last == '')", "boom|1"},
  });
  EXPECT_EQ(LastError(), "");
  ReportError("broken", false);
  EXPECT_EQ(Run("wlog(error_occurred, error_last)"), "1 broken");

  // A speed that rounds (or wraps) to 0 or less is refused with its own message and the assignment fails.
  errors.clear();
  for (const char* program : {"room_speed = 0.4", "room_speed = -5", "room_speed = 4294967296"}) {
    EXPECT_TRUE(CannotAssign(Run(program))) << program;
  }
  ASSERT_EQ(errors.size(), 3u);
  for (const std::string& e : errors) EXPECT_NE(e.find("Trying to set the room speed to a value <= 0."), e.npos);
  EXPECT_EQ(Run("room_speed = 0.6; wlog(room_speed)"), "1");
}

TEST_F(GlobalVariables, LivesAndHealthRaiseTheirEventsWhenCrossingZero) {
  On(obj_, kEventOther, kOtherNoMoreLives, "wlog('lives', id)");
  On(obj_, kEventOther, kOtherNoMoreHealth, "wlog('health', id)");
  ASSERT_TRUE(Prepare());
  const std::string first = std::to_string(self_->id);
  const std::string second = std::to_string(AddRoomInstance(obj_, 0, 0)->id);
  AddRoomInstance(obj_, 0, 0)->deleted = true;  // destroyed this step: no event
  RunCases({
      {"lives = 3; lives = 0", "lives " + first + "|lives " + second},
      {"lives = -1", ""},
      {"lives = 2; lives = 0.4", "lives " + first + "|lives " + second},  // rounds to 0
      {"lives = 1; lives = 0.6", ""},
      {"health = 10; health = 0", "health " + first + "|health " + second},
      {"health = -5; health = -1", ""},
      {"health = 0.4; health = 0", "health " + first + "|health " + second},  // a real: 0.4 is above 0
  });
  // While a room change is pending no event runs, but the value is stored.
  SetPendingRoomChange(0);
  EXPECT_EQ(Run("lives = 3; lives = 0"), "");
  SetPendingRoomChange(kNoRoomChange);
  EXPECT_EQ(Run("wlog(lives)"), "0");
  // An unknown room is a fatal error that ends the game after the step.
  errors.clear();
  EXPECT_EQ(Run("room = 99"), "");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Unexisting room number: 99"), std::string::npos);
  EXPECT_EQ(PendingRoomChange(), kPendingErrorEnd);
  SetPendingRoomChange(kNoRoomChange);
}

TEST_F(GlobalVariables, CaptionSettingsAndTheComposedCaption) {
  RunCases({
      {"wlog(show_score, show_lives, show_health, caption_score, caption_lives, caption_health)",
       "1 0 0 Score:  Lives:  Health: "},
      {"show_lives = 0.5; wlog(show_lives); show_lives = 0.6; wlog(show_lives)", "0|1"},
  });
  struct CaptionCase {
    const char* program;
    const char* caption;
  } cases[] = {
      // The score shows while it is above 0 until the game sets show_score or a caption text itself.
      {"show_lives = 0; score = 0", "Cave"},
      {"score = 5", "Cave Score: 5"},
      {"score = 0; show_score = 1", "Cave Score: 0"},
      {"show_score = 0; score = 9", "Cave"},
      {"show_score = 1; caption_score = 'Points: '; show_lives = 1; lives = 3", "Cave Points: 9 Lives: 3"},
      // Health is rounded to an integer, halves to even.
      {"show_lives = 0; show_health = 1; health = 48.5; caption_health = 'HP '", "Cave Points: 9 HP 48"},
      {"room_caption = ''; show_score = 0; show_health = 0", ""},
  };
  for (const CaptionCase& c : cases) {
    EXPECT_EQ(Run(c.program), "") << c.program;
    EXPECT_EQ(ComposeWindowCaption(), c.caption) << c.program;
  }
  Caption() = CaptionSettings{};
  EXPECT_EQ(Run("caption_lives = 'L '"), "");
  EXPECT_TRUE(Caption().scoreExplicit);
}

TEST_F(GlobalVariables, DateIdsAndDirectories) {
  // A fixed "now": Wednesday 9 December 2026, 21:05:18 local time.
  SetDateNowProvider([] { return CombineDateTime(EncodeDate(2026, 12, 9), EncodeTime(21, 5, 18)); });
  EXPECT_EQ(Run("wlog(current_year, current_month, current_day, current_weekday, current_hour, current_minute, "
                "current_second)"),
            "2026 12 9 4 21 5 18");
  Game().gameId = 123456;
  Game().secureMode = true;
  EXPECT_EQ(Run("wlog(game_id, secure_mode)"), "123456 1");

  const std::string cwd = std::filesystem::current_path().string();
  SetRunnerPaths("/tmp/kv_ttt_42", "games/../games/demo/game.kvgame");
  EXPECT_EQ(Run("wlog(working_directory, temp_directory, program_directory)"),
            cwd + " /tmp/kv_ttt_42 " + cwd + "/games/demo");
  SetRunnerPaths("", "/abs/game.kvgame");
  EXPECT_EQ(Run("wlog(temp_directory == '', program_directory)"), "1 /abs");
  // Without a game file, the program directory is the working directory.
  SetRunnerPaths("", "");
  EXPECT_EQ(Run("wlog(program_directory == working_directory)"), "1");
}

TEST_F(GlobalVariables, WithoutARoomReadsDefaultsAndWritesChangeNothing) {
  FreeRooms();
  CInstance temp(0, 0, 0, 0);
  self_ = &temp;
  EXPECT_EQ(Run("background_color = 5; view_wview[2] = 9; wlog(background_color, view_wview[2], "
                "background_width[0], background_visible[0])"),
            "12632256 640 0 0");
  EXPECT_EQ(ComposeWindowCaption(), "");
}

// kvrun plays a game whose step event reads the variables while scripted input types, moves and clicks.
class GlobalVariablesGame : public kvtest::RunGameTest {};

TEST_F(GlobalVariablesGame, ScriptedInputAndDirectoriesReachTheVariables) {
  Write("game.kvp",
        "[object obj_probe]\n"
        "event create = create.kvs\n"
        "event step = step.kvs\n"
        "[room rm_one]\n"
        "creation = room.kvs\n"
        "instance obj_probe 0 0\n");
  // One view showing the room from (100, 50) at the same size: the mouse maps by that offset.
  Write("room.kvs",
        "view_enabled = 1; view_visible[0] = 1; view_xview[0] = 100; view_yview[0] = 50; "
        "view_wview[0] = 640; view_hview[0] = 480; view_wport[0] = 640; view_hport[0] = 480;");
  Write("create.kvs", "n = 0;");
  Write("step.kvs",
        "n += 1; if (n == 4) { show_debug_message(string(mouse_x) + ',' + string(mouse_y) + ' ' + keyboard_string + "
        "' ' + keyboard_lastchar + ' ' + string(mouse_button) + ' ' + string(temp_directory != '') + ' ' + "
        "program_directory); game_end(); }");
  std::ofstream(dir / "input.txt") << "@1 move 10 20\n@1 char h\n@2 char i\n@2 down 1\n";
  kvtest::Result r = Play(Pack(), "--steps 10 --input " + (dir / "input.txt").string());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "110,70 hi i 1 1 " + dir.string() + "\n");
}

}  // namespace
}  // namespace kv::test
