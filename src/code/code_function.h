// The table of built-in functions the compiler resolves names against and the interpreter calls by id.
//
// How a function family plugs in:
//   1. Write handlers with the BuiltinFn signature. `result` starts as real 0; `args` points at 16 slots when
//      called from code (7 from actions) of which the first `argc` are the arguments and the rest are real 0.
//      A handler never fails the call: it reports its own problems with ReportRuntimeError (code_error.h,
//      usually not fatal) and leaves a result.
//   2. Give the family one entry point `void Register<Family>Functions()` that calls RegisterFunction once per
//      function (name, handler, exact argument count or kVariableArgs for 0..16).
//   3. Add that entry point to the list in RegisterAllBuiltinFunctions() (runner/runner_wiring.cpp).
// Ids: 0…99999 built-in (table position), 100000… scripts, 500000… extension functions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "code/code_value.h"

namespace kv {

class CInstance;

using BuiltinFn = void (*)(RValue& result, CInstance* self, CInstance* other, int argc, RValue* args);

constexpr int kVariableArgs = -1;
constexpr int kMaxCallArgs = 16;
constexpr int kScriptIdBase = 100000;
constexpr int kExtensionIdBase = 500000;

struct RBuiltinFunction {
  std::string name;  // at most 64 characters
  BuiltinFn handler = nullptr;
  int argCount = kVariableArgs;  // exact count, or kVariableArgs
};

// Appends a function and returns its id. Registering a name again replaces that entry (same id), so calling a
// family's Register function twice is harmless.
int RegisterFunction(std::string_view name, BuiltinFn handler, int argCount);

// Exact, case-sensitive; -1 when absent.
int FindBuiltinFunction(std::string_view name);
// nullptr for an id outside the table.
const RBuiltinFunction* GetBuiltinFunction(int id);
int BuiltinFunctionCount();

// Calls every family's Register function once (later calls do nothing).

// Extension functions (ids from 500000) are supplied by the extension module through these hooks.
struct ExtensionFunctionHooks {
  int (*find)(std::string_view name) = nullptr;      // extension function index or -1
  int (*argCount)(int index) = nullptr;              // its own argument count
  // Calls it; false = failure (the pending error says why).
  bool (*call)(int index, CInstance* self, CInstance* other, int argc, RValue* args, RValue& result) = nullptr;
};
void SetExtensionFunctionHooks(const ExtensionFunctionHooks& hooks);
const ExtensionFunctionHooks& GetExtensionFunctionHooks();

// Name resolution for calls: scripts first, then extension functions, then built-in functions.
bool FindFunction(std::string_view name, int& id);
// Exact count for built-ins with a fixed count and extension functions; -1 for scripts and variable
// built-ins; -100 for an id outside every range.
int FunctionArgumentCount(int id);

}  // namespace kv
