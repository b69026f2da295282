// Error recording and reporting for game code.
//
// The compiler and the interpreter record only the first error of a compile or run (the pending error) with
// its line and column; callers wrap it with what was running and hand it to ReportError, which shows it in the
// error window, logs it to "game_errors.log", remembers it for error_occurred/error_last and aborts the game
// as the settings say. The window, input clearing and the quit request are hooks so the platform can back them
// with real dialogs; by default (headless) the window text goes to stderr and its default answer (Abort) is taken.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kv {

// ---- pending error (first error of a compile or a run) ----
namespace detail {
extern bool g_errorPending;  // read through ErrorPending(); cleared at the start of every run
}
inline bool ErrorPending() { return detail::g_errorPending; }
inline void ClearErrorPending() { detail::g_errorPending = false; }
const std::string& PendingMessage();
// Replaces the pending message while keeping the flag set (used for the "In script X:" prefixes).
void SetPendingMessage(std::string message);
// Records msg at 1-based position pos of text unless an error is already pending. isProgram selects the
// program form ("Error in code at line …") or the expression form ("Error in expression:…").
void RecordError(std::string_view text, bool isProgram, int pos, std::string_view msg);
// Records a message as is (no position), unless an error is already pending.
void RecordPlainError(std::string_view msg);
// The formatted message RecordError would produce (exposed for tests and the debugger).
std::string FormatCodeError(std::string_view text, bool isProgram, int pos, std::string_view msg);

// ---- reporting ----
struct ErrorSettings {
  bool displayErrors = true;
  bool writeErrors = false;
  bool abortOnError = false;
};
void SetErrorSettings(const ErrorSettings& s);
const ErrorSettings& GetErrorSettings();

// What was running when a run-time error happened (object event or time line moment, and the action index).
struct ErrorActionContext {
  bool timeLine = false;
  int actionIndex = 0;          // 0-based; shown as +1
  int timeStep = 0;             // time lines only
  std::string timeLineName;     // time lines only
  std::string eventName;        // e.g. "Step Event"
  std::string objectName;
};
using ErrorContextProvider = std::function<ErrorActionContext()>;
void SetErrorContextProvider(ErrorContextProvider provider);

// Hooks. ShowErrorWindow returns true for abort (also when closed); the default writes to stderr and aborts.
struct ErrorHooks {
  std::function<bool(const std::string& message, bool allowIgnore)> showErrorWindow;
  std::function<void()> clearInput;   // keys/buttons released while the window was open must not stay down
  std::function<void()> requestQuit;  // fatal: pending room change "end after an error" + quit the main loop
};
void SetErrorHooks(ErrorHooks hooks);

// Wraps msg with the action context ("[FATAL ]ERROR in\r\naction number …") and reports it.
void ReportRuntimeError(std::string_view msg, bool fatal = false);
std::string FormatRuntimeError(std::string_view msg, bool fatal, const ErrorActionContext& ctx);
// Shows, logs and remembers msg; aborts when fatal (or made fatal by the settings or the player).
void ReportError(std::string_view msg, bool fatal);

// error_occurred / error_last and the abort state.
bool ErrorOccurred();
void SetErrorOccurred(bool v);
const std::string& LastError();
void SetLastError(std::string s);
bool Aborting();
// Back to the state at program start (tests, restart of the runner state).
void ResetErrorState();

// Name of the log file, relative to the working directory.
inline constexpr const char* kErrorLogName = "game_errors.log";

}  // namespace kv
