#include "resources/function_resource.h"

#include <algorithm>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "code/code_function.h"
#include "code/code_script.h"
#include "resources/resource_families.h"

namespace kv {

namespace {

constexpr int kMaxCallValues = 16;  // script index included: the script sees at most 15 arguments

int Arg(const RValue& v) { return RoundToInt(v.Real()); }

void FnScriptExists(RValue& r, CInstance*, CInstance*, int, RValue* a) { r.SetReal(ScriptExists(Arg(a[0]))); }
// The name, "" for a missing script.
void FnScriptGetName(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r = RValue(ScriptExists(Arg(a[0])) ? ScriptName(Arg(a[0])) : std::string());
}
void FnScriptGetText(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r = RValue(ScriptExists(Arg(a[0])) ? ScriptText(Arg(a[0])) : std::string());
}

// Calls the script; when its run ends with an error, the message is reported again (non-fatally) and the pending
// error is cleared, so the next error of the same run is recorded instead of this one being repeated.
void FnScriptExecute(RValue& r, CInstance* self, CInstance* other, int argc, RValue* a) {
  if (argc < 1) return;
  const int passed = std::min(argc, kMaxCallValues) - 1;
  if (CallScript(Arg(a[0]), self, other, r, a + 1, passed)) return;
  if (ErrorPending()) {
    const std::string message = PendingMessage();
    ClearErrorPending();
    ReportRuntimeError(message);
  }
}

}  // namespace

void RegisterResourceFunctions() {
  RegisterFunction("script_exists", FnScriptExists, 1);
  RegisterFunction("script_name", FnScriptGetName, 1);
  RegisterFunction("script_get_name", FnScriptGetName, 1);
  RegisterFunction("script_get_text", FnScriptGetText, 1);
  RegisterFunction("script_execute", FnScriptExecute, kVariableArgs);
  DescribeFunctions("Scripts", {
      {"script_exists", "ind", "Whether script ind exists."},
      {"script_name", "ind", "The name of script ind."},
      {"script_get_name", "ind", "The name of script ind."},
      {"script_get_text", "ind", "The code of script ind."},
      {"script_execute", "scr, arg0, arg1, ...", "Runs script scr with the given arguments and returns its result."},
  });
  RegisterObjectResourceFunctions();
  RegisterRoomResourceFunctions();
  RegisterGraphicResourceFunctions();
}

}  // namespace kv
