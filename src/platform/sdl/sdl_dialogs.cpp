#include "platform/sdl/sdl_dialogs.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "interface/file_form.h"
#include "platform/posix/process.h"
#include "platform/sdl/sdl_form_window.h"
#include "platform/text_codec.h"

namespace kv::plat {
namespace {

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

// A run with scripted answers is automated: every dialog answers from the script, window or not.
SdlDialogs::SdlDialogs(AnswerQueue fallbackAnswers)
    : scripted_(fallbackAnswers.Remaining() > 0),
      hasDisplay_(DisplayAvailable() && !scripted_),
      fallback_(std::cerr, std::move(fallbackAnswers)) {}

MessageResult SdlDialogs::MessageBox(std::string_view title, std::string_view text, MessageButtons buttons,
                                     MessageResult defaultResult) {
  if (hasDisplay_) {
    const std::string utf8Title = Cp1252ToUtf8(title);
    const std::string utf8Text = Cp1252ToUtf8(text);
    if (buttons == MessageButtons::Ok) {
      if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, utf8Title.c_str(), utf8Text.c_str(), nullptr) == 0)
        return MessageResult::Ok;
    } else {
      const SDL_MessageBoxButtonData choices[] = {
          {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
          {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
      };
      const SDL_MessageBoxData box = {SDL_MESSAGEBOX_INFORMATION, nullptr, utf8Title.c_str(), utf8Text.c_str(),
                                      2, choices, nullptr};
      int pressed = -1;
      if (SDL_ShowMessageBox(&box, &pressed) == 0) return pressed == 1 ? MessageResult::Yes : MessageResult::No;
    }
    hasDisplay_ = false;  // the display refused once; don't wait on it again
  }
  return fallback_.MessageBox(title, text, buttons, defaultResult);
}

bool SdlDialogs::ErrorWindow(std::string_view message, bool allowIgnore) {
  if (hasDisplay_) {
    const std::string text = UnixLineEnds(Cp1252ToUtf8(message));
    const SDL_MessageBoxButtonData choices[] = {
        // Closing the window counts as Abort, so Escape does too.
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 1, "Abort"},
        {0, 0, "Ignore"},
    };
    const SDL_MessageBoxData box = {SDL_MESSAGEBOX_ERROR, nullptr, kErrorWindowCaption, text.c_str(),
                                    allowIgnore ? 2 : 1, choices, nullptr};
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) == 0) return !(allowIgnore && pressed == 0);
    hasDisplay_ = false;
  }
  // No dialog could be shown: the game window shows the error itself rather than ending the game unasked.
  if (errorPanel && !scripted_) return errorPanel(message, allowIgnore);
  return fallback_.ErrorWindow(message, allowIgnore);
}

int SdlDialogs::PopupMenu(int x, int y, const std::vector<std::string>& items) {
  if (hasDisplay_ && !items.empty()) {
    std::vector<std::string> texts;
    for (const std::string& item : items) texts.push_back(Cp1252ToUtf8(item));
    std::vector<SDL_MessageBoxButtonData> buttons;
    for (size_t i = 0; i < texts.size(); ++i) buttons.push_back({0, static_cast<int>(i), texts[i].c_str()});
    const SDL_MessageBoxData box = {SDL_MESSAGEBOX_INFORMATION, nullptr, "Menu", "",
                                    static_cast<int>(buttons.size()), buttons.data(), nullptr};
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) == 0)
      return pressed >= 0 && pressed < static_cast<int>(items.size()) ? pressed : -1;
    hasDisplay_ = false;
  }
  return fallback_.PopupMenu(x, y, items);
}

std::vector<std::string> ZenityFileArguments(const FileDialogRequest& request) {
  std::vector<std::string> args = {"zenity", "--file-selection"};
  if (request.kind == FileDialogKind::Save) {
    args.push_back("--save");
    args.push_back("--confirm-overwrite");
  }
  if (!request.title.empty()) args.push_back("--title=" + Cp1252ToUtf8(request.title));
  if (!request.fileName.empty()) args.push_back("--filename=" + request.fileName);
  for (const FileFilter& filter : ParseFileFilter(request.filter)) {
    std::string patterns = filter.patterns;
    for (char& c : patterns)
      if (c == ';') c = ' ';
    if (patterns == "*.*") patterns = "*";  // "all files" on this system has no dot requirement
    args.push_back("--file-filter=" + Cp1252ToUtf8(filter.name) + " | " + patterns);
  }
  return args;
}

FileDialogResult SdlDialogs::FileDialog(const FileDialogRequest& request) {
  if (!hasDisplay_) return fallback_.FileDialog(request);
  if (!ZenityChoosers()) {
    ui::FileChooserView chooser(request.kind == FileDialogKind::Save ? ui::ChooserMode::Save : ui::ChooserMode::Open,
                                request.title, request.filter, "", request.fileName);
    return RunSdlForm(chooser.WindowLook(), chooser, repaintGame) ? chooser.Result() : fallback_.FileDialog(request);
  }
  const auto run = RunAndCapture(ZenityFileArguments(request));
  FileDialogResult result;
  if (!run) return result;  // could not start the chooser
  if (run->exitCode == 1) {
    result.status = FileDialogResult::Status::Cancelled;
    return result;
  }
  if (run->exitCode != 0) return result;
  std::string path = run->output;
  while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
  result.status = path.empty() ? FileDialogResult::Status::Cancelled : FileDialogResult::Status::Chosen;
  result.path = path;
  return result;
}

namespace {

// zenity's output without its line end; nullopt when it could not run or was cancelled.
std::optional<std::string> Zenity(const std::vector<std::string>& args) {
  const auto run = RunAndCapture(args);
  if (!run || run->exitCode != 0) return std::nullopt;
  std::string out = run->output;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

}  // namespace

MessageFormResult SdlDialogs::MessageForm(const MessageFormRequest& request) {
  const std::string caption = Cp1252ToUtf8(request.caption.empty() ? std::string("Message") : request.caption);
  const std::string text = UnixLineEnds(Cp1252ToUtf8(request.text));
  if (hasDisplay_ && request.input && FindOnPath("zenity")) {
    MessageFormResult result;
    const auto typed = Zenity({"zenity", "--entry", "--title=" + caption, "--text=" + text,
                               "--entry-text=" + Cp1252ToUtf8(request.inputText)});
    // Escape keeps the input line's text, as the box does.
    result.button = typed ? 1 : 0;
    result.inputText = typed ? Utf8ToCp1252(*typed) : request.inputText;
    return result;
  }
  if (hasDisplay_ && !request.input) {
    std::vector<std::string> captions;
    std::vector<SDL_MessageBoxButtonData> buttons;
    captions.reserve(3);
    for (int i = 0; i < 3; ++i)
      if (!request.buttons[i].empty()) captions.push_back(Cp1252ToUtf8(WithoutAmpersands(request.buttons[i])));
    size_t k = 0;
    for (int i = 0; i < 3; ++i) {
      if (request.buttons[i].empty()) continue;
      Uint32 flags = buttons.empty() ? SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT : 0;
      buttons.push_back({flags, i + 1, captions[k++].c_str()});
    }
    const SDL_MessageBoxData box = {SDL_MESSAGEBOX_INFORMATION, nullptr, caption.c_str(), text.c_str(),
                                    static_cast<int>(buttons.size()), buttons.data(), nullptr};
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) == 0) {
      MessageFormResult result;
      result.button = pressed < 0 ? 0 : pressed;
      return result;
    }
    hasDisplay_ = false;
  }
  return fallback_.MessageForm(request);
}

std::optional<int> SdlDialogs::ColourDialog(int start) {
  if (!hasDisplay_ || !ZenityChoosers()) return fallback_.ColourDialog(start);
  char initial[32];
  std::snprintf(initial, sizeof initial, "rgb(%d,%d,%d)", start & 255, (start >> 8) & 255, (start >> 16) & 255);
  const auto chosen = Zenity({"zenity", "--color-selection", std::string("--color=") + initial});
  if (!chosen) return std::nullopt;
  int r = 0, g = 0, b = 0;
  if (std::sscanf(chosen->c_str(), "rgb(%d,%d,%d)", &r, &g, &b) != 3 &&
      std::sscanf(chosen->c_str(), "rgba(%d,%d,%d", &r, &g, &b) != 3) {
    unsigned hex = 0;
    if (std::sscanf(chosen->c_str(), "#%6x", &hex) != 1) return std::nullopt;
    r = (hex >> 16) & 255, g = (hex >> 8) & 255, b = hex & 255;
  }
  return (r & 255) | (g & 255) << 8 | (b & 255) << 16;
}

FileDialogResult SdlDialogs::DirectoryDialog(std::string_view title, std::string_view start) {
  if (!hasDisplay_) return fallback_.DirectoryDialog(title, start);
  if (!ZenityChoosers()) {
    ui::FileChooserView chooser(ui::ChooserMode::Folder, std::string(title), "", std::string(start));
    return RunSdlForm(chooser.WindowLook(), chooser, repaintGame) ? chooser.Result()
                                                                  : fallback_.DirectoryDialog(title, start);
  }
  std::vector<std::string> args = {"zenity", "--file-selection", "--directory"};
  if (!title.empty()) args.push_back("--title=" + Cp1252ToUtf8(title));
  if (!start.empty()) args.push_back("--filename=" + std::string(start) + "/");
  const auto run = RunAndCapture(args);
  FileDialogResult result;
  if (!run) return result;
  std::string path = run->output;
  while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
  result.status = run->exitCode == 0 && !path.empty() ? FileDialogResult::Status::Chosen
                                                      : FileDialogResult::Status::Cancelled;
  if (result.status == FileDialogResult::Status::Chosen) result.path = path;
  return result;
}

std::string SdlDialogs::ScoreForm(const ScoreFormRequest& request) {
  if (!hasDisplay_) return fallback_.ScoreForm(request);
  std::string table;
  for (size_t i = 0; i < request.rows.size(); ++i) {
    const bool isNew = static_cast<int>(i) + 1 == request.newRank;
    table += std::to_string(i + 1) + ". " + (isNew ? std::string("...") : Cp1252ToUtf8(request.rows[i].first)) +
             "    " + std::to_string(request.rows[i].second) + "\n";
  }
  const std::string caption = Cp1252ToUtf8(request.caption);
  if (request.newRank > 0 && FindOnPath("zenity")) {
    const auto typed = Zenity({"zenity", "--entry", "--title=" + caption, "--text=" + table});
    return typed ? Utf8ToCp1252(*typed) : std::string();
  }
  table += "\n" + Cp1252ToUtf8(request.escapeText);
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption.c_str(), table.c_str(), nullptr) != 0)
    return fallback_.ScoreForm(request);
  return {};
}

bool SdlDialogs::RunForm(const FormWindowLook& look, IFormController& form) {
  if (!hasDisplay_) return false;
  // Where the game would hide a window of the form's own, the game window shows the form.
  if (formInGameWindow && SdlCanShowForms() && formInGameWindow(look, form)) return true;
  return RunSdlForm(look, form, repaintGame);
}

std::unique_ptr<IFormWindow> SdlDialogs::OpenForm(const FormWindowLook& look, IFormController& form) {
  return hasDisplay_ ? OpenSdlForm(look, form) : nullptr;
}

void SdlDialogs::ScreenSize(int& width, int& height) {
  width = height = 0;
  if (hasDisplay_) SdlScreenSize(width, height);
}

}  // namespace kv::plat
