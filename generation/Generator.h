// Breadth-first exploration of the configurations of a compiled specification into the STEM store.
#pragma once

#include <cstdint>
#include <memory>

#include "frontend/CoreInterfaces.h"
#include "frontend/SyntaxTree.h"
#include "generation/Progress.h"
#include "generation/StemStore.h"
#include "generation/Terms.h"

namespace quarvo {

struct GenerationSettings {
    Semantics semantics = Semantics::Maximality;
    bool cpbrOff = true;          // the CPBR item not ticked
    std::int64_t maxStates = 0;   // 0: no bound
    // For tests: recognise states by a linear scan with TermEqual instead of the index.
    bool linearSearch = false;
};

struct GenerationResult {
    std::int64_t states = 0;
    std::int64_t arcs = 0;
    bool interrupted = false;        // stopped from outside or by the bound
    bool stoppedByBound = false;
    bool eventNamesExhausted = false;
    bool unguardedRecursion = false;
    // Term nodes built for successors, known states included: the measure of
    // the work, which grows with the states, their arcs and their terms' size.
    std::int64_t nodesBuilt = 0;
};

// Explores every configuration reachable from the system's behaviour and
// replaces the store's STEM with the result. Appends the summary lines to
// messages; reports progress and the dialog's figures through progress.
GenerationResult GenerateStem(std::shared_ptr<const Compilation> compilation, const GenerationSettings& settings,
                              StemStore& store, MessageSink& messages, Progress* progress = nullptr);

}  // namespace quarvo
