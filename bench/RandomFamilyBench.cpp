// Reductions and comparisons of random transition systems with many internal
// cycles: n states, 6n arcs labelled a, b, c or the internal action, each arc
// from a random state to one at most 50 below it or 3 above it.
//
// Benchmarks (m is the number of arcs):
//   BM_Random_<Equivalence>/m:100000      run by default;
//   BM_RandomLarge_<Equivalence>/m:...    10^6, 1.2 10^6 (200,000 states) and
//                                         10^7 arcs, with
//                                         --benchmark_filter=RandomLarge.
// <Equivalence> is Strong, Branching or DivergenceBranching (reductions),
// or Weak and Traces (the system compared with its strong quotient).
// BM_Random_TracesMutant compares the system with a copy where the first arc
// of the initial state carries a new label d: the quotients differ, and the
// antichains search for a trace to d (from the initial state only a few
// states are reachable in this family: the search is short, the reductions
// before it are what costs). BM_TracesPattern/n:N compares
// (a|b)* a (a|b)^N c with (a|b)*, whose subset construction has 2^(N+1)
// subsets (run by default too).
//
// Counters: states, arcs, blocks (of the reduction, 1 or 0 for a
// comparison's verdict), seconds (CPU time of one run), peak_rss_MB, and
// ratio_to_strong (seconds over those of the strong reduction of the same
// system in the same run, when it ran before).
//
// Figures of the current code (Release, a shared two-core machine, CPU
// seconds, peak resident set of the process):
//   10^5 arcs: strong 0.008 s; branching and divergence-sensitive 0.03 s
//     (3.9 and 4.0 times), weak 0.03 s, traces 0.06 s;
//   10^6 arcs: strong 0.16 s; branching 0.41 s (2.6 times, 133 MB),
//     divergence-sensitive 0.43 s (2.7 times), weak 0.43 s, traces 0.84 s;
//   1.2 10^6 arcs (200,000 states): strong 0.18 s; branching 0.58 s (3.2
//     times, 202 MB), divergence-sensitive 0.47 s (2.6 times), weak 0.55 s
//     (3.0 times), traces 1.1 s (6.2 times, 232 MB);
//   10^7 arcs: strong 1.9 s (832 MB); branching 4.6 s (2.5 times, 1.3 GB),
//     divergence-sensitive 4.7 s (2.5 times), weak 4.5 s, traces 9.3 s
//     (1.5 GB), the mutant's traces 18.9 s (2.5 GB).
// The shapes at 10^6 states: chains and inert paths 0.2 to 0.3 s in each
// branching reduction, 0.5 to 0.6 s in the strong one; the copies 1.6 s
// (2.3 times the strong reduction, 362 MB), the internal copies 1.6 s (2.0
// times), the heap 0.7 s (1.6 times). Their peaks count the random
// systems held before them when those ran first. The trace comparison with the mutant at 10^5 arcs:
// 0.13 s, nearly all of it the branching reductions before the antichains;
// the pattern at N = 24 answers in under 0.1 ms and 5 MB, where the subset
// construction would hold 2^25 subsets.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "bench/PeakMemory.h"
#include "equivalence/Compare.h"
#include "equivalence/Equivalence.h"

namespace {

constexpr double kMiB = 1024.0 * 1024.0;

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

quarvo::Lts RandomSystem(std::uint32_t arcs, std::uint32_t seed) {
    const std::uint32_t n = arcs / 6;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::uint32_t> source(0, n - 1), label(0, 3);
    std::uniform_int_distribution<int> offset(-50, 3);
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> out(n);
    for (std::uint32_t k = 0; k < arcs; ++k) {
        const std::uint32_t s = source(rng);
        const long t = std::clamp<long>(static_cast<long>(s) + offset(rng), 0, static_cast<long>(n) - 1);
        out[s].emplace_back(label(rng), static_cast<std::uint32_t>(t));
    }
    quarvo::Lts lts;
    lts.labels = {"I", "a", "b", "c"};
    lts.firstArc.assign(1, 0);
    for (auto& list : out) {
        for (const auto& [l, t] : list) {
            lts.label.push_back(l);
            lts.target.push_back(t);
        }
        lts.firstArc.push_back(static_cast<std::uint32_t>(lts.target.size()));
    }
    return lts;
}

struct Model {
    std::uint32_t arcs;
    std::unique_ptr<quarvo::StemStore> store, quotient, mutant;
    double strongSeconds = 0;
};

enum class Kind { Strong, Branching, DivergenceBranching, Weak, Traces, TracesMutant };

// The system with the first arc of the initial state relabelled d.
quarvo::Lts Mutant(quarvo::Lts lts) {
    const std::uint32_t s = lts.initial;
    lts.labels.push_back("d");
    if (lts.firstArc[s] < lts.firstArc[s + 1]) lts.label[lts.firstArc[s]] = static_cast<std::uint32_t>(lts.labels.size() - 1);
    return lts;
}

void Run(benchmark::State& state, Model* model, Kind kind) {
    if (!model->store) {
        model->store = std::make_unique<quarvo::StemStore>(quarvo::StoreFromLts(RandomSystem(model->arcs, 1)));
        quarvo::ReduceOptions strong;
        model->quotient = std::make_unique<quarvo::StemStore>(std::move(quarvo::ReduceStem(*model->store, strong).quotient));
        model->mutant = std::make_unique<quarvo::StemStore>(quarvo::StoreFromLts(Mutant(RandomSystem(model->arcs, 1))));
    }
    quarvo::bench::PeakMemory peak;
    peak.Start();
    std::int64_t blocks = 0, runs = 0;
    const double start = ProcessCpuSeconds();
    for (auto _ : state) {
        if (kind == Kind::Weak || kind == Kind::Traces || kind == Kind::TracesMutant) {
            const quarvo::CompareResult r = quarvo::CompareStems(
                *model->store, kind == Kind::TracesMutant ? *model->mutant : *model->quotient,
                kind == Kind::Weak ? quarvo::Equivalence::Weak : quarvo::Equivalence::Traces);
            if (!r.status.ok()) {
                state.SkipWithError(r.status.message().c_str());
                break;
            }
            blocks = r.equivalent ? 1 : 0;
        } else {
            quarvo::ReduceOptions options;
            options.equivalence = kind == Kind::Strong      ? quarvo::Equivalence::Strong
                                  : kind == Kind::Branching ? quarvo::Equivalence::Branching
                                                            : quarvo::Equivalence::DivergenceBranching;
            const quarvo::ReduceResult r = quarvo::ReduceStem(*model->store, options);
            if (!r.status.ok()) {
                state.SkipWithError(r.status.message().c_str());
                break;
            }
            blocks = r.statesAfter;
        }
        ++runs;
    }
    const double seconds = (ProcessCpuSeconds() - start) / static_cast<double>(runs > 0 ? runs : 1);
    if (kind == Kind::Strong) model->strongSeconds = seconds;
    state.counters["states"] = static_cast<double>(model->store->StateCount());
    state.counters["arcs"] = static_cast<double>(model->store->ArcCount());
    state.counters["blocks"] = static_cast<double>(blocks);
    state.counters["seconds"] = seconds;
    state.counters["peak_rss_MB"] = static_cast<double>(peak.Peak()) / kMiB;
    if (model->strongSeconds > 0) state.counters["ratio_to_strong"] = seconds / model->strongSeconds;
}

void Register(std::vector<std::unique_ptr<Model>>& models, const char* prefix, std::uint32_t arcs) {
    models.push_back(std::make_unique<Model>(Model{arcs, nullptr, nullptr, 0}));
    Model* model = models.back().get();
    const std::pair<const char*, Kind> kinds[] = {{"Strong", Kind::Strong},
                                                  {"Branching", Kind::Branching},
                                                  {"DivergenceBranching", Kind::DivergenceBranching},
                                                  {"Weak", Kind::Weak},
                                                  {"Traces", Kind::Traces},
                                                  {"TracesMutant", Kind::TracesMutant}};
    for (const auto& [name, kind] : kinds) {
        const std::string full = std::string(prefix) + name + "/m:" + std::to_string(arcs);
        benchmark::RegisterBenchmark(full.c_str(), [model, kind](benchmark::State& state) { Run(state, model, kind); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
}

// Shapes hostile to partition refinement, reduced modulo each bisimulation
// (BM_Shape_<Shape>_<Equivalence>/n:N, run by default at n = 10^5, and at
// 10^6 with --benchmark_filter=ShapeLarge):
//   Chain:      0 -a-> 1 -a-> ... -a-> n, every state apart from the others;
//   InertChain: 0 -i-> 1 -a-> 2 -i-> 3 ..., each i inert, every a apart;
//   TauLadder:  0 -i-> 1 -i-> ... -i-> n, state k also -b-> n + 1 when k is
//               a multiple of 3: long inert paths, few exits;
//   Copies:     two copies of a system of the random family of n / 2 states
//               (3 arcs per state), each arc going to its target in either
//               copy: a state and its copy are bisimilar, many states merge;
//   InternalCopies: the same with 7 arcs in 10 internal;
//   InternalTree: k -i-> 2k + 1 and 2k + 2 (a heap), each leaf k with a loop
//               a, b or none as k mod 3 is 0, 1 or 2.
quarvo::Lts CopiesSystem(std::uint32_t n, bool internalMostly) {
    const std::uint32_t half = n / 2;
    std::mt19937 rng(3);
    std::uniform_int_distribution<std::uint32_t> source(0, half - 1), label(0, internalMostly ? 9 : 3), copy(0, 1);
    std::uniform_int_distribution<int> offset(-50, 3);
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> out(2 * half);
    for (std::uint32_t k = 0; k < 3 * half; ++k) {
        const std::uint32_t s = source(rng), drawn = label(rng);
        const std::uint32_t l = internalMostly ? (drawn < 7 ? 0 : drawn - 6) : drawn;
        const auto t = static_cast<std::uint32_t>(std::clamp<long>(static_cast<long>(s) + offset(rng), 0, half - 1));
        out[s].emplace_back(l, t + copy(rng) * half);
        out[s + half].emplace_back(l, t + copy(rng) * half);
    }
    quarvo::Lts lts;
    lts.labels = {"I", "a", "b", "c"};
    lts.firstArc.assign(1, 0);
    for (auto& list : out) {
        for (const auto& [l, t] : list) {
            lts.label.push_back(l);
            lts.target.push_back(t);
        }
        lts.firstArc.push_back(static_cast<std::uint32_t>(lts.target.size()));
    }
    return lts;
}

quarvo::Lts ShapeSystem(const std::string& shape, std::uint32_t n) {
    if (shape == "Copies" || shape == "InternalCopies") return CopiesSystem(n, shape == "InternalCopies");
    quarvo::Lts lts;
    lts.labels = {"I", "a", "b"};
    lts.firstArc.assign(1, 0);
    const auto arc = [&](std::uint32_t label, std::uint32_t target) {
        lts.label.push_back(label);
        lts.target.push_back(target);
    };
    const std::uint32_t states = shape == "TauLadder" ? n + 2 : n + 1;
    if (shape == "InternalTree") {
        for (std::uint32_t s = 0; s <= n; ++s) {
            if (2 * s + 2 <= n) {
                arc(0, 2 * s + 1);
                arc(0, 2 * s + 2);
            } else if (s % 3 != 2) {
                arc(s % 3 == 0 ? 1 : 2, s);
            }
            lts.firstArc.push_back(static_cast<std::uint32_t>(lts.target.size()));
        }
        return lts;
    }
    for (std::uint32_t s = 0; s < states; ++s) {
        if (s < n) {
            if (shape == "Chain") arc(1, s + 1);
            else if (shape == "InertChain") arc(s % 2 == 0 ? 0 : 1, s + 1);
            else arc(0, s + 1);
        }
        if (shape == "TauLadder" && s <= n && s % 3 == 0) arc(2, n + 1);
        lts.firstArc.push_back(static_cast<std::uint32_t>(lts.target.size()));
    }
    return lts;
}

void RunShape(benchmark::State& state, const std::string& shape, quarvo::Equivalence equivalence) {
    const quarvo::StemStore store = quarvo::StoreFromLts(ShapeSystem(shape, static_cast<std::uint32_t>(state.range(0))));
    quarvo::bench::PeakMemory peak;
    peak.Start();
    std::int64_t blocks = 0, runs = 0;
    const double start = ProcessCpuSeconds();
    for (auto _ : state) {
        quarvo::ReduceOptions options;
        options.equivalence = equivalence;
        const quarvo::ReduceResult r = quarvo::ReduceStem(store, options);
        if (!r.status.ok()) {
            state.SkipWithError(r.status.message().c_str());
            break;
        }
        blocks = r.statesAfter;
        ++runs;
    }
    state.counters["blocks"] = static_cast<double>(blocks);
    state.counters["seconds"] = (ProcessCpuSeconds() - start) / static_cast<double>(runs > 0 ? runs : 1);
    state.counters["peak_rss_MB"] = static_cast<double>(peak.Peak()) / kMiB;
}

void RegisterShapes() {
    const std::pair<const char*, quarvo::Equivalence> equivalences[] = {
        {"Strong", quarvo::Equivalence::Strong},
        {"Branching", quarvo::Equivalence::Branching},
        {"DivergenceBranching", quarvo::Equivalence::DivergenceBranching}};
    for (const char* shape : {"Chain", "InertChain", "TauLadder", "Copies", "InternalCopies", "InternalTree"})
        for (const auto& [name, equivalence] : equivalences)
            for (const auto& [prefix, n] : {std::pair{"BM_Shape_", 100'000}, std::pair{"BM_ShapeLarge_", 1'000'000}}) {
                const std::string full = std::string(prefix) + shape + "_" + name;
                benchmark::RegisterBenchmark(full.c_str(),
                                             [shape = std::string(shape), equivalence = equivalence](benchmark::State& state) {
                                                 RunShape(state, shape, equivalence);
                                             })
                    ->Arg(n)
                    ->ArgName("n")
                    ->Unit(benchmark::kMillisecond)
                    ->Iterations(1);
            }
}

// (a|b)* a (a|b)^n c against (a|b)*: the first trace apart is a^(n+1) c.
void BM_TracesPattern(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    quarvo::Lts pattern;
    pattern.labels = {"I", "a", "b", "c"};
    pattern.firstArc.assign(1, 0);
    const auto arc = [&](std::uint32_t label, std::uint32_t target) {
        pattern.label.push_back(label);
        pattern.target.push_back(target);
    };
    arc(1, 0);
    arc(1, 1);
    arc(2, 0);
    pattern.firstArc.push_back(static_cast<std::uint32_t>(pattern.target.size()));
    for (std::uint32_t i = 1; i <= n; ++i) {
        arc(1, i + 1);
        arc(2, i + 1);
        pattern.firstArc.push_back(static_cast<std::uint32_t>(pattern.target.size()));
    }
    arc(3, n + 1);
    pattern.firstArc.push_back(static_cast<std::uint32_t>(pattern.target.size()));
    quarvo::Lts loop;
    loop.labels = {"I", "a", "b"};
    loop.firstArc = {0, 2};
    loop.label = {1, 2};
    loop.target = {0, 0};
    const quarvo::StemStore first = quarvo::StoreFromLts(pattern), second = quarvo::StoreFromLts(loop);
    quarvo::bench::PeakMemory peak;
    peak.Start();
    std::size_t length = 0;
    for (auto _ : state) {
        const quarvo::CompareResult r = quarvo::CompareStems(first, second, quarvo::Equivalence::Traces);
        if (!r.status.ok() || r.equivalent) {
            state.SkipWithError("the pattern and the loop should differ");
            break;
        }
        length = r.why.trace.size();
    }
    state.counters["trace_length"] = static_cast<double>(length);
    state.counters["peak_rss_MB"] = static_cast<double>(peak.Peak()) / kMiB;
}
BENCHMARK(BM_TracesPattern)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    bool filterGiven = false;
    for (int i = 1; i < argc; ++i) filterGiven = filterGiven || std::string(argv[i]).rfind("--benchmark_filter", 0) == 0;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!filterGiven) benchmark::SetBenchmarkFilter("BM_Random_|BM_Shape_|BM_TracesPattern");
    std::vector<std::unique_ptr<Model>> models;
    Register(models, "BM_Random_", 100'000);
    Register(models, "BM_RandomLarge_", 1'000'000);
    Register(models, "BM_RandomLarge_", 1'200'000);  // 200,000 states
    Register(models, "BM_RandomLarge_", 10'000'000);
    RegisterShapes();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
