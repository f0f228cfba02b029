// What one process holds of a distributed exploration, what it measured, and what it tells after each level.
#pragma once

#include <cstdint>
#include <deque>

#include "generation/StemStore.h"

namespace quarvo {

// What one process holds of the STEM: its own states, with their arcs in
// the order found, each arc naming its target's number and either the
// target's maximal events or the process that holds the target (whose events
// are then asked of it when the text is written). Event sets and action
// names live in the store's pools (the store keeps no state of its own).
struct OwnedStem {
    struct State {
        std::int64_t number;
        EventSetId events;
        std::uint32_t firstArc = 0;
        std::uint32_t arcCount = 0;
    };
    struct Arc {
        std::int32_t target;
        ActionId action;
        std::int32_t event;
        EventSetId causes;
        // The target's maximal events, or with targetsNameHolders the process that holds it.
        std::uint32_t targetEvents;
    };
    StemStore pools;
    // In blocks, so that neither ever holds a doubled copy of itself while it grows.
    std::deque<State> states;
    std::deque<Arc> arcs;
    std::int64_t stateCount = 0;  // over every process
    std::int64_t arcCount = 0;
    bool targetsNameHolders = false;
};

// What a run measured on this process.
struct ProcessFigures {
    std::int64_t bytesSent = 0;
    std::int64_t calls = 0;
    std::int64_t levels = 0;
    std::int64_t ownedStates = 0;
    std::int64_t ownedArcs = 0;
    std::int64_t peakBytes = 0;  // resident memory at its highest
    // At the end: the terms, the identities, the index and dictionaries, the arcs.
    std::int64_t termBytes = 0, identityBytes = 0, indexBytes = 0, stemBytes = 0;
};

// Told after each level, on every process.
class LevelProgress {
public:
    virtual ~LevelProgress() = default;
    virtual void Level(std::int64_t level, std::int64_t states, std::int64_t arcs) = 0;
};

}  // namespace quarvo
