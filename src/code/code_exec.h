// The interpreter: runs compiled code for a self and an other instance.
//
// Status of every statement: 0 ok, -1 error (message pending), -2 exit/return, -3 break, -4 continue.
// Arithmetic faults are C++ exceptions (ArithmeticFault); all interpreter state (argument frames, local frames,
// recursion depth) is restored by RAII when one passes through.
#pragma once

#include <cstddef>

#include "code/code_value.h"

namespace kv {

class CCode;
class CInstance;

enum ExecStatus : int { kStatusOk = 0, kStatusError = -1, kStatusExit = -2, kStatusBreak = -3, kStatusContinue = -4 };

// Clears the pending error, then runs code; success for every status but error. A `return` stores its value
// in result (left unchanged otherwise).
bool RunCode(CInstance* self, CInstance* other, const CCode* code, RValue& result);
// RunCode; a failure is reported as a (non-fatal) run-time error with the current action context and the
// pending flag cleared. Events, creation code and the execute functions use it.
bool RunProgram(CInstance* self, CInstance* other, const CCode* code, RValue& result);
// RunCode; on failure result becomes the string "ERROR" and the message stays pending for the caller.
bool RunForValue(CInstance* self, CInstance* other, const CCode* code, RValue& result);

// Which interpreter runs compiled code: the register bytecode (default) or the executable tree it is compiled
// from (KV_INTERP=tree in the environment, or this switch; differential tests compare the two).
void SetTreeInterpreter(bool on);
bool TreeInterpreter();

// ---- argument slots (argument0 … argument15) ----
constexpr int kArgumentSlots = 16;
// The slots code currently sees (for writing: the frame is then reset in full when it ends).
RValue* CurrentArguments();
const RValue* CurrentArgumentsForRead();

// A fresh frame of 16 argument slots for a run that must not see or change the caller's (scripts, execute_string,
// extension code): the first `count` slots take args, the rest are real 0; the caller's slots are back when the
// frame ends (also on faults).
class ArgumentFrame {
 public:
  ArgumentFrame(const RValue* args, int count);
  ~ArgumentFrame();
  ArgumentFrame(const ArgumentFrame&) = delete;
  ArgumentFrame& operator=(const ArgumentFrame&) = delete;
  bool Ok() const { return ok_; }  // false when the argument stack is exhausted (deep recursion)

 private:
  RValue* saved_ = nullptr;
  RValue* stage_ = nullptr;
  bool ok_ = false;
};

// ---- recursion guard ----
// Nested runs (scripts, with bodies running scripts, execute_string…) stop with this error when too deep.
inline constexpr const char* kStackOverflowMessage = "Stack overflow: too deep recursion.";
constexpr int kMaxRunDepth = 10000;
// The native stack the game thread may use for nested runs, measured from the outermost run. The default suits
// an 8 MB thread stack; a thread with a larger stack may raise it.
void SetNativeStackBudget(size_t bytes);

}  // namespace kv
