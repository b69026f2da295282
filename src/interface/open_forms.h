#pragma once
// The forms open beside the game: splashes that do not interrupt it and the game information that does not pause
// it. The main loop pumps them once per step; a form that closes is dropped with its window.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace kv::ui {

struct OpenForm {
  std::string kind;  // "splash", "information": each has one form, as the program has one window for each
  std::unique_ptr<plat::IFormController> controller;
  // Shows the controller (declared after it, so it goes first); null when no window can show the form: then it
  // stays open for `millisLeft` of game time, counted in steps.
  std::unique_ptr<plat::IFormWindow> window;
  double millisLeft = 0;
  std::function<void()> closed;  // told once when the form closes
  bool counting = false;         // its time runs from the first step that ends after it opened
};

class OpenForms {
 public:
  OpenForms() = default;
  OpenForms(const OpenForms&) = delete;
  OpenForms& operator=(const OpenForms&) = delete;
  ~OpenForms() { CloseAll(); }

  void Add(OpenForm form);
  // Before a step of `stepMillis` game time: windows hand over their events, play and draw; forms without a
  // window count the step that just ended and close once their time is up (a form without time closes at its
  // first pump, one opened during a step counts from the next one on).
  void Pump(double stepMillis);
  void CloseAll();
  // The open form of that kind, if any.
  bool IsOpen(const std::string& kind) const;
  void Close(const std::string& kind);
  int Count() const { return static_cast<int>(forms_.size()); }

 private:
  std::vector<OpenForm> forms_;
};

}  // namespace kv::ui
