// Real forms of built-in functions: for a function whose handler, given only real arguments, reads them as
// numbers and gives a real, a plain C++ function over doubles that computes the same result. The bytecode
// calls it directly when every argument register holds a real, skipping the staging slots and the general
// handler; any other argument (a string) takes the general handler, so strings and the handler's own
// reports behave exactly as before. A real form may throw ArithmeticFault just as its handler does, but
// never reports an error of its own.
#pragma once

#include <string_view>

namespace kv {

using RealFn1 = double (*)(double);
using RealFn2 = double (*)(double, double);
using RealFnN = double (*)(const double* args, int argc);  // argc 0..16

// Exactly one of the three is set for a function that has a real form.
struct RealForm {
  RealFn1 one = nullptr;
  RealFn2 two = nullptr;
  RealFnN many = nullptr;
  bool Any() const { return one || two || many; }
};

// Gives the already registered built-in `name` its real form (ignored when the name is not registered).
// One- and two-argument forms apply only to functions of that exact count; `many` to any count the function
// accepts.
void RegisterRealForm(std::string_view name, RealFn1 fn);
void RegisterRealForm(std::string_view name, RealFn2 fn);
void RegisterRealForm(std::string_view name, RealFnN fn);

// The real form of built-in id, empty when it has none (or id is not a built-in).
RealForm GetRealForm(int id);

}  // namespace kv
