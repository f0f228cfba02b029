// The step-by-step simulator, without Qt: the current state, its enabled
// transitions, the trace walked so far with back and forward, random runs,
// and the replay of a trace given as a list of actions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frontend/Status.h"
#include "generation/Semantics.h"
#include "generation/StemStore.h"

namespace quarvo {

// The name of an action as a trace file writes it: a LOTOS identifier by
// its name, any other label (one read from an .aut file) whole.
std::string TraceActionName(const StemStore& store, ActionId action);

// One transition the current state can take.
struct EnabledTransition {
    std::size_t arc = 0;         // its position among the state's arcs, newest first
    std::string action;          // as a trace file writes it
    std::int32_t event = 0;      // the event it names (maximality)
    std::string causes;          // "{x1: a} " or "{}": the events it waits for (maximality)
    std::int32_t target = 0;     // the number of the state it leads to
    bool internal = false;       // "I" or a hidden gate "I_…"
};

// One step of the trace: from the state at position from of the store, along
// its arc, to the state at position to.
struct SimulationStep {
    std::size_t from = 0;
    std::size_t arc = 0;
    std::size_t to = 0;
    std::string action;
};

// Where a replayed list of actions stops being possible.
struct ReplayOutcome {
    bool complete = true;        // every step was possible
    std::size_t replayed = 0;    // steps that were possible (all when complete)
    std::string refused;         // the first impossible action
    std::int32_t stateThere = 0; // the number of the state it was refused in
    std::vector<std::string> possibleThere;  // the actions enabled there, each once, in arc order
};

class Simulator {
public:
    // The simulator starts at the first state of store (the initial state),
    // which must outlive it and stay unchanged.
    Simulator(const StemStore& store, Semantics semantics);

    const StemStore& Store() const { return store_; }
    Semantics GetSemantics() const { return semantics_; }
    bool Empty() const { return store_.Empty(); }

    // The state the simulation stands in: its position in the store, its number.
    std::size_t CurrentIndex() const;
    std::int32_t CurrentNumber() const;
    // Its maximal events as the explorer writes them.
    std::string CurrentEvents() const;
    std::vector<EnabledTransition> Enabled() const;
    // The current state has no transition.
    bool Blocked() const;

    // Follows the enabled transition at that arc position; the steps after
    // the current position are forgotten. False when there is no such arc.
    bool Fire(std::size_t arc);
    // One step back or forward along the trace; false at either end.
    bool Back();
    bool Forward();
    bool CanBack() const { return position_ > 0; }
    bool CanForward() const { return position_ < steps_.size(); }
    // Goes back or forward to the state after that many steps of the trace.
    bool GoTo(std::size_t position);
    // Back to the initial state with an empty trace.
    void Restart();

    // The steps of the trace, those ahead of the current position included.
    const std::vector<SimulationStep>& Steps() const { return steps_; }
    // How many steps of the trace lead to the current state.
    std::size_t Position() const { return position_; }
    // The actions of the whole trace, one per step.
    std::vector<std::string> TraceActions() const;

    // Fires up to count transitions chosen at random (the same seed, the same
    // run) from the current state; stops early in a state without any.
    // Returns how many were fired.
    std::size_t RandomRun(std::size_t count, std::uint64_t seed);

    // Replaces the trace by the run of those actions from the initial state,
    // as far as it is possible. When several transitions carry an action, the
    // run chosen is one that goes furthest. Blank entries are skipped.
    ReplayOutcome Replay(const std::vector<std::string>& actions);

    // Replaces the trace by the path through those state numbers from the
    // initial state (a verdict's trace): each step an arc between two
    // consecutive states. A first number other than the initial state's, or
    // two states without an arc between them, stop the path there; false then.
    bool FollowStates(const std::vector<std::int32_t>& numbers);

private:
    std::size_t IndexOf(std::int32_t number) const;
    void Append(std::size_t from, std::size_t arc);

    const StemStore& store_;
    Semantics semantics_;
    std::vector<SimulationStep> steps_;
    std::size_t position_ = 0;
};

// The actions of a trace file: one a line, blanks around them and empty
// lines left out, lines beginning with '#' being comments. Windows-1252, CR LF
// or LF alone.
struct TraceFile {
    std::vector<std::string> actions;
    Status status;
};
TraceFile ReadTraceFile(const std::string& path);
// Writes the actions one a line (Windows-1252, CR LF), through a temporary file.
Status WriteTraceFile(const std::string& path, const std::vector<std::string>& actions);

// The lines that tell where a replay stopped, numbered from 1:
// "Étape 3 impossible : « C » depuis l'état 4." and
// "Actions possibles : A, B." (or "Aucune action possible : blocage.").
std::vector<std::string> ReplayFailureLines(const ReplayOutcome& outcome);

}  // namespace quarvo
