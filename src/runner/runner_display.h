// The game window and its graphics device for a run: created in "Preparing graphics" (an SDL window with the GL
// device; offscreen with --headless so screenshots are real renders), fed with window events and scripted input
// between steps, drawing each step's frame, presenting it and saving the screenshots asked for.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runner/runner_options.h"

namespace kv::plat {
class IPlatform;
}

namespace kv {

struct GameSettings;
struct RunHooks;

// One line of an input script: `@<step> <event> [args]`.
struct ScriptedInputEvent {
  int64_t step = 0;
  std::string kind;  // keydown keyup char move down up wheel close focus shot quit
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
  // The loop's hooks: pump window events and scripted input, draw the room, present, screenshots.
  void InstallHooks(RunHooks& hooks);
  // The error window inside the game window (true: abort); abort at once without a real window.
  bool ShowErrorPanel(std::string_view message, bool allowIgnore);
  void Release();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kv
