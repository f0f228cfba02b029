// The tool chain driver: scripts in the work directory started detached with /bin/sh, and the end marker.
#include "stemio/ToolChain.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "frontend/SystemError.h"
#include "frontend/TextFile.h"

extern char** environ;

namespace quarvo {
namespace fs = std::filesystem;

namespace {

// The module files a run needs: each linked object with the interface that
// "open" looks up (the unit Calventosource is looked up as calventosource.cmi).
constexpr const char* kModuleFiles[] = {"calventoSource.cmo", "calventosource.cmi", "lotosGPM.cmo", "lotosGPM.cmi"};

constexpr const char* kMarker = "test";
constexpr const char* kLog = "temp.log";

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

// A word for /bin/sh: the text between single quotes.
std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

const char* ToolOf(ChainScript script) {
    switch (script) {
    case ChainScript::Compile: return "ocamlc";
    case ChainScript::Run: return "ocamlrun";
    case ChainScript::Render: return "dot";
    }
    return "ocamlc";
}

}  // namespace

std::string MissingToolMessage(const std::string& tool) {
    return tool + " introuvable : installez " + (tool == "dot" ? "Graphviz." : "OCaml.");
}

std::string FindOnPath(const std::string& tool) {
    if (tool.empty()) return {};
    if (tool.find('/') != std::string::npos) return IsExecutableFile(tool) ? tool : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        std::size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (dir.empty()) dir = ".";
        std::string candidate = WithSlash(dir) + tool;
        if (IsExecutableFile(candidate)) return candidate;
        if (end == std::string::npos) return {};
        start = end + 1;
    }
}

std::string ChosenCamlDirectory() {
    const char* chosen = std::getenv("QUARVO_CAMLDIR");
    return chosen && *chosen ? WithSlash(chosen) : std::string();
}

std::string PrivateCamlPrefix() {
    return "camlQuarvo-" + std::to_string(geteuid()) + "-" + std::to_string(getpid()) + "-";
}

namespace {

// Removes the private directories of this user whose program has ended:
// only directories (never a link) owned by this user, mode 0700, named with
// the prefix of a process that no longer exists.
void RemoveAbandonedCamlDirectories(const std::string& base) {
    const std::string mine = "camlQuarvo-" + std::to_string(geteuid()) + "-";
    std::error_code ec;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, mine.size(), mine) != 0) continue;
        const std::size_t dash = name.find('-', mine.size());
        if (dash == std::string::npos || dash == mine.size()) continue;
        const std::string digits = name.substr(mine.size(), dash - mine.size());
        if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(digits));
        if (pid <= 0 || pid == getpid() || kill(pid, 0) == 0 || errno != ESRCH) continue;
        struct stat st {};
        if (lstat(it->path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
            (st.st_mode & 07777) != 0700)
            continue;
        std::error_code ignored;
        fs::remove_all(it->path(), ignored);
    }
}

}  // namespace

Status MakePrivateCamlDirectory(std::string& directory) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = WithSlash(tmp && *tmp ? tmp : "/tmp");
    RemoveAbandonedCamlDirectories(base);
    std::string path = base + PrivateCamlPrefix() + "XXXXXX";
    if (mkdtemp(path.data()) == nullptr) {
        return Failure{"Impossible de créer le répertoire de travail dans " + base + " : " + SystemErrorReason(errno) +
                       "."};
    }
    directory = WithSlash(path);
    return {};
}

std::string ProgramDirectory() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "./";
    return WithSlash(exe.parent_path().string());
}

std::string ModuleDirectory() {
    const std::string beside = ProgramDirectory();
    std::error_code ec;
    if (fs::is_regular_file(beside + kModuleFiles[0], ec)) return beside;
    const std::string installed = WithSlash((fs::path(beside) / ".." / "share" / "quarvo").lexically_normal().string());
    if (fs::is_regular_file(installed + kModuleFiles[0], ec)) return installed;
    return beside;
}

PollDeadline::PollDeadline(std::chrono::milliseconds limit) : start_(std::chrono::steady_clock::now()), limit_(limit) {}

std::chrono::milliseconds PollDeadline::Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
}

ToolChain::ToolChain(std::string moduleDirectory, std::string workDirectory)
    : moduleDir_(WithSlash(std::move(moduleDirectory))) {
    if (!workDirectory.empty()) {
        workDir_ = WithSlash(std::move(workDirectory));
        return;
    }
    workDirStatus_ = MakePrivateCamlDirectory(workDir_);
    ownsWorkDir_ = workDirStatus_.ok();
}

ToolChain::~ToolChain() {
    Cancel();
    if (ownsWorkDir_) {
        std::error_code ec;
        fs::remove_all(workDir_, ec);
    }
}

Status ToolChain::Prepare() {
    if (!workDirStatus_) return workDirStatus_;
    std::error_code ec;
    // A directory named by QUARVO_CAMLDIR and missing is made for this user alone.
    const fs::path directory = fs::path(workDir_).parent_path();  // without the final '/'
    if (fs::create_directories(directory, ec)) fs::permissions(directory, fs::perms::owner_all, ec);
    if (!fs::is_directory(workDir_, ec))
        return Failure{"Impossible de créer le répertoire de travail " + workDir_ + "."};
    for (const char* name : kModuleFiles) {
        const fs::path installed = moduleDir_ + name;
        const fs::path copy = workDir_ + name;
        const bool haveInstalled = fs::is_regular_file(installed, ec);
        const bool haveCopy = fs::is_regular_file(copy, ec);
        if (!haveInstalled) {
            if (haveCopy) continue;
            return Failure{"Module OCaml introuvable : " + installed.string() + "."};
        }
        if (haveCopy && fs::last_write_time(copy, ec) >= fs::last_write_time(installed, ec) && !ec) continue;
        ec.clear();
        fs::copy_file(installed, copy, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            return Failure{"Impossible de copier " + installed.string() + " dans " + workDir_ + " : " +
                           SystemErrorReason(ec) + "."};
        }
    }
    return {};
}

Status ToolChain::WriteProgram(const Compilation* compilation, OcamlOutput output, OcamlFormat format) {
    return WriteOcamlProgram(PathOf("temp.ml"), compilation, output, format);
}

const char* ToolChain::ScriptName(ChainScript script) {
    switch (script) {
    case ChainScript::Compile: return "temp1.sh";
    case ChainScript::Run: return "temp2.sh";
    case ChainScript::Render: return "tempDot.sh";
    }
    return "temp1.sh";
}

std::vector<std::string> ToolChain::ScriptLines(ChainScript script, OcamlOutput output) const {
    const std::string marker = "mkdir " + Quoted(PathOf(kMarker));
    switch (script) {
    case ChainScript::Compile:
        return {
            // The deprecation alert is about the accented identifiers of the term text.
            "ocamlc -alert -deprecated -c " + Quoted(PathOf("temp.ml")),
            "ocamlc -o " + Quoted(PathOf("temp.exe")) + " " +
                Quoted(PathOf(output == OcamlOutput::Gpm ? "lotosGPM.cmo" : "calventoSource.cmo")) + " " +
                Quoted(PathOf("temp.cmo")),
            marker,
        };
    case ChainScript::Run:
        return {"ocamlrun temp.exe " + Quoted(PathOf("Sortie.txt")), marker};
    case ChainScript::Render:
        return {"dot -Tjpg " + Quoted(PathOf("Sortie.txt")) + " -o  " + Quoted(PathOf("Sortie.jpg")), marker};
    }
    return {marker};
}

Status ToolChain::ToolsFound(ChainScript script) {
    const char* tool = ToolOf(script);
    if (FindOnPath(tool).empty()) return Failure{MissingToolMessage(tool)};
    return {};
}

void ToolChain::RemoveFile(const std::string& name) {
    std::error_code ec;
    fs::remove(PathOf(name), ec);
}

Status ToolChain::Start(ChainScript script, OcamlOutput output) {
    Cancel();
    if (Status tools = ToolsFound(script); !tools) return tools;
    // What this run and the later ones make goes, so that a failing step
    // shows no result rather than an old one.
    switch (script) {
    case ChainScript::Compile:
        for (const char* name : {"temp.exe", "temp.cmo", "temp.cmi", "Sortie.txt", "Sortie.jpg", kLog}) RemoveFile(name);
        break;
    case ChainScript::Run:
        RemoveFile("Sortie.txt");
        RemoveFile("Sortie.jpg");
        break;
    case ChainScript::Render:
        RemoveFile("Sortie.jpg");
        break;
    }
    return StartScript(ScriptName(script), ScriptLines(script, output));
}

Status ToolChain::StartScript(const std::string& name, const std::vector<std::string>& lines) {
    Cancel();
    if (!workDirStatus_) return workDirStatus_;
    std::error_code ec;
    fs::remove_all(PathOf(kMarker), ec);
    // Line feeds only: the shell would take a carriage return as part of the last word.
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    if (Status written = WriteFileAtomically(PathOf(name), text); !written) return written;

    const std::string script = PathOf(name);
    const std::string log = PathOf(kLog);
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // Its own session: no terminal signal reaches it, and Cancel ends the whole group.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, workDir_.c_str());
    const char* argv[] = {"/bin/sh", script.c_str(), nullptr};
    pid_t pid = -1;
    int rc = posix_spawn(&pid, "/bin/sh", &actions, &attributes, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) return Failure{"Impossible de lancer " + script + " : " + SystemErrorReason(rc) + "."};
    child_ = pid;
    return {};
}

void ToolChain::Reap(bool wait) {
    if (child_ <= 0) return;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(child_, &status, wait ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == child_ || (r < 0 && errno == ECHILD)) child_ = -1;
}

bool ToolChain::Poll() {
    Reap(false);
    std::error_code ec;
    if (!fs::is_directory(PathOf(kMarker), ec)) return false;
    // The marker is the script's last line: its shell is about to end, so
    // waiting for it leaves no process behind.
    Reap(true);
    return true;
}

void ToolChain::Cancel() {
    if (child_ <= 0) return;
    kill(-child_, SIGKILL);
    kill(child_, SIGKILL);
    Reap(true);
}

Status ToolChain::WaitForMarker(std::chrono::milliseconds timeout) {
    PollDeadline deadline(timeout);
    for (;;) {
        if (Poll()) return {};
        if (!Running()) {
            // The script has ended: the marker is there now or never will be.
            if (Poll()) return {};
            return Failure{"Le traitement externe n'a pas abouti : voir " + PathOf(kLog) + "."};
        }
        if (deadline.Expired()) {
            Cancel();
            return Failure{OcamlTimeoutMessage};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

Status ToolChain::RunAndWait(ChainScript script, OcamlOutput output, std::chrono::milliseconds timeout) {
    if (Status started = Start(script, output); !started) return started;
    return WaitForMarker(timeout);
}

Status ToolChain::Produce(const Compilation* compilation, OcamlOutput output, OcamlFormat format,
                          std::chrono::milliseconds timeout) {
    Status outcome = Prepare();
    if (outcome) outcome = WriteProgram(compilation, output, format);
    if (!outcome) return outcome;
    if (OcamlProgramLines(compilation, output, format).empty()) return Failure{};
    PollDeadline deadline(timeout);
    outcome = RunAndWait(ChainScript::Compile, output, timeout);
    if (!outcome) return outcome;
    std::error_code ec;
    fs::remove_all(PathOf(kMarker), ec);
    auto left = timeout - deadline.Elapsed();
    outcome = RunAndWait(ChainScript::Run, output, left > std::chrono::milliseconds(0) ? left : std::chrono::milliseconds(0));
    if (!outcome) return outcome;
    if (!fs::is_regular_file(PathOf("Sortie.txt"), ec))
        return Failure{"Le programme OCaml n'a pas écrit Sortie.txt : voir " + PathOf(kLog) + "."};
    return outcome;
}

void ToolChain::RemoveRunFiles() {
    for (const char* name : {"temp.exe", "temp1.sh", "temp2.sh", "temp.cmo", "temp.cmi", "temp.ml"})
        RemoveFile(name);
}

void ToolChain::RemovePictureFiles() {
    RemoveFile("Sortie.txt");
    RemoveFile("tempDot.sh");
}

}  // namespace quarvo
