// Particles in a running game (kvrun, headless): automatic update and drawing at the system's depth among the
// instances, effects cleared at a room change, and repeatable runs with one seed.
#include <fstream>
#include <iterator>

#include "graphics/bitmap_ops.h"
#include "world/test_run_fixture.h"

namespace {

using kvtest::Result;
using ParticleRun = kvtest::RunGameTest;

std::optional<kv::CBitmap32> LoadPng(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return kv::gfx::DecodePng(bytes.data(), bytes.size());
}

uint32_t Rgb(const kv::CBitmap32& b, int x, int y) { return b.pixels[y * b.width + x] & 0xFFFFFF; }

// A blue square (depth 10) under a white particle square (system depth 0) under a red square (depth −10).
TEST_F(ParticleRun, SystemsAreDrawnAtTheirDepthBetweenInstances) {
  Write("game.kvp",
        "[object obj_back]\ndepth = 10\nevent draw = back.kvs\n"
        "[object obj_front]\ndepth = -10\nevent draw = front.kvs\n"
        "[object obj_maker]\nevent create = maker.kvs\n"
        "[room rm]\nwidth = 96\nheight = 96\ncolour = 0\nshow_colour = true\n"
        "instance obj_front 0 0\ninstance obj_maker 0 0\ninstance obj_back 0 0\n");
  Write("back.kvs", "draw_set_color(c_blue); draw_rectangle(10, 10, 50, 50, false);");
  Write("front.kvs", "draw_set_color(c_red); draw_rectangle(30, 30, 70, 70, false);");
  Write("maker.kvs",
        "ps = part_system_create(); pt = part_type_create();\n"
        "part_type_shape(pt, pt_shape_square); part_type_life(pt, 50, 50);\n"
        "part_particles_create(ps, 40, 40, pt, 1);\n"
        "hidden = part_system_create(); part_system_automatic_draw(hidden, false);\n"
        "part_particles_create_color(hidden, 80, 80, pt, c_lime, 1);\n"
        "show_debug_message(part_particles_count(ps));");
  const std::string shot = (dir / "shot.png").string();
  Result r = Play(Pack(), "--steps 3 --screenshot 2:" + shot);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "1\n");
  auto img = LoadPng(shot);
  ASSERT_TRUE(img);
  EXPECT_EQ(Rgb(*img, 15, 15), 0x0000FFu);  // blue alone
  EXPECT_EQ(Rgb(*img, 27, 27), 0xFFFFFFu);  // the particle over the blue square
  EXPECT_EQ(Rgb(*img, 45, 45), 0xFF0000u);  // the red square over the particle
  EXPECT_EQ(Rgb(*img, 53, 27), 0xFFFFFFu);  // the particle alone, centred on its point
  EXPECT_EQ(Rgb(*img, 80, 80), 0x000000u);  // a system without automatic drawing
}

TEST_F(ParticleRun, EffectsAreClearedAtARoomChangeAndSystemsKeepTheirs) {
  Write("game.kvp",
        "[object obj_a]\nevent create = a_create.kvs\nevent step = a_step.kvs\n"
        "[object obj_b]\nevent create = b_create.kvs\n"
        "[room rm_a]\ninstance obj_a 0 0\n[room rm_b]\ninstance obj_b 0 0\n");
  Write("a_create.kvs",
        "effect_create_below(ef_smoke, 50, 50, 1, c_white); effect_create_above(ef_ring, 50, 50, 1, c_white);\n"
        "global.mine = part_system_create(); pt = part_type_create(); part_type_life(pt, 1000, 1000);\n"
        "part_particles_create(global.mine, 0, 0, pt, 4);\n"
        "show_debug_message(string(part_particles_count(0)) + ' ' + string(part_particles_count(1)) + ' ' + "
        "string(global.mine));");
  Write("a_step.kvs", "room_goto_next();");
  Write("b_create.kvs",
        "show_debug_message(string(part_particles_count(0)) + ' ' + string(part_particles_count(1)) + ' ' + "
        "string(part_particles_count(global.mine))); game_end();");
  Result r = Play(Pack(), "--steps 5");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "11 1 2\n0 0 4\n");
}

// Fireworks: bursts at random places, gravity and colour over the life. One seed gives the same frames; another
// seed gives other frames.
TEST_F(ParticleRun, FireworksRepeatWithTheSameSeed) {
  Write("game.kvp",
        "[object obj_fire]\nevent create = create.kvs\nevent step = step.kvs\n"
        "[room rm]\nwidth = 160\nheight = 120\ncolour = 0\nshow_colour = true\ninstance obj_fire 0 0\n");
  Write("create.kvs",
        "ps = part_system_create(); pt = part_type_create();\n"
        "part_type_shape(pt, pt_shape_flare); part_type_size(pt, 0.2, 0.5, -0.005, 0.1);\n"
        "part_type_speed(pt, 1, 4, -0.02, 0); part_type_direction(pt, 0, 360, 0, 0);\n"
        "part_type_gravity(pt, 0.1, 270); part_type_color3(pt, c_yellow, c_orange, c_red);\n"
        "part_type_alpha2(pt, 1, 0.2); part_type_life(pt, 20, 40); part_type_blend(pt, true);\n"
        "em = part_emitter_create(ps);");
  Write("step.kvs",
        "if (floor(random(5)) == 0) { part_emitter_region(ps, em, random(160) - 10, random(160) + 10, 20, 60, "
        "ps_shape_ellipse, ps_distr_gaussian); part_emitter_burst(ps, em, pt, 40); }");
  const std::string game = Pack();
  auto shot = [&](int seed, const std::string& name) {
    const std::string file = (dir / name).string();
    Result r = kvtest::RunCommand(std::string(KV_BIN_DIR) + "/kvrun " + game + " --headless --fast --seed " +
                                  std::to_string(seed) + " --steps 31 --screenshot 30:" + file);
    EXPECT_EQ(r.exitCode, 0);
    return LoadPng(file);
  };
  auto a = shot(7, "a.png"), b = shot(7, "b.png"), c = shot(8, "c.png");
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(a->pixels, b->pixels);
  EXPECT_NE(a->pixels, c->pixels);
  int lit = 0;
  for (uint32_t p : a->pixels) lit += (p & 0xFFFFFF) != 0;
  EXPECT_GT(lit, 50);
}

}  // namespace
