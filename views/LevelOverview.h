// The overview of a system too large to draw: its states grouped by breadth-first level from the initial state,
// each level a bar with its states, its arcs and its deadlocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "generation/StemStore.h"

namespace quarvo {

// One breadth-first level: the states at that distance from the initial state.
struct LevelBar {
    std::size_t states = 0;
    std::size_t arcs = 0;       // leaving the level's states
    std::size_t deadlocks = 0;     // its states without any arc, but those "delta" enters
    std::size_t terminations = 0;  // its states without any arc that "delta" enters: successful terminations
};

struct LevelOverview {
    std::vector<LevelBar> levels;
    // The level of each state by its position in the store; -1 for a state
    // the initial state does not reach (a STEM read from a file may hold one).
    std::vector<std::int32_t> levelOf;
    std::size_t unreachable = 0;
    std::size_t widest = 0;  // the most states of one level
};

// The levels of store, the first state being level 0. An arc to a number no
// state bears is counted but leads nowhere.
LevelOverview OverviewByLevel(const StemStore& store);

// The numbers of the states of that level, in store order; at most limit of them.
std::vector<std::int32_t> StatesOfLevel(const StemStore& store, const LevelOverview& overview, std::size_t level,
                                        std::size_t limit = SIZE_MAX);

}  // namespace quarvo
