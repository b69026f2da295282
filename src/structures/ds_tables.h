// The six tables of live data structures. Each kind numbers its structures on its own: creating takes the
// lowest free slot, destroying empties it for reuse. Tables live for the whole program (room changes and
// restarts keep them).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "structures/ds_grid.h"
#include "structures/ds_list.h"
#include "structures/ds_map.h"
#include "structures/ds_priority.h"
#include "structures/ds_queue.h"
#include "structures/ds_stack.h"

namespace kv {

template <class T>
class DsTable {
 public:
  // Takes the lowest free slot (a min-heap of freed ids keeps this O(log n)), else appends one.
  int64_t Add(std::unique_ptr<T> s) {
    if (!free_.empty()) {
      std::pop_heap(free_.begin(), free_.end(), std::greater<>());
      int64_t id = free_.back();
      free_.pop_back();
      slots_[static_cast<size_t>(id)] = std::move(s);
      return id;
    }
    slots_.push_back(std::move(s));
    return static_cast<int64_t>(slots_.size()) - 1;
  }
  // nullptr for a negative id, one beyond the table or an empty slot.
  T* Get(int64_t id) const {
    if (id < 0 || id >= static_cast<int64_t>(slots_.size())) return nullptr;
    return slots_[static_cast<size_t>(id)].get();
  }
  bool Destroy(int64_t id) {
    if (!Get(id)) return false;
    slots_[static_cast<size_t>(id)].reset();
    free_.push_back(id);
    std::push_heap(free_.begin(), free_.end(), std::greater<>());
    return true;
  }
  void Clear() {
    slots_.clear();
    free_.clear();
  }
  size_t SlotCount() const { return slots_.size(); }

 private:
  std::vector<std::unique_ptr<T>> slots_;
  std::vector<int64_t> free_;  // min-heap of empty slots
};

struct DsTables {
  DsTable<CDS_Stack> stacks;
  DsTable<CDS_Queue> queues;
  DsTable<CDS_List> lists;
  DsTable<CDS_Map> maps;
  DsTable<CDS_Priority> priorities;
  DsTable<CDS_Grid> grids;
};

DsTables& GetDsTables();
// Destroys every structure and restores the default precision (program start, tests).
void ResetDataStructures();

}  // namespace kv
