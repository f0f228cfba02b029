// The tree table of state vectors: interning rate and bytes per vector on a
// breadth-first-like stream of vectors (each the previous one with one slot
// changed, as a successor differs from its source), on one thread and on all.
//
//   bench_tree_table
// Counters: vectors_per_s (wall clock), cells_per_vector (pairs added per new
// vector, inner and root), bytes_per_vector (cells at the table's 7/8 filling,
// 8 bytes each: what a state costs at most beyond its arcs once full).
#include <benchmark/benchmark.h>

#include <random>
#include <thread>
#include <vector>

#include "generation/vector/TreeTable.h"

namespace quarvo {
namespace {

// Vectors of width slots whose slot values follow the independent-processes
// model: each slot in 0..2, a successor moving one slot on.
void Stream(std::uint32_t width, std::uint64_t seed, std::size_t count,
            std::vector<std::vector<std::uint32_t>>& out) {
    std::mt19937_64 rng(seed);
    std::vector<std::uint32_t> v(width, 0);
    out.clear();
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t& slot = v[rng() % width];
        slot = (slot + 1) % 3;
        out.push_back(v);
    }
}

void BM_TreeTable_Intern(benchmark::State& state) {
    const auto width = static_cast<std::uint32_t>(state.range(0));
    const auto threads = static_cast<unsigned>(state.range(1));
    constexpr std::size_t perThread = 1 << 20;
    std::vector<std::vector<std::vector<std::uint32_t>>> streams(threads);
    for (unsigned t = 0; t < threads; ++t) Stream(width, 11 + t, perThread, streams[t]);
    std::size_t fresh = 0, cells = 0;
    for (auto _ : state) {
        PairTable inner(24), roots(24);
        VectorTree tree(inner, roots, width);
        std::vector<std::size_t> freshOf(threads, 0);
        std::vector<std::thread> crew;
        for (unsigned t = 0; t < threads; ++t)
            crew.emplace_back([&, t] {
                std::vector<std::uint32_t> values;
                for (const auto& v : streams[t]) {
                    bool isNew = false;
                    tree.Intern(v.data(), values, isNew);
                    freshOf[t] += isNew;
                }
            });
        for (std::thread& t : crew) t.join();
        fresh = 0;
        for (std::size_t f : freshOf) fresh += f;
        cells = inner.Size() + roots.Size();
    }
    state.counters["vectors_per_s"] =
        benchmark::Counter(static_cast<double>(perThread * threads), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["new_vectors"] = static_cast<double>(fresh);
    state.counters["cells_per_vector"] = static_cast<double>(cells) / static_cast<double>(fresh);
    state.counters["bytes_per_vector"] = 8.0 * 8.0 / 7.0 * static_cast<double>(cells) / static_cast<double>(fresh);
}
BENCHMARK(BM_TreeTable_Intern)->Args({12, 1})->Args({12, 2})->Args({17, 1})->Args({17, 2})->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quarvo

BENCHMARK_MAIN();
