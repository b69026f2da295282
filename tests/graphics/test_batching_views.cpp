// End to end: batching never changes pixels, also across views (each with its own projection and port), view
// angles and surfaces as drawing targets: the same game is played with batching on and off and every frame
// compared.
#include "../world/test_run_fixture.h"

#include "graphics/bitmap32.h"
#include "graphics/bitmap_ops.h"

namespace {

using kvtest::Result;
using kvtest::RunCommand;
using BatchingViews = kvtest::RunGameTest;

std::string ViewLines(int count) {
  std::string lines = "views = on\n";
  const int cols = count <= 2 ? count : 4, rows = (count + cols - 1) / cols;
  const int pw = 320 / cols, ph = 240 / rows;
  for (int i = 0; i < count; ++i) {
    const int px = (i % cols) * pw, py = (i / cols) * ph;
    lines += "view " + std::to_string(i) + " " + std::to_string(i * 20) + " " + std::to_string(i * 10) + " 200 150 " +
             std::to_string(px) + " " + std::to_string(py) + " " + std::to_string(pw) + " " + std::to_string(ph) + "\n";
  }
  lines += "creation = views.kvs\n";
  return lines;
}

TEST_F(BatchingViews, BatchingOnAndOffDrawTheSameFrames) {
  kv::CBitmap32 ball = kv::CBitmap32::Make(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ball.pixels[y * 16 + x] = 0xFF000000u | uint32_t(x * 16) << 16 | uint32_t(y * 16) << 8 | 0x40;
  ASSERT_TRUE(kv::gfx::SavePng(ball, (dir / "project" / "ball.png").string()));
  struct Scene {
    const char* name;
    int views;
    double angle;
  };
  for (const Scene& scene : {Scene{"one view", 1, 0}, Scene{"two views", 2, 0}, Scene{"eight views", 8, 0},
                             Scene{"turned views", 2, 30}}) {
    SCOPED_TRACE(scene.name);
    Write("game.kvp",
          "[sprite spr_ball]\nfile = ball.png\n"
          "[object obj_ball]\nsprite = spr_ball\nevent draw = draw.kvs\n"
          "[object obj_surface]\ndepth = -10\nevent draw = surface.kvs\n"
          "[room rm_one]\nwidth = 400\nheight = 300\ncolour = 0x203040\nshow_colour = true\n" +
              ViewLines(scene.views) +
              "instance obj_ball 40 40\ninstance obj_ball 120 60\ninstance obj_ball 200 100\n"
              "instance obj_ball 90 180\ninstance obj_surface 0 0\n");
    Write("views.kvs", "global.s = -1; for (i = 0; i < 8; i += 1) view_angle[i] = " + std::to_string(scene.angle) + ';');
    Write("draw.kvs",
          "draw_sprite(sprite_index, 0, x, y);\n"
          "draw_sprite_ext(sprite_index, 0, x + 20, y + 10, 1.5, 1, 45, c_yellow, 0.5);\n"
          "draw_rectangle(x - 4, y - 4, x + 4, y + 4, false);\n");
    Write("surface.kvs",
          "if (!surface_exists(global.s)) global.s = surface_create(64, 64);\n"
          "surface_set_target(global.s);\n"
          "draw_clear_alpha(c_red, 0.5);\n"
          "draw_sprite(spr_ball, 0, 8, 8);\n"
          "draw_circle(40, 40, 12, false);\n"
          "surface_reset_target();\n"
          "draw_surface(global.s, 150, 20);\n"
          "draw_sprite(spr_ball, 0, 160, 30);\n");
    const std::string game = Pack();
    auto shoot = [&](const char* batch) {
      const std::string shot = (dir / (std::string("shot") + batch + ".png")).string();
      Result r = RunCommand(std::string("KV_GL_BATCH=") + batch + " " + KV_BIN_DIR + "/kvrun " + game +
                            " --headless --fast --seed 1 --steps 3 --screenshot 2:" + shot);
      EXPECT_EQ(r.exitCode, 0);
      return kv::gfx::LoadImageFile(shot);
    };
    auto on = shoot("1"), off = shoot("0");
    ASSERT_TRUE(on && off);
    ASSERT_EQ(on->pixels.size(), off->pixels.size());
    int differing = 0;
    for (size_t i = 0; i < on->pixels.size(); ++i) differing += on->pixels[i] != off->pixels[i];
    EXPECT_EQ(differing, 0);
    // The scene is really drawn: the balls show in the frame.
    int drawn = 0;
    for (uint32_t p : on->pixels) drawn += (p & 0xFFFFFF) != 0x403020 && (p & 0xFFFFFF) != 0;
    EXPECT_GT(drawn, 500);
  }
}

TEST_F(BatchingViews, BatchesThatOutgrowTheFirstStreamingBufferDrawTheSameFrames) {
  // 10000 sprites of one texture in one batch: 40000 vertices, more than the streaming buffers hold at first, so
  // they grow twice within the frame; every sprite still lands where the unbatched draws put it.
  kv::CBitmap32 dot = kv::CBitmap32::Make(2, 2);
  for (uint32_t& p : dot.pixels) p = 0xFFFFFFFFu;
  ASSERT_TRUE(kv::gfx::SavePng(dot, (dir / "project" / "dot.png").string()));
  Write("game.kvp",
        "[sprite spr_dot]\nfile = dot.png\n[object obj_many]\nevent draw = draw.kvs\n"
        "[room rm_one]\nwidth = 200\nheight = 100\ncolour = 0x000000\nshow_colour = true\ninstance obj_many 0 0\n");
  Write("draw.kvs", "for (i = 0; i < 10000; i += 1) draw_sprite_ext(spr_dot, 0, i mod 200, (i div 200) * 2, 1, 1, 0, "
                    "make_color_rgb(i mod 256, (i div 256) * 6, 255), 1);");
  const std::string game = Pack();
  auto shoot = [&](const char* batch) {
    const std::string shot = (dir / (std::string("many") + batch + ".png")).string();
    Result r = RunCommand(std::string("KV_GL_BATCH=") + batch + " " + KV_BIN_DIR + "/kvrun " + game +
                          " --headless --fast --seed 1 --steps 2 --screenshot 1:" + shot);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    return kv::gfx::LoadImageFile(shot);
  };
  auto on = shoot("1"), off = shoot("0");
  ASSERT_TRUE(on && off);
  ASSERT_EQ(on->pixels.size(), off->pixels.size());
  int differing = 0, lit = 0;
  for (size_t i = 0; i < on->pixels.size(); ++i) {
    differing += on->pixels[i] != off->pixels[i];
    lit += (on->pixels[i] & 0xFFFFFF) != 0;
  }
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(lit, 200 * 100);  // the dots cover the whole room
}

}  // namespace
