// The bisimulations as greatest fixpoints on pairs of states, written as
// plainly as their definitions, to check the real algorithms against on
// small systems.
#pragma once

#include <cstdint>
#include <vector>

#include "equivalence/Equivalence.h"

namespace quarvo::test {

// The partition of the largest bisimulation of that kind (not Traces),
// blocks numbered in the order of their first state, states of different
// initialBlock values kept apart (initialBlock empty: none).
Partition NaiveBisimulation(const Lts& lts, Equivalence equivalence,
                            const std::vector<std::uint32_t>& initialBlock = {});

}  // namespace quarvo::test
