// The particle family of built-in functions: types, systems, particles, emitters, attractors, destroyers,
// deflectors, changers and the ready-made effects.
#pragma once

namespace kv {

void RegisterParticleFunctions();

}  // namespace kv
