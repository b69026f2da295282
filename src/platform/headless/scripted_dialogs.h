#pragma once
// Dialogs without a screen: every dialog is written to a transcript ("TITLE: TEXT", then the answer for dialogs
// that ask something) and answered from the answer queue, or with its default when no answer was scripted for it.
#include <ostream>

#include "platform/dialogs.h"
#include "platform/headless/dialog_answers.h"

namespace kv::plat {

class ScriptedDialogs final : public IDialogs {
 public:
  ScriptedDialogs(std::ostream& transcript, AnswerQueue answers)
      : out_(transcript), answers_(std::move(answers)) {}

  MessageResult MessageBox(std::string_view title, std::string_view text, MessageButtons buttons,
                           MessageResult defaultResult) override;
  FileDialogResult FileDialog(const FileDialogRequest& request) override;
  bool ErrorWindow(std::string_view message, bool allowIgnore) override;
  int PopupMenu(int x, int y, const std::vector<std::string>& items) override;
  MessageFormResult MessageForm(const MessageFormRequest& request) override;
  std::optional<int> ColourDialog(int start) override;
  FileDialogResult DirectoryDialog(std::string_view title, std::string_view start) override;
  std::string ScoreForm(const ScoreFormRequest& request) override;
  void Transcript(std::string_view line) override;

  const AnswerQueue& Answers() const { return answers_; }

 private:
  std::ostream& out_;
  AnswerQueue answers_;
};

}  // namespace kv::plat
