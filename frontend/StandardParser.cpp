// Recursive-descent reader of the standard syntax of basic LOTOS.
//
// Precedence, from the loosest: the binders (hide, choice, par), which extend
// as far to the right as they can; ">>"; "[>"; the parallel operators; "[]";
// the action prefix ";". Binary operators group to the left. Gate choice and
// gate parallelism are expanded here, by reading their body once per gate.
#include "frontend/StandardParser.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "frontend/Functionality.h"
#include "frontend/StandardLexer.h"

namespace quarvo {
namespace {

// Thrown after the first error has been reported; caught by Read.
struct ReadAborted {};

enum class Declared { None, Exit, Noexit };

struct FunctionalityNote {
    ProcessDefinition* definition;
    bool isSystem;
    int line;
};

int Height(const BehaviourNode* node) { return node ? node->height : 0; }

class StandardReader {
public:
    StandardReader(StdTokens tokens, Compilation& compilation, ErrorReporter& reporter,
                   const std::function<bool()>& memoryLow)
        : tokens_(std::move(tokens)), arena_(compilation.arena), reporter_(reporter),
          memoryLow_(memoryLow), gateMarks_(tokens_.NameCount(), 0), processMarks_(tokens_.NameCount(), 0) {}

    // The system definition, or null after an error.
    ProcessDefinition* Read() {
        try {
            ProcessDefinition* system = Specification();
            Resolve(system);
            WarnFunctionalities(system);
            return system;
        } catch (const ReadAborted&) {
            return nullptr;
        }
    }

private:
    // A gate name of the current scope: a formal gate, a hidden gate, or the
    // variable of a gate choice or gate parallelism, which stands for a gate.
    struct Binding {
        Identifier32 name;
        Identifier32 gate;
        bool hidden;
    };
    // The definition being read and where its calls go.
    struct DefinitionScope {
        ProcessDefinition* definition;
        ProcessCall** callsTail;
    };

    const StdLexeme& Peek(std::size_t ahead = 0) const {
        return tokens_[std::min(position_ + ahead, tokens_.size() - 1)];
    }
    bool At(StdToken kind, std::size_t ahead = 0) const { return Peek(ahead).kind == kind; }
    const Identifier32& Name(const StdLexeme& token) const { return tokens_.Name(token); }
    // Marks a gate as declared in list; false when the list declared it already.
    bool MarkGate(std::uint32_t list, const StdLexeme& name) {
        std::uint32_t& mark = gateMarks_[name.name];
        if (mark == list) return false;
        mark = list;
        return true;
    }
    const StdLexeme& Take() {
        const StdLexeme& t = Peek();
        if (position_ < tokens_.size() - 1) ++position_;
        return t;
    }

    [[noreturn]] void Fail(const std::string& message, const StdLexeme& at, const Identifier32& name = Identifier32()) {
        reporter_.ReportError(message, name, at.line, at.column);
        throw ReadAborted{};
    }
    [[noreturn]] void Refuse(const char* construct, const StdLexeme& at) {
        Fail(std::string("LOTOS complet non pris en charge : ") + construct, at);
    }
    const StdLexeme& Expect(StdToken kind, const char* message) {
        if (!At(kind)) Unexpected(message);
        return Take();
    }
    // Reports the token at hand: by the construct of full LOTOS it starts
    // when it starts one, otherwise with message.
    [[noreturn]] void Unexpected(const char* message) {
        const StdLexeme& t = Peek();
        switch (t.kind) {
        case StdToken::DataKeyword: Refuse("types de données", t);
        case StdToken::Question: Refuse("offres ?x:T", t);
        case StdToken::Exclamation: Refuse("offres !E", t);
        case StdToken::Let: Refuse("let", t);
        case StdToken::Accept: Refuse("accept", t);
        case StdToken::Any: Refuse("any", t);
        case StdToken::Number: case StdToken::Other: case StdToken::Equal: case StdToken::Arrow:
            Refuse("expressions de données", t);
        default: Fail(message, t);
        }
    }

    // Functionality ::= ":" (exit | noexit), optional.
    Declared Functionality(int& line) {
        if (!At(StdToken::Colon)) return Declared::None;
        Take();
        line = Peek().line;
        if (At(StdToken::Noexit)) {
            Take();
            return Declared::Noexit;
        }
        if (At(StdToken::Exit)) {
            Take();
            if (At(StdToken::OpenParen)) Refuse("exit(…)", Peek());
            return Declared::Exit;
        }
        Unexpected("\"exit\" ou \"noexit\" manquant");
    }

    // "[" g1, … "]", optional; the names of a header.
    GateList FormalGates(std::int32_t& count) {
        count = 0;
        if (!At(StdToken::OpenBracket)) return nullptr;
        Take();
        GateList first = nullptr;
        GateCell** tail = &first;
        const std::uint32_t list = ++gateLists_;
        if (!At(StdToken::CloseBracket)) {
            for (;;) {
                const StdLexeme& name = Expect(StdToken::Identifier, "Identificateur manquant");
                if (!MarkGate(list, name)) Fail("Déclaration dupliquée d'action", name);
                *tail = arena_.NewGate(Name(name));
                tail = &(*tail)->next;
                ++count;
                if (!At(StdToken::Comma)) break;
                Take();
            }
        }
        Expect(StdToken::CloseBracket, "\"]\" manquant");
        return first;
    }

    ProcessDefinition* Specification() {
        if (!At(StdToken::Specification)) Unexpected("\"specification\" manquant");
        Take();
        const StdLexeme& name = Expect(StdToken::Identifier, "Identificateur manquant");
        ProcessDefinition* def = arena_.NewDefinition();
        def->name = Name(name);
        def->gates = FormalGates(def->gateCount);
        if (At(StdToken::OpenParen)) Refuse("paramètres de valeur", Peek());
        int line = 0;
        const Declared declared = Functionality(line);
        if (declared == Declared::Noexit) notes_.push_back({def, true, line});
        if (!At(StdToken::Behaviour)) Unexpected("\"behaviour\" manquant");
        Take();
        Body(def, StdToken::Endspec);
        Expect(StdToken::Endspec, "\"endspec\" manquant");
        if (!At(StdToken::End)) Unexpected("Symbole en trop après \"endspec\"");
        return def;
    }

    // Behaviour ["where" definitions], then the closing keyword is next.
    void Body(ProcessDefinition* def, StdToken closing) {
        const Nested nested(*this);
        std::vector<Binding> outer;
        outer.swap(bindings_);
        for (GateList g = def->gates; g; g = g->next) bindings_.push_back({g->name, g->name, false});
        const DefinitionScope saved = current_;
        current_ = DefinitionScope{def, &def->calls};
        def->behaviour = Behaviour();
        current_ = saved;
        bindings_.swap(outer);
        if (At(StdToken::Where)) {
            Take();
            ProcessDefinition** tail = &def->children;
            // The marks this list overwrote, put back when it ends: the
            // names of a nested list do not hide those of this one.
            const std::uint32_t list = ++processLists_;
            std::vector<std::pair<std::uint32_t, std::uint32_t>> overwritten;
            do {
                if (At(StdToken::DataKeyword)) Refuse("types de données", Peek());
                if (!At(StdToken::Process)) Unexpected("\"process\" manquant");
                Take();
                const StdLexeme& name = Expect(StdToken::Identifier, "Identificateur manquant");
                std::uint32_t& mark = processMarks_[name.name];
                if (mark == list || Name(name) == def->name)
                    Fail("Définition dupliquée de processus", name, Name(name));
                overwritten.emplace_back(name.name, mark);
                mark = list;
                ProcessDefinition* child = Process(name);
                child->parent = def;
                *tail = child;
                tail = &child->next;
            } while (At(StdToken::Process) || At(StdToken::DataKeyword));
            for (auto it = overwritten.rbegin(); it != overwritten.rend(); ++it) processMarks_[it->first] = it->second;
        }
        if (!At(closing)) {
            Unexpected(closing == StdToken::Endspec ? "\"endspec\" manquant" : "\"endproc\" manquant");
        }
    }

    // The rest of "process" NAME [gates] : functionality := body endproc.
    ProcessDefinition* Process(const StdLexeme& name) {
        ProcessDefinition* def = arena_.NewDefinition();
        def->name = Name(name);
        def->gates = FormalGates(def->gateCount);
        if (At(StdToken::OpenParen)) Refuse("paramètres de valeur", Peek());
        int line = 0;
        const Declared declared = Functionality(line);
        if (declared == Declared::Noexit) notes_.push_back({def, false, line});
        Expect(StdToken::Define, "\":=\" manquant");
        Body(def, StdToken::Endproc);
        Expect(StdToken::Endproc, "\"endproc\" manquant");
        return def;
    }

    // ---- Behaviour expressions, loosest first.

    BehaviourNode* Binary(NodeKind kind, BehaviourNode* left, BehaviourNode* right, GateList gates = nullptr) {
        BehaviourNode* node = arena_.NewNode(kind);
        node->left = left;
        node->right = right;
        node->gates = gates;
        node->height = std::max(Height(left), Height(right)) + 1;
        return node;
    }

    // Parentheses, binders and nested definitions nest the reader's calls:
    // beyond this depth the text is refused rather than the stack exhausted.
    struct Nested {
        explicit Nested(StandardReader& r) : reader(r) {
            if (++reader.depth_ > MaxSpecificationNesting) reader.Fail("Expression trop imbriquée", reader.Peek());
        }
        ~Nested() { --reader.depth_; }
        StandardReader& reader;
    };

    BehaviourNode* Behaviour() {
        const Nested nested(*this);
        BehaviourNode* left = Disabling();
        while (At(StdToken::Enable)) {
            Take();
            if (At(StdToken::Accept)) Refuse("accept", Peek());
            left = Binary(NodeKind::Enable, left, Disabling());
        }
        return left;
    }

    BehaviourNode* Disabling() {
        BehaviourNode* left = Parallel();
        while (At(StdToken::Disable)) {
            Take();
            left = Binary(NodeKind::Disable, left, Parallel());
        }
        return left;
    }

    bool AtParallelOperator() const {
        return At(StdToken::Interleave) || At(StdToken::FullSync) ||
               (At(StdToken::Bar) && At(StdToken::OpenBracket, 1));
    }

    BehaviourNode* Parallel() {
        BehaviourNode* left = Choice();
        while (AtParallelOperator()) {
            GateList gates = ParallelOperator();
            left = Binary(NodeKind::Parallel, left, Choice(), gates);
        }
        return left;
    }

    // The synchronisation list of a parallel operator, delta first: the
    // standard's "||" synchronises on every gate in scope.
    GateList ParallelOperator() {
        const StdLexeme& op = Take();
        if (op.kind == StdToken::Interleave) return arena_.NewGate(DeltaName());
        if (op.kind == StdToken::FullSync) {
            const ProcessDefinition* def = current_.definition;
            bool anyHidden = false;
            for (const Binding& b : bindings_) anyHidden = anyHidden || b.hidden;
            // Without hidden gates, the formal gates themselves, as in our dialect.
            if (!anyHidden) return arena_.NewGate(DeltaName(), def->gates);
            std::vector<Identifier32> names;
            for (GateList g = def->gates; g; g = g->next) names.push_back(g->name);
            for (const Binding& b : bindings_)
                if (b.hidden && std::find(names.begin(), names.end(), b.gate) == names.end()) names.push_back(b.gate);
            GateList list = nullptr;
            for (auto it = names.rbegin(); it != names.rend(); ++it) list = arena_.NewGate(*it, list);
            return arena_.NewGate(DeltaName(), list);
        }
        // "|" "[" g1, … "]" "|"
        Take();
        GateList first = nullptr;
        GateCell** tail = &first;
        if (!At(StdToken::CloseBracket)) {
            for (;;) {
                if (!At(StdToken::Identifier)) Unexpected("Identificateur manquant");
                *tail = arena_.NewGate(Gate(Take()));
                tail = &(*tail)->next;
                if (!At(StdToken::Comma)) break;
                Take();
            }
        }
        Expect(StdToken::CloseBracket, "\"]\" manquant");
        Expect(StdToken::Bar, "\"|\" manquant");
        return arena_.NewGate(DeltaName(), first);
    }

    bool AtChoiceOperator() const { return At(StdToken::OpenBracket) && At(StdToken::CloseBracket, 1); }

    BehaviourNode* Choice() {
        BehaviourNode* left = Prefix();
        while (AtChoiceOperator()) {
            Take();
            Take();
            left = Binary(NodeKind::Choice, left, Prefix());
        }
        return left;
    }

    // The gate a name of the behaviour stands for, innermost binding first.
    Identifier32 Gate(const StdLexeme& name) {
        for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it)
            if (it->name == Name(name)) return it->gate;
        Fail("Action non declarée", name, Name(name));
    }

    // The action of a prefix starting here ("g ;" or "i ;"), or false.
    bool PrefixAction(Identifier32& action) {
        if (At(StdToken::Identifier) && At(StdToken::Semicolon, 1)) {
            action = Gate(Take());
        } else if (At(StdToken::Internal)) {
            Take();
            if (At(StdToken::Question)) Refuse("offres ?x:T", Peek());
            if (At(StdToken::Exclamation)) Refuse("offres !E", Peek());
            if (!At(StdToken::Semicolon)) Unexpected("\";\" manquant");
            action = InternalName();
        } else {
            return false;
        }
        Take();  // ";"
        return true;
    }

    // A chain of prefixes a ; b ; … and what ends it, read in a loop: the
    // chains of a long text must not nest the reader's calls.
    BehaviourNode* Prefix() {
        std::vector<Identifier32> actions;
        Identifier32 action;
        while (PrefixAction(action)) actions.push_back(action);
        BehaviourNode* node = Primary();
        for (auto it = actions.rbegin(); it != actions.rend(); ++it) {
            BehaviourNode* prefix = arena_.NewNode(NodeKind::Prefix);
            prefix->gates = arena_.NewGate(*it);
            prefix->right = node;
            prefix->height = Height(node) + 1;
            node = prefix;
        }
        return node;
    }

    BehaviourNode* Primary() {
        const StdLexeme& t = Peek();
        switch (t.kind) {
        case StdToken::Identifier:
            if (At(StdToken::Question, 1)) Refuse("offres ?x:T", Peek(1));
            if (At(StdToken::Exclamation, 1)) Refuse("offres !E", Peek(1));
            return Call();
        case StdToken::Stop: {
            Take();
            BehaviourNode* node = arena_.NewNode(NodeKind::Stop);
            node->height = -1;
            return node;
        }
        case StdToken::Exit: {
            Take();
            if (At(StdToken::OpenParen)) Refuse("exit(…)", Peek());
            BehaviourNode* stop = arena_.NewNode(NodeKind::Stop);
            stop->height = -1;
            BehaviourNode* node = arena_.NewNode(NodeKind::Prefix);
            node->gates = arena_.NewGate(DeltaName());
            node->right = stop;
            node->height = 0;
            return node;
        }
        case StdToken::OpenParen: {
            Take();
            BehaviourNode* inner = Behaviour();
            Expect(StdToken::CloseParen, "\")\" manquant");
            return inner;
        }
        case StdToken::Hide: return Hide();
        case StdToken::Choice: return GateChoice();
        case StdToken::Par: return GateParallel();
        case StdToken::OpenBracket: Refuse("gardes [E] ->", t);
        default: Unexpected("Expression de comportement incorrecte");
        }
    }

    // NAME ["[" gates "]"]: a process call; the definition is bound later.
    BehaviourNode* Call() {
        const StdLexeme& name = Take();
        BehaviourNode* node = arena_.NewNode(NodeKind::Call);
        node->height = 0;
        std::int32_t count = 0;
        if (At(StdToken::OpenBracket) && !AtChoiceOperator()) {
            const StdLexeme& open = Take();
            GateCell** tail = &node->gates;
            for (;;) {
                if (!At(StdToken::Identifier) || !(At(StdToken::Comma, 1) || At(StdToken::CloseBracket, 1)))
                    Refuse("prédicats de sélection", open);
                *tail = arena_.NewGate(Gate(Take()));
                tail = &(*tail)->next;
                ++count;
                if (!At(StdToken::Comma)) break;
                Take();
            }
            Take();  // "]"
            if (At(StdToken::Semicolon)) Refuse("prédicats de sélection", open);
        }
        if (At(StdToken::OpenParen)) Refuse("paramètres de valeur", Peek());
        ProcessCall* call = arena_.NewCall();
        call->name = Name(name);
        call->gateCount = count;
        call->line = name.line;
        call->column = name.column;
        call->node = node;
        *current_.callsTail = call;
        current_.callsTail = &call->next;
        return node;
    }

    BehaviourNode* Hide() {
        Take();
        GateList first = nullptr;
        GateCell** tail = &first;
        const std::uint32_t list = ++gateLists_;
        const std::size_t base = bindings_.size();
        for (;;) {
            const StdLexeme& name = Expect(StdToken::Identifier, "Identificateur manquant");
            if (!MarkGate(list, name)) Fail("Déclaration dupliquée d'action", name);
            *tail = arena_.NewGate(Name(name));
            tail = &(*tail)->next;
            if (!At(StdToken::Comma)) break;
            Take();
        }
        if (At(StdToken::Colon)) Refuse("types de données", Peek());
        Expect(StdToken::In, "\"in\" manquant");
        for (GateList g = first; g; g = g->next) bindings_.push_back({g->name, g->name, true});
        BehaviourNode* node = arena_.NewNode(NodeKind::Hide);
        node->gates = first;
        node->left = Behaviour();
        node->height = Height(node->left) + 1;
        bindings_.resize(base);
        return node;
    }

    struct GateDeclaration {
        Identifier32 variable;
        std::vector<Identifier32> gates;
    };

    // g in [a, …] {, h in [b, …]}: the gates resolved in the enclosing scope.
    std::vector<GateDeclaration> GateDeclarations(const char* valueConstruct) {
        std::vector<GateDeclaration> declarations;
        for (;;) {
            const StdLexeme& name = Expect(StdToken::Identifier, "Identificateur manquant");
            if (At(StdToken::Colon) || At(StdToken::Comma)) Refuse(valueConstruct, Peek());
            Expect(StdToken::In, "\"in\" manquant");
            Expect(StdToken::OpenBracket, "\"[\" manquant");
            GateDeclaration d{Name(name), {}};
            for (;;) {
                if (!At(StdToken::Identifier)) Unexpected("Identificateur manquant");
                d.gates.push_back(Gate(Take()));
                if (!At(StdToken::Comma)) break;
                Take();
            }
            Expect(StdToken::CloseBracket, "\"]\" manquant");
            declarations.push_back(std::move(d));
            if (!At(StdToken::Comma)) break;
            Take();
        }
        return declarations;
    }

    // Reads the body that starts here once with each variable bound to its gate.
    BehaviourNode* Instance(std::size_t start, const std::vector<GateDeclaration>& declarations,
                            const std::vector<std::size_t>& choice) {
        // Nested expansions multiply: their size is bounded by the memory alone.
        if (memoryLow_ && arena_.NodeCount() >= nextMemoryLook_) {
            nextMemoryLook_ = arena_.NodeCount() + NodesBetweenMemoryLooks;
            if (memoryLow_())
                Fail("Mémoire insuffisante pour développer les choix et parallélismes sur des portes", Peek());
        }
        position_ = start;
        const std::size_t base = bindings_.size();
        for (std::size_t k = 0; k < declarations.size(); ++k)
            bindings_.push_back({declarations[k].variable, declarations[k].gates[choice[k]], false});
        BehaviourNode* body = Behaviour();
        bindings_.resize(base);
        return body;
    }

    // choice g in [a, b, …] [] B: B with g the gate a, [] B with g the gate b, …
    // (every combination when several variables are declared).
    BehaviourNode* GateChoice() {
        Take();
        std::vector<GateDeclaration> declarations = GateDeclarations("choix de valeurs");
        if (!AtChoiceOperator()) Unexpected("\"[]\" manquant");
        Take();
        Take();
        const std::size_t start = position_;
        std::vector<std::size_t> choice(declarations.size(), 0);
        BehaviourNode* result = nullptr;
        for (;;) {
            BehaviourNode* body = Instance(start, declarations, choice);
            result = result ? Binary(NodeKind::Choice, result, body) : body;
            std::size_t k = declarations.size();
            while (k > 0 && ++choice[k - 1] == declarations[k - 1].gates.size()) choice[--k] = 0;
            if (k == 0) break;
        }
        return result;
    }

    // par g in [a, b, …] OP B: B with g the gate a, OP B with g the gate b, …
    // (several variables take their gates side by side).
    BehaviourNode* GateParallel() {
        const StdLexeme& keyword = Take();
        std::vector<GateDeclaration> declarations = GateDeclarations("parallélisme sur des valeurs");
        for (const GateDeclaration& d : declarations)
            if (d.gates.size() != declarations.front().gates.size())
                Fail("Listes de portes de longueurs différentes", keyword);
        if (!AtParallelOperator()) Unexpected("Opérateur parallèle manquant");
        const std::size_t operatorAt = position_;
        GateList gates = ParallelOperator();
        const std::size_t start = position_;
        BehaviourNode* result = nullptr;
        for (std::size_t i = 0; i < declarations.front().gates.size(); ++i) {
            BehaviourNode* body = Instance(start, declarations, std::vector<std::size_t>(declarations.size(), i));
            if (!result) {
                result = body;
                continue;
            }
            // Each composition has a list of its own, as if written out.
            if (i > 1) {
                const std::size_t end = position_;
                position_ = operatorAt;
                gates = ParallelOperator();
                position_ = end;
            }
            result = Binary(NodeKind::Parallel, result, body, gates);
        }
        return result;
    }

    // ---- After the text: calls and functionalities.

    // Each call bound to the definition its name reaches: the enclosing
    // definitions, each before its children, the nearest first. The children
    // of a definition are indexed by name once, so that a long chain of
    // definitions resolves in linear time.
    void Resolve(ProcessDefinition* system) {
        std::unordered_map<const ProcessDefinition*,
                           std::unordered_map<Identifier32, ProcessDefinition*, Identifier32Hash>>
            childIndex;
        auto findChild = [&childIndex](const ProcessDefinition* x, const Identifier32& name) -> ProcessDefinition* {
            if (!x->children) return nullptr;
            auto [it, inserted] = childIndex.try_emplace(x);
            if (inserted)
                for (ProcessDefinition* c = x->children; c; c = c->next) it->second.try_emplace(c->name, c);
            auto found = it->second.find(name);
            return found == it->second.end() ? nullptr : found->second;
        };
        std::vector<ProcessDefinition*> pending{system};
        while (!pending.empty()) {
            ProcessDefinition* d = pending.back();
            pending.pop_back();
            for (ProcessCall* call = d->calls; call; call = call->next) {
                ProcessDefinition* match = nullptr;
                for (ProcessDefinition* x = d; x && !match; x = x->parent) {
                    if (x->name == call->name) {
                        match = x;
                        break;
                    }
                    match = findChild(x, call->name);
                }
                if (!match) {
                    reporter_.ReportError("Processus non declaré", call->name, call->line, call->column);
                    throw ReadAborted{};
                }
                if (match->gateCount != call->gateCount) {
                    reporter_.ReportError("Nombre de paramètres incorrect", call->name, call->line, call->column);
                    throw ReadAborted{};
                }
                call->node->process = match;
            }
            for (ProcessDefinition* c = d->children; c; c = c->next) pending.push_back(c);
        }
    }

    void WarnFunctionalities(const ProcessDefinition* system) {
        if (notes_.empty()) return;
        const auto terminating = TerminatingDefinitions(system);
        for (const FunctionalityNote& note : notes_) {
            auto it = terminating.find(note.definition);
            if (it == terminating.end() || !it->second) continue;
            const std::string name = note.definition->name.Text();
            reporter_.Append("(ligne:" + std::to_string(note.line) + ") Avertissement : " +
                             (note.isSystem ? "la spécification " + name + " est déclarée"
                                            : "le processus " + name + " est déclaré") +
                             " noexit mais peut se terminer par exit.");
        }
    }

    StdTokens tokens_;
    std::size_t position_ = 0;
    SyntaxArena& arena_;
    ErrorReporter& reporter_;
    std::vector<Binding> bindings_;
    DefinitionScope current_{nullptr, nullptr};
    std::vector<FunctionalityNote> notes_;
    int depth_ = 0;
    const std::function<bool()>& memoryLow_;
    // Per name, the last list of gates, or of processes, that declared it.
    std::vector<std::uint32_t> gateMarks_, processMarks_;
    std::uint32_t gateLists_ = 0, processLists_ = 0;
    static constexpr std::size_t NodesBetweenMemoryLooks = std::size_t{1} << 16;
    std::size_t nextMemoryLook_ = NodesBetweenMemoryLooks;
};

}  // namespace

std::shared_ptr<Compilation> CompileStandardText(const LineSource& source, ErrorReporter& reporter,
                                                 CompileFlags& flags, const std::function<bool()>& memoryLow) {
    flags = CompileFlags{};
    reporter.status = "Pas d'erreurs";
    auto compilation = std::make_shared<Compilation>();
    StdLexResult lexed = LexStandard(source);
    if (!lexed.ok) {
        reporter.ReportError(lexed.error.message, Identifier32(), lexed.error.line, lexed.error.column);
        return compilation;
    }
    StandardReader reader(std::move(lexed.tokens), *compilation, reporter, memoryLow);
    ProcessDefinition* system = reader.Read();
    if (system && flags.success) {
        compilation->systemDefinition = system;
        compilation->rootBehaviour = system->behaviour;
        compilation->compileOk = true;
    }
    return compilation;
}

}  // namespace quarvo
