#include "world/world_state.h"

#include "world/event_cache.h"

namespace kv {

void SetWorldResources(GameResources* resources) {
  world_detail::g_resources = resources;
  InvalidateEventCache();
}

}  // namespace kv
