// The automatic layout through Graphviz's library: one graph per call, laid out
// by "dot" (or "sfdp" for large ones), read back, then freed.
#include "app/views/GraphLayout.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <graphviz/gvc.h>

namespace quarvo {

namespace {

// Graphviz counts in points, 72 to the inch; the drawing counts one point a pixel.
constexpr double PointsPerInch = 72.0;

struct ContextFree {
    void operator()(GVC_t* context) const { gvFreeContext(context); }
};
struct GraphClose {
    void operator()(Agraph_t* graph) const { agclose(graph); }
};

// The library takes names and values as modifiable C strings that it copies.
void Set(void* object, const char* name, const std::string& value) {
    std::string n(name), v(value), none;
    agsafeset(object, n.data(), v.data(), none.data());
}

void Declare(Agraph_t* graph, int kind, const char* name, const std::string& value) {
    std::string n(name), v(value);
    agattr(graph, kind, n.data(), v.data());
}

std::string Inches(double pixels) { return std::to_string(pixels / PointsPerInch); }

// The text as it may stand in an HTML-like label.
std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// A label that holds its text in a cell of exactly the size it takes on the
// screen: Graphviz makes room for that size, whatever its own guess of the
// text's width. The small font keeps that guess inside the cell.
std::string FixedSizeLabel(const LayoutEdge& edge) {
    const int width = static_cast<int>(std::ceil(edge.labelWidth)) + 2;
    const int height = static_cast<int>(std::ceil(edge.labelHeight));
    return "<TABLE BORDER=\"0\" CELLBORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"0\"><TR><TD FIXEDSIZE=\"TRUE\" "
           "WIDTH=\"" + std::to_string(width) + "\" HEIGHT=\"" + std::to_string(height) +
           "\"><FONT POINT-SIZE=\"4\">" + Escaped(edge.label) + "</FONT></TD></TR></TABLE>";
}

// Graphviz's y axis points up: the point as seen from the top left corner of the box.
LayoutPoint FromGraphviz(pointf p, const boxf& box) { return {p.x - box.LL.x, box.UR.y - p.y}; }

// Warnings (a label guessed wider than its cell, say) are not the user's business;
// errors still reach the standard error.
class QuietWarnings {
public:
    QuietWarnings() : before_(agseterr(AGERR)) {}
    ~QuietWarnings() { agseterr(before_); }
    QuietWarnings(const QuietWarnings&) = delete;
    QuietWarnings& operator=(const QuietWarnings&) = delete;

private:
    agerrlevel_t before_;
};

// Frees the layout of a graph laid out in a context, before either goes.
class LaidOut {
public:
    LaidOut(GVC_t* context, Agraph_t* graph) : context_(context), graph_(graph) {}
    ~LaidOut() { gvFreeLayout(context_, graph_); }
    LaidOut(const LaidOut&) = delete;
    LaidOut& operator=(const LaidOut&) = delete;

private:
    GVC_t* context_;
    Agraph_t* graph_;
};

}  // namespace

std::string LayoutEngine(std::size_t nodes) { return nodes > LayeredLayoutLimit ? "sfdp" : "dot"; }

std::optional<LayoutOutput> ComputeLayout(const LayoutInput& input) {
    const QuietWarnings quiet;
    const std::unique_ptr<GVC_t, ContextFree> context(gvContext());
    if (!context) return std::nullopt;
    std::string name = "stem";
    const std::unique_ptr<Agraph_t, GraphClose> graph(agopen(name.data(), Agdirected, nullptr));
    if (!graph) return std::nullopt;
    Agraph_t* g = graph.get();

    const std::string engine = LayoutEngine(input.nodes.size());
    Declare(g, AGRAPH, "nodesep", "0.3");
    Declare(g, AGRAPH, "ranksep", "0.45");
    if (engine == "dot" && input.leftToRight) Declare(g, AGRAPH, "rankdir", "LR");
    if (engine != "dot") {
        // Straight arcs, and states kept apart.
        Declare(g, AGRAPH, "overlap", "prism");
        Declare(g, AGRAPH, "splines", "false");
        // Labels sit in the middle of the arcs, which the layout does not see:
        // states kept apart by about a label's width leave them room.
        double labels = 0;
        for (const LayoutEdge& edge : input.edges) labels += edge.labelWidth;
        const double mean = input.edges.empty() ? 0 : labels / static_cast<double>(input.edges.size());
        Declare(g, AGRAPH, "sep", "+" + std::to_string(static_cast<int>(std::lround(0.8 * mean + 10))));
    }
    Declare(g, AGNODE, "shape", "circle");
    Declare(g, AGNODE, "fixedsize", "true");
    Declare(g, AGNODE, "label", "");
    Declare(g, AGNODE, "width", "0.3");
    Declare(g, AGNODE, "height", "0.3");
    std::string labelName = "label", empty;
    Agsym_t* labelSymbol = agattr(g, AGEDGE, labelName.data(), empty.data());

    std::vector<Agnode_t*> nodes;
    nodes.reserve(input.nodes.size());
    for (const LayoutNode& node : input.nodes) {
        std::string id = std::to_string(node.number);
        Agnode_t* n = agnode(g, id.data(), 1);
        Set(n, "width", Inches(node.width));
        Set(n, "height", Inches(node.height));
        nodes.push_back(n);
    }
    std::vector<Agedge_t*> edges;
    edges.reserve(input.edges.size());
    for (const LayoutEdge& edge : input.edges) {
        std::string source = std::to_string(edge.source), target = std::to_string(edge.target);
        Agnode_t* tail = agnode(g, source.data(), 0);
        Agnode_t* head = agnode(g, target.data(), 0);
        if (!tail || !head) return std::nullopt;
        // Without a name, every call makes a new edge: two arcs between the same states stay two.
        Agedge_t* e = agedge(g, tail, head, nullptr, 1);
        if (edge.labelWidth > 0 && edge.labelHeight > 0) {
            std::string html = FixedSizeLabel(edge);
            char* label = agstrdup_html(g, html.data());
            agxset(e, labelSymbol, label);
            agstrfree(g, label);
        }
        edges.push_back(e);
    }

    if (gvLayout(context.get(), g, engine.c_str()) != 0) return std::nullopt;
    const LaidOut laidOut(context.get(), g);

    const boxf box = GD_bb(g);
    LayoutOutput output;
    output.width = box.UR.x - box.LL.x;
    output.height = box.UR.y - box.LL.y;
    for (Agnode_t* n : nodes) output.nodes.push_back(FromGraphviz(ND_coord(n), box));
    for (Agedge_t* e : edges) {
        LaidOutEdge laid;
        // One piece of curve per arc: the layout merges none.
        if (const splines* route = ED_spl(e); route && route->size > 0) {
            const bezier& piece = route->list[0];
            for (int p = 0; p < piece.size; ++p) laid.curve.push_back(FromGraphviz(piece.list[p], box));
            if (piece.eflag) {
                laid.hasHead = true;
                laid.head = FromGraphviz(piece.ep, box);
            }
        }
        if (const textlabel_t* label = ED_label(e); label && label->set) {
            laid.hasLabel = true;
            laid.labelCentre = FromGraphviz(label->pos, box);
        }
        output.edges.push_back(std::move(laid));
    }
    return output;
}

}  // namespace quarvo
