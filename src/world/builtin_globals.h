// The game-wide built-in variables that read and write state owned elsewhere: the current room's background colour,
// layers and views; the mouse and keyboard state; the caption settings; the custom cursor; today's date and time;
// the game id, the runner's directories and secure mode; the error state. Each read goes to the live state and each
// write changes it, so room drawing, the input handlers and the error reporter see the new values at once.
#pragma once

#include <string>

namespace kv {

// What the caption shown by room drawing is made of besides room_caption, score, lives and health.
struct CaptionSettings {
  bool showScore = true, showLives = false, showHealth = false;
  std::string scoreText = "Score: ", livesText = "Lives: ", healthText = "Health: ";
  // Set once the game wrote show_score or a caption text: from then on the score shows even while it is 0.
  bool scoreExplicit = false;
};
CaptionSettings& Caption();
// The window caption for the current room: room_caption, then " " + caption text + value for each part shown
// (the score only while explicitly shown or above 0; health rounded to an integer).
std::string ComposeWindowCaption();

// The runner's temporary directory (empty when there is none) and the game file whose folder is
// program_directory (the executable itself when the game is bundled with the runner). Relative paths are made
// absolute against the working directory of the moment.
void SetRunnerPaths(const std::string& tempDirectory, const std::string& gameFile);
const std::string& TempDirectoryPath();
// Without a game file, the working directory at the time of the call.
std::string ProgramDirectoryPath();

// Registers the variables in their fixed order; call at start-up with the other built-in variables.
void RegisterBuiltinGlobals();

}  // namespace kv
