#pragma once
// Modal dialogs of the runner. Texts are CP-1252 byte strings; backends convert at their boundary.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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

// The game's message box: a text, up to three buttons (an empty caption hides the button) and an optional input
// line. Answers: the chosen button (1, 2, 3; 0 for Escape) and the text of the input line.
struct MessageFormRequest {
  std::string caption;                 // the window's caption, "" for none
  std::string text;                    // lines end with CR
  std::array<std::string, 3> buttons;  // "&" marks the shortcut
  bool input = false;
  std::string inputText;               // the input line's initial text
  std::string answerKind = "message";  // which scripted answer serves it ("string", "integer", "score", ...)
  int defaultButton = 1;               // the answer when nobody can be asked (Enter)
};
struct MessageFormResult {
  int button = 0;
  std::string inputText;
};

// The high-score table as its window shows it; newRank (1 … 10, 0 for none) is the row the player names.
struct ScoreFormRequest {
  std::string caption;
  std::string escapeText;
  std::vector<std::pair<std::string, int>> rows;  // name, score
  int newRank = 0;
};

// A window of the runner's own forms (message box, score table, splash, game information). The form draws itself
// into pixels; the window shows them and passes on what the player does.
struct FormEvent {
  enum class Kind { KeyDown, KeyUp, Char, MouseMove, MouseDown, MouseUp, Wheel, Close, FocusLost };
  Kind kind = Kind::KeyDown;
  int key = 0;       // Windows virtual-key code (KeyDown, KeyUp)
  uint8_t ch = 0;    // CP-1252 character (Char)
  bool alt = false;  // Alt held (KeyDown, Char)
  int x = 0, y = 0;  // client coordinates (mouse events)
  int button = 0;    // 1 left, 2 right, 3 middle; Wheel: +1 up, −1 down
};

struct FormPixels {
  int width = 0, height = 0;
  const uint32_t* pixels = nullptr;  // 0xAARRGGBB, rows top first
};

class IFormController {
 public:
  virtual ~IFormController() = default;
  virtual FormPixels Paint() = 0;
  // False closes the form.
  virtual bool Handle(const FormEvent& event) = 0;
  // Called about every 15 ms with the milliseconds since the form was shown; false closes the form.
  virtual bool Tick(int64_t /*elapsedMillis*/) { return true; }
};

// A form shown beside the game without stopping it: its owner pumps it once per step.
class IFormWindow {
 public:
  virtual ~IFormWindow() = default;
  // Hands the form what arrived for its window since the last call, ticks it and shows its pixels; false once the
  // form closed itself or its window was closed (the window is gone then).
  virtual bool Pump() = 0;
};

struct FormWindowLook {
  std::string caption;
  bool border = true;      // a dialog border with the caption; without: borderless
  bool fullscreen = false; // borderless over the whole screen (width and height are then ignored)
  int x = -1, y = -1;      // desktop position of the window; −1: centred on the screen
  int width = 0, height = 0;  // client size
  bool onTop = true;
  int alpha = 255;
  bool cursor = true;
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

  // The message box. The default maps it onto MessageBox: one visible button is an OK box, more ask Yes (the
  // first visible button) or No (the last).
  virtual MessageFormResult MessageForm(const MessageFormRequest& request);
  // The colour chooser starting at `start` (0x00BBGGRR): the chosen colour, nullopt when cancelled or nobody can
  // be asked.
  virtual std::optional<int> ColourDialog(int /*start*/) { return std::nullopt; }
  // The directory chooser starting at `start`; Unavailable by default.
  virtual FileDialogResult DirectoryDialog(std::string_view /*title*/, std::string_view /*start*/) { return {}; }
  // Shows the score table; the name the player typed for the new row ("" when none was typed or there is no new
  // row).
  virtual std::string ScoreForm(const ScoreFormRequest& /*request*/) { return {}; }

  // Shows a form modally until it closes itself or its window is closed (the close button sends Kind::Close
  // first). False when no window can be shown (headless): the caller then answers as the dialogs above do.
  virtual bool RunForm(const FormWindowLook& /*look*/, IFormController& /*form*/) { return false; }
  // Opens a form in a window beside the game and returns at once; the form must outlive the window. Null when no
  // window can be shown (headless).
  virtual std::unique_ptr<IFormWindow> OpenForm(const FormWindowLook& /*look*/, IFormController& /*form*/) {
    return nullptr;
  }
  // A line for the dialog transcript of runs without a screen (splashes shown there, for instance).
  virtual void Transcript(std::string_view /*line*/) {}
  // The desktop size (for centring and for full-screen forms); 0 × 0 when unknown.
  virtual void ScreenSize(int& width, int& height) { width = height = 0; }

  // Shows the game window's last frame again (set by the runner while its window exists): forms call it when the
  // game window is uncovered while they are open.
  std::function<void()> repaintGame;

  // The error window drawn inside the game window, for when no separate dialog can be shown: set by the runner
  // while its game window exists (true means abort, as for ErrorWindow).
  std::function<bool(std::string_view message, bool allowIgnore)> errorPanel;

  // Runs a modal form inside the game window instead of a window of its own, where a second window would not be
  // seen (a full-screen game): set by the runner while its game window exists; false where it declines.
  std::function<bool(const FormWindowLook& look, IFormController& form)> formInGameWindow;

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

// A caption without its "&" marks ("&&" stays a single "&").
std::string WithoutAmpersands(std::string_view caption);

// Game texts end lines with CR LF or CR; the system's text output wants LF.
std::string UnixLineEnds(std::string_view text);

inline constexpr const char* kErrorWindowCaption = "Error Messages";

}  // namespace kv::plat
