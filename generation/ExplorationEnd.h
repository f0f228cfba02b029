// How an exploration state after state ends: what it keeps when memory runs
// out while a state's arcs are found, and the counts it answers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "generation/DeadlockLevel.h"
#include "generation/Engine.h"
#include "generation/GenerationTypes.h"
#include "generation/StemStore.h"

namespace quarvo {

// The deadlock search's stop at the end of the first breadth-first level
// that holds a deadlock, for an exploration state after state.
struct DeadlockLevels {
    std::int64_t previousFirst = 0, levelFirst = 0, levelEnd = 1;
    // True when state current ends a level that holds a deadlock (asked: the search wants the stop).
    bool AtEnd(bool asked, const StemStore& store, std::int64_t current, std::int64_t stateCount) {
        if (!asked || current != levelEnd) return false;
        if (LevelHoldsDeadlock(store, previousFirst, levelFirst, levelEnd)) return true;
        previousFirst = levelFirst;
        levelFirst = levelEnd;
        levelEnd = stateCount;
        return false;
    }
};

// Memory ran out: what was stored so far stays usable, and the state being
// explored (current) keeps the arcs found before, those to states stored.
inline void KeepWhatMemoryAllowed(StemStore& store, std::int64_t current, std::int64_t& stateCount,
                                  std::vector<TStemArc>& found, GenerationResult& result) {
    result.stoppedByMemory = true;
    stateCount = std::min(stateCount, static_cast<std::int64_t>(store.StateCount()));
    std::erase_if(found, [&](const TStemArc& a) { return a.Target >= stateCount; });
    if (current < stateCount && !found.empty()) {
        try {
            store.SetArcs(static_cast<std::size_t>(current), found);
        } catch (const std::bad_alloc&) {
            // The state keeps no arc: what was stored before stays usable.
        }
    }
}

// The counts of an exploration that explored the states before current of
// stateCount, with engine's warnings.
inline void EndStateAfterState(StemStore& store, std::int64_t current, std::int64_t stateCount, const Engine& engine,
                               GenerationResult& result) {
    result.interrupted = current < stateCount || result.stoppedByBound || result.stoppedByMemory;
    result.exploredStates = current;
    result.states = stateCount;
    result.arcs = store.ArcCount();
    result.eventNamesExhausted = engine.eventNamesExhausted;
    result.unguardedRecursion = engine.unguardedProcess != nullptr;
    result.nodesBuilt = engine.TermCount();
    store.StemStateCount = static_cast<std::int32_t>(stateCount);
    store.LastGenStateCount = static_cast<std::int32_t>(stateCount);
    if (engine.unguardedProcess) result.unguardedProcess = engine.unguardedProcess->name.Text();
}

}  // namespace quarvo
