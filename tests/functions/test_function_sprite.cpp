// Sprite functions: getters of existing and missing sprites, setters, run-time sprites and their messages.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "call_builtin.h"
#include "functions/function_sprite.h"
#include "graphics/sprite_main.h"

namespace kv {
namespace {

using test::S;

class SpriteFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSpriteFunctions();
    gfx::BindSpriteTable(nullptr);
    gfx::ClearSprites();
    dir = std::filesystem::path(::testing::TempDir()) /
          ("sprite_functions_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(dir);
    strip = (dir / "strip.png").string();
    CBitmap32 img = CBitmap32::Make(6, 2, 0);
    img.pixels[1] = 0xFFFF0000u;
    img.pixels[4] = 0xFF00FF00u;
    ASSERT_TRUE(gfx::SavePng(img, strip));
  }
  void TearDown() override {
    gfx::ClearSprites();
    SetSpriteSaveSecureMode(false);
    std::filesystem::remove_all(dir);
  }
  test::BuiltinCaller call;
  std::filesystem::path dir;
  std::string strip;
};

TEST_F(SpriteFunctions, GettersOfExistingAndMissingSprites) {
  const double spr = call.Real("sprite_add_alpha", {S(strip), 2, 1, 0, 1, 0});
  ASSERT_EQ(spr, 0);
  struct Case { const char* fn; double value; } cases[] = {
      {"sprite_exists", 1},          {"sprite_get_number", 2},     {"sprite_get_width", 3},
      {"sprite_get_height", 2},      {"sprite_get_transparent", 1}, {"sprite_get_smooth", 0},
      {"sprite_get_preload", 0},     {"sprite_get_xoffset", 1},    {"sprite_get_yoffset", 0},
      {"sprite_get_bbox_mode", 0},   {"sprite_get_bbox_left", 1},  {"sprite_get_bbox_right", 1},
      {"sprite_get_bbox_top", 0},    {"sprite_get_bbox_bottom", 0}, {"sprite_get_precise", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(call.Real(c.fn, {spr}), c.value) << c.fn;
    EXPECT_EQ(call.Real(c.fn, {7}), 0) << c.fn << " of a missing sprite";
    EXPECT_EQ(call.Real(c.fn, {-1}), 0) << c.fn << " of a missing sprite";
  }
  EXPECT_EQ(call.Str("sprite_name", {spr}), "__newsprite0");
  EXPECT_EQ(call.Str("sprite_get_name", {0.4}), "__newsprite0");  // indices are rounded
  EXPECT_EQ(call.Str("sprite_name", {3}), "");
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(SpriteFunctions, SettersChangeBoxOriginAndMasks) {
  const double spr = call.Real("sprite_add", {S(strip), 1, 1, 1, 0, 1, 0, 0});
  call.Call("sprite_set_offset", {spr, 3, -2});
  EXPECT_EQ(call.Real("sprite_get_xoffset", {spr}), 3);
  EXPECT_EQ(call.Real("sprite_get_yoffset", {spr}), -2);
  call.Call("sprite_set_bbox", {spr, 0, 0, 1, 1});  // ignored: not manual
  EXPECT_NE(call.Real("sprite_get_bbox_right", {spr}), 1);
  call.Call("sprite_set_bbox_mode", {spr, 2});
  call.Call("sprite_set_bbox", {spr, 0, 0, 1, 1});
  EXPECT_EQ(call.Real("sprite_get_bbox_right", {spr}), 1);
  call.Call("sprite_set_precise", {spr, 0});
  EXPECT_FALSE(gfx::GetSprite(0)->HasMasks());
  call.Call("sprite_set_precise", {spr, 1});
  EXPECT_TRUE(gfx::GetSprite(0)->HasMasks());
  call.Call("sprite_set_offset", {9, 1, 1});  // a missing sprite is left alone
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(SpriteFunctions, RunTimeSpritesAndTheirMessages) {
  const std::string missing = (dir / "missing.png").string();
  EXPECT_EQ(call.Real("sprite_add", {S(missing), 1, 1, 1, 0, 1, 0, 0}), -1);
  const double a = call.Real("sprite_add", {S(strip), 3, 1, 1, 0, 1, 0, 0});
  EXPECT_EQ(a, 0);
  EXPECT_EQ(call.Real("sprite_duplicate", {a}), 1);
  EXPECT_EQ(call.Real("sprite_duplicate", {5}), -1);
  EXPECT_TRUE(call.TookError("Trying to duplicate non-existing sprite."));
  EXPECT_EQ(call.Real("sprite_replace", {a, S(strip), 2, 1, 1, 0, 1, 0, 0}), 1);
  EXPECT_EQ(call.Real("sprite_get_number", {a}), 2);
  EXPECT_EQ(call.Real("sprite_replace", {a, S(missing), 2, 1, 1, 0, 1, 0, 0}), 0);
  EXPECT_EQ(call.Real("sprite_replace", {8, S(strip), 2, 1, 1, 0, 1, 0, 0}), 0);
  EXPECT_TRUE(call.TookError("Trying to replace non-existing sprite."));
  EXPECT_EQ(call.Real("sprite_replace_alpha", {1, S(strip), 6, 1, 1, 0, 0}), 1);
  EXPECT_EQ(call.Real("sprite_get_number", {1}), 6);
  call.Call("sprite_merge", {a, 1});
  EXPECT_EQ(call.Real("sprite_get_number", {a}), 8);
  call.Call("sprite_merge", {6, 1});
  EXPECT_TRUE(call.TookError("Trying to merge to non-existing sprite."));
  call.Call("sprite_merge", {a, 6});
  EXPECT_TRUE(call.TookError("Trying to merge from non-existing sprite."));
  call.Call("sprite_assign", {1, a});
  EXPECT_EQ(call.Real("sprite_get_number", {1}), 8);
  call.Call("sprite_assign", {1, 6});
  EXPECT_TRUE(call.TookError("Error assigning a sprite."));
  call.Call("sprite_delete", {1});
  EXPECT_EQ(call.Real("sprite_exists", {1}), 0);
  call.Call("sprite_delete", {1});
  EXPECT_TRUE(call.TookError("Trying to delete non-existing sprite."));
  EXPECT_TRUE(call.NoErrors());
}

// A name that is not a regular file gives -1 (add) or 0 (replace) without reading: no exception, no endless read
// of a device, no wait on a FIFO.
TEST_F(SpriteFunctions, NamesThatAreNotRegularFilesLoadNothing) {
  std::filesystem::create_directory(dir / "folder.png");
  ASSERT_EQ(mkfifo((dir / "fifo.png").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", dir / "zero.png");
  const double a = call.Real("sprite_add", {S(strip), 3, 1, 1, 0, 1, 0, 0});
  for (const std::string& file : {(dir / "folder.png").string(), (dir / "fifo.png").string(),
                                 (dir / "zero.png").string(), std::string("/dev/zero")}) {
    SCOPED_TRACE(file);
    EXPECT_EQ(call.Real("sprite_add", {S(file), 1, 1, 1, 0, 1, 0, 0}), -1);
    EXPECT_EQ(call.Real("sprite_add_alpha", {S(file), 1, 1, 0, 0, 0}), -1);
    EXPECT_EQ(call.Real("sprite_replace", {a, S(file), 2, 1, 1, 0, 1, 0, 0}), 0);
  }
  EXPECT_EQ(call.Real("sprite_get_number", {a}), 3);  // the failed replacements kept the sprite
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(SpriteFunctions, SavingFramesAndSecureMode) {
  const double a = call.Real("sprite_add_alpha", {S(strip), 2, 1, 1, 0, 0});
  const std::string out = (dir / "frame1.png").string();
  call.Call("sprite_save", {a, 1, S(out)});
  EXPECT_TRUE(call.NoErrors());
  ASSERT_TRUE(std::filesystem::exists(out));
  call.Call("sprite_save", {a, 0, S("")});
  EXPECT_TRUE(call.TookError("Trying to save sprite bitmap to empty image file name."));
  call.Call("sprite_save", {4, 0, S(out)});
  EXPECT_TRUE(call.TookError("Trying to save non-existing sprite bitmap."));
  SetSpriteSaveSecureMode(true);
  call.Call("sprite_save", {a, 0, S(out)});  // an absolute path leaves the working directory
  EXPECT_TRUE(call.TookError("In secure mode you cannot write file " + out));
  call.Call("sprite_save", {a, 0, S("sub/../../x.png")});
  EXPECT_TRUE(call.TookError("In secure mode you cannot write file sub/../../x.png"));
}

}  // namespace
}  // namespace kv
