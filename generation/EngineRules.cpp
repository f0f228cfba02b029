// The transition rules on shared terms: every transition of a term, and the term each one leads to.
#include <algorithm>

#include "generation/Engine.h"

namespace quarvo {

ActionId Engine::Hidden(ActionId action) {
    auto [it, inserted] = hidden_.try_emplace(action, 0);
    if (inserted) {
        // "I_" followed by the first 30 characters of the name. The action
        // table is shared by the engines of an exploration: only through
        // the names' lock.
        const Identifier32 name = names_.ActionName(action);
        Identifier32 hidden;
        hidden.chars[0] = 'I';
        hidden.chars[1] = '_';
        for (std::size_t i = 0; i + 2 < Identifier32::Size; ++i) hidden.chars[i + 2] = name.chars[i];
        it->second = names_.InternAction(hidden);
    }
    return it->second;
}

// The smallest name not used by the operands' events once the transition's
// own causes are set aside.
std::int32_t Engine::Besides(std::uint32_t used, SetId causes) {
    const std::int32_t event = EventPool::Fresh(used & ~pool_.Mask(causes));
    if (event < 0) eventNamesExhausted = true;
    return event;
}

// A copy of the part of a step chain that still lives on the stack.
const StepFrame* Engine::Persist(const StepFrame* frame) {
    if (!frame || frame->persistent) return frame;
    StepFrame copy = *frame;
    copy.left = Persist(frame->left);
    copy.right = Persist(frame->right);
    if (frame->slots) {
        // A synchronised move of a flat composition: one step and causes per operand.
        const std::size_t count = frame->slotCount;
        std::vector<const StepFrame*>& slots = persistedSlots_.emplace_back(frame->slots, frame->slots + count);
        for (const StepFrame*& s : slots) s = Persist(s);
        copy.slots = slots.data();
        copy.slotCauses = persistedCauses_.emplace_back(frame->slotCauses, frame->slotCauses + count).data();
    }
    copy.persistent = true;
    return &persisted_.emplace_back(copy);
}

bool Engine::Enumerate(TermId term, TransitionSink sink) {
    expanding_.clear();
    depth_ = 0;
    flatEnumDepth_ = 0;
    return Enum(term, sink);
}

namespace {

// A choice or a call is replaced by its moving operand's successor; a chain
// of them shares one step that names the operand where the successor is built.
void Jump(Transition& t, StepFrame& frame, TermId operand) {
    if (t.step && t.step->jumpTo) return;
    frame.jumpTo = operand;
    frame.left = t.step;
    t.step = &frame;
}

// Puts the step of the one operand that moved under frame, which records in
// slot the causes that operand's transition brought.
void Lift(Transition& t, StepFrame& frame, bool left, SetId StepFrame::*slot) {
    (left ? frame.left : frame.right) = t.step;
    frame.*slot = t.causes;
    t.step = &frame;
}

}  // namespace

bool Engine::Enum(TermId t, TransitionSink sink) {
    if (!t) return true;
    // Successors are built while the enumeration goes on, so the table may
    // grow: keep a copy of the node, not a reference into the table.
    const TermNode n = terms_[t];
    switch (n.kind) {
    case NodeKind::Prefix: {
        Transition tr;
        tr.action = gates_.Size(n.gates) ? gates_.Names(n.gates)[0] : internal_;
        tr.internal = tr.action == internal_;
        tr.event = 1;
        tr.causes = n.events;
        tr.step = &leafStep_;
        return sink(tr);
    }
    case NodeKind::Choice: {
        // A chain of choices is enumerated as one choice of all its operands,
        // left to right: each operand's transitions then pass one frame, not
        // one per level of the chain, so n branches cost O(n), not O(n^2). The
        // innermost choice names the operand that moved, as it would nested.
        if (choices_.size() <= choiceDepth_) choices_.emplace_back();
        std::vector<TermId>& operands = choices_[choiceDepth_++];
        operands.clear();
        std::vector<TermId>& pending = chain_;  // the continuations' stack, free between its uses
        const std::size_t base = pending.size();
        pending.push_back(n.right);
        pending.push_back(n.left);
        while (pending.size() > base) {
            const TermId o = pending.back();
            pending.pop_back();
            if (o && terms_[o].kind == NodeKind::Choice) {
                pending.push_back(terms_[o].right);
                pending.push_back(terms_[o].left);
            } else {
                operands.push_back(o);
            }
        }
        bool more = true;
        for (std::size_t i = 0; more && i < operands.size(); ++i) {
            const TermId operand = operands[i];
            auto moved = [&](Transition& tr) {
                StepFrame f;
                Jump(tr, f, operand);
                return sink(tr);
            };
            more = Enum(operand, moved);
        }
        --choiceDepth_;
        return more;
    }
    case NodeKind::Disable: {
        const std::uint32_t used = pool_.Mask(terms_[n.left].events) | pool_.Mask(terms_[n.right].events);
        // The frame records the causes of whichever side moved.
        auto left = [&](Transition& tr) {
            StepFrame f;
            // The left operand ends the disabling only by its own termination.
            f.terminated = tr.action == delta_ && !tr.internal;
            Lift(tr, f, true, &StepFrame::leftCauses);
            tr.event = Besides(used, tr.causes);
            return sink(tr);
        };
        auto right = [&](Transition& tr) {
            StepFrame f;
            Lift(tr, f, false, &StepFrame::leftCauses);
            tr.event = Besides(used, tr.causes);
            return sink(tr);
        };
        return Enum(n.left, left) && Enum(n.right, right);
    }
    case NodeKind::Enable: {
        const SetId leftEvents = terms_[n.left].events;
        auto left = [&](Transition& tr) {
            StepFrame f;
            f.left = tr.step;
            tr.step = &f;
            if (tr.action == delta_ && !tr.internal) {
                // The internal step that hands over to the right operand waits
                // for the end of every event of the left operand.
                f.terminated = true;
                tr.action = internal_;
                tr.internal = true;
                const std::uint32_t old = pool_.Mask(tr.causes) & ~pool_.Mask(leftEvents);
                tr.causes = leftEvents;
                tr.event = EventPool::Fresh(old);
                if (tr.event < 0) eventNamesExhausted = true;
            }
            return sink(tr);
        };
        return Enum(n.left, left);
    }
    case NodeKind::Hide: {
        auto body = [&](Transition& tr) {
            StepFrame f;
            f.left = tr.step;
            tr.step = &f;
            if (!tr.internal && gates_.Contains(n.gates, tr.action)) {
                tr.action = Hidden(tr.action);
                tr.internal = true;
            }
            return sink(tr);
        };
        return Enum(n.left, body);
    }
    case NodeKind::Call: {
        // Re-entering a process before any action would unfold it for ever.
        if (Expanding(n.process)) {
            if (!unguardedProcess) unguardedProcess = processes_[n.process];
            return true;
        }
        auto body = [&](Transition& tr) {
            StepFrame f;
            Jump(tr, f, n.instance);
            return sink(tr);
        };
        expanding_.push_back(n.process);
        const bool more = Enum(n.instance, body);
        expanding_.pop_back();
        return more;
    }
    case NodeKind::Parallel:
        return n.instance ? EnumFlat(t, n, sink) : EnumPair(n, sink);
    case NodeKind::Stop:
        return true;
    }
    return true;
}

// A composition of two operands: for each transition of the left operand,
// that transition alone or its pairings with each partner of the right one,
// then the right operand's own transitions that do not synchronise.
bool Engine::EnumPair(const TermNode& n, TransitionSink sink) {
    const std::uint32_t used = pool_.Mask(terms_[n.left].events) | pool_.Mask(terms_[n.right].events);
    auto synchronised = [&](const Transition& tr) { return !tr.internal && gates_.Contains(n.gates, tr.action); };
    // The right operand's transitions are kept: they are partners of the
    // left ones, and its own moves come after all of those.
    if (rights_.size() <= depth_) rights_.emplace_back();
    std::vector<Transition>& rights = rights_[depth_++];
    rights.clear();
    auto keep = [&](Transition& tr) {
        tr.step = Persist(tr.step);
        rights.push_back(tr);
        return true;
    };
    Enum(n.right, keep);
    auto left = [&](Transition& l) {
        if (!synchronised(l)) {
            StepFrame f;
            Lift(l, f, true, &StepFrame::leftCauses);
            l.event = Besides(used, l.causes);
            return sink(l);
        }
        for (std::size_t i = 0; i < rights.size(); ++i) {
            const Transition r = rights[i];
            if (r.internal || r.action != l.action) continue;
            StepFrame f;
            f.left = l.step;
            f.right = r.step;
            f.leftCauses = l.causes;
            f.rightCauses = r.causes;
            Transition tr;
            tr.action = l.action;
            tr.causes = pool_.Union(l.causes, r.causes);
            tr.event = Besides(used, tr.causes);
            tr.step = &f;
            if (!sink(tr)) return false;
        }
        return true;
    };
    bool more = Enum(n.left, left);
    for (std::size_t i = 0; more && i < rights.size(); ++i) {
        Transition r = rights[i];
        if (synchronised(r)) continue;
        StepFrame f;
        Lift(r, f, false, &StepFrame::rightCauses);
        r.event = Besides(used, r.causes);
        more = sink(r);
    }
    --depth_;
    return more;
}

// ---- Successors --------------------------------------------------------------

TermId Engine::Successor(TermId term, const Transition& t, ActionId& action) {
    Context c{t.causes, pool_.Mask(t.causes), t.event, action};
    return Next(term, t.step, c);
}

GatesId Engine::MergedGates(GatesId outer, GatesId inner) {
    std::vector<ActionId> names(gates_.Names(outer), gates_.Names(outer) + gates_.Size(outer));
    for (std::size_t i = 0; i < gates_.Size(inner); ++i) {
        const ActionId g = gates_.Names(inner)[i];
        if (!gates_.Contains(outer, g)) names.push_back(g);
    }
    return gates_.Intern(names.data(), names.size());
}

// The hiding that stands for n after a step, without its operand, which is
// built from operand: nested hidings merge into one, the inner one's gates
// after the outer one's.
TermNode Engine::HideShell(const TermNode& n, TermId& operand) {
    TermNode h;
    h.kind = NodeKind::Hide;
    h.height = n.height;
    h.process = n.process;
    h.gates = n.gates;
    operand = n.left;
    if (n.left && terms_[n.left].kind == NodeKind::Hide) {
        const TermNode inner = terms_[n.left];
        h.gates = MergedGates(n.gates, inner.gates);
        operand = inner.left;
    }
    return h;
}

// An operand discarded by a disabling: a stop with the events it still had,
// its height that of the operand, moved below -1 so that a stop written in the
// specification is never taken for one.
TermId Engine::StopFor(TermId operand, const Context& c) {
    TermNode stop;
    stop.kind = NodeKind::Stop;
    if (operand) {
        const std::int32_t h = terms_[operand].height;
        stop.height = IsDiscarded(terms_[operand]) ? h : -2 - std::max(h, 0);
        stop.events = pool_.Without(terms_[operand].events, c.causesMask);
    }
    return terms_.Make(stop);
}

// A disabling whose operand was just discarded (the right operand took over,
// or the left one terminated) is its kept operand. Under maximality the
// discarded operand leaves a stop holding the events it still had, which
// stay maximal, until the last of them ends; such stops nested on the right
// are one stop, as they take part in no transition and differ only in
// which events they hold. Under interleaving events decide no state, and the
// node goes at once.
TermId Engine::Discarding(TermNode d, TermId kept, TermId discarded, bool discardedLeft, const Context& c) {
    if (identity_.semantics != Semantics::Maximality) return kept;
    // Outside the left operand of an enabling nothing can ever wait for the
    // events of a discarded operand: they stay maximal in the state that the
    // disabling reaches, and end with the next step of the operand that took
    // over (they would otherwise pile up on every pass of a recursion).
    // Inside it, they stay until its termination waits for them.
    if (discardedLeft && !c.enablingLeft && IsDiscarded(terms_[discarded])) return kept;
    TermId stop = StopFor(discarded, c);
    if (!terms_[stop].events) return kept;
    if (discardedLeft) {
        if (kept && terms_[kept].kind == NodeKind::Disable && IsDiscarded(terms_[terms_[kept].left])) {
            const TermNode inner = terms_[kept];
            TermNode s = terms_[stop];
            s.events = pool_.Union(s.events, terms_[inner.left].events);
            stop = terms_.Make(s);
            kept = inner.right;
        }
        d.left = stop;
        d.right = kept;
    } else {
        d.left = kept;
        d.right = stop;
    }
    d.events = ChildEvents(d);
    return terms_.Make(d);
}

bool Engine::EmptiedStop(TermId before, TermId after) const {
    return after && IsDiscarded(terms_[after]) && !terms_[after].events && terms_[before].events;
}

// Removes the events of causes from every event set along the operator spine
// of t. With keepNew, an entry equal to (event, action) stays: it is the
// occurrence just created, not the old event of that name.
TermId Engine::StripMask(TermId t, std::uint32_t mask, std::int32_t event, ActionId action, bool keepNew) {
    if (!t || !mask) return t;
    if ((terms_[t].spineMask & mask) == 0) return t;
    TermNode n = terms_[t];
    n.events = StripSet(n.events, mask, event, action, keepNew);
    if (n.kind == NodeKind::Parallel) return StripFlat(t, n, mask, event, action, keepNew);
    if (IsBinary(n.kind)) {
        const TermId left = n.left, right = n.right;
        n.left = StripMask(left, mask, event, action, keepNew);
        n.right = StripMask(right, mask, event, action, keepNew);
        if (n.kind == NodeKind::Disable && identity_.semantics == Semantics::Maximality) {
            // A stop left by a discarded operand goes with its last event.
            if (EmptiedStop(left, n.left)) return n.right;
            if (EmptiedStop(right, n.right)) return n.left;
        }
    } else if (IsUnaryLeft(n.kind)) {
        n.left = StripMask(n.left, mask, event, action, keepNew);
    } else if (n.kind == NodeKind::Call) {
        n.instance = StripMask(n.instance, mask, event, action, keepNew);
    }
    return terms_.Make(n);
}

// The successor of a term that did not move: the events of its operators are
// recomputed from their operands and nested hidings merge.
TermId Engine::Idle(TermId t) {
    if (!t || terms_[t].idleSelf) return t;
    if (TermId known = Memo(idleOf_, t)) return known;
    TermNode n = terms_[t];
    TermId result = t;
    switch (n.kind) {
    case NodeKind::Disable:
    case NodeKind::Enable:
        n.events = ChildEvents(n);
        result = terms_.Make(n);
        break;
    case NodeKind::Hide: {
        TermId operand = 0;
        TermNode h = HideShell(n, operand);
        h.left = Idle(operand);
        h.events = ChildEvents(h);
        result = terms_.Make(h);
        break;
    }
    case NodeKind::Parallel:
        if (n.instance) {
            result = IdleFlat(t, n);
        } else {
            n.left = Idle(n.left);
            n.right = Idle(n.right);
            n.events = ChildEvents(n);
            result = MakePair(n);
        }
        break;
    default:
        break;
    }
    result = Distribute(result);
    if (result == t) terms_.SetIdleSelf(t);  // a fact of the node, kept whatever is forgotten
    else SetMemo(idleOf_, t, result);
    return result;
}

TermId Engine::Next(TermId t, const StepFrame* step, Context& c) {
    if (!step) return Idle(t);
    if (!t) return t;
    const TermNode n = terms_[t];
    TermId result = t;
    switch (n.kind) {
    case NodeKind::Prefix:
        result = n.right ? SetEvents(n.right, pool_.Insert(terms_[n.right].events, c.event, c.action)) : 0;
        break;
    case NodeKind::Choice:
    case NodeKind::Call:
        // The choice or the call itself is not kept.
        result = Next(step->jumpTo, step->left, c);
        break;
    case NodeKind::Disable: {
        TermNode d;
        d.kind = NodeKind::Disable;
        d.height = n.height;
        if (step->left && !step->terminated) {
            d.left = Next(n.left, step->left, c);
            // Events that the moving side waited for have ended for the
            // whole of the right operand, not only for its root.
            d.right = Strip(n.right, step->leftCauses, c.event, c.action, false);
            d.events = ChildEvents(d);
            result = terms_.Make(d);
        } else if (step->left) {
            result = Discarding(d, Next(n.left, step->left, c), n.right, false, c);
        } else {
            result = Discarding(d, Next(n.right, step->right, c), n.left, true, c);
        }
        break;
    }
    case NodeKind::Enable:
        if (step->terminated) {
            c.action = dollar_;
            result = n.right;
        } else {
            TermNode e;
            e.kind = NodeKind::Enable;
            e.height = n.height;
            ++c.enablingLeft;
            e.left = Next(n.left, step->left, c);
            --c.enablingLeft;
            e.right = n.right;
            result = terms_.Make(e);
        }
        if (result) {
            // After termination the inserted entry makes the right operand wait for the internal step.
            const SetId events = pool_.Insert(ChildEvents(terms_[result]), c.event, internal_);
            result = SetEvents(result, events);
        }
        break;
    case NodeKind::Hide: {
        TermId operand = 0;
        TermNode h = HideShell(n, operand);
        const StepFrame* body = step->left;
        // A merged inner hiding has a step of its own above its body's.
        if (operand != n.left) body = body ? body->left : nullptr;
        h.left = Next(operand, body, c);
        h.events = ChildEvents(h);
        // Only a hiding whose body moved records the new occurrence.
        if (body) h.events = pool_.Insert(h.events, c.event, c.action);
        result = terms_.Make(h);
        break;
    }
    case NodeKind::Parallel:
        if (n.instance) {
            result = NextFlat(t, n, step, c);
        } else {
            // The events that one side's occurrence waited for are no longer
            // maximal on the other side. On a side that moved too, the entry of
            // the new occurrence stays even where its name was one of those events.
            TermNode p = n;
            p.left = Next(n.left, step->left, c);
            p.left = Strip(p.left, step->rightCauses, c.event, c.action, step->left != nullptr);
            p.right = Next(n.right, step->right, c);
            p.right = Strip(p.right, step->leftCauses, c.event, c.action, step->right != nullptr);
            p.events = ChildEvents(p);
            result = MakePair(p);
        }
        break;
    case NodeKind::Stop:
        break;
    }
    return Distribute(result);
}

}  // namespace quarvo
