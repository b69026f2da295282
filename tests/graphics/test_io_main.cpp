// Keyboard and mouse state rules, the SDL → virtual-key table, and the keyboard, mouse and joystick functions.
#include <gtest/gtest.h>

#include <SDL.h>

#include "functions/call_builtin.h"
#include "functions/function_window_io.h"
#include "input/io_main.h"
#include "platform/sdl/sdl_window.h"
#include "runner/runner_wiring.h"

namespace kv::input {
namespace {

class IoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Hooks() = IoHooks{};
    ClearInput();
    ResetKeyMap();
    TakeCloseRequest();
  }
  void TearDown() override { SetUp(); }
};

TEST_F(IoTest, RepeatGivesOnePressAndStepClears) {
  OnKeyDown(65);
  ClearStepInput();
  OnKeyDown(65);  // auto-repeat
  EXPECT_TRUE(KeyDown(65));
  EXPECT_FALSE(KeyPressed(65));
  OnKeyUp(65);
  EXPECT_TRUE(KeyReleased(65));
  EXPECT_FALSE(KeyDown(65));
  ClearStepInput();
  EXPECT_FALSE(KeyReleased(65));
  EXPECT_FALSE(KeyDown(-1));
  EXPECT_FALSE(KeyPressed(256));
}

TEST_F(IoTest, CurrentKeyAfterReleasingTheLastPressed) {
  OnKeyDown('A');
  OnKeyDown('B');
  OnKeyUp('B');
  EXPECT_EQ(CurrentKey(), 0);
  EXPECT_TRUE(KeyDown('A'));
  EXPECT_EQ(LastKey(), 'B');
}

TEST_F(IoTest, KeyMapApplies) {
  SetKeyMap(37, 65);
  OnKeyDown(37);
  EXPECT_TRUE(KeyDown(65));
  EXPECT_FALSE(KeyDown(37));
  SetKeyMap(38, 999);  // outside 0 … 255: ignored
  OnKeyDown(38);
  EXPECT_EQ(LastKey(), 65);
  EXPECT_EQ(MapKey(300), 300);
}

TEST_F(IoTest, TypedText) {
  for (int i = 0; i < 1030; ++i) OnChar('a' + i % 26);
  EXPECT_EQ(TypedText().size(), 1025u);
  SetTypedText("");
  OnChar(8);
  EXPECT_EQ(TypedText(), "");
  EXPECT_EQ(LastChar(), 8);
  OnChar('x');
  OnChar(13);  // control characters are not stored
  OnChar(8);
  EXPECT_EQ(TypedText(), "");
  OnChar(0xE9);
  EXPECT_EQ(TypedText(), "\xE9");
}

TEST_F(IoTest, Buttons) {
  OnButton(2, true);
  EXPECT_TRUE(ButtonPressed(2));
  EXPECT_EQ(CurrentButton(), 2);
  OnButton(2, false);
  EXPECT_TRUE(ButtonReleased(2));
  EXPECT_EQ(CurrentButton(), 0);
  EXPECT_EQ(LastButton(), 2);
  OnButton(4, true);
  EXPECT_EQ(LastButton(), 2);
  OnWheel(1);
  EXPECT_TRUE(WheelUp());
  ClearStepInput();
  EXPECT_FALSE(WheelUp());
}

TEST_F(IoTest, CloseRequests) {
  OnCloseRequest();
  EXPECT_TRUE(TakeCloseRequest());  // queued for the next step
  EXPECT_FALSE(TakeCloseRequest());
  Hooks().closeAsEscape = true;
  OnCloseRequest();
  EXPECT_TRUE(KeyDown(27));
  EXPECT_FALSE(KeyPressed(27));
  EXPECT_EQ(CurrentKey(), 27);
}

TEST(SdlKeys, TableRoundTrip) {
  int mapped = 0;
  for (int vk = 1; vk < 256; ++vk) {
    int sc = plat::SdlScancodeFromVk(vk);
    if (sc == SDL_SCANCODE_UNKNOWN) continue;
    ++mapped;
    // By position alone (a layout whose symbol has no code) and with the US keycode of that position.
    EXPECT_EQ(plat::VkFromSdlKey(SDLK_UNKNOWN, sc), vk) << "scancode " << sc;
    EXPECT_EQ(plat::VkFromSdlKey(SDL_SCANCODE_TO_KEYCODE(sc), sc), vk) << "scancode " << sc;
  }
  EXPECT_GE(mapped, 110);
  const std::pair<int, int> keycodes[] = {
      {SDLK_a, 'A'}, {SDLK_z, 'Z'}, {SDLK_0, '0'}, {SDLK_SEMICOLON, 186}, {SDLK_QUOTE, 222}, {SDLK_MINUS, 189},
  };
  for (auto [key, vk] : keycodes) EXPECT_EQ(plat::VkFromSdlKey(key, SDL_SCANCODE_UNKNOWN), vk);
  // Layout-aware: the key in the Q position of an AZERTY layout gives A.
  EXPECT_EQ(plat::VkFromSdlKey(SDLK_a, SDL_SCANCODE_Q), 'A');
  // Both Shift keys, both Enter keys share one code.
  EXPECT_EQ(plat::VkFromSdlKey(SDLK_RSHIFT, SDL_SCANCODE_RSHIFT), 16);
  EXPECT_EQ(plat::VkFromSdlKey(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER), 13);
  EXPECT_EQ(plat::VkFromSdlKey(SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN), 0);
}

// ---- keyboard, mouse and joystick functions ----

class IoFunctionsTest : public IoTest {
 protected:
  void SetUp() override {
    IoTest::SetUp();
    RegisterAllBuiltinFunctions();
    SetIoFunctionHooks({});
  }
  void TearDown() override {
    SetIoFunctionHooks({});
    IoTest::TearDown();
  }
  test::BuiltinCaller call;
};

TEST_F(IoFunctionsTest, ChecksWithNoKeyAnyKeyAndButtons) {
  struct Case {
    const char* fn;
    double arg;
    double idle, afterPress, nextStep;  // nothing held; A (65) and the left button just went down; a step later
  } cases[] = {
      {"keyboard_check", 0, 1, 0, 0},           {"keyboard_check", 1, 0, 1, 1},
      {"keyboard_check", 65, 0, 1, 1},          {"keyboard_check", 66, 0, 0, 0},
      {"keyboard_check", 256, 0, 0, 0},         {"keyboard_check", -1, 0, 0, 0},
      {"keyboard_check_pressed", 65, 0, 1, 0},  {"keyboard_check_pressed", 0, 1, 0, 1},
      {"keyboard_check_pressed", 1, 0, 1, 0},   {"keyboard_check_released", 65, 0, 0, 0},
      {"keyboard_check_direct", 65, 0, 1, 1},   // without a keyboard service: the game's key state
      {"mouse_check_button", 1, 0, 1, 1},       {"mouse_check_button", -1, 0, 1, 1},
      {"mouse_check_button", 0, 1, 0, 0},       {"mouse_check_button", 2, 0, 0, 0},
      {"mouse_check_button", 4, 0, 0, 0},       {"mouse_check_button_pressed", 1, 0, 1, 0},
      {"mouse_check_button_pressed", 0, 1, 0, 1}, {"mouse_check_button_released", 1, 0, 0, 0},
  };
  auto check = [&](int phase) {
    for (const auto& c : cases) {
      const double want = phase == 0 ? c.idle : phase == 1 ? c.afterPress : c.nextStep;
      EXPECT_EQ(call.Real(c.fn, {c.arg}), want) << c.fn << "(" << c.arg << ") phase " << phase;
    }
  };
  check(0);
  OnKeyDown(65);
  OnButton(1, true);
  check(1);
  ClearStepInput();
  check(2);
  OnKeyUp(65);
  OnButton(1, false);
  EXPECT_EQ(call.Real("keyboard_check_released", {65.0}), 1);
  EXPECT_EQ(call.Real("mouse_check_button_released", {-1.0}), 1);
  EXPECT_EQ(call.Real("keyboard_check", {0.0}), 1);
}

TEST_F(IoFunctionsTest, MapsSimulatedKeysAndClearing) {
  call.Call("keyboard_set_map", {65.0, 37.0});  // A counts as the left arrow
  EXPECT_EQ(call.Real("keyboard_get_map", {65.0}), 37);
  EXPECT_EQ(call.Real("keyboard_get_map", {300.0}), 300);
  call.Call("keyboard_key_press", {65.0});
  EXPECT_EQ(call.Real("keyboard_check", {37.0}), 1);
  EXPECT_EQ(call.Real("keyboard_check", {65.0}), 0);
  call.Call("keyboard_key_release", {65.0});
  EXPECT_EQ(call.Real("keyboard_check_released", {37.0}), 1);
  call.Call("keyboard_unset_map");
  call.Call("keyboard_key_press", {65.0});
  EXPECT_EQ(call.Real("keyboard_check", {65.0}), 1);
  // Clearing processes pending messages first, then clears.
  int pumps = 0;
  IoFunctionHooks hooks;
  hooks.pump = [&] {
    ++pumps;
    OnButton(3, true);
  };
  SetIoFunctionHooks(hooks);
  call.Call("keyboard_clear", {65.0});
  EXPECT_EQ(call.Real("keyboard_check", {65.0}), 0);
  EXPECT_EQ(call.Real("mouse_check_button", {3.0}), 1);
  call.Call("mouse_clear", {3.0});
  EXPECT_EQ(call.Real("mouse_check_button", {3.0}), 0);
  OnChar('q');
  call.Call("io_clear");
  EXPECT_EQ(call.Real("mouse_check_button", {3.0}), 0);  // pressed by the pump, then cleared
  EXPECT_EQ(pumps, 3);
  EXPECT_EQ(TypedText(), "");
  call.Call("io_handle");
  EXPECT_EQ(pumps, 4);
  // Num Lock without a keyboard service: a simulated press and release of key 144 when it changes.
  EXPECT_EQ(call.Real("keyboard_get_numlock"), 0);
  call.Call("keyboard_set_numlock", {1.0});
  EXPECT_EQ(call.Real("keyboard_get_numlock"), 1);
  EXPECT_TRUE(KeyReleased(144));
  ClearStepInput();
  call.Call("keyboard_set_numlock", {1.0});
  EXPECT_FALSE(KeyReleased(144));
  call.Call("keyboard_set_numlock", {0.0});
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(IoFunctionsTest, WaitsEndOnInputAndNeverHangWithoutIt) {
  // Nothing can arrive: the waits return at once.
  call.Call("keyboard_wait");
  call.Call("mouse_wait");
  // Input arriving on the third wait ends keyboard_wait; a button ends mouse_wait.
  int waits = 0;
  IoFunctionHooks hooks;
  hooks.waitForInput = [&] {
    if (++waits == 3) OnKeyDown(32);
    return true;
  };
  SetIoFunctionHooks(hooks);
  OnKeyDown(65);  // held before the wait: keyboard_key starts at 0 anyway
  call.Call("keyboard_wait");
  EXPECT_EQ(waits, 3);
  EXPECT_EQ(CurrentKey(), 32);
  hooks.waitForInput = [&] {
    if (++waits == 5) OnButton(2, true);
    return true;
  };
  SetIoFunctionHooks(hooks);
  OnButton(1, true);
  call.Call("mouse_wait");
  EXPECT_EQ(waits, 5);
  EXPECT_EQ(CurrentButton(), 2);
  // A close request ends a wait (the close event then runs in the next step); a source that runs dry too.
  hooks.waitForInput = [&] {
    if (++waits == 7) OnCloseRequest();
    return true;
  };
  SetIoFunctionHooks(hooks);
  call.Call("keyboard_wait");
  EXPECT_EQ(waits, 7);
  EXPECT_TRUE(TakeCloseRequest());
  hooks.waitForInput = [&] { return ++waits < 10; };
  SetIoFunctionHooks(hooks);
  call.Call("mouse_wait");
  EXPECT_EQ(waits, 10);
}

TEST_F(IoFunctionsTest, NoJoystickAttached) {
  struct Case {
    const char* fn;
    std::initializer_list<RValue> args;
    double want;
  } cases[] = {
      {"joystick_exists", {1.0}, 0},   {"joystick_axes", {2.0}, 0},      {"joystick_buttons", {1.0}, 0},
      {"joystick_has_pov", {1.0}, 0},  {"joystick_direction", {1.0}, 101}, {"joystick_check_button", {1.0, 1.0}, 0},
      {"joystick_xpos", {1.0}, 0},     {"joystick_vpos", {2.0}, 0},      {"joystick_pov", {1.0}, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(call.Real(c.fn, c.args), c.want) << c.fn;
  EXPECT_EQ(call.Str("joystick_name", {1.0}), "");
}

}  // namespace
}  // namespace kv::input
