// Generation speed and memory on three scalable families of specifications,
// under maximality and interleaving semantics.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "frontend/Parser.h"
#include "bench/BenchSupport.h"
#include "generation/Generator.h"
#include "generation/MemoryWatch.h"
#include "generation/Progress.h"

namespace {

using quarvo::Semantics;

// N independent two-action cycles in interleaving.
std::string Cycles(int n) {
    std::string gates, body;
    for (int i = 0; i < n; ++i) {
        gates += (i ? ", A" : "A") + std::to_string(i) + ", B" + std::to_string(i);
        body += (i ? "\n ||| Cycle [A" : "Cycle [A") + std::to_string(i) + ", B" + std::to_string(i) + "]";
    }
    return "SYSTEM Cycles [" + gates + "] :=\n" + body +
           "\nWHERE PROCESS Cycle [A, B] := A; B; Cycle [A, B] ENDPROC ENDSYS";
}

// A chain of N one-place buffers, neighbours synchronised on hidden gates.
std::string Buffers(int n) {
    std::vector<std::string> names{"PUT"};
    for (int i = 1; i < n; ++i) names.push_back("M" + std::to_string(i));
    names.push_back("GET");
    std::string hidden, chain = "Cell [PUT, " + names[1] + "]";
    for (int i = 1; i < n; ++i) {
        hidden += (i > 1 ? ", " : "") + names[static_cast<std::size_t>(i)];
        chain = "(" + chain + "\n |[" + names[static_cast<std::size_t>(i)] + "]| Cell [" +
                names[static_cast<std::size_t>(i)] + ", " + names[static_cast<std::size_t>(i) + 1] + "])";
    }
    return "SYSTEM Chain [PUT, GET] :=\nHIDE " + hidden + " IN\n" + chain +
           "\nWHERE PROCESS Cell [A, B] := A; B; Cell [A, B] ENDPROC ENDSYS";
}

// N dining philosophers; the forks are processes shared by neighbours.
std::string Philosophers(int n) {
    auto g = [](const char* kind, int phil, int fork) {
        return std::string(kind) + std::to_string(phil) + "_" + std::to_string(fork);
    };
    std::string eats, hidden, phils, forks;
    for (int i = 0; i < n; ++i) {
        int l = i, r = (i + 1) % n;
        eats += (i ? ", EAT" : "EAT") + std::to_string(i);
        // One philosopher's gates per line: lines are limited to 300 characters.
        hidden += (i ? ",\n" : "") + g("T", i, l) + ", " + g("T", i, r) + ", " + g("R", i, l) + ", " + g("R", i, r);
        phils += std::string(i ? "\n ||| " : "") + "Phil [" + g("T", i, l) + ", " + g("T", i, r) + ", EAT" +
                 std::to_string(i) + ", " + g("R", i, l) + ", " + g("R", i, r) + "]";
        int other = (i + n - 1) % n;  // the left neighbour takes this fork as its right one
        forks += std::string(i ? "\n ||| " : "") + "Fork [" + g("T", i, i) + ", " + g("R", i, i) + ", " +
                 g("T", other, i) + ", " + g("R", other, i) + "]";
    }
    return "SYSTEM Philo [" + eats + "] :=\nHIDE " + hidden + " IN\n(" + phils + ")\n|[" + hidden + "]|\n(" + forks +
           ")\nWHERE\nPROCESS Phil [TL, TR, EAT, RL, RR] := TL; TR; EAT; RL; RR; Phil [TL, TR, EAT, RL, RR] ENDPROC\n"
           "PROCESS Fork [TA, RA, TB, RB] := TA; RA; Fork [TA, RA, TB, RB] [] TB; RB; Fork [TA, RA, TB, RB] "
           "ENDPROC\nENDSYS";
}

using quarvo::HeapBytesInUse;

void RunFamily(benchmark::State& state, std::string (*family)(int), Semantics semantics) {
    const int n = static_cast<int>(state.range(0));
    quarvo::CompileOutcome compiled = quarvo::bench::CompileText(family(n));
    if (!compiled.ok()) {
        state.SkipWithError("the generated specification does not compile");
        return;
    }
    quarvo::GenerationSettings settings;
    settings.semantics = semantics;
    std::int64_t states = 0, arcs = 0, retained = 0, nodes = 0;
    for (auto _ : state) {
        quarvo::StemStore store;
        const std::int64_t before = HeapBytesInUse();
        quarvo::GenerationResult r = quarvo::GenerateStem(compiled.compilation, settings, store);
        retained = HeapBytesInUse() - before;
        states = r.states;
        arcs = r.arcs;
        nodes = r.nodesBuilt;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["states"] = static_cast<double>(states);
    state.counters["arcs"] = static_cast<double>(arcs);
    state.counters["states_per_s"] = benchmark::Counter(static_cast<double>(states), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["arcs_per_s"] = benchmark::Counter(static_cast<double>(arcs), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["ns_per_state"] = benchmark::Counter(static_cast<double>(states),
                                                        benchmark::Counter::kIsIterationInvariantRate |
                                                            benchmark::Counter::kInvert);
    // Time per term node built: flat when the cost is linear in the work.
    state.counters["ns_per_node"] = benchmark::Counter(static_cast<double>(nodes),
                                                       benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
    state.counters["nodes_per_state"] = static_cast<double>(nodes) / static_cast<double>(states);
    state.counters["bytes_per_state"] = static_cast<double>(retained) / static_cast<double>(states);
    state.counters["peak_rss_bytes_per_state"] = static_cast<double>(usage.ru_maxrss) * 1024.0 / static_cast<double>(states);
}

void BM_Cycles_Maximality(benchmark::State& s) { RunFamily(s, Cycles, Semantics::Maximality); }
void BM_Cycles_Interleaving(benchmark::State& s) { RunFamily(s, Cycles, Semantics::Interleaving); }
void BM_Buffers_Maximality(benchmark::State& s) { RunFamily(s, Buffers, Semantics::Maximality); }
void BM_Buffers_Interleaving(benchmark::State& s) { RunFamily(s, Buffers, Semantics::Interleaving); }
void BM_Philosophers_Maximality(benchmark::State& s) { RunFamily(s, Philosophers, Semantics::Maximality); }
void BM_Philosophers_Interleaving(benchmark::State& s) { RunFamily(s, Philosophers, Semantics::Interleaving); }

// How often a generation's figures move while it runs, inside its levels
// too: 2^20 states on two threads. longest_still_ms is the longest time the
// figures shown (states, arcs, explored part of the level) stayed the same.
void BM_ProgressInsideLevels(benchmark::State& state) {
    quarvo::CompileOutcome compiled = quarvo::bench::CompileText(Cycles(static_cast<int>(state.range(0))));
    if (!compiled.ok()) {
        state.SkipWithError("the generated specification does not compile");
        return;
    }
    struct Watch final : quarvo::Progress {
        using Clock = std::chrono::steady_clock;
        std::int64_t states = 0, arcs = 0, reports = 0, midLevel = 0;
        std::int64_t lastStates = -1, lastArcs = -1, lastExplored = -1;
        Clock::time_point changed = Clock::now();
        double longestStill = 0;
        void Update(std::int64_t s, std::int64_t a) override {
            states = s;
            arcs = a;
        }
        void UpdateGeneration(const quarvo::GenerationFigures& f) override {
            ++reports;
            if (f.levelExplored > 0 && f.levelExplored < f.levelStates) ++midLevel;
            const Clock::time_point now = Clock::now();
            if (states != lastStates || arcs != lastArcs || f.levelExplored != lastExplored) {
                longestStill = std::max(longestStill, std::chrono::duration<double, std::milli>(now - changed).count());
                changed = now;
                lastStates = states;
                lastArcs = arcs;
                lastExplored = f.levelExplored;
            }
        }
    };
    quarvo::GenerationSettings settings;
    settings.semantics = Semantics::Interleaving;
    settings.threads = 2;
    Watch watch;
    std::int64_t states = 0;
    for (auto _ : state) {
        quarvo::StemStore store;
        watch = Watch{};
        states = quarvo::GenerateStem(compiled.compilation, settings, store, &watch).states;
    }
    state.counters["states"] = static_cast<double>(states);
    state.counters["reports_per_s"] =
        benchmark::Counter(static_cast<double>(watch.reports), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["mid_level_reports"] = static_cast<double>(watch.midLevel);
    state.counters["longest_still_ms"] = watch.longestStill;
}
BENCHMARK(BM_ProgressInsideLevels)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Sizes chosen so that the largest of each row passes 1,000,000 states. Wall time:
// the exploration runs on a thread of its own.
BENCHMARK(BM_Cycles_Maximality)->Arg(5)->Arg(6)->Arg(7)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Cycles_Interleaving)->Arg(14)->Arg(17)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Buffers_Maximality)->Arg(10)->Arg(12)->Arg(14)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Buffers_Interleaving)->Arg(14)->Arg(17)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Philosophers_Maximality)->Arg(5)->Arg(6)->Arg(7)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Philosophers_Interleaving)->Arg(8)->Arg(10)->Arg(12)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
