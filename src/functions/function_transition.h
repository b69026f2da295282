// Room transitions as the game sees them: transition_define and transition_exists, and the global variables
// transition_kind, transition_steps and view_current (read-only).
#pragma once

namespace kv {
// Registers the functions and the variables (the variables join the built-in table at start-up, like the
// functions).
void RegisterTransitionFunctions();
}  // namespace kv
