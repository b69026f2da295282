// End to end: a game loads its level art from an image file beside it, builds an object and its events with
// object_event_add, adds the instance and a tile to a new room and goes there; the log and a frame show the result.
#include <filesystem>

#include "graphics/bitmap_ops.h"
#include "world/test_run_fixture.h"

namespace {

using kvtest::Result;
using RuntimeResourcesGame = kvtest::RunGameTest;

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlack = 0xFF000000u;

TEST_F(RuntimeResourcesGame, LevelBuiltAtRunTime) {
  // level.png: a strip of two 4 × 4 frames, red then green.
  kv::CBitmap32 art = kv::CBitmap32::Make(8, 4, kRed);
  for (int y = 0; y < 4; ++y)
    for (int x = 4; x < 8; ++x) art.pixels[y * 8 + x] = kGreen;
  ASSERT_TRUE(kv::gfx::SavePng(art, (dir / "level.png").string()));
  Write("game.kvp", "[object obj_builder]\nevent create = create.kvs\n[room rm_start]\ninstance obj_builder 0 0\n");
  Write("create.kvs",
        "b = background_add('level.png', false, false, true);\n"
        "s = sprite_add('level.png', 2, false, false, false, true, 0, 0);\n"
        "show_debug_message('art ' + string(background_get_width(b)) + 'x' + string(background_get_height(b)) +"
        " ' frames ' + string(sprite_get_number(s)) + ' of ' + string(sprite_get_width(s)));\n"
        "show_debug_message('missing ' + string(sprite_add('none.png', 1, 0, 0, 0, 0, 0, 0)) + ' ' +"
        " string(background_add('none.png', 0, 0, 0)));\n"
        "obj = object_add();\n"
        "object_set_sprite(obj, s);\n"
        "object_event_add(obj, ev_create, 0, 'image_speed = 0; image_index = 1; show_debug_message(\"made at \" +"
        " string(x) + \",\" + string(y))');\n"
        "object_event_add(obj, ev_step, ev_step_normal, 'global.steps += 1; if (global.steps == 3) game_end()');\n"
        "global.steps = 0;\n"
        "r = room_add();\n"
        "room_set_width(r, 32); room_set_height(r, 16); room_set_background_color(r, c_black, true);\n"
        "show_debug_message('instance ' + string(room_instance_add(r, 20, 8, obj) > 100000) + ' tile ' +"
        " string(room_tile_add(r, b, 0, 0, 4, 4, 2, 2, 0) > 10000000));\n"
        "room_goto(r);\n");
  const std::string shot = (dir / "shot.png").string();
  Result r = kvtest::RunCommand("cd " + dir.string() + " && " + KV_BIN_DIR + "/kvrun " + Pack() +
                                " --headless --fast --seed 1 --steps 10 --screenshot 2:" + shot);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "art 8x4 frames 2 of 4\nmissing -1 -1\ninstance 1 tile 1\nmade at 20,8\n");
  auto frame = kv::gfx::LoadImageFile(shot);
  ASSERT_TRUE(frame);
  ASSERT_EQ(frame->width, 32);
  EXPECT_EQ(frame->Pixel(3, 3) | 0xFF000000u, kRed) << "the tile, cut from the loaded background";
  EXPECT_EQ(frame->Pixel(22, 10) | 0xFF000000u, kGreen) << "the instance, showing the sprite's second frame";
  EXPECT_EQ(frame->Pixel(12, 12) | 0xFF000000u, kBlack);
}

}  // namespace
