// Trace equivalence of two states of one transition system, and the shortest
// trace of visible actions that one state has and the other has not.
#pragma once

#include <cstdint>
#include <vector>

#include "generation/Lts.h"
#include "generation/Progress.h"

namespace quarvo {

struct TraceDifference {
    bool stopped = false;     // the caller asked to stop; nothing else holds
    // The search would not fit in the memory allowed, and was abandoned
    // (explored: the pairs it held then); nothing else holds.
    bool tooLarge = false;
    bool equivalent = false;  // the two states have the same traces
    // When not equivalent: a shortest trace (visible labels of the Lts) that
    // one state can perform and the other cannot.
    std::vector<std::uint32_t> trace;
    bool traceOfFirst = true;  // the first state is the one that can perform it
    std::int64_t explored = 0;  // the pairs the search held
};

// Compares the traces of first and second over the visible labels (internal
// arcs are not observed), by a breadth-first search over pairs of sets of
// states closed under internal arcs (the subset construction, made on the
// fly). Among the labels of one step, names are tried in alphabetical order.
//
// The problem is PSPACE-complete: on a pathological system the number of
// subsets grows exponentially, and this search holds them all.
// CompareTracesByAntichains gives the same answer and is the one to use; this
// one is kept as a second opinion.
TraceDifference CompareTraces(const Lts& lts, std::uint32_t first, std::uint32_t second,
                              Progress* progress = nullptr);

// The same answer (the same trace: the first by name among the shortest),
// found by checking the inclusion of traces both ways with antichains: the
// search runs over pairs (a state of one side, the set of states the other
// side reaches by the same trace, closed under internal arcs), breadth first,
// and keeps only the pairs no other subsumes ((p, S) is subsumed by (p, S')
// when S' is included in S: whatever trace p has and S has not, S' has not
// either). It stops at the first distinguishing trace, without building the
// whole subset construction. Past memoryLimit (bytes, 0 for the machine's
// memory only; see MemoryWatch) it stops with tooLarge. Both inclusions
// advance in step, one trace length at a time. Callers reduce the systems
// first (branching bisimulation preserves traces) to keep the pairs few.
TraceDifference CompareTracesByAntichains(const Lts& lts, std::uint32_t first, std::uint32_t second,
                                          Progress* progress = nullptr, std::int64_t memoryLimit = 0);

// The labels of lts ranked by name: rank[label] is the label's position in
// alphabetical order of names.
std::vector<std::uint32_t> LabelRanksByName(const Lts& lts);

}  // namespace quarvo
