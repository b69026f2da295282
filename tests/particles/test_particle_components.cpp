// Emitters, attractors, deflectors, destroyers, changers and the ready-made effects.
#include <cmath>

#include "particles/particle_fixture.h"

namespace kv::test {
namespace {

using Components = ParticleTest;

TEST_F(Components, EmitterDistributionsStayInsideTheirRegion) {
  const int ps = static_cast<int>(F("part_system_create"));
  const int t = MakeType(0, 0, 100);
  const int e = static_cast<int>(F("part_emitter_create", {double(ps)}));
  for (int shape = 0; shape <= 3; ++shape)
    for (int distr = 0; distr <= 2; ++distr) {
      F("part_particles_clear", {double(ps)});
      F("part_emitter_region", {double(ps), double(e), 100.0, 200.0, 50.0, 90.0, double(shape), double(distr)});
      F("part_emitter_burst", {double(ps), double(e), double(t), 300.0});
      ASSERT_EQ(F("part_particles_count", {double(ps)}), 300);
      for (size_t i = 0; i < 300; ++i) {
        const double u = (Parts(ps).x[i] - 100) / 100, v = (Parts(ps).y[i] - 50) / 40;
        ASSERT_TRUE(u >= 0 && u <= 1 && v >= 0 && v <= 1) << shape << "/" << distr;
        if (shape == 1) {
          ASSERT_LE((u - 0.5) * (u - 0.5) + (v - 0.5) * (v - 0.5), 0.25 + 1e-12);
        }
        if (shape == 2) {
          ASSERT_LE(std::fabs(u - 0.5) + std::fabs(v - 0.5), 0.5 + 1e-12);
        }
        if (shape == 3) {
          ASSERT_NEAR(u, v, 1e-12);  // on the diagonal from (xmin, ymin) to (xmax, ymax)
        }
      }
    }
  // A region with xmin = xmax puts every particle on one vertical line.
  F("part_particles_clear", {double(ps)});
  F("part_emitter_region", {double(ps), double(e), 30.0, 30.0, 0.0, 100.0, 0.0, 0.0});
  F("part_emitter_burst", {double(ps), double(e), double(t), 20.0});
  for (size_t i = 0; i < 20; ++i) EXPECT_EQ(Parts(ps).x[i], 30);

  // −2: one particle about every second call.
  F("part_particles_clear", {double(ps)});
  for (int i = 0; i < 2000; ++i) F("part_emitter_burst", {double(ps), double(e), double(t), -2.0});
  EXPECT_NEAR(F("part_particles_count", {double(ps)}), 1000, 110);

  // A stream bursts at the end of every update (after the life phase: the new ones are not aged yet).
  F("part_particles_clear", {double(ps)});
  F("part_emitter_stream", {double(ps), double(e), double(t), 3.0});
  F("part_system_update", {double(ps)});
  F("part_system_update", {double(ps)});
  EXPECT_EQ(F("part_particles_count", {double(ps)}), 6);
  EXPECT_EQ(Parts(ps).age[0], 1);
  EXPECT_EQ(Parts(ps).age[5], 0);
  F("part_emitter_clear", {double(ps), double(e)});  // back to stream number 0
  F("part_system_update", {double(ps)});
  EXPECT_EQ(F("part_particles_count", {double(ps)}), 6);
}

TEST_F(Components, AttractorForceKinds) {
  struct Case {
    double force, dist;
    int kind;
    bool additive;
    double startX;
    double x, speed;  // after one update
  };
  const Case cases[] = {
      {1, 100, 0, true, 0, 1, 1},          // constant: a pull of length force
      {1, 100, 1, true, 0, 0.9, 0.9},      // linear: × (dist − d) / dist with d = 10
      {1, 100, 2, true, 0, 0.81, 0.81},    // quadratic: × ((dist − d) / dist)²
      {-2, 100, 0, true, 0, -2, 2},        // a negative force pushes
      {1, 100, 0, false, 0, 1, 0},         // not additive: moved this step, speed unchanged
      {1, 5, 0, true, 0, 0, 0},            // beyond dist
      {1, 0, 0, true, 0, 0, 0},            // dist 0 does nothing
      {1, 100, 0, true, 10, 10, 0},        // a particle on the attractor is not affected
  };
  for (const Case& c : cases) {
    Reset();
    const int ps = static_cast<int>(F("part_system_create"));
    const int t = MakeType(0, 0, 100);
    const int a = static_cast<int>(F("part_attractor_create", {double(ps)}));
    F("part_attractor_position", {double(ps), double(a), 10.0, 0.0});
    F("part_attractor_force", {double(ps), double(a), c.force, c.dist, double(c.kind), c.additive ? 1.0 : 0.0});
    F("part_particles_create", {double(ps), c.startX, 0.0, double(t), 1.0});
    F("part_system_update", {double(ps)});
    EXPECT_NEAR(Parts(ps).x[0], c.x, 1e-9) << c.force << " " << c.dist << " " << c.kind << " " << c.additive;
    EXPECT_NEAR(Parts(ps).speed[0], c.speed, 1e-9);
  }
}

TEST_F(Components, DeflectorsBounceBackWithFriction) {
  for (int kind : {1, 0}) {
    Reset();
    const int ps = static_cast<int>(F("part_system_create"));
    const int t = MakeType(10, 30, 100);
    const int d = static_cast<int>(F("part_deflector_create", {double(ps)}));
    F("part_deflector_region", {double(ps), double(d), 5.0, 20.0, -10.0, 10.0});
    F("part_deflector_kind", {double(ps), double(d), double(kind)});
    F("part_deflector_friction", {double(ps), double(d), 3.0});
    F("part_particles_create", {double(ps), 0.0, 0.0, double(t), 1.0});
    F("part_system_update", {double(ps)});
    const double dx = 10 * std::cos(M_PI / 6), dy = -5;
    if (kind == 1) {  // horizontal: 30 becomes 150, back on the side it came from
      EXPECT_NEAR(Parts(ps).direction[0], 150, 1e-9);
      EXPECT_NEAR(Parts(ps).x[0], -dx, 1e-9);
      EXPECT_NEAR(Parts(ps).y[0], dy, 1e-9);
    } else {  // vertical: 30 becomes 330
      EXPECT_NEAR(Parts(ps).direction[0], 330, 1e-9);
      EXPECT_NEAR(Parts(ps).x[0], dx, 1e-9);
      EXPECT_NEAR(Parts(ps).y[0], -dy, 1e-9);
    }
    EXPECT_NEAR(Parts(ps).speed[0], 7, 1e-9);
  }
}

TEST_F(Components, DestroyerShapes) {
  struct Case {
    int shape;
    bool centre, corner, edge;  // (50, 50), (2, 2), (20, 20) survive?
  };
  const Case cases[] = {{0, false, false, false}, {1, false, true, false}, {2, false, true, true},
                        {3, true, true, true}};
  for (const Case& c : cases) {
    Reset();
    const int ps = static_cast<int>(F("part_system_create"));
    const int t = MakeType(0, 0, 100);
    const int d = static_cast<int>(F("part_destroyer_create", {double(ps)}));
    F("part_destroyer_region", {double(ps), double(d), 0.0, 100.0, 0.0, 100.0, double(c.shape)});
    F("part_particles_create", {double(ps), 50.0, 50.0, double(t), 1.0});
    F("part_particles_create", {double(ps), 2.0, 2.0, double(t), 1.0});
    F("part_particles_create", {double(ps), 20.0, 20.0, double(t), 1.0});
    F("part_particles_create", {double(ps), 150.0, 50.0, double(t), 1.0});  // outside the box
    F("part_system_update", {double(ps)});
    std::vector<double> left(Parts(ps).x.begin(), Parts(ps).x.end());
    std::vector<double> expected;
    if (c.centre) expected.push_back(50);
    if (c.corner) expected.push_back(2);
    if (c.edge) expected.push_back(20);
    expected.push_back(150);
    EXPECT_EQ(left, expected) << "shape " << c.shape;
  }
  // An empty region destroys nothing.
  Reset();
  const int ps = static_cast<int>(F("part_system_create"));
  const int t = MakeType(0, 0, 100);
  const int d = static_cast<int>(F("part_destroyer_create", {double(ps)}));
  F("part_destroyer_region", {double(ps), double(d), 10.0, 10.0, 0.0, 100.0, 0.0});
  F("part_particles_create", {double(ps), 10.0, 50.0, double(t), 1.0});
  F("part_system_update", {double(ps)});
  EXPECT_EQ(F("part_particles_count", {double(ps)}), 1);
}

TEST_F(Components, ChangerKinds) {
  const int red = 255, blue = 16711680;
  for (int kind : {0, 1, 2}) {
    Reset();
    const int ps = static_cast<int>(F("part_system_create"));
    const int from = MakeType(0, 0, 50);
    F("part_type_color1", {double(from), double(red)});
    const int to = MakeType(5, 90, 20);
    F("part_type_color1", {double(to), double(blue)});
    F("part_type_size", {double(to), 2.0, 2.0, 0.0, 0.0});
    const int c = static_cast<int>(F("part_changer_create", {double(ps)}));
    F("part_changer_region", {double(ps), double(c), 0.0, 100.0, 0.0, 100.0, 0.0});
    F("part_changer_types", {double(ps), double(c), double(from), double(to)});
    F("part_changer_kind", {double(ps), double(c), double(kind)});
    F("part_particles_create", {double(ps), 50.0, 50.0, double(from), 1.0});
    F("part_particles_create", {double(ps), 150.0, 50.0, double(from), 1.0});  // outside: unchanged
    F("part_system_update", {double(ps)});
    const auto& p = Parts(ps);
    EXPECT_EQ(p.type[0], to);
    EXPECT_EQ(p.type[1], from);
    EXPECT_EQ(p.x[0], 50);
    switch (kind) {
      case 0:  // everything new: age, life, motion and look
        EXPECT_EQ(p.age[0], 0);
        EXPECT_EQ(p.life[0], 20);
        EXPECT_EQ(p.speed[0], 5);
        EXPECT_EQ(p.colour[0], blue);
        break;
      case 1:  // the look only
        EXPECT_EQ(p.age[0], 1);
        EXPECT_EQ(p.life[0], 50);
        EXPECT_EQ(p.speed[0], 0);
        EXPECT_EQ(p.colour[0], blue);
        EXPECT_EQ(p.size[0], 2);
        break;
      case 2:  // the motion only: age and colour stay
        EXPECT_EQ(p.age[0], 1);
        EXPECT_EQ(p.speed[0], 5);
        EXPECT_EQ(p.direction[0], 90);
        EXPECT_EQ(p.colour[0], red);
        EXPECT_EQ(p.size[0], 1);
        break;
    }
  }
}

TEST_F(Components, EffectsLiveInTwoSystemsAndScaleWithTheRoomSpeed) {
  EXPECT_EQ(particles::EffectTimeFactor(30, 30), 1);
  EXPECT_EQ(particles::EffectTimeFactor(60, 60), 0.5);
  EXPECT_EQ(particles::EffectTimeFactor(60, 20), 1);        // slow frame rate: no scaling
  EXPECT_EQ(particles::EffectTimeFactor(60, 40), 0.75);     // far below the room speed: by the frame rate
  EXPECT_EQ(particles::EffectTimeFactor(60, 55), 0.5);

  F("effect_create_above", {0.0, 100.0, 80.0, 2.0, 255.0});  // large explosion, red
  const int above = particles::EffectSystemId(true), below = particles::EffectSystemId(false);
  ASSERT_GE(above, 0);
  ASSERT_GE(below, 0);
  EXPECT_EQ(particles::GetSystem(above)->depth, -100000);
  EXPECT_EQ(particles::GetSystem(below)->depth, 100000);
  ASSERT_EQ(F("part_particles_count", {double(above)}), 21);
  const auto& p = Parts(above);
  for (size_t i = 0; i < 20; ++i) {
    EXPECT_EQ(p.colour[i], 255);
    EXPECT_EQ(p.speed[i], 7);
    EXPECT_TRUE(p.life[i] >= 15 && p.life[i] <= 20);
  }
  EXPECT_EQ(p.colour[20], 0);  // the black smoke
  EXPECT_EQ(p.life[20], 20);
  EXPECT_EQ(F("part_particles_count", {double(below)}), 0);

  const int kinds = 12;
  for (int k = 1; k < kinds; ++k) F("effect_create_below", {double(k), 50.0, 50.0, 1.0, 65535.0});
  EXPECT_GT(F("part_particles_count", {double(below)}), 11);
  F("effect_clear");
  EXPECT_EQ(F("part_particles_count", {double(above)}), 0);
  EXPECT_EQ(F("part_particles_count", {double(below)}), 0);

  // Destroyed effect systems are made again; a system the game made in the freed slot is left alone.
  F("part_system_destroy", {double(above)});
  const int mine = static_cast<int>(F("part_system_create"));
  EXPECT_EQ(mine, above);
  F("effect_create_above", {6.0, 10.0, 10.0, 0.0, 255.0});
  EXPECT_EQ(F("part_particles_count", {double(mine)}), 0);
  EXPECT_NE(particles::EffectSystemId(true), mine);
  EXPECT_EQ(F("part_particles_count", {double(particles::EffectSystemId(true))}), 1);
}

}  // namespace
}  // namespace kv::test
