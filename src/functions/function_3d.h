// Script functions of 3D drawing (d3d_*) and 3D models (d3d_model_*).
#pragma once

#include <functional>
#include <string>

namespace kv {

void Register3DFunctions();
// Where "Failed to use 3D mode." goes (the runner's message box); null: standard error.
void Set3DMessageHook(std::function<void(const std::string&)> hook);

}  // namespace kv
