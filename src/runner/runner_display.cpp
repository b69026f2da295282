#include "runner/runner_display.h"

#include <algorithm>
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
  input::IoSink sink;
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
    if (e.kind == "keydown") input::OnKeyDown(static_cast<int>(a));
    else if (e.kind == "keyup") input::OnKeyUp(static_cast<int>(a));
    else if (e.kind == "char") input::OnChar(static_cast<uint8_t>(e.args[0].empty() ? 0 : e.args[0][0]));
    else if (e.kind == "move") input::SetMouseClient(static_cast<int>(a), static_cast<int>(b));
    else if (e.kind == "down") input::OnButton(static_cast<int>(a), true);
    else if (e.kind == "up") input::OnButton(static_cast<int>(a), false);
    else if (e.kind == "wheel") input::OnWheel(e.args[0] == "up" ? 1 : -1);
    else if (e.kind == "close") input::OnCloseRequest();
    else if (e.kind == "focus") sink.Focus(e.args[0] == "on" || e.args[0] == "1");
    else if (e.kind == "shot") SaveFrame(e.args[0]);
    else if (e.kind == "quit") RequestEnd();
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

  void SaveFrame(const std::string& file) {
    auto& d = gfx::D3D();
    auto block = gfx::ReadBack(0, 0, d.renderWidth, d.renderHeight);
    if (!block) {
      std::cerr << "kvrun: no frame to save as " << file << "\n";
      return;
    }
    CBitmap32 frame = CBitmap32::Make(block->width, block->height);
    frame.pixels = block->pixels;
    for (uint32_t& p : frame.pixels) p |= 0xFF000000u;  // the frame has no alpha channel
    if (!gfx::SavePng(frame, file)) std::cerr << "kvrun: cannot write " << file << "\n";
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
  // The close button either sets Escape down (handled like the key) or queues the close-button event.
  input::Hooks().closeAsEscape = settings.closeAsEscape;
  m.freezeOnLoseFocus = settings.freezeOnLoseFocus;
  m.window = m.platform.CreateGameWindow(640, 480);
  m.display = m.platform.CreateDisplay();
  gfx::AttachDisplay(m.display.get());
  const int desktopW = gfx::DisplayWidth(), desktopH = gfx::DisplayHeight();
  m.gpu = m.platform.CreateGpuDevice(m.window.get());
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

  RoomHooks roomHooks;
  roomHooks.clearInput = [] { input::ClearInput(); };
  roomHooks.clearEffects = [] { particles::ClearEffects(); };
  roomHooks.setupRoomRegion = [](CLiveRoom& room) { gfx::SetupRoomRegion(room); };
  const bool headless = m.options.headless;
  // Every game start (restarts too) shows the window and sets its cursor from the display-cursor setting: the
  // default arrow, or none when the settings or window_set_cursor(cr_none) turned the cursor off.
  roomHooks.showWindow = [headless] {
    gfx::SetCursor(gfx::Win().displayCursor ? 0 : -1);
    if (!headless) gfx::SetVisible(true);
  };
  // Leaving a room captures its last image for the transition; entering draws the first frame of the new room
  // (into the transition's second image when one is captured), plays the transition and resets its kind.
  roomHooks.prepareTransition = [] { gfx::PrepareTransition(gfx::TransitionKind()); };
  roomHooks.drawAfterEnter = [] {
    if (!Game().automaticDraw) {
      gfx::CancelTransition();
      return;
    }
    gfx::FitTransitionToRenderSize();
    gfx::DrawCurrentRoom();
    gfx::PerformTransition();
    gfx::BeginScene();
    gfx::SetTransitionKind(0);
  };
  SetRoomHooks(roomHooks);
  gfx::RoomDrawHooks drawHooks;
  // The custom cursor: cursor_sprite at the mouse position in room coordinates, its frame advancing every step.
  drawHooks.cursor = [](int& sprite, int& frame, double& x, double& y) {
    sprite = Game().cursorSprite;
    frame = static_cast<int>(Game().cursorFrame % 1000000007);
    x = gfx::MouseRoomX();
    y = gfx::MouseRoomY();
  };
  // Particle systems drawn automatically take their place among instances and tiles by depth.
  drawHooks.particleDepthBelow = particles::AutoDrawDepthBelow;
  drawHooks.drawParticlesAt = particles::DrawAutoSystemsAt;
  gfx::SetRoomDrawHooks(drawHooks);
  Impl* impl = impl_.get();
  gfx::TransitionHooks transitionHooks;
  transitionHooks.waitVBlank = [impl] { impl->PaceTransitionFrame(); };
  transitionHooks.frameDrawn = [impl](int s, int steps) { impl->TransitionFrameDrawn(s, steps); };
  gfx::SetTransitionHooks(transitionHooks);
  DispatchHooks().mouseRoomPosition = [](double& x, double& y) {
    x = gfx::MouseRoomX();
    y = gfx::MouseRoomY();
  };
  m.sink.resized = [](int w, int h) { gfx::OnClientResized(w, h); };
  m.sink.exposed = [] { gfx::PresentAgain(); };
  Impl* self = &m;
  m.sink.focus = [self](bool active) { self->windowActive = active; };
  return true;
}

void RunnerDisplay::InstallHooks(RunHooks& hooks) {
  Impl* m = impl_.get();
  hooks.pumpMessages = [m] {
    m->FlushTransitionShots();
    if (m->window) m->window->Pump(m->sink);
    m->FeedScript(Game().stepCount + 1);
    if (input::TakeCloseRequest()) PerformEventForAll(kEventOther, kOtherCloseButton);
  };
  hooks.drawRoom = [] { gfx::DrawCurrentRoom(); };
  hooks.skipStep = [m] { return m->freezeOnLoseFocus && !m->windowActive; };
  hooks.functionKey = [](int key) {
    if (key == 115) gfx::ToggleFullScreen();       // F4
    else if (key == 120) SaveScreenshotForKey();   // F9
  };
  IoFunctionHooks io;
  if (m->window) {
    io.pump = [m] { m->window->Pump(m->sink); };
    if (!m->options.headless) {
      io.keyDirect = [m](int vk) { return m->window->KeyHeldNow(vk); };
      io.numLock = [m] { return m->window->NumLockOn(); };
    }
  }
  io.waitForInput = [m] { return (m->window || m->options.headless) && m->WaitForInput(); };
  SetIoFunctionHooks(io);
  hooks.present = [] {
    gfx::EndSceneAndPresent();
    gfx::BeginScene();
  };
  hooks.afterStep = [m] { m->TakeShots(Game().stepCount); };
}

bool RunnerDisplay::ShowErrorPanel(std::string_view message, bool allowIgnore) {
  if (!impl_ || !impl_->window || impl_->options.headless) return true;
  return kv::ShowErrorPanel(*impl_->window, message, allowIgnore);
}

void RunnerDisplay::Release() {
  if (!impl_) return;
  gfx::ClearTransitions();
  gfx::SetTransitionHooks({});
  SetRoomHooks({});  // they draw through this display
  gfx::SetRoomDrawHooks({});
  gfx::ReleaseDevice();
  gfx::AttachGpu(nullptr, 1024, 768);
  gfx::AttachWindow(nullptr, 1024, 768);
  gfx::AttachDisplay(nullptr);
  SetIoFunctionHooks({});
  input::Hooks().closeAsEscape = false;
  impl_->gpu.reset();
  impl_->window.reset();
}

}  // namespace kv
