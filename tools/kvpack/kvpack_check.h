#pragma once
// Compiles every piece of code of a packed project with the runner's own compiler, so mistakes are reported with
// the file, line and column of the project's source instead of at run time.
#include <string>
#include <vector>

#include "kvpack_project.h"

namespace kv::pack {

struct CodeProblem {
  std::string file;  // relative to the project directory ("objects/a.kvs", or "game.kvp" for manifest code)
  int line = 0;      // 1-based; 0 when the compiler gave no position
  int column = 0;    // 1-based, counted in characters of the line as a text editor shows it
  std::string message;
  std::string Text() const;  // "file:line:column: message" (the parts that are known)
};

// Compiles the constants, scripts, code actions, action arguments and creation codes of the packed game.
// Leaves the language's global tables (scripts, constants, resources) as it found them empty.
std::vector<CodeProblem> CheckCode(PackedGame& packed);

// The compiler's pending message ("Error in code at line L:" ... "at position C: message") taken apart into
// line, column and message for code stored with CR LF line ends.
CodeProblem ProblemFromCompilerMessage(const std::string& pending, bool expression);

}  // namespace kv::pack
