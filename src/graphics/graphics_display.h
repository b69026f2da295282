// The desktop display mode as games see and change it.
//
// With a real screen the game window's display modes are the ones offered: a change picks one of them and the
// window uses it for full screen (exclusive full screen in that mode; without a change the window just covers
// the desktop). A windowed game's request is remembered and takes effect when the game enters full screen; the
// desktop gets its own mode back on display_reset, on leaving full screen and when the window goes away. The
// depth reported is always 32 bits (frames are drawn in 32 bits whatever a game asks for).
//
// Without a screen (headless runs, tests) a virtual desktop answers instead and takes the changes itself.
#pragma once

#include <optional>
#include <vector>

#include "platform/display.h"

namespace kv::gfx {

// A display without a screen (headless runs, tests): a desktop of the given size, 32 bits, 60 Hz, accepting
// the standard modes that fit on it; the desktop mouse is the game window's mouse plus the client origin.
class VirtualDisplay final : public plat::IDisplay {
 public:
  explicit VirtualDisplay(int width = 1024, int height = 768);
  plat::DisplayMode Desktop() const override { return current_; }
  bool SetMode(int width, int height, int frequency, int bitsPerPixel, bool testOnly) override;
  void Restore() override { current_ = stored_; }
  void GlobalMouse(int& x, int& y) const override;
  void SetGlobalMouse(int x, int y) override;
  void WaitVBlank() override {}

 private:
  plat::DisplayMode stored_, current_;
};

// Attaches the platform display; null returns to the virtual 1024 × 768 one and forgets any mode request. With
// a platform display the modes are those of the attached game window (Win().window). The window and device
// learn the desktop size from it, again after every accepted mode change and when full screen comes or goes.
void AttachDisplay(plat::IDisplay* display);
// The window entered or left full screen: the desktop size seen by the window and device follows the mode on
// the screen.
void DisplayFollowsWindow();

// The mode a request picks from the listed modes: width and height ≤ 0 are those of `current` (the mode
// requested so far, or the desktop's); a frequency ≤ 0 keeps the current rate when that size has it, else the
// highest the size offers; depth must be ≤ 0, 16 or 32. The desktop's own mode is always among the choices.
// Rates of 0 (not told by the window system) count as 60. None when no mode fits.
std::optional<plat::DisplayMode> PickDisplayMode(const std::vector<plat::DisplayMode>& modes,
                                                 const plat::DisplayMode& current, const plat::DisplayMode& desktop,
                                                 int width, int height, int frequency, int depth);
// The mode full screen is to use on a real screen, none for the desktop's own.
std::optional<plat::DisplayMode> RequestedDisplayMode();

int DisplayWidth();
int DisplayHeight();
int DisplayColourDepth();
int DisplayFrequency();
// A parameter ≤ 0 is left unchanged; true exactly when the platform accepts the mode.
bool ChangeDisplay(int width, int height, int frequency, int depth);
bool TestDisplay(int width, int height, int frequency, int depth);
void RestoreDisplay();
int DisplayMouseX();
int DisplayMouseY();
void SetDisplayMouse(int x, int y);
void WaitVerticalBlank();

// Settings codes of "set resolution": colour depth 1 → 16, 2 → 32; resolution 1 … 6 → 320 × 240 …
// 1600 × 1200; frequency 1 … 5 → 60, 70, 85, 100, 120; other codes → 0 (leave unchanged).
int DepthFromCode(int code);
void ResolutionFromCode(int code, int& width, int& height);
int FrequencyFromCode(int code);

}  // namespace kv::gfx
