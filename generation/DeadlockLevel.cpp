// The deadlock check at the end of a level of the generation.
#include "generation/DeadlockLevel.h"

#include <vector>

namespace quarvo {

bool LevelHoldsDeadlock(const StemStore& store, std::int64_t previousFirst, std::int64_t first, std::int64_t end) {
    std::vector<char> isDelta(store.actions.Size(), 0);
    for (std::size_t a = 0; a < isDelta.size(); ++a) isDelta[a] = store.actions.Text(static_cast<ActionId>(a)) == "delta";
    std::vector<char> terminated(static_cast<std::size_t>(end - first), 0);
    for (std::int64_t s = previousFirst; s < end; ++s)
        for (const ArcView arc : store.State(static_cast<std::size_t>(s)).Arcs)
            if (arc.Action < isDelta.size() && isDelta[arc.Action] && arc.Target >= first && arc.Target < end)
                terminated[static_cast<std::size_t>(arc.Target - first)] = 1;
    for (std::int64_t s = first; s < end; ++s)
        if (store.State(static_cast<std::size_t>(s)).Arcs.empty() && !terminated[static_cast<std::size_t>(s - first)])
            return true;
    return false;
}

}  // namespace quarvo
