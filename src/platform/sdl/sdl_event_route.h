// One SDL event queue serves every window of the process. The game window drains it; events that belong to
// another window of ours (the debug window) are handed to that window's owner instead of the game.
#pragma once

#include <cstdint>
#include <functional>

union SDL_Event;

namespace kv::plat {

using SdlEventHandler = std::function<void(const SDL_Event&)>;
// Routes the events of the window with this id to the handler; a null handler removes the route.
void SetSdlEventRoute(uint32_t windowId, SdlEventHandler handler);
// Hands the event to its window's handler; false when it belongs to no routed window.
bool RouteSdlEvent(const SDL_Event& event);

}  // namespace kv::plat
