// Drawing region, window ↔ frame ↔ room mapping through the views, and the window functions on top of them.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "functions/call_builtin.h"
#include "functions/function_window.h"
#include "graphics/graphics_display.h"
#include "graphics/graphics_window.h"
#include "input/io_main.h"
#include "runner/runner_wiring.h"

namespace kv::gfx {
namespace {

TEST(DrawingRegion, ScaleModes) {
  struct Case {
    int cw, ch, rw, rh;
    double s;
    plat::IntRect want;
  } cases[] = {
      {800, 600, 640, 480, 0, {0, 0, 800, 600}},       // fill
      {800, 400, 640, 480, -1, {133, 0, 533, 400}},    // keep aspect, centred margins
      {1280, 960, 640, 480, 2, {0, 0, 1280, 960}},     // fixed scale
      {700, 500, 640, 480, 1, {30, 10, 640, 480}},
      {600, 400, 640, 480, 1, {-20, -40, 640, 480}},   // region may extend past the client area
      {0, 0, 640, 480, -1, {0, 0, 0, 0}},              // minimised
  };
  for (const auto& c : cases) EXPECT_EQ(DrawingRegion(c.cw, c.ch, c.rw, c.rh, c.s), c.want) << c.cw << "x" << c.ch;
}

TEST(WindowToFrame, ScaledWindowWithMargins) {
  struct Case {
    double wx, wy;
    int cw, ch, rw, rh;
    double s;
    int fx, fy;
  } cases[] = {
      {400, 300, 800, 600, 640, 480, 0, 320, 240},
      {133, 0, 800, 400, 640, 480, -1, 0, 0},          // left margin (800 − 533) div 2
      {666, 400, 800, 400, 640, 480, -1, 640, 480},
      {134, 0, 800, 400, 640, 480, -1, 1, 0},
      {30, 10, 700, 500, 640, 480, 1, 0, 0},
      {100, 100, 1280, 960, 640, 480, 2, 50, 50},
      {5, 5, 0, 0, 640, 480, 0, 0, 0},                  // zero client size: no division by zero
      {5, 5, 0, 0, 640, 480, -1, 0, 0},
  };
  for (const auto& c : cases) {
    int fx, fy;
    WindowToFrame(c.wx, c.wy, c.cw, c.ch, c.rw, c.rh, c.s, fx, fy);
    EXPECT_EQ(fx, c.fx) << c.wx << " scale " << c.s;
    EXPECT_EQ(fy, c.fy) << c.wy << " scale " << c.s;
    if (c.cw > 0 && c.s != 0) {
      int wx, wy;
      FrameToWindow(fx, fy, c.cw, c.ch, c.rw, c.rh, c.s, wx, wy);
      int bx, by;
      WindowToFrame(wx, wy, c.cw, c.ch, c.rw, c.rh, c.s, bx, by);
      EXPECT_EQ(bx, fx);
      EXPECT_EQ(by, fy);
    }
  }
}

class ViewMappingTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearViewMappings(); }
  void TearDown() override { ClearViewMappings(); }
};

TEST_F(ViewMappingTest, FrameToRoomAndBack) {
  ViewMapping* v = ViewMappings();
  v[0] = {true, 100, 50, 320, 240, 0, 0, 640, 480, 0};
  int rx, ry, fx, fy;
  FrameToRoom(0, 320, 240, rx, ry);
  EXPECT_EQ(rx, 260);
  EXPECT_EQ(ry, 170);
  RoomToFrame(0, 260, 170, fx, fy);
  EXPECT_EQ(fx, 320);
  EXPECT_EQ(fy, 240);
  FrameToRoom(5, 7.4, 8.6, rx, ry);  // inactive: unchanged (rounded)
  EXPECT_EQ(rx, 7);
  EXPECT_EQ(ry, 9);
  v[1] = {true, 0, 0, 100, 100, 0, 0, 0, 100, 0};  // port width 0: unchanged
  FrameToRoom(1, 50, 50, rx, ry);
  EXPECT_EQ(rx, 50);
  // Rotated view: the centre stays the centre, and the mapping inverts.
  v[2] = {true, 0, 0, 200, 100, 0, 0, 200, 100, 90};
  FrameToRoom(2, 100, 50, rx, ry);
  EXPECT_EQ(rx, 100);
  EXPECT_EQ(ry, 50);
  FrameToRoom(2, 110, 50, rx, ry);
  RoomToFrame(2, rx, ry, fx, fy);
  EXPECT_EQ(fx, 110);
  EXPECT_EQ(fy, 50);
}

TEST_F(ViewMappingTest, MouseThroughOverlappingViews) {
  ViewMapping* v = ViewMappings();
  int rx, ry;
  MouseThroughViews(12, 34, rx, ry);  // no views: the frame point
  EXPECT_EQ(rx, 12);
  v[0] = {true, 0, 0, 640, 480, 0, 0, 640, 480, 0};
  v[3] = {true, 1000, 1000, 100, 100, 0, 0, 200, 200, 0};
  MouseThroughViews(50, 50, rx, ry);  // inside both ports: the higher-numbered view wins
  EXPECT_EQ(rx, 1025);
  EXPECT_EQ(ry, 1025);
  MouseThroughViews(300, 300, rx, ry);
  EXPECT_EQ(rx, 300);
  v[0].active = false;
  MouseThroughViews(300, 300, rx, ry);  // no view contains it: the lowest active view's point
  EXPECT_EQ(rx, 1150);
}

// ---- the window functions of the script language, on the stored window state and on a window ----
using test::S;

// A window that keeps what it is told, so tests see what reaches the platform.
class FakeWindow : public plat::IWindow {
 public:
  plat::IntRect rect{100, 50, 640, 480};
  bool minimised = false;
  std::string caption;
  plat::WindowFrame frame;
  int cursor = 0, warpX = -1, warpY = -1, minW = 0, minH = 0;
  void SetVisible(bool v) override { visible = v; }
  bool Visible() const override { return visible; }
  void SetCaption(const std::string& c) override { caption = c; }
  void SetFrame(const plat::WindowFrame& f) override { frame = f; }
  void SetClientRect(const plat::IntRect& r) override { rect = r; }
  plat::IntRect ClientRect() const override {
    return minimised ? plat::IntRect{rect.x, rect.y, 0, 0} : rect;
  }
  void SetMinClientSize(int w, int h) override { minW = w, minH = h; }
  void SetCursor(int c) override { cursor = c; }
  void Mouse(int& x, int& y) const override { x = warpX, y = warpY; }
  void WarpMouse(int x, int y) override { warpX = x, warpY = y; }
  bool IsActive() const override { return true; }
  uint64_t NativeHandle() const override { return 0; }
  void Pump(plat::InputSink&) override {}
  void* SdlWindow() const override { return nullptr; }
  bool visible = false;
};

class WindowFunctionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterAllBuiltinFunctions();
    Reset();
  }
  void TearDown() override { Reset(); }
  static void Reset() {
    Win() = WindowState{};
    AttachDisplay(nullptr);
    ClearViewMappings();
    input::SetMouseClient(0, 0);
    SetWindowFunctionHooks({});
  }
  test::BuiltinCaller call;
};

TEST_F(WindowFunctionsTest, PropertiesRoundTripWithTruthThreshold) {
  const char* flags[][2] = {{"window_set_visible", "window_get_visible"},
                            {"window_set_fullscreen", "window_get_fullscreen"},
                            {"window_set_showborder", "window_get_showborder"},
                            {"window_set_showicons", "window_get_showicons"},
                            {"window_set_stayontop", "window_get_stayontop"},
                            {"window_set_sizeable", "window_get_sizeable"}};
  for (const auto& f : flags) {
    for (double v : {1.0, 0.0, 0.5, 0.49, -3.0, std::nan("")}) {
      call.Call(f[0], {v});
      EXPECT_EQ(call.Real(f[1]), v >= 0.5 ? 1.0 : 0.0) << f[0] << "(" << v << ")";
    }
  }
  call.Call("window_set_caption", {S("Level 1")});
  EXPECT_EQ(call.Str("window_get_caption"), "Level 1");
  call.Call("window_set_caption", {12.0});
  EXPECT_EQ(call.Str("window_get_caption"), "12");
  call.Call("window_set_color", {255.0});
  EXPECT_EQ(call.Real("window_get_color"), 255.0);
  call.Call("window_set_cursor", {-1.0});  // cr_none also turns the display-cursor setting off
  EXPECT_EQ(call.Real("window_get_cursor"), -1.0);
  EXPECT_FALSE(Win().displayCursor);
  call.Call("window_set_cursor", {-21.0});
  EXPECT_TRUE(Win().displayCursor);
  // Reals beyond the int range or NaN saturate instead of reaching undefined conversions.
  call.Call("window_set_color", {1e300});
  EXPECT_EQ(call.Real("window_get_color"), double(INT_MAX));
  call.Call("window_set_cursor", {std::nan("")});
  EXPECT_EQ(call.Real("window_get_cursor"), 0.0);
  call.Call("window_set_region_scale", {std::nan(""), 0.0});
  EXPECT_EQ(call.Real("window_get_region_scale"), 1.0);
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(WindowFunctionsTest, SizeRectanglePositionAndRegion) {
  struct Step {
    const char* fn;
    std::vector<double> args;
    int x, y, w, h;  // client rectangle afterwards
  } steps[] = {
      {"window_set_rectangle", {10, 20, 300, 200}, 10, 20, 300, 200},
      {"window_set_position", {30, 40}, 30, 40, 300, 200},
      {"window_set_region_size", {320, 240, 0}, 30, 40, 320, 240},  // scale 1, no adapt: only enlarged
      {"window_set_size", {100, 100}, 30, 40, 320, 240},            // raised to the scaled region
      {"window_set_region_scale", {2, 1}, 30, 40, 640, 480},        // adapt: exactly the scaled region
      {"window_set_region_size", {-5, 200, 1}, 30, 40, 640, 400},   // width ≤ 0 stays
      {"window_center", {}, 192, 184, 640, 400},                    // on the 1024 × 768 desktop
      {"window_set_region_scale", {0, 0}, 192, 184, 640, 400},      // fill: no minimum any more
      {"window_set_size", {100, 90}, 192, 184, 100, 90},
      {"window_set_region_scale", {2, 0}, 192, 184, 640, 400},      // enlarged to the scaled region
      {"window_default", {}, 192, 184, 640, 400},
  };
  for (const auto& s : steps) {
    RValue args[4];
    for (size_t i = 0; i < s.args.size(); ++i) args[i] = s.args[i];
    const RBuiltinFunction* fn = GetBuiltinFunction(FindBuiltinFunction(s.fn));
    ASSERT_NE(fn, nullptr) << s.fn;
    ASSERT_EQ(fn->argCount, static_cast<int>(s.args.size())) << s.fn;
    RValue r;
    fn->handler(r, nullptr, nullptr, fn->argCount, args);
    EXPECT_EQ(call.Real("window_get_x"), s.x) << s.fn;
    EXPECT_EQ(call.Real("window_get_y"), s.y) << s.fn;
    EXPECT_EQ(call.Real("window_get_width"), s.w) << s.fn;
    EXPECT_EQ(call.Real("window_get_height"), s.h) << s.fn;
  }
  EXPECT_EQ(call.Real("window_get_region_width"), 320);
  EXPECT_EQ(call.Real("window_get_region_height"), 200);
  EXPECT_EQ(call.Real("window_get_region_scale"), 2);
  // Full screen covers the desktop and keeps the windowed geometry for the way back.
  call.Call("window_set_fullscreen", {1.0});
  EXPECT_EQ(call.Real("window_get_width"), 1024);
  EXPECT_EQ(call.Real("window_get_x"), 0);
  call.Call("window_set_fullscreen", {0.0});
  EXPECT_EQ(call.Real("window_get_width"), 640);
  EXPECT_EQ(call.Real("window_get_x"), 192);
}

TEST_F(WindowFunctionsTest, ChangesReachTheWindow) {
  FakeWindow fake;
  AttachWindow(&fake, 1280, 1024);
  call.Call("window_set_caption", {S("Hello")});
  EXPECT_EQ(fake.caption, "Hello");
  call.Call("window_set_stayontop", {1.0});
  call.Call("window_set_showborder", {0.0});
  EXPECT_TRUE(fake.frame.onTop);
  EXPECT_FALSE(fake.frame.border);
  call.Call("window_set_rectangle", {5, 6, 700, 500});
  EXPECT_EQ(fake.rect, (plat::IntRect{5, 6, 700, 500}));
  fake.rect = {8, 9, 710, 510};  // the user moved and resized the window
  EXPECT_EQ(call.Real("window_get_x"), 8);
  EXPECT_EQ(call.Real("window_get_width"), 710);
  call.Call("window_set_cursor", {-3.0});
  EXPECT_EQ(fake.cursor, -3);
  call.Call("window_mouse_set", {20, 30});
  EXPECT_EQ(fake.warpX, 20);
  EXPECT_EQ(call.Real("window_mouse_get_y"), 30);
  call.Call("window_set_visible", {1.0});
  EXPECT_TRUE(fake.visible);
  // Sizes beyond what a device can present into are clamped: the window, and the minimum a scale imposes.
  call.Call("window_set_size", {100000.0, 1e300});
  EXPECT_EQ(fake.rect.w, kMaxClientSize);
  EXPECT_EQ(fake.rect.h, kMaxClientSize);
  call.Call("window_set_region_scale", {1e9, 1.0});
  EXPECT_EQ(fake.minW, kMaxClientSize);
  EXPECT_EQ(fake.minH, kMaxClientSize);
  EXPECT_EQ(fake.rect.w, kMaxClientSize);
  call.Call("window_set_region_scale", {1.0, 0.0});
  EXPECT_EQ(fake.minW, Win().regionWidth);
  call.Call("window_set_position", {1e9, -1e9});
  EXPECT_EQ(fake.rect.x, kMaxClientPosition);
  EXPECT_EQ(fake.rect.y, -kMaxClientPosition);
  AttachWindow(nullptr, 1024, 768);
}

TEST_F(WindowFunctionsTest, MouseThroughScaledRegionAndViews) {
  FakeWindow fake;
  fake.rect = {0, 0, 800, 400};
  AttachWindow(&fake, 1280, 1024);
  Win().regionWidth = 640;
  Win().regionHeight = 480;
  Win().regionScale = -1;  // 533 × 400 centred: margins of 133 left and right
  ViewMapping* v = ViewMappings();
  struct Case {
    int mx, my;  // client mouse
    double roomX, roomY;
  } cases[] = {
      // No views active: the frame point is the room point.
      {133, 0, 0, 0},
      {400, 200, 320, 240},
      {799, 399, 799, 479},  // in the right margin: beyond the region, not clamped
  };
  for (const auto& c : cases) {
    input::SetMouseClient(c.mx, c.my);
    EXPECT_EQ(call.Real("window_views_mouse_get_x"), c.roomX);
    EXPECT_EQ(call.Real("window_views_mouse_get_y"), c.roomY);
  }
  v[0] = {true, 0, 0, 640, 480, 0, 0, 640, 480, 0};
  v[1] = {true, 1000, 500, 100, 100, 0, 0, 200, 200, 0};  // the top-left 200 × 200 shows a zoomed corner
  input::SetMouseClient(175, 42);  // frame (50, 50): (175 − 133) / (400 / 480), 42 / (400 / 480), rounded
  EXPECT_EQ(call.Real("window_view_mouse_get_x", {1.0}), 1025);
  EXPECT_EQ(call.Real("window_views_mouse_get_x"), 1025);  // the higher view contains the point
  EXPECT_EQ(call.Real("window_view_mouse_get_x", {0.0}), 50);
  EXPECT_EQ(call.Real("window_view_mouse_get_x", {7.0}), 50);  // inactive entry: the frame point
  // Placing the mouse through a view lands on the room point it names.
  call.Call("window_view_mouse_set", {1.0, 1090.0, 560.0});
  EXPECT_EQ(call.Real("window_view_mouse_get_x", {1.0}), 1090);
  EXPECT_EQ(call.Real("window_view_mouse_get_y", {1.0}), 560);
  EXPECT_EQ(fake.warpX, input::MouseClientX());
  call.Call("window_views_mouse_set", {300.0, 200.0});  // through the first active view (0)
  EXPECT_EQ(call.Real("window_view_mouse_get_x", {0.0}), 300);
  EXPECT_EQ(call.Real("window_view_mouse_get_y", {0.0}), 200);
  // A minimised window has a client area of 0 × 0: the mapping answers without dividing by it.
  fake.minimised = true;
  for (double scale : {0.0, -1.0, 2.0}) {
    Win().regionScale = scale;
    const double x = call.Real("window_views_mouse_get_x");
    EXPECT_TRUE(std::isfinite(x)) << scale;
  }
  AttachWindow(nullptr, 1024, 768);
}

TEST_F(WindowFunctionsTest, MenusGiveTheDefaultUnlessSomeoneChooses) {
  EXPECT_EQ(call.Real("show_menu", {S("New|-|Open|Quit"), -1.0}), -1);
  EXPECT_EQ(call.Real("show_menu_pos", {10.0, 20.0, S("A|B"), 7.0}), 7);
  std::string seen;
  int seenX = 0;
  WindowFunctionHooks hooks;
  hooks.popupMenu = [&](int x, int, const std::string& items) {
    seen = items;
    seenX = x;
    return 1;
  };
  SetWindowFunctionHooks(hooks);
  EXPECT_EQ(call.Real("show_menu_pos", {10.0, 20.0, S("New|-|Open|Quit"), -1.0}), 1);
  EXPECT_EQ(seen, "New|-|Open|Quit");
  EXPECT_EQ(seenX, 10);
  // show_menu pops up at the desktop mouse: the client mouse plus the client origin.
  Win().clientLeft = 100;
  input::SetMouseClient(5, 5);
  call.Call("show_menu", {S("A"), -1.0});
  EXPECT_EQ(seenX, 105);
}

}  // namespace
}  // namespace kv::gfx
