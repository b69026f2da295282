// How the debugger shows values and variables: the value column of the watch grid and the lines of the
// information windows.
#pragma once

#include <string>
#include <string_view>

#include "code/code_value.h"

namespace kv::debugger {

// The line between the sections of a variables window.
inline constexpr const char* kSectionSeparator = "________________________________";  // 32

// A string unchanged; a real within 1e-12 of an integer as that integer, otherwise in fixed notation with the
// fewest of 2, 4, 6 or 8 decimals that show it within 1e-12, else with 10 decimals.
std::string FormatReal(double value);
std::string FormatValue(const RValue& value);

// "name:" padded with spaces to 20 characters, the value and a line break; NUL characters are dropped.
std::string VariableLine(std::string_view name, std::string_view value);

}  // namespace kv::debugger
