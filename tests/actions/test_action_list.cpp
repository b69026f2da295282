// Action lists: blocks, questions with else, repeat, exit, apply-to with relative arguments, code actions with
// arguments, preparation errors and the library initialisation code.
#include <sstream>

#include "../world/world_fixture.h"
#include "code/code_exec.h"

namespace kv::test {
namespace {

void FnWPend(RValue&, CInstance*, CInstance*, int, RValue* args) {
  Log().push_back("pend");
  SetPendingRoomChange(static_cast<int>(args[0].Real()));
}

// A function action logging a literal name.
CAction Act(const std::string& name) {
  CAction a = FunctionAction("wact", name);
  a.argumentKinds[0] = 1;  // literal string
  return a;
}

// Builds a list from a compact text: A:name action, Q1/Q0 question answering 1/0 (!Q1 with NOT), { } blocks,
// E else, X exit, R<count> repeat, P pending room change.
CEvent Parse(const std::string& text) {
  CEvent e;
  std::istringstream in(text);
  std::string tok;
  while (in >> tok) {
    if (tok.rfind("A:", 0) == 0) e.actions.push_back(Act(tok.substr(2)));
    else if (tok == "Q1" || tok == "Q0" || tok == "!Q1" || tok == "!Q0") {
      CAction q = FunctionAction("wask", tok.substr(tok.size() - 1), true);
      q.isNot = tok[0] == '!';
      e.actions.push_back(q);
    } else if (tok == "{") e.actions.push_back(KindAction(kActionBeginBlock));
    else if (tok == "}") e.actions.push_back(KindAction(kActionEndBlock));
    else if (tok == "E") e.actions.push_back(KindAction(kActionElse));
    else if (tok == "X") e.actions.push_back(KindAction(kActionExit));
    else if (tok[0] == 'R') e.actions.push_back(RepeatAction(tok.substr(1)));
    else if (tok == "P") e.actions.push_back(FunctionAction("wpend", "3"));
    else ADD_FAILURE() << "bad token " << tok;
  }
  return e;
}

class ActionLists : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    RegisterFunction("wpend", FnWPend, 1);
  }
  // Runs the list for a bare self/other and returns the names of the actions that ran ("ask" lines dropped).
  std::string RunNames(const std::string& text) {
    CEvent e = Parse(text);
    for (CAction& a : e.actions) EXPECT_TRUE(PrepareAction(a));
    Log().clear();
    CInstance self(100001, 0, 0, 0), other(100002, 0, 0, 0);
    RunActionList(&self, &other, e);
    std::string out;
    for (const std::string& line : Log()) {
      if (line.rfind("act ", 0) != 0) continue;
      if (!out.empty()) out += ' ';
      out += line.substr(4, line.find(' ', 4) - 4);
    }
    SetPendingRoomChange(kNoRoomChange);
    return out;
  }
};

TEST_F(ActionLists, ControlFlow) {
  struct Case {
    const char* list;
    const char* ran;
  } cases[] = {
      {"Q1 A:a E A:b", "a"},
      {"Q0 A:a E A:b", "b"},
      {"Q0 A:a A:b", "b"},
      {"!Q1 A:a A:b", "b"},
      {"!Q0 A:a A:b", "a b"},
      // else pairs with the nearest question that is being executed
      {"Q0 Q1 A:x E A:y", "y"},
      {"Q1 Q0 A:x E A:y", "y"},
      {"Q1 Q1 A:x E A:y", "x"},
      {"Q0 Q0 A:x E A:y", "y"},
      {"Q1 { A:a A:b } E { A:c } A:d", "a b d"},
      {"Q0 { A:a A:b } E { A:c } A:d", "c d"},
      {"{ A:a { A:b } A:c } A:d", "a b c d"},
      {"Q0 { A:a { A:b } A:c } A:d", "d"},
      {"R2.5 A:a A:b", "a a b"},
      {"R3.5 A:a A:b", "a a a a b"},
      {"R-1 A:a A:b", "b"},
      {"R0 { A:a A:b } A:c", "c"},
      {"R2 Q1 A:a A:b", "a a b"},
      {"{ A:a X A:b } A:c", "a"},
      {"R3 { A:a X } A:b", "a"},
      {"Q1 X A:a", ""},
      {"{ A:a A:b", "a b"},     // a block without its end runs to the end of the list
      {"} A:a E A:b", "a b"},   // unexpected end and else run as ordinary (empty) actions
      {"A:a P A:b", "a"},       // a room change stops the list after the action
      {"R3 { A:a P }", "a"},
      // questions on self take a shorter path than questions with other targets: the same answers
      {"Q1", ""},
      {"A:a Q1", "a"},
      {"Q1 P A:a", ""},
      {"Q0 A:a E Q1 A:b E A:c", "b"},
      {"Q0 A:a E Q0 A:b E A:c A:d", "c d"},
      {"!Q0 Q0 A:a E A:b E A:c", "b"},
      {"Q1 { Q0 A:a E A:b } E A:c A:d", "b d"},
  };
  for (const Case& c : cases) EXPECT_EQ(RunNames(c.list), c.ran) << c.list;
}

class ApplyTo : public ActionLists {
 protected:
  void SetUp() override {
    ActionLists::SetUp();
    base = AddObject("base");
    leaf = AddObject("leaf", base);
    lone = AddObject("lone");
    room = AddRoom("r", {{1, 0, base, 100010, ""}, {1, 0, lone, 100011, ""}, {1, 0, leaf, 100012, ""},
                         {1, 0, base, 100013, ""}});
    StartRooms(res);
    EnterRoom(room, true);
    ASSERT_NE(CurrentRoom(), nullptr);
  }
  std::vector<std::string> Run(CAction a, CInstance* self, CInstance* other) {
    CEvent e;
    e.actions.push_back(std::move(a));
    EXPECT_TRUE(PrepareAction(e.actions[0]));
    Log().clear();
    RunActionList(self, other, e);
    return Log();
  }
  CInstance* Inst(int id) { return CurrentRoom()->FindInstance(id); }
  int base = 0, leaf = 0, lone = 0, room = 0;
};

TEST_F(ApplyTo, TargetsAndRelative) {
  CInstance* self = Inst(100011);
  CInstance* other = Inst(100010);
  CAction a = Act("v");
  a.mayBeRelative = true;
  a.relative = true;
  EXPECT_EQ(Run(a, self, other), (std::vector<std::string>{"act v rel self 100011 other 100010"}));
  a.usesApplyTo = true;
  a.applyTo = -2;
  a.relative = false;
  EXPECT_EQ(Run(a, self, other), (std::vector<std::string>{"act v self 100010 other 100011"}));
  EXPECT_FALSE(ArgumentRelative());
  // An object: its family (the leaf too) in list order; other stays the list's other; Deleted ones passed over.
  a.applyTo = base;
  a.relative = true;
  CInstance* destroyed = Inst(100013);
  destroyed->deleted = true;
  EXPECT_EQ(Run(a, self, other), (std::vector<std::string>{"act v rel self 100010 other 100010",
                                                           "act v rel self 100012 other 100010"}));
  EXPECT_TRUE(ArgumentRelative());  // function actions leave it set
  // Relative only counts for actions that offer it.
  a.mayBeRelative = false;
  a.applyTo = leaf;
  EXPECT_EQ(Run(a, self, other), (std::vector<std::string>{"act v self 100012 other 100010"}));
  // The object index range ends before the object count.
  a.applyTo = res.objects.Count();
  EXPECT_TRUE(Run(a, self, other).empty());
  // A room change stops an apply-to loop.
  CAction pend = FunctionAction("wpend", "2");
  pend.usesApplyTo = true;
  pend.applyTo = base;
  destroyed->deleted = false;
  EXPECT_EQ(Run(pend, self, other).size(), 1u);
  SetPendingRoomChange(kNoRoomChange);
}

TEST_F(ApplyTo, QuestionsOverAnObjectCombineThenNot) {
  // Instances of base (family order 100010, 100012, 100013) answer their x: 1, 0, 1.
  Inst(100012)->x = 0;
  struct Case {
    int target;
    bool isNot;
    const char* expect;  // what ran after the question
    size_t asked;
  } cases[] = {
      {base, false, "no", 2},   // stops at the first false
      {base, true, "yes", 2},   // NOT inverts the combined answer
      {lone, false, "yes", 1},
      {99, false, "yes", 0},    // no targets: true
      {99, true, "no", 0},
  };
  for (const Case& c : cases) {
    CEvent e;
    CAction q = FunctionAction("wask", "x", true);
    q.usesApplyTo = true;
    q.applyTo = c.target;
    q.isNot = c.isNot;
    e.actions = {q, Act("yes"), KindAction(kActionElse), Act("no")};
    for (CAction& a : e.actions) ASSERT_TRUE(PrepareAction(a));
    Log().clear();
    RunActionList(Inst(100011), Inst(100011), e);
    ASSERT_FALSE(Log().empty());
    EXPECT_EQ(Log().size() - 1, c.asked) << c.target << c.isNot;
    EXPECT_EQ(Log().back().substr(4, Log().back().find(' ', 4) - 4), c.expect) << c.target << c.isNot;
  }
}

TEST_F(ActionLists, CodeActionArgumentsAndVariables) {
  CAction code;
  code.exeType = kExeCode;
  code.mayBeRelative = true;
  code.relative = true;
  code.codeText = "wlog(argument0, argument1, argument2)";
  code.argumentCount = 2;
  code.argumentTexts[0] = "5";
  code.argumentTexts[1] = "argument0 + 1";  // sees the new argument0 already
  CAction var;
  var.kind = kActionVariable;
  var.exeType = kExeCode;
  var.relative = true;
  var.argumentCount = 2;
  var.argumentTexts[0] = "x";
  var.argumentTexts[1] = "3";
  CEvent e;
  e.actions = {code, var, CodeAction("wlog(x)")};
  for (CAction& a : e.actions) ASSERT_TRUE(PrepareAction(a));
  EXPECT_EQ(e.actions[1].kind, kActionNormal);
  EXPECT_EQ(e.actions[0].argumentKinds[0], kArgumentConstant);  // folded once
  EXPECT_EQ(e.actions[0].argumentKinds[1], kArgumentCompiled);
  RValue* slots = CurrentArguments();
  slots[0] = RValue(99.0);
  slots[2] = RValue("keep");
  SetArgumentRelative(false);
  CInstance self(100001, 0, 10, 0);
  RunActionList(&self, &self, e);
  EXPECT_EQ(Log(), (std::vector<std::string>{"5 6 keep", "13"}));
  EXPECT_EQ(CurrentArgumentsForRead()[0].Real(), 99.0);  // the caller's slots come back
  EXPECT_EQ(CurrentArgumentsForRead()[1].Real(), 0.0);
  EXPECT_FALSE(ArgumentRelative());
  CurrentArguments()[0] = RValue();
  CurrentArguments()[2] = RValue();
}

TEST_F(ActionLists, StringOrExpressionArguments) {
  struct Case {
    const char* text;
    const char* logged;
  } cases[] = {{"abc", "act abc"}, {"'abc'", "act abc"}, {"\"a\" + \"b\"", "act ab"}, {"", "act "}};
  for (const Case& c : cases) {
    CAction a = FunctionAction("wact", c.text);
    a.argumentKinds[0] = 2;
    ASSERT_TRUE(PrepareAction(a));
    CEvent e;
    e.actions = {a};
    Log().clear();
    CInstance self(100001, 0, 0, 0);
    RunActionList(&self, &self, e);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].substr(0, Log()[0].find(" self")), c.logged) << c.text;
  }
}

TEST_F(ActionLists, PreparationFailuresNameTheAction) {
  const int obj = AddObject("ship");
  On(obj, kEventStep, kStepNormal, "x = 1");
  On(obj, kEventStep, kStepNormal, "x = = 2");
  EXPECT_FALSE(Prepare());
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("FATAL ERROR in\r\naction number 2\r\nof  Step Event\r\nfor object ship"),
            std::string::npos)
      << errors[0];
  EXPECT_NE(errors[0].find("COMPILATION ERROR in code action\r"), std::string::npos);

  std::vector<std::string> messages;
  SetActionMessageHook([&](const std::string& m) { messages.push_back(m); });
  CAction missing = FunctionAction("no_such_function", "1");
  EXPECT_TRUE(PrepareAction(missing));
  EXPECT_EQ(missing.functionIndex, -1);
  EXPECT_EQ(messages, (std::vector<std::string>{"Failed to locate action function no_such_function"}));
  CEvent e;
  e.actions = {missing, Act("after")};
  ASSERT_TRUE(PrepareAction(e.actions[1]));
  CInstance self(100001, 0, 0, 0);
  RunActionList(&self, &self, e);  // the missing function does nothing
  EXPECT_EQ(Log().size(), 1u);
  SetActionMessageHook(nullptr);

  CAction badArg = FunctionAction("wact", "1 +");
  badArg.argumentCount = 1;
  errors.clear();
  ResetErrorState();
  EXPECT_FALSE(PrepareAction(badArg));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("COMPILATION ERROR in argument 0\r"), std::string::npos);
}

TEST_F(ActionLists, LibraryInitCodeRunsWithATemporaryInstance) {
  EXPECT_TRUE(RunLibraryInitCode({"wlog(id, object_index, x)", "", "wlog('second')"}));
  EXPECT_EQ(Log(), (std::vector<std::string>{"0 0 0", "second"}));
  EXPECT_FALSE(RunLibraryInitCode({"wlog(", "wlog('never')"}));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind("COMPILATION ERROR in library initialization code\r", 0), 0u) << errors[0];
  EXPECT_EQ(Log().size(), 2u);
}

}  // namespace
}  // namespace kv::test
