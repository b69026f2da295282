// The game's dialogs: the message box and its settings, the system choosers, splash screens, the game
// information and the high-score table.
#pragma once

#include <string>

namespace kv {

struct CGameInfo;
namespace plat {
class IClock;
class IDialogs;
}
namespace ui {
class OpenForms;
}

void RegisterDialogFunctions();

// Where the dialogs are shown (nullptr: nobody can be asked, every dialog takes its default) and the game
// information of the loaded game (load_info replaces its text).
void SetDialogsForFunctions(plat::IDialogs* dialogs);
void SetGameInformationForFunctions(CGameInfo* info);
// The run's clock: splash delays wait on it when no window can show the splash.
void SetClockForDialogFunctions(plat::IClock* clock);

// Where splashes and the game information go that do not stop the game (null: they are shown modally), and
// whether the game window is a real one (forms shown inside it process its events and play in real time).
void SetFormHostForFunctions(ui::OpenForms* forms, bool liveGameWindow);

// Shows the game information (show_info, and F1 when the settings allow it).
void ShowGameInformation();

// The text as an integer the way get_integer reads it: optional spaces, sign and decimal digits in the 32-bit
// range, nothing after; false for anything else.
bool ParseDialogInteger(const std::string& text, int& out);

}  // namespace kv
