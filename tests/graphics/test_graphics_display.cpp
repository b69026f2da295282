// Display modes: requests reported back, parameters ≤ 0 unchanged, settings codes; the display functions, the
// virtual desktop of headless runs and saving the screen under secure mode; on a real screen, which listed mode
// a request picks and how the game window uses it for full screen.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <vector>

#include "functions/call_builtin.h"
#include "graphics/bitmap_ops.h"
#include "graphics/gfx_fixture.h"
#include "graphics/graphics_display.h"
#include "world/run_main.h"
#include "runner/runner_wiring.h"

namespace kv::gfx {
namespace {

class FakeDisplay : public plat::IDisplay {
 public:
  plat::DisplayMode mode{1280, 1024, 32, 60};
  int tests = 0;
  plat::DisplayMode Desktop() const override { return mode; }
  bool SetMode(int w, int h, int hz, int bpp, bool testOnly) override {
    if (bpp > 0 && bpp != 16 && bpp != 32) return false;
    if (testOnly) {
      ++tests;
      return true;
    }
    if (w > 0) mode.width = w;
    if (h > 0) mode.height = h;
    if (hz > 0) mode.frequency = hz;
    if (bpp > 0) mode.bitsPerPixel = bpp;
    return true;
  }
  void Restore() override { mode = {1280, 1024, 32, 60}; }
  void GlobalMouse(int& x, int& y) const override { x = 7, y = 9; }
  void SetGlobalMouse(int, int) override {}
  void WaitVBlank() override {}
};

TEST(GraphicsDisplay, ChangesAndCodes) {
  FakeDisplay d;
  AttachDisplay(&d);
  EXPECT_TRUE(ChangeDisplay(-1, -1, -1, 16));  // only the colour depth
  EXPECT_EQ(DisplayWidth(), 1280);
  EXPECT_EQ(DisplayColourDepth(), 16);
  EXPECT_FALSE(ChangeDisplay(0, 0, 0, 24));
  EXPECT_TRUE(TestDisplay(800, 600, 0, 0));
  EXPECT_EQ(DisplayWidth(), 1280);
  EXPECT_EQ(d.tests, 1);
  RestoreDisplay();
  EXPECT_EQ(DisplayColourDepth(), 32);
  EXPECT_EQ(DisplayMouseY(), 9);
  AttachDisplay(nullptr);
  EXPECT_EQ(DisplayWidth(), 1024);

  int w, h;
  ResolutionFromCode(3, w, h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  ResolutionFromCode(7, w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(DepthFromCode(2), 32);
  EXPECT_EQ(DepthFromCode(0), 0);
  EXPECT_EQ(FrequencyFromCode(5), 120);
  EXPECT_EQ(FrequencyFromCode(6), 0);
}

// ---- the display functions of the script language ----

using test::S;

class DisplayFunctionsTest : public test::RecordingGfxTest {
 protected:
  void SetUp() override {
    RecordingGfxTest::SetUp();
    RegisterAllBuiltinFunctions();
    AttachDisplay(nullptr);
    Game().secureMode = false;
    // Files land in a scratch working directory of this test.
    home_ = std::filesystem::current_path();
    dir_ = std::filesystem::temp_directory_path() /
           ("kv_display_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "sub");
    std::filesystem::current_path(dir_ / "sub");
  }
  void TearDown() override {
    std::filesystem::current_path(home_);
    std::filesystem::remove_all(dir_);
    Game().secureMode = false;
    AttachDisplay(nullptr);
    RecordingGfxTest::TearDown();
  }
  std::filesystem::path home_, dir_;
  test::BuiltinCaller call;
};

TEST_F(DisplayFunctionsTest, VirtualDesktopModes) {
  struct Step {
    const char* fn;
    std::vector<double> args;
    double result;       // −1: not checked
    int w, h, bpp, hz;   // desktop afterwards
  } steps[] = {
      {"display_test_all", {640, 480, 60, 16}, 1, 1024, 768, 32, 60},  // nothing changes
      {"display_test_all", {1600, 1200, 0, 0}, 0, 1024, 768, 32, 60},  // larger than the screen
      {"display_set_size", {800, 600}, 1, 800, 600, 32, 60},
      {"display_set_all", {-1, -1, -1, 16}, 1, 800, 600, 16, 60},      // only the colour depth
      {"display_set_colordepth", {24}, 0, 800, 600, 16, 60},
      {"display_set_frequency", {85}, 1, 800, 600, 16, 85},
      {"display_set_frequency", {75}, 0, 800, 600, 16, 85},
      {"display_set_size", {333, 222}, 0, 800, 600, 16, 85},
      {"display_reset", {}, -1, 1024, 768, 32, 60},
      {"display_set_all", {1e300, std::nan(""), 0, 0}, 0, 1024, 768, 32, 60},    // saturated, refused
  };
  for (const auto& s : steps) {
    RValue args[4];
    for (size_t i = 0; i < s.args.size(); ++i) args[i] = s.args[i];
    const RBuiltinFunction* fn = GetBuiltinFunction(FindBuiltinFunction(s.fn));
    ASSERT_NE(fn, nullptr) << s.fn;
    ASSERT_EQ(fn->argCount, static_cast<int>(s.args.size())) << s.fn;
    RValue r;
    fn->handler(r, nullptr, nullptr, fn->argCount, args);
    if (s.result >= 0) {
      EXPECT_EQ(r.Real(), s.result) << s.fn << " " << (s.args.empty() ? 0 : s.args[0]);
    }
    EXPECT_EQ(call.Real("display_get_width"), s.w) << s.fn;
    EXPECT_EQ(call.Real("display_get_height"), s.h) << s.fn;
    EXPECT_EQ(call.Real("display_get_colordepth"), s.bpp) << s.fn;
    EXPECT_EQ(call.Real("display_get_frequency"), s.hz) << s.fn;
  }
  // A changed desktop is what the window centres on and what limits the render size.
  call.Call("display_set_size", {640.0, 480.0});
  EXPECT_EQ(Win().desktopWidth, 640);
  EXPECT_EQ(D3D().desktopHeight, 480);
  call.Call("display_reset");
  EXPECT_EQ(Win().desktopWidth, 1024);
}

TEST_F(DisplayFunctionsTest, DesktopMouseIsTheWindowMouseMoved) {
  Win().clientLeft = 100;
  Win().clientTop = 40;
  call.Call("display_mouse_set", {300.0, 200.0});
  EXPECT_EQ(call.Real("display_mouse_get_x"), 300);
  EXPECT_EQ(call.Real("display_mouse_get_y"), 200);
  EXPECT_EQ(call.Real("window_mouse_get_x"), 200);
  EXPECT_EQ(call.Real("window_mouse_get_y"), 160);
  call.Call("screen_wait_vsync");  // nothing to wait for without a screen
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(DisplayFunctionsTest, ScreenSaveAndSecureMode) {
  namespace fs = std::filesystem;
  gpu.readValue = 0xFF102030;
  struct Case {
    bool secure;
    std::string file;
    bool written;
    const char* error;  // "" for none
  } cases[] = {
      {false, "shot.bmp", true, ""},
      {false, "../up.bmp", true, ""},
      {true, "inside.bmp", true, ""},
      {true, "./deeper/../inside2.bmp", true, ""},
      {true, "../up2.bmp", false, "In secure mode you cannot write file ../up2.bmp"},
      {true, "deeper/../../up3.bmp", false, "In secure mode you cannot write file deeper/../../up3.bmp"},
      {true, (dir_ / "abs.bmp").string(), false, "In secure mode you cannot write file "},
      {true, "C:\\game\\x.bmp", false, "In secure mode you cannot write file C:\\game\\x.bmp"},
      {false, "", false, "Trying to save screen to empty image file name."},
  };
  fs::create_directories("deeper");
  for (const auto& c : cases) {
    Game().secureMode = c.secure;
    call.Call("screen_save", {S(c.file)});
    if (*c.error) {
      ASSERT_EQ(call.errors.size(), 1u) << c.file;
      EXPECT_NE(call.errors[0].find(c.error), std::string::npos) << call.errors[0];
    } else {
      EXPECT_TRUE(call.errors.empty()) << c.file;
    }
    call.errors.clear();
    if (!c.file.empty()) {
      EXPECT_EQ(fs::exists(c.file), c.written) << c.file;
    }
  }
  // screen_save_part clips to the frame: x = −10 starts at 0 with the requested width; a part reaching past the
  // right edge keeps only what the frame has.
  Game().secureMode = true;
  call.Call("screen_save_part", {S("part.bmp"), -10.0, 0.0, 20.0, 5.0});
  auto part = LoadImageFile("part.bmp");
  ASSERT_TRUE(part);
  EXPECT_EQ(part->width, 20);
  EXPECT_EQ(part->height, 5);
  EXPECT_EQ(part->pixels[0] & 0xFFFFFF, 0x102030u);
  call.Call("screen_save_part", {S("edge.bmp"), 630.0, 470.0, 20.0, 20.0});
  auto edge = LoadImageFile("edge.bmp");
  ASSERT_TRUE(edge);
  EXPECT_EQ(edge->width, 10);
  EXPECT_EQ(edge->height, 10);
  call.Call("screen_save_part", {S("nothing.bmp"), 700.0, 0.0, 20.0, 20.0});  // nothing to read: no file
  EXPECT_FALSE(fs::exists("nothing.bmp"));
  call.Call("screen_save_part", {S("/tmp/kv_part_refused.bmp"), 0.0, 0.0, 4.0, 4.0});
  EXPECT_TRUE(call.TookError("In secure mode you cannot write file /tmp/kv_part_refused.bmp"));
  EXPECT_FALSE(fs::exists("/tmp/kv_part_refused.bmp"));
  auto whole = LoadImageFile("inside.bmp");
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->width, 640);
  EXPECT_EQ(whole->height, 480);
}

// ---- real screens: the listed modes and the game window's full screen ----

plat::DisplayMode Mode(int w, int h, int hz, int bpp = 32) { return {w, h, bpp, hz}; }
std::string Text(const std::optional<plat::DisplayMode>& m) {
  if (!m) return "none";
  return std::to_string(m->width) + "x" + std::to_string(m->height) + "@" + std::to_string(m->frequency) + "/" +
         std::to_string(m->bitsPerPixel);
}

TEST(GraphicsDisplay, PickedModeForARequest) {
  const std::vector<plat::DisplayMode> listed = {
      Mode(1920, 1080, 60), Mode(1280, 1024, 60), Mode(1280, 1024, 75), Mode(800, 600, 56),
      Mode(800, 600, 72),   Mode(800, 600, 60, 16), Mode(800, 600, 60), Mode(640, 480, 0)};
  const plat::DisplayMode desktop = Mode(1920, 1080, 60);
  struct Case {
    plat::DisplayMode current;
    int w, h, hz, bpp;
    const char* picked;
  } cases[] = {
      {desktop, 800, 600, 0, 0, "800x600@60/32"},         // the current rate, in 32 bits over 16
      {desktop, 800, 600, 0, 16, "800x600@60/32"},        // 16 bits asked: drawn in 32 all the same
      {desktop, 800, 600, 72, 0, "800x600@72/32"},
      {desktop, 800, 600, 85, 0, "none"},                 // a given rate must be offered
      {Mode(1280, 1024, 75), 800, 600, 0, 0, "800x600@72/32"},  // rate not offered: the highest
      {Mode(1280, 1024, 60), -1, -1, 75, 0, "1280x1024@75/32"},  // only the rate changes
      {Mode(1280, 1024, 75), 0, 0, 0, 32, "1280x1024@75/32"},    // only the depth: the current mode
      {desktop, 0, 0, 0, 24, "none"},
      {desktop, 0, 0, 0, 8, "none"},
      {desktop, 640, 480, 60, 0, "640x480@0/32"},         // a rate the system does not tell counts as 60
      {desktop, 640, 480, 70, 0, "none"},
      {desktop, 333, 222, 0, 0, "none"},
      {desktop, 1024, 768, 0, 0, "none"},
      {desktop, 800, 0, 0, 0, "none"},                    // 800 × the current height
      {desktop, 1920, 1080, 0, 0, "1920x1080@60/32"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Text(PickDisplayMode(listed, c.current, desktop, c.w, c.h, c.hz, c.bpp)), c.picked)
        << c.w << "x" << c.h << "@" << c.hz << "/" << c.bpp << " from " << Text(c.current);
  }
  // The desktop's own mode is always offered, listed or not; nothing else is without a list.
  EXPECT_EQ(Text(PickDisplayMode({}, Mode(1366, 768, 0), Mode(1366, 768, 0), 1366, 768, 0, 0)), "1366x768@0/32");
  EXPECT_EQ(Text(PickDisplayMode({}, Mode(1366, 768, 0), Mode(1366, 768, 0), 1366, 768, 60, 32)), "1366x768@0/32");
  EXPECT_EQ(Text(PickDisplayMode({}, Mode(1366, 768, 0), Mode(1366, 768, 0), 800, 600, 0, 0)), "none");
}

// A game window on a screen with a few modes: full screen switches the screen exactly as the window system
// would (exclusive in the chosen mode, or covering the desktop in its own).
class ModeWindow : public plat::IWindow {
 public:
  std::vector<plat::DisplayMode> modes = {Mode(1920, 1080, 60), Mode(1280, 1024, 60), Mode(1280, 1024, 75),
                                          Mode(800, 600, 60), Mode(640, 480, 60)};
  plat::DisplayMode desktop = Mode(1920, 1080, 60);
  std::optional<plat::DisplayMode> fullScreenMode;
  plat::WindowFrame frame;
  bool refuse = false;
  std::vector<std::string> calls;  // SetFullScreenMode as it was called

  std::vector<plat::DisplayMode> DisplayModes() const override { return modes; }
  plat::DisplayMode DesktopMode() const override { return desktop; }
  plat::DisplayMode CurrentMode() const override {
    return frame.fullscreen && fullScreenMode ? *fullScreenMode : desktop;
  }
  bool SetFullScreenMode(const plat::DisplayMode* m) override {
    calls.push_back(m ? Text(*m) : "desktop");
    if (m && refuse) return false;
    fullScreenMode = m ? std::optional<plat::DisplayMode>(*m) : std::nullopt;
    return true;
  }
  // What the screen shows: the window's mode while it is full screen with one.
  std::string Screen() const { return Text(CurrentMode()); }

  void SetVisible(bool) override {}
  bool Visible() const override { return true; }
  void SetCaption(const std::string&) override {}
  void SetFrame(const plat::WindowFrame& f) override { frame = f; }
  void SetClientRect(const plat::IntRect& r) override { rect = r; }
  plat::IntRect ClientRect() const override { return frame.fullscreen ? plat::IntRect{0, 0, CurrentMode().width, CurrentMode().height} : rect; }
  void SetMinClientSize(int, int) override {}
  void SetCursor(int) override {}
  void Mouse(int& x, int& y) const override { x = y = 0; }
  void WarpMouse(int, int) override {}
  bool IsActive() const override { return true; }
  uint64_t NativeHandle() const override { return 0; }
  void Pump(plat::InputSink&) override {}
  void* SdlWindow() const override { return nullptr; }
  plat::IntRect rect{100, 100, 640, 480};
};

class RealScreenModesTest : public DisplayFunctionsTest {
 protected:
  void SetUp() override {
    DisplayFunctionsTest::SetUp();
    AttachWindow(&window, 1920, 1080);
    AttachDisplay(&display);
  }
  void TearDown() override {
    AttachDisplay(nullptr);
    AttachWindow(nullptr, 1024, 768);
    DisplayFunctionsTest::TearDown();
  }
  // The display as the game sees it.
  std::string Reported() {
    return std::to_string(int(call.Real("display_get_width"))) + "x" +
           std::to_string(int(call.Real("display_get_height"))) + "@" +
           std::to_string(int(call.Real("display_get_frequency"))) + "/" +
           std::to_string(int(call.Real("display_get_colordepth")));
  }
  ModeWindow window;
  FakeDisplay display;
};

TEST_F(RealScreenModesTest, RequestsAreRememberedAndAppliedInFullScreen) {
  struct Step {
    const char* fn;
    std::vector<double> args;
    double result;          // −1: not checked
    const char* screen;     // what the screen shows afterwards
    const char* reported;   // what the display functions report
    const char* lastCall;   // the last mode given to the window, "" when none was given
  } steps[] = {
      // Windowed: a request is remembered by the window; the screen keeps the desktop's mode.
      {"display_test_all", {800, 600, 60, 16}, 1, "1920x1080@60/32", "1920x1080@60/32", ""},
      {"display_test_all", {1024, 768, 0, 0}, 0, "1920x1080@60/32", "1920x1080@60/32", ""},
      {"display_set_size", {800, 600}, 1, "1920x1080@60/32", "1920x1080@60/32", "800x600@60/32"},
      {"display_set_size", {1024, 768}, 0, "1920x1080@60/32", "1920x1080@60/32", "800x600@60/32"},
      // Entering full screen applies it; a rate of that size only given is refused, nothing changes.
      {"window_set_fullscreen", {1}, -1, "800x600@60/32", "800x600@60/32", "800x600@60/32"},
      {"display_set_frequency", {75}, 0, "800x600@60/32", "800x600@60/32", "800x600@60/32"},
      // Parameters ≤ 0 keep what was asked before (800 × 600), 16 bits are drawn in 32.
      {"display_set_all", {-1, -1, -1, 16}, 1, "800x600@60/32", "800x600@60/32", "800x600@60/32"},
      {"display_set_colordepth", {24}, 0, "800x600@60/32", "800x600@60/32", "800x600@60/32"},
      {"display_set_size", {1280, 1024}, 1, "1280x1024@60/32", "1280x1024@60/32", "1280x1024@60/32"},
      {"display_set_frequency", {75}, 1, "1280x1024@75/32", "1280x1024@75/32", "1280x1024@75/32"},
      {"display_test_all", {640, 480, 0, 0}, 1, "1280x1024@75/32", "1280x1024@75/32", "1280x1024@75/32"},
      // Leaving full screen gives the desktop its mode; coming back takes the request up again.
      {"window_set_fullscreen", {0}, -1, "1920x1080@60/32", "1920x1080@60/32", "1280x1024@75/32"},
      {"window_set_fullscreen", {1}, -1, "1280x1024@75/32", "1280x1024@75/32", "1280x1024@75/32"},
      // The desktop's own mode needs no change: full screen just covers the desktop.
      {"display_set_size", {1920, 1080}, 1, "1920x1080@60/32", "1920x1080@60/32", "desktop"},
      {"display_set_size", {640, 480}, 1, "640x480@60/32", "640x480@60/32", "640x480@60/32"},
      {"display_reset", {}, -1, "1920x1080@60/32", "1920x1080@60/32", "desktop"},
      // After a reset the request starts from the desktop again: the rate alone asks 1920 × 1080 @ 75.
      {"display_set_frequency", {75}, 0, "1920x1080@60/32", "1920x1080@60/32", "desktop"},
  };
  for (const Step& s : steps) {
    RValue args[4];
    for (size_t i = 0; i < s.args.size(); ++i) args[i] = s.args[i];
    const RBuiltinFunction* fn = GetBuiltinFunction(FindBuiltinFunction(s.fn));
    ASSERT_NE(fn, nullptr) << s.fn;
    RValue r;
    fn->handler(r, nullptr, nullptr, fn->argCount, args);
    const std::string where = std::string(s.fn) + " " + (s.args.empty() ? "" : std::to_string(s.args[0]));
    if (s.result >= 0) {
      EXPECT_EQ(r.Real(), s.result) << where;
    }
    EXPECT_EQ(window.Screen(), s.screen) << where;
    EXPECT_EQ(Reported(), s.reported) << where;
    EXPECT_EQ(window.calls.empty() ? "" : window.calls.back(), s.lastCall) << where;
  }
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(RealScreenModesTest, WindowAndDeviceFollowTheModeOnTheScreen) {
  call.Call("display_set_size", {800.0, 600.0});
  // Windowed: centring and the render-size limit keep to the real desktop.
  EXPECT_EQ(Win().desktopWidth, 1920);
  EXPECT_EQ(D3D().desktopHeight, 1080);
  call.Call("window_set_fullscreen", {1.0});
  EXPECT_EQ(Win().desktopWidth, 800);
  EXPECT_EQ(D3D().desktopHeight, 600);
  EXPECT_EQ(call.Real("window_get_width"), 800);
  EXPECT_EQ(call.Real("window_get_height"), 600);
  call.Call("window_set_fullscreen", {0.0});
  EXPECT_EQ(Win().desktopWidth, 1920);
  call.Call("window_center");
  EXPECT_EQ(call.Real("window_get_x"), (1920 - call.Real("window_get_width")) / 2);
  // A new display forgets what the old one was asked.
  call.Call("display_set_size", {640.0, 480.0});
  AttachDisplay(&display);
  EXPECT_FALSE(RequestedDisplayMode());
}

TEST_F(RealScreenModesTest, ModeRefusedByTheWindowSystemKeepsTheOneInUse) {
  call.Call("window_set_fullscreen", {1.0});
  EXPECT_EQ(call.Real("display_set_size", {800.0, 600.0}), 1);
  window.refuse = true;
  EXPECT_EQ(call.Real("display_set_size", {1280.0, 1024.0}), 0);
  EXPECT_EQ(window.Screen(), "800x600@60/32");
  EXPECT_EQ(window.calls.back(), "800x600@60/32");  // given back to the window after the refusal
  EXPECT_EQ(Text(RequestedDisplayMode()), "800x600@60/32");
  EXPECT_EQ(Reported(), "800x600@60/32");
  // Going back to the desktop's mode never needs the window system's consent.
  call.Call("display_reset");
  EXPECT_EQ(window.Screen(), "1920x1080@60/32");
  EXPECT_FALSE(RequestedDisplayMode());
}

TEST_F(RealScreenModesTest, ScreenWithoutAListOrRate) {
  window.modes.clear();
  window.desktop = Mode(1366, 768, 0);
  EXPECT_EQ(Reported(), "1366x768@60/32");  // an unknown rate is reported as 60
  EXPECT_EQ(call.Real("display_test_all", {1366.0, 768.0, 60.0, 32.0}), 1);
  EXPECT_EQ(call.Real("display_test_all", {800.0, 600.0, 0.0, 0.0}), 0);
  EXPECT_EQ(call.Real("display_set_all", {-1.0, -1.0, -1.0, 16.0}), 1);
  EXPECT_EQ(call.Real("display_set_size", {800.0, 600.0}), 0);
  EXPECT_FALSE(RequestedDisplayMode());
}

}  // namespace
}  // namespace kv::gfx
