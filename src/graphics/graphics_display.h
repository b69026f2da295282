// The desktop display mode as games see and change it. Mode changes are only checked against the modes the
// platform lists and take effect in full screen; the display functions report what was requested.
#pragma once

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

// Attaches the platform display; null returns to the virtual 1024 × 768 one. The window and device learn the
// desktop size from it, and again after every accepted mode change.
void AttachDisplay(plat::IDisplay* display);

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
