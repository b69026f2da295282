#include "structures/ds_queue.h"

#include <utility>

#include "structures/ds_common.h"

namespace kv {

void CDS_Queue::Clear() {
  items_.clear();
  head_ = tail_ = 0;
}

void CDS_Queue::Enqueue(const RValue& v) {
  if (static_cast<size_t>(tail_) >= items_.size()) items_.resize(items_.size() + 16);
  items_[static_cast<size_t>(tail_++)] = v;
}

RValue CDS_Queue::Dequeue() {
  if (head_ >= tail_) return RValue();
  // The consumed slot is emptied so a long-running queue does not keep old strings alive.
  RValue v = std::exchange(items_[static_cast<size_t>(head_++)], RValue());
  if (head_ > 16 && head_ > tail_ / 2) {
    int32_t n = tail_ - head_;
    for (int32_t i = 0; i < n; ++i) items_[static_cast<size_t>(i)] = std::move(items_[static_cast<size_t>(head_ + i)]);
    for (int32_t i = n; i < tail_; ++i) items_[static_cast<size_t>(i)] = RValue();
    head_ = 0;
    tail_ = n;
  }
  return v;
}

RValue CDS_Queue::Head() const { return head_ < tail_ ? items_[static_cast<size_t>(head_)] : RValue(); }
RValue CDS_Queue::Tail() const { return head_ < tail_ ? items_[static_cast<size_t>(tail_ - 1)] : RValue(); }

std::string CDS_Queue::Write() const {
  DsImageWriter w;
  w.WriteInt(kDsQueueCode);
  w.WriteInt(tail_);
  w.WriteInt(head_);
  w.WriteInt(static_cast<int32_t>(items_.size()));
  for (const RValue& v : items_) w.WriteValue(v);
  return w.ToHex();
}

bool CDS_Queue::Read(std::string_view text) {
  DsImageReader r(text);
  if (!DsReadHeader(r, kDsQueueCode)) return false;
  int32_t tail = r.ReadInt();
  int32_t head = r.ReadInt();
  int32_t n = r.ReadInt();
  if (!r.CheckCount(n, DsImageReader::kMinValueBytes)) return false;
  if (head < 0 || head > tail || tail > n) return false;  // indices outside the array: malformed
  std::vector<RValue> items;
  items.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n && r.ok(); ++i) items.push_back(r.ReadValue());
  if (!r.ok()) return false;
  items_ = std::move(items);
  head_ = head;
  tail_ = tail;
  return true;
}

}  // namespace kv
