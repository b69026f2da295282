#include <iostream>

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

  // An offscreen window, so headless frames are real GL renders.
  std::unique_ptr<IWindow> CreateGameWindow(int w, int h) override {
    UseHeadlessVideo();
    return CreateSdlWindow("", w, h);
  }
  std::unique_ptr<IGpuDevice> CreateGpuDevice(IWindow* window) override {
    if (window) return CreateGlDevice(window->SdlWindow());
    // No GL at all: the run goes on with a device that only records, so games still play headless.
    std::cerr << "kvrun: no OpenGL available; drawing is recorded only\n";
    return std::make_unique<RecordingGpu>();
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
