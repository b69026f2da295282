// Background table at run time: resources made from files and copies, their textures, and the drawing forms.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "graphics/background_main.h"
#include "graphics/bitmap_ops.h"
#include "graphics/gfx_fixture.h"

namespace kv::test {
namespace {

class BackgroundTest : public RecordingGfxTest {
 protected:
  std::string dir;
  void SetUp() override {
    RecordingGfxTest::SetUp();
    gfx::ClearBackgrounds();
    dir = (std::filesystem::temp_directory_path() / ("kvbg_" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(dir);
    CBitmap32 b = CBitmap32::Make(32, 16, 0xFF00FF00u);
    b.pixels[15 * 32] = 0xFFFF00FFu;  // bottom-left: the transparent colour
    ASSERT_TRUE(gfx::SavePng(b, dir + "/bg.png"));
    std::ofstream(dir + "/junk.png") << "not an image";
  }
  void TearDown() override {
    gfx::ClearBackgrounds();
    std::filesystem::remove_all(dir);
    RecordingGfxTest::TearDown();
  }
};

TEST_F(BackgroundTest, TableOperations) {
  struct Case {
    const char* file;
    bool ok;
  } adds[] = {{"bg.png", true}, {"missing.png", false}, {"junk.png", false}};
  for (const auto& c : adds) {
    int before = gfx::Backgrounds().Count();
    int index = gfx::AddBackground(dir + "/" + c.file, true, false, true);
    EXPECT_EQ(index >= 0, c.ok) << c.file;
    EXPECT_EQ(gfx::Backgrounds().Count(), before + (c.ok ? 1 : 0)) << "a failed add leaves no entry";
  }
  int a = gfx::FindBackground("__newbackground0");
  ASSERT_EQ(a, 0);
  const CBackground* bg = gfx::GetBackground(a);
  EXPECT_EQ(bg->width, 32);
  EXPECT_TRUE(bg->transparent);
  EXPECT_EQ(bg->image->Pixel(0, 15) >> 24, 0u);  // the bottom-left colour became transparent
  EXPECT_GE(gfx::BackgroundTexture(a), 0);

  int copy = gfx::DuplicateBackground(a);
  EXPECT_EQ(gfx::BackgroundName(copy), "__newbackground" + std::to_string(copy));
  EXPECT_NE(gfx::BackgroundTexture(copy), gfx::BackgroundTexture(a));
  EXPECT_FALSE(gfx::ReplaceBackground(copy, dir + "/junk.png", false, false, true));
  EXPECT_EQ(gfx::GetBackground(copy)->width, 32);  // unchanged

  int empty = gfx::AddEmptyBackground();
  EXPECT_EQ(gfx::BackgroundTexture(empty), -1);
  EXPECT_TRUE(gfx::AssignBackground(empty, a));
  EXPECT_EQ(gfx::GetBackground(empty)->height, 16);
  EXPECT_GE(gfx::BackgroundTexture(empty), 0);

  int live = gpu.LiveTextures();
  EXPECT_TRUE(gfx::DeleteBackground(copy));
  EXPECT_EQ(gpu.LiveTextures(), live - 1);
  EXPECT_FALSE(gfx::BackgroundExists(copy));
  EXPECT_EQ(gfx::BackgroundName(copy), "<undefined>");
  EXPECT_FALSE(gfx::DeleteBackground(copy));
  EXPECT_EQ(gfx::DuplicateBackground(99), -1);
}

TEST_F(BackgroundTest, DrawingForms) {
  CBackground rec;
  rec.width = 32, rec.height = 32;
  rec.image = gfx::Solid(32, 32, 0xFFFFFF);
  int b = gfx::AddBackgroundRecord(rec);
  gpu.ClearLog();
  // Tiling a 32-pixel background at x = 40 over a region from 0 starts with a column at 8 − 32 = −24.
  gfx::DrawBackgroundTiled(b, 40, 0, 1, 1, 0xFFFFFF, 1, 0, 0, 100, 32, true, false);
  auto d = Draws();
  ASSERT_EQ(d.size(), 4u);  // −24, 8, 40, 72 (104 is past the region), one row
  EXPECT_FLOAT_EQ(d[0].vertices[0].x, -24.5f);
  EXPECT_FLOAT_EQ(d[3].vertices[0].x, 71.5f);
  // Stretched: nothing for a size that is not positive; otherwise the scale that fills the box.
  gpu.ClearLog();
  gfx::DrawBackgroundStretched(b, 0, 0, -5, 10, 0xFFFFFF, 1);
  gfx::DrawBackgroundStretched(b, 0, 0, 64, 0, 0xFFFFFF, 1);
  EXPECT_TRUE(Draws().empty());
  gfx::DrawBackgroundStretched(b, 10, 10, 64, 16, 0xFFFFFF, 1);
  ASSERT_EQ(Draws().size(), 1u);
  EXPECT_FLOAT_EQ(Draws()[0].vertices[2].x, 10 + 64 - 0.5f);
  EXPECT_FLOAT_EQ(Draws()[0].vertices[2].y, 10 + 16 - 0.5f);
  // A missing background draws nothing.
  gpu.ClearLog();
  gfx::DrawBackground(77, 0, 0);
  gfx::DrawBackgroundExt(77, 0, 0, 1, 1, 0, 0xFFFFFF, 1);
  EXPECT_TRUE(Draws().empty());
}

}  // namespace
}  // namespace kv::test
