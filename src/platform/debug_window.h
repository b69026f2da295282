// The debugger's window as the platform shows it: a menu bar, a tool bar, the watch grid, the status bar and the
// information windows, drawn from a view the debugger fills in, with the user's clicks and keys handed back as
// events. The debugger's model knows nothing of the toolkit; the window knows nothing of the game.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace kv::plat {

struct DebugActionView {
  std::string menu;      // "Run", "Watch" or "Tools"
  std::string caption;   // with "&" marking the access key
  std::string shortcut;  // "Ctrl+Alt+R", "Del", "" for none
  bool enabled = true;
  bool onToolBar = false;
};

struct DebugInfoView {
  std::string caption;
  std::string text;  // lines end with '\n'
  bool visible = false;
};

// A question asked inside the window (the game keeps running while it is open).
struct DebugQuestionView {
  bool open = false;
  std::string caption;
  std::string prompt;
  std::string text;  // the initial answer
};

struct DebugView {
  std::string caption;
  std::vector<DebugActionView> actions;
  std::vector<std::array<std::string, 2>> watches;  // expression, value; the window adds the empty last row
  int selectedRow = 0;                              // 0-based over the watches and the empty row
  std::array<std::string, 3> status;
  std::vector<DebugInfoView> infos;
  DebugQuestionView question;
};

struct DebugEvent {
  enum class Kind {
    Action,        // index: the action
    SelectRow,     // index: the row
    ChangeRow,     // double click on a row
    CloseInfo,     // index: the information window
    SaveInfo,
    PrintInfo,
    Answer,        // text: the answer to the open question
    CancelQuestion,
    CloseWindow,
  };
  Kind kind = Kind::Action;
  int index = 0;
  std::string text;
};

class IDebugWindow {
 public:
  virtual ~IDebugWindow() = default;
  // Handles the input that arrived for the window and draws it; returns what the user did.
  virtual std::vector<DebugEvent> Frame(const DebugView& view) = 0;
  // Whether questions can be asked inside the window; otherwise the debugger asks through the dialogs.
  virtual bool AsksQuestions() const = 0;
  // What went wrong drawing the last frame ("" when nothing did).
  virtual std::string LastError() const { return {}; }
};

// The debug window on SDL with Dear ImGui at desktop position (10, 10); null (with the reason) when it cannot be
// made. Its events are taken from the game window's event queue. It is drawn by the module libkvdebugger.so,
// opened on the first call from the executable's directory (kvtests is built there too).
std::unique_ptr<IDebugWindow> CreateSdlDebugWindow(std::string& failure);

}  // namespace kv::plat
