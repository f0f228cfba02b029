// The writer of the standard syntax, the other direction of the standard reader.
#include "frontend/StandardWriter.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "frontend/Functionality.h"
#include "frontend/StandardLexer.h"
#include "frontend/StandardParser.h"
#include "frontend/Tokens.h"

namespace quarvo {
namespace {

// Lines stay within this width, far below what the dialect's reader takes, so
// that long gate lists and chains read back; indentation stops growing at
// MaxIndent levels, so that deep texts stay linear in size.
constexpr std::size_t LineWidth = 100;
constexpr int MaxIndent = 20;

// How tightly an expression binds, loosest first: its operand needs
// parentheses when it binds more loosely than its operator allows.
enum Level { LevelHide = 0, LevelEnable, LevelDisable, LevelParallel, LevelChoice, LevelPrefix };

Level LevelOf(const BehaviourNode* n) {
    if (!n) return LevelPrefix;
    switch (n->kind) {
    case NodeKind::Hide: return LevelHide;
    case NodeKind::Enable: return LevelEnable;
    case NodeKind::Disable: return LevelDisable;
    case NodeKind::Parallel: return LevelParallel;
    case NodeKind::Choice: return LevelChoice;
    default: return LevelPrefix;
    }
}

std::string GateNames(const GateCell* g) {
    std::string text;
    for (; g; g = g->next) text += (text.empty() ? "" : ", ") + g->name.Text();
    return text;
}

bool IsDialectKeyword(const Identifier32& name) {
    for (const KeywordEntry& keyword : KeywordTable)
        if (name == Identifier32::FromText(keyword.text)) return true;
    return false;
}

bool IsExit(const BehaviourNode* n) {
    return n && n->kind == NodeKind::Prefix && n->gates && n->gates->name == DeltaName();
}

// The words of one syntax.
struct Words {
    bool standard;
    const char* system;
    const char* process;
    const char* where;
    const char* endproc;
    const char* endspec;
    const char* stop;
    const char* exit;
    const char* internal;
    const char* hide;
    const char* in;
};

constexpr Words kStandard{true, "specification", "process", "where", "endproc", "endspec",
                          "stop", "exit", "i", "hide", "in"};
constexpr Words kDialect{false, "SYSTEM", "PROCESS", "WHERE", "ENDPROC", "ENDSYS",
                         "NIL", "EXIT", "I", "HIDE", "IN"};

class Writer {
public:
    Writer(const Compilation& compilation, const Words& words)
        : compilation_(compilation), words_(words),
          terminating_(TerminatingDefinitions(compilation.systemDefinition)) {}

    StandardText Write() {
        StandardText out;
        const ProcessDefinition* system = compilation_.systemDefinition;
        if (!system) {
            out.status = Failure{"Aucune spécification compilée à exporter."};
            return out;
        }
        Header(true, system, 0);
        if (words_.standard) Add(0, "behaviour");
        Body(system, 1);
        if (system->children) {
            Add(0, words_.where);
            Children(system, 1);
        }
        Add(0, words_.endspec);
        if (tooDeep_) {
            out.status = Failure{"Spécification trop imbriquée pour être exportée : plus de " +
                                 std::to_string(MaxSpecificationNesting) +
                                 " niveaux de parenthèses, de HIDE ou de WHERE."};
            return out;
        }
        if (!reserved_.IsBlank()) {
            out.status = Failure{"Le nom " + reserved_.Text() +
                                 (words_.standard ? " est un mot réservé du LOTOS standard : renommez-le."
                                                  : " est un mot réservé de la syntaxe SYSTEM … ENDSYS : renommez-le.")};
            return out;
        }
        out.lines = std::move(lines_);
        return out;
    }

private:
    // One line of text, broken at its blanks into lines of LineWidth at most
    // (the continuations indented one step more).
    void Add(int indent, const std::string& text) {
        const std::string margin(2 * static_cast<std::size_t>(std::min(indent, MaxIndent)), ' ');
        if (margin.size() + text.size() <= LineWidth) {
            lines_.push_back(margin + text);
            return;
        }
        std::string line = margin;
        bool empty = true;
        for (std::size_t start = 0; start <= text.size();) {
            std::size_t end = text.find(' ', start);
            if (end == std::string::npos) end = text.size();
            if (end > start) {
                if (!empty && line.size() + 1 + (end - start) > LineWidth) {
                    lines_.push_back(line);
                    line = margin + "  ";
                    empty = true;
                }
                if (!empty) line += ' ';
                line.append(text, start, end - start);
                empty = false;
            }
            start = end + 1;
        }
        if (!empty) lines_.push_back(line);
    }

    // One level of nesting, counted as the standard reader counts it; past
    // its bound nothing more is written and the export fails.
    struct Deeper {
        explicit Deeper(Writer& w) : writer(w) {
            if (++writer.depth_ > MaxSpecificationNesting) writer.tooDeep_ = true;
        }
        ~Deeper() { --writer.depth_; }
        Deeper(const Deeper&) = delete;
        Deeper& operator=(const Deeper&) = delete;
        Writer& writer;
    };
    // Remembers the first name the standard syntax would read as a keyword.
    void Check(const Identifier32& name) {
        if (reserved_.IsBlank() && (words_.standard ? IsStandardKeyword(name) : IsDialectKeyword(name)))
            reserved_ = name;
    }
    void CheckAll(const GateCell* g) {
        for (; g; g = g->next) Check(g->name);
    }

    void Header(bool system, const ProcessDefinition* def, int indent) {
        Check(def->name);
        CheckAll(def->gates);
        std::string text = std::string(system ? words_.system : words_.process) + " " + def->name.Text();
        // The dialect writes every gate list, the empty one too.
        if (def->gates || !words_.standard) text += " [" + GateNames(def->gates) + "]";
        if (words_.standard) {
            auto it = terminating_.find(def);
            text += (it != terminating_.end() && it->second) ? " : exit" : " : noexit";
        }
        if (!system || !words_.standard) text += " :=";
        Add(indent, text);
    }

    // The reader nests a body, then its behaviour.
    void Body(const ProcessDefinition* def, int indent) {
        const Deeper body(*this), behaviour(*this);
        if (tooDeep_) return;
        definition_ = def;
        hidden_.clear();
        if (def->behaviour) Expression(def->behaviour, indent);
        else Add(indent, words_.stop);
    }

    // The definitions of a WHERE part are read inside their parent's body.
    void Children(const ProcessDefinition* def, int indent) {
        const Deeper where(*this);
        if (tooDeep_) return;
        for (const ProcessDefinition* child = def->children; child && !tooDeep_; child = child->next) {
            Header(false, child, indent);
            Body(child, indent + 1);
            if (child->children) {
                Add(indent, words_.where);
                Children(child, indent + 1);
            }
            Add(indent, words_.endproc);
        }
    }

    // An operand, in parentheses when it binds more loosely than allowed.
    void Operand(const BehaviourNode* n, int indent, Level least) {
        if (LevelOf(n) >= least) {
            Expression(n, indent);
            return;
        }
        Add(indent, "(");
        {
            const Deeper parenthesis(*this);
            if (!tooDeep_) Expression(n, indent + 1);
        }
        Add(indent, ")");
    }

    std::string Atom(const BehaviourNode* n) const {
        if (!n || n->kind == NodeKind::Stop) return words_.stop;
        if (IsExit(n)) return words_.exit;
        if (n->kind == NodeKind::Call) {
            const std::string name = n->process ? n->process->name.Text() : std::string("?");
            return n->gates || !words_.standard ? name + " [" + GateNames(n->gates) + "]" : name;
        }
        return std::string();
    }

    std::string ParallelOperator(const BehaviourNode* n) const {
        const GateCell* listed = n->gates ? n->gates->next : nullptr;
        if (!listed) return "|||";
        // Our "||", on the gates of the definition: the standard's "||" means
        // the same as long as no hidden gate is in scope.
        if (listed == definition_->gates && (hidden_.empty() || !words_.standard)) return "||";
        return "|[" + GateNames(listed) + "]|";
    }

    void Expression(const BehaviourNode* n, int indent) {
        const std::string atom = Atom(n);
        if (!atom.empty()) {
            if (n && n->kind == NodeKind::Call) CheckAll(n->gates);
            Add(indent, atom);
            return;
        }
        switch (n->kind) {
        case NodeKind::Prefix: {
            std::string text;
            const BehaviourNode* tail = n;
            for (; tail && tail->kind == NodeKind::Prefix && !IsExit(tail); tail = tail->right) {
                const Identifier32& action = tail->gates->name;
                if (!(action == InternalName())) Check(action);
                text += (action == InternalName() ? std::string(words_.internal) : action.Text()) + " ; ";
            }
            const std::string end = Atom(tail);
            if (!end.empty()) {
                if (tail && tail->kind == NodeKind::Call) CheckAll(tail->gates);
                Add(indent, text + end);
            } else {
                text.pop_back();
                Add(indent, text);
                Operand(tail, indent, LevelPrefix);
            }
            return;
        }
        case NodeKind::Hide: {
            CheckAll(n->gates);
            Add(indent, std::string(words_.hide) + " " + GateNames(n->gates) + " " + words_.in);
            const std::size_t mark = hidden_.size();
            for (const GateCell* g = n->gates; g; g = g->next) hidden_.push_back(g->name);
            const Deeper body(*this);
            if (!tooDeep_) Expression(n->left, indent + 1);
            hidden_.resize(mark);
            return;
        }
        default: {
            // Left operands of the same level group without parentheses: the
            // left spine of a long chain is written in a loop, not by nesting.
            const Level level = LevelOf(n);
            std::vector<const BehaviourNode*> spine{n};
            while (LevelOf(spine.back()->left) == level) spine.push_back(spine.back()->left);
            Operand(spine.back()->left, indent, level);
            for (auto it = spine.rbegin(); it != spine.rend() && !tooDeep_; ++it) {
                Add(indent, OperatorText(*it));
                Operand((*it)->right, indent, static_cast<Level>(level + 1));
            }
            return;
        }
        }
    }

    std::string OperatorText(const BehaviourNode* n) {
        switch (n->kind) {
        case NodeKind::Choice: return "[]";
        case NodeKind::Disable: return "[>";
        case NodeKind::Enable: return ">>";
        default:
            CheckAll(n->gates ? n->gates->next : nullptr);
            return ParallelOperator(n);
        }
    }

    const Compilation& compilation_;
    const Words& words_;
    std::unordered_map<const ProcessDefinition*, bool> terminating_;
    std::vector<std::string> lines_;
    const ProcessDefinition* definition_ = nullptr;
    std::vector<Identifier32> hidden_;
    Identifier32 reserved_;
    int depth_ = 0;
    bool tooDeep_ = false;
};

}  // namespace

StandardText WriteStandardLotos(const Compilation& compilation) { return Writer(compilation, kStandard).Write(); }

StandardText WriteDialectLotos(const Compilation& compilation) { return Writer(compilation, kDialect).Write(); }

}  // namespace quarvo
