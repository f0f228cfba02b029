// What a search over state vectors is asked: the monitor of a safety
// property it runs beside the system, and its settings.
#pragma once

#include <cstdint>

#include "generation/ActionTable.h"

namespace quarvo {

// What a safety property watches along a run: a deterministic automaton
// over the actions, which the search runs beside the system. The threads of
// a search ask Step and Visible one at a time, Violated and Hopeless at once.
class RunMonitor {
public:
    virtual ~RunMonitor() = default;
    virtual std::uint32_t Start() = 0;
    // The automaton's state after action (actions names it).
    virtual std::uint32_t Step(std::uint32_t state, ActionId action, const ActionTable& actions) = 0;
    // The run so far is forbidden.
    virtual bool Violated(std::uint32_t state) const = 0;
    // No run from here can become forbidden: not explored further.
    virtual bool Hopeless(std::uint32_t state) const = 0;
    // The action may change the automaton's state: a transition carrying it is visible.
    virtual bool Visible(ActionId action, const ActionTable& actions) = 0;
};

struct SearchSettings {
    bool reduce = true;         // stubborn sets; false: every transition of every state
    bool breadthFirst = false;  // deadlocks only: a shortest trace of the space explored
    std::int64_t memoryLimit = 0;  // as GenerationSettings::memoryLimit
    std::int64_t maxStates = 0;    // 0: no bound; else the search stops short of more states
    // The threads of the search (at least one), as ExplorationThreads gives
    // them for a generation. Beside a monitor, one thread searches depth
    // first; several search by levels, breadth first.
    unsigned threads = 1;
    // A search on threads, depth first or beside a monitor, starts on one,
    // and calls the others (the search made again on all of them) past that
    // many states: a small search gives the answer of one thread, its trace
    // and count the same each time. 0: on every thread from the start.
    std::int64_t soloStates = std::int64_t{1} << 10;
};

}  // namespace quarvo
