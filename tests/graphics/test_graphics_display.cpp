// Display modes: requests reported back, parameters ≤ 0 unchanged, settings codes.
#include <gtest/gtest.h>

#include "graphics/graphics_display.h"

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

}  // namespace
}  // namespace kv::gfx
