// Reduction of a generated STEM modulo strong and branching bisimulation:
// time and peak memory on the interleaving models of two families.
//
// Benchmarks (n is the family's size parameter):
//   BM_Small_...    modest sizes, run by default (a second or so each).
//   BM_Million_...  13 independent processes (1,594,324 states) and 12
//                   dining philosophers (1,684,801 states); the model's
//                   generation takes a minute or two and a few GB.
// Run them with --benchmark_filter=Million (giving a filter replaces the
// default one).
//
// The model is generated once per family and size, before the first
// benchmark that needs it and outside the timed loop; the timed part is
// ReduceStem: the interleaving view, the partition, the quotient and its store.
//
// Counters: states, arcs (of the model); blocks and arcs_after (of the
// quotient); s_per_Mstate and s_per_10Marcs (the CPU time of one reduction
// per 10^6 states and per 10^7 arcs of the model); peak_rss_MB (the process's
// peak during the reductions, the model included); reduction_MB (that peak
// less the resident set before them).
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchFamilies.h"
#include "bench/BenchGeneration.h"
#include "bench/PeakMemory.h"
#include "equivalence/Equivalence.h"

namespace {

constexpr double kMiB = 1024.0 * 1024.0;

// A model shared by the benchmarks that reduce it, made on first use and
// released after its last one.
struct Model {
    std::string (*family)(int);
    int n;
    int usesLeft = 0;
    std::unique_ptr<quarvo::StemStore> store;
};

const quarvo::StemStore* Generated(benchmark::State& state, Model& model) {
    if (model.store) return model.store.get();
    const char* error = "";
    std::unique_ptr<quarvo::StemStore> store = quarvo::bench::GenerateInterleaving(model.family(model.n), error);
    if (!store) {
        state.SkipWithError(error);
        return nullptr;
    }
    model.store = std::move(store);
    return model.store.get();
}

// On the process's CPU time: other programs on the machine delay the
// wall-clock time, not this.
double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void Reduce(benchmark::State& state, Model* model, quarvo::Equivalence equivalence) {
    const quarvo::StemStore* stem = Generated(state, *model);
    if (stem != nullptr) {
        quarvo::ReduceOptions options;
        options.equivalence = equivalence;
        quarvo::bench::PeakMemory peak;
        peak.Start();
        std::int64_t blocks = 0, arcsAfter = 0, reductions = 0;
        const double start = ProcessCpuSeconds();
        for (auto _ : state) {
            const quarvo::ReduceResult result = quarvo::ReduceStem(*stem, options);
            if (!result.status.ok()) {
                state.SkipWithError(result.status.message().c_str());
                break;
            }
            blocks = result.statesAfter;
            arcsAfter = result.arcsAfter;
            ++reductions;
        }
        const double seconds = (ProcessCpuSeconds() - start) / static_cast<double>(reductions > 0 ? reductions : 1);
        const auto states = static_cast<double>(stem->StateCount());
        const auto arcs = static_cast<double>(stem->ArcCount());
        state.counters["states"] = states;
        state.counters["arcs"] = arcs;
        state.counters["blocks"] = static_cast<double>(blocks);
        state.counters["arcs_after"] = static_cast<double>(arcsAfter);
        state.counters["s_per_Mstate"] = states > 0 ? seconds / (states / 1e6) : 0.0;
        state.counters["s_per_10Marcs"] = arcs > 0 ? seconds / (arcs / 1e7) : 0.0;
        state.counters["peak_rss_MB"] = static_cast<double>(peak.Peak()) / kMiB;
        state.counters["reduction_MB"] = static_cast<double>(peak.Growth()) / kMiB;
        if (!peak.Reset()) state.SetLabel("peak since the process started");
    }
    if (--model->usesLeft == 0) model->store.reset();
}

void Register(std::vector<std::unique_ptr<Model>>& models, const char* prefix, const char* family,
              std::string (*text)(int), int n, bool single) {
    models.push_back(std::make_unique<Model>(Model{text, n, 2, nullptr}));
    Model* model = models.back().get();
    const std::pair<const char*, quarvo::Equivalence> kinds[] = {{"Strong", quarvo::Equivalence::Strong},
                                                                  {"Branching", quarvo::Equivalence::Branching}};
    for (const auto& [kind, equivalence] : kinds) {
        const std::string name = std::string(prefix) + kind + "_" + family + "/n:" + std::to_string(n);
        auto* b = benchmark::RegisterBenchmark(name.c_str(), [model, equivalence](benchmark::State& state) {
            Reduce(state, model, equivalence);
        });
        b->Unit(benchmark::kMillisecond);
        if (single) b->Iterations(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool filterGiven = false;
    for (int i = 1; i < argc; ++i) filterGiven = filterGiven || std::string(argv[i]).rfind("--benchmark_filter", 0) == 0;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!filterGiven) benchmark::SetBenchmarkFilter("BM_Small_");

    // The models outlive the run; each benchmark holds a pointer to its own.
    std::vector<std::unique_ptr<Model>> models;
    // 59,050 states; 46,763 states. For 13 independent processes (1,594,324
    // states, 13.8 * 10^6 arcs) the current code takes 2.9 to 3.7 s CPU strong
    // (1.8 to 2.3 s per 10^6 states) and 5 to 6.7 s branching, each reduction
    // growing the resident set by 0.5 to 0.7 GB; for 12 philosophers
    // (1,684,801 states, 12.9 * 10^6 arcs, 39,202 blocks modulo branching)
    // 4.2 to 5.7 s strong (2.5 to 3.4 s per 10^6 states) and 7.4 s branching
    // (4.4 s per 10^6 states). Runs on a shared machine vary that much.
    Register(models, "BM_Small_", "IndependentInterleaving", quarvo::bench::Independent, 10, false);
    Register(models, "BM_Small_", "PhilosophersInterleaving", quarvo::bench::Philosophers, 9, false);
    Register(models, "BM_Million_", "IndependentInterleaving", quarvo::bench::Independent, 13, true);
    Register(models, "BM_Million_", "PhilosophersInterleaving", quarvo::bench::Philosophers, 12, true);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
