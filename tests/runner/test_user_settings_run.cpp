// End to end through kvrun (headless): the user settings file and the options that override it reach the window,
// Alt+Enter switches full screen in a game that turns F4 off, F9 writes into a screenshot folder, the log file
// gets progress, warnings and errors, the frame-rate overlay shows in shots only, and --mute silences the mix.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <regex>
#include <sstream>

#include "graphics/bitmap_ops.h"
#include "sound/sound_test_util.h"
#include "world/test_run_fixture.h"

namespace {

// Every kvrun the tests start reads the user settings file; a developer's own file (full screen, a scale, the
// overlay) must not change what the tests see. Tests of the file give their own XDG_CONFIG_HOME.
[[maybe_unused]] const bool kNoDeveloperSettings = [] {
  const std::string none = (std::filesystem::temp_directory_path() / "kvtests-no-user-settings").string();
  return ::setenv("XDG_CONFIG_HOME", none.c_str(), 1) == 0;
}();

using kvtest::Result;
using kvtest::RunCommand;
namespace fs = std::filesystem;

class UserSettingsRun : public kvtest::RunGameTest {
 protected:
  // One object in a 320 × 240 room; step.kvs runs every step.
  std::string Game(const std::string& settings, const std::string& step, const std::string& room = "") {
    Write("game.kvp", "[settings]\n" + settings + "[object obj_p]\nevent create = create.kvs\nevent step = step.kvs\n"
                      "[room rm]\nwidth = 320\nheight = 240\n" + room + "instance obj_p 0 0\n");
    Write("create.kvs", "n = 0;");
    Write("step.kvs", "n += 1; " + step);
    return Pack();
  }
  // The user settings file of the runs that follow (in the test's own XDG_CONFIG_HOME).
  void UserFile(const std::string& text) {
    fs::create_directories(dir / "config" / "korvane");
    std::ofstream(dir / "config" / "korvane" / "kvrun.ini") << text;
  }
  // Plays in the test directory with the test's settings folder; stderr goes to err.txt.
  Result PlayHere(const std::string& game, const std::string& options, const std::string& input = "") {
    std::ofstream(dir / "input.txt") << input;
    fs::remove(dir / "err.txt");
    return RunCommand("(cd " + dir.string() + " && env XDG_CONFIG_HOME=" + (dir / "config").string() + " " +
                      KV_BIN_DIR + "/kvrun " + game + " --headless --fast --seed 1 --input input.txt " + options +
                      " 2>err.txt)");
  }
  std::string ReadFile(const fs::path& file) {
    std::ifstream f(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }
};

// Game settings < user settings file < options, for full screen and scale; --no-user-settings skips the file; a
// bad value in the file is a warning and the rest of it still applies.
TEST_F(UserSettingsRun, FileAndOptionsOverrideTheGamesDisplaySettings) {
  const std::string windowed = Game("", "if (n == 2) { show_debug_message(string(window_get_fullscreen()) + ' ' +"
                                        " string(window_get_region_scale()) + ' ' + string(window_get_width()) + 'x' +"
                                        " string(window_get_height())); game_end(); }");
  struct Case {
    const char* file;
    const char* options;
    const char* expected;
  } cases[] = {
      {"", "", "0 1 320x240\n"},
      {"[display]\nscale = 200\n", "", "0 2 640x480\n"},
      {"[display]\nscale = 200\n", "--scale 50", "0 0.50 160x120\n"},
      {"[display]\nscale = 200\nfullscreen = on\n", "--no-user-settings", "0 1 320x240\n"},
      {"[display]\nfullscreen = off\nscale = 0\n", "", "0 0 320x240\n"},
      {"[display]\nscale = -1\n", "", "0 -0.01 320x240\n"},
  };
  for (const Case& c : cases) {
    UserFile(c.file);
    Result r = PlayHere(windowed, c.options);
    EXPECT_EQ(r.exitCode, 0) << c.file << c.options;
    EXPECT_EQ(r.out, c.expected) << c.file << c.options;
    EXPECT_EQ(ReadFile(dir / "err.txt"), "") << c.file << c.options;
  }

  // Full screen: the game's setting, the file over it, the options over both.
  const std::string probe = "if (n == 2) { show_debug_message(window_get_fullscreen()); game_end(); }";
  const std::string fullGame = Game("full_screen = true\n", probe);
  UserFile("");
  EXPECT_EQ(PlayHere(fullGame, "").out, "1\n");
  EXPECT_EQ(PlayHere(fullGame, "--windowed").out, "0\n");
  UserFile("[display]\nfullscreen = no\n");
  EXPECT_EQ(PlayHere(fullGame, "").out, "0\n");
  EXPECT_EQ(PlayHere(fullGame, "--windowed --fullscreen").out, "1\n");
  const std::string windowGame = Game("", probe);
  UserFile("[display]\nfullscreen = yes\nscale = lots\n[display]\nvsync = on\n");
  Result warned = PlayHere(windowGame, "");
  EXPECT_EQ(warned.exitCode, 0);
  EXPECT_EQ(warned.out, "1\n");
  EXPECT_NE(ReadFile(dir / "err.txt").find("kvrun.ini:3: scale needs"), std::string::npos) << ReadFile(dir / "err.txt");
  // Bad options are bad usage.
  EXPECT_EQ(PlayHere(windowGame, "--scale 5000").exitCode, 2);
  EXPECT_EQ(PlayHere(windowGame, "--vsync maybe").exitCode, 2);
}

// Alt+Enter switches full screen although the game turns F4 off, and the game never sees that Enter; Enter
// alone still reaches it.
TEST_F(UserSettingsRun, AltEnterSwitchesFullScreenWhenF4IsOff) {
  const std::string game = Game("key_full_screen = false\n",
                                "show_debug_message(string(window_get_fullscreen()) + ' ' + "
                                "string(keyboard_check(vk_enter)) + ' ' + string(keyboard_check(vk_alt))); "
                                "if (n == 6) game_end();");
  UserFile("");
  Result r = PlayHere(game, "",
                      "@1 keydown 115\n@1 keyup 115\n"                // F4: off in this game
                      "@3 keydown 18\n@3 keydown 13\n"                // Alt+Enter
                      "@4 keyup 13\n@4 keyup 18\n"
                      "@5 keydown 13\n"                              // Enter alone
                      "@6 keyup 13\n@6 keydown 18\n@6 keydown 13\n"); // and back to a window
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "0 0 0\n0 0 0\n1 0 1\n1 0 0\n1 1 0\n0 0 1\n");
}

// F9 keeps its screenshotN.bmp in the working folder; with a screenshot folder (option or file) it writes
// numbered PNG files there instead.
TEST_F(UserSettingsRun, ScreenshotFolderTakesTheF9Shots) {
  const std::string game = Game("", "if (n == 5) game_end();", "colour = 0x0000FF\n");
  const std::string f9Twice = "@2 keydown 120\n@2 keyup 120\n@4 keydown 120\n@4 keyup 120\n";
  UserFile("");
  ASSERT_EQ(PlayHere(game, "", f9Twice).exitCode, 0);
  EXPECT_TRUE(fs::exists(dir / "screenshot100.bmp"));
  EXPECT_TRUE(fs::exists(dir / "screenshot101.bmp"));
  fs::remove(dir / "screenshot100.bmp");
  fs::remove(dir / "screenshot101.bmp");

  ASSERT_EQ(PlayHere(game, "--screenshot-dir shots/new", f9Twice).exitCode, 0) << ReadFile(dir / "err.txt");
  for (const char* name : {"game-0001.png", "game-0002.png"}) {
    const auto image = kv::gfx::LoadImageFile((dir / "shots" / "new" / name).string());
    ASSERT_TRUE(image.has_value()) << name;
    EXPECT_EQ(image->width, 320);
    EXPECT_EQ(image->height, 240);
    EXPECT_EQ(image->Pixel(10, 10) & 0xFFFFFF, 0xFF0000u) << name;  // the room's red (0x00BBGGRR 0x0000FF)
  }
  EXPECT_FALSE(fs::exists(dir / "screenshot100.bmp"));
  // Numbers already taken are skipped.
  ASSERT_EQ(PlayHere(game, "--screenshot-dir shots/new", "@2 keydown 120\n").exitCode, 0);
  EXPECT_TRUE(fs::exists(dir / "shots" / "new" / "game-0003.png"));

  UserFile("[screenshots]\ndir = " + (dir / "fromfile").string() + "\n");
  ASSERT_EQ(PlayHere(game, "", "@2 keydown 120\n").exitCode, 0);
  EXPECT_TRUE(fs::exists(dir / "fromfile" / "game-0001.png"));

  // A file where the folder should be: bad usage as an option, a warning in the settings file.
  std::ofstream(dir / "plain") << "x";
  EXPECT_EQ(PlayHere(game, "--screenshot-dir plain").exitCode, 2);
  UserFile("[screenshots]\ndir = " + (dir / "plain").string() + "\n");
  ASSERT_EQ(PlayHere(game, "", "@2 keydown 120\n").exitCode, 0);
  EXPECT_NE(ReadFile(dir / "err.txt").find("is not a folder"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "screenshot100.bmp"));
}

// The log: every line time-stamped with its level; the game file, the loading phases, the summary, the first
// room and the game's messages as INFO, the settings file's problems as WARN, the game's error as ERROR; stderr
// is the same with or without it.
TEST_F(UserSettingsRun, LogFileGetsProgressWarningsAndErrors) {
  const std::string game =
      Game("", "if (n == 1) show_message('hello there'); if (n == 2) x = never_set + 1; if (n == 3) game_end();");
  UserFile("[display]\nsize = huge\n");
  Result plain = PlayHere(game, "");
  const std::string plainErr = ReadFile(dir / "err.txt");
  Result logged = PlayHere(game, "--log logs.txt");
  EXPECT_EQ(logged.exitCode, plain.exitCode);
  EXPECT_EQ(ReadFile(dir / "err.txt"), plainErr);
  const std::string log = ReadFile(dir / "logs.txt");
  std::istringstream lines(log);
  const std::regex format(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (INFO|WARN|ERROR) .*\S)");
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) EXPECT_TRUE(std::regex_match(line, format)) << line;
  EXPECT_GT(count, 10);
  for (const std::string& part :
       {"INFO game file " + game + " opened", std::string("INFO loading 10% Loading sprites"),
        std::string("INFO loading 100% Ready"), std::string("INFO game loaded: 1 room, 1 object"),
        std::string("INFO first room: rm (0)"), std::string("WARN kvrun: warning: "),
        std::string("kvrun.ini:2: unknown setting \"size\" in [display]"), std::string("ERROR ERROR in"),
        std::string("Unknown variable never_set"), std::string("INFO exit status 3")})
    EXPECT_NE(log.find(part), std::string::npos) << part << "\n" << log;

  // The game's own messages are information.
  EXPECT_TRUE(std::regex_search(log, std::regex(R"(\.\d{3} INFO [^\n]*hello there)"))) << log;

  // A game that cannot be loaded: the loader's message is an error.
  std::ofstream(dir / "broken.kvgame") << "not a game";
  Result broken = PlayHere((dir / "broken.kvgame").string(), "--log broken.txt");
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_NE(ReadFile(dir / "broken.txt").find("ERROR Error: Not a valid game file."), std::string::npos)
      << ReadFile(dir / "broken.txt");
  EXPECT_EQ(PlayHere(game, "--log " + dir.string()).exitCode, 2);  // a folder cannot be the log
}

// The overlay is in the shots of the frame as shown, not in what the game reads from its frame.
TEST_F(UserSettingsRun, ShowFpsOverlayIsInShotsOnly) {
  Write("game.kvp", "[object obj_p]\nevent step = step.kvs\nevent draw = draw.kvs\n"
                    "[room rm]\nwidth = 320\nheight = 240\ncolour = 0xFFFFFF\ninstance obj_p 0 0\n");
  Write("step.kvs", "n = 1;");
  Write("draw.kvs", "show_debug_message(draw_getpixel(4, 4));");
  const std::string withDraw = Pack();
  UserFile("");
  Result plain = PlayHere(withDraw, "--steps 4 --virtual-clock --screenshot 3:plain.png");
  Result shown = PlayHere(withDraw, "--steps 4 --virtual-clock --show-fps --screenshot 3:shown.png");
  EXPECT_EQ(plain.exitCode, 0);
  EXPECT_EQ(shown.out, plain.out);  // the game's reads never see it
  const auto a = kv::gfx::LoadImageFile((dir / "plain.png").string());
  const auto b = kv::gfx::LoadImageFile((dir / "shown.png").string());
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->Pixel(4, 4) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(b->Pixel(2, 2) & 0xFFFFFF, 0x3F3F3Fu);  // the dark box over white
  EXPECT_EQ(b->Pixel(1, 1) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(b->Pixel(200, 200), a->Pixel(200, 200));
  UserFile("[debug]\nshow_fps = on\n");
  ASSERT_EQ(PlayHere(withDraw, "--steps 4 --virtual-clock --screenshot 3:file.png").exitCode, 0);
  const auto c = kv::gfx::LoadImageFile((dir / "file.png").string());
  ASSERT_TRUE(c);
  EXPECT_EQ(c->pixels, b->pixels);
}

// --mute (or mute = on): the mix runs as always, the capture holds silence.
TEST_F(UserSettingsRun, MuteMixesToSilence) {
  const std::vector<uint8_t> tone = kv::soundtest::Wav16(kv::soundtest::Sine(440, 0.5, 44100, 0.3), 1, 44100);
  fs::create_directories(dir / "project" / "sounds");
  std::ofstream(dir / "project" / "sounds" / "tone.wav", std::ios::binary)
      .write(reinterpret_cast<const char*>(tone.data()), static_cast<std::streamsize>(tone.size()));
  Write("game.kvp", "[sound snd_tone]\nfile = sounds/tone.wav\n[object obj_p]\nevent create = create.kvs\n"
                    "event step = step.kvs\n[room rm]\nspeed = 10\ninstance obj_p 0 0\n");
  Write("create.kvs", "n = 0; sound_play(snd_tone);");
  Write("step.kvs", "n += 1; if (n == 3) show_debug_message(sound_isplaying(snd_tone));");
  const std::string game = Pack();
  auto samples = [&](const std::string& file) {
    const std::string bytes = ReadFile(dir / file);
    std::vector<float> s(bytes.size() > 44 ? (bytes.size() - 44) / 4 : 0);
    if (!s.empty()) std::memcpy(s.data(), bytes.data() + 44, s.size() * 4);
    return s;
  };
  UserFile("");
  Result loud = PlayHere(game, "--steps 5 --audio-capture loud.wav");
  Result muted = PlayHere(game, "--steps 5 --mute --audio-capture muted.wav");
  EXPECT_EQ(muted.out, "1\n");
  EXPECT_EQ(muted.out, loud.out);
  ASSERT_EQ(samples("muted.wav").size(), 2u * 22050);
  EXPECT_EQ(samples("muted.wav").size(), samples("loud.wav").size());
  EXPECT_GT(kv::soundtest::Rms(samples("loud.wav"), 0), 0.1);
  EXPECT_EQ(kv::soundtest::Rms(samples("muted.wav"), 0), 0.0);
  EXPECT_EQ(kv::soundtest::Rms(samples("muted.wav"), 1), 0.0);
  UserFile("[sound]\nmute = on\n");
  ASSERT_EQ(PlayHere(game, "--steps 5 --audio-capture file.wav").exitCode, 0);
  EXPECT_EQ(kv::soundtest::Rms(samples("file.wav"), 0), 0.0);
}

}  // namespace

namespace {

// In a real window (under xvfb-run) the overlay is drawn into every presented frame and taken out again: a game
// that never clears its frame reads its own pixels where the box was shown.
TEST_F(UserSettingsRun, ShowFpsInAWindowLeavesTheGamesFrameAlone) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
  Write("game.kvp", "[object obj_p]\nevent create = create.kvs\nevent step = step.kvs\nevent draw = draw.kvs\n"
                    "[room rm]\nwidth = 320\nheight = 240\nshow_colour = false\ninstance obj_p 0 0\n");
  Write("create.kvs", "n = 0;");
  Write("step.kvs", "n += 1; if (n == 5) game_end();");
  Write("draw.kvs", "if (n == 1) { draw_set_color(c_red); draw_rectangle(0, 0, 320, 240, false); }"
                    "if (n == 4) show_debug_message(draw_getpixel(4, 4));");
  const std::string game = Pack();
  auto play = [&](const std::string& options) {
    return RunCommand("cd " + dir.string() + " && xvfb-run -a -n " + std::to_string(200 + getpid() % 5000) +
                      " -s '-screen 0 1024x768x24' env -u SDL_VIDEODRIVER XDG_CONFIG_HOME=" +
                      (dir / "config").string() + " " + KV_BIN_DIR + "/kvrun " + game + " --audio null " + options);
  };
  Result plain = play("");
  if (plain.exitCode != 0) GTEST_SKIP() << "no window on the virtual X server";
  EXPECT_EQ(plain.out, "255\n");
  Result shown = play("--show-fps --screenshot 2:shown.png");
  EXPECT_EQ(shown.exitCode, 0);
  EXPECT_EQ(shown.out, "255\n");
  const auto shot = kv::gfx::LoadImageFile((dir / "shown.png").string());
  ASSERT_TRUE(shot);
  EXPECT_NE(shot->Pixel(4, 4) & 0xFFFFFF, 0xFF0000u);  // the shot is the frame as shown
}

}  // namespace
