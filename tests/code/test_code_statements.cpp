// Statements: loop statuses, switch scan, with over a small room, exit/return, scripts and argument slots,
// the recursion guard.
#include "code_test_util.h"

namespace kv::test {
namespace {

struct Case {
  const char* code;
  const char* want;
};

class StatementTest : public LangTest {};

TEST_F(StatementTest, Loops) {
  const Case cases[] = {
      {"n = 0; repeat (2.5) n += 1; return n;", "2"},  // the count is rounded once, halves to even
      {"n = 0; repeat (3.5) n += 1; return n;", "4"},
      {"n = 0; repeat (-1) n += 1; return n;", "0"},
      {"n = 0; while (n < 10) { n += 1; if (n == 3) break; } return n;", "3"},
      {"n = 0; s = 0; while (n < 5) { n += 1; if (n mod 2) continue; s += n; } return s;", "6"},
      {"n = 0; do n += 1; until (n >= 3) return n;", "3"},
      {"n = 0; do { n += 1; break; } until (0) return n;", "1"},
      {"s = 0; for (i = 0; i < 5; i += 1) { if (i == 1) continue; if (i == 3) break; s += i; } return s;", "2"},
      {"for (i = 0; \"a\"; i += 1) {}", "1:13: Expression expected"},
      {"while (\"a\") {}", "1:8: Boolean expression expected"},
      {"do {} until (\"a\")", "1:14: Boolean expression expected"},
      {"if (\"a\") {}", "1:5: Expression expected"},
      {"repeat (\"a\") {}", "1:9: Repeat count must be a number"},
      {"n = 0; repeat (3) { n += 1; exit; } return n;", "0"},  // exit ends the run; no return value
      {"break; return 5;", "0"},  // top-level break just ends the run
      {"n = 1; continue; n = 2;", "0"},
      {"case 1: n = 1;", "1:1: Case statement only allowed inside switch statement."},
      {"default: n = 1;", "1:1: Default statement only allowed inside switch statement."},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.want) << c.code;
}

TEST_F(StatementTest, SwitchScanOrder) {
  const Case cases[] = {
      {"switch (2) { case 1: a = 1; default: a = 0; case 2: a = 2; } return a;", "2"},
      {"a = 9; switch (1) { case 1: a = 1; case 2: a = 2; } return a;", "2"},
      {"a = 9; switch (1) { case 1: a = 1; break; case 2: a = 2; } return a;", "1"},
      {"a = 9; switch (\"1\") { case 1: a = 1; } return a;", "9"},
      {"a = 9; switch (\"x\") { case \"x\": a = 1; } return a;", "1"},
      {"a = 9; switch (5) { case 1: a = 1; } return a;", "9"},
      {"a = 9; switch (5) { case 1: a = 1; default: a = 0; } return a;", "0"},
      {"a = 9; switch (-0) { case 0: a = 1; } return a;", "1"},
      {"a = 9; switch (2.5) { case 2.5: a = 1; case 7: a += 1; } return a;", "2"},
      {"a = 9; switch (1) { case 1: case 1: a = 1; } return a;", "1"},
      // case expressions run lazily, in order, and stop at the first match
      {"k = 1; c = 0; switch (k) { case c + 1: a = 1; case c + 100: a = 2; } return a;", "2"},
      {"k = 1; switch (k) { case zz: a = 1; }", "1:26: Unknown variable zz"},
      {"k = 1; switch (k) { case 0: case zz: a = 1; }", "1:34: Unknown variable zz"},
      {"k = 1; switch (k) { case 1: a = 7; case zz: a += 1; } return a;", "8"},
      // continue inside a switch reaches the enclosing loop
      {"s = 0; for (i = 0; i < 4; i += 1) { switch (i) { case 1: continue; default: s += i; } } return s;", "5"},
      // a nested case label errors when reached
      {"switch (1) { case 1: if (1) { case 2: a = 1; } }", "1:31: Case statement only allowed inside switch statement."},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.want) << c.code;
}

TEST_F(StatementTest, WithOverTheRoom) {
  CInstance* a = world.Create(1, 0, 0);
  CInstance* b = world.Create(1, 0, 0);
  CInstance* c = world.Create(2, 0, 0);
  self.id = 7;
  const Case cases[] = {
      {"n = 0; with (1) n2 = 1; with (all) other.n += 1; return n;", "3"},
      {"with (1) { v = id; } return (1).v;", "100001"},
      {"with (2) { w = other.id; } return (2).w;", "7"},                   // other := outer self
      {"with (1) { with (other) { q = id; } } return q;", "7"},            // with(other) is the original self
      {"with (self) { r = other.id; } return r;", "7"},                    // inside with(self) other is self
      {"t = 0; with (1) { t2 = 1; break; } with (all) other.t += 1; return t;", "3"},
      {"with (1) { exit; } return 5;", "0"},
      {"with (noone) { z = 1; } with (-100) { z = 1; } return 0;", "0"},
      {"with (\"a\") {}", "1:7: Object id expected"},
      {"with (local) {}", "1:7: Cannot use local in with statement."},
      {"with (global) {}", "1:7: Cannot use global in with statement."},
      {"var k; k = 5; with (1) { k += 1; } return k;", "7"},  // locals stay those of the run
  };
  for (const Case& cs : cases) EXPECT_EQ(Run(cs.code), cs.want) << cs.code;
  EXPECT_EQ(Var(*a, "n2"), 1);
  EXPECT_EQ(Var(*c, "n2"), -12345);
  // Instances created by the body are not visited; destroyed ones are skipped.
  EXPECT_EQ(Run("m = 0; with (1) { instance_create(0, 0, 1); other.m += 1; } return m;"), "2");
  world.Destroy(b);
  EXPECT_EQ(Run("m = 0; with (1) other.m += 1; return m;"), "3");
  EXPECT_EQ(Run("m = 0; with (" + std::to_string(b->id) + ") other.m += 1; return m;"), "0");
}

TEST_F(StatementTest, ScriptsAndArgumentSlots) {
  AddScript("add3", "return argument0 + argument1 + argument2;");
  AddScript("args", "return string(argument0) + string(argument3) + string(argument[15]);");
  AddScript("swap", "return string(argument0) + string(argument1);");
  AddScript("clobber", "argument0 = 100; argument[7] = 5; return argument0;");
  AddScript("fails", "return nope;");
  AddScript("outer", "return middle();");
  AddScript("middle", "return fails();");
  AddScript("loc", "var v; if (argument0 > 0) { v = argument0; loc(argument0 - 1); return v; } return 0;");
  AddScript("quit", "n = 1; break; n = 2;");
  ASSERT_TRUE(CompileScripts());
  const Case cases[] = {
      {"return add3(1, 2, 3);", "6"},
      {"return args(7);", "'700'"},  // unused slots read 0
      {"argument0 = 1; argument1 = 2; return swap(argument1, argument0);", "'21'"},
      {"argument0 = 1; argument[7] = 3; r = clobber(9); return string(r) + string(argument0) + string(argument7);",
       "'10013'"},
      {"return loc(3);", "3"},  // each level has its own locals
      {"quit(); return n;", "1"},
      {"r = fails();", "In script fails:\rError in code at line 1:\r   return nope;\r\rat position 8: Unknown variable nope"},
      {"r = outer();",
       "In script outer:\rIn script middle:\rIn script fails:\rError in code at line 1:\r   return nope;\r\rat position 8: "
       "Unknown variable nope"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.want) << c.code;
  // The slots are restored after a failing script too.
  EXPECT_EQ(Run("argument2 = 4; r = outer();").substr(0, 9), "In script");
  EXPECT_EQ(Run("return argument2;"), "4");
}

TEST_F(StatementTest, ArgumentSlotsAreRestoredWhenAFaultPassesThrough) {
  AddScript("boom", "argument5 = 1; x = sqrt(-1);");
  ASSERT_TRUE(CompileScripts());
  Run("argument0 = 3; argument5 = 8;");
  EXPECT_TRUE(Faults("boom(1, 2);"));
  EXPECT_EQ(Run("return argument0 * 10 + argument5;"), "38");
  EXPECT_EQ(Run("return add_missing;"), "1:8: Unknown variable add_missing");
}

TEST_F(StatementTest, RunawayRecursionIsAnOrderlyError) {
  AddScript("deep", "return deep(argument0 + 1);");
  AddScript("count", "if (argument0 <= 0) return 0; return 1 + count(argument0 - 1);");
  ASSERT_TRUE(CompileScripts());
  std::string r = Run("return deep(0);");
  EXPECT_NE(r.find("Stack overflow: too deep recursion."), std::string::npos);
  EXPECT_EQ(r.rfind("In script deep:", 0), 0u);
  // Ordinary recursion still works afterwards (AddressSanitizer's larger frames reach the stack guard sooner).
#if defined(__SANITIZE_ADDRESS__)
  EXPECT_EQ(Run("return count(100);"), "100");
#else
  EXPECT_EQ(Run("return count(500);"), "500");
#endif
}

TEST_F(StatementTest, DeepCallsGetFreshArgumentSlots) {
  // Far deeper than the argument slots made at start: every level still sees its own arguments and real 0 in
  // the slots it was not given.
  AddScript("walk", "if (argument0 <= 0) return argument3; return argument1 + argument3 + walk(argument0 - 1, argument1);");
  ASSERT_TRUE(CompileScripts());
  EXPECT_EQ(Run("return walk(300, 2);"), "600");
  // The caller's own slots are as they were before the calls.
  EXPECT_EQ(Run("argument0 = 5; w = walk(3, 1); return w * 10 + argument0;"), "35");
}

TEST_F(StatementTest, CallsEvaluateArgumentsLeftToRight) {
  AddScript("mark", "global.order = string(global.order) + string(argument0); return argument0;");
  ASSERT_TRUE(CompileScripts());
  EXPECT_EQ(Run("global.order = \"\"; r = max(mark(1), mark(2), mark(3)); return global.order;"), "'123'");
}

}  // namespace
}  // namespace kv::test
