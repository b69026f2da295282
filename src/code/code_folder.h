// Compile phase four: marks `var` locals, turns constant targets into fixed-target variables and folds constant
// operations with the run-time operator rules (their messages become compile errors).
#pragma once

#include <string_view>
#include <vector>

#include "code/code_parser.h"

namespace kv {

// localIds receives every id declared by `var` in the code (the code's frame slots, in order).
bool ResolveAndFold(std::string_view text, bool isProgram, SyntaxNode& root, std::vector<int>& localIds);

}  // namespace kv
