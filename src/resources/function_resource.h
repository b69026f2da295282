// Built-in functions on the game's resources while it runs. Scripts for now: script_exists, script_get_name,
// script_get_text and script_execute.
#pragma once

namespace kv {
void RegisterResourceFunctions();
}  // namespace kv
