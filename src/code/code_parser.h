// Compile phase three: recursive-descent parser from resolved tokens to the syntax tree.
#pragma once

#include <string_view>
#include <vector>

#include "code/code_resolver.h"
#include "code/code_value.h"

namespace kv {

// Tree node kinds (operator codes are the token codes of code_lexer.h).
enum NodeKind : int {
  kNodeEmptyProgram = -2, kNodeEmpty = -1, kNodeConst = 5, kNodeCall = 6, kNodeVar = 7, kNodeVarConst = 8,
  kNodeIf = 13, kNodeWhile = 16, kNodeDo = 17, kNodeFor = 18, kNodeRepeat = 20, kNodeExit = 21,
  kNodeBreak = 22, kNodeContinue = 23, kNodeWith = 24, kNodeReturn = 25, kNodeSwitch = 26, kNodeCase = 27,
  kNodeDefault = 28, kNodeVarDecl = 29, kNodeGlobalVar = 30, kNodeAssign = 101, kNodeBlock = 1000,
  kNodeUnary = 1010, kNodeBinary = 1011,
};

// Variable targets.
enum : int {
  kTargetSelf = -1, kTargetOther = -2, kTargetAll = -3, kTargetNoone = -4, kTargetGlobal = -5,
  kTargetPlain = -6, kTargetLocal = -7,
};

struct SyntaxNode {
  int kind = kNodeEmpty;
  int index = 0;     // function id, variable id or operator code
  int target = 0;    // constant target of a kVarConst node
  RValue value;      // constants
  int position = 0;  // 1-based source position for messages
  std::vector<SyntaxNode> children;
};

// Parses a program (isProgram) or an expression. Records the first error and returns false.
bool Parse(std::string_view text, bool isProgram, const std::vector<ResolvedToken>& tokens, SyntaxNode& root);

}  // namespace kv
