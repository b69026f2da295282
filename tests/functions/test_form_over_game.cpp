// Modal forms drawn over the game in full screen: where the form goes on the frame, how the frame's points map to
// the form's (for the mouse), and the frame around the form staying as the game drew it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "functions/game_window_form.h"

namespace {

using kv::DrawFormOverFrame;
using kv::FormPlacement;
using kv::PlaceFormCentred;

TEST(FormOverGame, PlacementIsCentredAndLargeFormsShrinkToFit) {
  // A form smaller than the frame keeps its size, centred (odd remainders go right and below).
  FormPlacement p = PlaceFormCentred(640, 480, 301, 100);
  EXPECT_EQ(p.left, 169);
  EXPECT_EQ(p.top, 190);
  EXPECT_EQ(p.width, 301);
  EXPECT_EQ(p.height, 100);
  // The frame's own size fills it.
  p = PlaceFormCentred(320, 240, 320, 240);
  EXPECT_EQ(p.left, 0);
  EXPECT_EQ(p.top, 0);
  EXPECT_EQ(p.width, 320);
  // Too wide: the width fits the frame and the height follows.
  p = PlaceFormCentred(320, 240, 640, 100);
  EXPECT_EQ(p.width, 320);
  EXPECT_EQ(p.height, 50);
  EXPECT_EQ(p.left, 0);
  EXPECT_EQ(p.top, 95);
  // Too tall: the height fits and the width follows.
  p = PlaceFormCentred(320, 240, 100, 480);
  EXPECT_EQ(p.height, 240);
  EXPECT_EQ(p.width, 50);
  EXPECT_EQ(p.left, 135);
  // A sliver never becomes empty; nothing is placed on an empty frame or for an empty form.
  p = PlaceFormCentred(100, 100, 10000, 1);
  EXPECT_EQ(p.width, 100);
  EXPECT_EQ(p.height, 1);
  EXPECT_EQ(PlaceFormCentred(0, 100, 10, 10).width, 0);
  EXPECT_EQ(PlaceFormCentred(100, 100, 0, 10).width, 0);
}

TEST(FormOverGame, FramePointsMapToTheFormScaledOrNot) {
  int x = 0, y = 0;
  const FormPlacement same = PlaceFormCentred(640, 480, 200, 100);  // at 220, 190
  same.FrameToForm(220, 190, 200, 100, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  same.FrameToForm(419, 289, 200, 100, x, y);
  EXPECT_EQ(x, 199);
  EXPECT_EQ(y, 99);
  // Left of and above the form stays outside it (no rounding towards zero onto its edge).
  same.FrameToForm(219, 189, 200, 100, x, y);
  EXPECT_LT(x, 0);
  EXPECT_LT(y, 0);
  // A form shown at half its size: frame points count double.
  const FormPlacement half = PlaceFormCentred(100, 100, 200, 100);  // 100 × 50 at 0, 25
  half.FrameToForm(50, 50, 200, 100, x, y);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 50);
  half.FrameToForm(99, 74, 200, 100, x, y);
  EXPECT_EQ(x, 198);
  EXPECT_EQ(y, 98);
}

TEST(FormOverGame, TheFrameAroundTheFormStaysAndTheFormIsOpaque) {
  const int fw = 6, fh = 4;
  std::vector<uint32_t> frame(fw * fh, 0xFF112233u);
  // A 2 × 2 form with a transparent pixel: forms are opaque over the game.
  const std::vector<uint32_t> form = {0xFFAA0000u, 0x0000BB00u, 0xFF0000CCu, 0xFFDDDDDDu};
  const kv::plat::FormPixels px{2, 2, form.data()};
  DrawFormOverFrame(frame, fw, fh, px, PlaceFormCentred(fw, fh, 2, 2));  // at 2, 1
  const std::vector<uint32_t> expected = {
      0xFF112233u, 0xFF112233u, 0xFF112233u, 0xFF112233u, 0xFF112233u, 0xFF112233u,
      0xFF112233u, 0xFF112233u, 0xFFAA0000u, 0xFF00BB00u, 0xFF112233u, 0xFF112233u,
      0xFF112233u, 0xFF112233u, 0xFF0000CCu, 0xFFDDDDDDu, 0xFF112233u, 0xFF112233u,
      0xFF112233u, 0xFF112233u, 0xFF112233u, 0xFF112233u, 0xFF112233u, 0xFF112233u,
  };
  EXPECT_EQ(frame, expected);

  // Scaled down to fit: every other pixel of a 4 × 2 form on a 2 × 2 frame (at 0, 0, 2 × 1).
  std::vector<uint32_t> small(4, 0xFF000000u);
  const std::vector<uint32_t> wide = {1, 2, 3, 4, 5, 6, 7, 8};
  DrawFormOverFrame(small, 2, 2, {4, 2, wide.data()}, PlaceFormCentred(2, 2, 4, 2));
  EXPECT_EQ(small, (std::vector<uint32_t>{0xFF000001u, 0xFF000003u, 0xFF000000u, 0xFF000000u}));

  // A frame buffer smaller than its stated size is left alone rather than overrun.
  std::vector<uint32_t> shortFrame(3, 7u);
  DrawFormOverFrame(shortFrame, fw, fh, px, PlaceFormCentred(fw, fh, 2, 2));
  EXPECT_EQ(shortFrame, (std::vector<uint32_t>(3, 7u)));
}

}  // namespace
