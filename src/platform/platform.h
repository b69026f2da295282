#pragma once
// The runner's view of the machine. Game code reaches the operating system and devices only through these
// interfaces; the headless backend serves tests, benchmarks and automation, the SDL backend real users. The
// window, graphics, audio, input and the other services join this interface as they are built.
#include <memory>
#include <vector>

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/headless/dialog_answers.h"
#include "platform/loading_display.h"
#include "platform/system.h"

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
};

std::unique_ptr<IPlatform> CreateHeadlessPlatform(const PlatformConfig& config);
std::unique_ptr<IPlatform> CreateSdlPlatform(const PlatformConfig& config);

}  // namespace kv::plat
