// Pieces shared by the calvento commands: message sinks, the progress line, reading the model.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/CoreInterfaces.h"
#include "frontend/FileWriting.h"
#include "frontend/SyntaxTree.h"
#include "generation/GenerationTypes.h"
#include "generation/Progress.h"
#include "generation/StemWriter.h"

namespace calvento {

// Prints each message line on the standard output, or on the standard error
// when the standard output carries a file (an output named "-").
class StdoutSink final : public quarvo::MessageSink {
public:
    explicit StdoutSink(bool toStandardError = false) : toStandardError_(toStandardError) {}
    void Append(std::string_view line) override;

private:
    bool toStandardError_;
};

// Collects the message lines, for a command that prints them only on failure.
class CollectingSink final : public quarvo::MessageSink {
public:
    void Append(std::string_view line) override { lines.emplace_back(line); }
    void Clear() override { lines.clear(); }
    std::vector<std::string> lines;
};

// A progress line on the standard error: on a terminal, one line rewritten a
// few times a second; elsewhere, a line added every five seconds.
class TerminalProgress final : public quarvo::Progress {
public:
    TerminalProgress();
    ~TerminalProgress() override;
    void Update(std::int64_t states, std::int64_t transitions) override;
    // "Progression : affinage de branchement : 1200 blocs".
    void UpdatePhase(const std::string& phase, std::int64_t count, const char* unit) override;
    // A generation's line: its counts, then the level being explored and how
    // much of it is, the time and the memory the generation took.
    void UpdateGeneration(const quarvo::GenerationFigures& figures) override;

private:
    using Clock = std::chrono::steady_clock;
    // True when a line is due now (a few times a second on a terminal, every
    // few seconds elsewhere).
    bool Due();
    bool terminal_;
    bool shown_ = false;
    // A generation reports its figures after its counts: its line waits for them.
    bool generation_ = false;
    std::int64_t states_ = 0;
    std::int64_t transitions_ = 0;
    Clock::time_point start_;
    Clock::time_point last_;
};

// The working directory, where the tables directory is looked for first.
std::string StartDirectory();

// Reads a Windows-1252 text file into lines; prints the error and returns false.
bool ReadLines(const std::string& path, std::vector<std::string>& lines);

// Compiles path, sending the compile command's lines to sink; null on any error
// (a file or table error is printed on the standard error). The compilation
// stops, as a generation does, when the memory nears memoryLimit (0: the
// machine's memory alone).
std::shared_ptr<quarvo::Compilation> CompileFile(const std::string& path, quarvo::MessageSink& sink,
                                                 std::int64_t memoryLimit = 0);

// Says on the standard error that memory ran out and the operation was
// abandoned; returns the exit code of that failure.
int OutOfMemory();

// The name that stands for the standard output among a command's outputs.
inline constexpr std::string_view StandardOutputName = "-";

// Whether one of outputs is the standard output.
bool WritesStandardOutput(const std::vector<std::string>& outputs);

// Refuses, before anything is written, outputs (the empty ones not given)
// that are an input or each other; prints why and returns false.
bool OutputsAreDistinct(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs);

// Writes a command's outputs together ("-" on the standard output): either
// every file is replaced or none is; prints the error and returns false.
bool WriteOutputs(std::vector<quarvo::FileOutput> outputs);

// The confirmation of a file written: "<what> dans « path »." or, for "-",
// "<what> sur la sortie standard.".
std::string WrittenLine(const std::string& what, const std::string& path);

// The value given to --memoire-max (a positive number of megabytes) in
// bytes; prints the error and returns false when it is none.
bool ParseMemoryLimit(const std::string& text, std::int64_t& bytes);

// What the generate commands of calvento and calvento-mpi are asked.
struct GenerateOptions {
    quarvo::GenerationSettings settings;
    std::string input, stemPath, autPath;
    quarvo::AutOptions aut;
};

enum class OptionRead { Taken, Other, Invalid };

// Reads the generation option args[i] (i then stands on its value, if it has
// one) into options: Taken; Other when it is none of them; Invalid when its
// value is wrong, the message, which program begins, printed if speak.
OptionRead ReadGenerateOption(const std::vector<std::string>& args, std::size_t& i, GenerateOptions& options,
                              const char* program, bool speak = true);

// Refuses, before anything else is done, an option given twice ("-o a -o b")
// and two options that choose differently the same thing ("--lotos
// --dialecte", "--fort --traces"): which one was meant cannot be told. Prints
// why (after program; nothing when it is null) and returns false.
bool OptionsAgree(const std::vector<std::string>& args, const char* program = "calvento");

// A positive decimal number of at most 12 digits.
bool ParseCount(const std::string& text, std::int64_t& value);

int Compile(const std::vector<std::string>& args);
int Generate(const std::vector<std::string>& args);
int Regenerate(const std::vector<std::string>& args);
int Check(const std::vector<std::string>& args);
int Ocaml(const std::vector<std::string>& args);
int Compare(const std::vector<std::string>& args);
int Reduce(const std::vector<std::string>& args);
int Verify(const std::vector<std::string>& args);
int Deadlock(const std::vector<std::string>& args);
int Livelock(const std::vector<std::string>& args);
int Export(const std::vector<std::string>& args);
int Simulate(const std::vector<std::string>& args);

}  // namespace calvento
