// Breadth-first exploration of the configurations of a compiled specification into the STEM store.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frontend/SyntaxTree.h"
#include "generation/Progress.h"
#include "generation/Semantics.h"
#include "generation/StemStore.h"

namespace quarvo {

struct GenerationSettings {
    Semantics semantics = Semantics::Maximality;
    bool cpbrOff = true;          // the CPBR item not ticked
    std::int64_t maxStates = 0;   // 0: no bound
    // The most memory the generation may hold, in bytes; 0 for the machine's
    // available memory (the address-space limit of the process applies too).
    std::int64_t memoryLimit = 0;
    // For tests: recognise states by a linear scan comparing whole terms instead of the index.
    bool linearSearch = false;
    // The term nodes made before those no waiting state needs are collected
    // (at least; the next collection waits for twice what was kept). Small
    // values exercise the collection in tests.
    std::uint32_t collectionThreshold = 1u << 16;
};

// What a generation did: its counts, why it stopped, and the measures taken
// around it. Facts only; GenerationSummaryLines and the windows word them.
struct GenerationResult {
    std::int64_t states = 0;
    std::int64_t arcs = 0;
    bool interrupted = false;        // stopped from outside or by the bound
    bool stoppedByBound = false;
    bool stoppedByMemory = false;
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
    // The system clock when the generation started and when it ended, and the
    // whole seconds between the two readings taken to the second.
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point ended;
    std::int64_t seconds = 0;
    // Bytes of the heap in use before and after (HeapBytesInUse).
    std::int64_t heapBytesBefore = 0;
    std::int64_t heapBytesAfter = 0;
};

// The warning of a STEM some of whose events are named -1, the generation
// having had more simultaneous events than names; said after a generation and
// after a reading of such a STEM.
inline constexpr const char* EventNamesExhaustedWarning =
    "Attention : plus de 30 événements simultanés, des noms d'événements sont -1.";

// The line the message list shows while a generation runs.
inline constexpr const char* GenerationRunningMessage = "Génération en cours...";

// Explores every configuration reachable from the system's behaviour and
// replaces the store's STEM with the result; reports progress and asks for a
// stop through progress. Throws nothing: running out of memory ends the
// exploration and is told in the result.
GenerationResult GenerateStem(std::shared_ptr<const Compilation> compilation, const GenerationSettings& settings,
                              StemStore& store, Progress* progress = nullptr);

// The lines of the message list after a generation: the counts, the warnings,
// then how it ended. None for an abandoned generation.
std::vector<std::string> GenerationSummaryLines(const GenerationResult& result);

}  // namespace quarvo
