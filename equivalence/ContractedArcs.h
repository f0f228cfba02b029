// The arcs between the nodes of an Lts whose cycles of internal arcs are
// contracted, one node per component, forwards and backwards.
#pragma once

#include <cstdint>
#include <vector>

#include "equivalence/TauComponents.h"
#include "generation/Lts.h"

namespace quarvo::detail {

struct ContractedArcs {
    // The label of the divergence arcs (after every label of the lts).
    std::uint32_t divergenceLabel = 0;
    std::vector<std::uint32_t> outFirst;    // per node: its arcs in out
    std::vector<std::uint64_t> out;         // label << 32 | target node, sorted per node (internal ones first)
    std::vector<std::uint32_t> inFirst;     // per node: its predecessors in in
    std::vector<std::uint32_t> internalIn;  // per node: its internal predecessors, first in its list
    std::vector<std::uint64_t> in;          // label << 32 | source node
    std::vector<std::uint32_t> inOut;       // per arc of in: the same arc in out
};

// Each arc between nodes once, the internal arcs inside a node dropped; when
// divergenceSensitive, a node that was a cycle gets an arc to itself labelled
// divergenceLabel.
ContractedArcs ContractArcs(const Lts& lts, const TauComponents& components, bool divergenceSensitive);

}  // namespace quarvo::detail
