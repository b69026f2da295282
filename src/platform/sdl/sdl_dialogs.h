#pragma once
// Dialogs for users: SDL message boxes (they work before any window exists) and the zenity file chooser, or the
// runner's own chooser form where zenity is missing (or KV_NO_ZENITY=1). Without a display they fall back to the
// stderr transcript with default answers; so does a run given scripted answers.
#include "platform/dialogs.h"
#include "platform/headless/scripted_dialogs.h"

namespace kv::plat {

class SdlDialogs final : public IDialogs {
 public:
  // Scripted answers, when given, serve the dialogs that fall back to the transcript.
  explicit SdlDialogs(AnswerQueue fallbackAnswers = AnswerQueue());
  MessageResult MessageBox(std::string_view title, std::string_view text, MessageButtons buttons,
                           MessageResult defaultResult) override;
  FileDialogResult FileDialog(const FileDialogRequest& request) override;
  bool ErrorWindow(std::string_view message, bool allowIgnore) override;
  // A box with one button per item; closing it chooses none.
  int PopupMenu(int x, int y, const std::vector<std::string>& items) override;
  // Buttons through an SDL message box; an input line through zenity's entry box.
  MessageFormResult MessageForm(const MessageFormRequest& request) override;
  std::optional<int> ColourDialog(int start) override;
  FileDialogResult DirectoryDialog(std::string_view title, std::string_view start) override;
  std::string ScoreForm(const ScoreFormRequest& request) override;
  bool RunForm(const FormWindowLook& look, IFormController& form) override;
  std::unique_ptr<IFormWindow> OpenForm(const FormWindowLook& look, IFormController& form) override;
  void ScreenSize(int& width, int& height) override;
  void Transcript(std::string_view line) override { fallback_.Transcript(line); }

 private:
  bool scripted_;
  bool hasDisplay_;
  ScriptedDialogs fallback_;
};

// The zenity command line for a file request (exposed for tests).
std::vector<std::string> ZenityFileArguments(const FileDialogRequest& request);

}  // namespace kv::plat
