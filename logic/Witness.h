// The trace behind a verdict: for a formula true at a state, the run that a
// diamond (a shortest path along its regular formula) or a greatest fixpoint
// of a diamond (a lasso) promises; and the replay that checks each claim.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "generation/Lts.h"
#include "logic/Evaluator.h"
#include "logic/Pnf.h"
#include "logic/Trace.h"

namespace quarvo::logic {

// A nondeterministic automaton of a regular formula, with empty moves.
struct Automaton {
    struct Edge {
        std::uint32_t to = 0;
        std::int32_t action = NoNode;  // an ActionNode of the formula; NoNode: an empty move
    };
    std::vector<std::vector<Edge>> edges;  // per automaton state
    std::uint32_t start = 0;
    std::uint32_t accept = 0;
};
Automaton AutomatonOf(const Formula& formula, std::int32_t regular);

// Whether the labels of steps form a word of the automaton.
bool Accepts(const Automaton& automaton, const LabelSets& sets, const std::vector<Step>& steps);

// A shortest path from start whose word the automaton accepts and that ends in
// a state of goal (at least one arc when nonEmpty); none if there is none.
std::optional<std::vector<Step>> ShortestPath(const Automaton& automaton, const LabelSets& sets, const Lts& lts,
                                              std::uint32_t start, const StateSet& goal, bool nonEmpty = false);

// The trace that shows the formula of pnf true at start (evaluation its
// values on lts): empty when the formula has none (a box, a conjunction, a
// user's least fixpoint). Every claim it rests on is checked on the way, and
// replayed is false when one fails (the trace is then not to be shown).
struct WitnessResult {
    Trace trace;
    bool replayed = true;
};
WitnessResult BuildWitness(const Formula& formula, const Pnf& pnf, const Evaluation& evaluation, const LabelSets& sets,
                           const Lts& lts, std::uint32_t start);

}  // namespace quarvo::logic
