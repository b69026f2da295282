#include "runner/runner_display.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "graphics/background_main.h"
#include "graphics/bitmap_ops.h"
#include "functions/function_display.h"
#include "functions/function_window_io.h"
#include "graphics/font_main.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_display.h"
#include "graphics/graphics_transition.h"
#include "graphics/graphics_window.h"
#include "graphics/room_draw.h"
#include "graphics/sprite_main.h"
#include "input/io_main.h"
#include "particles/particle_draw.h"
#include "particles/particle_effects.h"
#include "platform/clock.h"
#include "platform/file_read.h"
#include "platform/platform.h"
#include "runner/error_panel.h"
#include "runner/fps_overlay.h"
#include "runner/game_data.h"
#include "world/event_dispatch.h"
#include "world/object_class.h"
#include "world/run_main.h"
#include "world/world_rooms.h"
#include "world/world_state.h"

namespace kv {

namespace {

bool ToInt(const std::string& s, int64_t& out) {
  try {
    size_t used = 0;
    out = std::stoll(s, &used);
    return used == s.size();
  } catch (...) {
    return false;
  }
}

// `joy N axis A V`, `joy N button B 0|1` or `joy N pov HUNDREDTHS`, joystick N 0 or 1, every number an integer.
bool ValidJoystickLine(const std::vector<std::string>& args) {
  int64_t v = 0;
  for (size_t i = 0; i < args.size(); ++i)
    if (i != 1 && !ToInt(args[i], v)) return false;
  if (args.size() < 3 || !ToInt(args[0], v) || v < 0 || v > 1) return false;
  return ((args[1] == "axis" || args[1] == "button") && args.size() == 4) || (args[1] == "pov" && args.size() == 3);
}

constexpr int kKeyEnter = 13, kKeyAlt = 18;

// The game's input, except Alt+Enter: that switches between full screen and a window whatever the game's keys
// say, and the game never sees the Enter key of it (its press, its character, its release).
class GameInputSink final : public input::IoSink {
 public:
  void KeyDown(int vk) override {
    if (vk == kKeyAlt) altHeld_ = true;
    if (vk == kKeyEnter && (altHeld_ || enterTaken_)) {
      if (!enterTaken_) gfx::ToggleFullScreen();  // key repeat while held does not switch again
      enterTaken_ = true;
      return;
    }
    IoSink::KeyDown(vk);
  }
  void KeyUp(int vk) override {
    if (vk == kKeyAlt) altHeld_ = false;
    if (vk == kKeyEnter && enterTaken_) {
      enterTaken_ = false;
      return;
    }
    IoSink::KeyUp(vk);
  }
  void Char(uint8_t c) override {
    if (c == '\r' && enterTaken_) return;
    IoSink::Char(c);
  }
  void Focus(bool active) override {
    altHeld_ = false;  // Alt+Tab: the release goes to another window
    IoSink::Focus(active);
  }

 private:
  bool altHeld_ = false, enterTaken_ = false;
};

}  // namespace

bool ParseInputScript(const std::string& text, std::vector<ScriptedInputEvent>& events, std::string& error) {
  static const std::vector<std::pair<std::string, size_t>> kKinds = {
      {"keydown", 1}, {"keyup", 1}, {"char", 1},  {"move", 2},  {"down", 1}, {"up", 1},
      {"wheel", 1},   {"close", 0}, {"focus", 1}, {"shot", 1},  {"quit", 0}};
  std::istringstream in(text);
  std::string line;
  for (int lineNo = 1; std::getline(in, line); ++lineNo) {
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string at;
    if (!(words >> at)) continue;
    ScriptedInputEvent e;
    if (at.size() < 2 || at[0] != '@' || !ToInt(at.substr(1), e.step) || e.step < 0 || !(words >> e.kind)) {
      error = "line " + std::to_string(lineNo) + ": expected '@STEP EVENT'";
      return false;
    }
    for (std::string w; words >> w;) e.args.push_back(w);
    bool known = false;
    for (const auto& [kind, argc] : kKinds) {
      if (kind == e.kind) known = e.args.size() == argc;
    }
    if (e.kind == "joy") known = ValidJoystickLine(e.args);
    if (!known) {
      error = "line " + std::to_string(lineNo) + ": unknown event or wrong arguments: " + e.kind;
      return false;
    }
    events.push_back(std::move(e));
  }
  return true;
}

struct RunnerDisplay::Impl {
  plat::IPlatform& platform;
  const RunnerOptions& options;
  std::unique_ptr<plat::IWindow> window;
  std::unique_ptr<plat::IDisplay> display;  // none headless: a virtual desktop answers
  std::unique_ptr<plat::IGpuDevice> gpu;
  GameInputSink sink;
  std::vector<ScriptedInputEvent> script;
  size_t nextEvent = 0;
  // Pacing of transition frames when presenting does not wait for the vertical blank itself.
  std::unique_ptr<plat::IClock> paceClock;
  int64_t lastTransitionFrame = 0;
  // Screenshots of a step whose room change plays a transition: taken from the transition's middle frame.
  std::vector<std::string> transitionShots;
  // The game window has the input focus (focus events of the window or of the input script).
  bool windowActive = true;
  bool freezeOnLoseFocus = false;  // settings: no steps run while the window is not active
  plat::ScriptedJoysticks scriptedJoysticks;  // moved by `joy` lines of the input script

  Impl(plat::IPlatform& p, const RunnerOptions& o) : platform(p), options(o) {}

  // Scripted events that happen before the given step, in file order.
  void FeedScript(int64_t step) {
    while (nextEvent < script.size() && script[nextEvent].step <= step) FeedNext();
  }

  // Waits of keyboard_wait and the like: a window waits for its events; headless, the next scripted event
  // arrives at once, and once the script is over nothing can arrive.
  bool WaitForInput() {
    if (options.headless) {
      if (nextEvent >= script.size()) return false;
      FeedNext();
      return true;
    }
    window->WaitForEvent(50);
    window->Pump(sink);
    return true;
  }

  void FeedNext() {
    const ScriptedInputEvent& e = script[nextEvent++];
    int64_t a = 0, b = 0;
    if (!e.args.empty()) ToInt(e.args[0], a);
    if (e.args.size() > 1) ToInt(e.args[1], b);
    // Keys take the window's way, Alt+Enter included.
    if (e.kind == "keydown") sink.KeyDown(static_cast<int>(a));
    else if (e.kind == "keyup") sink.KeyUp(static_cast<int>(a));
    else if (e.kind == "char") sink.Char(static_cast<uint8_t>(e.args[0].empty() ? 0 : e.args[0][0]));
    else if (e.kind == "move") input::SetMouseClient(static_cast<int>(a), static_cast<int>(b));
    else if (e.kind == "down") input::OnButton(static_cast<int>(a), true);
    else if (e.kind == "up") input::OnButton(static_cast<int>(a), false);
    else if (e.kind == "wheel") input::OnWheel(e.args[0] == "up" ? 1 : -1);
    else if (e.kind == "close") input::OnCloseRequest();
    else if (e.kind == "focus") sink.Focus(e.args[0] == "on" || e.args[0] == "1");
    else if (e.kind == "shot") SaveFrame(e.args[0]);
    else if (e.kind == "quit") RequestEnd();
    else if (e.kind == "joy") FeedJoystick(e.args);
  }

  // `joy N axis A V`, `joy N button B 0|1`, `joy N pov HUNDREDTHS` (checked when the script was read).
  void FeedJoystick(const std::vector<std::string>& args) {
    int64_t n = 0, which = 0, value = 0;
    ToInt(args[0], n);
    ToInt(args[2], which);
    ToInt(args[args.size() - 1], value);
    const int index = static_cast<int>(n);
    if (args[1] == "axis") scriptedJoysticks.SetAxis(index, static_cast<int>(which), static_cast<int>(value));
    else if (args[1] == "button") scriptedJoysticks.SetButton(index, static_cast<int>(which), value != 0);
    else scriptedJoysticks.SetPov(index, static_cast<int>(which));
  }

  // Waits until a display refresh (1/60 s) has passed since the last transition frame; headless --fast runs
  // don't wait.
  void PaceTransitionFrame() {
    if (options.fast || gfx::D3D().synchronization) return;
    if (!paceClock) paceClock = plat::CreateRealClock();
    constexpr int64_t kRefresh = 1000000 / 60;
    const int64_t now = paceClock->Micros();
    const int64_t wait = std::clamp<int64_t>(lastTransitionFrame + kRefresh - now, 0, kRefresh);
    paceClock->Sleep(wait);
    lastTransitionFrame = now + wait;
  }

  void TransitionFrameDrawn(int s, int steps) {
    if (s != steps / 2) return;
    for (const std::string& file : transitionShots) SaveFrame(file);
    transitionShots.clear();
  }

  void TakeShots(int64_t step) {
    // A room change with a transition still to play: the step's picture is the transition, so the shot waits
    // for its middle frame.
    const bool deferred = PendingRoomChange() >= 0 && gfx::TransitionExists(gfx::TransitionKind());
    for (const ScreenshotRequest& shot : options.screenshots) {
      if (shot.step != step) continue;
      if (deferred) transitionShots.push_back(shot.file);
      else SaveFrame(shot.file);
    }
  }

  // Shots whose transition never played (automatic drawing off, capture failed) show the frame as it is.
  void FlushTransitionShots() {
    for (const std::string& file : transitionShots) SaveFrame(file);
    transitionShots.clear();
  }

  // The frame as the player sees it (with the frame-rate overlay when shown), or as the game drew it.
  bool SaveFrame(const std::string& file, bool asShown = true) {
    auto& d = gfx::D3D();
    auto block = gfx::ReadBack(0, 0, d.renderWidth, d.renderHeight);
    if (!block) {
      std::cerr << "kvrun: no frame to save as " << file << "\n";
      return false;
    }
    CBitmap32 frame = CBitmap32::Make(block->width, block->height);
    frame.pixels = block->pixels;
    for (uint32_t& p : frame.pixels) p |= 0xFF000000u;  // the frame has no alpha channel
    if (asShown && options.showFps.value_or(false))
      BlendOverlay(frame, FpsOverlayImage(Game().fps), kFpsOverlayX, kFpsOverlayY);
    if (gfx::SavePng(frame, file)) return true;
    std::cerr << "kvrun: cannot write " << file << "\n";
    return false;
  }

  // F9 with a screenshot folder: the game's screen as <game>-<n>.png, n the smallest number from 1 up (four
  // digits at least, so the files sort in order) that is not taken.
  void SaveKeyScreenshot(const std::string& gameName) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path dir(options.screenshotDir);
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec)) {
      std::cerr << "kvrun: cannot make the screenshot folder " << options.screenshotDir << "\n";
      return;
    }
    for (int n = 1; n < 1000000; ++n) {
      char number[16];
      std::snprintf(number, sizeof number, "%04d", n);
      const fs::path file = dir / (gameName + "-" + number + ".png");
      if (fs::exists(file, ec)) continue;
      SaveFrame(file.string(), false);
      return;
    }
  }
};

RunnerDisplay::RunnerDisplay(plat::IPlatform& platform, const RunnerOptions& options)
    : impl_(std::make_unique<Impl>(platform, options)) {}
RunnerDisplay::~RunnerDisplay() { Release(); }

bool RunnerDisplay::Prepare(const GameSettings& settings, std::string& failure) {
  Impl& m = *impl_;
  if (!m.options.inputFile.empty()) {
    const plat::FileReadResult file = plat::ReadWholeFile(m.options.inputFile);
    std::string error = file.Ok() ? "" : std::string("it ") + plat::FileReadProblem(file.status);
    if (!file.Ok() || !ParseInputScript(std::string(file.bytes.begin(), file.bytes.end()), m.script, error)) {
      failure = "Cannot read the input script " + m.options.inputFile + (error.empty() ? "" : ": " + error);
      return false;
    }
  }
  m.freezeOnLoseFocus = settings.freezeOnLoseFocus;
  m.window = m.platform.CreateGameWindow(640, 480);
  m.display = m.platform.CreateDisplay();
  gfx::AttachDisplay(m.display.get());
  const int desktopW = gfx::DisplayWidth(), desktopH = gfx::DisplayHeight();
  m.gpu = m.platform.CreateGpuDevice(m.window.get());
  // Only a window shows presented frames; headless shots get the overlay when they are saved.
  if (m.options.showFps.value_or(false) && !m.options.headless)
    m.gpu = WithFpsOverlay(std::move(m.gpu), [] { return Game().fps; });
  if (!m.gpu) {
    failure = "Failed to create the game window.";
    return false;
  }
  gfx::AttachWindow(m.window.get(), desktopW, desktopH);
  gfx::AttachGpu(m.gpu.get(), desktopW, desktopH);
  gfx::StartWindow({settings.scaling, settings.allowResize, settings.stayOnTop, !settings.noBorder,
                    !settings.noButtons, settings.fullScreen, settings.outsideColor, settings.showCursor});
  if (!gfx::CreateDevice(640, 480, settings.vSync, failure)) return false;
  gfx::SetInterpolation(settings.interpolate);
  GameResources& res = *WorldResources();
  gfx::BindBackgroundTable(&res.backgrounds);
  gfx::InstallSpriteModule(&res.sprites);
  gfx::BindFontTable(&res.fonts);
  gfx::PrepareBackgroundTextures();
  gfx::PrepareSpriteTextures();
  gfx::PrepareFontTextures();
  gfx::BeginScene();

  m.sink.resized = [](int w, int h) { gfx::OnClientResized(w, h); };
  m.sink.exposed = [] { gfx::PresentAgain(); };
  Impl* self = &m;
  m.sink.focus = [self](bool active) { self->windowActive = active; };
  return true;
}

void RunnerDisplay::PumpBeforeStep(int64_t step) {
  Impl& m = *impl_;
  m.FlushTransitionShots();
  if (m.window) m.window->Pump(m.sink);
  m.FeedScript(step);
}

void RunnerDisplay::PumpWindow() {
  if (impl_->window) impl_->window->Pump(impl_->sink);
}

bool RunnerDisplay::WaitForInput() {
  Impl& m = *impl_;
  return (m.window || m.options.headless) && m.WaitForInput();
}

bool RunnerDisplay::ReadsPhysicalKeys() const { return impl_->window && !impl_->options.headless; }
bool RunnerDisplay::KeyHeldNow(int vk) const { return ReadsPhysicalKeys() && impl_->window->KeyHeldNow(vk); }
bool RunnerDisplay::NumLockOn() const { return ReadsPhysicalKeys() && impl_->window->NumLockOn(); }
bool RunnerDisplay::FrozenWithoutFocus() const { return impl_->freezeOnLoseFocus && !impl_->windowActive; }
bool RunnerDisplay::Headless() const { return impl_->options.headless; }
void RunnerDisplay::PaceTransitionFrame() { impl_->PaceTransitionFrame(); }
void RunnerDisplay::TransitionFrameDrawn(int frame, int frames) { impl_->TransitionFrameDrawn(frame, frames); }
void RunnerDisplay::TakeShots(int64_t step) { impl_->TakeShots(step); }
void RunnerDisplay::SaveKeyScreenshot(const std::string& gameName) { impl_->SaveKeyScreenshot(gameName); }

std::optional<plat::JoyState> RunnerDisplay::ReadJoystick(int index) {
  Impl& m = *impl_;
  if (auto scripted = m.scriptedJoysticks.Read(index)) return scripted;
  return m.options.headless ? std::nullopt : m.platform.Joysticks().Read(index);
}

bool RunnerDisplay::ShowErrorPanel(std::string_view message, bool allowIgnore) {
  if (!impl_ || !impl_->window || impl_->options.headless) return true;
  return kv::ShowErrorPanel(*impl_->window, message, allowIgnore);
}

void RunnerDisplay::Release() {
  if (!impl_) return;
  gfx::ClearTransitions();
  gfx::ReleaseDevice();
  gfx::AttachGpu(nullptr, 1024, 768);
  gfx::AttachWindow(nullptr, 1024, 768);
  gfx::AttachDisplay(nullptr);
  impl_->gpu.reset();
  impl_->window.reset();
}

}  // namespace kv
