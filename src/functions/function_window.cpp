#include "functions/function_window.h"

#include "code/code_docs.h"
#include "code/code_function.h"
#include "code/code_value.h"
#include "functions/function_args.h"
#include "graphics/graphics_display.h"
#include "graphics/graphics_support.h"
#include "graphics/graphics_text.h"
#include "graphics/graphics_window.h"
#include "input/io_main.h"

namespace kv {

namespace {

using namespace fnargs;

WindowFunctionHooks& Hooks() {
  static WindowFunctionHooks hooks;
  return hooks;
}

std::string Text(const RValue* a, int i) {
  return a[i].IsString() ? a[i].ToStdString() : gfx::TextOfNumber(a[i].Real());
}

// The client rectangle on the desktop as it is now (the whole desktop in full screen).
plat::IntRect ClientRect() {
  const auto& w = gfx::Win();
  if (w.fullScreen) return {0, 0, w.desktopWidth, w.desktopHeight};
  if (w.window && !w.updating) return w.window->ClientRect();
  return {w.clientLeft, w.clientTop, w.clientWidth, w.clientHeight};
}

// Room point of the mouse through mapping entry n.
void MouseThroughView(int n, int& rx, int& ry) {
  int fx, fy;
  gfx::MouseFrame(fx, fy);
  gfx::FrameToRoom(n, fx, fy, rx, ry);
}

// Places the mouse on a room point as seen through mapping entry n (entry missing: the point is a frame point).
void PlaceMouseThroughView(int n, double x, double y) {
  int fx, fy;
  gfx::RoomToFrame(n, x, y, fx, fy);
  gfx::PlaceMouseFrame(fx, fy);
}

int FirstActiveView() {
  const gfx::ViewMapping* v = gfx::ViewMappings();
  for (int n = 0; n < gfx::kViewMappings; ++n)
    if (v[n].active) return n;
  return -1;
}

int ShowMenu(int x, int y, const std::string& items) {
  const int answer = Hooks().popupMenu ? Hooks().popupMenu(x, y, items) : -1;
  return answer < 0 ? -1 : answer;
}

}  // namespace

void SetWindowFunctionHooks(const WindowFunctionHooks& hooks) { Hooks() = hooks; }

void RegisterWindowFunctions() {
  // ---- properties ----
  Reg("window_set_visible", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetVisible(B(a, 0)); });
  Reg("window_get_visible", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::Win().visible; });
  Reg("window_set_fullscreen", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetFullScreen(B(a, 0)); });
  Reg("window_get_fullscreen", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::Win().fullScreen; });
  Reg("window_set_showborder", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetShowBorder(B(a, 0)); });
  Reg("window_get_showborder", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::Win().showBorder; });
  Reg("window_set_showicons", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetShowIcons(B(a, 0)); });
  Reg("window_get_showicons", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::Win().showIcons; });
  Reg("window_set_stayontop", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetStayOnTop(B(a, 0)); });
  Reg("window_get_stayontop", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::Win().stayOnTop; });
  Reg("window_set_sizeable", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetSizeable(B(a, 0)); });
  Reg("window_get_sizeable", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::Win().sizeable; });
  Reg("window_set_caption", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetCaption(Text(a, 0)); });
  Reg("window_get_caption", 0, KV_FN { KV_UNUSED_ARGS; r = RValue(gfx::Win().caption); });
  Reg("window_set_cursor", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetCursor(I(a, 0)); });
  Reg("window_get_cursor", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::Win().cursor; });
  Reg("window_set_color", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetWindowColour(I(a, 0)); });
  Reg("window_get_color", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::Win().colour; });

  // ---- position and size ----
  Reg("window_set_position", 2, KV_FN { KV_UNUSED_ARGS; gfx::SetClientPosition(I(a, 0), I(a, 1)); });
  Reg("window_set_size", 2, KV_FN { KV_UNUSED_ARGS; gfx::SetClientSize(I(a, 0), I(a, 1)); });
  Reg("window_set_rectangle", 4, KV_FN { KV_UNUSED_ARGS; gfx::SetClientRect(I(a, 0), I(a, 1), I(a, 2), I(a, 3)); });
  Reg("window_center", 0, KV_FN { KV_UNUSED_ARGS; gfx::CenterWindow(); });
  Reg("window_default", 0, KV_FN { KV_UNUSED_ARGS; gfx::DefaultWindow(); });
  Reg("window_get_x", 0, KV_FN { KV_UNUSED_ARGS; r = ClientRect().x; });
  Reg("window_get_y", 0, KV_FN { KV_UNUSED_ARGS; r = ClientRect().y; });
  Reg("window_get_width", 0, KV_FN { KV_UNUSED_ARGS; r = ClientRect().w; });
  Reg("window_get_height", 0, KV_FN { KV_UNUSED_ARGS; r = ClientRect().h; });

  // ---- drawing region ----
  Reg("window_set_region_size", 3, KV_FN { KV_UNUSED_ARGS; gfx::SetRegionSize(I(a, 0), I(a, 1), B(a, 2)); });
  Reg("window_get_region_width", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::Win().regionWidth; });
  Reg("window_get_region_height", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::Win().regionHeight; });
  Reg("window_set_region_scale", 2, KV_FN { KV_UNUSED_ARGS; gfx::SetRegionScale(D(a, 0), B(a, 1)); });
  Reg("window_get_region_scale", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::Win().regionScale; });

  // ---- the mouse ----
  Reg("window_mouse_get_x", 0, KV_FN { KV_UNUSED_ARGS; r = input::MouseClientX(); });
  Reg("window_mouse_get_y", 0, KV_FN { KV_UNUSED_ARGS; r = input::MouseClientY(); });
  Reg("window_mouse_set", 2, KV_FN {
    KV_UNUSED_ARGS;
    input::SetMouseClient(I(a, 0), I(a, 1));
    if (gfx::Win().window) gfx::Win().window->WarpMouse(I(a, 0), I(a, 1));
  });
  Reg("window_view_mouse_get_x", 1, KV_FN {
    KV_UNUSED_ARGS;
    int x, y;
    MouseThroughView(I(a, 0), x, y);
    r = x;
  });
  Reg("window_view_mouse_get_y", 1, KV_FN {
    KV_UNUSED_ARGS;
    int x, y;
    MouseThroughView(I(a, 0), x, y);
    r = y;
  });
  Reg("window_view_mouse_set", 3, KV_FN { KV_UNUSED_ARGS; PlaceMouseThroughView(I(a, 0), D(a, 1), D(a, 2)); });
  Reg("window_views_mouse_get_x", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::MouseRoomX(); });
  Reg("window_views_mouse_get_y", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::MouseRoomY(); });
  Reg("window_views_mouse_set", 2, KV_FN { KV_UNUSED_ARGS; PlaceMouseThroughView(FirstActiveView(), D(a, 0), D(a, 1)); });

  // ---- popup menus ----
  Reg("show_menu", 2, KV_FN {
    KV_UNUSED_ARGS;
    const int answer = ShowMenu(gfx::DisplayMouseX(), gfx::DisplayMouseY(), Text(a, 0));
    r = answer >= 0 ? double(answer) : D(a, 1);
  });
  Reg("show_menu_pos", 4, KV_FN {
    KV_UNUSED_ARGS;
    const int answer = ShowMenu(I(a, 0), I(a, 1), Text(a, 2));
    r = answer >= 0 ? double(answer) : D(a, 3);
  });

  DescribeFunctions("Window", {
      {"window_set_visible", "visible", "Shows or hides the game window."},
      {"window_get_visible", "", "Returns whether the game window is visible."},
      {"window_set_fullscreen", "full", "Switches the game between full screen and a window."},
      {"window_get_fullscreen", "", "Returns whether the game runs in full screen."},
      {"window_set_showborder", "show", "Sets whether the window has a border and caption bar."},
      {"window_get_showborder", "", "Returns whether the window has a border."},
      {"window_set_showicons", "show", "Sets whether the window's caption bar shows its buttons."},
      {"window_get_showicons", "", "Returns whether the window's caption bar shows its buttons."},
      {"window_set_stayontop", "stay", "Sets whether the window stays above all other windows."},
      {"window_get_stayontop", "", "Returns whether the window stays above all other windows."},
      {"window_set_sizeable", "sizeable", "Sets whether the player can resize the window."},
      {"window_get_sizeable", "", "Returns whether the player can resize the window."},
      {"window_set_caption", "caption",
       "Sets the caption of the window; drawing the room replaces it (set room_caption to keep a caption)."},
      {"window_get_caption", "", "Returns the caption of the window."},
      {"window_set_cursor", "curs", "Sets the mouse cursor shown over the window (cr_none hides it)."},
      {"window_get_cursor", "", "Returns the mouse cursor shown over the window."},
      {"window_set_color", "color", "Sets the colour of the window around the drawn game image."},
      {"window_get_color", "", "Returns the colour of the window around the drawn game image."},
      {"window_set_position", "x, y", "Moves the window's inner area to (x, y) on the screen."},
      {"window_set_size", "w, h", "Sets the size of the window's inner area."},
      {"window_set_rectangle", "x, y, w, h", "Sets the position and size of the window's inner area."},
      {"window_center", "", "Centres the window on the screen."},
      {"window_default", "", "Gives the window its default size and centres it."},
      {"window_get_x", "", "Returns the x position of the window's inner area on the screen."},
      {"window_get_y", "", "Returns the y position of the window's inner area on the screen."},
      {"window_get_width", "", "Returns the width of the window's inner area."},
      {"window_get_height", "", "Returns the height of the window's inner area."},
      {"window_set_region_size", "w, h, adaptwindow",
       "Sets the size in pixels the game image is drawn at, optionally fitting the window to it."},
      {"window_get_region_width", "", "Returns the width of the drawing region."},
      {"window_get_region_height", "", "Returns the height of the drawing region."},
      {"window_set_region_scale", "scale, adaptwindow",
       "Sets the scale of the game image in the window (0 fills it, negative keeps the aspect ratio)."},
      {"window_get_region_scale", "", "Returns the scale of the game image in the window."},
      {"window_mouse_get_x", "", "Returns the x position of the mouse relative to the window."},
      {"window_mouse_get_y", "", "Returns the y position of the mouse relative to the window."},
      {"window_mouse_set", "x, y", "Moves the mouse to a position relative to the window."},
      {"window_view_mouse_get_x", "id", "Returns the room x position of the mouse as seen through view id."},
      {"window_view_mouse_get_y", "id", "Returns the room y position of the mouse as seen through view id."},
      {"window_view_mouse_set", "id, x, y", "Moves the mouse to a room position as seen through view id."},
      {"window_views_mouse_get_x", "", "Returns the room x position of the mouse through whichever view it is over."},
      {"window_views_mouse_get_y", "", "Returns the room y position of the mouse through whichever view it is over."},
      {"window_views_mouse_set", "x, y", "Moves the mouse to a room position as seen through the first visible view."},
  });
  DescribeFunctions("Messages and dialogs", {
      {"show_menu", "str, def",
       "Shows a pop-up menu of the items in str, separated by |, and returns the chosen one's number, or def."},
      {"show_menu_pos", "x, y, str, def",
       "Shows a pop-up menu at screen position (x, y) and returns the chosen item's number, or def."},
  });
}

}  // namespace kv
