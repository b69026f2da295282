#include "structures/ds_list.h"

#include <algorithm>

#include "functions/function_math.h"
#include "structures/ds_common.h"

namespace kv {

void CDS_List::Insert(int64_t pos, const RValue& v) {
  if (pos < 0 || pos > static_cast<int64_t>(items_.size())) return;
  items_.insert(items_.begin() + pos, v);
}

void CDS_List::Replace(int64_t pos, const RValue& v) {
  if (pos < 0 || pos >= static_cast<int64_t>(items_.size())) return;
  items_[static_cast<size_t>(pos)] = v;
}

void CDS_List::Delete(int64_t pos) {
  if (pos < 0 || pos >= static_cast<int64_t>(items_.size())) return;
  items_.erase(items_.begin() + pos);
}

int64_t CDS_List::FindIndex(const RValue& v) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (DsEqual(items_[i], v)) return static_cast<int64_t>(i);
  return -1;
}

RValue CDS_List::FindValue(int64_t pos) const {
  if (pos < 0 || pos >= static_cast<int64_t>(items_.size())) return RValue();
  return items_[static_cast<size_t>(pos)];
}

void DsInsertionSort(std::vector<RValue>& items, bool ascending) {
  for (size_t i = 1; i < items.size(); ++i) {
    for (size_t j = i; j > 0; --j) {
      int c = DsCompare(items[j - 1], items[j]);
      if (ascending ? c <= 0 : c > 0) break;
      std::swap(items[j - 1], items[j]);
    }
  }
}

namespace {
// The tolerant comparison is a strict weak order on the list unless two different reals lie within the
// precision of each other; only then does the order depend on the insertion sort's exact steps.
bool HasCloseDistinctReals(const std::vector<RValue>& items) {
  std::vector<double> reals;
  for (const RValue& v : items)
    if (v.IsReal()) reals.push_back(v.RealUnchecked());
  std::sort(reals.begin(), reals.end());
  for (size_t i = 1; i < reals.size(); ++i)
    if (reals[i - 1] != reals[i] && DsRealsEqual(reals[i - 1], reals[i])) return true;
  return false;
}
}  // namespace

void CDS_List::Sort(bool ascending) {
  if (items_.size() < 2) return;
  if (items_.size() <= 16 || HasCloseDistinctReals(items_)) {
    DsInsertionSort(items_, ascending);
    return;
  }
  // Same result as the insertion sort in O(n log n): ascending keeps equal values in order; descending
  // puts each value before the equal ones that preceded it, i.e. a stable sort of the reversed list.
  if (ascending) {
    std::stable_sort(items_.begin(), items_.end(),
                     [](const RValue& a, const RValue& b) { return DsCompare(a, b) < 0; });
  } else {
    std::reverse(items_.begin(), items_.end());
    std::stable_sort(items_.begin(), items_.end(),
                     [](const RValue& a, const RValue& b) { return DsCompare(a, b) > 0; });
  }
}

void CDS_List::Shuffle() {
  int64_t n = static_cast<int64_t>(items_.size());
  for (int64_t k = 0; k < n * 8; ++k) {
    int64_t a = GameRandom::NextInt(n);
    int64_t b = GameRandom::NextInt(n);
    std::swap(items_[static_cast<size_t>(a)], items_[static_cast<size_t>(b)]);
  }
}

std::string CDS_List::Write() const {
  DsImageWriter w;
  w.WriteInt(kDsListCode);
  w.WriteInt(static_cast<int32_t>(items_.size()));
  for (const RValue& v : items_) w.WriteValue(v);
  return w.ToHex();
}

bool CDS_List::Read(std::string_view text) {
  DsImageReader r(text);
  if (!DsReadHeader(r, kDsListCode)) return false;
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
