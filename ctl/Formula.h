// CTL formula trees: nodes, the compiled formula that owns them, and the sub-formula order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontend/Identifier32.h"

namespace quarvo {

// The operator of a node; the numbers are fixed because labelling and display dispatch on them.
enum class TFormulaKind : std::uint8_t {
    fkAnd = 0,
    fkOr = 1,
    fkImplies = 2,
    fkEquiv = 3,
    fkAtom = 4,
    fkNot = 5,
    fkNumber = 6,
    fkEX = 7,
    fkAX = 8,
    fkEG = 9,
    fkAG = 10,
    fkEF = 11,
    fkAF = 12,
    fkEU = 13,
    fkAU = 14,
    fkCount = 15,
    fkTrue = 16,
    fkFalse = 17,
    // The until pair "f U g" before the quantifier in front of its brackets is
    // known; never left in a formula that compiled.
    fkPendingUntil = 255,
};

// A reference to a node: its index in CompiledFormula::nodes, or NoFormula.
using FormulaIndex = std::int32_t;
constexpr FormulaIndex NoFormula = -1;

// One node of a formula tree.
struct TFormulaNode {
    TFormulaKind Kind = TFormulaKind::fkTrue;
    FormulaIndex Left = NoFormula;   // first operand (the only one of unary kinds)
    FormulaIndex Right = NoFormula;  // second operand of binary, until and counting kinds
    Identifier32 Name;               // fkAtom: the identifier, upper case
    Identifier32 Written;            // fkAtom: the identifier as written in the formula
    std::int32_t Value = 0;          // fkNumber: the number
    std::int32_t Weight = 0;         // ordering key of the SubformulaList
};

// A list of node references kept in ascending Weight (equal weights in insertion order).
using TFormulaRef = FormulaIndex;
using FormulaRefList = std::vector<TFormulaRef>;

// Links node into list before the first entry of larger weight, unless the
// list already refers to it; returns whether it added an entry.
bool InsertRef(FormulaIndex node, FormulaRefList& list, const std::vector<TFormulaNode>& nodes);
// The same for a node known not to be in the list yet (one just created):
// skips the search among equal weights, which long chains of unary operators
// (all of one weight) would make quadratic.
void InsertNewRef(FormulaIndex node, FormulaRefList& list, const std::vector<TFormulaNode>& nodes);

// The result of one successful compilation. Nodes are created operands first,
// so an index is always larger than those of the nodes below it.
struct CompiledFormula {
    std::vector<TFormulaNode> nodes;
    // Every node except fkNumber leaves, operands before the formulas built on them.
    FormulaRefList SubformulaList;
    // Root of the formula; NoFormula when the compilation failed.
    FormulaIndex MainFormula = NoFormula;

    const TFormulaNode& Node(FormulaIndex index) const { return nodes[static_cast<std::size_t>(index)]; }
    bool Empty() const { return MainFormula == NoFormula; }
};

// The written form of a node, fully parenthesised and without blanks:
// "(AG((P)AND(Q)))", "(E[(P)U(Q)])", "((SEND):2)".
std::string FormulaText(const CompiledFormula& formula, FormulaIndex node);

}  // namespace quarvo
