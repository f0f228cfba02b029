// Shared pieces of the calvento commands.
#include "cli/CliSupport.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <system_error>

#include "frontend/Parser.h"
#include "frontend/TextFile.h"

namespace calvento {

void StdoutSink::Append(std::string_view line) { std::cout << line << '\n'; }

TerminalProgress::TerminalProgress() : enabled_(isatty(STDERR_FILENO) != 0), start_(Clock::now()), last_(start_) {}

TerminalProgress::~TerminalProgress() {
    if (shown_) std::cerr << '\n';
}

void TerminalProgress::Update(std::int64_t states, std::int64_t transitions) {
    if (!enabled_) return;
    Clock::time_point now = Clock::now();
    if (now - last_ < std::chrono::milliseconds(250)) return;
    last_ = now;
    double seconds = std::chrono::duration<double>(now - start_).count();
    std::cerr << "\r" << states << " états, " << transitions << " transitions, "
              << static_cast<std::int64_t>(seconds > 0 ? static_cast<double>(states) / seconds : 0) << " états/s   "
              << std::flush;
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

std::shared_ptr<quarvo::Compilation> CompileFile(const std::string& path, quarvo::MessageSink& sink) {
    std::vector<std::string> lines;
    if (!ReadLines(path, lines)) return nullptr;
    quarvo::VectorLineSource source(lines);
    quarvo::CompileOutcome outcome = quarvo::CompileSpecification(source, StartDirectory(), sink);
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

bool ParseCount(const std::string& text, std::int64_t& value) {
    if (text.empty() || text.size() > 12) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::stoll(text);
    return value > 0;
}

}  // namespace calvento
