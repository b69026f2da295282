// Particle tests call the script functions by name on fresh tables and a fixed random seed, and read the
// particles of a system straight from its arrays.
#pragma once

#include <gtest/gtest.h>

#include "code/code_function.h"
#include "functions/call_builtin.h"
#include "functions/function_math.h"
#include "particles/particle_effects.h"
#include "particles/particle_system.h"
#include "particles/particle_type.h"
#include "runner/runner_wiring.h"

namespace kv::test {

// Empties the particle tables and forgets the effect systems.
inline void ResetParticles() {
  particles::ClearSystems();
  particles::ClearTypes();
  particles::ResetEffects();
}

class ParticleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterAllBuiltinFunctions();
    Reset();
    GameRandom::SetSeed(12345);
  }
  void TearDown() override { Reset(); }
  static void Reset() { ResetParticles(); }

  double F(const std::string& name, std::initializer_list<RValue> args = {}) { return call.Real(name, args); }
  // A type with speed, direction and life set; everything else default.
  int MakeType(double speed, double direction, int life) {
    const int t = static_cast<int>(F("part_type_create"));
    F("part_type_speed", {double(t), speed, speed, 0.0, 0.0});
    F("part_type_direction", {double(t), direction, direction, 0.0, 0.0});
    F("part_type_life", {double(t), double(life), double(life)});
    return t;
  }
  particles::RParticleArrays& Parts(int ps) { return particles::GetSystem(ps)->parts; }

  BuiltinCaller call;
};

}  // namespace kv::test
