// Watches the memory a long operation uses, so that it stops cleanly before the system stops it.
#pragma once

#include <cstdint>

namespace quarvo {

struct MemoryFigures {
    std::int64_t residentBytes = 0;   // resident set of the process
    std::int64_t virtualBytes = 0;    // its address space
    std::int64_t availableBytes = -1; // what the machine can still give, -1 when unknown
    std::int64_t totalBytes = -1;     // the machine's memory, -1 when unknown
};

// The process's own figures, read from the system.
MemoryFigures ReadMemoryFigures();

// Bytes the allocator has handed out and not taken back: the heap in use.
std::int64_t HeapBytesInUse();

class MemoryWatch {
public:
    // limitBytes: the most the process may hold resident, 0 for no limit of
    // the caller's own; the machine's available memory and the address-space
    // limit of the process always apply.
    explicit MemoryWatch(std::int64_t limitBytes = 0);

    // True when the memory in use nears a limit: there must still be room for
    // the containers of the operation to grow once more. growthBytes is what
    // the caller's largest containers may ask for at once (a vector that
    // doubles holds its old and its new block while it copies).
    bool NearLimit(std::int64_t growthBytes = 0) const;

private:
    std::int64_t limit_;
    std::int64_t addressLimit_;
};

}  // namespace quarvo
