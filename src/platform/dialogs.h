#pragma once
// Modal dialogs of the runner. Texts are CP-1252 byte strings; backends convert at their boundary.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::plat {

enum class MessageButtons { Ok, YesNo };
enum class MessageResult { Ok, Yes, No, Cancel };

enum class FileDialogKind { Open, Save };

struct FileDialogRequest {
  FileDialogKind kind = FileDialogKind::Open;
  std::string title;
  std::string filter;    // "Name|*.a;*.b|All|*.*": description/pattern pairs
  std::string fileName;  // proposed file name
};

struct FileDialogResult {
  enum class Status { Chosen, Cancelled, Unavailable };  // Unavailable: no way to ask (no chooser, no answer)
  Status status = Status::Unavailable;
  std::string path;
};

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  // A plain message box. `defaultResult` is the answer when nobody can be asked.
  virtual MessageResult MessageBox(std::string_view title, std::string_view text, MessageButtons buttons,
                                   MessageResult defaultResult) = 0;
  virtual FileDialogResult FileDialog(const FileDialogRequest& request) = 0;
  // The game's error window ("Error Messages") with Abort and, when allowed, Ignore. True means abort, which is
  // also the answer when nobody can be asked.
  virtual bool ErrorWindow(std::string_view message, bool allowIgnore) = 0;

  // A pop-up menu of the items at a desktop position: the number of the chosen item, −1 when none was chosen
  // (also the answer when nobody can be asked).
  virtual int PopupMenu(int /*x*/, int /*y*/, const std::vector<std::string>& /*items*/) { return -1; }

  // The error window drawn inside the game window, for when no separate dialog can be shown: set by the runner
  // while its game window exists (true means abort, as for ErrorWindow).
  std::function<bool(std::string_view message, bool allowIgnore)> errorPanel;

  void ShowMessage(std::string_view title, std::string_view text) {
    MessageBox(title, text, MessageButtons::Ok, MessageResult::Ok);
  }
};

// "Name|*.a;*.b|All|*.*" → pairs of (name, patterns split at ';'). An odd trailing name is dropped.
struct FileFilter {
  std::string name;
  std::string patterns;  // as given, ';'-separated
};
std::vector<FileFilter> ParseFileFilter(std::string_view filter);

// The items of a menu text: the pieces between "|", without the "-" separators (so the numbers count items only).
std::vector<std::string> MenuItems(std::string_view text);

// Game texts end lines with CR LF or CR; the system's text output wants LF.
std::string UnixLineEnds(std::string_view text);

inline constexpr const char* kErrorWindowCaption = "Error Messages";

}  // namespace kv::plat
