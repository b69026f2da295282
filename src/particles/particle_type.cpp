#include "particles/particle_type.h"

namespace kv::particles {

namespace {
std::vector<RParticleType> g_types;
const RParticleType kDefaultType{};
}  // namespace

std::vector<RParticleType>& TypeTable() { return g_types; }

int CreateType() {
  size_t id = 0;
  while (id < g_types.size() && g_types[id].exists) ++id;
  if (id == g_types.size()) g_types.emplace_back();
  g_types[id] = RParticleType{};
  g_types[id].exists = true;
  return static_cast<int>(id);
}

void DestroyType(int id) {
  if (!TypeExists(id)) return;
  g_types[static_cast<size_t>(id)] = RParticleType{};
}

bool TypeExists(int id) { return id >= 0 && static_cast<size_t>(id) < g_types.size() && g_types[id].exists; }

RParticleType* ExistingType(int id) { return TypeExists(id) ? &g_types[static_cast<size_t>(id)] : nullptr; }

const RParticleType& TypeOrDefault(int id) {
  if (id >= 0 && static_cast<size_t>(id) < g_types.size()) return g_types[static_cast<size_t>(id)];
  return kDefaultType;
}

void ClearTypes() { g_types.clear(); }

}  // namespace kv::particles
