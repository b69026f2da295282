#include "structures/ds_stack.h"

#include "structures/ds_common.h"

namespace kv {

RValue CDS_Stack::Pop() {
  if (items_.empty()) return RValue();
  RValue v = std::move(items_.back());
  items_.pop_back();
  return v;
}

RValue CDS_Stack::Top() const { return items_.empty() ? RValue() : items_.back(); }

std::string CDS_Stack::Write() const {
  DsImageWriter w;
  w.WriteInt(kDsStackCode);
  w.WriteInt(static_cast<int32_t>(items_.size()));
  for (const RValue& v : items_) w.WriteValue(v);
  return w.ToHex();
}

bool CDS_Stack::Read(std::string_view text) {
  DsImageReader r(text);
  if (!DsReadHeader(r, kDsStackCode)) return false;
  int32_t count = r.ReadInt();
  if (!r.CheckCount(count, DsImageReader::kMinValueBytes)) return false;
  std::vector<RValue> items;
  items.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count && r.ok(); ++i) items.push_back(r.ReadValue());
  if (!r.ok()) return false;
  items_ = std::move(items);
  return true;
}

}  // namespace kv
