// Reading and writing speed of classic STEM texts, on synthetic STEMs: in memory
// (1,000,000 states) and through a file of about 100 MB, in MB/s; saving a
// file of 1,000,000 states with and without its flush to the disk; and
// reading the .aut file of the same STEM.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "frontend/FileWriting.h"
#include "generation/StemWriter.h"
#include "stemio/AutReader.h"
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

// Decimal megabytes per second, beside the library's binary bytes_per_second.
benchmark::Counter MegabytesPerSecond(benchmark::State& state, std::uintmax_t bytes) {
    return benchmark::Counter(static_cast<double>(bytes) * static_cast<double>(state.iterations()) / 1e6,
                              benchmark::Counter::kIsRate);
}

void BM_ReadClassicStem(benchmark::State& state) {
    const int states = static_cast<int>(state.range(0));
    const std::vector<std::string> lines = GenerateStemText(states);
    std::size_t bytes = 0;
    for (const std::string& line : lines) bytes += line.size() + 2;  // with CR LF, as on disk
    for (auto _ : state) {
        quarvo::VectorLineSource source(lines);
        quarvo::StemReadResult result = quarvo::ReadClassicStem(source);
        if (!result.status || result.stem.StateCount() != static_cast<std::size_t>(states)) {
            state.SkipWithError("the synthetic STEM text was not read back whole");
            return;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
    state.counters["states"] = static_cast<double>(states);
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["MB_per_s"] = MegabytesPerSecond(state, bytes);
}

void BM_WriteClassicStem(benchmark::State& state) {
    const int states = static_cast<int>(state.range(0));
    const std::vector<std::string> lines = GenerateStemText(states);
    quarvo::VectorLineSource source(lines);
    quarvo::StemReadResult read = quarvo::ReadClassicStem(source);
    if (!read.status) {
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
    state.counters["MB_per_s"] = MegabytesPerSecond(state, bytes);
}

// A STEM file of the synthetic STEM, in the temporary directory; removed at exit.
struct StemFile {
    std::string path;
    quarvo::StemStore stem;
    std::uintmax_t bytes = 0;
    explicit StemFile(int states) {
        path = (std::filesystem::temp_directory_path() /
                ("bench_stemio_" + std::to_string(getpid()) + "_" + std::to_string(states) + ".STEM"))
                   .string();
        const std::vector<std::string> lines = GenerateStemText(states);
        quarvo::VectorLineSource source(lines);
        quarvo::StemReadResult read = quarvo::ReadClassicStem(source);
        if (!read.status) return;
        stem = std::move(read.stem);
    }
    ~StemFile() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
};

void BM_WriteClassicStemFile(benchmark::State& state) {
    StemFile file(static_cast<int>(state.range(0)));
    if (file.stem.Empty()) {
        state.SkipWithError("the synthetic STEM text could not be read");
        return;
    }
    for (auto _ : state) {
        const quarvo::Status written = quarvo::WriteClassicStem(file.path, file.stem, file.stem.StemStateCount);
        if (!written) {
            state.SkipWithError(written.message().c_str());
            return;
        }
    }
    file.bytes = std::filesystem::file_size(file.path);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(file.bytes));
    state.counters["MB"] = static_cast<double>(file.bytes) / 1e6;
    state.counters["MB_per_s"] = MegabytesPerSecond(state, file.bytes);
}

void BM_ReadClassicStemFile(benchmark::State& state) {
    StemFile file(static_cast<int>(state.range(0)));
    if (file.stem.Empty() || !quarvo::WriteClassicStem(file.path, file.stem, file.stem.StemStateCount)) {
        state.SkipWithError("the synthetic STEM file could not be written");
        return;
    }
    file.bytes = std::filesystem::file_size(file.path);
    for (auto _ : state) {
        quarvo::StemReadResult result = quarvo::ReadClassicStemFile(file.path);
        if (!result.status || result.stem.StateCount() != file.stem.StateCount()) {
            state.SkipWithError("the synthetic STEM file was not read back whole");
            return;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(file.bytes));
    state.counters["MB"] = static_cast<double>(file.bytes) / 1e6;
    state.counters["MB_per_s"] = MegabytesPerSecond(state, file.bytes);
}

// Saving the classic STEM file of 1,000,000 states (about 170 MB) as the
// program saves it: through an unnamed temporary file put in place, with
// (range 1 = 1) and without (0) the flush of the file to the disk before it
// replaces the earlier one, and of the directory after. The difference is
// what surviving a power cut costs.
void BM_SaveClassicStemFile(benchmark::State& state) {
    StemFile file(static_cast<int>(state.range(0)));
    if (file.stem.Empty()) {
        state.SkipWithError("the synthetic STEM text could not be read");
        return;
    }
    quarvo::FileOperations operations;
    if (state.range(1) == 0) operations.sync = [](int) { return 0; };
    const auto write = [&](std::ostream& out) { quarvo::WriteClassicStem(out, file.stem, file.stem.StemStateCount); };
    for (auto _ : state) {
        const quarvo::Status written = quarvo::WriteFileAtomically(file.path, write, operations);
        if (!written) {
            state.SkipWithError(written.message().c_str());
            return;
        }
    }
    file.bytes = std::filesystem::file_size(file.path);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(file.bytes));
    state.counters["MB"] = static_cast<double>(file.bytes) / 1e6;
    state.counters["MB_per_s"] = MegabytesPerSecond(state, file.bytes);
}

// The synthetic STEM's .aut file (about 40 MB for 1,000,000 states), read
// back: its arcs are put state by state after the whole file is read.
void BM_ReadAutFile(benchmark::State& state) {
    StemFile file(static_cast<int>(state.range(0)));
    file.path += ".aut";
    if (file.stem.Empty() || !quarvo::WriteAut(file.path, file.stem)) {
        state.SkipWithError("the synthetic .aut file could not be written");
        return;
    }
    file.bytes = std::filesystem::file_size(file.path);
    for (auto _ : state) {
        quarvo::AutReadResult result = quarvo::ReadAutFile(file.path);
        if (!result.status || result.stem.StateCount() != file.stem.StateCount()) {
            state.SkipWithError("the synthetic .aut file was not read back whole");
            return;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(file.bytes));
    state.counters["MB"] = static_cast<double>(file.bytes) / 1e6;
    state.counters["MB_per_s"] = MegabytesPerSecond(state, file.bytes);
}

}  // namespace

BENCHMARK(BM_WriteClassicStem)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_ReadClassicStem)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(3.0);
// About 100 MB of text.
BENCHMARK(BM_WriteClassicStemFile)->Arg(600000)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_SaveClassicStemFile)
    ->ArgNames({"states", "flush"})
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);
BENCHMARK(BM_ReadClassicStemFile)->Arg(600000)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_ReadAutFile)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(3.0);

BENCHMARK_MAIN();
