#include "runner/build_info.h"

namespace kv {
const char* RunnerName() { return "Korvane Runner"; }
const char* RunnerVersion() { return "0.1.0"; }
}  // namespace kv
