// Where the new states of each source of a level start, as one process numbers them, over every process.
#pragma once

#include <cstdint>
#include <vector>

#include "distributed/Exchange.h"

namespace quarvo {

// Collective. sources are the numbers, increasing, of the sources of the
// level [first, end) held here, and counts their first discoveries: each
// count becomes the number of that source's first new state (new states take
// numbers from end on, in source order). The level's sources go in blocks,
// each counted by one process, so that a level costs a few bytes per source
// with new states and per block, not per source on every process. next is
// end plus every new state of the level; crossing the first source whose new
// states pass bound (when bound > 0), -1 for none. False, on every process,
// when some process said memoryLow (nothing else is then told).
bool NumberLevel(Peers& peers, std::int64_t first, std::int64_t end, const std::vector<std::int64_t>& sources,
                 std::vector<std::int64_t>& counts, bool memoryLow, std::int64_t bound, std::int64_t& next,
                 std::int64_t& crossing);

}  // namespace quarvo
