#include "motion/motion_select.h"

namespace kv::motion::detail {

bool ExactListsCoverActive(const CLiveRoom& room) {
  int64_t n = 0;
  const int objects = WorldObjectCount();
  for (int o = 0; o < objects; ++o) n += room.ExactCount(o);
  return n == room.ActiveCount();
}

}  // namespace kv::motion::detail
