#include "platform/sdl/sdl_event_route.h"

#include <SDL.h>

#include <map>

namespace kv::plat {

namespace {

std::map<uint32_t, SdlEventHandler>& Routes() {
  static std::map<uint32_t, SdlEventHandler> routes;
  return routes;
}

// The window an event concerns, 0 for events of no window (quit, joystick, ...).
uint32_t WindowOf(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT: return e.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP: return e.key.windowID;
    case SDL_TEXTINPUT: return e.text.windowID;
    case SDL_TEXTEDITING: return e.edit.windowID;
    case SDL_MOUSEMOTION: return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return e.button.windowID;
    case SDL_MOUSEWHEEL: return e.wheel.windowID;
    default: return 0;
  }
}

}  // namespace

void SetSdlEventRoute(uint32_t windowId, SdlEventHandler handler) {
  if (handler) Routes()[windowId] = std::move(handler);
  else Routes().erase(windowId);
}

bool RouteSdlEvent(const SDL_Event& event) {
  if (Routes().empty()) return false;
  const uint32_t window = WindowOf(event);
  if (window == 0) return false;
  const auto it = Routes().find(window);
  if (it == Routes().end()) return false;
  // The handler may remove its own route.
  const SdlEventHandler handler = it->second;
  handler(event);
  return true;
}

}  // namespace kv::plat
