// The semantic actions of the grammar rules: they build the syntax tree and check declarations.
#pragma once

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "frontend/ErrorReport.h"
#include "frontend/SyntaxTree.h"

namespace quarvo {

class LineReader;

// One cell of the parse stack.
struct ParseStackEntry {
    std::int32_t state = 0;
    int symbol = -1;         // terminal code, or NonTerminalSymbol + column; -1 for the bottom
    Identifier32 text;       // token text of a shifted terminal; the name of a Header
    std::int32_t count = 0;  // number of gates in gates
    GateList gates = nullptr;
    ProcessDefinition* definitions = nullptr;
    ProcessCall* calls = nullptr;
    ProcessCall* callsTail = nullptr;  // last call of calls, so lists join in constant time
    BehaviourNode* behaviour = nullptr;
    int nameSet = -1;  // names of the definitions list, for the duplicate check
};

constexpr int RuleCount = 30;
constexpr int NonTerminalSymbol = 100;  // symbol of non-terminal n is NonTerminalSymbol + n

// Left-hand side (successor-table column), right-hand side length and symbols of each rule 1..30.
struct RuleShape {
    int lhs;
    int length;
    int rhs[6];
};
const RuleShape& RuleInfo(int rule);

// True when the top of stack holds exactly the right-hand side of rule; only
// a damaged table file can make it false.
bool RuleMatchesStack(int rule, const std::vector<ParseStackEntry>& stack);

class SemanticActions {
public:
    SemanticActions(Compilation& compilation, ErrorReporter& reporter, LineReader& reader)
        : compilation_(compilation), reporter_(reporter), reader_(reader) {}

    // Runs the action of rule over the entries on top of stack (the top is the
    // last symbol of the right-hand side) and returns the entry to push.
    ParseStackEntry Reduce(int rule, const std::vector<ParseStackEntry>& stack);

    // Binds every call to the definition it names, from the system definition
    // down; reports the first error with the line of the call.
    void ResolveCalls(ProcessDefinition* system, CompileFlags& flags);

private:
    bool Declared(const Identifier32& name) const;
    void SetVisibleGates(GateList gates, int count);
    bool HasDuplicate(GateList gates) const;
    void CheckDeclared(GateList gates);
    GateCell* Cell(const Identifier32& name, GateCell* next = nullptr) {
        return compilation_.arena.NewGate(name, next);
    }
    void Report(const char* message, const Identifier32& name);

    Compilation& compilation_;
    ErrorReporter& reporter_;
    LineReader& reader_;
    GateList visibleGates_ = nullptr;
    int visibleCount_ = 0;
    std::unordered_set<Identifier32, Identifier32Hash> visibleIndex_;
    GateList hiddenGates_ = nullptr;  // newest first
    std::vector<std::unordered_set<Identifier32, Identifier32Hash>> nameSets_;
};

}  // namespace quarvo
