#include "debugger/debug_format.h"

#include <cmath>
#include <cstdio>

namespace kv::debugger {

namespace {

constexpr double kTolerance = 1e-12;

bool NearInteger(double v) { return std::fabs(v - std::nearbyint(v)) <= kTolerance; }

std::string Fixed(double value, int decimals) {
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text = buffer;
  // A value that rounds to zero keeps no minus sign.
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

}  // namespace

std::string FormatReal(double value) {
  if (!std::isfinite(value)) return Fixed(value, 0);
  if (NearInteger(value)) return Fixed(std::nearbyint(value), 0);
  double scale = 1;
  for (int decimals = 2; decimals <= 8; decimals += 2) {
    scale *= 100;
    if (NearInteger(value * scale)) return Fixed(value, decimals);
  }
  return Fixed(value, 10);
}

std::string FormatValue(const RValue& value) {
  return value.IsString() ? value.ToStdString() : FormatReal(value.Real());
}

std::string VariableLine(std::string_view name, std::string_view value) {
  std::string line;
  line.reserve(name.size() + value.size() + 22);
  line.append(name);
  line.push_back(':');
  if (line.size() < 20) line.append(20 - line.size(), ' ');
  line.append(value);
  line.push_back('\n');
  std::erase(line, '\0');
  return line;
}

}  // namespace kv::debugger
