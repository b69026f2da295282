#include "platform/headless/scripted_dialogs.h"

#include <string>

#include "platform/text_codec.h"

namespace kv::plat {

MessageResult ScriptedDialogs::MessageBox(std::string_view title, std::string_view text, MessageButtons buttons,
                                          MessageResult defaultResult) {
  out_ << Cp1252ToUtf8(title) << ": " << UnixLineEnds(Cp1252ToUtf8(text)) << '\n';
  if (buttons == MessageButtons::Ok) {
    answers_.Take("message");
    out_.flush();
    return MessageResult::Ok;
  }
  MessageResult result = defaultResult;
  const auto answer = answers_.Take("question");
  if (answer) result = *answer == "yes" || *answer == "1" ? MessageResult::Yes : MessageResult::No;
  out_ << "  -> " << (result == MessageResult::Yes ? "yes" : result == MessageResult::No ? "no" : "cancel")
       << (answer ? "" : " (default)") << '\n';
  out_.flush();
  return result;
}

FileDialogResult ScriptedDialogs::FileDialog(const FileDialogRequest& request) {
  const bool open = request.kind == FileDialogKind::Open;
  out_ << Cp1252ToUtf8(request.title.empty() ? (open ? "Open" : "Save") : request.title) << ": "
       << (open ? "choose a file to open" : "choose a file to save") << '\n';
  FileDialogResult result;
  if (const auto answer = answers_.Take(open ? "open" : "save")) {
    result.status = answer->empty() ? FileDialogResult::Status::Cancelled : FileDialogResult::Status::Chosen;
    result.path = *answer;
    out_ << "  -> " << (answer->empty() ? "cancel" : "\"" + *answer + "\"") << '\n';
  } else {
    out_ << "  -> no answer\n";
  }
  out_.flush();
  return result;
}

bool ScriptedDialogs::ErrorWindow(std::string_view message, bool allowIgnore) {
  out_ << kErrorWindowCaption << ": " << UnixLineEnds(Cp1252ToUtf8(message)) << '\n';
  const auto answer = answers_.Take("error");
  // Ignore is only a choice when the window offers it; Abort is the default button.
  const bool abort = !(answer && *answer == "ignore" && allowIgnore);
  out_ << "  -> " << (abort ? "abort" : "ignore") << (answer ? "" : " (default)") << '\n';
  out_.flush();
  return abort;
}

int ScriptedDialogs::PopupMenu(int /*x*/, int /*y*/, const std::vector<std::string>& items) {
  out_ << "Menu:";
  for (size_t i = 0; i < items.size(); ++i) out_ << (i ? " | " : " ") << Cp1252ToUtf8(items[i]);
  out_ << '\n';
  int chosen = -1;
  const auto answer = answers_.Take("menu");
  if (answer) {
    try {
      chosen = std::stoi(*answer);
    } catch (...) {
      chosen = -1;
    }
    if (chosen < 0 || chosen >= static_cast<int>(items.size())) chosen = -1;  // closed without a choice
  }
  out_ << "  -> " << (chosen >= 0 ? std::to_string(chosen) : std::string("none")) << (answer ? "" : " (default)")
       << '\n';
  out_.flush();
  return chosen;
}

}  // namespace kv::plat
