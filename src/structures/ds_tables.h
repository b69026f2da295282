// The six tables of live data structures. Each kind numbers its structures on its own: creating takes the
// lowest free slot, destroying empties it for reuse. Tables live for the whole program (room changes and
// restarts keep them).
#pragma once

#include <cstdint>
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
  int64_t Add(std::unique_ptr<T> s) {
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (!slots_[i]) {
        slots_[i] = std::move(s);
        return static_cast<int64_t>(i);
      }
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
    return true;
  }
  void Clear() { slots_.clear(); }
  size_t SlotCount() const { return slots_.size(); }

 private:
  std::vector<std::unique_ptr<T>> slots_;
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
