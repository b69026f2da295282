#pragma once
// The run's log file (--log FILE): one line per entry, "YYYY-MM-DD HH:MM:SS.mmm LEVEL text" in local time, for
// loading progress, warnings and errors. While the log is open, every line written to std::cerr is copied into
// it too (stderr itself is unchanged): such lines are warnings unless a StderrLogLevel scope says otherwise.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

enum class LogLevel { Info, Warn, Error };

// Creates (or empties) the file and starts copying std::cerr into it; false with the reason when the file
// cannot be written. Only one log is open at a time.
bool OpenRunLog(const std::string& file, std::string& error);
// Stops copying std::cerr and closes the file (an unfinished last line is written first).
void CloseRunLog();
bool RunLogOpen();

// Writes an entry; text with several lines gives one entry per non-empty line. Nothing when no log is open.
void LogLine(LogLevel level, std::string_view text);

// Lines written to std::cerr while the scope lives get this level; std::nullopt keeps them out of the log
// (the caller logs the same thing in its own words).
class StderrLogLevel {
 public:
  explicit StderrLogLevel(std::optional<LogLevel> level);
  ~StderrLogLevel();
  StderrLogLevel(const StderrLogLevel&) = delete;
  StderrLogLevel& operator=(const StderrLogLevel&) = delete;

 private:
  std::optional<LogLevel> previous_;
};

// One line of the log, without its line end.
std::string FormatLogLine(std::chrono::system_clock::time_point when, LogLevel level, std::string_view text);

}  // namespace kv
