#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <cmath>

#include "functions/call_builtin.h"
#include "functions/function_math.h"

namespace kv {
namespace {

using test::BuiltinCaller;
using test::S;

class MathFunctions : public ::testing::Test {
 protected:
  void SetUp() override { RegisterMathFunctions(); }
  BuiltinCaller call;
};

TEST(RealToText, AwkwardValues) {
  struct Case {
    double x;
    const char* text;
  } cases[] = {
      {3, "3"},
      {-2, "-2"},
      {0, "0"},
      {-0.0, "0"},  // negative zero is integral: no sign
      {0.1, "0.10"},
      {1.0 / 3, "0.33"},
      {2.5, "2.50"},
      {-0.25, "-0.25"},
      {3.14159, "3.14"},
      {0.125, "0.13"},   // exact binary tie rounds half up
      {2.675, "2.67"},   // stored just below the tie
      {0.004, "0.00"},   // rounds to zero
      {-0.004, "0.00"},  // ... and shows no sign
      {-0.005, "-0.01"},
      {0.999, "1.00"},
      {123456789.123, "123456789.10"},  // 10 significant digits, then two decimals
      {1234567890.25, "1234567890.00"},
      {12345678901.5, "1.23456789E+10"},  // more than 10 integer digits: scientific
      {9999999999.5, "1E+10"},            // rounding adds the 11th digit
      {1e15, "1000000000000000"},
      {-9007199254740993.0, "-9007199254740992"},
      {1e19, "1E+19"},  // integral but beyond int64: scientific instead of a fault
      {-1.5e300, "-1.5E+300"},
      {1e-300, "0.00"},
  };
  for (const Case& c : cases) EXPECT_EQ(RealToText(c.x), c.text) << c.x;
}

// Builds a comma-decimal locale into a temporary directory (none may be installed) and makes it current.
bool UseCommaLocale(const std::string& dir) {
  if (!std::filesystem::exists(dir + "/de_DE.UTF-8/LC_NUMERIC")) {
    std::string cmd = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0 && !std::filesystem::exists(dir + "/de_DE.UTF-8/LC_NUMERIC")) return false;
  }
  setenv("LOCPATH", dir.c_str(), 1);
  return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr && std::localeconv()->decimal_point[0] == ',';
}

TEST(RealToText, IgnoresTheLocale) {
  std::string dir = (std::filesystem::temp_directory_path() / "kv_locale_test").string();
  std::filesystem::create_directories(dir);
  if (!UseCommaLocale(dir)) {
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    GTEST_SKIP() << "cannot build a comma locale here";
  }
  double v = 0;
  EXPECT_EQ(RealToText(2.5), "2.50");
  EXPECT_EQ(RealToText(-1.5e300), "-1.5E+300");
  EXPECT_EQ(FormatFixed(1.0 / 3, 18, 4), "0.3333");
  EXPECT_TRUE(ParseReal("12.5", v));
  EXPECT_EQ(v, 12.5);
  EXPECT_FALSE(ParseReal("1,5", v));
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
}

TEST(ParseReal, Grammar) {
  struct Case {
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {" 12.5 ", true, 12.5}, {"", true, 0},          {"   ", true, 0},        {"-3", true, -3},
      {"+4.", true, 4},       {".5", true, 0.5},      {"1e3", true, 1000},     {"2.5E-1", true, 0.25},
      {"1,5", false, 0},      {"abc", false, 0},      {"1e", false, 0},        {".", false, 0},
      {"--1", false, 0},      {"1 2", false, 0},      {"inf", false, 0},       {"nan", false, 0},
      {"$10", false, 0},      {"1e400", false, 0},    {"1e-400", true, 0},     {"0e999999999", true, 0},
      {"\t7\r\n", true, 7},   {"0.1", true, 0.1},     {"1e+2", true, 100},     {"-0", true, -0.0},
  };
  for (const Case& c : cases) {
    double v = -1;
    EXPECT_EQ(ParseReal(c.text, v), c.ok) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
}

TEST(ParseReal, RoundTripsFormattedNumbers) {
  for (double x : {0.5, -1.5, 1234567.25, 1e-5, 42.0, -99999.99}) {
    double v;
    ASSERT_TRUE(ParseReal(RealToText(x), v));
    EXPECT_NEAR(v, x, 0.005) << x;
  }
}

TEST_F(MathFunctions, ConversionFunctions) {
  EXPECT_EQ(call.Str("string", {3.0}), "3");
  EXPECT_EQ(call.Str("string", {S("abc")}), "abc");
  EXPECT_EQ(call.Str("string_format", {3.14159, 8.0, 2.0}), "    3.14");
  EXPECT_EQ(call.Str("string_format", {-1.0, 0.0, 3.0}), "-1.000");
  EXPECT_EQ(call.Str("string_format", {2.5, 1.0, 0.0}), "3");  // half up
  EXPECT_EQ(call.Str("string_format", {1.0 / 3, 0.0, 40.0}), "0.333333333333333315");  // 18 decimals at most
  EXPECT_EQ(call.Str("string_format", {S("x"), 5.0, 2.0}), "x");
  EXPECT_EQ(call.Real("real", {S(" 12.5 ")}), 12.5);
  EXPECT_TRUE(call.NoErrors());
  EXPECT_EQ(call.Real("real", {S("1,5")}), 0);
  EXPECT_TRUE(call.TookError("Error in function real()."));
  EXPECT_EQ(call.Real("real", {S("")}), 0);
  EXPECT_EQ(call.Real("real", {7.25}), 7.25);
  EXPECT_TRUE(call.NoErrors());
  EXPECT_EQ(call.Str("string_format", {1.0, 1e12, 0.0}), "");
  EXPECT_TRUE(call.TookError(kStringTooLongMessage));
}

TEST_F(MathFunctions, RoundingAndArithmetic) {
  struct Case {
    const char* fn;
    double x;
    double expected;
  } cases[] = {
      {"round", 2.5, 2},   {"round", 3.5, 4},    {"round", -0.5, 0},   {"round", -2.5, -2},
      {"floor", -1.5, -2}, {"ceil", -1.5, -1},   {"sign", -0.0, 0},    {"sign", -3, -1},
      {"sign", 0.1, 1},    {"frac", -2.75, -0.75}, {"abs", -4, 4},     {"sqr", -3, 9},
      {"sqrt", 16, 4},     {"exp", 0, 1},        {"ln", 1, 0},         {"log2", 8, 3},
      {"log10", 1000, 3},  {"degtorad", 180, M_PI}, {"radtodeg", M_PI, 180},
      {"arctan", 1, M_PI / 4}, {"sin", 1e19, 0}, {"cos", -1e19, 0},    {"sin", 0, 0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(call.Real(c.fn, {c.x}), c.expected) << c.fn << "(" << c.x << ")";
  EXPECT_EQ(call.Real("power", {2.0, 10.0}), 1024);
  EXPECT_DOUBLE_EQ(call.Real("logn", {2.0, 8.0}), 3);
  EXPECT_DOUBLE_EQ(call.Real("arctan2", {1.0, 0.0}), M_PI / 2);
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(MathFunctions, DomainErrorsAreReportedAndGiveZero) {
  struct Case {
    const char* fn;
    std::initializer_list<RValue> args;
    const char* message;
  } cases[] = {
      {"ln", {0.0}, "Error in function ln()."},
      {"ln", {-1.0}, "Error in function ln()."},
      {"log2", {-1.0}, "Error in function log2()."},
      {"log10", {0.0}, "Error in function log10()."},
      {"logn", {1.0, 5.0}, "Error in function logn()."},
      {"logn", {2.0, -1.0}, "Error in function logn()."},
      {"arcsin", {2.0}, "Error in function arcsin()."},
      {"arccos", {-1.5}, "Error in function arccos()."},
      {"power", {-8.0, 1.0 / 3}, "Error in function power()."},
      {"power", {0.0, -1.0}, "Error in function power()."},
      {"power", {10.0, 400.0}, "Error in function power()."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(call.Real(c.fn, c.args), 0) << c.fn;
    EXPECT_TRUE(call.TookError(c.message)) << c.fn;
  }
}

TEST_F(MathFunctions, UncheckedFunctionsFault) {
  EXPECT_THROW(call.Call("sqrt", {-1.0}), ArithmeticFault);
  EXPECT_THROW(call.Call("exp", {1000.0}), ArithmeticFault);
  EXPECT_THROW(call.Call("sqr", {1e200}), ArithmeticFault);
  EXPECT_THROW(call.Call("round", {1e20}), ArithmeticFault);
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(MathFunctions, Aggregates) {
  RValue second = call.Call("min", {2.0, 1.0, 1.0});
  EXPECT_EQ(second.Real(), 1);
  EXPECT_EQ(call.Str("max", {S("b"), S("a")}), "b");
  EXPECT_EQ(call.Str("min", {S("b"), S("ab"), S("abc")}), "ab");
  EXPECT_EQ(call.Real("max", {}), 0);
  EXPECT_EQ(call.Real("min3", {3.0, -1.0, 2.0}), -1);
  EXPECT_EQ(call.Real("max3", {3.0, -1.0, 5.0}), 5);
  EXPECT_EQ(call.Real("mean", {1.0, 2.0, 6.0}), 3);
  EXPECT_EQ(call.Real("mean", {}), 0);
  EXPECT_EQ(call.Real("median", {3.0, 1.0, 2.0}), 2);
  EXPECT_EQ(call.Real("median", {4.0, 1.0, 3.0, 2.0}), 2);
  EXPECT_EQ(call.Real("median", {5.0, 5.0, 1.0, 5.0}), 5);
  EXPECT_EQ(call.Real("median", {7.0}), 7);
  EXPECT_EQ(call.Real("median", {}), 0);
}

TEST_F(MathFunctions, Geometry) {
  struct Case {
    double x2, y2, direction;
  } cases[] = {{0, 10, 270}, {0, -10, 90}, {0, 0, 0}, {-1, 0, 180}, {1, 0, 0}, {1, -1, 45}, {1, 1, 315}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(call.Real("point_direction", {0.0, 0.0, c.x2, c.y2}), c.direction);
  EXPECT_EQ(call.Real("point_distance", {1.0, 1.0, 4.0, 5.0}), 5);
  EXPECT_EQ(call.Real("lengthdir_x", {10.0, 90.0}), 0);  // snapped exactly
  EXPECT_EQ(call.Real("lengthdir_y", {10.0, 90.0}), -10);
  EXPECT_EQ(call.Real("lengthdir_x", {10.0, 180.0}), -10);
  EXPECT_DOUBLE_EQ(call.Real("lengthdir_x", {10.0, 45.0}), 10 * std::cos(M_PI / 4));
}

TEST_F(MathFunctions, RandomGeneratorIsRepeatable) {
  call.Call("random_set_seed", {1.0});
  EXPECT_EQ(call.Real("random", {1.0}), 134775814.0 / 4294967296.0);
  EXPECT_EQ(call.Real("random_get_seed"), 134775814);

  call.Call("random_set_seed", {12345.0});
  std::vector<double> first;
  for (int i = 0; i < 5; ++i) first.push_back(call.Real("random", {100.0}));
  call.Call("random_set_seed", {12345.0});
  for (int i = 0; i < 5; ++i) EXPECT_EQ(call.Real("random", {100.0}), first[i]);

  call.Call("random_set_seed", {-1.0});  // low 32 bits, read back signed
  EXPECT_EQ(call.Real("random_get_seed"), -1);
  call.Call("random_set_seed", {4294967297.0});
  EXPECT_EQ(call.Real("random_get_seed"), 1);

  // choose draws an integer below the count: (3 * seed) >> 32 with the next seed
  call.Call("random_set_seed", {0.0});
  EXPECT_EQ(call.Real("choose", {10.0, 20.0, 30.0}), 10);  // next seed 1: 3 * 1 >> 32 = 0
  EXPECT_EQ(call.Real("choose", {}), 0);
  EXPECT_EQ(call.Str("choose", {S("only")}), "only");
}

TEST(GameRandom, ForcedSeedMakesRandomizeRepeatable) {
  GameRandom::ForceSeed(42);
  GameRandom::Randomize();
  EXPECT_EQ(GameRandom::Seed(), 42u);
  GameRandom::Randomize();
  uint32_t second = GameRandom::Seed();
  EXPECT_NE(second, 42u);
  GameRandom::ForceSeed(42);
  GameRandom::Randomize();
  GameRandom::Randomize();
  EXPECT_EQ(GameRandom::Seed(), second);
  GameRandom::ClearForcedSeed();
}

TEST(GameRandom, IntegerDrawsStayBelowTheBound) {
  GameRandom::SetSeed(7);
  for (int i = 0; i < 1000; ++i) {
    int64_t v = GameRandom::NextInt(3);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 3);
  }
  GameRandom::SetSeed(0xFFFFFFFEu);  // next seed is near 2^32
  EXPECT_LT(GameRandom::NextInt(2147483647), 2147483647);
}

}  // namespace
}  // namespace kv
