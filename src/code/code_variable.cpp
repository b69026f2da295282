#include "code/code_variable.h"

#include <unordered_map>

#include "code/code_instance.h"
#include "runner/support_stream.h"

namespace kv {

namespace {
bool g_uninitializedZero = false;

struct NameRegistry {
  std::vector<std::string> names;
  std::unordered_map<std::string, int> byName;
};
NameRegistry& Names() {
  static NameRegistry r;
  return r;
}

struct BuiltinVarTable {
  std::vector<RBuiltinVariable> entries;
  std::unordered_map<std::string, int> byName;
};
BuiltinVarTable& BuiltinVars() {
  static BuiltinVarTable t;
  return t;
}
// The entries as a plain view, republished after every registration: code reads a built-in variable's entry on
// each access, and this spares it the guarded static.
const RBuiltinVariable* g_builtinData = nullptr;
int g_builtinCount = 0;

struct Globals {
  CVariableList list;
  std::vector<uint8_t> declared = std::vector<uint8_t>(10000, 0);
};
// The declaration flags are read on every plain variable access; IsDeclaredGlobal (inline) reads this view.
void PublishDeclared(const std::vector<uint8_t>& declared) {
  variable_detail::g_declaredData = declared.data();
  variable_detail::g_declaredSize = declared.size();
}
Globals& G() {
  static Globals g;
  static const bool published = (PublishDeclared(g.declared), true);
  (void)published;
  return g;
}
}  // namespace

bool UninitializedZero() { return g_uninitializedZero; }
void SetUninitializedZero(bool on) { g_uninitializedZero = on; }

// ---- RVariable ----
RVariable RVariable::Clone() const {
  RVariable v(id);
  v.value = value;
  if (rows) v.rows = std::make_unique<ArrayRows>(*rows);
  return v;
}

bool RVariable::Get(int64_t n, RValue& out) const {
  if (n == 0) {
    out = value;
    return true;
  }
  if (!rows || n < 0) return false;
  uint64_t row = static_cast<uint64_t>(n) / kArrayDim, col = static_cast<uint64_t>(n) % kArrayDim;
  if (row >= rows->size() || col >= (*rows)[row].size()) return false;
  out = (*rows)[row][col];
  return true;
}

RValue& RVariable::Cell(int64_t n) {
  if (n <= 0) return value;  // negative indices never reach here (the interpreter rejects them)
  uint64_t row = static_cast<uint64_t>(n) / kArrayDim, col = static_cast<uint64_t>(n) % kArrayDim;
  if (!rows) rows = std::make_unique<ArrayRows>();
  if (rows->size() < row + 1) rows->resize(row + 1);
  std::vector<RValue>& r = (*rows)[row];
  if (r.size() < col + 1) r.resize(col + 1);
  return r[col];
}

// ---- CVariableList ----
void CVariableList::CopyFrom(const CVariableList& o) {
  std::vector<RVariable> copy;
  copy.reserve(o.vars_.size());
  for (const RVariable& v : o.vars_) copy.push_back(v.Clone());
  vars_ = std::move(copy);
}

bool CVariableList::GetValue(int id, int64_t index, RValue& out) const {
  const RVariable* v = Find(id);
  if (v && v->Get(index, out)) return true;
  if (g_uninitializedZero) {
    out = RValue();
    return true;
  }
  return false;
}

void WriteValue(CStream& s, const RValue& v) {
  s.WriteInt(v.Kind());
  s.WriteReal(v.Real());
  s.WriteString(v.Str());
}

RValue ReadValue(CStream& s) {
  int32_t kind = s.ReadInt();
  double r = s.ReadReal();
  std::string str = s.ReadString();
  if (kind == 1) return RValue(str);
  // Values never hold infinities or NaN; a stored one (a damaged file) reads as 0.
  if (!std::isfinite(r)) r = 0.0;
  return RValue(r);
}

void CVariableList::WriteTo(CStream& s) const {
  s.WriteInt(kVariableListVersion);
  s.WriteInt(static_cast<int32_t>(vars_.size()));
  for (const RVariable& v : vars_) {
    s.WriteInt(v.id);
    WriteValue(s, v.value);
    if (!v.rows) {
      s.WriteInt(0);
      continue;
    }
    s.WriteInt(static_cast<int32_t>(v.rows->size()));
    for (const std::vector<RValue>& row : *v.rows) {
      s.WriteInt(static_cast<int32_t>(row.size()));
      for (const RValue& x : row) WriteValue(s, x);
    }
  }
}

bool CVariableList::ReadFrom(CStream& s) {
  vars_.clear();
  if (s.ReadInt() != kVariableListVersion) return false;
  // Minimal sizes: a value is 4 + 8 + 4 bytes; a variable adds its id and row count.
  constexpr size_t kValueBytes = 16;
  int32_t count = s.ReadInt();
  s.CheckCount(count, 4 + kValueBytes + 4);
  std::vector<RVariable> vars;
  vars.reserve(count);
  for (int32_t i = 0; i < count; ++i) {
    RVariable v(s.ReadInt());
    v.value = ReadValue(s);
    int32_t nrows = s.ReadInt();
    s.CheckCount(nrows, 4);
    if (nrows > 0) {
      v.rows = std::make_unique<ArrayRows>(nrows);
      for (int32_t r = 0; r < nrows; ++r) {
        int32_t n = s.ReadInt();
        s.CheckCount(n, kValueBytes);
        std::vector<RValue>& row = (*v.rows)[r];
        row.reserve(n);
        for (int32_t k = 0; k < n; ++k) row.push_back(ReadValue(s));
      }
    }
    vars.push_back(std::move(v));
  }
  vars_ = std::move(vars);
  return true;
}

// ---- names ----
int FindOrAddVariableName(std::string_view name) {
  NameRegistry& r = Names();
  std::string key(name);
  auto it = r.byName.find(key);
  if (it != r.byName.end()) return kUserVariableBase + it->second;
  int pos = static_cast<int>(r.names.size());
  r.names.push_back(key);
  r.byName.emplace(std::move(key), pos);
  return kUserVariableBase + pos;
}

int VariableIdOf(std::string_view name) {
  int b = FindBuiltinVariable(name);
  return b >= 0 ? b : FindOrAddVariableName(name);
}

std::string VariableIdToName(int id) {
  if (id < kUserVariableBase) {
    const RBuiltinVariable* b = GetBuiltinVariable(id);
    return b ? b->name : "<unknown built-in variable>";
  }
  NameRegistry& r = Names();
  size_t pos = static_cast<size_t>(id - kUserVariableBase);
  return pos < r.names.size() ? r.names[pos] : "<unknown variable>";
}

// ---- built-in variable table ----
int RegisterBuiltinVariable(std::string_view name, BuiltinVarRead read, BuiltinVarWrite write) {
  BuiltinVarTable& t = BuiltinVars();
  std::string key(name.substr(0, 64));
  auto it = t.byName.find(key);
  if (it != t.byName.end()) {  // registering again (tests, repeated start-up) replaces the operations
    t.entries[it->second].read = read;
    t.entries[it->second].write = write;
    t.entries[it->second].writable = write != nullptr;
    return it->second;
  }
  if (static_cast<int>(t.entries.size()) >= kMaxBuiltinVariables) return -1;
  int id = static_cast<int>(t.entries.size());
  t.entries.push_back(RBuiltinVariable{key, read, write, write != nullptr});
  t.byName.emplace(std::move(key), id);
  g_builtinData = t.entries.data();
  g_builtinCount = static_cast<int>(t.entries.size());
  return id;
}

int FindBuiltinVariable(std::string_view name) {
  BuiltinVarTable& t = BuiltinVars();
  auto it = t.byName.find(std::string(name));
  return it == t.byName.end() ? -1 : it->second;
}

const RBuiltinVariable* GetBuiltinVariable(int id) {
  if (id < 0 || id >= g_builtinCount) return nullptr;
  return &g_builtinData[id];
}

// ---- globals ----
void ResetGlobalVariables() {
  Globals& g = G();
  g.list.Clear();
  g.declared.assign(10000, 0);
  PublishDeclared(g.declared);
}

void DeclareGlobalVariable(int id) {
  if (id < kUserVariableBase) return;
  Globals& g = G();
  size_t pos = static_cast<size_t>(id - kUserVariableBase);
  if (pos >= g.declared.size()) g.declared.resize(static_cast<size_t>(id - 99000), 0);
  g.declared[pos] = 1;
  PublishDeclared(g.declared);
  g.list.Declare(id);
}


CVariableList& GlobalVariables() { return G().list; }

void WriteGlobalVariables(CStream& s) {
  Globals& g = G();
  s.WriteInt(kGlobalsVersion);
  g.list.WriteTo(s);
  s.WriteInt(static_cast<int32_t>(g.declared.size()));
  for (uint8_t f : g.declared) s.WriteBool(f != 0);
}

bool ReadGlobalVariables(CStream& s) {
  if (s.ReadInt() != kGlobalsVersion) return false;
  CVariableList list;
  if (!list.ReadFrom(s)) return false;
  int32_t n = s.ReadInt();
  s.CheckCount(n, 4);
  std::vector<uint8_t> flags(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) flags[i] = s.ReadBool() ? 1 : 0;
  Globals& g = G();
  g.list = std::move(list);
  g.declared = std::move(flags);
  PublishDeclared(g.declared);
  return true;
}

// ---- access ----
bool GetInstanceVariable(CInstance* inst, int id, int64_t index, RValue& out) {
  if (id < kUserVariableBase) {
    const RBuiltinVariable* b = GetBuiltinVariable(id);
    return b && b->read && b->read(inst, index, out);
  }
  return inst->locals.GetValue(id, index, out);
}

bool SetInstanceVariable(CInstance* inst, int id, int64_t index, const RValue& v) {
  if (id < kUserVariableBase) {
    const RBuiltinVariable* b = GetBuiltinVariable(id);
    return b && b->write && b->write(inst, index, v);
  }
  inst->locals.SetValue(id, index, v);
  return true;
}

bool GetTargetVariable(int target, int id, int64_t index, RValue& out) {
  CodeWorld* w = GetCodeWorld();
  CInstance* inst = nullptr;
  if (target == -3) {
    if (w)
      for (int i = 0; i < w->ActiveCount(); ++i) {
        CInstance* c = w->ActiveAt(i);
        if (c && !c->deleted) {
          inst = c;
          break;
        }
      }
  } else if (target >= 0 && target < kUserVariableBase) {
    if (w)
      for (int i = 0; i < w->FamilyCount(target); ++i) {
        CInstance* c = w->FamilyAt(target, i);
        if (c && !c->deleted) {
          inst = c;
          break;
        }
      }
  } else if (target >= kUserVariableBase) {
    if (w) inst = w->FindInstance(target);
    if (inst && inst->deleted) inst = nullptr;
  }
  if (!inst) {
    if (g_uninitializedZero) {
      out = RValue();
      return true;
    }
    return false;
  }
  return GetInstanceVariable(inst, id, index, out);
}

bool SetTargetVariable(int target, int id, int64_t index, const RValue& v) {
  CodeWorld* w = GetCodeWorld();
  if (target == -3 || (target >= 0 && target < kUserVariableBase)) {
    bool ok = true;
    if (!w) return true;
    bool all = target == -3;
    for (int i = 0; i < (all ? w->ActiveCount() : w->FamilyCount(target)); ++i) {
      CInstance* c = all ? w->ActiveAt(i) : w->FamilyAt(target, i);
      if (c && !c->deleted) ok = SetInstanceVariable(c, id, index, v);
    }
    return ok;
  }
  if (target >= kUserVariableBase) {
    CInstance* inst = w ? w->FindInstance(target) : nullptr;
    if (!inst || inst->deleted) return true;
    return SetInstanceVariable(inst, id, index, v);
  }
  return false;
}

}  // namespace kv
