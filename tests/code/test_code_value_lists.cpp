// Value and list internals that code relies on: string sharing and growth, deep copies, slot hints.
#include "code_test_util.h"

namespace kv::test {
namespace {

TEST(ValueStorage, CopiesMovesAndSelfAssignment) {
  RValue a(std::string(40, 'a'));
  RValue b = a;
  RValue c = std::move(b);
  EXPECT_TRUE(b.IsReal());  // moved-from values are real 0
  EXPECT_EQ(b.Real(), 0);
  a = a;  // self-assignment keeps the string alive
  EXPECT_EQ(a.ToStdString(), std::string(40, 'a'));
  a = 3.0;
  EXPECT_EQ(c.ToStdString(), std::string(40, 'a'));
  c = c;
  c.SetString("x");
  EXPECT_EQ(c.ToStdString(), "x");
}

TEST(ValueStorage, AppendGrowsAcrossTheInlineLimit) {
  RValue s("");
  std::string expect;
  for (int i = 0; i < 300; ++i) {
    std::string piece(static_cast<size_t>(i % 7), static_cast<char>('a' + i % 26));
    s.Append(piece);
    expect += piece;
    ASSERT_EQ(s.ToStdString(), expect) << i;
  }
  RValue shared = s;
  s.Append("!");
  EXPECT_EQ(shared.ToStdString(), expect);
  EXPECT_EQ(s.ToStdString(), expect + "!");
  RValue r(5.0);
  r.Append("");
  EXPECT_TRUE(r.IsString());  // appending to a real makes it a string
  RValue n;
  std::memcpy(n.ResizeUninitialised(20), "01234567890123456789", 20);
  EXPECT_EQ(n.ToStdString(), "01234567890123456789");
}

TEST(ValueStorage, EqualityNeedsTheSameKind) {
  EXPECT_TRUE(RValue(0.0) == RValue(-0.0));
  EXPECT_FALSE(RValue("") == RValue(0.0));
  EXPECT_TRUE(RValue(std::string(30, 'q')) == RValue(std::string(30, 'q')));
  EXPECT_FALSE(RValue(std::string(30, 'q')) == RValue(std::string(31, 'q')));
}

TEST(VariableLists, CopyFromIsDeep) {
  CVariableList a;
  a.SetValue(100001, 5, RValue("cell"));
  a.SetValue(100002, 0, RValue(2.0));
  CVariableList b;
  b.CopyFrom(a);
  b.SetValue(100001, 5, RValue("changed"));
  b.SetValue(100001, 6, RValue(1.0));
  RValue v;
  ASSERT_TRUE(a.GetValue(100001, 5, v));
  EXPECT_EQ(v.ToStdString(), "cell");
  EXPECT_FALSE(a.GetValue(100001, 6, v));
  EXPECT_EQ(b.At(0).id, 100001);  // creation order kept
  EXPECT_EQ(b.At(1).id, 100002);
}

TEST(VariableLists, HintsNeverGiveAWrongVariable) {
  // Two instances whose variables were created in different orders share one call site's hint.
  CVariableList p, q;
  p.SetValue(100001, 0, RValue(1.0));
  p.SetValue(100002, 0, RValue(2.0));
  q.SetValue(100002, 0, RValue(20.0));
  q.SetValue(100001, 0, RValue(10.0));
  uint32_t hint = 0;
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(p.FindHinted(100002, hint)->value.Real(), 2);
    EXPECT_EQ(q.FindHinted(100002, hint)->value.Real(), 20);
    EXPECT_EQ(q.FindHinted(100001, hint)->value.Real(), 10);
  }
  EXPECT_EQ(p.FindHinted(100009, hint), nullptr);
  hint = 99;  // out of range
  EXPECT_EQ(p.FindOrAddHinted(100003, hint).id, 100003);
  EXPECT_EQ(p.Count(), 3u);
}

class PendingTest : public LangTest {};

TEST_F(PendingTest, OnlyTheFirstErrorIsRecorded) {
  RecordError("abc", true, 1, "first");
  RecordError("abc", true, 2, "second");
  RecordPlainError("third");
  EXPECT_EQ(Compact(PendingMessage()), "1:1: first");
  ClearErrorPending();
  RecordPlainError("fourth");
  EXPECT_EQ(PendingMessage(), "fourth");
  ClearErrorPending();
  // A compile starts afresh: an old pending error does not hide the new one.
  RecordPlainError("old");
  EXPECT_EQ(Run("a = ;"), "1:5: Unexpected symbol in expression.");
}

}  // namespace
}  // namespace kv::test
