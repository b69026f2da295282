// Keyboard and mouse state as the game reads it: held, pressed and released keys (Windows virtual-key codes
// 0 … 255) and buttons (1 left, 2 right, 3 middle), the last and current key and button, the typed text, the
// key map and the wheel. Window input arrives through the InputSink; pressed/released last one step.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/window.h"

namespace kv::input {

// Forms (messages, splashes, the game information) run their own event loops, so the game's input never sees
// what reaches them.
struct IoHooks {
  bool closeAsEscape = false;  // settings: treat the close button as the Escape key
};
IoHooks& Hooks();

void ClearInput();       // typed text and every keyboard and mouse state
void ClearStepInput();   // pressed, released and wheel flags (end of every step)
void ResetKeyMap();      // identity

bool KeyDown(int k);
bool KeyPressed(int k);
bool KeyReleased(int k);
void SetKeyDown(int k, bool v);
void SetKeyPressed(int k, bool v);
void SetKeyReleased(int k, bool v);
void ClearKey(int k);
int LastKey();
int CurrentKey();
void SetLastKey(int k);
void SetCurrentKey(int k);
uint8_t LastChar();
void SetLastChar(uint8_t c);
const std::string& TypedText();
void SetTypedText(const std::string& s);
int MapKey(int k);
void SetKeyMap(int k, int v);

bool ButtonDown(int b);
bool ButtonPressed(int b);
bool ButtonReleased(int b);
void ClearButton(int b);
int LastButton();
int CurrentButton();
void SetLastButton(int b);
void SetCurrentButton(int b);
void ClearCurrentButton();  // mouse_button = 0 (mouse_wait)
bool WheelUp();
bool WheelDown();

int MouseClientX();  // last known mouse position in client coordinates
int MouseClientY();
void SetMouseClient(int x, int y);

bool TakeCloseRequest();  // a close-button event waits for the next step
bool ClosePending();      // without taking it (waits give up on it)

// Handlers (also used directly by scripted input).
void OnKeyDown(int key);
void OnKeyUp(int key);
void OnChar(uint8_t c);
void OnButton(int button, bool down);
void OnWheel(int direction);
void OnCloseRequest();

// Routes window events to the handlers above; geometry events go to `resized`/`exposed` when set.
class IoSink : public plat::InputSink {
 public:
  std::function<void(int, int)> resized;
  std::function<void()> exposed;
  std::function<void(bool)> focus;
  void KeyDown(int vk) override { OnKeyDown(vk); }
  void KeyUp(int vk) override { OnKeyUp(vk); }
  void Char(uint8_t c) override { OnChar(c); }
  void Button(int b, bool down) override { OnButton(b, down); }
  void Wheel(int d) override { OnWheel(d); }
  void MouseMove(int x, int y) override { SetMouseClient(x, y); }
  void CloseRequest() override { OnCloseRequest(); }
  void Focus(bool active) override { if (focus) focus(active); }
  void Exposed() override { if (exposed) exposed(); }
  void Resized(int w, int h) override { if (resized) resized(w, h); }
};

}  // namespace kv::input
