#include "debugger/debug_form.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>

#include "debugger/debug_format.h"
#include "debugger/debug_info.h"
#include "debugger/debug_messages.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "world/room_live.h"
#include "world/run_main.h"
#include "world/world_rooms.h"

namespace kv::debugger {

namespace {

DebugForm* g_active = nullptr;

// A whole number the way the questions take it: optional spaces around an optional sign and digits.
std::optional<int> ParseInteger(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  const size_t last = text.find_last_not_of(" \t");
  const std::string trimmed = text.substr(first, last - first + 1);
  const size_t digits = trimmed[0] == '-' || trimmed[0] == '+' ? 1 : 0;
  if (digits >= trimmed.size() || trimmed.find_first_not_of("0123456789", digits) != std::string::npos)
    return std::nullopt;
  errno = 0;
  const long long value = std::strtoll(trimmed.c_str(), nullptr, 10);
  if (errno != 0 || value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace

const std::array<ActionInfo, kActionCount>& Actions() {
  static const std::array<ActionInfo, kActionCount> actions = {{
      {Action::Run, "Run", "&Run", "Ctrl+Alt+R", true},
      {Action::Pause, "Run", "&Pause", "Ctrl+Alt+P", true},
      {Action::Step, "Run", "&Step", "Ctrl+Alt+S", true},
      {Action::Stop, "Run", "Stop", "Alt+F4", false},
      {Action::Restart, "Run", "R&estart", "Ctrl+Alt+N", true},
      {Action::Add, "Watch", "&Add", "Ctrl+A", true},
      {Action::Delete, "Watch", "&Delete", "Del", false},
      {Action::Change, "Watch", "C&hange", "Ctrl+H", false},
      {Action::Clear, "Watch", "&Clear", "Ctrl+C", false},
      {Action::Load, "Watch", "&Load ...", "Ctrl+L", false},
      {Action::Save, "Watch", "Sa&ve ...", "Ctrl+S", false},
      {Action::ExecuteCode, "Tools", "&Execute Code ...", "Ctrl+E", false},
      {Action::SetSpeed, "Tools", "&Set Speed ...", "", false},
      {Action::ShowGlobals, "Tools", "Show &Global Variables", "", false},
      {Action::ShowInstances, "Tools", "Show &Instances", "", false},
      {Action::ShowLocals, "Tools", "Show &Local Variables", "", false},
      {Action::ShowMessages, "Tools", "Show &Messages", "", false},
  }};
  return actions;
}

std::optional<Action> ActionNamed(std::string_view name) {
  auto plain = [](std::string_view text) {
    std::string out;
    for (char c : text)
      if (c != '&') out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (out.size() > 4 && out.ends_with(" ...")) out.resize(out.size() - 4);
    return out;
  };
  const std::string wanted = plain(name);
  for (const ActionInfo& a : Actions())
    if (plain(a.caption) == wanted) return a.action;
  return std::nullopt;
}

DebugForm* ActiveDebugger() { return g_active; }

DebugForm::DebugForm(plat::IDialogs& dialogs, plat::IClock& clock, std::unique_ptr<plat::IDebugWindow> window)
    : dialogs_(dialogs), clock_(clock), window_(std::move(window)) {
  g_active = this;
  SetDebugMessageListener([this](const std::string& message) { AddMessage(message); });
  lastTimer_ = clock_.Micros();
  status_ = {"0 fps", "0 inst", "mouse id: "};
}

DebugForm::~DebugForm() {
  SetDebugMessageListener(nullptr);
  if (g_active == this) g_active = nullptr;
}

bool DebugForm::Enabled(Action action) const {
  const GameState& g = Game();
  switch (action) {
    case Action::Run:
    case Action::Step: return g.running && g.paused;
    case Action::Pause: return g.running && !g.paused;
    case Action::Stop:
    case Action::Restart: return g.running;
    default: return true;
  }
}

bool DebugForm::Perform(Action action) {
  if (!Enabled(action)) return false;
  switch (action) {
    case Action::Run: ResumeGame(); break;
    case Action::Pause: PauseGame(); break;
    case Action::Step: SingleStepGame(); break;
    case Action::Stop: StopGame(); break;
    case Action::Restart:
      RequestRestart();
      if (Game().paused) ResumeGame();
      break;
    case Action::Add:
      Ask(Question::AddWatch, "Provide an expression.", "Please type in the expression", "", "string");
      break;
    case Action::Delete:
      if (selectedRow_ < WatchCount()) {
        watches_.erase(watches_.begin() + selectedRow_);
        values_.erase(values_.begin() + selectedRow_);
      }
      break;
    case Action::Change: ChangeSelectedWatch(); break;
    case Action::Clear:
      watches_.clear();
      values_.clear();
      selectedRow_ = 0;
      break;
    case Action::Load:
      if (const auto path = ChooseFile(false, "Load watches")) LoadWatches(*path);
      break;
    case Action::Save:
      if (const auto path = ChooseFile(true, "Save watches")) SaveWatches(*path);
      break;
    case Action::ExecuteCode:
      Ask(Question::ExecuteCode, "Execute some code.", "Please type in the code", lastCode_, "string");
      break;
    case Action::SetSpeed: {
      const CLiveRoom* room = CurrentRoom();
      Ask(Question::SetSpeed, "Changing Game Speed.", "Please provide the new speed",
          std::to_string(room ? room->props.speed : 0), "integer");
      break;
    }
    case Action::ShowGlobals: OpenInfo(InfoWindow::Kind::Globals, kGlobalsCaption); break;
    case Action::ShowInstances: OpenInfo(InfoWindow::Kind::Instances, kInstancesCaption); break;
    case Action::ShowLocals:
      Ask(Question::ShowLocals, "Showing Local Variables.", "Please provide the instance id or object name.", "",
          "string");
      break;
    case Action::ShowMessages: OpenInfo(InfoWindow::Kind::Messages, kMessagesCaption); break;
  }
  selectedRow_ = std::min(selectedRow_, WatchCount());
  Refresh();
  return true;
}

void DebugForm::SelectRow(int row) { selectedRow_ = std::clamp(row, 0, WatchCount()); }

void DebugForm::ChangeSelectedWatch() {
  if (selectedRow_ >= WatchCount()) {
    Ask(Question::AddWatch, "Provide an expression.", "Please type in the expression", "", "string");
    return;
  }
  questionRow_ = selectedRow_;
  Ask(Question::ChangeWatch, "Provide an expression.", "Please type in the expression",
      watches_[selectedRow_].Expression(), "string");
}

void DebugForm::AddWatch(const std::string& expression) {
  watches_.emplace_back(expression);
  values_.push_back(watches_.back().Evaluate());
}

bool DebugForm::LoadWatches(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) AddWatch(line);
  }
  return true;
}

bool DebugForm::SaveWatches(const std::string& path) const {
  std::string text;
  for (const Watch& w : watches_) text += w.Expression() + "\n";
  return WriteText(path, text);
}

void DebugForm::Ask(Question question, const char* caption, const char* prompt, const std::string& initial,
                    const char* answerKind) {
  if (window_ && window_->AsksQuestions()) {
    // Asked inside the debug window: the game and its window go on while the question is open.
    openQuestion_ = question;
    questionView_ = {true, caption, prompt, initial};
    return;
  }
  plat::MessageFormRequest request;
  request.caption = caption;
  request.text = prompt;
  request.buttons = {"OK", "Cancel", ""};
  request.input = true;
  request.inputText = initial;
  request.answerKind = answerKind;
  request.defaultButton = 2;  // nobody to ask: cancelled
  const plat::MessageFormResult result = dialogs_.MessageForm(request);
  if (result.button == 1) Answered(question, result.inputText);
}

void DebugForm::Answered(Question question, const std::string& answer) {
  switch (question) {
    case Question::None: break;
    case Question::AddWatch:
      if (!answer.empty()) AddWatch(answer);
      selectedRow_ = std::min(selectedRow_, WatchCount());
      break;
    case Question::ChangeWatch:
      if (!answer.empty() && questionRow_ < WatchCount()) watches_[questionRow_] = Watch(answer);
      break;
    case Question::ExecuteCode:
      lastCode_ = answer;
      if (!ExecuteCode(answer)) ShowMessage(kCompileError);
      break;
    case Question::SetSpeed:
      if (const auto speed = ParseInteger(answer))
        if (CLiveRoom* room = CurrentRoom()) room->props.speed = *speed;
      break;
    case Question::ShowLocals: ShowLocalsFor(answer); break;
  }
  Refresh();
}

void DebugForm::ShowLocalsFor(const std::string& answer) {
  const auto id = ParseInteger(answer);
  const std::string name = id ? std::string(kNoObjectName) : answer;
  const int wanted = id ? *id : -1;
  // The window of that instance or object comes back when it was opened before.
  for (InfoWindow& info : infos_) {
    if (info.kind == InfoWindow::Kind::Locals && info.instanceId == wanted && info.objectName == name) {
      info.visible = true;
      Fill(info);
      return;
    }
  }
  if (localWindows_ >= kMaxLocalWindows) return;
  ++localWindows_;
  InfoWindow info;
  info.kind = InfoWindow::Kind::Locals;
  info.caption = std::string(kLocalsCaption) + ": " + answer;
  info.instanceId = wanted;
  info.objectName = name;
  info.visible = true;
  Fill(info);
  infos_.push_back(std::move(info));
}

InfoWindow& DebugForm::OpenInfo(InfoWindow::Kind kind, const char* caption) {
  for (InfoWindow& info : infos_) {
    if (info.kind == kind) {
      info.visible = true;
      Fill(info);
      return info;
    }
  }
  InfoWindow info;
  info.kind = kind;
  info.caption = caption;
  info.visible = true;
  Fill(info);
  infos_.push_back(std::move(info));
  return infos_.back();
}

void DebugForm::CloseInfo(int index) {
  if (index >= 0 && index < static_cast<int>(infos_.size())) infos_[index].visible = false;
}

bool DebugForm::SaveInfo(int index, const std::string& path) const {
  if (index < 0 || index >= static_cast<int>(infos_.size())) return false;
  return WriteText(path, infos_[index].text);
}

void DebugForm::AddMessage(const std::string&) { OpenInfo(InfoWindow::Kind::Messages, kMessagesCaption); }

void DebugForm::Fill(InfoWindow& info) const {
  switch (info.kind) {
    case InfoWindow::Kind::Globals: info.text = GlobalVariablesText(); break;
    case InfoWindow::Kind::Instances: info.text = InstancesText(); break;
    case InfoWindow::Kind::Messages: info.text = MessagesText(DebugMessages()); break;
    case InfoWindow::Kind::Locals:
      info.text = LocalVariablesText(FindInstanceForLocals(info.instanceId, info.objectName));
      break;
  }
}

void DebugForm::Refresh() {
  const CLiveRoom* room = CurrentRoom();
  status_[0] = std::to_string(Game().fps) + " fps";
  status_[1] = std::to_string(room ? room->ActiveCount() : 0) + " inst";
  Timer();
  values_.resize(watches_.size());
  for (size_t i = 0; i < watches_.size(); ++i) values_[i] = watches_[i].Evaluate();
  for (InfoWindow& info : infos_)
    if (info.visible) Fill(info);
}

void DebugForm::Timer() {
  lastTimer_ = clock_.Micros();
  const int id = InstanceIdAt(BuiltinValue("mouse_x").Real(), BuiltinValue("mouse_y").Real());
  status_[2] = "mouse id: " + (id >= 0 ? std::to_string(id) : std::string());
}

plat::DebugView DebugForm::View() const {
  plat::DebugView view;
  view.caption = "Debug Window";
  for (const ActionInfo& a : Actions())
    view.actions.push_back({a.menu, a.caption, a.shortcut, Enabled(a.action), a.onToolBar});
  for (size_t i = 0; i < watches_.size(); ++i)
    view.watches.push_back({watches_[i].Expression(), i < values_.size() ? values_[i] : std::string()});
  view.selectedRow = selectedRow_;
  view.status = status_;
  for (const InfoWindow& info : infos_) view.infos.push_back({info.caption, info.text, info.visible});
  view.question = questionView_;
  return view;
}

void DebugForm::Handle(const plat::DebugEvent& event) {
  using Kind = plat::DebugEvent::Kind;
  switch (event.kind) {
    case Kind::Action:
      if (event.index >= 0 && event.index < kActionCount) Perform(Actions()[event.index].action);
      break;
    case Kind::SelectRow: SelectRow(event.index); break;
    case Kind::ChangeRow:
      SelectRow(event.index);
      Perform(Action::Change);
      break;
    case Kind::CloseInfo: CloseInfo(event.index); break;
    case Kind::SaveInfo:
      if (event.index >= 0 && event.index < static_cast<int>(infos_.size()))
        if (const auto path = ChooseFile(true, kInfoCaption)) SaveInfo(event.index, *path);
      break;
    case Kind::PrintInfo: ShowMessage("Printing is not available on this system."); break;
    case Kind::Answer: {
      const Question question = openQuestion_;
      openQuestion_ = Question::None;
      questionView_ = {};
      Answered(question, event.text);
      break;
    }
    case Kind::CancelQuestion:
      openQuestion_ = Question::None;
      questionView_ = {};
      break;
    case Kind::CloseWindow:
      // Closing the debug window stops the game like Stop.
      closed_ = true;
      if (Game().running) StopGame();
      break;
  }
}

void DebugForm::Pump() {
  if (clock_.Micros() - lastTimer_ >= kTimerMicros) Timer();
  if (!window_) return;
  for (const plat::DebugEvent& event : window_->Frame(View())) Handle(event);
}

std::string DebugForm::DumpText() {
  Refresh();
  std::string text = std::string("[") + kGlobalsCaption + "]\n" + GlobalVariablesText();
  text += std::string("\n[") + kInstancesCaption + "]\n" + InstancesText();
  text += "\n[Watches]\n";
  for (size_t i = 0; i < watches_.size(); ++i) text += watches_[i].Expression() + " = " + values_[i] + "\n";
  return text;
}

void DebugForm::ShowMessage(const std::string& text) { dialogs_.ShowMessage("Debug Window", text); }

std::optional<std::string> DebugForm::ChooseFile(bool save, const std::string& title) {
  plat::FileDialogRequest request;
  request.kind = save ? plat::FileDialogKind::Save : plat::FileDialogKind::Open;
  request.title = title;
  request.filter = kTextFileFilter;
  const plat::FileDialogResult result = dialogs_.FileDialog(request);
  if (result.status != plat::FileDialogResult::Status::Chosen) return std::nullopt;
  return result.path;
}

}  // namespace kv::debugger
