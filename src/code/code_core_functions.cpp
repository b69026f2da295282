// The few built-in functions the language itself needs before the function families exist (the language
// benchmarks and tests use them). Each family registered later under the same name replaces these.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "code/code_function.h"

namespace kv {

namespace {
double Num(const RValue& v) { return v.Real(); }

void FnAbs(RValue& r, CInstance*, CInstance*, int, RValue* a) { r.SetReal(std::fabs(Num(a[0]))); }
void FnSin(RValue& r, CInstance*, CInstance*, int, RValue* a) { r.SetReal(CheckFinite(std::sin(Num(a[0])))); }
void FnSqrt(RValue& r, CInstance*, CInstance*, int, RValue* a) { r.SetReal(CheckFinite(std::sqrt(Num(a[0])))); }
void FnFloor(RValue& r, CInstance*, CInstance*, int, RValue* a) { r.SetReal(std::floor(Num(a[0]))); }

void MinMax(RValue& r, int argc, RValue* a, bool wantMax) {
  if (argc <= 0) return;
  r = a[0];
  for (int i = 1; i < argc; ++i) {
    const RValue& v = a[i];
    if (v.IsReal() != r.IsReal()) continue;
    bool better = v.IsReal() ? (wantMax ? v.RealUnchecked() > r.RealUnchecked() : v.RealUnchecked() < r.RealUnchecked())
                             : (wantMax ? CompareStrings(v.Str(), r.Str()) > 0 : CompareStrings(v.Str(), r.Str()) < 0);
    if (better) r = v;
  }
}
void FnMax(RValue& r, CInstance*, CInstance*, int argc, RValue* a) { MinMax(r, argc, a, true); }
void FnMin(RValue& r, CInstance*, CInstance*, int argc, RValue* a) { MinMax(r, argc, a, false); }

// A real as text: integers without decimals, others with two decimals after rounding to 10 significant digits.
void FnString(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  if (a[0].IsString()) {
    r = a[0];
    return;
  }
  double x = a[0].RealUnchecked();
  char buf[64];
  if (x == std::nearbyint(x) && std::fabs(x) < 1e15) {
    std::snprintf(buf, sizeof buf, "%.0f", x);
  } else if (std::fabs(x) >= 1e10) {
    std::snprintf(buf, sizeof buf, "%.2e", x);
  } else {
    double rounded = std::strtod([&] {
      static char tmp[64];
      std::snprintf(tmp, sizeof tmp, "%.10g", x);
      return tmp;
    }(), nullptr);
    std::snprintf(buf, sizeof buf, "%.2f", rounded);
  }
  r.SetString(buf);
}

void FnStringLength(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r.SetReal(static_cast<double>(a[0].StrLength()));
}

void FnStringCount(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  std::string_view sub = a[0].Str(), s = a[1].Str();
  double n = 0;
  if (!sub.empty()) {
    size_t p = 0;
    while ((p = s.find(sub, p)) != std::string_view::npos) {
      ++n;
      p += sub.size();
    }
  }
  r.SetReal(n);
}

void Copy(RValue& r, std::string_view s, double index, double count) {
  int64_t i = RoundToInt64(index), n = RoundToInt64(count);
  if (i < 1) i = 1;
  if (i > static_cast<int64_t>(s.size()) || n < 0) {
    r.SetString({});
    return;
  }
  size_t from = static_cast<size_t>(i - 1);
  size_t len = std::min<size_t>(static_cast<size_t>(n), s.size() - from);
  r.SetString(s.substr(from, len));
}
void FnStringCopy(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  Copy(r, a[0].Str(), a[1].Real(), a[2].Real());
}
void FnStringCharAt(RValue& r, CInstance*, CInstance*, int, RValue* a) { Copy(r, a[0].Str(), a[1].Real(), 1); }

}  // namespace

void RegisterLanguageCoreFunctions() {
  RegisterFunction("abs", FnAbs, 1);
  RegisterFunction("sin", FnSin, 1);
  RegisterFunction("sqrt", FnSqrt, 1);
  RegisterFunction("floor", FnFloor, 1);
  RegisterFunction("min", FnMin, kVariableArgs);
  RegisterFunction("max", FnMax, kVariableArgs);
  RegisterFunction("string", FnString, 1);
  RegisterFunction("string_length", FnStringLength, 1);
  RegisterFunction("string_count", FnStringCount, 2);
  RegisterFunction("string_copy", FnStringCopy, 3);
  RegisterFunction("string_char_at", FnStringCharAt, 2);
}

}  // namespace kv
