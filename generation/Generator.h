// Breadth-first exploration of the configurations of a compiled specification into the STEM store.
#pragma once

#include <cstdint>
#include <memory>

#include "frontend/CoreInterfaces.h"
#include "frontend/SyntaxTree.h"
#include "generation/Progress.h"
#include "generation/StemStore.h"
#include "generation/Semantics.h"

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

struct GenerationResult {
    std::int64_t states = 0;
    std::int64_t arcs = 0;
    bool interrupted = false;        // stopped from outside or by the bound
    bool stoppedByBound = false;
    bool stoppedByMemory = false;
    bool eventNamesExhausted = false;
    bool unguardedRecursion = false;
    // Distinct term nodes made for the states kept: the measure of the work,
    // which grows with the states and the part of their terms that changed.
    std::int64_t nodesBuilt = 0;
};

// Explores every configuration reachable from the system's behaviour and
// replaces the store's STEM with the result. Appends the summary lines to
// messages; reports progress and the dialog's figures through progress.
GenerationResult GenerateStem(std::shared_ptr<const Compilation> compilation, const GenerationSettings& settings,
                              StemStore& store, MessageSink& messages, Progress* progress = nullptr);

}  // namespace quarvo
