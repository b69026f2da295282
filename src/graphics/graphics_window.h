// The game window's frame, its drawing region and scale, its script-visible properties, and the mapping of
// mouse positions between the window, the frame and the room through the views.
#pragma once

#include <string>

#include "platform/gpu_device.h"
#include "platform/window.h"

namespace kv::gfx {

struct WindowState {
  plat::IWindow* window = nullptr;  // null: properties are only stored (tests, before the window exists)
  bool showBorder = true, showIcons = true, fullScreen = false, sizeable = false, stayOnTop = false;
  bool visible = true;
  int clientLeft = 0, clientTop = 0, clientWidth = 640, clientHeight = 480;
  int regionWidth = 8, regionHeight = 8;
  double regionScale = 1.0;
  std::string caption;
  int cursor = 0;
  int colour = 0;
  bool displayCursor = true;
  bool updating = false;
  int desktopWidth = 1024, desktopHeight = 768;
};
WindowState& Win();
// The largest client width or height the window takes (requests beyond it are clamped).
constexpr int kMaxClientSize = 8192;
constexpr int kMaxClientPosition = 16384;  // client position limit on either side of the desktop origin
void AttachWindow(plat::IWindow* window, int desktopWidth, int desktopHeight);

// The rectangle of a cw × ch client area that one frame of the region size is presented into.
plat::IntRect DrawingRegion(int cw, int ch, int rw, int rh, double scale);

// Client point → frame point (guards zero client and region sizes).
void WindowToFrame(double wx, double wy, int cw, int ch, int rw, int rh, double scale, int& fx, int& fy);
// Frame point → client point (the inverse, for placing the mouse).
void FrameToWindow(double fx, double fy, int cw, int ch, int rw, int rh, double scale, int& wx, int& wy);

// View mapping table, filled by room drawing every step.
struct ViewMapping {
  bool active = false;
  double viewX = 0, viewY = 0, viewW = 0, viewH = 0, portX = 0, portY = 0, portW = 0, portH = 0, angle = 0;
};
constexpr int kViewMappings = 32;
ViewMapping* ViewMappings();  // kViewMappings entries
void ClearViewMappings();

void FrameToRoom(int n, double fx, double fy, int& rx, int& ry);
void RoomToFrame(int n, double x, double y, int& fx, int& fy);
void MouseThroughViews(double fx, double fy, int& rx, int& ry);

// The client size frames are presented into (the desktop in full screen).
void ActualClientSize(int& cw, int& ch);
// Current mouse in frame coordinates and through the views (reads the window's mouse position).
void MouseFrame(int& fx, int& fy);
int MouseRoomX();
int MouseRoomY();
void PlaceMouseFrame(double fx, double fy);

// Frame bookkeeping and properties.
void StoreGeometry();
void ApplyOptions();
void SetRegionSize(int w, int h, bool adapt);
void SetRegionScale(double scale, bool adapt);
void SetClientSize(int w, int h);
void SetClientRect(int x, int y, int w, int h);
void SetClientPosition(int x, int y);
void CenterWindow();
void DefaultWindow();
void SetFullScreen(bool on);
void SetShowBorder(bool on);
void SetShowIcons(bool on);
void SetSizeable(bool on);
void SetStayOnTop(bool on);
void SetVisible(bool on);
void SetCaption(const std::string& caption);
void SetCursor(int cursor);
void SetWindowColour(int colour);
// The window as the game settings start it: region 8 × 8 and the scale adapted, then the frame options.
struct WindowStartSettings {
  int scalingPercent = 100;  // > 0 fixed scale, 0 fill the window, < 0 keep the aspect ratio
  bool sizeable = false, stayOnTop = false, showBorder = true, showIcons = true, fullScreen = false;
  int colour = 0;
  bool showCursor = true;
};
void StartWindow(const WindowStartSettings& settings);
void ToggleFullScreen();  // the F4 key
// Keeps the stored client geometry in step with the user resizing or moving the window.
void OnClientResized(int w, int h);

}  // namespace kv::gfx
