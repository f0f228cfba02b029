#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "equivalence/Distinction.h"

namespace quarvo {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

// The states with an endless run of internal arcs inside their block: what is
// left once the states without an internal arc inside their block are peeled
// off, again and again.
std::vector<bool> DivergentStates(const Lts& lts, const std::vector<std::uint32_t>& block) {
    const std::size_t n = lts.StateCount();
    std::vector<std::uint32_t> inertOut(n, 0);
    std::vector<std::vector<std::uint32_t>> inertIn(n);
    for (std::uint32_t s = 0; s < n; ++s) {
        for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k) {
            if (lts.label[k] == TauLabel && block[lts.target[k]] == block[s]) {
                ++inertOut[s];
                inertIn[lts.target[k]].push_back(s);
            }
        }
    }
    std::vector<bool> divergent(n, true);
    std::vector<std::uint32_t> peel;
    for (std::uint32_t s = 0; s < n; ++s) {
        if (inertOut[s] == 0) peel.push_back(s);
    }
    while (!peel.empty()) {
        const std::uint32_t s = peel.back();
        peel.pop_back();
        divergent[s] = false;
        for (std::uint32_t p : inertIn[s]) {
            if (--inertOut[p] == 0) peel.push_back(p);
        }
    }
    return divergent;
}

}  // namespace

DivergenceDistinction FindDivergence(const Lts& lts, std::uint32_t first, std::uint32_t second,
                                     const std::vector<std::uint32_t>& branching,
                                     const std::vector<std::uint32_t>& divergence, Progress* progress) {
    DivergenceDistinction result;
    const std::vector<bool> divergent = DivergentStates(lts, branching);
    const auto inert = [&](std::uint32_t s, std::uint32_t k) {
        return lts.label[k] == TauLabel && branching[lts.target[k]] == branching[s];
    };
    // The moves of z that match a move by label into class `into`: internal
    // arcs inside z's class, then the labelled arc. Each as the path after z.
    const auto matches = [&](std::uint32_t z, std::uint32_t label, std::uint32_t into) {
        std::vector<std::vector<std::uint32_t>> found;
        std::unordered_map<std::uint32_t, std::uint32_t> parent{{z, kNone}};
        std::vector<std::uint32_t> queue{z};
        for (std::size_t i = 0; i < queue.size(); ++i) {
            const std::uint32_t s = queue[i];
            for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k) {
                if (inert(s, k)) {
                    if (parent.try_emplace(lts.target[k], s).second) queue.push_back(lts.target[k]);
                } else if (lts.label[k] == label && branching[lts.target[k]] == into) {
                    std::vector<std::uint32_t> path{lts.target[k]};
                    for (std::uint32_t p = s; p != z; p = parent[p]) path.push_back(p);
                    std::reverse(path.begin(), path.end());
                    found.push_back(std::move(path));
                }
            }
        }
        return found;
    };
    struct PairNode {
        std::uint32_t x, y, parent, label;
        std::vector<std::uint32_t> segment;  // the first side's states after the parent's x
    };
    std::vector<PairNode> pairs;
    std::unordered_set<std::uint64_t> seen;
    const auto add = [&](std::uint32_t x, std::uint32_t y, std::uint32_t parent, std::uint32_t label,
                         std::vector<std::uint32_t> segment) {
        // A pair already equivalent with divergence has no difference to show.
        if (divergence[x] == divergence[y]) return;
        // Pairs are told by their states, not their classes: the moves followed
        // are each state's own.
        if (seen.insert((std::uint64_t{x} << 32) | y).second) {
            pairs.push_back({x, y, parent, label, std::move(segment)});
        }
    };
    add(first, second, kNone, kNone, {});
    for (std::size_t next = 0; next < pairs.size(); ++next) {
        if (progress != nullptr && next % 1024 == 0 && progress->StopRequested()) {
            result.stopped = true;
            return result;
        }
        const auto current = static_cast<std::uint32_t>(next);
        const std::uint32_t x = pairs[current].x, y = pairs[current].y;
        if (divergent[x] != divergent[y]) {
            result.found = true;
            result.firstDiverges = divergent[x];
            std::vector<std::uint32_t> states;
            for (std::uint32_t p = current; p != kNone; p = pairs[p].parent) {
                if (pairs[p].label != kNone && pairs[p].label != TauLabel) result.trace.push_back(pairs[p].label);
                states.insert(states.end(), pairs[p].segment.rbegin(), pairs[p].segment.rend());
            }
            states.push_back(first);
            std::reverse(result.trace.begin(), result.trace.end());
            std::reverse(states.begin(), states.end());
            result.firstStates = std::move(states);
            return result;
        }
        for (std::uint32_t k = lts.firstArc[x]; k < lts.firstArc[x + 1]; ++k) {
            const std::uint32_t target = lts.target[k];
            if (inert(x, k)) {
                add(target, y, current, kNone, {target});
                continue;
            }
            for (auto& path : matches(y, lts.label[k], branching[target])) {
                add(target, path.back(), current, lts.label[k], {target});
            }
        }
        for (std::uint32_t k = lts.firstArc[y]; k < lts.firstArc[y + 1]; ++k) {
            const std::uint32_t target = lts.target[k];
            if (inert(y, k)) {
                add(x, target, current, kNone, {});
                continue;
            }
            for (auto& path : matches(x, lts.label[k], branching[target])) {
                const std::uint32_t reached = path.back();
                add(reached, target, current, lts.label[k], std::move(path));
            }
        }
    }
    return result;
}

}  // namespace quarvo
