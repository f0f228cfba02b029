// Small transition systems for the tests of the partitions and quotients.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "generation/Lts.h"

namespace quarvo::test {

// An arc "from -name-> to"; "I" is the internal label.
using ArcSpec = std::tuple<std::uint32_t, std::string, std::uint32_t>;

// An Lts of `states` states from its arcs, kept state by state in the order
// given; labels numbered in order of first appearance.
inline Lts MakeLts(std::uint32_t states, const std::vector<ArcSpec>& arcs, std::uint32_t initial = 0) {
    Lts lts;
    lts.initial = initial;
    lts.firstArc.assign(std::size_t{states} + 1, 0);
    auto labelOf = [&](const std::string& name) {
        for (std::uint32_t l = 0; l < lts.labels.size(); ++l)
            if (lts.labels[l] == name) return l;
        lts.labels.push_back(name);
        return static_cast<std::uint32_t>(lts.labels.size() - 1);
    };
    for (std::uint32_t s = 0; s < states; ++s) {
        for (const auto& [from, name, to] : arcs) {
            if (from != s) continue;
            lts.label.push_back(labelOf(name));
            lts.target.push_back(to);
        }
        lts.firstArc[s + 1] = static_cast<std::uint32_t>(lts.target.size());
    }
    return lts;
}

}  // namespace quarvo::test
