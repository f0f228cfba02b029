// A trace as a message sequence chart: one lifeline per process instance of
// the specification's parallel structure, each step on the lifelines whose
// gates it uses (a synchronisation as one bar joining them), hidden gates
// greyed; and the chart written as SVG.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "frontend/SyntaxTree.h"

namespace quarvo {

struct ChartLifeline {
    std::string name;                // "Cell [PUT, MID]", or "comportement 2" for an operand that is no call
    std::vector<std::string> gates;  // the gates it may use, upper case
};

struct ChartStep {
    std::string action;                  // as the trace gives it: "PUT", "I_MID", "I", "delta"
    bool hidden = false;                 // a hidden gate ("I_G") or the internal action I
    std::vector<std::size_t> lifelines;  // those that take part, in order; empty: none is known
};

struct TraceChart {
    std::vector<ChartLifeline> lifelines;
    std::vector<ChartStep> steps;
};

// The lifelines are the operands of the parallel operators at the top of the
// specification (below its hidings), a call whose body is again a parallel
// composition being opened, its formal gates replaced by the actual ones. A
// visible action G or a hidden one I_G takes part on every lifeline that
// uses G (under interleaving, one of them does: all are shown); I on those
// that hold an internal action; delta on all.
TraceChart ChartOf(const Compilation& compilation, const std::vector<std::string>& actions);

// The chart as an SVG picture, its lifelines side by side, one row per step.
std::string ChartSvg(const TraceChart& chart);

}  // namespace quarvo
