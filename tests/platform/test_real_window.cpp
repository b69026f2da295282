// The real window path under a virtual X server (xvfb-run): kvrun without --headless opens an SDL window with the
// GL device, plays, exits 0 and renders the frames a headless run renders; the window and display functions act
// on the real window. Skipped where xvfb-run is not installed. Display modes really change in full screen on an X
// server that offers several (skipped where none does). Also the run's secure mode, which needs no display.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "graphics/bitmap_ops.h"
#include "platform/sdl/sdl_window.h"
#include "world/test_run_fixture.h"

namespace {

using kvtest::Result;
using kvtest::RunCommand;
namespace fs = std::filesystem;

bool HaveXvfb() { return std::system("command -v xvfb-run >/dev/null 2>&1") == 0; }

// xvfb-run with a free display number; tests running side by side start their search at different numbers, so
// two servers starting at once do not race for the same one.
std::string XvfbRun(const std::string& screen) {
  return "xvfb-run -a -n " + std::to_string(100 + getpid() % 5000) + " -s '-screen 0 " + screen + "x24' ";
}

class RealWindow : public kvtest::RunGameTest {
 protected:
  void SetUp() override {
    if (!HaveXvfb()) GTEST_SKIP() << "xvfb-run is not installed";
    RunGameTest::SetUp();
  }
  // kvrun in the test directory on a 1280 × 1024 virtual screen; the test process may have chosen offscreen
  // video for its own GL tests, which must not reach the child.
  Result PlayOnX(const std::string& game, const std::string& options) {
    return RunCommand("cd " + dir.string() + " && " + XvfbRun("1280x1024") + "env -u SDL_VIDEODRIVER " +
                      KV_BIN_DIR + "/kvrun " + game + " " + options);
  }
  Result PlayHeadless(const std::string& game, const std::string& options) {
    return RunCommand("cd " + dir.string() + " && " + KV_BIN_DIR + "/kvrun " + game + " --headless " + options);
  }
};

// Largest difference of one channel between two images of equal size; −1 when they cannot be compared.
int MaxChannelDifference(const std::string& a, const std::string& b) {
  auto x = kv::gfx::LoadImageFile(a), y = kv::gfx::LoadImageFile(b);
  if (!x || !y || x->width != y->width || x->height != y->height) return -1;
  int worst = 0;
  for (size_t i = 0; i < x->pixels.size(); ++i)
    for (int shift : {0, 8, 16}) {
      const int d = static_cast<int>((x->pixels[i] >> shift) & 0xFF) - static_cast<int>((y->pixels[i] >> shift) & 0xFF);
      worst = std::max(worst, std::abs(d));
    }
  return worst;
}

TEST_F(RealWindow, DemoPlaysAndRendersTheHeadlessFrames) {
  const std::string game = (dir / "demo.kvgame").string();
  ASSERT_EQ(RunCommand(std::string(KV_BIN_DIR) + "/kvpack " + KV_SOURCE_DIR + "/demo " + game).exitCode, 0);
  // The virtual clock makes both runs step alike (fps and the random seed included); with scripted answers the
  // demo's opening question and splash answer from the script in both runs.
  std::ofstream(dir / "answers.txt") << "question yes\n";
  const std::string options =
      "--steps 40 --virtual-clock --seed 3 --answers answers.txt --screenshot 10:A.png --screenshot 35:B.png";
  Result real = PlayOnX(game, options + " && mv A.png xA.png && mv B.png xB.png");
  ASSERT_EQ(real.exitCode, 0) << real.out;
  Result headless = PlayHeadless(game, options);
  ASSERT_EQ(headless.exitCode, 0) << headless.out;
  EXPECT_EQ(real.out, headless.out);
  for (const char* shot : {"A.png", "B.png"}) {
    EXPECT_EQ(MaxChannelDifference((dir / shot).string(), (dir / (std::string("x") + shot)).string()), 0) << shot;
  }
}

// The 3D maze (depth buffer, lights, fog, textured shapes, a model from a file) walks and turns alike on the
// window and headless.
TEST_F(RealWindow, MazeDemoPlaysIn3DAndRendersTheHeadlessFrames) {
  const std::string game = (dir / "maze.kvgame").string();
  ASSERT_EQ(RunCommand(std::string(KV_BIN_DIR) + "/kvpack " + KV_SOURCE_DIR + "/demo_maze3d " + game).exitCode, 0);
  std::ofstream(dir / "input.txt") << "@2 keydown 38\n@8 keyup 38\n@9 keydown 37\n";
  const std::string options =
      "--steps 14 --virtual-clock --input input.txt --screenshot 3:A.png --screenshot 12:B.png";
  Result real = PlayOnX(game, options + " && mv A.png xA.png && mv B.png xB.png");
  ASSERT_EQ(real.exitCode, 0) << real.out;
  Result headless = PlayHeadless(game, options);
  ASSERT_EQ(headless.exitCode, 0) << headless.out;
  for (const char* shot : {"A.png", "B.png"}) {
    EXPECT_EQ(MaxChannelDifference((dir / shot).string(), (dir / (std::string("x") + shot)).string()), 0) << shot;
  }
  auto a = kv::gfx::LoadImageFile((dir / "A.png").string()), b = kv::gfx::LoadImageFile((dir / "B.png").string());
  ASSERT_TRUE(a && b);
  EXPECT_NE(a->pixels, b->pixels);  // the player walked and turned, the light went along
}

TEST_F(RealWindow, WindowAndDisplayFunctionsActOnTheWindow) {
  Write("game.kvp",
        "[object obj_probe]\n"
        "event create = create.kvs\n"
        "event step = step.kvs\n"
        "event draw = draw.kvs\n"
        "[room rm_one]\n"
        "width = 320\n"
        "height = 240\n"
        "caption = \"Probe room\"\n"
        "instance obj_probe 0 0\n");
  Write("create.kvs",
        "n = 0; window_set_caption('probe'); window_set_size(400, 300);"
        "show_debug_message('size ' + string(window_get_width()) + 'x' + string(window_get_height()));"
        "show_debug_message('caption ' + window_get_caption());"
        "show_debug_message('region ' + string(window_get_region_width()) + ' ' + string(window_get_region_scale()));"
        "window_set_cursor(cr_none); show_debug_message('cursor ' + string(window_get_cursor()));"
        "show_debug_message('test ' + string(display_test_all(-1, -1, -1, 32)));");
  Write("draw.kvs", "draw_set_color(c_red); draw_rectangle(0, 0, 320, 240, false);");
  Write("step.kvs",
        "n += 1; if (n == 3) { screen_save('frame.bmp'); }"
        "if (n == 4) { window_mouse_set(40, 30); show_debug_message('mouse ' + string(window_mouse_get_x()));"
        "  show_debug_message('drawn ' + window_get_caption()); }"
        "if (n == 5) game_end();");
  const std::string game = Pack();
  Result real = PlayOnX(game, "--steps 20 --fast");
  ASSERT_EQ(real.exitCode, 0) << real.out;
  const std::string expected =
      "size 400x300\ncaption probe\nregion 320 1\ncursor -1\ntest 1\nmouse 40\ndrawn Probe room\n";
  EXPECT_EQ(real.out, expected);
  auto frame = kv::gfx::LoadImageFile((dir / "frame.bmp").string());
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->width, 320);
  EXPECT_EQ(frame->pixels[frame->width * 10 + 10] & 0xFFFFFF, 0xFF0000u);
  // The same game headless answers alike.
  Result headless = PlayHeadless(game, "--steps 20 --fast");
  EXPECT_EQ(headless.out, expected);
}

// The runner's secure mode reaches the game: KV_SECURE_MODE=1 refuses saving the screen outside the working
// directory (reported as an error) and still saves inside it. Needs no display.
using HeadlessRun = kvtest::RunGameTest;

TEST_F(HeadlessRun, FromTheEnvironmentRefusesOutsideWrites) {
  Write("game.kvp", "[object obj_p]\nevent create = create.kvs\n[room rm]\ninstance obj_p 0 0\n");
  Write("create.kvs",
        "screen_save('../outside.bmp'); screen_save('inside.bmp');"
        "show_debug_message('secure ' + string(secure_mode)); game_end();");
  const std::string game = Pack();
  fs::create_directories(dir / "work");
  Result r = RunCommand("cd " + (dir / "work").string() + " && KV_SECURE_MODE=1 " + KV_BIN_DIR + "/kvrun " + game +
                        " --headless --fast --steps 5");
  EXPECT_NE(r.out.find("secure 1"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir / "outside.bmp"));
  EXPECT_TRUE(fs::exists(dir / "work" / "inside.bmp"));
  r = RunCommand("cd " + (dir / "work").string() + " && " + KV_BIN_DIR + "/kvrun " + game + " --headless --fast --steps 5");
  EXPECT_NE(r.out.find("secure 0"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(dir / "outside.bmp"));
}

// The X server sees the geometry the game asked for (no window manager: the client area is the window).
TEST_F(RealWindow, XServerSeesTheRequestedGeometry) {
  if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool is not installed";
  Write("game.kvp",
        "[object obj_g]\nevent create = create.kvs\nevent step = step.kvs\n"
        "[room rm]\nwidth = 320\nheight = 240\nspeed = 30\ncaption = \"geometry probe\"\ninstance obj_g 0 0\n");
  Write("create.kvs", "n = 0;");
  // Step 2 moves the window and renames it; the new caption tells the outside that the geometry is in place.
  Write("step.kvs",
        "n += 1; if (n == 2) { window_set_rectangle(100, 80, 400, 300); room_caption = 'geometry ready'; }"
        "if (n == 3) show_debug_message(string(window_get_x()) + ',' + string(window_get_y()) + ' ' +"
        "  string(window_get_width()) + 'x' + string(window_get_height()));");
  const std::string game = Pack();
  // The game would play for ten seconds; soon after xdotool has seen the renamed window, the run is stopped.
  Result r = RunCommand("cd " + dir.string() + " && " + XvfbRun("1024x768") + "sh -c '" +
                        "env -u SDL_VIDEODRIVER " + KV_BIN_DIR + "/kvrun " + game + " --steps 300 & pid=$!; " +
                        "timeout 60 xdotool search --sync --name \"^geometry ready$\" getwindowgeometry; " +
                        "sleep 0.5; kill $pid; wait $pid; true'");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("100,80 400x300"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Position: 100,80"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Geometry: 400x300"), std::string::npos) << r.out;
}

// The message box in a real window takes the keys: the N shortcut picks the third button; in the input box
// Backspace clears the selected default and the typed name is returned with Enter. Afterwards the game window has
// the keyboard again (Space ends the game) and still draws with its own GL context.
TEST_F(RealWindow, MessageBoxWindowsAnswerTheKeyboard) {
  if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool is not installed";
  Write("game.kvp", "[object obj_q]\nevent create = create.kvs\nevent draw = draw.kvs\n"
                    "event keypress space = space.kvs\n[room rm]\ninstance obj_q 0 0\n");
  Write("create.kvs",
        "message_caption(true, 'First box'); q = show_message_ext('Play?', '&Yes', '', '&No');"
        "show_debug_message('button ' + string(q));"
        "message_caption(true, 'Second box'); show_debug_message('name ' + get_string('Name?', 'abc'));"
        "room_caption = 'asked';");
  Write("draw.kvs", "draw_set_color(c_red); draw_rectangle(0, 0, 100, 100, false);");
  Write("space.kvs", "show_debug_message('space'); game_end();");
  const std::string game = Pack();
  Result r = RunCommand("cd " + dir.string() + " && " + XvfbRun("1024x768") + "sh -c '" +
                        "env -u SDL_VIDEODRIVER " + KV_BIN_DIR + "/kvrun " + game +
                        " --steps 600 --screenshot 5:shot.png & pid=$!; " +
                        "timeout 30 xdotool search --sync --name \"^First box$\" >/dev/null; sleep 0.5; xdotool key n; " +
                        "timeout 30 xdotool search --sync --name \"^Second box$\" >/dev/null; sleep 0.5; " +
                        "xdotool key BackSpace; xdotool type Bob; xdotool key Return; " +
                        "timeout 30 xdotool search --sync --name \"^asked$\" >/dev/null; sleep 1; xdotool key space; " +
                        "sleep 1; kill $pid 2>/dev/null; wait $pid; true'");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out, "button 3\nname Bob\nspace\n");
  auto shot = kv::gfx::LoadImageFile((dir / "shot.png").string());
  ASSERT_TRUE(shot);
  EXPECT_EQ(shot->pixels[static_cast<size_t>(shot->width) * 50 + 50] & 0xFFFFFF, 0xFF0000u);
}

// In full screen the message box is drawn inside the game window: no window of its own appears (it could hide
// behind the full-screen game), Enter answers it from the game window's keys, so does the input box with typed
// text, and the game goes on.
TEST_F(RealWindow, FullScreenMessageIsDrawnInsideTheGameWindow) {
  if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool is not installed";
  Write("game.kvp", "[settings]\nfull_screen = true\n"
                    "[object obj_m]\nevent create = create.kvs\nevent alarm 0 = ask.kvs\n"
                    "event alarm 1 = after.kvs\nevent draw = draw.kvs\n[room rm]\ninstance obj_m 0 0\n");
  Write("create.kvs", "room_caption = 'KvFullGame'; alarm[0] = 15;");
  Write("ask.kvs",
        "message_caption(true, 'KvFullBox'); show_debug_message('asking');"
        "show_debug_message('button ' + string(show_message_ext('Go on?', '&Yes', '', '&No')));"
        "message_caption(true, 'KvFullName'); show_debug_message('name ' + get_string('Name?', 'abc'));"
        "alarm[1] = 10;");
  Write("after.kvs", "show_debug_message('went on'); game_end();");
  Write("draw.kvs", "draw_set_color(c_red); draw_rectangle(0, 0, 100, 100, false);");
  const std::string game = Pack();
  std::ofstream(dir / "check.sh")
      << "env -u SDL_VIDEODRIVER " << KV_BIN_DIR << "/kvrun " << game << " --steps 900 2>/dev/null & pid=$!\n"
      << "timeout 30 xdotool search --sync --onlyvisible --name '^KvFullGame$' >/dev/null\n"
      // The box is up half a second after the start; give a busy machine three times that.
      << "sleep 1.5\n"
      << "echo windows $(xdotool search --onlyvisible --name '.' 2>/dev/null | wc -l)\n"
      << "xdotool search --name KvFullBox >/dev/null 2>&1 && echo box window\n"
      << "xdotool key Return\n"
      // The input box that follows takes typed characters; the selected default goes with the first one.
      << "sleep 1; xdotool search --name KvFullName >/dev/null 2>&1 && echo name window\n"
      << "xdotool type Bob; xdotool key Return\n"
      << "wait $pid\necho exit $?\n";
  Result r = RunCommand(XvfbRun("1024x768") + "sh " + (dir / "check.sh").string());
  for (const char* line : {"asking\n", "windows 1\n", "button 1\n", "name Bob\n", "went on\n", "exit 0\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
  EXPECT_EQ(r.out.find("box window"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("name window"), std::string::npos) << r.out;
  // The game waited for the answer.
  EXPECT_LT(r.out.find("windows 1\n"), r.out.find("button 1\n")) << r.out;
}

// F9 saves "screenshot" + n + ".bmp" with the first free n from 100; F4 toggles full screen (headless too).
TEST_F(HeadlessRun, FunctionKeysSaveScreenshotsAndToggleFullScreen) {
  Write("game.kvp", "[object obj_p]\nevent step = step.kvs\n[room rm]\ninstance obj_p 0 0\n");
  Write("step.kvs", "show_debug_message(window_get_fullscreen());");
  const std::string game = Pack();
  std::ofstream(dir / "screenshot100.bmp") << "taken";
  std::ofstream(dir / "input.txt") << "@2 keydown 120\n@3 keyup 120\n@4 keydown 120\n@5 keyup 120\n"
                                      "@6 keydown 115\n@7 keyup 115\n";
  Result r = RunCommand("cd " + dir.string() + " && " + KV_BIN_DIR + "/kvrun " + game +
                        " --headless --fast --steps 8 --input input.txt");
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "0\n0\n0\n0\n0\n1\n1\n1\n");
  EXPECT_TRUE(fs::exists(dir / "screenshot101.bmp"));
  EXPECT_TRUE(fs::exists(dir / "screenshot102.bmp"));
  auto shot = kv::gfx::LoadImageFile((dir / "screenshot101.bmp").string());
  ASSERT_TRUE(shot);
  EXPECT_EQ(shot->width, 640);
}

// The close button: with "treat as Escape" it is the Escape key (which ends the game when that key may); without,
// the close-button event runs in the next step and the game goes on.
TEST_F(HeadlessRun, CloseButtonIsEscapeOrTheCloseEvent) {
  struct Case {
    const char* settings;
    const char* expected;
  } cases[] = {
      // Input of "@3" arrives before step 3: Escape ends the game before that step runs.
      {"", "1\n2\n"},
      // Escape is held from then on (never released), and the game sees it.
      {"close_as_escape = true\nkey_escape = false\n", "1\n2\n3\nkey 27\n4\nkey 27\n5\nkey 27\n"},
      {"close_as_escape = false\n", "1\n2\nclose\n3\n4\n5\n"},
  };
  for (const auto& c : cases) {
    Write("game.kvp", std::string("[settings]\n") + c.settings +
                          "[object obj_p]\nevent create = create.kvs\nevent step = step.kvs\n"
                          "event other close_button = close.kvs\n[room rm]\ninstance obj_p 0 0\n");
    Write("create.kvs", "n = 0;");
    Write("step.kvs", "n += 1; show_debug_message(n); if (keyboard_check(vk_escape)) show_debug_message('key 27');");
    Write("close.kvs", "show_debug_message('close');");
    const std::string game = Pack();
    std::ofstream(dir / "input.txt") << "@3 close\n";
    Result r = RunCommand("cd " + dir.string() + " && " + KV_BIN_DIR + "/kvrun " + game +
                          " --headless --fast --steps 5 --input input.txt");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, c.expected) << c.settings;
  }
}

// keyboard_wait headless: the next scripted key arrives at once; with no input left it returns instead of hanging.
TEST_F(HeadlessRun, KeyboardWaitTakesTheNextScriptedKey) {
  Write("game.kvp", "[object obj_p]\nevent create = create.kvs\n[room rm]\ninstance obj_p 0 0\n");
  Write("create.kvs",
        "keyboard_wait(); show_debug_message('key ' + string(keyboard_key));"
        "keyboard_wait(); show_debug_message('key ' + string(keyboard_key)); game_end();");
  const std::string game = Pack();
  std::ofstream(dir / "input.txt") << "@50 move 3 4\n@60 keydown 65\n";
  Result r = RunCommand("cd " + dir.string() + " && timeout 20 " + KV_BIN_DIR + "/kvrun " + game +
                        " --headless --fast --steps 5 --input input.txt");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "key 65\nkey 0\n");
}

// The settings' display mode is asked for at start; headless, the virtual desktop takes it when it fits.
TEST_F(HeadlessRun, SettingsRequestTheirDisplayMode) {
  struct Case {
    const char* settings;
    const char* expected;
  } cases[] = {
      {"set_resolution = true\nresolution = 2\ncolor_depth = 1\nfrequency = 3\n", "640x480 16 85\n"},
      {"set_resolution = true\nresolution = 3\n", "800x600 32 60\n"},
      {"set_resolution = true\nresolution = 6\n", "1024x768 32 60\n"},  // larger than the desktop: refused
      {"set_resolution = false\nresolution = 2\n", "1024x768 32 60\n"},
  };
  for (const Case& c : cases) {
    Write("game.kvp", std::string("[settings]\n") + c.settings +
                          "[object obj_p]\nevent create = create.kvs\n[room rm]\ninstance obj_p 0 0\n");
    Write("create.kvs",
          "show_debug_message(string(display_get_width()) + 'x' + string(display_get_height()) + ' ' +"
          "  string(display_get_colordepth()) + ' ' + string(display_get_frequency())); game_end();");
    Result r = Play(Pack(), "--steps 3");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, c.expected) << c.settings;
  }
}

// ---- display modes on a real X server ----

// The window service's modes without a screen (offscreen video, which lists a 0 × 0 mode): only real sizes are
// listed, the desktop's in 32 bits, a mode the display does not list is refused and full screen keeps the
// desktop's.
TEST(SdlWindowModes, OnlyListedModesAreTaken) {
  kv::plat::UseHeadlessVideo();
  auto window = kv::plat::CreateSdlWindow("modes", 64, 48);
  if (!window) GTEST_SKIP() << "no offscreen video";
  const kv::plat::DisplayMode desktop = window->DesktopMode();
  EXPECT_GT(desktop.width, 0);
  EXPECT_EQ(desktop.bitsPerPixel, 32);
  for (const kv::plat::DisplayMode& m : window->DisplayModes()) {
    EXPECT_GT(m.width, 0);
    EXPECT_GT(m.height, 0);
  }
  const kv::plat::DisplayMode unlisted{12345, 678, 32, 60};
  EXPECT_FALSE(window->SetFullScreenMode(&unlisted));
  EXPECT_TRUE(window->SetFullScreenMode(nullptr));
  window->SetFrame({false, true, false, true, false});
  EXPECT_EQ(window->CurrentMode().width, desktop.width);
  EXPECT_EQ(window->CurrentMode().height, desktop.height);
  window->SetFrame({});
}

// An X server with several display modes: Xvfb offers just one, so this is Xorg with its dummy video driver on a
// monitor that lists the usual sizes. Empty when that server cannot run here (not installed, not allowed).
class ModeServer {
 public:
  ModeServer() {
    if (std::system("command -v Xorg >/dev/null 2>&1 && command -v xrandr >/dev/null 2>&1 && "
                    "command -v xdotool >/dev/null 2>&1 && test -f /usr/lib/xorg/modules/drivers/dummy_drv.so") != 0)
      return;
    dir_ = fs::temp_directory_path() / ("kv_modes_x_" + std::to_string(getpid()));
    fs::create_directories(dir_);
    std::ofstream(dir_ / "dummy.conf")
        << "Section \"Device\"\n Identifier \"dev\"\n Driver \"dummy\"\n VideoRam 64000\nEndSection\n"
           "Section \"Monitor\"\n Identifier \"mon\"\n HorizSync 5.0 - 1000.0\n VertRefresh 5.0 - 200.0\nEndSection\n"
           "Section \"Screen\"\n Identifier \"scr\"\n Device \"dev\"\n Monitor \"mon\"\n DefaultDepth 24\n"
           " SubSection \"Display\"\n  Depth 24\n  Modes \"1280x1024\" \"1024x768\" \"800x600\" \"640x480\"\n"
           " EndSubSection\nEndSection\n";
    // A display number of our own (processes running side by side start at different numbers).
    for (int n = 200 + getpid() % 3000, tries = 0; tries < 20; ++n, ++tries) {
      if (fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) || fs::exists("/tmp/.X" + std::to_string(n) + "-lock"))
        continue;
      display_ = ":" + std::to_string(n);
      break;
    }
    if (display_.empty()) return;
    const std::string start = "Xorg " + display_ + " -config " + (dir_ / "dummy.conf").string() +
                              " -noreset -nolisten tcp -sharevts -novtswitch -logfile " + (dir_ / "x.log").string() +
                              " >/dev/null 2>&1 & echo $!";
    pid_ = std::atoi(RunCommand(start).out.c_str());
    for (int i = 0; i < 100 && !Up(); ++i) usleep(100000);
    if (!Up()) Stop();
  }
  ~ModeServer() { Stop(); }
  bool Up() const { return pid_ > 0 && RunCommand("xrandr -d " + display_ + " >/dev/null").exitCode == 0; }
  const std::string& Display() const { return display_; }
  // The mode the screen shows ("1280x1024"), and how many sizes the server offers.
  std::string ScreenMode() const { return Trim(RunCommand("xrandr -d " + display_ + " | awk '/\\*/{print $1}'").out); }
  int Sizes() const { return std::atoi(RunCommand("xrandr -d " + display_ + " | grep -c '^   '").out.c_str()); }
  void SetMode(const std::string& mode) const {
    RunCommand("xrandr -d " + display_ + " -s " + mode);
  }

 private:
  static std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
  }
  void Stop() {
    if (pid_ > 0) RunCommand("kill " + std::to_string(pid_) + "; sleep 0.2");
    pid_ = 0;
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  fs::path dir_;
  std::string display_;
  int pid_ = 0;
};

class DisplayModes : public kvtest::RunGameTest {
 protected:
  void SetUp() override {
    RunGameTest::SetUp();
    server_ = std::make_unique<ModeServer>();
    if (!server_->Up()) GTEST_SKIP() << "no X server with several display modes (Xorg with the dummy driver)";
    if (server_->Sizes() < 2) GTEST_SKIP() << "the X server offers one display mode only";
    server_->SetMode("1280x1024");
  }
  void TearDown() override {
    server_.reset();
    RunGameTest::TearDown();
  }
  // Runs kvrun on the server; each time the game shows one of the captions, the screen's mode is noted as
  // "caption: mode". `then` runs after the last caption (default: wait for the game to end).
  Result Watch(const std::string& game, const std::vector<std::string>& captions, const std::string& then = "") {
    const std::string d = server_->Display();
    std::string script = "export DISPLAY=" + d + "; env -u SDL_VIDEODRIVER " + std::string(KV_BIN_DIR) + "/kvrun " +
                         game + " --steps 2000 & pid=$!; ";
    for (const std::string& c : captions)
      script += "timeout 15 xdotool search --sync --name '^" + c + "$' >/dev/null; sleep 0.2; echo \"" + c +
                ": $(xrandr | awk '/\\*/{print $1}')\"; ";
    script += then.empty() ? "wait $pid; echo \"exit $?\"; " : then;
    script += "echo \"after: $(xrandr | awk '/\\*/{print $1}')\"";
    std::ofstream(dir / "watch.sh") << script << "\n";
    return RunCommand("cd " + dir.string() + " && sh watch.sh");
  }
  std::unique_ptr<ModeServer> server_;
};

TEST_F(DisplayModes, FullScreenUsesTheRequestedModeAndGivesTheDesktopBack) {
  Write("game.kvp",
        "[object obj_m]\nevent create = create.kvs\nevent step = step.kvs\n"
        "[room rm]\nwidth = 320\nheight = 240\nspeed = 30\ninstance obj_m 0 0\n");
  // Windowed, the request waits; each phase names itself in the caption once it is in place and lasts two
  // seconds, so the watcher sees every phase even on a busy machine.
  Write("create.kvs",
        "n = 0; show_debug_message(string(display_set_size(800, 600)) + ' ' + string(display_get_width()) + ' ' +"
        "  string(display_test_all(1024, 768, 0, 32)) + ' ' + string(display_test_all(1000, 700, 0, 0)));"
        "room_caption = 'windowed';");
  Write("step.kvs",
        "n += 1;"
        "if (n == 60) { window_set_fullscreen(true); room_caption = 'full 800';"
        "  show_debug_message(string(display_get_width()) + ' ' + string(window_get_width())); }"
        "if (n == 120) { window_set_fullscreen(false); room_caption = 'windowed again'; }"
        "if (n == 180) { window_set_fullscreen(true); display_set_size(640, 480); room_caption = 'full 640';"
        "  show_debug_message(string(display_get_height()) + ' ' + string(display_get_colordepth())); }"
        "if (n == 240) { display_reset(); room_caption = 'reset';"
        "  show_debug_message(string(display_get_width())); }"
        "if (n == 300) { display_set_size(1024, 768); room_caption = 'full 1024'; }"
        "if (n == 360) game_end();");  // still in 1024 × 768: the exit gives the desktop back
  const std::string game = Pack();
  Result r = Watch(game, {"windowed", "full 800", "windowed again", "full 640", "reset", "full 1024"});
  EXPECT_EQ(r.out,
            "1 1280 1 0\n"
            "windowed: 1280x1024\n"
            "800 800\n"
            "full 800: 800x600\n"
            "windowed again: 1280x1024\n"
            "480 32\n"
            "full 640: 640x480\n"
            "1280\n"
            "reset: 1280x1024\n"
            "full 1024: 1024x768\n"
            "exit 0\n"
            "after: 1280x1024\n");
}

// A process stopped from outside, or crashing, in the game's mode leaves the desktop in its own mode.
TEST_F(DisplayModes, DesktopModeComesBackWhenTheProcessDies) {
  Write("game.kvp",
        "[settings]\nfull_screen = true\nset_resolution = true\nresolution = 3\n"  // 800 × 600 from the settings
        "[object obj_m]\nevent create = create.kvs\nevent alarm 0 = playing.kvs\n[room rm]\nspeed = 30\n"
        "instance obj_m 0 0\n");
  // The caption comes a second after the start, when the window has long been in its full-screen mode even on a
  // busy machine.
  Write("create.kvs", "alarm[0] = 30;");
  Write("playing.kvs", "room_caption = 'playing';");
  const std::string game = Pack();
  for (const char* signal : {"TERM", "SEGV"}) {
    // The X server applies the mode the dying process gives back asynchronously: allow it two seconds.
    Result r = Watch(game, {"playing"},
                     std::string("kill -") + signal + " $pid; wait $pid; for i in $(seq 20); do "
                     "xrandr | grep -q '1280x1024.*\\*' && break; sleep 0.1; done; ");
    EXPECT_EQ(r.out, "playing: 800x600\nafter: 1280x1024\n") << signal;
    server_->SetMode("1280x1024");
  }
}

// show_menu headless: the scripted "menu N" answer picks item N (separators not counted); without one, the default.
TEST_F(HeadlessRun, MenusTakeScriptedAnswers) {
  Write("game.kvp", "[object obj_p]\nevent create = create.kvs\n[room rm]\ninstance obj_p 0 0\n");
  Write("create.kvs",
        "show_debug_message(show_menu('New|-|Open|Quit', -1));"
        "show_debug_message(show_menu_pos(10, 10, 'A|B', 5)); game_end();");
  const std::string game = Pack();
  std::ofstream(dir / "answers.txt") << "menu 2\n";
  Result r = RunCommand("cd " + dir.string() + " && " + KV_BIN_DIR + "/kvrun " + game +
                        " --headless --fast --steps 3 --answers answers.txt");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "2\n5\n");
}

}  // namespace
