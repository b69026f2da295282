#pragma once
// --show-fps: a small dark box with the frame rate ("60 fps") in the top-left corner of the frames the player
// sees: the window's presented frames and the --screenshot shots. It never enters the frame the game draws
// into, so screen_save, F9, surfaces and pixel reads show the game's own picture.
#include <functional>
#include <memory>

#include "graphics/bitmap32.h"
#include "platform/gpu_device.h"

namespace kv {

// Where the box goes in the frame.
inline constexpr int kFpsOverlayX = 2, kFpsOverlayY = 2;

// The box for a frame rate: translucent black with the text in white, built from a small built-in font.
CBitmap32 FpsOverlayImage(int fps);

// Blends the overlay onto a frame (0xAARRGGBB pixels) at (x, y), clipped to the frame.
void BlendOverlay(CBitmap32& frame, const CBitmap32& overlay, int x, int y);

// A device that draws the overlay for the current frame rate into every presented frame and afterwards puts
// back the pixels it covered and the render state it changed, so the game finds its frame as it left it.
std::unique_ptr<plat::IGpuDevice> WithFpsOverlay(std::unique_ptr<plat::IGpuDevice> device, std::function<int()> fps);

}  // namespace kv
