// The peak resident set of a piece of a benchmark, read from /proc/self/status.
#pragma once

#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

namespace quarvo::bench {

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM"); -1 if absent.
inline std::int64_t StatusBytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':')
            return std::stoll(line.substr(length + 1)) * 1024;
    return -1;
}

// The peak resident set of what runs after Start: Start brings the kernel's
// peak (VmHWM) back to the current resident set by writing 5 to clear_refs and
// notes that resident set; where the write is refused, the peak is the
// process's since it started.
class PeakMemory {
public:
    void Start() {
        malloc_trim(0);  // pages kept by malloc from an earlier run would hide growth
        std::ofstream clear("/proc/self/clear_refs");
        clear << "5";
        clear.flush();
        reset_ = static_cast<bool>(clear);
        before_ = StatusBytes("VmRSS");
    }
    std::int64_t Peak() const { return StatusBytes("VmHWM"); }
    std::int64_t Growth() const { return std::max<std::int64_t>(0, Peak() - before_); }
    bool Reset() const { return reset_; }

private:
    std::int64_t before_ = 0;
    bool reset_ = false;
};

}  // namespace quarvo::bench
