#include <cerrno>
#include <ctime>

#include "platform/clock.h"

namespace kv::plat {
namespace {

class RealClock final : public IClock {
 public:
  int64_t Micros() const override {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
  }
  void Sleep(int64_t micros) override {
    if (micros <= 0) return;
    timespec req{static_cast<time_t>(micros / 1000000), static_cast<long>((micros % 1000000) * 1000)};
    timespec rem{};
    // Signals interrupt nanosleep; keep waiting for the remainder so a wait is never cut short.
    while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
  }
};

}  // namespace

std::unique_ptr<IClock> CreateRealClock() { return std::make_unique<RealClock>(); }

}  // namespace kv::plat
