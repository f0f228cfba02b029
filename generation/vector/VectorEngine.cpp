// The rules of the parallel structure over kept component transitions.
#include "generation/vector/VectorEngine.h"

namespace quarvo {

bool VectorEngine::Build(TermId root, std::vector<std::uint32_t>& state) {
    nodes_.clear();
    state.clear();
    const TermNode& n = engine_.Node(root);
    const bool structured =
        root && (n.kind == NodeKind::Parallel ||
                 (n.kind == NodeKind::Hide && n.left && engine_.Node(n.left).kind == NodeKind::Parallel));
    if (!structured) return false;
    root_ = Take(root, state);
    maximality_ = engine_.Maximality();
    keyWidth_ = 0;
    for (const Node& node : nodes_)
        if (maximality_ || node.kind == Node::Kind::Component) ++keyWidth_;
    rights_.resize(nodes_.size() + 1);
    lefts_.resize(nodes_.size() + 1);
    partOf_.assign(nodes_.size(), 0);
    used_.assign(nodes_.size(), 0);
    causesMask_.assign(nodes_.size(), 0);
    return true;
}

// The structure node standing for t: a chain of compositions as the nested
// compositions it stands for, left first; a hiding of a composition; anything
// else a component.
std::uint32_t VectorEngine::Take(TermId t, std::vector<std::uint32_t>& state) {
    const TermNode n = engine_.Node(t);
    auto add = [&](Node node, std::uint32_t slot) {
        nodes_.push_back(node);
        state.push_back(slot);
        return static_cast<std::uint32_t>(nodes_.size() - 1);
    };
    if (t && n.kind == NodeKind::Parallel) {
        std::vector<TermId> operands;
        engine_.ChainOperands(t, operands);
        std::uint32_t left = Take(operands[0], state);
        for (std::size_t i = 1; i < operands.size(); ++i) {
            const std::uint32_t right = Take(operands[i], state);
            // An inner level's events as the union of its operands', the root's as the node has them.
            const SetId events = i + 1 == operands.size()
                                     ? n.events
                                     : engine_.UnionEvents(Events(left, state.data()), Events(right, state.data()));
            left = add(Node{Node::Kind::Parallel, n.gates, left, right}, events);
        }
        return left;
    }
    if (t && n.kind == NodeKind::Hide && n.left && engine_.Node(n.left).kind == NodeKind::Parallel) {
        const std::uint32_t body = Take(n.left, state);
        return add(Node{Node::Kind::Hide, n.gates, body, 0}, n.events);
    }
    return add(Node{Node::Kind::Component, 0, 0, 0}, t);
}

bool VectorEngine::Normalise(std::uint32_t* state) {
    bool changed = false;
    for (std::uint32_t i = 0; i < nodes_.size(); ++i) {
        if (nodes_[i].kind != Node::Kind::Component) continue;
        const TermId n = engine_.Normalize(state[i]);
        if (n == state[i]) continue;
        changed = changed || engine_.Identity(n) != engine_.Identity(state[i]) ||
                  engine_.Node(n).events != engine_.Node(state[i]).events;
        state[i] = n;
    }
    return changed;
}

const VectorEngine::Local& VectorEngine::LocalOf(TermId normalised) {
    if (normalised < localOf_.size() && localOf_[normalised]) return locals_[localOf_[normalised] - 1];
    Local local;
    local.first = static_cast<std::uint32_t>(moves_.size());
    auto keep = [&](Transition& t) {
        moves_.push_back(LocalMove{t.action, t.internal, t.causes, engine_.KeepStep(t.step)});
        return true;
    };
    engine_.Enumerate(normalised, keep);
    local.count = static_cast<std::uint32_t>(moves_.size()) - local.first;
    if (localOf_.size() <= normalised) localOf_.resize(normalised + normalised / 2 + 1024, 0);
    locals_.push_back(local);
    localOf_[normalised] = static_cast<std::uint32_t>(locals_.size());
    return locals_.back();
}

// The transitions of a subtree in the rules' order: a composition gives, for
// each transition of its left operand, that transition alone or its pairings
// with each partner of the right one, then the right operand's own
// transitions that do not synchronise. Each level names the move's event
// among the names its operands use; the root's name stands.
void VectorEngine::Moves(std::uint32_t node, const std::uint32_t* state, std::vector<Move>& out, std::size_t depth) {
    const Node& n = nodes_[node];
    switch (n.kind) {
    case Node::Kind::Component: {
        const Local local = LocalOf(state[node]);
        for (std::uint32_t j = 0; j < local.count; ++j) {
            const LocalMove& m = moves_[local.first + j];
            parts_.push_back(Part{node, local.first + j});
            out.push_back(Move{m.action, m.internal, 1, m.causes, static_cast<std::uint32_t>(parts_.size() - 1), 1});
        }
        return;
    }
    case Node::Kind::Hide: {
        const std::size_t start = out.size();
        Moves(n.left, state, out, depth + 1);
        for (std::size_t i = start; i < out.size(); ++i) {
            Move& m = out[i];
            if (!m.internal && engine_.GatesContain(n.gates, m.action)) {
                m.action = engine_.HiddenAction(m.action);
                m.internal = true;
            }
        }
        return;
    }
    case Node::Kind::Parallel:
        break;
    }
    std::vector<Move>& rights = rights_[depth];
    std::vector<Move>& lefts = lefts_[depth];
    rights.clear();
    lefts.clear();
    Moves(n.right, state, rights, depth + 1);
    Moves(n.left, state, lefts, depth + 1);
    const std::uint32_t used = used_[node];
    auto synchronised = [&](const Move& m) { return !m.internal && engine_.GatesContain(n.gates, m.action); };
    for (Move l : lefts) {
        if (!synchronised(l)) {
            l.event = engine_.EventBesides(used, l.causes);
            out.push_back(l);
            continue;
        }
        for (const Move& r : rights) {
            if (r.internal || r.action != l.action) continue;
            Move m{l.action, false, 0, engine_.UnionEvents(l.causes, r.causes), static_cast<std::uint32_t>(parts_.size()),
                   l.partCount + r.partCount};
            m.event = engine_.EventBesides(used, m.causes);
            for (std::uint32_t p = 0; p < l.partCount; ++p) parts_.push_back(parts_[l.firstPart + p]);
            for (std::uint32_t p = 0; p < r.partCount; ++p) parts_.push_back(parts_[r.firstPart + p]);
            out.push_back(m);
        }
    }
    for (Move r : rights) {
        if (synchronised(r)) continue;
        r.event = engine_.EventBesides(used, r.causes);
        out.push_back(r);
    }
}

// The state after m, as the rules make the whole term: the components that
// take part by their own step, every other one idle; at each composition,
// each side without the causes the other side brought.
void VectorEngine::Successor(const Move& m, const std::uint32_t* state, std::uint32_t* successor, ActionId& action) {
    // Which components move by which local move, then (operands first) which
    // subtrees move and the causes each brings.
    for (std::uint32_t p = 0; p < m.partCount; ++p) {
        const Part part = parts_[m.firstPart + p];
        partOf_[part.node] = part.move + 1;
        causesMask_[part.node] = engine_.EventMask(moves_[part.move].causes);
    }
    for (std::uint32_t i = 0; i < nodes_.size(); ++i) {
        const Node& n = nodes_[i];
        if (n.kind == Node::Kind::Hide) {
            partOf_[i] = partOf_[n.left];
            causesMask_[i] = causesMask_[n.left];
        } else if (n.kind == Node::Kind::Parallel) {
            partOf_[i] = partOf_[n.left] | partOf_[n.right];
            causesMask_[i] = causesMask_[n.left] | causesMask_[n.right];
        }
    }
    const Step step{m.action, m.event, m.causes};
    Next(root_, state, successor, step, action);
    for (std::uint32_t p = 0; p < m.partCount; ++p) {
        const Part part = parts_[m.firstPart + p];
        partOf_[part.node] = 0;
        causesMask_[part.node] = 0;
    }
}

void VectorEngine::Next(std::uint32_t node, const std::uint32_t* state, std::uint32_t* successor, const Step& step,
                        ActionId& action) {
    const Node& n = nodes_[node];
    switch (n.kind) {
    case Node::Kind::Component:
        if (partOf_[node]) {
            Transition t;
            t.event = step.event;
            t.causes = step.causes;
            t.step = moves_[partOf_[node] - 1].step;
            successor[node] = engine_.Successor(state[node], t, action);
        } else {
            successor[node] = engine_.IdleOperand(state[node]);
        }
        return;
    case Node::Kind::Hide: {
        Next(n.left, state, successor, step, action);
        SetId events = Events(n.left, successor);
        // Only a hiding whose body moved records the new occurrence.
        if (partOf_[node]) events = engine_.InsertEvent(events, step.event, action);
        successor[node] = events;
        return;
    }
    case Node::Kind::Parallel:
        // The events that one side's occurrence waited for are no longer
        // maximal on the other side; on a side that moved too, the entry of
        // the new occurrence stays.
        Next(n.left, state, successor, step, action);
        Strip(n.left, successor, causesMask_[n.right], step, action, partOf_[n.left] != 0);
        Next(n.right, state, successor, step, action);
        Strip(n.right, successor, causesMask_[n.left], step, action, partOf_[n.right] != 0);
        successor[node] = engine_.UnionEvents(Events(n.left, successor), Events(n.right, successor));
        return;
    }
}

void VectorEngine::Strip(std::uint32_t node, std::uint32_t* successor, std::uint32_t mask, const Step& step,
                         ActionId action, bool keepNew) {
    if (!mask) return;
    const Node& n = nodes_[node];
    switch (n.kind) {
    case Node::Kind::Component:
        successor[node] = engine_.StripOperand(successor[node], mask, step.event, action, keepNew);
        return;
    case Node::Kind::Hide:
        successor[node] = engine_.StripEvents(successor[node], mask, step.event, action, keepNew);
        Strip(n.left, successor, mask, step, action, keepNew);
        return;
    case Node::Kind::Parallel:
        successor[node] = engine_.StripEvents(successor[node], mask, step.event, action, keepNew);
        Strip(n.left, successor, mask, step, action, keepNew);
        Strip(n.right, successor, mask, step, action, keepNew);
        return;
    }
}

void VectorEngine::Key(const std::uint32_t* state, std::uint32_t* key) {
    std::uint32_t k = 0;
    for (std::uint32_t i = 0; i < nodes_.size(); ++i) {
        if (nodes_[i].kind == Node::Kind::Component) key[k++] = engine_.Identity(state[i]);
        else if (maximality_) key[k++] = engine_.EventsIdentity(state[i]);
    }
}

}  // namespace quarvo
