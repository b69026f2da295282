// The game window and its graphics device for a run: created in "Preparing graphics" (an SDL window with the GL
// device; offscreen with --headless so screenshots are real renders), fed with window events and scripted input
// between steps, drawing each step's frame, presenting it and saving the screenshots asked for.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/joysticks.h"
#include "runner/runner_options.h"

namespace kv::plat {
class IPlatform;
}

namespace kv {

struct GameSettings;

// One line of an input script: `@<step> <event> [args]`.
struct ScriptedInputEvent {
  int64_t step = 0;
  std::string kind;  // keydown keyup char move down up wheel close focus shot quit joy
  std::vector<std::string> args;
};
// Parses an input script; false with a message naming the line on a malformed one.
bool ParseInputScript(const std::string& text, std::vector<ScriptedInputEvent>& events, std::string& error);

class RunnerDisplay {
 public:
  RunnerDisplay(plat::IPlatform& platform, const RunnerOptions& options);
  ~RunnerDisplay();
  RunnerDisplay(const RunnerDisplay&) = delete;
  RunnerDisplay& operator=(const RunnerDisplay&) = delete;

  // Window, device and textures; false with a message on failure.
  bool Prepare(const GameSettings& settings, std::string& failure);
  // Between steps: shots whose transition never played, window events, scripted input up to the given step.
  void PumpBeforeStep(int64_t step);
  // Window events only (waits and io_handle of the game).
  void PumpWindow();
  // One wait of about 50 ms for input (headless: the next scripted event); false when nothing can arrive.
  bool WaitForInput();
  // The physical keyboard (a real window only).
  bool KeyHeldNow(int vk) const;
  bool NumLockOn() const;
  bool ReadsPhysicalKeys() const;
  // The settings freeze the game while the window has lost the focus, and it has.
  bool FrozenWithoutFocus() const;
  bool Headless() const;
  // Transitions: paces their frames, and takes the screenshots of a step at the middle frame.
  void PaceTransitionFrame();
  void TransitionFrameDrawn(int frame, int frames);
  // The screenshots asked for at this step.
  void TakeShots(int64_t step);
  // F9 with a screenshot folder (--screenshot-dir or the user settings): a PNG of the game's screen there.
  void SaveKeyScreenshot(const std::string& gameName);
  // Joystick 0 or 1: the input script's when it moved one, else the system's (none headless).
  std::optional<plat::JoyState> ReadJoystick(int index);
  // The error window inside the game window (true: abort); abort at once without a real window.
  bool ShowErrorPanel(std::string_view message, bool allowIgnore);
  void Release();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kv
