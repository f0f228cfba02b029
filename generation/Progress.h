// Progress and cancellation between the core's long operations and their caller.
#pragma once

#include <cstdint>

namespace quarvo {

class Progress {
public:
    virtual ~Progress() = default;
    // Called as work goes on, at least after every explored state.
    virtual void Update(std::int64_t /*states*/, std::int64_t /*transitions*/) {}
    // Asked between two units of work; true stops the operation.
    virtual bool StopRequested() { return false; }
};

}  // namespace quarvo
