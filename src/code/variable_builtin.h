// The built-in variables the language core provides itself: the argument slots (argument, argument0…15) and the
// instance fields the minimal instance has (x, y, id, object_index). The world module registers the rest.
#pragma once

namespace kv {
void RegisterCoreBuiltinVariables();
}
