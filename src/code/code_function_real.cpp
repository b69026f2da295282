#include "code/code_function_real.h"

#include <vector>

#include "code/code_function.h"

namespace kv {

namespace {
// Indexed by built-in id; grows as forms are registered.
std::vector<RealForm>& Forms() {
  static std::vector<RealForm>& forms = *new std::vector<RealForm>;
  return forms;
}

void Set(std::string_view name, const RealForm& form) {
  const int id = FindBuiltinFunction(name);
  if (id < 0) return;
  std::vector<RealForm>& forms = Forms();
  if (forms.size() <= static_cast<size_t>(id)) forms.resize(static_cast<size_t>(id) + 1);
  forms[static_cast<size_t>(id)] = form;
}
}  // namespace

void RegisterRealForm(std::string_view name, RealFn1 fn) { Set(name, RealForm{fn, nullptr, nullptr}); }
void RegisterRealForm(std::string_view name, RealFn2 fn) { Set(name, RealForm{nullptr, fn, nullptr}); }
void RegisterRealForm(std::string_view name, RealFnN fn) { Set(name, RealForm{nullptr, nullptr, fn}); }

RealForm GetRealForm(int id) {
  const std::vector<RealForm>& forms = Forms();
  if (id < 0 || static_cast<size_t>(id) >= forms.size()) return {};
  return forms[static_cast<size_t>(id)];
}

}  // namespace kv
