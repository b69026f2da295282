#include "platform/sdl/sdl_form_window.h"

#include <SDL.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sdl/sdl_event_route.h"
#include "platform/sdl/sdl_window.h"
#include "platform/text_codec.h"

namespace kv::plat {

namespace {


int ButtonOf(uint8_t sdlButton) {
  return sdlButton == SDL_BUTTON_LEFT ? 1 : sdlButton == SDL_BUTTON_RIGHT ? 2 : sdlButton == SDL_BUTTON_MIDDLE ? 3 : 0;
}

}  // namespace

void SdlScreenSize(int& width, int& height) {
  width = height = 0;
  if (!EnsureSdlVideo()) return;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0) width = mode.w, height = mode.h;
}

namespace {

// The window a form is shown in: a software renderer showing the form's pixels, so the game's GL context stays
// its own.
class FormSurface {
 public:
  FormSurface() = default;
  FormSurface(const FormSurface&) = delete;
  FormSurface& operator=(const FormSurface&) = delete;
  ~FormSurface() { Close(); }

  bool Open(const FormWindowLook& look, const FormPixels& first) {
    int screenW = 0, screenH = 0;
    SdlScreenSize(screenW, screenH);
    int w = look.fullscreen ? screenW : look.width, h = look.fullscreen ? screenH : look.height;
    if (w <= 0) w = first.width;
    if (h <= 0) h = first.height;
    fullscreen_ = look.fullscreen;
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (!look.border || look.fullscreen) flags |= SDL_WINDOW_BORDERLESS;
    if (look.onTop) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    const int x = look.fullscreen ? 0 : look.x < 0 ? SDL_WINDOWPOS_CENTERED : look.x;
    const int y = look.fullscreen ? 0 : look.y < 0 ? SDL_WINDOWPOS_CENTERED : look.y;
    const std::string caption = Cp1252ToUtf8(look.caption);
    window_ = SDL_CreateWindow(caption.c_str(), x, y, std::max(1, w), std::max(1, h), flags);
    if (!window_) return false;
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) {
      Close();
      return false;
    }
    if (look.alpha < 255) SDL_SetWindowOpacity(window_, static_cast<float>(look.alpha) / 255.0f);
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    return true;
  }

  SDL_Window* Window() const { return window_; }
  Uint32 Id() const { return window_ ? SDL_GetWindowID(window_) : 0; }

  void Show(const FormPixels& px) {
    if (px.pixels && px.width > 0 && px.height > 0) {
      if (!texture_ || texW_ != px.width || texH_ != px.height) {
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, px.width,
                                     px.height);
        texW_ = px.width;
        texH_ = px.height;
        if (!fullscreen_) SDL_SetWindowSize(window_, px.width, px.height);
      }
      if (texture_) SDL_UpdateTexture(texture_, nullptr, px.pixels, px.width * 4);
    }
    SDL_RenderClear(renderer_);
    if (texture_) SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
  }

  void Close() {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
  }

 private:
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int texW_ = 0, texH_ = 0;
  bool fullscreen_ = false;
};

// Forms are only shown where somebody can see them: never on an offscreen or dummy video driver.
bool CanShowForms() {
  if (!EnsureSdlVideo()) return false;
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && std::string_view(driver) != "offscreen" && std::string_view(driver) != "dummy";
}

// Key, character, mouse and wheel events as the form sees them (other events give none).
void AppendFormEvents(const SDL_Event& e, std::vector<FormEvent>& out) {
  FormEvent fe;
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      fe.kind = e.type == SDL_KEYDOWN ? FormEvent::Kind::KeyDown : FormEvent::Kind::KeyUp;
      fe.key = VkFromSdlKey(e.key.keysym.sym, e.key.keysym.scancode);
      fe.alt = (e.key.keysym.mod & KMOD_ALT) != 0;
      if (fe.key != 0) out.push_back(fe);
      break;
    case SDL_TEXTINPUT:
      for (char c : Utf8ToCp1252(e.text.text, '\0')) {
        if (c == '\0') continue;
        FormEvent ce;
        ce.kind = FormEvent::Kind::Char;
        ce.ch = static_cast<uint8_t>(c);
        ce.alt = (SDL_GetModState() & KMOD_ALT) != 0;
        out.push_back(ce);
      }
      break;
    case SDL_MOUSEMOTION:
      fe.kind = FormEvent::Kind::MouseMove, fe.x = e.motion.x, fe.y = e.motion.y;
      out.push_back(fe);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      fe.kind = e.type == SDL_MOUSEBUTTONDOWN ? FormEvent::Kind::MouseDown : FormEvent::Kind::MouseUp;
      fe.x = e.button.x, fe.y = e.button.y, fe.button = ButtonOf(e.button.button);
      if (fe.button != 0) out.push_back(fe);
      break;
    case SDL_MOUSEWHEEL:
      fe.kind = FormEvent::Kind::Wheel, fe.button = e.wheel.y > 0 ? 1 : -1;
      if (e.wheel.y != 0) out.push_back(fe);
      break;
    default:
      break;
  }
}

// The GL context current when made, current again when gone (the game's device).
class KeepGlContext {
 public:
  KeepGlContext() : window_(SDL_GL_GetCurrentWindow()), context_(SDL_GL_GetCurrentContext()) {}
  ~KeepGlContext() {
    if (context_ && SDL_GL_GetCurrentContext() != context_) SDL_GL_MakeCurrent(window_, context_);
  }
  KeepGlContext(const KeepGlContext&) = delete;
  KeepGlContext& operator=(const KeepGlContext&) = delete;

 private:
  SDL_Window* window_;
  SDL_GLContext context_;
};

// A form beside the game: the game window drains the event queue and hands this window's events over (the
// route); each pump gives them to the form, ticks it and draws it.
class SdlFormWindow final : public IFormWindow {
 public:
  explicit SdlFormWindow(IFormController& form) : form_(form) {}
  ~SdlFormWindow() override { Close(); }

  bool Open(const FormWindowLook& look) {
    KeepGlContext keep;
    if (!surface_.Open(look, form_.Paint())) return false;
    id_ = surface_.Id();
    SetSdlEventRoute(id_, [this](const SDL_Event& e) {
      if (e.type == SDL_WINDOWEVENT) {
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) queued_.push_back({FormEvent::Kind::Close});
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) queued_.push_back({FormEvent::Kind::FocusLost});
        return;
      }
      AppendFormEvents(e, queued_);
    });
    start_ = SDL_GetTicks64();
    return true;
  }

  bool Pump() override {
    if (!open_) return false;
    KeepGlContext keep;
    std::vector<FormEvent> events;
    events.swap(queued_);
    for (const FormEvent& e : events)
      if (!form_.Handle(e)) return Close();
    if (!form_.Tick(static_cast<int64_t>(SDL_GetTicks64() - start_))) return Close();
    surface_.Show(form_.Paint());
    return true;
  }

 private:
  bool Close() {
    if (open_) {
      open_ = false;
      if (id_) SetSdlEventRoute(id_, nullptr);
      KeepGlContext keep;
      surface_.Close();
    }
    return false;
  }

  IFormController& form_;
  FormSurface surface_;
  Uint32 id_ = 0;
  Uint64 start_ = 0;
  bool open_ = true;
  std::vector<FormEvent> queued_;
};

}  // namespace

bool SdlCanShowForms() { return CanShowForms(); }

std::unique_ptr<IFormWindow> OpenSdlForm(const FormWindowLook& look, IFormController& form) {
  if (!CanShowForms()) return nullptr;
  auto window = std::make_unique<SdlFormWindow>(form);
  if (!window->Open(look)) return nullptr;
  return window;
}

bool RunSdlForm(const FormWindowLook& look, IFormController& form, const std::function<void()>& repaintGame) {
  // Nobody sees an offscreen window: a modal form there could never be answered.
  if (!CanShowForms()) return false;
  // Whatever GL context is current now is current again afterwards (also for repainting the game window
  // meanwhile).
  SDL_Window* glWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext glContext = SDL_GL_GetCurrentContext();
  // Takes the keyboard back when the form closes: the window that had it, else the game's (drawing) window.
  SDL_Window* previous = SDL_GetKeyboardFocus();
  if (!previous) previous = glWindow;
  FormSurface surface;
  if (!surface.Open(look, form.Paint())) return false;
  SDL_Window* window = surface.Window();
  SDL_ShowCursor(look.cursor ? SDL_ENABLE : SDL_DISABLE);
  SDL_StartTextInput();
  const Uint32 id = surface.Id();
  std::vector<SDL_Event> forLater;  // the game window's close requests wait for the game
  std::vector<FormEvent> events;
  const Uint64 start = SDL_GetTicks64();
  bool open = true;
  bool focused = false;
  while (open) {
    surface.Show(form.Paint());

    // Polled, not waited for: SDL 2.26's wait sends its wake-up message to a window that may be gone by then (the
    // form just closed), and the X error ends the program when forms follow each other.
    SDL_Event e;
    bool any = SDL_PollEvent(&e) != 0;
    if (!any) {
      SDL_Delay(10);
      any = SDL_PollEvent(&e) != 0;
    }
    while (any && open) {
      const Uint32 target = e.type == SDL_WINDOWEVENT      ? e.window.windowID
                            : e.type == SDL_KEYDOWN || e.type == SDL_KEYUP ? e.key.windowID
                            : e.type == SDL_TEXTINPUT      ? e.text.windowID
                            : e.type == SDL_MOUSEMOTION    ? e.motion.windowID
                            : e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP ? e.button.windowID
                            : e.type == SDL_MOUSEWHEEL     ? e.wheel.windowID
                                                           : 0;
      if (e.type == SDL_QUIT || (e.type == SDL_WINDOWEVENT && target != id && e.window.event == SDL_WINDOWEVENT_CLOSE)) {
        forLater.push_back(e);
      } else if (e.type == SDL_WINDOWEVENT && target != id && e.window.event == SDL_WINDOWEVENT_EXPOSED) {
        if (repaintGame && glWindow) {  // the game window stays painted under the form
          SDL_GL_MakeCurrent(glWindow, glContext);
          repaintGame();
        }
      } else if (target == id || (target == 0 && e.type != SDL_WINDOWEVENT)) {
        events.clear();
        if (e.type == SDL_WINDOWEVENT) {
          if (e.window.event == SDL_WINDOWEVENT_CLOSE) events.push_back({FormEvent::Kind::Close});
          if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST && focused)
            events.push_back({FormEvent::Kind::FocusLost});
          // Once the window is on screen it takes the keyboard, also where no window manager hands it over.
          if (e.window.event == SDL_WINDOWEVENT_EXPOSED && !focused) focused = SDL_SetWindowInputFocus(window) == 0;
        } else {
          AppendFormEvents(e, events);
        }
        for (const FormEvent& fe : events)
          if (open && !form.Handle(fe)) open = false;
      }
      any = open && SDL_PollEvent(&e) != 0;
    }
    if (open && !form.Tick(static_cast<int64_t>(SDL_GetTicks64() - start))) open = false;
  }
  SDL_StopTextInput();
  surface.Close();
  if (glWindow) SDL_GL_MakeCurrent(glWindow, glContext);
  SDL_ShowCursor(SDL_ENABLE);
  if (previous) {
    SDL_RaiseWindow(previous);
    SDL_SetWindowInputFocus(previous);
  }
  for (SDL_Event& e : forLater) SDL_PushEvent(&e);
  return true;
}

}  // namespace kv::plat
