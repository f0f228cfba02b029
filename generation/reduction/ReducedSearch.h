// The search for a deadlock, or for a run a safety property forbids, over
// the engine on vectors under interleaving, with or without partial-order
// reduction (stubborn sets): depth first on a stack of states, or breadth
// first for a shortest trace of the space it explores.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frontend/SyntaxTree.h"
#include "generation/ActionTable.h"
#include "generation/GenerationTypes.h"
#include "generation/Progress.h"

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

struct SearchStep {
    std::int64_t from = 0, to = 0;  // states, by their numbers in the search
    std::string action;
    std::uint32_t transition = 0;   // its rank among the source's transitions, in the order of the rules
};

struct SearchOutcomeOnVectors {
    // False when the system has no parallel structure at its root: the
    // search did not run (the caller searches the whole space instead).
    bool ran = false;
    bool found = false;           // a deadlock, or a forbidden run
    bool stoppedByMemory = false;
    bool interrupted = false;     // the caller asked it to stop
    bool stoppedByBound = false;  // maxStates reached
    bool reduced = false;         // stubborn sets were used
    std::int64_t explored = 0;    // states met (of the system, or of the system beside the monitor)
    std::int64_t fullyExpanded = 0;  // of which every transition was followed
    std::vector<SearchStep> trace;   // from the initial state to what was found
    // The actions the system may carry, as its components' own transitions
    // tell them (a superset of those its arcs carry), when they could be told.
    std::vector<std::string> actions;
    bool actionsKnown = false;
    // The trace, followed transition by transition on the whole terms by the
    // term engine, is a run of the system (ending in a deadlock, for a deadlock).
    bool replayed = false;
};

// Searches a deadlock (monitor null) or a run that monitor forbids, on the
// interleaving semantics of the compiled system. Throws nothing.
SearchOutcomeOnVectors SearchOnVectors(const std::shared_ptr<const Compilation>& compilation,
                                       const SearchSettings& settings, RunMonitor* monitor = nullptr,
                                       Progress* progress = nullptr);

// Whether steps (their ranks and actions) is a run of the system's terms from
// its initial state, which ends in a deadlock when deadlock is true.
bool ReplaysOnTerms(const std::shared_ptr<const Compilation>& compilation, const std::vector<SearchStep>& steps,
                    bool deadlock);

}  // namespace quarvo
