// Compilation speed and memory on a generated specification of about 10,000 lines.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "frontend/Parser.h"

namespace {

// A system calling a chain of processes; each process uses every operator
// once, a hidden gate and a comment, in five lines.
std::vector<std::string> GenerateSpecification(int targetLines) {
    std::vector<std::string> lines;
    const int processes = (targetLines - 6) / 5;
    lines.push_back("{ Spécification générée pour mesurer la compilation. }");
    lines.push_back("SYSTEM Big [A, B, C] :=");
    lines.push_back("  P0 [A, B, C] ||| P1 [C, B, A]");
    lines.push_back("WHERE");
    for (int i = 0; i < processes; ++i) {
        std::string p = "P" + std::to_string(i);
        std::string next = "P" + std::to_string((i + 1) % processes);
        lines.push_back("  PROCESS " + p + " [X, Y, Z] :=  { processus " + std::to_string(i) + " }");
        lines.push_back("    X; Y; " + next + " [X, Y, Z] [] I; Z; EXIT");
        lines.push_back("    >> HIDE H IN (H; Z; EXIT ||| Y; EXIT |[Y]| Y; EXIT || X; EXIT)");
        lines.push_back("    [> " + p + " [Z, Y, X]");
        lines.push_back("  ENDPROC");
    }
    lines.push_back("ENDSYS");
    return lines;
}

class NullSink final : public quarvo::MessageSink {
public:
    void Append(std::string_view) override {}
};

void BM_Compile10000Lines(benchmark::State& state) {
    const std::vector<std::string> lines = GenerateSpecification(10000);
    const quarvo::ParseTablesResult tables = quarvo::LoadParseTablesFrom(std::string(QUARVO_SOURCE_DIR) + "/tables");
    if (!tables.status) {
        state.SkipWithError(tables.status.message().c_str());
        return;
    }
    std::size_t nodes = 0;
    for (auto _ : state) {
        quarvo::VectorLineSource source(lines);
        NullSink sink;
        quarvo::CompileOutcome outcome = quarvo::CompileSpecification(source, tables.tables, sink);
        if (!outcome.ok()) {
            state.SkipWithError("the generated specification does not compile");
            return;
        }
        nodes = outcome.compilation->arena.NodeCount();
        benchmark::DoNotOptimize(outcome);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["lines"] = static_cast<double>(lines.size());
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["peak_rss_kb"] = static_cast<double>(usage.ru_maxrss);
    state.counters["lines_per_s"] =
        benchmark::Counter(static_cast<double>(lines.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Compile10000Lines)->Unit(benchmark::kMillisecond);

// A chain of N processes in the standard syntax, each calling the next: the
// calls resolve in time linear in N (100,000 in well under a second).
void BM_StandardChainOfProcesses(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<std::string> lines{"specification S [a] : noexit behaviour P0 [a] where"};
    for (int i = 0; i < n; ++i)
        lines.push_back("process P" + std::to_string(i) + " [x] : noexit := x; P" + std::to_string(i + 1) +
                        " [x] endproc");
    lines.push_back("process P" + std::to_string(n) + " [x] : noexit := x; stop endproc");
    lines.push_back("endspec");
    const quarvo::ParseTablesResult tables = quarvo::LoadParseTablesFrom(std::string(QUARVO_SOURCE_DIR) + "/tables");
    for (auto _ : state) {
        quarvo::VectorLineSource source(lines);
        NullSink sink;
        quarvo::CompileOutcome outcome = quarvo::CompileSpecification(source, tables.tables, sink);
        if (!outcome.ok()) {
            state.SkipWithError("the chain does not compile");
            return;
        }
        benchmark::DoNotOptimize(outcome);
    }
    state.counters["processes"] = n;
}
BENCHMARK(BM_StandardChainOfProcesses)->Arg(10000)->Arg(40000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
