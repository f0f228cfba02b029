// The file a fuzz target reads its input back from: made in the temporary
// directory the environment names (TMPDIR, else /tmp) and removed at once,
// reached through the descriptor the process keeps, so that nothing is left
// behind however the process ends (a crash, a timeout, a signal).
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace quarvo::fuzz {

// The path through which the file holds bytes (and nothing more) until the next call.
inline const std::string& FileHolding(std::string_view bytes) {
    static const int fd = [] {
        const char* dir = std::getenv("TMPDIR");
        std::string name = std::string(dir && *dir ? dir : "/tmp") + "/quarvo_fuzz_XXXXXX";
        const int made = mkstemp(name.data());
        if (made < 0) __builtin_trap();
        unlink(name.c_str());
        return made;
    }();
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (ftruncate(fd, 0) != 0) __builtin_trap();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (written <= 0) __builtin_trap();
        done += static_cast<std::size_t>(written);
    }
    return path;
}

}  // namespace quarvo::fuzz
