// The strongly connected components of the internal arcs of an Lts, found
// by Tarjan's algorithm without recursion.
#pragma once

#include <cstdint>
#include <vector>

#include "generation/Lts.h"

namespace quarvo::detail {

struct TauComponents {
    // Per state. Components are numbered in the order Tarjan's algorithm
    // completes them, so that an internal arc between two components goes
    // to the lower number.
    std::vector<std::uint32_t> component;
    std::uint32_t count = 0;
    // Per component: an internal cycle lies inside it (two states or more,
    // or an internal self-loop).
    std::vector<bool> cyclic;
};

// Only the internal arcs whose ends have the same group are followed; group
// empty: all are.
TauComponents FindTauComponents(const Lts& lts, const std::vector<std::uint32_t>& group = {});

}  // namespace quarvo::detail
