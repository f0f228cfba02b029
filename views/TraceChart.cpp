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

// The parallel structure above the leaves: a leaf, or a composition of two
// parts with the gates it synchronises (renamed as the caller's are).
struct Part {
    std::size_t leaf = 0;          // a leaf's index, when left < 0
    std::int32_t left = -1;
    std::int32_t right = -1;
    std::set<std::string> synchronised;
};

class Flattener {
public:
    std::vector<Leaf> leaves;
    std::vector<Part> parts;

    // Operands of parallel operators and hidings are opened; so is a call
    // whose body is one, at most a few calls deep and never the same process
    // twice. Returns the part of node.
    std::int32_t Open(const BehaviourNode* node, const Renaming& renaming, std::set<const ProcessDefinition*>& opened) {
        if (node && node->kind == NodeKind::Hide) return Open(node->left, renaming, opened);
        // A composition that an interruption may end keeps its lifelines until
        // then; the interruption has a lifeline of its own beside them.
        const bool interrupted = node && node->kind == NodeKind::Disable && IsComposition(node->left);
        if (node && (node->kind == NodeKind::Parallel || interrupted)) {
            Part part;
            for (const GateCell* g = interrupted ? nullptr : node->gates; g; g = g->next)
                part.synchronised.insert(Renamed(renaming, Upper(g->name.Text())));
            part.left = Open(node->left, renaming, opened);
            part.right = Open(node->right, renaming, opened);
            parts.push_back(std::move(part));
            return static_cast<std::int32_t>(parts.size() - 1);
        }
        if (node && node->kind == NodeKind::Call && node->process && opened.size() < 8 && !opened.count(node->process) &&
            IsComposition(node->process->behaviour)) {
            opened.insert(node->process);
            const std::int32_t part = Open(node->process->behaviour, CallRenaming(*node, renaming), opened);
            opened.erase(node->process);
            return part;
        }
        Part part;
        part.leaf = leaves.size();
        leaves.push_back({node, renaming});
        parts.push_back(std::move(part));
        return static_cast<std::int32_t>(parts.size() - 1);
    }

private:
    static bool IsComposition(const BehaviourNode* node) {
        while (node && node->kind == NodeKind::Hide) node = node->left;
        return node && node->kind == NodeKind::Parallel;
    }
};

using Groups = std::vector<std::vector<std::size_t>>;

// The sets of lifelines that take a step together below part: a lifeline
// takes it alone when uses(lifeline); a composition joins its two sides'
// sets when it synchronises on gate, and keeps them apart otherwise.
// Stops growing past a few dozen sets: the step is then one of them all.
template <typename Uses>
Groups GroupsOf(const std::vector<Part>& parts, std::int32_t at, const std::string& gate, const Uses& uses) {
    constexpr std::size_t Limit = 64;
    const Part& part = parts[static_cast<std::size_t>(at)];
    if (part.left < 0) return uses(part.leaf) ? Groups{{part.leaf}} : Groups{};
    Groups left = GroupsOf(parts, part.left, gate, uses);
    Groups right = GroupsOf(parts, part.right, gate, uses);
    if (!part.synchronised.count(gate) || left.empty() || right.empty() || left.size() * right.size() > Limit) {
        left.insert(left.end(), right.begin(), right.end());
        return left;
    }
    Groups both;
    for (const auto& l : left)
        for (const auto& r : right) {
            both.push_back(l);
            both.back().insert(both.back().end(), r.begin(), r.end());
        }
    return both;
}

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
    const std::int32_t root = flat.Open(compilation.rootBehaviour, {}, opened);
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
        const bool everyone = upper == "DELTA" || upper == "EXIT";
        std::string gate;
        if (upper == "I") {
            step.hidden = true;
        } else if (upper.rfind("I_", 0) == 0) {
            step.hidden = true;
            gate = upper.substr(2);
        } else if (!everyone) {
            gate = upper.substr(0, upper.find_first_of(" !?"));
        }
        const auto uses = [&](std::size_t i) {
            if (everyone) return true;
            if (upper == "I") return static_cast<bool>(internal[i]);
            const std::vector<std::string>& gates = chart.lifelines[i].gates;
            return std::binary_search(gates.begin(), gates.end(), gate);
        };
        // An internal step is never synchronised; termination always is.
        const Groups groups = everyone ? Groups{} : GroupsOf(flat.parts, root, upper == "I" ? std::string() : gate, uses);
        step.oneOf = groups.size() > 1;
        for (std::size_t i = 0; i < chart.lifelines.size(); ++i)
            if (uses(i)) step.lifelines.push_back(i);
        chart.steps.push_back(std::move(step));
    }
    return chart;
}

TraceChart WholeSystemChart(const std::string& name, const std::vector<std::string>& actions) {
    TraceChart chart;
    chart.lifelines.push_back({name, {}});
    for (const std::string& action : actions) {
        ChartStep step;
        step.action = action;
        const std::string upper = Upper(action);
        step.hidden = upper == "I" || upper.rfind("I_", 0) == 0;
        step.lifelines.push_back(0);
        chart.steps.push_back(std::move(step));
    }
    return chart;
}

ComparisonCharts ChartsOfDistinction(const Compilation* first, const Compilation* second,
                                     const std::vector<std::string>& trace, bool traceOfFirst, bool lastStepMissing) {
    const auto chart = [&](const Compilation* compilation) {
        return compilation ? ChartOf(*compilation, trace) : WholeSystemChart("système", trace);
    };
    ComparisonCharts charts{chart(first), chart(second), "Premier système", "Second système"};
    TraceChart& short_ = traceOfFirst ? charts.second : charts.first;
    if (lastStepMissing && !short_.steps.empty()) short_.steps.back().missing = true;
    return charts;
}

namespace {

constexpr int Column = 170, Left = 30, Top = 20, HeadHeight = 34, Row = 34, LabelRoom = 120, CaptionHeight = 26;
// The most a character of the 12-pixel sans-serif takes on average in a
// lifeline's name (capitals, digits, brackets and commas), with room to spare
// in the common fonts, and the margin around a name in its box.
constexpr int NameCharWidth = 7, NameMargin = 24;

// The columns are as wide as the longest lifeline name needs, at least Column.
int ColumnWidth(const TraceChart& chart) {
    int width = Column;
    for (const ChartLifeline& lifeline : chart.lifelines) {
        // Characters, not bytes: the continuation bytes of UTF-8 are not counted.
        const auto characters = std::count_if(lifeline.name.begin(), lifeline.name.end(),
                                              [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
        width = std::max(width, NameCharWidth * static_cast<int>(characters) + NameMargin);
    }
    return width;
}

int ChartWidth(const TraceChart& chart) {
    return 2 * Left + ColumnWidth(chart) * std::max<int>(1, static_cast<int>(chart.lifelines.size())) + LabelRoom;
}

int ChartHeight(const TraceChart& chart) { return Top + HeadHeight + 40 + Row * static_cast<int>(chart.steps.size()); }

std::string Number(int value) { return std::to_string(value); }

// Draws chart with its top left corner at (dx, dy).
void DrawChart(const TraceChart& chart, int dx, int dy, std::string& svg) {
    const int bottom = dy + ChartHeight(chart) - 20;
    const int column = ColumnWidth(chart);
    auto x = [&](std::size_t lifeline) { return dx + Left + column * static_cast<int>(lifeline) + column / 2; };
    for (std::size_t i = 0; i < chart.lifelines.size(); ++i) {
        const int cx = x(i);
        svg += "<g class=\"lifeline\"><rect x=\"" + Number(cx - column / 2 + 6) + "\" y=\"" + Number(dy + Top) +
               "\" width=\"" + Number(column - 12) + "\" height=\"" + Number(HeadHeight - 6) +
               "\" fill=\"#eef3fb\" stroke=\"#4060a0\"/>";
        svg += "<text x=\"" + Number(cx) + "\" y=\"" + Number(dy + Top + 18) + "\" text-anchor=\"middle\">" +
               Escaped(chart.lifelines[i].name) + "</text>";
        svg += "<line x1=\"" + Number(cx) + "\" y1=\"" + Number(dy + Top + HeadHeight - 6) + "\" x2=\"" + Number(cx) +
               "\" y2=\"" + Number(bottom) + "\" stroke=\"#4060a0\" stroke-dasharray=\"4 3\"/></g>\n";
    }
    for (std::size_t k = 0; k < chart.steps.size(); ++k) {
        const ChartStep& step = chart.steps[k];
        const int y = dy + Top + HeadHeight + 20 + Row * static_cast<int>(k);
        const std::string colour = step.missing ? "#c00000" : step.hidden ? "#999999" : "#000000";
        std::string label = std::to_string(k + 1) + ". " + Escaped(step.action);
        if (step.missing) label += " : impossible ici";
        else if (step.oneOf) label += " (l'un d'eux)";
        if (step.lifelines.empty()) {
            svg += "<text class=\"unplaced\" x=\"" + Number(dx + Left) + "\" y=\"" + Number(y + 4) +
                   "\" font-style=\"italic\" fill=\"" + colour + "\">" + label + "</text>\n";
            continue;
        }
        const int from = x(step.lifelines.front()), to = x(step.lifelines.back());
        if (step.missing) {
            // Where the other system goes on: a cross on each lifeline that would take it.
            for (const std::size_t l : step.lifelines)
                svg += "<path class=\"missing\" d=\"M" + Number(x(l) - 6) + " " + Number(y - 6) + " l12 12 m0 -12 l-12 12\" "
                       "stroke=\"" + colour + "\" stroke-width=\"3\"/>\n";
        } else {
            if (step.lifelines.size() > 1) {
                // A synchronisation joins its lifelines with a bar; alternatives only with a dotted line.
                svg += std::string("<line class=\"") + (step.oneOf ? "oneof" : "sync") + "\" x1=\"" + Number(from) +
                       "\" y1=\"" + Number(y) + "\" x2=\"" + Number(to) + "\" y2=\"" + Number(y) + "\" stroke=\"" + colour +
                       (step.oneOf ? "\" stroke-width=\"1\" stroke-dasharray=\"2 3\"/>\n" : "\" stroke-width=\"4\"/>\n");
            }
            for (const std::size_t l : step.lifelines)
                svg += "<circle class=\"step\" cx=\"" + Number(x(l)) + "\" cy=\"" + Number(y) + "\" r=\"5\" fill=\"" +
                       (step.oneOf ? std::string("white") : colour) + "\" stroke=\"" + colour + "\"/>\n";
        }
        svg += "<text x=\"" + Number(to + 10) + "\" y=\"" + Number(y - 6) + "\" fill=\"" + colour + "\">" + label +
               "</text>\n";
    }
}

std::string SvgHeader(int width, int height) {
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(width) + "\" height=\"" + Number(height) +
           "\" font-family=\"sans-serif\" font-size=\"12\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
}

}  // namespace

std::string ChartSvg(const TraceChart& chart) {
    std::string svg = SvgHeader(ChartWidth(chart), ChartHeight(chart));
    DrawChart(chart, 0, 0, svg);
    return svg + "</svg>\n";
}

std::string ChartPairSvg(const ComparisonCharts& charts) {
    const int firstWidth = ChartWidth(charts.first);
    const int width = firstWidth + ChartWidth(charts.second);
    const int height = CaptionHeight + std::max(ChartHeight(charts.first), ChartHeight(charts.second));
    std::string svg = SvgHeader(width, height);
    svg += "<text class=\"caption\" x=\"" + Number(Left) + "\" y=\"" + Number(CaptionHeight - 6) +
           "\" font-weight=\"bold\">" + Escaped(charts.firstCaption) + "</text>\n";
    svg += "<text class=\"caption\" x=\"" + Number(firstWidth + Left) + "\" y=\"" + Number(CaptionHeight - 6) +
           "\" font-weight=\"bold\">" + Escaped(charts.secondCaption) + "</text>\n";
    svg += "<line class=\"separator\" x1=\"" + Number(firstWidth) + "\" y1=\"0\" x2=\"" + Number(firstWidth) +
           "\" y2=\"" + Number(height) + "\" stroke=\"#808080\"/>\n";
    DrawChart(charts.first, 0, CaptionHeight, svg);
    DrawChart(charts.second, firstWidth, CaptionHeight, svg);
    return svg + "</svg>\n";
}

}  // namespace quarvo
