#pragma once
// The error window drawn inside the game window, for systems where no separate dialog can be shown (no dialog
// helper, a full-screen game): the message on a dark panel with its keys, answered from the keyboard.
#include <string>
#include <string_view>
#include <vector>

namespace kv::plat {
class IWindow;
}

namespace kv {

// The panel's lines: the caption, the message split at its line ends, an empty line and the keys.
std::vector<std::string> ErrorPanelLines(std::string_view message, bool allowIgnore);

// What a key does to the panel: abort (A, Escape, Enter), ignore (I, only when allowed), or nothing.
enum class ErrorPanelAnswer { None, Abort, Ignore };
ErrorPanelAnswer ErrorPanelKey(int vk, bool allowIgnore);

// Draws the panel over the game's frame and waits for an answer; true means abort (also when the window is
// closed). The frame under it is drawn again by the next step.
bool ShowErrorPanel(plat::IWindow& window, std::string_view message, bool allowIgnore);

}  // namespace kv
