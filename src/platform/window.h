// The game window and the input that reaches it. Backends: SDL2 (platform/sdl), offscreen under
// SDL_VIDEODRIVER=offscreen for headless runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/gpu_device.h"

namespace kv::plat {

// Receives window and input events (implemented by the input module). Keys are Windows virtual-key codes
// 0 … 255; characters are CP-1252 bytes; buttons 1 left, 2 right, 3 middle.
class InputSink {
 public:
  virtual ~InputSink() = default;
  virtual void KeyDown(int /*vk*/) {}
  virtual void KeyUp(int /*vk*/) {}
  virtual void Char(uint8_t /*cp1252*/) {}
  virtual void Button(int /*button*/, bool /*down*/) {}
  virtual void Wheel(int /*direction*/) {}  // +1 up, −1 down
  virtual void MouseMove(int /*x*/, int /*y*/) {}  // client coordinates
  virtual void CloseRequest() {}
  virtual void Focus(bool /*active*/) {}
  virtual void Exposed() {}
  virtual void Resized(int /*clientWidth*/, int /*clientHeight*/) {}
};

struct WindowFrame {
  bool border = true, icons = true, sizeable = false, fullscreen = false, onTop = false;
  bool operator==(const WindowFrame&) const = default;
};

class IWindow {
 public:
  virtual ~IWindow() = default;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Visible() const = 0;
  virtual void SetCaption(const std::string& cp1252) = 0;
  virtual void SetFrame(const WindowFrame& frame) = 0;
  virtual void SetClientRect(const IntRect& r) = 0;   // desktop position and size of the client area
  virtual IntRect ClientRect() const = 0;
  virtual void SetMinClientSize(int w, int h) = 0;
  virtual void SetCursor(int crCode) = 0;             // cr_default 0, cr_none −1, cr_arrow −2 … cr_size_all −22
  virtual void Mouse(int& x, int& y) const = 0;       // client coordinates
  virtual void WarpMouse(int x, int y) = 0;           // client coordinates
  virtual bool IsActive() const = 0;
  virtual uint64_t NativeHandle() const = 0;          // X11 window id, 0 when there is none
  virtual void Pump(InputSink& sink) = 0;             // handle every pending event
  virtual void WaitForEvent(int /*maxMillis*/) {}     // sleeps until an event is pending or the time is up
  virtual bool KeyHeldNow(int /*vk*/) const { return false; }  // the physical key, whatever the game saw
  virtual bool NumLockOn() const { return false; }
  virtual void* SdlWindow() const = 0;                // for the GL device of the same backend; null otherwise

  // Display modes of the screen the window is on. Depths are reported as the 16 or 32 bits games know; a rate
  // of 0 means the window system does not tell.
  virtual std::vector<DisplayMode> DisplayModes() const { return {}; }
  virtual DisplayMode DesktopMode() const { return {}; }
  // The mode on the screen now: the window's full-screen mode while it is applied, else the desktop's.
  virtual DisplayMode CurrentMode() const { return DesktopMode(); }
  // The mode full screen uses. Null: the desktop's own (the window covers the desktop, no mode change);
  // otherwise exclusive full screen in that mode (one of DisplayModes()). Takes effect at once while the window
  // is full screen, else when it enters full screen; leaving full screen, passing null and destroying the
  // window give the desktop its mode back. False when the window system refuses the mode.
  virtual bool SetFullScreenMode(const DisplayMode* mode) { return mode == nullptr; }
};

}  // namespace kv::plat
