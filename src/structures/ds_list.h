// CDS_List: values in order with positional insert/replace/delete, tolerant search, a stable insertion-sort
// order and shuffles from the game random generator. Text form: 301, count, values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "code/code_value.h"

namespace kv {

class CDS_List {
 public:
  void Clear() { items_.clear(); }
  size_t Size() const { return items_.size(); }
  void Add(const RValue& v) { items_.push_back(v); }
  void Insert(int64_t pos, const RValue& v);   // 0 <= pos <= size, else nothing
  void Replace(int64_t pos, const RValue& v);  // 0 <= pos < size
  void Delete(int64_t pos);                    // 0 <= pos < size
  int64_t FindIndex(const RValue& v) const;    // first equal value, or -1
  RValue FindValue(int64_t pos) const;         // real 0 out of range
  void Sort(bool ascending);
  void Shuffle();
  const std::vector<RValue>& Items() const { return items_; }

  std::string Write() const;
  bool Read(std::string_view text);

 private:
  std::vector<RValue> items_;
};

// The literal insertion sort the list order is defined by (public for tests that compare the fast path).
void DsInsertionSort(std::vector<RValue>& items, bool ascending);

}  // namespace kv
