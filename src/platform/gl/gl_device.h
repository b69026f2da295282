// OpenGL 3.3 core rendering device on an SDL2 window (GL functions looked up through SDL). The same code runs
// headless with SDL_VIDEODRIVER=offscreen on Mesa llvmpipe.
#pragma once

#include <memory>

#include "platform/gpu_device.h"

namespace kv::plat {

struct GlOptions {
  bool batch = true;  // merge consecutive draws with equal state (KV_GL_BATCH=0 turns it off)
  bool atlas = true;  // small textures also live in shared atlas pages (KV_GL_ATLAS=0 turns it off)
  // 3D draws whose fragments are all opaque skip the usual alpha blend, which then cannot change a pixel
  // (KV_GL_OPAQUE=0 turns it off)
  bool opaqueSkipsBlend = true;
  static GlOptions FromEnvironment();
};

struct GlCounters {
  long draws = 0;       // Draw calls received
  long glDraws = 0;     // GL draw calls issued
  long flushes = 0;
};

class IGlDevice : public IGpuDevice {
 public:
  virtual GlCounters Counters() const = 0;
  virtual void ResetCounters() = 0;
};

// `sdlWindow` is an SDL_Window* created with SDL_WINDOW_OPENGL; the device makes its context on Create.
std::unique_ptr<IGlDevice> CreateGlDevice(void* sdlWindow, GlOptions options = GlOptions::FromEnvironment());

}  // namespace kv::plat
