// Tokenizer and compiler: number literals, token positions, comments, and every compile error with its place.
#include "code/code_lexer.h"
#include "code/code_resolver.h"
#include "code_test_util.h"

namespace kv::test {
namespace {

class CompileTest : public LangTest {};

TEST(NumberLiteral, AccumulatesLeftToRight) {
  const std::pair<const char*, double> cases[] = {
      {"$1F", 31}, {".5", 0.5}, {"1.2.3", 1.23}, {"$", 0}, {"5.", 5}, {"$ff", 255}, {"10", 10}, {"0.25", 0.25},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(NumberTokenValue(text), value) << text;
}

TEST(Tokenizer, KindsAndPositions) {
  struct Case {
    const char* text;
    std::vector<std::pair<int, int>> kindPos;  // kind, 1-based position
  };
  const Case cases[] = {
      {"a:=b", {{kTokIdent, 1}, {kTokAssign, 2}, {kTokIdent, 4}, {kTokEnd, 5}}},
      {"x<>y", {{kTokIdent, 1}, {kOpNotEqual, 2}, {kTokIdent, 4}, {kTokEnd, 5}}},
      {"x< >y", {{kTokIdent, 1}, {kOpLess, 2}, {kOpGreater, 4}, {kTokIdent, 5}, {kTokEnd, 6}}},
      {"5.x", {{kTokNumber, 1}, {kTokIdent, 3}, {kTokEnd, 4}}},
      {"/*/ x", {{kTokIdent, 5}, {kTokEnd, 6}}},
      {"/* x", {{kTokEnd, 5}}},
      {"// c\rz", {{kTokIdent, 6}, {kTokEnd, 7}}},
      {"Begin begin AND and", {{kTokIdent, 1}, {kTokBegin, 7}, {kTokIdent, 13}, {kOpAnd, 17}, {kTokEnd, 20}}},
      {"a mod b div c", {{kTokIdent, 1}, {kOpMod, 3}, {kTokIdent, 7}, {kOpDiv, 9}, {kTokIdent, 13}, {kTokEnd, 14}}},
  };
  for (const Case& c : cases) {
    std::vector<LexToken> toks;
    ASSERT_TRUE(Tokenize(c.text, true, toks)) << c.text;
    ASSERT_EQ(toks.size(), c.kindPos.size()) << c.text;
    for (size_t i = 0; i < toks.size(); ++i) {
      EXPECT_EQ(toks[i].kind, c.kindPos[i].first) << c.text << " token " << i;
      EXPECT_EQ(toks[i].position, c.kindPos[i].second) << c.text << " token " << i;
    }
  }
}

TEST(Tokenizer, StringsHaveNoEscapesAndEndAtTheRealEnd) {
  std::vector<LexToken> toks;
  ASSERT_TRUE(Tokenize("'say \"hi\"' \"it's\"", true, toks));
  EXPECT_EQ(toks[0].text, "say \"hi\"");
  EXPECT_EQ(toks[1].text, "it's");
  toks.clear();
  // Unterminated: the text runs to the end of the source, without the scanner's padding.
  ASSERT_TRUE(Tokenize("a = \"abc", true, toks));
  ASSERT_EQ(toks[2].kind, kTokString);
  EXPECT_EQ(toks[2].text, "abc");
}

TEST_F(CompileTest, UnterminatedStringValue) { EXPECT_EQ(Run("return \"ab"), "'ab'"); }

TEST_F(CompileTest, ErrorMessagesWithPositions) {
  struct Case {
    const char* code;
    const char* want;
  };
  const Case cases[] = {
      {"a = 1 # 2;", "1:7: Unexpected symbol."},
      {"a = 1; \xe9", "1:8: Unexpected symbol."},
      {"foo(1);", "1:1: Unknown function or script: foo"},
      {"a = foo (1);", "1:5: Unknown function or script: foo"},
      {"for i = 0", "1:5: Symbol ( expected."},
      {"a = (1 + 2;", "1:11: Symbol ) expected."},
      {"a = abs(1", "1:9: Symbol ) expected."},
      {"a = abs(1 2);", "1:11: Symbol , or ) expected."},
      {"a = abs(1, 2);", "1:13: Wrong number of arguments to function or script."},
      {"a = b.;", "1:7: Variable name expected."},
      {"5 = 3;", "1:1: Variable name expected."},
      {"a[1 2] = 0;", "1:5: Symbol , or ] expected."},
      {"a = b[1", "1:7: Symbol ] expected."},
      {"v[1,2,3] = 0;", "1:7: Only 1- and 2-dimensional arrays are supported."},
      {"a = * 2;", "1:5: Unexpected symbol in expression."},
      {"a 5;", "1:3: Assignment operator expected."},
      {"var x;", "1:5: Cannot redeclare a builtin variable."},
      {"globalvar argument0;", "1:11: Cannot redeclare a builtin variable."},
      {"switch (a) { case 1 a = 2; }", "1:21: Symbol : expected."},
      {"switch (a) { default a = 2; }", "1:22: Symbol : expected."},
      {"switch (a) b = 1;", "1:12: Symbol { expected."},
      {"switch (a) { case 1: b = 1;", "1:27: Symbol } expected."},
      {"{ a = 1;", "1:8: Symbol } expected."},
      {"do a = 1; while (b)", "1:11: Keyword until expected."},
      {"if (a)", "1:6: Unexpected end of code reached."},
      {"for (;;) a = 1;", "1:8: Unexpected symbol in expression."},
      {"{ q = 1 } r = 2", "1:11: Program ends before end of the code."},
      {"\"abc\".v = 1;", "1:7: Left hand side must be a real value."},
      {"q = 1 / 0;", "1:9: Division by 0."},
      {"q = 1 mod 0;", "1:11: Modulo by 0."},
      {"q = \"a\" + 1;", "1:11: Wrong type of arguments to +."},
      {"q = 1e5;", "1:8: Assignment operator expected."},
      // a literal beyond the double range, and overflow while folding, are compile errors
      // lines count carriage returns; after CR LF the column counts the line feed
      {"a = 1;\r\nb = #;", "2:6: Unexpected symbol."},
      {"a = 1;\nb = #;", "1:12: Unexpected symbol."},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.want) << c.code;
}

TEST_F(CompileTest, HugeLiteralsAndFoldingOverflowAreCompileErrors) {
  // Beyond the double range while reading the number, or while folding: errors at the token, not faults.
  const std::string huge = "$" + std::string(260, 'F');
  EXPECT_EQ(Run("q = " + huge + ";"), "1:5: Number too large.");
  const std::string big = "$" + std::string(255, 'F');
  EXPECT_EQ(Run("q = " + big + " * 1000;"), "1:264: Arithmetic overflow in constant expression.");
}

TEST_F(CompileTest, DeepNestingIsACompileErrorNotACrash) {
  const std::string parens = "q = " + std::string(100000, '(') + "1" + std::string(100000, ')') + ";";
  EXPECT_EQ(Run(parens).substr(1), ":516: Code is nested too deeply.");
  const std::string minus = "q = " + std::string(100000, '-') + "1;";
  EXPECT_EQ(Run(minus).substr(1), ":515: Code is nested too deeply.");
  std::string blocks;
  for (int i = 0; i < 100000; ++i) blocks += "{";
  EXPECT_EQ(Run(blocks).substr(1), ":514: Code is nested too deeply.");
  EXPECT_EQ(Run("q = " + std::string(200, '(') + "7" + std::string(200, ')') + "; return q;"), "7");
}

TEST_F(CompileTest, AcceptedForms) {
  struct Case {
    const char* code;
    const char* want;
  };
  const Case cases[] = {
      {"q = 1; { r = 2 } return q + r;", "3"},
      {"q = 0; if q = 0 then r = 1 else r = 2; return r;", "1"},
      {"q = 0; if (q) r = 1; else r = 2; return r;", "2"},
      {"for (i = 0; i < 3; i += 1) ; return i;", "3"},
      {"for (i = 0 i < 3 i += 1) {} return i;", "3"},
      {"begin q = 1; end", "0"},
      {"q = 1;;;; return q;", "1"},
      {"a = 1 < 2 < 3; return a;", "1"},
      {"var a b, c; a = 1; b = 2; c = 3; return a + b + c;", "6"},
      {"return abs (-2);", "2"},
      {"v[] = 4; return v;", "4"},
      {"", "0"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.want) << c.code;
}

TEST_F(CompileTest, ExpressionsIgnoreTrailingTokensAndFoldToConstants) {
  EXPECT_EQ(Eval("5 7"), "5");
  EXPECT_EQ(Eval(""), "0");
  CCode k("2 * 3 + 1", true);
  ASSERT_TRUE(k.Compile());
  EXPECT_EQ(k.GetKind(), CCode::kConstantExpression);
  RValue r;
  ASSERT_TRUE(RunCode(nullptr, nullptr, &k, r));  // a constant needs no instance
  EXPECT_EQ(r.Real(), 7);
  EXPECT_EQ(Eval("1 +"), "Error in expression:1 +\r position 3: Unexpected symbol in expression.");
}

TEST_F(CompileTest, RecompilingAndRunningUncompiledCode) {
  CCode code("a = 1;", false);
  ASSERT_TRUE(code.Compile());
  EXPECT_FALSE(code.Compile());
  EXPECT_EQ(Compact(PendingMessage()), "1:1: Internal Error: Recompiling compiled code.");
  CCode raw("a = 1;", false);
  RValue r;
  EXPECT_FALSE(RunCode(&self, &self, &raw, r));
  EXPECT_EQ(Compact(PendingMessage()), "1:1: Internal Error: Executing non-compiled code.");
  EXPECT_FALSE(RunCode(nullptr, &self, &code, r));
  EXPECT_EQ(Compact(PendingMessage()), "1:1: Internal Error: Executing code for nil instance.");
}

TEST_F(CompileTest, NameResolutionOrder) {
  // resource > constant (newest first) > variable; script > built-in function.
  AddConstant("c_red", RValue(1.0));
  EXPECT_EQ(Run("return c_red;"), "1");
  SetResourceNameResolver([](std::string_view n, int& i) {
    if (n != "c_red" && n != "wall") return false;
    i = 7;
    return true;
  });
  EXPECT_EQ(Run("return c_red;"), "7");
  EXPECT_EQ(Run("wall = 1;"), "1:1: Variable name expected.");  // a resource name is a constant
  AddScript("abs", "return 99;");
  ASSERT_TRUE(CompileScripts());
  EXPECT_EQ(Run("return abs(-1);"), "99");
}

TEST_F(CompileTest, DefineConstant) {
  std::string box;
  auto show = [&](const std::string& m) { box = m; };
  EXPECT_TRUE(DefineConstant(" twopi ", "2 * pi", show));
  RValue v;
  ASSERT_TRUE(FindConstant("twopi", v));
  EXPECT_EQ(v.Real(), 6.283185307179586);
  EXPECT_FALSE(DefineConstant("1abc", "1", show));
  EXPECT_EQ(box, "Constant name 1abc  is not valid.");
  AddScript("scr_x", "return 1;");  // not compiled yet while constants are defined
  EXPECT_FALSE(DefineConstant("k", "scr_x()", show));
  EXPECT_EQ(box, "Value for constant k  is not valid.");
  EXPECT_FALSE(DefineConstant("k", "(", show));
}

}  // namespace
}  // namespace kv::test
