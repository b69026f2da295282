#include "code/code_code.h"

#include <vector>

#include "code/code_error.h"
#include "code/code_exec_tree.h"
#include "code/code_function.h"
#include "code/code_phase1.h"
#include "code/code_phase2.h"
#include "code/code_phase3.h"
#include "code/code_phase4.h"
#include "code/code_variable.h"
#include "code/variable_builtin.h"

namespace kv {

CCode::CCode(std::string text, bool isExpression)
    : text_(std::move(text)), kind_(isExpression ? kExpression : kProgram) {}

CCode::~CCode() = default;

bool CCode::Compile() {
  const bool isProgram = kind_ == kProgram;
  if (compiled_) {
    ClearErrorPending();
    RecordError(text_, isProgram, 0, "Internal Error: Recompiling compiled code.");
    return false;
  }
  ClearErrorPending();
  std::vector<RToken1> tokens1;
  if (!Tokenize(text_, isProgram, tokens1)) return false;
  std::vector<RToken2> tokens2;
  if (!Resolve(text_, isProgram, tokens1, tokens2)) return false;
  tokens1.clear();
  RToken root;
  if (!Parse(text_, isProgram, tokens2, root)) return false;
  std::vector<int> localIds;
  if (!ResolveAndFold(text_, isProgram, root, localIds)) return false;
  if (!isProgram && root.kind == kNodeConst) {
    kind_ = kConstantExpression;
    constant_ = root.value;
  }
  tree_ = BuildExecTree(root, !isProgram, localIds);
  compiled_ = true;
  return true;
}

void InitializeLanguage() {
  RegisterCoreBuiltinVariables();
  RegisterAllBuiltinFunctions();
}

}  // namespace kv
