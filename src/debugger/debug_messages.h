// show_debug_message: game code's debug output. Every message is printed as a line on stdout (so headless runs
// and automation see it) and kept for the debugger window.
#pragma once

#include <string>
#include <vector>

namespace kv {
void RegisterDebugMessageFunctions();
// The messages shown so far, oldest first (at most the last 1000).
const std::vector<std::string>& DebugMessages();
}  // namespace kv
