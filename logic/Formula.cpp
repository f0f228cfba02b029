// Writing formulas back as text, fully parenthesised.
#include "logic/Formula.h"

namespace quarvo::logic {

std::string ActionText(const Formula& f, std::int32_t node) {
    const ActionNode& n = f.actions[static_cast<std::size_t>(node)];
    switch (n.kind) {
        case ActionNode::Kind::Name: return n.name;
        case ActionNode::Kind::Tau: return "tau";
        case ActionNode::Kind::True: return "true";
        case ActionNode::Kind::False: return "false";
        case ActionNode::Kind::Not: return "(not " + ActionText(f, n.a) + ")";
        case ActionNode::Kind::And: return "(" + ActionText(f, n.a) + " and " + ActionText(f, n.b) + ")";
        case ActionNode::Kind::Or: return "(" + ActionText(f, n.a) + " or " + ActionText(f, n.b) + ")";
    }
    return {};
}

std::string RegularText(const Formula& f, std::int32_t node) {
    const RegularNode& n = f.regulars[static_cast<std::size_t>(node)];
    switch (n.kind) {
        case RegularNode::Kind::Action: return ActionText(f, n.action);
        case RegularNode::Kind::Nil: return "nil";
        case RegularNode::Kind::Seq: return "(" + RegularText(f, n.a) + " . " + RegularText(f, n.b) + ")";
        case RegularNode::Kind::Alt: return "(" + RegularText(f, n.a) + " | " + RegularText(f, n.b) + ")";
        case RegularNode::Kind::Star: return "(" + RegularText(f, n.a) + ")*";
        case RegularNode::Kind::Plus: return "(" + RegularText(f, n.a) + ")+";
    }
    return {};
}

std::string StateText(const Formula& f, std::int32_t node) {
    const StateNode& n = f.states[static_cast<std::size_t>(node)];
    switch (n.kind) {
        case StateNode::Kind::True: return "true";
        case StateNode::Kind::False: return "false";
        case StateNode::Kind::Not: return "(not " + StateText(f, n.a) + ")";
        case StateNode::Kind::And: return "(" + StateText(f, n.a) + " and " + StateText(f, n.b) + ")";
        case StateNode::Kind::Or: return "(" + StateText(f, n.a) + " or " + StateText(f, n.b) + ")";
        case StateNode::Kind::Implies: return "(" + StateText(f, n.a) + " implies " + StateText(f, n.b) + ")";
        case StateNode::Kind::Diamond: return "(<" + RegularText(f, n.regular) + "> " + StateText(f, n.a) + ")";
        case StateNode::Kind::Box: return "([" + RegularText(f, n.regular) + "] " + StateText(f, n.a) + ")";
        case StateNode::Kind::Mu: return "(mu " + n.variable + " . " + StateText(f, n.a) + ")";
        case StateNode::Kind::Nu: return "(nu " + n.variable + " . " + StateText(f, n.a) + ")";
        case StateNode::Kind::Var: return n.variable;
    }
    return {};
}

}  // namespace quarvo::logic
