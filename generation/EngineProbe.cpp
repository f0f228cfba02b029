// Probing a successor's identity before making it: most successors are states
// already known, and their compositions and hidings need not be made to be
// recognised. Only the operands that moved (and, under maximality, those that
// lose events) are made, as the rules make them; the nodes above them are
// computed as the rules would make them, then looked up, never added.
#include "generation/Engine.h"

namespace quarvo {

std::uint32_t Engine::ProbeIdentity(TermId term, const Transition& t, ActionId& action) {
    if (!term || !t.step) return 0;
    Context c{t.causes, pool_.Mask(t.causes), t.event, action};
    SetId events = 0;
    return ProbeNode(term, t.step, c, events);
}

std::uint32_t Engine::ProbeEvents(SetId events) {
    if (identity_.semantics != Semantics::Maximality) return 0;
    return identity_.cpbrOff ? pool_.Sequence(events) : pool_.Multiset(events);
}

// The identity Next(t, step, c) would have, and in events the events of its
// root. Under interleaving events are no part of an identity: removing causes
// (Strip) leaves it as it is, and only the operands that moved, or that a
// merge of hidings changes (Idle), have new identities. Under maximality the
// operands that lose the move's causes are made too, and the events of every
// level are folded as the rules fold them.
std::uint32_t Engine::ProbeNode(TermId t, const StepFrame* step, Context& c, SetId& events) {
    const TermNode n = terms_[t];
    const bool maximality = identity_.semantics == Semantics::Maximality;
    switch (n.kind) {
    case NodeKind::Hide: {
        // Nested hidings merge when they move: their identity is the merged node's.
        if (!step || (n.left && terms_[n.left].kind == NodeKind::Hide)) return 0;
        SetId bodyEvents = 0;
        const std::uint32_t body = ProbeNode(n.left, step->left, c, bodyEvents);
        if (!body) return 0;
        events = step->left ? pool_.Insert(bodyEvents, c.event, c.action) : bodyEvents;
        // A body without events would receive the hiding's.
        if (maximality && events && !bodyEvents) return 0;
        const IdentityNode node{NodeKind::Hide, n.height, SharedProcess(n.process), SharedGates(n.gates),
                                ProbeEvents(events), body, 0};
        return names_.identities.Find(node, identityCache_);
    }
    case NodeKind::Parallel: {
        if (!step) return 0;
        // The operands copied out: making the successors may grow the table of chains.
        std::vector<TermId> operands;
        const GatesId shape = terms_.Flat(t).shape;
        terms_.Flat(t).CopyOperands(operands);
        const auto k = static_cast<std::uint32_t>(operands.size());
        // A synchronised move of a chain folds its levels in a way of its own.
        if (maximality && n.instance && step->slots) return 0;
        std::vector<TermId>& ops = probeOps_;
        ops.resize(k);
        const std::uint32_t mask = n.instance && !step->slots ? pool_.Mask(step->leftCauses) : 0;
        for (std::uint32_t i = 0; i < k; ++i) {
            const TermId o = operands[i];
            TermId next;
            if (step->slots) {
                next = Next(o, step->slots[i], c);
            } else if (!n.instance) {
                // A composition of two operands: each side loses the other's causes.
                next = Next(o, i == 0 ? step->left : step->right, c);
                if (maximality) {
                    const bool moved = (i == 0 ? step->left : step->right) != nullptr;
                    next = Strip(next, i == 0 ? step->rightCauses : step->leftCauses, c.event, c.action, moved);
                }
            } else if (i == step->slot) {
                next = Next(o, step->left, c);
            } else {
                next = Idle(o);
                if (maximality) next = StripMask(next, mask, c.event, c.action, false);
            }
            // A first operand that became a composition of the same operator
            // would join the chain: a shape of its own.
            if (i == 0 && next) {
                const TermNode& first = terms_[next];
                if (first.kind == NodeKind::Parallel && first.gates == n.gates && first.process == n.process) return 0;
            }
            ops[i] = next;
        }
        std::vector<std::uint32_t>& words = probeWords_;
        words.assign(2, 0);
        events = 0;
        if (maximality) {
            // Every level is the union of its operands, as a single move leaves it.
            SetId level = terms_[ops[0]].events;
            for (std::uint32_t i = 1; i < k; ++i) {
                level = pool_.Union(level, terms_[ops[i]].events);
                if (i + 1 < k) words.push_back(ProbeEvents(level));
            }
            events = level;
            // A root whose operands hold no event would push its own down.
            bool free = events != 0;
            for (std::uint32_t i = 0; free && i < k; ++i) free = terms_[ops[i]].freeBelow;
            if (free) return 0;
        }
        for (std::uint32_t i = 0; i < k; ++i) words.push_back(Identity(ops[i]));
        std::uint32_t left = 0, right = 0;
        if (k == 2) {
            left = words[words.size() - 2];
            right = words.back();
        } else {
            words[0] = k;
            words[1] = SharedGates(shape);
            left = names_.sequences.Find(words.data(), words.size());
            if (left == SequenceTable::Absent) return 0;
            right = FlatMarker;
        }
        const IdentityNode node{NodeKind::Parallel, n.height, SharedProcess(n.process), SharedGates(n.gates),
                                ProbeEvents(events), left, right};
        return names_.identities.Find(node, identityCache_);
    }
    default:
        // A sequential root: the successor is mostly new nodes anyway.
        return 0;
    }
}

}  // namespace quarvo
