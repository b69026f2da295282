#include "functions/function_transition.h"

#include "code/code_docs.h"
#include "code/code_function.h"
#include "code/code_value.h"
#include "code/code_variable.h"
#include "graphics/graphics_transition.h"
#include "graphics/room_draw.h"

namespace kv {

namespace {

int IntArg(const RValue& v) { return RoundToInt(v.Real()); }

void FnTransitionDefine(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r = RValue(gfx::DefineTransition(IntArg(a[0]), a[1].IsString() ? a[1].ToStdString() : std::string())
                 ? 1.0
                 : 0.0);
}
void FnTransitionExists(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r = RValue(gfx::TransitionExists(IntArg(a[0])) ? 1.0 : 0.0);
}

bool ReadKind(CInstance*, int64_t, RValue& out) {
  out = RValue(double(gfx::TransitionKind()));
  return true;
}
bool WriteKind(CInstance*, int64_t, const RValue& v) {
  gfx::SetTransitionKind(RoundToInt32Wrap(v.Real()));
  return true;
}
bool ReadSteps(CInstance*, int64_t, RValue& out) {
  out = RValue(double(gfx::TransitionSteps()));
  return true;
}
bool WriteSteps(CInstance*, int64_t, const RValue& v) {
  gfx::SetTransitionSteps(RoundToInt32Wrap(v.Real()));
  return true;
}
bool ReadViewCurrent(CInstance*, int64_t, RValue& out) {
  out = RValue(double(gfx::ViewCurrent()));
  return true;
}

}  // namespace

void RegisterTransitionFunctions() {
  RegisterFunction("transition_define", FnTransitionDefine, 2);
  RegisterFunction("transition_exists", FnTransitionExists, 1);
  DescribeFunctions("Room transitions", {
      {"transition_define", "kind, name",
       "Makes transition kind run the script or extension function called name, and returns whether it was found."},
      {"transition_exists", "kind", "Returns whether a transition kind exists, built in or defined."},
  });
  RegisterBuiltinVariable("transition_kind", ReadKind, WriteKind);
  RegisterBuiltinVariable("transition_steps", ReadSteps, WriteSteps);
  RegisterBuiltinVariable("view_current", ReadViewCurrent, nullptr);
  DescribeFunctions("Room transitions", {
      {"transition_define", "kind, name", "Makes transition kind run the script name; whether the script was found."},
      {"transition_exists", "kind", "Whether transition kind exists."},
  });
  DescribeVariables("Room transitions", {
      {"transition_kind", "The transition used at the next room change (0 for none)."},
      {"transition_steps", "The number of steps a room transition takes."},
  });
  DescribeVariables("Views", {
      {"view_current", "The view being drawn now (only meaningful in drawing events)."},
  });
}

}  // namespace kv
