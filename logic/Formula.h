// The syntax tree of an action formula: action, regular and state formulas of
// the alternation-free modal mu-calculus, in three arenas of nodes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarvo::logic {

inline constexpr std::int32_t NoNode = -1;

// α: which actions an arc may carry.
struct ActionNode {
    enum class Kind { Name, Tau, True, False, Not, And, Or };
    Kind kind = Kind::True;
    std::string name;  // Kind::Name
    std::int32_t a = NoNode, b = NoNode;
    std::uint32_t offset = 0;  // byte offset of the node's first character in the text
};

// R: sequences of actions.
struct RegularNode {
    enum class Kind { Action, Nil, Seq, Alt, Star, Plus };
    Kind kind = Kind::Nil;
    std::int32_t action = NoNode;  // Kind::Action: an ActionNode
    std::int32_t a = NoNode, b = NoNode;
    std::uint32_t offset = 0;
};

// φ: sets of states.
struct StateNode {
    enum class Kind { True, False, Not, And, Or, Implies, Diamond, Box, Mu, Nu, Var };
    Kind kind = Kind::True;
    std::string variable;           // Mu, Nu: the bound variable; Var: the variable used
    std::int32_t regular = NoNode;  // Diamond, Box
    std::int32_t a = NoNode, b = NoNode;  // operands; Not, Diamond, Box, Mu, Nu: a alone
    std::uint32_t offset = 0;
};

struct Formula {
    std::vector<ActionNode> actions;
    std::vector<RegularNode> regulars;
    std::vector<StateNode> states;
    std::int32_t root = NoNode;  // a StateNode
};

// The formula written back with every operator in parentheses, for tests and
// for messages that quote a subformula.
std::string ActionText(const Formula& f, std::int32_t node);
std::string RegularText(const Formula& f, std::int32_t node);
std::string StateText(const Formula& f, std::int32_t node);

}  // namespace quarvo::logic
