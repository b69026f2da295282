#include "world/event_cache.h"

#include <array>
#include <memory>
#include <unordered_map>
#include <vector>

#include "world/world_state.h"
#include "world/event_table.h"

namespace kv {

namespace {

// Number of cached subtypes per event type (0 for collisions, which use the hash).
constexpr std::array<int, CObject::kEventTypeCount> Ranges() {
  std::array<int, CObject::kEventTypeCount> r{};
  for (int t = 0; t < CObject::kEventTypeCount; ++t) r[t] = kEventTypes[t].loopSubtypes;
  return r;
}
constexpr std::array<int, CObject::kEventTypeCount> kRange = Ranges();

constexpr std::array<int, CObject::kEventTypeCount + 1> Offsets() {
  std::array<int, CObject::kEventTypeCount + 1> off{};
  for (int t = 0; t < CObject::kEventTypeCount; ++t) off[t + 1] = off[t] + kRange[t];
  return off;
}
constexpr auto kOffset = Offsets();
constexpr int kTableSize = kOffset[CObject::kEventTypeCount];

struct Cache {
  std::vector<std::unique_ptr<std::array<FoundEvent, kTableSize>>> tables;  // per object, built on first use
  std::unordered_map<uint64_t, FoundEvent> collisions;
  uint64_t generation = 0;
};
Cache g_cache;

const std::array<FoundEvent, kTableSize>& TableOf(const ObjectTable& objects, int object) {
  if (static_cast<size_t>(object) >= g_cache.tables.size()) g_cache.tables.resize(object + 1);
  auto& slot = g_cache.tables[object];
  if (!slot) {
    slot = std::make_unique<std::array<FoundEvent, kTableSize>>();
    for (int t = 0; t < CObject::kEventTypeCount; ++t)
      for (int s = 0; s < kRange[t]; ++s) (*slot)[kOffset[t] + s] = FindEvent(objects, object, t, s);
  }
  return *slot;
}

// Everything LookupEvent does not answer from a built table.
[[gnu::noinline]] FoundEvent LookupEventSlow(int object, int type, int subtype) {
  const GameResources* res = WorldResources();
  if (!res || !res->objects.Exists(object) || type < 0 || type >= CObject::kEventTypeCount) return {};
  if (type == kEventCollision) {
    const uint64_t key = (uint64_t(uint32_t(object)) << 32) | uint32_t(subtype);
    auto it = g_cache.collisions.find(key);
    if (it != g_cache.collisions.end()) return it->second;
    const FoundEvent found = FindEvent(res->objects, object, type, subtype);
    g_cache.collisions.emplace(key, found);
    return found;
  }
  if (subtype < 0 || subtype >= kRange[type]) return FindEvent(res->objects, object, type, subtype);
  return TableOf(res->objects, object)[kOffset[type] + subtype];
}

}  // namespace

FoundEvent LookupEvent(int object, int type, int subtype) {
  // An object's table exists only while the object does (removing one invalidates the cache): answer from it
  // without the checks of the slow path when it is there.
  if (type >= 0 && type < CObject::kEventTypeCount && subtype >= 0 && subtype < kRange[type] && object >= 0 &&
      static_cast<size_t>(object) < g_cache.tables.size()) {
    if (const auto& table = g_cache.tables[object]) return (*table)[kOffset[type] + subtype];
  }
  return LookupEventSlow(object, type, subtype);
}

void InvalidateEventCache() {
  g_cache.tables.clear();
  g_cache.collisions.clear();
  ++g_cache.generation;
}

uint64_t EventCacheGeneration() { return g_cache.generation; }

}  // namespace kv
