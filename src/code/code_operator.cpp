#include "code/code_operator.h"

#include <cstring>

#include "code/code_lexer.h"

namespace kv {

double OpShift(double l, double r, bool left) {
  int64_t a = RoundToInt64(l);
  int64_t n = RoundToInt64(r);
  // Counts outside 0…63 give 0 (64…127 as the shift instruction did; negative and larger counts likewise).
  if (n < 0 || n > 63) return 0.0;
  uint64_t u = static_cast<uint64_t>(a);
  u = left ? (u << n) : (u >> n);
  return static_cast<double>(static_cast<int64_t>(u));
}

int CompoundToBinary(int assignOp) {
  switch (assignOp) {
    case kTokAddAssign: return kOpPlus;
    case kTokSubAssign: return kOpMinus;
    case kTokMulAssign: return kOpTimes;
    case kTokDivAssign: return kOpDivide;
    case kTokOrAssign: return kOpBitOr;
    case kTokAndAssign: return kOpBitAnd;
    case kTokXorAssign: return kOpBitXor;
    default: return 0;
  }
}

namespace {
const char* Repeat(double count, std::string_view s, RValue& out) {
  int64_t n = RoundToInt64(count);
  if (n <= 0 || s.empty()) {
    out.SetString({});
    return nullptr;
  }
  if (static_cast<uint64_t>(n) > kMaxStringLength / s.size()) return kStringTooLongMessage;
  size_t total = static_cast<size_t>(n) * s.size();
  std::string tmp(s);  // s may live inside out
  char* p = out.ResizeUninitialised(total);
  for (int64_t i = 0; i < n; ++i) std::memcpy(p + i * tmp.size(), tmp.data(), tmp.size());
  return nullptr;
}

int Compare(const RValue& l, const RValue& r) {
  if (l.IsReal()) {
    // Compared directly: subtracting could overflow for two finite reals.
    double a = l.RealUnchecked(), b = r.RealUnchecked();
    return a < b ? -1 : (a > b ? 1 : 0);
  }
  return CompareStrings(l.Str(), r.Str());
}
}  // namespace

const char* ApplyBinary(int op, const RValue& l, const RValue& r, RValue& out) {
  const bool reals = l.IsReal() && r.IsReal();
  switch (op) {
    case kTokAssign: case kOpEqual: case kOpNotEqual: case kOpLess: case kOpLessEq: case kOpGreater:
    case kOpGreaterEq: {
      if (l.IsReal() != r.IsReal()) return "Cannot compare arguments.";
      int c = Compare(l, r);
      bool res = false;
      switch (op) {
        case kTokAssign: case kOpEqual: res = c == 0; break;
        case kOpNotEqual: res = c != 0; break;
        case kOpLess: res = c < 0; break;
        case kOpLessEq: res = c <= 0; break;
        case kOpGreater: res = c > 0; break;
        default: res = c >= 0; break;
      }
      out.SetReal(res ? 1.0 : 0.0);
      return nullptr;
    }
    case kOpAnd: case kOpOr: case kOpXor: {
      if (!reals)
        return op == kOpAnd ? "Wrong type of arguments for &&."
                            : (op == kOpOr ? "Wrong type of arguments for ||." : "Wrong type of arguments for ^^.");
      bool a = IsTrue(l.RealUnchecked()), b = IsTrue(r.RealUnchecked());
      bool res = op == kOpAnd ? (a && b) : (op == kOpOr ? (a || b) : (a != b));
      out.SetReal(res ? 1.0 : 0.0);
      return nullptr;
    }
    case kOpPlus:
      if (reals) {
        out.SetReal(CheckFinite(l.RealUnchecked() + r.RealUnchecked()));
        return nullptr;
      }
      if (l.IsString() && r.IsString()) {
        std::string_view a = l.Str(), b = r.Str();
        if (a.size() + b.size() > kMaxStringLength) return kStringTooLongMessage;
        if (&out == &l) {
          out.Append(b);
          return nullptr;
        }
        RValue tmp;
        char* p = tmp.ResizeUninitialised(a.size() + b.size());
        if (!a.empty()) std::memcpy(p, a.data(), a.size());
        if (!b.empty()) std::memcpy(p + a.size(), b.data(), b.size());
        out = std::move(tmp);
        return nullptr;
      }
      return "Wrong type of arguments to +.";
    case kOpMinus:
      if (!reals) return "Wrong type of arguments to -.";
      out.SetReal(CheckFinite(l.RealUnchecked() - r.RealUnchecked()));
      return nullptr;
    case kOpTimes:
      if (reals) {
        out.SetReal(CheckFinite(l.RealUnchecked() * r.RealUnchecked()));
        return nullptr;
      }
      if (l.IsReal() && r.IsString()) return Repeat(l.RealUnchecked(), r.Str(), out);
      return "Wrong type of arguments to *.";
    case kOpDivide:
      if (!reals) return "Wrong type of arguments to /.";
      if (r.RealUnchecked() == 0.0) return "Division by 0.";
      out.SetReal(CheckFinite(l.RealUnchecked() / r.RealUnchecked()));
      return nullptr;
    case kOpDiv:
      if (!reals) return "Wrong type of arguments to div.";
      if (r.RealUnchecked() == 0.0) return "Division by 0.";
      out.SetReal(OpDiv(l.RealUnchecked(), r.RealUnchecked()));
      return nullptr;
    case kOpMod:
      if (!reals) return "Wrong type of arguments to mod.";
      if (r.RealUnchecked() == 0.0) return "Modulo by 0.";
      out.SetReal(OpMod(l.RealUnchecked(), r.RealUnchecked()));
      return nullptr;
    case kOpBitOr: case kOpBitAnd: case kOpBitXor: {
      if (!reals)
        return op == kOpBitOr ? "Wrong type of arguments for |."
                              : (op == kOpBitAnd ? "Wrong type of arguments for &." : "Wrong type of arguments for ^.");
      int64_t a = RoundToInt64(l.RealUnchecked()), b = RoundToInt64(r.RealUnchecked());
      int64_t res = op == kOpBitOr ? (a | b) : (op == kOpBitAnd ? (a & b) : (a ^ b));
      out.SetReal(static_cast<double>(res));
      return nullptr;
    }
    case kOpShl: case kOpShr:
      if (!reals) return op == kOpShl ? "Wrong type of arguments for <<." : "Wrong type of arguments for >>.";
      out.SetReal(OpShift(l.RealUnchecked(), r.RealUnchecked(), op == kOpShl));
      return nullptr;
    default:
      return "Internal error: unknown binary operator.";
  }
}

const char* ApplyUnary(int op, const RValue& v, RValue& out) {
  if (op != kOpNot && op != kOpPlus && op != kOpMinus && op != kOpBitNot)
    return "Internal error: unknown unary operator.";
  if (v.IsString()) return "Wrong type of arguments to unary operator.";
  double x = v.RealUnchecked();
  switch (op) {
    case kOpNot: out.SetReal(x < 0.5 ? 1.0 : 0.0); break;
    case kOpPlus: out.SetReal(x); break;
    case kOpMinus: out.SetReal(-x); break;
    default: out.SetReal(static_cast<double>(~RoundToInt64(x))); break;
  }
  return nullptr;
}

}  // namespace kv
