// Progress and cancellation between the core's long operations and their caller.
#pragma once

#include <cstdint>
#include <string>

namespace quarvo {

// Figures of the generation dialog.
struct GenerationFigures {
    std::string start;            // start time and date
    std::string end;              // end time and date
    std::int64_t seconds = 0;     // whole seconds between the two
    std::int64_t memBeforeKo = 0; // heap in use before, in Ko (1000 bytes)
    std::int64_t memAfterKo = 0;
};

class Progress {
public:
    virtual ~Progress() = default;
    // Called as work goes on, at least after every explored state.
    virtual void Update(std::int64_t /*states*/, std::int64_t /*transitions*/) {}
    // Asked between two units of work; true stops the operation.
    virtual bool StopRequested() { return false; }
    // The final figures of a generation.
    virtual void Figures(const GenerationFigures& /*figures*/) {}
};

}  // namespace quarvo
