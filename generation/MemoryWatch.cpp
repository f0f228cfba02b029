// Memory figures from /proc, the heap in use from the allocator, and the address-space limit of the process.
#include "generation/MemoryWatch.h"

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace quarvo {
namespace {

constexpr std::int64_t MiB = 1024 * 1024;

// The value in kB of a "Name: value kB" line of a /proc file, or -1.
std::int64_t ProcValueKb(const char* path, const char* name) {
    std::FILE* f = std::fopen(path, "r");
    if (!f) return -1;
    char line[256];
    std::int64_t value = -1;
    const std::size_t n = std::strlen(name);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, name, n) == 0 && line[n] == ':') {
            long long v = 0;
            if (std::sscanf(line + n + 1, "%lld", &v) == 1) value = v;
            break;
        }
    }
    std::fclose(f);
    return value;
}

}  // namespace

MemoryFigures ReadMemoryFigures() {
    MemoryFigures m;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        long long size = 0, resident = 0;
        if (std::fscanf(f, "%lld %lld", &size, &resident) == 2) {
            const std::int64_t page = sysconf(_SC_PAGESIZE);
            m.virtualBytes = size * page;
            m.residentBytes = resident * page;
        }
        std::fclose(f);
    }
    const std::int64_t available = ProcValueKb("/proc/meminfo", "MemAvailable");
    if (available >= 0) m.availableBytes = available * 1024;
    const std::int64_t total = ProcValueKb("/proc/meminfo", "MemTotal");
    if (total >= 0) m.totalBytes = total * 1024;
    return m;
}

std::int64_t HeapBytesInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
}

void ReturnFreeMemory() { malloc_trim(0); }

MemoryWatch::MemoryWatch(std::int64_t limitBytes)
    : limit_(limitBytes), addressLimit_(0), residentBefore_(ReadMemoryFigures().residentBytes) {
    rlimit rl{};
    if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
        addressLimit_ = static_cast<std::int64_t>(rl.rlim_cur);
}

std::int64_t MemoryWatch::Used() const {
    return std::max<std::int64_t>(0, ReadMemoryFigures().residentBytes - residentBefore_);
}

bool MemoryWatch::NearLimit(std::int64_t growthBytes) const {
    const MemoryFigures now = ReadMemoryFigures();
    // Room for the next growth of the largest containers, for an eighth of
    // what is held (the smaller containers), and never less than 64 MiB. Past
    // the machine's memory the kernel kills the process: better stop early.
    const std::int64_t reserve =
        std::max<std::int64_t>(64 * MiB, now.residentBytes / 8 + std::max<std::int64_t>(0, growthBytes));
    // The limit counts what the operation took, not what the process held before it.
    const std::int64_t used = std::max<std::int64_t>(0, now.residentBytes - residentBefore_);
    const std::int64_t ownReserve = std::max<std::int64_t>(64 * MiB, used / 8 + std::max<std::int64_t>(0, growthBytes));
    if (limit_ > 0 && used + ownReserve > limit_) return true;
    if (addressLimit_ > 0 && now.virtualBytes + std::max<std::int64_t>(64 * MiB, now.virtualBytes / 4) > addressLimit_)
        return true;
    if (now.availableBytes >= 0 && now.availableBytes < reserve) return true;
    return false;
}

}  // namespace quarvo
