#pragma once
// A form shown inside the game window (splashes and the game information with "in the game window" set): its
// pixels are drawn over the game's drawing area every frame, it hears the keys and clicks the game window gets,
// and the game waits until it closes.
#include <cstdint>

#include "platform/dialogs.h"

namespace kv {

namespace plat {
class IClock;
}

struct GameWindowWait {
  plat::IClock* clock = nullptr;  // the run's clock (null: none, time does not pass)
  // A real window: its events are processed and the form plays in real time. Otherwise (headless) a form with a
  // length lasts that long on the clock, one without waits for the scripted input and ends with it.
  bool liveWindow = false;
  int64_t lengthMillis = 0;       // how long the form lasts by itself; 0: until it is closed
  int colour = 0;                 // the window's colour meanwhile (beside a scaled drawing area)
};

// The size of the area the form gets: the game's drawing area (the window's client area before the device
// exists). False when there is no game window to draw into.
bool GameWindowFormArea(int& width, int& height);

// Runs the form until it closes; false (without running it) when there is no device to draw with.
bool RunFormInGameWindow(plat::IFormController& form, const GameWindowWait& how);

}  // namespace kv
