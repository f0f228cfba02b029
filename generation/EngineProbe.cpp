// Probing a successor's identity before making it: most successors are states
// already known, and their compositions need not be made to be recognised.
#include "generation/Engine.h"

namespace quarvo {

std::uint32_t Engine::ProbeIdentity(TermId term, const Transition& t, ActionId& action) {
    // Under maximality a composition's identity holds its levels' events, which
    // would have to be folded; interleaving alone is probed for now.
    if (identity_.semantics != Semantics::Interleaving || !term || !t.step) return 0;
    Context c{t.causes, pool_.Mask(t.causes), t.event, action};
    return ProbeNode(term, t.step, c);
}

// The identity Next(t, step, c) would have. Under interleaving, events are no
// part of an identity: removing causes (Strip) or pushing events down
// (Distribute) leaves it as it is, and only the operands that moved, or that a
// merge of hidings changes (Idle), have new identities.
std::uint32_t Engine::ProbeNode(TermId t, const StepFrame* step, Context& c) {
    const TermNode n = terms_[t];
    switch (n.kind) {
    case NodeKind::Hide: {
        // Nested hidings merge when they move: their identity is the merged node's.
        if (!step || (n.left && terms_[n.left].kind == NodeKind::Hide)) return 0;
        const std::uint32_t body = ProbeNode(n.left, step->left, c);
        if (!body) return 0;
        const IdentityNode node{NodeKind::Hide, n.height, SharedProcess(n.process), SharedGates(n.gates), 0, body, 0};
        return names_.identities.Find(node, identityCache_);
    }
    case NodeKind::Parallel: {
        if (!step) return 0;
        const FlatView f = terms_.Flat(t);
        const std::uint32_t k = f.count;
        std::vector<std::uint32_t>& words = probeWords_;
        words.assign(2, 0);
        for (std::uint32_t i = 0; i < k; ++i) {
            const TermId o = f.Op(i);
            TermId next;
            if (step->slots) next = Next(o, step->slots[i], c);
            else if (!n.instance) next = Next(o, i == 0 ? step->left : step->right, c);
            else next = i == step->slot ? Next(o, step->left, c) : Idle(o);
            // A first operand that became a composition of the same operator
            // would join the chain: a shape of its own.
            if (i == 0 && next) {
                const TermNode& first = terms_[next];
                if (first.kind == NodeKind::Parallel && first.gates == n.gates && first.process == n.process) return 0;
            }
            words.push_back(Identity(next));
        }
        std::uint32_t left = 0, right = 0;
        if (k == 2) {
            left = words[2];
            right = words[3];
        } else {
            words[0] = k;
            words[1] = SharedGates(f.shape);
            left = names_.sequences.Find(words.data(), words.size());
            if (left == SequenceTable::Absent) return 0;
            right = FlatMarker;
        }
        const IdentityNode node{NodeKind::Parallel, n.height, SharedProcess(n.process), SharedGates(n.gates), 0, left,
                                right};
        return names_.identities.Find(node, identityCache_);
    }
    default:
        // A sequential root: the successor is mostly new nodes anyway.
        return 0;
    }
}

}  // namespace quarvo
