// What the action functions share: the argument rules of the standard actions (rounding halves to even, flags at
// 0.5 or more, relative positions and values, comparison codes), calls into the built-in functions of the other
// families by name, and the hooks for the modal windows some actions open.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "actions/function_action.h"
#include "code/code_function.h"
#include "code/code_instance.h"
#include "code/code_value.h"

namespace kv::actlib {

inline double Num(const RValue& v) { return v.Real(); }
inline int32_t Round(const RValue& v) { return RoundToInt32Wrap(v.Real()); }
inline bool Flag(const RValue& v) { return v.Real() >= 0.5; }

// A value that sets a variable: added to the current value when the action is relative.
double Rel(double current, const RValue& v);
// A position: relative to self's x or y when the action is relative.
double PosX(const CInstance* self, const RValue& v);
double PosY(const CInstance* self, const RValue& v);

// The comparison of the question actions: op 1 smaller, 2 larger, anything else equal (exact).
inline bool Compare(double a, double b, const RValue& op) {
  const double o = op.Real();
  if (o == 1) return a < b;
  if (o == 2) return a > b;
  return a == b;
}

// Calls the built-in function `name` with (self, other) and the arguments; a function that is not registered
// does nothing and gives real 0 (a family that has not been wired into this build).
RValue Call(std::string_view name, CInstance* self, CInstance* other, std::initializer_list<RValue> args);
inline RValue Call(std::string_view name, std::initializer_list<RValue> args = {}) {
  return Call(name, nullptr, nullptr, args);
}
bool HasFunction(std::string_view name);

// The value as text: a string as it is, a real as string() writes it.
std::string Text(const RValue& v);

// A non-fatal message with the action context.
void Report(std::string_view message);

inline void Reg(const char* name, int argc, BuiltinFn fn) { RegisterFunction(name, fn, argc); }

// action_draw_variable's text: a string as it is, an integral real without decimals, any other with two.
std::string VariableText(const RValue& v);

// The groups of the library.
void RegisterMovementActions();
void RegisterMainActions();
void RegisterControlActions();
void RegisterScoreActions();
void RegisterExtraActions();
void RegisterDrawActions();

}  // namespace kv::actlib
