// The built-in variables of instances (x, speed, alarm[], sprite_index, ...) and the world's global read-only
// ones (argument_relative, event_*, instance_count, instance_id[]), backed by the instance setters so that every
// write keeps the instance consistent (x moves the bounding box, speed recomputes hspeed and vspeed, ...).
#pragma once

namespace kv {

// Registers (or re-registers, replacing the operations of entries already present such as x and y) the 49
// per-instance variables in their order, then the world's global ones. Call at start-up after the language's core
// variables and before anything is compiled.
void RegisterInstanceVariables();

}  // namespace kv
