// Progress and cancellation between the core's long operations and their caller.
#pragma once

#include <cstdint>
#include <string>

namespace quarvo {

// Where a generation stands, beyond its counts, as it runs.
struct GenerationFigures {
    std::int64_t level = 0;          // the breadth-first level being explored (0: the initial state's)
    // How far its exploration went, in states: where threads derive a level's
    // successors together and one pass numbers them after, each pass counts for half.
    std::int64_t levelExplored = 0;
    std::int64_t levelStates = 0;    // its states
    std::int64_t seconds = 0;        // since the generation started
    // The memory of the process as the generation started, and what the
    // generation has taken since (the figure its limit applies to), in bytes.
    std::int64_t memoryBefore = 0;
    std::int64_t memoryUsed = 0;
};

class Progress {
public:
    virtual ~Progress() = default;
    // Called as work goes on, at least after every explored state.
    virtual void Update(std::int64_t /*states*/, std::int64_t /*transitions*/) {}
    // Called by an operation of several phases as it goes on: the phase
    // ("affinage, tour 3"), the count it has reached and what it counts
    // ("blocs"). Ignored unless the caller shows it.
    virtual void UpdatePhase(const std::string& /*phase*/, std::int64_t /*count*/, const char* /*unit*/) {}
    // Called by a generation a few times a second, also in the middle of a
    // level, after Update. Ignored unless the caller shows it.
    virtual void UpdateGeneration(const GenerationFigures& /*figures*/) {}
    // Asked between two units of work; true stops the operation.
    virtual bool StopRequested() { return false; }
};

}  // namespace quarvo
