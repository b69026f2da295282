// The desktop display: its mode, mode changes, the global mouse and the vertical blank.
#pragma once

namespace kv::plat {

struct DisplayMode {
  int width = 1024, height = 768, bitsPerPixel = 32, frequency = 0;
};

class IDisplay {
 public:
  virtual ~IDisplay() = default;
  virtual DisplayMode Desktop() const = 0;
  // A parameter ≤ 0 stays unchanged. `testOnly` checks without changing anything.
  virtual bool SetMode(int width, int height, int frequency, int bitsPerPixel, bool testOnly) = 0;
  virtual void Restore() = 0;
  virtual void GlobalMouse(int& x, int& y) const = 0;
  virtual void SetGlobalMouse(int x, int y) = 0;
  virtual void WaitVBlank() = 0;
};

}  // namespace kv::plat
