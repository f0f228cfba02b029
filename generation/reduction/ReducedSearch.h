// The search for a deadlock, or for a run a safety property forbids, over
// the engine on vectors under interleaving, with or without partial-order
// reduction (stubborn sets): depth first on a stack of states, or breadth
// first for a shortest trace of the space it explores.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frontend/SyntaxTree.h"
#include "generation/ActionTable.h"
#include "generation/GenerationTypes.h"
#include "generation/Progress.h"
#include "generation/reduction/SearchSettings.h"

namespace quarvo {

struct SearchStep {
    std::int64_t from = 0, to = 0;  // states, by their numbers in the search
    std::string action;
    std::uint32_t transition = 0;   // its rank among the source's transitions, in the order of the rules
};

struct SearchOutcomeOnVectors {
    // False when the system has no parallel structure at its root: the
    // search did not run (the caller searches the whole space instead).
    bool ran = false;
    bool found = false;           // a deadlock, or a forbidden run
    bool stoppedByMemory = false;
    bool interrupted = false;     // the caller asked it to stop
    bool stoppedByBound = false;  // maxStates reached
    bool reduced = false;         // stubborn sets were used
    std::int64_t explored = 0;    // states met (of the system, or of the system beside the monitor)
    std::int64_t fullyExpanded = 0;  // of which every transition was followed
    std::vector<SearchStep> trace;   // from the initial state to what was found
    // The actions the system may carry, as its components' own transitions
    // tell them (a superset of those its arcs carry), when they could be told.
    std::vector<std::string> actions;
    bool actionsKnown = false;
    // The trace, followed transition by transition on the whole terms by the
    // term engine, is a run of the system (ending in a deadlock, for a deadlock).
    bool replayed = false;
};

// Searches a deadlock (monitor null) or a run that monitor forbids, on the
// interleaving semantics of the compiled system. Throws nothing.
SearchOutcomeOnVectors SearchOnVectors(const std::shared_ptr<const Compilation>& compilation,
                                       const SearchSettings& settings, RunMonitor* monitor = nullptr,
                                       Progress* progress = nullptr);

// Whether steps (their ranks and actions) is a run of the system's terms from
// its initial state, which ends in a deadlock when deadlock is true.
bool ReplaysOnTerms(const std::shared_ptr<const Compilation>& compilation, const std::vector<SearchStep>& steps,
                    bool deadlock);

}  // namespace quarvo
