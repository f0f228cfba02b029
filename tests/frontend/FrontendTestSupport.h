// Shared helpers of the front-end tests: compiling a text and printing a tree.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/Parser.h"
#include "tests/StatusTestSupport.h"

namespace quarvo::test {

inline const ParseTables& CommittedTables() {
    static const ParseTablesResult loaded = LoadParseTablesFrom(std::string(QUARVO_SOURCE_DIR) + "/tables");
    return loaded.tables;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

struct Compiled {
    std::vector<std::string> messages;
    CompileOutcome outcome;
    bool ok() const { return outcome.ok(); }
    const Compilation& tree() const { return *outcome.compilation; }
    BehaviourNode* root() const { return outcome.compilation->rootBehaviour; }
};

// Runs the compile command on text, one editor line per text line.
inline Compiled CompileText(const std::string& text) {
    std::vector<std::string> lines = Lines(text);
    VectorLineSource source(lines);
    VectorMessageSink sink;
    Compiled result;
    result.outcome = CompileSpecification(source, CommittedTables(), sink);
    result.messages = sink.lines;
    return result;
}

// The front end's own lines: the message list without the compile command's
// opening and closing lines.
inline std::vector<std::string> ErrorLines(const Compiled& c) {
    std::vector<std::string> errors;
    for (const std::string& line : c.messages)
        if (line.rfind("(ligne:", 0) == 0 || line.rfind("Nombre de lignes compilées :", 0) == 0)
            errors.push_back(line);
    return errors;
}

inline std::string GatesText(const GateCell* g) {
    std::string s;
    for (; g; g = g->next) s += (s.empty() ? "" : ",") + g->name.Text();
    return s;
}

// A fully parenthesised text of a behaviour, to check groupings.
inline std::string TreeText(const BehaviourNode* n) {
    if (!n) return "-";
    switch (n->kind) {
    case NodeKind::Prefix: return n->gates->name.Text() + ";" + TreeText(n->right);
    case NodeKind::Stop: return "NIL";
    case NodeKind::Call: return (n->process ? n->process->name.Text() : std::string("?")) + "[" + GatesText(n->gates) + "]";
    case NodeKind::Hide: return "(HIDE " + GatesText(n->gates) + " IN " + TreeText(n->left) + ")";
    case NodeKind::Choice: return "(" + TreeText(n->left) + " [] " + TreeText(n->right) + ")";
    case NodeKind::Disable: return "(" + TreeText(n->left) + " [> " + TreeText(n->right) + ")";
    case NodeKind::Enable: return "(" + TreeText(n->left) + " >> " + TreeText(n->right) + ")";
    case NodeKind::Parallel: return "(" + TreeText(n->left) + " |" + GatesText(n->gates) + "| " + TreeText(n->right) + ")";
    }
    return "?";
}

// Every definition's tree, in pre-order: two texts that read as the same
// specification give the same.
inline std::string AllTrees(const Compilation& c) {
    std::string text;
    std::vector<const ProcessDefinition*> pending{c.systemDefinition};
    while (!pending.empty()) {
        const ProcessDefinition* d = pending.back();
        pending.pop_back();
        text += d->name.Text() + "[" + GatesText(d->gates) + "] := " + TreeText(d->behaviour) + "\n";
        for (const ProcessDefinition* k = d->children; k; k = k->next) pending.push_back(k);
    }
    return text;
}

// Lines joined into one text, each ended.
inline std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    return text;
}

// A one-line specification around a behaviour, with gates A..H declared.
inline std::string Spec(const std::string& behaviour) {
    return "SYSTEM S [A, B, C, D, E, F, G, H] := " + behaviour + " ENDSYS";
}

}  // namespace quarvo::test
