// The bytecode against the executable tree it is compiled from: random programs and expressions run both ways
// must give the same result, the same error text (with line and column) or both the same arithmetic fault, and
// leave the instance in the same state. The programs mix every shape the bytecode fuses (frame-slot locals,
// constants on the right, argument slots, counted loops, constant switches, local arrays) with strings, type
// errors and statements it leaves to the tree (with, globalvar, computed targets).
#include <random>
#include <string>

#include "code/code_exec.h"
#include "code/code_function_real.h"
#include "code_test_util.h"
#include "world/instance_variables.h"

namespace kv::test {
namespace {

class Gen {
 public:
  explicit Gen(uint32_t seed) : rng_(seed) {}

  std::string Expr(int depth) {
    if (depth <= 0 || Pick(10) < 3) return Leaf();
    switch (Pick(9)) {
      case 0: return Pick(2) ? "-" + Paren(Expr(depth - 1)) : (Pick(2) ? "!" : "~") + Paren(Expr(depth - 1));
      case 1: return "abs(" + Expr(depth - 1) + ")";
      case 2: return "string(" + Expr(depth - 1) + ")";
      case 3: return "max(" + Expr(depth - 1) + ", " + Expr(depth - 1) + ")";
      case 4: return "twice(" + Expr(depth - 1) + ", " + Expr(depth - 1) + ")";
      case 5: return Paren(Expr(depth - 1)) + " " + Op() + " " + Number();  // op-with-constant forms
      case 6: return Local() + " " + Op() + " " + Number();
      default: return Paren(Expr(depth - 1)) + " " + Op() + " " + Paren(Expr(depth - 1));
    }
  }

  std::string Stmt(int depth, int loops) {
    const int n = depth <= 0 ? 6 : 17;
    switch (Pick(n)) {
      case 0: return Local() + " = " + Expr(2) + ";";
      case 1: return Local() + (Pick(2) ? " += " : " -= ") + Number() + ";";
      case 2: return Local() + " " + AssignOp() + " " + Expr(2) + ";";
      case 3: return Inst() + " " + AssignOp() + " " + Expr(2) + ";";
      case 4: return "la[" + Index() + "] " + AssignOp() + " " + Expr(1) + ";";
      case 5: return "lb[" + Index() + ", " + Index() + "] = " + Expr(1) + ";";
      case 6: return "if (" + Expr(2) + ") " + Block(depth - 1, loops) + (Pick(2) ? " else " + Block(depth - 1, loops) : "");
      case 7: {
        const std::string c = "c" + std::to_string(loops % 3);
        return "for (" + c + " = 0; " + c + " < " + std::to_string(Pick(4)) + "; " + c + " += 1) " +
               Block(depth - 1, loops + 1);
      }
      case 8: {
        const std::string c = "c" + std::to_string(loops % 3);
        return c + " = 0; while (" + c + " < " + std::to_string(Pick(4)) + ") { " + c + " += 1; " +
               Stmt(depth - 1, loops + 1) + " }";
      }
      case 9: return "repeat (" + std::to_string(Pick(4)) + ") " + Block(depth - 1, loops + 1);
      case 10: {
        const std::string c = "c" + std::to_string(loops % 3);
        return c + " = 0; do { " + c + " += 1; " + Stmt(depth - 1, loops + 1) + " } until (" + c + " >= 2)";
      }
      case 11: {
        std::string s = "switch (" + (Pick(2) ? Local() + " mod 3" : Expr(1)) + ") {";
        s += " case 0: " + Stmt(depth - 1, loops) + " break;";
        s += " case 1: case \"a\": " + Stmt(depth - 1, loops);
        if (Pick(2)) s += " case " + (Pick(2) ? Local() : std::string("2")) + ": " + Stmt(depth - 1, loops);
        s += Pick(2) ? " default: " + Stmt(depth - 1, loops) : std::string();
        return s + " }";
      }
      case 12: return loops > 0 ? (Pick(2) ? "break;" : "continue;") : "exit;";
      case 13: return "with (self) { " + Stmt(depth - 1, loops) + " }";
      case 14: return Pick(4) ? "self." + Inst() + " = " + Expr(1) + ";" : "return " + Expr(1) + ";";
      case 15: return "sc = fails(" + Expr(1) + ");";
      default: return Block(depth - 1, loops);
    }
  }

  std::string Program() {
    std::string s =
        "var l0, l1, l2, c0, c1, c2, la, lb; l0 = 1; l1 = 2.5; l2 = \"s\"; p0 = 3; p1 = \"t\"; p2 = -1;"
        " la[0] = 1; la[1] = 2; la[2] = 3; lb[1, 1] = 4;\r\n";
    const int count = 1 + Pick(5);
    for (int i = 0; i < count; ++i) s += Stmt(3, 0) + "\r\n";
    return s + "return string(l0) + \",\" + string(l1) + \",\" + string(l2) + \",\" + string(p0) + \",\" + "
               "string(p1) + \",\" + string(p2) + \",\" + string(la[2]);";
  }

 private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }
  static std::string Paren(const std::string& s) { return "(" + s + ")"; }
  std::string Number() {
    static const char* const k[] = {"0", "1", "2", "3", "0.5", "2.5", "7", "64", "-1", "$10", "1.5"};
    return k[Pick(11)];
  }
  std::string Local() { return "l" + std::to_string(Pick(3)); }
  std::string Inst() { return "p" + std::to_string(Pick(3)); }
  std::string Index() {
    switch (Pick(6)) {
      case 0: return Local();
      case 1: return "-1";
      case 2: return "\"1\"";
      default: return std::to_string(Pick(4));
    }
  }
  std::string Leaf() {
    switch (Pick(9)) {
      case 0: return "\"a\"";
      case 1: return "\"bc\"";
      case 2: case 3: return Local();
      case 4: return Inst();
      case 5: return "la[" + Index() + "]";
      case 6: return "lb[1, " + Index() + "]";
      case 7: return Pick(4) ? "argument0" : "nope";
      default: return Number();
    }
  }
  std::string Op() {
    static const char* const ops[] = {"+", "-", "*", "/", "div", "mod", "==", "!=", "<", "<=", ">", ">=",
                                      "&&", "||", "^^", "|", "&", "^", "<<", ">>", "="};
    return ops[Pick(21)];
  }
  std::string AssignOp() {
    static const char* const ops[] = {"=", "+=", "-=", "*=", "/=", "|=", "&=", "^="};
    return ops[Pick(8)];
  }
  std::string Block(int depth, int loops) {
    std::string s = "{ ";
    const int count = 1 + Pick(3);
    for (int i = 0; i < count; ++i) s += Stmt(depth, loops) + " ";
    return s + "}";
  }

  std::mt19937 rng_;
};

class BytecodeTest : public LangTest {
 protected:
  void TearDown() override {
    SetTreeInterpreter(false);
    LangTest::TearDown();
  }
  // Runs text with one interpreter from a fresh instance: the result or error text, "FAULT", and the state.
  std::string RunWith(bool tree, const std::string& text, bool expression) {
    SetTreeInterpreter(tree);
    self.locals.Clear();
    std::string r;
    try {
      r = expression ? Eval(text) : Run(text);
    } catch (const ArithmeticFault&) {
      r = "FAULT";
    }
    RValue p0;
    if (self.locals.GetValue(VariableIdOf("p0"), 0, p0)) r += " p0=" + ValueText(p0);
    return r;
  }
};

TEST_F(BytecodeTest, RandomProgramsRunAlikeOnTheTreeAndTheBytecode) {
  AddScript("twice", "return argument0 * 2 + argument1;");
  AddScript("fails", "if (argument0 > 2) return nope; return argument0;");
  ASSERT_TRUE(CompileScripts());
  Gen gen(20261210);
  int errors = 0;
  for (int i = 0; i < 400; ++i) {
    const std::string text = gen.Program();
    const std::string tree = RunWith(true, text, false);
    const std::string vm = RunWith(false, text, false);
    ASSERT_EQ(tree, vm) << text;
    if (tree.find(": ") != std::string::npos || tree == "FAULT") ++errors;
  }
  // Both outcomes are well represented, so the comparison covers the error paths too.
  EXPECT_GT(errors, 40);
  EXPECT_LT(errors, 360);
}

TEST_F(BytecodeTest, RandomExpressionsRunAlikeOnTheTreeAndTheBytecode) {
  AddScript("twice", "return argument0 * 2 + argument1;");
  ASSERT_TRUE(CompileScripts());
  Gen gen(7);
  for (int i = 0; i < 300; ++i) {
    std::string text = gen.Expr(4);
    // Expressions see no locals: the l names are instance variables here, set before.
    self.locals.Clear();
    const std::string setup = "l0 = 1; l1 = 2.5; l2 = \"s\"; p0 = 3; la = 0;";
    SetTreeInterpreter(true);
    Run(setup);
    std::string tree;
    try {
      tree = Eval(text);
    } catch (const ArithmeticFault&) {
      tree = "FAULT";
    }
    SetTreeInterpreter(false);
    self.locals.Clear();
    Run(setup);
    std::string vm;
    try {
      vm = Eval(text);
    } catch (const ArithmeticFault&) {
      vm = "FAULT";
    }
    ASSERT_EQ(tree, vm) << text;
  }
}

// Loops whose counters turn into strings or lose their variable leave the fused paths mid-way; break and
// continue reach the right loop through switches and escaped statements.
TEST_F(BytecodeTest, FusedLoopsAndJumpsMatchTheTree) {
  const char* const programs[] = {
      "var i, n; n = 0; for (i = 0; i < 10; i += 1) { n += 1; if (i == 3) i = \"x\"; } return n;",
      "var i, n; n = 0; for (i = 0; i < 5; i += 1) { switch (i) { case 1: continue; case 3: break; } n += i; } return n;",
      "var i, n; n = 0; for (i = 0; i < 5; i += 1) { with (self) { if (i == 2) break; } n += i; } return n;",
      "var i, n; n = 0; for (i = 0; i < 5; i += 1) { with (self) { continue; } n += 1; } return n;",
      "var n; n = 0; repeat (3) { switch (n) { case 0: n += 10; continue; default: n += 1; } n += 100; } return n;",
      "var i; for (i = 0; i < 3; i += 1) { switch (i) { case 1: exit; } } return i;",
      "var k; k = 0; do { k += 1; if (k == 2) continue; } until (k >= 4) return k;",
      "var s; s = 0; while (\"a\") s += 1;",
      "var s; s = 0; repeat (\"a\") s += 1;",
      "var s; s = 0; do s += 1; until (\"b\");",
      "var i, s; s = \"\"; for (i = 0; i < 3; i += 1) s += string(i); return s + q;",
      "var a; a[2] = 5; a[-1] += 1;",
      "var a; a[1, 2] = 5; return a[1, 2] + a[1, 1] + a[1, 3];",
      "switch (\"1\") { case 1: return 1; default: return 2; }",
      "var x; switch (3) { case 1: x = 1; case nope: x = 2; }",
      "continue; return 1;",
      // array reads whose indices are locals, in place or (off the fast path) one by one
      "var a, i, j; i = 1; j = 2; a[1, 2] = 5; return a[i, j] + a[j, i];",
      "var a, i; i = 1.5; a[2] = 3; return a[i];",
      "var a, i; i = -1; a[0] = 1; return a[i];",
      "var a, i, j; j = 0; return a[i, j];",
      "var a, i; i = \"x\"; a[0] = 1; return a[i];",
      "var a, i; i = 40000; return a[i];",
      "var a, i, j; i = 0; j = 0; a = \"s\"; return a[i, j] + a[i];",
      "var a, i; i = 3; return a[i];",
      // `x = local OP constant` stored straight into the local, or through a register off the fast path
      "var i, x; x = i mod 3;",
      "var i, x; i = \"ab\"; x = i + 1; return x;",
      "var i, x; i = \"ab\"; x = i * 2; return x;",
      "var i, x; i = 7; x = i / 0;",
      "var i, x; i = 7; x = i mod 4; x = x * 2.5; i = x >= 7.5; return string(x) + string(i);",
      // `x += y` for two locals
      "var x, y; x = 1; y = 2; x += y; x += x; return x;",
      "var x, y; x = \"a\"; y = \"b\"; x += y; return x;",
      "var x, y; x = 1; x += y;",
      "var x, y; y = 1; x += y;",
      "var x, y; x = 1; y = \"b\"; x += y;",
  };
  for (const char* text : programs) EXPECT_EQ(RunWith(true, text, false), RunWith(false, text, false)) << text;
}

// Scripts called from bytecode run in the same loop with a frame per level: results, nested error texts with
// their "In script" lines, faults and exits from deep inside, argument slots and locals per level, and calls
// the loop leaves to the general path (an empty slot, a script replaced while running) must all match the tree.
TEST_F(BytecodeTest, ScriptCallsInTheLoopMatchTheTree) {
  AddScript("fib", "if (argument0 < 2) return argument0; return fib(argument0 - 1) + fib(argument0 - 2);");
  AddScript("down", "var v; v = argument0; if (argument0 <= 0) return nope + 1; return down(argument0 - 1) + v;");
  AddScript("boom", "var q; q = argument0; if (argument0 <= 0) return sqrt(-1); return boom(argument0 - 1);");
  AddScript("strs", "var s; s = argument0 + \"-\"; if (string_length(s) > 12) return s; return strs(s + argument1, argument1);");
  AddScript("args", "argument3 = 7; return argument0 + argument1 + argument2 + argument3;");
  AddScript("quits", "if (argument0 > 1) exit; return argument0;");
  AddScript("brk", "break; return 5;");
  AddScript("keep", "var t; t = argument0; args(1, 2, 3); return t + argument2;");
  AddScript("wider", "with (self) return down(argument0);");
  ASSERT_TRUE(CompileScripts());
  const char* const programs[] = {
      "return fib(15);",
      "return down(3);",
      "var x; x = 1; x = down(2) + x; return x;",
      "return boom(4);",
      "return strs(\"a\", \"bcd\");",
      "return args(1, 2, 3) + argument3;",
      "return string(quits(0)) + string(quits(5)) + string(quits(1));",
      "return brk() + 1;",
      "argument2 = 10; return keep(4, 5, 6) + argument2;",
      "return wider(2);",
      "return fib(\"x\");",
      "return keep(\"a\");",
  };
  for (const char* text : programs) EXPECT_EQ(RunWith(true, text, false), RunWith(false, text, false)) << text;
  // The state after a fault deep inside is the caller's again.
  EXPECT_EQ(RunWith(false, "argument1 = 9; return boom(3);", false), "FAULT");
  EXPECT_EQ(RunWith(false, "return argument1 + argument0 * 0;", false), "9");
}

// Constant switches jump through a table for small integer selectors; other selectors (negative, fractional,
// minus zero, past the table, strings, labels outside the table) must land where the tree's scan lands.
TEST_F(BytecodeTest, SwitchTablesMatchTheTree) {
  const char* const selectors[] = {"0", "1", "2", "3", "7", "8", "100", "-1", "0.5", "-0", "2.0000001", "\"2\"", "\"a\""};
  const char* const bodies[] = {
      "case 0: r = 10; break; case 1: case 2: r = 12; break; case 3: r = 3; default: r += 100;",
      "case 0: r = 10; break; case 2: r = 2; case 100: r += 7; break; case -1: r = -1;",
      "case 1: r = 1; break; case 0.5: r = 5; break; case \"a\": r = 9;",
      "default: r = 4; break; case 3: r = 3;",
      "case 5: r = 5;",
  };
  for (const char* text : {"var q; switch (q) { case 1: return 1; }", "var r; r = 0; repeat (3) { switch (r) { case 0: r += 1; "
                           "continue; case 1: r = \"s\"; break; } r += 5; } return r;"})
    EXPECT_EQ(RunWith(true, text, false), RunWith(false, text, false)) << text;
  for (const char* body : bodies)
    for (const char* sel : selectors) {
      const std::string text = std::string("var r; r = 0; switch (") + sel + ") { " + body + " } return r;";
      EXPECT_EQ(RunWith(true, text, false), RunWith(false, text, false)) << text;
      // The selector in a local is read in place.
      const std::string local = std::string("var r, q; r = 0; q = ") + sel + "; switch (q) { " + body + " } return r;";
      EXPECT_EQ(RunWith(true, local, false), RunWith(false, local, false)) << local;
    }
}

// `x mod k` by a whole constant takes integer steps for whole-number x; every left side (negative, minus zero,
// fractional, past 2^53, strings, non-numbers) and every constant (fractional, zero, negative, huge) in each
// form (local, register, argument, stored into a local) must give the tree's result or error text.
// Comparisons with a constant branch through one opcode per operator, for reals and off the fast path.
TEST_F(BytecodeTest, WholeNumberModAndCompareBranchesMatchTheTree) {
  AddScript("amod", "return string(argument0 mod 7) + \",\" + string(argument0 mod 2.5) + \",\" + string(argument0 mod 1);");
  AddScript("acmp", "var r; r = \"\"; if (argument0 < 2) r += \"a\"; if (argument0 <= 2) r += \"b\"; "
                    "if (argument0 > 2) r += \"c\"; if (argument0 >= 2) r += \"d\"; if (argument0 == 2) r += \"e\"; "
                    "if (argument0 != 2) r += \"f\"; if (argument0 = 2) r += \"g\"; return r;");
  ASSERT_TRUE(CompileScripts());
  const char* const lefts[] = {"0", "1", "6", "7", "8", "20000000", "-1", "-7", "-13", "-0", "2.5", "-2.5",
                               "9007199254740991", "9007199254740992", "-9007199254740993", "1e300", "\"s\""};
  const char* const ks[] = {"7", "1", "3", "2147483648", "2147483649", "0.5", "-3", "0", "1e20"};
  for (const char* x : lefts) {
    for (const char* k : ks) {
      const std::string local = std::string("var x, y; x = ") + x + "; y = x mod " + k + "; return string(y) + \"|\" + string(x mod " + k + ");";
      EXPECT_EQ(RunWith(true, local, false), RunWith(false, local, false)) << local;
      const std::string reg = std::string("var x; x = ") + x + "; return string((x + 0) mod " + k + ");";
      EXPECT_EQ(RunWith(true, reg, false), RunWith(false, reg, false)) << reg;
    }
    const std::string arg = std::string("return amod(") + x + ");";
    EXPECT_EQ(RunWith(true, arg, false), RunWith(false, arg, false)) << arg;
    const std::string acmp = std::string("return acmp(") + x + ");";
    EXPECT_EQ(RunWith(true, acmp, false), RunWith(false, acmp, false)) << acmp;
    for (const char* cmp : {"<", "<=", ">", ">=", "==", "!=", "="}) {
      const std::string lc = std::string("var x, r; x = ") + x + "; r = 0; if (x " + cmp + " 7) r = 1; "
                             "if ((x + 0) " + cmp + " -7) r += 10; while (x " + cmp + " 7) { r += 100; break; } return r;";
      EXPECT_EQ(RunWith(true, lc, false), RunWith(false, lc, false)) << lc;
    }
  }
  // A local never written, and a left side that is a string with an error in a loop condition.
  for (const char* text : {"var x; if (x < 1) return 1; return 2;", "var x; x = \"a\"; while (x > 1) x = 0;",
                           "var x; return x mod 4;", "var i, s; s = 0; for (i = -30; i < 30; i += 1) s += (i mod 7) * 3 - (i div 5); return s;",
                           // `x += p + q` in one instruction, and off its fast path
                           "var i, s; s = 0; for (i = -30; i < 30; i += 1) s += (i mod 7) * 3 - (i div 5) + i / 4; return s;",
                           "var s, a; s = 1; a = 2; s += a * 2 + a; return s;", "var s; s = \"x\"; s += \"a\" + \"b\"; return s;",
                           "var s; s = 1; s += \"a\" + \"b\";", "var s; s += 1 + 2;", "var s; s = 1; s += \"a\" + 2;",
                           "var s; s = \"a\"; s += 1 + 2;", "var s, a; s = 1e308; a = 1e308; s += a + 0;",
                           "var s, a; s = 1; a = 1e308; s += a + a;", "var s; s = 1; s += nope + 1;",
                           // `return p + q` in one instruction, and off its fast path
                           "var a; a = 2; return a * 3 + a;", "return \"a\" + \"b\";", "return \"a\" + 1;",
                           "var a; a = 1e308; return a + a;", "return nope + 1;", "return 1 + nope;",
                           "return amod(3) + acmp(1);", "return string(amod(-8) + 1);"})
    EXPECT_EQ(RunWith(true, text, false), RunWith(false, text, false)) << text;
}

// with bodies are bytecode of their own, run once per instance: break, continue, exit and return inside them,
// nested withs, switches and loops in the body, scripts called from it and errors all end as on the tree. Each
// program runs on a fresh room of its own for each interpreter.
TEST_F(BytecodeTest, WithBodiesMatchTheTree) {
  AddScript("tag", "with (1) { n += argument0; if (n > 3) return n; } return -1;");
  ASSERT_TRUE(CompileScripts());
  const char* const programs[] = {
      "var k; k = 0; with (1) { k += 1; n = k; } return k;",
      "var k; k = 0; with (all) { k += 1; if (k == 2) break; } return k;",
      "var k; k = 0; with (1) { k += 1; if (k == 1) continue; n = k; } return string(k) + string((2).n);",
      "var k; with (1) { return id; } return 0;",
      "with (all) { exit; } return 5;",
      "var k; k = 0; with (1) { with (2) { k += other.id; } } return k;",
      "var k, i; k = 0; with (1) { for (i = 0; i < 3; i += 1) { if (i == 1) continue; k += i; } } return k;",
      "var k; k = 0; with (all) { switch (id mod 2) { case 0: k += 10; break; default: continue; } k += 1; } return k;",
      "var k; k = 0; repeat (2) with (1) { if (k > 2) break; k += 1; } return k;",
      "var k; k = 0; while (k < 10) { with (1) { k += 1; break; } k += 100; } return k;",
      "n = 0; return tag(2);",
      "with (1) { x = nope; }",
      "with (\"a\") {}",
      "with (global) {}",
      "var k; k = 0; with (2.4) k += 1; with (noone) k += 10; with (-7) k += 100; return k;",
      "var k; k = 0; with (1) { instance_create(0, 0, 1); k += 1; } return k;",
      "var k; with (1) { k = sqrt(-1); }",
  };
  for (const char* text : programs) {
    std::string results[2];
    for (int tree = 0; tree < 2; ++tree) {
      world.Clear();
      world.Create(1, 0, 0);
      world.Create(1, 0, 0);
      world.Create(2, 0, 0);
      results[tree] = RunWith(tree == 1, text, false);
    }
    EXPECT_EQ(results[1], results[0]) << text;
  }
}

}  // namespace
}  // namespace kv::test

namespace kv::test {
namespace {

// Built-ins with a form over reals are called directly when every argument is a real; any string argument
// takes the general handler. Both interpreters must agree on results (including which of equal reals
// min/max pick), on errors in arguments, on faults, and on every argument count.
TEST_F(BytecodeTest, BuiltinRealFormsMatchTheTree) {
  const char* const programs[] = {
      // reals, with the result written over an argument register
      "var x; x = -2.5; x = abs(x); return x + floor(x) + ceil(-x) + round(2.5) + round(3.5) + sign(-x) + frac(-x);",
      "var i, s; s = 0; for (i = -3; i < 3; i += 0.37) s += sin(i) + cos(i) + tan(i) + arctan(i) + sqr(i) + exp(i); return s * 1000000;",
      "return string(degtorad(90)) + string(radtodeg(1)) + string(sqrt(2) * 100000);",
      "return string(lengthdir_x(10, 30) * 1000) + string(lengthdir_y(10, 30) * 1000) + string(lengthdir_x(5, 90));",
      "return string(point_distance(0, 0, 3, 4)) + string(point_direction(0, 0, -1, 1));",
      "return sin(1e300) + cos(-1e300) + tan(1e300);",
      // strings take the general handler
      "return string(abs(\"x\")) + string(sqrt(\"a\")) + string(floor(\"2.5\")) + string(sin(\"1\"));",
      "return string(lengthdir_x(\"a\", 0)) + string(lengthdir_x(10, \"b\")) + string(point_distance(0, \"0\", 3, 4));",
      "return max(1, \"a\") + max(\"b\", \"a\") + min(\"b\", \"a\", 3) + string(min3(2, \"c\", 1));",
      "return string(mean(1, \"a\", 5)) + string(max3(1, 2, \"z\"));",
      // errors in arguments and faults
      "return abs(nope);",
      "return max(1, 2, nope);",
      "return sqrt(-1);",
      "return round(1e300);",
      "return sqr(1e300);",
      "return mean(1e308, 1e308);",
      "return degtorad(\"q\") + exp(1000);",
      // a `var` local as the only argument, read in place: real, string, never set, an array
      "var x; x = 4; x = sqrt(x); return x + abs(x) + floor(x);",
      "var x; x = \"-3\"; return string(abs(x)) + x;",
      "var x; return abs(x);",
      "var x; x[1] = 2; return floor(x);",
      // every argument count of the variable ones
      "return max() + min() + mean();",
      "return max(7) + min(-7) + mean(4);",
      "return string(max(1, 5, 3, 5, 2)) + string(min(4, -2, 9, -2)) + string(mean(1, 2, 3, 4));",
      "return max(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16) + min(16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);",
      "return mean(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);",
      "return string(1 / max(-0, 0)) + string(1 / min(0, -0));",
      "var i, s; s = 0; for (i = 1; i <= 200; i += 1) s += abs(sin(i)) + sqrt(i) + floor(i / 3) + max(i mod 5, 2); return floor(s);",
      "var i, s; s = 0; for (i = 1; i <= 20; i += 1) s += max(i mod 5, min(i, \"a\"), 2); return s;",
  };
  for (const char* text : programs) EXPECT_EQ(RunWith(true, text, false), RunWith(false, text, false)) << text;
  // A few known values, so both interpreters are not merely alike but right.
  EXPECT_EQ(RunWith(false, "return max(1, 5, 3, 5, 2) + min(4, -2, 9) + abs(-3) + floor(2.5);", false), "8");
  EXPECT_EQ(RunWith(false, "return abs(\"x\");", false), "0");
  EXPECT_EQ(RunWith(false, "return max(2, \"a\");", false), "'a'");
  EXPECT_EQ(RunWith(false, "return sqrt(-1);", false), "FAULT");
}

// Built-in variables of the running instance by plain name (x, speed, id …) are read and written through their
// entries directly: values, setters' side effects, string values, read-only entries, compound operators, errors
// on either side, inside with bodies and script calls, must all be as the tree's general path has them.
TEST_F(BytecodeTest, BuiltinVariablesOfSelfMatchTheTree) {
  RegisterInstanceVariables();
  AddScript("nudge", "x += argument0; return x + y;");
  ASSERT_TRUE(CompileScripts());
  const char* const programs[] = {
      // reads, and writes through the setters (speed and direction move hspeed and vspeed)
      "return string(x) + \",\" + string(y) + \",\" + string(speed) + \",\" + string(image_index);",
      "x = 3; y = x + 2; return string(x) + \",\" + string(y);",
      "speed = 4; direction = 90; return string(hspeed) + \",\" + string(round(vspeed));",
      "hspeed = 3; vspeed = -4; return string(speed) + \",\" + string(direction);",
      "var i; for (i = 0; i < 5; i += 1) { x += 1.5; y -= x; } return string(x) + \",\" + string(y);",
      "x *= 2; y /= 4; depth |= 6; depth &= 3; depth ^= 1; image_index -= 1; return string(x + y + depth) + \",\" + string(image_index);",
      "var x; x = 5; return string(x) + \",\" + string(self.x);",
      // strings: into a real variable, and compound operators with a string side
      "x = \"7\"; return x;",
      "x += \"a\";",
      "x = 1; x += \"a\"; return x;",
      "y -= \"a\";",
      // read-only entries: plain and compound writes are errors at the variable
      "id = 5;",
      "x = 1;\r\n  bbox_left += 1;",
      "image_number = 1; return 0;",
      "return id + object_index - instance_count;",
      // errors on the right side come before the write; faults keep what was written before
      "x = 2; y = nope; return 1;",
      "x += nope;",
      "x = 4; y = sqrt(-1);",
      "x = 1 / 0;",
      // the arguments are built-in variables too
      "argument0 = 4; argument1 += 2; argument1 += argument0; return string(argument0) + \",\" + string(argument1);",
      "argument2 = \"s\"; argument2 += \"t\"; return argument2;",
      // with bodies and script calls read and write their own instance
      "with (1) { x = 5; y += x; } x += 1; return string(x) + \",\" + string((1).x) + \",\" + string((1).y);",
      "with (all) { x += 1; if (x > 1) break; } return x;",
      "x = 2; y = 3; return string(nudge(4)) + \",\" + string(x);",
      "var s; s = 0; with (1) { s += x; with (other) s += x * 10; } return s;",
  };
  for (const char* text : programs) {
    std::string results[2];
    for (int tree = 0; tree < 2; ++tree) {
      world.Clear();
      world.Create(1, 0, 0);
      world.Create(1, 0, 0);
      SetTreeInterpreter(true);
      Run("x = 10; y = 20; speed = 0; direction = 0; image_index = 2; depth = 0; argument1 = 0; argument2 = 0;");
      results[tree] = RunWith(tree == 1, text, false);
      results[tree] += " @" + Run("return string(x) + \",\" + string(y) + \",\" + string(hspeed) + \",\" + "
                                  "string(vspeed) + \",\" + string(depth);");
    }
    EXPECT_EQ(results[1], results[0]) << text;
  }
  // Known values, so both are not merely alike but right.
  world.Clear();
  Run("x = 10; y = 20;");
  EXPECT_EQ(RunWith(false, "x += 5; y = x * 2; return y;", false), "30");
  EXPECT_NE(RunWith(false, "id = 5;", false).find("Cannot assign to the variable"), std::string::npos);
  EXPECT_NE(RunWith(false, "x += \"a\";", false).find("Wrong type"), std::string::npos);
}

// Which built-ins have a real form, and that it computes what the handler does for reals.
TEST_F(BytecodeTest, RealFormsComputeWhatTheHandlersDo) {
  const char* const withForm[] = {"abs", "floor", "sqrt", "sin", "max", "min", "mean", "lengthdir_x", "point_distance"};
  for (const char* name : withForm) {
    const int id = FindBuiltinFunction(name);
    ASSERT_GE(id, 0) << name;
    EXPECT_TRUE(GetRealForm(id).Any()) << name;
  }
  // Functions that read strings, report their own errors or act on the world have none.
  for (const char* name : {"string", "real", "ln", "power", "random", "choose", "median", "is_real"})
    EXPECT_FALSE(GetRealForm(FindBuiltinFunction(name)).Any()) << name;
  EXPECT_FALSE(GetRealForm(-1).Any());
  EXPECT_FALSE(GetRealForm(1 << 20).Any());
  const double samples[] = {-1e9, -3.75, -1, -0.5, -0.0, 0, 0.25, 1, 2.5, 3.5, 100, 1e9};
  for (const char* name : {"abs", "round", "floor", "ceil", "sign", "frac", "sin", "cos", "arctan"}) {
    const int id = FindBuiltinFunction(name);
    const RBuiltinFunction* f = GetBuiltinFunction(id);
    const RealForm form = GetRealForm(id);
    ASSERT_TRUE(form.one) << name;
    for (double x : samples) {
      RValue args[kMaxCallArgs];
      args[0] = x;
      RValue result;
      f->handler(result, nullptr, nullptr, 1, args);
      EXPECT_EQ(result.Real(), form.one(x)) << name << "(" << x << ")";
    }
  }
}

}  // namespace
}  // namespace kv::test
