// The first two joysticks SDL knows, polled on each read: SDL_JoystickUpdate refreshes their state without
// filling the event queue, and background events are allowed so a joystick still reads while the window is not
// focused (as the games expect from a direct device read).
#include <SDL.h>

#include <algorithm>

#include "platform/joysticks.h"

namespace kv::plat {
namespace {

class SdlJoysticks final : public IJoysticks {
 public:
  ~SdlJoysticks() override {
    for (SDL_Joystick*& j : open_)
      if (j) SDL_JoystickClose(j);
    if (started_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }

  std::optional<JoyState> Read(int index) override {
    if (index < 0 || index > 1 || !Start()) return std::nullopt;
    SDL_JoystickUpdate();
    SDL_Joystick*& j = open_[index];
    if (j && !SDL_JoystickGetAttached(j)) {
      SDL_JoystickClose(j);
      j = nullptr;
    }
    if (!j) {
      if (index >= SDL_NumJoysticks()) return std::nullopt;
      j = SDL_JoystickOpen(index);
      if (!j) return std::nullopt;
    }
    JoyState s;
    const char* name = SDL_JoystickName(j);
    s.name = name ? name : "";
    s.axisCount = std::max(0, SDL_JoystickNumAxes(j));
    s.buttonCount = std::max(0, SDL_JoystickNumButtons(j));
    s.hasPov = SDL_JoystickNumHats(j) > 0;
    for (int a = 0; a < std::min<int>(s.axisCount, static_cast<int>(s.axes.size())); ++a)
      s.axes[a] = SDL_JoystickGetAxis(j, a) + 32768;
    for (int b = 0; b < std::min(s.buttonCount, 32); ++b)
      if (SDL_JoystickGetButton(j, b)) s.buttons |= 1u << b;
    if (s.hasPov) s.pov = HatHundredths(SDL_JoystickGetHat(j, 0));
    return s;
  }

 private:
  bool Start() {
    if (started_) return true;
    if (failed_) return false;
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
      failed_ = true;
      return false;
    }
    SDL_JoystickEventState(SDL_IGNORE);
    started_ = true;
    return true;
  }

  static int HatHundredths(Uint8 hat) {
    switch (hat) {
      case SDL_HAT_UP: return 0;
      case SDL_HAT_RIGHTUP: return 4500;
      case SDL_HAT_RIGHT: return 9000;
      case SDL_HAT_RIGHTDOWN: return 13500;
      case SDL_HAT_DOWN: return 18000;
      case SDL_HAT_LEFTDOWN: return 22500;
      case SDL_HAT_LEFT: return 27000;
      case SDL_HAT_LEFTUP: return 31500;
      default: return -1;
    }
  }

  bool started_ = false, failed_ = false;
  SDL_Joystick* open_[2] = {nullptr, nullptr};
};

}  // namespace

std::unique_ptr<IJoysticks> CreateSdlJoysticks() { return std::make_unique<SdlJoysticks>(); }

}  // namespace kv::plat
