// The rules on flat parallel compositions: one node for a chain of one operator, each move rebuilding that node alone.
//
// A chain ((o1 |[G]| o2) |[G]| o3) … |[G]| ok is derived exactly as the nested
// compositions it stands for: the transitions in their order, the name of
// each new event, the causes, and the events of every inner level, which the
// record keeps. What the nesting costs per level (a node, a union of events
// and an identity) is paid once per move instead.
#include <algorithm>

#include "generation/Engine.h"

namespace quarvo {

// Levels kept in the record are always copied; levels that are unions of
// their operands only when asked for.
void Engine::LoadFlat(TermId t, FlatBuild& b, bool wantLevels) {
    const FlatView f = terms_.Flat(t);
    f.CopyOperands(b.ops);
    b.shape = f.shape;
    b.foldLevels = f.foldLevels;
    b.foldRoot = f.foldRoot;
    b.checked = true;
    b.levelsValid = false;
    if (f.levelEvents) {
        b.levels.assign(f.levelEvents, f.levelEvents + (f.count - 2));
        b.levelsValid = true;
    } else if (wantLevels) {
        FoldLevels(b, true);
    }
}

SetId Engine::FoldLevels(FlatBuild& b, bool store) {
    const std::size_t k = b.ops.size();
    if (store) {
        b.levels.resize(k - 2);
        b.levelsValid = true;
    }
    SetId level = terms_[b.ops[0]].events;
    for (std::size_t i = 1; i < k; ++i) {
        level = pool_.Union(level, terms_[b.ops[i]].events);
        if (store && i + 1 < k) b.levels[i - 1] = level;
    }
    return level;
}

void Engine::CheckFold(const TermNode& n, FlatBuild& b) {
    const std::size_t k = b.ops.size();
    bool fold = true;
    SetId level = terms_[b.ops[0]].events;
    for (std::size_t i = 1; i < k; ++i) {
        level = pool_.Union(level, terms_[b.ops[i]].events);
        if (i + 1 < k) fold = fold && b.levels[i - 1] == level;
    }
    b.foldLevels = fold;
    b.foldRoot = n.events == level;
    b.checked = true;
}

// A first operand that is itself a chain of the same operator joins the
// chain: its root becomes an inner level.
TermId Engine::MakeFlat(TermNode n, FlatBuild& b) {
    const TermId first = b.ops[0];
    if (first) {
        const TermNode o = terms_[first];
        if (o.kind == NodeKind::Parallel && o.gates == n.gates && o.process == n.process) {
            if (!b.levelsValid) FoldLevels(b, true);
            FlatScratch inner(*this);
            LoadFlat(first, inner.b, true);
            b.ops.erase(b.ops.begin());
            b.ops.insert(b.ops.begin(), inner.b.ops.begin(), inner.b.ops.end());
            b.levels.insert(b.levels.begin(), o.events);
            b.levels.insert(b.levels.begin(), inner.b.levels.begin(), inner.b.levels.end());
            std::vector<ActionId> heights(gates_.Names(inner.b.shape), gates_.Names(inner.b.shape) + gates_.Size(inner.b.shape));
            heights.push_back(static_cast<ActionId>(o.height));
            heights.insert(heights.end(), gates_.Names(b.shape), gates_.Names(b.shape) + gates_.Size(b.shape));
            b.shape = gates_.Intern(heights.data(), heights.size());
            b.checked = false;
        }
    }
    // Two operands keep no record, nor what it would say.
    if (!b.checked && b.ops.size() > 2) {
        if (b.levelsValid) CheckFold(n, b);
        else b.foldRoot = n.events == FoldLevels(b, false);
        b.checked = true;
    }
    return terms_.MakeFlat(n, static_cast<std::uint32_t>(b.ops.size()), b.foldLevels, b.foldRoot, b.ops.data(),
                           b.levels.data(), b.shape);
}

// ---- Transitions -------------------------------------------------------------

// The name of a move's event: each level it passes picks one among the names
// its operands use, and the root's stands. A level that finds none marks the
// names exhausted; only when every name is in use somewhere can an inner
// level fail where the root does not, so only then is each one asked.
std::int32_t Engine::FlatEvent(const FlatEnum& e, std::uint32_t from, SetId causes, bool careful) {
    const std::uint32_t k = static_cast<std::uint32_t>(e.ops.size());
    if (careful)
        for (std::uint32_t level = std::max<std::uint32_t>(from, 2); level < k; ++level) Besides(e.used[level], causes);
    return Besides(e.used[k], causes);
}

// The synchronised moves whose operands before slot are chosen, in the order
// of the nested compositions: by the first operand's move, then the second's…
bool Engine::TuplesFrom(FlatEnum& e, std::uint32_t slot, const Transition& first, bool careful,
                        TransitionSink sink) {
    const std::uint32_t k = static_cast<std::uint32_t>(e.ops.size());
    if (slot == k) {
        if (careful)
            for (std::uint32_t level = 2; level < k; ++level) Besides(e.used[level], e.folded[level - 1]);
        StepFrame f;
        f.slots = e.steps.data();
        f.slotCount = k;
        f.slotCauses = e.causes.data();
        Transition tr;
        tr.action = first.action;
        tr.causes = e.folded[k - 1];
        tr.event = Besides(e.used[k], tr.causes);
        tr.step = &f;
        return sink(tr);
    }
    for (std::uint32_t i = e.begin[slot]; i < e.end[slot]; ++i) {
        const Transition& r = e.moves[i];
        if (r.internal || r.action != first.action) continue;
        e.steps[slot] = r.step;
        e.causes[slot] = r.causes;
        e.folded[slot] = pool_.Union(e.folded[slot - 1], r.causes);
        if (!TuplesFrom(e, slot + 1, first, careful, sink)) return false;
    }
    return true;
}

bool Engine::EnumFlat(TermId t, const TermNode& n, TransitionSink sink) {
    if (flatEnums_.size() <= flatEnumDepth_) flatEnums_.emplace_back();
    FlatEnum& e = flatEnums_[flatEnumDepth_++];
    struct Leave {
        std::size_t& depth;
        ~Leave() { --depth; }
    } leave{flatEnumDepth_};
    {
        const FlatView f = terms_.Flat(t);
        f.CopyOperands(e.ops);
        const std::uint32_t k = f.count;
        e.used.assign(k + 1, 0);
        // The names of a level's left side: the union's, which are its operands'.
        std::uint32_t before = pool_.Mask(terms_[f.Op(0)].events);
        for (std::uint32_t level = 2; level <= k; ++level) {
            const std::uint32_t own = pool_.Mask(terms_[f.Op(level - 1)].events);
            e.used[level] = before | own;
            before = f.levelEvents && level < k ? pool_.Mask(f.levelEvents[level - 2]) : before | own;
        }
    }
    const std::uint32_t k = static_cast<std::uint32_t>(e.ops.size());
    std::uint32_t all = 0;
    for (std::uint32_t level = 2; level <= k; ++level) all |= e.used[level];
    const bool careful = (all & EventPool::NameBits) == EventPool::NameBits;
    auto synchronised = [&](const Transition& tr) { return !tr.internal && gates_.Contains(n.gates, tr.action); };

    // The operands' transitions from the last to the second, as the nested
    // compositions ask for them: each right operand before its left side.
    e.moves.clear();
    e.begin.assign(k, 0);
    e.end.assign(k, 0);
    auto keep = [&](Transition& tr) {
        tr.step = Persist(tr.step);
        e.moves.push_back(tr);
        return true;
    };
    for (std::uint32_t slot = k; slot-- > 1;) {
        e.begin[slot] = static_cast<std::uint32_t>(e.moves.size());
        Enum(e.ops[slot], keep);
        e.end[slot] = static_cast<std::uint32_t>(e.moves.size());
    }
    e.steps.assign(k, nullptr);
    e.causes.assign(k, 0);
    e.folded.assign(k, 0);

    auto left = [&](Transition& l) {
        if (!synchronised(l)) {
            StepFrame f;
            f.slot = 0;
            f.left = l.step;
            f.leftCauses = l.causes;
            l.step = &f;
            l.event = FlatEvent(e, 2, l.causes, careful);
            return sink(l);
        }
        // Every operand takes part; none can when one has no such move.
        for (std::uint32_t slot = 1; slot < k; ++slot) {
            bool any = false;
            for (std::uint32_t i = e.begin[slot]; i < e.end[slot] && !any; ++i)
                any = !e.moves[i].internal && e.moves[i].action == l.action;
            if (!any) return true;
        }
        e.steps[0] = l.step;
        e.causes[0] = l.causes;
        e.folded[0] = l.causes;
        return TuplesFrom(e, 1, l, careful, sink);
    };
    bool more = Enum(e.ops[0], left);
    for (std::uint32_t slot = 1; more && slot < k; ++slot) {
        for (std::uint32_t i = e.begin[slot]; more && i < e.end[slot]; ++i) {
            Transition r = e.moves[i];
            if (synchronised(r)) continue;
            StepFrame f;
            f.slot = slot;
            f.left = r.step;
            f.leftCauses = r.causes;
            r.step = &f;
            r.event = FlatEvent(e, slot + 1, r.causes, careful);
            more = sink(r);
        }
    }
    return more;
}

// ---- Successors --------------------------------------------------------------

TermId Engine::NextFlat(TermId t, const TermNode& n, const StepFrame* step, Context& c) {
    FlatScratch s(*this);
    FlatBuild& b = s.b;
    LoadFlat(t, b, false);
    const std::size_t k = b.ops.size();
    TermNode p = n;
    p.instance = 0;
    if (!step->slots) {
        // One operand moved: every other one loses the events its move waited
        // for, and every level is again the union of its operands.
        const std::size_t moved = step->slot;
        const std::uint32_t mask = pool_.Mask(step->leftCauses);
        const TermId old = b.ops[moved];
        bool othersSame = true;
        std::uint32_t others = 0;
        for (std::size_t i = 0; i < k; ++i) {
            if (i == moved) {
                b.ops[i] = Next(b.ops[i], step->left, c);
                continue;
            }
            const TermId o = b.ops[i];
            b.ops[i] = StripMask(Idle(o), mask, c.event, c.action, false);
            othersSame = othersSame && b.ops[i] == o;
            others |= pool_.Mask(terms_[b.ops[i]].events);
        }
        const SetId oldEvents = terms_[old].events;
        const SetId newEvents = terms_[b.ops[moved]].events;
        if (b.foldLevels && b.foldRoot && othersSame &&
            ((pool_.Mask(oldEvents) | pool_.Mask(newEvents)) & others) == 0) {
            // The moved operand's names are its own: the union changes by its entries alone.
            p.events = pool_.Replace(n.events, pool_.Mask(oldEvents), newEvents);
        } else {
            p.events = FoldLevels(b, false);
        }
        b.levelsValid = false;
        b.foldLevels = b.foldRoot = b.checked = true;
        return MakeFlat(p, b);
    }
    // Every operand moved. Each loses the events that the others' moves waited
    // for, the entry of the new occurrence excepted; each inner level is the
    // union of its two sides once each lost the other's causes, and then loses
    // the causes of the operands above it.
    std::vector<std::uint32_t>& masks = b.words;
    masks.assign(2 * k + 1, 0);
    std::uint32_t* before = masks.data();     // before[i]: causes of the operands before i
    std::uint32_t* after = masks.data() + k;  // after[i]: causes of the operands after i
    for (std::size_t i = 0; i < k; ++i) {
        b.ops[i] = Next(b.ops[i], step->slots[i], c);
        if (i + 1 < k) before[i + 1] = before[i] | pool_.Mask(step->slotCauses[i]);
    }
    for (std::size_t i = k - 1; i-- > 0;) after[i] = after[i + 1] | pool_.Mask(step->slotCauses[i + 1]);
    if (k == 2) {
        // No inner level: the root is the union of the two operands as they end.
        for (std::size_t i = 0; i < k; ++i)
            b.ops[i] = StripMask(b.ops[i], before[i] | after[i], c.event, c.action, true);
        p.events = pool_.Union(terms_[b.ops[0]].events, terms_[b.ops[1]].events);
        b.levelsValid = true;
        b.checked = false;
        return MakeFlat(p, b);
    }
    b.levels.resize(k - 2);
    SetId level = terms_[b.ops[0]].events;
    for (std::size_t i = 1; i < k; ++i) {
        const std::uint32_t own = pool_.Mask(step->slotCauses[i]);
        level = pool_.Union(StripSet(level, own, c.event, c.action, true),
                            StripSet(terms_[b.ops[i]].events, before[i], c.event, c.action, true));
        if (i + 1 < k) b.levels[i - 1] = StripSet(level, after[i], c.event, c.action, true);
    }
    p.events = level;
    for (std::size_t i = 0; i < k; ++i) b.ops[i] = StripMask(b.ops[i], before[i] | after[i], c.event, c.action, true);
    b.levelsValid = true;
    b.checked = false;
    return MakeFlat(p, b);
}

TermId Engine::IdleFlat(TermId t, const TermNode& n) {
    FlatScratch s(*this);
    FlatBuild& b = s.b;
    LoadFlat(t, b, false);
    for (TermId& o : b.ops) o = Idle(o);
    TermNode p = n;
    p.events = FoldLevels(b, false);
    b.levelsValid = false;
    b.foldLevels = b.foldRoot = b.checked = true;
    return MakeFlat(p, b);
}

// n is the node with its root's events stripped already.
TermId Engine::StripFlat(TermId t, TermNode n, std::uint32_t mask, std::int32_t event, ActionId action,
                         bool keepNew) {
    FlatScratch s(*this);
    FlatBuild& b = s.b;
    // A removal of names keeps unions unions; keeping the new entry may not.
    LoadFlat(t, b, keepNew);
    const bool foldRoot = b.foldRoot;
    for (TermId& o : b.ops) o = StripMask(o, mask, event, action, keepNew);
    if (b.levelsValid) {
        for (SetId& level : b.levels) level = StripSet(level, mask, event, action, keepNew);
        b.checked = false;
    } else {
        b.foldRoot = foldRoot;
        b.checked = foldRoot;
    }
    return MakeFlat(n, b);
}

// The root's events pushed into every level and operand; without force, only
// when all of them are free of events (the node's distributes).
TermId Engine::DistributeFlat(TermId t, const TermNode& n, bool force) {
    FlatScratch s(*this);
    FlatBuild& b = s.b;
    LoadFlat(t, b, false);
    for (TermId& o : b.ops) o = force ? ForceDistribute(SetEvents(o, n.events)) : Distribute(SetEvents(o, n.events));
    // Every operand has the root's events now: so has every union of them.
    b.levelsValid = false;
    b.foldLevels = b.foldRoot = b.checked = true;
    return MakeFlat(n, b);
}

// The normal form below the root: an inner level whose part of the chain is
// free of events pushes its own into it, as the nested compositions' own
// normal forms would, the outermost first; then every operand in order. A
// level that is the union of its operands has no events when they are free.
TermId Engine::NormFlat(TermId d, bool& free) {
    FlatScratch s(*this);
    FlatBuild& b = s.b;
    LoadFlat(d, b, false);
    const std::size_t k = b.ops.size();
    for (std::size_t level = k - 1; b.levelsValid && level >= 2; --level) {
        const SetId events = b.levels[level - 2];
        if (!events) continue;
        bool below = true;
        for (std::size_t i = 0; i < level && below; ++i) below = terms_[b.ops[i]].freeBelow;
        for (std::size_t i = 2; i < level && below; ++i) below = b.levels[i - 2] == 0;
        if (!below) continue;
        for (std::size_t i = 0; i < level; ++i) b.ops[i] = Distribute(SetEvents(b.ops[i], events));
        for (std::size_t i = 2; i < level; ++i) b.levels[i - 2] = events;
        b.checked = false;
        break;
    }
    // The normal form of an operand keeps its events.
    for (TermId& o : b.ops) o = Norm(o, free);
    return MakeFlat(terms_[d], b);
}

// ---- Identities and packets --------------------------------------------------

// The identity of the record: the inner levels' heights and (under
// maximality) events, and the operands' identities.
std::uint32_t Engine::FlatIdentity(TermId t) {
    FlatScratch s(*this);
    FlatBuild& b = s.b;
    LoadFlat(t, b, identity_.semantics == Semantics::Maximality);
    std::vector<std::uint32_t>& words = b.words;
    words.clear();
    words.push_back(static_cast<std::uint32_t>(b.ops.size()));
    words.push_back(SharedGates(b.shape));
    if (identity_.semantics == Semantics::Maximality)
        for (SetId level : b.levels) words.push_back(identity_.cpbrOff ? pool_.Sequence(level) : pool_.Multiset(level));
    for (TermId o : b.ops) words.push_back(Identity(o));
    return names_.sequences.Intern(words.data(), words.size());
}

bool Engine::SameFlat(TermId a, TermId b) {
    const bool events = identity_.semantics == Semantics::Maximality;
    FlatScratch sx(*this), sy(*this);
    FlatBuild& x = sx.b;
    FlatBuild& y = sy.b;
    LoadFlat(a, x, events);
    LoadFlat(b, y, events);
    if (x.ops.size() != y.ops.size() || x.shape != y.shape) return false;
    for (std::size_t i = 0; events && i < x.levels.size(); ++i) {
        const bool same = identity_.cpbrOff ? pool_.Sequence(x.levels[i]) == pool_.Sequence(y.levels[i])
                                            : pool_.Multiset(x.levels[i]) == pool_.Multiset(y.levels[i]);
        if (!same) return false;
    }
    for (std::size_t i = 0; i < x.ops.size(); ++i)
        if (!SameState(x.ops[i], y.ops[i])) return false;
    return true;
}

// A flat composition travels as the nested compositions it stands for, which
// the receiving engine joins again.
std::uint32_t Engine::PackFlat(TermId t, TermPacket& packet) {
    FlatScratch s(*this);
    FlatBuild& b = s.b;
    LoadFlat(t, b, true);
    const TermNode n = terms_[t];
    const std::size_t k = b.ops.size();
    std::uint32_t left = Pack(b.ops[0], packet);
    for (std::size_t i = 1; i < k; ++i) {
        const std::uint32_t right = Pack(b.ops[i], packet);
        const SetId events = i + 1 < k ? b.levels[i - 1] : n.events;
        TermPacket::Node p;
        p.kind = NodeKind::Parallel;
        p.height = i + 1 < k ? static_cast<std::int32_t>(gates_.Names(b.shape)[i - 1]) : n.height;
        p.process = processes_[n.process];
        p.gates = SharedGates(n.gates);
        p.eventMask = pool_.Mask(events);
        p.eventFirst = static_cast<std::uint32_t>(packet.actions.size());
        packet.actions.insert(packet.actions.end(), pool_.Actions(events), pool_.Actions(events) + pool_.Size(events));
        p.left = left;
        p.right = right;
        p.instance = 0;
        packet.nodes.push_back(p);
        left = static_cast<std::uint32_t>(packet.nodes.size());
    }
    return left;
}

}  // namespace quarvo
