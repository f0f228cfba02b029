// Derivation of the transitions of a term and construction of successor terms.
#include "generation/TransitionRules.h"

#include <algorithm>

namespace quarvo {

TransitionRules::TransitionRules(ActionTable& actions)
    : actions_(actions),
      delta_(actions.Intern(DeltaName())),
      internal_(actions.Intern(InternalName())),
      dollar_(actions.Intern(Identifier32::FromText("$"))) {}

ActionId TransitionRules::Hidden(ActionId action) {
    // "I_" followed by the first 30 characters of the name.
    const Identifier32& name = actions_.Name(action);
    Identifier32 hidden;
    hidden.chars[0] = 'I';
    hidden.chars[1] = '_';
    for (std::size_t i = 0; i + 2 < Identifier32::Size; ++i) hidden.chars[i + 2] = name.chars[i];
    return actions_.Intern(hidden);
}

// The smallest name not used by the operands' events once the transition's
// own causes are set aside.
std::int32_t TransitionRules::EventBesides(const BehaviourNode* node, const EventSet& causes) {
    const EventSet none;
    EventSet used = Union(node->left ? node->left->events : none, node->right ? node->right->events : none);
    RemoveAll(used, causes);
    std::int32_t event = FreshEvent(used);
    if (event < 0) eventNamesExhausted = true;
    return event;
}

// Makes t's step the left (or right) operand of a new step of the node above.
Step* TransitionRules::Wrap(Transition& t, bool left) {
    Step* s = NewStep();
    (left ? s->left : s->right) = t.step;
    t.step = s;
    return s;
}

// A choice or a call is replaced by its moving operand's successor; a chain
// of them shares one step that names the operand where the successor is built.
void TransitionRules::Jump(Transition& t, const BehaviourNode* operand) {
    if (t.step && t.step->jumpTo) return;
    Step* s = NewStep();
    s->jumpTo = operand;
    s->left = t.step;
    t.step = s;
}

std::vector<Transition> TransitionRules::Derive(BehaviourNode* term, TermArena& arena) {
    std::vector<Transition> out;
    DeriveInto(term, arena, out);
    return out;
}

void TransitionRules::DeriveInto(BehaviourNode* t, TermArena& arena, std::vector<Transition>& out) {
    if (!t) return;
    Distribute(t);
    switch (t->kind) {
    case NodeKind::Prefix: {
        Transition tr;
        if (t->gates->nameId == GateCell::NoNameId) t->gates->nameId = actions_.Intern(t->gates->name);
        tr.action = t->gates->nameId;
        tr.internal = tr.action == internal_;
        tr.event = 1;
        tr.causes = t->events;
        tr.step = NewStep();
        out.push_back(std::move(tr));
        return;
    }
    case NodeKind::Choice: {
        // The choice itself is not kept: a transition leads to its operand's successor.
        std::size_t first = out.size();
        DeriveInto(t->left, arena, out);
        for (std::size_t i = first; i < out.size(); ++i) Jump(out[i], t->left);
        std::size_t middle = out.size();
        DeriveInto(t->right, arena, out);
        for (std::size_t i = middle; i < out.size(); ++i) Jump(out[i], t->right);
        return;
    }
    case NodeKind::Disable: {
        std::size_t first = out.size();
        DeriveInto(t->left, arena, out);
        std::size_t middle = out.size();
        DeriveInto(t->right, arena, out);
        for (std::size_t i = first; i < out.size(); ++i) {
            Transition& tr = out[i];
            const bool left = i < middle;
            Step* s = Wrap(tr, left);
            s->leftCauses = tr.causes;  // the causes of whichever side moved
            // The left operand ends the disabling only by its own termination.
            s->terminated = left && tr.action == delta_ && !tr.internal;
            tr.event = EventBesides(t, tr.causes);
        }
        return;
    }
    case NodeKind::Enable: {
        std::size_t first = out.size();
        DeriveInto(t->left, arena, out);
        for (std::size_t i = first; i < out.size(); ++i) {
            Transition& tr = out[i];
            Step* s = Wrap(tr, true);
            if (tr.action == delta_ && !tr.internal) {
                // The internal step that hands over to the right operand waits
                // for the end of every event of the left operand.
                s->terminated = true;
                tr.action = internal_;
                tr.internal = true;
                EventSet old = tr.causes;
                tr.causes = t->left ? t->left->events : EventSet{};
                RemoveAll(old, tr.causes);
                tr.event = FreshEvent(old);
                if (tr.event < 0) eventNamesExhausted = true;
            }
        }
        return;
    }
    case NodeKind::Hide: {
        std::size_t first = out.size();
        DeriveInto(t->left, arena, out);
        for (std::size_t i = first; i < out.size(); ++i) {
            Transition& tr = out[i];
            Wrap(tr, true);
            if (!tr.internal && NameIn(t->gates, actions_.Name(tr.action))) {
                tr.action = Hidden(tr.action);
                tr.internal = true;
            }
        }
        return;
    }
    case NodeKind::Call: {
        // Re-entering a process before any action would unfold it for ever.
        if (std::find(expanding_.begin(), expanding_.end(), t->process) != expanding_.end()) {
            if (!unguardedProcess) unguardedProcess = t->process;
            return;
        }
        if (!t->instance && t->process) {
            // The body is expanded on the call's first derivation, one call at a time.
            EventSet saved = t->events;
            t->instance = CopyTerm(arena, t->process->behaviour, t->gates, t->process->gates);
            if (t->instance) {
                t->instance->events = std::move(saved);
                ForceDistribute(t->instance);
            }
        }
        // The call itself is not kept: a transition leads to its instance's successor.
        std::size_t first = out.size();
        expanding_.push_back(t->process);
        DeriveInto(t->instance, arena, out);
        expanding_.pop_back();
        for (std::size_t i = first; i < out.size(); ++i) Jump(out[i], t->instance);
        return;
    }
    case NodeKind::Parallel: {
        std::vector<Transition> left, right;
        DeriveInto(t->left, arena, left);
        DeriveInto(t->right, arena, right);
        auto synchronised = [&](const Transition& tr) {
            return !tr.internal && NameIn(t->gates, actions_.Name(tr.action)) != nullptr;
        };
        for (Transition& l : left) {
            if (!synchronised(l)) {
                Wrap(l, true)->leftCauses = l.causes;
                l.event = EventBesides(t, l.causes);
                out.push_back(std::move(l));
                continue;
            }
            for (const Transition& r : right) {
                if (r.internal || r.action != l.action) continue;
                Step* s = NewStep();
                s->left = l.step;
                s->right = r.step;
                s->leftCauses = l.causes;
                s->rightCauses = r.causes;
                Transition tr;
                tr.action = l.action;
                tr.causes = Union(l.causes, r.causes);
                tr.event = EventBesides(t, tr.causes);
                tr.step = s;
                out.push_back(std::move(tr));
            }
        }
        for (Transition& r : right) {
            if (synchronised(r)) continue;
            Wrap(r, false)->rightCauses = r.causes;
            r.event = EventBesides(t, r.causes);
            out.push_back(std::move(r));
        }
        return;
    }
    case NodeKind::Stop:
        return;
    }
}

BehaviourNode* TransitionRules::Successor(const BehaviourNode* term, const Transition& t, TermArena& out,
                                         ActionId& action) {
    SuccessorContext ctx{t.causes, t.event, action, out};
    return Next(term, t.step, ctx);
}

BehaviourNode* TransitionRules::Next(const BehaviourNode* t, const Step* step, SuccessorContext& ctx) {
    if (!t) return nullptr;
    TermArena& out = ctx.out;
    BehaviourNode* result = nullptr;
    switch (t->kind) {
    case NodeKind::Prefix:
        if (step) {
            result = CopyTerm(out, t->right);
            if (result) Insert(ctx.event, ctx.action, result->events);
        } else {
            result = CopyTerm(out, t);
        }
        break;
    case NodeKind::Choice:
        // The choice itself is not kept.
        if (step) result = Next(step->jumpTo, step->left, ctx);
        else result = CopyTerm(out, t);
        break;
    case NodeKind::Disable: {
        auto stopFor = [&](const BehaviourNode* operand) {
            BehaviourNode* stop = out.NewNode(NodeKind::Stop, operand ? operand->height : -1);
            if (operand) {
                stop->events = operand->events;
                RemoveAll(stop->events, ctx.causes);
            }
            return stop;
        };
        if (step && step->left) {
            result = out.NewNode(NodeKind::Disable, t->height);
            result->left = Next(t->left, step->left, ctx);
            if (step->terminated) {
                result->right = stopFor(t->right);
            } else {
                // Events that the moving side waited for have ended for the
                // whole of the right operand, not only for its root.
                result->right = CopyTerm(out, t->right);
                StripCauses(result->right, step->leftCauses, ctx.event, ctx.action, false);
            }
        } else if (step && step->right) {
            result = out.NewNode(NodeKind::Disable, t->height);
            result->left = stopFor(t->left);
            result->right = Next(t->right, step->right, ctx);
        } else {
            result = CopyTerm(out, t);
        }
        result->events = ChildEvents(result);
        break;
    }
    case NodeKind::Enable:
        if (step && step->left) {
            if (step->terminated) {
                ctx.action = dollar_;
                result = CopyTerm(out, t->right);
            } else {
                result = out.NewNode(NodeKind::Enable, t->height);
                result->left = Next(t->left, step->left, ctx);
                result->right = CopyTerm(out, t->right);
            }
            if (result) {
                result->events = ChildEvents(result);
                Insert(ctx.event, internal_, result->events);
            }
        } else {
            result = CopyTerm(out, t);
            result->events = ChildEvents(result);
        }
        break;
    case NodeKind::Hide: {
        result = out.NewNode(NodeKind::Hide, t->height);
        result->process = t->process;
        const Step* body = step ? step->left : nullptr;
        if (t->left && t->left->kind == NodeKind::Hide) {
            // Nested hidings merge into one.
            result->gates = CopyGates(out, t->gates);
            GateCell** tail = &result->gates;
            while (*tail) tail = &(*tail)->next;
            for (const GateCell* g = t->left->gates; g; g = g->next) {
                if (NameIn(t->gates, g->name)) continue;
                *tail = out.NewGate(g->name);
                tail = &(*tail)->next;
            }
            result->left = Next(t->left->left, body ? body->left : nullptr, ctx);
        } else {
            result->gates = CopyGates(out, t->gates);
            result->left = Next(t->left, body, ctx);
        }
        result->events = ChildEvents(result);
        // Only a hiding whose body moved records the new occurrence.
        if (body) Insert(ctx.event, ctx.action, result->events);
        break;
    }
    case NodeKind::Call:
        if (step) result = Next(step->jumpTo, step->left, ctx);
        else result = CopyTerm(out, t);
        break;
    case NodeKind::Parallel: {
        result = out.NewNode(NodeKind::Parallel, t->height);
        result->process = t->process;
        result->gates = CopyGates(out, t->gates);
        const Step* ls = step ? step->left : nullptr;
        const Step* rs = step ? step->right : nullptr;
        const EventSet none;
        const EventSet& leftCauses = step ? step->leftCauses : none;
        const EventSet& rightCauses = step ? step->rightCauses : none;
        // The events that one side's occurrence waited for are no longer
        // maximal on the other side. On a side that moved too, the entry of
        // the new occurrence stays even where its name was one of those events.
        result->left = Next(t->left, ls, ctx);
        StripCauses(result->left, rightCauses, ctx.event, ctx.action, ls != nullptr);
        result->right = Next(t->right, rs, ctx);
        StripCauses(result->right, leftCauses, ctx.event, ctx.action, rs != nullptr);
        result->events = ChildEvents(result);
        break;
    }
    case NodeKind::Stop:
        result = CopyTerm(out, t);
        break;
    }
    Distribute(result);
    return result;
}

}  // namespace quarvo
