#include "platform/joysticks.h"

#include <algorithm>

namespace kv::plat {

JoyState& ScriptedJoysticks::Attach(int index) {
  std::optional<JoyState>& stick = sticks_[index == 1 ? 1 : 0];
  if (!stick) {
    stick.emplace();
    stick->name = "Scripted joystick " + std::to_string((index == 1 ? 1 : 0) + 1);
    stick->axisCount = 6;
    stick->buttonCount = 32;
    stick->hasPov = true;
  }
  return *stick;
}

void ScriptedJoysticks::SetAxis(int index, int axis, int value) {
  JoyState& s = Attach(index);
  if (axis < 0 || axis >= static_cast<int>(s.axes.size())) return;
  s.axes[axis] = std::clamp(value, -32768, 32767) + 32768;
}

void ScriptedJoysticks::SetButton(int index, int button, bool down) {
  JoyState& s = Attach(index);
  if (button < 0 || button > 31) return;
  const uint32_t bit = 1u << button;
  s.buttons = down ? (s.buttons | bit) : (s.buttons & ~bit);
}

void ScriptedJoysticks::SetPov(int index, int hundredths) {
  Attach(index).pov = hundredths < 0 || hundredths >= 36000 ? -1 : hundredths;
}

std::optional<JoyState> ScriptedJoysticks::Read(int index) {
  if (index < 0 || index > 1) return std::nullopt;
  return sticks_[index];
}

}  // namespace kv::plat
