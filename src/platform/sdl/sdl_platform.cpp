#include <SDL.h>

#include <iostream>

#include "platform/headless/text_loading_display.h"
#include "platform/gl/gl_device.h"
#include "platform/platform.h"
#include "platform/posix/posix_system.h"
#include "platform/sdl/sdl_window.h"
#include "platform/sdl/sdl_dialogs.h"

namespace kv::plat {
namespace {

// The desktop's clipboard through SDL (it needs the video subsystem, which the game window starts); before that
// the private clipboard of the process stands in.
class SdlSystem final : public PosixSystem {
 public:
  bool ClipboardHasText() override {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return PosixSystem::ClipboardHasText();
    return SDL_HasClipboardText() == SDL_TRUE;
  }
  std::string ClipboardText() override {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return PosixSystem::ClipboardText();
    char* text = SDL_GetClipboardText();
    std::string out = text ? text : "";
    SDL_free(text);
    return out;
  }
  void SetClipboardText(const std::string& text) override {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return PosixSystem::SetClipboardText(text);
    SDL_SetClipboardText(text.c_str());
  }
};

// The window system joins later; for now the loading window is reported as text like the headless one.
class SdlPlatform final : public IPlatform {
 public:
  explicit SdlPlatform(const PlatformConfig& config)
      : clock_(config.virtualClock ? CreateVirtualClock() : CreateRealClock()),
        dialogs_(AnswerQueue(config.answers)),
        loading_(std::cerr, config.verbose) {
    HoldOffBusAutolaunch();  // now, before the audio device starts its threads
  }

  bool Headless() const override { return false; }
  IClock& Clock() override { return *clock_; }
  IDialogs& Dialogs() override { return dialogs_; }
  ISystem& System() override { return system_; }
  ILoadingDisplay& Loading() override { return loading_; }
  IJoysticks& Joysticks() override { return *joysticks_; }

  std::unique_ptr<IWindow> CreateGameWindow(int w, int h) override { return CreateSdlWindow("", w, h); }
  std::unique_ptr<IGpuDevice> CreateGpuDevice(IWindow* window) override {
    return window ? CreateGlDevice(window->SdlWindow()) : nullptr;
  }
  std::unique_ptr<IDisplay> CreateDisplay() override { return CreateSdlDisplay(); }
  std::unique_ptr<IAudioOut> CreateAudioDevice(std::string& failure) override { return CreateSdlAudioOut(failure); }

 private:
  std::unique_ptr<IClock> clock_;
  SdlDialogs dialogs_;
  TextLoadingDisplay loading_;
  SdlSystem system_;
  std::unique_ptr<IJoysticks> joysticks_ = CreateSdlJoysticks();
};

}  // namespace

std::unique_ptr<IPlatform> CreateSdlPlatform(const PlatformConfig& config) {
  return std::make_unique<SdlPlatform>(config);
}

}  // namespace kv::plat
