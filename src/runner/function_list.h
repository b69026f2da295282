#pragma once
// `kvrun --list-functions`: every built-in function the game's code can call, one per line as
// "NAME ARGUMENTS" in registration order; ARGUMENTS is the exact count or "0-16" for a variable count.
// The reference for game makers is generated from this list, so it follows the table.
#include <string>

namespace kv {

std::string ListBuiltinFunctions();

}  // namespace kv
