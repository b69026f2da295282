#include "runner/runner_form.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <cstdlib>
#include <filesystem>

#include "actions/action_library.h"
#include "code/code_error.h"
#include "extensions/extension_main.h"
#include "extensions/external_call.h"
#include "functions/function_3d.h"
#include "functions/function_dialogs.h"
#include "functions/function_file.h"
#include "functions/function_ini.h"
#include "functions/function_registry.h"
#include "functions/function_sprite.h"
#include "functions/function_system.h"
#include "functions/function_window.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_display.h"
#include "interface/open_forms.h"
#include "platform/cd_drive.h"
#include "platform/file_read.h"
#include "platform/registry.h"
#include "platform/text_codec.h"
#include "runner/game_prepare.h"
#include "runner/included_export.h"
#include "runner/muted_audio.h"
#include "runner/user_settings.h"
#include "runner/runner_wiring.h"
#include "runner/runner_debugger.h"
#include "sound/sound_directx.h"
#include "sound/sound_main.h"
#include "sound/sound_mci.h"
#include "world/world_rooms.h"
#include "world/builtin_globals.h"
#include "world/run_main.h"

namespace kv {

// ---- loading window -------------------------------------------------------------------------------------------

namespace {

plat::ImageView ViewOf(const std::optional<CBitmap32>& image) {
  if (!image) return {};
  return {image->width, image->height, image->pixels.data()};
}

// Only a picture with pixels for its whole size is shown; anything else keeps the default look.
std::optional<CBitmap32> UsableImage(const std::optional<CBitmap32>& image) {
  if (!image || !image->exists || image->width <= 0 || image->height <= 0 ||
      image->pixels.size() < static_cast<size_t>(image->width) * static_cast<size_t>(image->height))
    return std::nullopt;
  return image;
}

}  // namespace

LoadingWindow::LoadingWindow() {
  state_.width = kDesignWidth;
  state_.height = kDesignHeight;
  state_.emptyBarRect = {kBarLeft, 72, 289, kBarHeight};
  state_.fullBarRect = {kBarLeft, 72, 105, kBarHeight};
  state_.labelRect = {kLabelLeft, 72, kLabelWidth, kLabelHeight};
}

void LoadingWindow::Configure(const GameSettings& settings, bool debugMode, int screenWidth, int screenHeight) {
  picture_ = UsableImage(settings.loadingImage);
  state_.hasPicture = picture_.has_value();
  state_.transparent = picture_ && settings.loadingTransparent;
  state_.transparentColour = state_.transparent ? picture_->Pixel(0, picture_->height - 1) : 0;
  state_.alpha = std::clamp(settings.loadingAlpha, 0, 255);

  emptyBar_.reset();
  fullBar_.reset();
  if (settings.showProgressBar) {
    emptyBar_ = UsableImage(settings.backBarImage);
    fullBar_ = UsableImage(settings.frontBarImage);
  }
  state_.barsVisible = settings.showProgressBar;
  state_.stretchFullBar = settings.scaleProgressBar;
  state_.labelVisible = debugMode && settings.showProgressBar;

  state_.width = picture_ ? picture_->width : kDesignWidth;
  state_.height = picture_ ? picture_->height : kDesignHeight;
  state_.left = (screenWidth - state_.width) / 2;
  state_.top = (screenHeight - state_.height) / 2;

  // The bar keeps its margins of kBarLeft on both sides and sits kBarsFromBottom above the bottom edge.
  const int barTop = state_.height - kBarsFromBottom;
  state_.emptyBarRect = {kBarLeft, barTop, std::max(0, state_.width - 2 * kBarLeft), kBarHeight};
  state_.fullBarRect.top = barTop;
  state_.labelRect.top = barTop;
  Refresh();
  ShowProgress(0, "Loading");
}

void LoadingWindow::ShowProgress(int percent, std::string_view text) {
  state_.percent = percent;
  state_.fullBarRect.width =
      static_cast<int>(std::nearbyint(static_cast<double>(percent) * state_.emptyBarRect.width / 100.0));
  state_.label = text;
}

void LoadingWindow::ReleaseImages() {
  picture_.reset();
  emptyBar_.reset();
  fullBar_.reset();
  Refresh();
}

void LoadingWindow::Refresh() {
  state_.picture = ViewOf(picture_);
  state_.emptyBar = ViewOf(emptyBar_);
  state_.fullBar = ViewOf(fullBar_);
}

// ---- preparation ----------------------------------------------------------------------------------------------

namespace {

// Where included files go, and who hears about the ones secure mode refuses.
IncludedFilePlaces IncludedPlacesOf(plat::IPlatform& platform) {
  IncludedFilePlaces places;
  places.tempDir = platform.System().TempDir();
  places.secureMode = ReadSecureModeSetting();
  places.report = [](const std::string& message) { ReportRuntimeError(message); };
  return places;
}

}  // namespace

bool RunPreparePhases(const std::vector<PreparePhase>& phases, LoadObserver& observer) {
  for (const PreparePhase& phase : phases) {
    if (phase.progress >= 0) observer.Progress(phase.progress, phase.text);
    if (phase.work && !phase.work()) {
      if (!phase.failureMessage.empty()) observer.Message(phase.failureMessage);
      return false;
    }
  }
  return true;
}

DisplayRequest DecodeDisplaySettings(const GameSettings& settings) {
  DisplayRequest request;
  if (!settings.setResolution) return request;
  switch (settings.colorDepth) {
    case 1: request.depth = 16; break;
    case 2: request.depth = 32; break;
    default: break;
  }
  static constexpr int kSizes[][2] = {{320, 240}, {640, 480}, {800, 600}, {1024, 768}, {1280, 1024}, {1600, 1200}};
  if (settings.resolution >= 1 && settings.resolution <= 6) {
    request.width = kSizes[settings.resolution - 1][0];
    request.height = kSizes[settings.resolution - 1][1];
  }
  static constexpr int kRates[] = {60, 70, 85, 100, 120};
  if (settings.frequency >= 1 && settings.frequency <= 5) request.frequency = kRates[settings.frequency - 1];
  return request;
}

// ---- lifecycle ------------------------------------------------------------------------------------------------

RunnerForm::RunnerForm(plat::IPlatform& platform, const RunnerOptions& options, std::ostream& out, std::ostream& err)
    : platform_(platform), gameDialogs_(platform.Dialogs()), options_(options), out_(out), err_(err) {}

RunnerForm::~RunnerForm() {
  // Nothing may reach this run's game data or platform once they are gone.
  UnwireDisplay(*this);
  UnwireRun();
  ReleaseSound();
  ClearExtensionPackages();
  ResetExternalFunctions();
  DetachGame(game_);
}

int RunnerForm::Run() {
  if (!options_.registry.empty()) SetRegistryStore(plat::OpenSqliteRegistry(options_.registry));
  SetSecureModeOverride(options_.secureMode);
  switch (ReadGame()) {
    case ReadResult::Ok: break;
    case ReadResult::Cancelled: return kExitOk;  // the player chose not to open a game: end silently
    case ReadResult::NoGameFile:
      err_ << "kvrun: no game file given and no file chooser available\n\n" << RunnerUsage();
      return kExitUsage;
    case ReadResult::Failed: return kExitLoadFailure;
  }
  try {
    if (!PrepareGame()) {
      CloseLoadingWindow();
      return kExitLoadFailure;
    }
    RunGame();
  } catch (const std::exception&) {
    Message(kMsgUnexpected);
    CloseLoadingWindow();
    return kExitLoadFailure;
  }
  Shutdown();
  // A broken game and a finished one must look different to scripts.
  return Aborting() ? kExitFatalError : kExitOk;
}

RunnerForm::ReadResult RunnerForm::ReadGame() {
  gamePath_ = options_.gamePath;
  if (gamePath_.empty()) {
    const plat::FileDialogRequest request{plat::FileDialogKind::Open, "Open game", kGameFileFilter, "game.exe"};
    const plat::FileDialogResult chosen = platform_.Dialogs().FileDialog(request);
    if (chosen.status == plat::FileDialogResult::Status::Cancelled) return ReadResult::Cancelled;
    if (chosen.status == plat::FileDialogResult::Status::Unavailable) return ReadResult::NoGameFile;
    gamePath_ = chosen.path;
  }

  plat::FileReadResult read;
  try {
    // The bytes before the game data are never looked at: they are not read.
    read = plat::ReadWholeFile(gamePath_, plat::kMaxLoadedFileBytes, kGameDataOffset);
  } catch (const std::exception&) {
    read.status = plat::FileReadStatus::TooLarge;  // too big for memory
  }
  if (!read.Ok()) {
    // The message says what failed; the line after it says which file and why, as the system put it.
    Message(std::string(kMsgCannotReadGame) + "\n" + gamePath_ + ": " + plat::FileReadReason(read));
    return ReadResult::Failed;
  }
  LogLine(LogLevel::Info, "game file " + gamePath_ + " opened (" + std::to_string(read.skipped + read.bytes.size()) +
                              " bytes)");
  if (read.skipped < kGameDataOffset) {
    Message(kMsgNotValidGame);
    return ReadResult::Failed;
  }
  CStream file(std::move(read.bytes));
  bool loaded = false;
  try {
    loaded = LoadGameData(file, game_, *this);
  } catch (const std::exception&) {
    // Truncated data, a broken compressed block, or running out of memory on a hostile size.
    Message(kMsgCorrupted);
  }
  if (!loaded) CloseLoadingWindow();
  return loaded ? ReadResult::Ok : ReadResult::Failed;
}

std::vector<PreparePhase> RunnerForm::PreparePhases() {
  return {
      {-1, "", "", [this] {
         platform_.System().SetPriority(game_.settings.priority);
         return true;
       }},
      // A file that cannot be written is skipped without a message.
      {50, "Extracting included files", "", [this] {
         ExportAllIncludedFiles(game_.resources.includedFiles, IncludedPlacesOf(platform_));
         return true;
       }},
      {54, "Preparing extension pacakges", "Failed to prepare extension packages.", [this] {
         AttachGame(game_);
         return PrepareExtensions();
       }},
      {56, "Preparing constants", "Failed to define the constants.", [this] {
         return DefineGameConstants(game_, [this](const std::string& text) { Message(text); });
       }},
      {58, "Compiling scripts", "Failed to compile the scripts.", [this] { return CompileGameScripts(game_); }},
      {70, "Compiling time line actions", "Failed to compile the actions in the time lines.",
       [this] { return CompileTimeLineActions(game_); }},
      {72, "Compiling object actions", "Failed to compile the actions in the objects.",
       [this] { return CompileObjectActions(game_); }},
      {80, "Preparing sounds", "Failed to prepare the sounds.", [this] { return PrepareSounds(); }},
      {90, "Preparing graphics", "", [this] {
         if (PrepareGraphics()) return true;
         ReleaseSound();
         return false;
       }},
      {100, "Ready", "", [this] {
         CloseLoadingWindow();
         loading_.ReleaseImages();
         return true;
       }},
  };
}

bool RunnerForm::PrepareExtensions() {
  // Windows library names find their native replacements beside the game file and in KV_LIBRARY_PATH.
  ExternalLibraryPlaces places;
  std::error_code ec;
  const std::filesystem::path game = std::filesystem::absolute(gamePath_, ec);
  places.gameDirectory = ec ? std::string() : game.parent_path().string();
  places.searchPath = SplitLibraryPath(platform_.System().Env("KV_LIBRARY_PATH").value_or(""));
  SetExternalLibraryPlaces(std::move(places));
  ExtensionPreparation how;
  how.tempDirectory = platform_.System().TempDir();
  how.secureMode = ReadSecureModeSetting();
  how.messageBox = [this](const std::string& text) { Message(text); };
  return PrepareExtensionPackages(game_.resources.extensions, how);
}

bool RunnerForm::PrepareGame() { return RunPreparePhases(PreparePhases(), *this); }

bool RunnerForm::PrepareGraphics() {
  DisplayRequest request = DecodeDisplaySettings(game_.settings);
  if (!request.depth && kDesktopDepth != 16 && kDesktopDepth != 32) {
    if (platform_.Dialogs().MessageBox(Caption(), kMsgColourMode, plat::MessageButtons::YesNo,
                                       plat::MessageResult::Yes) != plat::MessageResult::Yes)
      return false;
    request.depth = 16;
  }
  display_ = std::make_unique<RunnerDisplay>(platform_, options_);
  // The player's full screen, scale and vertical-blank choices replace the game's before the window exists.
  GameSettings shown = game_.settings;
  ApplyUserDisplaySettings(shown, options_);
  std::string failure;
  if (!display_->Prepare(shown, failure)) {
    Message(failure);
    display_.reset();
    return false;
  }
  WireDisplay(*this, *display_, shown);
  // The settings' display mode: full screen uses it (a windowed game keeps it for when it goes full screen).
  if (request.width || request.height || request.frequency || request.depth)
    gfx::ChangeDisplay(request.width.value_or(0), request.height.value_or(0), request.frequency.value_or(0),
                       request.depth.value_or(0));
  return true;
}

bool RunnerForm::PrepareSounds() {
  // Headless runs and captures never open a device; a machine without one plays on, silently.
  std::string mode = options_.audio;
  if (mode.empty()) mode = platform_.System().Env("KV_AUDIO").value_or("");
  const bool useDevice = !platform_.Headless() && options_.audioCapture.empty() && mode != "null";
  std::string failure;
  if (useDevice) {
    audio_ = platform_.CreateAudioDevice(failure);
    if (!audio_) err_ << "kvrun: no audio device (" << failure << "); sound is mixed without output\n";
  }
  if (!audio_) {
    failure.clear();
    audio_ = plat::CreatePulledAudioOut(options_.audioCapture, failure);
    if (!audio_) {
      err_ << "kvrun: " << failure << "; sound is mixed without output\n";
      audio_ = plat::CreatePulledAudioOut("", failure);
    }
  }
  if (options_.mute.value_or(false)) audio_ = MuteAudioOut(std::move(audio_));
  // No CD drive is used; KV_CD_TRACKS=ms,ms,... puts a disc with those track lengths in a stand-in drive.
  if (const auto tracks = platform_.System().Env("KV_CD_TRACKS"); tracks && !tracks->empty()) {
    std::vector<int64_t> lengths;
    for (size_t at = 0; at <= tracks->size();) {
      const size_t comma = std::min(tracks->find(',', at), tracks->size());
      lengths.push_back(std::max<int64_t>(0, std::atoll(tracks->substr(at, comma - at).c_str())));
      at = comma + 1;
    }
    cdDrive_ = std::make_unique<plat::FakeCdDrive>(std::move(lengths));
  }
  snd::SetCdDrive(cdDrive_.get());
  WireSubsystemMessages(*this);
  SetSoundTempDirectory(platform_.System().TempDir());
  snd::StartSoundSystem(audio_.get());
  snd::SetGlobalVolume(1);
  kv::PrepareSounds(game_.resources.sounds);
  return true;
}

void RunnerForm::AdvanceSound() {
  if (!audio_ || audio_->IsDevice()) return;
  // One step's worth of sound at the room speed, the fraction of a frame carried to the next step.
  const CLiveRoom* room = CurrentRoom();
  const int speed = room && room->props.speed > 0 ? room->props.speed : 30;
  audioFrameCarry_ += static_cast<double>(snd::kMixRate) / speed;
  const int frames = static_cast<int>(audioFrameCarry_);
  audioFrameCarry_ -= frames;
  snd::AdvanceAudio(frames);
}

void RunnerForm::RunGame() {
  {
    // The summary is in the log whether or not --verbose prints it.
    StderrLogLevel summaryLogged(std::nullopt);
    LogLine(LogLevel::Info, GameSummary(game_));
    if (options_.verbose) err_ << GameSummary(game_) << '\n';
  }
  if (!game_.resources.roomOrder.empty()) {
    const int first = game_.resources.roomOrder.front();
    LogLine(LogLevel::Info, "first room: " + std::string(game_.resources.rooms.Name(first)) + " (" +
                                std::to_string(first) + ")");
  }
  running_ = true;
  RunConfig config;
  config.clock = &platform_.Clock();
  config.waitForTicks = !options_.fast;
  config.maxSteps = options_.steps;
  if (options_.seed) config.seed = static_cast<uint32_t>(*options_.seed);
  config.gameId = game_.gameId;
  // Secure mode (refuses file writes outside the working directory and running programs): the settings store,
  // or KV_SECURE_MODE=0|1.
  config.secureMode = ReadSecureModeSetting();
  SetSpriteSaveSecureMode(config.secureMode);
  RunHooks hooks;
  // Games stored with the debug flag (or run with --debug) get the debugger beside them.
  std::unique_ptr<RunnerDebugger> debugger;
  if (WantsDebugger(game_.debugMode, options_))
    debugger = std::make_unique<RunnerDebugger>(platform_, options_, err_);
  // Splashes and the game information left open close with the game (before the sound system stops).
  ui::OpenForms openForms;
  WireRun(*this, display_.get(), debugger.get(), &openForms, hooks);
  kv::RunGame(game_.resources, game_.settings, config, hooks);
  running_ = false;
  LogLine(Aborting() ? LogLevel::Error : LogLevel::Info,
          Aborting() ? "the game ended after a fatal error" : "the game ended");
  UnwireRun();
  openForms.CloseAll();
}

void RunnerForm::Shutdown() {
  // Releasing the sound system joins here with its subsystem.
  UnwireDisplay(*this);
  display_.reset();
  CloseAllFiles();
  CloseIniFile();
  RemoveAllIncludedFiles(game_.resources.includedFiles, IncludedPlacesOf(platform_));
  // The libraries of extension packages and external calls are released before their files go with the
  // temporary directory.
  ClearExtensionPackages();
  ResetExternalFunctions();
  ReleaseSound();
}

void RunnerForm::ReleaseSound() {
  // The samples go with the sound system; the sounds keep their data for a later start.
  for (int i = 0; i < game_.resources.sounds.Count(); ++i)
    if (CSound* s = game_.resources.sounds.Get(i)) s->FreeSample();
  snd::MciReset();
  snd::SetCdDrive(nullptr);
  cdDrive_.reset();
  snd::StopSoundSystem();
  UnwireSubsystemMessages();
  audio_.reset();
}

void RunnerForm::CloseLoadingWindow() {
  if (!loadingShown_) return;
  StderrLogLevel quiet(std::nullopt);
  platform_.Loading().Hide();
  loadingShown_ = false;
}

std::string RunnerForm::Caption() const {
  if (gamePath_.empty()) return "kvrun";
  // File names are UTF-8; captions are game text (CP-1252).
  const std::string stem = plat::Utf8ToCp1252(std::filesystem::path(gamePath_).stem().string());
  return stem.empty() ? "kvrun" : stem;
}

void RunnerForm::ShowLoadingWindow(const GameSettings& settings, bool debugMode) {
  loading_.Configure(settings, debugMode, kDefaultScreenWidth, kDefaultScreenHeight);
  StderrLogLevel progressLogged(std::nullopt);  // --verbose prints the same progress
  platform_.Loading().Show(loading_.State());
  loadingShown_ = true;
}

void RunnerForm::Progress(int percent, std::string_view text) {
  loading_.ShowProgress(percent, text);
  LogLine(LogLevel::Info, "loading " + std::to_string(percent) + "% " + plat::Cp1252ToUtf8(std::string(text)));
  StderrLogLevel progressLogged(std::nullopt);
  if (loadingShown_) platform_.Loading().Update(loading_.State());
}

void RunnerForm::Message(std::string_view text) { Message(text, running_ ? LogLevel::Warn : LogLevel::Error); }

void RunnerForm::Message(std::string_view text, LogLevel level) {
  // Logged here in full: a message box of a window never reaches stderr.
  LogLine(level, plat::Cp1252ToUtf8(std::string(text)));
  StderrLogLevel messageLogged(std::nullopt);
  platform_.Dialogs().ShowMessage(Caption(), text);
}

std::string RunnerForm::TempDirectory() { return platform_.System().TempDir(); }

// ---- summary --------------------------------------------------------------------------------------------------

std::string GameSummary(const GameData& game) {
  const GameResources& r = game.resources;
  auto count = [](int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  return "game loaded: " + count(r.rooms.Count(), "room", "rooms") + ", " +
         count(r.objects.Count(), "object", "objects") + ", " + count(r.scripts.Count(), "script", "scripts") +
         ", " + count(r.sprites.Count(), "sprite", "sprites") + ", " + count(r.sounds.Count(), "sound", "sounds") +
         ", " + count(r.backgrounds.Count(), "background", "backgrounds") + ", " +
         count(r.paths.Count(), "path", "paths") + ", " + count(r.fonts.Count(), "font", "fonts") + ", " +
         count(r.timelines.Count(), "time line", "time lines") + ", " +
         count(static_cast<int>(r.includedFiles.size()), "included file", "included files") + ", " +
         count(static_cast<int>(r.extensions.size()), "extension package", "extension packages") +
         (game.debugMode ? " (debug mode)" : "");
}

}  // namespace kv
