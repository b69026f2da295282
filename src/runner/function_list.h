#pragma once
// `kvrun --list-functions`: every built-in function the game's code can call, one per line as
// "NAME ARGUMENTS" in registration order; ARGUMENTS is the exact count or "0-16" for a variable count.
// The reference for game makers is generated from this list, so it follows the table.
#include <string>

namespace kv {

std::string ListBuiltinFunctions();

// `kvrun --list-reference`: what tools/docs/make_reference.py turns into the game makers' reference, tab-separated,
// functions first in registration order, then variables in registration order:
//   function FAMILY NAME ARGUMENTS ARGS SUMMARY      (ARGUMENTS as in ListBuiltinFunctions)
//   variable FAMILY NAME rw|r SUMMARY
// A function or variable nobody described is listed with the family "Undescribed" and an empty summary.
std::string ListReference();

}  // namespace kv
