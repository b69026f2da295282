#include "platform/headless/virtual_clock.h"

namespace kv::plat {

std::unique_ptr<IClock> CreateVirtualClock(int64_t startMicros) {
  return std::make_unique<VirtualClock>(startMicros);
}

}  // namespace kv::plat
