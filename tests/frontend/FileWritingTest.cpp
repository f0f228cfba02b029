// The writer of files: flushed before being put in place, any name the system
// accepts, devices, FIFOs and sockets written into, outputs committed
// together, nothing left by a killed process, shared files refused.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "frontend/FileWriting.h"
#include "frontend/TextFile.h"
#include "tests/ScratchDirectory.h"
#include "tests/frontend/FileWritingTestSupport.h"
#include "tests/StatusTestSupport.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::Failed;
using test::FailedWith;
using test::Put;
using test::ScratchDirectory;
using test::Succeeded;
using test::Writing;

// Both kinds of temporary file: unnamed where the file system can, named.
class EitherTemporary : public testing::TestWithParam<bool> {
protected:
    FileOperations Operations() const {
        FileOperations operations;
        operations.unnamedTemporaries = GetParam();
        return operations;
    }
};
INSTANTIATE_TEST_SUITE_P(FileWriting, EitherTemporary, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Unnamed" : "Named"; });

TEST_P(EitherTemporary, TheFileIsFlushedBeforeItIsRenamedAndTheDirectoryAfter) {
    ScratchDirectory dir("quarvo_writing_flush");
    const fs::path target = dir.path / "model.STEM";
    Put(target, "old");
    std::vector<std::string> calls;
    FileOperations operations = Operations();
    operations.sync = [&](int fd) {
        struct stat st {};
        ::fstat(fd, &st);
        calls.push_back(S_ISDIR(st.st_mode) ? "sync directory" : "sync file");
        return ::fsync(fd);
    };
    operations.rename = [&](const char* from, const char* to) {
        calls.push_back("rename");
        return ::rename(from, to);
    };
    ASSERT_TRUE(Succeeded(WriteFileAtomically(target.string(), Writing("new"), operations)));
    EXPECT_EQ(calls, (std::vector<std::string>{"sync file", "rename", "sync directory"}));
    EXPECT_EQ(Bytes(target), "new");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"model.STEM"}));
}

TEST_P(EitherTemporary, AFailedFlushKeepsTheEarlierFile) {
    ScratchDirectory dir("quarvo_writing_flush_fails");
    const fs::path target = dir.path / "model.STEM";
    Put(target, "old");
    FileOperations operations = Operations();
    operations.sync = [](int) {
        errno = EIO;
        return -1;
    };
    EXPECT_TRUE(Failed(WriteFileAtomically(target.string(), Writing("new"), operations)));
    EXPECT_EQ(Bytes(target), "old");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"model.STEM"}));
}

TEST_P(EitherTemporary, ANameOfTheSystemsLongestIsWrittenAndReadBack) {
    ScratchDirectory dir("quarvo_writing_long");
    const long longest = ::pathconf(dir.path.c_str(), _PC_NAME_MAX);
    ASSERT_GE(longest, 255);
    const std::string name = std::string(251, 'n') + ".aut";
    ASSERT_EQ(name.size(), 255u);
    const fs::path target = dir.path / name;
    for (const char* text : {"des (0, 0, 1)\r\n", "des (0, 1, 1)\r\n(0, \"a\", 0)\r\n"}) {
        ASSERT_TRUE(Succeeded(WriteFileAtomically(target.string(), Writing(text), Operations())));
        const TextFileResult read = ReadTextFile(target.string());
        ASSERT_TRUE(Succeeded(read.status));
        EXPECT_EQ(EncodeLinesWindows1252(read.lines), text);
    }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{name}));
}

TEST_P(EitherTemporary, TheTemporaryFileIsUnnamedOrShortAndHidden) {
    ScratchDirectory dir("quarvo_writing_names");
    const fs::path target = dir.path / "model.aut";
    std::vector<std::string> during;
    ASSERT_TRUE(Succeeded(WriteFileAtomically(target.string(), [&](std::ostream& out) {
        during = dir.Names();
        out << "des (0, 0, 1)\n";
    }, Operations())));
    if (GetParam()) {
        // Unnamed while it is written (on a file system that can make one).
        EXPECT_TRUE(during.empty()) << during[0];
    } else {
        ASSERT_EQ(during.size(), 1u);
        EXPECT_TRUE(IsTemporaryFileName(during[0])) << during[0];
        EXPECT_EQ(during[0].rfind(".quarvo-" + std::to_string(::getpid()) + "-", 0), 0u) << during[0];
        EXPECT_LE(during[0].size(), 32u);
    }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"model.aut"}));
}

TEST(FileWriting, TemporaryFileNamesAreRecognised) {
    EXPECT_TRUE(IsTemporaryFileName(".quarvo-12345-0a1b2c3d.tmp"));
    EXPECT_FALSE(IsTemporaryFileName(".quarvo-12345-0a1b2c3.tmp"));
    EXPECT_FALSE(IsTemporaryFileName(".quarvo--0a1b2c3d.tmp"));
    EXPECT_FALSE(IsTemporaryFileName(".quarvo-12a45-0a1b2c3d.tmp"));
    EXPECT_FALSE(IsTemporaryFileName(".quarvo-12345-0a1b2c3d.txt"));
    EXPECT_FALSE(IsTemporaryFileName("quarvo-12345-0a1b2c3d.tmp"));
}

TEST(FileWriting, StaleTemporaryFilesAreRemovedOthersKept) {
    ScratchDirectory dir("quarvo_writing_stale");
    const fs::path target = dir.path / "out.STEM";
    // A pid no process has: the highest a pid can be, beyond the usual limits.
    const std::string ended = ".quarvo-999999999-a1b2c3d4.tmp";
    // This process's pid, but last written long before it started.
    const std::string reused = ".quarvo-" + std::to_string(::getpid()) + "-d4e5f6a7.tmp";
    // This process writing it now.
    const std::string live = ".quarvo-" + std::to_string(::getpid()) + "-0a0b0c0d.tmp";
    // A file that merely looks alike.
    const std::string alike = ".quarvo-notapid-a1b2c3d4.tmp";
    for (const std::string& name : {ended, reused, live, alike}) Put(dir.path / name, "partial");
    fs::last_write_time(dir.path / reused, fs::file_time_type::clock::now() - std::chrono::hours(24 * 365));

    ASSERT_TRUE(Succeeded(WriteFileAtomically(target.string(), "whole")));
    EXPECT_EQ(Bytes(target), "whole");
    std::vector<std::string> expected{alike, live, "out.STEM"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.Names(), expected);
}

// A device made in the directory, as root only; false when it cannot be made.
bool MakeCharacterDevice(const fs::path& path, unsigned minor) {
    return ::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0;
}

TEST(FileWriting, ACharacterDeviceIsWrittenIntoAndStaysADevice) {
    ScratchDirectory dir("quarvo_writing_device");
    const fs::path null = dir.path / "null";
    const fs::path full = dir.path / "full";
    if (!MakeCharacterDevice(null, 3) || !MakeCharacterDevice(full, 7))
        GTEST_SKIP() << "no device can be made here (not root): " << std::strerror(errno);
    ASSERT_TRUE(Succeeded(WriteFileAtomically(null.string(), std::string(300000, 'x'))));
    EXPECT_TRUE(fs::is_character_file(null));
    EXPECT_TRUE(FailedWith(WriteFileAtomically(full.string(), "des (0, 0, 1)\n"),
                           "Erreur d'écriture du fichier « " + full.string() + " » : disque plein."));
    EXPECT_TRUE(fs::is_character_file(full));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"full", "null"}));
}

TEST(FileWriting, TheSystemsFullDeviceSaysTheDiskIsFull) {
    if (!fs::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full";
    EXPECT_TRUE(FailedWith(WriteFileAtomically("/dev/full", "x"),
                           "Erreur d'écriture du fichier « /dev/full » : disque plein."));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST(FileWriting, AFifoIsWrittenIntoAndItsReaderGetsTheFile) {
    ScratchDirectory dir("quarvo_writing_fifo");
    const fs::path fifo = dir.path / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
    const std::string bytes = std::string(200000, 'a') + "END";
    std::string received;
    std::thread reader([&] { received = Bytes(fifo); });
    const Status written = WriteFileAtomically(fifo.string(), bytes);
    reader.join();
    EXPECT_TRUE(Succeeded(written));
    EXPECT_EQ(received, bytes);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"pipe"}));
}

TEST(FileWriting, AFifoWhoseReaderGoesAwayIsAFailedWriteNotTheEndOfTheProcess) {
    ScratchDirectory dir("quarvo_writing_fifo_closed");
    const fs::path fifo = dir.path / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
    std::thread reader([&] {
        const int fd = ::open(fifo.c_str(), O_RDONLY);
        char byte = 0;
        static_cast<void>(::read(fd, &byte, 1));
        ::close(fd);
    });
    const Status written = WriteFileAtomically(fifo.string(), std::string(1 << 22, 'x'));
    reader.join();
    EXPECT_TRUE(FailedWith(written, "Erreur d'écriture du fichier « " + fifo.string() +
                                        " » : plus personne ne lit le tube."));
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST(FileWriting, ASocketIsWrittenIntoAndStaysASocket) {
    ScratchDirectory dir("quarvo_writing_socket");
    const fs::path path = dir.path / "socket";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof address.sun_path) GTEST_SKIP() << "temporary directory too deep";
    std::strcpy(address.sun_path, path.c_str());
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listening, 0);
    ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listening, 1), 0);
    std::string received;
    std::thread reader([&] {
        const int connection = ::accept(listening, nullptr, nullptr);
        char buffer[4096];
        for (ssize_t got; (got = ::read(connection, buffer, sizeof buffer)) > 0;)
            received.append(buffer, static_cast<std::size_t>(got));
        ::close(connection);
    });
    const Status written = WriteFileAtomically(path.string(), "des (0, 0, 1)\n");
    reader.join();
    ::close(listening);
    EXPECT_TRUE(Succeeded(written));
    EXPECT_EQ(received, "des (0, 0, 1)\n");
    EXPECT_TRUE(fs::is_socket(path));
}

TEST(FileWriting, ADescriptorReceivesItsOutput) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const Status written = WriteFilesTogether({FileOutput{"-", Writing("to the pipe"), fds[1]}});
    ::close(fds[1]);
    char buffer[64];
    const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
    ::close(fds[0]);
    EXPECT_TRUE(Succeeded(written));
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(got, 0))), "to the pipe");
}

TEST_P(EitherTemporary, OutputsAreCommittedTogether) {
    ScratchDirectory dir("quarvo_writing_together");
    const fs::path stem = dir.path / "d.stem";
    const fs::path aut = dir.path / "d.aut";
    Put(stem, "old stem");
    Put(aut, "old aut");
    ASSERT_TRUE(Succeeded(WriteFilesTogether(
        {FileOutput{stem.string(), Writing("new stem")}, FileOutput{aut.string(), Writing("new aut")}},
        Operations())));
    EXPECT_EQ(Bytes(stem), "new stem");
    EXPECT_EQ(Bytes(aut), "new aut");

    // The disk fills up while the second is written: neither is replaced.
    int first = -1;
    FileOperations operations = Operations();
    operations.write = [&](int fd, const void* data, std::size_t size) -> std::ptrdiff_t {
        if (first < 0) first = fd;
        if (fd != first) {
            errno = ENOSPC;
            return -1;
        }
        return ::write(fd, data, size);
    };
    std::vector<std::string> renamed;
    operations.rename = [&](const char* from, const char* to) {
        renamed.emplace_back(to);
        return ::rename(from, to);
    };
    EXPECT_TRUE(FailedWith(WriteFilesTogether({FileOutput{stem.string(), Writing("newer stem")},
                                               FileOutput{aut.string(), Writing("newer aut")}},
                                              operations),
                           "Erreur d'écriture du fichier « " + aut.string() + " » : disque plein."));
    EXPECT_TRUE(renamed.empty());
    EXPECT_EQ(Bytes(stem), "new stem");
    EXPECT_EQ(Bytes(aut), "new aut");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"d.aut", "d.stem"}));
}

TEST_P(EitherTemporary, AFailingRenameBringsBackTheFilesAlreadyReplaced) {
    ScratchDirectory dir("quarvo_writing_rename_fails");
    const fs::path stem = dir.path / "d.stem";
    const fs::path aut = dir.path / "d.aut";
    const fs::path made = dir.path / "new.txt";
    Put(stem, "old stem");
    Put(aut, "old aut");
    for (const fs::path& failing : {aut, made}) {
        FileOperations operations = Operations();
        operations.rename = [&](const char* from, const char* to) {
            if (fs::path(to) == failing) {
                errno = EIO;
                return -1;
            }
            return ::rename(from, to);
        };
        const std::vector<FileOutput> outputs{FileOutput{made.string(), Writing("made")},
                                              FileOutput{stem.string(), Writing("new stem")},
                                              FileOutput{aut.string(), Writing("new aut")}};
        EXPECT_TRUE(FailedWith(WriteFilesTogether(outputs, operations),
                               "Impossible de remplacer le fichier « " + failing.string() +
                                   " » : erreur d'entrée-sortie."));
        EXPECT_EQ(Bytes(stem), "old stem");
        EXPECT_EQ(Bytes(aut), "old aut");
        EXPECT_FALSE(fs::exists(made));
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"d.aut", "d.stem"}));
    }
    // Once all are in place, the second names are gone.
    FileOperations operations = Operations();
    ASSERT_TRUE(Succeeded(WriteFilesTogether(
        {FileOutput{stem.string(), Writing("new stem")}, FileOutput{aut.string(), Writing("new aut")}}, operations)));
    EXPECT_EQ(Bytes(stem), "new stem");
    EXPECT_EQ(fs::hard_link_count(stem), 1u);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"d.aut", "d.stem"}));
}

TEST(FileWriting, AFailingDeviceAmongTheOutputsReplacesNoFile) {
    if (!fs::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ScratchDirectory dir("quarvo_writing_full_second");
    const fs::path stem = dir.path / "d.stem";
    Put(stem, "old stem");
    EXPECT_TRUE(FailedWith(
        WriteFilesTogether({FileOutput{stem.string(), Writing("new stem")}, FileOutput{"/dev/full", Writing("x")}}),
        "Erreur d'écriture du fichier « /dev/full » : disque plein."));
    EXPECT_EQ(Bytes(stem), "old stem");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"d.stem"}));
}

// Forks a process that starts writing target through operations and stops
// halfway, then sends it signal: what the directory holds afterwards.
void StopWhileWriting(const fs::path& target, bool unnamed, int signal) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        FileOperations operations;
        operations.unnamedTemporaries = unnamed;
        static_cast<void>(WriteFileAtomically(target.string(), [&](std::ostream& out) {
            out << std::string(1 << 20, 'x');
            out.flush();
            const char byte = 1;
            static_cast<void>(::write(ready[1], &byte, 1));
            for (;;) ::pause();
        }, operations));
        ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), signal);
}

TEST(FileWriting, AProcessKilledWhileWritingLeavesNothingBehind) {
    ScratchDirectory dir("quarvo_writing_killed");
    const fs::path target = dir.path / "out.stem";
    Put(target, "old");
    StopWhileWriting(target, true, SIGKILL);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"out.stem"}));
    EXPECT_EQ(Bytes(target), "old");
}

TEST(FileWriting, AProcessStoppedBySignalWhileWritingANamedTemporaryLeavesNothingBehind) {
    ScratchDirectory dir("quarvo_writing_stopped");
    const fs::path target = dir.path / "out.stem";
    Put(target, "old");
    StopWhileWriting(target, false, SIGTERM);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"out.stem"}));
    EXPECT_EQ(Bytes(target), "old");
}

TEST(FileWriting, OutputsThatAreAnInputOrEachOtherAreRefused) {
    ScratchDirectory dir("quarvo_writing_shared");
    const std::string spec = dir.File("self.LOT");
    Put(spec, "specification");
    fs::create_symlink("self.LOT", dir.path / "link.LOT");
    fs::create_hard_link(spec, dir.path / "hard.LOT");
    for (const std::string& output : {spec, dir.File("link.LOT"), dir.File("hard.LOT"), dir.File("./self.LOT")})
        EXPECT_TRUE(FailedWith(RefuseSharedFiles({spec}, {dir.File("x.stem"), output}),
                               "Le fichier de sortie « " + output + " » est le fichier lu « " + spec +
                                   " » : rien n'a été écrit."));
    EXPECT_EQ(Bytes(spec), "specification");
    // Two outputs naming one file, made already or not.
    const std::string later = dir.File("later.stem");
    EXPECT_TRUE(FailedWith(RefuseSharedFiles({spec}, {later, dir.File("./later.stem")}),
                           "Les fichiers de sortie « " + later + " » et « " + dir.File("./later.stem") +
                               " » sont le même fichier : rien n'a été écrit."));
    fs::create_symlink("later.stem", dir.path / "dangling");
    EXPECT_TRUE(Failed(RefuseSharedFiles({}, {dir.File("dangling"), later})));
    EXPECT_TRUE(Failed(RefuseSharedFiles({}, {spec, dir.File("hard.LOT")})));
    // Distinct files, and a device that takes all it is given.
    EXPECT_TRUE(Succeeded(RefuseSharedFiles({spec}, {later, dir.File("later.aut")})));
    if (fs::is_character_file("/dev/null")) {
        EXPECT_TRUE(Succeeded(RefuseSharedFiles({spec}, {"/dev/null", "/dev/null"})));
    }
    EXPECT_TRUE(Succeeded(RefuseSharedFiles({dir.File("missing.LOT")}, {later})));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"dangling", "hard.LOT", "link.LOT", "self.LOT"}));
}

}  // namespace
}  // namespace quarvo
