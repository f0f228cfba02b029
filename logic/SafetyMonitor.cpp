// The subset construction of a regular formula's automaton over action classes.
#include "logic/SafetyMonitor.h"

#include <algorithm>
#include <set>

#include "generation/Lts.h"
#include "logic/Witness.h"

namespace quarvo::logic {

std::optional<std::int32_t> SafetyRegular(const Formula& formula) {
    if (formula.root == NoNode) return std::nullopt;
    const StateNode& root = formula.states[static_cast<std::size_t>(formula.root)];
    if (root.kind != StateNode::Kind::Box || root.a == NoNode) return std::nullopt;
    if (formula.states[static_cast<std::size_t>(root.a)].kind != StateNode::Kind::False) return std::nullopt;
    return root.regular;
}

std::vector<char> SafetyMonitor::Signature(const std::string& name) const {
    std::vector<char> v(formula_.actions.size(), 0);
    // Children come before their parents in the arena.
    for (std::size_t i = 0; i < formula_.actions.size(); ++i) {
        const ActionNode& n = formula_.actions[i];
        const auto a = static_cast<std::size_t>(n.a), b = static_cast<std::size_t>(n.b);
        switch (n.kind) {
        case ActionNode::Kind::Name: v[i] = name == n.name; break;
        case ActionNode::Kind::Tau: v[i] = IsInternalAction(name); break;
        case ActionNode::Kind::True: v[i] = 1; break;
        case ActionNode::Kind::False: v[i] = 0; break;
        case ActionNode::Kind::Not: v[i] = !v[a]; break;
        case ActionNode::Kind::And: v[i] = v[a] && v[b]; break;
        case ActionNode::Kind::Or: v[i] = v[a] || v[b]; break;
        }
    }
    return v;
}

SafetyMonitor::SafetyMonitor(const Formula& formula, std::int32_t regular) : formula_(formula) {
    // One name of each class: the names the formula uses, then an internal
    // and a visible name it does not use.
    std::set<std::string> names;
    for (const ActionNode& n : formula.actions)
        if (n.kind == ActionNode::Kind::Name) names.insert(n.name);
    std::vector<std::string> samples(names.begin(), names.end());
    std::string internal = "I", visible = "A";
    while (names.count(internal)) internal += "_";
    while (names.count(visible) || IsInternalAction(visible)) visible += "A";
    samples.push_back(internal);
    samples.push_back(visible);
    for (const std::string& s : samples) {
        std::vector<char> sig = Signature(s);
        if (std::find(classes_.begin(), classes_.end(), sig) == classes_.end()) classes_.push_back(std::move(sig));
    }
    const Automaton automaton = AutomatonOf(formula, regular);
    auto closure = [&](std::vector<std::uint32_t> set) {
        for (std::size_t i = 0; i < set.size(); ++i)
            for (const Automaton::Edge& e : automaton.edges[set[i]])
                if (e.action == NoNode && std::find(set.begin(), set.end(), e.to) == set.end()) set.push_back(e.to);
        std::sort(set.begin(), set.end());
        return set;
    };
    std::map<std::vector<std::uint32_t>, std::uint32_t> ids;
    std::vector<std::vector<std::uint32_t>> sets{closure({automaton.start})};
    ids.emplace(sets[0], 0);
    const std::size_t k = classes_.size();
    for (std::uint32_t s = 0; s < sets.size(); ++s) {
        accepting_.push_back(std::binary_search(sets[s].begin(), sets[s].end(), automaton.accept) ? 1 : 0);
        for (std::size_t c = 0; c < k; ++c) {
            std::vector<std::uint32_t> to;
            for (const std::uint32_t q : sets[s])
                for (const Automaton::Edge& e : automaton.edges[q])
                    if (e.action != NoNode && classes_[c][static_cast<std::size_t>(e.action)] &&
                        std::find(to.begin(), to.end(), e.to) == to.end())
                        to.push_back(e.to);
            to = closure(std::move(to));
            const auto [it, added] = ids.emplace(to, static_cast<std::uint32_t>(sets.size()));
            if (added) sets.push_back(to);
            next_.push_back(it->second);
        }
    }
    Minimise(static_cast<std::uint32_t>(sets.size()));
}

// Equivalent states merged (Moore's refinement), so that an action that
// leads to an equivalent state counts as staying; a state from which no word
// is forbidden any more is hopeless.
void SafetyMonitor::Minimise(std::uint32_t count) {
    const std::size_t k = classes_.size();
    std::vector<std::uint32_t> block(count);
    for (std::uint32_t s = 0; s < count; ++s) block[s] = accepting_[s] ? 1 : 0;
    for (std::size_t blocks = 0;;) {
        std::map<std::vector<std::uint32_t>, std::uint32_t> ids;
        std::vector<std::uint32_t> refined(count);
        for (std::uint32_t s = 0; s < count; ++s) {
            std::vector<std::uint32_t> signature{block[s]};
            for (std::size_t c = 0; c < k; ++c) signature.push_back(block[next_[s * k + c]]);
            refined[s] = ids.emplace(signature, static_cast<std::uint32_t>(ids.size())).first->second;
        }
        block = std::move(refined);
        if (ids.size() == blocks) break;
        blocks = ids.size();
    }
    // The start's block first.
    std::vector<std::uint32_t> renumber(count, ~std::uint32_t{0});
    std::uint32_t blocks = 0;
    for (std::uint32_t s = 0; s < count; ++s)
        if (renumber[block[s]] == ~std::uint32_t{0}) renumber[block[s]] = blocks++;
    std::vector<std::uint32_t> next(blocks * k);
    std::vector<char> accepting(blocks, 0);
    for (std::uint32_t s = 0; s < count; ++s) {
        const std::uint32_t b = renumber[block[s]];
        accepting[b] = accepting_[s];
        for (std::size_t c = 0; c < k; ++c) next[b * k + c] = renumber[block[next_[s * k + c]]];
    }
    next_ = std::move(next);
    accepting_ = std::move(accepting);
    // Hopeless: no forbidden state reachable.
    hopeless_.assign(blocks, 1);
    for (bool changed = true; changed;) {
        changed = false;
        for (std::uint32_t b = 0; b < blocks; ++b) {
            if (!hopeless_[b]) continue;
            bool reaches = accepting_[b] != 0;
            for (std::size_t c = 0; c < k && !reaches; ++c) reaches = !hopeless_[next_[b * k + c]];
            if (reaches) {
                hopeless_[b] = 0;
                changed = true;
            }
        }
    }
    // The search stops in a forbidden state and gives up a hopeless one:
    // what an action does there is never seen.
    visible_.assign(k, 0);
    for (std::uint32_t b = 0; b < blocks; ++b)
        for (std::size_t c = 0; c < k; ++c)
            if (!accepting_[b] && !hopeless_[b] && next_[b * k + c] != b) visible_[c] = 1;
}

std::uint32_t SafetyMonitor::ClassOfName(const std::string& name) {
    const std::vector<char> sig = Signature(name);
    const auto it = std::find(classes_.begin(), classes_.end(), sig);
    // Every name has the signature of one of the samples.
    return static_cast<std::uint32_t>(it - classes_.begin());
}

std::uint32_t SafetyMonitor::ClassOf(ActionId action, const ActionTable& actions) {
    if (action >= classOfAction_.size()) classOfAction_.resize(actions.Size(), -1);
    std::int32_t& c = classOfAction_[action];
    if (c < 0) c = static_cast<std::int32_t>(ClassOfName(actions.Text(action)));
    return static_cast<std::uint32_t>(c);
}

std::uint32_t SafetyMonitor::Step(std::uint32_t state, ActionId action, const ActionTable& actions) {
    return next_[state * classes_.size() + ClassOf(action, actions)];
}

bool SafetyMonitor::Visible(ActionId action, const ActionTable& actions) {
    return visible_[ClassOf(action, actions)] != 0;
}

}  // namespace quarvo::logic
