#pragma once
// Running code given as text (execute_string, execute_file) and variables by name (variable_global_*,
// variable_local_*).
namespace kv {
void RegisterMiscFunctions();
}  // namespace kv
