#include "interface/open_forms.h"

namespace kv::ui {

namespace {

void CloseForm(OpenForm& form) {
  form.window.reset();
  if (form.closed) {
    auto closed = std::move(form.closed);
    form.closed = nullptr;
    closed();
  }
  form.controller.reset();
}

}  // namespace

void OpenForms::Add(OpenForm form) { forms_.push_back(std::move(form)); }

void OpenForms::Pump(double stepMillis) {
  // A form's callbacks may open another form: new ones are pumped from the next step on.
  const size_t count = forms_.size();
  std::vector<size_t> done;
  for (size_t i = 0; i < count; ++i) {
    OpenForm& f = forms_[i];
    bool open;
    if (f.window) {
      open = f.window->Pump();
    } else {
      if (f.counting) f.millisLeft -= stepMillis;
      f.counting = true;
      open = f.millisLeft > 1e-6;
    }
    if (!open) done.push_back(i);
  }
  for (auto it = done.rbegin(); it != done.rend(); ++it) {
    OpenForm form = std::move(forms_[*it]);
    forms_.erase(forms_.begin() + static_cast<std::ptrdiff_t>(*it));
    CloseForm(form);
  }
}

bool OpenForms::IsOpen(const std::string& kind) const {
  for (const OpenForm& f : forms_)
    if (f.kind == kind) return true;
  return false;
}

void OpenForms::Close(const std::string& kind) {
  for (size_t i = forms_.size(); i-- > 0;) {
    if (forms_[i].kind != kind) continue;
    OpenForm form = std::move(forms_[i]);
    forms_.erase(forms_.begin() + static_cast<std::ptrdiff_t>(i));
    CloseForm(form);
  }
}

void OpenForms::CloseAll() {
  std::vector<OpenForm> forms;
  forms.swap(forms_);
  for (OpenForm& f : forms) CloseForm(f);
}

}  // namespace kv::ui
