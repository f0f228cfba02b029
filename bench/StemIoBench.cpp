// Reading and writing speed of classic STEM texts, on a synthetic STEM of 1,000,000 states.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "generation/StemWriter.h"
#include "stemio/StemReader.h"

namespace {

// A ring of states: state k reaches k + 1 (k + 1 is first named there), goes
// back to k / 2 and to 0; every set has one or two events of a few actions.
std::vector<std::string> GenerateStemText(int states) {
    const char* actions[] = {"SEND", "RECEIVE", "I_TIMEOUT", "delta"};
    auto events = [&actions](int k) {
        const std::string a = actions[k % 4];
        if (k == 0) return std::string("{}");
        if (k % 3 == 0) return "{1:" + a + "}";
        return "{1:" + a + ",2:" + actions[(k + 1) % 4] + "}";
    };
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(states) + 2);
    lines.push_back("BEGIN " + std::to_string(states) + ";");
    for (int k = 0; k < states; ++k) {
        const std::string source = events(k) + std::to_string(k) + "<";
        const int next = (k + 1) % states;
        std::string line;
        line += source + events(k) + actions[next % 4] + ":1>" + events(next) + std::to_string(next) + ";";
        line += source + "{1:" + actions[k % 4] + "}" + actions[(k + 2) % 4] + ":2>" + events(k / 2) +
                std::to_string(k / 2) + ";";
        line += source + "{}I:3>{}0;";
        lines.push_back(std::move(line));
    }
    lines.push_back("END");
    return lines;
}

void BM_ReadClassicStem(benchmark::State& state) {
    const int states = static_cast<int>(state.range(0));
    const std::vector<std::string> lines = GenerateStemText(states);
    std::size_t bytes = 0;
    for (const std::string& line : lines) bytes += line.size() + 2;  // with CR LF, as on disk
    for (auto _ : state) {
        quarvo::VectorLineSource source(lines);
        quarvo::StemReadResult result = quarvo::ReadClassicStem(source);
        if (!result.ok || result.stem.StateList.size() != static_cast<std::size_t>(states)) {
            state.SkipWithError("the synthetic STEM text was not read back whole");
            return;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
    state.counters["states"] = static_cast<double>(states);
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_WriteClassicStem(benchmark::State& state) {
    const int states = static_cast<int>(state.range(0));
    const std::vector<std::string> lines = GenerateStemText(states);
    quarvo::VectorLineSource source(lines);
    quarvo::StemReadResult read = quarvo::ReadClassicStem(source);
    if (!read.ok) {
        state.SkipWithError("the synthetic STEM text could not be read");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = quarvo::ClassicStemText(read.stem, read.stem.StemStateCount);
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
    state.counters["states"] = static_cast<double>(states);
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

}  // namespace

BENCHMARK(BM_WriteClassicStem)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_ReadClassicStem)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(3.0);

BENCHMARK_MAIN();
