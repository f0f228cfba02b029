// The rules of the parallel structure over kept component transitions.
#include "generation/vector/VectorEngine.h"

#include <algorithm>
#include <array>
#include <bit>
#include <deque>
#include <set>

namespace quarvo {
namespace {

// Whether a mask of names holds 30 names or more (two left out at most).
bool ThirtyOrMore(std::uint32_t mask) {
    std::uint32_t out = ~mask;
    out &= out - 1;
    out &= out - 1;
    return out == 0;
}

}  // namespace

bool VectorEngine::Build(TermId root, std::vector<std::uint32_t>& state) {
    nodes_.clear();
    state.clear();
    const TermNode& n = engine_.Node(root);
    const bool structured =
        root && (n.kind == NodeKind::Parallel ||
                 (n.kind == NodeKind::Hide && n.left && engine_.Node(n.left).kind == NodeKind::Parallel));
    if (!structured) return false;
    root_ = Take(root, state);
    // A structure is applied node by node, a chain of compositions as the
    // nested compositions it stands for: past a few hundred operands that
    // costs more per state than the term engine's flat chains.
    if (nodes_.size() > MostNodes) {
        nodes_.clear();
        state.clear();
        return false;
    }
    maximality_ = engine_.Maximality();
    rights_.resize(nodes_.size() + 1);
    lefts_.resize(nodes_.size() + 1);
    chainStarts_.resize(nodes_.size() + 1);
    chainChosen_.resize(nodes_.size() + 1);
    partOf_.assign(nodes_.size(), 0);
    parent_.assign(nodes_.size(), root_);
    keySlot_.assign(nodes_.size(), NoSlot);
    std::uint32_t slot = 0;
    for (std::uint32_t i = 0; i < nodes_.size(); ++i) {
        const Node& node = nodes_[i];
        if (node.kind != Node::Kind::Component) {
            parent_[node.left] = i;
            if (node.kind == Node::Kind::Parallel) parent_[node.right] = i;
        }
        if (node.kind == Node::Kind::Component) keySlot_[i] = slot++;
    }
    rootInner_.clear();
    rootComponents_.clear();
    auto gather = [&](auto&& self, std::uint32_t at) -> void {
        const Node& n = nodes_[at];
        if (n.kind == Node::Kind::Component) {
            rootComponents_.push_back(at);
            return;
        }
        rootInner_.push_back(at);
        self(self, n.left);
        if (n.kind == Node::Kind::Parallel) self(self, n.right);
    };
    gather(gather, root_);
    // The components first, then (under maximality) the other nodes' events.
    for (std::uint32_t i = 0; i < nodes_.size() && maximality_; ++i)
        if (nodes_[i].kind != Node::Kind::Component) keySlot_[i] = slot++;
    used_.assign(nodes_.size(), 0);
    localAt_.assign(nodes_.size(), 0);
    causesMask_.assign(nodes_.size(), 0);
    seen_.assign(nodes_.size(), 0);
    gates_.assign(nodes_.size(), {});
    for (std::uint32_t i = 0; i < nodes_.size(); ++i) {
        if (nodes_[i].kind == Node::Kind::Component) continue;
        const std::vector<ActionId> names = engine_.GateNames(nodes_[i].gates);
        for (const ActionId a : names) {
            if (gates_[i].size() <= a) gates_[i].resize(a + 1, 0);
            gates_[i][a] = 1;
        }
    }
    keyWidth_ = slot;
    // A chain of compositions on the same gates is listed as one node over
    // the operands below it, left to right (see Moves).
    auto sameGates = [&](std::uint32_t i, std::uint32_t above) {
        return nodes_[i].kind == Node::Kind::Parallel && nodes_[above].kind == Node::Kind::Parallel &&
               gates_[i] == gates_[above];
    };
    chainFirst_.assign(nodes_.size(), 0);
    chainCount_.assign(nodes_.size(), 0);
    chained_.clear();
    for (std::uint32_t i = 0; i < nodes_.size(); ++i) {
        if (nodes_[i].kind != Node::Kind::Parallel || (i != root_ && sameGates(i, parent_[i]))) continue;
        chainFirst_[i] = static_cast<std::uint32_t>(chained_.size());
        std::vector<std::uint32_t> pending{i};
        while (!pending.empty()) {
            const std::uint32_t at = pending.back();
            pending.pop_back();
            if (at != i && !sameGates(at, i)) {
                chained_.push_back(at);
                continue;
            }
            pending.push_back(nodes_[at].right);
            pending.push_back(nodes_[at].left);
        }
        chainCount_[i] = static_cast<std::uint32_t>(chained_.size()) - chainFirst_[i];
        // Two operands: the composition as it stands.
        if (chainCount_[i] <= 2) chainCount_[i] = 0;
    }
    topParallel_ = root_;
    while (nodes_[topParallel_].kind == Node::Kind::Hide) topParallel_ = nodes_[topParallel_].left;
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
            const SetId unionOf = engine_.UnionEvents(Events(left, state.data()), Events(right, state.data()));
            const SetId events = i + 1 == operands.size() ? n.events : unionOf;
            left = add(Node{Node::Kind::Parallel, n.gates, left, right}, events == unionOf ? Derived : events);
        }
        return left;
    }
    if (t && n.kind == NodeKind::Hide && n.left && engine_.Node(n.left).kind == NodeKind::Parallel) {
        const std::uint32_t body = Take(n.left, state);
        return add(Node{Node::Kind::Hide, n.gates, body, 0}, n.events == Events(body, state.data()) ? Derived : n.events);
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
    const bool exhausted = engine_.eventNamesExhausted;
    const ProcessDefinition* unguarded = engine_.unguardedProcess;
    engine_.eventNamesExhausted = false;
    engine_.unguardedProcess = nullptr;
    engine_.Enumerate(normalised, keep);
    local.count = static_cast<std::uint32_t>(moves_.size()) - local.first;
    local.exhausted = engine_.eventNamesExhausted;
    local.unguarded = engine_.unguardedProcess;
    engine_.eventNamesExhausted = exhausted;
    engine_.unguardedProcess = unguarded;
    local.eventMask = engine_.EventMask(engine_.Node(normalised).events);
    local.idle = engine_.IdleOperand(normalised);
    local.idleSpine = engine_.Node(local.idle).spineMask;
    local.idleIdentity = engine_.Identity(local.idle);
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
std::size_t VectorEngine::List(const std::uint32_t* state) {
    rootMoves_.clear();
    parts_.clear();
    namingBelow_ = false;
    // The names each node's events use, operands first; a composition's
    // moves are named among those of its operands.
    for (std::uint32_t i = 0; i < nodes_.size(); ++i) {
        const Node& n = nodes_[i];
        switch (n.kind) {
        case Node::Kind::Component:
            used_[i] = LocalOf(state[i]).eventMask;
            localAt_[i] = localOf_[state[i]] - 1;
            break;
        case Node::Kind::Hide:
            used_[i] = state[i] == Derived ? used_[n.left] : engine_.EventMask(state[i]);
            break;
        case Node::Kind::Parallel:
            used_[i] = state[i] == Derived ? used_[n.left] | used_[n.right] : engine_.EventMask(state[i]);
            namingBelow_ = namingBelow_ || (i != topParallel_ && ThirtyOrMore(used_[n.left] | used_[n.right]));
            break;
        }
    }
    Moves(root_, state, rootMoves_, 0);
    if (rootMoves_.empty()) return 0;
    Idle(state);
    currentState_ = state;
    return rootMoves_.size();
}

void VectorEngine::Moves(std::uint32_t node, const std::uint32_t* state, std::vector<Move>& out, std::size_t depth) {
    const Node& n = nodes_[node];
    switch (n.kind) {
    case Node::Kind::Component: {
        const Local& local = locals_[localAt_[node]];
        if (local.exhausted) engine_.eventNamesExhausted = true;
        if (local.unguarded && !engine_.unguardedProcess) engine_.unguardedProcess = local.unguarded;
        const std::uint32_t first = local.first, count = local.count;
        for (std::uint32_t j = first; j < first + count; ++j) {
            const LocalMove& m = moves_[j];
            out.push_back(Move{m.action, m.internal, 1, m.causes, static_cast<std::uint32_t>(parts_.size()), 1});
            parts_.push_back(Part{node, j});
        }
        return;
    }
    case Node::Kind::Hide: {
        const std::size_t start = out.size();
        Moves(n.left, state, out, depth + 1);
        for (std::size_t i = start; i < out.size(); ++i) {
            Move& m = out[i];
            if (!m.internal && Holds(node, m.action)) {
                m.action = engine_.HiddenAction(m.action);
                m.internal = true;
            }
        }
        return;
    }
    case Node::Kind::Parallel:
        break;
    }
    // The names the operands' events use.
    const std::uint32_t used = used_[n.left] | used_[n.right];
    // Each composition names the moves it passes on again, among more names:
    // the topmost one's names are those that stay. Below it, a name is
    // looked for only when none may be left, which the term engine notes.
    const bool naming = node == topParallel_ || ThirtyOrMore(used);
    auto eventOf = [&](SetId causes) { return naming ? engine_.EventBesides(used, causes) : 1; };
    if (chainCount_[node] && !namingBelow_) {
        ChainMoves(node, state, out, depth, naming, used);
        return;
    }
    std::vector<Move>& rights = rights_[depth];
    std::vector<Move>& lefts = lefts_[depth];
    rights.clear();
    lefts.clear();
    Moves(n.right, state, rights, depth + 1);
    Moves(n.left, state, lefts, depth + 1);
    auto synchronised = [&](const Move& m) { return !m.internal && Holds(node, m.action); };
    for (Move l : lefts) {
        if (!synchronised(l)) {
            l.event = eventOf(l.causes);
            out.push_back(l);
            continue;
        }
        for (const Move& r : rights) {
            if (r.internal || r.action != l.action) continue;
            Move m{l.action, false, 0, engine_.UnionEvents(l.causes, r.causes), static_cast<std::uint32_t>(parts_.size()),
                   l.partCount + r.partCount};
            m.event = eventOf(m.causes);
            for (std::uint32_t p = 0; p < l.partCount; ++p) parts_.push_back(parts_[l.firstPart + p]);
            for (std::uint32_t p = 0; p < r.partCount; ++p) parts_.push_back(parts_[r.firstPart + p]);
            out.push_back(m);
        }
    }
    for (Move r : rights) {
        if (synchronised(r)) continue;
        r.event = eventOf(r.causes);
        out.push_back(r);
    }
}

// A chain of compositions on the same gates, as the nested compositions
// list it: each move of the first operand alone, or, when it synchronises,
// with each combination of partners of the others (the second's first,
// then the third's, ...); then each other operand's moves that do not
// synchronise. Only the chain's top names the moves (none below it needs
// to: see namingBelow_).
void VectorEngine::ChainMoves(std::uint32_t node, const std::uint32_t* state, std::vector<Move>& out, std::size_t depth,
                              bool naming, std::uint32_t used) {
    const std::uint32_t* operands = chained_.data() + chainFirst_[node];
    const std::uint32_t count = chainCount_[node];
    std::vector<Move>& all = lefts_[depth];
    std::vector<std::uint32_t>& starts = chainStarts_[depth];
    all.clear();
    starts.clear();
    for (std::uint32_t k = 0; k < count; ++k) {
        starts.push_back(static_cast<std::uint32_t>(all.size()));
        Moves(operands[k], state, all, depth + 1);
    }
    starts.push_back(static_cast<std::uint32_t>(all.size()));
    auto synchronised = [&](const Move& m) { return !m.internal && Holds(node, m.action); };
    auto named = [&](Move m) {
        m.event = naming ? engine_.EventBesides(used, m.causes) : 1;
        out.push_back(m);
    };
    // The partners chosen so far, one per operand after the first.
    std::vector<std::uint32_t>& chosen = chainChosen_[depth];
    for (std::uint32_t i = starts[0]; i < starts[1]; ++i) {
        const Move first = all[i];
        if (!synchronised(first)) {
            named(first);
            continue;
        }
        chosen.assign(count, 0);
        // Combinations in order, the last operand's partner changing fastest.
        auto combine = [&](auto&& self, std::uint32_t k, SetId causes) -> void {
            if (k == count) {
                Move m{first.action, false, 0, causes, static_cast<std::uint32_t>(parts_.size()), 0};
                for (std::uint32_t o = 0; o < count; ++o) {
                    const Move& part = all[o == 0 ? i : chosen[o]];
                    for (std::uint32_t p = 0; p < part.partCount; ++p) parts_.push_back(parts_[part.firstPart + p]);
                    m.partCount += part.partCount;
                }
                named(m);
                return;
            }
            for (std::uint32_t j = starts[k]; j < starts[k + 1]; ++j) {
                const Move& r = all[j];
                if (r.internal || r.action != first.action) continue;
                chosen[k] = j;
                self(self, k + 1, engine_.UnionEvents(causes, r.causes));
            }
        };
        combine(combine, 1, first.causes);
    }
    for (std::uint32_t k = 1; k < count; ++k)
        for (std::uint32_t j = starts[k]; j < starts[k + 1]; ++j)
            if (!synchronised(all[j])) named(all[j]);
}

// The state being expanded as its operands stand while their partners move:
// every successor starts from it, and differs in the slots that moved or
// lost events.
void VectorEngine::Idle(const std::uint32_t* state) {
    const std::size_t width = nodes_.size();
    idle_.resize(width);
    spine_.resize(width);
    idleKey_.resize(keyWidth_);
    for (std::uint32_t i = 0; i < width; ++i) {
        const Node& n = nodes_[i];
        switch (n.kind) {
        case Node::Kind::Component: {
            const Local& local = locals_[localAt_[i]];
            idle_[i] = local.idle;
            spine_[i] = local.idleSpine;
            idleKey_[keySlot_[i]] = local.idleIdentity;
            break;
        }
        case Node::Kind::Hide:
            idle_[i] = state[i];
            spine_[i] = spine_[n.left];
            break;
        case Node::Kind::Parallel:
            idle_[i] = state[i];
            spine_[i] = spine_[n.left] | spine_[n.right];
            break;
        }
    }
    // The names on the spines beside each node's path to the root.
    outside_.resize(width);
    outside_[root_] = 0;
    for (std::uint32_t i = root_ + 1; i-- > 0;) {
        const Node& n = nodes_[i];
        if (n.kind == Node::Kind::Hide) {
            outside_[n.left] = outside_[i];
        } else if (n.kind == Node::Kind::Parallel) {
            outside_[n.left] = outside_[i] | spine_[n.right];
            outside_[n.right] = outside_[i] | spine_[n.left];
        }
    }
    idleEvents_ = false;
    if (maximality_) IdleEvents();
    for (std::uint32_t i = 0; i < width && maximality_; ++i)
        if (nodes_[i].kind != Node::Kind::Component) idleKey_[keySlot_[i]] = EventsIdentity(i, idle_.data());
    successor_ = idle_;
    key_ = idleKey_;
    touched_.clear();
    changedKeys_.clear();
}

// The events of the compositions and hidings that did not move: their operands'.
void VectorEngine::IdleEvents() {
    for (std::uint32_t i = 0; i < nodes_.size(); ++i)
        if (nodes_[i].kind != Node::Kind::Component) idle_[i] = Derived;
    idleEvents_ = true;
}

SetId VectorEngine::Events(std::uint32_t node, const std::uint32_t* state) {
    const Node& n = nodes_[node];
    if (n.kind == Node::Kind::Component) return engine_.Node(state[node]).events;
    if (state[node] != Derived) return state[node];
    if (n.kind == Node::Kind::Hide) return Events(n.left, state);
    return engine_.UnionEvents(Events(n.left, state), Events(n.right, state));
}

std::uint32_t VectorEngine::Mask(std::uint32_t node, const std::uint32_t* state) const {
    const Node& n = nodes_[node];
    if (n.kind == Node::Kind::Component) return engine_.EventMask(engine_.Node(state[node]).events);
    if (state[node] != Derived) return engine_.EventMask(state[node]);
    if (n.kind == Node::Kind::Hide) return Mask(n.left, state);
    return Mask(n.left, state) | Mask(n.right, state);
}

// The names of a subtree's events with their actions, a name's action being
// that of its leftmost holder (as the union of sets keeps it).
void VectorEngine::Collect(std::uint32_t node, const std::uint32_t* state, std::uint32_t& mask,
                           ActionId* byName) const {
    const Node& n = nodes_[node];
    if (n.kind != Node::Kind::Component && state[node] == Derived) {
        Collect(n.left, state, mask, byName);
        if (n.kind == Node::Kind::Parallel) Collect(n.right, state, mask, byName);
        return;
    }
    CollectSet(n.kind == Node::Kind::Component ? engine_.Node(state[node]).events : state[node], mask, byName);
}

void VectorEngine::CollectSet(SetId set, std::uint32_t& mask, ActionId* byName) const {
    const std::uint32_t names = engine_.EventMask(set);
    const ActionId* actions = engine_.EventActions(set);
    for (std::uint32_t m = names; m; m &= m - 1, ++actions) {
        const std::uint32_t bit = m & (~m + 1);
        if (mask & bit) continue;
        mask |= bit;
        byName[std::countr_zero(bit)] = *actions;
    }
}

void VectorEngine::RootEvents(const std::uint32_t* state, std::uint32_t& mask, ActionId* actions) {
    std::array<ActionId, 32> byName{};
    mask = 0;
    // Most often no composition or hiding holds events of its own: the
    // components' events, in the order Collect would reach them.
    const bool derived = std::all_of(rootInner_.begin(), rootInner_.end(),
                                     [&](std::uint32_t node) { return state[node] == Derived; });
    if (derived && !rootInner_.empty()) {
        for (const std::uint32_t node : rootComponents_) CollectSet(engine_.Node(state[node]).events, mask, byName.data());
    } else {
        Collect(root_, state, mask, byName.data());
    }
    std::size_t k = 0;
    for (std::uint32_t m = mask; m; m &= m - 1) actions[k++] = byName[static_cast<std::size_t>(std::countr_zero(m))];
}

// The state after m, as the rules make the whole term: the components that
// take part by their own step, every other one idle; at each composition,
// each side without the causes the other side brought.
void VectorEngine::Successor(const Move& m, const std::uint32_t* state, ActionId& action, bool withEvents) {
    for (const std::uint32_t node : touched_) successor_[node] = idle_[node];
    touched_.clear();
    if (withEvents && !idleEvents_) {
        IdleEvents();
        for (std::uint32_t i = 0; i < nodes_.size(); ++i)
            if (nodes_[i].kind != Node::Kind::Component) successor_[i] = idle_[i];
    }
    const Step step{m.action, m.event, m.causes, withEvents};
    if (!withEvents) {
        // Without the nodes' events, and when no operand holds a cause to
        // set aside, a successor is its components' steps alone, left to right.
        bool plain = true;
        if (m.partCount == 1) {
            const Part part = parts_[m.firstPart];
            plain = (outside_[part.node] & engine_.EventMask(moves_[part.move].causes)) == 0;
        } else {
            for (std::uint32_t p = 0; p < m.partCount && plain; ++p)
                plain = engine_.EventMask(moves_[parts_[m.firstPart + p].move].causes) == 0;
        }
        if (plain) {
            for (std::uint32_t p = 0; p < m.partCount; ++p) {
                const Part part = parts_[m.firstPart + p];
                MoveComponent(part.node, part.move, state, step, action);
            }
            return;
        }
    }
    // Which components move by which local move, and what causes each
    // subtree above them brings.
    marked_.clear();
    for (std::uint32_t p = 0; p < m.partCount; ++p) {
        const Part part = parts_[m.firstPart + p];
        const std::uint32_t mask = engine_.EventMask(moves_[part.move].causes);
        partOf_[part.node] = part.move + 1;
        causesMask_[part.node] = mask;
        marked_.push_back(part.node);
        for (std::uint32_t at = part.node; at != root_;) {
            at = parent_[at];
            if (!partOf_[at]) marked_.push_back(at);
            partOf_[at] = 1;
            causesMask_[at] |= mask;
        }
    }
    Next(root_, state, step, action);
    for (const std::uint32_t node : marked_) {
        partOf_[node] = 0;
        causesMask_[node] = 0;
    }
}

// A subtree that moves; the others stand as they are in the idle state.
void VectorEngine::Next(std::uint32_t node, const std::uint32_t* state, const Step& step, ActionId& action) {
    const Node& n = nodes_[node];
    switch (n.kind) {
    case Node::Kind::Component:
        MoveComponent(node, partOf_[node] - 1, state, step, action);
        return;
    case Node::Kind::Hide:
        Next(n.left, state, step, action);
        // Only a hiding whose body moved records the new occurrence (which
        // its body holds already, unless a step of its own took it away).
        if (step.withEvents)
            Set(node, (Mask(n.left, successor_.data()) & EventPool::Bit(step.event))
                          ? Derived
                          : engine_.InsertEvent(Events(n.left, successor_.data()), step.event, action));
        return;
    case Node::Kind::Parallel:
        // The events that one side's occurrence waited for are no longer
        // maximal on the other side; on a side that moved too, the entry of
        // the new occurrence stays.
        if (partOf_[n.left]) Next(n.left, state, step, action);
        Strip(n.left, causesMask_[n.right], step, action, partOf_[n.left] != 0);
        if (partOf_[n.right]) Next(n.right, state, step, action);
        Strip(n.right, causesMask_[n.left], step, action, partOf_[n.right] != 0);
        if (step.withEvents) Set(node, Derived);
        return;
    }
}

// A component's successor depends on its term, its move, the new event's
// name, the causes and the action only: it is made once.
void VectorEngine::MoveComponent(std::uint32_t node, std::uint32_t move, const std::uint32_t* state, const Step& step,
                                 ActionId& action) {
    // A local move belongs to one term: it names the term too.
    std::uint32_t h = move * 0x9E3779B1u ^ static_cast<std::uint32_t>(step.event) * 0x85EBCA77u ^
                      step.causes * 0xC2B2AE3Du ^ action * 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 13;
    SuccessorMemo& memo = successorMemo_[h & (successorMemo_.size() - 1)];
    if (memo.move == move && memo.event == step.event && memo.causes == step.causes && memo.actionIn == action &&
        memo.successor != 0) {
        action = memo.actionOut;
        Set(node, memo.successor);
        return;
    }
    Transition t;
    t.event = step.event;
    t.causes = step.causes;
    t.step = moves_[move].step;
    const ActionId in = action;
    const TermId next = engine_.Successor(state[node], t, action);
    memo = SuccessorMemo{move, step.event, step.causes, in, action, next};
    Set(node, next);
}

void VectorEngine::Strip(std::uint32_t node, std::uint32_t mask, const Step& step, ActionId action, bool keepNew) {
    if (!mask || (!partOf_[node] && (spine_[node] & mask) == 0)) return;
    const Node& n = nodes_[node];
    switch (n.kind) {
    case Node::Kind::Component:
        Set(node, engine_.StripOperand(successor_[node], mask, step.event, action, keepNew));
        return;
    case Node::Kind::Hide:
        StripOwn(node, mask, step, action, keepNew);
        Strip(n.left, mask, step, action, keepNew);
        return;
    case Node::Kind::Parallel:
        StripOwn(node, mask, step, action, keepNew);
        Strip(n.left, mask, step, action, keepNew);
        Strip(n.right, mask, step, action, keepNew);
        return;
    }
}

// A node's own events without mask, its operands not yet stripped. Removing
// names from a union is the union of its operands' without them; keeping the
// new occurrence's entry may not be (the union holds the name with the
// action of its leftmost holder), and the set is then made.
void VectorEngine::StripOwn(std::uint32_t node, std::uint32_t mask, const Step& step, ActionId action, bool keepNew) {
    if (!step.withEvents) return;
    if (successor_[node] == Derived && (!keepNew || !(mask & EventPool::Bit(step.event)))) return;
    Set(node, engine_.StripEvents(Events(node, successor_.data()), mask, step.event, action, keepNew));
}

// The successor's identity vector: the idle state's, but in the slots that changed.
void VectorEngine::KeySuccessor() {
    for (const std::uint32_t slot : changedKeys_) key_[slot] = idleKey_[slot];
    changedKeys_.clear();
    auto update = [&](std::uint32_t node) {
        const std::uint32_t slot = keySlot_[node];
        if (slot == NoSlot) return;
        const std::uint32_t value = nodes_[node].kind == Node::Kind::Component
                                        ? engine_.Identity(successor_[node])
                                        : EventsIdentity(node, successor_.data());
        if (value == key_[slot]) return;
        if (key_[slot] == idleKey_[slot]) changedKeys_.push_back(slot);
        key_[slot] = value;
    };
    if (!maximality_) {
        for (const std::uint32_t node : touched_) update(node);
        return;
    }
    // Under maximality a node's events are its operands' unless it keeps its
    // own: every node above a changed one is asked again, once.
    ++stamp_;
    for (const std::uint32_t node : touched_) {
        for (std::uint32_t at = node;; at = parent_[at]) {
            if (seen_[at] == stamp_) break;
            seen_[at] = stamp_;
            update(at);
            if (at == root_) break;
        }
    }
}

void VectorEngine::Key(const std::uint32_t* state, std::uint32_t* key) {
    for (std::uint32_t i = 0; i < nodes_.size(); ++i) {
        if (keySlot_[i] == NoSlot) continue;
        key[keySlot_[i]] = nodes_[i].kind == Node::Kind::Component ? engine_.Identity(state[i])
                                                                   : EventsIdentity(i, state);
    }
}

// What the identity retains of a composition's or a hiding's events; for
// the union of its operands' events, told from the operands' entries
// without making the set.
std::uint32_t VectorEngine::EventsIdentity(std::uint32_t node, const std::uint32_t* state) {
    if (state[node] != Derived) return engine_.EventsIdentity(state[node]);
    std::array<ActionId, 32> byName{}, actions{};
    std::uint32_t mask = 0;
    Collect(node, state, mask, byName.data());
    std::size_t n = 0;
    for (std::uint32_t m = mask; m; m &= m - 1) actions[n++] = byName[static_cast<std::size_t>(std::countr_zero(m))];
    return engine_.EventsIdentity(actions.data(), n);
}

void VectorEngine::PlanKey(const std::uint32_t* initial, std::size_t budget) {
    std::vector<std::uint32_t> components;
    for (std::uint32_t i = 0; i < nodes_.size(); ++i)
        if (nodes_[i].kind == Node::Kind::Component) components.push_back(i);
    const std::size_t k = components.size();
    if (k < 3 || k > 4096) return;
    std::vector<std::uint32_t> index(nodes_.size(), 0);
    for (std::uint32_t c = 0; c < k; ++c) index[components[c]] = c;
    // The walk goes where a bounded exploration may not: what it meets is
    // not said of the exploration.
    const bool exhausted = engine_.eventNamesExhausted;
    const ProcessDefinition* unguarded = engine_.unguardedProcess;
    // How often two components move together, over a small breadth-first walk.
    std::vector<std::uint32_t> together(k * k, 0);
    std::set<std::vector<std::uint32_t>> seen;
    std::deque<std::vector<std::uint32_t>> queue;
    queue.emplace_back(initial, initial + nodes_.size());
    seen.insert(queue.back());
    while (!queue.empty()) {
        std::vector<std::uint32_t> state = std::move(queue.front());
        queue.pop_front();
        Normalise(state.data());
        Expand(state.data(), [&](const VectorArc&, const std::uint32_t*) {
            for (std::uint32_t p = 0; p < current_->partCount; ++p)
                for (std::uint32_t q = p + 1; q < current_->partCount; ++q) {
                    const std::uint32_t a = index[parts_[current_->firstPart + p].node];
                    const std::uint32_t b = index[parts_[current_->firstPart + q].node];
                    ++together[a * k + b];
                    ++together[b * k + a];
                }
            if (seen.size() < budget) {
                const std::uint32_t* whole = WholeSuccessor();
                std::vector<std::uint32_t> next(whole, whole + nodes_.size());
                if (seen.insert(next).second) queue.push_back(std::move(next));
            }
            return true;
        });
    }
    engine_.eventNamesExhausted = exhausted;
    engine_.unguardedProcess = unguarded;
    // A chain: each next component the one that moved most often with the
    // last placed; the first unplaced one when none did.
    std::vector<std::uint8_t> placed(k, 0);
    std::vector<std::uint32_t> order;
    std::uint32_t last = 0;
    placed[0] = 1;
    order.push_back(0);
    while (order.size() < k) {
        std::uint32_t best = k, bestCount = 0;
        for (std::uint32_t c = 0; c < k; ++c)
            if (!placed[c] && together[last * k + c] > bestCount) {
                best = c;
                bestCount = together[last * k + c];
            }
        if (best == k)
            for (std::uint32_t c = 0; c < k && best == k; ++c)
                if (!placed[c]) best = c;
        placed[best] = 1;
        order.push_back(best);
        last = best;
    }
    for (std::uint32_t slot = 0; slot < k; ++slot) keySlot_[components[order[slot]]] = slot;
}

}  // namespace quarvo
