// Pushing negations down to the actions, and the label sets of action formulas.
#include "logic/Pnf.h"

#include <cassert>
#include <string>
#include <utility>

namespace quarvo::logic {
namespace {

class Converter {
public:
    explicit Converter(const Formula& f) : f_(f) {}

    std::int32_t Convert(std::int32_t node, bool negated) {
        const StateNode& n = f_.states[static_cast<std::size_t>(node)];
        using K = StateNode::Kind;
        using P = PnfNode::Kind;
        switch (n.kind) {
            case K::True: return Add({negated ? P::False : P::True}, n.offset);
            case K::False: return Add({negated ? P::True : P::False}, n.offset);
            case K::Not: return Convert(n.a, !negated);
            case K::And:
            case K::Or: {
                const bool conjunction = (n.kind == K::And) != negated;
                const std::int32_t a = Convert(n.a, negated);
                const std::int32_t b = Convert(n.b, negated);
                return Add({conjunction ? P::And : P::Or, a, b}, n.offset);
            }
            case K::Implies: {
                const std::int32_t a = Convert(n.a, !negated);
                const std::int32_t b = Convert(n.b, negated);
                return Add({negated ? P::And : P::Or, a, b}, n.offset);
            }
            case K::Diamond:
            case K::Box: {
                const bool diamond = (n.kind == K::Diamond) != negated;
                const std::int32_t a = Convert(n.a, negated);
                PnfNode m{diamond ? P::Diamond : P::Box, a};
                m.regular = n.regular;
                return Add(m, n.offset);
            }
            case K::Mu:
            case K::Nu: {
                const bool mu = (n.kind == K::Mu) != negated;
                const std::int32_t self = Add({mu ? P::Mu : P::Nu}, n.offset);
                scope_.emplace_back(n.variable, self);
                const std::int32_t body = Convert(n.a, negated);
                scope_.pop_back();
                out_.nodes[static_cast<std::size_t>(self)].a = body;
                return self;
            }
            case K::Var: {
                PnfNode m{P::Var};
                for (std::size_t i = scope_.size(); i-- > 0;)
                    if (scope_[i].first == n.variable) {
                        m.binder = scope_[i].second;
                        break;
                    }
                assert(m.binder != NoNode && "a checked formula binds every variable");
                return Add(m, n.offset);
            }
        }
        return NoNode;
    }

    Pnf Take(std::int32_t root) {
        out_.root = root;
        return std::move(out_);
    }

private:
    std::int32_t Add(PnfNode n, std::uint32_t offset) {
        n.offset = offset;
        out_.nodes.push_back(n);
        return static_cast<std::int32_t>(out_.nodes.size() - 1);
    }

    const Formula& f_;
    Pnf out_;
    std::vector<std::pair<std::string, std::int32_t>> scope_;
};

}  // namespace

Pnf ToPnf(const Formula& formula, bool negated) {
    Converter converter(formula);
    const std::int32_t root = converter.Convert(formula.root, negated);
    return converter.Take(root);
}

LabelSets ActionLabelSets(const Formula& formula, const Lts& lts) {
    const std::size_t count = lts.labels.size();
    LabelSets sets(formula.actions.size());
    // Children come before their parents in the arena: the parser makes them first.
    for (std::size_t i = 0; i < formula.actions.size(); ++i) {
        const ActionNode& n = formula.actions[i];
        std::vector<char>& set = sets[i];
        set.assign(count, 0);
        switch (n.kind) {
            case ActionNode::Kind::Name:
                for (std::size_t l = 0; l < count; ++l) set[l] = lts.labels[l] == n.name;
                break;
            case ActionNode::Kind::Tau:
                for (std::size_t l = 0; l < count; ++l) set[l] = IsInternalAction(lts.labels[l]);
                break;
            case ActionNode::Kind::True: set.assign(count, 1); break;
            case ActionNode::Kind::False: break;
            case ActionNode::Kind::Not:
                for (std::size_t l = 0; l < count; ++l) set[l] = !sets[static_cast<std::size_t>(n.a)][l];
                break;
            case ActionNode::Kind::And:
            case ActionNode::Kind::Or:
                for (std::size_t l = 0; l < count; ++l) {
                    const bool x = sets[static_cast<std::size_t>(n.a)][l], y = sets[static_cast<std::size_t>(n.b)][l];
                    set[l] = n.kind == ActionNode::Kind::And ? (x && y) : (x || y);
                }
                break;
        }
    }
    return sets;
}

}  // namespace quarvo::logic
