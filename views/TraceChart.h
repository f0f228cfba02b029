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
    // The lifelines are interleaved on the step's gate: one of them (or one
    // group that synchronises) takes it alone, which one the trace does not tell.
    bool oneOf = false;
    // In a comparison, the step this system cannot take where the other takes it.
    bool missing = false;
};

struct TraceChart {
    std::vector<ChartLifeline> lifelines;
    std::vector<ChartStep> steps;
};

// The lifelines are the operands of the parallel operators at the top of the
// specification (below its hidings), a call whose body is again a parallel
// composition being opened, its formal gates replaced by the actual ones; a
// composition under a disabling keeps its lifelines, the disabling behaviour
// has one of its own. A
// visible action G or a hidden one I_G takes part on the lifelines that use
// G and that the compositions synchronise on G; where they interleave on G,
// the step is one of them's (oneOf). I is one of those that hold an internal
// action; delta is on all.
TraceChart ChartOf(const Compilation& compilation, const std::vector<std::string>& actions);

// The chart of a system without a specification (read from a file): one
// lifeline, name, that takes every step.
TraceChart WholeSystemChart(const std::string& name, const std::vector<std::string>& actions);

// A comparison's distinguishing trace on both systems, side by side, up to
// the step where they part: when lastStepMissing, the system that cannot
// follow the whole trace (the second when traceOfFirst) has its last step
// marked missing. A system without a specification (nullptr) has one lifeline.
struct ComparisonCharts {
    TraceChart first;
    TraceChart second;
    std::string firstCaption;   // "Premier système : la spécification courante"
    std::string secondCaption;
};
ComparisonCharts ChartsOfDistinction(const Compilation* first, const Compilation* second,
                                     const std::vector<std::string>& trace, bool traceOfFirst, bool lastStepMissing);

// The chart as an SVG picture, its lifelines side by side, one row per step.
std::string ChartSvg(const TraceChart& chart);
// Both charts of a comparison in one picture, side by side under their
// captions, their rows aligned step by step.
std::string ChartPairSvg(const ComparisonCharts& charts);

}  // namespace quarvo
