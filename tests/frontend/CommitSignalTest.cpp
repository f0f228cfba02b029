// A commit of several files interrupted at each of its renames, by a signal
// the process may handle or by SIGKILL: afterwards (once the next write in
// the directory has run, after a kill) the files are all the old ones or all
// the new ones, and no temporary file or journal is left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "frontend/FileWriting.h"
#include "tests/ScratchDirectory.h"
#include "tests/frontend/FileWritingTestSupport.h"
#include "tests/StatusTestSupport.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::Put;
using test::ScratchDirectory;
using test::Succeeded;
using test::Writing;

// Forks a process that commits the new files over the old ones and receives
// signal at its rename number "at"; waits for it.
void CommitInterrupted(const std::vector<fs::path>& targets, int signal, int at, bool unnamed) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FileOperations operations;
        operations.unnamedTemporaries = unnamed;
        int renames = 0;
        operations.rename = [&](const char* from, const char* to) {
            if (++renames == at) ::raise(signal);
            return ::rename(from, to);
        };
        std::vector<FileOutput> outputs;
        for (const fs::path& target : targets) outputs.push_back({target.string(), Writing("new " + target.filename().string())});
        static_cast<void>(WriteFilesTogether(outputs, operations));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status)) << "signal " << signal << " at rename " << at;
}

TEST(CommitSignals, ASignalAtAnyRenameLeavesAllOldOrAllNewAndNoTemporary) {
    for (const bool unnamed : {true, false})
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL})
            for (int at = 1; at <= 3; ++at) {
                ScratchDirectory dir("quarvo_commit_signal");
                ScratchDirectory other("quarvo_commit_signal_other");
                // Two files side by side, a third in another directory.
                const std::vector<fs::path> targets{dir.path / "out.STEM", dir.path / "out.aut",
                                                    other.path / "out.dot"};
                for (const fs::path& target : targets) Put(target, "old " + target.filename().string());
                CommitInterrupted(targets, signal, at, unnamed);
                if (HasFailure()) return;
                if (signal == SIGKILL) {
                    // The next write in one of the directories settles the commit.
                    ASSERT_TRUE(Succeeded(WriteFileAtomically((other.path / "next").string(), "next")));
                    ASSERT_TRUE(Succeeded(WriteFileAtomically((dir.path / "next").string(), "next")));
                    fs::remove(dir.path / "next");
                    fs::remove(other.path / "next");
                }
                const std::string context = "signal " + std::to_string(signal) + " at rename " + std::to_string(at) +
                                            (unnamed ? " (unnamed)" : " (named)");
                const std::string first = Bytes(targets[0]).substr(0, 3);
                EXPECT_TRUE(first == "old" || first == "new") << context;
                for (const fs::path& target : targets)
                    EXPECT_EQ(Bytes(target), first + " " + target.filename().string()) << context;
                EXPECT_EQ(dir.Names(), (std::vector<std::string>{"out.STEM", "out.aut"})) << context;
                EXPECT_EQ(other.Names(), (std::vector<std::string>{"out.dot"})) << context;
                if (HasFailure()) return;
            }
}

// A commit that made a file where there was none is undone too.
TEST(CommitSignals, AKilledCommitThatMadeAFileTakesItBack) {
    for (int at = 1; at <= 2; ++at) {
        ScratchDirectory dir("quarvo_commit_made");
        const std::vector<fs::path> targets{dir.path / "a", dir.path / "b"};
        Put(targets[1], "old b");
        CommitInterrupted(targets, SIGKILL, at, true);
        ASSERT_TRUE(Succeeded(WriteFileAtomically((dir.path / "next").string(), "next")));
        fs::remove(dir.path / "next");
        if (fs::exists(targets[0])) {
            EXPECT_EQ(Bytes(targets[0]), "new a");
            EXPECT_EQ(Bytes(targets[1]), "new b");
        } else {
            EXPECT_EQ(Bytes(targets[1]), "old b");
        }
        for (const std::string& name : dir.Names()) EXPECT_TRUE(name == "a" || name == "b") << name;
    }
}

}  // namespace
}  // namespace quarvo
