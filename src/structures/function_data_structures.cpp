#include "structures/function_data_structures.h"

#include <algorithm>
#include <stdexcept>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "code/code_function.h"
#include "code/code_value.h"
#include "structures/ds_common.h"
#include "structures/ds_tables.h"

namespace kv {

DsTables& GetDsTables() {
  static DsTables tables;
  return tables;
}

void ResetDataStructures() {
  DsTables& t = GetDsTables();
  t.stacks.Clear();
  t.queues.Clear();
  t.lists.Clear();
  t.maps.Clear();
  t.priorities.Clear();
  t.grids.Clear();
  SetDsPrecision(0.00000001);
}

namespace {

#define KV_FN(name)                                                                              \
  void name([[maybe_unused]] RValue& result, CInstance*, CInstance*, [[maybe_unused]] int argc, \
            [[maybe_unused]] RValue* args)

int64_t I(const RValue* args, int i) { return RoundToInt64(args[i].Real()); }
double R(const RValue* args, int i) { return args[i].Real(); }
double B(bool b) { return b ? 1.0 : 0.0; }

// The structure named by args[i], or nullptr after reporting that it does not exist.
template <class T>
T* Find(const DsTable<T>& table, const RValue* args, int i = 0) {
  T* s = table.Get(I(args, i));
  if (!s) ReportRuntimeError(kNoDataStructureMessage);
  return s;
}

DsTables& Tables() { return GetDsTables(); }

// ---- the functions every kind except grids shares ----
template <class S, DsTable<S> DsTables::*kTable>
struct Common {
  static KV_FN(Create) { result = static_cast<double>((Tables().*kTable).Add(std::make_unique<S>())); }
  static KV_FN(Destroy) {
    if (!(Tables().*kTable).Destroy(I(args, 0))) ReportRuntimeError(kNoDataStructureMessage);
  }
  static KV_FN(Clear) {
    if (S* s = Find(Tables().*kTable, args)) s->Clear();
  }
  static KV_FN(Copy) {
    S* dst = Find(Tables().*kTable, args, 0);
    S* src = dst ? Find(Tables().*kTable, args, 1) : nullptr;
    if (dst && src && dst != src) *dst = *src;
  }
  static KV_FN(Size) {
    if (S* s = Find(Tables().*kTable, args)) result = static_cast<double>(s->Size());
  }
  static KV_FN(Empty) {
    if (S* s = Find(Tables().*kTable, args)) result = B(s->Size() == 0);
  }
  static KV_FN(Write) {
    if (S* s = Find(Tables().*kTable, args)) result.SetString(s->Write());
  }
  static KV_FN(Read) {
    if (S* s = Find(Tables().*kTable, args)) s->Read(args[1].Str());  // a bad text leaves the structure as it was
  }
};

using Stack = Common<CDS_Stack, &DsTables::stacks>;
using Queue = Common<CDS_Queue, &DsTables::queues>;
using List = Common<CDS_List, &DsTables::lists>;
using Map = Common<CDS_Map, &DsTables::maps>;
using Prio = Common<CDS_Priority, &DsTables::priorities>;

KV_FN(FnSetPrecision) { SetDsPrecision(R(args, 0)); }

// ---- stacks ----
KV_FN(FnStackPush) {
  if (auto* s = Find(Tables().stacks, args)) s->Push(args[1]);
}
KV_FN(FnStackPop) {
  if (auto* s = Find(Tables().stacks, args)) result = s->Pop();
}
KV_FN(FnStackTop) {
  if (auto* s = Find(Tables().stacks, args)) result = s->Top();
}

// ---- queues ----
KV_FN(FnQueueEnqueue) {
  if (auto* s = Find(Tables().queues, args)) s->Enqueue(args[1]);
}
KV_FN(FnQueueDequeue) {
  if (auto* s = Find(Tables().queues, args)) result = s->Dequeue();
}
KV_FN(FnQueueHead) {
  if (auto* s = Find(Tables().queues, args)) result = s->Head();
}
KV_FN(FnQueueTail) {
  if (auto* s = Find(Tables().queues, args)) result = s->Tail();
}

// ---- lists ----
KV_FN(FnListAdd) {
  if (auto* s = Find(Tables().lists, args)) s->Add(args[1]);
}
KV_FN(FnListInsert) {
  if (auto* s = Find(Tables().lists, args)) s->Insert(I(args, 1), args[2]);
}
KV_FN(FnListReplace) {
  if (auto* s = Find(Tables().lists, args)) s->Replace(I(args, 1), args[2]);
}
KV_FN(FnListDelete) {
  if (auto* s = Find(Tables().lists, args)) s->Delete(I(args, 1));
}
KV_FN(FnListFindIndex) {
  if (auto* s = Find(Tables().lists, args)) result = static_cast<double>(s->FindIndex(args[1]));
}
KV_FN(FnListFindValue) {
  if (auto* s = Find(Tables().lists, args)) result = s->FindValue(I(args, 1));
}
KV_FN(FnListSort) {
  if (auto* s = Find(Tables().lists, args)) s->Sort(IsTrue(R(args, 1)));
}
KV_FN(FnListShuffle) {
  if (auto* s = Find(Tables().lists, args)) s->Shuffle();
}

// ---- maps ----
KV_FN(FnMapAdd) {
  if (auto* s = Find(Tables().maps, args)) s->Add(args[1], args[2]);
}
KV_FN(FnMapReplace) {
  if (auto* s = Find(Tables().maps, args)) s->Replace(args[1], args[2]);
}
KV_FN(FnMapDelete) {
  if (auto* s = Find(Tables().maps, args)) s->Delete(args[1]);
}
KV_FN(FnMapExists) {
  if (auto* s = Find(Tables().maps, args)) result = B(s->Exists(args[1]));
}
KV_FN(FnMapFindValue) {
  if (auto* s = Find(Tables().maps, args)) result = s->FindValue(args[1]);
}
KV_FN(FnMapFindPrevious) {
  if (auto* s = Find(Tables().maps, args)) result = s->FindPrevious(args[1]);
}
KV_FN(FnMapFindNext) {
  if (auto* s = Find(Tables().maps, args)) result = s->FindNext(args[1]);
}
KV_FN(FnMapFindFirst) {
  if (auto* s = Find(Tables().maps, args)) result = s->FindFirst();
}
KV_FN(FnMapFindLast) {
  if (auto* s = Find(Tables().maps, args)) result = s->FindLast();
}

// ---- priority queues ----
KV_FN(FnPrioAdd) {
  if (auto* s = Find(Tables().priorities, args)) s->Add(args[1], args[2]);
}
KV_FN(FnPrioChange) {
  if (auto* s = Find(Tables().priorities, args)) s->ChangePriority(args[1], args[2]);
}
KV_FN(FnPrioFindPriority) {
  if (auto* s = Find(Tables().priorities, args)) result = s->FindPriority(args[1]);
}
KV_FN(FnPrioDeleteValue) {
  if (auto* s = Find(Tables().priorities, args)) s->DeleteValue(args[1]);
}
KV_FN(FnPrioDeleteMin) {
  if (auto* s = Find(Tables().priorities, args)) result = s->DeleteMin();
}
KV_FN(FnPrioFindMin) {
  if (auto* s = Find(Tables().priorities, args)) result = s->FindMin();
}
KV_FN(FnPrioDeleteMax) {
  if (auto* s = Find(Tables().priorities, args)) result = s->DeleteMax();
}
KV_FN(FnPrioFindMax) {
  if (auto* s = Find(Tables().priorities, args)) result = s->FindMax();
}

// ---- grids ----
// Negative sizes count as 0; sizes beyond CDS_Grid::kMaxCells are refused with a message.
bool GridSize(const RValue* args, int i, int32_t& w, int32_t& h) {
  int64_t gw = std::max<int64_t>(0, I(args, i)), gh = std::max<int64_t>(0, I(args, i + 1));
  if (!CDS_Grid::SizeAllowed(gw, gh) || gw > INT32_MAX || gh > INT32_MAX) {
    ReportRuntimeError(kGridTooLargeMessage);
    return false;
  }
  w = static_cast<int32_t>(gw);
  h = static_cast<int32_t>(gh);
  return true;
}

// A string cell grown past the longest string a value may hold is refused with a message.
template <class F>
void GuardStrings(F&& f) {
  try {
    f();
  } catch (const std::length_error&) {
    ReportRuntimeError(kStringTooLongMessage);
  }
}

KV_FN(FnGridCreate) {
  int32_t w, h;
  result = -1.0;
  if (GridSize(args, 0, w, h)) result = static_cast<double>(Tables().grids.Add(std::make_unique<CDS_Grid>(w, h)));
}
KV_FN(FnGridDestroy) {
  if (!Tables().grids.Destroy(I(args, 0))) ReportRuntimeError(kNoDataStructureMessage);
}
KV_FN(FnGridCopy) {
  CDS_Grid* dst = Find(Tables().grids, args, 0);
  CDS_Grid* src = dst ? Find(Tables().grids, args, 1) : nullptr;
  if (dst && src && dst != src) *dst = *src;
}
KV_FN(FnGridResize) {
  int32_t w, h;
  if (auto* s = Find(Tables().grids, args)) {
    if (GridSize(args, 1, w, h)) s->Resize(w, h);
  }
}
KV_FN(FnGridWidth) {
  if (auto* s = Find(Tables().grids, args)) result = s->Width();
}
KV_FN(FnGridHeight) {
  if (auto* s = Find(Tables().grids, args)) result = s->Height();
}
KV_FN(FnGridClear) {
  if (auto* s = Find(Tables().grids, args)) s->Fill(args[1]);
}

template <DsCellOp kOp>
struct GridOps {
  static KV_FN(Cell) {
    if (auto* s = Find(Tables().grids, args)) GuardStrings([&] { s->Apply(kOp, I(args, 1), I(args, 2), args[3]); });
  }
  static KV_FN(Region) {
    if (auto* s = Find(Tables().grids, args))
      GuardStrings([&] { s->ApplyRegion(kOp, I(args, 1), I(args, 2), I(args, 3), I(args, 4), args[5]); });
  }
  static KV_FN(Disk) {
    if (auto* s = Find(Tables().grids, args))
      GuardStrings([&] { s->ApplyDisk(kOp, R(args, 1), R(args, 2), R(args, 3), args[4]); });
  }
  static KV_FN(GridRegion) {
    CDS_Grid* dst = Find(Tables().grids, args, 0);
    CDS_Grid* src = dst ? Find(Tables().grids, args, 1) : nullptr;
    if (dst && src)
      GuardStrings([&] {
        dst->ApplyGridRegion(kOp, *src, I(args, 2), I(args, 3), I(args, 4), I(args, 5), I(args, 6), I(args, 7));
      });
  }
};
using GridSet = GridOps<DsCellOp::kSet>;
using GridAdd = GridOps<DsCellOp::kAdd>;
using GridMul = GridOps<DsCellOp::kMultiply>;

KV_FN(FnGridGet) {
  if (auto* s = Find(Tables().grids, args)) {
    int64_t x = I(args, 1), y = I(args, 2);
    if (s->Inside(x, y)) result = s->Cell(x, y);
  }
}

template <DsReduce kKind>
struct GridReduce {
  static KV_FN(Region) {
    if (auto* s = Find(Tables().grids, args)) result = s->ReduceRegion(kKind, I(args, 1), I(args, 2), I(args, 3), I(args, 4));
  }
  static KV_FN(Disk) {
    if (auto* s = Find(Tables().grids, args)) result = s->ReduceDisk(kKind, R(args, 1), R(args, 2), R(args, 3));
  }
};

// What a value search returns: 0 exists, 1 x, 2 y.
template <int kWhat>
struct GridSearch {
  static void Answer(RValue& result, bool found, int64_t x, int64_t y) {
    if (!found) return;
    result = kWhat == 0 ? 1.0 : static_cast<double>(kWhat == 1 ? x : y);
  }
  static KV_FN(Region) {
    int64_t x = 0, y = 0;
    if (auto* s = Find(Tables().grids, args)) {
      bool found = s->FindInRegion(args[5], I(args, 1), I(args, 2), I(args, 3), I(args, 4), x, y);
      Answer(result, found, x, y);
    }
  }
  static KV_FN(Disk) {
    int64_t x = 0, y = 0;
    if (auto* s = Find(Tables().grids, args)) {
      bool found = s->FindInDisk(args[4], R(args, 1), R(args, 2), R(args, 3), x, y);
      Answer(result, found, x, y);
    }
  }
};

KV_FN(FnGridShuffle) {
  if (auto* s = Find(Tables().grids, args)) s->Shuffle();
}
KV_FN(FnGridWrite) {
  if (auto* s = Find(Tables().grids, args)) result.SetString(s->Write());
}
KV_FN(FnGridRead) {
  if (auto* s = Find(Tables().grids, args)) s->Read(args[1].Str());
}

#undef KV_FN

}  // namespace

void RegisterDataStructureFunctions() {
  RegisterFunction("ds_set_precision", FnSetPrecision, 1);

  RegisterFunction("ds_stack_create", Stack::Create, 0);
  RegisterFunction("ds_stack_destroy", Stack::Destroy, 1);
  RegisterFunction("ds_stack_clear", Stack::Clear, 1);
  RegisterFunction("ds_stack_copy", Stack::Copy, 2);
  RegisterFunction("ds_stack_size", Stack::Size, 1);
  RegisterFunction("ds_stack_empty", Stack::Empty, 1);
  RegisterFunction("ds_stack_push", FnStackPush, 2);
  RegisterFunction("ds_stack_pop", FnStackPop, 1);
  RegisterFunction("ds_stack_top", FnStackTop, 1);
  RegisterFunction("ds_stack_write", Stack::Write, 1);
  RegisterFunction("ds_stack_read", Stack::Read, 2);

  RegisterFunction("ds_queue_create", Queue::Create, 0);
  RegisterFunction("ds_queue_destroy", Queue::Destroy, 1);
  RegisterFunction("ds_queue_clear", Queue::Clear, 1);
  RegisterFunction("ds_queue_copy", Queue::Copy, 2);
  RegisterFunction("ds_queue_size", Queue::Size, 1);
  RegisterFunction("ds_queue_empty", Queue::Empty, 1);
  RegisterFunction("ds_queue_enqueue", FnQueueEnqueue, 2);
  RegisterFunction("ds_queue_dequeue", FnQueueDequeue, 1);
  RegisterFunction("ds_queue_head", FnQueueHead, 1);
  RegisterFunction("ds_queue_tail", FnQueueTail, 1);
  RegisterFunction("ds_queue_write", Queue::Write, 1);
  RegisterFunction("ds_queue_read", Queue::Read, 2);

  RegisterFunction("ds_list_create", List::Create, 0);
  RegisterFunction("ds_list_destroy", List::Destroy, 1);
  RegisterFunction("ds_list_clear", List::Clear, 1);
  RegisterFunction("ds_list_copy", List::Copy, 2);
  RegisterFunction("ds_list_size", List::Size, 1);
  RegisterFunction("ds_list_empty", List::Empty, 1);
  RegisterFunction("ds_list_add", FnListAdd, 2);
  RegisterFunction("ds_list_insert", FnListInsert, 3);
  RegisterFunction("ds_list_replace", FnListReplace, 3);
  RegisterFunction("ds_list_delete", FnListDelete, 2);
  RegisterFunction("ds_list_find_index", FnListFindIndex, 2);
  RegisterFunction("ds_list_find_value", FnListFindValue, 2);
  RegisterFunction("ds_list_sort", FnListSort, 2);
  RegisterFunction("ds_list_shuffle", FnListShuffle, 1);
  RegisterFunction("ds_list_write", List::Write, 1);
  RegisterFunction("ds_list_read", List::Read, 2);

  RegisterFunction("ds_map_create", Map::Create, 0);
  RegisterFunction("ds_map_destroy", Map::Destroy, 1);
  RegisterFunction("ds_map_clear", Map::Clear, 1);
  RegisterFunction("ds_map_copy", Map::Copy, 2);
  RegisterFunction("ds_map_size", Map::Size, 1);
  RegisterFunction("ds_map_empty", Map::Empty, 1);
  RegisterFunction("ds_map_add", FnMapAdd, 3);
  RegisterFunction("ds_map_replace", FnMapReplace, 3);
  RegisterFunction("ds_map_delete", FnMapDelete, 2);
  RegisterFunction("ds_map_exists", FnMapExists, 2);
  RegisterFunction("ds_map_find_value", FnMapFindValue, 2);
  RegisterFunction("ds_map_find_previous", FnMapFindPrevious, 2);
  RegisterFunction("ds_map_find_next", FnMapFindNext, 2);
  RegisterFunction("ds_map_find_first", FnMapFindFirst, 1);
  RegisterFunction("ds_map_find_last", FnMapFindLast, 1);
  RegisterFunction("ds_map_write", Map::Write, 1);
  RegisterFunction("ds_map_read", Map::Read, 2);

  RegisterFunction("ds_priority_create", Prio::Create, 0);
  RegisterFunction("ds_priority_destroy", Prio::Destroy, 1);
  RegisterFunction("ds_priority_clear", Prio::Clear, 1);
  RegisterFunction("ds_priority_copy", Prio::Copy, 2);
  RegisterFunction("ds_priority_size", Prio::Size, 1);
  RegisterFunction("ds_priority_empty", Prio::Empty, 1);
  RegisterFunction("ds_priority_add", FnPrioAdd, 3);
  RegisterFunction("ds_priority_change_priority", FnPrioChange, 3);
  RegisterFunction("ds_priority_find_priority", FnPrioFindPriority, 2);
  RegisterFunction("ds_priority_delete_value", FnPrioDeleteValue, 2);
  RegisterFunction("ds_priority_delete_min", FnPrioDeleteMin, 1);
  RegisterFunction("ds_priority_find_min", FnPrioFindMin, 1);
  RegisterFunction("ds_priority_delete_max", FnPrioDeleteMax, 1);
  RegisterFunction("ds_priority_find_max", FnPrioFindMax, 1);
  RegisterFunction("ds_priority_write", Prio::Write, 1);
  RegisterFunction("ds_priority_read", Prio::Read, 2);

  RegisterFunction("ds_grid_create", FnGridCreate, 2);
  RegisterFunction("ds_grid_destroy", FnGridDestroy, 1);
  RegisterFunction("ds_grid_copy", FnGridCopy, 2);
  RegisterFunction("ds_grid_resize", FnGridResize, 3);
  RegisterFunction("ds_grid_width", FnGridWidth, 1);
  RegisterFunction("ds_grid_height", FnGridHeight, 1);
  RegisterFunction("ds_grid_clear", FnGridClear, 2);
  RegisterFunction("ds_grid_set", GridSet::Cell, 4);
  RegisterFunction("ds_grid_add", GridAdd::Cell, 4);
  RegisterFunction("ds_grid_multiply", GridMul::Cell, 4);
  RegisterFunction("ds_grid_set_region", GridSet::Region, 6);
  RegisterFunction("ds_grid_add_region", GridAdd::Region, 6);
  RegisterFunction("ds_grid_multiply_region", GridMul::Region, 6);
  RegisterFunction("ds_grid_set_disk", GridSet::Disk, 5);
  RegisterFunction("ds_grid_add_disk", GridAdd::Disk, 5);
  RegisterFunction("ds_grid_multiply_disk", GridMul::Disk, 5);
  RegisterFunction("ds_grid_set_grid_region", GridSet::GridRegion, 8);
  RegisterFunction("ds_grid_add_grid_region", GridAdd::GridRegion, 8);
  RegisterFunction("ds_grid_multiply_grid_region", GridMul::GridRegion, 8);
  RegisterFunction("ds_grid_get", FnGridGet, 3);
  RegisterFunction("ds_grid_get_sum", GridReduce<DsReduce::kSum>::Region, 5);
  RegisterFunction("ds_grid_get_max", GridReduce<DsReduce::kMax>::Region, 5);
  RegisterFunction("ds_grid_get_min", GridReduce<DsReduce::kMin>::Region, 5);
  RegisterFunction("ds_grid_get_mean", GridReduce<DsReduce::kMean>::Region, 5);
  RegisterFunction("ds_grid_get_disk_sum", GridReduce<DsReduce::kSum>::Disk, 4);
  RegisterFunction("ds_grid_get_disk_min", GridReduce<DsReduce::kMin>::Disk, 4);
  RegisterFunction("ds_grid_get_disk_max", GridReduce<DsReduce::kMax>::Disk, 4);
  RegisterFunction("ds_grid_get_disk_mean", GridReduce<DsReduce::kMean>::Disk, 4);
  RegisterFunction("ds_grid_value_exists", GridSearch<0>::Region, 6);
  RegisterFunction("ds_grid_value_x", GridSearch<1>::Region, 6);
  RegisterFunction("ds_grid_value_y", GridSearch<2>::Region, 6);
  RegisterFunction("ds_grid_value_disk_exists", GridSearch<0>::Disk, 5);
  RegisterFunction("ds_grid_value_disk_x", GridSearch<1>::Disk, 5);
  RegisterFunction("ds_grid_value_disk_y", GridSearch<2>::Disk, 5);
  RegisterFunction("ds_grid_shuffle", FnGridShuffle, 1);
  RegisterFunction("ds_grid_write", FnGridWrite, 1);
  RegisterFunction("ds_grid_read", FnGridRead, 2);
  DescribeFunctions("Data structures", {
      {"ds_set_precision", "prec", "Sets how close two numbers must be to count as equal in every data structure."},
      {"ds_stack_create", "", "Creates an empty stack and returns its id."},
      {"ds_stack_destroy", "id", "Destroys the stack and frees its memory."},
      {"ds_stack_clear", "id", "Removes every entry of the stack."},
      {"ds_stack_copy", "id, source", "Makes stack id a copy of stack source."},
      {"ds_stack_size", "id", "The number of entries in the stack."},
      {"ds_stack_empty", "id", "Whether the stack is empty."},
      {"ds_stack_push", "id, val", "Pushes val on top of the stack."},
      {"ds_stack_pop", "id", "Removes the top value of the stack and returns it (0 when the stack is empty)."},
      {"ds_stack_top", "id", "The top value of the stack, left in place (0 when the stack is empty)."},
      {"ds_stack_write", "id", "The stack written as a string, for saving."},
      {"ds_stack_read", "id, str", "Fills the stack from a string made by ds_stack_write."},
      {"ds_queue_create", "", "Creates an empty queue and returns its id."},
      {"ds_queue_destroy", "id", "Destroys the queue and frees its memory."},
      {"ds_queue_clear", "id", "Removes every entry of the queue."},
      {"ds_queue_copy", "id, source", "Makes queue id a copy of queue source."},
      {"ds_queue_size", "id", "The number of entries in the queue."},
      {"ds_queue_empty", "id", "Whether the queue is empty."},
      {"ds_queue_enqueue", "id, val", "Adds val at the end of the queue."},
      {"ds_queue_dequeue", "id", "Removes the value at the head of the queue and returns it (0 when it is empty)."},
      {"ds_queue_head", "id", "The value at the head of the queue (the next to leave)."},
      {"ds_queue_tail", "id", "The value at the end of the queue (the last added)."},
      {"ds_queue_write", "id", "The queue written as a string, for saving."},
      {"ds_queue_read", "id, str", "Fills the queue from a string made by ds_queue_write."},
      {"ds_list_create", "", "Creates an empty list and returns its id."},
      {"ds_list_destroy", "id", "Destroys the list and frees its memory."},
      {"ds_list_clear", "id", "Removes every entry of the list."},
      {"ds_list_copy", "id, source", "Makes list id a copy of list source."},
      {"ds_list_size", "id", "The number of entries in the list."},
      {"ds_list_empty", "id", "Whether the list is empty."},
      {"ds_list_add", "id, val", "Appends val to the list."},
      {"ds_list_insert", "id, pos, val", "Inserts val at position pos of the list."},
      {"ds_list_replace", "id, pos, val", "Replaces the value at position pos of the list."},
      {"ds_list_delete", "id, pos", "Removes the value at position pos of the list."},
      {"ds_list_find_index", "id, val", "The position of the first val in the list, -1 when absent."},
      {"ds_list_find_value", "id, pos", "The value at position pos of the list (0 when pos is outside the list)."},
      {"ds_list_sort", "id, ascend", "Sorts the list, ascending when ascend is true, else descending."},
      {"ds_list_shuffle", "id", "Puts the values of the list in random order."},
      {"ds_list_write", "id", "The list written as a string, for saving."},
      {"ds_list_read", "id, str", "Fills the list from a string made by ds_list_write."},
      {"ds_map_create", "", "Creates an empty map and returns its id."},
      {"ds_map_destroy", "id", "Destroys the map and frees its memory."},
      {"ds_map_clear", "id", "Removes every entry of the map."},
      {"ds_map_copy", "id, source", "Makes map id a copy of map source."},
      {"ds_map_size", "id", "The number of entries in the map."},
      {"ds_map_empty", "id", "Whether the map is empty."},
      {"ds_map_add", "id, key, val", "Adds the key with its value to the map (keys may repeat)."},
      {"ds_map_replace", "id, key, val", "Replaces the value of the key in the map."},
      {"ds_map_delete", "id, key", "Removes the key and its value from the map."},
      {"ds_map_exists", "id, key", "Whether the key is in the map."},
      {"ds_map_find_value", "id, key",
       "The value of the key in the map (of the first one when the key repeats); 0 when the key is absent."},
      {"ds_map_find_previous", "id, key",
       "The largest key of the map below key; 0 when there is none, and also when key is above every key."},
      {"ds_map_find_next", "id, key", "The smallest key of the map above key; 0 when there is none."},
      {"ds_map_find_first", "id", "The smallest key of the map."},
      {"ds_map_find_last", "id", "The largest key of the map."},
      {"ds_map_write", "id", "The map written as a string, for saving."},
      {"ds_map_read", "id, str", "Fills the map from a string made by ds_map_write."},
      {"ds_priority_create", "", "Creates an empty priority queue and returns its id."},
      {"ds_priority_destroy", "id", "Destroys the priority queue and frees its memory."},
      {"ds_priority_clear", "id", "Removes every entry of the priority queue."},
      {"ds_priority_copy", "id, source", "Makes priority queue id a copy of priority queue source."},
      {"ds_priority_size", "id", "The number of entries in the priority queue."},
      {"ds_priority_empty", "id", "Whether the priority queue is empty."},
      {"ds_priority_add", "id, val, prio", "Adds val with priority prio to the priority queue."},
      {"ds_priority_change_priority", "id, val, prio", "Gives val in the priority queue the new priority prio."},
      {"ds_priority_find_priority", "id, val", "The priority of val in the priority queue."},
      {"ds_priority_delete_value", "id, val", "Removes val from the priority queue."},
      {"ds_priority_delete_min", "id", "Removes the value with the smallest priority and returns it."},
      {"ds_priority_find_min", "id", "The value with the smallest priority, left in place."},
      {"ds_priority_delete_max", "id", "Removes the value with the largest priority and returns it."},
      {"ds_priority_find_max", "id", "The value with the largest priority, left in place."},
      {"ds_priority_write", "id", "The priority queue written as a string, for saving."},
      {"ds_priority_read", "id, str", "Fills the priority queue from a string made by ds_priority_write."},
      {"ds_grid_create", "w, h", "Creates a grid of w by h cells, all 0, and returns its id."},
      {"ds_grid_destroy", "id", "Destroys the grid and frees its memory."},
      {"ds_grid_copy", "id, source", "Makes grid id a copy of grid source, size included."},
      {"ds_grid_resize", "id, w, h", "Resizes the grid; cells inside both sizes keep their values, new ones are 0."},
      {"ds_grid_width", "id", "The width of the grid in cells."},
      {"ds_grid_height", "id", "The height of the grid in cells."},
      {"ds_grid_clear", "id, val", "Sets every cell of the grid to val."},
      {"ds_grid_set", "id, x, y, val", "Sets cell (x, y) of the grid to val."},
      {"ds_grid_add", "id, x, y, val", "Adds val to cell (x, y) of the grid (strings are appended)."},
      {"ds_grid_multiply", "id, x, y, val", "Multiplies cell (x, y) of the grid by val."},
      {"ds_grid_set_region", "id, x1, y1, x2, y2, val", "Sets every cell in the rectangle to val."},
      {"ds_grid_add_region", "id, x1, y1, x2, y2, val", "Adds val to every cell in the rectangle."},
      {"ds_grid_multiply_region", "id, x1, y1, x2, y2, val", "Multiplies every cell in the rectangle by val."},
      {"ds_grid_set_disk", "id, xm, ym, r, val", "Sets every cell in the disk around (xm, ym) with radius r to val."},
      {"ds_grid_add_disk", "id, xm, ym, r, val", "Adds val to every cell in the disk around (xm, ym) with radius r."},
      {"ds_grid_multiply_disk", "id, xm, ym, r, val",
       "Multiplies every cell in the disk around (xm, ym) with radius r by val."},
      {"ds_grid_set_grid_region", "id, source, x1, y1, x2, y2, xpos, ypos",
       "Copies a rectangle of grid source into the grid at (xpos, ypos)."},
      {"ds_grid_add_grid_region", "id, source, x1, y1, x2, y2, xpos, ypos",
       "Adds a rectangle of grid source to the grid's cells at (xpos, ypos)."},
      {"ds_grid_multiply_grid_region", "id, source, x1, y1, x2, y2, xpos, ypos",
       "Multiplies the grid's cells at (xpos, ypos) by a rectangle of grid source."},
      {"ds_grid_get", "id, x, y", "The value of cell (x, y) of the grid."},
      {"ds_grid_get_sum", "id, x1, y1, x2, y2", "The sum of the numbers in the rectangle of the grid."},
      {"ds_grid_get_max", "id, x1, y1, x2, y2",
       "The largest of the numbers in the rectangle of the grid (-100000000 when it holds none)."},
      {"ds_grid_get_min", "id, x1, y1, x2, y2",
       "The smallest of the numbers in the rectangle of the grid (100000000 when it holds none)."},
      {"ds_grid_get_mean", "id, x1, y1, x2, y2", "The mean of the numbers in the rectangle of the grid."},
      {"ds_grid_get_disk_sum", "id, xm, ym, r",
       "The sum of the numbers in the disk of the grid around (xm, ym) with radius r."},
      {"ds_grid_get_disk_min", "id, xm, ym, r",
       "The smallest of the numbers in the disk of the grid around (xm, ym) with radius r."},
      {"ds_grid_get_disk_max", "id, xm, ym, r",
       "The largest of the numbers in the disk of the grid around (xm, ym) with radius r."},
      {"ds_grid_get_disk_mean", "id, xm, ym, r",
       "The mean of the numbers in the disk of the grid around (xm, ym) with radius r."},
      {"ds_grid_value_exists", "id, x1, y1, x2, y2, val", "Whether val is in the rectangle of the grid."},
      {"ds_grid_value_x", "id, x1, y1, x2, y2, val",
       "The x of the first cell (column by column) in the rectangle holding val; 0 when none does."},
      {"ds_grid_value_y", "id, x1, y1, x2, y2, val",
       "The y of the first cell (column by column) in the rectangle holding val; 0 when none does."},
      {"ds_grid_value_disk_exists", "id, xm, ym, r, val",
       "Whether val is in the disk of the grid around (xm, ym) with radius r."},
      {"ds_grid_value_disk_x", "id, xm, ym, r, val",
       "The x of the first cell (column by column) in the disk holding val; 0 when none does."},
      {"ds_grid_value_disk_y", "id, xm, ym, r, val",
       "The y of the first cell (column by column) in the disk holding val; 0 when none does."},
      {"ds_grid_shuffle", "id", "Puts the values of the grid's cells in random order."},
      {"ds_grid_write", "id", "The grid written as a string, for saving."},
      {"ds_grid_read", "id, str", "Fills the grid from a string made by ds_grid_write."},
  });
}

}  // namespace kv
