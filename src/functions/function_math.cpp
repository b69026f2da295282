#include "functions/function_math.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "code/code_function.h"
#include "code/code_function_real.h"
#include "code/code_value.h"
#include "functions/function_string.h"

namespace kv {

// ---------------------------------------------------------------------------------------------------------
// Random generator

namespace {
struct ForcedSeed {
  bool active = false;
  uint64_t stream = 0;  // state of the generator that hands out the reseeds after the first
  bool first = true;
  uint32_t seed = 0;
};
ForcedSeed& Forced() {
  static ForcedSeed f;
  return f;
}
}  // namespace

void GameRandom::ForceSeed(uint32_t seed) {
  ForcedSeed& f = Forced();
  f.active = true;
  f.seed = seed;
  f.stream = seed;
  f.first = true;
}

void GameRandom::ClearForcedSeed() { Forced().active = false; }

void GameRandom::Randomize() {
  ForcedSeed& f = Forced();
  if (f.active) {
    // The first reseed (game start) takes the forced seed itself; later ones (randomize() calls from the
    // game) come from a deterministic splitmix sequence so they still differ from each other.
    if (f.first) {
      f.first = false;
      seed_ = f.seed;
      return;
    }
    uint64_t z = (f.stream += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    seed_ = static_cast<uint32_t>(z ^ (z >> 31));
    return;
  }
  auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  seed_ = static_cast<uint32_t>(static_cast<uint64_t>(ticks));
}

// ---------------------------------------------------------------------------------------------------------
// Number -> text

namespace {

// A non-negative decimal: value = 0.d1d2...dn x 10^exp (so exp is the number of integer digits).
struct Decimal {
  char digits[24];
  int count = 0;  // 0 means the value is zero
  int exp = 0;
};

// The first 18 significant digits of |x|, correctly rounded: the same starting point as an 80-bit
// decimal conversion, so later rounding to fewer digits rounds that expansion half up.
Decimal ToDecimal(double x) {
  Decimal d;
  x = std::fabs(x);
  if (x == 0) return d;
  char buf[40] = {};
  // d.ddddddddddddddddde[+-]XX; to_chars never uses the locale's decimal separator.
  std::to_chars(buf, buf + sizeof buf - 1, x, std::chars_format::scientific, 17);
  d.digits[0] = buf[0];
  std::memcpy(d.digits + 1, buf + 2, 17);
  d.count = 18;
  d.exp = std::atoi(buf + 20) + 1;
  while (d.count > 0 && d.digits[d.count - 1] == '0') --d.count;
  return d;
}

// Keeps the first `keep` digits, rounding half up on the next one.
void RoundDecimal(Decimal& d, int keep) {
  if (d.count <= keep) return;
  if (keep < 0) {
    d.count = 0;
    return;
  }
  bool up = d.digits[keep] >= '5';
  d.count = keep;
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[i] == '9') --i;
    if (i < 0) {  // 999 -> 1000
      d.digits[0] = '1';
      d.count = 1;
      d.exp += 1;
    } else {
      d.digits[i] += 1;
      d.count = i + 1;
    }
  }
  while (d.count > 0 && d.digits[d.count - 1] == '0') --d.count;
}

size_t WriteScientific(const Decimal& d, bool negative, char* out) {
  size_t n = 0;
  if (negative) out[n++] = '-';
  out[n++] = d.digits[0];
  if (d.count > 1) {
    out[n++] = '.';
    for (int i = 1; i < d.count; ++i) out[n++] = d.digits[i];
  }
  int e = d.exp - 1;
  out[n++] = 'E';
  out[n++] = e < 0 ? '-' : '+';
  if (e < 0) e = -e;
  char eb[8];
  int en = std::snprintf(eb, sizeof eb, "%02d", e);
  std::memcpy(out + n, eb, static_cast<size_t>(en));
  return n + static_cast<size_t>(en);
}

// Fixed notation into a std::string (used for both string() and string_format()).
std::string FixedText(double x, int maxSignificant, int decimals) {
  bool negative = std::signbit(x);
  Decimal d = ToDecimal(x);
  if (d.count > 0) RoundDecimal(d, std::min(maxSignificant, d.exp + decimals));
  std::string out;
  if (d.count == 0) {  // rounds to zero: no sign
    out = "0";
    if (decimals > 0) out += '.' + std::string(static_cast<size_t>(decimals), '0');
    return out;
  }
  if (d.exp > maxSignificant) {
    char buf[48];
    return std::string(buf, WriteScientific(d, negative, buf));
  }
  out.reserve(static_cast<size_t>(std::max(d.exp, 1) + decimals + 2));
  if (negative) out += '-';
  auto digitAt = [&](int i) { return (i >= 0 && i < d.count) ? d.digits[i] : '0'; };
  if (d.exp <= 0) {
    out += '0';
  } else {
    for (int i = 0; i < d.exp; ++i) out += digitAt(i);
  }
  if (decimals > 0) {
    out += '.';
    for (int k = 0; k < decimals; ++k) out += digitAt(d.exp + k);
  }
  return out;
}

}  // namespace

std::string FormatFixed(double x, int maxSignificant, int decimals) {
  decimals = std::clamp(decimals, 0, 18);
  if (!std::isfinite(x)) return std::isnan(x) ? "NAN" : (x < 0 ? "-INF" : "INF");
  return FixedText(x, maxSignificant, decimals);
}

size_t RealToText(double x, char* out) {
  if (x > -9.2233720368547758e18 && x < 9.2233720368547758e18 && std::nearbyint(x) == x) {
    auto r = std::to_chars(out, out + kRealTextMax, static_cast<int64_t>(x));
    return static_cast<size_t>(r.ptr - out);
  }
  std::string s = FormatFixed(x, 10, 2);
  size_t n = std::min(s.size(), kRealTextMax);
  std::memcpy(out, s.data(), n);
  return n;
}

std::string RealToText(double x) {
  char buf[kRealTextMax];
  return std::string(buf, RealToText(x, buf));
}

// ---------------------------------------------------------------------------------------------------------
// Text -> number

bool ParseReal(std::string_view text, double& value) {
  value = 0;
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  if (b == e) return true;
  std::string_view s = text.substr(b, e - b);
  size_t i = 0;
  bool negative = false;
  if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
  size_t intStart = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  std::string_view intDigits = s.substr(intStart, i - intStart);
  std::string_view fracDigits;
  if (i < s.size() && s[i] == '.') {
    size_t f = ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    fracDigits = s.substr(f, i - f);
  }
  if (intDigits.empty() && fracDigits.empty()) return false;
  int64_t exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool expNegative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) expNegative = s[i++] == '-';
    size_t ed = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      if (exponent < 100000) exponent = exponent * 10 + (s[i] - '0');  // saturate: far beyond any double
      ++i;
    }
    if (i == ed) return false;
    if (expNegative) exponent = -exponent;
  }
  if (i != s.size()) return false;

  std::string normal;
  normal.reserve(intDigits.size() + fracDigits.size() + 16);
  normal.append(intDigits.empty() ? std::string_view("0") : intDigits);
  if (!fracDigits.empty()) normal.append(".").append(fracDigits);
  normal.append("e").append(std::to_string(exponent));
  double v = 0;
  auto r = std::from_chars(normal.data(), normal.data() + normal.size(), v, std::chars_format::scientific);
  if (r.ec == std::errc::result_out_of_range) {
    // Too small is silent underflow to 0; too large is not a number we can hold.
    size_t firstNonZero = intDigits.find_first_not_of('0');
    int64_t magnitude;
    if (firstNonZero != std::string_view::npos) {
      magnitude = static_cast<int64_t>(intDigits.size() - firstNonZero) - 1 + exponent;
    } else {
      size_t f = fracDigits.find_first_not_of('0');
      if (f == std::string_view::npos) return true;  // all zeros
      magnitude = -static_cast<int64_t>(f) - 1 + exponent;
    }
    if (magnitude < 0) {
      value = negative ? -0.0 : 0.0;
      return true;
    }
    return false;
  }
  if (r.ec != std::errc() || !std::isfinite(v)) return false;
  value = negative ? -v : v;
  return true;
}

// ---------------------------------------------------------------------------------------------------------
// Geometry

double PointDirection(double x1, double y1, double x2, double y2) {
  double dx = x2 - x1, dy = y2 - y1;
  if (dx == 0) {
    if (dy > 0) return 270;
    if (dy < 0) return 90;
    return 0;
  }
  double a = std::atan2(dy, dx) * (180.0 / M_PI);
  return a > 0 ? 360 - a : -a;
}

double PointDistance(double x1, double y1, double x2, double y2) {
  double dx = x2 - x1, dy = y2 - y1;
  return std::sqrt(dx * dx + dy * dy);
}

namespace {
double Snap(double v) {
  double r = std::nearbyint(v);
  return std::fabs(v - r) < 0.0001 ? r : v;
}
}  // namespace

double LengthDirX(double len, double dir) { return Snap(len * std::cos(dir * (M_PI / 180.0))); }
double LengthDirY(double len, double dir) { return Snap(-len * std::sin(dir * (M_PI / 180.0))); }

// ---------------------------------------------------------------------------------------------------------
// Script functions

namespace {

#define KV_FN(name) \
  void name([[maybe_unused]] RValue& result, CInstance*, CInstance*, [[maybe_unused]] int argc, \
            [[maybe_unused]] RValue* args)

double A(const RValue* args, int i) { return args[i].Real(); }

// Order used by min/max/median: reals by value, strings bytewise, a real before a string.
int CompareForAggregate(const RValue& a, const RValue& b) {
  if (a.IsReal() && b.IsReal()) {
    double x = a.RealUnchecked(), y = b.RealUnchecked();
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  if (a.IsReal() != b.IsReal()) return a.IsReal() ? -1 : 1;
  return CompareStrings(a.Str(), b.Str());
}

// Functions that check their own domain: a non-finite result reports the message and gives 0.
void Checked(RValue& result, double r, const char* message) {
  if (std::isfinite(r)) {
    result = r;
  } else {
    ReportRuntimeError(message);
    result = 0.0;
  }
}

KV_FN(FnIsReal) { result = args[0].IsReal() ? 1.0 : 0.0; }
KV_FN(FnIsString) { result = args[0].IsString() ? 1.0 : 0.0; }
KV_FN(FnRandom) { result = CheckFinite(GameRandom::NextReal() * A(args, 0)); }
KV_FN(FnRandomSetSeed) { GameRandom::SetSeed(static_cast<uint32_t>(RoundToInt32Wrap(A(args, 0)))); }
KV_FN(FnRandomGetSeed) { result = static_cast<double>(static_cast<int32_t>(GameRandom::Seed())); }
KV_FN(FnRandomize) { GameRandom::Randomize(); }
KV_FN(FnChoose) {
  if (argc <= 0) return;
  result = args[GameRandom::NextInt(argc)];
}

// A function of one real, defined once: its real form R<name> and its handler Fn<name> over it, so both
// always compute the same.
#define KV_REAL1(name, body)                       \
  double R##name(double x) { body }                \
  KV_FN(Fn##name) { result = R##name(A(args, 0)); }
#define KV_REAL2(name, body)                                   \
  double R##name(double x, double y) { body }                  \
  KV_FN(Fn##name) { result = R##name(A(args, 0), A(args, 1)); }

KV_REAL1(Abs, return std::fabs(x);)
KV_REAL1(Round, return static_cast<double>(RoundToInt64(x));)
KV_REAL1(Floor, return std::floor(x);)
KV_REAL1(Ceil, return std::ceil(x);)
KV_REAL1(Sign, return x > 0 ? 1.0 : (x < 0 ? -1.0 : 0.0);)
KV_REAL1(Frac, return x - std::trunc(x);)
KV_REAL1(Sqrt, return CheckFinite(std::sqrt(x));)
KV_REAL1(Sqr, return CheckFinite(x * x);)
KV_REAL1(Exp, return CheckFinite(std::exp(x));)
KV_FN(FnLn) {
  double x = A(args, 0);
  Checked(result, x > 0 ? std::log(x) : NAN, "Error in function ln().");
}
KV_FN(FnLog2) {
  double x = A(args, 0);
  Checked(result, x > 0 ? std::log2(x) : NAN, "Error in function log2().");
}
KV_FN(FnLog10) {
  double x = A(args, 0);
  Checked(result, x > 0 ? std::log10(x) : NAN, "Error in function log10().");
}
KV_FN(FnLogn) {
  double n = A(args, 0), x = A(args, 1);
  double r = (n > 0 && x > 0 && n != 1) ? std::log(x) / std::log(n) : NAN;
  Checked(result, r, "Error in function logn().");
}
KV_FN(FnPower) { Checked(result, std::pow(A(args, 0), A(args, 1)), "Error in function power()."); }

// The processor's own reduction handles |x| < 2^63 only; beyond that sin and cos (and tan) give 0.
constexpr double kTrigLimit = 9223372036854775808.0;
KV_REAL1(Sin, return std::fabs(x) < kTrigLimit ? std::sin(x) : 0.0;)
KV_REAL1(Cos, return std::fabs(x) < kTrigLimit ? std::cos(x) : 0.0;)
KV_REAL1(Tan, return std::fabs(x) < kTrigLimit ? CheckFinite(std::tan(x)) : 0.0;)
KV_FN(FnArcsin) {
  double x = A(args, 0);
  Checked(result, (x >= -1 && x <= 1) ? std::asin(x) : NAN, "Error in function arcsin().");
}
KV_FN(FnArccos) {
  double x = A(args, 0);
  Checked(result, (x >= -1 && x <= 1) ? std::acos(x) : NAN, "Error in function arccos().");
}
KV_REAL1(Arctan, return std::atan2(x, 1.0);)
KV_FN(FnArctan2) { Checked(result, std::atan2(A(args, 0), A(args, 1)), "Error in function arctan2()."); }
KV_REAL1(DegToRad, return CheckFinite(x * (M_PI / 180.0));)
KV_REAL1(RadToDeg, return CheckFinite(x * (180.0 / M_PI));)

void MinMax(RValue& result, int argc, RValue* args, int wantSign) {
  if (argc <= 0) return;
  int best = 0;
  for (int i = 1; i < argc; ++i) {
    if (CompareForAggregate(args[i], args[best]) * wantSign > 0) best = i;
  }
  result = args[best];
}
KV_FN(FnMin) { MinMax(result, argc, args, -1); }
KV_FN(FnMax) { MinMax(result, argc, args, 1); }
KV_FN(FnMin3) { MinMax(result, 3, args, -1); }
KV_FN(FnMax3) { MinMax(result, 3, args, 1); }
// Real forms of min and max: the first of the smallest (largest) arguments, as MinMax picks it for reals.
double RMin(const double* x, int argc) {
  if (argc <= 0) return 0.0;
  double best = x[0];
  for (int i = 1; i < argc; ++i)
    if (x[i] < best) best = x[i];
  return best;
}
double RMax(const double* x, int argc) {
  if (argc <= 0) return 0.0;
  double best = x[0];
  for (int i = 1; i < argc; ++i)
    if (x[i] > best) best = x[i];
  return best;
}
double RMean(const double* x, int argc) {
  if (argc <= 0) return 0.0;
  double sum = 0;
  for (int i = 0; i < argc; ++i) sum = CheckFinite(sum + x[i]);
  return sum / argc;
}
KV_FN(FnMean) {
  if (argc <= 0) return;
  double sum = 0;
  for (int i = 0; i < argc; ++i) sum = CheckFinite(sum + args[i].Real());
  result = sum / argc;
}
KV_FN(FnMedian) {
  if (argc <= 0) return;
  for (int i = 0; i < argc; ++i) {
    int below = 0, upto = 0;
    for (int j = 0; j < argc; ++j) {
      int c = CompareForAggregate(args[j], args[i]);
      if (c < 0) ++below;
      if (c <= 0) ++upto;
    }
    // below < count/2 <= upto, kept in integers: 2*below < count <= 2*upto
    if (2 * below < argc && argc <= 2 * upto) {
      result = args[i];
      return;
    }
  }
}

KV_FN(FnReal) {
  if (args[0].IsReal()) {
    result = args[0].RealUnchecked();
    return;
  }
  double v;
  if (ParseReal(args[0].Str(), v)) {
    result = v;
  } else {
    ReportRuntimeError("Error in function real().");
  }
}
KV_FN(FnString) {
  if (args[0].IsString()) {
    result = args[0];
    return;
  }
  char buf[kRealTextMax];
  result.SetString(std::string_view(buf, RealToText(args[0].RealUnchecked(), buf)));
}
KV_FN(FnStringFormat) {
  if (args[0].IsString()) {
    result = args[0];
    return;
  }
  int64_t decimals = std::clamp<int64_t>(RoundToInt64(A(args, 2)), 0, 18);
  int64_t total = RoundToInt64(A(args, 1));
  std::string text = FormatFixed(args[0].RealUnchecked(), 18, static_cast<int>(decimals));
  if (total > static_cast<int64_t>(kMaxStringLength)) {
    ReportRuntimeError(kStringTooLongMessage);
    result.SetString({});
    return;
  }
  if (total > static_cast<int64_t>(text.size())) text.insert(0, static_cast<size_t>(total) - text.size(), ' ');
  result.SetString(text);
}

KV_FN(FnPointDistance) { result = CheckFinite(PointDistance(A(args, 0), A(args, 1), A(args, 2), A(args, 3))); }
KV_FN(FnPointDirection) { result = PointDirection(A(args, 0), A(args, 1), A(args, 2), A(args, 3)); }
KV_REAL2(LengthDirX, return CheckFinite(LengthDirX(x, y));)
KV_REAL2(LengthDirY, return CheckFinite(LengthDirY(x, y));)
double RPointDistance(const double* x, int) { return CheckFinite(PointDistance(x[0], x[1], x[2], x[3])); }
double RPointDirection(const double* x, int) { return PointDirection(x[0], x[1], x[2], x[3]); }

#undef KV_REAL1
#undef KV_REAL2
#undef KV_FN

}  // namespace

void RegisterMathFunctions() {
  RegisterFunction("is_real", FnIsReal, 1);
  RegisterFunction("is_string", FnIsString, 1);
  RegisterFunction("random", FnRandom, 1);
  RegisterFunction("random_set_seed", FnRandomSetSeed, 1);
  RegisterFunction("random_get_seed", FnRandomGetSeed, 0);
  RegisterFunction("randomize", FnRandomize, 0);
  RegisterFunction("choose", FnChoose, kVariableArgs);
  RegisterFunction("abs", FnAbs, 1);
  RegisterFunction("round", FnRound, 1);
  RegisterFunction("floor", FnFloor, 1);
  RegisterFunction("ceil", FnCeil, 1);
  RegisterFunction("sign", FnSign, 1);
  RegisterFunction("frac", FnFrac, 1);
  RegisterFunction("sqrt", FnSqrt, 1);
  RegisterFunction("sqr", FnSqr, 1);
  RegisterFunction("exp", FnExp, 1);
  RegisterFunction("ln", FnLn, 1);
  RegisterFunction("log2", FnLog2, 1);
  RegisterFunction("log10", FnLog10, 1);
  RegisterFunction("logn", FnLogn, 2);
  RegisterFunction("power", FnPower, 2);
  RegisterFunction("sin", FnSin, 1);
  RegisterFunction("cos", FnCos, 1);
  RegisterFunction("tan", FnTan, 1);
  RegisterFunction("arcsin", FnArcsin, 1);
  RegisterFunction("arccos", FnArccos, 1);
  RegisterFunction("arctan", FnArctan, 1);
  RegisterFunction("arctan2", FnArctan2, 2);
  RegisterFunction("degtorad", FnDegToRad, 1);
  RegisterFunction("radtodeg", FnRadToDeg, 1);
  RegisterFunction("min", FnMin, kVariableArgs);
  RegisterFunction("max", FnMax, kVariableArgs);
  RegisterFunction("min3", FnMin3, 3);
  RegisterFunction("max3", FnMax3, 3);
  RegisterFunction("mean", FnMean, kVariableArgs);
  RegisterFunction("median", FnMedian, kVariableArgs);
  RegisterFunction("real", FnReal, 1);
  RegisterFunction("string", FnString, 1);
  RegisterFunction("string_format", FnStringFormat, 3);
  RegisterFunction("point_distance", FnPointDistance, 4);
  RegisterFunction("point_direction", FnPointDirection, 4);
  RegisterFunction("lengthdir_x", FnLengthDirX, 2);
  RegisterFunction("lengthdir_y", FnLengthDirY, 2);
  // Forms over plain reals for the functions that, given reals, only compute: the bytecode calls them
  // directly when every argument is a real.
  const std::pair<const char*, RealFn1> ones[] = {
      {"abs", RAbs},   {"round", RRound}, {"floor", RFloor}, {"ceil", RCeil},     {"sign", RSign},
      {"frac", RFrac}, {"sqrt", RSqrt},   {"sqr", RSqr},     {"exp", RExp},       {"sin", RSin},
      {"cos", RCos},   {"tan", RTan},     {"arctan", RArctan}, {"degtorad", RDegToRad}, {"radtodeg", RRadToDeg}};
  for (const auto& [name, fn] : ones) RegisterRealForm(name, fn);
  RegisterRealForm("lengthdir_x", RLengthDirX);
  RegisterRealForm("lengthdir_y", RLengthDirY);
  const std::pair<const char*, RealFnN> manys[] = {
      {"min", RMin},   {"max", RMax},   {"min3", RMin}, {"max3", RMax}, {"mean", RMean},
      {"point_distance", RPointDistance}, {"point_direction", RPointDirection}};
  for (const auto& [name, fn] : manys) RegisterRealForm(name, fn);
  DescribeFunctions("Math", {
      {"is_real", "x", "Whether x is a number (1) or not (0)."},
      {"is_string", "x", "Whether x is a string (1) or not (0)."},
      {"random", "x", "A random real number from 0 up to (not including) x."},
      {"random_set_seed", "seed", "Sets the seed of the random number generator, so the same sequence follows."},
      {"random_get_seed", "", "The current seed of the random number generator."},
      {"randomize", "", "Seeds the random number generator from the clock."},
      {"choose", "val0, val1, ...", "One of its arguments, picked at random."},
      {"abs", "x", "The absolute value of x."},
      {"round", "x", "x rounded to the nearest integer (halves go to the even one)."},
      {"floor", "x", "The largest integer not above x."},
      {"ceil", "x", "The smallest integer not below x."},
      {"sign", "x", "-1, 0 or 1 as x is negative, zero or positive."},
      {"frac", "x", "The fractional part of x (with the sign of x)."},
      {"sqrt", "x", "The square root of x."},
      {"sqr", "x", "x multiplied by itself."},
      {"exp", "x", "e raised to the power x."},
      {"ln", "x", "The natural logarithm of x."},
      {"log2", "x", "The base-2 logarithm of x."},
      {"log10", "x", "The base-10 logarithm of x."},
      {"logn", "n, x", "The logarithm of x to base n."},
      {"power", "x, n", "x raised to the power n."},
      {"sin", "x", "The sine of x (radians)."},
      {"cos", "x", "The cosine of x (radians)."},
      {"tan", "x", "The tangent of x (radians)."},
      {"arcsin", "x", "The inverse sine of x, in radians."},
      {"arccos", "x", "The inverse cosine of x, in radians."},
      {"arctan", "x", "The inverse tangent of x, in radians."},
      {"arctan2", "y, x", "The angle in radians of the point (x, y) seen from the origin."},
      {"degtorad", "x", "x degrees converted to radians."},
      {"radtodeg", "x", "x radians converted to degrees."},
      {"min", "val0, val1, ...", "The smallest of its arguments (all numbers or all strings)."},
      {"max", "val0, val1, ...", "The largest of its arguments (all numbers or all strings)."},
      {"min3", "a, b, c", "The smallest of three values."},
      {"max3", "a, b, c", "The largest of three values."},
      {"mean", "val0, val1, ...", "The average of its arguments; 0 without arguments."},
      {"median", "val0, val1, ...", "The middle one of its arguments (the lower middle for an even count)."},
      {"point_distance", "x1, y1, x2, y2", "The distance between two points."},
      {"point_direction", "x1, y1, x2, y2", "The direction from the first point to the second, 0 to 360 degrees."},
      {"lengthdir_x", "len, dir", "The horizontal part of a vector of length len pointing in direction dir."},
      {"lengthdir_y", "len, dir", "The vertical part of a vector of length len pointing in direction dir."},
  });
  DescribeFunctions("Strings", {
      {"real", "str", "The number written in str (a number is returned as it is)."},
      {"string", "val", "The number val written as text (a string is returned as it is)."},
      {"string_format", "val, total, decimals",
       "val written with the given number of decimals, padded with spaces to at least total characters."},
  });
  RegisterStringFunctions();
}

}  // namespace kv
