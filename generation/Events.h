// Actions and events as the generation sees them: the index of an action name
// and the sets of (event, action) entries that label states and arcs.
#pragma once

#include <cstdint>
#include <vector>

namespace quarvo {

// Index of an action name in the action table of a STEM store.
using ActionId = std::uint32_t;

// One occurrence of an action: its event name and the action it stands for.
struct TEventEntry {
    std::int32_t Event = 0;
    ActionId Action = 0;
    friend bool operator==(const TEventEntry&, const TEventEntry&) = default;
};

// Event set, in ascending Event order with one entry per Event.
using EventSet = std::vector<TEventEntry>;

}  // namespace quarvo
