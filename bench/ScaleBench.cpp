// How generation scales: speed and peak memory on families of specifications
// whose state spaces grow from thousands to millions and beyond, and on shapes
// that are hostile to the generator.
//
// Benchmarks, by prefix (n is the family's size parameter):
//   BM_Scale_...    the two modest sizes of each family; the only ones run by
//                   default (a few seconds each).
//   BM_Million_...  the size of each family with 10^6 states or more
//                   (minutes each with the current generator).
//   BM_Huge_...     more than 10^7 states; also tells whether the run fits in
//                   4 GB (counter fits_4GB, peak_rss_MB).
//   BM_Hostile_...  a 10,000- and a 100,000-action chain, and 1,000 and 10,000
//                   one-action processes side by side bounded to 10 states.
// Families: IndependentInterleaving, IndependentMaximality,
// IndependentMaximalityCpbr (n processes A_i; B_i; EXIT joined by |||) and
// PhilosophersInterleaving (n dining philosophers, forks as processes, the
// take and put gates hidden).
//
// Running them:
//   bench_scale                                        BM_Scale_ only
//   bench_scale --benchmark_filter='Scale|Million'     the three sizes of each family
//   bench_scale --benchmark_filter=Huge
//   bench_scale --benchmark_filter=Hostile
// Giving --benchmark_filter replaces the default one. After the runs, the time per
// state of each family is printed on the error output from its smallest size
// to its largest, with the growth factor against the smallest, then the speed-up
// of all threads over one at each size.
//
// Each size runs at fils:1 (one thread) and fils:0 (one thread per core).
//
// Counters: states, arcs; states_per_s, transitions_per_s and ns_per_state on
// the wall-clock time (the exploration runs on threads of its own);
// cpu_ns_per_state on the process's CPU time, all threads together;
// peak_rss_MB (the process's peak resident set during the
// generation); peak_bytes_per_state and peak_bytes_per_arc (that peak less the
// resident set before the generation, per state and per arc).
//
// So that a run cannot exhaust the shared machine, the address space is
// limited to 4 GB (--memory_limit_gb=N changes it, 0 lifts it); a generation
// that runs out of memory is reported as an error with its peak, and the next
// benchmark runs.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "bench/BenchFamilies.h"
#include "bench/BenchSupport.h"
#include "bench/PeakMemory.h"
#include "frontend/Parser.h"
#include "generation/Generator.h"

namespace {

using quarvo::Semantics;
using quarvo::bench::Independent;
using quarvo::bench::PeakMemory;
using quarvo::bench::Philosophers;

constexpr double kMiB = 1024.0 * 1024.0;
constexpr std::int64_t kFourGiB = std::int64_t{4} << 30;

// ----- The families, as LOTOS text (lines stay well under 300 characters) -----

// n processes, each cycling through 26 actions for ever, joined by |||:
// 26^n states, n arcs from each (11,881,376 states for n = 5).
std::string Cycles(int n) {
    std::string gates, body, cycle;
    for (int i = 0; i < n; ++i) {
        gates += (i ? ", C" : "C") + std::to_string(i);
        body += (i ? "\n||| Cycle [C" : "Cycle [C") + std::to_string(i) + "]";
    }
    for (int step = 0; step < 26; ++step) cycle += "A; ";
    return "SYSTEM Cycles [" + gates + "] :=\n" + body +
           "\nWHERE\n"
           "PROCESS Cycle [A] :=\n  " +
           cycle +
           "Cycle [A]\n"
           "ENDPROC\n"
           "ENDSYS";
}

// A choice of n branches A; NIL: two states, n arcs.
std::string Choice(int n) {
    std::string text = "SYSTEM Choice [A] :=\nA; NIL";
    for (int i = 1; i < n; ++i) text += "\n[] A; NIL";
    return text + "\nENDSYS";
}

// A; A; ...; NIL with n actions.
std::string Chain(int n) {
    std::string text = "SYSTEM Chain [A] :=\n";
    for (int i = 0; i < n; ++i) text += (i % 80 == 79) ? "A;\n" : "A; ";
    return text + "NIL\nENDSYS";
}

// n processes A; NIL joined by |||.
std::string Wide(int n) {
    std::string text = "SYSTEM Wide [A] :=\nA; NIL";
    for (int i = 1; i < n; ++i) text += "\n||| A; NIL";
    return text + "\nENDSYS";
}

// ----- Compilation and measures -----

quarvo::CompileOutcome Compile(const std::string& text) { return quarvo::bench::CompileText(text); }

// The process's CPU time: the exploration runs on a thread of its own while
// the benchmark's thread waits for it.
double ClockSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
double ProcessCpuSeconds() { return ClockSeconds(CLOCK_PROCESS_CPUTIME_ID); }
double WallSeconds() { return ClockSeconds(CLOCK_MONOTONIC); }

std::int64_t memoryLimit = kFourGiB;  // 0: none

std::string OutOfMemory(const PeakMemory& peak) {
    char text[160];
    std::snprintf(text, sizeof text, "out of memory under the %.1f GB address-space limit (peak RSS %.0f MB)",
                  static_cast<double>(memoryLimit) / (1 << 30), static_cast<double>(peak.Peak()) / kMiB);
    return text;
}

struct Workload {
    std::string (*family)(int);
    Semantics semantics;
    bool cpbr = false;
    std::int64_t maxStates = 0;
};

void Generate(benchmark::State& state, const Workload& workload) {
    const int n = static_cast<int>(state.range(0));
    quarvo::CompileOutcome compiled = Compile(workload.family(n));
    if (!compiled.ok()) {
        state.SkipWithError("the generated specification does not compile");
        return;
    }
    quarvo::GenerationSettings settings;
    settings.semantics = workload.semantics;
    settings.cpbrOff = !workload.cpbr;
    settings.maxStates = workload.maxStates;
    settings.threads = static_cast<int>(state.range(1));
    PeakMemory peak;
    quarvo::GenerationResult result;
    std::int64_t totalStates = 0, totalArcs = 0;
    peak.Start();
    const double cpuBefore = ProcessCpuSeconds(), wallBefore = WallSeconds();
    for (auto _ : state) {
        quarvo::StemStore store;
        result = quarvo::GenerateStem(compiled.compilation, settings, store);
        if (result.abandoned) {
            state.SkipWithError(OutOfMemory(peak).c_str());
            return;
        }
        totalStates += result.states;
        totalArcs += result.arcs;
    }
    if (result.stoppedByMemory) {
        state.SkipWithError(("stopped near the memory limit after " + std::to_string(result.states) + " states; " +
                             OutOfMemory(peak))
                                .c_str());
        return;
    }
    const double cpuSeconds = ProcessCpuSeconds() - cpuBefore, wallSeconds = WallSeconds() - wallBefore;
    const double states = static_cast<double>(result.states), arcs = static_cast<double>(result.arcs);
    const double growth = static_cast<double>(peak.Growth());
    state.counters["states"] = states;
    state.counters["arcs"] = arcs;
    state.counters["states_per_s"] = wallSeconds > 0 ? static_cast<double>(totalStates) / wallSeconds : 0.0;
    state.counters["transitions_per_s"] = wallSeconds > 0 ? static_cast<double>(totalArcs) / wallSeconds : 0.0;
    state.counters["ns_per_state"] = totalStates > 0 ? wallSeconds * 1e9 / static_cast<double>(totalStates) : 0.0;
    // Other programs on the machine delay the wall-clock time, not this.
    state.counters["cpu_ns_per_state"] =
        totalStates > 0 ? cpuSeconds * 1e9 / static_cast<double>(totalStates) : 0.0;
    state.counters["peak_rss_MB"] = static_cast<double>(peak.Peak()) / kMiB;
    state.counters["peak_bytes_per_state"] = states > 0 ? growth / states : 0.0;
    state.counters["peak_bytes_per_arc"] = arcs > 0 ? growth / arcs : 0.0;
    if (workload.maxStates > 0) state.counters["stopped_by_bound"] = result.stoppedByBound ? 1 : 0;
    if (!peak.Reset()) state.SetLabel("peak since the process started");
}

void GenerateHuge(benchmark::State& state, const Workload& workload) {
    Generate(state, workload);
    if (!state.error_occurred())
        state.counters["fits_4GB"] = state.counters["peak_rss_MB"].value * kMiB <= static_cast<double>(kFourGiB);
}

const Workload kIndependentInterleaving{Independent, Semantics::Interleaving};
const Workload kIndependentMaximality{Independent, Semantics::Maximality};
const Workload kIndependentMaximalityCpbr{Independent, Semantics::Maximality, true};
const Workload kPhilosophersInterleaving{Philosophers, Semantics::Interleaving};

void Register(const char* name, void (*body)(benchmark::State&, const Workload&), const Workload& workload,
              std::initializer_list<int> sizes) {
    auto* b = benchmark::RegisterBenchmark(name, body, workload);
    b->ArgNames({"n", "fils"})->Unit(benchmark::kMillisecond)->Iterations(1);
    for (int n : sizes)
        for (int threads : {1, 0}) b->Args({n, threads});
}

// State counts and, where it matters, the current generator's figures in the comments.
void RegisterAll() {
    // 6,562, 59,050 and 531,442 states; 1,594,324 states (3^n + 1).
    Register("BM_Scale_IndependentInterleaving", Generate, kIndependentInterleaving, {8, 10, 12});
    Register("BM_Million_IndependentInterleaving", Generate, kIndependentInterleaving, {13});
    // 6,332 and 75,974 states; 1,063,624 states.
    Register("BM_Scale_IndependentMaximality", Generate, kIndependentMaximality, {5, 6});
    Register("BM_Million_IndependentMaximality", Generate, kIndependentMaximality, {7});
    // CPBR merges this family down to the interleaving's counts.
    Register("BM_Scale_IndependentMaximalityCpbr", Generate, kIndependentMaximalityCpbr, {8, 10});
    Register("BM_Million_IndependentMaximalityCpbr", Generate, kIndependentMaximalityCpbr, {13});
    // 4,286 and 46,763 states (n = 10: 154,450); 1,684,801 states, for which the
    // current generator needs 4.1 GB: give it --memory_limit_gb=6.
    Register("BM_Scale_PhilosophersInterleaving", Generate, kPhilosophersInterleaving, {7, 9, 10});
    Register("BM_Million_PhilosophersInterleaving", Generate, kPhilosophersInterleaving, {12});

    // 14,348,908 states; about 1.8 * 10^7 states.
    Register("BM_Huge_IndependentInterleaving", GenerateHuge, kIndependentInterleaving, {15});
    Register("BM_Huge_PhilosophersInterleaving", GenerateHuge, kPhilosophersInterleaving, {14});
    // 11,881,376 states, 5 arcs from each.
    Register("BM_Huge_CyclesInterleaving", GenerateHuge, Workload{Cycles, Semantics::Interleaving}, {5});

    // The current generator: 10,001 states in about 10 s and 0.9 GB for the
    // 10,000 chain; out of memory on the 100,000 chain and on the 10,000 wide
    // one, and 1,001 states (the bound is looked at after a whole state's
    // successors) for the 1,000 wide one.
    Register("BM_Hostile_Chain", Generate, Workload{Chain, Semantics::Maximality}, {10000, 100000});
    Register("BM_Hostile_Choice", Generate, Workload{Choice, Semantics::Interleaving}, {10000, 100000});
    Register("BM_Hostile_WideBounded", Generate, Workload{Wide, Semantics::Maximality, false, 10}, {1000, 10000});
}

// ----- Growth of the time per state -----

// Passes every report on to the usual display and keeps each family's time per
// state by size, to print how it grows once all have run.
class GrowthReporter final : public benchmark::BenchmarkReporter {
public:
    explicit GrowthReporter(benchmark::BenchmarkReporter* display) : display_(display) {}

    bool ReportContext(const Context& context) override { return display_->ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            const std::string& name = run.run_name.function_name;
            const std::size_t family = name.find('_', name.find('_') + 1);  // after BM_Scale_, BM_Million_...
            auto nsPerState = run.counters.find("ns_per_state");
            auto states = run.counters.find("states");
            if (family == std::string::npos || nsPerState == run.counters.end() || states == run.counters.end())
                continue;
            const std::string& args = run.run_name.args;  // "n:10/fils:0"
            const std::size_t colon = args.find(':'), slash = args.find('/');
            const int n = std::atoi(args.c_str() + (colon == std::string::npos ? 0 : colon + 1));
            const bool allThreads = slash != std::string::npos && args.substr(slash) == "/fils:0";
            const std::string key = name.substr(family + 1) + (allThreads ? " fils:all" : " fils:1");
            families_[key][n] = {states->second.value, nsPerState->second.value};
        }
        display_->ReportRuns(runs);
    }
    void Finalize() override { display_->Finalize(); }

    void PrintGrowth(std::ostream& out) const {
        bool header = false;
        for (const auto& [family, sizes] : families_) {
            if (sizes.size() < 2 || family.rfind("Chain", 0) == 0 || family.rfind("Wide", 0) == 0 ||
                family.rfind("Choice", 0) == 0) continue;
            if (!header) out << "\nTime per state, from the smallest size to the largest:\n", header = true;
            const double first = sizes.begin()->second.nsPerState;
            for (const auto& [n, figures] : sizes) {
                char line[200];
                std::snprintf(line, sizeof line, "  %-28s n=%-3d %12.0f states %10.0f ns/state  x%.2f\n",
                              family.c_str(), n, figures.states, figures.nsPerState,
                              first > 0 ? figures.nsPerState / first : 0.0);
                out << line;
            }
        }
        bool speedHeader = false;
        for (const auto& [family, sizes] : families_) {
            const std::size_t at = family.rfind(" fils:1");
            if (at == std::string::npos) continue;
            auto all = families_.find(family.substr(0, at) + " fils:all");
            if (all == families_.end()) continue;
            if (!speedHeader) out << "\nSpeed-up of all threads over one:\n", speedHeader = true;
            for (const auto& [n, one] : sizes) {
                auto many = all->second.find(n);
                if (many == all->second.end() || many->second.nsPerState <= 0) continue;
                char line[200];
                std::snprintf(line, sizeof line, "  %-28s n=%-6d x%.2f\n", family.substr(0, at).c_str(), n,
                              one.nsPerState / many->second.nsPerState);
                out << line;
            }
        }
    }

private:
    struct Figures {
        double states = 0, nsPerState = 0;
    };
    benchmark::BenchmarkReporter* display_;
    std::map<std::string, std::map<int, Figures>> families_;
};

}  // namespace

int main(int argc, char** argv) {
    bool filterGiven = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--memory_limit_gb=", 0) == 0) {
            memoryLimit = static_cast<std::int64_t>(std::stod(arg.substr(18)) * (1 << 30));
            continue;
        }
        if (arg.rfind("--benchmark_filter", 0) == 0) filterGiven = true;
        args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    if (!filterGiven) benchmark::SetBenchmarkFilter("BM_Scale_");

    if (memoryLimit > 0) {
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        const auto wanted = static_cast<rlim_t>(memoryLimit);
        if (limit.rlim_max == RLIM_INFINITY || wanted < limit.rlim_max) limit.rlim_cur = wanted;
        if (setrlimit(RLIMIT_AS, &limit) != 0) std::perror("setrlimit(RLIMIT_AS)");
    }

    RegisterAll();
    GrowthReporter reporter(benchmark::CreateDefaultDisplayReporter());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintGrowth(std::cerr);
    benchmark::Shutdown();
    return 0;
}
