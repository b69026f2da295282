#pragma once
// The dialogs the game itself opens (messages, questions, text and file choosers, score tables): the same dialogs
// as the platform's, but what a run without a screen writes of them to stderr is information in the log, not
// a warning. Every method forwards to the platform's: a method left to the interface's default would quietly lose
// that dialog.
#include "platform/dialogs.h"

namespace kv {

class GameDialogs final : public plat::IDialogs {
 public:
  explicit GameDialogs(plat::IDialogs& dialogs) : dialogs_(dialogs) {}

  plat::MessageResult MessageBox(std::string_view title, std::string_view text, plat::MessageButtons buttons,
                                 plat::MessageResult defaultResult) override;
  plat::FileDialogResult FileDialog(const plat::FileDialogRequest& request) override;
  bool ErrorWindow(std::string_view message, bool allowIgnore) override;  // logged by the error report
  int PopupMenu(int x, int y, const std::vector<std::string>& items) override;
  plat::MessageFormResult MessageForm(const plat::MessageFormRequest& request) override;
  std::optional<int> ColourDialog(int start) override;
  plat::FileDialogResult DirectoryDialog(std::string_view title, std::string_view start) override;
  std::string ScoreForm(const plat::ScoreFormRequest& request) override;
  bool RunForm(const plat::FormWindowLook& look, plat::IFormController& form) override;
  std::unique_ptr<plat::IFormWindow> OpenForm(const plat::FormWindowLook& look, plat::IFormController& form) override;
  void Transcript(std::string_view line) override;
  void ScreenSize(int& width, int& height) override { dialogs_.ScreenSize(width, height); }

 private:
  plat::IDialogs& dialogs_;
};

}  // namespace kv
