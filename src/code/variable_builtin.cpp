#include "code/variable_builtin.h"

#include "code/code_docs.h"
#include "code/code_exec.h"
#include "code/code_instance.h"
#include "code/code_variable.h"

namespace kv {

namespace {
// Array built-ins treat an index outside their range as index 0.
int ArgIndex(int64_t index) { return index >= 0 && index < kArgumentSlots ? static_cast<int>(index) : 0; }

bool ReadArgumentArray(CInstance*, int64_t index, RValue& out) {
  out = CurrentArgumentsForRead()[ArgIndex(index)];
  return true;
}
bool WriteArgumentArray(CInstance*, int64_t index, const RValue& v) {
  CurrentArguments()[ArgIndex(index)] = v;
  return true;
}
template <int K>
bool ReadArgument(CInstance*, int64_t, RValue& out) {
  out = CurrentArgumentsForRead()[K];
  return true;
}
template <int K>
bool WriteArgument(CInstance*, int64_t, const RValue& v) {
  CurrentArguments()[K] = v;
  return true;
}

template <int... K>
void RegisterArguments(std::integer_sequence<int, K...>) {
  (RegisterBuiltinVariable("argument" + std::to_string(K), ReadArgument<K>, WriteArgument<K>), ...);
}
}  // namespace

void RegisterArgumentVariables() {
  RegisterBuiltinVariable("argument", ReadArgumentArray, WriteArgumentArray);
  RegisterArguments(std::make_integer_sequence<int, kArgumentSlots>{});
  DescribeVariables("Arguments", {
      {"argument", "Array of the arguments of the running script or code, argument[0] to argument[15]."},
      {"argument0", "Argument 0 of the running script or code."},
      {"argument1", "Argument 1 of the running script or code."},
      {"argument2", "Argument 2 of the running script or code."},
      {"argument3", "Argument 3 of the running script or code."},
      {"argument4", "Argument 4 of the running script or code."},
      {"argument5", "Argument 5 of the running script or code."},
      {"argument6", "Argument 6 of the running script or code."},
      {"argument7", "Argument 7 of the running script or code."},
      {"argument8", "Argument 8 of the running script or code."},
      {"argument9", "Argument 9 of the running script or code."},
      {"argument10", "Argument 10 of the running script or code."},
      {"argument11", "Argument 11 of the running script or code."},
      {"argument12", "Argument 12 of the running script or code."},
      {"argument13", "Argument 13 of the running script or code."},
      {"argument14", "Argument 14 of the running script or code."},
      {"argument15", "Argument 15 of the running script or code."},
  });
}

}  // namespace kv
