#include "graphics/graphics_window.h"

#include <algorithm>
#include <cmath>

#include "graphics/graphics_d3d.h"
#include "graphics/graphics_display.h"
#include "graphics/graphics_support.h"
#include "input/io_main.h"

namespace kv::gfx {

WindowState& Win() {
  static WindowState state;
  return state;
}

void AttachWindow(plat::IWindow* window, int desktopWidth, int desktopHeight) {
  auto& w = Win();
  w.window = window;
  w.desktopWidth = std::max(1, desktopWidth);
  w.desktopHeight = std::max(1, desktopHeight);
  if (window) {
    plat::IntRect r = window->ClientRect();
    w.clientLeft = r.x;
    w.clientTop = r.y;
    w.clientWidth = r.w;
    w.clientHeight = r.h;
  }
}

static double FitScale(int cw, int ch, int rw, int rh) {
  return std::min(static_cast<double>(ch) / std::max(1, rh), static_cast<double>(cw) / std::max(1, rw));
}

plat::IntRect DrawingRegion(int cw, int ch, int rw, int rh, double s) {
  if (s == 0.0) return {0, 0, cw, ch};
  if (s < 0.0) s = FitScale(cw, ch, rw, rh);
  int width = RoundToInt(rw * s), height = RoundToInt(s * rh);
  return {(cw - width) / 2, (ch - height) / 2, width, height};
}

void WindowToFrame(double wx, double wy, int cw, int ch, int rw, int rh, double s, int& fx, int& fy) {
  if (s == 0.0) {
    // A minimised window has a client area of 0: no division by it.
    fx = cw > 0 ? RoundToInt(wx * rw / cw) : 0;
    fy = ch > 0 ? RoundToInt(wy * rh / ch) : 0;
    return;
  }
  if (s < 0.0) s = FitScale(cw, ch, rw, rh);
  if (s == 0.0) {
    fx = fy = 0;
    return;
  }
  int mx = (cw - RoundToInt(rw * s)) / 2, my = (ch - RoundToInt(rh * s)) / 2;
  fx = RoundToInt((wx - mx) / s);
  fy = RoundToInt((wy - my) / s);
}

void FrameToWindow(double fx, double fy, int cw, int ch, int rw, int rh, double s, int& wx, int& wy) {
  if (s == 0.0) {
    wx = rw > 0 ? RoundToInt(fx * cw / rw) : 0;
    wy = rh > 0 ? RoundToInt(fy * ch / rh) : 0;
    return;
  }
  if (s < 0.0) s = FitScale(cw, ch, rw, rh);
  int mx = (cw - RoundToInt(rw * s)) / 2, my = (ch - RoundToInt(rh * s)) / 2;
  wx = RoundToInt(mx + fx * s);
  wy = RoundToInt(my + fy * s);
}

static ViewMapping g_views[kViewMappings];
ViewMapping* ViewMappings() { return g_views; }
void ClearViewMappings() {
  for (auto& v : g_views) v = ViewMapping{};
}

void FrameToRoom(int n, double fx, double fy, int& rx, int& ry) {
  if (n < 0 || n >= kViewMappings || !g_views[n].active || g_views[n].portW == 0 || g_views[n].portH == 0) {
    rx = RoundToInt(fx);
    ry = RoundToInt(fy);
    return;
  }
  const ViewMapping& v = g_views[n];
  double x = (fx - v.portX) * v.viewW / v.portW, y = (fy - v.portY) * v.viewH / v.portH;
  if (std::fabs(v.angle) < 0.01) {
    rx = RoundToInt(x + v.viewX);
    ry = RoundToInt(y + v.viewY);
    return;
  }
  double a = -v.angle * M_PI / 180.0;
  x -= v.viewW / 2;
  y -= v.viewH / 2;
  rx = RoundToInt(std::cos(a) * x + v.viewW / 2 + v.viewX + std::sin(a) * y);
  ry = RoundToInt(v.viewH / 2 + v.viewY - x * std::sin(a) + y * std::cos(a));
}

void RoomToFrame(int n, double x, double y, int& fx, int& fy) {
  if (n < 0 || n >= kViewMappings || !g_views[n].active || g_views[n].viewW == 0 || g_views[n].viewH == 0) {
    fx = RoundToInt(x);
    fy = RoundToInt(y);
    return;
  }
  const ViewMapping& v = g_views[n];
  double px = (x - v.viewX) * v.portW / v.viewW, py = (y - v.viewY) * v.portH / v.viewH;
  if (std::fabs(v.angle) < 0.01) {
    fx = RoundToInt(px + v.portX);
    fy = RoundToInt(py + v.portY);
    return;
  }
  double a = v.angle * M_PI / 180.0;
  px -= v.portW / 2;
  py -= v.portH / 2;
  fx = RoundToInt(std::cos(a) * px + v.portW / 2 + v.portX + std::sin(a) * py);
  fy = RoundToInt(v.portH / 2 + v.portY - px * std::sin(a) + py * std::cos(a));
}

void MouseThroughViews(double fx, double fy, int& rx, int& ry) {
  int lowest = -1;
  for (int n = kViewMappings - 1; n >= 0; --n) {
    const ViewMapping& v = g_views[n];
    if (!v.active) continue;
    lowest = n;
    int x, y;
    FrameToRoom(n, fx, fy, x, y);
    if (v.viewX <= x && x < v.viewX + v.viewW && v.viewY <= y && y < v.viewY + v.viewH) {
      rx = x;
      ry = y;
      return;
    }
  }
  if (lowest < 0) {
    rx = RoundToInt(fx);
    ry = RoundToInt(fy);
    return;
  }
  FrameToRoom(lowest, fx, fy, rx, ry);
}

void ActualClientSize(int& cw, int& ch) {
  auto& w = Win();
  if (w.window) {
    plat::IntRect r = w.window->ClientRect();
    cw = r.w;
    ch = r.h;
  } else if (w.fullScreen) {
    cw = w.desktopWidth;
    ch = w.desktopHeight;
  } else {
    cw = w.clientWidth;
    ch = w.clientHeight;
  }
}

void MouseFrame(int& fx, int& fy) {
  auto& w = Win();
  int mx = input::MouseClientX(), my = input::MouseClientY(), cw, ch;
  ActualClientSize(cw, ch);
  WindowToFrame(mx, my, cw, ch, w.regionWidth, w.regionHeight, w.regionScale, fx, fy);
}

int MouseRoomX() {
  int fx, fy, rx, ry;
  MouseFrame(fx, fy);
  MouseThroughViews(fx, fy, rx, ry);
  return rx;
}

int MouseRoomY() {
  int fx, fy, rx, ry;
  MouseFrame(fx, fy);
  MouseThroughViews(fx, fy, rx, ry);
  return ry;
}

void PlaceMouseFrame(double fx, double fy) {
  auto& w = Win();
  int wx, wy, cw, ch;
  ActualClientSize(cw, ch);
  FrameToWindow(fx, fy, cw, ch, w.regionWidth, w.regionHeight, w.regionScale, wx, wy);
  input::SetMouseClient(wx, wy);
  if (w.window) w.window->WarpMouse(wx, wy);
}

// ---- frame bookkeeping ----

static void Repaint() { PresentAgain(); }

static void UpdateMinimumSize() {
  auto& w = Win();
  if (!w.window) return;
  if (w.regionScale > 0)
    w.window->SetMinClientSize(std::min(RoundToInt(w.regionScale * w.regionWidth), kMaxClientSize),
                               std::min(RoundToInt(w.regionHeight * w.regionScale), kMaxClientSize));
  else
    w.window->SetMinClientSize(1, 1);
}

void StoreGeometry() {
  auto& w = Win();
  if (w.fullScreen || w.updating || !w.window) return;
  plat::IntRect r = w.window->ClientRect();
  w.clientLeft = r.x;
  w.clientTop = r.y;
  w.clientWidth = r.w;
  w.clientHeight = r.h;
}

void ApplyOptions() {
  auto& w = Win();
  w.updating = true;
  if (w.window) {
    plat::WindowFrame f;
    f.border = w.showBorder && !w.fullScreen;
    f.icons = w.showIcons;
    f.sizeable = w.sizeable;
    f.fullscreen = w.fullScreen;
    f.onTop = w.stayOnTop;
    w.window->SetFrame(f);
    DisplayFollowsWindow();  // full screen may have changed the display mode
    // Full screen covers the desktop; the stored windowed geometry stays for the way back.
    if (!w.fullScreen) w.window->SetClientRect({w.clientLeft, w.clientTop, w.clientWidth, w.clientHeight});
    UpdateMinimumSize();
  }
  w.updating = false;
}

static void ResizeClient(int cw, int ch) {
  auto& w = Win();
  // Game code can ask for any size; a window beyond what the device can present into crashes the GL driver.
  w.clientWidth = std::clamp(cw, 1, kMaxClientSize);
  w.clientHeight = std::clamp(ch, 1, kMaxClientSize);
  // Window systems keep positions in 16 bits; beyond that they wrap around.
  w.clientLeft = std::clamp(w.clientLeft, -kMaxClientPosition, kMaxClientPosition);
  w.clientTop = std::clamp(w.clientTop, -kMaxClientPosition, kMaxClientPosition);
  if (w.window && !w.fullScreen) {
    w.updating = true;
    w.window->SetClientRect({w.clientLeft, w.clientTop, w.clientWidth, w.clientHeight});
    w.updating = false;
  }
}

static void FitToRegion(bool adapt) {
  auto& w = Win();
  if (w.regionScale > 0) {
    int tw = RoundToInt(w.regionWidth * w.regionScale), th = RoundToInt(w.regionScale * w.regionHeight);
    if (adapt) ResizeClient(tw, th);
    else if (w.clientWidth < tw || w.clientHeight < th)
      ResizeClient(std::max(w.clientWidth, tw), std::max(w.clientHeight, th));
  }
  UpdateMinimumSize();
  Repaint();
}

void SetRegionSize(int width, int height, bool adapt) {
  StoreGeometry();
  auto& w = Win();
  if (width > 0) w.regionWidth = width;
  if (height > 0) w.regionHeight = height;
  FitToRegion(adapt);
}

void SetRegionScale(double scale, bool adapt) {
  StoreGeometry();
  Win().regionScale = std::isfinite(scale) ? scale : 1.0;
  FitToRegion(adapt);
}

static void RaiseToRegion(int& cw, int& ch) {
  auto& w = Win();
  if (w.regionScale > 0) {
    cw = std::max(cw, RoundToInt(w.regionWidth * w.regionScale));
    ch = std::max(ch, RoundToInt(w.regionScale * w.regionHeight));
  }
}

void SetClientSize(int width, int height) {
  StoreGeometry();
  RaiseToRegion(width, height);
  ResizeClient(width, height);
}

void SetClientRect(int x, int y, int width, int height) {
  StoreGeometry();
  Win().clientLeft = x;
  Win().clientTop = y;
  RaiseToRegion(width, height);
  ResizeClient(width, height);
}

void SetClientPosition(int x, int y) {
  StoreGeometry();
  Win().clientLeft = x;
  Win().clientTop = y;
  ResizeClient(Win().clientWidth, Win().clientHeight);
}

void CenterWindow() {
  StoreGeometry();
  auto& w = Win();
  w.clientLeft = (w.desktopWidth - w.clientWidth) / 2;
  w.clientTop = (w.desktopHeight - w.clientHeight) / 2;
  ResizeClient(w.clientWidth, w.clientHeight);
}

void DefaultWindow() {
  StoreGeometry();
  auto& w = Win();
  int cw = w.regionWidth, ch = w.regionHeight;
  if (w.regionScale > 0) cw = RoundToInt(w.regionWidth * w.regionScale), ch = RoundToInt(w.regionScale * w.regionHeight);
  w.clientLeft = (w.desktopWidth - cw) / 2;
  w.clientTop = (w.desktopHeight - ch) / 2;
  ResizeClient(cw, ch);
}

template <class F>
static void ChangeOption(F change) {
  StoreGeometry();
  change(Win());
  ApplyOptions();
  Repaint();
}

void SetFullScreen(bool on) { ChangeOption([&](WindowState& w) { w.fullScreen = on; }); }
void SetShowBorder(bool on) { ChangeOption([&](WindowState& w) { w.showBorder = on; }); }
void SetShowIcons(bool on) { ChangeOption([&](WindowState& w) { w.showIcons = on; }); }
void SetSizeable(bool on) { ChangeOption([&](WindowState& w) { w.sizeable = on; }); }
void SetStayOnTop(bool on) { ChangeOption([&](WindowState& w) { w.stayOnTop = on; }); }

void SetVisible(bool on) {
  auto& w = Win();
  w.visible = on;
  if (w.window) w.window->SetVisible(on);
  StoreGeometry();
}

void SetCaption(const std::string& caption) {
  auto& w = Win();
  if (w.caption == caption) return;
  w.caption = caption;
  if (w.window) w.window->SetCaption(caption);
}

void SetCursor(int cursor) {
  auto& w = Win();
  w.cursor = cursor;
  w.displayCursor = cursor != -1;
  if (w.window) w.window->SetCursor(cursor);
}

void SetWindowColour(int colour) {
  Win().colour = colour;
  Repaint();
}

void StartWindow(const WindowStartSettings& s) {
  SetRegionSize(8, 8, true);
  SetRegionScale(s.scalingPercent / 100.0, true);
  auto& w = Win();
  StoreGeometry();
  w.sizeable = s.sizeable;
  w.stayOnTop = s.stayOnTop;
  w.colour = s.colour;
  w.showBorder = s.showBorder;
  w.showIcons = s.showIcons;
  w.fullScreen = s.fullScreen;
  ApplyOptions();
  SetCursor(s.showCursor ? 0 : -1);
}

void ToggleFullScreen() { SetFullScreen(!Win().fullScreen); }

void OnClientResized(int width, int height) {
  auto& w = Win();
  if (!w.fullScreen && !w.updating) {
    if (w.window) {
      plat::IntRect r = w.window->ClientRect();
      w.clientLeft = r.x;
      w.clientTop = r.y;
    }
    w.clientWidth = width;
    w.clientHeight = height;
  }
  Repaint();
}

}  // namespace kv::gfx
