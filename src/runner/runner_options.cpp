#include "runner/runner_options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <limits>

#include "debugger/debug_form.h"
#include "runner/user_settings.h"

namespace kv {
namespace {

std::optional<int64_t> ParseInteger(const std::string& text, int64_t min, int64_t max) {
  if (text.empty() || text.front() == '+' || std::isspace(static_cast<unsigned char>(text.front())))
    return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < min || value > max) return std::nullopt;
  return value;
}

}  // namespace

std::string RunnerUsage() {
  return "usage: kvrun [GAME | DIR] [options] [-- game arguments]\n"
         "\n"
         "Plays the game in GAME (a game file with its data at byte 702567), or the kvpack project in the folder\n"
         "DIR (one holding game.kvp). Without GAME a file chooser asks for one when there is a display.\n"
         "\n"
         "options:\n"
         "  --headless             no window and no sound device; dialogs print to stderr and take their\n"
         "                         answers from --answers or their defaults\n"
         "  --steps N              end normally after N steps\n"
         "  --fast                 run steps without waiting for the room speed\n"
         "  --virtual-clock        waits advance a virtual clock instead of sleeping (deterministic timing)\n"
         "  --seed N               seed the random generator with N instead of the clock\n"
         "  --input FILE           scripted input events, one per line\n"
         "  --screenshot STEP:FILE save the screen after step STEP to FILE (may be repeated)\n"
         "  --answers FILE         scripted dialog answers, one per line: <kind> <answer>\n"
         "  --audio device|null    play sound on the audio device, or mix it without one (default: the\n"
         "                         device, or KV_AUDIO; --headless never opens a device)\n"
         "  --audio-capture FILE   write the mixed sound to FILE as a 32-bit float stereo 44.1 kHz WAV (the\n"
         "                         mix advances one step's worth of sound per step; no device is opened)\n"
         "  --verbose              print loading progress and diagnostics to stderr\n"
         "  --registry PATH        keep registry values in PATH (\":memory:\": only for this run)\n"
         "  --secure-mode 0|1      turn secure mode off or on, whatever the stored setting says\n"
         "  --debug                open the debugger beside the game (headless: no window)\n"
         "  --debug-dump STEP:FILE write the debugger's global variables, instances and watches after step STEP\n"
         "                         to FILE (may be repeated)\n"
         "  --debug-watches FILE   start the debugger with the watch expressions in FILE, one per line\n"
         "  --debug-do STEP:ACTION run a debugger action (\"Pause\", \"Step\", \"Run\", \"Add\", \"Execute Code\",\n"
         "                         ...) after step STEP; its questions take --answers (may be repeated)\n"
         "  --fullscreen           start in full screen, whatever the game says\n"
         "  --windowed             start in a window, whatever the game says\n"
         "  --scale N              scale the game's picture: N percent (1 to 1000), 0 stretch it over the window,\n"
         "                         -1 as large as fits keeping its aspect ratio\n"
         "  --vsync on|off         wait (or not) for the vertical blank before each frame is shown\n"
         "  --mute                 mix the sound to silence (the game still hears its sounds playing)\n"
         "  --show-fps             draw the frame rate in the top-left corner of the shown frames (not in what\n"
         "                         the game saves or reads back)\n"
         "  --screenshot-dir DIR   F9 writes DIR/<game>-<n>.png (n from 1 up, four digits at least) instead of\n"
         "                         screenshot<n>.bmp in the working folder\n"
         "  --log FILE             write loading progress, warnings and errors, one time-stamped line each, to FILE\n"
         "                         (what goes to stderr still does)\n"
         "  --no-user-settings     don't read the user settings file\n"
         "  --help                 show this text\n"
         "  --version              show the version\n"
         "  --list-functions       list the built-in functions (name and argument count) and exit\n"
         "  --list-reference       list the built-in functions and variables with their descriptions (tab-separated)\n"
         "                         and exit\n"
         "\n"
         "User settings: $XDG_CONFIG_HOME/korvane/kvrun.ini (default ~/.config/korvane/kvrun.ini) overrides the\n"
         "game's display settings for every game; the options above override the file:\n"
         "  [display] fullscreen=on|off  scale=N  vsync=on|off    [sound] mute=on|off\n"
         "  [screenshots] dir=PATH                                 [debug] show_fps=on|off\n"
         "Alt+Enter switches between full screen and a window, even in games that turn F4 off.\n"
         "\n"
         "exit status: 0 the game ended (or N steps ran), 1 the game could not be loaded, 2 bad usage,\n"
         "             3 a fatal error in the game ended it\n";
}

OptionsParseResult ParseRunnerOptions(const std::vector<std::string>& args) {
  OptionsParseResult result;
  RunnerOptions& o = result.options;
  auto fail = [&](std::string message) {
    result.status = OptionsParseResult::Status::Error;
    result.error = std::move(message);
    return result;
  };

  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      o.gameArguments.assign(args.begin() + static_cast<ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      if (!o.gamePath.empty()) return fail("unexpected argument \"" + arg + "\" (the game is \"" + o.gamePath + "\")");
      o.gamePath = arg;
      continue;
    }

    // "--name value" and "--name=value" are both accepted for options with a value.
    std::string name = arg;
    std::optional<std::string> inlineValue;
    if (const size_t eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
      name = arg.substr(0, eq);
      inlineValue = arg.substr(eq + 1);
    }
    auto value = [&]() -> std::optional<std::string> {
      if (inlineValue) return inlineValue;
      if (i + 1 < args.size()) return args[++i];
      return std::nullopt;
    };
    auto flag = [&](bool& target) {
      if (inlineValue) return false;
      target = true;
      return true;
    };

    if (name == "--help" || name == "-h") {
      result.status = OptionsParseResult::Status::Help;
      return result;
    }
    if (name == "--version") {
      result.status = OptionsParseResult::Status::Version;
      return result;
    }
    if (name == "--headless" || name == "--fast" || name == "--virtual-clock" || name == "--verbose" ||
        name == "--debug" || name == "--no-user-settings") {
      bool& target = name == "--headless"        ? o.headless
                     : name == "--fast"          ? o.fast
                     : name == "--virtual-clock" ? o.virtualClock
                     : name == "--debug"         ? o.debug
                     : name == "--no-user-settings" ? o.noUserSettings
                                                 : o.verbose;
      if (!flag(target)) return fail(name + " takes no value");
      continue;
    }
    // The player's settings; the last of --fullscreen and --windowed wins.
    if (name == "--fullscreen" || name == "--windowed" || name == "--mute" || name == "--show-fps") {
      if (inlineValue) return fail(name + " takes no value");
      if (name == "--mute") o.mute = true;
      else if (name == "--show-fps") o.showFps = true;
      else o.fullScreen = name == "--fullscreen";
      continue;
    }
    if (name == "--scale") {
      const auto text = value();
      const auto n = text ? ParseInteger(*text, -1, 1000) : std::nullopt;
      if (!n || !ValidScale(*n))
        return fail("--scale needs a percentage of 1 to 1000, 0 (stretch) or -1 (keep the aspect ratio)");
      o.scale = static_cast<int>(*n);
      continue;
    }
    if (name == "--vsync") {
      const auto text = value();
      if (!text || (*text != "on" && *text != "off")) return fail("--vsync needs 'on' or 'off'");
      o.vsync = *text == "on";
      continue;
    }
    if (name == "--screenshot-dir" || name == "--log") {
      const auto text = value();
      if (!text || text->empty()) return fail(name + (name == "--log" ? " needs a file name" : " needs a folder"));
      (name == "--log" ? o.logFile : o.screenshotDir) = *text;
      continue;
    }
    if (name == "--steps" || name == "--seed") {
      const auto text = value();
      if (!text) return fail(name + " needs a number");
      if (name == "--steps") {
        const auto n = ParseInteger(*text, 0, std::numeric_limits<int64_t>::max());
        if (!n) return fail("--steps needs a whole number of 0 or more, not \"" + *text + "\"");
        o.steps = *n;
      } else {
        const auto n = ParseInteger(*text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
        if (!n) return fail("--seed needs a 32-bit whole number, not \"" + *text + "\"");
        o.seed = static_cast<int32_t>(*n);
      }
      continue;
    }
    if (name == "--input" || name == "--answers" || name == "--debug-watches") {
      const auto text = value();
      if (!text || text->empty()) return fail(name + " needs a file name");
      (name == "--input" ? o.inputFile : name == "--answers" ? o.answersFile : o.debugWatches) = *text;
      continue;
    }
    if (name == "--registry") {
      const auto text = value();
      if (!text || text->empty()) return fail("--registry needs a file name or :memory:");
      o.registry = *text;
      continue;
    }
    if (name == "--secure-mode") {
      const auto text = value();
      if (!text || (*text != "0" && *text != "1")) return fail("--secure-mode needs 0 or 1");
      o.secureMode = *text == "1";
      continue;
    }
    if (name == "--audio") {
      const auto text = value();
      if (!text || (*text != "device" && *text != "null")) return fail("--audio needs 'device' or 'null'");
      o.audio = *text;
      continue;
    }
    if (name == "--audio-capture") {
      const auto text = value();
      if (!text || text->empty()) return fail("--audio-capture needs a file name");
      o.audioCapture = *text;
      continue;
    }
    if (name == "--debug-do") {
      const auto text = value();
      const size_t colon = text ? text->find(':') : std::string::npos;
      const auto step = colon == std::string::npos
                            ? std::nullopt
                            : ParseInteger(text->substr(0, colon), 0, std::numeric_limits<int64_t>::max());
      if (!step || !debugger::ActionNamed(text->substr(colon + 1)))
        return fail("--debug-do needs STEP:ACTION with a debugger action such as Pause, Step or Add");
      o.debugActions.push_back({*step, text->substr(colon + 1)});
      continue;
    }
    if (name == "--screenshot" || name == "--debug-dump") {
      const auto text = value();
      const size_t colon = text ? text->find(':') : std::string::npos;
      if (colon == std::string::npos) return fail(name + " needs STEP:FILE");
      const auto step = ParseInteger(text->substr(0, colon), 0, std::numeric_limits<int64_t>::max());
      const std::string file = text->substr(colon + 1);
      if (!step || file.empty()) return fail(name + " needs STEP:FILE, not \"" + *text + "\"");
      if (name == "--debug-dump") {
        o.debugDumps.push_back({*step, file});
        continue;
      }
      // Screenshots are written as PNG whatever the name says; a name saying otherwise is a mistake.
      std::string ext = file.size() >= 4 ? file.substr(file.size() - 4) : std::string();
      for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (ext != ".png") return fail("--screenshot writes PNG files: the name must end in .png, not \"" + file + "\"");
      o.screenshots.push_back({*step, file});
      continue;
    }
    return fail("unknown option \"" + arg + "\"");
  }
  return result;
}

}  // namespace kv
