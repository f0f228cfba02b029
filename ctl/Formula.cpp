// The sub-formula order and the written form of formula nodes.
#include "ctl/Formula.h"

#include <algorithm>
#include <utility>

namespace quarvo {

namespace {

// The entries of list whose weight is that of node, as a pair of positions.
std::pair<FormulaRefList::iterator, FormulaRefList::iterator> EqualWeights(FormulaIndex node, FormulaRefList& list,
                                                                           const std::vector<TFormulaNode>& nodes) {
    auto weightOf = [&nodes](FormulaIndex i) { return nodes[static_cast<std::size_t>(i)].Weight; };
    const std::int32_t weight = weightOf(node);
    auto first = std::lower_bound(list.begin(), list.end(), weight,
                                  [&](FormulaIndex entry, std::int32_t w) { return weightOf(entry) < w; });
    auto last = std::upper_bound(first, list.end(), weight,
                                 [&](std::int32_t w, FormulaIndex entry) { return w < weightOf(entry); });
    return {first, last};
}

}  // namespace

bool InsertRef(FormulaIndex node, FormulaRefList& list, const std::vector<TFormulaNode>& nodes) {
    // The list is sorted by weight, so a reference to node can only sit among
    // the entries of its own weight.
    auto [first, last] = EqualWeights(node, list, nodes);
    if (std::find(first, last, node) != last) return false;
    list.insert(last, node);
    return true;
}

void InsertNewRef(FormulaIndex node, FormulaRefList& list, const std::vector<TFormulaNode>& nodes) {
    list.insert(EqualWeights(node, list, nodes).second, node);
}

namespace {

const char* OperatorWord(TFormulaKind kind) {
    switch (kind) {
    case TFormulaKind::fkAnd: return "AND";
    case TFormulaKind::fkOr: return "OR";
    case TFormulaKind::fkImplies: return "=>";
    case TFormulaKind::fkEquiv: return "<=>";
    case TFormulaKind::fkNot: return "NOT";
    case TFormulaKind::fkEX: return "EX";
    case TFormulaKind::fkAX: return "AX";
    case TFormulaKind::fkEG: return "EG";
    case TFormulaKind::fkAG: return "AG";
    case TFormulaKind::fkEF: return "EF";
    case TFormulaKind::fkAF: return "AF";
    case TFormulaKind::fkEU: return "E";
    case TFormulaKind::fkAU: return "A";
    case TFormulaKind::fkTrue: return "TRUE";
    case TFormulaKind::fkFalse: return "FALSE";
    default: return "?";
    }
}

// A pending piece of output: a node still to write, or a fixed text.
struct Piece {
    FormulaIndex node;
    const char* text;
};

}  // namespace

std::string FormulaText(const CompiledFormula& formula, FormulaIndex root) {
    std::string out;
    if (root == NoFormula) return out;
    // An explicit stack rather than recursion: a formula of a hundred thousand
    // nested NOTs must not exhaust the call stack.
    std::vector<Piece> pending{{root, nullptr}};
    auto push = [&pending](std::initializer_list<Piece> pieces) {
        for (auto it = std::rbegin(pieces); it != std::rend(pieces); ++it) pending.push_back(*it);
    };
    auto text = [](const char* t) { return Piece{NoFormula, t}; };
    auto node = [](FormulaIndex n) { return Piece{n, nullptr}; };
    while (!pending.empty()) {
        Piece piece = pending.back();
        pending.pop_back();
        if (piece.node == NoFormula) {
            out += piece.text;
            continue;
        }
        const TFormulaNode& n = formula.Node(piece.node);
        const char* word = OperatorWord(n.Kind);
        switch (n.Kind) {
        case TFormulaKind::fkAnd:
        case TFormulaKind::fkOr:
        case TFormulaKind::fkImplies:
        case TFormulaKind::fkEquiv:
            push({text("("), node(n.Left), text(word), node(n.Right), text(")")});
            break;
        case TFormulaKind::fkNot:
        case TFormulaKind::fkEX:
        case TFormulaKind::fkAX:
        case TFormulaKind::fkEG:
        case TFormulaKind::fkAG:
        case TFormulaKind::fkEF:
        case TFormulaKind::fkAF:
            push({text("("), text(word), node(n.Left), text(")")});
            break;
        case TFormulaKind::fkEU:
        case TFormulaKind::fkAU:
            push({text("("), text(word), text("["), node(n.Left), text("U"), node(n.Right), text("])")});
            break;
        case TFormulaKind::fkCount:
            push({text("("), node(n.Left), text(":"), node(n.Right), text(")")});
            break;
        case TFormulaKind::fkAtom:
            out += "(" + n.Name.Text() + ")";
            break;
        case TFormulaKind::fkNumber:
            out += std::to_string(n.Value);
            break;
        case TFormulaKind::fkTrue:
        case TFormulaKind::fkFalse:
            out += std::string("(") + word + ")";
            break;
        case TFormulaKind::fkPendingUntil:
            out += "?";
            break;
        }
    }
    return out;
}

}  // namespace quarvo
