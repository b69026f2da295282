// The collision and movement built-in functions: place tests, contact, outside and bounce moves, snapping, random
// placement, distances, the point / rectangle / circle / ellipse / line queries, instance searches and instance
// activation.
#pragma once

namespace kv {

void RegisterMotionFunctions();

}  // namespace kv
