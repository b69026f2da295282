#include <iostream>

#include "platform/deferred_gpu.h"
#include "platform/headless/scripted_dialogs.h"
#include "platform/headless/text_loading_display.h"
#include "platform/gl/gl_device.h"
#include "platform/joysticks.h"
#include "platform/platform.h"
#include "platform/posix/posix_system.h"
#include "platform/recording/recording_gpu.h"
#include "platform/sdl/sdl_window.h"

namespace kv::plat {
namespace {

// GL_MAX_TEXTURE_SIZE of Mesa llvmpipe, answered before the driver is loaded.
constexpr int kLlvmpipeMaxTextureSize = 16384;
constexpr const char* kNoGlMessage = "kvrun: no OpenGL available; drawing is recorded only\n";

// No GL at all: the run goes on with a device that only records, so games still play headless.
std::unique_ptr<IGpuDevice> NoGl() {
  std::cerr << kNoGlMessage;
  return std::make_unique<RecordingGpu>();
}

class HeadlessPlatform final : public IPlatform {
 public:
  explicit HeadlessPlatform(const PlatformConfig& config)
      : clock_(config.virtualClock ? CreateVirtualClock() : CreateRealClock()),
        dialogs_(std::cerr, AnswerQueue(config.answers)),
        loading_(std::cerr, config.verbose) {}

  bool Headless() const override { return true; }
  IClock& Clock() override { return *clock_; }
  IDialogs& Dialogs() override { return dialogs_; }
  ISystem& System() override { return system_; }
  ILoadingDisplay& Loading() override { return loading_; }
  IJoysticks& Joysticks() override { return joysticks_; }

  // An offscreen window without GL: the game's window functions work on it, and it costs no GL driver.
  std::unique_ptr<IWindow> CreateGameWindow(int w, int h) override {
    UseHeadlessVideo();
    return CreateSdlWindow("", w, h, false);
  }
  // Headless frames are real GL renders on Mesa llvmpipe, but loading the driver costs far more than a short run
  // itself: the device is made the first time pixels are read back (a screenshot, draw_getpixel, a surface
  // read), on a hidden offscreen window of its own, and is given every drawing call made before.
  std::unique_ptr<IGpuDevice> CreateGpuDevice(IWindow* window) override {
    if (!window) return NoGl();
    return std::make_unique<DeferredGpu>(
        [](std::shared_ptr<void>& keepAlive) -> std::unique_ptr<IGpuDevice> {
          UseHeadlessVideo();
          std::shared_ptr<IWindow> glWindow = CreateSdlWindow("", 64, 64, true);
          if (!glWindow) {
            std::cerr << kNoGlMessage;
            return nullptr;
          }
          keepAlive = glWindow;
          return CreateGlDevice(glWindow->SdlWindow());
        },
        kLlvmpipeMaxTextureSize);
  }
  std::unique_ptr<IDisplay> CreateDisplay() override { return nullptr; }
  std::unique_ptr<IAudioOut> CreateAudioDevice(std::string& failure) override {
    failure = "headless runs play no sound";
    return nullptr;
  }

 private:
  std::unique_ptr<IClock> clock_;
  ScriptedDialogs dialogs_;
  TextLoadingDisplay loading_;
  PosixSystem system_;
  NoJoysticks joysticks_;
};

}  // namespace

std::unique_ptr<IPlatform> CreateHeadlessPlatform(const PlatformConfig& config) {
  return std::make_unique<HeadlessPlatform>(config);
}

}  // namespace kv::plat
