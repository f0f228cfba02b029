// A system seen from a few of its gates: the other actions hidden, the result reduced modulo branching bisimulation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontend/Status.h"
#include "generation/Progress.h"
#include "generation/StemStore.h"

namespace quarvo {

// The gate of an action as a user names it to hide it: its first word ("PUT"
// of "PUT !1"); an internal action has none (empty).
std::string GateOfAction(const std::string& action);

// The gates of a system's visible actions, each once, in the order of their
// first appearance along the states; "delta" is not one.
std::vector<std::string> VisibleGates(const StemStore& stem);

struct AbstractionResult {
    Status status;          // a failure: memory ran out (French message)
    bool stopped = false;   // the caller stopped it; nothing to use
    std::int64_t statesBefore = 0, arcsBefore = 0;
    std::int64_t statesAfter = 0, arcsAfter = 0;
    StemStore quotient;     // an interleaving STEM, states numbered breadth-first from the initial block
};

// The interleaving view of stem with every action on the hidden gates made
// internal, reduced modulo branching bisimulation.
AbstractionResult Abstraction(const StemStore& stem, const std::vector<std::string>& hiddenGates,
                              Progress* progress = nullptr);

// "Abstraction : 120 états et 340 arcs avant, 4 états et 6 arcs après."
std::string AbstractionSummary(const AbstractionResult& result);

// "1 état", "4 états": a count and its noun, plural past one.
std::string Counted(std::int64_t count, const std::string& noun);

}  // namespace quarvo
