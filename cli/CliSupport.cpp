// Shared pieces of the calvento commands.
#include "cli/CliSupport.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "frontend/Parser.h"
#include "frontend/TextFile.h"
#include "generation/MemoryWatch.h"

namespace calvento {

// Flushed at once: a pipe or a file reading the output gets each line as it comes.
void StdoutSink::Append(std::string_view line) {
    (toStandardError_ ? std::cerr : std::cout) << line << '\n' << std::flush;
}

TerminalProgress::TerminalProgress() : terminal_(isatty(STDERR_FILENO) != 0), start_(Clock::now()), last_(start_) {}

TerminalProgress::~TerminalProgress() {
    if (shown_ && terminal_) std::cerr << '\n';
}

bool TerminalProgress::Due() {
    const Clock::time_point now = Clock::now();
    // A terminal's line is rewritten more than four times a second (the
    // generation reports every 50 ms); elsewhere (a log file, a pipe) a full
    // line is added every few seconds, so that a short run adds none.
    if (now - last_ < (terminal_ ? std::chrono::milliseconds(200) : std::chrono::milliseconds(5000))) return false;
    last_ = now;
    return true;
}

void TerminalProgress::UpdatePhase(const std::string& phase, std::int64_t count, const char* unit) {
    if (!Due()) return;
    if (terminal_)
        std::cerr << "\r" << phase << " : " << count << " " << unit << "          ";
    else
        std::cerr << "Progression : " << phase << " : " << count << " " << unit << "\n";
    std::cerr << std::flush;
    shown_ = true;
}

void TerminalProgress::UpdateGeneration(const quarvo::GenerationFigures& figures) {
    generation_ = true;
    if (!Due()) return;
    std::string line = std::to_string(states_) + " états, " + std::to_string(transitions_) + " transitions";
    if (figures.levelStates > 0)
        line += ", niveau " + std::to_string(figures.level) + " : " +
                std::to_string(figures.levelExplored * 100 / figures.levelStates) + " %";
    line += ", " + std::to_string(figures.seconds) + " s, " + std::to_string(figures.memoryUsed / (1024 * 1024)) + " Mo";
    if (terminal_)
        std::cerr << "\r" << line << "   ";
    else
        std::cerr << "Progression : " << line << "\n";
    std::cerr << std::flush;
    shown_ = true;
}

void TerminalProgress::Update(std::int64_t states, std::int64_t transitions) {
    states_ = states;
    transitions_ = transitions;
    if (generation_ || !Due()) return;
    const Clock::time_point now = last_;
    double seconds = std::chrono::duration<double>(now - start_).count();
    const std::int64_t rate = static_cast<std::int64_t>(seconds > 0 ? static_cast<double>(states) / seconds : 0);
    if (terminal_)
        std::cerr << "\r" << states << " états, " << transitions << " transitions, " << rate << " états/s   ";
    else
        std::cerr << "Progression : " << states << " états, " << transitions << " transitions, " << rate
                  << " états/s\n";
    std::cerr << std::flush;
    shown_ = true;
}

std::string StartDirectory() {
    std::error_code ec;
    return std::filesystem::current_path(ec).string();
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
    quarvo::TextFileResult file = quarvo::ReadTextFile(path);
    if (!file.status) {
        std::cerr << "calvento : " << file.status.message() << '\n';
        return false;
    }
    lines = std::move(file.lines);
    return true;
}

std::shared_ptr<quarvo::Compilation> CompileFile(const std::string& path, quarvo::MessageSink& sink,
                                                 std::int64_t memoryLimit) {
    std::vector<std::string> lines;
    if (!ReadLines(path, lines)) return nullptr;
    quarvo::VectorLineSource source(lines);
    const quarvo::MemoryWatch memory(memoryLimit);
    quarvo::CompileOutcome outcome =
        quarvo::CompileSpecification(source, StartDirectory(), sink, [&memory] { return memory.NearLimit(); });
    if (!outcome.tables) {
        std::cerr << "calvento : compilation abandonnée. " << outcome.tables.message() << '\n';
        return nullptr;
    }
    return outcome.ok() ? outcome.compilation : nullptr;
}

int OutOfMemory() {
    std::cerr << "calvento : mémoire insuffisante, opération abandonnée.\n";
    return 2;
}

bool WritesStandardOutput(const std::vector<std::string>& outputs) {
    return std::find(outputs.begin(), outputs.end(), StandardOutputName) != outputs.end();
}

bool OutputsAreDistinct(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs) {
    std::vector<std::string> files;
    bool standardOutput = false;
    for (const std::string& output : outputs) {
        if (output.empty()) continue;
        if (output != StandardOutputName) {
            files.push_back(output);
        } else if (standardOutput) {
            std::cerr << "calvento : la sortie standard (« - ») ne peut recevoir qu'un fichier : "
                         "rien n'a été écrit.\n";
            return false;
        } else {
            standardOutput = true;
        }
    }
    const quarvo::Status distinct = quarvo::RefuseSharedFiles(inputs, files);
    if (!distinct) std::cerr << "calvento : " << distinct.message() << '\n';
    return static_cast<bool>(distinct);
}

std::string WrittenLine(const std::string& what, const std::string& path) {
    if (path == StandardOutputName) return what + " sur la sortie standard.";
    return what + " dans « " + path + " ».";
}

bool WriteOutputs(std::vector<quarvo::FileOutput> outputs) {
    for (quarvo::FileOutput& output : outputs) {
        if (output.path != StandardOutputName) continue;
        output.descriptor = STDOUT_FILENO;
        output.path = "sortie standard";
    }
    std::cout.flush();
    const quarvo::Status written = quarvo::WriteFilesTogether(outputs);
    if (!written) std::cerr << "calvento : " << written.message() << '\n';
    return static_cast<bool>(written);
}

bool ParseMemoryLimit(const std::string& text, std::int64_t& bytes) {
    std::int64_t megabytes = 0;
    if (!ParseCount(text, megabytes) || megabytes > (std::int64_t{1} << 40)) {
        std::cerr << "calvento : --memoire-max attend un nombre entier positif de mégaoctets.\n";
        return false;
    }
    bytes = megabytes * 1024 * 1024;
    return true;
}

bool OptionsAgree(const std::vector<std::string>& args, const char* program) {
    // The options followed by a value, which is never read as an option.
    static const char* const withValue[] = {"-o", "--aut", "--max-etats", "--memoire-max", "--fils",
                                            "--fichier", "-f", "--chemin"};
    // Options of one group choose among the values of one setting.
    static const std::vector<std::vector<std::string>> groups = {
        {"--lotos", "--dialecte"},
        {"--fort", "--branchement", "--branchement-div", "--observationnelle", "--traces"},
        {"--maximalite", "--entrelacement"},
    };
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a[0] != '-') continue;
        for (const std::string& earlier : seen) {
            bool clash = earlier == a;
            for (const auto& group : groups)
                clash = clash || (std::count(group.begin(), group.end(), earlier) != 0 &&
                                  std::count(group.begin(), group.end(), a) != 0);
            if (!clash) continue;
            if (!program) return false;
            if (earlier == a)
                std::cerr << program << " : l'option « " << a << " » est donnée deux fois : rien n'a été fait.\n";
            else
                std::cerr << program << " : les options « " << earlier << " » et « " << a
                          << " » s'excluent : rien n'a été fait.\n";
            return false;
        }
        seen.push_back(a);
        if (std::any_of(std::begin(withValue), std::end(withValue), [&](const char* o) { return a == o; })) ++i;
    }
    return true;
}

bool ParseCount(const std::string& text, std::int64_t& value) {
    if (text.empty() || text.size() > 12) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::stoll(text);
    return value > 0;
}

OptionRead ReadGenerateOption(const std::vector<std::string>& args, std::size_t& i, GenerateOptions& o,
                              const char* program, bool speak) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
        if (i + 1 >= args.size()) return false;
        out = args[++i];
        return true;
    };
    auto invalid = [&](const std::string& message) {
        if (speak) std::cerr << program << " : " << message << '\n';
        return OptionRead::Invalid;
    };
    std::string number;
    if (a == "--entrelacement") {
        o.settings.semantics = quarvo::Semantics::Interleaving;
    } else if (a == "--cpbr") {
        o.settings.cpbrOff = false;
    } else if (a == "--max-etats") {
        if (!value(number) || !ParseCount(number, o.settings.maxStates))
            return invalid("--max-etats attend un nombre entier positif.");
    } else if (a == "--memoire-max") {
        value(number);
        if (!ParseMemoryLimit(number, o.settings.memoryLimit)) return OptionRead::Invalid;
    } else if (a == "--fils") {
        std::int64_t threads = 0;
        if (!value(number) || !ParseCount(number, threads) || threads > 1024)
            return invalid("--fils attend un nombre entier de 1 à 1024.");
        o.settings.threads = static_cast<int>(threads);
    } else if (a == "-o" || a == "--aut") {
        if (!value(a == "-o" ? o.stemPath : o.autPath)) return invalid(a + " attend un nom de fichier.");
    } else if (a == "--aut-noms-caches") {
        o.aut.keepHiddenNames = true;
    } else {
        return OptionRead::Other;
    }
    return OptionRead::Taken;
}

}  // namespace calvento
