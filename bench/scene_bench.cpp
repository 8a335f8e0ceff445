// Scene storage rates. IdIndex is measured next to std::unordered_map with the same keys
// (the baseline); SpillArray next to itself in memory (the baseline for its spilled rate).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <unordered_map>
#include <vector>

#include "scene/id_index.h"
#include "scene/spill_array.h"

namespace tessaro {
namespace {

enum KeyPattern { kSequential, kScattered, kStrided };

// Strided IDs (multiples of 4096) share their low bits, the hash's worst case.
std::vector<std::uint32_t> makeKeys(std::int64_t pattern, std::size_t n) {
    std::vector<std::uint32_t> keys(n);
    std::mt19937 random(42);
    for (std::size_t i = 0; i < n; ++i) {
        const auto index = static_cast<std::uint32_t>(i);
        keys[i] = pattern == kSequential ? index : pattern == kStrided ? index << 12 : random();
    }
    return keys;
}

void IdIndexInsert(benchmark::State& state) {
    const auto keys = makeKeys(state.range(0), std::size_t(state.range(1)));
    for (auto _ : state) {
        IdIndex index;
        for (std::uint32_t key : keys)
            benchmark::DoNotOptimize(index.insert(key));
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
}

void UnorderedMapInsert(benchmark::State& state) {
    const auto keys = makeKeys(state.range(0), std::size_t(state.range(1)));
    for (auto _ : state) {
        std::unordered_map<std::uint32_t, std::uint32_t> map;
        for (std::uint32_t key : keys)
            benchmark::DoNotOptimize(map.try_emplace(key, std::uint32_t(map.size())));
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
}

void IdIndexFind(benchmark::State& state) {
    const auto keys = makeKeys(state.range(0), std::size_t(state.range(1)));
    IdIndex index;
    for (std::uint32_t key : keys)
        index.insert(key);
    for (auto _ : state) {
        for (std::uint32_t key : keys)
            benchmark::DoNotOptimize(index.find(key));
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
}

void UnorderedMapFind(benchmark::State& state) {
    const auto keys = makeKeys(state.range(0), std::size_t(state.range(1)));
    std::unordered_map<std::uint32_t, std::uint32_t> map;
    for (std::uint32_t key : keys)
        map.try_emplace(key, std::uint32_t(map.size()));
    for (auto _ : state) {
        for (std::uint32_t key : keys)
            benchmark::DoNotOptimize(map.find(key));
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
}

// Strided keys are measured at 16K only: every key probes the same slot sequence.
void hashArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"pattern", "n"});
    b->Args({kSequential, 1 << 20})->Args({kScattered, 1 << 20})->Args({kStrided, 1 << 14});
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(IdIndexInsert)->Apply(hashArgs);
BENCHMARK(UnorderedMapInsert)->Apply(hashArgs);
BENCHMARK(IdIndexFind)->Apply(hashArgs);
BENCHMARK(UnorderedMapFind)->Apply(hashArgs);

struct FaceRecord52 {
    std::int32_t words[13];
};
static_assert(sizeof(FaceRecord52) == 52);

constexpr std::uint32_t kRecords = 1000000;

// Spill limit as argument: above the count keeps the table in memory (baseline), a
// small one spills it at once. Appends the way the loader does: grow, then fill.
void SpillArrayAppend(benchmark::State& state) {
    for (auto _ : state) {
        SpillArray<FaceRecord52> array;
        array.reset(std::uint32_t(state.range(0)), "fcs");
        for (std::uint32_t i = 0; i < kRecords; ++i) {
            array.setCount(i + 1);
            array.at(i)->words[0] = std::int32_t(i);
        }
        benchmark::DoNotOptimize(array.size());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
    state.SetBytesProcessed(state.iterations() * kRecords * sizeof(FaceRecord52));
}

void SpillArraySequentialRead(benchmark::State& state) {
    SpillArray<FaceRecord52> array;
    array.reset(std::uint32_t(state.range(0)), "fcs");
    array.setCount(kRecords);
    std::int64_t sum = 0;
    for (auto _ : state) {
        for (std::uint32_t i = 0; i < kRecords; ++i)
            sum += array.peek(i)->words[0];
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kRecords);
    state.SetBytesProcessed(state.iterations() * kRecords * sizeof(FaceRecord52));
}

void SpillArrayCopyOut(benchmark::State& state) {
    SpillArray<FaceRecord52> array;
    array.reset(std::uint32_t(state.range(0)), "fcs");
    array.setCount(kRecords);
    std::vector<FaceRecord52> out(kRecords);
    for (auto _ : state)
        benchmark::DoNotOptimize(array.copyOut(0, kRecords, out.data()));
    state.SetItemsProcessed(state.iterations() * kRecords);
    state.SetBytesProcessed(state.iterations() * kRecords * sizeof(FaceRecord52));
}

void spillArgs(benchmark::internal::Benchmark* b) {
    b->ArgName("spillLimit")->Arg(kRecords + 1)->Arg(1000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(SpillArrayAppend)->Apply(spillArgs);
BENCHMARK(SpillArraySequentialRead)->Apply(spillArgs);
BENCHMARK(SpillArrayCopyOut)->Apply(spillArgs);

}  // namespace
}  // namespace tessaro
