// Running the debugger's code against the game: watch expressions in a guarded context and code typed in by
// the user. Both run with a temporary instance (id 0, object 0, at 0,0, in no room) as self and other.
#pragma once

#include <memory>
#include <string>

#include "code/code_code.h"

namespace kv::debugger {

inline constexpr const char* kCompileError = "COMPILE ERROR";

// One watch: the expression typed in and its compiled form (compiled once, when the text is set).
class Watch {
 public:
  explicit Watch(std::string expression);
  const std::string& Expression() const { return expression_; }
  bool Compiled() const { return code_ != nullptr; }
  // The value to show: the formatted value, "COMPILE ERROR", or the text of the error the evaluation met.
  // Evaluating never reports an error to the game, never changes error_occurred / error_last or a pending room
  // change, and never ends the game.
  std::string Evaluate() const;

 private:
  std::string expression_;
  std::unique_ptr<CCode> code_;
};

// Compiles text as a program and runs it (errors at run time are reported like any game error). False when it
// does not compile.
bool ExecuteCode(const std::string& text);

// A compiled expression or program run in the guarded context; for watches and tests.
std::string EvaluateGuarded(const CCode& code);

}  // namespace kv::debugger
