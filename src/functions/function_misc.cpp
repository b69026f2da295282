#include "functions/function_misc.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "code/code_code.h"
#include "code/code_docs.h"
#include "code/code_error.h"
#include "code/code_exec.h"
#include "code/code_variable.h"
#include "functions/function_args.h"
#include "functions/function_file.h"
#include "platform/file_system.h"

namespace kv {
namespace {

using namespace fnargs;

constexpr int kMaxExecuteValues = 16;  // the text and 15 arguments

// Compiles text as a program and runs it for self and other with the given arguments in a fresh frame of
// argument slots. A compile error is reported (not fatal) with `what` in front; a run-time error is reported
// by RunProgram with the current action context. Either way the caller goes on.
void Execute(RValue& r, CInstance* self, CInstance* other, const std::string& text, const RValue* args, int count,
             const char* what) {
  CCode code(text, false);
  if (!code.Compile()) {
    const std::string message = PendingMessage();
    ClearErrorPending();
    ReportRuntimeError(std::string("COMPILATION ERROR in ") + what + " to be executed\r" + message);
    return;
  }
  ArgumentFrame frame(args, count);
  if (!frame.Ok()) {
    ReportRuntimeError(kStackOverflowMessage);
    return;
  }
  RunProgram(self, other, &code, r);
}

void FnExecuteString(RValue& r, CInstance* self, CInstance* other, int argc, RValue* a) {
  if (argc < 1) return;
  const int passed = std::min(argc, kMaxExecuteValues) - 1;
  Execute(r, self, other, Str(a, 0), a + 1, passed, "string");
}

void FnExecuteFile(RValue& r, CInstance* self, CInstance* other, int argc, RValue* a) {
  if (argc < 1) return;
  FlushOpenFiles();
  const auto host = HostPathOf(Str(a, 0));
  const auto bytes = host && plat::FileExists(*host) ? plat::ReadWholeFile(*host) : std::nullopt;
  if (!bytes) return ReportRuntimeError("Trying to execute non-existing file.");
  // The lines, each followed by a carriage return, whatever line ends the file used.
  std::string text;
  text.reserve(bytes->size() + 1);
  const std::string& b = *bytes;
  for (size_t i = 0; i < b.size();) {
    const size_t end = b.find_first_of("\r\n", i);
    if (end == std::string::npos) {
      text.append(b, i, std::string::npos);
      text.push_back('\r');
      break;
    }
    text.append(b, i, end - i);
    text.push_back('\r');
    i = end + 1;
    if (b[end] == '\r' && i < b.size() && b[i] == '\n') ++i;
  }
  const int passed = std::min(argc, kMaxExecuteValues) - 1;
  Execute(r, self, other, text, a + 1, passed, "file");
}

// ---- variables by name ----

// The combined index of one or two array indices; false (after the message) when one is outside 0 … 31999.
bool ArrayIndex(const RValue* a, int first, int count, int64_t& index) {
  int64_t parts[2] = {0, 0};
  for (int k = 0; k < count; ++k) {
    const double x = a[first + k].Real();
    const double rounded = std::nearbyint(x);
    if (!(rounded >= 0 && rounded < kArrayDim)) {
      ReportRuntimeError("Array index >= 32000");
      return false;
    }
    parts[k] = static_cast<int64_t>(rounded);
  }
  index = count == 2 ? parts[0] * kArrayDim + parts[1] : parts[0];
  return true;
}

int IdOf(const RValue* a) { return VariableIdOf(Str(a, 0)); }

// Global: the global variable list (built-in names are not in it). Local: the instance variables of self.
template <bool Global>
void Get(RValue& r, CInstance* self, const RValue* a, int indices) {
  int64_t index = 0;
  if (!ArrayIndex(a, 1, indices, index)) return;
  const int id = IdOf(a);
  RValue value;
  const bool found = Global ? GlobalVariables().GetValue(id, index, value)
                            : self != nullptr && GetInstanceVariable(self, id, index, value);
  if (found) r = value;
}

template <bool Global>
void Set(CInstance* self, const RValue* a, int indices) {
  int64_t index = 0;
  if (!ArrayIndex(a, 1, indices, index)) return;
  const int id = IdOf(a);
  const RValue& value = a[1 + indices];
  if (Global)
    GlobalVariables().SetValue(id, index, value);
  else if (self)
    SetInstanceVariable(self, id, index, value);  // read-only built-ins refuse quietly
}

}  // namespace

void RegisterMiscFunctions() {
  Reg("execute_string", kVariableArgs, FnExecuteString);
  Reg("execute_file", kVariableArgs, FnExecuteFile);

  Reg("variable_global_exists", 1, KV_FN {
    KV_UNUSED_ARGS;
    RValue v;
    r = RValue(GlobalVariables().GetValue(IdOf(a), 0, v) ? 1.0 : 0.0);
  });
  Reg("variable_global_get", 1, KV_FN { KV_UNUSED_ARGS; Get<true>(r, self, a, 0); });
  Reg("variable_global_array_get", 2, KV_FN { KV_UNUSED_ARGS; Get<true>(r, self, a, 1); });
  Reg("variable_global_array2_get", 3, KV_FN { KV_UNUSED_ARGS; Get<true>(r, self, a, 2); });
  Reg("variable_global_set", 2, KV_FN { KV_UNUSED_ARGS; Set<true>(self, a, 0); });
  Reg("variable_global_array_set", 3, KV_FN { KV_UNUSED_ARGS; Set<true>(self, a, 1); });
  Reg("variable_global_array2_set", 4, KV_FN { KV_UNUSED_ARGS; Set<true>(self, a, 2); });

  Reg("variable_local_exists", 1, KV_FN {
    KV_UNUSED_ARGS;
    RValue v;
    r = RValue(self && GetInstanceVariable(self, IdOf(a), 0, v) ? 1.0 : 0.0);
  });
  Reg("variable_local_get", 1, KV_FN { KV_UNUSED_ARGS; Get<false>(r, self, a, 0); });
  Reg("variable_local_array_get", 2, KV_FN { KV_UNUSED_ARGS; Get<false>(r, self, a, 1); });
  Reg("variable_local_array2_get", 3, KV_FN { KV_UNUSED_ARGS; Get<false>(r, self, a, 2); });
  Reg("variable_local_set", 2, KV_FN { KV_UNUSED_ARGS; Set<false>(self, a, 0); });
  Reg("variable_local_array_set", 3, KV_FN { KV_UNUSED_ARGS; Set<false>(self, a, 1); });
  Reg("variable_local_array2_set", 4, KV_FN { KV_UNUSED_ARGS; Set<false>(self, a, 2); });
  DescribeFunctions("Code execution and variables", {
      {"execute_string", "str, arg0, arg1, ...",
       "Runs the code in str with the given arguments and returns the value it returns."},
      {"execute_file", "fname, arg0, arg1, ...",
       "Runs the code in file fname with the given arguments and returns the value it returns."},
      {"variable_global_exists", "name", "Whether the global variable name exists."},
      {"variable_global_get", "name", "The value of the global variable name."},
      {"variable_global_array_get", "name, ind", "Element ind of the global array name."},
      {"variable_global_array2_get", "name, ind1, ind2",
       "Element (ind1, ind2) of the global two-dimensional array name."},
      {"variable_global_set", "name, value", "Sets the global variable name."},
      {"variable_global_array_set", "name, ind, value", "Sets element ind of the global array name."},
      {"variable_global_array2_set", "name, ind1, ind2, value",
       "Sets element (ind1, ind2) of the global two-dimensional array name."},
      {"variable_local_exists", "name", "Whether the current instance has a variable name."},
      {"variable_local_get", "name", "The value of the current instance's variable name."},
      {"variable_local_array_get", "name, ind", "Element ind of the current instance's array name."},
      {"variable_local_array2_get", "name, ind1, ind2",
       "Element (ind1, ind2) of the current instance's two-dimensional array name."},
      {"variable_local_set", "name, value", "Sets the current instance's variable name."},
      {"variable_local_array_set", "name, ind, value", "Sets element ind of the current instance's array name."},
      {"variable_local_array2_set", "name, ind1, ind2, value",
       "Sets element (ind1, ind2) of the current instance's two-dimensional array name."},
  });
}

}  // namespace kv
