// CDS_Queue: first in, first out over one array items[head .. tail-1]. The array grows 16 slots at a time
// and is compacted (items moved to the front) when head > 16 and head > tail div 2 after a dequeue. The text
// form carries the whole array, consumed and spare slots included: 201, tail, head, length, values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "code/code_value.h"

namespace kv {

class CDS_Queue {
 public:
  void Clear();
  size_t Size() const { return static_cast<size_t>(tail_ - head_); }
  void Enqueue(const RValue& v);
  RValue Dequeue();     // real 0 when empty
  RValue Head() const;  // the value at the head, real 0 when empty
  RValue Tail() const;  // the last value added, real 0 when empty
  int32_t HeadIndex() const { return head_; }
  int32_t TailIndex() const { return tail_; }
  size_t ArrayLength() const { return items_.size(); }

  std::string Write() const;
  bool Read(std::string_view text);

 private:
  std::vector<RValue> items_;
  int32_t head_ = 0;
  int32_t tail_ = 0;
};

}  // namespace kv
