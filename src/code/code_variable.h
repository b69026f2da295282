// Variables: RVariable and CVariableList (scalar + two-level arrays), the built-in and user variable id spaces,
// the global variables with their `globalvar` flags, access by target, and the stream forms used by saves.
//
// Array index scheme: x[i, j] is the combined index i * 32000 + j; index 0 is the scalar, any other index n is
// row n div 32000, element n mod 32000. Writes grow the rows to exactly the index written (visible lengths are
// fixed, capacity is free); reads find only existing cells.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "code/code_value.h"

namespace kv {

class CStream;
class CInstance;

constexpr int kArrayDim = 32000;
constexpr int kUserVariableBase = 100000;
constexpr int kMaxBuiltinVariables = 500;
constexpr int32_t kVariableListVersion = 440;
constexpr int32_t kGlobalsVersion = 700;

using ArrayRows = std::vector<std::vector<RValue>>;

struct RVariable {
  int32_t id = 0;
  RValue value;                      // the scalar, also element 0
  std::unique_ptr<ArrayRows> rows;   // null = no rows

  RVariable() = default;
  explicit RVariable(int32_t i) : id(i) {}
  RVariable(RVariable&&) noexcept = default;
  RVariable& operator=(RVariable&&) noexcept = default;
  RVariable Clone() const;

  // Reads combined index n: the scalar for 0, an existing cell otherwise. False when the cell does not exist.
  bool Get(int64_t n, RValue& out) const;
  // The cell for combined index n, growing rows and the row exactly as far as needed.
  RValue& Cell(int64_t n);
  // Fast path for x[i, j] with 0 <= i, j < 32000 (i = 0 and j = 0 is the scalar).
  const RValue* Find2(int i, int j) const {
    if ((i | j) == 0) return &value;
    if (!rows || static_cast<size_t>(i) >= rows->size()) return nullptr;
    const std::vector<RValue>& row = (*rows)[i];
    return static_cast<size_t>(j) < row.size() ? &row[j] : nullptr;
  }
  RValue& Cell2(int i, int j) {
    if ((i | j) == 0) return value;
    if (rows && static_cast<size_t>(i) < rows->size()) {
      std::vector<RValue>& row = (*rows)[i];
      if (static_cast<size_t>(j) < row.size()) return row[j];
    }
    return Cell(int64_t(i) * kArrayDim + j);
  }
};

// The game setting `UninitializedZero`: reads of missing variables and cells give real 0 instead of failing.
bool UninitializedZero();
void SetUninitializedZero(bool on);

class CVariableList {
 public:
  CVariableList() = default;
  CVariableList(const CVariableList& o) { CopyFrom(o); }
  CVariableList& operator=(const CVariableList& o) {
    if (this != &o) CopyFrom(o);
    return *this;
  }
  CVariableList(CVariableList&&) noexcept = default;
  CVariableList& operator=(CVariableList&&) noexcept = default;

  void Clear() { vars_.clear(); }
  void CopyFrom(const CVariableList& o);
  size_t Count() const { return vars_.size(); }
  const RVariable& At(size_t i) const { return vars_[i]; }
  RVariable& At(size_t i) { return vars_[i]; }

  // Adds the variable with value real 0 unless present.
  void Declare(int id) { FindOrAdd(id); }
  void SetValue(int id, int64_t index, const RValue& v) { FindOrAdd(id).Cell(index) = v; }
  // Found value, or real 0 counted as found under UninitializedZero (nothing is created).
  bool GetValue(int id, int64_t index, RValue& out) const;

  RVariable* Find(int id) {
    for (size_t i = vars_.size(); i-- > 0;)
      if (vars_[i].id == id) return &vars_[i];
    return nullptr;
  }
  const RVariable* Find(int id) const { return const_cast<CVariableList*>(this)->Find(id); }
  // Find with a per-call-site hint: instances of one object create their variables in the same order, so the
  // remembered position usually matches at once.
  RVariable* FindHinted(int id, uint32_t& hint) {
    if (hint < vars_.size() && vars_[hint].id == id) return &vars_[hint];
    for (size_t i = vars_.size(); i-- > 0;)
      if (vars_[i].id == id) {
        hint = static_cast<uint32_t>(i);
        return &vars_[i];
      }
    return nullptr;
  }
  RVariable& FindOrAdd(int id) {
    if (RVariable* v = Find(id)) return *v;
    vars_.emplace_back(id);
    return vars_.back();
  }
  RVariable& FindOrAddHinted(int id, uint32_t& hint) {
    if (RVariable* v = FindHinted(id, hint)) return *v;
    hint = static_cast<uint32_t>(vars_.size());
    vars_.emplace_back(id);
    return vars_.back();
  }

  // Stream form: int 440, count, per variable id, value (kind, real, str), rows, per row count + values.
  void WriteTo(CStream& s) const;
  // Clears the list first. Returns false (list left empty) when the version is not 440; StreamError propagates
  // for truncation. A caller must treat false as a failed read of the whole record.
  bool ReadFrom(CStream& s);

 private:
  std::vector<RVariable> vars_;
};

void WriteValue(CStream& s, const RValue& v);
RValue ReadValue(CStream& s);

// ---- ids and names ----
// Built-in ids are table positions (< 10000); user ids are 100000 + position in the name list (which only grows).
int FindOrAddVariableName(std::string_view name);
int VariableIdOf(std::string_view name);  // built-in first
std::string VariableIdToName(int id);
inline bool IsBuiltinVariableId(int id) { return id < 10000; }

// ---- built-in variables ----
using BuiltinVarRead = bool (*)(CInstance* inst, int64_t index, RValue& out);
using BuiltinVarWrite = bool (*)(CInstance* inst, int64_t index, const RValue& v);
struct RBuiltinVariable {
  std::string name;
  BuiltinVarRead read = nullptr;
  BuiltinVarWrite write = nullptr;  // null = read-only
  bool writable = false;
};
// Appends an entry (start-up only) and returns its id; -1 when the table is full.
int RegisterBuiltinVariable(std::string_view name, BuiltinVarRead read, BuiltinVarWrite write);
int FindBuiltinVariable(std::string_view name);
const RBuiltinVariable* GetBuiltinVariable(int id);

// ---- globals ----
void ResetGlobalVariables();
void DeclareGlobalVariable(int id);
namespace variable_detail {
inline const uint8_t* g_declaredData = nullptr;
inline size_t g_declaredSize = 0;
}  // namespace variable_detail
// True once `globalvar` declared the user variable: plain uses of its name then mean the global.
inline bool IsDeclaredGlobal(int id) {
  const size_t pos = static_cast<size_t>(id) - kUserVariableBase;  // ids below the base wrap to huge values
  return id >= kUserVariableBase && pos < variable_detail::g_declaredSize && variable_detail::g_declaredData[pos];
}
CVariableList& GlobalVariables();
void WriteGlobalVariables(CStream& s);
// Returns false and changes nothing when the version is not 700.
bool ReadGlobalVariables(CStream& s);

// ---- access by instance and target ----
bool GetInstanceVariable(CInstance* inst, int id, int64_t index, RValue& out);
bool SetInstanceVariable(CInstance* inst, int id, int64_t index, const RValue& v);
// Targets all (-3), object (0…99999), instance id (>= 100000); other negatives: not found / failure.
bool GetTargetVariable(int target, int id, int64_t index, RValue& out);
bool SetTargetVariable(int target, int id, int64_t index, const RValue& v);

}  // namespace kv
