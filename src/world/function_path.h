// The built-in functions of paths and time lines: an instance starting and ending a path, reading and changing
// path resources, and adding, deleting and filling time lines while the game runs.
#pragma once

namespace kv {

void RegisterPathFunctions();
// A new empty path resource named "__newpath" + its index; -1 without a game.
int AddRuntimePath();

}  // namespace kv
