#include "runner/user_settings.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "runner/game_data.h"

namespace kv {

namespace {

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::optional<bool> ParseSwitch(const std::string& value) {
  const std::string v = Lower(value);
  if (v == "on" || v == "true" || v == "yes" || v == "1") return true;
  if (v == "off" || v == "false" || v == "no" || v == "0") return false;
  return std::nullopt;
}

std::optional<int64_t> ParseWhole(const std::string& text) {
  if (text.empty() || text.front() == '+') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return std::nullopt;
  return value;
}

}  // namespace

bool ValidScale(int64_t scale) { return scale == -1 || (scale >= 0 && scale <= 1000); }

UserSettingsRead ParseUserSettings(const std::string& text, const std::string& fileName, const std::string& home) {
  UserSettingsRead read;
  UserSettings& s = read.settings;
  std::istringstream in(text);
  std::string line, section;
  for (int lineNo = 1; std::getline(in, line); ++lineNo) {
    auto warn = [&](const std::string& what) {
      read.warnings.push_back(fileName + ":" + std::to_string(lineNo) + ": " + what);
    };
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line.back() != ']') {
        warn("a section name ends with ']'");
        section = "?";
        continue;
      }
      section = Lower(Trim(line.substr(1, line.size() - 2)));
      if (section != "display" && section != "sound" && section != "screenshots" && section != "debug")
        warn("unknown section [" + section + "]; its lines are ignored");
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
      warn("expected 'name = value'");
      continue;
    }
    const std::string key = Lower(Trim(line.substr(0, eq)));
    const std::string value = Trim(line.substr(eq + 1));
    auto setSwitch = [&](std::optional<bool>& target) {
      if (const auto v = ParseSwitch(value)) target = v;
      else warn(key + " needs on or off, not \"" + value + "\"");
    };
    if (section == "display" && key == "fullscreen") setSwitch(s.fullScreen);
    else if (section == "display" && key == "vsync") setSwitch(s.vsync);
    else if (section == "display" && key == "scale") {
      const auto n = ParseWhole(value);
      if (n && ValidScale(*n)) s.scale = static_cast<int>(*n);
      else warn("scale needs a percentage of 1 to 1000, 0 (stretch) or -1 (keep the aspect ratio), not \"" + value +
                "\"");
    } else if (section == "sound" && key == "mute") setSwitch(s.mute);
    else if (section == "screenshots" && key == "dir") {
      if (value.empty()) warn("dir needs a folder");
      else if (value.rfind("~/", 0) == 0 && !home.empty()) s.screenshotDir = home + value.substr(1);
      else s.screenshotDir = value;
    } else if (section == "debug" && key == "show_fps") setSwitch(s.showFps);
    else if (section == "display" || section == "sound" || section == "screenshots" || section == "debug")
      warn("unknown setting \"" + key + "\" in [" + section + "]");
    else if (section.empty())
      warn("\"" + key + "\" is outside a section");
    // Lines of an unknown section were reported with the section.
  }
  return read;
}

std::string UserSettingsPath(const std::optional<std::string>& xdgConfigHome, const std::optional<std::string>& home) {
  // A relative XDG_CONFIG_HOME is invalid and ignored, as the base-directory rules say.
  std::string base;
  if (xdgConfigHome && !xdgConfigHome->empty() && (*xdgConfigHome)[0] == '/') base = *xdgConfigHome;
  else if (home && !home->empty()) base = *home + "/.config";
  else return "";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/korvane/kvrun.ini";
}

void MergeUserSettings(RunnerOptions& options, const UserSettings& file) {
  if (!options.fullScreen) options.fullScreen = file.fullScreen;
  if (!options.scale) options.scale = file.scale;
  if (!options.vsync) options.vsync = file.vsync;
  if (!options.mute) options.mute = file.mute;
  if (!options.showFps) options.showFps = file.showFps;
  if (options.screenshotDir.empty() && file.screenshotDir) options.screenshotDir = *file.screenshotDir;
}

void ApplyUserDisplaySettings(GameSettings& settings, const RunnerOptions& options) {
  if (options.fullScreen) settings.fullScreen = *options.fullScreen;
  if (options.scale) settings.scaling = *options.scale;
  if (options.vsync) settings.vSync = *options.vsync;
}

}  // namespace kv
