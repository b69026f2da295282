// Particle types and systems: ids, defaults, lifetimes with death and step spawns, motion against hand-computed
// positions, colour and alpha over the life.
#include <cmath>

#include "graphics/support_color.h"
#include "particles/particle_fixture.h"

namespace kv::test {
namespace {

using Particles = ParticleTest;

TEST_F(Particles, IdsTakeTheLowestFreeSlotAndSettersIgnoreMissingEntries) {
  EXPECT_EQ(F("part_type_create"), 0);
  EXPECT_EQ(F("part_type_create"), 1);
  F("part_type_destroy", {0.0});
  EXPECT_EQ(F("part_type_exists", {0.0}), 0);
  EXPECT_EQ(F("part_type_create"), 0);
  EXPECT_EQ(F("part_system_create"), 0);
  EXPECT_EQ(F("part_system_create"), 1);
  F("part_system_destroy", {0.0});
  EXPECT_EQ(F("part_system_exists", {0.0}), 0);
  EXPECT_EQ(F("part_system_create"), 0);
  // Per system and kind: emitter ids of two systems are independent.
  EXPECT_EQ(F("part_emitter_create", {0.0}), 0);
  EXPECT_EQ(F("part_emitter_create", {0.0}), 1);
  EXPECT_EQ(F("part_emitter_create", {1.0}), 0);
  F("part_emitter_destroy", {0.0, 0.0});
  EXPECT_EQ(F("part_emitter_exists", {0.0, 0.0}), 0);
  EXPECT_EQ(F("part_emitter_create", {0.0}), 0);
  EXPECT_EQ(F("part_emitter_create", {7.0}), -1);  // missing system
  F("part_emitter_destroy_all", {0.0});
  EXPECT_EQ(F("part_emitter_exists", {0.0, 1.0}), 0);
  // Missing entries: nothing happens, counts are 0.
  F("part_type_size", {9.0, 1.0, 2.0, 0.0, 0.0});
  F("part_particles_create", {9.0, 0.0, 0.0, 0.0, 5.0});
  EXPECT_EQ(F("part_particles_count", {9.0}), 0);
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(Particles, TypeDefaultsAndClear) {
  const int t = static_cast<int>(F("part_type_create"));
  const particles::RParticleType& d = *particles::ExistingType(t);
  EXPECT_EQ(d.sprite, -1);
  EXPECT_TRUE(d.animate);
  EXPECT_EQ(d.shape, 0);
  EXPECT_EQ(d.sizeMin, 1);
  EXPECT_EQ(d.lifeMin, 100);
  EXPECT_EQ(d.lifeMax, 100);
  EXPECT_EQ(d.gravDir, 270);
  EXPECT_EQ(d.colour[0], 16777215);
  EXPECT_EQ(d.colour[2], 16777215);
  EXPECT_EQ(d.colour[3], 0);
  EXPECT_EQ(d.alpha3, 1);
  F("part_type_sprite", {double(t), 3.0, 0.0, 1.0, 1.0});
  F("part_type_shape", {double(t), 4.0});  // a shape takes the place of the sprite
  EXPECT_EQ(d.sprite, -1);
  EXPECT_EQ(d.shape, 4);
  F("part_type_life", {double(t), 2.5, 3.5});  // rounded half to even
  EXPECT_EQ(d.lifeMin, 2);
  EXPECT_EQ(d.lifeMax, 4);
  F("part_type_alpha2", {double(t), 0.2, 0.6});
  EXPECT_DOUBLE_EQ(d.alpha2, 0.4);
  F("part_type_color_rgb", {double(t), 1.0, 2.0, 3.0, 4.0, 5.0, 6.0});
  EXPECT_EQ(d.colourKind, particles::kColourRgb);
  EXPECT_EQ(d.colour[5], 6);
  F("part_type_clear", {double(t)});
  EXPECT_TRUE(d.exists);
  EXPECT_EQ(d.colourKind, 0);
  EXPECT_EQ(d.lifeMin, 100);
  EXPECT_EQ(d.alpha1, 1);
  EXPECT_EQ(d.shape, 0);
}

TEST_F(Particles, LifetimesDeathAndStepSpawns) {
  const int ps = static_cast<int>(F("part_system_create"));
  const int five = MakeType(0, 0, 5);
  F("part_particles_create", {double(ps), 0.0, 0.0, double(five), 3.0});
  for (int step = 1; step <= 4; ++step) {
    F("part_system_update", {double(ps)});
    EXPECT_EQ(F("part_particles_count", {double(ps)}), 3) << "after update " << step;
  }
  F("part_system_update", {double(ps)});
  EXPECT_EQ(F("part_particles_count", {double(ps)}), 0);

  // Life 1 dies in the next update and leaves its death particles, which are not aged in that update.
  const int spark = MakeType(0, 0, 2);
  const int one = MakeType(0, 0, 1);
  F("part_type_death", {double(one), 2.0, double(spark)});
  F("part_particles_create", {double(ps), 4.0, 6.0, double(one), 1.0});
  F("part_system_update", {double(ps)});
  ASSERT_EQ(F("part_particles_count", {double(ps)}), 2);
  EXPECT_EQ(Parts(ps).type[0], spark);
  EXPECT_EQ(Parts(ps).age[0], 0);
  EXPECT_EQ(Parts(ps).x[1], 4);
  EXPECT_EQ(Parts(ps).y[1], 6);
  F("part_system_update", {double(ps)});
  EXPECT_EQ(F("part_particles_count", {double(ps)}), 2);
  F("part_system_update", {double(ps)});
  EXPECT_EQ(F("part_particles_count", {double(ps)}), 0);

  // Step spawns come from living particles each update; a negative number is a chance of 1 in −n.
  F("part_particles_clear", {double(ps)});
  const int trail = MakeType(0, 0, 1);
  const int head = MakeType(0, 0, 100000);
  F("part_type_step", {double(head), -4.0, double(trail)});
  F("part_particles_create", {double(ps), 0.0, 0.0, double(head), 1.0});
  int born = 0;
  for (int i = 0; i < 4000; ++i) {
    F("part_system_update", {double(ps)});
    born += static_cast<int>(F("part_particles_count", {double(ps)})) - 1;
  }
  EXPECT_NEAR(born, 1000, 120);
}

TEST_F(Particles, MotionIncrementsGravityAndTheSystemOffset) {
  const int ps = static_cast<int>(F("part_system_create"));
  const int t = MakeType(2, 0, 100);
  F("part_type_speed", {double(t), 2.0, 2.0, 0.5, 0.0});
  F("part_particles_create", {double(ps), 10.0, 10.0, double(t), 1.0});
  F("part_system_update", {double(ps)});
  F("part_system_update", {double(ps)});
  EXPECT_DOUBLE_EQ(Parts(ps).x[0], 10 + 2.5 + 3);
  EXPECT_DOUBLE_EQ(Parts(ps).xPrevious[0], 12.5);
  EXPECT_NEAR(Parts(ps).y[0], 10, 1e-12);

  // Gravity downward: the velocity gains 1 a step, the direction becomes 270.
  F("part_particles_clear", {double(ps)});
  const int g = MakeType(0, 0, 100);
  F("part_type_gravity", {double(g), 1.0, 270.0});
  F("part_particles_create", {double(ps), 0.0, 0.0, double(g), 1.0});
  F("part_system_update", {double(ps)});
  F("part_system_update", {double(ps)});
  EXPECT_NEAR(Parts(ps).y[0], 3, 1e-9);
  EXPECT_NEAR(Parts(ps).x[0], 0, 1e-9);
  EXPECT_NEAR(Parts(ps).speed[0], 2, 1e-9);
  EXPECT_NEAR(Parts(ps).direction[0], 270, 1e-9);

  // Speed never goes below 0; a direction increment turns before moving (90 moves up).
  F("part_particles_clear", {double(ps)});
  const int slow = MakeType(1, 0, 100);
  F("part_type_speed", {double(slow), 1.0, 1.0, -5.0, 0.0});
  const int turn = MakeType(1, 0, 100);
  F("part_type_direction", {double(turn), 0.0, 0.0, 90.0, 0.0});
  F("part_particles_create", {double(ps), 0.0, 0.0, double(slow), 1.0});
  F("part_particles_create", {double(ps), 0.0, 0.0, double(turn), 1.0});
  F("part_system_update", {double(ps)});
  EXPECT_EQ(Parts(ps).speed[0], 0);
  EXPECT_EQ(Parts(ps).x[0], 0);
  EXPECT_NEAR(Parts(ps).x[1], 0, 1e-12);
  EXPECT_NEAR(Parts(ps).y[1], -1, 1e-12);

  // The system position moves only the drawing, never the particles.
  F("part_system_position", {double(ps), 100.0, 50.0});
  EXPECT_NEAR(Parts(ps).y[1], -1, 1e-12);
  // Automatic update off: the main loop's update leaves the system alone, part_system_update still works.
  F("part_system_automatic_update", {double(ps), 0.0});
  particles::UpdateAllSystems();
  EXPECT_NEAR(Parts(ps).y[1], -1, 1e-12);
  F("part_system_update", {double(ps)});
  EXPECT_NEAR(Parts(ps).x[1], -1, 1e-9);  // turned to 180
}

TEST_F(Particles, ColourModesAndAlphaAtKnownAges) {
  const int ps = static_cast<int>(F("part_system_create"));
  const int red = 255, green = 65280, blue = 16711680;
  struct Case {
    const char* fn;
    std::vector<double> colours;
    int age;
    int expected;
  };
  const Case cases[] = {
      {"part_type_color1", {double(red)}, 7, red},
      {"part_type_color2", {double(red), double(blue)}, 5, gfx::MergeColour(red, blue, 0.5)},
      {"part_type_color2", {double(red), double(blue)}, 9, gfx::MergeColour(red, blue, 0.9)},
      {"part_type_color3", {double(red), double(green), double(blue)}, 3, gfx::MergeColour(red, green, 0.6)},
      {"part_type_color3", {double(red), double(green), double(blue)}, 5, green},
      {"part_type_color", {double(red), double(green), double(blue)}, 7, gfx::MergeColour(green, blue, 0.4)},
      {"part_type_color_rgb", {10, 10, 20, 20, 30, 30}, 4, gfx::MakeColourRgb(10, 20, 30)},
      {"part_type_color_hsv", {100, 100, 200, 200, 250, 250}, 4, gfx::MakeColourHsv(100, 200, 250)},
  };
  for (const Case& c : cases) {
    F("part_particles_clear", {double(ps)});
    const int t = MakeType(0, 0, 10);
    RValue args[7];
    args[0] = double(t);
    for (size_t k = 0; k < c.colours.size(); ++k) args[k + 1] = c.colours[k];
    switch (c.colours.size()) {
      case 1: call.Call(c.fn, {args[0], args[1]}); break;
      case 2: call.Call(c.fn, {args[0], args[1], args[2]}); break;
      case 3: call.Call(c.fn, {args[0], args[1], args[2], args[3]}); break;
      default: call.Call(c.fn, {args[0], args[1], args[2], args[3], args[4], args[5], args[6]}); break;
    }
    F("part_particles_create", {double(ps), 0.0, 0.0, double(t), 1.0});
    for (int i = 0; i < c.age; ++i) F("part_system_update", {double(ps)});
    EXPECT_EQ(Parts(ps).colour[0], c.expected) << c.fn << " at age " << c.age;
  }

  // Random kinds stay inside their ranges; a mix lies between its two colours channel by channel.
  F("part_particles_clear", {double(ps)});
  const int rgb = MakeType(0, 0, 10), mix = MakeType(0, 0, 10);
  F("part_type_color_rgb", {double(rgb), 10.0, 50.0, 0.0, 0.0, 200.0, 255.0});
  F("part_type_color_mix", {double(mix), double(red), double(blue)});
  F("part_particles_create", {double(ps), 0.0, 0.0, double(rgb), 200.0});
  F("part_particles_create", {double(ps), 0.0, 0.0, double(mix), 200.0});
  for (size_t i = 0; i < 400; ++i) {
    const int c = Parts(ps).colour[i];
    if (i < 200) {
      EXPECT_TRUE(gfx::ColourGetRed(c) >= 10 && gfx::ColourGetRed(c) <= 50 && gfx::ColourGetGreen(c) == 0 &&
                  gfx::ColourGetBlue(c) >= 200) << c;
    } else {
      EXPECT_EQ(gfx::ColourGetGreen(c), 0);
      EXPECT_EQ(gfx::ColourGetRed(c) + gfx::ColourGetBlue(c), 255) << c;
    }
  }

  // part_particles_create_color: the colour given, kept by a one-colour type.
  F("part_particles_clear", {double(ps)});
  const int plain = MakeType(0, 0, 10);
  F("part_particles_create_color", {double(ps), 0.0, 0.0, double(plain), double(green), 2.0});
  F("part_system_update", {double(ps)});
  EXPECT_EQ(Parts(ps).colour[1], green);

  // Alpha 0 → 1 → 0: transparent at birth, opaque at half the life, fading at the end.
  F("part_particles_clear", {double(ps)});
  const int fade = MakeType(0, 0, 10);
  F("part_type_alpha3", {double(fade), 0.0, 1.0, 0.0});
  F("part_particles_create", {double(ps), 0.0, 0.0, double(fade), 1.0});
  EXPECT_EQ(Parts(ps).alpha[0], 0);
  const double expected[] = {0.2, 0.4, 0.6, 0.8, 1.0, 0.8, 0.6, 0.4, 0.2};
  for (double e : expected) {
    F("part_system_update", {double(ps)});
    EXPECT_NEAR(Parts(ps).alpha[0], e, 1e-12);
  }
}

TEST_F(Particles, SizeGrowsAndStopsAtZero) {
  const int ps = static_cast<int>(F("part_system_create"));
  const int t = MakeType(0, 0, 100);
  F("part_type_size", {double(t), 1.0, 1.0, -0.4, 0.0});
  F("part_particles_create", {double(ps), 0.0, 0.0, double(t), 1.0});
  F("part_system_update", {double(ps)});
  EXPECT_NEAR(Parts(ps).size[0], 0.6, 1e-12);
  F("part_system_update", {double(ps)});
  F("part_system_update", {double(ps)});
  EXPECT_EQ(Parts(ps).size[0], 0);
}

TEST_F(Particles, CountsFromCodeAreBoundedPerSystem) {
  const int ps = static_cast<int>(F("part_system_create"));
  const int t = MakeType(0, 0, 100);
  F("part_particles_create", {double(ps), 0.0, 0.0, double(t), 1e12});
  EXPECT_EQ(F("part_particles_count", {double(ps)}), 1000000);
  const int e = static_cast<int>(F("part_emitter_create", {double(ps)}));
  F("part_emitter_burst", {double(ps), double(e), double(t), 10.0});
  EXPECT_EQ(F("part_particles_count", {double(ps)}), 1000000);
  F("part_particles_clear", {double(ps)});
  EXPECT_EQ(F("part_particles_count", {double(ps)}), 0);
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(Particles, SameSeedSameParticles) {
  auto run = [&] {
    Reset();
    GameRandom::SetSeed(99);
    const int ps = static_cast<int>(F("part_system_create"));
    const int t = static_cast<int>(F("part_type_create"));
    F("part_type_speed", {double(t), 1.0, 5.0, 0.0, 0.5});
    F("part_type_direction", {double(t), 0.0, 360.0, 0.0, 10.0});
    F("part_type_life", {double(t), 10.0, 40.0});
    F("part_type_gravity", {double(t), 0.1, 270.0});
    F("part_particles_create", {double(ps), 50.0, 50.0, double(t), 50.0});
    for (int i = 0; i < 20; ++i) F("part_system_update", {double(ps)});
    return std::make_pair(Parts(ps).x, Parts(ps).y);
  };
  const auto a = run();
  const auto b = run();
  EXPECT_FALSE(a.first.empty());
  EXPECT_EQ(a, b);
}

}  // namespace
}  // namespace kv::test

namespace kv::test {
namespace {

// Destroying or clearing while a system is being updated or drawn waits until that has finished.
TEST_F(Particles, DestroyingDuringAnUpdateOrDrawWaitsForItsEnd) {
  const int ps = static_cast<int>(F("part_system_create"));
  const int t = MakeType(0, 0, 10);
  F("part_particles_create", {double(ps), 0.0, 0.0, double(t), 3.0});
  {
    particles::BusyScope busy;
    F("part_type_destroy", {double(t)});
    F("part_system_clear", {double(ps)});
    F("part_system_destroy", {double(ps)});
    EXPECT_EQ(F("part_type_exists", {double(t)}), 1);
    EXPECT_EQ(F("part_particles_count", {double(ps)}), 3);
  }
  EXPECT_EQ(F("part_type_exists", {double(t)}), 0);
  EXPECT_EQ(F("part_system_exists", {double(ps)}), 0);
}

}  // namespace
}  // namespace kv::test
