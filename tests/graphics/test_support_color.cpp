// Colour arithmetic and the saturating real-to-integer conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "graphics/graphics_support.h"
#include "graphics/support_color.h"

namespace kv::gfx {
namespace {

TEST(RoundToInt, TiesToEvenAndSaturation) {
  const std::pair<double, int> cases[] = {
      {2.5, 2}, {3.5, 4}, {-2.5, -2}, {0.49, 0}, {-0.5, 0}, {1e300, std::numeric_limits<int>::max()},
      {-1e300, std::numeric_limits<int>::min()}, {std::nan(""), 0}, {INFINITY, std::numeric_limits<int>::max()},
      {2147483646.6, 2147483647}, {-2147483648.4, std::numeric_limits<int>::min()},
  };
  for (auto [in, out] : cases) EXPECT_EQ(RoundToInt(in), out) << in;
}

TEST(DeviceColour, SwapsRedAndBlueAndClampsAlpha) {
  EXPECT_EQ(DeviceColour(255, 1.0), 0xFFFF0000u);
  EXPECT_EQ(DeviceColour(16711680, 0.0), 0x000000FFu);
  EXPECT_EQ(DeviceColour(0x123456, 0.5), 0x80563412u);
  EXPECT_EQ(DeviceColour(0, 7.0), 0xFF000000u);
  EXPECT_EQ(DeviceColour(0, -1.0), 0x00000000u);
  EXPECT_EQ(DeviceColour(0, std::nan("")), 0x00000000u);
  EXPECT_EQ(DeviceColourKeep(0xFF123456u, 0.25), 0x40123456u);
  EXPECT_EQ(ScriptColour(0xFF563412u), 0x123456);
}

TEST(ScriptColours, RgbAndChannels) {
  EXPECT_EQ(MakeColourRgb(300, 0, 0), 300);
  EXPECT_EQ(ColourGetRed(300), 44);
  EXPECT_EQ(ColourGetGreen(300), 1);
  EXPECT_EQ(MakeColourRgb(1, 2, 3), 1 + 2 * 256 + 3 * 65536);
  EXPECT_EQ(ColourGetBlue(MakeColourRgb(1, 2, 3)), 3);
  EXPECT_EQ(MakeColourRgb(std::nan(""), 1e300, 0), static_cast<int>(0u + 2147483647u * 256u));  // defined, wraps
  EXPECT_EQ(ColourGetRed(2.5), 2);
}

TEST(ScriptColours, Hsv) {
  struct Case {
    int h, s, v, colour;
  } cases[] = {
      {0, 0, 255, 0xFFFFFF}, {0, 255, 255, 0x0000FF}, {85, 255, 255, 0x00FF00}, {170, 255, 255, 0xFF0000},
      {255, 255, 255, 0x0000FF},  // a full turn is hue 0
      {0, 0, 0, 0},
  };
  for (auto c : cases) EXPECT_EQ(MakeColourHsv(c.h, c.s, c.v), c.colour) << c.h << "," << c.s << "," << c.v;
  EXPECT_EQ(ColourGetValue(0xFFFFFF), 255);
  EXPECT_EQ(ColourGetSaturation(0xFFFFFF), 0);
  EXPECT_EQ(ColourGetHue(0xFFFFFF), 0);
  EXPECT_EQ(ColourGetHue(0xFF0000), 170);  // blue
  EXPECT_EQ(ColourGetHue(0x00FF00), 85);
  EXPECT_EQ(ColourGetSaturation(0x000080), 255);
  EXPECT_EQ(ColourGetValue(0), 0);
  EXPECT_EQ(ColourGetHue(0xFF00FF), 212);  // magenta: 300° wraps from −60°
}

TEST(ScriptColours, Merge) {
  EXPECT_EQ(MergeColour(255, 16711680, 0.5), 0x800080);
  EXPECT_EQ(MergeColour(0, 0xFFFFFF, 0.0), 0);
  EXPECT_EQ(MergeColour(0, 0xFFFFFF, 1.0), 0xFFFFFF);
}

}  // namespace
}  // namespace kv::gfx
