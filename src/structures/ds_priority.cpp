#include "structures/ds_priority.h"

#include "structures/ds_common.h"

namespace kv {

void CDS_Priority::Add(const RValue& value, const RValue& priority) {
  values_.push_back(value);
  priorities_.push_back(priority);
}

int64_t CDS_Priority::IndexOfValue(const RValue& value) const {
  for (size_t i = 0; i < values_.size(); ++i)
    if (DsEqual(values_[i], value)) return static_cast<int64_t>(i);
  return -1;
}

void CDS_Priority::ChangePriority(const RValue& value, const RValue& priority) {
  int64_t i = IndexOfValue(value);
  if (i >= 0) priorities_[static_cast<size_t>(i)] = priority;
}

RValue CDS_Priority::FindPriority(const RValue& value) const {
  int64_t i = IndexOfValue(value);
  return i >= 0 ? priorities_[static_cast<size_t>(i)] : RValue();
}

void CDS_Priority::RemoveAt(size_t i) {
  if (i + 1 != values_.size()) {
    values_[i] = std::move(values_.back());
    priorities_[i] = std::move(priorities_.back());
  }
  values_.pop_back();
  priorities_.pop_back();
}

void CDS_Priority::DeleteValue(const RValue& value) {
  int64_t i = IndexOfValue(value);
  if (i >= 0) RemoveAt(static_cast<size_t>(i));
}

int64_t CDS_Priority::Best(int sign) const {
  if (values_.empty()) return -1;
  size_t best = 0;
  for (size_t i = 1; i < priorities_.size(); ++i)
    if (DsCompare(priorities_[i], priorities_[best]) == sign) best = i;
  return static_cast<int64_t>(best);
}

RValue CDS_Priority::FindMin() const {
  int64_t i = Best(-1);
  return i >= 0 ? values_[static_cast<size_t>(i)] : RValue();
}
RValue CDS_Priority::FindMax() const {
  int64_t i = Best(1);
  return i >= 0 ? values_[static_cast<size_t>(i)] : RValue();
}
RValue CDS_Priority::DeleteMin() {
  int64_t i = Best(-1);
  if (i < 0) return RValue();
  RValue v = values_[static_cast<size_t>(i)];
  RemoveAt(static_cast<size_t>(i));
  return v;
}
RValue CDS_Priority::DeleteMax() {
  int64_t i = Best(1);
  if (i < 0) return RValue();
  RValue v = values_[static_cast<size_t>(i)];
  RemoveAt(static_cast<size_t>(i));
  return v;
}

std::string CDS_Priority::Write() const {
  DsImageWriter w;
  w.WriteInt(kDsPriorityCode);
  w.WriteInt(static_cast<int32_t>(values_.size()));
  for (const RValue& p : priorities_) w.WriteValue(p);
  for (const RValue& v : values_) w.WriteValue(v);
  return w.ToHex();
}

bool CDS_Priority::Read(std::string_view text) {
  DsImageReader r(text);
  if (!DsReadHeader(r, kDsPriorityCode)) return false;
  int32_t count = r.ReadInt();
  if (!r.CheckCount(count, 2 * DsImageReader::kMinValueBytes)) return false;
  std::vector<RValue> priorities, values;
  priorities.reserve(static_cast<size_t>(count));
  values.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count && r.ok(); ++i) priorities.push_back(r.ReadValue());
  for (int32_t i = 0; i < count && r.ok(); ++i) values.push_back(r.ReadValue());
  if (!r.ok()) return false;
  priorities_ = std::move(priorities);
  values_ = std::move(values);
  return true;
}

}  // namespace kv
