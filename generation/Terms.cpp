// Copies of compiled terms with the formal gates of a process replaced by the actual ones.
#include "generation/Terms.h"

#include <algorithm>
#include <cstring>

namespace quarvo {

GateList CopyGates(TermArena& arena, const GateCell* gates, const GateCell* actuals, const GateCell* formals) {
    GateList head = nullptr;
    GateCell** tail = &head;
    for (; gates; gates = gates->next) {
        const Identifier32* name = &gates->name;
        const GateCell* a = actuals;
        for (const GateCell* f = formals; f; f = f->next, a = a ? a->next : nullptr) {
            if (f->name == gates->name) {
                if (a) name = &a->name;
                break;
            }
        }
        *tail = arena.NewGate(*name);
        tail = &(*tail)->next;
    }
    return head;
}

namespace {

bool InList(const GateCell* list, const Identifier32& name) {
    for (; list; list = list->next)
        if (list->name == name) return true;
    return false;
}

// A hidden gate renamed apart from a visible one of the same name: the same
// text up to its first blank, told apart by a mark in the last position, which
// no name of the text can hold and "I_" followed by the name leaves out.
bool MarkApart(Identifier32& name, const GateCell* actuals, const GateCell* formals, const GateCell* hidden) {
    if (name.chars[Identifier32::Size - 1] != ' ' && name.chars[Identifier32::Size - 1] >= ' ') return false;
    for (char mark = 1; mark < ' '; ++mark) {
        Identifier32 candidate = name;
        candidate.chars[Identifier32::Size - 1] = mark;
        bool taken = InList(hidden, candidate);
        const GateCell* a = actuals;
        for (const GateCell* f = formals; f && !taken; f = f->next, a = a ? a->next : nullptr)
            taken = (a ? a->name : f->name) == candidate;
        if (!taken) {
            name = candidate;
            return true;
        }
    }
    return false;
}

}  // namespace

BehaviourNode* CopyTerm(TermArena& arena, const BehaviourNode* term, const GateCell* actuals,
                        const GateCell* formals) {
    BehaviourNode* head = nullptr;
    BehaviourNode** slot = &head;
    // Iterates along the right operand so that long prefix chains need no deep recursion.
    for (; term; term = term->right) {
        BehaviourNode* copy = arena.NewNode(term->kind, term->height);
        copy->process = term->process;
        if (term->kind == NodeKind::Hide && formals) {
            // The hidden gates are local to the hiding: a formal of the same
            // name is not renamed inside it, and a hidden gate that an actual
            // gate would fall into is renamed apart, so the actual stays visible.
            GateList innerFormals = nullptr;
            GateList innerActuals = nullptr;
            GateCell** formalTail = &innerFormals;
            GateCell** actualTail = &innerActuals;
            const GateCell* a = actuals;
            for (const GateCell* f = formals; f; f = f->next, a = a ? a->next : nullptr) {
                if (InList(term->gates, f->name)) continue;
                *formalTail = arena.NewGate(f->name);
                formalTail = &(*formalTail)->next;
                *actualTail = arena.NewGate(a ? a->name : f->name);
                actualTail = &(*actualTail)->next;
            }
            GateCell** hiddenTail = &copy->gates;
            for (const GateCell* h = term->gates; h; h = h->next) {
                Identifier32 name = h->name;
                bool captured = false;
                for (const GateCell* i = innerActuals; i && !captured; i = i->next) captured = i->name == name;
                if (captured && MarkApart(name, innerActuals, innerFormals, term->gates)) {
                    *formalTail = arena.NewGate(h->name);
                    formalTail = &(*formalTail)->next;
                    *actualTail = arena.NewGate(name);
                    actualTail = &(*actualTail)->next;
                }
                *hiddenTail = arena.NewGate(name);
                hiddenTail = &(*hiddenTail)->next;
            }
            // The renamed-apart gates come after the formals, so a formal of the
            // same name (already left out above) can never shadow them.
            copy->left = CopyTerm(arena, term->left, innerActuals, innerFormals);
        } else {
            copy->gates = CopyGates(arena, term->gates, actuals, formals);
            copy->left = CopyTerm(arena, term->left, actuals, formals);
        }
        *slot = copy;
        slot = &copy->right;
    }
    return head;
}

}  // namespace quarvo
