// CDS_Map: key -> value pairs kept in key order (reals first, by value; then strings, bytewise), where equal
// keys may repeat and the later-added one follows. Lookups act on the first of equal keys.
//
// Layout: real keys live in one sorted array searched with the tolerant comparison (their order is what a
// tolerant insertion makes it). String keys compare exactly, so they live in a slot array with a hash index
// (O(1) add, find, replace, delete) and a lazily sorted order used only by first/last/next/previous and the
// text form. Text form: 401, count, keys in order, values in the same order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "code/code_value.h"

namespace kv {

class CDS_Map {
 public:
  void Clear();
  size_t Size() const { return reals_.size() + stringCount_; }
  void Add(const RValue& key, const RValue& value);      // after any equal keys; never replaces
  void Replace(const RValue& key, const RValue& value);  // first equal key; nothing when absent
  void Delete(const RValue& key);                        // first equal key
  bool Exists(const RValue& key) const;
  RValue FindValue(const RValue& key) const;             // real 0 when absent
  RValue FindPrevious(const RValue& key) const;          // largest key smaller than key, else real 0
  RValue FindNext(const RValue& key) const;              // smallest key greater than key, else real 0
  RValue FindFirst() const;
  RValue FindLast() const;

  std::string Write() const;
  bool Read(std::string_view text);

 private:
  struct RealEntry {
    double key;
    RValue value;
  };
  struct StrEntry {
    RValue key;
    RValue value;
    uint64_t seq = 0;    // insertion order among equal keys
    int32_t next = -1;   // next slot with the same key, in insertion order
    bool alive = false;
  };
  struct Chain {
    int32_t head;
    int32_t tail;
  };
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };

  int64_t LowerReal(double key) const;  // first index not smaller than key, -1 when all are smaller
  int64_t UpperReal(double key) const;  // last index not greater than key, -1 when all are greater
  const std::vector<int32_t>& Order() const;  // live string slots in key order
  RValue KeyAt(int64_t combined) const;       // key at an index of the whole ordered key list
  void AddString(std::string_view key, const RValue& value);
  const StrEntry* FirstString(std::string_view key) const;

  std::vector<RealEntry> reals_;
  std::vector<StrEntry> strs_;
  std::vector<int32_t> freeSlots_;
  std::unordered_map<std::string, Chain, Hash, std::equal_to<>> index_;
  size_t stringCount_ = 0;
  uint64_t nextSeq_ = 0;
  mutable std::vector<int32_t> order_;
  mutable bool orderValid_ = true;
};

}  // namespace kv
