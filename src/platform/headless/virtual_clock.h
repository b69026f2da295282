#pragma once
#include "platform/clock.h"

namespace kv::plat {

// Time that moves only when someone waits: makes fps, alarms and timers reproducible in headless runs.
class VirtualClock final : public IClock {
 public:
  explicit VirtualClock(int64_t startMicros = 0) : now_(startMicros) {}
  int64_t Micros() const override { return now_; }
  void Sleep(int64_t micros) override {
    if (micros > 0) now_ += micros;
  }

 private:
  int64_t now_;
};

}  // namespace kv::plat
