// Error formatting and reporting: line/column rules, the two code formats, run-time context, the settings
// (display, log, abort), hooks and the log file.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "code_test_util.h"

namespace kv::test {
namespace {

TEST(ErrorFormat, LinesAndColumns) {
  struct Case {
    const char* text;
    int pos;
    const char* want;
  };
  const Case cases[] = {
      {"a = 1;\r\nb = c;", 13, "Error in code at line 2:\r   \nb = c;\r\rat position 6: M"},  // LF counts
      {"a = 1;\rb = c;", 12, "Error in code at line 2:\r   b = c;\r\rat position 5: M"},
      {"a = 1;\nb = c;", 12, "Error in code at line 1:\r   a = 1;\nb = c;\r\rat position 12: M"},
      {"abc", 99, "Error in code at line 1:\r   abc\r\rat position 3: M"},  // past the end: last character
      {"abc", 0, "Error in code at line 1:\r   abc\r\rat position 1: M"},
      {"x\r", 2, "Error in code at line 2:\r   \r\rat position 0: M"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatCodeError(c.text, true, c.pos, "M"), c.want) << c.text;
  EXPECT_EQ(FormatCodeError("1 +", false, 3, "M"), "Error in expression:1 +\r position 3: M");
}

TEST(ErrorFormat, RuntimeContext) {
  ErrorActionContext obj;
  obj.actionIndex = 2;
  obj.eventName = "Step Event";
  obj.objectName = "obj_player";
  EXPECT_EQ(FormatRuntimeError("boom", false, obj),
            "ERROR in\r\naction number 3\r\nof Step Event\r\nfor object obj_player:\r\n\r\nboom");
  ErrorActionContext tl;
  tl.timeLine = true;
  tl.timeStep = 40;
  tl.timeLineName = "tl_intro";
  EXPECT_EQ(FormatRuntimeError("boom", true, tl),
            "FATAL ERROR in\r\naction number 1\r\nat time step 40\r\nof time line tl_intro:\r\n\r\nboom");
}

class ReportTest : public LangTest {
 protected:
  void SetUp() override {
    LangTest::SetUp();
    char tmpl[] = "/tmp/kv_errlog_XXXXXX";
    dir_ = mkdtemp(tmpl);
    char buf[4096];
    old_ = getcwd(buf, sizeof buf);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    ErrorHooks hooks;
    hooks.showErrorWindow = [this](const std::string& m, bool allowIgnore) {
      shown_.push_back(m);
      ignoreAllowed_.push_back(allowIgnore);
      return !ignore_;
    };
    hooks.clearInput = [this] { ++cleared_; };
    hooks.requestQuit = [this] { ++quits_; };
    SetErrorHooks(hooks);
  }
  void TearDown() override {
    SetErrorHooks({});
    std::remove((dir_ + "/" + kErrorLogName).c_str());
    [[maybe_unused]] int rc = chdir(old_.c_str());
    rmdir(dir_.c_str());
    LangTest::TearDown();
  }
  static std::string Log() {
    std::ifstream f(kErrorLogName, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  std::string dir_, old_;
  std::vector<std::string> shown_;
  std::vector<bool> ignoreAllowed_;
  bool ignore_ = true;
  int cleared_ = 0, quits_ = 0;
};

TEST_F(ReportTest, LogOnlyKeepsTheGameGoing) {
  {
    std::ofstream old(kErrorLogName);
    old << "stale";
  }
  ErrorSettings s;
  s.displayErrors = false;
  s.writeErrors = true;
  SetErrorSettings(s);
  ReportError("first", false);
  ReportError("second", false);
  EXPECT_EQ(Log(), "first\r\n\r\n\r\nsecond\r\n\r\n\r\n");  // the run's log starts afresh
  EXPECT_TRUE(shown_.empty());
  EXPECT_EQ(quits_, 0);
  EXPECT_TRUE(ErrorOccurred());
  EXPECT_EQ(LastError(), "second");
  EXPECT_EQ(cleared_, 2);
}

TEST_F(ReportTest, WindowIgnoreAbortAndAbortOnError) {
  ErrorSettings s;
  s.displayErrors = true;
  SetErrorSettings(s);
  ReportError("ignored", false);
  EXPECT_EQ(quits_, 0);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_TRUE(ignoreAllowed_[0]);
  ignore_ = false;  // the player aborts
  ReportError("aborted", false);
  EXPECT_EQ(quits_, 1);
  EXPECT_TRUE(Aborting());
  ReportError("after", false);  // ignored while aborting
  EXPECT_EQ(shown_.size(), 2u);

  ResetErrorState();
  s.abortOnError = true;
  SetErrorSettings(s);
  ignore_ = true;
  ReportError("any", false);
  ASSERT_EQ(shown_.size(), 3u);
  EXPECT_FALSE(ignoreAllowed_[2]);  // fatal: no Ignore button
  EXPECT_EQ(quits_, 2);
}

TEST_F(ReportTest, RunProgramReportsOnceAndClearsThePendingError) {
  ErrorSettings s;
  s.displayErrors = true;
  SetErrorSettings(s);
  CCode code("a = nope1; b = nope2;", false);
  ASSERT_TRUE(code.Compile());
  RValue r;
  EXPECT_FALSE(RunProgram(&self, &self, &code, r));
  ASSERT_EQ(shown_.size(), 1u);
  const std::string tail = "at position 5: Unknown variable nope1";  // only the first error of the run
  EXPECT_EQ(shown_[0].substr(shown_[0].size() - tail.size()), tail);
  EXPECT_FALSE(ErrorPending());
  RValue v;
  CCode value("nope3", true);
  ASSERT_TRUE(value.Compile());
  EXPECT_FALSE(RunForValue(&self, &self, &value, v));
  EXPECT_EQ(v.ToStdString(), "ERROR");
  EXPECT_EQ(PendingMessage(), "Error in expression:nope3\r position 1: Unknown variable nope3");
}

TEST(Values, InlineAndSharedStrings) {
  RValue a("short");
  RValue b(std::string(100, 'x'));
  RValue c = b;  // shares the long string
  c.Append("y");
  EXPECT_EQ(b.StrLength(), 100u);
  EXPECT_EQ(c.StrLength(), 101u);
  RValue d(std::string_view("a\0b", 3));  // NUL bytes are kept
  EXPECT_EQ(d.StrLength(), 3u);
  EXPECT_EQ(RValue().Kind(), 0);
  EXPECT_EQ(a.Real(), 0.0);  // the unused field reads as zero / empty
  EXPECT_EQ(RValue(2.0).Str(), "");
  EXPECT_TRUE(RValue("a") == RValue("a"));
  EXPECT_FALSE(RValue("1") == RValue(1.0));
}

TEST(Values, Rounding) {
  const std::pair<double, int64_t> cases[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {0.5, 0}, {1.5, 2}, {-0.4, 0}, {7, 7}};
  for (const auto& [in, out] : cases) EXPECT_EQ(RoundToInt64(in), out) << in;
  EXPECT_THROW(RoundToInt64(1e19), ArithmeticFault);
  EXPECT_THROW(RoundToInt64(std::nan("")), ArithmeticFault);
  EXPECT_EQ(RoundToInt(1e19), 2147483647);
  EXPECT_EQ(RoundToInt(-1e19), -2147483647 - 1);
  EXPECT_EQ(RoundToInt(std::nan("")), 0);
  EXPECT_EQ(RoundToInt32Wrap(4294967297.0), 1);
}

TEST(Values, StringComparisonIsUnsignedBytewise) {
  EXPECT_GT(CompareStrings("\xc8", "\x64"), 0);  // chr(200) > chr(100)
  EXPECT_LT(CompareStrings("ab", "abc"), 0);
  EXPECT_EQ(CompareStrings("", ""), 0);
  EXPECT_LT(CompareStrings("B", "a"), 0);
}

}  // namespace
}  // namespace kv::test
