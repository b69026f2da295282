#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "functions/call_builtin.h"
#include "functions/function_math.h"
#include "structures/ds_common.h"
#include "structures/ds_tables.h"
#include "structures/function_data_structures.h"

namespace kv {
namespace {

using test::BuiltinCaller;
using test::S;

class DataStructures : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterDataStructureFunctions();
    ResetDataStructures();
  }
  void TearDown() override { ResetDataStructures(); }

  std::vector<std::string> ListTexts(double id) {
    std::vector<std::string> out;
    double n = call.Real("ds_list_size", {id});
    for (double i = 0; i < n; ++i) {
      RValue v = call.Call("ds_list_find_value", {id, i});
      std::string text = v.IsReal() ? RealToText(v.Real()) : v.ToStdString();
      if (v.IsString()) {
        std::string quoted = "'";
        quoted.append(text).append("'");
        text = quoted;
      }
      out.push_back(text);
    }
    return out;
  }

  BuiltinCaller call;
};

using Texts = std::vector<std::string>;

TEST_F(DataStructures, IdsTakeTheLowestFreeSlotPerKind) {
  EXPECT_EQ(call.Real("ds_stack_create"), 0);
  EXPECT_EQ(call.Real("ds_stack_create"), 1);
  EXPECT_EQ(call.Real("ds_list_create"), 0);  // each kind numbers on its own
  call.Call("ds_stack_destroy", {0.0});
  EXPECT_EQ(call.Real("ds_stack_create"), 0);
  EXPECT_EQ(call.Real("ds_stack_create"), 2);
  call.Call("ds_stack_destroy", {2.0});
  call.Call("ds_stack_destroy", {1.0});
  EXPECT_EQ(call.Real("ds_stack_create"), 1);  // lowest first, whatever the destroy order
  EXPECT_EQ(call.Real("ds_stack_create"), 2);
  call.Call("ds_stack_destroy", {0.4});  // ids are rounded
  EXPECT_EQ(call.Real("ds_stack_size", {0.0}), 0);
  EXPECT_TRUE(call.TookError(kNoDataStructureMessage));
}

TEST_F(DataStructures, EveryFunctionReportsAMissingStructureOnce) {
  // Every ds_ function except the creators and ds_set_precision, called on an id that does not exist.
  std::vector<std::string> names;
  for (int id = 0; id < BuiltinFunctionCount(); ++id) {
    const RBuiltinFunction* f = GetBuiltinFunction(id);
    if (f->name.rfind("ds_", 0) != 0 || f->name == "ds_set_precision") continue;
    if (f->name.size() >= 7 && f->name.compare(f->name.size() - 7, 7, "_create") == 0) continue;
    names.push_back(f->name);
  }
  EXPECT_EQ(names.size(), 110u - 7u);
  for (const std::string& name : names) {
    const RBuiltinFunction* f = GetBuiltinFunction(FindBuiltinFunction(name));
    RValue args[kMaxCallArgs];
    args[0] = 5.0;
    RValue result;
    f->handler(result, nullptr, nullptr, f->argCount, args);
    EXPECT_TRUE(call.TookError(kNoDataStructureMessage)) << name;
    EXPECT_TRUE(result.IsReal() && result.Real() == 0) << name;
  }
  // Copies report a missing source too.
  double stack = call.Real("ds_stack_create");
  call.Call("ds_stack_copy", {stack, 7.0});
  EXPECT_TRUE(call.TookError(kNoDataStructureMessage));
  double grid = call.Real("ds_grid_create", {2.0, 2.0});
  call.Call("ds_grid_add_grid_region", {grid, 9.0, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0});
  EXPECT_TRUE(call.TookError(kNoDataStructureMessage));
}

TEST_F(DataStructures, PrecisionRules) {
  double l = call.Real("ds_list_create");
  call.Call("ds_list_add", {l, 0.1 + 0.2});
  call.Call("ds_list_add", {l, 1.0});
  call.Call("ds_list_add", {l, S("0.3")});
  EXPECT_EQ(call.Real("ds_list_find_index", {l, 0.3}), 0);
  EXPECT_EQ(call.Real("ds_list_find_index", {l, 1.000000005}), 1);
  EXPECT_EQ(call.Real("ds_list_find_index", {l, S("0.3")}), 2);  // strings never equal reals
  call.Call("ds_set_precision", {0.0});
  EXPECT_EQ(call.Real("ds_list_find_index", {l, 0.3}), 0);  // relative tolerance still equates them
  EXPECT_EQ(call.Real("ds_list_find_index", {l, 1.0001}), -1);
  call.Call("ds_set_precision", {-0.5});  // absolute value
  EXPECT_EQ(call.Real("ds_list_find_index", {l, 1.4}), 1);
}

TEST_F(DataStructures, StacksAndQueues) {
  double s = call.Real("ds_stack_create");
  EXPECT_EQ(call.Real("ds_stack_pop", {s}), 0);
  EXPECT_EQ(call.Real("ds_stack_empty", {s}), 1);
  call.Call("ds_stack_push", {s, 1.0});
  call.Call("ds_stack_push", {s, S("two")});
  EXPECT_EQ(call.Str("ds_stack_top", {s}), "two");
  EXPECT_EQ(call.Str("ds_stack_pop", {s}), "two");
  EXPECT_EQ(call.Real("ds_stack_size", {s}), 1);

  double q = call.Real("ds_queue_create");
  for (int i = 0; i < 20; ++i) call.Call("ds_queue_enqueue", {q, double(i)});
  EXPECT_EQ(call.Real("ds_queue_tail", {q}), 19);
  for (int i = 0; i < 17; ++i) EXPECT_EQ(call.Real("ds_queue_dequeue", {q}), i);
  const CDS_Queue* queue = GetDsTables().queues.Get(0);
  EXPECT_EQ(queue->HeadIndex(), 0);  // compacted on the 17th dequeue
  EXPECT_EQ(queue->TailIndex(), 3);
  EXPECT_EQ(queue->ArrayLength(), 32u);
  std::string text = call.Str("ds_queue_write", {q});
  EXPECT_EQ(text.substr(0, 32), "C9000000030000000000000020000000");  // 201, tail 3, head 0, length 32
  EXPECT_EQ(call.Real("ds_queue_head", {q}), 17);
  EXPECT_EQ(call.Real("ds_queue_size", {q}), 3);
}

TEST_F(DataStructures, QueueCompactsOnlyPastSixteen) {
  CDS_Queue q;
  for (int i = 0; i < 40; ++i) q.Enqueue(RValue(double(i)));
  for (int i = 0; i < 16; ++i) q.Dequeue();
  EXPECT_EQ(q.HeadIndex(), 16);  // head > 16 is needed
  q.Dequeue();
  EXPECT_EQ(q.HeadIndex(), 17);  // 17 > 40 div 2 fails
  for (int i = 0; i < 4; ++i) q.Dequeue();
  EXPECT_EQ(q.HeadIndex(), 0);  // 21 > 20
  EXPECT_EQ(q.TailIndex(), 19);
  EXPECT_EQ(q.Head().Real(), 21);
}

TEST_F(DataStructures, ListEditingAndSorting) {
  double l = call.Real("ds_list_create");
  for (RValue v : {RValue(3.0), S("a"), RValue(1.0), RValue(2.0)}) call.Call("ds_list_add", {l, v});
  call.Call("ds_list_sort", {l, 1.0});
  EXPECT_EQ(ListTexts(l), (Texts{"1", "2", "3", "'a'"}));
  call.Call("ds_list_sort", {l, 0.0});
  EXPECT_EQ(ListTexts(l), (Texts{"'a'", "3", "2", "1"}));
  call.Call("ds_list_insert", {l, 4.0, S("end")});  // pos = size appends
  call.Call("ds_list_insert", {l, 9.0, S("no")});
  call.Call("ds_list_insert", {l, -1.0, S("no")});
  call.Call("ds_list_replace", {l, 0.0, S("A")});
  call.Call("ds_list_replace", {l, 5.0, S("no")});
  call.Call("ds_list_delete", {l, 1.0});
  call.Call("ds_list_delete", {l, 4.0});
  EXPECT_EQ(ListTexts(l), (Texts{"'A'", "2", "1", "'end'"}));
  EXPECT_EQ(call.Real("ds_list_find_value", {l, 4.0}), 0);
  EXPECT_EQ(call.Real("ds_list_find_index", {l, S("zzz")}), -1);
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(DataStructures, SortFastPathMatchesTheInsertionSort) {
  // Lists long enough for the fast path, with repeated reals and strings.
  GameRandom::SetSeed(99);
  for (int round = 0; round < 50; ++round) {
    std::vector<RValue> items;
    int n = 17 + static_cast<int>(GameRandom::NextInt(40));
    for (int i = 0; i < n; ++i) {
      int64_t k = GameRandom::NextInt(8);
      if (k < 6) items.push_back(RValue(static_cast<double>(GameRandom::NextInt(5))));
      else items.push_back(RValue(std::string(1, static_cast<char>('a' + GameRandom::NextInt(3)))));
    }
    for (bool ascending : {true, false}) {
      std::vector<RValue> literal = items;
      DsInsertionSort(literal, ascending);
      CDS_List list;
      for (const RValue& v : items) list.Add(v);
      list.Sort(ascending);
      ASSERT_EQ(list.Items().size(), literal.size());
      for (size_t i = 0; i < literal.size(); ++i) ASSERT_TRUE(list.Items()[i] == literal[i]) << round << " " << i;
    }
  }
}

TEST_F(DataStructures, SortStabilityOnEqualValues) {
  // Values within the precision are equal but distinguishable: ascending keeps their order, descending
  // reverses it.
  CDS_List list;
  for (double v : {1.0, 1.000000001, 0.0, 1.000000002}) list.Add(RValue(v));
  list.Sort(true);
  EXPECT_EQ(list.Items()[1].Real(), 1.0);
  EXPECT_EQ(list.Items()[2].Real(), 1.000000001);
  EXPECT_EQ(list.Items()[3].Real(), 1.000000002);
  list.Sort(false);
  EXPECT_EQ(list.Items()[0].Real(), 1.000000002);
  EXPECT_EQ(list.Items()[1].Real(), 1.000000001);
  EXPECT_EQ(list.Items()[2].Real(), 1.0);
}

TEST_F(DataStructures, ShufflesDrawFromTheGameGenerator) {
  double l = call.Real("ds_list_create");
  for (int i = 0; i < 10; ++i) call.Call("ds_list_add", {l, double(i)});
  GameRandom::SetSeed(5);
  call.Call("ds_list_shuffle", {l});
  Texts first = ListTexts(l);
  EXPECT_EQ(GameRandom::Seed(), [] {
    GameRandom::SetSeed(5);
    for (int i = 0; i < 160; ++i) GameRandom::NextReal();  // 10 * 8 swaps, two draws each
    return GameRandom::Seed();
  }());
  call.Call("ds_list_clear", {l});
  for (int i = 0; i < 10; ++i) call.Call("ds_list_add", {l, double(i)});
  GameRandom::SetSeed(5);
  call.Call("ds_list_shuffle", {l});
  EXPECT_EQ(ListTexts(l), first);
  EXPECT_NE(first, (Texts{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));
}

TEST_F(DataStructures, MapsKeepSortedKeysWithDuplicates) {
  double m = call.Real("ds_map_create");
  call.Call("ds_map_add", {m, S("k"), 1.0});
  call.Call("ds_map_add", {m, S("k"), 2.0});
  EXPECT_EQ(call.Real("ds_map_size", {m}), 2);
  EXPECT_EQ(call.Real("ds_map_find_value", {m, S("k")}), 1);  // the first added
  call.Call("ds_map_delete", {m, S("k")});
  EXPECT_EQ(call.Real("ds_map_find_value", {m, S("k")}), 2);
  call.Call("ds_map_replace", {m, S("k"), 3.0});
  EXPECT_EQ(call.Real("ds_map_find_value", {m, S("k")}), 3);
  call.Call("ds_map_replace", {m, S("absent"), 3.0});
  EXPECT_EQ(call.Real("ds_map_exists", {m, S("absent")}), 0);
  call.Call("ds_map_clear", {m});

  for (double k : {5.0, 1.0, 3.0}) call.Call("ds_map_add", {m, k, k * 10});
  struct Case {
    const char* fn;
    double key;
    double expected;
  } cases[] = {
      {"ds_map_find_next", 3, 5},     {"ds_map_find_next", 5, 0},      {"ds_map_find_previous", 3, 1},
      {"ds_map_find_previous", 1, 0}, {"ds_map_find_previous", 10, 0}, {"ds_map_find_next", 0, 1},
      {"ds_map_find_value", 3.000000001, 30}, {"ds_map_exists", 2, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(call.Real(c.fn, {m, c.key}), c.expected) << c.fn << " " << c.key;
  EXPECT_EQ(call.Real("ds_map_find_first", {m}), 1);
  EXPECT_EQ(call.Real("ds_map_find_last", {m}), 5);

  // Strings sort after every real, bytewise.
  call.Call("ds_map_add", {m, S("b"), 0.0});
  call.Call("ds_map_add", {m, S("B"), 0.0});
  call.Call("ds_map_add", {m, S("ab"), 0.0});
  EXPECT_EQ(call.Str("ds_map_find_last", {m}), "b");
  EXPECT_EQ(call.Str("ds_map_find_next", {m, 5.0}), "B");
  EXPECT_EQ(call.Str("ds_map_find_next", {m, S("B")}), "ab");
  EXPECT_EQ(call.Str("ds_map_find_next", {m, S("a")}), "ab");
  EXPECT_EQ(call.Real("ds_map_find_next", {m, S("b")}), 0);
  EXPECT_EQ(call.Real("ds_map_find_previous", {m, S("B")}), 5);
  EXPECT_EQ(call.Str("ds_map_find_previous", {m, S("b")}), "ab");
  EXPECT_EQ(call.Real("ds_map_find_previous", {m, S("c")}), 0);  // Lower is -1: nothing before
  EXPECT_EQ(call.Real("ds_map_find_previous", {m, 10.0}), 5);    // Lower is the first string
  EXPECT_EQ(call.Real("ds_map_find_first", {m}), 1);
}

TEST_F(DataStructures, MapRealKeysUseTheTolerance) {
  CDS_Map map;
  map.Add(RValue(0.1 + 0.2), RValue(S("sum")));
  EXPECT_TRUE(map.Exists(RValue(0.3)));
  EXPECT_EQ(map.FindValue(RValue(0.3)).ToStdString(), "sum");
  for (int i = 0; i < 100; ++i) map.Add(RValue(double(i)), RValue(double(i)));  // exercise the halving
  EXPECT_EQ(map.FindValue(RValue(57.0)).Real(), 57);
  EXPECT_EQ(map.FindNext(RValue(57.5)).Real(), 58);
  EXPECT_EQ(map.FindPrevious(RValue(57.5)).Real(), 57);
  map.Delete(RValue(57.0));
  EXPECT_FALSE(map.Exists(RValue(57.0)));
  EXPECT_EQ(map.Size(), 100u);
}

TEST_F(DataStructures, PriorityQueues) {
  double p = call.Real("ds_priority_create");
  call.Call("ds_priority_add", {p, S("a"), 1.0});
  call.Call("ds_priority_add", {p, S("b"), 1.0});
  call.Call("ds_priority_add", {p, S("c"), 1.0});
  EXPECT_EQ(call.Str("ds_priority_delete_min", {p}), "a");  // c moves into a's place
  EXPECT_EQ(call.Str("ds_priority_delete_min", {p}), "c");
  EXPECT_EQ(call.Str("ds_priority_delete_min", {p}), "b");
  EXPECT_EQ(call.Real("ds_priority_delete_min", {p}), 0);

  call.Call("ds_priority_add", {p, S("x"), 5.0});
  call.Call("ds_priority_add", {p, S("y"), 2.0});
  call.Call("ds_priority_add", {p, S("z"), 9.0});
  EXPECT_EQ(call.Str("ds_priority_find_max", {p}), "z");
  EXPECT_EQ(call.Str("ds_priority_find_min", {p}), "y");
  call.Call("ds_priority_change_priority", {p, S("x"), 1.0});
  EXPECT_EQ(call.Real("ds_priority_find_priority", {p, S("x")}), 1);
  EXPECT_EQ(call.Real("ds_priority_find_priority", {p, S("none")}), 0);
  call.Call("ds_priority_delete_value", {p, S("x")});
  EXPECT_EQ(call.Str("ds_priority_delete_min", {p}), "y");
  EXPECT_EQ(call.Str("ds_priority_delete_max", {p}), "z");
  EXPECT_EQ(call.Real("ds_priority_empty", {p}), 1);
}

TEST_F(DataStructures, GridCellsRegionsAndDisks) {
  double g = call.Real("ds_grid_create", {4.0, 3.0});
  call.Call("ds_grid_set", {g, 1.0, 2.0, 5.0});
  call.Call("ds_grid_set", {g, 4.0, 0.0, 9.0});  // outside: nothing
  call.Call("ds_grid_add", {g, 1.0, 2.0, 2.0});
  call.Call("ds_grid_multiply", {g, 1.0, 2.0, 3.0});
  EXPECT_EQ(call.Real("ds_grid_get", {g, 1.0, 2.0}), 21);
  EXPECT_EQ(call.Real("ds_grid_get", {g, -1.0, 0.0}), 0);
  call.Call("ds_grid_set", {g, 0.0, 0.0, S("ab")});
  call.Call("ds_grid_add", {g, 0.0, 0.0, S("cd")});
  call.Call("ds_grid_multiply", {g, 0.0, 0.0, 2.0});  // strings do not multiply
  EXPECT_EQ(call.Str("ds_grid_get", {g, 0.0, 0.0}), "abcd");
  call.Call("ds_grid_add", {g, 0.0, 0.0, 7.0});  // mixed kinds: add sets
  EXPECT_EQ(call.Real("ds_grid_get", {g, 0.0, 0.0}), 7);

  call.Call("ds_grid_clear", {g, 1.0});
  call.Call("ds_grid_add_region", {g, 3.0, 2.0, 2.0, -5.0, 1.0});  // corners in any order, clipped
  EXPECT_EQ(call.Real("ds_grid_get_sum", {g, 0.0, 0.0, 9.0, 9.0}), 12 + 6);
  EXPECT_EQ(call.Real("ds_grid_get_max", {g, 0.0, 0.0, 9.0, 9.0}), 2);
  EXPECT_EQ(call.Real("ds_grid_get_mean", {g, 2.0, 0.0, 3.0, 2.0}), 2);
  call.Call("ds_grid_set_region", {g, 0.0, 0.0, 0.0, 2.0, S("s")});
  EXPECT_EQ(call.Real("ds_grid_get_max", {g, 0.0, 0.0, 0.0, 2.0}), -100000000);  // only strings
  EXPECT_EQ(call.Real("ds_grid_get_min", {g, 0.0, 0.0, 0.0, 2.0}), 100000000);
  EXPECT_EQ(call.Real("ds_grid_get_mean", {g, 0.0, 0.0, 0.0, 2.0}), 0);
  EXPECT_EQ(call.Real("ds_grid_value_x", {g, 0.0, 0.0, 3.0, 2.0, 2.0}), 2);  // column by column
  EXPECT_EQ(call.Real("ds_grid_value_y", {g, 0.0, 0.0, 3.0, 2.0, 2.0}), 0);
  EXPECT_EQ(call.Real("ds_grid_value_exists", {g, 0.0, 0.0, 3.0, 2.0, S("s")}), 1);
  EXPECT_EQ(call.Real("ds_grid_value_exists", {g, 0.0, 0.0, 3.0, 2.0, 42.0}), 0);

  double d = call.Real("ds_grid_create", {5.0, 5.0});
  call.Call("ds_grid_set_disk", {d, 2.0, 2.0, 1.0, 1.0});
  EXPECT_EQ(call.Real("ds_grid_get_sum", {d, 0.0, 0.0, 4.0, 4.0}), 5);  // centre and 4 neighbours
  EXPECT_EQ(call.Real("ds_grid_get_disk_sum", {d, 2.0, 2.0, 1.5}), 5);
  EXPECT_EQ(call.Real("ds_grid_get_disk_max", {d, 0.0, 0.0, 1.0}), 0);
  EXPECT_EQ(call.Real("ds_grid_value_disk_x", {d, 2.0, 2.0, 2.0, 1.0}), 1);
  EXPECT_EQ(call.Real("ds_grid_value_disk_y", {d, 2.0, 2.0, 2.0, 1.0}), 2);
  EXPECT_EQ(call.Real("ds_grid_value_disk_exists", {d, 0.0, 0.0, 1e30, 1.0}), 1);  // huge radius is clipped

  call.Call("ds_grid_resize", {d, 2.0, 3.0});
  EXPECT_EQ(call.Real("ds_grid_width", {d}), 2);
  EXPECT_EQ(call.Real("ds_grid_get", {d, 1.0, 2.0}), 1);
  call.Call("ds_grid_resize", {d, 3.0, 3.0});
  EXPECT_EQ(call.Real("ds_grid_get", {d, 2.0, 2.0}), 0);
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(DataStructures, GridRegionCopyWithinOneGridDoesNotSmear) {
  double g = call.Real("ds_grid_create", {5.0, 1.0});
  for (int x = 0; x < 5; ++x) call.Call("ds_grid_set", {g, double(x), 0.0, double(x + 1)});
  call.Call("ds_grid_set_grid_region", {g, g, 0.0, 0.0, 4.0, 0.0, 1.0, 0.0});
  std::vector<double> row;
  for (int x = 0; x < 5; ++x) row.push_back(call.Real("ds_grid_get", {g, double(x), 0.0}));
  EXPECT_EQ(row, (std::vector<double>{1, 1, 2, 3, 4}));
  call.Call("ds_grid_set_grid_region", {g, g, 1.0, 0.0, 4.0, 0.0, 0.0, 0.0});  // shift left
  row.clear();
  for (int x = 0; x < 5; ++x) row.push_back(call.Real("ds_grid_get", {g, double(x), 0.0}));
  EXPECT_EQ(row, (std::vector<double>{1, 2, 3, 4, 4}));

  // Negative destination offsets move the source start; the rectangle is cut to the destination.
  double src = call.Real("ds_grid_create", {3.0, 3.0});
  for (int x = 0; x < 3; ++x)
    for (int y = 0; y < 3; ++y) call.Call("ds_grid_set", {src, double(x), double(y), double(10 * x + y)});
  double dst = call.Real("ds_grid_create", {2.0, 2.0});
  call.Call("ds_grid_add_grid_region", {dst, src, 0.0, 0.0, 2.0, 2.0, -1.0, 1.0});
  EXPECT_EQ(call.Real("ds_grid_get", {dst, 0.0, 1.0}), 10);  // source (1,0)
  EXPECT_EQ(call.Real("ds_grid_get", {dst, 1.0, 1.0}), 20);  // source (2,0)
  EXPECT_EQ(call.Real("ds_grid_get", {dst, 0.0, 0.0}), 0);
  // Offsets at the edge of the integer range copy nothing (and do not overflow).
  call.Call("ds_grid_set_grid_region", {dst, src, 0.0, 0.0, 2.0, 2.0, 9.2e18, -9.2e18});
  call.Call("ds_grid_set_grid_region", {dst, src, 0.0, 0.0, 2.0, 2.0, -9.2e18, 9.2e18});
  EXPECT_EQ(call.Real("ds_grid_get", {dst, 1.0, 1.0}), 20);
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(DataStructures, GridSizesAreBounded) {
  EXPECT_EQ(call.Real("ds_grid_create", {100000.0, 100000.0}), -1);
  EXPECT_TRUE(call.TookError(kGridTooLargeMessage));
  double g = call.Real("ds_grid_create", {-3.0, 2.0});  // negative sizes count as 0
  EXPECT_EQ(call.Real("ds_grid_width", {g}), 0);
  call.Call("ds_grid_shuffle", {g});
  call.Call("ds_grid_resize", {g, 1e9, 1e9});
  EXPECT_TRUE(call.TookError(kGridTooLargeMessage));
  call.Call("ds_grid_resize", {g, 2.0, 2.0});
  EXPECT_EQ(call.Real("ds_grid_height", {g}), 2);
}

// ---- text forms ----

TEST(DsText, EmptyStackImage) {
  CDS_Stack s;
  EXPECT_EQ(s.Write(), "65" + std::string(14, '0'));
}

TEST(DsText, HexDecoding) {
  CDS_Stack s;
  s.Push(RValue(std::string_view("x")));
  std::string text = s.Write();
  CDS_Stack lower;
  std::string lowered = text;
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_TRUE(lower.Read(lowered));  // lower-case digits read too
  EXPECT_TRUE(lower.Read(text + "F"));  // a final odd digit is ignored
  EXPECT_EQ(lower.Top().ToStdString(), "x");
  std::string bad = text;
  bad[10] = 'G';
  CDS_Stack target;
  EXPECT_FALSE(target.Read(bad));
  EXPECT_EQ(target.Size(), 0u);
}

// Values that stress the text form: separators, hex-looking text, NUL bytes, high bytes, long strings.
std::vector<RValue> AwkwardValues() {
  return {RValue(0.0), RValue(-0.0), RValue(1.5), RValue(-1e300), RValue(4.9e-324),
          RValue(std::string_view("")), RValue(std::string_view("a,b;c\r\n\"q\"")),
          RValue(std::string_view("650000000000000000")), RValue(std::string_view("\0\xff\x80", 3)),
          RValue(std::string(300, 'z'))};
}

template <class T>
void ExpectRoundTrip(const T& original) {
  std::string text = original.Write();
  T copy = T();
  EXPECT_TRUE(copy.Read(text));
  EXPECT_EQ(copy.Write(), text);
}

TEST(DsText, EveryKindRoundTrips) {
  std::vector<RValue> values = AwkwardValues();
  CDS_Stack stack;
  CDS_Queue queue;
  CDS_List list;
  CDS_Map map;
  CDS_Priority prio;
  CDS_Grid grid(3, 4);
  for (size_t i = 0; i < values.size(); ++i) {
    stack.Push(values[i]);
    queue.Enqueue(values[i]);
    list.Add(values[i]);
    map.Add(values[i], values[(i + 1) % values.size()]);
    prio.Add(values[i], RValue(double(i % 3)));
    grid.Apply(DsCellOp::kSet, static_cast<int64_t>(i % 3), static_cast<int64_t>(i / 3), values[i]);
  }
  queue.Dequeue();
  ExpectRoundTrip(stack);
  ExpectRoundTrip(queue);
  ExpectRoundTrip(list);
  ExpectRoundTrip(map);
  ExpectRoundTrip(prio);
  std::string text = grid.Write();
  CDS_Grid copy(0, 0);
  EXPECT_TRUE(copy.Read(text));
  EXPECT_EQ(copy.Write(), text);
  EXPECT_EQ(copy.Width(), 3);

  // The read copy behaves like the original, not just writes like it.
  CDS_Stack readStack;
  ASSERT_TRUE(readStack.Read(stack.Write()));
  for (size_t i = values.size(); i-- > 0;) EXPECT_TRUE(readStack.Pop() == values[i]) << i;
  CDS_Map readMap;
  ASSERT_TRUE(readMap.Read(map.Write()));
  EXPECT_TRUE(readMap.FindValue(RValue(1.5)) == values[3]);
  EXPECT_TRUE(readMap.FindValue(RValue(std::string(300, 'z'))) == values[0]);
}

// Every truncation, a wrong kind code and a corrupted count must leave the target exactly as it was.
template <class T>
void ExpectBadTextsRefused(const T& source, T target) {
  std::string before = target.Write();
  std::string text = source.Write();
  for (size_t n = 0; n < text.size(); n += 2) {
    EXPECT_FALSE(target.Read(text.substr(0, n))) << n;
    ASSERT_EQ(target.Write(), before) << "changed after reading " << n << " digits";
  }
  std::string wrongKind = text;
  wrongKind[0] = wrongKind[0] == '0' ? '1' : '0';
  EXPECT_FALSE(target.Read(wrongKind));
  std::string hugeCount = text.substr(0, 8) + "FFFFFF7F" + text.substr(16);  // count 2^31-1
  EXPECT_FALSE(target.Read(hugeCount));
  EXPECT_EQ(target.Write(), before);
}

TEST(DsText, MalformedTextsLeaveTheStructureUnchanged) {
  std::vector<RValue> values = AwkwardValues();
  CDS_Stack stack, stackTarget;
  CDS_List list, listTarget;
  CDS_Map map, mapTarget;
  CDS_Priority prio, prioTarget;
  CDS_Queue queue, queueTarget;
  stackTarget.Push(RValue(7.0));
  listTarget.Add(RValue(std::string_view("keep")));
  mapTarget.Add(RValue(1.0), RValue(2.0));
  prioTarget.Add(RValue(1.0), RValue(2.0));
  queueTarget.Enqueue(RValue(3.0));
  for (const RValue& v : values) {
    stack.Push(v);
    list.Add(v);
    map.Add(v, v);
    prio.Add(v, v);
    queue.Enqueue(v);
  }
  ExpectBadTextsRefused(stack, stackTarget);
  ExpectBadTextsRefused(list, listTarget);
  ExpectBadTextsRefused(map, mapTarget);
  ExpectBadTextsRefused(prio, prioTarget);
  ExpectBadTextsRefused(queue, queueTarget);

  // Queue-specific: indices outside the array.
  std::string q = queue.Write();
  std::string before = queueTarget.Write();
  EXPECT_FALSE(queueTarget.Read(q.substr(0, 8) + "FF000000" + q.substr(16)));  // tail 255 > length
  EXPECT_FALSE(queueTarget.Read(q.substr(0, 16) + "0B000000" + q.substr(24)));  // head 11 > tail 10
  EXPECT_EQ(queueTarget.Write(), before);

  // Grid: sizes beyond the cell limit or the text's own length.
  CDS_Grid grid(2, 2), gridTarget(1, 1);
  std::string g = grid.Write();
  EXPECT_FALSE(gridTarget.Read(g.substr(0, 8) + "00000100" + "00000100"));  // 65536 x 65536
  EXPECT_FALSE(gridTarget.Read(g.substr(0, g.size() - 2)));
  EXPECT_FALSE(gridTarget.Read(g.substr(0, 8) + "FFFFFFFF" + g.substr(16)));  // negative width
  EXPECT_EQ(gridTarget.Width(), 1);

  // A value with an unknown kind or a non-finite real is malformed.
  DsImageWriter w;
  w.WriteInt(kDsListCode);
  w.WriteInt(1);
  w.WriteInt(0);
  w.WriteReal(std::numeric_limits<double>::infinity());
  w.WriteInt(0);
  EXPECT_FALSE(listTarget.Read(w.ToHex()));
  EXPECT_EQ(listTarget.Size(), 1u);
}

TEST_F(DataStructures, ReadWithAnotherKindsTextChangesNothing) {
  double s = call.Real("ds_stack_create");
  double l = call.Real("ds_list_create");
  call.Call("ds_stack_push", {s, 1.0});
  call.Call("ds_list_add", {l, 2.0});
  call.Call("ds_stack_read", {s, S(call.Str("ds_list_write", {l}))});
  EXPECT_EQ(call.Real("ds_stack_top", {s}), 1);
  call.Call("ds_stack_read", {s, 12.0});  // a real is an empty text
  EXPECT_EQ(call.Real("ds_stack_size", {s}), 1);
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(DataStructures, CopiesAreDeep) {
  double a = call.Real("ds_map_create");
  double b = call.Real("ds_map_create");
  call.Call("ds_map_add", {a, S("k"), 1.0});
  call.Call("ds_map_copy", {b, a});
  call.Call("ds_map_replace", {a, S("k"), 2.0});
  EXPECT_EQ(call.Real("ds_map_find_value", {b, S("k")}), 1);
  double g = call.Real("ds_grid_create", {1.0, 1.0});
  double h = call.Real("ds_grid_create", {3.0, 2.0});
  call.Call("ds_grid_set", {h, 2.0, 1.0, 5.0});
  call.Call("ds_grid_copy", {g, h});
  EXPECT_EQ(call.Real("ds_grid_width", {g}), 3);
  EXPECT_EQ(call.Real("ds_grid_get", {g, 2.0, 1.0}), 5);
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

TEST(DsText, NestedTextsSurviveInsideOtherStructures) {
  // A game keeps a map's text inside a list, writes the list, and rebuilds both in another run.
  CDS_Map map;
  map.Add(RValue(std::string_view("name")), RValue(std::string_view("a,b|c\"d")));
  map.Add(RValue(2.0), RValue(std::string_view("")));
  CDS_List outer;
  outer.Add(RValue(std::string_view(map.Write())));
  outer.Add(RValue(std::string_view("tail")));
  std::string saved = outer.Write();

  CDS_List outerAgain;
  ASSERT_TRUE(outerAgain.Read(saved));
  CDS_Map mapAgain;
  ASSERT_TRUE(mapAgain.Read(outerAgain.FindValue(0).Str()));
  EXPECT_EQ(mapAgain.FindValue(RValue(std::string_view("name"))).ToStdString(), "a,b|c\"d");
  EXPECT_TRUE(mapAgain.Exists(RValue(2.0)));
  EXPECT_EQ(outerAgain.FindValue(1).ToStdString(), "tail");
}

// Random corruption of valid texts: a read either refuses and changes nothing, or accepts a text whose
// structure writes back to a text that reads again to the same structure. Never a crash or a partial read.
template <class T>
void FuzzReads(const T& source, const T& target, uint32_t seed) {
  std::string text = source.Write();
  std::string before = target.Write();
  static const char kHex[] = "0123456789ABCDEF";
  GameRandom::SetSeed(seed);
  for (int round = 0; round < 300; ++round) {
    std::string bad = text;
    int edits = 1 + static_cast<int>(GameRandom::NextInt(4));
    for (int e = 0; e < edits; ++e) {
      size_t pos = static_cast<size_t>(GameRandom::NextInt(static_cast<int64_t>(bad.size())));
      bad[pos] = kHex[GameRandom::NextInt(16)];
    }
    if (GameRandom::NextInt(4) == 0) bad.resize(static_cast<size_t>(GameRandom::NextInt(static_cast<int64_t>(bad.size()))));
    T t = target;
    if (!t.Read(bad)) {
      ASSERT_EQ(t.Write(), before) << round;
      continue;
    }
    std::string again = t.Write();
    T u = target;
    ASSERT_TRUE(u.Read(again)) << round;
    ASSERT_EQ(u.Write(), again) << round;
  }
}

TEST(DsText, CorruptedTextsNeverHalfRead) {
  CDS_Stack stack;
  CDS_Queue queue;
  CDS_List list;
  CDS_Map map;
  CDS_Priority prio;
  CDS_Grid grid(3, 2);
  std::vector<RValue> values = {RValue(1.0), RValue(std::string_view("ab")), RValue(-2.5), RValue(std::string_view(""))};
  for (size_t i = 0; i < values.size(); ++i) {
    stack.Push(values[i]);
    queue.Enqueue(values[i]);
    list.Add(values[i]);
    map.Add(values[i], values[(i + 1) % values.size()]);
    prio.Add(values[i], RValue(double(i)));
    grid.Apply(DsCellOp::kSet, static_cast<int64_t>(i % 3), static_cast<int64_t>(i / 3), values[i]);
  }
  CDS_Stack stackTarget;
  stackTarget.Push(RValue(9.0));
  FuzzReads(stack, stackTarget, 1);
  FuzzReads(queue, CDS_Queue(), 2);
  FuzzReads(list, CDS_List(), 3);
  FuzzReads(map, CDS_Map(), 4);
  FuzzReads(prio, CDS_Priority(), 5);
  FuzzReads(grid, CDS_Grid(1, 1), 6);
}

}  // namespace
}  // namespace kv
