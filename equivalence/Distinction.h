// Why two states of one transition system are not bisimilar: a
// Hennessy–Milner formula true of one and false of the other, and the path
// along which they part.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "generation/Lts.h"
#include "generation/Progress.h"

namespace quarvo {

struct StateDistinction {
    bool stopped = false;     // the caller asked to stop; nothing else holds
    bool equivalent = false;  // no formula tells the two states apart
    bool tooLarge = false;    // the weak saturation would not fit: nothing else holds
    // The formula found was not true at the first state and false at the
    // second, or the path did not replay: a fault of this program, nothing
    // else holds.
    bool internalError = false;
    // True at the first state, false at the second; empty when it would be
    // too long to read.
    std::string formula;
    // The labels along the formula's first path, from the two states down to
    // the point where they part; the last label is a step one side can take
    // there and the other cannot. Under weak modalities, TauLabel is a step
    // of internal actions only (<<>>).
    std::vector<std::uint32_t> steps;
    bool lastByFirst = true;  // the first state's side takes the last step
    // The first side's states along the path: the first state, then the state
    // after each step it takes (all of steps when lastByFirst, else all but
    // the last).
    std::vector<std::uint32_t> firstStates;
};

// Strong bisimulation (weak = false): modalities <A>, [A] over the arcs of
// lts, internal arcs being the action "I". Weak bisimulation (weak = true):
// modalities <<A>>, [[A]] (internal actions, then A, then internal actions)
// and <<>>, [[]] (internal actions only).
//
// The states are refined level by level (level k: no formula of depth k
// tells them apart), recording the level at which each block splits; the
// formula then follows the first level at which the two states differ (no
// formula past a depth a reader can use: then only the path). The formula
// is checked at both states and the first side's path replayed before they
// are returned (internalError when they fail). Meant for
// quotients: under weak modalities the saturated system is held in memory.
StateDistinction DistinguishStates(const Lts& lts, std::uint32_t first, std::uint32_t second, bool weak,
                                   Progress* progress = nullptr);

// The weak saturation of lts: s -A-> t for every s =A=> t (internal arcs, A,
// internal arcs) and s -I-> t for every s =ε=> t (internal arcs only, none
// included). None when it would hold more than maxArcs arcs.
std::optional<Lts> WeakSaturation(const Lts& lts, std::size_t maxArcs);

}  // namespace quarvo

namespace quarvo {

// Where two branching-bisimilar states part under divergence-sensitive
// branching bisimulation: a state one reaches can run internal actions
// forever without leaving its class, and the matching state of the other
// cannot.
struct DivergenceDistinction {
    bool stopped = false;
    bool found = false;
    std::vector<std::uint32_t> trace;        // visible labels down to that point
    bool firstDiverges = true;
    std::vector<std::uint32_t> firstStates;  // the first side's path (states of lts), from `first`
};

// branching and divergence give the block of each state of lts under
// branching bisimulation and under its divergence-sensitive variant; first
// and second are in one branching block. Searches breadth first over pairs
// of states reached by matching moves.
DivergenceDistinction FindDivergence(const Lts& lts, std::uint32_t first, std::uint32_t second,
                                     const std::vector<std::uint32_t>& branching,
                                     const std::vector<std::uint32_t>& divergence, Progress* progress = nullptr);

}  // namespace quarvo

namespace quarvo {

// A formula true at `first` and false at `second` for branching
// bisimulation, with the until modality φ<A>ψ: along internal steps where φ
// holds, then A, then ψ (A may be I, an internal step). Meant for states that
// no weak formula tells apart, on a small system (a quotient): the levels of
// the refinement are kept whole. Every formula is checked on lts before it is
// returned; empty when none was found within the sizes a reader can use.
std::string BranchingFormula(const Lts& lts, std::uint32_t first, std::uint32_t second,
                             Progress* progress = nullptr);

}  // namespace quarvo
