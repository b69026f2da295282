// The run's log file: time-stamped lines, the copy of stderr with its levels, and the pieces that never reach it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>

#include "runner/run_log.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(RunLog, LineFormat) {
  const auto when = std::chrono::system_clock::from_time_t(1700000000) + std::chrono::milliseconds(7);
  const std::string line = kv::FormatLogLine(when, kv::LogLevel::Warn, "text here");
  EXPECT_TRUE(std::regex_match(line, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.007 WARN text here)"))) << line;
  EXPECT_NE(kv::FormatLogLine(when, kv::LogLevel::Error, "x").find(" ERROR x"), std::string::npos);
  EXPECT_NE(kv::FormatLogLine(when, kv::LogLevel::Info, "x").find(" INFO x"), std::string::npos);
}

// Entries written directly and lines written to std::cerr, each with its level; lines under a silent scope are
// left out; several lines of one text are several entries; stderr gets everything unchanged.
TEST(RunLog, CopiesStderrWithLevels) {
  const fs::path file = fs::temp_directory_path() / ("kv_run_log_" + std::to_string(::getpid()) + ".log");
  std::ostringstream seen;
  std::streambuf* stderrBuffer = std::cerr.rdbuf(seen.rdbuf());  // stands in for the terminal
  std::string error;
  ASSERT_TRUE(kv::OpenRunLog(file.string(), error)) << error;
  EXPECT_TRUE(kv::RunLogOpen());
  kv::LogLine(kv::LogLevel::Info, "loading 10% Loading sprites");
  std::cerr << "kvrun: warning: " << 42 << " things\n";
  {
    kv::StderrLogLevel errors(kv::LogLevel::Error);
    std::cerr << "ERROR in\r\naction number 1\r\n\r\nbad\n";
  }
  {
    kv::StderrLogLevel silent(std::nullopt);
    std::cerr << "said already\n";
  }
  std::cerr << "half a line";
  kv::CloseRunLog();
  EXPECT_FALSE(kv::RunLogOpen());
  std::cerr.rdbuf(stderrBuffer);
  EXPECT_EQ(seen.str(), "kvrun: warning: 42 things\nERROR in\r\naction number 1\r\n\r\nbad\nsaid already\nhalf a line");

  const std::vector<std::string> lines = Lines(file);
  const std::vector<std::string> expected = {"INFO loading 10% Loading sprites", "WARN kvrun: warning: 42 things",
                                             "ERROR ERROR in", "ERROR action number 1", "ERROR bad",
                                             "WARN half a line"};
  ASSERT_EQ(lines.size(), expected.size());
  const std::regex stamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} .*)");
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], stamp)) << lines[i];
    EXPECT_EQ(lines[i].substr(24), expected[i]);
  }
  // Closed: nothing more is written, and stderr is the stream it was.
  kv::LogLine(kv::LogLevel::Error, "after");
  EXPECT_EQ(Lines(file).size(), expected.size());
  fs::remove(file);
}

TEST(RunLog, UnwritableFileIsRefused) {
  std::string error;
  EXPECT_FALSE(kv::OpenRunLog(fs::temp_directory_path().string(), error));  // a folder
  EXPECT_NE(error.find(fs::temp_directory_path().string()), std::string::npos) << error;
  EXPECT_FALSE(kv::RunLogOpen());
}

}  // namespace
