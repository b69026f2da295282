#pragma once
// Wiring: the runner connects the language to the subsystems that give it variables and functions.

namespace kv {

// Registers every built-in variable and function once (later calls do nothing). Everything that compiles or
// runs game code calls it first: the runner while preparing a game, the tests and the benchmarks.
void WireLanguage();
// Only the function families (tests of single families that need no variables).
void RegisterAllBuiltinFunctions();

}  // namespace kv
