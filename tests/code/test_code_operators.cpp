// Operators across the kind matrix: results, rounding, truth thresholds, div/mod/shift edges, messages.
#include "code_test_util.h"

namespace kv::test {
namespace {

struct Case {
  const char* code;
  const char* want;
};

class OperatorTest : public LangTest {};

TEST_F(OperatorTest, ResultsAndMessages) {
  const Case cases[] = {
      // arithmetic, precedence and associativity
      {"return 1 + 2 * 3;", "7"},
      {"return 10 - 4 - 3;", "3"},
      {"return -2 * 3;", "-6"},
      {"a = 2; return -a * 3;", "-6"},
      {"return 1 || 0 && 0;", "0"},  // one level for && || ^^, left to right
      {"return 3 | 4 & 1;", "1"},    // one level for | & ^
      {"return 3 > 2 > 1;", "0"},
      {"return 1 < 2 < 3;", "1"},
      {"return 1 ^^ 1;", "0"},
      {"return 0 xor 1;", "1"},
      // div and mod truncate; mod is not fmod
      {"return 7 div -2;", "-3"},
      {"return -7 div 2;", "-3"},
      {"return -7 mod 3;", "-1"},
      {"return 7.5 mod 2;", "1.5"},
      {"a = 1; return a mod 0.1;", "0"},
      {"a = 5; b = 0; return a mod b;", "1:28: Modulo by 0."},
      {"a = 5; b = 0; return a div b;", "1:28: Division by 0."},
      {"a = 5; b = 0; return a / b;", "1:26: Division by 0."},
      // 64-bit bit operations with rounding to even
      {"return 2.5 | 0;", "2"},
      {"return 3.5 | 0;", "4"},
      {"return -2.5 | 0;", "-2"},
      {"return -1 >> 60;", "15"},
      {"return 1 << 64;", "0"},
      {"return 1 << 63;", "-9.2233720368547758e+18"},
      {"return 1 << -1;", "0"},
      {"return 1 << 200;", "0"},
      {"return ~1.5;", "-3"},
      {"return 6 ^ 3;", "5"},
      // truth thresholds
      {"return !0.5;", "0"},
      {"return !0.49;", "1"},
      {"return 0.5 && 1;", "1"},
      {"r = 0; if (0.5) r = 1; return r;", "0"},
      {"r = 0; if (0.51) r = 1; return r;", "1"},
      {"n = 0; while (0.5) { n += 1; break; } return n;", "1"},
      // strings
      {"return 3 * \"ab\";", "'ababab'"},
      {"return 0.4 * \"ab\";", "''"},
      {"return 2.5 * \"ab\";", "'abab'"},
      {"return \"ab\" * 3;", "1:15: Wrong type of arguments to *."},
      {"return \"a\" + 1;", "1:14: Wrong type of arguments to +."},
      {"return \"a\" + \"b\";", "'ab'"},
      {"return \"a\" == \"a\";", "1"},
      {"return \"a\" = \"a\";", "1"},
      {"return \"a\" < \"b\";", "1"},
      {"return \"ab\" < \"abc\";", "1"},
      {"return \"B\" < \"a\";", "1"},
      {"return \"a\" == 1;", "1:15: Cannot compare arguments."},
      {"return -\"a\";", "1:9: Wrong type of arguments to unary operator."},
      {"return +\"a\";", "1:9: Wrong type of arguments to unary operator."},
      {"return \"a\" && 1;", "1:15: Wrong type of arguments for &&."},
      {"return 1 || \"a\";", "1:13: Wrong type of arguments for ||."},
      {"return \"a\" ^^ 1;", "1:15: Wrong type of arguments for ^^."},
      {"return \"a\" | 1;", "1:14: Wrong type of arguments for |."},
      {"return \"a\" & 1;", "1:14: Wrong type of arguments for &."},
      {"return \"a\" ^ 1;", "1:14: Wrong type of arguments for ^."},
      {"return \"a\" << 1;", "1:15: Wrong type of arguments for <<."},
      {"return \"a\" >> 1;", "1:15: Wrong type of arguments for >>."},
      {"return \"a\" - 1;", "1:14: Wrong type of arguments to -."},
      {"return \"a\" / 1;", "1:14: Wrong type of arguments to /."},
      {"return \"a\" div 1;", "1:16: Wrong type of arguments to div."},
      {"return \"a\" mod 1;", "1:16: Wrong type of arguments to mod."},
      // errors are placed at the right operand, evaluated after the left one
      {"s = \"x\"; return 1 + s;", "1:21: Wrong type of arguments to +."},
      // a huge repeat count is refused instead of exhausting memory
      {"n = 1000000000000; return n * \"ab\";", "1:31: String result is too long."},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.want) << c.code;
}

TEST_F(OperatorTest, ComparisonsOfExtremeRealsDoNotFault) {
  // Comparing by subtraction would overflow here; comparing directly gives the plain answer.
  EXPECT_EQ(Run("a = $FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF; "
                "b = -a; return a > b;"),
            "1");
}

TEST_F(OperatorTest, FaultsAbandonTheRun) {
  // Overflow, invalid operations and unroundable values are faults, not reported errors.
  EXPECT_TRUE(Faults("a = $FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                     "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                     "; b = a * a;"));
  EXPECT_TRUE(Faults("a = 100000000000000000000; b = a | 0;"));
  EXPECT_TRUE(Faults("a = 1; b = sqrt(-a);"));
  EXPECT_FALSE(Faults("a = 1; b = a + 1;"));
  // The fault leaves what was stored before it.
  CCode code("a = 1; b = sqrt(-1); a = 2;", false);
  ASSERT_TRUE(code.Compile());
  RValue r;
  EXPECT_THROW(RunCode(&self, &self, &code, r), ArithmeticFault);
  EXPECT_EQ(Var(self, "a"), 1);
  EXPECT_FALSE(ErrorPending());
}

TEST_F(OperatorTest, NoShortCircuit) {
  AddScript("f", "global.calls += 1; return 0;");
  AddScript("g", "global.calls += 10; return 1;");
  ASSERT_TRUE(CompileScripts());
  EXPECT_EQ(Run("global.calls = 0; r = f() && g(); return global.calls;"), "11");
  EXPECT_EQ(Run("global.calls = 0; r = g() || f(); return global.calls;"), "11");
}

TEST_F(OperatorTest, CompoundAssignment) {
  const Case cases[] = {
      {"v = 5; v += 2; v -= 1; v *= 3; v /= 2; return v;", "9"},
      {"v = 6; v |= 1; v &= 3; v ^= 1; return v;", "2"},
      {"s = \"a\"; s += \"b\"; return s;", "'ab'"},
      {"v = 1; v += \"a\";", "1:13: Wrong type of arguments to +."},
      {"v = 1; v /= 0;", "1:13: Division by 0."},
      {"var i; i = 0; i += 1; i -= 3; return i;", "-2"},
      {"w += 1;", "1:1: Unknown variable w"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.want) << c.code;
  Run("v = 1; v += \"a\";");
  EXPECT_EQ(Var(self, "v"), 1);  // a failed combine stores nothing
}

TEST_F(OperatorTest, InPlaceAppendKeepsCopiesIntact) {
  // s += … appends in place only when the string is not shared.
  EXPECT_EQ(Run("var s, t; s = \"abcdefghijklmnopqrstuvwxyz\"; t = s; s += \"!\"; return t + \"|\" + s;"),
            "'abcdefghijklmnopqrstuvwxyz|abcdefghijklmnopqrstuvwxyz!'");
  EXPECT_EQ(Run("var s, i; s = \"\"; for (i = 0; i < 1000; i += 1) s += \"xy\"; return string_length(s);"), "2000");
}

}  // namespace
}  // namespace kv::test
