#include "platform/headless/scripted_dialogs.h"

#include <algorithm>
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

MessageFormResult ScriptedDialogs::MessageForm(const MessageFormRequest& request) {
  out_ << Cp1252ToUtf8(request.caption.empty() ? std::string_view("Message") : std::string_view(request.caption))
       << ": " << UnixLineEnds(Cp1252ToUtf8(request.text)) << '\n';
  std::vector<int> shown;
  for (int i = 0; i < 3; ++i)
    if (!request.buttons[i].empty()) shown.push_back(i + 1);
  out_ << "  [";
  for (size_t i = 0; i < shown.size(); ++i)
    out_ << (i ? "] [" : "") << Cp1252ToUtf8(WithoutAmpersands(request.buttons[shown[i] - 1]));
  out_ << "]" << (request.input ? " input \"" + Cp1252ToUtf8(request.inputText) + "\"" : "") << '\n';

  MessageFormResult result;
  result.button = request.defaultButton;
  result.inputText = request.inputText;
  // The name for the high-score table may come as a score answer or as the plain string answer of the input box.
  std::optional<std::string> answer = answers_.Take(request.answerKind);
  if (!answer && request.answerKind == "score" && answers_.Remaining() > 0) answer = answers_.Take("string");
  if (answer) {
    if (request.input) {
      result.inputText = *answer;
      result.button = 1;
    } else if (request.answerKind == "question") {
      result.button = *answer == "yes" || *answer == "1" ? shown.front() : shown.back();
    } else if (shown.size() > 1) {
      int n = request.defaultButton;
      try {
        n = std::stoi(*answer);
      } catch (...) {
      }
      // Only a shown button (or Escape) can be chosen.
      if (n == 0 || std::find(shown.begin(), shown.end(), n) != shown.end()) result.button = n;
    }
  }
  out_ << "  -> ";
  if (request.input)
    out_ << '"' << Cp1252ToUtf8(result.inputText) << '"';
  else if (result.button == 0)
    out_ << "escape";
  else
    out_ << Cp1252ToUtf8(WithoutAmpersands(request.buttons[result.button - 1]));
  out_ << (answer ? "" : " (default)") << '\n';
  out_.flush();
  return result;
}

std::optional<int> ScriptedDialogs::ColourDialog(int start) {
  out_ << "Colour: choose a colour (starting at " << start << ")\n";
  std::optional<int> chosen;
  const auto answer = answers_.Take("colour");
  if (answer) {
    try {
      const long long value = std::stoll(*answer);
      if (value >= 0 && value <= 0xFFFFFF) chosen = static_cast<int>(value);
    } catch (...) {
    }
  }
  out_ << "  -> " << (chosen ? std::to_string(*chosen) : std::string("cancel")) << (answer ? "" : " (default)")
       << '\n';
  out_.flush();
  return chosen;
}

FileDialogResult ScriptedDialogs::DirectoryDialog(std::string_view title, std::string_view start) {
  out_ << Cp1252ToUtf8(title.empty() ? std::string_view("Directory") : title) << ": choose a directory (starting at \""
       << Cp1252ToUtf8(start) << "\")\n";
  FileDialogResult result;
  if (const auto answer = answers_.Take("directory")) {
    result.status = answer->empty() ? FileDialogResult::Status::Cancelled : FileDialogResult::Status::Chosen;
    result.path = *answer;
    out_ << "  -> " << (answer->empty() ? "cancel" : "\"" + *answer + "\"") << '\n';
  } else {
    out_ << "  -> no answer\n";
  }
  out_.flush();
  return result;
}

std::string ScriptedDialogs::ScoreForm(const ScoreFormRequest& request) {
  out_ << Cp1252ToUtf8(request.caption) << ":\n";
  for (size_t i = 0; i < request.rows.size(); ++i) {
    const bool isNew = static_cast<int>(i) + 1 == request.newRank;
    out_ << "  " << (i + 1) << ". " << (isNew ? std::string("|") : Cp1252ToUtf8(request.rows[i].first)) << "  "
         << request.rows[i].second << '\n';
  }
  std::string name;
  if (request.newRank > 0) {
    const auto answer = answers_.Take("score");
    if (answer) name = *answer;
    out_ << "  -> \"" << Cp1252ToUtf8(name) << '"' << (answer ? "" : " (default)") << '\n';
  }
  out_.flush();
  return name;
}

void ScriptedDialogs::Transcript(std::string_view line) {
  out_ << Cp1252ToUtf8(line) << '\n';
  out_.flush();
}

}  // namespace kv::plat
