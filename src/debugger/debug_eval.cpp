#include "debugger/debug_eval.h"

#include <exception>

#include "code/code_error.h"
#include "code/code_exec.h"
#include "debugger/debug_format.h"
#include "world/instance_class.h"
#include "world/world_state.h"

namespace kv::debugger {

namespace {

// What game code may see of errors and room requests, put back after a watch ran.
class ErrorGuard {
 public:
  ErrorGuard()
      : settings_(GetErrorSettings()),
        occurred_(ErrorOccurred()),
        last_(LastError()),
        aborting_(Aborting()),
        pending_(PendingRoomChange()) {
    ErrorSettings quiet;
    quiet.displayErrors = false;
    quiet.writeErrors = false;
    quiet.abortOnError = false;
    SetErrorSettings(quiet);
    SetErrorOccurred(false);
  }
  ~ErrorGuard() {
    // A fatal error raised by the watch (a function asking for a missing room, say) must not end the game.
    if (Aborting() && !aborting_) ResetErrorState();
    SetErrorSettings(settings_);
    SetErrorOccurred(occurred_);
    SetLastError(last_);
    SetPendingRoomChange(pending_);
    ClearErrorPending();
  }
  ErrorGuard(const ErrorGuard&) = delete;
  ErrorGuard& operator=(const ErrorGuard&) = delete;

  // The message of an error reported while the guard was up, "" when none.
  std::string Reported() const { return ErrorOccurred() ? LastError() : std::string(); }

 private:
  ErrorSettings settings_;
  bool occurred_;
  std::string last_;
  bool aborting_;
  int pending_;
};

// An error message on one line, without the "ERROR in / action number ..." header of run-time reports.
std::string OneLine(std::string message) {
  if (const size_t body = message.rfind("\r\n\r\n"); body != std::string::npos) message.erase(0, body + 4);
  std::string line;
  for (char c : message) {
    if (c == '\r' || c == '\n') {
      if (!line.empty() && line.back() != ' ') line.push_back(' ');
    } else {
      line.push_back(c);
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

CInstance MakeScratchInstance() { return CInstance(0, 0, 0, 0); }

}  // namespace

Watch::Watch(std::string expression) : expression_(std::move(expression)) {
  auto code = std::make_unique<CCode>(expression_, true);
  if (code->Compile()) code_ = std::move(code);
  ClearErrorPending();
}

std::string Watch::Evaluate() const {
  if (!code_) return kCompileError;
  return EvaluateGuarded(*code_);
}

std::string EvaluateGuarded(const CCode& code) {
  ErrorGuard guard;
  CInstance scratch = MakeScratchInstance();
  RValue result;
  try {
    if (!RunForValue(&scratch, &scratch, &code, result)) return OneLine(PendingMessage());
  } catch (const std::exception& e) {
    return e.what();
  }
  if (std::string reported = guard.Reported(); !reported.empty()) return OneLine(reported);
  return FormatValue(result);
}

bool ExecuteCode(const std::string& text) {
  CCode code(text, false);
  if (!code.Compile()) {
    ClearErrorPending();
    return false;
  }
  CInstance scratch = MakeScratchInstance();
  RValue result;
  try {
    ArgumentFrame frame(nullptr, 0);
    if (frame.Ok()) RunProgram(&scratch, &scratch, &code, result);
  } catch (const std::exception&) {
    // An arithmetic fault abandons the code, as it abandons a step.
  }
  return true;
}

}  // namespace kv::debugger
