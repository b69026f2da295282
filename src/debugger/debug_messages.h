// show_debug_message: game code's debug output. Every message is printed as a line on stdout (so headless runs
// and automation see it) and kept for the debugger window.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kv {
void RegisterDebugMessageFunctions();
// The messages shown so far, oldest first (at most the last 1000).
const std::vector<std::string>& DebugMessages();
// Told about every new message (the debugger's messages window); null for none.
void SetDebugMessageListener(std::function<void(const std::string&)> listener);
}  // namespace kv
