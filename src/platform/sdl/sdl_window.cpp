#include "platform/sdl/sdl_window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <map>
#include <optional>

#include "platform/sdl/sdl_event_route.h"
#include "platform/text_codec.h"

namespace kv::plat {

void UseHeadlessVideo() {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  setenv("GALLIUM_DRIVER", "llvmpipe", 0);
  setenv("LP_NUM_THREADS", "2", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
}

namespace {

// True when no D-Bus session bus can be found: no address in the environment and no bus socket in the user's
// runtime directory.
bool NoSessionBus() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) return false;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st{};
  return !(runtime && *runtime && stat((std::string(runtime) + "/bus").c_str(), &st) == 0 && S_ISSOCK(st.st_mode));
}

bool busOverride = false;  // DBUS_SESSION_BUS_ADDRESS was set here until video has started

}  // namespace

// Video starts SDL's input-method and screen-saver support, which connect to the session bus. Without one,
// D-Bus would "autolaunch" a bus by running dbus-launch: a fork and an exec that cost tens of milliseconds and,
// where dbus-launch exists, leave a private bus daemon behind, on which no input method or screen saver listens
// anyway. Video starts with an address that fails at once instead (the screen saver is then held off through X).
// Setting the variable is done while the process has one thread (the SDL platform is made first thing).
void HoldOffBusAutolaunch() {
  if (busOverride || SDL_WasInit(SDL_INIT_VIDEO) || !NoSessionBus()) return;
  setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
  busOverride = true;
}

// ---- key table ----

namespace {

struct KeyPair {
  int sdl;
  int vk;
};

// Keys read from the layout-aware keycode (characters of the key's unshifted symbol).
constexpr KeyPair kKeycodeKeys[] = {
    {SDLK_SEMICOLON, 186}, {SDLK_EQUALS, 187},       {SDLK_COMMA, 188},        {SDLK_MINUS, 189},
    {SDLK_PERIOD, 190},    {SDLK_SLASH, 191},        {SDLK_BACKQUOTE, 192},    {SDLK_LEFTBRACKET, 219},
    {SDLK_BACKSLASH, 220}, {SDLK_RIGHTBRACKET, 221}, {SDLK_QUOTE, 222},
};

// Everything else by physical position.
constexpr KeyPair kScancodeKeys[] = {
    {SDL_SCANCODE_BACKSPACE, 8},      {SDL_SCANCODE_TAB, 9},           {SDL_SCANCODE_CLEAR, 12},
    {SDL_SCANCODE_RETURN, 13},        {SDL_SCANCODE_LSHIFT, 16},       {SDL_SCANCODE_LCTRL, 17},
    {SDL_SCANCODE_LALT, 18},          {SDL_SCANCODE_PAUSE, 19},        {SDL_SCANCODE_CAPSLOCK, 20},
    {SDL_SCANCODE_ESCAPE, 27},        {SDL_SCANCODE_SPACE, 32},        {SDL_SCANCODE_PAGEUP, 33},
    {SDL_SCANCODE_PAGEDOWN, 34},      {SDL_SCANCODE_END, 35},          {SDL_SCANCODE_HOME, 36},
    {SDL_SCANCODE_LEFT, 37},          {SDL_SCANCODE_UP, 38},           {SDL_SCANCODE_RIGHT, 39},
    {SDL_SCANCODE_DOWN, 40},          {SDL_SCANCODE_SELECT, 41},       {SDL_SCANCODE_EXECUTE, 43},
    {SDL_SCANCODE_PRINTSCREEN, 44},   {SDL_SCANCODE_INSERT, 45},       {SDL_SCANCODE_DELETE, 46},
    {SDL_SCANCODE_HELP, 47},          {SDL_SCANCODE_LGUI, 91},         {SDL_SCANCODE_RGUI, 92},
    {SDL_SCANCODE_APPLICATION, 93},   {SDL_SCANCODE_SLEEP, 95},        {SDL_SCANCODE_KP_0, 96},
    {SDL_SCANCODE_KP_1, 97},          {SDL_SCANCODE_KP_2, 98},         {SDL_SCANCODE_KP_3, 99},
    {SDL_SCANCODE_KP_4, 100},         {SDL_SCANCODE_KP_5, 101},        {SDL_SCANCODE_KP_6, 102},
    {SDL_SCANCODE_KP_7, 103},         {SDL_SCANCODE_KP_8, 104},        {SDL_SCANCODE_KP_9, 105},
    {SDL_SCANCODE_KP_MULTIPLY, 106},  {SDL_SCANCODE_KP_PLUS, 107},     {SDL_SCANCODE_KP_MINUS, 109},
    {SDL_SCANCODE_KP_PERIOD, 110},    {SDL_SCANCODE_KP_DIVIDE, 111},   {SDL_SCANCODE_F1, 112},
    {SDL_SCANCODE_F2, 113},           {SDL_SCANCODE_F3, 114},          {SDL_SCANCODE_F4, 115},
    {SDL_SCANCODE_F5, 116},           {SDL_SCANCODE_F6, 117},          {SDL_SCANCODE_F7, 118},
    {SDL_SCANCODE_F8, 119},           {SDL_SCANCODE_F9, 120},          {SDL_SCANCODE_F10, 121},
    {SDL_SCANCODE_F11, 122},          {SDL_SCANCODE_F12, 123},         {SDL_SCANCODE_F13, 124},
    {SDL_SCANCODE_F14, 125},          {SDL_SCANCODE_F15, 126},         {SDL_SCANCODE_F16, 127},
    {SDL_SCANCODE_F17, 128},          {SDL_SCANCODE_F18, 129},         {SDL_SCANCODE_F19, 130},
    {SDL_SCANCODE_F20, 131},          {SDL_SCANCODE_F21, 132},         {SDL_SCANCODE_F22, 133},
    {SDL_SCANCODE_F23, 134},          {SDL_SCANCODE_F24, 135},         {SDL_SCANCODE_NUMLOCKCLEAR, 144},
    {SDL_SCANCODE_SCROLLLOCK, 145},   {SDL_SCANCODE_SEMICOLON, 186},   {SDL_SCANCODE_EQUALS, 187},
    {SDL_SCANCODE_COMMA, 188},        {SDL_SCANCODE_MINUS, 189},       {SDL_SCANCODE_PERIOD, 190},
    {SDL_SCANCODE_SLASH, 191},        {SDL_SCANCODE_GRAVE, 192},       {SDL_SCANCODE_LEFTBRACKET, 219},
    {SDL_SCANCODE_BACKSLASH, 220},    {SDL_SCANCODE_RIGHTBRACKET, 221}, {SDL_SCANCODE_APOSTROPHE, 222},
    {SDL_SCANCODE_NONUSBACKSLASH, 226},
    // Second keys of a pair map to the same code (left/right modifiers, keypad Enter).
    {SDL_SCANCODE_RSHIFT, 16},        {SDL_SCANCODE_RCTRL, 17},        {SDL_SCANCODE_RALT, 18},
    {SDL_SCANCODE_KP_ENTER, 13},
};

}  // namespace

int VkFromSdlKey(int keycode, int scancode) {
  if (keycode >= SDLK_a && keycode <= SDLK_z) return 'A' + (keycode - SDLK_a);
  if (keycode >= SDLK_0 && keycode <= SDLK_9) return '0' + (keycode - SDLK_0);
  for (const auto& k : kKeycodeKeys)
    if (k.sdl == keycode) return k.vk;
  // Letters and digits by position when the layout gives a symbol we have no code for.
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
  if (scancode == SDL_SCANCODE_0) return '0';
  for (const auto& k : kScancodeKeys)
    if (k.sdl == scancode) return k.vk;
  return 0;
}

int SdlScancodeFromVk(int vk) {
  if (vk >= 'A' && vk <= 'Z') return SDL_SCANCODE_A + (vk - 'A');
  if (vk >= '1' && vk <= '9') return SDL_SCANCODE_1 + (vk - '1');
  if (vk == '0') return SDL_SCANCODE_0;
  for (const auto& k : kScancodeKeys)
    if (k.vk == vk) return k.sdl;
  return SDL_SCANCODE_UNKNOWN;
}

// ---- window ----

bool EnsureSdlVideo() {
  bool ok = SDL_WasInit(SDL_INIT_VIDEO) != 0;
  if (!ok) {
    HoldOffBusAutolaunch();  // normally done already, before any other thread started
    ok = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  }
  // The address is as it was before, also for the programs the game starts later.
  if (busOverride) {
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    busOverride = false;
  }
  return ok;
}

namespace {

SDL_SystemCursor CursorFor(int cr) {
  switch (cr) {
    case -3: return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case -4: return SDL_SYSTEM_CURSOR_IBEAM;
    case -6: return SDL_SYSTEM_CURSOR_SIZENESW;
    case -7: case -15: return SDL_SYSTEM_CURSOR_SIZENS;
    case -8: return SDL_SYSTEM_CURSOR_SIZENWSE;
    case -9: case -14: return SDL_SYSTEM_CURSOR_SIZEWE;
    case -11: return SDL_SYSTEM_CURSOR_WAIT;
    case -13: case -18: return SDL_SYSTEM_CURSOR_NO;
    case -17: case -19: return SDL_SYSTEM_CURSOR_WAITARROW;
    case -21: return SDL_SYSTEM_CURSOR_HAND;
    case -5: case -22: return SDL_SYSTEM_CURSOR_SIZEALL;
    default: return SDL_SYSTEM_CURSOR_ARROW;
  }
}

DisplayMode FromSdl(const SDL_DisplayMode& dm) {
  DisplayMode m;
  m.width = dm.w;
  m.height = dm.h;
  // Bytes per pixel × 8: a 24-bit colour mode with padding is the 32-bit mode games expect.
  m.bitsPerPixel = SDL_BYTESPERPIXEL(dm.format) * 8 == 16 ? 16 : 32;
  m.frequency = dm.refresh_rate;
  return m;
}

// ---- giving the desktop its mode back when the process dies ----
//
// A window in exclusive full screen gives the desktop its mode back when it leaves full screen or is destroyed.
// A process that ends some other way (exit() from a library, a crash, an abort, a signal to stop) would leave
// the screen in the game's mode; the guard below restores it on those paths too, then lets the handler that was
// there before (the temporary directory's cleanup, say) or the signal's default action go on. Ignored signals stay
// ignored.

std::atomic<SDL_Window*> g_exclusiveWindow{nullptr};

void RestoreDesktopModeNow() {
  if (SDL_Window* w = g_exclusiveWindow.exchange(nullptr)) SDL_SetWindowFullscreen(w, 0);
}

struct sigaction g_previousAction[NSIG];  // what each guarded signal did before the guard

// Runs the handler that was there before; false when there was none (the signal's default action applies).
bool RunPreviousHandler(int sig, siginfo_t* info, void* context) {
  const struct sigaction& previous = g_previousAction[sig];
  if (previous.sa_flags & SA_SIGINFO) {
    if (!previous.sa_sigaction) return false;
    previous.sa_sigaction(sig, info, context);
    return true;
  }
  if (previous.sa_handler == SIG_DFL || previous.sa_handler == SIG_IGN) return false;
  previous.sa_handler(sig);
  return true;
}

extern "C" void RestoreDesktopModeOnSignal(int sig, siginfo_t* info, void* context) {
  // Best effort on the way down: a window system stuck in the middle of a call must not keep the process alive.
  alarm(2);
  SDL_Window* window = g_exclusiveWindow.load();
  RestoreDesktopModeNow();
  if (RunPreviousHandler(sig, info, context)) {
    // The handler before (one that only takes note, say) let the process go on: back into the game's mode.
    alarm(0);
    if (window) {
      SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN);
      g_exclusiveWindow = window;
    }
    return;
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

void InstallModeGuard() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  std::atexit(RestoreDesktopModeNow);
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
    struct sigaction previous {};
    if (sigaction(sig, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;  // e.g. under nohup
    g_previousAction[sig] = previous;
    struct sigaction guard {};
    guard.sa_sigaction = RestoreDesktopModeOnSignal;
    sigemptyset(&guard.sa_mask);
    guard.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigaction(sig, &guard, nullptr);
  }
}

class SdlGameWindow final : public IWindow {
 public:
  explicit SdlGameWindow(SDL_Window* w) : window_(w) {}
  ~SdlGameWindow() override {
    for (auto& [k, c] : cursors_) SDL_FreeCursor(c);
    if (Exclusive()) SDL_SetWindowFullscreen(window_, 0);
    SDL_Window* self = window_;
    g_exclusiveWindow.compare_exchange_strong(self, nullptr);
    SDL_DestroyWindow(window_);
  }

  void SetVisible(bool visible) override {
    visible ? SDL_ShowWindow(window_) : SDL_HideWindow(window_);
    visible_ = visible;
  }
  bool Visible() const override { return visible_; }
  void SetCaption(const std::string& cp1252) override { SDL_SetWindowTitle(window_, Cp1252ToUtf8(cp1252).c_str()); }

  void SetFrame(const WindowFrame& f) override {
    frame_ = f;
    ApplyFullScreen();
    SDL_SetWindowBordered(window_, f.border ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowResizable(window_, f.sizeable ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowAlwaysOnTop(window_, f.onTop ? SDL_TRUE : SDL_FALSE);
  }

  std::vector<DisplayMode> DisplayModes() const override {
    std::vector<DisplayMode> modes;
    const int display = DisplayIndex();
    const int n = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < n; ++i) {
      SDL_DisplayMode dm;
      if (SDL_GetDisplayMode(display, i, &dm) == 0 && dm.w > 0 && dm.h > 0) modes.push_back(FromSdl(dm));
    }
    return modes;
  }

  DisplayMode DesktopMode() const override {
    SDL_DisplayMode dm;
    if (SDL_GetDesktopDisplayMode(DisplayIndex(), &dm) != 0) return DisplayMode{};
    return FromSdl(dm);
  }

  // The mode the game asked for while it is full screen with one (SDL switches when the window is shown).
  DisplayMode CurrentMode() const override { return frame_.fullscreen && mode_ ? FromSdl(*mode_) : DesktopMode(); }

  bool SetFullScreenMode(const DisplayMode* mode) override {
    const std::optional<SDL_DisplayMode> before = mode_;
    if (!mode) {
      mode_.reset();
      return ApplyFullScreen();
    }
    std::optional<SDL_DisplayMode> found = FindSdlMode(*mode);
    if (!found) return false;
    mode_ = found;
    if (SDL_SetWindowDisplayMode(window_, &*mode_) == 0 && ApplyFullScreen()) return true;
    mode_ = before;
    if (mode_) SDL_SetWindowDisplayMode(window_, &*mode_);
    ApplyFullScreen();
    return false;
  }

  void SetClientRect(const IntRect& r) override {
    SDL_SetWindowPosition(window_, r.x, r.y);
    SDL_SetWindowSize(window_, std::max(1, r.w), std::max(1, r.h));
  }

  IntRect ClientRect() const override {
    IntRect r;
    SDL_GetWindowPosition(window_, &r.x, &r.y);
    SDL_GetWindowSize(window_, &r.w, &r.h);
    if (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) r.w = r.h = 0;
    return r;
  }

  void SetMinClientSize(int w, int h) override { SDL_SetWindowMinimumSize(window_, std::max(1, w), std::max(1, h)); }

  void SetCursor(int cr) override {
    if (cr == -1) {
      SDL_ShowCursor(SDL_DISABLE);
      return;
    }
    SDL_ShowCursor(SDL_ENABLE);
    SDL_SystemCursor id = CursorFor(cr);
    auto it = cursors_.find(id);
    if (it == cursors_.end()) it = cursors_.emplace(id, SDL_CreateSystemCursor(id)).first;
    if (it->second) SDL_SetCursor(it->second);
  }

  void Mouse(int& x, int& y) const override {
    x = mouseX_;
    y = mouseY_;
  }
  void WarpMouse(int x, int y) override {
    mouseX_ = x;
    mouseY_ = y;
    SDL_WarpMouseInWindow(window_, x, y);
  }
  bool IsActive() const override { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0; }

  uint64_t NativeHandle() const override {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11)
      return static_cast<uint64_t>(info.info.x11.window);
    return 0;
  }

  void* SdlWindow() const override { return window_; }

  // Polled in short sleeps rather than waited for: SDL's timed wait sends its wake-up message to a window that may
  // have just closed (a form), and that X error would end the program.
  void WaitForEvent(int maxMillis) override {
    const Uint64 end = SDL_GetTicks64() + static_cast<Uint64>(std::max(0, maxMillis));
    for (;;) {
      SDL_PumpEvents();
      if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) return;
      const Uint64 now = SDL_GetTicks64();
      if (now >= end) return;
      SDL_Delay(static_cast<Uint32>(std::min<Uint64>(5, end - now)));
    }
  }

  // Every physical key that gives the code counts (both Shift keys for 16, the layout's letter keys).
  bool KeyHeldNow(int vk) const override {
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    for (int sc = 1; sc < count; ++sc) {
      if (keys[sc] && VkFromSdlKey(SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(sc)), sc) == vk) return true;
    }
    return false;
  }

  bool NumLockOn() const override { return (SDL_GetModState() & KMOD_NUM) != 0; }

  void Pump(InputSink& sink) override {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
      if (RouteSdlEvent(e)) continue;  // an event of the debug window
      switch (e.type) {
        case SDL_QUIT: sink.CloseRequest(); break;
        case SDL_WINDOWEVENT:
          if (e.window.windowID != SDL_GetWindowID(window_)) break;
          switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE: sink.CloseRequest(); break;
            case SDL_WINDOWEVENT_EXPOSED: sink.Exposed(); break;
            case SDL_WINDOWEVENT_SIZE_CHANGED: sink.Resized(e.window.data1, e.window.data2); break;
            case SDL_WINDOWEVENT_MINIMIZED: sink.Resized(0, 0); break;
            case SDL_WINDOWEVENT_FOCUS_GAINED: sink.Focus(true); break;
            case SDL_WINDOWEVENT_FOCUS_LOST: sink.Focus(false); break;
            default: break;
          }
          break;
        case SDL_KEYDOWN: {
          int vk = VkFromSdlKey(e.key.keysym.sym, e.key.keysym.scancode);
          if (vk) sink.KeyDown(vk);
          // Control characters the text events do not carry.
          switch (e.key.keysym.sym) {
            case SDLK_BACKSPACE: sink.Char(8); break;
            case SDLK_TAB: sink.Char(9); break;
            case SDLK_RETURN: case SDLK_KP_ENTER: sink.Char(13); break;
            case SDLK_ESCAPE: sink.Char(27); break;
            default: break;
          }
          break;
        }
        case SDL_KEYUP: {
          int vk = VkFromSdlKey(e.key.keysym.sym, e.key.keysym.scancode);
          if (vk) sink.KeyUp(vk);
          break;
        }
        case SDL_TEXTINPUT: {
          std::string bytes = Utf8ToCp1252(e.text.text, '\0');
          for (char c : bytes)
            if (c != '\0') sink.Char(static_cast<uint8_t>(c));
          break;
        }
        case SDL_MOUSEMOTION:
          mouseX_ = e.motion.x;
          mouseY_ = e.motion.y;
          sink.MouseMove(mouseX_, mouseY_);
          break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
          int b = e.button.button == SDL_BUTTON_LEFT ? 1 : e.button.button == SDL_BUTTON_RIGHT ? 2
                  : e.button.button == SDL_BUTTON_MIDDLE ? 3 : 0;
          mouseX_ = e.button.x;
          mouseY_ = e.button.y;
          sink.MouseMove(mouseX_, mouseY_);
          if (b) sink.Button(b, e.type == SDL_MOUSEBUTTONDOWN);
          break;
        }
        case SDL_MOUSEWHEEL:
          if (e.wheel.y != 0) sink.Wheel(e.wheel.y > 0 ? 1 : -1);
          break;
        default: break;
      }
    }
  }

 private:
  int DisplayIndex() const { return std::max(0, SDL_GetWindowDisplayIndex(window_)); }
  bool Exclusive() const { return frame_.fullscreen && mode_.has_value(); }

  std::optional<SDL_DisplayMode> FindSdlMode(const DisplayMode& m) const {
    const int display = DisplayIndex();
    const int n = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < n; ++i) {
      SDL_DisplayMode dm;
      if (SDL_GetDisplayMode(display, i, &dm) != 0) continue;
      const DisplayMode listed = FromSdl(dm);
      if (listed.width == m.width && listed.height == m.height && listed.frequency == m.frequency &&
          listed.bitsPerPixel == m.bitsPerPixel)
        return dm;
    }
    return std::nullopt;
  }

  // Full screen is exclusive in the requested mode when there is one, else the window covers the desktop in
  // its own mode; windowed, the desktop has its mode.
  bool ApplyFullScreen() {
    const Uint32 flags = !frame_.fullscreen ? 0 : mode_ ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_FULLSCREEN_DESKTOP;
    bool ok = SDL_SetWindowFullscreen(window_, flags) == 0;
    if (!ok && flags == SDL_WINDOW_FULLSCREEN) {
      // The window system refused the mode: full screen still, over the desktop in its own mode.
      mode_.reset();
      SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    if (Exclusive()) {
      InstallModeGuard();
      g_exclusiveWindow = window_;
    } else {
      SDL_Window* self = window_;
      g_exclusiveWindow.compare_exchange_strong(self, nullptr);
    }
    return ok;
  }

  SDL_Window* window_;
  bool visible_ = false;
  std::optional<SDL_DisplayMode> mode_;  // the exclusive full-screen mode, none for the desktop's
  WindowFrame frame_;
  int mouseX_ = 0, mouseY_ = 0;
  std::map<SDL_SystemCursor, SDL_Cursor*> cursors_;
};

// The desktop of the first display. Mode changes go through the game window (full screen), so this display only
// answers whether a mode is listed and never changes one itself.
class SdlDisplay final : public IDisplay {
 public:
  DisplayMode Desktop() const override {
    SDL_DisplayMode dm;
    if (SDL_GetDesktopDisplayMode(0, &dm) != 0) return DisplayMode{};
    return FromSdl(dm);
  }

  bool SetMode(int w, int h, int hz, int bpp, bool testOnly) override {
    if (!testOnly) return false;
    if (bpp > 0 && bpp != 16 && bpp != 32) return false;
    const int n = SDL_GetNumDisplayModes(0);
    bool found = (w <= 0 && h <= 0 && hz <= 0);
    for (int i = 0; i < n && !found; ++i) {
      SDL_DisplayMode dm;
      if (SDL_GetDisplayMode(0, i, &dm) != 0) continue;
      found = (w <= 0 || dm.w == w) && (h <= 0 || dm.h == h) && (hz <= 0 || dm.refresh_rate == hz);
    }
    return found;
  }

  void Restore() override {}

  void GlobalMouse(int& x, int& y) const override { SDL_GetGlobalMouseState(&x, &y); }
  void SetGlobalMouse(int x, int y) override { SDL_WarpMouseGlobal(x, y); }

  void WaitVBlank() override {
    SDL_DisplayMode dm;
    int hz = SDL_GetCurrentDisplayMode(0, &dm) == 0 ? dm.refresh_rate : 0;  // the game's mode in full screen
    if (hz <= 0) hz = 60;
    uint64_t freq = SDL_GetPerformanceFrequency(), now = SDL_GetPerformanceCounter();
    uint64_t period = freq / static_cast<uint64_t>(hz);
    if (period == 0) return;
    uint64_t next = (now / period + 1) * period;
    uint32_t ms = static_cast<uint32_t>((next - now) * 1000 / freq);
    if (ms > 0) SDL_Delay(ms);
  }

};

}  // namespace

std::unique_ptr<IWindow> CreateSdlWindow(const std::string& caption, int w, int h, bool gl) {
  if (!EnsureSdlVideo()) return nullptr;
  const Uint32 flags = SDL_WINDOW_HIDDEN | (gl ? SDL_WINDOW_OPENGL : 0);
  SDL_Window* win = SDL_CreateWindow(Cp1252ToUtf8(caption).c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                     std::max(1, w), std::max(1, h), flags);
  if (!win) return nullptr;
  return std::make_unique<SdlGameWindow>(win);
}

std::unique_ptr<IDisplay> CreateSdlDisplay() {
  if (!EnsureSdlVideo()) return nullptr;
  return std::make_unique<SdlDisplay>();
}

}  // namespace kv::plat
