// kvrun: plays a game file. See RunnerUsage() for the command line.
#include <iostream>
#include <string>
#include <vector>

#include "code/code_error.h"
#include "input/io_main.h"
#include "platform/file_read.h"
#include "platform/headless/dialog_answers.h"
#include "platform/platform.h"
#include "runner/build_info.h"
#include "runner/runner_form.h"
#include "runner/runner_options.h"
#include "world/world_state.h"

namespace {

int BadUsage(const std::string& problem) {
  std::cerr << "kvrun: " << problem << "\nTry 'kvrun --help' for the options.\n";
  return kv::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const kv::OptionsParseResult parsed = kv::ParseRunnerOptions(args);
  if (parsed.status == kv::OptionsParseResult::Status::Help) {
    std::cout << kv::RunnerName() << " " << kv::RunnerVersion() << "\n\n" << kv::RunnerUsage();
    return kv::kExitOk;
  }
  if (parsed.status == kv::OptionsParseResult::Status::Version) {
    std::cout << kv::RunnerName() << " " << kv::RunnerVersion() << "\n";
    return kv::kExitOk;
  }
  if (parsed.status == kv::OptionsParseResult::Status::Error) return BadUsage(parsed.error);
  const kv::RunnerOptions& options = parsed.options;

  kv::plat::PlatformConfig config;
  config.verbose = options.verbose;
  config.virtualClock = options.virtualClock;
  if (!options.answersFile.empty()) {
    const kv::plat::FileReadResult file = kv::plat::ReadWholeFile(options.answersFile);
    if (!file.Ok())
      return BadUsage("cannot read the answers file \"" + options.answersFile + "\": it " +
                      kv::plat::FileReadProblem(file.status));
    auto answers = kv::plat::ParseDialogAnswers(std::string(file.bytes.begin(), file.bytes.end()));
    if (!answers.error.empty()) return BadUsage(options.answersFile + ": " + answers.error);
    config.answers = std::move(answers.answers);
  }

  auto platform = options.headless ? kv::plat::CreateHeadlessPlatform(config) : kv::plat::CreateSdlPlatform(config);
  // The temporary directory exists before anything else; without one the run goes on. It is removed when the
  // platform goes away at the end of main, whatever the outcome of the run.
  if (!platform->System().CreateTempDir()) platform->Dialogs().ShowMessage("kvrun", kv::kMsgTempDirFailed);

  // Errors in game code (compile errors included) are shown in the platform's error window.
  kv::ErrorHooks hooks;
  hooks.showErrorWindow = [&platform](const std::string& message, bool allowIgnore) {
    return platform->Dialogs().ErrorWindow(message, allowIgnore);
  };
  hooks.clearInput = [] { kv::input::ClearInput(); };
  // A fatal error ends the game after the step ("end after an error").
  hooks.requestQuit = [] { kv::SetPendingRoomChange(kv::kPendingErrorEnd); };
  kv::SetErrorHooks(std::move(hooks));

  int exitCode = kv::kExitOk;
  {
    kv::RunnerForm form(*platform, options, std::cout, std::cerr);
    exitCode = form.Run();
  }
  kv::SetErrorHooks({});  // nothing may reach the platform once it is gone
  std::cout.flush();
  return exitCode;
}
