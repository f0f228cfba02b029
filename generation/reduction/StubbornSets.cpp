// The closure of a stubborn set over components, and the choice of its seed.
#include "generation/reduction/StubbornSets.h"

#include <algorithm>
#include <limits>

namespace quarvo {
namespace {

// How many terms of a component the walk of its alphabet may meet.
constexpr std::size_t AlphabetBudget = 4096;

}  // namespace

StubbornSets::StubbornSets(Engine& engine, VectorEngine& vectors) : engine_(engine), vectors_(vectors) {
    for (std::uint32_t i = 0; i < vectors_.Width(); ++i)
        if (vectors_.IsComponent(i)) components_.push_back(i);
    movesOf_.resize(vectors_.Width());
    inSet_.assign(vectors_.Width(), 0);
}

const StubbornSets::Alphabet& StubbornSets::AlphabetOf(std::uint32_t component, const std::uint32_t* state) {
    const std::uint32_t identity = engine_.Identity(state[component]);
    if (const auto it = alphabetOf_.find(identity); it != alphabetOf_.end()) return alphabets_[it->second];
    Alphabet a;
    a.complete = vectors_.LocalAlphabet(state[component], AlphabetBudget, a.actions);
    alphabets_.push_back(std::move(a));
    alphabetOf_.emplace(identity, static_cast<std::uint32_t>(alphabets_.size() - 1));
    return alphabets_.back();
}

bool StubbornSets::MayOffer(std::uint32_t component, ActionId action, const std::uint32_t* state) {
    const Alphabet& a = AlphabetOf(component, state);
    return !a.complete || std::binary_search(a.actions.begin(), a.actions.end(), action);
}

void StubbornSets::Add(std::uint32_t component) {
    if (inSet_[component]) return;
    inSet_[component] = 1;
    members_.push_back(component);
    work_.push_back(component);
}

void StubbornSets::Partners(std::uint32_t node, ActionId action, const std::uint32_t* state) {
    if (vectors_.IsComponent(node)) {
        if (!inSet_[node] && MayOffer(node, action, state)) Add(node);
        return;
    }
    if (vectors_.IsHide(node)) {
        // Inside, the action is another one (hidden): no partner there.
        if (!vectors_.Synchronises(node, action)) Partners(vectors_.LeftOf(node), action, state);
        return;
    }
    // Either side takes part, or both when the composition synchronises it.
    Partners(vectors_.LeftOf(node), action, state);
    Partners(vectors_.RightOf(node), action, state);
}

std::size_t StubbornSets::Close(std::uint32_t seed, const std::uint32_t* state,
                                const std::function<bool(std::size_t)>& visibleOf, bool& visible) {
    for (const std::uint32_t c : members_) inSet_[c] = 0;
    members_.clear();
    work_.clear();
    Add(seed);
    const std::uint32_t root = vectors_.RootNode();
    while (!work_.empty()) {
        const std::uint32_t c = work_.back();
        work_.pop_back();
        // Whatever conflicts with an enabled member is a member.
        for (const std::uint32_t k : movesOf_[c])
            for (const std::uint32_t d : partsOf_[k]) Add(d);
        // A step c offers waits for, or may be joined by, the partners the
        // compositions above it ask for.
        vectors_.LocalActions(state[c], offered_);
        std::vector<ActionId> asked;
        for (const auto& [action, internal] : offered_)
            if (!internal) asked.push_back(action);
        std::sort(asked.begin(), asked.end());
        asked.erase(std::unique(asked.begin(), asked.end()), asked.end());
        for (const ActionId a : asked) {
            for (std::uint32_t at = c; at != root;) {
                const std::uint32_t parent = vectors_.ParentOf(at);
                if (vectors_.IsHide(parent)) {
                    if (vectors_.Synchronises(parent, a)) break;
                } else if (vectors_.Synchronises(parent, a)) {
                    const std::uint32_t other = vectors_.LeftOf(parent) == at ? vectors_.RightOf(parent)
                                                                               : vectors_.LeftOf(parent);
                    Partners(other, a, state);
                }
                at = parent;
            }
        }
    }
    std::size_t enabled = 0;
    visible = false;
    for (std::size_t k = 0; k < partsOf_.size(); ++k) {
        if (!inSet_[partsOf_[k].front()]) continue;
        ++enabled;
        if (visibleOf && visibleOf(k)) visible = true;
    }
    return enabled;
}

bool StubbornSets::Choose(const std::uint32_t* state, std::size_t transitions,
                          const std::function<bool(std::size_t)>& visible, std::vector<std::uint32_t>& out) {
    out.clear();
    for (const std::uint32_t c : components_) movesOf_[c].clear();
    partsOf_.resize(transitions);
    for (std::size_t k = 0; k < transitions; ++k) {
        vectors_.MoveComponents(k, partsOf_[k]);
        for (const std::uint32_t c : partsOf_[k]) movesOf_[c].push_back(static_cast<std::uint32_t>(k));
    }
    // A seed per component that can move, fewest transitions first: the
    // smallest set wins, one without a visible transition before any other.
    std::size_t best = std::numeric_limits<std::size_t>::max();
    bool bestVisible = true;
    for (const std::uint32_t c : components_) {
        if (movesOf_[c].empty()) continue;
        bool hasVisible = false;
        const std::size_t size = Close(c, state, visible, hasVisible);
        if (size == 0) continue;
        if ((bestVisible && !hasVisible) || (hasVisible == bestVisible && size < best)) {
            best = size;
            bestVisible = hasVisible;
            bestMembers_ = members_;
        }
        if (best == 1 && !bestVisible) break;
    }
    for (const std::uint32_t c : members_) inSet_[c] = 0;
    members_.clear();
    if (best == std::numeric_limits<std::size_t>::max() || (bestVisible && visible) || best == transitions) {
        for (std::size_t k = 0; k < transitions; ++k) out.push_back(static_cast<std::uint32_t>(k));
        bestMembers_.clear();
        return true;
    }
    for (const std::uint32_t c : bestMembers_) inSet_[c] = 1;
    for (std::size_t k = 0; k < transitions; ++k)
        if (inSet_[partsOf_[k].front()]) out.push_back(static_cast<std::uint32_t>(k));
    for (const std::uint32_t c : bestMembers_) inSet_[c] = 0;
    bestMembers_.clear();
    return false;
}

}  // namespace quarvo
