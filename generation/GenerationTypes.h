// What a generation is asked and what it answers: its settings and its result, as facts.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "generation/Semantics.h"

namespace quarvo {

struct GenerationSettings {
    Semantics semantics = Semantics::Maximality;
    bool cpbrOff = true;          // the CPBR item not ticked
    std::int64_t maxStates = 0;   // 0: no bound
    // Threads that derive the states, 0 for one per core. The result is the
    // same whatever their number.
    int threads = 0;
    // The most memory the generation may hold, in bytes; 0 for the machine's
    // available memory (the address-space limit of the process applies too).
    std::int64_t memoryLimit = 0;
    // For tests: recognise states by a linear scan comparing whole terms instead of the index.
    bool linearSearch = false;
    // For tests and comparisons: explore whole terms even where the system
    // has a parallel structure that states as vectors of its operands would
    // explore faster.
    bool termsOnly = false;
    // The term nodes made before those no waiting state needs are collected
    // (at least; the next collection waits for twice what was kept). Small
    // values exercise the collection in tests.
    std::uint32_t collectionThreshold = 1u << 16;
    // For tests: the threads of an exploration on vectors keep a map of their
    // first arcs to each new state from the start, as they do once a level
    // has changed the identity of one of its states.
    bool rootMapsFromStart = false;
    // Stop at the end of the first breadth-first level that holds a deadlock
    // (LevelHoldsDeadlock), for a deadlock search that need not build the
    // rest; the states of the next level are then stored without their arcs.
    bool stopAtDeadlockLevel = false;
};

// What a generation did: its counts, why it stopped, and the measures taken
// around it. Facts only; GenerationSummaryLines and the windows word them.
struct GenerationResult {
    std::int64_t states = 0;
    std::int64_t arcs = 0;
    bool interrupted = false;        // stopped from outside or by the bound
    bool stoppedByBound = false;
    bool stoppedByMemory = false;
    // Stopped by stopAtDeadlockLevel; exploredStates the states whose arcs are stored.
    bool stoppedAtDeadlock = false;
    std::int64_t exploredStates = 0;
    // Memory ran out before anything usable was stored: the store was emptied
    // and the counts are 0.
    bool abandoned = false;
    bool eventNamesExhausted = false;
    bool unguardedRecursion = false;
    // The name of the process whose recursion is not guarded, when unguardedRecursion.
    std::string unguardedProcess;
    // Distinct term nodes made for the states kept: the measure of the work,
    // which grows with the states and the part of their terms that changed.
    std::int64_t nodesBuilt = 0;
    // The states were kept as vectors of the operands of a parallel structure.
    bool onVectors = false;
    // The threads the exploration made: no more than its levels kept busy.
    std::int32_t threadsMade = 1;
    // The system clock when the generation started and when it ended, and the
    // whole seconds between the two readings taken to the second.
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point ended;
    std::int64_t seconds = 0;
    // Bytes of the heap in use before and after (HeapBytesInUse).
    std::int64_t heapBytesBefore = 0;
    std::int64_t heapBytesAfter = 0;
    // The resident memory of the process as the generation started (the
    // allocator's free memory given back first), and the most this
    // generation took above it: the figure its memory limit applies to.
    std::int64_t memoryBefore = 0;
    std::int64_t memoryUsed = 0;
};

}  // namespace quarvo
