// End to end: what the shipped runner connects, seen through kvrun (hooks that only tests used to set).
#include "../world/test_run_fixture.h"

#include "graphics/bitmap32.h"
#include "graphics/bitmap_ops.h"

namespace {

using kvtest::Result;
using RunnerWiring = kvtest::RunGameTest;

uint32_t RgbAt(const kv::CBitmap32& b, int x, int y) { return b.pixels[static_cast<size_t>(y) * b.width + x] & 0xFFFFFFu; }

// cursor_sprite is drawn over the room at the mouse position, in front of everything.
TEST_F(RunnerWiring, CursorSpriteFollowsTheMouse) {
  kv::CBitmap32 square = kv::CBitmap32::Make(8, 8);
  for (uint32_t& p : square.pixels) p = 0xFFFF0000u;  // opaque red
  ASSERT_TRUE(kv::gfx::SavePng(square, (dir / "project" / "cursor.png").string()));
  Write("game.kvp",
        "[sprite spr_cursor]\nfile = cursor.png\n"
        "[object obj_setup]\nevent create = create.kvs\n"
        "[room rm_one]\ncolour = 0x000000\nshow_colour = true\ninstance obj_setup 0 0\n");
  Write("create.kvs", "cursor_sprite = spr_cursor;");
  std::ofstream(dir / "input.txt") << "@1 move 100 80\n";
  const std::string shot = (dir / "shot.png").string();
  Result r = Play(Pack(), "--steps 4 --input " + (dir / "input.txt").string() + " --screenshot 3:" + shot);
  ASSERT_EQ(r.exitCode, 0);
  auto frame = kv::gfx::LoadImageFile(shot);
  ASSERT_TRUE(frame);
  EXPECT_EQ(RgbAt(*frame, 103, 83), 0xFF0000u);  // inside the 8x8 sprite whose origin is at the mouse
  EXPECT_EQ(RgbAt(*frame, 96, 76), 0x000000u);   // above and left of it: the room colour
  EXPECT_EQ(RgbAt(*frame, 109, 89), 0x000000u);  // past its far corner
}

}  // namespace
