// Joysticks: the first two attached game controllers, read when a game asks (no events are queued).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kv::plat {

// One joystick as games see it: axes X, Y, Z, R, U, V in 0 … 65535 (32767 centred), buttons as a bit mask
// (bit 0 = button 1), the point-of-view hat in hundredths of degrees clockwise from up (−1 centred).
struct JoyState {
  std::string name;
  int axisCount = 0, buttonCount = 0;
  bool hasPov = false;
  std::array<int, 6> axes{32767, 32767, 32767, 32767, 32767, 32767};
  uint32_t buttons = 0;
  int pov = -1;
};

class IJoysticks {
 public:
  virtual ~IJoysticks() = default;
  // Joystick 0 or 1; nothing when it is not attached or does not answer.
  virtual std::optional<JoyState> Read(int index) = 0;
};

// Joysticks moved by an input script (`joy N axis A V`, `joy N button B 0|1`): a joystick exists from the first
// line that names it. Headless platforms have no other joysticks.
class ScriptedJoysticks final : public IJoysticks {
 public:
  // value −32768 … 32767 as a device reports it (stored as value + 32768); axes 0 … 5.
  void SetAxis(int index, int axis, int value);
  // button 0 … 31 (button 0 is the game's button 1).
  void SetButton(int index, int button, bool down);
  // hundredths of degrees, −1 centred.
  void SetPov(int index, int hundredths);
  std::optional<JoyState> Read(int index) override;

 private:
  JoyState& Attach(int index);
  std::array<std::optional<JoyState>, 2> sticks_;
};

class NoJoysticks final : public IJoysticks {
 public:
  std::optional<JoyState> Read(int) override { return std::nullopt; }
};

// The system's joysticks through SDL (the joystick subsystem starts on the first read).
std::unique_ptr<IJoysticks> CreateSdlJoysticks();

}  // namespace kv::plat
