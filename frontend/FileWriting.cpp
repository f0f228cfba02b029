// Staged, flushed and grouped writing of files (see FileWriting.h).
#include "frontend/FileWriting.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <ostream>
#include <random>
#include <streambuf>
#include <system_error>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "frontend/CommitJournal.h"
#include "frontend/MessageText.h"
#include "frontend/SystemError.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view TemporarySuffix = ".tmp";

// When this process started, near enough: a temporary file of this process's
// pid last written before it was left by an earlier process of that pid.
const fs::file_time_type ProcessStart = fs::file_time_type::clock::now();
// File times come from a coarser clock that may lag the fine one by a few
// milliseconds: only a file older by more than this margin counts as earlier.
constexpr std::chrono::seconds FileClockMargin{2};

// The most links followed before giving up, as the system does.
constexpr int MaxLinkHops = 40;

// ---------------------------------------------------------------------------
// Named temporary files a signal must not leave behind.
//
// A signal handler may neither allocate nor lock, and reaches nothing but
// what the process holds at a fixed place: the names being written are kept
// in a fixed table of the process, the one state of this kind in the
// program. A name too long for a slot, or beyond the slots, goes unguarded.

struct GuardedName {
    std::atomic<bool> taken{false};  // the slot belongs to a writer
    std::atomic<bool> armed{false};  // path holds a name to remove on a signal
    char path[PATH_MAX] = {};
};

constexpr std::size_t GuardedSlots = 64;
constexpr std::array<int, 4> GuardedSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

std::array<GuardedName, GuardedSlots>& GuardedNames() {
    static std::array<GuardedName, GuardedSlots> names;
    return names;
}

// While a commit renames its files, a signal that would stop the process
// waits for the last rename: the signals are blocked in the committing
// thread, and one that another thread takes is noted here and raised again
// once the commit is over.
struct CommitSignals {
    std::atomic<int> committing{0};
    std::atomic<int> pending{0};
};

CommitSignals& Committing() {
    static CommitSignals state;
    return state;
}

extern "C" void RemoveGuardedNamesAndStop(int signal) {
    if (Committing().committing.load() > 0) {
        Committing().pending.store(signal);
        return;
    }
    for (GuardedName& name : GuardedNames())
        if (name.armed.load()) ::unlink(name.path);
    // The signal's default action, now that nothing is left behind.
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(signal, &standard, nullptr);
    ::raise(signal);
}

// Installs the handler for each signal whose action is still the default
// one: a program that handles or ignores a signal itself keeps its choice.
void InstallSignalHandlersOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        GuardedNames();  // made before any handler may run
        Committing();
        for (int signal : GuardedSignals) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) != 0) continue;
            if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
            struct sigaction handler {};
            handler.sa_handler = &RemoveGuardedNamesAndStop;
            sigemptyset(&handler.sa_mask);
            for (int other : GuardedSignals) sigaddset(&handler.sa_mask, other);
            ::sigaction(signal, &handler, nullptr);
        }
    });
}

// A temporary name removed if a signal stops the process while it is held.
class GuardedPath {
public:
    GuardedPath() = default;
    GuardedPath(const GuardedPath&) = delete;
    GuardedPath& operator=(const GuardedPath&) = delete;
    ~GuardedPath() { Release(); }

    void Arm(const fs::path& path) {
        Release();
        const std::string& text = path.native();
        if (text.size() >= PATH_MAX) return;
        InstallSignalHandlersOnce();
        for (GuardedName& name : GuardedNames()) {
            bool expected = false;
            if (!name.taken.compare_exchange_strong(expected, true)) continue;
            std::memcpy(name.path, text.c_str(), text.size() + 1);
            name.armed.store(true);
            slot_ = &name;
            return;
        }
    }
    void Release() {
        if (!slot_) return;
        slot_->armed.store(false);
        slot_->taken.store(false);
        slot_ = nullptr;
    }

private:
    GuardedName* slot_ = nullptr;
};

// The renames of a commit, signals held off (see CommitSignals).
class CommitSection {
public:
    CommitSection() {
        InstallSignalHandlersOnce();
        sigset_t held;
        sigemptyset(&held);
        for (int signal : GuardedSignals) sigaddset(&held, signal);
        ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
        Committing().committing.fetch_add(1);
    }
    ~CommitSection() {
        Committing().committing.fetch_sub(1);
        // A signal sent to this thread meanwhile is delivered here.
        ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
        if (Committing().committing.load() == 0)
            if (const int signal = Committing().pending.exchange(0); signal != 0) RemoveGuardedNamesAndStop(signal);
    }
    CommitSection(const CommitSection&) = delete;
    CommitSection& operator=(const CommitSection&) = delete;

private:
    sigset_t previous_{};
};

// ---------------------------------------------------------------------------

std::string WithReason(const std::string& text, int error) {
    return error <= 0 ? text + "." : text + " : " + SystemErrorReason(error) + ".";
}
// The beginnings of the failures, naming the file as the user did.
std::string Named(const std::string& path) { return "« " + ShownText(path) + " »"; }
std::string CannotWrite(const std::string& path) { return "Impossible d'écrire le fichier " + Named(path); }
std::string WriteError(const std::string& path) { return "Erreur d'écriture du fichier " + Named(path); }
std::string CannotReplace(const std::string& path) { return "Impossible de remplacer le fichier " + Named(path); }

// The file path names once symbolic links are followed (the path itself when
// it is no link, or names nothing yet); false with errno's value in error
// when a link cannot be read or the chain is too long.
bool FollowLinks(const fs::path& path, fs::path& resolved, int& error) {
    fs::path current = path;
    for (int hops = 0;; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(current, ec)) || ec) {
            resolved = current;
            return true;
        }
        if (hops == MaxLinkHops) {
            error = ELOOP;
            return false;
        }
        const fs::path link = fs::read_symlink(current, ec);
        if (ec) {
            error = ec.value();
            return false;
        }
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
}

fs::path DirectoryOf(const fs::path& target) {
    const fs::path dir = target.parent_path();
    return dir.empty() ? fs::path(".") : dir;
}

// The pid in the name of a temporary file or a journal; 0 when the name is neither.
pid_t PidInName(const std::string& name) {
    if (!IsTemporaryFileName(name) && !IsJournalName(name)) return 0;
    const std::size_t start = OwnFilePrefix.size();
    return static_cast<pid_t>(std::stol(name.substr(start, name.find('-', start) - start)));
}

// Whether the temporary file or journal at path belongs to no write still
// going on: its process has ended, or it is this process's pid's but was
// last written before it started (a process since ended whose pid came back).
bool Stale(const fs::path& path) {
    const pid_t pid = PidInName(path.filename().string());
    if (pid <= 0) return false;
    bool stale = ::kill(pid, 0) != 0 && errno == ESRCH;
    if (!stale && pid == ::getpid()) {
        std::error_code timeError;
        const fs::file_time_type written = fs::last_write_time(path, timeError);
        stale = !timeError && written < ProcessStart - FileClockMargin;
    }
    return stale;
}

// Settles the commits a killed process left half done in dir, then removes
// the temporary files no write is still making. In that order: a journal
// names backups that may be the only copy of a file.
void RemoveStaleTemporaries(const fs::path& dir) {
    SettleInterruptedCommits(dir.string(), [](const std::string& path) { return Stale(fs::path(path)); });
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (!IsTemporaryFileName(it->path().filename().string()) || !Stale(it->path())) continue;
        std::error_code ignored;
        fs::remove(it->path(), ignored);
    }
}

// A fresh temporary name in dir (ending in ending).
fs::path TemporaryName(const fs::path& dir, std::random_device& random,
                       std::string_view ending = TemporarySuffix) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
    return dir / (std::string(OwnFilePrefix) + std::to_string(::getpid()) + "-" + suffix + std::string(ending));
}

// A stream buffer writing to a file descriptor through operations; the
// first failure's errno is kept and nothing more is written after it.
class DescriptorBuffer final : public std::streambuf {
public:
    DescriptorBuffer(int fd, const FileOperations& operations)
        : fd_(fd), operations_(operations), buffer_(std::size_t{1} << 16) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
    int error() const { return error_; }

protected:
    int_type overflow(int_type c) override {
        if (!Drain()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain() {
        const char* next = pbase();
        const char* end = pptr();
        while (next < end && error_ == 0) {
            const std::size_t size = static_cast<std::size_t>(end - next);
            const std::ptrdiff_t written =
                operations_.write ? operations_.write(fd_, next, size) : ::write(fd_, next, size);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) error_ = written < 0 ? errno : EIO;
            else next += written;
        }
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return error_ == 0;
    }

    int fd_;
    const FileOperations& operations_;
    std::vector<char> buffer_;
    int error_ = 0;
};

// A stream the writing left failed without a system error.
constexpr int StreamFailed = -1;

// Puts what write makes on fd: 0, else the errno of the failure
// (StreamFailed for a stream write left failed without one).
int WriteThrough(int fd, const std::function<void(std::ostream&)>& write, const FileOperations& operations) {
    DescriptorBuffer buffer(fd, operations);
    std::ostream out(&buffer);
    write(out);
    out.flush();
    if (buffer.error() != 0) return buffer.error();
    return out ? 0 : StreamFailed;
}

int Sync(int fd, const FileOperations& operations) { return operations.sync ? operations.sync(fd) : ::fsync(fd); }

// An output to be put in place of a regular file (or of nothing): its
// temporary file, removed unless it was renamed over the target.
struct StagedOutput {
    const FileOutput* output = nullptr;
    fs::path target;
    bool replacing = false;
    struct stat old {};
    int fd = -1;
    fs::path named;  // the temporary's name while it has one
    GuardedPath guard;
    bool placed = false;
    // A second name of the file replaced while the outputs are put in place,
    // so that it can come back if a later output cannot be.
    fs::path backup;
    GuardedPath backupGuard;

    StagedOutput() = default;
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;
    ~StagedOutput() {
        if (fd >= 0) ::close(fd);
        if (!named.empty() && !placed) ::unlink(named.c_str());
        if (!backup.empty()) ::unlink(backup.c_str());
    }

    // Makes the temporary file: 0, else the errno of the failure.
    int Create(const FileOperations& operations, std::random_device& random) {
        const fs::path dir = DirectoryOf(target);
        if (operations.unnamedTemporaries) {
            fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
            if (fd >= 0) return 0;
        }
        // No unnamed file here (or none wanted): a named one, guarded.
        for (int attempt = 0; attempt < 16; ++attempt) {
            const fs::path name = TemporaryName(dir, random);
            fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                named = name;
                guard.Arm(named);
                return 0;
            }
            if (errno != EEXIST) break;
        }
        return errno;
    }

    // Writes the bytes and flushes them to the disk; a failure's message.
    Status Stage(const FileOperations& operations, std::random_device& random) {
        RemoveStaleTemporaries(DirectoryOf(target));
        replacing = ::stat(target.c_str(), &old) == 0;
        if (const int error = Create(operations, random); error != 0)
            return Failure{WithReason(CannotWrite(output->path), error)};
        if (replacing) {
            // The owner first: changing it may clear the set-id bits the mode restores.
            // Giving a file away is often not permitted; the file is then the writer's.
            if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            }
            if (::fchmod(fd, old.st_mode & 07777) != 0) {
            }
        }
        int error = WriteThrough(fd, output->write, operations);
        if (error == 0 && Sync(fd, operations) != 0) error = errno;
        if (error != 0) return Failure{WithReason(WriteError(output->path), error)};
        return {};
    }

    // Gives an unnamed temporary a name beside the target and closes the
    // file; a failure's message.
    Status Name(std::random_device& random) {
        if (named.empty()) {
            int error = EEXIST;
            for (int attempt = 0; attempt < 16 && error == EEXIST; ++attempt) {
                const fs::path name = TemporaryName(DirectoryOf(target), random);
                error = LinkDescriptor(name);
                if (error == 0) {
                    named = name;
                    guard.Arm(named);
                }
            }
            if (error != 0) return Failure{WithReason(CannotWrite(output->path), error)};
        }
        const int descriptor = fd;
        fd = -1;
        if (::close(descriptor) != 0) return Failure{WithReason(WriteError(output->path), errno)};
        return {};
    }

    // Links the unnamed file at name: 0, else the errno of the failure.
    int LinkDescriptor(const fs::path& name) const {
        if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
        if (errno == EEXIST) return EEXIST;
        // Without the privilege AT_EMPTY_PATH asks for: through /proc.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    }

    // Gives the file to be replaced a second name beside it. Where the file
    // system cannot (no hard links, no room for a name), the file goes
    // without: it could then not come back.
    void KeepOld(std::random_device& random) {
        if (!replacing) return;
        for (int attempt = 0; attempt < 16; ++attempt) {
            const fs::path name = TemporaryName(DirectoryOf(target), random);
            if (::link(target.c_str(), name.c_str()) == 0) {
                backup = name;
                backupGuard.Arm(backup);
                return;
            }
            if (errno != EEXIST) return;
        }
    }

    // Undoes Place: the earlier file comes back, or the file made goes.
    void Restore() {
        if (!placed) return;
        if (!backup.empty()) {
            if (::rename(backup.c_str(), target.c_str()) == 0) backup.clear();
        } else if (!replacing) {
            ::unlink(target.c_str());
        }
        placed = false;
    }

    Status Place(const FileOperations& operations) {
        const int renamed = operations.rename ? operations.rename(named.c_str(), target.c_str())
                                              : ::rename(named.c_str(), target.c_str());
        if (renamed != 0) return Failure{WithReason(CannotReplace(output->path), errno)};
        placed = true;
        guard.Release();
        return {};
    }
};

// An output written straight into what its target is (a device, a FIFO, a
// socket) or into its descriptor.
struct DirectOutput {
    const FileOutput* output = nullptr;
    fs::path target;
    bool socket = false;

    // Opens the target for writing: the descriptor, else -1 with errno set.
    int Open() const {
        if (!socket) return ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string& name = target.native();
        if (name.size() >= sizeof address.sun_path) {
            errno = ENAMETOOLONG;
            return -1;
        }
        std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return -1;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return -1;
        }
        return fd;
    }

    Status Write(const FileOperations& operations) const {
        const bool own = output->descriptor < 0;
        const int fd = own ? Open() : output->descriptor;
        if (fd < 0) return Failure{WithReason(CannotWrite(output->path), errno)};
        // A reader that goes away is a failed write, not the end of the
        // process: SIGPIPE waits while this thread writes, and the one the
        // write raised is taken back.
        sigset_t brokenPipe, previous;
        sigemptyset(&brokenPipe);
        sigaddset(&brokenPipe, SIGPIPE);
        ::pthread_sigmask(SIG_BLOCK, &brokenPipe, &previous);
        int error = WriteThrough(fd, output->write, operations);
        if (error == EPIPE) {
            const timespec none{};
            static_cast<void>(::sigtimedwait(&brokenPipe, nullptr, &none));
        }
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        if (own && ::close(fd) != 0 && error == 0) error = errno;
        if (error != 0) return Failure{WithReason(WriteError(output->path), error)};
        return {};
    }
};

// Flushes a directory's entries to the disk. A file system that cannot
// (EINVAL) has nothing to flush; a failure here cannot undo the renames and
// is not reported.
void SyncDirectory(const fs::path& dir, const FileOperations& operations) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    static_cast<void>(Sync(fd, operations));
    ::close(fd);
}

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;  // for a file not made yet: its name in the directory device:inode
    bool characterDevice = false;
    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && name == other.name;
    }
};

// What path names: the file it reaches, or the directory and the name it
// would be made under; false when neither can be known.
bool IdentityOf(const std::string& path, FileIdentity& identity) {
    struct stat file {};
    if (::stat(path.c_str(), &file) == 0) {
        identity = {file.st_dev, file.st_ino, {}, S_ISCHR(file.st_mode)};
        return true;
    }
    fs::path target;
    int error = 0;
    if (!FollowLinks(fs::path(path), target, error)) return false;
    struct stat dir {};
    if (::stat(DirectoryOf(target).c_str(), &dir) != 0) return false;
    identity = {dir.st_dev, dir.st_ino, target.filename().string()};
    return true;
}

}  // namespace

bool IsTemporaryFileName(const std::string& name) { return IsOwnFileName(name, TemporarySuffix); }

Status WriteFilesTogether(const std::vector<FileOutput>& outputs, const FileOperations& operations) {
    std::vector<std::unique_ptr<StagedOutput>> staged;
    std::vector<DirectOutput> direct;
    for (const FileOutput& output : outputs) {
        if (output.descriptor >= 0) {
            direct.push_back({&output, {}, false});
            continue;
        }
        // A name the system leads to a pipe or a terminal (/dev/stdout, a
        // link under /proc/self/fd) is written into through that name: the
        // links it goes through may name nothing a program can follow.
        struct stat reached {};
        if (::stat(output.path.c_str(), &reached) == 0 && !S_ISREG(reached.st_mode) && !S_ISDIR(reached.st_mode) &&
            !S_ISSOCK(reached.st_mode)) {
            direct.push_back({&output, fs::path(output.path), false});
            continue;
        }
        fs::path target;
        int error = 0;
        if (!FollowLinks(fs::path(output.path), target, error))
            return Failure{WithReason(CannotWrite(output.path), error)};
        struct stat existing {};
        if (::stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
            if (S_ISDIR(existing.st_mode)) return Failure{WithReason(CannotReplace(output.path), EISDIR)};
            direct.push_back({&output, target, S_ISSOCK(existing.st_mode)});
            continue;
        }
        auto file = std::make_unique<StagedOutput>();
        file->output = &output;
        file->target = target;
        staged.push_back(std::move(file));
    }

    // Every byte first, flushed to the disk; then what cannot be staged.
    std::random_device random;
    for (const auto& file : staged)
        if (Status status = file->Stage(operations, random); !status) return status;
    for (const DirectOutput& output : direct)
        if (Status status = output.Write(operations); !status) return status;
    // Every temporary named beside its target, then all put in place.
    for (const auto& file : staged)
        if (Status status = file->Name(random); !status) return status;
    // A rename that fails once others are done (the system failing) brings
    // their earlier files back.
    for (const auto& file : staged) file->KeepOld(random);
    std::vector<fs::path> directories;
    for (const auto& file : staged) {
        const fs::path dir = DirectoryOf(file->target);
        if (std::find(directories.begin(), directories.end(), dir) == directories.end()) directories.push_back(dir);
    }
    // Several files: a journal in each of their directories lets the next
    // writer there finish or undo the commit, should this process be killed
    // between two renames.
    std::vector<std::string> journal;
    const CommitSection section;
    if (staged.size() > 1) {
        std::vector<JournalEntry> entries;
        for (const auto& file : staged)
            entries.push_back({file->target.string(), file->named.string(), file->backup.string(), file->replacing});
        for (const fs::path& dir : directories)
            journal.push_back(TemporaryName(dir, random, JournalEnding).string());
        if (const int error = WriteCommitJournal(entries, journal); error != 0)
            return Failure{WithReason(CannotWrite(staged.front()->output->path), error)};
    }
    for (std::size_t i = 0; i < staged.size(); ++i) {
        if (Status status = staged[i]->Place(operations); !status) {
            for (std::size_t j = 0; j < i; ++j) staged[j]->Restore();
            RemoveCommitJournal(journal);
            return status;
        }
    }
    for (const fs::path& dir : directories) SyncDirectory(dir, operations);
    RemoveCommitJournal(journal);
    return {};
}

Status WriteFileAtomically(const std::string& path, std::string_view bytes) {
    return WriteFileAtomically(path, [bytes](std::ostream& out) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    });
}

Status WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write) {
    return WriteFileAtomically(path, write, FileOperations{});
}

Status WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write,
                           const FileOperations& operations) {
    return WriteFilesTogether({FileOutput{path, write}}, operations);
}

Status RefuseSharedFiles(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs) {
    std::vector<FileIdentity> known(outputs.size());
    std::vector<bool> identified(outputs.size());
    for (std::size_t i = 0; i < outputs.size(); ++i) identified[i] = IdentityOf(outputs[i], known[i]);
    for (const std::string& input : inputs) {
        FileIdentity read;
        if (!IdentityOf(input, read)) continue;
        for (std::size_t i = 0; i < outputs.size(); ++i)
            if (identified[i] && known[i] == read)
                return Failure{"Le fichier de sortie " + Named(outputs[i]) + " est le fichier lu " + Named(input) +
                               " : rien n'a été écrit."};
    }
    for (std::size_t i = 0; i < outputs.size(); ++i)
        for (std::size_t j = i + 1; j < outputs.size(); ++j)
            // A device (/dev/null) takes what it is given twice as well as once.
            if (identified[i] && identified[j] && known[i] == known[j] && !known[i].characterDevice)
                return Failure{"Les fichiers de sortie " + Named(outputs[i]) + " et " + Named(outputs[j]) +
                               " sont le même fichier : rien n'a été écrit."};
    return {};
}

}  // namespace quarvo
