// Breadth first, level by level, on threads: for a deadlock, or beside a
// monitor for a run it forbids.
#pragma once

#include <memory>
#include <vector>

#include "generation/reduction/SearchThread.h"

namespace quarvo::reduction {

// The threads expand the states they hold, then one pass takes the level's
// states in number order and numbers their new successors, so that numbers,
// trace and count are those of one thread. The new states are handed to the
// threads that will expand them, each kept by the thread that found it
// unless that one found more than its share; a state that changes threads
// has its terms made again in the other's engine. Beside a monitor the
// first new state it forbids ends the search, and a state's transitions
// are cut down to a stubborn set only when none of the chosen ones is
// visible or goes to a state of its level or an earlier one (those the
// table holds while the level is expanded): every cycle then has a fully
// expanded state. searches holds the first thread, started; shared.levels
// is set.
void SearchByLevels(const Compilation* compilation, std::vector<std::unique_ptr<Search>>& searches, Shared& shared,
                    Crew& crew);

}  // namespace quarvo::reduction
