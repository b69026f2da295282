// The debugger joined to a run: made when the game data sets the debug flag or kvrun was given --debug, with the
// real debug window beside a real game window (none headless), hooked into the main loop (refresh after every
// step, its window pumped with the game's, the wait while paused) and writing the --debug-dump files.
#pragma once

#include <memory>
#include <ostream>

#include "runner/runner_options.h"

namespace kv::plat {
class IPlatform;
}

namespace kv {

struct RunHooks;
namespace debugger {
class DebugForm;
}

class RunnerDebugger {
 public:
  RunnerDebugger(plat::IPlatform& platform, const RunnerOptions& options, std::ostream& err);
  ~RunnerDebugger();
  RunnerDebugger(const RunnerDebugger&) = delete;
  RunnerDebugger& operator=(const RunnerDebugger&) = delete;

  // Wraps the loop's hooks so the debugger follows the game.
  void InstallHooks(RunHooks& hooks);
  debugger::DebugForm& Form() { return *form_; }

 private:
  void AfterStep();

  plat::IPlatform& platform_;
  const RunnerOptions& options_;
  std::ostream& err_;
  std::unique_ptr<debugger::DebugForm> form_;
};

// Whether the run gets a debugger.
inline bool WantsDebugger(bool gameDebugFlag, const RunnerOptions& options) {
  return gameDebugFlag || options.debug || !options.debugDumps.empty() || !options.debugWatches.empty() ||
         !options.debugActions.empty();
}

}  // namespace kv
