#include <iostream>

#include "platform/headless/scripted_dialogs.h"
#include "platform/headless/text_loading_display.h"
#include "platform/platform.h"
#include "platform/posix/posix_system.h"

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

 private:
  std::unique_ptr<IClock> clock_;
  ScriptedDialogs dialogs_;
  TextLoadingDisplay loading_;
  PosixSystem system_;
};

}  // namespace

std::unique_ptr<IPlatform> CreateHeadlessPlatform(const PlatformConfig& config) {
  return std::make_unique<HeadlessPlatform>(config);
}

}  // namespace kv::plat
