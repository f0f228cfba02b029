// Progress and cancellation between the core's long operations and their caller.
#pragma once

#include <cstdint>
#include <string>

namespace quarvo {

class Progress {
public:
    virtual ~Progress() = default;
    // Called as work goes on, at least after every explored state.
    virtual void Update(std::int64_t /*states*/, std::int64_t /*transitions*/) {}
    // Called by an operation of several phases as it goes on: the phase
    // ("affinage, tour 3"), the count it has reached and what it counts
    // ("blocs"). Ignored unless the caller shows it.
    virtual void UpdatePhase(const std::string& /*phase*/, std::int64_t /*count*/, const char* /*unit*/) {}
    // Asked between two units of work; true stops the operation.
    virtual bool StopRequested() { return false; }
};

}  // namespace quarvo
