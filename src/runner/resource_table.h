#pragma once
// ResourceTable: the table of one resource kind (sounds, sprites, objects, ...). A resource is referred to by its
// index; an index is valid when it is in range and its slot is filled. Empty slots keep their place so the indices
// of the other resources never change.
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

template <class T>
class ResourceTable {
 public:
  // The name reported for an index without a resource.
  static constexpr std::string_view kUndefinedName = "<undefined>";

  int Count() const { return static_cast<int>(records_.size()); }

  bool Exists(int index) const { return index >= 0 && index < Count() && records_[index] != nullptr; }

  T* Get(int index) { return Exists(index) ? records_[index].get() : nullptr; }
  const T* Get(int index) const { return Exists(index) ? records_[index].get() : nullptr; }

  // The resource's name, or "<undefined>" for an index without a resource.
  std::string_view Name(int index) const { return Exists(index) ? std::string_view(names_[index]) : kUndefinedName; }

  // Exact, case-sensitive, first match among the filled slots; -1 when none. Empty slots are never found, not even
  // by the empty name.
  int Find(std::string_view name) const {
    for (int i = 0; i < Count(); ++i) {
      if (records_[i] != nullptr && names_[i] == name) return i;
    }
    return -1;
  }

  void Clear() {
    records_.clear();
    names_.clear();
  }

  // Appends a slot (a null record makes an empty slot with an empty name) and returns its index.
  int Add(std::string name, std::unique_ptr<T> record) {
    if (record == nullptr) name.clear();
    records_.push_back(std::move(record));
    names_.push_back(std::move(name));
    return Count() - 1;
  }

  // Replaces the record of an existing index (the name stays); false for an index out of range.
  bool Set(int index, std::unique_ptr<T> record) {
    if (index < 0 || index >= Count()) return false;
    records_[index] = std::move(record);
    if (records_[index] == nullptr) names_[index].clear();
    return true;
  }

  // Frees the resource; its slot stays, empty and nameless. False for an invalid index.
  bool Delete(int index) {
    if (!Exists(index)) return false;
    records_[index].reset();
    names_[index].clear();
    return true;
  }

  // Renames an index in range (runtime resources are named after their index once it is known).
  void SetName(int index, std::string name) {
    if (index >= 0 && index < Count()) names_[index] = std::move(name);
  }

  // The stored name of a slot in range, empty for an empty slot (used by the writers).
  const std::string& RawName(int index) const { return names_[index]; }

  void Reserve(size_t n) {
    records_.reserve(n);
    names_.reserve(n);
  }

 private:
  std::vector<std::unique_ptr<T>> records_;
  std::vector<std::string> names_;
};

}  // namespace kv
