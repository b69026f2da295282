// The debugger: run control of the game, watches, information windows and code typed in. The model behind the
// debug window; it shows itself through a plat::IDebugWindow when there is one (none headless) and asks its
// questions inside that window, or through the dialogs when the window cannot ask.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "debugger/debug_eval.h"
#include "platform/debug_window.h"

namespace kv::plat {
class IDialogs;
class IClock;
}  // namespace kv::plat

namespace kv::debugger {

enum class Action {
  Run, Pause, Step, Stop, Restart,
  Add, Delete, Change, Clear, Load, Save,
  ExecuteCode, SetSpeed, ShowGlobals, ShowInstances, ShowLocals, ShowMessages,
};
inline constexpr int kActionCount = 17;

struct ActionInfo {
  Action action;
  const char* menu;
  const char* caption;
  const char* shortcut;
  bool onToolBar;
};
const std::array<ActionInfo, kActionCount>& Actions();
// The action whose caption, without "&" and a trailing " ...", is the name (any letter case): "Execute Code".
std::optional<Action> ActionNamed(std::string_view name);

inline constexpr const char* kTextFileFilter = "Text Files|*.txt|All Files|*.*";
inline constexpr const char* kInfoCaption = "Debug Information";
inline constexpr const char* kGlobalsCaption = "Global Variables";
inline constexpr const char* kInstancesCaption = "All Instances";
inline constexpr const char* kMessagesCaption = "Messages";
inline constexpr const char* kLocalsCaption = "Local Variables";
inline constexpr const char* kNoObjectName = "##########";
inline constexpr int kMaxLocalWindows = 100;
inline constexpr int64_t kTimerMicros = 50000;

// One information window: its caption, its text, whether it is shown, and for local variables which instance
// it follows (an id, or -1 and an object name).
struct InfoWindow {
  enum class Kind { Globals, Instances, Messages, Locals };
  Kind kind = Kind::Globals;
  std::string caption;
  std::string text;
  bool visible = false;
  int instanceId = -1;
  std::string objectName = kNoObjectName;
};

class DebugForm {
 public:
  DebugForm(plat::IDialogs& dialogs, plat::IClock& clock, std::unique_ptr<plat::IDebugWindow> window = nullptr);
  ~DebugForm();
  DebugForm(const DebugForm&) = delete;
  DebugForm& operator=(const DebugForm&) = delete;

  // ---- actions: what the menus, the tool bar and the shortcuts do ----
  bool Enabled(Action action) const;
  // Performs the action when it is enabled; false when it is not.
  bool Perform(Action action);

  // ---- watches ----
  int WatchCount() const { return static_cast<int>(watches_.size()); }
  const std::string& WatchExpression(int row) const { return watches_[row].Expression(); }
  // The value shown for a watch at the last refresh.
  const std::string& WatchValue(int row) const { return values_[row]; }
  // The selected row: 0 … WatchCount(); WatchCount() is the empty last row.
  int SelectedRow() const { return selectedRow_; }
  void SelectRow(int row);
  void AddWatch(const std::string& expression);
  bool LoadWatches(const std::string& path);
  bool SaveWatches(const std::string& path) const;

  // ---- information windows ----
  const std::vector<InfoWindow>& InfoWindows() const { return infos_; }
  void CloseInfo(int index);
  bool SaveInfo(int index, const std::string& path) const;
  // A message of show_debug_message: added with an empty line to the messages window, which opens.
  void AddMessage(const std::string& message);

  // ---- refresh ----
  // Status panels, watches and every visible information window (after every step and most actions).
  void Refresh();
  // The 50 ms timer: the mouse id panel (the enabled states are read when the window is drawn).
  void Timer();
  const std::array<std::string, 3>& Status() const { return status_; }
  // Window events and drawing, the timer when due; runs what the user chose.
  void Pump();
  // True once the user closed the debug window (the game is then stopped).
  bool Closed() const { return closed_; }

  // Globals, instances and watches as text, refreshed first (for --debug-dump).
  std::string DumpText();

  // The view the window draws (exposed for tests).
  plat::DebugView View() const;
  // Handles one event of the window.
  void Handle(const plat::DebugEvent& event);

 private:
  enum class Question { None, AddWatch, ChangeWatch, ExecuteCode, SetSpeed, ShowLocals };
  void Ask(Question question, const char* caption, const char* prompt, const std::string& initial,
           const char* answerKind);
  void Answered(Question question, const std::string& answer);
  void ChangeSelectedWatch();
  InfoWindow& OpenInfo(InfoWindow::Kind kind, const char* caption);
  void ShowLocalsFor(const std::string& answer);
  void Fill(InfoWindow& info) const;
  void ShowMessage(const std::string& text);
  std::optional<std::string> ChooseFile(bool save, const std::string& title);

  plat::IDialogs& dialogs_;
  plat::IClock& clock_;
  std::unique_ptr<plat::IDebugWindow> window_;
  std::vector<Watch> watches_;
  std::vector<std::string> values_;
  int selectedRow_ = 0;
  std::vector<InfoWindow> infos_;
  int localWindows_ = 0;
  std::array<std::string, 3> status_;
  std::string lastCode_;
  Question openQuestion_ = Question::None;
  int questionRow_ = 0;
  plat::DebugQuestionView questionView_;
  int64_t lastTimer_ = 0;
  bool closed_ = false;
};

// The debugger of the running game, null when none (show_debug_message and the main loop look here).
DebugForm* ActiveDebugger();

}  // namespace kv::debugger
