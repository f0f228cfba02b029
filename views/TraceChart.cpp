// The lifelines of a specification's parallel structure, the steps of a trace on them, and their SVG picture.
#include "views/TraceChart.h"

#include <algorithm>
#include <map>
#include <set>

namespace quarvo {

namespace {

using Renaming = std::map<std::string, std::string>;

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string Renamed(const Renaming& renaming, const std::string& gate) {
    const auto it = renaming.find(gate);
    return it == renaming.end() ? gate : it->second;
}

// A call's formal gates replaced by its actual ones, themselves renamed as the caller's are.
Renaming CallRenaming(const BehaviourNode& call, const Renaming& outer) {
    Renaming inner;
    const GateCell* formal = call.process ? call.process->gates : nullptr;
    for (const GateCell* actual = call.gates; formal && actual; formal = formal->next, actual = actual->next)
        inner[Upper(formal->name.Text())] = Renamed(outer, Upper(actual->name.Text()));
    return inner;
}

struct Leaf {
    const BehaviourNode* node;
    Renaming renaming;
};

class Flattener {
public:
    std::vector<Leaf> leaves;

    // Operands of parallel operators and hidings are opened; so is a call
    // whose body is one, at most a few calls deep and never the same process twice.
    void Open(const BehaviourNode* node, const Renaming& renaming, std::set<const ProcessDefinition*>& opened) {
        if (!node) return;
        if (node->kind == NodeKind::Hide) return Open(node->left, renaming, opened);
        if (node->kind == NodeKind::Parallel) {
            Open(node->left, renaming, opened);
            Open(node->right, renaming, opened);
            return;
        }
        if (node->kind == NodeKind::Call && node->process && opened.size() < 8 && !opened.count(node->process) &&
            IsComposition(node->process->behaviour)) {
            opened.insert(node->process);
            Open(node->process->behaviour, CallRenaming(*node, renaming), opened);
            opened.erase(node->process);
            return;
        }
        leaves.push_back({node, renaming});
    }

private:
    static bool IsComposition(const BehaviourNode* node) {
        while (node && node->kind == NodeKind::Hide) node = node->left;
        return node && node->kind == NodeKind::Parallel;
    }
};

// The gates a leaf may use, and whether it holds an internal action: its
// prefixes and the actual gates of its calls, without following the calls.
void GatesOf(const BehaviourNode* node, const Renaming& renaming, std::set<std::string>& gates, bool& internal,
             std::size_t depth = 0) {
    for (; node && depth < 100000; node = node->right, ++depth) {
        if (node->kind == NodeKind::Prefix && node->gates) {
            const Identifier32& name = node->gates->name;
            if (name == InternalName()) internal = true;
            else if (!(name == DeltaName())) gates.insert(Renamed(renaming, Upper(name.Text())));
        } else if (node->kind == NodeKind::Call) {
            for (const GateCell* g = node->gates; g; g = g->next) gates.insert(Renamed(renaming, Upper(g->name.Text())));
        }
        if (node->kind != NodeKind::Prefix) GatesOf(node->left, renaming, gates, internal, depth + 1);
    }
}

std::string LeafName(const Leaf& leaf, std::size_t position) {
    if (leaf.node->kind != NodeKind::Call) return "comportement " + std::to_string(position + 1);
    std::string name = leaf.node->process ? leaf.node->process->name.Text() : std::string("?");
    std::string gates;
    for (const GateCell* g = leaf.node->gates; g; g = g->next)
        gates += (gates.empty() ? "" : ", ") + Renamed(leaf.renaming, Upper(g->name.Text()));
    return name + " [" + gates + "]";
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"') out += "&quot;";
        else out += c;
    }
    return out;
}

}  // namespace

TraceChart ChartOf(const Compilation& compilation, const std::vector<std::string>& actions) {
    TraceChart chart;
    Flattener flat;
    std::set<const ProcessDefinition*> opened;
    flat.Open(compilation.rootBehaviour, {}, opened);
    std::vector<bool> internal;
    for (std::size_t i = 0; i < flat.leaves.size(); ++i) {
        std::set<std::string> gates;
        bool hasInternal = false;
        GatesOf(flat.leaves[i].node, flat.leaves[i].renaming, gates, hasInternal);
        chart.lifelines.push_back({LeafName(flat.leaves[i], i), {gates.begin(), gates.end()}});
        internal.push_back(hasInternal);
    }
    for (const std::string& action : actions) {
        ChartStep step;
        step.action = action;
        const std::string upper = Upper(action);
        std::string gate;
        if (upper == "I") {
            step.hidden = true;
        } else if (upper.rfind("I_", 0) == 0) {
            step.hidden = true;
            gate = upper.substr(2);
        } else if (upper != "DELTA" && upper != "EXIT") {
            gate = upper.substr(0, upper.find_first_of(" !?"));
        }
        for (std::size_t i = 0; i < chart.lifelines.size(); ++i) {
            const std::vector<std::string>& gates = chart.lifelines[i].gates;
            const bool takesPart = upper == "DELTA" || upper == "EXIT"  ? true
                                   : upper == "I"                      ? static_cast<bool>(internal[i])
                                                                       : std::binary_search(gates.begin(), gates.end(), gate);
            if (takesPart) step.lifelines.push_back(i);
        }
        chart.steps.push_back(std::move(step));
    }
    return chart;
}

std::string ChartSvg(const TraceChart& chart) {
    constexpr int Column = 170, Left = 30, Top = 20, HeadHeight = 34, Row = 34;
    const int columns = std::max<int>(1, static_cast<int>(chart.lifelines.size()));
    const int width = 2 * Left + Column * columns + 120;
    const int bottom = Top + HeadHeight + 20 + Row * static_cast<int>(chart.steps.size());
    const int height = bottom + 20;
    auto x = [&](std::size_t lifeline) { return Left + Column * static_cast<int>(lifeline) + Column / 2; };
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
                      std::to_string(height) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    for (std::size_t i = 0; i < chart.lifelines.size(); ++i) {
        const int cx = x(i);
        svg += "<g class=\"lifeline\"><rect x=\"" + std::to_string(cx - Column / 2 + 6) + "\" y=\"" +
               std::to_string(Top) + "\" width=\"" + std::to_string(Column - 12) + "\" height=\"" +
               std::to_string(HeadHeight - 6) + "\" fill=\"#eef3fb\" stroke=\"#4060a0\"/>";
        svg += "<text x=\"" + std::to_string(cx) + "\" y=\"" + std::to_string(Top + 18) +
               "\" text-anchor=\"middle\">" + Escaped(chart.lifelines[i].name) + "</text>";
        svg += "<line x1=\"" + std::to_string(cx) + "\" y1=\"" + std::to_string(Top + HeadHeight - 6) + "\" x2=\"" +
               std::to_string(cx) + "\" y2=\"" + std::to_string(bottom) +
               "\" stroke=\"#4060a0\" stroke-dasharray=\"4 3\"/></g>\n";
    }
    for (std::size_t k = 0; k < chart.steps.size(); ++k) {
        const ChartStep& step = chart.steps[k];
        const int y = Top + HeadHeight + 20 + Row * static_cast<int>(k);
        const std::string colour = step.hidden ? "#999999" : "#000000";
        const std::string label = std::to_string(k + 1) + ". " + Escaped(step.action);
        if (step.lifelines.empty()) {
            svg += "<text class=\"unplaced\" x=\"" + std::to_string(Left) + "\" y=\"" + std::to_string(y + 4) +
                   "\" font-style=\"italic\" fill=\"" + colour + "\">" + label + "</text>\n";
            continue;
        }
        const int from = x(step.lifelines.front()), to = x(step.lifelines.back());
        if (step.lifelines.size() > 1) {
            svg += "<line class=\"sync\" x1=\"" + std::to_string(from) + "\" y1=\"" + std::to_string(y) + "\" x2=\"" +
                   std::to_string(to) + "\" y2=\"" + std::to_string(y) + "\" stroke=\"" + colour +
                   "\" stroke-width=\"4\"/>\n";
        }
        for (const std::size_t l : step.lifelines)
            svg += "<circle class=\"step\" cx=\"" + std::to_string(x(l)) + "\" cy=\"" + std::to_string(y) +
                   "\" r=\"5\" fill=\"" + colour + "\"/>\n";
        svg += "<text x=\"" + std::to_string(to + 10) + "\" y=\"" + std::to_string(y - 6) + "\" fill=\"" + colour +
               "\">" + label + "</text>\n";
    }
    return svg + "</svg>\n";
}

}  // namespace quarvo
