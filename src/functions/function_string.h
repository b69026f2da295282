// String functions of the math family. Strings are byte strings, positions are 1-based.
// The pure helpers work on std::string_view so they can be tested and reused without the interpreter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

// `count` bytes from 1-based `index`: index < 1 counts as 1; past the end or count < 0 -> empty;
// the count is cut to what is available. The view points into s.
std::string_view StringCopy(std::string_view s, int64_t index, int64_t count);
// s without `count` bytes from `index`; index < 1, past the end or count <= 0 -> s unchanged.
std::string StringDelete(std::string_view s, int64_t index, int64_t count);
// s with sub inserted before `index`; index < 1 counts as 1, past the end appends.
std::string StringInsert(std::string_view sub, std::string_view s, int64_t index);
// 1-based position of the first sub in s; 0 when absent or sub is empty.
int64_t StringPos(std::string_view sub, std::string_view s);
// Non-overlapping occurrences counted left to right; 0 for an empty sub.
int64_t StringCount(std::string_view sub, std::string_view s);
// The first (or every, left to right, without rescanning inserted text) sub replaced by repl.
// Returns false when the result would exceed the longest string a value may hold.
bool StringReplace(std::string_view s, std::string_view sub, std::string_view repl, bool all, std::string& out);
// s repeated count times (empty for count <= 0); false when the result would be too long.
bool StringRepeat(std::string_view s, int64_t count, std::string& out);

std::string StringLower(std::string_view s);   // A-Z -> a-z only
std::string StringUpper(std::string_view s);   // a-z -> A-Z only
std::string StringFilter(std::string_view s, bool letters, bool digits);  // keep A-Z a-z and/or 0-9

// Registers chr, ord and the string_* functions (called by RegisterMathFunctions).
void RegisterStringFunctions();

}  // namespace kv
