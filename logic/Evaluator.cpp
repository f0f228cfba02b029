// The boolean equation system of a formula and its block-by-block solution.
#include "logic/Evaluator.h"

#include <algorithm>
#include <cassert>

namespace quarvo::logic {
namespace {

// One equation scheme, instantiated at every state: X_s = op over children.
struct Equation {
    enum class Kind { True, False, Or, And, Diamond, Box, Fix };
    Equation(Kind k, bool m = true, std::vector<std::int32_t> c = {}) : kind(k), mu(m), children(std::move(c)) {}
    Kind kind = Kind::True;
    bool mu = true;                     // Fix
    std::vector<std::int32_t> children; // Diamond, Box, Fix: one
    std::int32_t action = NoNode;       // Diamond, Box: the action node of the step
};

class Builder {
public:
    Builder(const Formula& f, const Pnf& pnf) : f_(f), pnf_(pnf), ofPnf_(pnf.nodes.size(), NoNode) {}

    std::vector<Equation> Build(std::vector<std::int32_t>& ofPnf) {
        for (std::size_t p = 0; p < pnf_.nodes.size(); ++p) Node(static_cast<std::int32_t>(p));
        ofPnf = std::move(ofPnf_);
        return std::move(eqs_);
    }

private:
    std::int32_t Add(Equation e) {
        eqs_.push_back(std::move(e));
        return static_cast<std::int32_t>(eqs_.size() - 1);
    }

    std::int32_t Node(std::int32_t p) {
        if (ofPnf_[static_cast<std::size_t>(p)] != NoNode) return ofPnf_[static_cast<std::size_t>(p)];
        const PnfNode& n = pnf_.nodes[static_cast<std::size_t>(p)];
        using P = PnfNode::Kind;
        using E = Equation::Kind;
        std::int32_t id = NoNode;
        switch (n.kind) {
            case P::True: id = Add({E::True}); break;
            case P::False: id = Add({E::False}); break;
            case P::And:
            case P::Or: {
                const std::int32_t a = Node(n.a), b = Node(n.b);
                id = Add({n.kind == P::And ? E::And : E::Or, true, {a, b}});
                break;
            }
            case P::Diamond:
            case P::Box: id = Step(n.regular, Node(n.a), n.kind == P::Diamond); break;
            case P::Mu:
            case P::Nu:
                id = Add({E::Fix, n.kind == P::Mu});
                ofPnf_[static_cast<std::size_t>(p)] = id;  // before the body, where the variable is used
                {
                    const std::int32_t body = Node(n.a);
                    eqs_[static_cast<std::size_t>(id)].children = {body};
                }
                break;
            case P::Var: id = Node(n.binder); break;
        }
        ofPnf_[static_cast<std::size_t>(p)] = id;
        return id;
    }

    // <r> then (diamond) or [r] then: fixpoints for the iterations, the
    // continuation shared by the alternatives.
    std::int32_t Step(std::int32_t r, std::int32_t then, bool diamond) {
        const RegularNode& n = f_.regulars[static_cast<std::size_t>(r)];
        using R = RegularNode::Kind;
        using E = Equation::Kind;
        const E join = diamond ? E::Or : E::And;
        switch (n.kind) {
            case R::Action: {
                Equation e{diamond ? E::Diamond : E::Box, true, {then}};
                e.action = n.action;
                return Add(std::move(e));
            }
            case R::Nil: return then;
            case R::Seq: return Step(n.a, Step(n.b, then, diamond), diamond);
            case R::Alt: {
                const std::int32_t a = Step(n.a, then, diamond), b = Step(n.b, then, diamond);
                return Add({join, true, {a, b}});
            }
            case R::Star: {  // mu Y . then or <a> Y
                const std::int32_t y = Add({E::Fix, diamond});
                const std::int32_t again = Step(n.a, y, diamond);
                const std::int32_t body = Add({join, true, {then, again}});
                eqs_[static_cast<std::size_t>(y)].children = {body};
                return y;
            }
            case R::Plus: {  // mu Y . <a> (then or Y)
                const std::int32_t y = Add({E::Fix, diamond});
                const std::int32_t either = Add({join, true, {then, y}});
                const std::int32_t body = Step(n.a, either, diamond);
                eqs_[static_cast<std::size_t>(y)].children = {body};
                return y;
            }
        }
        return NoNode;
    }

    const Formula& f_;
    const Pnf& pnf_;
    std::vector<Equation> eqs_;
    std::vector<std::int32_t> ofPnf_;
};

// The strongly connected components of the equations, each listed after
// every component it depends on (Tarjan's order of completion).
std::vector<std::vector<std::int32_t>> Components(const std::vector<Equation>& eqs) {
    const std::size_t n = eqs.size();
    std::vector<std::int32_t> index(n, -1), low(n, 0);
    std::vector<char> onStack(n, 0);
    std::vector<std::int32_t> stack;
    std::vector<std::vector<std::int32_t>> components;
    std::int32_t next = 0;
    std::vector<std::pair<std::int32_t, std::size_t>> frames;
    for (std::size_t root = 0; root < n; ++root) {
        if (index[root] >= 0) continue;
        auto enter = [&](std::int32_t v) {
            index[static_cast<std::size_t>(v)] = low[static_cast<std::size_t>(v)] = next++;
            stack.push_back(v);
            onStack[static_cast<std::size_t>(v)] = 1;
            frames.emplace_back(v, 0);
        };
        enter(static_cast<std::int32_t>(root));
        while (!frames.empty()) {
            auto& [v, i] = frames.back();
            const auto& children = eqs[static_cast<std::size_t>(v)].children;
            if (i < children.size()) {
                const std::int32_t w = children[i++];
                if (index[static_cast<std::size_t>(w)] < 0) {
                    enter(w);
                } else if (onStack[static_cast<std::size_t>(w)]) {
                    low[static_cast<std::size_t>(v)] = std::min(low[static_cast<std::size_t>(v)], index[static_cast<std::size_t>(w)]);
                }
                continue;
            }
            const std::int32_t done = v;
            frames.pop_back();
            if (!frames.empty()) {
                const std::size_t up = static_cast<std::size_t>(frames.back().first);
                low[up] = std::min(low[up], low[static_cast<std::size_t>(done)]);
            }
            if (low[static_cast<std::size_t>(done)] != index[static_cast<std::size_t>(done)]) continue;
            std::vector<std::int32_t> component;
            std::int32_t member;
            do {
                member = stack.back();
                stack.pop_back();
                onStack[static_cast<std::size_t>(member)] = 0;
                component.push_back(member);
            } while (member != done);
            components.push_back(std::move(component));
        }
    }
    return components;
}

// Solves one block: a least fixpoint propagates truth from what is known
// true, a greatest one falsity from what is known false. A node "hit" has
// the propagated value; an existential one (or under mu) is hit by its first
// hit child, a universal one when all its children are.
class BlockSolver {
public:
    BlockSolver(const std::vector<Equation>& eqs, const LabelSets& sets, const Lts& lts, const ReverseArcs& reverse,
                std::vector<StateSet>& value, Progress* progress)
        : eqs_(eqs), sets_(sets), lts_(lts), reverse_(reverse), value_(value), progress_(progress) {}

    // False when stopped.
    bool Solve(const std::vector<std::int32_t>& block) {
        const std::size_t n = lts_.StateCount();
        bool mu = true;
        for (std::int32_t e : block)
            if (eqs_[static_cast<std::size_t>(e)].kind == Equation::Kind::Fix) {
                mu = eqs_[static_cast<std::size_t>(e)].mu;
                break;
            }
        if (block.size() == 1) {
            const Equation& e = eqs_[static_cast<std::size_t>(block[0])];
            if (e.kind == Equation::Kind::True || e.kind == Equation::Kind::False) {
                value_[static_cast<std::size_t>(block[0])] = StateSet(n, e.kind == Equation::Kind::True);
                return true;
            }
        }
        local_.clear();
        for (std::size_t i = 0; i < block.size(); ++i) local_.emplace_back(block[i], static_cast<std::int32_t>(i));
        std::sort(local_.begin(), local_.end());
        const std::size_t m = block.size();
        block_ = &block;
        universal_.assign(m, 0);
        modal_.assign(m, 0);
        counters_.assign(m, {});
        parents_.assign(m, {});
        for (std::size_t i = 0; i < m; ++i) {
            value_[static_cast<std::size_t>(block[i])] = StateSet(n);
            const Equation& e = eqs_[static_cast<std::size_t>(block[i])];
            using K = Equation::Kind;
            modal_[i] = e.kind == K::Diamond || e.kind == K::Box;
            const bool conjunctive = e.kind == K::And || e.kind == K::Box;
            const bool disjunctive = e.kind == K::Or || e.kind == K::Diamond;
            universal_[i] = mu ? conjunctive : disjunctive;
            for (std::int32_t c : e.children) {
                const std::int32_t lc = Local(c);
                if (lc >= 0) parents_[static_cast<std::size_t>(lc)].push_back(static_cast<std::int32_t>(i));
            }
        }
        work_.clear();
        for (std::size_t i = 0; i < m; ++i) {
            if (!universal_[i]) continue;
            const Equation& e = eqs_[static_cast<std::size_t>(block[i])];
            std::vector<std::uint32_t>& count = counters_[i];
            if (modal_[i]) {
                count.assign(n, 0);
                const std::vector<char>& set = sets_[static_cast<std::size_t>(e.action)];
                for (std::size_t s = 0; s < n; ++s) {
                    std::uint32_t c = 0;
                    for (std::uint32_t k = lts_.firstArc[s]; k < lts_.firstArc[s + 1]; ++k) c += set[lts_.label[k]] ? 1 : 0;
                    count[s] = c;
                }
            } else {
                count.assign(n, static_cast<std::uint32_t>(e.children.size()));
            }
            StateSet& hit = value_[static_cast<std::size_t>(block[i])];
            for (std::size_t s = 0; s < n; ++s)
                if (count[s] == 0) {
                    hit.Add(s);
                    work_.emplace_back(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(s));
                }
        }
        // What the blocks solved before tell.
        for (std::size_t i = 0; i < m; ++i) {
            for (std::int32_t c : eqs_[static_cast<std::size_t>(block[i])].children) {
                if (Local(c) >= 0) continue;
                const StateSet& known = value_[static_cast<std::size_t>(c)];
                for (std::size_t s = 0; s < n; ++s)
                    if (known.Has(s) == mu) Notify(static_cast<std::int32_t>(i), static_cast<std::uint32_t>(s));
            }
        }
        std::size_t done = 0;
        while (!work_.empty()) {
            const auto [i, s] = work_.back();
            work_.pop_back();
            for (std::int32_t p : parents_[i]) Notify(p, s);
            if ((++done & 0xFFFF) == 0 && progress_) {
                progress_->Update(static_cast<std::int64_t>(solved_ + done), 0);
                if (progress_->StopRequested()) return false;
            }
        }
        solved_ += done;
        if (!mu)
            for (std::int32_t e : block) value_[static_cast<std::size_t>(e)].Complement();
        return true;
    }

private:
    std::int32_t Local(std::int32_t e) const {
        const auto it = std::lower_bound(local_.begin(), local_.end(), std::pair<std::int32_t, std::int32_t>{e, -1});
        return it != local_.end() && it->first == e ? it->second : -1;
    }

    // A child of p is hit at s.
    void Notify(std::int32_t p, std::uint32_t s) {
        const std::size_t lp = static_cast<std::size_t>(p);
        if (!modal_[lp]) {
            Signal(lp, s);
            return;
        }
        const std::vector<char>& set = sets_[static_cast<std::size_t>(eqs_[static_cast<std::size_t>((*block_)[lp])].action)];
        for (std::uint32_t k = reverse_.first[s]; k < reverse_.first[s + 1]; ++k)
            if (set[reverse_.label[k]]) Signal(lp, reverse_.source[k]);
    }

    void Signal(std::size_t i, std::uint32_t s) {
        StateSet& hit = value_[static_cast<std::size_t>((*block_)[i])];
        if (hit.Has(s)) return;
        if (universal_[i] && --counters_[i][s] != 0) return;
        hit.Add(s);
        work_.emplace_back(static_cast<std::uint32_t>(i), s);
    }

    const std::vector<Equation>& eqs_;
    const LabelSets& sets_;
    const Lts& lts_;
    const ReverseArcs& reverse_;
    std::vector<StateSet>& value_;
    Progress* progress_;
    const std::vector<std::int32_t>* block_ = nullptr;
    std::vector<std::pair<std::int32_t, std::int32_t>> local_;  // equation -> its rank in the block
    std::vector<char> universal_, modal_;
    std::vector<std::vector<std::uint32_t>> counters_;
    std::vector<std::vector<std::int32_t>> parents_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> work_;
    std::size_t solved_ = 0;
};

}  // namespace

ReverseArcs ReverseOf(const Lts& lts) {
    ReverseArcs r;
    const std::size_t n = lts.StateCount();
    r.first.assign(n + 1, 0);
    for (std::uint32_t t : lts.target) ++r.first[t + 1];
    for (std::size_t s = 0; s < n; ++s) r.first[s + 1] += r.first[s];
    r.source.resize(lts.ArcCount());
    r.label.resize(lts.ArcCount());
    std::vector<std::uint32_t> at(r.first.begin(), r.first.end() - 1);
    for (std::size_t s = 0; s < n; ++s)
        for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k) {
            const std::uint32_t slot = at[lts.target[k]]++;
            r.source[slot] = static_cast<std::uint32_t>(s);
            r.label[slot] = lts.label[k];
        }
    return r;
}

Evaluation Evaluate(const Formula& formula, const Pnf& pnf, const LabelSets& sets, const Lts& lts,
                    const ReverseArcs& reverse, Progress* progress) {
    Evaluation result;
    std::vector<std::int32_t> ofPnf;
    const std::vector<Equation> eqs = Builder(formula, pnf).Build(ofPnf);
    std::vector<StateSet> value(eqs.size());
    BlockSolver solver(eqs, sets, lts, reverse, value, progress);
    for (const std::vector<std::int32_t>& block : Components(eqs)) {
        if (!solver.Solve(block)) {
            result.stopped = true;
            return result;
        }
    }
    result.holds.reserve(pnf.nodes.size());
    for (std::int32_t e : ofPnf) result.holds.push_back(value[static_cast<std::size_t>(e)]);
    return result;
}

}  // namespace quarvo::logic
