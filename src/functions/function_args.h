// What every built-in function family shares: readers that turn argument slots
// into the C++ types handlers want, the registration shorthand and the handler
// shape. Conversions saturate, so no real from game code reaches undefined
// behaviour.
#pragma once

#include <string>

#include "code/code_function.h"
#include "code/code_value.h"

namespace kv::fnargs {

inline int I(const RValue *a, int i) { return RoundToInt(a[i].Real()); }
inline double D(const RValue *a, int i) { return a[i].Real(); }
inline bool B(const RValue *a, int i) { return IsTrue(a[i].Real()); }
// The argument's text when it is a string, else the empty text.
inline std::string Str(const RValue *a, int i) {
  return a[i].IsString() ? a[i].ToStdString() : std::string();
}

inline void Reg(const char *name, int argc, BuiltinFn fn) {
  RegisterFunction(name, fn, argc);
}

} // namespace kv::fnargs

// A handler written in place: `Reg("name", 2, KV_FN { ... });`
#define KV_FN                                                                  \
  [](RValue & r, CInstance * self, CInstance * other, int argc, RValue *a)
// For handlers that use only some of their parameters.
#define KV_UNUSED_ARGS                                                         \
  (void)r;                                                                     \
  (void)self;                                                                  \
  (void)other;                                                                 \
  (void)argc;                                                                  \
  (void)a
