// A literal reference labelling: repeated sweeps over the state list, as slow as it is plain.
#pragma once

#include <vector>

#include "ctl/Formula.h"
#include "generation/StemStore.h"

namespace quarvo::test {

// For each state of the list (by position), the nodes whose label it got.
using ReferenceLabels = std::vector<std::vector<FormulaIndex>>;

// Labels with per-state label lists kept in weight order, successors found by
// walking the list for each arc, markers pushed at the front of a state's
// labels for E G and A G, and fixpoint sweeps bounded by StemStateCount + 1.
ReferenceLabels SweepLabels(const StemStore& store, const CompiledFormula& formula);

bool ReferenceHolds(const ReferenceLabels& labels, std::size_t state, FormulaIndex node);

}  // namespace quarvo::test
