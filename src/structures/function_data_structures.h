// Data-structure family of built-in functions: ds_set_precision and the stack, queue, list, map, priority
// queue and grid functions over the tables of ds_tables.h.
#pragma once

namespace kv {

inline constexpr const char* kNoDataStructureMessage = "Data structure with index does not exist.";
inline constexpr const char* kGridTooLargeMessage = "Grid size is too large.";

// Registers the 110 data-structure functions.
void RegisterDataStructureFunctions();

}  // namespace kv
