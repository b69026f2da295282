// Sprite records: strips cut into frames, bounding-box kinds, masks and their rebuilding, frame operations, the
// stored record with masks built on reading, and the sprite table's run-time operations.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>

#include "graphics/sprite_main.h"
#include "runner/support_stream.h"
#include "sprite_art.h"

namespace kv {
namespace {

using test::ArtFrame;
using test::ArtSprite;

std::array<int, 4> Box(const CSprite& s) { return {s.bboxLeft, s.bboxTop, s.bboxRight, s.bboxBottom}; }

TEST(SpriteStrips, FrameWidthsAndClampedCounts) {
  struct Case {
    int imageWidth, frames;
    int count, width;
  } cases[] = {
      {100, 3, 3, 33},  // the last column is not used
      {100, 0, 1, 100},
      {100, -4, 1, 100},
      {5, 9, 5, 1},  // more frames than columns: one column each
      {1, 1000000, 1, 1},
  };
  for (const Case& c : cases) {
    CSprite s;
    ASSERT_TRUE(s.SetFromStrip(CBitmap32::Make(c.imageWidth, 2, 0xFF112233u), c.frames, true, 0, 0, true, false,
                               true, true));
    EXPECT_EQ(s.FrameCount(), c.count) << c.imageWidth << "/" << c.frames;
    EXPECT_EQ(s.width, c.width) << c.imageWidth << "/" << c.frames;
    for (const CBitmap32& f : s.frames) EXPECT_EQ(f.width, c.width);
  }
  CSprite untouched = ArtSprite({{"#"}});
  const CSprite before = untouched;
  EXPECT_FALSE(untouched.SetFromStrip(CBitmap32{}, 1, true, 0, 0, true, false, true, true));
  EXPECT_EQ(untouched, before);
}

TEST(SpriteStrips, OptionsFollowTheAlphaChoice) {
  // Opaque image with a white key colour in the bottom-left corner.
  CBitmap32 img = ArtFrame({"#..", "..."}, 0xFFFF0000u);
  for (uint32_t& p : img.pixels)
    if (p == 0) p = 0xFFFFFFFFu;
  CSprite keyed;
  keyed.SetFromStrip(img, 1, false, 1, 2, false, false, true, true);
  EXPECT_TRUE(keyed.transparent);
  EXPECT_EQ(keyed.xOrigin, 1);
  EXPECT_EQ(keyed.yOrigin, 2);
  EXPECT_FALSE(keyed.preload);
  EXPECT_EQ(Box(keyed), (std::array<int, 4>{0, 0, 0, 0}));
  ASSERT_TRUE(keyed.HasMasks());
  EXPECT_FALSE(keyed.masks[0].At(1, 0));
  // Kept alpha: the file's own (opaque) alpha stays, transparent is stored on and smooth off regardless.
  CSprite alpha;
  alpha.SetFromStrip(img, 1, true, 0, 0, true, true, false, true);
  EXPECT_TRUE(alpha.transparent);
  EXPECT_FALSE(alpha.smooth);
  EXPECT_TRUE(alpha.masks[0].At(1, 0));
  EXPECT_EQ(Box(alpha), (std::array<int, 4>{0, 0, 2, 1}));
}

TEST(SpriteBoxes, KindsAndManualBoxes) {
  CSprite s = ArtSprite({{"....", ".#..", "...."}, {"....", "....", "..#."}});
  EXPECT_EQ(Box(s), (std::array<int, 4>{1, 1, 2, 2}));
  s.SetManualBoundingBox(0, 0, 9, 9);  // ignored while automatic
  EXPECT_EQ(Box(s), (std::array<int, 4>{1, 1, 2, 2}));
  s.SetBoundingBoxKind(CSprite::kBoxFull);
  EXPECT_EQ(Box(s), (std::array<int, 4>{0, 0, 3, 2}));
  s.SetBoundingBoxKind(7);  // not a kind
  EXPECT_EQ(s.bboxKind, CSprite::kBoxFull);
  s.SetBoundingBoxKind(CSprite::kBoxManual);
  EXPECT_EQ(Box(s), (std::array<int, 4>{0, 0, 3, 2}));  // manual keeps what was there
  s.SetManualBoundingBox(1, 0, 3, 1);
  EXPECT_EQ(Box(s), (std::array<int, 4>{1, 0, 3, 1}));
  s.SetBoundingBoxKind(CSprite::kBoxAutomatic);
  EXPECT_EQ(Box(s), (std::array<int, 4>{1, 1, 2, 2}));
  // Frames made without transparency fill the whole frame.
  s.transparent = false;
  s.ComputeBoundingBox();
  EXPECT_EQ(Box(s), (std::array<int, 4>{0, 0, 3, 2}));
  // All frames fully transparent: the inverted start box stays and contains no pixel.
  const CSprite empty = ArtSprite({{"...", "..."}, {"...", "..."}});
  EXPECT_EQ(Box(empty), (std::array<int, 4>{2, 1, 0, 0}));
  const CSprite none;
  EXPECT_EQ(Box(none), (std::array<int, 4>{0, 0, 0, 0}));
  EXPECT_EQ(s.FrameBoundingBox(1), (gfx::BitmapBox{2, 2, 2, 2}));
  EXPECT_EQ(s.FrameBoundingBox(2), (gfx::BitmapBox{}));
  EXPECT_EQ(s.FrameBoundingBox(-1), (gfx::BitmapBox{}));
}

TEST(SpriteFrames, AddMergeAndAlpha) {
  CSprite s = ArtSprite({{"#.", ".."}});
  s.AddFrame(ArtFrame({"....", "....", "..##", "..##"}), true);  // resized to 2 × 2: one solid pixel
  ASSERT_EQ(s.FrameCount(), 2);
  EXPECT_EQ(s.frames[1].width, 2);
  EXPECT_TRUE(s.masks[1].At(1, 1));
  EXPECT_FALSE(s.masks[1].At(0, 0));
  EXPECT_EQ(Box(s), (std::array<int, 4>{0, 0, 1, 1}));
  // Merging a sprite with itself doubles its frames.
  s.Merge(s);
  ASSERT_EQ(s.FrameCount(), 4);
  EXPECT_EQ(s.masks.size(), 4u);
  EXPECT_TRUE(s.masks[3].At(1, 1));
  // Alpha from a black sprite makes every pixel transparent, but the masks built before still collide.
  CSprite black;
  black.frames.push_back(CBitmap32::Make(2, 2, 0xFF000000u));
  s.SetAlphaFrom(black);
  EXPECT_EQ(s.frames[0].Pixel(0, 0) >> 24, 0u);
  EXPECT_TRUE(s.masks[0].At(0, 0));
  // A sprite without frames takes the size of the first frame added.
  CSprite fresh;
  fresh.AddFrame(CBitmap32::Make(3, 5, 0xFF00FF00u), false);
  EXPECT_EQ(fresh.width, 3);
  EXPECT_EQ(fresh.height, 5);
}

TEST(SpriteMasks, BoundedByTheStoredPixels) {
  // A hostile record may claim a huge frame size: masks only cover pixels that exist.
  CSprite s;
  s.width = 1 << 30;
  s.height = 1 << 30;
  s.frames.push_back(ArtFrame({"#.", ".#"}));
  s.frames.emplace_back();  // a frame without pixels
  s.BuildMasks();
  ASSERT_EQ(s.masks.size(), 2u);
  EXPECT_EQ(s.masks[0].width, 2);
  EXPECT_TRUE(s.masks[0].At(1, 1));
  EXPECT_FALSE(s.masks[0].At(5, 5));
  EXPECT_FALSE(s.masks[1].At(0, 0));
}

TEST(SpriteRecord, ReadingBuildsMasksAndWritingIsUnchanged) {
  CSprite s = ArtSprite({{"#..", ".#."}, {"...", "..#"}}, 1, 0);
  CStream out;
  s.Write(out);
  CStream in(out.Buffer());
  CSprite back;
  ASSERT_TRUE(back.Read(in));
  EXPECT_EQ(back, s);  // masks included
  CStream again;
  back.Write(again);
  EXPECT_EQ(again.Buffer(), out.Buffer());
  // Not transparent or not precise: no masks.
  s.transparent = false;
  CStream opaque;
  s.Write(opaque);
  CStream opaqueIn(opaque.Buffer());
  ASSERT_TRUE(back.Read(opaqueIn));
  EXPECT_FALSE(back.HasMasks());
}

// The run-time table operations on an internal table (no graphics device: textures stay -1).
class SpriteTable : public ::testing::Test {
 protected:
  void SetUp() override {
    gfx::BindSpriteTable(nullptr);
    gfx::ClearSprites();
    dir = std::filesystem::path(::testing::TempDir()) /
          ("sprite_table_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(dir);
    strip = (dir / "strip.png").string();
    ASSERT_TRUE(gfx::SavePng(ArtFrame({"#..#", "...."}), strip));
  }
  void TearDown() override {
    gfx::ClearSprites();
    std::filesystem::remove_all(dir);
  }
  std::filesystem::path dir;
  std::string strip;
};

TEST_F(SpriteTable, AddReplaceDeleteDuplicateAssign) {
  const int a = gfx::AddSprite(strip, 2, true, true, true, false, true, 0, 0);
  ASSERT_EQ(a, 0);
  EXPECT_EQ(gfx::SpriteName(a), "__newsprite0");
  EXPECT_EQ(gfx::GetSprite(a)->FrameCount(), 2);
  // A failed add leaves no entry behind.
  EXPECT_EQ(gfx::AddSprite((dir / "missing.png").string(), 1, true, true, true, false, true, 0, 0), -1);
  EXPECT_EQ(gfx::SpriteTable().Count(), 1);
  const int b = gfx::DuplicateSprite(a);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(*gfx::GetSprite(b), *gfx::GetSprite(a));
  EXPECT_TRUE(gfx::DeleteSprite(a));
  EXPECT_FALSE(gfx::DeleteSprite(a));
  EXPECT_EQ(gfx::SpriteName(a), "<undefined>");
  EXPECT_EQ(gfx::FindSprite("__newsprite1"), b);
  // Replacing and assigning fill an empty slot again.
  EXPECT_TRUE(gfx::ReplaceSprite(a, strip, 4, true, false, true, false, true, 3, 1));
  EXPECT_EQ(gfx::GetSprite(a)->FrameCount(), 4);
  EXPECT_EQ(gfx::GetSprite(a)->xOrigin, 3);
  EXPECT_FALSE(gfx::GetSprite(a)->HasMasks());
  EXPECT_FALSE(gfx::ReplaceSprite(a, (dir / "missing.png").string(), 1, true, true, true, false, true, 0, 0));
  EXPECT_EQ(gfx::GetSprite(a)->FrameCount(), 4);  // unchanged
  EXPECT_TRUE(gfx::DeleteSprite(b));
  EXPECT_TRUE(gfx::AssignSprite(b, a));
  EXPECT_EQ(gfx::GetSprite(b)->FrameCount(), 4);
  EXPECT_FALSE(gfx::AssignSprite(b, 7));
  EXPECT_TRUE(gfx::MergeSprite(a, b));
  EXPECT_EQ(gfx::GetSprite(a)->FrameCount(), 8);
  EXPECT_FALSE(gfx::MergeSprite(a, 9));
  EXPECT_EQ(gfx::SpriteFrameTexture(a, 3), -1);  // no device
  EXPECT_EQ(gfx::SpriteFrameTexture(5, 0), -1);
}

TEST_F(SpriteTable, SavingAFrame) {
  const int a = gfx::AddSprite(strip, 2, true, true, true, false, true, 0, 0);
  const std::string png = (dir / "frame.png").string(), bmp = (dir / "frame.bmp").string();
  ASSERT_TRUE(gfx::SaveSpriteFrame(a, -1, png));  // frame -1 is the last one
  std::optional<CBitmap32> back = gfx::LoadImageFile(png);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, gfx::GetSprite(a)->frames[1]);
  ASSERT_TRUE(gfx::SaveSpriteFrame(a, 0, bmp));
  back = gfx::LoadImageFile(bmp);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, gfx::GetSprite(a)->frames[0]);
  EXPECT_FALSE(gfx::SaveSpriteFrame(a, 0, ""));
  EXPECT_FALSE(gfx::SaveSpriteFrame(42, 0, png));
}

}  // namespace
}  // namespace kv
