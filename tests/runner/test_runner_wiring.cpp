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

// Joysticks moved by the input script reach both the joystick functions and the joystick events; the second
// joystick stays missing until a line names it.
TEST_F(RunnerWiring, ScriptedJoysticksReachFunctionsAndEvents) {
  Write("game.kvp",
        "[object obj_pad]\nevent step = step.kvs\nevent mouse 16 = left.kvs\nevent mouse 22 = button2.kvs\n"
        "event mouse 33 = up2.kvs\n"
        "[room rm_one]\ninstance obj_pad 0 0\n");
  Write("step.kvs",
        "show_debug_message(string(joystick_exists(1)) + \" \" + string(joystick_exists(2)) + \" \" +"
        " string(joystick_direction(1)) + \" \" + string(joystick_xpos(1)) + \" \" +"
        " string(joystick_check_button(1, 2)) + \" \" + string(joystick_pov(1)) + \" \" +"
        " string(joystick_axes(1)));");
  Write("left.kvs", "show_debug_message(\"left\");");
  Write("button2.kvs", "show_debug_message(\"button 2\");");
  Write("up2.kvs", "show_debug_message(\"second up\");");
  std::ofstream(dir / "input.txt") << "@2 joy 0 axis 0 -32768\n@2 joy 0 axis 1 32767\n@2 joy 0 button 1 1\n"
                                      "@2 joy 0 pov 9000\n@3 joy 0 button 1 0\n@3 joy 1 axis 1 -32768\n";
  Result r = Play(Pack(), "--steps 3 --input " + (dir / "input.txt").string());
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "0 0 101 0 0 -1 0\n"
            "left\nbutton 2\n1 0 97 -1 1 90 6\n"
            "left\nsecond up\n1 1 97 -1 0 90 6\n");
}

// A joystick line with a joystick other than 0 or 1, or a wrong shape, is refused before the game starts.
TEST_F(RunnerWiring, MalformedJoystickLinesAreRefused) {
  Write("game.kvp", "[object obj]\n[room rm_one]\n");
  for (const char* line : {"@1 joy 2 axis 0 5", "@1 joy 0 axis 0", "@1 joy 0 wobble 1 1", "@1 joy 0 button x 1"}) {
    std::ofstream(dir / "input.txt") << "# joysticks\n" << line << "\n";
    Result r = Play(Pack(), "--steps 1 --input " + (dir / "input.txt").string());
    EXPECT_NE(r.exitCode, 0) << line;
    EXPECT_EQ(r.out, "") << line;
  }
}

}  // namespace
