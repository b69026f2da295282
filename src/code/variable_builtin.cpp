#include "code/variable_builtin.h"

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
}

}  // namespace kv
