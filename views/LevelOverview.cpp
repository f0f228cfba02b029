// The breadth-first levels of a system, counted in one sweep.
#include "views/LevelOverview.h"

#include <algorithm>

namespace quarvo {

LevelOverview OverviewByLevel(const StemStore& store) {
    LevelOverview overview;
    const std::size_t n = store.StateCount();
    overview.levelOf.assign(n, -1);
    if (n == 0) return overview;
    // The states in the order they are reached: each level follows the one before.
    std::vector<std::size_t> order;
    order.reserve(n);
    order.push_back(0);
    overview.levelOf[0] = 0;
    // A state without arcs that "delta" enters ended successfully: no deadlock.
    std::vector<char> isDelta(store.actions.Size(), 0);
    for (std::size_t a = 0; a < isDelta.size(); ++a)
        isDelta[a] = store.actions.Text(static_cast<ActionId>(a)) == "delta";
    std::vector<char> terminated(n, 0);
    for (const StateView state : store.States())
        for (const TStemArc& arc : state.Arcs.Found())
            if (arc.Action < isDelta.size() && isDelta[arc.Action])
                if (const std::int64_t target = store.IndexOf(arc.Target); target >= 0)
                    terminated[static_cast<std::size_t>(target)] = 1;
    for (std::size_t head = 0; head < order.size(); ++head) {
        const std::size_t index = order[head];
        const std::int32_t level = overview.levelOf[index];
        if (overview.levels.size() <= static_cast<std::size_t>(level)) overview.levels.resize(level + 1);
        LevelBar& bar = overview.levels[static_cast<std::size_t>(level)];
        const StateView state = store.State(index);
        ++bar.states;
        bar.arcs += state.Arcs.size();
        if (state.Arcs.empty()) ++(terminated[index] ? bar.terminations : bar.deadlocks);
        for (const TStemArc& arc : state.Arcs.Found()) {
            const std::int64_t target = store.IndexOf(arc.Target);
            if (target < 0 || overview.levelOf[static_cast<std::size_t>(target)] >= 0) continue;
            overview.levelOf[static_cast<std::size_t>(target)] = level + 1;
            order.push_back(static_cast<std::size_t>(target));
        }
    }
    overview.unreachable = n - order.size();
    for (const LevelBar& bar : overview.levels) overview.widest = std::max(overview.widest, bar.states);
    return overview;
}

std::vector<std::int32_t> StatesOfLevel(const StemStore& store, const LevelOverview& overview, std::size_t level,
                                        std::size_t limit) {
    std::vector<std::int32_t> numbers;
    for (std::size_t i = 0; i < overview.levelOf.size() && numbers.size() < limit; ++i)
        if (overview.levelOf[i] == static_cast<std::int32_t>(level)) numbers.push_back(store.State(i).Number);
    return numbers;
}

}  // namespace quarvo
