#include "code/code_docs.h"

#include <unordered_map>

namespace kv {

namespace {
template <typename Entry>
struct DocTable {
  std::vector<Entry> entries;
  std::unordered_map<std::string_view, size_t> byName;  // keys point into the static name strings

  template <typename Doc>
  void Add(const char* family, const Doc& doc) {
    auto it = byName.find(doc.name);
    if (it != byName.end()) {
      entries[it->second] = Entry{family, doc};
      return;
    }
    byName.emplace(doc.name, entries.size());
    entries.push_back(Entry{family, doc});
  }
  const Entry* Find(std::string_view name) const {
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
const std::vector<DescribedFunction>& FunctionDocs() { return Functions().entries; }
const std::vector<DescribedVariable>& VariableDocs() { return Variables().entries; }
const DescribedFunction* FindFunctionDoc(std::string_view name) { return Functions().Find(name); }
const DescribedVariable* FindVariableDoc(std::string_view name) { return Variables().Find(name); }

}  // namespace kv
