// What an automatic layout of the viewer's drawing takes and gives back: plain
// sizes and positions, in pixels, with y pointing down.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarvo {

struct LayoutPoint {
    double x = 0;
    double y = 0;
};

// A drawn state: its number and the size of its circle.
struct LayoutNode {
    std::int32_t number = 0;
    double width = 0;
    double height = 0;
};

// A drawn arc between two nodes, given by their numbers, with the text of its
// label and the size that text takes on the screen (0 x 0 for no label).
struct LayoutEdge {
    std::int32_t source = 0;
    std::int32_t target = 0;
    std::string label;
    double labelWidth = 0;
    double labelHeight = 0;
};

struct LayoutInput {
    std::vector<LayoutNode> nodes;
    std::vector<LayoutEdge> edges;
    // The layered layout's ranks from left to right rather than from the top down.
    bool leftToRight = false;
};

// Where an edge runs: a cubic Bézier curve (its start, then three points per
// piece) from near the source to near the target, the tip of the arrow head
// when there is one, and the centre of the label.
struct LaidOutEdge {
    std::vector<LayoutPoint> curve;
    bool hasHead = false;
    LayoutPoint head;
    bool hasLabel = false;
    LayoutPoint labelCentre;
};

// The positions, one per node and one per edge in the order of the input, in
// a box from (0, 0) to (width, height).
struct LayoutOutput {
    std::vector<LayoutPoint> nodes;
    std::vector<LaidOutEdge> edges;
    double width = 0;
    double height = 0;
};

}  // namespace quarvo
