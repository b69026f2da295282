// The debug window is built as a module of its own, libkvdebugger.so beside the executable, and opened with dlopen
// when the debugger starts: Dear ImGui and the libraries it brings then cost nothing to the runs without the
// debugger. The module calls back into the runner only through this table.
#pragma once

#include <string>
#include <string_view>

#include "platform/debug_window.h"
#include "platform/sdl/sdl_event_route.h"

namespace kv::plat {

struct DebugWindowHost {
  void (*setEventRoute)(uint32_t windowId, SdlEventHandler handler);
  std::string (*cp1252ToUtf8)(std::string_view bytes);
  std::string (*utf8ToCp1252)(std::string_view utf8, char replacement);
  std::string (*withoutAmpersands)(std::string_view caption);
};

inline constexpr const char* kDebugWindowModule = "libkvdebugger.so";
// The module's one exported function: a new window, or null with the reason in `failure`. The name carries the
// version of this table, so a module of another build is refused instead of called wrongly.
inline constexpr const char* kDebugWindowEntry = "kv_create_debug_window_1";
using DebugWindowEntry = IDebugWindow* (*)(const DebugWindowHost* host, std::string* failure);

}  // namespace kv::plat
