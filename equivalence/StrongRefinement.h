// Paige–Tarjan alone, without the rounds of signature refinement that
// StrongBisimulation runs first: for the tests, which check both ways.
#pragma once

#include <cstdint>
#include <vector>

#include "equivalence/Equivalence.h"

namespace quarvo::detail {

Partition PaigeTarjan(const Lts& lts, Progress* progress, const std::vector<std::uint32_t>& initialBlock);

}  // namespace quarvo::detail
