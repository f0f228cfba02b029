// Comparing two generated STEMs: time of CompareStems on the interleaving
// models of two families, each against itself (equivalent: the partition
// and the verdict) and against a copy whose last arc has a new action (not
// equivalent: the distinguishing formula or the shortest trace as well).
//
// Benchmarks: BM_Compare_<equivalence>_<family>_<self|changed>/n:<n>.
// Counters: states, arcs (of one model).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/BenchFamilies.h"
#include "bench/BenchGeneration.h"
#include "equivalence/Compare.h"

namespace {

struct Models {
    std::unique_ptr<quarvo::StemStore> model, changed;
};

// The model of family(n) and its changed copy, made once.
const Models* Generated(benchmark::State& state, std::string (*family)(int), int n, Models& models) {
    if (models.model) return &models;
    const char* error = "";
    std::unique_ptr<quarvo::StemStore> store = quarvo::bench::GenerateInterleaving(family(n), error);
    if (!store) {
        state.SkipWithError(error);
        return nullptr;
    }
    quarvo::Lts lts = quarvo::LtsFromStem(*store);
    if (lts.ArcCount() > 0) {
        lts.labels.push_back("CHANGED");
        lts.label.back() = static_cast<std::uint32_t>(lts.labels.size() - 1);
    }
    models.changed = std::make_unique<quarvo::StemStore>(quarvo::StoreFromLts(lts));
    models.model = std::move(store);
    return &models;
}

void Register(std::vector<std::unique_ptr<Models>>& all, const char* familyName, std::string (*family)(int), int n) {
    all.push_back(std::make_unique<Models>());
    Models* models = all.back().get();
    const std::pair<const char*, quarvo::Equivalence> kinds[] = {
        {"Strong", quarvo::Equivalence::Strong},
        {"Branching", quarvo::Equivalence::Branching},
        {"DivergenceBranching", quarvo::Equivalence::DivergenceBranching},
        {"Weak", quarvo::Equivalence::Weak},
        {"Traces", quarvo::Equivalence::Traces},
    };
    for (const bool changed : {false, true}) {
        for (const auto& [kind, equivalence] : kinds) {
            const std::string name = std::string("BM_Compare_") + kind + "_" + familyName +
                                     (changed ? "_changed" : "_self") + "/n:" + std::to_string(n);
            auto* b = benchmark::RegisterBenchmark(
                name.c_str(), [models, family, n, changed, equivalence](benchmark::State& state) {
                    const Models* m = Generated(state, family, n, *models);
                    if (m == nullptr) return;
                    const quarvo::StemStore& second = changed ? *m->changed : *m->model;
                    for (auto _ : state) {
                        const quarvo::CompareResult r = quarvo::CompareStems(*m->model, second, equivalence);
                        benchmark::DoNotOptimize(r.equivalent);
                    }
                    state.counters["states"] = static_cast<double>(m->model->StateCount());
                    state.counters["arcs"] = static_cast<double>(m->model->ArcCount());
                });
            b->Unit(benchmark::kMillisecond);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // The models outlive the run; each benchmark holds a pointer to its pair.
    std::vector<std::unique_ptr<Models>> models;
    Register(models, "IndependentInterleaving", quarvo::bench::Independent, 8);  // 6,561 states
    Register(models, "PhilosophersInterleaving", quarvo::bench::Philosophers, 7);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
