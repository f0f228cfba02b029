// Large blocks on huge pages: fewer page faults and TLB misses when a
// generation fills hundreds of megabytes at random.
#pragma once

#include <cstddef>
#include <cstdint>

#include <sys/mman.h>

namespace quarvo {

// Asks the system to back the whole 2 MiB pages inside [data, data + bytes)
// with huge pages where it allows it (a request it may ignore).
inline void AdviseHugePages(void* data, std::size_t bytes) {
    constexpr std::uintptr_t Huge = std::uintptr_t{2} << 20;
    if (bytes < 2 * Huge) return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + Huge - 1) & ~(Huge - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(Huge - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace quarvo
