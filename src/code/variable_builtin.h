// Registers the built-in variables: the instance's fields (through the world module) and the argument slots
// (argument, argument0…15), which the language owns.
#pragma once

namespace kv {
void RegisterCoreBuiltinVariables();
}
