// The debug window: a second SDL window with its own GL context, drawn with Dear ImGui. It draws only between the
// game's steps and never waits for input, so the game window keeps repainting whatever the debug window does;
// questions are asked inside it, without a blocking dialog. This file is the module libkvdebugger.so (not part
// of the engine library): the runner opens it when the debugger starts and lends it the functions of its table.
#include <SDL.h>
#include <epoxy/gl.h>

#include <deque>
#include <string>

#include "backends/imgui_impl_opengl3.h"
#include "backends/imgui_impl_sdl.h"
#include "imgui.h"
#include "imgui_stdlib.h"
#include "platform/sdl/sdl_debug_module.h"

namespace kv::plat {

namespace {

// The runner's functions, lent when the module makes its first window.
const DebugWindowHost* host = nullptr;

std::string Cp1252ToUtf8(std::string_view bytes) { return host->cp1252ToUtf8(bytes); }
std::string Utf8ToCp1252(std::string_view utf8) { return host->utf8ToCp1252(utf8, '?'); }

constexpr int kLeft = 10, kTop = 10, kWidth = 480, kHeight = 600;
// Without input the window is drawn at the debugger's timer rate, so it costs the game little.
constexpr uint64_t kIdleFrameMillis = 50;
constexpr int kMaxFramesPerCall = 16;
constexpr const char* kMenus[] = {"Run", "Watch", "Tools"};

// The GL context current before the debug window drew, made current again afterwards (the game's device).
class KeepCurrentContext {
 public:
  KeepCurrentContext() : window_(SDL_GL_GetCurrentWindow()), context_(SDL_GL_GetCurrentContext()) {}
  ~KeepCurrentContext() {
    if (context_) SDL_GL_MakeCurrent(window_, context_);
  }
  KeepCurrentContext(const KeepCurrentContext&) = delete;
  KeepCurrentContext& operator=(const KeepCurrentContext&) = delete;

 private:
  SDL_Window* window_;
  SDL_GLContext context_;
};

// "Ctrl+Alt+R", "Del", "Alt+F4": the modifiers and the key's scancode (0 for none).
struct Shortcut {
  bool ctrl = false, alt = false;
  int scancode = 0;
};

Shortcut ParseShortcut(const std::string& text) {
  Shortcut s;
  std::string key = text;
  for (size_t plus; (plus = key.find('+')) != std::string::npos; key.erase(0, plus + 1)) {
    const std::string modifier = key.substr(0, plus);
    if (modifier == "Ctrl") s.ctrl = true;
    if (modifier == "Alt") s.alt = true;
  }
  if (key.size() == 1 && key[0] >= 'A' && key[0] <= 'Z') s.scancode = SDL_SCANCODE_A + (key[0] - 'A');
  else if (key == "Del") s.scancode = SDL_SCANCODE_DELETE;
  else if (key.size() >= 2 && key[0] == 'F') s.scancode = SDL_SCANCODE_F1 + std::atoi(key.c_str() + 1) - 1;
  return s;
}

class SdlDebugWindow final : public IDebugWindow {
 public:
  ~SdlDebugWindow() override {
    if (!window_) return;
    host->setEventRoute(SDL_GetWindowID(window_), nullptr);
    KeepCurrentContext keep;
    if (imgui_) {
      SDL_GL_MakeCurrent(window_, context_);
      ImGui::SetCurrentContext(imgui_);
      if (glReady_) ImGui_ImplOpenGL3_Shutdown();
      if (sdlReady_) ImGui_ImplSDL2_Shutdown();
      ImGui::DestroyContext(imgui_);
    }
    if (context_) SDL_GL_DeleteContext(context_);
    SDL_DestroyWindow(window_);
  }

  bool Open(std::string& failure) {
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      failure = SDL_GetError();
      return false;
    }
    KeepCurrentContext keep;
    // The game window keeps the focus when the debug window appears beside it.
    SDL_SetHint(SDL_HINT_WINDOW_NO_ACTIVATION_WHEN_SHOWN, "1");
    window_ = SDL_CreateWindow("Debug Window", kLeft, kTop, kWidth, kHeight,
                               SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN);
    if (!window_) {
      failure = SDL_GetError();
      return false;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) {
      failure = SDL_GetError();
      return false;
    }
    SDL_GL_MakeCurrent(window_, context_);
    SDL_GL_SetSwapInterval(0);  // presenting the debug window never waits for the screen
    imgui_ = ImGui::CreateContext();
    ImGui::SetCurrentContext(imgui_);
    ImGui::GetIO().IniFilename = nullptr;
    ImGui::StyleColorsLight();
    sdlReady_ = ImGui_ImplSDL2_InitForOpenGL(window_, context_);
    glReady_ = sdlReady_ && ImGui_ImplOpenGL3_Init("#version 330 core");
    if (!glReady_) {
      failure = "the user interface toolkit could not start";
      return false;
    }
    host->setEventRoute(SDL_GetWindowID(window_), [this](const SDL_Event& e) {
      // A click gives the window the keyboard, also where no window manager would.
      if (e.type == SDL_MOUSEBUTTONDOWN && SDL_GetKeyboardFocus() != window_) SDL_SetWindowInputFocus(window_);
      queued_.push_back(e);
    });
    return true;
  }

  bool AsksQuestions() const override { return true; }
  std::string LastError() const override { return lastError_; }

  std::vector<DebugEvent> Frame(const DebugView& view) override {
    std::vector<DebugEvent> events;
    const uint64_t now = SDL_GetTicks64();
    if (queued_.empty() && drawn_ && now - lastDraw_ < kIdleFrameMillis) return events;
    drawn_ = true;
    lastDraw_ = now;
    KeepCurrentContext keep;
    SDL_GL_MakeCurrent(window_, context_);
    ImGui::SetCurrentContext(imgui_);
    if (view.caption != caption_) {
      caption_ = view.caption;
      SDL_SetWindowTitle(window_, Cp1252ToUtf8(caption_).c_str());
    }
    // A key pressed and released between two frames would not be seen as pressed: the events are fed in
    // batches that end before the first release following a press, one toolkit frame each. A frame the user
    // did something in ends the call, so the next batch meets the view the debugger made of it.
    int frames = 0;
    // A question just asked: its box opens and takes the keyboard in two frames before typing reaches it.
    int settle = view.question.open && !questionShown_ ? 2 : 0;
    do {
      bool pressed = false;
      while (settle == 0 && !queued_.empty()) {
        const SDL_Event& e = queued_.front();
        if (e.type == SDL_KEYUP && pressed) break;
        if (e.type == SDL_KEYDOWN) pressed = true;
        if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)
          events.push_back({DebugEvent::Kind::CloseWindow, 0, {}});
        else
          ImGui_ImplSDL2_ProcessEvent(&e);
        if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) modifiers_ = e.key.keysym.mod;
        queued_.pop_front();
      }
      ImGui_ImplOpenGL3_NewFrame();
      ImGui_ImplSDL2_NewFrame();
      // The modifiers as they were when the batch's keys went down, not as they are by now.
      ImGuiIO& io = ImGui::GetIO();
      io.KeyCtrl = (modifiers_ & KMOD_CTRL) != 0;
      io.KeyAlt = (modifiers_ & KMOD_ALT) != 0;
      io.KeyShift = (modifiers_ & KMOD_SHIFT) != 0;
      ImGui::NewFrame();
      DrawMain(view, events);
      DrawInfos(view, events);
      DrawQuestion(view, events);
      Shortcuts(view, events);
      ImGui::Render();
      if (settle > 0) --settle;
    } while ((settle > 0 || !queued_.empty()) && events.empty() && ++frames < kMaxFramesPerCall);

    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window_, &w, &h);
    glViewport(0, 0, w, h);
    glClearColor(0.94f, 0.94f, 0.94f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    const GLenum error = glGetError();
    lastError_ = error == GL_NO_ERROR ? std::string() : "GL error " + std::to_string(error);
    SDL_GL_SwapWindow(window_);
    return events;
  }

 private:
  static std::string Label(const std::string& caption) { return Cp1252ToUtf8(host->withoutAmpersands(caption)); }

  void DrawMain(const DebugView& view, std::vector<DebugEvent>& events) {
    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(viewport->Pos);
    ImGui::SetNextWindowSize(viewport->Size);
    ImGui::Begin("##debugger", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_MenuBar |
                     ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoSavedSettings);
    if (ImGui::BeginMenuBar()) {
      for (const char* menu : kMenus) {
        if (!ImGui::BeginMenu(menu)) continue;
        for (size_t i = 0; i < view.actions.size(); ++i) {
          const DebugActionView& a = view.actions[i];
          if (a.menu != menu) continue;
          if (ImGui::MenuItem(Label(a.caption).c_str(), a.shortcut.empty() ? nullptr : a.shortcut.c_str(), false,
                              a.enabled))
            events.push_back({DebugEvent::Kind::Action, static_cast<int>(i), {}});
        }
        ImGui::EndMenu();
      }
      ImGui::EndMenuBar();
    }
    // The tool bar.
    ImGui::PushID("toolbar");
    bool first = true;
    for (size_t i = 0; i < view.actions.size(); ++i) {
      const DebugActionView& a = view.actions[i];
      if (!a.onToolBar) continue;
      if (!first) ImGui::SameLine();
      first = false;
      ImGui::BeginDisabled(!a.enabled);
      if (ImGui::SmallButton(Label(a.caption).c_str())) events.push_back({DebugEvent::Kind::Action, static_cast<int>(i), {}});
      ImGui::EndDisabled();
    }
    ImGui::PopID();

    // The watch grid: one row per watch and the empty last row for adding.
    const float statusHeight = ImGui::GetFrameHeightWithSpacing() + 4;
    if (ImGui::BeginTable("watches", 2,
                          ImGuiTableFlags_Borders | ImGuiTableFlags_RowBg | ImGuiTableFlags_ScrollY |
                              ImGuiTableFlags_Resizable,
                          ImVec2(0, -statusHeight))) {
      ImGui::TableSetupScrollFreeze(0, 1);
      ImGui::TableSetupColumn("Expression");
      ImGui::TableSetupColumn("Value");
      ImGui::TableHeadersRow();
      const int rows = static_cast<int>(view.watches.size()) + 1;
      for (int row = 0; row < rows; ++row) {
        const bool empty = row == rows - 1;
        ImGui::TableNextRow();
        ImGui::TableSetColumnIndex(0);
        ImGui::PushID(row);
        const std::string expression = empty ? std::string() : Cp1252ToUtf8(view.watches[row][0]);
        if (ImGui::Selectable((expression + "##row").c_str(), row == view.selectedRow,
                              ImGuiSelectableFlags_SpanAllColumns | ImGuiSelectableFlags_AllowDoubleClick)) {
          events.push_back({DebugEvent::Kind::SelectRow, row, {}});
          if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left))
            events.push_back({DebugEvent::Kind::ChangeRow, row, {}});
        }
        ImGui::TableSetColumnIndex(1);
        if (!empty) ImGui::TextUnformatted(Cp1252ToUtf8(view.watches[row][1]).c_str());
        ImGui::PopID();
      }
      ImGui::EndTable();
    }
    // The status bar with its three panels.
    ImGui::Separator();
    const float panel = ImGui::GetContentRegionAvail().x / 3;
    for (int i = 0; i < 3; ++i) {
      if (i) ImGui::SameLine(panel * static_cast<float>(i));
      ImGui::TextUnformatted(view.status[i].c_str());
    }
    ImGui::End();
  }

  void DrawInfos(const DebugView& view, std::vector<DebugEvent>& events) {
    for (size_t i = 0; i < view.infos.size(); ++i) {
      const DebugInfoView& info = view.infos[i];
      if (!info.visible) continue;
      const int index = static_cast<int>(i);
      const float offset = 24.0f * static_cast<float>(i % 8);
      ImGui::SetNextWindowPos(ImVec2(40 + offset, 230 + offset), ImGuiCond_FirstUseEver);
      ImGui::SetNextWindowSize(ImVec2(400, 300), ImGuiCond_FirstUseEver);
      bool open = true;
      const std::string title = Cp1252ToUtf8(info.caption) + "##info" + std::to_string(i);
      if (ImGui::Begin(title.c_str(), &open)) {
        if (ImGui::Button("Close")) open = false;
        ImGui::SameLine();
        if (ImGui::Button("Save")) events.push_back({DebugEvent::Kind::SaveInfo, index, {}});
        ImGui::SameLine();
        if (ImGui::Button("Print")) events.push_back({DebugEvent::Kind::PrintInfo, index, {}});
        // The text is replaced on every refresh; the child keeps its scroll position.
        ImGui::BeginChild("InfoMemo", ImVec2(0, 0), true, ImGuiWindowFlags_HorizontalScrollbar);
        const std::string text = Cp1252ToUtf8(info.text);
        ImGui::TextUnformatted(text.data(), text.data() + text.size());
        ImGui::EndChild();
      }
      ImGui::End();
      if (!open) events.push_back({DebugEvent::Kind::CloseInfo, index, {}});
    }
  }

  void DrawQuestion(const DebugView& view, std::vector<DebugEvent>& events) {
    if (!view.question.open) {
      questionShown_ = false;
      return;
    }
    const std::string title = Cp1252ToUtf8(view.question.caption) + "##question";
    if (!questionShown_) {
      questionShown_ = true;
      answer_ = Cp1252ToUtf8(view.question.text);
      ImGui::OpenPopup(title.c_str());
    }
    if (!ImGui::BeginPopupModal(title.c_str(), nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    ImGui::TextUnformatted(Cp1252ToUtf8(view.question.prompt).c_str());
    if (ImGui::IsWindowAppearing()) ImGui::SetKeyboardFocusHere();
    ImGui::SetNextItemWidth(360);
    const bool entered = ImGui::InputText("##answer", &answer_, ImGuiInputTextFlags_EnterReturnsTrue);
    if (ImGui::Button("OK") || entered) {
      events.push_back({DebugEvent::Kind::Answer, 0, Utf8ToCp1252(answer_)});
      ImGui::CloseCurrentPopup();
    }
    ImGui::SameLine();
    if (ImGui::Button("Cancel") || ImGui::IsKeyPressed(SDL_SCANCODE_ESCAPE, false)) {
      events.push_back({DebugEvent::Kind::CancelQuestion, 0, {}});
      ImGui::CloseCurrentPopup();
    }
    ImGui::EndPopup();
  }

  void Shortcuts(const DebugView& view, std::vector<DebugEvent>& events) {
    const ImGuiIO& io = ImGui::GetIO();
    if (io.WantTextInput || view.question.open || SDL_GetKeyboardFocus() != window_) return;
    for (size_t i = 0; i < view.actions.size(); ++i) {
      const DebugActionView& a = view.actions[i];
      if (a.shortcut.empty() || !a.enabled) continue;
      const Shortcut s = ParseShortcut(a.shortcut);
      if (s.scancode && s.ctrl == io.KeyCtrl && s.alt == io.KeyAlt && ImGui::IsKeyPressed(s.scancode, false))
        events.push_back({DebugEvent::Kind::Action, static_cast<int>(i), {}});
    }
  }

  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  ImGuiContext* imgui_ = nullptr;
  bool sdlReady_ = false, glReady_ = false;  // the toolkit's backends started
  std::deque<SDL_Event> queued_;
  std::string caption_;
  std::string lastError_;
  bool questionShown_ = false;
  bool drawn_ = false;
  uint16_t modifiers_ = 0;  // SDL_Keymod of the last key event fed to the toolkit
  uint64_t lastDraw_ = 0;
  std::string answer_;
};

}  // namespace

}  // namespace kv::plat

extern "C" __attribute__((visibility("default"))) kv::plat::IDebugWindow* kv_create_debug_window_1(
    const kv::plat::DebugWindowHost* host, std::string* failure) {
  kv::plat::host = host;
  auto window = std::make_unique<kv::plat::SdlDebugWindow>();
  if (!window->Open(*failure)) return nullptr;
  return window.release();
}
