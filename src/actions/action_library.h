// The action library: the built-in functions named action_... that the editor's standard actions call. Each entry
// of the table is (name, exact argument count, handler); adding an action is one handler plus one table line.
// Handlers read `argument_relative` (ArgumentRelative()) for the actions whose values may be relative.
#pragma once

namespace kv {

// Registers every action function of the table in the built-in function registry.
void RegisterActionLibraryFunctions();

}  // namespace kv
