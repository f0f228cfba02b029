// Semantic actions of the LOTOS grammar and the resolution of process calls.
#include "frontend/SemanticActions.h"

#include <algorithm>
#include <unordered_map>

#include "frontend/Lexer.h"

namespace quarvo {
namespace {

enum NonTerminal {
    NtSpecification = 0, NtHeader, NtGates, NtMoreGates, NtBody, NtWherePart, NtProcessDecl,
    NtMoreProcessDecls, NtBehaviour, NtHiddenGates, NtParallelOp, NtChoiceOp, NtActionName,
};

constexpr int T(int terminal) { return terminal; }
constexpr int N(int nonTerminal) { return NonTerminalSymbol + nonTerminal; }

constexpr RuleShape kRules[RuleCount + 1] = {
    {0, 0, {}},
    {NtSpecification, 5, {T(0), N(NtHeader), T(5), N(NtBody), T(20)}},
    {NtHeader, 4, {T(1), T(2), N(NtGates), T(4)}},
    {NtGates, 2, {T(1), N(NtMoreGates)}},
    {NtGates, 0, {}},
    {NtMoreGates, 3, {T(3), T(1), N(NtMoreGates)}},
    {NtMoreGates, 0, {}},
    {NtBody, 2, {N(NtBehaviour), N(NtWherePart)}},
    {NtBody, 0, {}},
    {NtWherePart, 3, {T(19), N(NtProcessDecl), N(NtMoreProcessDecls)}},
    {NtWherePart, 0, {}},
    {NtProcessDecl, 5, {T(21), N(NtHeader), T(5), N(NtBody), T(22)}},
    {NtMoreProcessDecls, 2, {N(NtProcessDecl), N(NtMoreProcessDecls)}},
    {NtMoreProcessDecls, 0, {}},
    {NtBehaviour, 4, {T(6), N(NtHiddenGates), T(7), N(NtBehaviour)}},
    {NtBehaviour, 3, {N(NtBehaviour), T(8), N(NtBehaviour)}},
    {NtBehaviour, 3, {N(NtBehaviour), T(9), N(NtBehaviour)}},
    {NtBehaviour, 3, {N(NtBehaviour), N(NtParallelOp), N(NtBehaviour)}},
    {NtBehaviour, 3, {N(NtBehaviour), N(NtChoiceOp), N(NtBehaviour)}},
    {NtBehaviour, 3, {T(10), N(NtBehaviour), T(11)}},
    {NtBehaviour, 3, {N(NtActionName), T(12), N(NtBehaviour)}},
    {NtBehaviour, 1, {T(13)}},
    {NtBehaviour, 1, {T(14)}},
    {NtBehaviour, 4, {T(1), T(2), N(NtGates), T(4)}},
    {NtHiddenGates, 2, {T(1), N(NtMoreGates)}},
    {NtParallelOp, 1, {T(16)}},
    {NtParallelOp, 6, {T(18), T(2), T(1), N(NtMoreGates), T(4), T(18)}},
    {NtParallelOp, 1, {T(17)}},
    {NtChoiceOp, 2, {T(2), T(4)}},
    {NtActionName, 1, {T(1)}},
    {NtActionName, 1, {T(15)}},
};

int Height(const BehaviourNode* node) { return node ? node->height : 0; }

// Appends the calls of b after those of a.
void JoinCalls(ParseStackEntry& result, const ParseStackEntry& a, const ParseStackEntry& b) {
    result.calls = a.calls;
    result.callsTail = a.callsTail;
    if (!b.calls) return;
    if (result.callsTail) result.callsTail->next = b.calls;
    else result.calls = b.calls;
    result.callsTail = b.callsTail;
}

void TakeCalls(ParseStackEntry& result, const ParseStackEntry& from) {
    result.calls = from.calls;
    result.callsTail = from.callsTail;
}

}  // namespace

const RuleShape& RuleInfo(int rule) { return kRules[rule]; }

bool RuleMatchesStack(int rule, const std::vector<ParseStackEntry>& stack) {
    const RuleShape& shape = kRules[rule];
    if (stack.size() <= static_cast<std::size_t>(shape.length)) return false;
    const std::size_t base = stack.size() - static_cast<std::size_t>(shape.length);
    for (int i = 0; i < shape.length; ++i)
        if (stack[base + static_cast<std::size_t>(i)].symbol != shape.rhs[i]) return false;
    return true;
}

void SemanticActions::Report(const char* message, const Identifier32& name) {
    reporter_.ReportError(message, name, reader_.line());
}

bool SemanticActions::Declared(const Identifier32& name) const {
    return visibleIndex_.count(name) != 0 || NameIn(hiddenGates_, name) != nullptr;
}

void SemanticActions::SetVisibleGates(GateList gates, int count) {
    visibleGates_ = gates;
    visibleCount_ = count;
    visibleIndex_.clear();
    for (GateList g = gates; g; g = g->next) visibleIndex_.insert(g->name);
}

bool SemanticActions::HasDuplicate(GateList gates) const {
    std::unordered_set<Identifier32, Identifier32Hash> seen;
    for (GateList g = gates; g; g = g->next)
        if (!seen.insert(g->name).second) return true;
    return false;
}

void SemanticActions::CheckDeclared(GateList gates) {
    // One message line per undeclared gate.
    for (GateList g = gates; g; g = g->next)
        if (!Declared(g->name)) Report("Action non declarée", g->name);
}

ParseStackEntry SemanticActions::Reduce(int rule, const std::vector<ParseStackEntry>& stack) {
    auto e = [&stack](int depth) -> const ParseStackEntry& {
        return stack[stack.size() - 1 - static_cast<std::size_t>(depth)];
    };
    SyntaxArena& arena = compilation_.arena;
    ParseStackEntry result;
    switch (rule) {
    case 1:
    case 11: {  // SYSTEM|PROCESS Header := Body ENDSYS|ENDPROC
        const ParseStackEntry& header = e(3);
        const ParseStackEntry& body = e(1);
        ProcessDefinition* def = arena.NewDefinition();
        def->name = header.text;
        def->gates = header.gates;
        def->gateCount = header.count;
        def->children = body.definitions;
        def->behaviour = body.behaviour;
        if (body.nameSet >= 0 && nameSets_[static_cast<std::size_t>(body.nameSet)].count(def->name)) {
            Report("Définition dupliquée de processus", def->name);
        } else {
            def->calls = body.calls;
            for (ProcessDefinition* child = def->children; child; child = child->next) child->parent = def;
        }
        result.definitions = def;
        break;
    }
    case 2: {  // Header ::= id [ Gates ]
        const ParseStackEntry& gates = e(1);
        if (HasDuplicate(gates.gates)) Report("Déclaration dupliquée d'action", Identifier32());
        else SetVisibleGates(gates.gates, gates.count);
        result.text = e(3).text;
        result.gates = gates.gates;
        result.count = gates.count;
        break;
    }
    case 3:
    case 5:
    case 24: {  // Gates ::= id MoreGates | MoreGates ::= , id MoreGates | HiddenGates ::= id MoreGates
        const ParseStackEntry& more = e(0);
        result.gates = Cell(e(1).text, more.gates);
        result.count = more.count + 1;
        if (rule == 24) {
            if (HasDuplicate(result.gates)) {
                Report("Déclaration dupliquée d'action", Identifier32());
            } else {
                for (GateList g = result.gates; g; g = g->next) hiddenGates_ = Cell(g->name, hiddenGates_);
            }
        }
        break;
    }
    case 4: case 6: case 8: case 10: case 13:  // empty right-hand sides
        break;
    case 7:  // Body ::= Behaviour WherePart
        result.behaviour = e(1).behaviour;
        TakeCalls(result, e(1));
        result.definitions = e(0).definitions;
        result.nameSet = e(0).nameSet;
        break;
    case 9:
    case 12: {  // WHERE ProcessDecl MoreProcessDecls | ProcessDecl MoreProcessDecls
        ProcessDefinition* def = e(1).definitions;
        const ParseStackEntry& rest = e(0);
        def->next = rest.definitions;
        int set = rest.nameSet;
        if (set < 0) {
            set = static_cast<int>(nameSets_.size());
            nameSets_.emplace_back();
        }
        auto& names = nameSets_[static_cast<std::size_t>(set)];
        if (names.count(def->name)) Report("Définition dupliquée de processus", def->name);
        names.insert(def->name);
        result.definitions = def;
        result.nameSet = set;
        break;
    }
    case 14: {  // HIDE HiddenGates IN Behaviour
        const ParseStackEntry& hidden = e(2);
        for (int i = 0; i < hidden.count && hiddenGates_; ++i) hiddenGates_ = hiddenGates_->next;
        BehaviourNode* node = arena.NewNode(NodeKind::Hide);
        node->left = e(0).behaviour;
        node->gates = hidden.gates;
        node->height = Height(node->left) + 1;
        result.behaviour = node;
        TakeCalls(result, e(0));
        break;
    }
    case 15: case 16: case 17: case 18: {  // binary operators
        static constexpr NodeKind kinds[] = {NodeKind::Enable, NodeKind::Disable, NodeKind::Parallel,
                                             NodeKind::Choice};
        BehaviourNode* node = arena.NewNode(kinds[rule - 15]);
        node->left = e(2).behaviour;
        node->right = e(0).behaviour;
        if (rule == 17) node->gates = e(1).gates;
        node->height = std::max(Height(node->left), Height(node->right)) + 1;
        result.behaviour = node;
        JoinCalls(result, e(2), e(0));
        break;
    }
    case 19:  // ( Behaviour )
        result.behaviour = e(1).behaviour;
        TakeCalls(result, e(1));
        break;
    case 20: {  // ActionName ; Behaviour
        BehaviourNode* node = arena.NewNode(NodeKind::Prefix);
        node->gates = e(2).gates;
        node->right = e(0).behaviour;
        node->height = Height(node->right) + 1;
        result.behaviour = node;
        TakeCalls(result, e(0));
        break;
    }
    case 21: {  // NIL
        BehaviourNode* node = arena.NewNode(NodeKind::Stop);
        node->height = -1;
        result.behaviour = node;
        break;
    }
    case 22: {  // EXIT: the action delta followed by a stop
        BehaviourNode* stop = arena.NewNode(NodeKind::Stop);
        stop->height = -1;
        BehaviourNode* node = arena.NewNode(NodeKind::Prefix);
        node->gates = Cell(DeltaName());
        node->right = stop;
        node->height = 0;
        result.behaviour = node;
        break;
    }
    case 23: {  // id [ Gates ]: a process call
        const ParseStackEntry& actuals = e(1);
        ProcessCall* call = arena.NewCall();
        call->name = e(3).text;
        call->gateCount = actuals.count;
        call->line = reader_.line();
        CheckDeclared(actuals.gates);
        BehaviourNode* node = arena.NewNode(NodeKind::Call);
        node->gates = actuals.gates;
        node->height = 0;
        call->node = node;
        result.behaviour = node;
        result.calls = call;
        result.callsTail = call;
        break;
    }
    case 25:  // |||
        result.gates = Cell(DeltaName());
        break;
    case 26: {  // | [ id MoreGates ] |
        GateList listed = Cell(e(3).text, e(2).gates);
        CheckDeclared(listed);
        result.gates = Cell(DeltaName(), listed);
        break;
    }
    case 27:  // ||: delta, then the visible gates themselves (shared cells)
        result.gates = Cell(DeltaName(), visibleGates_);
        break;
    case 28:  // [ ]
        break;
    case 29:  // ActionName ::= id
        if (!Declared(e(0).text)) Report("Action non declarée", e(0).text);
        result.gates = Cell(e(0).text);
        break;
    case 30:  // ActionName ::= I
        result.gates = Cell(InternalName());
        break;
    default:
        break;
    }
    return result;
}

void SemanticActions::ResolveCalls(ProcessDefinition* system, CompileFlags& flags) {
    // Children of a definition by name, first in list order; built on demand.
    std::unordered_map<const ProcessDefinition*, std::unordered_map<Identifier32, ProcessDefinition*, Identifier32Hash>>
        childIndex;
    auto findChild = [&childIndex](const ProcessDefinition* x, const Identifier32& name) -> ProcessDefinition* {
        auto [it, inserted] = childIndex.try_emplace(x);
        if (inserted) {
            for (ProcessDefinition* c = x->children; c; c = c->next) it->second.try_emplace(c->name, c);
        }
        auto found = it->second.find(name);
        return found == it->second.end() ? nullptr : found->second;
    };
    auto fail = [&](const char* message, const ProcessCall* call) {
        reader_.setLine(call->line);
        flags.semanticSuccess = false;
        reporter_.ReportError(message, call->name, call->line);
    };

    // Pre-order: a definition, its children and their descendants, then its next siblings.
    std::vector<ProcessDefinition*> pending;
    if (system) pending.push_back(system);
    while (!pending.empty() && flags.semanticSuccess) {
        ProcessDefinition* d = pending.back();
        pending.pop_back();
        for (ProcessCall* call = d->calls; call; call = call->next) {
            ProcessDefinition* match = nullptr;
            bool isEnclosing = false;
            for (ProcessDefinition* x = d; x && !match; x = x->parent) {
                if (x->name == call->name) {
                    match = x;
                    isEnclosing = true;
                } else {
                    match = findChild(x, call->name);
                }
            }
            if (!match) {
                fail("Processus non declaré", call);
                return;
            }
            if (match->gateCount != call->gateCount) {
                fail(isEnclosing ? "Erreur sémantique" : "Nombre de paramètres incorrect", call);
                return;
            }
            call->node->process = match;
        }
        if (d->next) pending.push_back(d->next);
        if (d->children) pending.push_back(d->children);
    }
}

}  // namespace quarvo
