// The resolved-event cache: FindEvent results over the world's objects, so dispatching an event to an instance
// costs one table read instead of a parent-chain walk with map look-ups.
//
// Per object a flat table covers the subtype ranges the loop dispatches (create, destroy, draw 0; alarm 0 ... 12;
// step 0 ... 16; keyboard, mouse, other, key press, key release 0 ... 128); collisions are kept in a hash by
// (object, other). Anything outside those ranges is looked up directly. The cache must be invalidated whenever an
// object's events or parent change, or objects are added or removed (runtime resource functions, a new game).
#pragma once

#include <cstdint>

#include "world/object_class.h"

namespace kv {

// FindEvent(WorldResources()->objects, object, type, subtype), cached.
FoundEvent LookupEvent(int object, int type, int subtype);
void InvalidateEventCache();
// Bumped by every invalidation: answers derived from LookupEvent stay valid while it is unchanged.
uint64_t EventCacheGeneration();

}  // namespace kv
