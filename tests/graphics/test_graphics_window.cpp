// Drawing region, window ↔ frame ↔ room mapping through the views.
#include <gtest/gtest.h>

#include "graphics/graphics_window.h"

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

}  // namespace
}  // namespace kv::gfx
