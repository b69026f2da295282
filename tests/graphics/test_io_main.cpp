// Keyboard and mouse state rules and the SDL → virtual-key table.
#include <gtest/gtest.h>

#include <SDL.h>

#include "input/io_main.h"
#include "platform/sdl/sdl_window.h"

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

TEST_F(IoTest, ModalAndCloseRequests) {
  bool message = true;
  int closed = 0;
  Hooks().messageShowing = [&] { return message; };
  Hooks().closeMessage = [&] { ++closed; };
  OnKeyDown(27);
  EXPECT_FALSE(KeyDown(27));
  OnKeyUp(27);
  OnCloseRequest();
  EXPECT_EQ(closed, 2);
  EXPECT_FALSE(TakeCloseRequest());
  message = false;
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

}  // namespace
}  // namespace kv::input
