// What partial-order reduction asks of the engine on vectors: a state's
// transitions listed without their successors, the components each one
// moves, a chosen successor made, and what a component may ever do.
#include <algorithm>
#include <unordered_set>

#include "generation/vector/VectorEngine.h"

namespace quarvo {

void VectorEngine::MoveComponents(std::size_t k, std::vector<std::uint32_t>& components) const {
    components.clear();
    const Move& m = rootMoves_[k];
    for (std::uint32_t p = 0; p < m.partCount; ++p) components.push_back(parts_[m.firstPart + p].node);
}

const std::uint32_t* VectorEngine::Follow(std::size_t k, VectorArc& arc) {
    const Move& m = rootMoves_[k];
    ActionId action = m.action;
    current_ = &m;
    Successor(m, currentState_, action, true);
    whole_ = true;
    if (action == engine_.Dollar()) action = engine_.Internal();
    arc = VectorArc{action, m.event, m.causes};
    return successor_.data();
}

void VectorEngine::LocalActions(TermId term, std::vector<std::pair<ActionId, bool>>& out) {
    out.clear();
    const Local local = LocalOf(term);
    for (std::uint32_t j = 0; j < local.count; ++j) {
        const LocalMove& m = moves_[local.first + j];
        out.emplace_back(m.action, m.internal);
    }
}

bool VectorEngine::LocalAlphabet(TermId term, std::size_t budget, std::vector<ActionId>& actions, bool withInternal) {
    // The walk goes where the exploration may not: what it meets is not
    // said of the exploration.
    const bool exhausted = engine_.eventNamesExhausted;
    const ProcessDefinition* unguarded = engine_.unguardedProcess;
    actions.clear();
    std::unordered_set<std::uint32_t> seen;
    std::vector<TermId> waiting{engine_.Normalize(term)};
    seen.insert(engine_.Identity(waiting.back()));
    bool complete = true;
    while (!waiting.empty()) {
        const TermId t = waiting.back();
        waiting.pop_back();
        const Local local = LocalOf(t);
        for (std::uint32_t j = 0; j < local.count; ++j) {
            const LocalMove m = moves_[local.first + j];
            if (!m.internal || withInternal) actions.push_back(m.action);
            Transition step;
            step.action = m.action;
            step.internal = m.internal;
            step.causes = m.causes;
            step.event = engine_.EventBesides(engine_.EventMask(engine_.Node(t).events), m.causes);
            step.step = m.step;
            ActionId action = m.action;
            const TermId next = engine_.Normalize(engine_.Successor(t, step, action));
            if (!seen.insert(engine_.Identity(next)).second) continue;
            if (seen.size() > budget) {
                complete = false;
                waiting.clear();
                break;
            }
            waiting.push_back(next);
        }
    }
    engine_.eventNamesExhausted = exhausted;
    engine_.unguardedProcess = unguarded;
    std::sort(actions.begin(), actions.end());
    actions.erase(std::unique(actions.begin(), actions.end()), actions.end());
    return complete;
}

}  // namespace quarvo
