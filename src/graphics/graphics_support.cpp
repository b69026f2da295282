#include "graphics/graphics_support.h"

#include <cmath>
#include <limits>

namespace kv::gfx {

int RoundToInt(double v) {
  if (std::isnan(v)) return 0;
  double r = std::nearbyint(v);  // default rounding mode: ties to even
  if (r >= 2147483647.0) return std::numeric_limits<int>::max();
  if (r <= -2147483648.0) return std::numeric_limits<int>::min();
  return static_cast<int>(r);
}

static uint32_t AlphaByte(double alpha) {
  if (std::isnan(alpha)) alpha = 0.0;
  double a = alpha * 255.0;
  a = a < 0.0 ? 0.0 : (a > 255.0 ? 255.0 : a);
  return static_cast<uint32_t>(std::nearbyint(a));
}

uint32_t DeviceColour(int colour, double alpha) {
  uint32_t c = static_cast<uint32_t>(colour);
  uint32_t r = c & 255, g = (c >> 8) & 255, b = (c >> 16) & 255;
  return (AlphaByte(alpha) << 24) | (r << 16) | (g << 8) | b;
}

uint32_t DeviceColourKeep(uint32_t deviceColour, double alpha) {
  return (deviceColour & 0x00FFFFFFu) | (AlphaByte(alpha) << 24);
}

int ScriptColour(uint32_t d) {
  return static_cast<int>(((d >> 16) & 255) | (d & 0xFF00) | ((d & 255) << 16));
}

}  // namespace kv::gfx
