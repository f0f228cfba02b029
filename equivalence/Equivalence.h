// Bisimulations and trace equivalence of transition systems, their partitions
// and the quotients they give.
#pragma once

#include <cstdint>
#include <vector>

#include "generation/Lts.h"
#include "frontend/Status.h"
#include "generation/Progress.h"
#include "generation/StemStore.h"

namespace quarvo {

enum class Equivalence { Strong, Branching, DivergenceBranching, Weak, Traces };

// A partition of the states of an Lts: the block of each state, blocks
// numbered 0 .. count-1. stopped: the caller asked to stop (Progress), the
// partition is then not the answer.
struct Partition {
    std::vector<std::uint32_t> block;
    std::uint32_t count = 0;
    bool stopped = false;
    // Weak bisimulation only: the saturation would not fit in memory, and
    // was not built (saturationArcs: the arcs it was predicted to hold, at
    // most); the partition is then not the answer.
    bool tooLarge = false;
    std::int64_t saturationArcs = 0;
};

// The coarsest strong bisimulation (internal arcs are arcs like others, all
// internal actions being one), in O(m log n).
// initialBlock, when not empty, gives each state a first block (states in
// different first blocks are never merged).
Partition StrongBisimulation(const Lts& lts, Progress* progress = nullptr,
                             const std::vector<std::uint32_t>& initialBlock = {});

// The coarsest branching bisimulation, or divergence-sensitive branching
// bisimulation when divergenceSensitive.
Partition BranchingBisimulation(const Lts& lts, bool divergenceSensitive, Progress* progress = nullptr,
                                const std::vector<std::uint32_t>& initialBlock = {});

// The coarsest weak (observational) bisimulation: the system is reduced
// modulo branching bisimulation, and only the reduced one saturated, once the
// saturation's size has been predicted to fit under memoryLimit (bytes, 0
// for the machine's memory only; see MemoryWatch); else tooLarge.
Partition WeakBisimulation(const Lts& lts, Progress* progress = nullptr, std::int64_t memoryLimit = 0);

// The partition of any bisimulation of the enum (not Traces); memoryLimit as
// for WeakBisimulation.
Partition Bisimulation(const Lts& lts, Equivalence equivalence, Progress* progress = nullptr,
                       std::int64_t memoryLimit = 0);

// The quotient of lts by a strong or branching partition: one state per block
// reachable from the initial one, numbered in breadth-first order from the
// initial block; an arc B -a-> C for each arc s -a-> t with s in B and t in C,
// once, dropping the internal arcs inside a block when dropInertInternal
// (branching quotient; a block with an internal loop keeps one internal
// self-loop when divergence must be kept, keepDivergence). Each state's arcs
// are sorted by label name, then target.
Lts QuotientLts(const Lts& lts, const Partition& partition, bool dropInertInternal, bool keepDivergence = false);

// A store holding lts as an interleaving STEM: states numbered 0..n-1 in
// state order, no events, each arc with event 0 and no causes, in the order of
// the lts (read back in that order).
StemStore StoreFromLts(const Lts& lts);

struct ReduceOptions {
    Equivalence equivalence = Equivalence::Strong;  // Strong, Branching or DivergenceBranching
    // Keep apart states whose maximal events carry different sets of actions
    // (the atoms of the CTL checker), and give each state of the quotient the
    // events of its first member, so that CTL verdicts carry over. Without
    // it, the quotient is that of the bare behaviour and its states have no events.
    bool keepStateLabels = false;
};

struct ReduceResult {
    Status status;               // a failure: memory ran out (French message)
    bool stopped = false;        // the caller stopped it; nothing to use
    std::int64_t statesBefore = 0, arcsBefore = 0;
    std::int64_t statesAfter = 0, arcsAfter = 0;
    StemStore quotient;          // the reduced system, when ok and not stopped
};

// The quotient of a STEM's interleaving view modulo strong or branching
// bisimulation (DivergenceBranching keeps divergences), as a store of its
// own: an interleaving STEM whose states are numbered in breadth-first order
// from the initial block.
ReduceResult ReduceStem(const StemStore& stem, const ReduceOptions& options, Progress* progress = nullptr);

// "Réduction : 120 états et 340 arcs avant, 12 états et 20 arcs après." and
// the like, the lines a caller prints after a reduction.
std::vector<std::string> ReduceSummaryLines(const ReduceResult& result);

}  // namespace quarvo
