#include "input/io_main.h"

#include <array>

namespace kv::input {

namespace {
struct IoState {
  std::array<bool, 256> down{}, pressed{}, released{};
  int lastKey = 0, currentKey = 0;
  uint8_t lastChar = 0;
  std::string typed;
  std::array<int, 256> keyMap{};
  std::array<bool, 4> bDown{}, bPressed{}, bReleased{};
  int lastButton = 0, currentButton = 0;
  bool wheelUp = false, wheelDown = false;
  int mouseX = 0, mouseY = 0;
  bool closePending = false;
  IoState() {
    for (int i = 0; i < 256; ++i) keyMap[i] = i;
  }
};
IoState& S() {
  static IoState s;
  return s;
}
bool KeyOk(int k) { return k >= 0 && k <= 255; }
bool ButtonOk(int b) { return b >= 1 && b <= 3; }
}  // namespace

IoHooks& Hooks() {
  static IoHooks hooks;
  return hooks;
}

void ClearInput() {
  auto& s = S();
  s.typed.clear();
  s.down.fill(false);
  s.pressed.fill(false);
  s.released.fill(false);
  s.lastKey = s.currentKey = 0;
  s.lastChar = 0;
  s.bDown.fill(false);
  s.bPressed.fill(false);
  s.bReleased.fill(false);
  s.lastButton = s.currentButton = 0;
  s.wheelUp = s.wheelDown = false;
}

void ClearStepInput() {
  auto& s = S();
  s.pressed.fill(false);
  s.released.fill(false);
  s.bPressed.fill(false);
  s.bReleased.fill(false);
  s.wheelUp = s.wheelDown = false;
}

void ResetKeyMap() {
  for (int i = 0; i < 256; ++i) S().keyMap[i] = i;
}

bool KeyDown(int k) { return KeyOk(k) && S().down[k]; }
bool KeyPressed(int k) { return KeyOk(k) && S().pressed[k]; }
bool KeyReleased(int k) { return KeyOk(k) && S().released[k]; }
void SetKeyDown(int k, bool v) { if (KeyOk(k)) S().down[k] = v; }
void SetKeyPressed(int k, bool v) { if (KeyOk(k)) S().pressed[k] = v; }
void SetKeyReleased(int k, bool v) { if (KeyOk(k)) S().released[k] = v; }
void ClearKey(int k) {
  if (!KeyOk(k)) return;
  S().down[k] = S().pressed[k] = S().released[k] = false;
}
int LastKey() { return S().lastKey; }
int CurrentKey() { return S().currentKey; }
void SetLastKey(int k) { if (KeyOk(k)) S().lastKey = k; }
void SetCurrentKey(int k) { if (KeyOk(k)) S().currentKey = k; }
uint8_t LastChar() { return S().lastChar; }
void SetLastChar(uint8_t c) { S().lastChar = c; }
const std::string& TypedText() { return S().typed; }
void SetTypedText(const std::string& t) { S().typed = t; }
int MapKey(int k) { return KeyOk(k) ? S().keyMap[k] : k; }
void SetKeyMap(int k, int v) { if (KeyOk(k)) S().keyMap[k] = v; }

bool ButtonDown(int b) { return ButtonOk(b) && S().bDown[b]; }
bool ButtonPressed(int b) { return ButtonOk(b) && S().bPressed[b]; }
bool ButtonReleased(int b) { return ButtonOk(b) && S().bReleased[b]; }
void ClearButton(int b) {
  if (!ButtonOk(b)) return;
  S().bDown[b] = S().bPressed[b] = S().bReleased[b] = false;
}
int LastButton() { return S().lastButton; }
int CurrentButton() { return S().currentButton; }
void SetLastButton(int b) { if (ButtonOk(b)) S().lastButton = b; }
void SetCurrentButton(int b) { if (ButtonOk(b)) S().currentButton = b; }
void ClearCurrentButton() { S().currentButton = 0; }
bool WheelUp() { return S().wheelUp; }
bool WheelDown() { return S().wheelDown; }

int MouseClientX() { return S().mouseX; }
int MouseClientY() { return S().mouseY; }
void SetMouseClient(int x, int y) {
  S().mouseX = x;
  S().mouseY = y;
}

bool ClosePending() { return S().closePending; }

bool TakeCloseRequest() {
  bool p = S().closePending;
  S().closePending = false;
  return p;
}

void OnKeyDown(int key) {
  int k = MapKey(key);
  if (!KeyOk(k)) return;
  auto& s = S();
  s.lastKey = s.currentKey = k;
  if (!s.down[k]) s.pressed[k] = true;  // auto-repeat gives one pressed flag
  s.down[k] = true;
}

void OnKeyUp(int key) {
  int k = MapKey(key);
  if (!KeyOk(k)) return;
  auto& s = S();
  if (k == s.currentKey) s.currentKey = 0;
  s.down[k] = false;
  s.released[k] = true;
}

void OnChar(uint8_t c) {
  auto& s = S();
  s.lastChar = c;
  if (s.typed.size() > 1024) s.typed.erase(0, s.typed.size() - 1024);
  if (c == 8) {
    if (!s.typed.empty()) s.typed.pop_back();
  } else if (c > 31) {
    s.typed.push_back(static_cast<char>(c));
  }
}

void OnButton(int button, bool down) {
  if (!ButtonOk(button)) return;
  auto& s = S();
  if (down) {
      s.lastButton = s.currentButton = button;
    s.bDown[button] = true;
    s.bPressed[button] = true;
  } else {
    s.currentButton = 0;
    s.bDown[button] = false;
    s.bReleased[button] = true;
  }
}

void OnWheel(int direction) {
  if (direction > 0) S().wheelUp = true;
  else if (direction < 0) S().wheelDown = true;
}

void OnCloseRequest() {
  if (Hooks().closeAsEscape) {
    auto& s = S();
    s.down[27] = true;
    s.lastKey = s.currentKey = 27;
    return;
  }
  // The close-button event runs in the next step, never inside a nested message pump.
  S().closePending = true;
}

}  // namespace kv::input
