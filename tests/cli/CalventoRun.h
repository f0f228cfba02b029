// calvento run to its end, its outputs caught.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/ScratchDirectory.h"

namespace quarvo::test {

struct Finished {
    int exitCode = -1;
    std::string out;
    std::string err;
    long peakKilobytes = 0;  // the most memory resident at once
};

// Runs calvento with args, its outputs caught in files of dir.
inline Finished Calvento(const ScratchDirectory& dir, const std::vector<std::string>& args) {
    const std::string out = dir.File(".stdout");
    const std::string err = dir.File(".stderr");
    const pid_t child = ::fork();
    if (child == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(o, STDOUT_FILENO);
        ::dup2(e, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(CALVENTO_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(CALVENTO_PATH, argv.data());
        ::_exit(127);
    }
    Finished run;
    int status = 0;
    rusage usage{};
    if (child > 0 && ::wait4(child, &status, 0, &usage) == child && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
        run.peakKilobytes = usage.ru_maxrss;
    }
    run.out = Bytes(out);
    run.err = Bytes(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

}  // namespace quarvo::test
