#include "code/code_function.h"

#include <unordered_map>

#include "code/code_script.h"

namespace kv {

namespace {
struct FunctionTable {
  std::vector<RBuiltinFunction> entries;
  std::unordered_map<std::string, int> byName;
};
// Made once and never destroyed: the process's end need not free its 1200 entries one by one. Room for all of
// them is made at once, so registering never rehashes or moves the entries.
FunctionTable& Table() {
  static FunctionTable& t = [] () -> FunctionTable& {
    auto* table = new FunctionTable;
    table->entries.reserve(2048);
    table->byName.reserve(2048);
    return *table;
  }();
  return t;
}
}  // namespace

int RegisterFunction(std::string_view name, BuiltinFn handler, int argCount) {
  FunctionTable& t = Table();
  std::string key(name.substr(0, 64));
  // One look-up finds the entry or makes its slot.
  const auto [it, added] = t.byName.try_emplace(key, static_cast<int>(t.entries.size()));
  if (!added) {
    t.entries[it->second].handler = handler;
    t.entries[it->second].argCount = argCount;
    return it->second;
  }
  t.entries.push_back(RBuiltinFunction{std::move(key), handler, argCount});
  return it->second;
}

int FindBuiltinFunction(std::string_view name) {
  FunctionTable& t = Table();
  auto it = t.byName.find(std::string(name));
  return it == t.byName.end() ? -1 : it->second;
}

const RBuiltinFunction* GetBuiltinFunction(int id) {
  FunctionTable& t = Table();
  if (id < 0 || id >= static_cast<int>(t.entries.size())) return nullptr;
  return &t.entries[id];
}

namespace {
ExtensionFunctionHooks g_extHooks;
}
void SetExtensionFunctionHooks(const ExtensionFunctionHooks& hooks) { g_extHooks = hooks; }
const ExtensionFunctionHooks& GetExtensionFunctionHooks() { return g_extHooks; }

bool FindFunction(std::string_view name, int& id) {
  int s = FindScript(name);
  if (s >= 0) {
    id = kScriptIdBase + s;
    return true;
  }
  if (g_extHooks.find) {
    int e = g_extHooks.find(name);
    if (e >= 0) {
      id = kExtensionIdBase + e;
      return true;
    }
  }
  int b = FindBuiltinFunction(name);
  if (b >= 0) {
    id = b;
    return true;
  }
  return false;
}

int FunctionArgumentCount(int id) {
  if (id >= kExtensionIdBase) return g_extHooks.argCount ? g_extHooks.argCount(id - kExtensionIdBase) : -100;
  if (id >= kScriptIdBase) return -1;
  const RBuiltinFunction* f = GetBuiltinFunction(id);
  return f ? f->argCount : -100;
}

int BuiltinFunctionCount() { return static_cast<int>(Table().entries.size()); }

}  // namespace kv
