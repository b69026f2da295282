// Keyboard, mouse and joystick functions of the script language: checks of held, pressed and released keys and
// buttons, simulated keys, the key map, clearing and waiting for input, and the two joysticks.
#pragma once

#include <functional>
#include <optional>

#include "platform/joysticks.h"

namespace kv {

// What the functions need from the window. Unset hooks: no window messages to process, no input can arrive
// while waiting (waits return at once), the physical keyboard is the game's key state, Num Lock is stored.
struct IoFunctionHooks {
  std::function<void()> pump;              // processes pending window messages (updates the input state)
  std::function<bool()> waitForInput;      // one wait of about 50 ms while processing messages; false: nothing
                                           // can arrive any more (the wait loops then give up)
  std::function<bool(int vk)> keyDirect;   // the physical key is down at this moment
  std::function<bool()> numLock;
  std::function<void(bool on)> setNumLock;
  std::function<std::optional<plat::JoyState>(int index)> readJoystick;  // 0 or 1; unset: no joysticks
};
void SetIoFunctionHooks(const IoFunctionHooks& hooks);
// One wait as keyboard_wait makes (about 50 ms processing messages; headless the next scripted event); false when
// nothing can arrive any more.
bool WaitForInputOnce();
// Processes the window messages waiting now, without waiting for more.
void PumpWindowOnce();

void RegisterWindowIoFunctions();

}  // namespace kv
