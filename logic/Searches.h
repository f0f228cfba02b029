// The two searches every user runs first: a reachable deadlock (a state
// without successors not reached by successful termination), and a reachable
// cycle of internal actions (a livelock).
#pragma once

#include <cstdint>
#include <optional>

#include "generation/Lts.h"
#include "logic/Trace.h"

namespace quarvo::logic {

// The shortest path from the initial state to a state without successors
// that no arc "delta" from a reachable state enters; none if there is none.
// Replayed before it is returned: a trace that fails sets replayed false.
struct SearchResult {
    std::optional<Trace> trace;
    bool replayed = true;
};
SearchResult FindDeadlock(const Lts& lts);

// A lasso from the initial state whose cycle is made of internal actions
// only ("I" and "I_…"): the shortest path to the nearest state that can go on
// with internal actions forever, then internal arcs to the cycle and round
// it; none if there is none.
SearchResult FindLivelock(const Lts& lts);

}  // namespace quarvo::logic
