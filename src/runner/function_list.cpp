#include "runner/function_list.h"

#include "code/code_docs.h"
#include "code/code_function.h"
#include "code/code_variable.h"
#include "runner/runner_wiring.h"

namespace kv {

namespace {
std::string ArgumentCount(const RBuiltinFunction& f) {
  return f.argCount == kVariableArgs ? "0-" + std::to_string(kMaxCallArgs) : std::to_string(f.argCount);
}
}  // namespace

std::string ListBuiltinFunctions() {
  WireLanguage();
  std::string out;
  for (int id = 0; id < BuiltinFunctionCount(); ++id) {
    const RBuiltinFunction* f = GetBuiltinFunction(id);
    if (!f || f->name.empty()) continue;
    out += f->name + " " + ArgumentCount(*f) + "\n";
  }
  return out;
}

std::string ListReference() {
  WireLanguage();
  std::string out;
  for (int id = 0; id < BuiltinFunctionCount(); ++id) {
    const RBuiltinFunction* f = GetBuiltinFunction(id);
    if (!f || f->name.empty()) continue;
    const DescribedFunction* d = FindFunctionDoc(f->name);
    out += "function\t" + std::string(d ? d->family : std::string_view("Undescribed")) + "\t" + f->name + "\t" + ArgumentCount(*f) +
           "\t" + (d ? d->doc.args : "") + "\t" + (d ? d->doc.summary : "") + "\n";
  }
  for (int id = 0;; ++id) {
    const RBuiltinVariable* v = GetBuiltinVariable(id);
    if (!v) break;
    if (v->name.empty()) continue;
    const DescribedVariable* d = FindVariableDoc(v->name);
    out += "variable\t" + std::string(d ? d->family : std::string_view("Undescribed")) + "\t" + v->name + "\t" +
           (v->writable ? "rw" : "r") + "\t" + (d ? d->doc.summary : "") + "\n";
  }
  return out;
}

}  // namespace kv
