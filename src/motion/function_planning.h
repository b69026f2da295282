// The motion-planning built-in functions: linear and potential-field steps and paths, their settings, and grids.
#pragma once

namespace kv {

void RegisterPlanningFunctions();

}  // namespace kv
