#include <gtest/gtest.h>

#include "functions/call_builtin.h"
#include "functions/function_math.h"
#include "functions/function_string.h"

namespace kv {
namespace {

using test::BuiltinCaller;
using test::S;

class StringFunctions : public ::testing::Test {
 protected:
  void SetUp() override { RegisterMathFunctions(); }
  BuiltinCaller call;
};

TEST(StringHelpers, CopyDeleteInsertPositions) {
  struct Copy {
    const char* s;
    int64_t index, count;
    const char* expected;
  } copies[] = {
      {"hello", 0, 2, "he"},   {"hello", 4, 10, "lo"}, {"hello", 2, -1, ""},  {"hello", 6, 1, ""},
      {"hello", -5, 1, "h"},   {"hello", 5, 1, "o"},   {"", 1, 1, ""},        {"hello", 2, 0, ""},
  };
  for (const Copy& c : copies) EXPECT_EQ(StringCopy(c.s, c.index, c.count), c.expected) << c.s << c.index;

  struct Delete {
    const char* s;
    int64_t index, count;
    const char* expected;
  } deletes[] = {
      {"hello", 2, 2, "hlo"}, {"hello", 0, 2, "hello"}, {"hello", 6, 1, "hello"}, {"hello", 2, 0, "hello"},
      {"hello", 4, 99, "hel"}, {"hello", 1, 5, ""},     {"", 1, 1, ""},
  };
  for (const Delete& c : deletes) EXPECT_EQ(StringDelete(c.s, c.index, c.count), c.expected) << c.s << c.index;

  struct Insert {
    const char* sub;
    const char* s;
    int64_t index;
    const char* expected;
  } inserts[] = {
      {"XY", "abc", 1, "XYabc"}, {"XY", "abc", 0, "XYabc"}, {"XY", "abc", 3, "abXYc"},
      {"XY", "abc", 4, "abcXY"}, {"XY", "abc", 99, "abcXY"}, {"", "abc", 2, "abc"}, {"XY", "", 5, "XY"},
  };
  for (const Insert& c : inserts) EXPECT_EQ(StringInsert(c.sub, c.s, c.index), c.expected) << c.s << c.index;
}

TEST(StringHelpers, SearchCountReplace) {
  EXPECT_EQ(StringPos("", "abc"), 0);
  EXPECT_EQ(StringPos("c", "abc"), 3);
  EXPECT_EQ(StringPos("abcd", "abc"), 0);
  EXPECT_EQ(StringCount("aa", "aaaa"), 2);
  EXPECT_EQ(StringCount("aa", "aaa"), 1);
  EXPECT_EQ(StringCount(",", "1,2,,3"), 3);
  EXPECT_EQ(StringCount("", "abc"), 0);

  struct Replace {
    const char* s;
    const char* sub;
    const char* repl;
    bool all;
    const char* expected;
  } cases[] = {
      {"a-b-c", "-", "+", false, "a+b-c"},
      {"a-b-c", "-", "+", true, "a+b+c"},
      {"aaa", "a", "aa", true, "aaaaaa"},  // inserted text is not rescanned
      {"abab", "ab", "", true, ""},
      {"abc", "", "x", true, "abc"},
      {"abc", "X", "y", true, "abc"},
      {"ABC", "b", "y", true, "ABC"},  // case-sensitive
  };
  for (const Replace& c : cases) {
    std::string out;
    ASSERT_TRUE(StringReplace(c.s, c.sub, c.repl, c.all, out));
    EXPECT_EQ(out, c.expected) << c.s << " " << c.sub;
  }
}

TEST(StringHelpers, CaseAndFilters) {
  const std::string bytes = std::string("aZ9_\xC4\xE4 x", 8);  // CP-1252 umlauts stay as they are
  EXPECT_EQ(StringUpper(bytes), std::string("AZ9_\xC4\xE4 X", 8));
  EXPECT_EQ(StringLower(bytes), std::string("az9_\xC4\xE4 x", 8));
  EXPECT_EQ(StringFilter(bytes, true, false), "aZx");
  EXPECT_EQ(StringFilter(bytes, false, true), "9");
  EXPECT_EQ(StringFilter(bytes, true, true), "aZ9x");
  // UTF-8 text is just bytes: lengths, positions and copies count bytes and never split differently.
  const std::string utf8 = "h\xC3\xA9llo";  // "héllo"
  EXPECT_EQ(StringPos("llo", utf8), 4);
  EXPECT_EQ(StringCopy(utf8, 2, 2), "\xC3\xA9");
  EXPECT_EQ(StringUpper(utf8), "H\xC3\xA9LLO");
  EXPECT_EQ(StringDelete(utf8, 2, 2), "hllo");
}

TEST(StringHelpers, RepeatIsBounded) {
  std::string out;
  EXPECT_TRUE(StringRepeat("ab", 3, out));
  EXPECT_EQ(out, "ababab");
  EXPECT_TRUE(StringRepeat("ab", 0, out));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(StringRepeat("ab", -2, out));
  EXPECT_EQ(out, "");
  EXPECT_FALSE(StringRepeat("ab", int64_t(1) << 40, out));
  EXPECT_EQ(out, "");
}

TEST_F(StringFunctions, ThroughTheRegistry) {
  EXPECT_EQ(call.Str("chr", {321.0}), "A");
  EXPECT_EQ(call.Str("chr", {0.0}).size(), 1u);
  EXPECT_EQ(call.Real("ord", {S("")}), 0);
  EXPECT_EQ(call.Real("ord", {RValue(std::string_view("\xE9x"))}), 233);  // unsigned bytes
  EXPECT_EQ(call.Real("string_length", {RValue(std::string_view("\0a", 2))}), 2);
  EXPECT_EQ(call.Real("string_length", {5.0}), 0);  // a real's string field is empty
  EXPECT_EQ(call.Str("string_char_at", {S("hello"), 2.0}), "e");
  EXPECT_EQ(call.Str("string_char_at", {S("hello"), 9.0}), "");
  EXPECT_EQ(call.Str("string_copy", {S("hello"), 2.5, 2.0}), "el");  // 2.5 rounds to 2
  EXPECT_EQ(call.Str("string_copy", {S("hello"), 3.5, 2.0}), "lo");  // 3.5 rounds to 4
  EXPECT_EQ(call.Str("string_delete", {S("hello"), 1.0, 1.0}), "ello");
  EXPECT_EQ(call.Str("string_insert", {S("-"), S("ab"), 2.0}), "a-b");
  EXPECT_EQ(call.Str("string_replace_all", {S("a.b.c"), S("."), S("")}), "abc");
  EXPECT_EQ(call.Real("string_count", {S("."), S("a.b.c")}), 2);
  EXPECT_EQ(call.Real("string_pos", {S("b"), S("abc")}), 2);
  EXPECT_EQ(call.Str("string_lettersdigits", {S("a-1 b")}), "a1b");
  EXPECT_TRUE(call.NoErrors());
  EXPECT_EQ(call.Str("string_repeat", {S("xy"), 2e9}), "");
  EXPECT_TRUE(call.TookError(kStringTooLongMessage));
}

}  // namespace
}  // namespace kv
