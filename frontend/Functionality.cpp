// The functionality of definitions, computed as a least fixed point over their calls.
#include "frontend/Functionality.h"

#include <vector>

namespace quarvo {

namespace {

struct Frame {
    const BehaviourNode* node;
    int stage;
    bool left;
};

// The trees of the front end are as deep as their text: a work list, kept
// by the caller from one definition to the next, keeps the stack flat.
bool CanTerminate(const BehaviourNode* node, const std::unordered_map<const ProcessDefinition*, bool>& definitions,
                  std::vector<Frame>& stack) {
    stack.assign(1, Frame{node, 0, false});
    bool value = false;
    while (!stack.empty()) {
        Frame& f = stack.back();
        const BehaviourNode* n = f.node;
        if (!n) {
            value = false;
            stack.pop_back();
            continue;
        }
        switch (n->kind) {
        case NodeKind::Stop:
            value = false;
            stack.pop_back();
            continue;
        case NodeKind::Call: {
            auto it = definitions.find(n->process);
            value = it != definitions.end() && it->second;
            stack.pop_back();
            continue;
        }
        case NodeKind::Prefix:
            if (n->gates && n->gates->name == DeltaName()) {
                value = true;
                stack.pop_back();
                continue;
            }
            if (f.stage == 0) {
                f.stage = 1;
                stack.push_back({n->right, 0, false});
            } else {
                stack.pop_back();
            }
            continue;
        case NodeKind::Hide:
            if (f.stage == 0) {
                f.stage = 1;
                stack.push_back({n->left, 0, false});
            } else {
                stack.pop_back();
            }
            continue;
        case NodeKind::Choice:
        case NodeKind::Disable:
        case NodeKind::Parallel:
        case NodeKind::Enable: {
            const bool either = n->kind == NodeKind::Choice || n->kind == NodeKind::Disable;
            if (f.stage == 0) {
                f.stage = 1;
                stack.push_back({n->left, 0, false});
            } else if (f.stage == 1) {
                f.left = value;
                // The second operand decides alone only when the first does not.
                if (either ? value : !value) {
                    stack.pop_back();
                    continue;
                }
                f.stage = 2;
                stack.push_back({n->right, 0, false});
            } else {
                stack.pop_back();
            }
            continue;
        }
        }
        stack.pop_back();
    }
    return value;
}

}  // namespace

bool CanTerminate(const BehaviourNode* node, const std::unordered_map<const ProcessDefinition*, bool>& definitions) {
    std::vector<Frame> stack;
    return CanTerminate(node, definitions, stack);
}

std::unordered_map<const ProcessDefinition*, bool> TerminatingDefinitions(const ProcessDefinition* system) {
    std::vector<const ProcessDefinition*> all;
    std::vector<const ProcessDefinition*> pending;
    if (system) pending.push_back(system);
    while (!pending.empty()) {
        const ProcessDefinition* d = pending.back();
        pending.pop_back();
        all.push_back(d);
        for (const ProcessDefinition* c = d->children; c; c = c->next) pending.push_back(c);
    }
    std::unordered_map<const ProcessDefinition*, bool> result;
    result.reserve(all.size());
    for (const ProcessDefinition* d : all) result[d] = false;
    // A definition can only become terminating when one it calls does: after
    // a first look at each, only the callers of one that became so are looked
    // at again, so that a long chain of definitions takes linear time.
    std::unordered_map<const ProcessDefinition*, std::vector<const ProcessDefinition*>> callers;
    callers.reserve(all.size());
    for (const ProcessDefinition* d : all)
        for (const ProcessCall* call = d->calls; call; call = call->next)
            if (call->node && call->node->process) callers[call->node->process].push_back(d);
    std::vector<const ProcessDefinition*> work(all.rbegin(), all.rend());
    std::vector<Frame> stack;
    while (!work.empty()) {
        const ProcessDefinition* d = work.back();
        work.pop_back();
        if (result[d] || !CanTerminate(d->behaviour, result, stack)) continue;
        result[d] = true;
        auto it = callers.find(d);
        if (it == callers.end()) continue;
        for (const ProcessDefinition* caller : it->second)
            if (!result[caller]) work.push_back(caller);
    }
    return result;
}

}  // namespace quarvo
