// The short ways through an action list give what the list walk gives: one-action events of every kind, and code
// actions without arguments (the caller's argument slots seen and left as they are, argument_relative set for the
// run only and restored also when a fault passes through).
#include "../world/world_fixture.h"
#include "code/code_exec.h"
#include "code/code_variable.h"

namespace kv::test {
namespace {

class ActionPaths : public WorldTest {
 protected:
  void TearDown() override {
    for (int i = 0; i < 3; ++i) CurrentArguments()[i] = RValue();
    SetArgumentRelative(false);
    WorldTest::TearDown();
  }
};

// A lone action of each kind: what runs, and on whom.
TEST_F(ActionPaths, OneActionEventsRunAsInAList) {
  CAction onOther = CodeAction("wlog('code', id)");
  onOther.usesApplyTo = true;
  onOther.applyTo = -2;
  CAction applyFlagOff = CodeAction("wlog('code', id)");
  applyFlagOff.applyTo = -2;  // ignored without usesApplyTo
  CAction question = FunctionAction("wask", "1", true);
  CAction withArgs;
  withArgs.exeType = kExeCode;
  withArgs.codeText = "wlog('args', argument0)";
  withArgs.argumentCount = 1;
  withArgs.argumentTexts[0] = "4";
  struct Case {
    CAction action;
    std::vector<std::string> log;
  } cases[] = {
      {CodeAction("wlog('code', id)"), {"code 100001"}},
      {onOther, {"code 100002"}},
      {applyFlagOff, {"code 100001"}},
      {FunctionAction("wlog", "'fn'"), {"fn"}},
      {question, {"ask 1"}},
      {withArgs, {"args 4"}},
      {KindAction(kActionExit), {}},
      {KindAction(kActionElse), {}},
      {RepeatAction("3"), {}},
  };
  CInstance self(100001, 0, 0, 0), other(100002, 0, 0, 0);
  for (Case& c : cases) {
    CEvent e;
    e.actions = {c.action};
    ASSERT_TRUE(PrepareAction(e.actions[0]));
    Log().clear();
    RunActionList(&self, &other, e);
    EXPECT_EQ(Log(), c.log) << (c.log.empty() ? "(none)" : c.log[0]);
  }
  // A pending room change stops a lone action before it runs.
  CEvent e;
  e.actions = {CodeAction("wlog('never')")};
  ASSERT_TRUE(PrepareAction(e.actions[0]));
  Log().clear();
  SetPendingRoomChange(2);
  RunActionList(&self, &other, e);
  SetPendingRoomChange(kNoRoomChange);
  EXPECT_TRUE(Log().empty());
}

TEST_F(ActionPaths, CodeActionWithoutArgumentsSeesTheSlotsAndRestoresRelative) {
  struct Case {
    const char* code;
    bool relative;
    const char* logged;
    double slot0After;  // what the caller's argument0 holds afterwards
  } cases[] = {
      {"wlog(argument0, argument1, argument_relative)", true, "7 keep 1", 7},
      {"wlog(argument0, argument1, argument_relative)", false, "7 keep 0", 7},
      {"argument0 = 8; wlog(argument0)", true, "8", 8},  // no frame of its own: a write stays
  };
  CInstance self(100001, 0, 0, 0);
  for (const Case& c : cases) {
    CAction a = CodeAction(c.code);
    a.mayBeRelative = true;
    a.relative = c.relative;
    CEvent e;
    e.actions = {a, CodeAction("wlog(argument_relative)")};
    for (CAction& x : e.actions) ASSERT_TRUE(PrepareAction(x));
    ASSERT_EQ(e.actions[0].argumentCount, 0);
    CurrentArguments()[0] = RValue(7.0);
    CurrentArguments()[1] = RValue("keep");
    SetArgumentRelative(true);
    Log().clear();
    RunActionList(&self, &self, e);
    EXPECT_EQ(Log(), (std::vector<std::string>{c.logged, "0"})) << c.code;
    EXPECT_TRUE(ArgumentRelative()) << c.code;
    EXPECT_EQ(CurrentArgumentsForRead()[0].Real(), c.slot0After) << c.code;
    EXPECT_EQ(CurrentArgumentsForRead()[1].Str(), "keep") << c.code;
  }
  // An arithmetic fault leaves the action; argument_relative comes back all the same.
  CAction faulty = CodeAction("v = 1; wlog(argument_relative); repeat (400) v = v * 10;");
  faulty.mayBeRelative = true;
  faulty.relative = true;
  CEvent e;
  e.actions = {faulty};
  ASSERT_TRUE(PrepareAction(e.actions[0]));
  SetArgumentRelative(false);
  Log().clear();
  EXPECT_THROW(RunActionList(&self, &self, e), ArithmeticFault);
  EXPECT_EQ(Log(), (std::vector<std::string>{"1"}));
  EXPECT_FALSE(ArgumentRelative());
}

// The lone code action of an event (most events) takes a shorter path than a list: it must behave the same, seeing
// the caller's argument slots, setting argument_relative for its run only and leaving a pending result alone.
TEST_F(ActionPaths, LoneCodeActionSeesTheSlotsAndRestoresRelative) {
  CInstance self(100001, 0, 0, 0);
  for (const bool relative : {true, false}) {
    for (const bool before : {true, false}) {
      CAction a = CodeAction("wlog(argument0, argument1, argument_relative); argument1 = 'changed'");
      a.mayBeRelative = true;
      a.relative = relative;
      CEvent e;
      e.actions = {a};
      ASSERT_TRUE(PrepareAction(e.actions[0]));
      CurrentArguments()[0] = RValue(7.0);
      CurrentArguments()[1] = RValue("keep");
      SetArgumentRelative(before);
      Log().clear();
      RunActionList(&self, &self, e);
      EXPECT_EQ(Log(), (std::vector<std::string>{relative ? "7 keep 1" : "7 keep 0"}));
      EXPECT_EQ(ArgumentRelative(), before);
      EXPECT_EQ(CurrentArgumentsForRead()[1].Str(), "changed");  // no frame of its own: a write stays
    }
  }
  // Not relative unless the action may be: the flag alone does not count.
  CAction plain = CodeAction("wlog(argument_relative)");
  plain.relative = true;
  CEvent e;
  e.actions = {plain};
  ASSERT_TRUE(PrepareAction(e.actions[0]));
  SetArgumentRelative(true);
  Log().clear();
  RunActionList(&self, &self, e);
  EXPECT_EQ(Log(), (std::vector<std::string>{"0"}));
  EXPECT_TRUE(ArgumentRelative());
}

// Logs its three argument slots whatever the argument count, so a test sees what lies past the count.
void FnWPeek(RValue&, CInstance*, CInstance*, int argc, RValue* args) {
  std::string line = std::to_string(argc);
  for (int i = 0; i < 3; ++i) line += " " + (args[i].IsString() ? args[i].ToStdString() : RealToDebugString(args[i].Real()));
  Log().push_back(line);
}

const CEvent* g_nested = nullptr;
// Runs the nested event's actions for self, then logs its own (already evaluated) arguments.
void FnWNest(RValue&, CInstance* self, CInstance*, int, RValue* args) {
  RunActionList(self, self, *g_nested);
  Log().push_back("outer " + args[0].ToStdString() + " " + RealToDebugString(args[1].Real()));
}

CAction CallWith(const std::string& fn, std::vector<std::string> texts) {
  CAction a;
  a.exeType = kExeFunction;
  a.functionName = fn;
  a.argumentCount = static_cast<int>(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) a.argumentTexts[i] = texts[i];
  return a;
}

// Arguments that only read a built-in variable give what the expression would; a failing argument is reported and
// gives "ERROR"; every call sees real 0 past its own arguments, also after a call with more (or after an "ERROR"),
// and a call nested inside a function keeps the outer call's arguments apart.
TEST_F(ActionPaths, FunctionArgumentsAreEvaluatedIntoTheirOwnSlots) {
  RegisterFunction("wpeek", FnWPeek, 3);
  RegisterFunction("wnest", FnWNest, 2);
  CInstance self(100001, 0, 0, 0);
  self.SetHSpeed(3);
  self.SetAlarm(1, 9);
  SetInstanceVariable(&self, FindOrAddVariableName("mine"), 0, RValue("own"));
  CEvent nested;
  nested.actions = {CallWith("wpeek", {"'in'", "alarm[1] + 1", "-hspeed"})};
  ASSERT_TRUE(PrepareAction(nested.actions[0]));
  g_nested = &nested;
  CEvent e;
  e.actions = {CallWith("wpeek", {"hspeed", " alarm [ 1 ] ", "mine"}),
               CallWith("wpeek", {"alarm[0]"}),
               CallWith("wnest", {"'a'", "hspeed"}),
               CallWith("wpeek", {"alarm[40000]"}),
               CallWith("wpeek", {})};
  for (CAction& a : e.actions) ASSERT_TRUE(PrepareAction(a));
  EXPECT_NE(e.actions[0].argumentReaders[0], nullptr);  // read directly
  EXPECT_EQ(e.actions[0].argumentReaders[2], nullptr);  // a user variable goes through the expression
  RunActionList(&self, &self, e);
  EXPECT_EQ(Log(), (std::vector<std::string>{"3 3 9 own", "1 -1 0 0", "3 in 10 -3", "outer a 3", "1 ERROR 0 0",
                                             "0 0 0 0"}));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("32000"), std::string::npos) << errors[0];
}

}  // namespace
}  // namespace kv::test
