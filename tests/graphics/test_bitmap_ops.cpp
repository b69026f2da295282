// Bitmap operations (transparency, smoothing, boxes, resizing) and image files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "graphics/bitmap_ops.h"
#include "graphics/gfx_fixture.h"

namespace kv::gfx {
namespace {

constexpr uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu, kGreen = 0xFF00FF00u;

CBitmap32 FromRows(std::initializer_list<std::initializer_list<uint32_t>> rows) {
  CBitmap32 b = CBitmap32::Make(static_cast<int>(rows.begin()->size()), static_cast<int>(rows.size()));
  size_t i = 0;
  for (auto& r : rows)
    for (uint32_t p : r) b.pixels[i++] = p;
  return b;
}

TEST(BitmapOps, TransparencyFromTheBottomLeftPixelAlsoInside) {
  CBitmap32 b = FromRows({{kBlue, kRed, kBlue}, {kRed, kGreen, kRed}, {kRed, kBlue, kRed}});
  MakeTransparent(b);
  const int alpha[9] = {255, 0, 255, 0, 255, 0, 0, 255, 0};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(int(b.pixels[i] >> 24), alpha[i]) << i;
  // Transparent pixels take the colour of the first visible neighbour: left, right, above, below.
  EXPECT_EQ(b.pixels[1], kBlue & 0x00FFFFFFu);   // left neighbour
  EXPECT_EQ(b.pixels[3], kGreen & 0x00FFFFFFu);  // right neighbour before the one above
  EXPECT_EQ(b.pixels[6], kBlue & 0x00FFFFFFu);   // right neighbour
}

TEST(BitmapOps, SmoothingAThinLine) {
  CBitmap32 b = CBitmap32::Make(5, 8, 0x00000000u);
  for (int y = 0; y < 8; ++y) b.pixels[y * 5 + 2] = kRed;
  SmoothEdges(b);
  for (int y = 1; y < 7; ++y) EXPECT_EQ(int(b.Pixel(2, y) >> 24), 255 - 6 * 32) << y;  // six transparent neighbours
  EXPECT_EQ(int(b.Pixel(2, 0) >> 24), 255 - 4 * 32);
  // In place: a pixel driven to 0 before it is visited lowers its neighbours as well.
  CBitmap32 c = FromRows({{0, 0x20FFFFFFu}, {0xFF123456u, 0xFF123456u}});
  SmoothEdges(c);
  EXPECT_EQ(c.pixels[1] >> 24, 0u);
  EXPECT_EQ(c.pixels[2] >> 24, 255u - 64);  // from pixel 0 and, once transparent, pixel 1
}

TEST(BitmapOps, BoundingBoxes) {
  CBitmap32 empty;
  EXPECT_EQ(BoundingBox(empty), (BitmapBox{0, 0, 0, 0}));
  CBitmap32 clear = CBitmap32::Make(4, 3, 0);
  EXPECT_EQ(BoundingBox(clear), (BitmapBox{3, 2, 0, 0}));
  clear.pixels[1 * 4 + 2] = 0x01000000u;
  clear.pixels[2 * 4 + 1] = kRed;
  EXPECT_EQ(BoundingBox(clear), (BitmapBox{1, 1, 2, 2}));
}

TEST(BitmapOps, ResizePartSolidAlpha) {
  CBitmap32 b = FromRows({{kRed, kGreen}, {kBlue, 0xFF000000u}});
  Resize(b, 4, 3);
  EXPECT_EQ(b.width, 4);
  EXPECT_EQ(b.Pixel(1, 0), kRed);
  EXPECT_EQ(b.Pixel(2, 0), kGreen);
  EXPECT_EQ(b.Pixel(0, 2), kBlue);  // floor(2 × 2 / 3) = 1
  Resize(b, 0, 5);  // ignored
  EXPECT_EQ(b.width, 4);
  EXPECT_TRUE(Part(b, 1, 1, 3, 2).exists);
  EXPECT_FALSE(Part(b, 2, 0, 3, 1).exists);
  EXPECT_FALSE(Part(b, -1, 0, 1, 1).exists);
  CBitmap32 s = Solid(0, -4, 255);
  EXPECT_EQ(s.width, 1);
  EXPECT_EQ(s.pixels[0], kRed);
  CBitmap32 a = CBitmap32::Make(3, 1, 0xC0FFFFFFu);
  SetAlphaFrom(a, FromRows({{0xFF303030u, 0xFFFFFFFFu}}));
  EXPECT_EQ(a.pixels[0] >> 24, 0x30u);
  EXPECT_EQ(a.pixels[1] >> 24, 0xC0u);  // never raised
  EXPECT_EQ(a.pixels[2] >> 24, 0xC0u);  // outside the other bitmap
}

TEST(BitmapOps, ImageFiles) {
  CBitmap32 b = FromRows({{0x80FF0000u, kGreen, 0x00000000u}, {kBlue, 0xFF102030u, 0x7F7F7F7Fu}});
  auto png = EncodePng(b);
  auto back = DecodePng(png.data(), png.size());
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, b);
  EXPECT_EQ(DecodeImage(png, "x.PNG"), b);  // extension without regard to case
  EXPECT_FALSE(DecodeImage(png, "x.gif").has_value());
  std::vector<uint8_t> truncated(png.begin(), png.begin() + png.size() / 2);
  EXPECT_FALSE(DecodePng(truncated.data(), truncated.size()).has_value());
  std::vector<uint8_t> junk = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3};
  EXPECT_FALSE(DecodeJpeg(junk.data(), junk.size()).has_value());
  auto bmp = b.EncodeBmp();
  EXPECT_EQ(DecodeImage(bmp, "a.bmp"), b);
}

TEST(BitmapOps, SecureModePaths) {
  const std::pair<const char*, bool> cases[] = {
      {"shot.png", true},     {"sub/dir/shot.bmp", true}, {"a/../b.bmp", true}, {"./x.png", true},
      {"../x.png", false},    {"a/../../x.png", false},   {"/tmp/x.png", false}, {"C:\\x.bmp", false},
      {"\\\\host\\x", false}, {"", false},
  };
  // What the name says; how the file system resolves it is checked where files are written.
  for (auto [path, ok] : cases) EXPECT_EQ(PathTextInsideWorkingDirectory(path), ok) << path;
}

class ScreenSaveTest : public test::RecordingGfxTest {};

TEST_F(ScreenSaveTest, EmptyNamesAndSecureMode) {
  std::string error;
  EXPECT_FALSE(SaveScreenPart("", 0, 0, 10, 10, false, error));
  EXPECT_EQ(error, "Trying to save screen to empty image file name.");
  EXPECT_FALSE(SaveScreenPart("/tmp/kv_secure.png", 0, 0, 10, 10, true, error));
  EXPECT_EQ(error, "In secure mode you cannot write file /tmp/kv_secure.png");
  EXPECT_FALSE(SaveSurfacePart(3, "a.png", 0, 0, 1, 1, false, error));
  EXPECT_EQ(error, "Trying to use non-existing surface.");
  auto path = std::filesystem::temp_directory_path() / "kv_screen_save_test.png";
  gpu.readValue = 0x00112233u;
  ASSERT_TRUE(SaveScreenPart(path.string(), -10, 0, 30, 5, false, error));
  auto saved = LoadImageFile(path.string());
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(saved->width, 30);
  EXPECT_EQ(saved->pixels[0], 0xFF112233u);  // the frame is opaque
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace kv::gfx
