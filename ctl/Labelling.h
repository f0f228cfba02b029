// Labelling of a STEM's states with the sub-formulas of a CTL formula that hold in them, and the verdict.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ctl/Formula.h"
#include "generation/StemStore.h"

namespace quarvo {

// For every node of one formula, the set of states of one STEM (by their
// position in the state list) where it holds. Owned by the caller: a new STEM or a
// new formula calls for a new labelling.
class Labelling {
public:
    Labelling() = default;

    // True when node holds in the state at position stateIndex of the state list.
    bool Holds(std::size_t stateIndex, FormulaIndex node) const;

    std::size_t StateCount() const { return stateCount_; }
    bool Empty() const { return rows_.empty(); }

    friend bool operator==(const Labelling&, const Labelling&) = default;

private:
    friend void LabelAll(const StemStore& store, const CompiledFormula& formula, Labelling& labels);

    std::size_t stateCount_ = 0;
    // rows_[node]: one bit per state, 64 states per word; bits past the last state are 0.
    std::vector<std::vector<std::uint64_t>> rows_;
};

// Labels every state with every sub-formula that holds there, taking the
// SubformulaList in order. Labels accumulate: running it again on the same
// STEM and formula changes nothing; a labelling made for another STEM size or
// another formula is started afresh. Arcs whose target is no state of the
// STEM lead nowhere and are ignored. Costs in the order of
// (sub-formulas) x (states + arcs).
void LabelAll(const StemStore& store, const CompiledFormula& formula, Labelling& labels);
Labelling LabelAll(const StemStore& store, const CompiledFormula& formula);

// Per action id of the STEM's action table, whether the STEM uses it (an arc
// or an event of a state bears it). The table may name more: the gates of the
// specification hidden or never offered, or the actions of an earlier STEM
// (the table outlives a regeneration).
std::vector<bool> UsedActions(const StemStore& store);

// The atoms of formula that name no action of the STEM in store, each once,
// as first written in the formula, in the order of the text. An atom names an
// action of the STEM when an arc bears that action or a state has an event of
// it, the names being compared as the labelling compares them (upper case:
// "I_MID" for a hidden MID, "I" for the internal action); an atom that names
// none holds in no state. The atom of a count ("p : 0") is an atom like any other.
std::vector<std::string> UnknownAtoms(const StemStore& store, const CompiledFormula& formula);

// The warning about the atoms UnknownAtoms gave:
// "Attention : aucune action CS3 dans le STEM.", or for several
// "Attention : aucune action CS3, CS4 ni CS5 dans le STEM."; empty when there are none.
std::string UnknownAtomsWarning(const std::vector<std::string>& atoms);

enum class Verdict {
    Verified,        // the root formula holds in state 0
    NotVerified,     // it does not, or there is no formula
    NoStem,          // the store holds no state: nothing to check
    NoInitialState,  // the store has states but none numbered 0
};

constexpr const char* VerdictCaption = "Model-Checking...";

// The message shown for a verdict.
const char* VerdictMessage(Verdict verdict);

// Whether MainFormula holds in the state numbered 0, after LabelAll.
Verdict InitialVerdict(const StemStore& store, const CompiledFormula& formula, const Labelling& labels);

// The "Vérifier" command: LabelAll then InitialVerdict; without a STEM (or
// without state 0) nothing is labelled and the verdict says so.
Verdict Verify(const StemStore& store, const CompiledFormula& formula, Labelling& labels);

}  // namespace quarvo
