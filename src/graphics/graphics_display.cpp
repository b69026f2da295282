#include "graphics/graphics_display.h"

#include <algorithm>

#include "graphics/graphics_d3d.h"
#include "graphics/graphics_window.h"
#include "input/io_main.h"

namespace kv::gfx {

namespace {

constexpr int kStandardSizes[6][2] = {{320, 240}, {640, 480}, {800, 600}, {1024, 768}, {1280, 1024}, {1600, 1200}};
constexpr int kStandardRates[5] = {60, 70, 85, 100, 120};

VirtualDisplay& DefaultDisplay() {
  static VirtualDisplay display;
  return display;
}

plat::IDisplay* g_display = nullptr;
plat::IDisplay& Current() { return g_display ? *g_display : DefaultDisplay(); }

// Centring, full screen and the render-size limit follow the desktop the display reports.
void ShareDesktopSize() {
  plat::DisplayMode m = Current().Desktop();
  Win().desktopWidth = std::max(1, m.width);
  Win().desktopHeight = std::max(1, m.height);
  D3D().desktopWidth = Win().desktopWidth;
  D3D().desktopHeight = Win().desktopHeight;
}

}  // namespace

VirtualDisplay::VirtualDisplay(int width, int height) {
  stored_ = {std::max(1, width), std::max(1, height), 32, 60};
  current_ = stored_;
}

bool VirtualDisplay::SetMode(int width, int height, int frequency, int bitsPerPixel, bool testOnly) {
  if (bitsPerPixel > 0 && bitsPerPixel != 16 && bitsPerPixel != 32) return false;
  if (frequency > 0 && std::find(std::begin(kStandardRates), std::end(kStandardRates), frequency) ==
                           std::end(kStandardRates))
    return false;
  const int w = width > 0 ? width : current_.width, h = height > 0 ? height : current_.height;
  bool sizeOk = (w == stored_.width && h == stored_.height);
  for (const auto& s : kStandardSizes)
    sizeOk = sizeOk || (s[0] == w && s[1] == h && w <= stored_.width && h <= stored_.height);
  if (!sizeOk) return false;
  if (!testOnly) {
    current_.width = w;
    current_.height = h;
    if (frequency > 0) current_.frequency = frequency;
    if (bitsPerPixel > 0) current_.bitsPerPixel = bitsPerPixel;
  }
  return true;
}

void VirtualDisplay::GlobalMouse(int& x, int& y) const {
  x = Win().clientLeft + input::MouseClientX();
  y = Win().clientTop + input::MouseClientY();
}

void VirtualDisplay::SetGlobalMouse(int x, int y) { input::SetMouseClient(x - Win().clientLeft, y - Win().clientTop); }

void AttachDisplay(plat::IDisplay* display) {
  g_display = display;
  if (!display) DefaultDisplay().Restore();
  ShareDesktopSize();
}

int DisplayWidth() { return Current().Desktop().width; }
int DisplayHeight() { return Current().Desktop().height; }
int DisplayColourDepth() { return Current().Desktop().bitsPerPixel; }
int DisplayFrequency() { return Current().Desktop().frequency; }

bool ChangeDisplay(int width, int height, int frequency, int depth) {
  if (!Current().SetMode(width, height, frequency, depth, false)) return false;
  ShareDesktopSize();
  return true;
}
bool TestDisplay(int width, int height, int frequency, int depth) {
  return Current().SetMode(width, height, frequency, depth, true);
}
void RestoreDisplay() {
  Current().Restore();
  ShareDesktopSize();
}

int DisplayMouseX() {
  int x = 0, y = 0;
  Current().GlobalMouse(x, y);
  return x;
}
int DisplayMouseY() {
  int x = 0, y = 0;
  Current().GlobalMouse(x, y);
  return y;
}
void SetDisplayMouse(int x, int y) { Current().SetGlobalMouse(x, y); }
void WaitVerticalBlank() { Current().WaitVBlank(); }

int DepthFromCode(int code) { return code == 1 ? 16 : code == 2 ? 32 : 0; }

void ResolutionFromCode(int code, int& width, int& height) {
  width = height = 0;
  if (code >= 1 && code <= 6) {
    width = kStandardSizes[code - 1][0];
    height = kStandardSizes[code - 1][1];
  }
}

int FrequencyFromCode(int code) { return code >= 1 && code <= 5 ? kStandardRates[code - 1] : 0; }

}  // namespace kv::gfx
