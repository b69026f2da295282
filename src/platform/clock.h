#pragma once
// Time source of the runner. The real clock measures monotonic time and sleeps; the virtual clock only advances
// when something waits, so runs under it are deterministic and never sleep.
#include <cstdint>
#include <memory>

namespace kv::plat {

class IClock {
 public:
  virtual ~IClock() = default;
  // Microseconds since an arbitrary fixed start; never decreases.
  virtual int64_t Micros() const = 0;
  // Waits the given number of microseconds (virtual clock: advances time at once). Negative or zero returns.
  virtual void Sleep(int64_t micros) = 0;
};

std::unique_ptr<IClock> CreateRealClock();
std::unique_ptr<IClock> CreateVirtualClock(int64_t startMicros = 0);

}  // namespace kv::plat
