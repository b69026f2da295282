#include "code/code_script.h"

#include <optional>
#include <unordered_map>

#include "code/code_code.h"
#include "code/code_error.h"
#include "code/code_exec.h"

namespace kv {

namespace script_detail {
uint64_t g_generation = 1;
}
using script_detail::g_generation;

namespace {
struct ScriptEntry {
  std::string name;
  std::string text;
  std::unique_ptr<CCode> code;
};
struct ScriptTable {
  std::vector<std::optional<ScriptEntry>> slots;
  std::unordered_map<std::string, int> byName;  // first slot with the name
  void Reindex() {
    byName.clear();
    for (size_t i = 0; i < slots.size(); ++i)
      if (slots[i]) byName.emplace(slots[i]->name, static_cast<int>(i));
  }
};
ScriptTable g_scripts;
inline ScriptTable& Scripts() { return g_scripts; }
}  // namespace


void ClearScripts() {
  ++g_generation;
  Scripts().slots.clear();
  Scripts().byName.clear();
}

int SetScript(int index, std::string_view name, std::string_view text) {
  ScriptTable& t = Scripts();
  if (index < 0) return -1;
  if (static_cast<size_t>(index) >= t.slots.size()) t.slots.resize(index + 1);
  ScriptEntry e;
  e.name = std::string(name);
  e.text = std::string(text);
  e.code = std::make_unique<CCode>(e.text, false);
  t.slots[index] = std::move(e);
  t.Reindex();
  ++g_generation;
  return index;
}

int AddScript(std::string_view name, std::string_view text) {
  return SetScript(static_cast<int>(Scripts().slots.size()), name, text);
}

int ScriptCount() { return static_cast<int>(Scripts().slots.size()); }

bool ScriptExists(int index) {
  ScriptTable& t = Scripts();
  return index >= 0 && static_cast<size_t>(index) < t.slots.size() && t.slots[index].has_value();
}

std::string ScriptName(int index) { return ScriptExists(index) ? Scripts().slots[index]->name : "<undefined>"; }
std::string ScriptText(int index) { return ScriptExists(index) ? Scripts().slots[index]->text : std::string(); }

int FindScript(std::string_view name) {
  ScriptTable& t = Scripts();
  auto it = t.byName.find(std::string(name));
  return it == t.byName.end() ? -1 : it->second;
}

CCode* ScriptCode(int index) { return ScriptExists(index) ? Scripts().slots[index]->code.get() : nullptr; }

bool CompileScripts() {
  ScriptTable& t = Scripts();
  for (size_t i = 0; i < t.slots.size(); ++i) {
    if (!t.slots[i] || t.slots[i]->code->Compiled()) continue;
    if (!t.slots[i]->code->Compile()) {
      std::string msg = "COMPILATION ERROR in Script: " + t.slots[i]->name + "\r" + PendingMessage();
      ClearErrorPending();
      ReportError(msg, true);
      return false;
    }
  }
  return true;
}

bool CallScript(int index, CInstance* self, CInstance* other, RValue& result, const RValue* args, int count) {
  const CCode* code = ScriptCode(index);
  if (!code) return false;
  ArgumentFrame frame(args, count);
  if (!frame.Ok()) {
    ClearErrorPending();
    RecordPlainError(kStackOverflowMessage);
    return false;
  }
  result.SetReal(0.0);
  if (RunForValue(self, other, code, result)) return true;
  if (PendingMessage().size() < 16384) SetPendingMessage("In script " + ScriptName(index) + ":\r" + PendingMessage());
  return false;
}

}  // namespace kv
