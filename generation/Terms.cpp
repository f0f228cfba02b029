// Copying, comparing and keying behaviour terms; distributing and stripping their events.
#include "generation/Terms.h"

#include <algorithm>
#include <cstring>

namespace quarvo {
namespace {

bool IsBinary(NodeKind k) { return k == NodeKind::Choice || k == NodeKind::Disable || k == NodeKind::Parallel; }
bool IsUnaryLeft(NodeKind k) { return k == NodeKind::Enable || k == NodeKind::Hide; }

void AppendRaw(std::string& out, const void* data, std::size_t size) {
    out.append(static_cast<const char*>(data), size);
}

void AppendCount(std::string& out, std::size_t n) {
    while (n >= 0x80) {
        out.push_back(static_cast<char>(0x80 | (n & 0x7F)));
        n >>= 7;
    }
    out.push_back(static_cast<char>(n));
}

bool SameGates(const GateCell* a, const GateCell* b) {
    for (; a && b; a = a->next, b = b->next)
        if (!(a->name == b->name)) return false;
    return a == nullptr && b == nullptr;
}

bool SameNode(const BehaviourNode* a, const BehaviourNode* b, const StateIdentity* identity) {
    if (a->height != b->height || a->kind != b->kind || a->process != b->process) return false;
    if (!SameGates(a->gates, b->gates)) return false;
    if (!identity || identity->semantics == Semantics::Interleaving) return true;
    return identity->cpbrOff ? SameActions(a->events, b->events) : SameActionMultiset(a->events, b->events);
}

bool Equal(const BehaviourNode* a, const BehaviourNode* b, const StateIdentity* identity) {
    // Recursion on the left operand, iteration along the right one (prefix chains).
    for (;;) {
        if (a == b) return true;
        if (!a || !b) return false;
        if (!SameNode(a, b, identity)) return false;
        if (!Equal(a->left, b->left, identity)) return false;
        a = a->right;
        b = b->right;
    }
}

bool FreeBelow(const BehaviourNode* t) {
    while (t) {
        if (!t->events.empty()) return false;
        if (IsBinary(t->kind)) {
            if (!FreeBelow(t->left)) return false;
            t = t->right;
        } else if (IsUnaryLeft(t->kind)) {
            t = t->left;
        } else {
            return true;
        }
    }
    return true;
}

bool Qualifies(const BehaviourNode* node) {
    if (IsBinary(node->kind)) return FreeBelow(node->left) && FreeBelow(node->right);
    if (IsUnaryLeft(node->kind)) return FreeBelow(node->left);
    return false;
}

void PushDown(BehaviourNode* node, bool force) {
    if (!node) return;
    // A node that qualifies has operands free of events, so pushing down an
    // empty set changes nothing; checking that first keeps long operator
    // chains from being walked again at every level.
    if (!force && (node->events.empty() || !Qualifies(node))) return;
    if (IsBinary(node->kind)) {
        if (node->left) node->left->events = node->events;
        if (node->right) node->right->events = node->events;
        PushDown(node->left, force);
        PushDown(node->right, force);
    } else if (IsUnaryLeft(node->kind)) {
        if (node->left && node->left->events.empty()) {
            node->left->events = node->events;
            PushDown(node->left, force);
        }
    }
}

}  // namespace

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
        *tail = arena.NewGate(*name, name == &gates->name ? gates->nameId : GateCell::NoNameId);
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
        copy->events = term->events;
        copy->leftCauses = term->leftCauses;
        copy->rightCauses = term->rightCauses;
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
                *formalTail = arena.NewGate(f->name, f->nameId);
                formalTail = &(*formalTail)->next;
                *actualTail = a ? arena.NewGate(a->name, a->nameId) : arena.NewGate(f->name, f->nameId);
                actualTail = &(*actualTail)->next;
            }
            GateCell** hiddenTail = &copy->gates;
            for (const GateCell* h = term->gates; h; h = h->next) {
                Identifier32 name = h->name;
                bool captured = false;
                for (const GateCell* i = innerActuals; i && !captured; i = i->next) captured = i->name == name;
                if (captured && MarkApart(name, innerActuals, innerFormals, term->gates)) {
                    *formalTail = arena.NewGate(h->name, h->nameId);
                    formalTail = &(*formalTail)->next;
                    *actualTail = arena.NewGate(name);
                    actualTail = &(*actualTail)->next;
                }
                *hiddenTail = arena.NewGate(name, name == h->name ? h->nameId : GateCell::NoNameId);
                hiddenTail = &(*hiddenTail)->next;
            }
            // The renamed-apart gates come after the formals, so a formal of the
            // same name (already left out above) can never shadow them.
            copy->left = CopyTerm(arena, term->left, innerActuals, innerFormals);
        } else {
            copy->gates = CopyGates(arena, term->gates, actuals, formals);
            copy->left = CopyTerm(arena, term->left, actuals, formals);
        }
        copy->instance = CopyTerm(arena, term->instance);
        *slot = copy;
        slot = &copy->right;
    }
    return head;
}

bool TermEqual(const BehaviourNode* a, const BehaviourNode* b, const StateIdentity& identity) {
    return Equal(a, b, &identity);
}

bool ShapeEqual(const BehaviourNode* a, const BehaviourNode* b) { return Equal(a, b, nullptr); }

static void AppendKey(std::string& out, const BehaviourNode* t, const StateIdentity& identity, ActionTable& names) {
    for (;; t = t->right) {
        if (!t) {
            out.push_back('\xFF');
            return;
        }
        // Every field in a self-delimiting form, so that keys are equal
        // exactly when the fields are; small numbers take one byte, which
        // matters since every state keeps its key.
        out.push_back(static_cast<char>(t->kind));
        const std::int64_t height = t->height;
        AppendCount(out, static_cast<std::size_t>(height >= 0 ? height * 2 : -height * 2 - 1));
        if (t->process) {
            out.push_back('\x01');
            AppendRaw(out, &t->process, sizeof t->process);
        } else {
            out.push_back('\x00');
        }
        AppendCount(out, static_cast<std::size_t>(GateCount(t->gates)));
        for (const GateCell* g = t->gates; g; g = g->next) {
            if (g->nameId == GateCell::NoNameId) g->nameId = names.Intern(g->name);
            AppendCount(out, g->nameId);
        }
        if (identity.semantics == Semantics::Maximality) {
            AppendCount(out, t->events.size());
            if (identity.cpbrOff) {
                for (const TEventEntry& e : t->events) AppendCount(out, e.Action);
            } else {
                std::vector<ActionId> actions;
                for (const TEventEntry& e : t->events) actions.push_back(e.Action);
                std::sort(actions.begin(), actions.end());
                for (ActionId a : actions) AppendCount(out, a);
            }
        }
        AppendKey(out, t->left, identity, names);
    }
}

std::string TermKey(const BehaviourNode* term, const StateIdentity& identity, ActionTable& names) {
    std::string key;
    AppendKey(key, term, identity, names);
    return key;
}

EventSet ChildEvents(const BehaviourNode* node) {
    if (!node || (!node->left && !node->right)) return {};
    const EventSet none;
    const EventSet& l = node->left ? node->left->events : none;
    const EventSet& r = node->right ? node->right->events : none;
    if (IsBinary(node->kind)) return Union(l, r);
    if (IsUnaryLeft(node->kind)) return l;
    return {};
}

void Distribute(BehaviourNode* node) { PushDown(node, false); }

void ForceDistribute(BehaviourNode* node) { PushDown(node, true); }

void StripCauses(BehaviourNode* term, const EventSet& causes, std::int32_t event, ActionId action, bool keepNew) {
    if (causes.empty()) return;
    auto strip = [&](EventSet& set) {
        if (keepNew) RemoveCauseEvents(set, causes, event, action);
        else RemoveAll(set, causes);
    };
    while (term) {
        strip(term->events);
        if (term->instance) strip(term->instance->events);
        if (IsBinary(term->kind)) {
            StripCauses(term->left, causes, event, action, keepNew);
            term = term->right;
        } else if (IsUnaryLeft(term->kind)) {
            term = term->left;
        } else if (term->kind == NodeKind::Call) {
            term = term->instance;
        } else {
            return;
        }
    }
}

bool LeafIn(const std::vector<const GateCell*>& leaves, const BehaviourNode* term) {
    while (term && !leaves.empty()) {
        switch (term->kind) {
        case NodeKind::Prefix:
            return std::find(leaves.begin(), leaves.end(), term->gates) != leaves.end();
        case NodeKind::Call:
            term = term->instance;
            break;
        case NodeKind::Choice:
        case NodeKind::Disable:
        case NodeKind::Parallel:
            if (LeafIn(leaves, term->left)) return true;
            term = term->right;
            break;
        case NodeKind::Enable:
        case NodeKind::Hide:
            if (LeafIn(leaves, term->left)) return true;
            term = term->right;
            break;
        default:
            return false;
        }
    }
    return false;
}

}  // namespace quarvo
