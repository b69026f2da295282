// Named constants: resource names (through a resolver the resource tables install), then the named-constant list
// (built-in constants first, then user and extension constants; the newest definition of a name wins).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "code/code_value.h"

namespace kv {

// Resource lookup, in the fixed kind order (object, sprite, sound, background, path, font, time line, script,
// room): returns true and the index when a resource has that exact name.
using ResourceNameResolver = std::function<bool(std::string_view name, int& index)>;
void SetResourceNameResolver(ResourceNameResolver resolver);

void AddConstant(std::string_view name, const RValue& value);
bool FindConstant(std::string_view name, RValue& out);
// Back to only the built-in constants (program start state).
void ResetConstants();

// Defines a user or extension constant: the trimmed name must be an identifier, the value text is compiled
// as an expression and run with a temporary instance. Failures show the message box text through
// `messageBox` ("Constant name X  is not valid." / "Value for constant X  is not valid.") and return false.
bool DefineConstant(std::string_view name, std::string_view valueText,
                    const std::function<void(const std::string&)>& messageBox);

}  // namespace kv
