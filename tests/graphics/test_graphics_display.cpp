// Display modes: requests reported back, parameters ≤ 0 unchanged, settings codes; the display functions, the
// virtual desktop of headless runs and saving the screen under secure mode.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "functions/call_builtin.h"
#include "graphics/bitmap_ops.h"
#include "graphics/gfx_fixture.h"
#include "graphics/graphics_display.h"
#include "world/run_main.h"

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

}  // namespace
}  // namespace kv::gfx
