#include "functions/function_window_io.h"

#include "code/code_docs.h"
#include "code/code_function.h"
#include "code/code_value.h"
#include "functions/function_args.h"
#include "graphics/graphics_support.h"
#include "input/io_main.h"

namespace kv {

namespace {

using namespace fnargs;

constexpr int kKeyNumLock = 144;
constexpr int kJoystickAtRest = 101;  // vk_numpad5: the stick in the middle

IoFunctionHooks& Hooks() {
  static IoFunctionHooks hooks;
  return hooks;
}

bool g_numLock = false;  // without a keyboard service


// Joystick id 2 is the second joystick, any other id the first.
std::optional<plat::JoyState> ReadJoystick(const RValue& id) {
  if (!Hooks().readJoystick) return std::nullopt;
  return Hooks().readJoystick(id.Real() == 2 ? 1 : 0);
}

// joystick_xpos … joystick_vpos: the axis position in −1 … 1, 0 without the joystick.
template <int Axis>
void JoystickAxis(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  const auto s = ReadJoystick(a[0]);
  r = s ? s->axes[Axis] / 32767.0 - 1 : 0.0;
}

double JoystickField(const RValue& id, int plat::JoyState::*field) {
  const auto s = ReadJoystick(id);
  return s ? (*s).*field : 0.0;
}

// The keypad code of the stick position: 97 … 105 (vk_numpad1 … vk_numpad9), 101 in the middle.
int JoystickDirection(int x, int y) {
  const int column = x < 20000 ? 1 : x > 44000 ? 3 : 2;
  const int row = y <= 19999 ? 6 : y < 44001 ? 3 : 0;
  return 96 + row + column;
}

void Pump() {
  if (Hooks().pump) Hooks().pump();
}

// Waits until `done` holds, processing messages; gives up when nothing can arrive or the window wants to close.
template <class Done>
void WaitFor(Done done) {
  while (!done()) {
    if (!Hooks().waitForInput || !Hooks().waitForInput() || input::ClosePending()) return;
  }
}

// keyboard_check and its pressed/released forms: 0 = no key, 1 = any key, 2 … 255 that key, others 0.
template <class State>
bool CheckKey(int key, State state) {
  if (key == 0 || key == 1) {
    bool any = false;
    for (int k = 0; k < 256 && !any; ++k) any = state(k);
    return key == 1 ? any : !any;
  }
  return key >= 2 && key <= 255 && state(key);
}

// mouse_check_button and its forms: −1 = any button, 0 = none, 1 … 3 that button, others 0.
template <class State>
bool CheckButton(int button, State state) {
  if (button == -1 || button == 0) {
    const bool any = state(1) || state(2) || state(3);
    return button == -1 ? any : !any;
  }
  return button >= 1 && button <= 3 && state(button);
}

bool NumLock() { return Hooks().numLock ? Hooks().numLock() : g_numLock; }

}  // namespace

void SetIoFunctionHooks(const IoFunctionHooks& hooks) { Hooks() = hooks; }

bool WaitForInputOnce() { return Hooks().waitForInput && Hooks().waitForInput(); }

void PumpWindowOnce() { Pump(); }

void RegisterWindowIoFunctions() {
  // ---- keyboard ----
  Reg("keyboard_check", 1, KV_FN { KV_UNUSED_ARGS; r = CheckKey(I(a, 0), input::KeyDown); });
  Reg("keyboard_check_pressed", 1, KV_FN { KV_UNUSED_ARGS; r = CheckKey(I(a, 0), input::KeyPressed); });
  Reg("keyboard_check_released", 1, KV_FN { KV_UNUSED_ARGS; r = CheckKey(I(a, 0), input::KeyReleased); });
  Reg("keyboard_check_direct", 1, KV_FN {
    KV_UNUSED_ARGS;
    const int key = I(a, 0);
    r = Hooks().keyDirect ? CheckKey(key, Hooks().keyDirect) : CheckKey(key, input::KeyDown);
  });
  Reg("keyboard_get_numlock", 0, KV_FN { KV_UNUSED_ARGS; r = NumLock(); });
  Reg("keyboard_set_numlock", 1, KV_FN {
    KV_UNUSED_ARGS;
    const bool on = B(a, 0);
    if (NumLock() == on) return;
    input::OnKeyDown(kKeyNumLock);
    input::OnKeyUp(kKeyNumLock);
    if (Hooks().setNumLock) Hooks().setNumLock(on);
    else g_numLock = on;
  });
  Reg("keyboard_key_press", 1, KV_FN { KV_UNUSED_ARGS; input::OnKeyDown(I(a, 0)); });
  Reg("keyboard_key_release", 1, KV_FN { KV_UNUSED_ARGS; input::OnKeyUp(I(a, 0)); });
  Reg("keyboard_set_map", 2, KV_FN { KV_UNUSED_ARGS; input::SetKeyMap(I(a, 0), I(a, 1)); });
  Reg("keyboard_get_map", 1, KV_FN { KV_UNUSED_ARGS; r = input::MapKey(I(a, 0)); });
  Reg("keyboard_unset_map", 0, KV_FN { KV_UNUSED_ARGS; input::ResetKeyMap(); });
  Reg("keyboard_clear", 1, KV_FN {
    KV_UNUSED_ARGS;
    Pump();
    input::ClearKey(I(a, 0));
  });
  Reg("keyboard_wait", 0, KV_FN {
    KV_UNUSED_ARGS;
    input::SetCurrentKey(0);
    WaitFor([] { return input::CurrentKey() != 0; });
  });

  // ---- mouse ----
  Reg("mouse_check_button", 1, KV_FN { KV_UNUSED_ARGS; r = CheckButton(I(a, 0), input::ButtonDown); });
  Reg("mouse_check_button_pressed", 1, KV_FN { KV_UNUSED_ARGS; r = CheckButton(I(a, 0), input::ButtonPressed); });
  Reg("mouse_check_button_released", 1, KV_FN { KV_UNUSED_ARGS; r = CheckButton(I(a, 0), input::ButtonReleased); });
  Reg("mouse_clear", 1, KV_FN {
    KV_UNUSED_ARGS;
    Pump();
    input::ClearButton(I(a, 0));
  });
  Reg("mouse_wait", 0, KV_FN {
    KV_UNUSED_ARGS;
    input::ClearCurrentButton();
    WaitFor([] { return input::CurrentButton() != 0; });
  });

  // ---- both ----
  Reg("io_clear", 0, KV_FN {
    KV_UNUSED_ARGS;
    Pump();
    input::ClearInput();
  });
  Reg("io_handle", 0, KV_FN {
    KV_UNUSED_ARGS;
    Pump();
  });

  // ---- joysticks: id 2 is the second, any other id the first; read at each call ----
  Reg("joystick_exists", 1, KV_FN { KV_UNUSED_ARGS; r = ReadJoystick(a[0]) ? 1.0 : 0.0; });
  Reg("joystick_name", 1, KV_FN {
    KV_UNUSED_ARGS;
    const auto s = ReadJoystick(a[0]);
    r = RValue(s ? s->name.substr(0, 32) : std::string());
  });
  Reg("joystick_axes", 1, KV_FN { KV_UNUSED_ARGS; r = JoystickField(a[0], &plat::JoyState::axisCount); });
  Reg("joystick_buttons", 1, KV_FN { KV_UNUSED_ARGS; r = JoystickField(a[0], &plat::JoyState::buttonCount); });
  Reg("joystick_has_pov", 1, KV_FN {
    KV_UNUSED_ARGS;
    const auto s = ReadJoystick(a[0]);
    r = s && s->hasPov ? 1.0 : 0.0;
  });
  Reg("joystick_direction", 1, KV_FN {
    KV_UNUSED_ARGS;
    const auto s = ReadJoystick(a[0]);
    r = s ? JoystickDirection(s->axes[0], s->axes[1]) : kJoystickAtRest;
  });
  Reg("joystick_check_button", 2, KV_FN {
    KV_UNUSED_ARGS;
    const auto s = ReadJoystick(a[0]);
    const double n = D(a, 1);
    r = s && n >= 1 && n <= 32 && (s->buttons >> (static_cast<int>(n) - 1) & 1u) ? 1.0 : 0.0;
  });
  Reg("joystick_xpos", 1, JoystickAxis<0>);
  Reg("joystick_ypos", 1, JoystickAxis<1>);
  Reg("joystick_zpos", 1, JoystickAxis<2>);
  Reg("joystick_rpos", 1, JoystickAxis<3>);
  Reg("joystick_upos", 1, JoystickAxis<4>);
  Reg("joystick_vpos", 1, JoystickAxis<5>);
  Reg("joystick_pov", 1, KV_FN {
    KV_UNUSED_ARGS;
    const auto s = ReadJoystick(a[0]);
    r = s && s->hasPov && s->pov >= 0 && s->pov <= 36000 ? s->pov / 100.0 : -1.0;
  });

  DescribeFunctions("Keyboard, mouse and joystick", {
      {"keyboard_check", "key",
       "Returns whether a key is held down; vk_anykey checks for any key and vk_nokey for none."},
      {"keyboard_check_pressed", "key", "Returns whether a key went down during this step."},
      {"keyboard_check_released", "key", "Returns whether a key went up during this step."},
      {"keyboard_check_direct", "key",
       "Returns whether a key is held down right now, even when the game window is not active."},
      {"keyboard_get_numlock", "", "Returns whether Num Lock is on."},
      {"keyboard_set_numlock", "on", "Switches Num Lock on or off."},
      {"keyboard_key_press", "key", "Acts as if a key were pressed."},
      {"keyboard_key_release", "key", "Acts as if a key were released."},
      {"keyboard_set_map", "key1, key2", "Makes pressing key1 act as pressing key2."},
      {"keyboard_get_map", "key", "Returns the key that a key is mapped to."},
      {"keyboard_unset_map", "", "Makes every key act as itself again."},
      {"keyboard_clear", "key", "Clears the held, pressed and released state of a key until it is pressed again."},
      {"keyboard_wait", "", "Waits until the player presses a key."},
      {"mouse_check_button", "numb",
       "Returns whether a mouse button is held down; mb_any checks for any button and mb_none for none."},
      {"mouse_check_button_pressed", "numb", "Returns whether a mouse button went down during this step."},
      {"mouse_check_button_released", "numb", "Returns whether a mouse button went up during this step."},
      {"mouse_clear", "button", "Clears the state of a mouse button until it is pressed again."},
      {"mouse_wait", "", "Waits until the player presses a mouse button."},
      {"io_clear", "", "Clears the state of every key and mouse button."},
      {"io_handle", "", "Reads pending keyboard and mouse input now, updating their states."},
      {"joystick_exists", "id", "Returns whether joystick 1 or 2 is connected."},
      {"joystick_name", "id", "Returns the name of a joystick."},
      {"joystick_axes", "id", "Returns the number of axes of a joystick."},
      {"joystick_buttons", "id", "Returns the number of buttons of a joystick."},
      {"joystick_has_pov", "id", "Returns whether a joystick has a point-of-view hat."},
      {"joystick_direction", "id",
       "Returns the keypad key (vk_numpad1 to vk_numpad9) matching the direction of a joystick's stick."},
      {"joystick_check_button", "id, numb", "Returns whether button numb of a joystick is pressed."},
      {"joystick_xpos", "id", "Returns the position of a joystick's x axis, from -1 to 1."},
      {"joystick_ypos", "id", "Returns the position of a joystick's y axis, from -1 to 1."},
      {"joystick_zpos", "id", "Returns the position of a joystick's z axis, from -1 to 1."},
      {"joystick_rpos", "id", "Returns the position of a joystick's rudder (fourth) axis, from -1 to 1."},
      {"joystick_upos", "id", "Returns the position of a joystick's fifth axis, from -1 to 1."},
      {"joystick_vpos", "id", "Returns the position of a joystick's sixth axis, from -1 to 1."},
      {"joystick_pov", "id",
       "Returns the direction of a joystick's point-of-view hat in degrees, or -1 when it is centred."},
  });
}

}  // namespace kv
