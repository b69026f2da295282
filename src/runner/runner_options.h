#pragma once
// The kvrun command line: kvrun [GAME] [options] [-- game arguments].
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv {

struct ScreenshotRequest {
  int64_t step = 0;
  std::string file;
  bool operator==(const ScreenshotRequest&) const = default;
};

struct RunnerOptions {
  std::string gamePath;                   // empty: ask for the game file
  bool headless = false;                  // no window, no sound device, scripted dialogs
  std::optional<int64_t> steps;           // stop after this many steps
  bool fast = false;                      // don't wait for ticks
  bool virtualClock = false;              // waits advance time without sleeping
  std::optional<int32_t> seed;            // replaces the clock seed of the random generator
  std::string inputFile;                  // scripted input events
  std::vector<ScreenshotRequest> screenshots;
  std::string answersFile;                // scripted dialog answers
  bool verbose = false;                   // loading progress and diagnostics on stderr
  std::string registry;                   // settings store file (":memory:" for a private one); empty: default
  std::optional<bool> secureMode;         // overrides the stored secure-mode setting
  std::string audio;                      // "device", "null" or empty (KV_AUDIO, else device unless headless)
  std::string audioCapture;               // WAV file the mixed sound is written to
  std::vector<std::string> gameArguments; // after "--": what the game sees as its parameters
  bool debug = false;                     // open the debugger whatever the game's debug flag says
  std::vector<ScreenshotRequest> debugDumps;  // STEP:FILE: the debugger's globals, instances and watches
  std::string debugWatches;               // watch expressions to start with, one per line
  std::vector<ScreenshotRequest> debugActions;  // STEP:ACTION: debugger actions run after step STEP, in order
  // The player's settings: these options, else the user settings file, else the game's own.
  std::optional<bool> fullScreen;         // --fullscreen / --windowed
  std::optional<int> scale;               // --scale: the game's scaling percent (0 stretch, -1 keep aspect)
  std::optional<bool> vsync;              // --vsync on|off
  std::optional<bool> mute;               // --mute: sound is mixed to silence
  std::optional<bool> showFps;            // --show-fps: the frame-rate overlay
  std::string screenshotDir;              // F9 writes PNG files here instead of screenshotN.bmp
  std::string logFile;                    // --log: loading progress, warnings and errors with time stamps
  bool noUserSettings = false;            // --no-user-settings: the settings file is not read
};

struct OptionsParseResult {
  enum class Status { Run, Help, Version, Error };
  Status status = Status::Run;
  RunnerOptions options;
  std::string error;  // for Status::Error: what was wrong, one line
};

OptionsParseResult ParseRunnerOptions(const std::vector<std::string>& args);  // args without the program name
std::string RunnerUsage();

// Exit codes of kvrun.
constexpr int kExitOk = 0;
constexpr int kExitLoadFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFatalError = 3;  // a fatal error in the game (Abort, abort-on-error, a fatal message) ended it

}  // namespace kv
