#include "runner/run_log.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <cerrno>
#include <iostream>
#include <mutex>
#include <streambuf>

namespace kv {

namespace {

struct LogState {
  std::mutex mutex;
  std::FILE* file = nullptr;
  std::optional<LogLevel> stderrLevel = LogLevel::Warn;
  std::string pending;  // the unfinished line written to std::cerr
};
LogState& State() {
  static LogState state;
  return state;
}

const char* LevelName(LogLevel level) {
  switch (level) {
    case LogLevel::Info: return "INFO";
    case LogLevel::Warn: return "WARN";
    case LogLevel::Error: return "ERROR";
  }
  return "INFO";
}

// Writes one entry per non-empty line of text; the caller holds the mutex.
void WriteLocked(LogState& s, LogLevel level, std::string_view text) {
  if (!s.file) return;
  const auto now = std::chrono::system_clock::now();
  // The game's messages break lines with carriage returns as well: every line is an entry of its own.
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (!line.empty()) {
      const std::string entry = FormatLogLine(now, level, line) + "\n";
      std::fwrite(entry.data(), 1, entry.size(), s.file);
    }
    start = end + 1;
  }
  std::fflush(s.file);  // a run that crashes keeps what it logged
}

// std::cerr's buffer while the log is open: passes everything on to stderr at once and copies finished lines
// into the log.
class TeeBuffer final : public std::streambuf {
 public:
  explicit TeeBuffer(std::streambuf* original) : original_(original) {}
  std::streambuf* Original() const { return original_; }

 protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    const char ch = static_cast<char>(c);
    original_->sputc(ch);
    Copy(&ch, 1);
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const std::streamsize written = original_->sputn(s, n);
    Copy(s, static_cast<size_t>(n));
    return written;
  }
  int sync() override { return original_->pubsync(); }

 private:
  void Copy(const char* s, size_t n) {
    LogState& st = State();
    std::lock_guard lock(st.mutex);
    st.pending.append(s, n);
    const size_t lastEnd = st.pending.rfind('\n');
    if (lastEnd == std::string::npos) return;
    if (st.stderrLevel) WriteLocked(st, *st.stderrLevel, std::string_view(st.pending).substr(0, lastEnd));
    st.pending.erase(0, lastEnd + 1);
  }
  std::streambuf* original_;
};

TeeBuffer* g_tee = nullptr;

}  // namespace

std::string FormatLogLine(std::chrono::system_clock::time_point when, LogLevel level, std::string_view text) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
  std::tm local{};
  if (const std::tm* t = std::localtime(&seconds)) local = *t;
  char stamp[40];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  char ms[8];
  std::snprintf(ms, sizeof ms, ".%03d", static_cast<int>(millis < 0 ? millis + 1000 : millis));
  return std::string(stamp) + ms + " " + LevelName(level) + " " + std::string(text);
}

bool OpenRunLog(const std::string& file, std::string& error) {
  CloseRunLog();
  std::FILE* f = std::fopen(file.c_str(), "w");
  if (!f) {
    error = file + ": " + std::strerror(errno);
    return false;
  }
  {
    std::lock_guard lock(State().mutex);
    State().file = f;
    State().pending.clear();
  }
  g_tee = new TeeBuffer(std::cerr.rdbuf());
  std::cerr.rdbuf(g_tee);
  return true;
}

void CloseRunLog() {
  if (g_tee) {
    std::cerr.flush();
    std::cerr.rdbuf(g_tee->Original());
    delete g_tee;
    g_tee = nullptr;
  }
  LogState& s = State();
  std::lock_guard lock(s.mutex);
  if (!s.file) return;
  if (!s.pending.empty() && s.stderrLevel) WriteLocked(s, *s.stderrLevel, s.pending);
  s.pending.clear();
  std::fclose(s.file);
  s.file = nullptr;
}

bool RunLogOpen() {
  std::lock_guard lock(State().mutex);
  return State().file != nullptr;
}

void LogLine(LogLevel level, std::string_view text) {
  LogState& s = State();
  std::lock_guard lock(s.mutex);
  WriteLocked(s, level, text);
}

StderrLogLevel::StderrLogLevel(std::optional<LogLevel> level) {
  std::lock_guard lock(State().mutex);
  previous_ = State().stderrLevel;
  State().stderrLevel = level;
}

StderrLogLevel::~StderrLogLevel() {
  std::lock_guard lock(State().mutex);
  State().stderrLevel = previous_;
}

}  // namespace kv
