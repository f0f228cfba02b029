// Writing the compiled specification as the OCaml program temp.ml.
#include "stemio/OcamlWriter.h"

#include "frontend/TextFile.h"

namespace quarvo {

int ProcessNumbering::NumberOf(const ProcessDefinition* definition) const {
    auto it = number.find(definition);
    return it == number.end() ? -1 : it->second;
}

ProcessNumbering NumberProcesses(const ProcessDefinition* system) {
    ProcessNumbering numbering;
    // A definition, then everything reached through its next chain, then its
    // children: the next link is popped first, the children after all of it.
    std::vector<const ProcessDefinition*> pending;
    if (system) pending.push_back(system);
    while (!pending.empty()) {
        const ProcessDefinition* d = pending.back();
        pending.pop_back();
        if (!numbering.number.emplace(d, static_cast<int>(numbering.order.size())).second) continue;
        numbering.order.push_back(d);
        if (d->children) pending.push_back(d->children);
        if (d->next) pending.push_back(d->next);
    }
    return numbering;
}

std::string OcamlGateList(const GateCell* list, bool leaveOutDelta) {
    std::string text = "[";
    for (const GateCell* g = list; g; g = g->next) {
        if (leaveOutDelta && g->name == DeltaName()) continue;
        text += '"';
        text += g->name.Text();
        text += '"';
        if (g->next) text += ';';
    }
    text += ']';
    return text;
}

std::string OcamlTerm(const BehaviourNode* behaviour, const ProcessNumbering& numbers) {
    // Nodes and literal pieces waiting to be written, the next one on top;
    // an explicit stack, since prefix chains may be thousands of nodes deep.
    struct Piece {
        const BehaviourNode* node = nullptr;
        std::string text;
    };
    std::vector<Piece> pending;
    auto text = [&pending](std::string s) { pending.push_back(Piece{nullptr, std::move(s)}); };
    auto node = [&pending](const BehaviourNode* n) {
        if (n) pending.push_back(Piece{n, {}});
    };
    // Pushes "head" L "," R tail, in reverse.
    auto binary = [&](const char* head, const BehaviourNode* n, std::string tail) {
        text(std::move(tail));
        node(n->right);
        text(",");
        node(n->left);
        text(head);
    };

    std::string out;
    node(behaviour);
    while (!pending.empty()) {
        Piece piece = std::move(pending.back());
        pending.pop_back();
        const BehaviourNode* n = piece.node;
        if (!n) {
            out += piece.text;
            continue;
        }
        switch (n->kind) {
        case NodeKind::Prefix:
            if (!n->gates) break;
            if (n->gates->name == DeltaName()) {
                out += "Exit";
                break;
            }
            out += "Préfixe(\"" + n->gates->name.Text() + "\",";
            text(")");
            node(n->right);
            break;
        case NodeKind::Choice:
            binary("Choix(", n, ")");
            break;
        case NodeKind::Disable:
            binary("Interruption(", n, ")");
            break;
        case NodeKind::Enable:
            binary("Séquence(", n, ")");
            break;
        case NodeKind::Parallel:
            binary("Parallèlisme(", n, "," + OcamlGateList(n->gates, true) + ")");
            break;
        case NodeKind::Hide:
            out += "Hide(" + OcamlGateList(n->gates, true) + ",";
            text(")");
            node(n->left);
            break;
        case NodeKind::Call:
            out += "Appel(" + OcamlGateList(n->gates, true) + "," + std::to_string(numbers.NumberOf(n->process)) + ")";
            break;
        case NodeKind::Stop:
            out += "Stop";
            break;
        }
    }
    return out;
}

std::string OcamlDefinitionEntry(const ProcessDefinition& definition, const ProcessNumbering& numbers) {
    return "(" + std::to_string(numbers.NumberOf(&definition)) + "," + OcamlGateList(definition.gates, false) + "," +
           OcamlTerm(definition.behaviour, numbers) + ")";
}

std::vector<std::string> OcamlProgramLines(const Compilation* compilation, OcamlOutput output, OcamlFormat format) {
    std::vector<std::string> lines;
    if (!compilation || !compilation->compileOk || !compilation->systemDefinition) return lines;
    if (output == OcamlOutput::Gpm) format = OcamlFormat::Dot;
    const ProcessNumbering numbers = NumberProcesses(compilation->systemDefinition);
    lines.push_back(output == OcamlOutput::AlphaReduced ? "open Calventosource" : "open LotosGPM");
    lines.push_back("let sys=[");
    for (std::size_t i = 0; i < numbers.order.size(); ++i) {
        std::string entry = OcamlDefinitionEntry(*numbers.order[i], numbers);
        entry += i + 1 < numbers.order.size() ? ";" : "];;";
        lines.push_back(std::move(entry));
    }
    lines.push_back(format == OcamlFormat::Stem
                        ? "let test=fun(système)-> quarvo_stem(système,Sys.argv.(1));;test(sys);;"
                        : "let test=fun(système)->dot_stem(système,Sys.argv.(1));;test(sys);;");
    return lines;
}

std::string OcamlProgramBytes(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += "\r\n";
        text += lines[i];
    }
    return EncodeWindows1252(text);
}

Status WriteOcamlProgram(const std::string& path, const Compilation* compilation, OcamlOutput output,
                         OcamlFormat format) {
    return WriteFileAtomically(path, OcamlProgramBytes(OcamlProgramLines(compilation, output, format)));
}

}  // namespace quarvo
