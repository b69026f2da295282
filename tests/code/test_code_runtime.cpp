// Run-time machinery: local frames reused across runs, fused loops against the general path, the switch table,
// argument frames and script calls through the API, script compilation failures, faults unwinding the stacks.
#include "code_test_util.h"
#include "runner/support_stream.h"

namespace kv::test {
namespace {

struct Case {
  const char* code;
  const char* want;
};

class RuntimeTest : public LangTest {};

TEST_F(RuntimeTest, LocalFramesStartEmptyOnEveryRun) {
  // Frame slots are reused; a run must never see what an earlier run (or a deeper level) left in them.
  EXPECT_EQ(Run("var a, s; a[5] = 1; a = 2; s = \"long string value that is not inline\"; return a[5];"), "1");
  EXPECT_EQ(Run("var a; return a[5];"), "1:15: Unknown variable a or array index out of bounds");
  EXPECT_EQ(Run("var a; return a;"), "1:15: Unknown variable a");
  AddScript("rec", "var v; if (argument0 <= 0) return v; v = argument0; return rec(argument0 - 1);");
  ASSERT_TRUE(CompileScripts());
  EXPECT_EQ(Run("return rec(3);").substr(0, 14), "In script rec:");  // the deepest level never wrote v
}

TEST_F(RuntimeTest, FusedLoopsBehaveLikeTheGeneralPath) {
  const Case cases[] = {
      {"var i, n; n = 0; for (i = 10; i > 0; i -= 3) n += 1; return n;", "4"},
      {"var i, n; n = 0; for (i = 0; i <= 10; i += 2.5) n += 1; return n;", "5"},
      {"var i, n; n = 0; for (i = 0; i != 5; i += 1) n += i; return n;", "10"},
      {"var i, n; n = 0; for (i = 0; i < 10; i += 1) { i += 1; n += 1; } return n;", "5"},
      // the step runs on the string first
      {"var i; for (i = 0; i < 3; i += 1) { i = \"a\"; }", "1:32: Wrong type of arguments to +."},
      {"var i; for (i = 0; i < 3; i = \"a\") { }", "1:24: Cannot compare arguments."},
      {"var i; for (j = 0; i < 3; i += 1) {}", "1:20: Unknown variable i"},
      {"var i, n; n = 0; for (i = 0; i < 4; i += 1) { if (i == 2) break; n += 1; } return n * 10 + i;", "22"},
      {"var i, n; n = 0; for (i = 0; i < 4; i += 1) { if (i == 2) continue; n += 1; } return n * 10 + i;", "34"},
      {"var i; for (i = 0; i < 4; i += 1) { if (i == 2) exit; } return 9;", "0"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.want) << c.code;
}

TEST_F(RuntimeTest, FusedLoopStepOverflowStillFaults) {
  const std::string big = "$" + std::string(255, 'F');  // about 2^1020
  EXPECT_TRUE(Faults("var i; for (i = 0; i < 1; i += " + big + ") { i = " + big + " * 15; }"));
  EXPECT_FALSE(Faults("var i; for (i = 0; i < 1; i += " + big + ") { i = " + big + " * 14; }"));
}

TEST_F(RuntimeTest, SwitchTableMatchesTheScan) {
  // The same body through the lookup (constant labels) and through the scan (a computed label).
  const char* bodies[] = {
      "case 0: r = 10; break; case 1: case 2: r = 12; break; case 1000: r = 1000; break; case -3: r = -3; break;"
      " case 2.5: r = 25; break; case \"a\": r = 97; break; case 1: r = 99; break; default: r = -1;",
  };
  const char* selectors[] = {"0", "1", "2", "1000", "-3", "2.5", "\"a\"", "\"b\"", "7", "-0"};
  for (const char* body : bodies) {
    for (const char* sel : selectors) {
      std::string table = std::string("r = -9; switch (") + sel + ") { " + body + " } return r;";
      std::string scan = std::string("zero = 0; r = -9; switch (") + sel + ") { case zero - 100: r = -100; " + body +
                         " } return r;";
      EXPECT_EQ(Run(table), Run(scan)) << sel;
    }
  }
  EXPECT_EQ(Run("r = -9; switch (1000) { case 1000: r = 1; } return r;"), "1");
  EXPECT_EQ(Run("r = -9; switch (\"b\") { case \"a\": r = 1; default: r = 2; case \"b\": r = 3; } return r;"), "3");
}

TEST_F(RuntimeTest, CallScriptApiSavesAndRestoresTheSlots) {
  AddScript("args", "return string(argument0) + string(argument1) + string(argument2) + string(argument15);");
  AddScript("setter", "argument0 = 50; argument9 = 9; return argument0;");
  ASSERT_TRUE(CompileScripts());
  RValue* slots = CurrentArguments();
  slots[0] = RValue(1.0);
  slots[2] = RValue(3.0);
  RValue args[2] = {RValue("a"), RValue(2.0)};
  RValue result;
  ASSERT_TRUE(CallScript(FindScript("args"), &self, &self, result, args, 2));
  EXPECT_EQ(result.ToStdString(), "a200");  // slots beyond the count read 0
  ASSERT_TRUE(CallScript(FindScript("setter"), &self, &self, result, args, 1));
  EXPECT_EQ(result.Real(), 50);
  EXPECT_EQ(CurrentArgumentsForRead()[0].Real(), 1);  // the caller's slots are back
  EXPECT_EQ(CurrentArgumentsForRead()[2].Real(), 3);
  EXPECT_EQ(CurrentArgumentsForRead()[9].Real(), 0);
  EXPECT_FALSE(CallScript(77, &self, &self, result, args, 0));  // an empty slot fails silently
  EXPECT_FALSE(ErrorPending());
  EXPECT_EQ(ScriptName(77), "<undefined>");
  {
    ArgumentFrame frame(args, 2);
    ASSERT_TRUE(frame.Ok());
    EXPECT_EQ(CurrentArgumentsForRead()[0].ToStdString(), "a");
    EXPECT_EQ(CurrentArgumentsForRead()[2].Real(), 0);
  }
  EXPECT_EQ(CurrentArgumentsForRead()[0].Real(), 1);
  slots = CurrentArguments();
  slots[0] = RValue();
  slots[2] = RValue();
}

TEST_F(RuntimeTest, ArgumentBuiltinsClampTheirIndex) {
  const Case cases[] = {
      {"argument0 = 5; return argument[20];", "5"},
      {"argument0 = 6; return argument[-1];", "1:32: Negative array index"},  // checked before the built-in
      {"argument[3] = 7; return argument3;", "7"},
      {"argument[16] = 8; return argument0;", "8"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.want) << c.code;
  Run("argument0 = 0; argument3 = 0;");
}

TEST_F(RuntimeTest, ScriptCompileFailureIsFatal) {
  ErrorSettings s;
  s.displayErrors = false;
  SetErrorSettings(s);
  AddScript("good", "return 1;");
  AddScript("bad", "a = ;");
  AddScript("later", "return 2;");
  EXPECT_FALSE(CompileScripts());
  EXPECT_TRUE(Aborting());
  EXPECT_EQ(LastError(),
            "COMPILATION ERROR in Script: bad\rError in code at line 1:\r   a = ;\r\rat position 5: Unexpected symbol in "
            "expression.");
  EXPECT_FALSE(ScriptCode(FindScript("later"))->Compiled());  // compiling stopped at the first failure
}

TEST_F(RuntimeTest, FaultsUnwindLocalsAndArguments) {
  AddScript("inner", "var t; t[3] = 1; argument4 = 4; q = sqrt(-1);");
  AddScript("outer", "var u; u = \"x\"; return inner(1, 2);");
  ASSERT_TRUE(CompileScripts());
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(Faults("var w; w = 1; r = outer(5);"));
  EXPECT_EQ(Run("var p; p[2] = 3; return p[2] + argument4;"), "3");
  EXPECT_EQ(Run("return outer2;"), "1:8: Unknown variable outer2");
}

TEST_F(RuntimeTest, WithSkipsDeactivatedInstances) {
  CInstance* a = world.Create(5, 0, 0);
  CInstance* b = world.Create(5, 0, 0);
  b->deactivated = true;
  EXPECT_EQ(Run("n = 0; with (5) other.n += 1; with (all) other.n += 10; return n;"), "11");
  (void)a;
}

TEST_F(RuntimeTest, UninitializedZeroCoversTargetsAndLocals) {
  SetUninitializedZero(true);
  const Case cases[] = {
      {"return (42).v;", "0"},
      {"return noone.v;", "0"},
      {"var a; return a + a[3, 3];", "0"},
      {"return local.zz;", "0"},
      {"var b; b += 5; return b;", "5"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.want) << c.code;
}

TEST_F(RuntimeTest, SharedStringsAreCopiedBeforeAppending) {
  const Case cases[] = {
      {"a = \"0123456789abcdefghij\"; b = a; a += \"!\"; return b;", "'0123456789abcdefghij'"},
      {"var l; l[1] = \"0123456789abcdefghij\"; m = l[1]; l[1] += \"?\"; return m + l[1];",
       "'0123456789abcdefghij0123456789abcdefghij?'"},
      {"global.g = \"0123456789abcdefghij\"; h = global.g; global.g += \"#\"; return h;", "'0123456789abcdefghij'"},
      {"var s; s = \"ab\"; s += s; s += s; return s;", "'abababab'"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.want) << c.code;
}

TEST_F(RuntimeTest, StoredValuesNeverHoldInfinities) {
  CStream s;
  s.WriteInt(0);
  s.WriteReal(std::numeric_limits<double>::infinity());
  s.WriteString("");
  s.WriteInt(1);
  s.WriteReal(5);
  s.WriteString("txt");
  s.Seek(0);
  EXPECT_EQ(ReadValue(s).Real(), 0);
  RValue str = ReadValue(s);
  EXPECT_EQ(str.ToStdString(), "txt");
  EXPECT_EQ(str.Real(), 0);  // a string's real field reads as 0
}

TEST_F(RuntimeTest, ExpressionsRunForValue) {
  CCode e("1 + nope", true);
  ASSERT_TRUE(e.Compile());
  RValue r;
  EXPECT_FALSE(RunForValue(&self, &self, &e, r));
  EXPECT_EQ(r.ToStdString(), "ERROR");
  EXPECT_EQ(PendingMessage(), "Error in expression:1 + nope\r position 5: Unknown variable nope");
  self.locals.SetValue(VariableIdOf("nope"), 0, RValue(2.0));
  EXPECT_TRUE(RunForValue(&self, &self, &e, r));
  EXPECT_EQ(r.Real(), 3);
}

}  // namespace
}  // namespace kv::test
