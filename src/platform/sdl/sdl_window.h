// The game window on SDL2 (also offscreen with SDL_VIDEODRIVER=offscreen), its input, the desktop display,
// and the table from SDL keys to the Windows virtual-key codes games use.
#pragma once

#include <memory>
#include <string>

#include "platform/display.h"
#include "platform/window.h"

namespace kv::plat {

// Sets the environment for headless GL on Mesa llvmpipe (offscreen video, software GL, two raster threads).
void UseHeadlessVideo();

// Keeps D-Bus from launching a session bus of its own when video starts and none can be found; call it while the
// process has one thread (it sets an environment variable, which video start removes again).
void HoldOffBusAutolaunch();
// Starts SDL video when it has not started (false when it cannot); every part of the platform starts it here.
bool EnsureSdlVideo();

// Initialises SDL video when needed; the window is created hidden, with a GL-capable surface when `gl` (making
// one loads the GL driver).
std::unique_ptr<IWindow> CreateSdlWindow(const std::string& captionCp1252, int clientWidth, int clientHeight,
                                         bool gl = true);
std::unique_ptr<IDisplay> CreateSdlDisplay();

// Windows virtual-key code (0 … 255) of an SDL key, 0 when it has none. Letters, digits and punctuation come
// from the layout-aware keycode; everything else from the physical scancode.
int VkFromSdlKey(int sdlKeycode, int sdlScancode);
// The scancode that produces the code on a US layout (0 when none); used for direct keyboard checks.
int SdlScancodeFromVk(int vk);

}  // namespace kv::plat
