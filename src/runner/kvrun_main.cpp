// kvrun: plays a game file. See RunnerUsage() for the command line.
#include <filesystem>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "code/code_error.h"
#include "input/io_main.h"
#include "kvpack_play.h"
#include "platform/file_read.h"
#include "platform/headless/dialog_answers.h"
#include "platform/platform.h"
#include "runner/build_info.h"
#include "runner/function_list.h"
#include "runner/runner_form.h"
#include "runner/runner_options.h"
#include "runner/run_log.h"
#include "runner/user_settings.h"
#include "world/world_state.h"

namespace {

int BadUsage(const std::string& problem) {
  kv::StderrLogLevel usageError(kv::LogLevel::Error);
  std::cerr << "kvrun: " << problem << "\nTry 'kvrun --help' for the options.\n";
  return kv::kExitUsage;
}

// A screenshot file must be a PNG in a folder that can be written: found out before the game starts, not at the
// step the shot is due. Empty when fine, else the reason.
std::string ScreenshotProblem(const std::string& file) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path path(file);
  fs::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  if (!fs::is_directory(folder, ec)) return folder.string() + ": No such file or directory";
  if (fs::is_directory(path, ec)) return file + ": Is a directory";
  // Create the file (and take it away again when it was not there), which is what the shot will do.
  const bool existed = fs::exists(path, ec);
  std::FILE* probe = std::fopen(file.c_str(), "ab");
  if (!probe) return file + ": " + std::strerror(errno);
  std::fclose(probe);
  if (!existed) fs::remove(path, ec);
  return "";
}

// A screenshot folder that exists must be a folder; one that does not is made at the first F9.
bool UsableScreenshotDir(const std::string& dir) {
  std::error_code ec;
  return !std::filesystem::exists(dir, ec) || std::filesystem::is_directory(dir, ec);
}

// The user settings file, unless --no-user-settings: its values fill what no option set. Problems in it are
// warnings; the game plays on with the rest.
void ReadUserSettings(kv::plat::IPlatform& platform, kv::RunnerOptions& options) {
  if (options.noUserSettings) return;
  const std::string path =
      kv::UserSettingsPath(platform.System().Env("XDG_CONFIG_HOME"), platform.System().Env("HOME"));
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) return;
  const kv::plat::FileReadResult file = kv::plat::ReadWholeFile(path);
  if (!file.Ok()) {
    std::cerr << "kvrun: warning: cannot read the user settings " << path << ": it "
              << kv::plat::FileReadProblem(file.status) << "\n";
    return;
  }
  kv::UserSettingsRead read = kv::ParseUserSettings(std::string(file.bytes.begin(), file.bytes.end()), path,
                                                    platform.System().Env("HOME").value_or(""));
  for (const std::string& warning : read.warnings) std::cerr << "kvrun: warning: " << warning << "\n";
  if (read.settings.screenshotDir && !UsableScreenshotDir(*read.settings.screenshotDir)) {
    std::cerr << "kvrun: warning: " << path << ": the screenshot folder " << *read.settings.screenshotDir
              << " is not a folder; F9 keeps its usual files\n";
    read.settings.screenshotDir.reset();
  }
  kv::LogLine(kv::LogLevel::Info, "user settings read from " + path);
  kv::MergeUserSettings(options, read.settings);
}

// Runs the game with everything set up; the log (when asked for) is open around it.
int Play(kv::RunnerOptions& options);

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (args.size() == 1 && args[0] == "--list-functions") {
    std::cout << kv::ListBuiltinFunctions();
    return kv::kExitOk;
  }
  if (args.size() == 1 && args[0] == "--list-reference") {
    std::cout << kv::ListReference();
    return kv::kExitOk;
  }
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
  kv::RunnerOptions options = parsed.options;

  if (!options.logFile.empty()) {
    std::string problem;
    if (!kv::OpenRunLog(options.logFile, problem)) return BadUsage("cannot write the log file " + problem);
    kv::LogLine(kv::LogLevel::Info, std::string(kv::RunnerName()) + " " + kv::RunnerVersion() + " started");
  }
  const int exitCode = Play(options);
  kv::LogLine(kv::LogLevel::Info, "exit status " + std::to_string(exitCode));
  kv::CloseRunLog();
  return exitCode;
}

namespace {

int Play(kv::RunnerOptions& options) {
  for (const kv::ScreenshotRequest& shot : options.screenshots) {
    const std::string problem = ScreenshotProblem(shot.file);
    if (!problem.empty()) return BadUsage("cannot write the screenshot " + problem);
  }
  if (!options.screenshotDir.empty() && !UsableScreenshotDir(options.screenshotDir))
    return BadUsage("the screenshot folder " + options.screenshotDir + " is not a folder");

  // A kvpack project folder is packed into the cache directory and that game file is played.
  std::error_code dirError;
  if (!options.gamePath.empty() && std::filesystem::is_directory(options.gamePath, dirError)) {
    const kv::pack::FolderGame folder =
        kv::pack::PackFolderForPlay(options.gamePath, kv::pack::ProjectCacheDirectory());
    if (!folder.ok) {
      kv::StderrLogLevel packError(kv::LogLevel::Error);
      std::cerr << "kvrun: " << folder.error << "\n";
      return kv::kExitLoadFailure;
    }
    options.gamePath = folder.gamePath;
  }

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
  if (!platform->System().CreateTempDir()) {
    kv::LogLine(kv::LogLevel::Warn, kv::kMsgTempDirFailed);
    kv::StderrLogLevel logged(std::nullopt);
    platform->Dialogs().ShowMessage("kvrun", kv::kMsgTempDirFailed);
  }
  ReadUserSettings(*platform, options);

  // Errors in game code (compile errors included) are shown in the platform's error window, and logged.
  kv::ErrorHooks hooks;
  hooks.showErrorWindow = [&platform](const std::string& message, bool allowIgnore) {
    kv::LogLine(kv::LogLevel::Error, message);
    kv::StderrLogLevel logged(std::nullopt);
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

}  // namespace
