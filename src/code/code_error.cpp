#include "code/code_error.h"

#include <cstdio>
#include <iostream>

namespace kv {

namespace {
struct ErrorState {
  std::string pendingMessage;
  bool occurred = false;
  std::string last;
  bool firstLogWrite = true;
  bool aborting = false;
  ErrorSettings settings;
  ErrorContextProvider context;
  ErrorHooks hooks;
};
ErrorState g_state;  // plain global: the pending flag is touched by every run
inline ErrorState& State() { return g_state; }
}  // namespace

namespace detail {
bool g_errorPending = false;
}
const std::string& PendingMessage() { return State().pendingMessage; }
void SetPendingMessage(std::string message) {
  detail::g_errorPending = true;
  State().pendingMessage = std::move(message);
}

std::string FormatCodeError(std::string_view text, bool isProgram, int pos, std::string_view msg) {
  long p = pos;
  if (p > static_cast<long>(text.size())) p = static_cast<long>(text.size());
  if (p < 1) p = 1;
  // Line = 1 + carriage returns among the first p characters; column = characters after the last of them.
  int line = 1;
  size_t lineStart = 0;  // index of the first character of p's line
  size_t limit = std::min(static_cast<size_t>(p), text.size());
  for (size_t i = 0; i < limit; ++i) {
    if (text[i] == '\r') {
      ++line;
      lineStart = i + 1;
    }
  }
  long column = p - static_cast<long>(lineStart);
  std::string out;
  if (isProgram) {
    size_t end = text.find('\r', lineStart);
    if (end == std::string_view::npos) end = text.size();
    std::string_view lineText = lineStart <= text.size() ? text.substr(lineStart, end - lineStart) : std::string_view();
    out = "Error in code at line " + std::to_string(line) + ":\r   " + std::string(lineText) + "\r\rat position " +
          std::to_string(column) + ": " + std::string(msg);
  } else {
    out = "Error in expression:" + std::string(text) + "\r position " + std::to_string(column) + ": " +
          std::string(msg);
  }
  return out;
}

void RecordError(std::string_view text, bool isProgram, int pos, std::string_view msg) {
  ErrorState& s = State();
  if (detail::g_errorPending) return;
  detail::g_errorPending = true;
  s.pendingMessage = FormatCodeError(text, isProgram, pos, msg);
}

void RecordPlainError(std::string_view msg) {
  ErrorState& s = State();
  if (detail::g_errorPending) return;
  detail::g_errorPending = true;
  s.pendingMessage = std::string(msg);
}

void SetErrorSettings(const ErrorSettings& settings) { State().settings = settings; }
const ErrorSettings& GetErrorSettings() { return State().settings; }
void SetErrorContextProvider(ErrorContextProvider provider) { State().context = std::move(provider); }
void SetErrorHooks(ErrorHooks hooks) { State().hooks = std::move(hooks); }

std::string FormatRuntimeError(std::string_view msg, bool fatal, const ErrorActionContext& ctx) {
  std::string out = fatal ? "FATAL " : "";
  out += "ERROR in\r\naction number " + std::to_string(ctx.actionIndex + 1) + "\r\n";
  if (ctx.timeLine) {
    out += "at time step " + std::to_string(ctx.timeStep) + "\r\nof time line " + ctx.timeLineName;
  } else {
    out += "of " + ctx.eventName + "\r\nfor object " + ctx.objectName;
  }
  out += ":\r\n\r\n";
  out += msg;
  return out;
}

void ReportRuntimeError(std::string_view msg, bool fatal) {
  ErrorState& s = State();
  ErrorActionContext ctx;
  if (s.context) ctx = s.context();
  ReportError(FormatRuntimeError(msg, fatal, ctx), fatal);
}

namespace {
bool DefaultErrorWindow(const std::string& message, bool /*allowIgnore*/) {
  std::string shown;
  shown.reserve(message.size());
  for (char c : message) {
    if (c == '\r') shown += '\n';
    else if (c != '\n') shown += c;
  }
  std::cerr << "\n___________________________________________\n" << shown << std::endl;
  return true;  // Abort is the window's default button
}

void AppendToLog(const std::string& message) {
  ErrorState& s = State();
  std::FILE* f = std::fopen(kErrorLogName, s.firstLogWrite ? "wb" : "ab");
  s.firstLogWrite = false;
  if (!f) return;  // a log that cannot be written never stops the report
  std::fwrite(message.data(), 1, message.size(), f);
  std::fwrite("\r\n\r\n\r\n", 1, 6, f);
  std::fclose(f);
}
}  // namespace

void ReportError(std::string_view msgView, bool fatal) {
  ErrorState& s = State();
  if (s.aborting) return;
  std::string msg(msgView);
  if (s.settings.abortOnError) fatal = true;
  if (s.settings.displayErrors) {
    bool abort = s.hooks.showErrorWindow ? s.hooks.showErrorWindow(msg, !fatal) : DefaultErrorWindow(msg, !fatal);
    if (!fatal && abort) fatal = true;
  }
  if (s.hooks.clearInput) s.hooks.clearInput();
  if (s.settings.writeErrors) AppendToLog(msg);
  s.last = msg;
  s.occurred = true;
  if (fatal) {
    s.aborting = true;
    if (s.hooks.requestQuit) s.hooks.requestQuit();
  }
}

bool ErrorOccurred() { return State().occurred; }
void SetErrorOccurred(bool v) { State().occurred = v; }
const std::string& LastError() { return State().last; }
void SetLastError(std::string str) { State().last = std::move(str); }
bool Aborting() { return State().aborting; }

void ResetErrorState() {
  ErrorState& s = State();
  detail::g_errorPending = false;
  s.pendingMessage.clear();
  s.occurred = false;
  s.last.clear();
  s.firstLogWrite = true;
  s.aborting = false;
}

}  // namespace kv
