#include "runner/function_list.h"

#include "code/code_function.h"
#include "runner/runner_wiring.h"

namespace kv {

std::string ListBuiltinFunctions() {
  WireLanguage();
  std::string out;
  for (int id = 0; id < BuiltinFunctionCount(); ++id) {
    const RBuiltinFunction* f = GetBuiltinFunction(id);
    if (!f || f->name.empty()) continue;
    out += f->name + " " +
           (f->argCount == kVariableArgs ? "0-" + std::to_string(kMaxCallArgs) : std::to_string(f->argCount)) + "\n";
  }
  return out;
}

}  // namespace kv
