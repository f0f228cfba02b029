// Watches the memory a long operation uses, so that it stops cleanly before the system stops it.
#pragma once

#include <cstdint>
#include <new>

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

// Thrown where one step of an operation (one state's derivation) grows past
// the memory limit: caught where a lack of memory is (a std::bad_alloc), it
// stops the operation with what it had stored.
class MemoryLimitReached : public std::bad_alloc {
public:
    const char* what() const noexcept override { return "memory limit reached"; }
};

// Gives the memory the allocator holds free back to the system, so that the
// resident set is what the process uses: what an operation takes from then
// on is the growth of the resident set, whatever an earlier one left behind.
void ReturnFreeMemory();

class MemoryWatch {
public:
    // limitBytes: the most the operation may add to the resident set of the
    // process from now on (Used()), 0 for no limit of the caller's own; the
    // machine's available memory and the address-space limit of the process
    // always apply.
    explicit MemoryWatch(std::int64_t limitBytes = 0);

    // What the resident set has grown by since the watch was made: the
    // memory the operation took, the figure the limit applies to.
    std::int64_t Used() const;

    // True when the memory in use nears a limit: there must still be room for
    // the containers of the operation to grow once more. growthBytes is what
    // the caller's largest containers may ask for at once (a vector that
    // doubles holds its old and its new block while it copies).
    bool NearLimit(std::int64_t growthBytes = 0) const;

private:
    std::int64_t limit_;
    std::int64_t addressLimit_;
    std::int64_t residentBefore_;
};

// The memory stop of a loop that cannot size itself beforehand (a reader of
// a file whose header it does not believe): asked at every step, it looks at
// the memory only every so many steps, reading the figures costing far more
// than a step.
class MemoryStop {
public:
    static constexpr std::int64_t DefaultStepsBetweenLooks = 8192;

    // limitBytes as for MemoryWatch: 0 leaves the machine's memory and the
    // address-space limit of the process.
    explicit MemoryStop(std::int64_t limitBytes = 0, std::int64_t stepsBetweenLooks = DefaultStepsBetweenLooks)
        : watch_(limitBytes), every_(stepsBetweenLooks < 1 ? 1 : stepsBetweenLooks), left_(every_) {}

    // Counts a step; true once a look found the memory near a limit (and ever
    // after). growthBytes as for MemoryWatch::NearLimit.
    bool Reached(std::int64_t growthBytes = 0) {
        if (reached_) return true;
        if (--left_ > 0) return false;
        left_ = every_;
        reached_ = watch_.NearLimit(growthBytes);
        return reached_;
    }

private:
    MemoryWatch watch_;
    std::int64_t every_;
    std::int64_t left_;
    bool reached_ = false;
};

}  // namespace quarvo
