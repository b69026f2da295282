// Variables and arrays: found rules, locals, globals, targets, stream forms.
#include "code_test_util.h"
#include "runner/support_stream.h"
#include "runner/runner_wiring.h"

namespace kv::test {
namespace {

struct Case {
  const char* code;
  const char* want;
};

class VariableTest : public LangTest {};

TEST_F(VariableTest, ArrayFoundRules) {
  const Case cases[] = {
      {"v[3] = 7; return v;", "0"},
      {"v[3] = 7; return v[1] + v[2] + v[3];", "7"},
      {"v[3] = 7; return v[4];", "1:18: Unknown variable v or array index out of bounds"},
      {"w[0] = 5; return w + w[0] + w[0, 0];", "15"},
      {"y2[2, 5] = 1; return y2[2, 4];", "0"},
      {"y2[2, 5] = 1; return y2[1, 0];", "1:22: Unknown variable y2 or array index out of bounds"},
      {"y2[2, 5] = 1; return y2[1];", "1:22: Unknown variable y2 or array index out of bounds"},
      {"return nope;", "1:8: Unknown variable nope"},
      {"a[-1] = 0;", "1:3: Negative array index"},
      {"a[32000] = 0;", "1:3: Array index >= 32000"},
      {"a[\"1\"] = 0;", "1:3: Wrong type of array index"},
      {"b = a[0, -0.6];", "1:10: Negative array index"},
      {"b = a[0, -0.5];", "1:5: Unknown variable a"},  // rounds to -0, a valid index 0
      {"q = \"x\"; r = q.v;", "1:14: Wrong type of variable index"},
      {"r = (\"x\").v;", "1:11: Left hand side must be a real value."},
      {"k[1] = 1; k[2] = 2; return k[1.5];", "2"},  // index rounding: halves to even
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.want) << c.code;
}

TEST_F(VariableTest, UninitializedZeroReadsZeroAndCreatesNothing) {
  SetUninitializedZero(true);
  EXPECT_EQ(Run("return ghost + ghost2[5, 5];"), "0");
  EXPECT_EQ(self.locals.Count(), 0u);
  EXPECT_EQ(Run("ghost3 += 2; return ghost3;"), "2");
}

TEST_F(VariableTest, LocalsAreTextualAndBelongToOneRun) {
  const Case cases[] = {
      // `var` makes later uses local for the rest of the code, block structure ignored
      {"a1 = 1; var a1; a1 = 2; return a1;", "2"},
      {"if (0) { var b1; } b1 = 3; return b1;", "3"},
      {"var c1; return c1;", "1:16: Unknown variable c1"},
      {"var d1; d1[2] = 5; return d1[2] + d1[1];", "5"},
      {"var e1; e1 = 1; return local.e1;", "1"},
      {"local.f1 = 4; return local.f1;", "4"},
      {"return local.g1;", "1:14: Unknown variable g1"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.want) << c.code;
  EXPECT_EQ(Var(self, "a1"), 1);   // the use before `var` wrote the instance variable
  EXPECT_EQ(Var(self, "b1"), -12345);  // never reached the instance
  EXPECT_EQ(Run("return e1;"), "1:8: Unknown variable e1");  // locals do not outlive the run
}

TEST_F(VariableTest, GlobalsAndDeclaredGlobals) {
  EXPECT_EQ(Run("global.g = 5; return global.g;"), "5");
  EXPECT_EQ(Run("return g;"), "1:8: Unknown variable g");
  EXPECT_EQ(Run("globalvar g; return g;"), "5");  // declaring keeps an existing global value
  EXPECT_EQ(Run("g = 6; return global.g;"), "6");
  EXPECT_EQ(Run("globalvar h; return h;"), "0");  // a new global starts as 0
  EXPECT_FALSE(IsDeclaredGlobal(5));
  int far = kUserVariableBase + 25000;  // beyond the initial 10000 flags: the array grows
  DeclareGlobalVariable(far);
  EXPECT_TRUE(IsDeclaredGlobal(far));
  EXPECT_FALSE(IsDeclaredGlobal(far + 1000));
}

TEST_F(VariableTest, TargetsOverTheRoom) {
  CInstance* a = world.Create(3, 0, 0);
  CInstance* b = world.Create(3, 0, 0);
  CInstance* c = world.Create(4, 0, 0);
  const std::string ida = std::to_string(a->id);
  EXPECT_EQ(Run("(" + ida + ").v = 1; return (" + ida + ").v;"), "1");
  EXPECT_EQ(Run("(3).v = 2; return (3).v;"), "2");  // object: write all, read the first
  EXPECT_EQ(Var(*b, "v"), 2);
  EXPECT_EQ(Var(*c, "v"), -12345);
  Run("(3).v = 1; (" + std::to_string(b->id) + ").v = 5; (3).v += 1;");  // reads the first, writes all
  EXPECT_EQ(Var(*a, "v"), 2);
  EXPECT_EQ(Var(*b, "v"), 2);
  EXPECT_EQ(Run("all.w = 9; return (4).w;"), "9");
  EXPECT_EQ(Run("return (9).v;"), "1:12: Unknown variable v");   // object without instances
  EXPECT_EQ(Run("(9).v = 1; return 0;"), "0");                   // writing there is silent
  EXPECT_EQ(Run("noone.v = 1;"), "1:7: Cannot assign to the variable");
  EXPECT_EQ(Run("return noone.v;"), "1:14: Unknown variable v");
  EXPECT_EQ(Run("(-9).v = 1;"), "1:6: Cannot assign to the variable");
  world.Destroy(a);
  EXPECT_EQ(Run("return (" + ida + ").v;"), "1:17: Unknown variable v");
  EXPECT_EQ(Run("(" + ida + ").v = 3; return 0;"), "0");  // a destroyed id: silent
  EXPECT_EQ(Run("return (3).v;"), "2");                      // the Deleted first instance is skipped
  EXPECT_EQ(Run("id = 1;"), "1:1: Cannot assign to the variable");  // read-only built-in
}

TEST(VariableList, StreamRoundTripKeepsOrderRowsAndEmptyRows) {
  CVariableList list;
  list.SetValue(100005, 0, RValue(1.5));
  list.SetValue(100001, 0, RValue("text"));
  list.SetValue(100001, 2 * kArrayDim + 3, RValue(7.0));  // rows 0 and 1 stay empty
  list.SetValue(100009, 4, RValue("z"));
  CStream s;
  list.WriteTo(s);
  s.Seek(0);
  CVariableList back;
  ASSERT_TRUE(back.ReadFrom(s));
  EXPECT_EQ(s.Remaining(), 0u);
  ASSERT_EQ(back.Count(), 3u);
  EXPECT_EQ(back.At(0).id, 100005);
  EXPECT_EQ(back.At(1).id, 100001);
  ASSERT_TRUE(back.At(1).rows);
  ASSERT_EQ(back.At(1).rows->size(), 3u);
  EXPECT_EQ((*back.At(1).rows)[0].size(), 0u);
  EXPECT_EQ((*back.At(1).rows)[1].size(), 0u);
  EXPECT_EQ((*back.At(1).rows)[2].size(), 4u);
  RValue v;
  ASSERT_TRUE(back.GetValue(100001, 2 * kArrayDim + 3, v));
  EXPECT_EQ(v.Real(), 7);
  ASSERT_TRUE(back.GetValue(100001, 0, v));
  EXPECT_EQ(v.ToStdString(), "text");
  EXPECT_FALSE(back.GetValue(100001, kArrayDim, v));
  ASSERT_TRUE(back.GetValue(100009, 4, v));
  EXPECT_EQ(v.ToStdString(), "z");
}

TEST(VariableList, BadVersionFailsTheRead) {
  CStream s;
  s.WriteInt(441);
  s.WriteInt(0);
  s.Seek(0);
  CVariableList list;
  list.SetValue(100000, 0, RValue(1.0));
  EXPECT_FALSE(list.ReadFrom(s));
  EXPECT_EQ(list.Count(), 0u);
  // A hostile count cannot make the reader allocate beyond the bytes present.
  CStream h;
  h.WriteInt(kVariableListVersion);
  h.WriteInt(0x7FFFFFFF);
  h.Seek(0);
  EXPECT_THROW(list.ReadFrom(h), StreamError);
}

TEST(Globals, StreamRoundTripAndBadVersion) {
  ResetGlobalVariables();
  GlobalVariables().SetValue(100003, 0, RValue(3.0));
  DeclareGlobalVariable(100004);
  CStream s;
  WriteGlobalVariables(s);
  ResetGlobalVariables();
  s.Seek(0);
  ASSERT_TRUE(ReadGlobalVariables(s));
  EXPECT_TRUE(IsDeclaredGlobal(100004));
  RValue v;
  ASSERT_TRUE(GlobalVariables().GetValue(100003, 0, v));
  EXPECT_EQ(v.Real(), 3);
  CStream bad;
  bad.WriteInt(701);
  bad.Seek(0);
  EXPECT_FALSE(ReadGlobalVariables(bad));
  EXPECT_TRUE(IsDeclaredGlobal(100004));  // unchanged
  ResetGlobalVariables();
}

TEST(VariableNames, IdsAreStableAndBuiltinsWin) {
  WireLanguage();
  int a = VariableIdOf("some_user_name");
  EXPECT_GE(a, kUserVariableBase);
  EXPECT_EQ(VariableIdOf("some_user_name"), a);
  EXPECT_EQ(VariableIdToName(a), "some_user_name");
  EXPECT_LT(VariableIdOf("x"), 10000);
  EXPECT_EQ(VariableIdToName(9999), "<unknown built-in variable>");
  EXPECT_EQ(VariableIdToName(kUserVariableBase + 9999999), "<unknown variable>");
}

}  // namespace
}  // namespace kv::test
