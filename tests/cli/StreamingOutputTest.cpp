// calvento's output read through a pipe while it runs: each line comes as it is made.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// calvento running with its standard output on a pipe, stopped at the end.
class RunningCalvento {
public:
    explicit RunningCalvento(const std::vector<std::string>& args) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(CALVENTO_PATH));
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(CALVENTO_PATH, argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~RunningCalvento() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        if (out_ >= 0) ::close(out_);
    }

    bool Started() const { return pid_ > 0 && out_ >= 0; }

    // The next line of the output; false when none came in a generous while
    // or the output ended.
    bool NextLine(std::string& line) {
        for (;;) {
            const std::size_t end = pending_.find('\n');
            if (end != std::string::npos) {
                line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                return true;
            }
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 120000) <= 0) return false;
            char buffer[4096];
            const ssize_t got = ::read(out_, buffer, sizeof buffer);
            if (got <= 0) return false;
            pending_.append(buffer, static_cast<std::size_t>(got));
        }
    }

    // Still running: it has not exited.
    bool Running() {
        int status = 0;
        return ::waitpid(pid_, &status, WNOHANG) == 0;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string pending_;
};

TEST(CalventoOutput, LinesReachAPipeWhileTheGenerationStillRuns) {
    // An endless system: the generation goes on until it is stopped.
    // The memory bound only keeps a run that went wrong from growing without end.
    RunningCalvento calvento(
        {"generate", std::string(QUARVO_SOURCE_DIR) + "/tests/data/ENDLESS.LOT", "--memoire-max", "300"});
    ASSERT_TRUE(calvento.Started());
    std::vector<std::string> lines;
    std::string line;
    while (lines.size() < 4 && calvento.NextLine(line)) lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Compilation...");
    EXPECT_EQ(lines[1], "Nombre de lignes compilées: 8.");
    EXPECT_EQ(lines[2], "Compilation terminée. Aucune erreur détectée.");
    EXPECT_EQ(lines[3], "Génération en cours...");
    // Read before the end: nothing waited for the generation to finish.
    EXPECT_TRUE(calvento.Running());
}

}  // namespace
