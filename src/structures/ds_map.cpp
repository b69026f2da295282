#include "structures/ds_map.h"

#include <algorithm>

#include "structures/ds_common.h"

namespace kv {

namespace {
int CompareReals(double a, double b) {
  if (a == b || DsRealsEqual(a, b)) return 0;
  return a < b ? -1 : 1;
}
}  // namespace

void CDS_Map::Clear() {
  reals_.clear();
  strs_.clear();
  freeSlots_.clear();
  index_.clear();
  stringCount_ = 0;
  order_.clear();
  orderValid_ = true;
}

// Both searches halve the range while it spans more than 8 entries and scan the rest.
int64_t CDS_Map::LowerReal(double key) const {
  int64_t lo = 0, hi = static_cast<int64_t>(reals_.size()) - 1;
  while (hi - lo > 8) {
    int64_t mid = (lo + hi) / 2;
    if (CompareReals(reals_[static_cast<size_t>(mid)].key, key) < 0) lo = mid + 1;
    else hi = mid;
  }
  for (int64_t i = lo; i <= hi; ++i)
    if (CompareReals(reals_[static_cast<size_t>(i)].key, key) >= 0) return i;
  return -1;
}

int64_t CDS_Map::UpperReal(double key) const {
  int64_t lo = 0, hi = static_cast<int64_t>(reals_.size()) - 1;
  while (hi - lo > 8) {
    int64_t mid = (lo + hi) / 2;
    if (CompareReals(reals_[static_cast<size_t>(mid)].key, key) > 0) hi = mid - 1;
    else lo = mid;
  }
  for (int64_t i = hi; i >= lo; --i)
    if (CompareReals(reals_[static_cast<size_t>(i)].key, key) <= 0) return i;
  return -1;
}

const std::vector<int32_t>& CDS_Map::Order() const {
  if (!orderValid_) {
    order_.clear();
    order_.reserve(stringCount_);
    for (size_t i = 0; i < strs_.size(); ++i)
      if (strs_[i].alive) order_.push_back(static_cast<int32_t>(i));
    std::sort(order_.begin(), order_.end(), [this](int32_t a, int32_t b) {
      int c = CompareStrings(strs_[static_cast<size_t>(a)].key.Str(), strs_[static_cast<size_t>(b)].key.Str());
      return c != 0 ? c < 0 : strs_[static_cast<size_t>(a)].seq < strs_[static_cast<size_t>(b)].seq;
    });
    orderValid_ = true;
  }
  return order_;
}

RValue CDS_Map::KeyAt(int64_t combined) const {
  int64_t r = static_cast<int64_t>(reals_.size());
  if (combined < 0 || combined >= r + static_cast<int64_t>(stringCount_)) return RValue();
  if (combined < r) return RValue(reals_[static_cast<size_t>(combined)].key);
  return strs_[static_cast<size_t>(Order()[static_cast<size_t>(combined - r)])].key;
}

void CDS_Map::AddString(std::string_view key, const RValue& value) {
  int32_t slot;
  if (!freeSlots_.empty()) {
    slot = freeSlots_.back();
    freeSlots_.pop_back();
  } else {
    slot = static_cast<int32_t>(strs_.size());
    strs_.emplace_back();
  }
  StrEntry& e = strs_[static_cast<size_t>(slot)];
  e.key = RValue(key);
  e.value = value;
  e.seq = nextSeq_++;
  e.next = -1;
  e.alive = true;
  auto it = index_.find(key);
  if (it == index_.end()) {
    index_.emplace(std::string(key), Chain{slot, slot});
  } else {
    strs_[static_cast<size_t>(it->second.tail)].next = slot;
    it->second.tail = slot;
  }
  ++stringCount_;
  orderValid_ = false;
}

const CDS_Map::StrEntry* CDS_Map::FirstString(std::string_view key) const {
  auto it = index_.find(key);
  return it == index_.end() ? nullptr : &strs_[static_cast<size_t>(it->second.head)];
}

void CDS_Map::Add(const RValue& key, const RValue& value) {
  if (key.IsString()) {
    AddString(key.Str(), value);
    return;
  }
  int64_t pos = UpperReal(key.RealUnchecked()) + 1;
  reals_.insert(reals_.begin() + pos, RealEntry{key.RealUnchecked(), value});
}

void CDS_Map::Replace(const RValue& key, const RValue& value) {
  if (key.IsString()) {
    auto it = index_.find(key.Str());
    if (it != index_.end()) strs_[static_cast<size_t>(it->second.head)].value = value;
    return;
  }
  int64_t i = LowerReal(key.RealUnchecked());
  if (i >= 0 && CompareReals(reals_[static_cast<size_t>(i)].key, key.RealUnchecked()) == 0)
    reals_[static_cast<size_t>(i)].value = value;
}

void CDS_Map::Delete(const RValue& key) {
  if (key.IsString()) {
    auto it = index_.find(key.Str());
    if (it == index_.end()) return;
    int32_t slot = it->second.head;
    StrEntry& e = strs_[static_cast<size_t>(slot)];
    if (e.next < 0) index_.erase(it);
    else it->second.head = e.next;
    e = StrEntry();
    freeSlots_.push_back(slot);
    --stringCount_;
    orderValid_ = false;
    return;
  }
  int64_t i = LowerReal(key.RealUnchecked());
  if (i >= 0 && CompareReals(reals_[static_cast<size_t>(i)].key, key.RealUnchecked()) == 0)
    reals_.erase(reals_.begin() + i);
}

bool CDS_Map::Exists(const RValue& key) const {
  if (key.IsString()) return FirstString(key.Str()) != nullptr;
  int64_t i = LowerReal(key.RealUnchecked());
  return i >= 0 && CompareReals(reals_[static_cast<size_t>(i)].key, key.RealUnchecked()) == 0;
}

RValue CDS_Map::FindValue(const RValue& key) const {
  if (key.IsString()) {
    const StrEntry* e = FirstString(key.Str());
    return e ? e->value : RValue();
  }
  int64_t i = LowerReal(key.RealUnchecked());
  if (i >= 0 && CompareReals(reals_[static_cast<size_t>(i)].key, key.RealUnchecked()) == 0)
    return reals_[static_cast<size_t>(i)].value;
  return RValue();
}

// Previous and next follow the whole key list (reals, then strings): previous = key before Lower(key),
// next = key after Upper(key).
RValue CDS_Map::FindPrevious(const RValue& key) const {
  int64_t r = static_cast<int64_t>(reals_.size());
  int64_t lower;
  if (key.IsReal()) {
    lower = LowerReal(key.RealUnchecked());
    if (lower < 0 && stringCount_ > 0) lower = r;  // every string is greater than a real
  } else {
    const std::vector<int32_t>& order = Order();
    auto it = std::lower_bound(order.begin(), order.end(), key.Str(), [this](int32_t slot, std::string_view k) {
      return CompareStrings(strs_[static_cast<size_t>(slot)].key.Str(), k) < 0;
    });
    lower = it == order.end() ? -1 : r + (it - order.begin());
  }
  return lower >= 1 ? KeyAt(lower - 1) : RValue();
}

RValue CDS_Map::FindNext(const RValue& key) const {
  int64_t r = static_cast<int64_t>(reals_.size());
  int64_t upper;
  if (key.IsReal()) {
    upper = UpperReal(key.RealUnchecked());
  } else {
    const std::vector<int32_t>& order = Order();
    auto it = std::upper_bound(order.begin(), order.end(), key.Str(), [this](std::string_view k, int32_t slot) {
      return CompareStrings(k, strs_[static_cast<size_t>(slot)].key.Str()) < 0;
    });
    upper = r + (it - order.begin()) - 1;  // every real is smaller than a string
  }
  return KeyAt(upper + 1);
}

RValue CDS_Map::FindFirst() const { return KeyAt(0); }
RValue CDS_Map::FindLast() const { return KeyAt(static_cast<int64_t>(Size()) - 1); }

std::string CDS_Map::Write() const {
  DsImageWriter w;
  w.WriteInt(kDsMapCode);
  w.WriteInt(static_cast<int32_t>(Size()));
  const std::vector<int32_t>& order = Order();
  for (const RealEntry& e : reals_) w.WriteValue(RValue(e.key));
  for (int32_t slot : order) w.WriteValue(strs_[static_cast<size_t>(slot)].key);
  for (const RealEntry& e : reals_) w.WriteValue(e.value);
  for (int32_t slot : order) w.WriteValue(strs_[static_cast<size_t>(slot)].value);
  return w.ToHex();
}

bool CDS_Map::Read(std::string_view text) {
  DsImageReader r(text);
  if (!DsReadHeader(r, kDsMapCode)) return false;
  int32_t count = r.ReadInt();
  if (!r.CheckCount(count, 2 * DsImageReader::kMinValueBytes)) return false;
  std::vector<RValue> keys, values;
  keys.reserve(static_cast<size_t>(count));
  values.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count && r.ok(); ++i) keys.push_back(r.ReadValue());
  for (int32_t i = 0; i < count && r.ok(); ++i) values.push_back(r.ReadValue());
  if (!r.ok()) return false;
  // Real keys keep the order the text gives them (what the writer produced); strings take their text
  // order among equal keys.
  CDS_Map fresh;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].IsReal()) fresh.reals_.push_back(RealEntry{keys[i].RealUnchecked(), std::move(values[i])});
    else fresh.AddString(keys[i].Str(), values[i]);
  }
  *this = std::move(fresh);
  return true;
}

}  // namespace kv
