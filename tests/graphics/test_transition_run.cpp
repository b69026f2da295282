// Transitions in a running game (kvrun, headless): room changes play the transition kind the game asked for and a
// screenshot of that step shows the transition's middle frame; the script side of transitions.
#include <fstream>
#include <iterator>

#include "graphics/bitmap_ops.h"
#include "graphics/gfx_fixture.h"
#include "world/test_run_fixture.h"

namespace {

using kvtest::Result;
using TransitionRun = kvtest::RunGameTest;

std::optional<kv::CBitmap32> LoadPng(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return kv::gfx::DecodePng(bytes.data(), bytes.size());
}

// Two rooms of 96 × 72: blue with a white box, orange with a yellow disc. Step 2 pushes to the second room
// (kind 14, 8 steps), step 4 blends back (kind 20); the shots of those steps are the middle frames.
TEST_F(TransitionRun, RoomChangesShowTheirTransition) {
  Write("game.kvp",
        "[library_init]\nfile = init.kvs\n"
        "[object obj_painter]\n"
        "event step begin = begin.kvs\n"
        "event draw = draw.kvs\n"
        "event other room_start = start.kvs\n"
        "[room rm_a]\nwidth = 96\nheight = 72\ncolour = 0xC06020\nshow_colour = true\ninstance obj_painter 0 0\n"
        "[room rm_b]\nwidth = 96\nheight = 72\ncolour = 0x2080E0\nshow_colour = true\ninstance obj_painter 0 0\n");
  Write("init.kvs", "global.steps = 0;");
  Write("begin.kvs",
        "global.steps += 1;\n"
        "show_debug_message('step ' + string(global.steps) + ' kind ' + string(transition_kind));\n"
        "if (global.steps == 2) { transition_kind = 14; transition_steps = 8; room_goto_next(); }\n"
        "if (global.steps == 4) { transition_kind = 20; room = rm_a; }\n"
        "if (global.steps == 6) game_end();\n");
  Write("start.kvs", "show_debug_message('start ' + string(room) + ' kind ' + string(transition_kind));");
  Write("draw.kvs",
        "if (room == rm_a) { draw_set_color(c_white); draw_rectangle(8, 8, 52, 40, false); }\n"
        "else { draw_set_color(c_yellow); draw_circle(60, 40, 22, false); }\n");
  const std::string push = (dir / "push.png").string(), blend = (dir / "blend.png").string();
  Result r = Play(Pack(), "--screenshot 2:" + push + " --screenshot 4:" + blend);
  EXPECT_EQ(r.exitCode, 0);
  // The kind stays set through room_goto and the room variable, and is 0 again once the transition played.
  EXPECT_EQ(r.out,
            "start 0 kind 0\nstep 1 kind 0\nstep 2 kind 0\nstart 1 kind 14\nstep 3 kind 0\nstep 4 kind 0\n"
            "start 0 kind 20\nstep 5 kind 0\nstep 6 kind 0\n");
  auto a = LoadPng(push), b = LoadPng(blend);
  ASSERT_TRUE(a && b);
  ASSERT_EQ(a->width, 96);
  ASSERT_EQ(a->height, 72);
  ASSERT_EQ(b->width, 96);
  kv::CBitmap32 both = kv::CBitmap32::Make(192, 72, 0xFF000000u);
  for (int y = 0; y < 72; ++y)
    for (int x = 0; x < 96; ++x) {
      both.pixels[y * 192 + x] = a->pixels[y * 96 + x];
      both.pixels[y * 192 + 96 + x] = b->pixels[y * 96 + x];
    }
  kv::test::ExpectGolden("transition_room_change", both);
}

// transition_steps keeps at least 1, transition_exists knows the built-in and the defined kinds, view_current
// is 0 outside drawing and cannot be written.
TEST_F(TransitionRun, ScriptVariablesAndFunctions) {
  Write("game.kvp",
        "[script scr_fx]\nfile = fx.kvs\n"
        "[object obj_probe]\nevent create = create.kvs\n"
        "[room rm_a]\ninstance obj_probe 0 0\n");
  Write("fx.kvs", "draw_surface(argument1, 0, 0);");
  Write("create.kvs",
        "transition_steps = 0; show_debug_message(transition_steps);\n"
        "transition_steps = -5; show_debug_message(transition_steps);\n"
        "transition_steps = 12.4; show_debug_message(transition_steps);\n"
        "show_debug_message(string(transition_exists(1)) + string(transition_exists(21)) + "
        "string(transition_exists(22)) + string(transition_exists(0)));\n"
        "show_debug_message(string(transition_define(30, 'scr_fx')) + string(transition_exists(30)));\n"
        "show_debug_message(string(transition_define(31, 'no_such_script')) + string(transition_exists(31)));\n"
        "show_debug_message(string(transition_define(5, 'scr_fx')) + string(transition_exists(5)));\n"
        "show_debug_message(view_current);\n"
        "game_end();\n");
  Result r = Play(Pack(), "");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "1\n1\n12\n1100\n11\n00\n11\n0\n");
}

}  // namespace
