// The player's settings: the user settings file, the options that override it, and what reaches the game's
// display settings.
#include <gtest/gtest.h>

#include "runner/game_data.h"
#include "runner/runner_options.h"
#include "runner/user_settings.h"

namespace {

using kv::OptionsParseResult;
using kv::ParseRunnerOptions;
using kv::ParseUserSettings;
using Status = OptionsParseResult::Status;

TEST(UserSettings, ReadsEverySettingWithCommentsAndAnyCase) {
  const auto read = ParseUserSettings(
      "; the player's choices\n"
      "# comments of either kind\n"
      "[Display]\n"
      "  FullScreen = ON  \n"
      "scale=-1\n"
      "vsync = no\n"
      "\n"
      "[sound]\r\n"
      "mute = true\r\n"
      "[screenshots]\n"
      "dir = ~/Pictures/shots\n"
      "[debug]\n"
      "show_fps = 1\n",
      "kvrun.ini", "/home/p");
  EXPECT_TRUE(read.warnings.empty()) << read.warnings.front();
  kv::UserSettings expected;
  expected.fullScreen = true;
  expected.scale = -1;
  expected.vsync = false;
  expected.mute = true;
  expected.screenshotDir = "/home/p/Pictures/shots";
  expected.showFps = true;
  EXPECT_EQ(read.settings, expected);
  // Without a home folder "~/" stays as written; other paths are kept.
  EXPECT_EQ(ParseUserSettings("[screenshots]\ndir=~/x\n", "f", "").settings.screenshotDir, "~/x");
  EXPECT_EQ(ParseUserSettings("[screenshots]\ndir = shots dir\n", "f", "/h").settings.screenshotDir, "shots dir");
}

// Every line the runner cannot use is one warning naming the file and line; the good lines still count.
TEST(UserSettings, BadLinesAreWarningsAndTheRestApplies) {
  const auto read = ParseUserSettings(
      "fullscreen = on\n"            // 1: outside a section
      "[display]\n"
      "fullscreen = maybe\n"         // 3
      "scale = 1001\n"               // 4
      "scale = -2\n"                 // 5
      "scale = 2x\n"                 // 6
      "vsync = on\n"
      "brightness = 3\n"             // 8: unknown setting
      "just words\n"                 // 9: no '='
      "[colours]\n"                  // 10: unknown section
      "fullscreen = off\n"           // (ignored with its section)
      "[display\n"                   // 12
      "[sound]\n"
      "mute = \n"                    // 14
      "[screenshots]\n"
      "dir =\n",                     // 16
      "user.ini", "/h");
  std::vector<int> lines;
  for (const std::string& w : read.warnings) {
    ASSERT_EQ(w.rfind("user.ini:", 0), 0u) << w;
    lines.push_back(std::stoi(w.substr(9)));
  }
  EXPECT_EQ(lines, (std::vector<int>{1, 3, 4, 5, 6, 8, 9, 10, 12, 14, 16}));
  kv::UserSettings expected;
  expected.vsync = true;
  EXPECT_EQ(read.settings, expected);
}

TEST(UserSettings, FileLocationFollowsXdgConfigHome) {
  EXPECT_EQ(kv::UserSettingsPath("/cfg", "/home/p"), "/cfg/korvane/kvrun.ini");
  EXPECT_EQ(kv::UserSettingsPath("/cfg/", "/home/p"), "/cfg/korvane/kvrun.ini");
  EXPECT_EQ(kv::UserSettingsPath("", "/home/p"), "/home/p/.config/korvane/kvrun.ini");
  EXPECT_EQ(kv::UserSettingsPath(std::nullopt, "/home/p"), "/home/p/.config/korvane/kvrun.ini");
  EXPECT_EQ(kv::UserSettingsPath("relative", "/home/p"), "/home/p/.config/korvane/kvrun.ini");  // not valid
  EXPECT_EQ(kv::UserSettingsPath(std::nullopt, std::nullopt), "");
}

// Options win over the file; the file fills what no option set; the result replaces only the game's display
// settings the player chose.
TEST(UserSettings, OptionsWinOverTheFileWhichWinsOverTheGame) {
  const auto parsed = ParseRunnerOptions({"g", "--windowed", "--screenshot-dir", "opt"});
  ASSERT_EQ(parsed.status, Status::Run) << parsed.error;
  kv::RunnerOptions options = parsed.options;
  kv::UserSettings file;
  file.fullScreen = true;
  file.scale = 0;
  file.mute = true;
  file.screenshotDir = "file";
  kv::MergeUserSettings(options, file);
  EXPECT_EQ(options.fullScreen, false);
  EXPECT_EQ(options.scale, 0);
  EXPECT_EQ(options.mute, true);
  EXPECT_FALSE(options.vsync.has_value());
  EXPECT_FALSE(options.showFps.has_value());
  EXPECT_EQ(options.screenshotDir, "opt");

  kv::GameSettings game;
  game.fullScreen = true;
  game.scaling = 150;
  game.vSync = true;
  game.keyFullScreen = false;
  kv::GameSettings shown = game;
  kv::ApplyUserDisplaySettings(shown, options);
  EXPECT_FALSE(shown.fullScreen);
  EXPECT_EQ(shown.scaling, 0);
  EXPECT_TRUE(shown.vSync);  // nobody chose: the game's
  shown.fullScreen = game.fullScreen, shown.scaling = game.scaling;
  EXPECT_EQ(shown, game);  // nothing else changes
}

TEST(UserSettings, OptionsParse) {
  const auto r = ParseRunnerOptions({"g", "--fullscreen", "--scale", "250", "--vsync=off", "--mute", "--show-fps",
                                     "--screenshot-dir=shots", "--log", "run.log", "--no-user-settings"});
  ASSERT_EQ(r.status, Status::Run) << r.error;
  EXPECT_EQ(r.options.fullScreen, true);
  EXPECT_EQ(r.options.scale, 250);
  EXPECT_EQ(r.options.vsync, false);
  EXPECT_EQ(r.options.mute, true);
  EXPECT_EQ(r.options.showFps, true);
  EXPECT_EQ(r.options.screenshotDir, "shots");
  EXPECT_EQ(r.options.logFile, "run.log");
  EXPECT_TRUE(r.options.noUserSettings);
  EXPECT_EQ(ParseRunnerOptions({"--fullscreen", "--windowed"}).options.fullScreen, false);  // the last wins
  EXPECT_EQ(ParseRunnerOptions({"--scale", "-1"}).options.scale, -1);
  EXPECT_EQ(ParseRunnerOptions({"--scale", "0"}).options.scale, 0);
  EXPECT_FALSE(ParseRunnerOptions({"g"}).options.fullScreen.has_value());

  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"--scale"}, {"--scale", "1001"}, {"--scale", "-2"}, {"--scale", "2.5"},
                                             {"--scale", "x"}, {"--vsync"}, {"--vsync", "yes"}, {"--fullscreen=1"},
                                             {"--mute=on"}, {"--show-fps=1"}, {"--log"}, {"--log", ""},
                                             {"--screenshot-dir"}, {"--screenshot-dir="}, {"--no-user-settings=1"}}) {
    const auto e = ParseRunnerOptions(bad);
    EXPECT_EQ(e.status, Status::Error) << bad.front() << (bad.size() > 1 ? " " + bad[1] : "");
    EXPECT_FALSE(e.error.empty());
  }
  const std::string usage = kv::RunnerUsage();
  for (const char* option : {"--fullscreen", "--windowed", "--scale N", "--vsync on|off", "--mute", "--show-fps",
                             "--screenshot-dir DIR", "--log FILE", "--no-user-settings", "kvrun.ini", "Alt+Enter"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
}

}  // namespace
