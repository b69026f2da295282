// Math family of built-in functions: type tests, the game random generator, rounding and arithmetic,
// trigonometry, aggregates, number <-> text conversion and the geometry helpers used by movement code.
// The string functions of the family live in function_string.h.
//
// The pure helpers below work on double / std::string so other modules (data structures, particles, the
// world) share the exact same rules; the Register function wraps them as script functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

// ---- the one game random generator ----
// Linear congruential: seed = seed * 134775813 + 1 (mod 2^32). Every random choice of the runtime draws
// from here, so setting the seed (random_set_seed, or --seed at start) makes a whole run repeatable.
class GameRandom {
 public:
  static uint32_t Seed() { return seed_; }
  static void SetSeed(uint32_t seed) { seed_ = seed; }
  // Reseeds from the high-resolution clock (randomize(), every game start unless a fixed seed is forced).
  static void Randomize();
  // When set, Randomize() keeps this seed instead (the --seed option): a whole run becomes repeatable.
  static void ForceSeed(uint32_t seed);
  static void ClearForcedSeed();

  // Advances the generator; a real in [0, 1).
  static double NextReal() { return Advance() * (1.0 / 4294967296.0); }
  // Advances the generator; an integer in [0, n) for n >= 0 (0 for n <= 0, still drawing once).
  static int64_t NextInt(int64_t n) {
    uint64_t s = Advance();
    if (n <= 0) return 0;
    return static_cast<int64_t>((static_cast<unsigned __int128>(static_cast<uint64_t>(n)) * s) >> 32);
  }

 private:
  static uint32_t Advance() {
    seed_ = seed_ * 134775813u + 1u;
    return seed_;
  }
  static inline uint32_t seed_ = 0;
};

// ---- number <-> text ----
// `string(x)` of a real: an integral value (within int64) as a plain integer; anything else rounded to 10
// significant digits with exactly two decimals ("3.14", "2.50", "-0.25"); more than 10 integer digits ->
// scientific ("1.2345678901E+12" style). The separator is always '.', whatever the locale. Writes at most
// kRealTextMax bytes to out and returns the length.
constexpr size_t kRealTextMax = 32;
size_t RealToText(double x, char* out);
std::string RealToText(double x);

// Fixed notation with `decimals` decimals (clamped to 0..18, at most `maxSignificant` significant digits),
// as string_format and the two-decimal path of RealToText use it. No padding.
std::string FormatFixed(double x, int maxSignificant, int decimals);

// `real(s)`: blanks around, optional sign, digits with an optional '.' fraction and an optional exponent.
// Blank-only text is 0 (ok). Returns false (value 0) for anything else or a result outside the double range.
bool ParseReal(std::string_view text, double& value);

// ---- geometry ----
double PointDirection(double x1, double y1, double x2, double y2);  // degrees 0..360, y down
double PointDistance(double x1, double y1, double x2, double y2);
double LengthDirX(double len, double dirDegrees);  // snapped to an integer within 0.0001
double LengthDirY(double len, double dirDegrees);

// Registers the 60 math and string functions (calls RegisterStringFunctions too).
void RegisterMathFunctions();

}  // namespace kv
