#include "code/code_code.h"

#include <vector>

#include "code/code_error.h"
#include "code/code_exec_tree.h"
#include "code/code_function.h"
#include "code/code_lexer.h"
#include "code/code_resolver.h"
#include "code/code_parser.h"
#include "code/code_folder.h"
#include "code/code_variable.h"

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
  std::vector<LexToken> tokens1;
  if (!Tokenize(text_, isProgram, tokens1)) return false;
  std::vector<ResolvedToken> tokens2;
  if (!Resolve(text_, isProgram, tokens1, tokens2)) return false;
  tokens1.clear();
  SyntaxNode root;
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

}  // namespace kv
