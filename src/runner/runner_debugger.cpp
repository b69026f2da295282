#include "runner/runner_debugger.h"

#include <fstream>

#include "debugger/debug_form.h"
#include "platform/platform.h"
#include "world/run_main.h"

namespace kv {

RunnerDebugger::RunnerDebugger(plat::IPlatform& platform, const RunnerOptions& options, std::ostream& err)
    : platform_(platform), options_(options), err_(err) {
  std::unique_ptr<plat::IDebugWindow> window;
  if (!platform.Headless()) {
    std::string failure;
    window = plat::CreateSdlDebugWindow(failure);
    if (!window) err_ << "kvrun: no debug window (" << failure << "); the debugger runs without one\n";
  }
  form_ = std::make_unique<debugger::DebugForm>(platform.Dialogs(), platform.Clock(), std::move(window));
  if (!options.debugWatches.empty() && !form_->LoadWatches(options.debugWatches))
    err_ << "kvrun: cannot read the watches in " << options.debugWatches << "\n";
}

RunnerDebugger::~RunnerDebugger() = default;

void RunnerDebugger::InstallHooks(RunHooks& hooks) {
  debugger::DebugForm* form = form_.get();
  hooks.debuggerRefresh = [form] { form->Refresh(); };
  hooks.pumpMessages = [form, pump = std::move(hooks.pumpMessages)] {
    if (pump) pump();
    form->Pump();
  };
  hooks.afterStep = [this, after = std::move(hooks.afterStep)] {
    if (after) after();
    AfterStep();
  };
  // Paused, the game window keeps repainting and the debug window keeps answering; nothing else runs.
  // Headless, only the scripted actions of a step move the game, and they ran right after it: a game still
  // paused then would wait forever, so it ends instead.
  const bool headless = platform_.Headless();
  hooks.whilePaused = [this, headless, pump = hooks.pumpMessages] {
    if (headless) {
      err_ << "kvrun: the game stays paused after step " << Game().stepCount << " (no debugger action follows); it ends\n";
      form_->Perform(debugger::Action::Stop);
      return;
    }
    pump();
    platform_.Clock().Sleep(15000);
  };
}

void RunnerDebugger::AfterStep() {
  const int64_t step = Game().stepCount;
  for (const ScreenshotRequest& action : options_.debugActions)
    if (action.step == step)
      if (const auto chosen = debugger::ActionNamed(action.file)) form_->Perform(*chosen);
  for (const ScreenshotRequest& dump : options_.debugDumps) {
    if (dump.step != step) continue;
    std::ofstream out(dump.file, std::ios::binary | std::ios::trunc);
    out << form_->DumpText();
    if (!out) err_ << "kvrun: cannot write " << dump.file << "\n";
  }
}

}  // namespace kv
