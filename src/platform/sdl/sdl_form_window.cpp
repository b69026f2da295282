#include "platform/sdl/sdl_form_window.h"

#include <SDL.h>

#include <string_view>
#include <vector>

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

bool RunSdlForm(const FormWindowLook& look, IFormController& form, const std::function<void()>& repaintGame) {
  if (!EnsureSdlVideo()) return false;
  // Nobody sees an offscreen window: a modal form there could never be answered.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || std::string_view(driver) == "offscreen" || std::string_view(driver) == "dummy") return false;
  FormPixels first = form.Paint();
  int screenW = 0, screenH = 0;
  SdlScreenSize(screenW, screenH);
  int w = look.fullscreen ? screenW : look.width, h = look.fullscreen ? screenH : look.height;
  if (w <= 0) w = first.width;
  if (h <= 0) h = first.height;
  // The game's GL context stays its own: the form's window is drawn in software, and whatever is current now is
  // current again afterwards (also for repainting the game window meanwhile).
  SDL_Window* glWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext glContext = SDL_GL_GetCurrentContext();
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Takes the keyboard back when the form closes: the window that had it, else the game's (drawing) window.
  SDL_Window* previous = SDL_GetKeyboardFocus();
  if (!previous) previous = glWindow;
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (!look.border || look.fullscreen) flags |= SDL_WINDOW_BORDERLESS;
  if (look.onTop) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  const int x = look.fullscreen ? 0 : look.x < 0 ? SDL_WINDOWPOS_CENTERED : look.x;
  const int y = look.fullscreen ? 0 : look.y < 0 ? SDL_WINDOWPOS_CENTERED : look.y;
  const std::string caption = Cp1252ToUtf8(look.caption);
  SDL_Window* window = SDL_CreateWindow(caption.c_str(), x, y, std::max(1, w), std::max(1, h), flags);
  if (!window) return false;
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  if (!renderer) {
    SDL_DestroyWindow(window);
    return false;
  }
  if (look.alpha < 255) SDL_SetWindowOpacity(window, static_cast<float>(look.alpha) / 255.0f);
  SDL_ShowCursor(look.cursor ? SDL_ENABLE : SDL_DISABLE);
  SDL_ShowWindow(window);
  SDL_RaiseWindow(window);
  SDL_StartTextInput();
  const Uint32 id = SDL_GetWindowID(window);
  SDL_Texture* texture = nullptr;
  int texW = 0, texH = 0;
  std::vector<SDL_Event> forLater;  // the game window's close requests wait for the game
  const Uint64 start = SDL_GetTicks64();
  bool open = true;
  bool focused = false;
  while (open) {
    const FormPixels px = form.Paint();
    if (px.pixels && px.width > 0 && px.height > 0) {
      if (!texture || texW != px.width || texH != px.height) {
        if (texture) SDL_DestroyTexture(texture);
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, px.width,
                                    px.height);
        texW = px.width;
        texH = px.height;
        if (!look.fullscreen) SDL_SetWindowSize(window, px.width, px.height);
      }
      if (texture) SDL_UpdateTexture(texture, nullptr, px.pixels, px.width * 4);
    }
    SDL_RenderClear(renderer);
    if (texture) SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);

    SDL_Event e;
    bool any = SDL_WaitEventTimeout(&e, 15) != 0;
    while (any && open) {
      FormEvent fe;
      bool deliver = false;
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
        switch (e.type) {
          case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) fe.kind = FormEvent::Kind::Close, deliver = true;
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST && focused)
              fe.kind = FormEvent::Kind::FocusLost, deliver = true;
            // Once the window is on screen it takes the keyboard, also where no window manager hands it over.
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED && !focused) focused = SDL_SetWindowInputFocus(window) == 0;
            break;
          case SDL_KEYDOWN:
          case SDL_KEYUP:
            fe.kind = e.type == SDL_KEYDOWN ? FormEvent::Kind::KeyDown : FormEvent::Kind::KeyUp;
            fe.key = VkFromSdlKey(e.key.keysym.sym, e.key.keysym.scancode);
            fe.alt = (e.key.keysym.mod & KMOD_ALT) != 0;
            deliver = fe.key != 0;
            break;
          case SDL_TEXTINPUT:
            for (char c : Utf8ToCp1252(e.text.text, '\0')) {
              if (c == '\0') continue;
              FormEvent ce;
              ce.kind = FormEvent::Kind::Char;
              ce.ch = static_cast<uint8_t>(c);
              ce.alt = (SDL_GetModState() & KMOD_ALT) != 0;
              if (!form.Handle(ce)) open = false;
            }
            break;
          case SDL_MOUSEMOTION:
            fe.kind = FormEvent::Kind::MouseMove, fe.x = e.motion.x, fe.y = e.motion.y, deliver = true;
            break;
          case SDL_MOUSEBUTTONDOWN:
          case SDL_MOUSEBUTTONUP:
            fe.kind = e.type == SDL_MOUSEBUTTONDOWN ? FormEvent::Kind::MouseDown : FormEvent::Kind::MouseUp;
            fe.x = e.button.x, fe.y = e.button.y, fe.button = ButtonOf(e.button.button);
            deliver = fe.button != 0;
            break;
          case SDL_MOUSEWHEEL:
            fe.kind = FormEvent::Kind::Wheel, fe.button = e.wheel.y > 0 ? 1 : -1, deliver = e.wheel.y != 0;
            break;
          default:
            break;
        }
        if (deliver && !form.Handle(fe)) open = false;
      }
      any = open && SDL_PollEvent(&e) != 0;
    }
    if (open && !form.Tick(static_cast<int64_t>(SDL_GetTicks64() - start))) open = false;
  }
  SDL_StopTextInput();
  if (texture) SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
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
