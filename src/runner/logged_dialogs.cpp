#include "runner/logged_dialogs.h"

#include "runner/run_log.h"

namespace kv {

plat::MessageResult GameDialogs::MessageBox(std::string_view title, std::string_view text,
                                            plat::MessageButtons buttons, plat::MessageResult defaultResult) {
  StderrLogLevel info(LogLevel::Info);
  return dialogs_.MessageBox(title, text, buttons, defaultResult);
}

plat::FileDialogResult GameDialogs::FileDialog(const plat::FileDialogRequest& request) {
  StderrLogLevel info(LogLevel::Info);
  return dialogs_.FileDialog(request);
}

bool GameDialogs::ErrorWindow(std::string_view message, bool allowIgnore) {
  return dialogs_.ErrorWindow(message, allowIgnore);
}

int GameDialogs::PopupMenu(int x, int y, const std::vector<std::string>& items) {
  StderrLogLevel info(LogLevel::Info);
  return dialogs_.PopupMenu(x, y, items);
}

plat::MessageFormResult GameDialogs::MessageForm(const plat::MessageFormRequest& request) {
  StderrLogLevel info(LogLevel::Info);
  return dialogs_.MessageForm(request);
}

std::optional<int> GameDialogs::ColourDialog(int start) {
  StderrLogLevel info(LogLevel::Info);
  return dialogs_.ColourDialog(start);
}

plat::FileDialogResult GameDialogs::DirectoryDialog(std::string_view title, std::string_view start) {
  StderrLogLevel info(LogLevel::Info);
  return dialogs_.DirectoryDialog(title, start);
}

std::string GameDialogs::ScoreForm(const plat::ScoreFormRequest& request) {
  StderrLogLevel info(LogLevel::Info);
  return dialogs_.ScoreForm(request);
}

bool GameDialogs::RunForm(const plat::FormWindowLook& look, plat::IFormController& form) {
  StderrLogLevel info(LogLevel::Info);
  return dialogs_.RunForm(look, form);
}

std::unique_ptr<plat::IFormWindow> GameDialogs::OpenForm(const plat::FormWindowLook& look,
                                                          plat::IFormController& form) {
  StderrLogLevel info(LogLevel::Info);
  return dialogs_.OpenForm(look, form);
}

void GameDialogs::Transcript(std::string_view line) {
  StderrLogLevel info(LogLevel::Info);
  dialogs_.Transcript(line);
}

}  // namespace kv
