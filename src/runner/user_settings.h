#pragma once
// The player's own settings for every game: $XDG_CONFIG_HOME/korvane/kvrun.ini (~/.config/korvane/kvrun.ini when
// XDG_CONFIG_HOME is unset or empty). They override the display settings stored in the game; kvrun's options
// override them in turn.
//
//   [display]
//   fullscreen = on|off     start in full screen or in a window
//   scale = N               the game's scaling: N percent (1 … 1000), 0 stretch over the window,
//                           -1 as large as fits keeping the aspect ratio
//   vsync = on|off          wait for the vertical blank before each frame is shown
//   [sound]
//   mute = on|off           mix the sound to silence
//   [screenshots]
//   dir = PATH              F9 writes PNG files into PATH ("~/" is the home folder)
//   [debug]
//   show_fps = on|off       the frame-rate overlay
//
// Lines starting with ';' or '#' are comments; on|off also read as true|false, yes|no and 1|0. A line the
// runner does not understand is a warning, never a reason not to play.
#include <optional>
#include <string>
#include <vector>

#include "runner/runner_options.h"

namespace kv {

struct GameSettings;

struct UserSettings {
  std::optional<bool> fullScreen;
  std::optional<int> scale;  // the game's scaling percent: > 0 fixed, 0 stretch, -1 keep the aspect ratio
  std::optional<bool> vsync;
  std::optional<bool> mute;
  std::optional<std::string> screenshotDir;
  std::optional<bool> showFps;
  bool operator==(const UserSettings&) const = default;
};

struct UserSettingsRead {
  UserSettings settings;
  std::vector<std::string> warnings;  // "FILE:LINE: what is wrong", one per line ignored
};

// Parses the text of a settings file; `fileName` names it in the warnings. `home` expands a leading "~/" in
// paths ("" leaves it alone).
UserSettingsRead ParseUserSettings(const std::string& text, const std::string& fileName, const std::string& home);

// The settings file for these environment values (XDG_CONFIG_HOME and HOME); empty when neither gives a folder.
std::string UserSettingsPath(const std::optional<std::string>& xdgConfigHome, const std::optional<std::string>& home);

// The values of the file that no option set already (options win over the file).
void MergeUserSettings(RunnerOptions& options, const UserSettings& file);

// The game's display settings with the player's choices of the options laid over them.
void ApplyUserDisplaySettings(GameSettings& settings, const RunnerOptions& options);

// Scale values accepted by the file and by --scale.
bool ValidScale(int64_t scale);

}  // namespace kv
