// What the diagnostic shows: states where each sub-formula holds or not, and a path from state 0 to a state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ctl/Formula.h"
#include "ctl/Labelling.h"
#include "frontend/Status.h"
#include "generation/StemStore.h"

namespace quarvo {

// The state numbers, in state-list order, where a sub-formula holds and where it does not.
struct StatePartition {
    std::vector<std::int32_t> holds;
    std::vector<std::int32_t> fails;
};

StatePartition StatesWhere(const StemStore& store, const Labelling& labels, FormulaIndex node);

// One line of the diagnostic: a sub-formula with its 1-based position in the SubformulaList.
struct DiagnosticEntry {
    int number = 0;
    FormulaIndex node = NoFormula;
    std::string text;  // FormulaText
    StatePartition states;
};

// Every sub-formula in SubformulaList order, as "calvento check --diagnostic" prints them.
std::vector<DiagnosticEntry> Diagnose(const StemStore& store, const CompiledFormula& formula,
                                      const Labelling& labels);

struct PathResult {
    // From state 0 to the chosen state, as a small STEM of its own that names
    // actions as the STEM it comes from: each state carries the Number and the
    // Events of its state and, except the last, the one arc that leads to the
    // next state of the path.
    StemStore path;
    Status status;  // failed with "Etat n inaccessible depuis l'état initial." when there is no path
};

// A path from the state numbered 0 to the state numbered number. Each step
// goes back to the first state in state-list order that has an arc to the
// current state (its first such arc); when that walk would not reach state 0
// (a list not in discovery order, a cycle, an unknown number) the path is a
// shortest one found breadth-first from state 0.
PathResult BuildPath(const StemStore& store, std::int32_t number);

}  // namespace quarvo
