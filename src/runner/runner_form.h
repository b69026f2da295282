#pragma once
// The runner's lifecycle: find and read the game file with the loading window, prepare every subsystem in its
// fixed order, run the game, shut down. Every failure is reported with its message box and ends the run.
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/audio_out.h"
#include "platform/cd_drive.h"
#include "platform/loading_display.h"
#include "platform/platform.h"
#include "runner/game_data.h"
#include "runner/logged_dialogs.h"
#include "runner/runner_display.h"
#include "runner/runner_options.h"
#include "runner/run_log.h"

namespace kv {

inline constexpr std::string_view kMsgTempDirFailed =
    "Failed to create temp dir. This can cause serious problems with sounds, etc.";
inline constexpr std::string_view kMsgCannotReadGame = "Error: Cannot read the game file.";
inline constexpr std::string_view kMsgCorrupted = "Failed to load the game data. File seems corrupted.";
inline constexpr std::string_view kMsgUnexpected = "Unexpected error occured when running the game.";
inline constexpr std::string_view kMsgColourMode =
    "This application requires 16-bit or 32-bit color mode. Should I switch to a valid color mode?";

// The loading window: a picture with a progress bar and a phase label below it. Lays itself out from the
// settings block and keeps the state a display draws.
class LoadingWindow {
 public:
  static constexpr int kDesignWidth = 332, kDesignHeight = 92;
  static constexpr int kBarLeft = 24, kBarHeight = 16, kLabelLeft = 32, kLabelWidth = 273, kLabelHeight = 17;
  static constexpr int kBarsFromBottom = 32;

  LoadingWindow();
  // Takes the pictures and flags of the settings, sizes the window to its picture and centres it on a screen of
  // the given size, then shows progress 0 "Loading".
  void Configure(const GameSettings& settings, bool debugMode, int screenWidth, int screenHeight);
  // The filled bar becomes percent of the empty bar's width (rounded, halves to even); the label shows text.
  void ShowProgress(int percent, std::string_view text);
  // Drops the pictures once the window is closed.
  void ReleaseImages();
  const plat::LoadingWindowState& State() const { return state_; }

 private:
  void Refresh();  // points the state's image views at the owned pictures
  plat::LoadingWindowState state_;
  std::optional<CBitmap32> picture_, emptyBar_, fullBar_;
};

// One preparation phase: progress shown first, then the work; a failing phase shows its message (if any).
struct PreparePhase {
  int progress;  // -1: no progress report
  std::string text;
  std::string failureMessage;  // empty: the work reports its own failure
  std::function<bool()> work;
};

// Runs the phases in order and stops at the first that fails, after showing its failure message.
bool RunPreparePhases(const std::vector<PreparePhase>& phases, LoadObserver& observer);

// The display mode the settings ask for; unset fields stay as they are.
struct DisplayRequest {
  std::optional<int> width, height, frequency, depth;
  bool operator==(const DisplayRequest&) const = default;
};
DisplayRequest DecodeDisplaySettings(const GameSettings& settings);

// Colour depth of the desktop (always 32 bits on the systems the runner supports, so the colour-mode question
// never comes up).
inline constexpr int kDesktopDepth = 32;

// The file chooser offered when no game file was named.
inline constexpr const char* kGameFileFilter = "Game files|*.exe;*.kvgame|All|*.*";

class RunnerForm final : public LoadObserver {
 public:
  // Regular output (the run summary) goes to `out`, usage problems to `err`; messages go through the dialogs.
  RunnerForm(plat::IPlatform& platform, const RunnerOptions& options, std::ostream& out, std::ostream& err);
  ~RunnerForm() override;

  // The whole run after the temporary directory exists; returns the process exit code.
  int Run();

  // LoadObserver: the game data reader reports here.
  void ShowLoadingWindow(const GameSettings& settings, bool debugMode) override;
  void Progress(int percent, std::string_view text) override;
  void Message(std::string_view text) override;
  // A message box whose text the log records at the given level (Message: errors while loading, warnings
  // during the run).
  void Message(std::string_view text, LogLevel level);
  std::string TempDirectory() override;

  const GameData& Game() const { return game_; }
  GameData& MutableGame() { return game_; }
  plat::IPlatform& Platform() { return platform_; }
  // The platform's dialogs as the game opens them (their headless transcript is information in the log).
  plat::IDialogs& GameDialogs() { return gameDialogs_; }
  const RunnerOptions& Options() const { return options_; }
  const std::string& GameFile() const { return gamePath_; }
  // The game file's name: the caption of the runner's message boxes.
  std::string Caption() const;
  // Mixes one step's worth of sound when no device pulls it.
  void AdvanceSound();
  const LoadingWindow& Loading() const { return loading_; }
  // The preparation phases in their order, with their progress figures, texts and failure messages.
  std::vector<PreparePhase> PreparePhases();

 private:
  enum class ReadResult { Ok, Failed, Cancelled, NoGameFile };
  ReadResult ReadGame();
  bool PrepareGame();
  bool PrepareExtensions();
  bool PrepareGraphics();
  bool PrepareSounds();
  void ReleaseSound();
  void RunGame();
  void Shutdown();
  void CloseLoadingWindow();

  plat::IPlatform& platform_;
  kv::GameDialogs gameDialogs_;
  const RunnerOptions& options_;
  std::unique_ptr<RunnerDisplay> display_;
  std::unique_ptr<plat::IAudioOut> audio_;
  std::unique_ptr<plat::ICdDrive> cdDrive_;
  double audioFrameCarry_ = 0;  // fraction of a frame left over from the last step
  std::ostream& out_;
  std::ostream& err_;
  std::string gamePath_;
  GameData game_;
  LoadingWindow loading_;
  bool loadingShown_ = false;
  bool running_ = false;  // the main loop has started: messages are no longer load failures
};

// Screen size the loading window is centred on until the display service exists.
inline constexpr int kDefaultScreenWidth = 1024, kDefaultScreenHeight = 768;

// A one-line summary of a loaded game: what the headless run prints until the main loop exists.
std::string GameSummary(const GameData& game);

}  // namespace kv
