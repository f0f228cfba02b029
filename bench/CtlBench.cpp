// CTL labelling speed on random STEMs of growing size, to show that it grows linearly.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ctl/CtlParser.h"
#include "ctl/Labelling.h"

namespace {

// Every temporal operator once, thirteen sub-formulas in all.
constexpr const char* kFormula = "E [ A X p U E G q ] AND A [ E F p U A G A F E X q ]";

// A random STEM like a generated one: states numbered in discovery order,
// each reached from an earlier one, one to three arcs (a few deadlocks,
// self-loops and arcs back), zero to two maximal events of P, Q or R.
std::unique_ptr<quarvo::StemStore> RandomStem(std::int32_t states) {
    auto store = std::make_unique<quarvo::StemStore>();
    std::mt19937 rng(static_cast<unsigned>(states));
    const quarvo::ActionId actions[] = {store->Intern("P"), store->Intern("Q"), store->Intern("R")};
    const quarvo::ActionId arcAction = store->Intern("A");
    store->Reserve(static_cast<std::size_t>(states), static_cast<std::size_t>(states) * 3 / 2);
    for (std::int32_t n = 0; n < states; ++n) {
        quarvo::EventSet events;
        for (std::int32_t e = 1; e <= static_cast<std::int32_t>(rng() % 3); ++e)
            events.push_back({e, actions[rng() % 3]});
        store->AppendState(n, events);
    }
    quarvo::ArcCollector arcs;
    for (std::int32_t n = 1; n < states; ++n)  // a spanning tree from state 0
        arcs.Add(rng() % static_cast<unsigned>(n), {n, arcAction, 1, quarvo::EmptyEventSet});
    for (std::int32_t n = 0; n < states; ++n)
        if (rng() % 4 != 0)
            for (unsigned k = rng() % 2; k > 0; --k)
                arcs.Add(static_cast<std::size_t>(n),
                         {static_cast<std::int32_t>(rng() % static_cast<unsigned>(states)), arcAction, 1,
                          quarvo::EmptyEventSet});
    arcs.MoveInto(*store);
    store->StemStateCount = states;
    return store;
}

const quarvo::StemStore& CachedStem(std::int32_t states) {
    static std::map<std::int32_t, std::unique_ptr<quarvo::StemStore>> cache;
    auto& slot = cache[states];
    if (!slot) slot = RandomStem(states);
    return *slot;
}

void BM_LabelAll(benchmark::State& state) {
    const auto states = static_cast<std::int32_t>(state.range(0));
    const quarvo::StemStore& store = CachedStem(states);
    std::vector<std::string> lines{kFormula};
    quarvo::VectorLineSource source(lines);
    const quarvo::PrecedenceTableResult table =
        quarvo::LoadPrecedenceTableFile(std::string(QUARVO_SOURCE_DIR) + "/tables/Preced.tab");
    if (!table.status) {
        state.SkipWithError(table.status.message().c_str());
        return;
    }
    const quarvo::FormulaCompileResult compiled = quarvo::CompileFormula(source, table.table);
    if (!compiled.ok()) {
        state.SkipWithError("the benchmark formula does not compile");
        return;
    }
    bool verified = false;
    for (auto _ : state) {
        quarvo::Labelling labels;
        verified = quarvo::Verify(store, compiled.formula, labels) == quarvo::Verdict::Verified;
        benchmark::DoNotOptimize(labels);
    }
    state.counters["states"] = static_cast<double>(store.StateCount());
    state.counters["arcs"] = static_cast<double>(store.ArcCount());
    state.counters["subformulas"] = static_cast<double>(compiled.formula.SubformulaList.size());
    state.counters["verified"] = verified ? 1 : 0;
    state.SetComplexityN(states);
}

BENCHMARK(BM_LabelAll)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
