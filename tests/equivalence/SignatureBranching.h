// The branching refiner by incremental signatures, a second opinion for the
// tests (see SignatureBranching.cpp).
#pragma once

#include "equivalence/Equivalence.h"

namespace quarvo::testing {

Partition SignatureBranching(const Lts& lts, bool divergenceSensitive, Progress* progress = nullptr,
                             const std::vector<std::uint32_t>& initialBlock = {});

}  // namespace quarvo::testing
