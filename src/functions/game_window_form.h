#pragma once
// A form shown inside the game window (splashes and the game information with "in the game window" set): its
// pixels are drawn over the game's drawing area every frame, it hears the keys and clicks the game window gets,
// and the game waits until it closes.
#include <cstdint>
#include <vector>

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

// A modal form over the game in full screen (messages, questions, text input, score table, menu, colour chooser):
// a second window there could hide behind the game or switch the display mode, so the form is drawn inside the game
// window instead, centred over the last game frame, which stays visible around it. Returns false (without running
// the form) unless the game window is a live full-screen window with a device to draw with. `arrow`: the mouse
// pointer shows while the form is open (the game's own cursor, a sprite drawn in its frames or none, is back after).
bool RunModalFormOverGame(plat::IFormController& form, bool arrow);

// Where a form of formWidth × formHeight goes on a frame of frameWidth × frameHeight: centred, at its own size or,
// when larger than the frame, scaled down to fit (proportions kept).
struct FormPlacement {
  int left = 0, top = 0, width = 0, height = 0;
  // A frame point → the form's point (outside the form gives points outside 0 … form size).
  void FrameToForm(int fx, int fy, int formWidth, int formHeight, int& x, int& y) const;
};
FormPlacement PlaceFormCentred(int frameWidth, int frameHeight, int formWidth, int formHeight);

// The frame with the form drawn over it at `at` (nearest pixel when scaled down; the form is opaque).
void DrawFormOverFrame(std::vector<uint32_t>& frame, int frameWidth, int frameHeight, const plat::FormPixels& form,
                       const FormPlacement& at);

}  // namespace kv
