// Breadth-first exploration level by level, on several threads, numbering states as one thread would.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "frontend/SyntaxTree.h"
#include "generation/GenerationTypes.h"
#include "generation/StemStore.h"

namespace quarvo {

// What the exploration and the caller's thread share while it runs.
struct ExplorationShared {
    std::atomic<std::int64_t> states{0};
    std::atomic<std::int64_t> arcs{0};
    std::atomic<bool> stopRequested{false};
    // The level being explored and how many of its states the threads have
    // explored, in one word so that a reader never sees the count of one
    // level with the depth of another: the depth times LevelUnit, plus the count
    // (of each pass over its states, see levelPasses).
    std::atomic<std::int64_t> levelProgress{0};
    static constexpr std::int64_t LevelUnit = std::int64_t{1} << 40;
    // The passes that count in a level's progress, each once per state: one
    // where a state's successors are numbered as they are derived; two where
    // the threads derive the level's successors and one pass numbers them after.
    std::atomic<int> levelPasses{1};
    std::atomic<std::int64_t> levelStates{0};  // 0: not explored by levels

    // Raises the states shown to at least count, never lowering them: inside
    // a level the threads know only a lower bound of the states they found
    // (each its own, before the numbering merges them).
    void StatesAtLeast(std::int64_t count) {
        std::int64_t shown = states.load(std::memory_order_relaxed);
        while (shown < count && !states.compare_exchange_weak(shown, count, std::memory_order_relaxed)) {
        }
    }
};

// The sources a numbering pass numbers between two looks at its figures and at a stop.
constexpr std::int64_t NumberingSlice = 1024;

// The numbering pass of a level shows, after every source, the states it
// numbered and how far it went, the second half of the level's progress: the
// states first, so that a reader of the progress (acquiring it) sees them.
// After every slice of sources, true when a stop was asked: the pass ends
// after source, keeping every state numbered so far.
[[nodiscard]] inline bool ShowNumbered(StemStore& store, ExplorationShared& shared, std::int64_t source,
                                       std::int64_t count) {
    // The arcs were counted as they were derived.
    shared.StatesAtLeast(count);
    shared.levelProgress.fetch_add(1, std::memory_order_release);
    if ((source & (NumberingSlice - 1)) != 0) return false;
    store.LastGenStateCount = static_cast<std::int32_t>(count);
    return shared.stopRequested.load(std::memory_order_relaxed);
}
inline void ShowLevelNumbered(StemStore& store, ExplorationShared& shared, std::int64_t count) {
    store.LastGenStateCount = static_cast<std::int32_t>(count);
    shared.StatesAtLeast(count);
    shared.arcs.store(store.ArcCount(), std::memory_order_relaxed);
}

// The threads a level of that many states keeps busy, of at most limit.
unsigned LevelThreads(std::int64_t states, unsigned limit);

// The worker threads an exploration uses for settings.threads (0: one per core).
unsigned ExplorationThreads(const GenerationSettings& settings);

// Explores every configuration reachable from the compilation's behaviour
// into store, level by level. Each thread holds the terms of the states it
// explores in an engine of its own; a level's successors are derived on all
// threads at once, then numbered in the order of their first discoverer
// (source number, then arc index), so that numbers, arcs and events are those
// of a one-thread exploration whatever the number of threads.
GenerationResult ExploreByLevels(const std::shared_ptr<const Compilation>& compilation,
                                 const GenerationSettings& settings, StemStore& store, ExplorationShared& shared);

}  // namespace quarvo
