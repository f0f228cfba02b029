// Whether a level of a breadth-first generation holds a deadlock: the check
// both explorations make at the end of each level when asked to stop there.
#pragma once

#include <cstdint>

#include "generation/StemStore.h"

namespace quarvo {

// The level is the states at positions first .. end-1, all explored, the
// previous level first's predecessors previousFirst .. first-1. A state of
// the level without successors is a deadlock unless an arc "delta" (of the
// previous level or of this one) enters it: that is successful termination.
bool LevelHoldsDeadlock(const StemStore& store, std::int64_t previousFirst, std::int64_t first, std::int64_t end);

}  // namespace quarvo
