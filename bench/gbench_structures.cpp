// Data-structure benchmarks: 1M ds_map inserts + lookups against a std::unordered_map<std::string, double>
// baseline measured in the same run (goal: within 2x), and ds_list appends.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "code/code_value.h"
#include "structures/ds_list.h"
#include "structures/ds_map.h"

namespace {

constexpr int kCount = 1000000;

const std::vector<std::string>& Keys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> k;
    k.reserve(kCount);
    for (int i = 0; i < kCount; ++i) k.push_back("key" + std::to_string(static_cast<int64_t>(i) * 7919 % kCount));
    return k;
  }();
  return keys;
}

const std::vector<kv::RValue>& KeyValues() {
  static const std::vector<kv::RValue> keys = [] {
    std::vector<kv::RValue> k;
    k.reserve(kCount);
    for (const std::string& s : Keys()) k.emplace_back(std::string_view(s));
    return k;
  }();
  return keys;
}

void BM_UnorderedMapBaseline(benchmark::State& state) {
  const std::vector<std::string>& keys = Keys();
  for (auto _ : state) {
    std::unordered_map<std::string, double> map;
    for (int i = 0; i < kCount; ++i) map.emplace(keys[i], i);
    double sum = 0;
    for (int i = 0; i < kCount; ++i) sum += map.find(keys[i])->second;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kCount * 2);
}
BENCHMARK(BM_UnorderedMapBaseline)->Unit(benchmark::kMillisecond);

void BM_DsMapStringKeys(benchmark::State& state) {
  const std::vector<kv::RValue>& keys = KeyValues();
  for (auto _ : state) {
    kv::CDS_Map map;
    for (int i = 0; i < kCount; ++i) map.Add(keys[i], kv::RValue(static_cast<double>(i)));
    double sum = 0;
    for (int i = 0; i < kCount; ++i) sum += map.FindValue(keys[i]).Real();
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kCount * 2);
}
BENCHMARK(BM_DsMapStringKeys)->Unit(benchmark::kMillisecond);

void BM_DsMapOrderedWalk(benchmark::State& state) {
  // find_first / find_next over every key: the sorted order is built once, then each step is a search.
  const std::vector<kv::RValue>& keys = KeyValues();
  kv::CDS_Map map;
  for (int i = 0; i < kCount / 10; ++i) map.Add(keys[i], kv::RValue(1.0));
  for (auto _ : state) {
    int n = 0;
    for (kv::RValue k = map.FindFirst(); k.IsString(); k = map.FindNext(k)) ++n;
    benchmark::DoNotOptimize(n);
  }
  state.SetItemsProcessed(state.iterations() * (kCount / 10));
}
BENCHMARK(BM_DsMapOrderedWalk)->Unit(benchmark::kMillisecond);

void BM_DsListAppend(benchmark::State& state) {
  for (auto _ : state) {
    kv::CDS_List list;
    for (int i = 0; i < kCount; ++i) list.Add(kv::RValue(static_cast<double>(i)));
    benchmark::DoNotOptimize(list.Size());
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_DsListAppend)->Unit(benchmark::kMillisecond);

}  // namespace
