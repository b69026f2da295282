#include "code/code_docs.h"

#include <cstddef>
#include <unordered_map>

namespace kv {

namespace {
template <typename Entry>
struct DocTable {
  std::vector<Entry> entries;  // [0, indexed) are unique and in byName; later ones are filed, not yet indexed
  std::unordered_map<std::string_view, size_t> byName;  // keys point into the static name strings
  size_t indexed = 0;

  template <typename Doc>
  void Add(const char* family, const Doc& doc) {
    entries.push_back(Entry{family, doc});
  }
  // Folds the entries filed since the last look-up into the index; a repeated name replaces its entry in place.
  void Index() {
    if (indexed == entries.size()) return;
    size_t kept = indexed;
    for (size_t i = indexed; i < entries.size(); ++i) {
      const auto [it, fresh] = byName.emplace(entries[i].doc.name, kept);
      if (fresh)
        entries[kept++] = entries[i];
      else
        entries[it->second] = entries[i];
    }
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(kept), entries.end());
    indexed = kept;
  }
  const Entry* Find(std::string_view name) {
    Index();
    auto it = byName.find(name);
    return it == byName.end() ? nullptr : &entries[it->second];
  }
};

DocTable<DescribedFunction>& Functions() {
  static DocTable<DescribedFunction> t;
  return t;
}
DocTable<DescribedVariable>& Variables() {
  static DocTable<DescribedVariable> t;
  return t;
}
}  // namespace

void DescribeFunctions(const char* family, std::initializer_list<FunctionDoc> docs) {
  for (const FunctionDoc& d : docs) Functions().Add(family, d);
}
void DescribeVariables(const char* family, std::initializer_list<VariableDoc> docs) {
  for (const VariableDoc& d : docs) Variables().Add(family, d);
}
const std::vector<DescribedFunction>& FunctionDocs() {
  Functions().Index();
  return Functions().entries;
}
const std::vector<DescribedVariable>& VariableDocs() {
  Variables().Index();
  return Variables().entries;
}
const DescribedFunction* FindFunctionDoc(std::string_view name) { return Functions().Find(name); }
const DescribedVariable* FindVariableDoc(std::string_view name) { return Variables().Find(name); }

}  // namespace kv
