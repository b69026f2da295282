// End to end: every game setting that shows in a headless run reaches what it controls — variables read before
// they are set, the window, the function keys, error handling, the focus freeze, constants, the loading window
// and texture interpolation. Games are packed with kvpack and played through kvrun in their own directory.
#include "test_run_fixture.h"

namespace {

using kvtest::Result;
using kvtest::RunCommand;
namespace fs = std::filesystem;

class RunSettings : public kvtest::RunGameTest {
 protected:
  // One object with create, step and close-button events in one room; game id 7.
  std::string Game(const std::string& settings, const std::string& create, const std::string& step,
                   const std::string& extra = "") {
    Write("game.kvp", "[game]\nid = 7\n[settings]\n" + settings + extra +
                          "[object obj_p]\nevent create = create.kvs\nevent step = step.kvs\n"
                          "event other close_button = close.kvs\n[room rm]\ninstance obj_p 0 0\n");
    Write("create.kvs", create.empty() ? "n = 0;" : create);
    Write("step.kvs", step.empty() ? "n += 1;" : step);
    Write("close.kvs", "show_debug_message('close');");
    return Pack();
  }
  // Plays in the test directory (files the game writes land there); stderr goes to err.txt.
  Result PlayHere(const std::string& game, const std::string& options, const std::string& input = "") {
    std::ofstream(dir / "input.txt") << input;
    fs::remove(dir / "err.txt");
    return RunCommand("(cd " + dir.string() + " && " + KV_BIN_DIR + "/kvrun " + game +
                      " --headless --fast --seed 1 --input input.txt " + options + " 2>err.txt)");
  }
  std::string ReadFile(const std::string& name) {
    std::ifstream f(dir / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }
};

// Reading a variable, a global or an array cell that was never set gives 0 with the setting, and the
// unknown-variable error (which abandons the action) without it.
TEST_F(RunSettings, UninitializedZeroReadsUnsetVariablesAsZero) {
  const std::string step =
      "show_debug_message(string(never_set + 1) + ' ' + string(global.nothing) + ' ' + string(cells[3])); "
      "game_end();";
  const std::string create = "cells[0] = 5;";
  Result on = PlayHere(Game("uninitialized_zero = true\n", create, step), "--steps 3");
  EXPECT_EQ(on.out, "1 0 0\n");
  EXPECT_EQ(ReadFile("err.txt"), "");

  Result off = PlayHere(Game("display_errors = false\nwrite_errors = true\n", create, step), "--steps 3");
  EXPECT_EQ(off.out, "");
  EXPECT_NE(ReadFile("game_errors.log").find("Unknown variable never_set"), std::string::npos)
      << ReadFile("game_errors.log");
}

// The window settings are the window's state when the game starts.
TEST_F(RunSettings, WindowSettingsAreTheWindowsStateAtStart) {
  const std::string probe =
      "show_debug_message(string(window_get_fullscreen()) + ' ' + string(window_get_showborder()) + ' ' +"
      " string(window_get_showicons()) + ' ' + string(window_get_sizeable()) + ' ' +"
      " string(window_get_stayontop()) + ' ' + string(window_get_color()) + ' ' + string(window_get_cursor()) +"
      " ' ' + string(window_get_region_scale())); game_end();";
  struct Case {
    const char* settings;
    const char* expected;
  } cases[] = {
      {"", "0 1 1 0 0 16777215 0 1\n"},
      {"full_screen = true\n", "1 1 1 0 0 16777215 0 1\n"},
      {"no_border = true\n", "0 0 1 0 0 16777215 0 1\n"},
      {"no_buttons = true\n", "0 1 0 0 0 16777215 0 1\n"},
      {"allow_resize = true\n", "0 1 1 1 0 16777215 0 1\n"},
      {"stay_on_top = true\n", "0 1 1 0 1 16777215 0 1\n"},
      {"outside_color = 0x123456\n", "0 1 1 0 0 1193046 0 1\n"},
      {"show_cursor = false\n", "0 1 1 0 0 16777215 -1 1\n"},
      {"scaling = 200\n", "0 1 1 0 0 16777215 0 2\n"},
      {"scaling = 0\n", "0 1 1 0 0 16777215 0 0\n"},
      {"scaling = -1\n", "0 1 1 0 0 16777215 0 -0.01\n"},
  };
  for (const Case& c : cases) {
    Result r = PlayHere(Game(c.settings, probe, ""), "--steps 3");
    EXPECT_EQ(r.exitCode, 0) << c.settings;
    EXPECT_EQ(r.out, c.expected) << c.settings;
  }
}

// Every game start (a restart too) sets the cursor from the display-cursor setting, which window_set_cursor
// changes: a chosen shape becomes the default arrow again, while cr_none stays none.
TEST_F(RunSettings, RestartSetsTheCursorFromTheDisplayCursorSetting) {
  for (const auto& [settings, shape, expected] :
       {std::tuple{"", "cr_cross", "0 -3\n0\n"}, std::tuple{"", "cr_none", "0 -1\n-1\n"},
        std::tuple{"show_cursor = false\n", "cr_cross", "-1 -3\n0\n"}}) {
    const std::string create =
        std::string("if (health == 100) { health = 50; c = window_get_cursor(); window_set_cursor(") + shape +
        "); show_debug_message(string(c) + ' ' + string(window_get_cursor())); game_restart(); }"
        "else { show_debug_message(window_get_cursor()); game_end(); }";
    Result r = PlayHere(Game(settings, create, ""), "--steps 5");
    EXPECT_EQ(r.out, expected) << settings << shape;
  }
}

// Each function key acts only when its setting allows it; an acting key is taken (keyboard_lastkey reads 0 in
// the events of that step), a disabled one reaches the game like any other key.
TEST_F(RunSettings, FunctionKeysFollowTheirSettings) {
  struct Case {
    int key;
    const char* setting;
    const char* enabledOut;  // with the setting on (the default)
    const char* file;        // written by the key when it acts
  } cases[] = {
      {27, "key_escape", "0 0\n", nullptr},  // the game ends before step 2
      {112, "key_help", "0 0\n0 0\n0 0\n", nullptr},
      {115, "key_full_screen", "0 0\n0 1\n0 1\n", nullptr},
      {116, "key_save_load", "0 0\n0 0\n0 0\n", "_save7.sav"},
      {117, "key_save_load", "0 0\n0 0\n0 0\n", nullptr},
      {120, "key_screenshot", "0 0\n0 0\n0 0\n", "screenshot100.bmp"},
  };
  const std::string step = "show_debug_message(string(keyboard_lastkey) + ' ' + string(window_get_fullscreen()));";
  for (const Case& c : cases) {
    const std::string input = "@2 keydown " + std::to_string(c.key) + "\n@3 keyup " + std::to_string(c.key) + "\n";
    for (bool enabled : {true, false}) {
      if (c.file) fs::remove(dir / c.file);
      const std::string settings = std::string(c.setting) + (enabled ? " = true\n" : " = false\n");
      Result r = PlayHere(Game(settings, "", step), "--steps 3", input);
      const std::string k = std::to_string(c.key);
      EXPECT_EQ(r.out, enabled ? std::string(c.enabledOut) : "0 0\n" + k + " 0\n" + k + " 0\n") << settings << k;
      if (c.file) {
        EXPECT_EQ(fs::exists(dir / c.file), enabled) << settings << k;
      }
    }
  }
}

// F5 saves at once and F6 loads at once when the setting allows them.
TEST_F(RunSettings, SaveAndLoadKeysRestoreTheGame) {
  const std::string input = "@2 keydown 116\n@3 keyup 116\n@4 keydown 117\n@5 keyup 117\n";
  const std::string step = "n += 1; show_debug_message(n);";
  EXPECT_EQ(PlayHere(Game("", "", step), "--steps 5", input).out, "1\n2\n3\n2\n3\n");
  fs::remove(dir / "_save7.sav");
  EXPECT_EQ(PlayHere(Game("key_save_load = false\n", "", step), "--steps 5", input).out, "1\n2\n3\n4\n5\n");
  EXPECT_FALSE(fs::exists(dir / "_save7.sav"));
}

// Errors are shown, logged and turned fatal as the three error settings say.
TEST_F(RunSettings, ErrorSettingsShowLogAndAbort) {
  const std::string step = "n += 1; if (n == 1) instance_create(0, 0, 99); show_debug_message(n); if (n == 3) game_end();";
  const std::string message = "Creating instance for non-existing object: 99";
  struct Case {
    const char* settings;
    const char* answers;
    const char* out;
    bool shown, logged;
  } cases[] = {
      {"display_errors = false\nwrite_errors = true\n", "", "1\n2\n3\n", false, true},
      {"display_errors = false\n", "", "1\n2\n3\n", false, false},
      {"", "error ignore\n", "1\n2\n3\n", true, false},
      {"", "error abort\n", "1\n", true, false},
      {"abort_on_error = true\ndisplay_errors = false\nwrite_errors = true\n", "", "1\n", false, true},
      // With abort_on_error the window offers no Ignore: the answer cannot keep the game going.
      {"abort_on_error = true\n", "error ignore\n", "1\n", true, false},
  };
  for (const Case& c : cases) {
    fs::remove(dir / "game_errors.log");
    std::ofstream(dir / "answers.txt") << c.answers;
    Result r = PlayHere(Game(c.settings, "", step), "--steps 5 --answers answers.txt");
    EXPECT_EQ(r.out, c.out) << c.settings << c.answers;
    EXPECT_EQ(ReadFile("err.txt").find("Error Messages: ") != std::string::npos, c.shown) << c.settings;
    EXPECT_EQ(ReadFile("game_errors.log").find(message) != std::string::npos, c.logged) << c.settings;
  }
}

// No steps run while the window is not active when the setting asks for it.
TEST_F(RunSettings, FreezeOnLoseFocusSkipsStepsWithoutFocus) {
  const std::string step = "n += 1; show_debug_message(n);";
  const std::string input = "@2 focus off\n@5 focus on\n";
  EXPECT_EQ(PlayHere(Game("freeze_on_lose_focus = true\n", "", step), "--steps 6", input).out, "1\n2\n3\n");
  EXPECT_EQ(PlayHere(Game("freeze_on_lose_focus = false\n", "", step), "--steps 6", input).out,
            "1\n2\n3\n4\n5\n6\n");
}

// The constants of the settings are defined before the code that uses them is compiled.
TEST_F(RunSettings, ConstantsAreDefined) {
  const std::string game = Game("", "show_debug_message(string(MAX) + ' ' + GREETING); game_end();", "",
                                "[constants]\nMAX = 3 * 4\nGREETING = \"hi\"\n");
  EXPECT_EQ(PlayHere(game, "--steps 3").out, "12 hi\n");
}

// The loading window shows its bar only with the progress-bar setting.
TEST_F(RunSettings, ProgressBarSettingShapesTheLoadingWindow) {
  for (bool bar : {true, false}) {
    const std::string game = Game(bar ? "show_progress_bar = true\n" : "show_progress_bar = false\n", "game_end();", "");
    PlayHere(game, "--steps 3 --verbose");
    const std::string err = ReadFile("err.txt");
    ASSERT_NE(err.find("loading window "), std::string::npos) << err;
    EXPECT_EQ(err.find("(no bar)") == std::string::npos, bar) << err;
  }
}

// Interpolation blends neighbouring texels of a stretched texture; without it each pixel takes one texel.
TEST_F(RunSettings, InterpolateBlendsStretchedTextures) {
  const std::string create =
      "s = surface_create(2, 1); surface_set_target(s); draw_clear(c_black); draw_point_color(1, 0, c_white);"
      "surface_reset_target(); shown = false;";
  Write("draw.kvs",
        "draw_surface_ext(s, 0, 0, 64, 64, 0, c_white, 1);"
        "if (!shown) { shown = true; show_debug_message(color_get_red(draw_getpixel(48, 10)) > 20); }");
  for (bool on : {true, false}) {
    Write("game.kvp", std::string("[settings]\ninterpolate = ") + (on ? "true" : "false") +
                          "\n[object obj_p]\nevent create = create.kvs\nevent draw = draw.kvs\n"
                          "[room rm]\ninstance obj_p 0 0\n");
    Write("create.kvs", create);
    EXPECT_EQ(PlayHere(Pack(), "--steps 2").out, on ? "1\n" : "0\n");
  }
}

}  // namespace
