// A run of a transition system shown as evidence: a path, or a lasso (a path,
// then a cycle back to the cycle's first state); its text and its replay.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "generation/Lts.h"

namespace quarvo::logic {

struct Step {
    std::uint32_t from = 0;
    std::uint32_t label = 0;
    std::uint32_t to = 0;
};

struct Trace {
    std::vector<Step> prefix;  // from the initial state
    std::vector<Step> cycle;   // empty for a plain path; else closes on its first state
    bool IsLasso() const { return !cycle.empty(); }
    std::size_t Length() const { return prefix.size() + cycle.size(); }
    // The state the prefix ends in, from start when it is empty.
    std::uint32_t End(std::uint32_t start) const { return prefix.empty() ? start : prefix.back().to; }
};

// Each step an arc of lts from the state before it, starting at start, and
// the cycle (if any) starting where the prefix ends and closing on its first
// state.
bool IsRunOf(const Trace& trace, const Lts& lts, std::uint32_t start);

// The trace as the user reads it: "Trace (N transitions) :" or, for a lasso,
// "Trace (N transitions, puis un cycle de M transitions) :", one line per
// arc "  s -ACTION-> t" (the states by their numbers in the system), the
// cycle after a line "Cycle :". numbers[i] is the number of state i; empty:
// the states are numbered as in lts.
std::vector<std::string> TraceLines(const Trace& trace, const Lts& lts, const std::vector<std::int32_t>& numbers);

// The numbers of the states the trace passes through, in order (the cycle's
// first state once more at its end), for drawing it.
std::vector<std::int32_t> TraceStates(const Trace& trace, std::uint32_t start, const std::vector<std::int32_t>& numbers);

}  // namespace quarvo::logic
