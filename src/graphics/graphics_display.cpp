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

// The mode full screen uses on a real screen; none: the desktop's own.
std::optional<plat::DisplayMode> g_request;

// A real screen's modes come from the game window; without a platform display (or before the window exists)
// the virtual desktop answers.
plat::IWindow* ModeWindow() { return g_display ? Win().window : nullptr; }

constexpr int kUnknownRate = 60;
int RateOf(const plat::DisplayMode& m) { return m.frequency > 0 ? m.frequency : kUnknownRate; }
bool SameMode(const plat::DisplayMode& a, const plat::DisplayMode& b) {
  return a.width == b.width && a.height == b.height && RateOf(a) == RateOf(b);
}

// The mode games see: the one on the screen, always 32 bits, a rate the window system does not tell as 60.
plat::DisplayMode Reported() {
  if (plat::IWindow* window = ModeWindow()) {
    plat::DisplayMode m = window->CurrentMode();
    m.bitsPerPixel = 32;
    m.frequency = RateOf(m);
    return m;
  }
  return Current().Desktop();
}

// Centring, full screen and the render-size limit follow the desktop the display reports.
void ShareDesktopSize() {
  const plat::DisplayMode m = Reported();
  Win().desktopWidth = std::max(1, m.width);
  Win().desktopHeight = std::max(1, m.height);
  D3D().desktopWidth = Win().desktopWidth;
  D3D().desktopHeight = Win().desktopHeight;
}

std::optional<plat::DisplayMode> PickForWindow(plat::IWindow& window, int width, int height, int frequency,
                                               int depth) {
  const plat::DisplayMode desktop = window.DesktopMode();
  return PickDisplayMode(window.DisplayModes(), g_request.value_or(desktop), desktop, width, height, frequency,
                         depth);
}

bool ChangeRealDisplay(plat::IWindow& window, int width, int height, int frequency, int depth) {
  const std::optional<plat::DisplayMode> mode = PickForWindow(window, width, height, frequency, depth);
  if (!mode) return false;
  // The desktop's own mode needs no change: full screen just covers the desktop.
  if (SameMode(*mode, window.DesktopMode())) {
    g_request.reset();
    window.SetFullScreenMode(nullptr);
  } else if (window.SetFullScreenMode(&*mode)) {
    g_request = mode;
  } else {
    // Refused by the window system: what was in use before stays.
    window.SetFullScreenMode(g_request ? &*g_request : nullptr);
    return false;
  }
  ShareDesktopSize();
  return true;
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
  g_request.reset();
  if (!display) DefaultDisplay().Restore();
  ShareDesktopSize();
}

void DisplayFollowsWindow() { ShareDesktopSize(); }

std::optional<plat::DisplayMode> PickDisplayMode(const std::vector<plat::DisplayMode>& modes,
                                                 const plat::DisplayMode& current, const plat::DisplayMode& desktop,
                                                 int width, int height, int frequency, int depth) {
  if (depth > 0 && depth != 16 && depth != 32) return std::nullopt;
  const int w = width > 0 ? width : current.width, h = height > 0 ? height : current.height;
  std::optional<plat::DisplayMode> best;
  // Better: the current rate, then a higher one, then 32 bits over 16 (a requested rate is required).
  auto better = [&](const plat::DisplayMode& a, const plat::DisplayMode& b) {
    const bool aKeeps = RateOf(a) == RateOf(current), bKeeps = RateOf(b) == RateOf(current);
    if (aKeeps != bKeeps) return aKeeps;
    if (RateOf(a) != RateOf(b)) return RateOf(a) > RateOf(b);
    return a.bitsPerPixel == 32 && b.bitsPerPixel != 32;
  };
  auto consider = [&](const plat::DisplayMode& m) {
    if (m.width != w || m.height != h) return;
    if (frequency > 0 && RateOf(m) != frequency) return;
    if (!best || better(m, *best)) best = m;
  };
  consider(desktop);
  for (const plat::DisplayMode& m : modes) consider(m);
  return best;
}

std::optional<plat::DisplayMode> RequestedDisplayMode() { return g_request; }

int DisplayWidth() { return Reported().width; }
int DisplayHeight() { return Reported().height; }
int DisplayColourDepth() { return Reported().bitsPerPixel; }
int DisplayFrequency() { return Reported().frequency; }

bool ChangeDisplay(int width, int height, int frequency, int depth) {
  if (plat::IWindow* window = ModeWindow()) return ChangeRealDisplay(*window, width, height, frequency, depth);
  if (!Current().SetMode(width, height, frequency, depth, false)) return false;
  ShareDesktopSize();
  return true;
}
bool TestDisplay(int width, int height, int frequency, int depth) {
  if (plat::IWindow* window = ModeWindow()) return PickForWindow(*window, width, height, frequency, depth).has_value();
  return Current().SetMode(width, height, frequency, depth, true);
}
void RestoreDisplay() {
  g_request.reset();
  if (plat::IWindow* window = ModeWindow()) window->SetFullScreenMode(nullptr);
  else Current().Restore();
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
