// The built-in variables the language owns: the argument slots (argument, argument0…15). The world's variables
// are registered by the runner's wiring, before these.
#pragma once

namespace kv {
void RegisterArgumentVariables();
}
