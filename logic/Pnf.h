// A checked formula with its negations pushed down to the actions: the
// positive normal form the evaluator and the trace builder work on, and the
// sets of labels its action formulas denote on one system.
#pragma once

#include <cstdint>
#include <vector>

#include "generation/Lts.h"
#include "logic/Formula.h"

namespace quarvo::logic {

struct PnfNode {
    enum class Kind { True, False, And, Or, Diamond, Box, Mu, Nu, Var };
    Kind kind = Kind::True;
    std::int32_t a = NoNode, b = NoNode;  // And, Or: both; Diamond, Box, Mu, Nu: a (the body)
    std::int32_t regular = NoNode;        // Diamond, Box: a RegularNode of the formula
    std::int32_t binder = NoNode;         // Var: its Mu or Nu node
    std::uint32_t offset = 0;             // where the node came from in the text
};

struct Pnf {
    std::vector<PnfNode> nodes;
    std::int32_t root = NoNode;
};

// The positive normal form of the formula, or of its negation when negated.
// The formula must have passed CheckFormula.
Pnf ToPnf(const Formula& formula, bool negated);

// Per action node of the formula, which labels of the system it accepts
// (tau: every internal label, "I" and each "I_…").
using LabelSets = std::vector<std::vector<char>>;
LabelSets ActionLabelSets(const Formula& formula, const Lts& lts);

}  // namespace quarvo::logic
