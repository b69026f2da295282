// Placeholder for the minimal built-in functions the language needs before the function families exist.
#include "code/code_function.h"

namespace kv {
void RegisterLanguageCoreFunctions() {}
}  // namespace kv
