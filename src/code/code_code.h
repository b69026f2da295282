// CCode: one compiled piece of code, a program or an expression, compiled once and run many times.
#pragma once

#include <memory>
#include <string>

#include "code/code_value.h"

namespace kv {

struct ExecTree;

class CCode {
 public:
  enum Kind : int { kProgram = 1, kExpression = 2, kConstantExpression = 3 };

  CCode(std::string text, bool isExpression);
  ~CCode();
  CCode(const CCode&) = delete;
  CCode& operator=(const CCode&) = delete;

  // Runs the compile phases. On failure the message is pending (code_error.h) and the code stays uncompiled;
  // compiling twice records "Internal Error: Recompiling compiled code.".
  bool Compile();

  const std::string& Text() const { return text_; }
  int GetKind() const { return kind_; }
  bool IsProgram() const { return kind_ == kProgram; }
  bool Compiled() const { return compiled_; }
  const RValue& Constant() const { return constant_; }
  const ExecTree* Tree() const { return tree_.get(); }

 private:
  std::string text_;
  int kind_;
  bool compiled_ = false;
  RValue constant_;
  std::unique_ptr<ExecTree> tree_;
};


}  // namespace kv
