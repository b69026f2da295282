// The desktop display mode as games see and change it. Mode changes are only checked against the modes the
// platform lists and take effect in full screen; the display functions report what was requested.
#pragma once

#include "platform/display.h"

namespace kv::gfx {

void AttachDisplay(plat::IDisplay* display);  // null: a fixed 1024 × 768, 32-bit desktop (tests, no video)

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
