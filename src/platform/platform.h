#pragma once
// The runner's view of the machine. Game code reaches the operating system and devices only through these
// interfaces; the headless backend serves tests, benchmarks and automation, the SDL backend real users.
#include <memory>
#include <vector>

#include "platform/audio_out.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/display.h"
#include "platform/gpu_device.h"
#include "platform/headless/dialog_answers.h"
#include "platform/joysticks.h"
#include "platform/loading_display.h"
#include "platform/system.h"
#include "platform/window.h"

namespace kv::plat {

struct PlatformConfig {
  bool verbose = false;       // loading progress and other diagnostics on stderr
  bool virtualClock = false;  // waits advance time instead of sleeping
  std::vector<DialogAnswer> answers;  // scripted dialog answers (headless)
};

class IPlatform {
 public:
  virtual ~IPlatform() = default;
  virtual bool Headless() const = 0;
  virtual IClock& Clock() = 0;
  virtual IDialogs& Dialogs() = 0;
  virtual ISystem& System() = 0;
  virtual ILoadingDisplay& Loading() = 0;
  virtual IJoysticks& Joysticks() = 0;  // none headless

  // The game window (hidden until shown; null when none can be made), the GPU device that draws into it (a
  // window of this platform's kind; headless without GL: a device that only records), and the screen's display
  // modes (null headless: a virtual desktop answers).
  virtual std::unique_ptr<IWindow> CreateGameWindow(int clientWidth, int clientHeight) = 0;
  virtual std::unique_ptr<IGpuDevice> CreateGpuDevice(IWindow* window) = 0;
  virtual std::unique_ptr<IDisplay> CreateDisplay() = 0;
  // The sound device (null with the reason when there is none; headless platforms never open one).
  virtual std::unique_ptr<IAudioOut> CreateAudioDevice(std::string& failure) = 0;
};

std::unique_ptr<IPlatform> CreateHeadlessPlatform(const PlatformConfig& config);
std::unique_ptr<IPlatform> CreateSdlPlatform(const PlatformConfig& config);

}  // namespace kv::plat
