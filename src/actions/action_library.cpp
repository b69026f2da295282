#include "actions/action_library.h"

#include "actions/action_common.h"
#include "actions/function_action.h"
#include "code/code_error.h"

namespace kv {

namespace {
ActionWindowHooks g_windowHooks;
}  // namespace

void SetActionWindowHooks(ActionWindowHooks hooks) { g_windowHooks = std::move(hooks); }
const ActionWindowHooks& GetActionWindowHooks() { return g_windowHooks; }

namespace actlib {

double Rel(double current, const RValue& v) { return ArgumentRelative() ? current + v.Real() : v.Real(); }
double PosX(const CInstance* self, const RValue& v) {
  return ArgumentRelative() && self ? self->x + v.Real() : v.Real();
}
double PosY(const CInstance* self, const RValue& v) {
  return ArgumentRelative() && self ? self->y + v.Real() : v.Real();
}

bool HasFunction(std::string_view name) { return FindBuiltinFunction(name) >= 0; }

RValue Call(std::string_view name, CInstance* self, CInstance* other, std::initializer_list<RValue> args) {
  RValue result;
  const RBuiltinFunction* f = GetBuiltinFunction(FindBuiltinFunction(name));
  if (!f || !f->handler) return result;
  RValue slots[kMaxCallArgs];
  int n = 0;
  for (const RValue& v : args) {
    if (n == kMaxCallArgs) break;
    slots[n++] = v;
  }
  f->handler(result, self, other, n, slots);
  return result;
}

std::string Text(const RValue& v) { return v.IsString() ? v.ToStdString() : Call("string", {v}).ToStdString(); }

void Report(std::string_view message) { ReportRuntimeError(message, false); }

}  // namespace actlib

void RegisterActionLibraryFunctions() {
  actlib::RegisterMovementActions();
  actlib::RegisterMainActions();
  actlib::RegisterControlActions();
  actlib::RegisterScoreActions();
  actlib::RegisterExtraActions();
  actlib::RegisterDrawActions();
}

}  // namespace kv
