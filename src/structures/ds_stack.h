// CDS_Stack: values pushed and popped at the top; text form 101, count, values bottom to top.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "code/code_value.h"

namespace kv {

class CDS_Stack {
 public:
  void Clear() { items_.clear(); }
  size_t Size() const { return items_.size(); }
  void Push(const RValue& v) { items_.push_back(v); }
  RValue Pop();            // real 0 when empty
  RValue Top() const;      // real 0 when empty
  const std::vector<RValue>& Items() const { return items_; }

  std::string Write() const;
  bool Read(std::string_view text);  // false (unchanged) for another kind or a malformed text

 private:
  std::vector<RValue> items_;  // the top is the last item
};

}  // namespace kv
