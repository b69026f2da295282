// CDS_Priority: unsorted (value, priority) pairs. Minimum and maximum scan from the front and keep the first
// strictly better pair; removing a pair moves the last pair into its place. Text form: 501, count,
// priorities, values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "code/code_value.h"

namespace kv {

class CDS_Priority {
 public:
  void Clear() {
    values_.clear();
    priorities_.clear();
  }
  size_t Size() const { return values_.size(); }
  void Add(const RValue& value, const RValue& priority);
  void ChangePriority(const RValue& value, const RValue& priority);  // first equal value
  RValue FindPriority(const RValue& value) const;                    // real 0 when absent
  void DeleteValue(const RValue& value);                             // first equal value
  RValue DeleteMin();
  RValue FindMin() const;
  RValue DeleteMax();
  RValue FindMax() const;

  std::string Write() const;
  bool Read(std::string_view text);

 private:
  int64_t IndexOfValue(const RValue& value) const;
  int64_t Best(int sign) const;  // -1 when empty
  void RemoveAt(size_t i);

  std::vector<RValue> values_;
  std::vector<RValue> priorities_;
};

}  // namespace kv
