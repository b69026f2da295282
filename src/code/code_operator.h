// The operator rules, shared by the interpreter and the constant folder so both give the same results and the
// same messages. Each returns nullptr on success or the error message; an infinite or invalid result throws
// ArithmeticFault.
#pragma once

#include "code/code_value.h"

namespace kv {

const char* ApplyBinary(int op, const RValue& l, const RValue& r, RValue& out);
const char* ApplyUnary(int op, const RValue& v, RValue& out);

// Real-only helpers (the interpreter's fast paths call these directly).
[[gnu::always_inline]] inline double OpDiv(double l, double r) { return std::trunc(CheckFinite(l / r)); }
[[gnu::always_inline]] inline double OpMod(double l, double r) { return CheckFinite(l - std::trunc(CheckFinite(l / r)) * r); }
double OpShift(double l, double r, bool left);

// Maps a compound assignment token (+= …) to its binary operator.
int CompoundToBinary(int assignOp);

}  // namespace kv
