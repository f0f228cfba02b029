// A second branching refiner, the tests' reference (see ReferenceBranching.cpp).
#pragma once

#include "equivalence/Equivalence.h"

namespace quarvo::testing {

Partition ReferenceBranching(const Lts& lts, bool divergenceSensitive, Progress* progress = nullptr,
                             const std::vector<std::uint32_t>& initialBlock = {});

}  // namespace quarvo::testing
