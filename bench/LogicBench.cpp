// Action formulas on a large random system: the equation solver's time on
// 10^6 states and 10^7 arcs for a formula of about ten operators (target:
// under 2 s), and how it grows with the system.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>

#include "logic/Checks.h"
#include "logic/Evaluator.h"
#include "logic/Parser.h"
#include "logic/Pnf.h"
#include "logic/Verification.h"

namespace {

// After every SEND, RECV stays reachable and every path meets it, and some
// reachable state can run internal actions forever: eleven operators, three
// fixpoints of each kind once the modalities are translated.
constexpr const char* kFormula =
    "[true* . SEND] (<true* . RECV> true and mu X . [not RECV] X) and <true*> nu Y . <tau> Y";

// A random system: a spanning tree from state 0, then random arcs up to ten
// per state on average, over SEND, RECV, a few visible actions and internal ones.
std::unique_ptr<quarvo::Lts> RandomLts(std::uint32_t states, std::uint32_t arcsPerState) {
    auto lts = std::make_unique<quarvo::Lts>();
    lts->labels = {"I", "SEND", "RECV", "A", "B", "C", "I_H", "delta"};
    std::mt19937 rng(states);
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> out(states);
    for (std::uint32_t n = 1; n < states; ++n) out[rng() % n].emplace_back(rng() % 8, n);
    const std::uint64_t total = static_cast<std::uint64_t>(states) * arcsPerState;
    for (std::uint64_t k = states - 1; k < total; ++k) out[rng() % states].emplace_back(rng() % 8, rng() % states);
    lts->firstArc.assign(states + 1, 0);
    lts->label.reserve(total);
    lts->target.reserve(total);
    for (std::uint32_t s = 0; s < states; ++s) {
        for (const auto& [label, target] : out[s]) {
            lts->label.push_back(label);
            lts->target.push_back(target);
        }
        lts->firstArc[s + 1] = static_cast<std::uint32_t>(lts->target.size());
        std::vector<std::pair<std::uint32_t, std::uint32_t>>().swap(out[s]);
    }
    return lts;
}

const quarvo::Lts& Cached(std::uint32_t states) {
    static std::map<std::uint32_t, std::unique_ptr<quarvo::Lts>> cache;
    auto& slot = cache[states];
    if (!slot) slot = RandomLts(states, 10);
    return *slot;
}

// The evaluation alone: equations, blocks and worklists.
void BM_Evaluate(benchmark::State& state) {
    const quarvo::Lts& lts = Cached(static_cast<std::uint32_t>(state.range(0)));
    const quarvo::logic::ParseResult parsed = quarvo::logic::ParseFormula(kFormula);
    const quarvo::logic::Pnf pnf = quarvo::logic::ToPnf(parsed.formula, false);
    const quarvo::logic::LabelSets sets = quarvo::logic::ActionLabelSets(parsed.formula, lts);
    const quarvo::logic::ReverseArcs reverse = quarvo::logic::ReverseOf(lts);
    for (auto _ : state) {
        quarvo::logic::Evaluation e = quarvo::logic::Evaluate(parsed.formula, pnf, sets, lts, reverse);
        benchmark::DoNotOptimize(e.holds.data());
    }
    state.counters["states"] = static_cast<double>(lts.StateCount());
    state.counters["arcs"] = static_cast<double>(lts.ArcCount());
}
BENCHMARK(BM_Evaluate)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The arcs by target, which the evaluation reads.
void BM_ReverseArcs(benchmark::State& state) {
    const quarvo::Lts& lts = Cached(static_cast<std::uint32_t>(state.range(0)));
    for (auto _ : state) {
        quarvo::logic::ReverseArcs r = quarvo::logic::ReverseOf(lts);
        benchmark::DoNotOptimize(r.source.data());
    }
}
BENCHMARK(BM_ReverseArcs)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

// What calvento verify does once the system is read: parsing, checks, the
// reverse arcs, the evaluation and the trace with its replay.
void BM_Verify(benchmark::State& state) {
    const quarvo::Lts& lts = Cached(static_cast<std::uint32_t>(state.range(0)));
    for (auto _ : state) {
        quarvo::logic::VerifyResult r = quarvo::logic::Verify(kFormula, lts);
        benchmark::DoNotOptimize(r.holds);
    }
    state.counters["states"] = static_cast<double>(lts.StateCount());
    state.counters["arcs"] = static_cast<double>(lts.ArcCount());
}
BENCHMARK(BM_Verify)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
