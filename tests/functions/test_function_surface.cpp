// Texture and surface functions on the recording device: sizes refused or saturated, the non-existing-surface
// reports, targets, read-back, saving under secure mode and copies.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "functions/call_builtin.h"
#include "graphics/bitmap_ops.h"
#include "graphics/gfx_fixture.h"
#include "world/run_main.h"
#include "runner/runner_wiring.h"

namespace kv {
namespace {

using test::S;
namespace fs = std::filesystem;

constexpr const char* kNoSurface = "Trying to use non-existing surface.";

class SurfaceFunctionsTest : public test::RecordingGfxTest {
 protected:
  void SetUp() override {
    RecordingGfxTest::SetUp();
    RegisterAllBuiltinFunctions();
    Game().secureMode = false;
    home_ = fs::current_path();
    dir_ = fs::temp_directory_path() /
           ("kv_surface_fn_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(home_);
    fs::remove_all(dir_);
    Game().secureMode = false;
    gfx::FreeAllSurfaces();
    RecordingGfxTest::TearDown();
  }
  fs::path home_, dir_;
  test::BuiltinCaller call;
};

TEST_F(SurfaceFunctionsTest, CreateRefusesImpossibleSizes) {
  struct Case {
    double w, h;
    bool made;
  } cases[] = {
      {64, 32, true}, {1, 1, true},      {0, 10, false},  {10, -5, false},
      {1e12, 8, false}, {8, -1e12, false}, {std::nan(""), 8, false}, {100000, 8, false},  // beyond the largest texture
  };
  for (const auto& c : cases) {
    const double id = call.Real("surface_create", {c.w, c.h});
    EXPECT_EQ(id >= 0, c.made) << c.w << " x " << c.h;
    if (c.made) {
      EXPECT_EQ(call.Real("surface_exists", {id}), 1);
      EXPECT_EQ(call.Real("surface_get_width", {id}), static_cast<int>(c.w));
      EXPECT_EQ(call.Real("surface_get_height", {id}), static_cast<int>(c.h));
      EXPECT_GE(call.Real("surface_get_texture", {id}), 0);
      call.Call("surface_free", {id});
      EXPECT_EQ(call.Real("surface_exists", {id}), 0);
      EXPECT_EQ(call.Real("surface_get_width", {id}), -1);
    } else {
      EXPECT_EQ(id, -1);
    }
  }
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(SurfaceFunctionsTest, MissingSurfacesAreReported) {
  const double s = call.Real("surface_create", {16.0, 16.0});
  struct Case {
    const char* fn;
    std::initializer_list<RValue> args;
  } cases[] = {
      {"surface_getpixel", {99.0, 0.0, 0.0}},
      {"surface_save", {99.0, S("x.bmp")}},
      {"surface_save_part", {-1.0, S("x.bmp"), 0.0, 0.0, 4.0, 4.0}},
      {"surface_copy", {s, 0.0, 0.0, 99.0}},
      {"surface_copy", {99.0, 0.0, 0.0, s}},
      {"surface_copy_part", {s, 0.0, 0.0, 99.0, 0.0, 0.0, 4.0, 4.0}},
  };
  for (const auto& c : cases) {
    call.Call(c.fn, c.args);
    EXPECT_TRUE(call.TookError(kNoSurface)) << c.fn;
  }
  EXPECT_FALSE(fs::exists("x.bmp"));
  // Queries and targets answer without a report.
  EXPECT_EQ(call.Real("surface_exists", {99.0}), 0);
  EXPECT_EQ(call.Real("surface_get_height", {99.0}), -1);
  EXPECT_EQ(call.Real("surface_set_target", {99.0}), 0);
  call.Call("surface_free", {99.0});
  EXPECT_TRUE(call.NoErrors());
  call.Call("sprite_get_texture", {99.0, 0.0});
  EXPECT_TRUE(call.TookError("Trying to get texture from non-existing sprite."));
  EXPECT_EQ(call.Real("background_get_texture", {99.0}), -1);
  EXPECT_TRUE(call.TookError("Trying to get texture from non-existing background."));
  EXPECT_EQ(call.Real("texture_exists", {-1.0}), 0);
  EXPECT_EQ(call.Real("texture_get_width", {-1.0}), 1);
}

TEST_F(SurfaceFunctionsTest, TargetsReadBackSaveAndCopy) {
  gpu.readValue = 0xFF0000FF;  // blue
  const double s = call.Real("surface_create", {20.0, 10.0});
  const double t = call.Real("surface_create", {8.0, 8.0});
  EXPECT_EQ(call.Real("surface_set_target", {s}), 1);
  EXPECT_EQ(gfx::CurrentTargetSurface(), static_cast<int>(s));
  EXPECT_EQ(call.Real("surface_getpixel", {s, 3.0, 4.0}), 0xFF0000);  // script colour: blue in the high byte
  EXPECT_EQ(call.Real("surface_reset_target"), 1);
  EXPECT_EQ(call.Real("surface_reset_target"), 0);  // nothing to reset any more
  EXPECT_EQ(gfx::CurrentTargetSurface(), -1);
  struct Case {
    bool secure;
    std::string file;
    bool written;
    const char* error;
  } cases[] = {
      {false, "whole.bmp", true, ""},
      {true, "inside.png", true, ""},
      {true, "../outside.bmp", false, "In secure mode you cannot write file ../outside.bmp"},
      {true, "/tmp/kv_surface_refused.bmp", false, "In secure mode you cannot write file /tmp/kv_surface_refused.bmp"},
      {false, "", false, "Trying to save surface to empty image file name."},
  };
  for (const auto& c : cases) {
    Game().secureMode = c.secure;
    call.Call("surface_save", {s, S(c.file)});
    if (*c.error) {
      EXPECT_TRUE(call.TookError(c.error)) << c.file;
    } else {
      EXPECT_TRUE(call.NoErrors()) << c.file;
    }
    if (!c.file.empty()) {
      EXPECT_EQ(fs::exists(c.file), c.written) << c.file;
    }
  }
  auto whole = gfx::LoadImageFile("whole.bmp");
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->width, 20);
  EXPECT_EQ(whole->height, 10);
  call.Call("surface_save_part", {s, S("part.bmp"), 15.0, 5.0, 10.0, 10.0});  // clipped to the surface
  auto part = gfx::LoadImageFile("part.bmp");
  ASSERT_TRUE(part);
  EXPECT_EQ(part->width, 5);
  EXPECT_EQ(part->height, 5);
  // Copies reach the device as copies between the two surfaces' textures.
  gpu.ClearLog();
  call.Call("surface_copy", {t, 1.0, 2.0, s});
  call.Call("surface_copy_part", {t, 0.0, 0.0, s, 2.0, 2.0, 4.0, 4.0});
  int copies = 0;
  for (const auto& c : gpu.calls) copies += c.op == plat::GpuOp::Copy;
  EXPECT_EQ(copies, 2);
  EXPECT_TRUE(call.NoErrors());
}

}  // namespace
}  // namespace kv
