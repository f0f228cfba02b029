// The automatic layout of the viewer's drawing, computed by Graphviz's library
// inside the program: sizes in, positions out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "views/GraphLayoutData.h"

namespace quarvo {

// Past this many nodes the layered layout ("dot") takes too long and the
// force-directed one ("sfdp") is used instead.
constexpr std::size_t LayeredLayoutLimit = 300;

// The Graphviz engine used for a graph of that many nodes.
std::string LayoutEngine(std::size_t nodes);

// Places the nodes and routes the edges, giving each label the room of its
// size: y points down and the box starts at (0, 0). None when Graphviz failed.
std::optional<LayoutOutput> ComputeLayout(const LayoutInput& input);

}  // namespace quarvo
