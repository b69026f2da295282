// Compile phase two: resolves identifiers (function, constant or variable id) and turns literals into values.
#pragma once

#include <string_view>
#include <vector>

#include "code/code_lexer.h"
#include "code/code_value.h"

namespace kv {

struct ResolvedToken {
  int kind = kTokEnd;  // kTokConstant, kTokFunction, kTokVariable, kTokBad, or the phase-one kind
  int index = 0;       // function id or variable id
  RValue value;        // constants
  int position = 0;
};

// The value of a number token: left to right, "$" hexadecimal, every "." switches to (again) fraction mode.
double NumberTokenValue(std::string_view text);

// Resolves list1 into out. Records the first error ("Unknown function or script: X", or "Number too large."
// for a literal beyond the double range) and returns false.
bool Resolve(std::string_view text, bool isProgram, const std::vector<LexToken>& list1, std::vector<ResolvedToken>& out);

}  // namespace kv
