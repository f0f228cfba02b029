// Deadlock and livelock searches by breadth-first search.
#include "logic/Searches.h"

#include <algorithm>
#include <vector>

namespace quarvo::logic {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

// Breadth-first from the initial state: the arc each state was first reached
// by, and the states in the order met.
struct Bfs {
    std::vector<std::uint32_t> viaArc;  // kNone for the initial and unreached states
    std::vector<std::uint32_t> source;  // of that arc
    std::vector<char> reached;
    std::vector<std::uint32_t> order;
};

Bfs Explore(const Lts& lts) {
    const std::size_t n = lts.StateCount();
    Bfs b{std::vector<std::uint32_t>(n, kNone), std::vector<std::uint32_t>(n, kNone), std::vector<char>(n, 0), {}};
    if (n == 0) return b;
    b.order.push_back(lts.initial);
    b.reached[lts.initial] = 1;
    for (std::size_t i = 0; i < b.order.size(); ++i) {
        const std::uint32_t s = b.order[i];
        for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k) {
            const std::uint32_t t = lts.target[k];
            if (b.reached[t]) continue;
            b.reached[t] = 1;
            b.viaArc[t] = k;
            b.source[t] = s;
            b.order.push_back(t);
        }
    }
    return b;
}

std::vector<Step> PathTo(const Lts& lts, const Bfs& b, std::uint32_t t) {
    std::vector<Step> steps;
    for (std::uint32_t at = t; b.viaArc[at] != kNone; at = b.source[at])
        steps.push_back({b.source[at], lts.label[b.viaArc[at]], at});
    std::reverse(steps.begin(), steps.end());
    return steps;
}

bool IsInternal(const Lts& lts, std::uint32_t label) { return IsInternalAction(lts.labels[label]); }

}  // namespace

SearchResult FindDeadlock(const Lts& lts) {
    SearchResult result;
    const Bfs b = Explore(lts);
    std::vector<char> terminated(lts.StateCount(), 0);
    for (const std::uint32_t s : b.order)
        for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k)
            if (lts.labels[lts.label[k]] == "delta") terminated[lts.target[k]] = 1;
    for (const std::uint32_t s : b.order) {
        if (lts.firstArc[s] != lts.firstArc[s + 1] || terminated[s]) continue;
        Trace trace;
        trace.prefix = PathTo(lts, b, s);
        const std::uint32_t end = trace.End(lts.initial);
        result.replayed = IsRunOf(trace, lts, lts.initial) && lts.firstArc[end] == lts.firstArc[end + 1] &&
                          (trace.prefix.empty() || lts.labels[trace.prefix.back().label] != "delta");
        result.trace = std::move(trace);
        return result;
    }
    return result;
}

SearchResult FindLivelock(const Lts& lts) {
    SearchResult result;
    const std::size_t n = lts.StateCount();
    const Bfs b = Explore(lts);
    // The states that can go on with internal actions forever: those left
    // once the states without an internal successor still in the set are
    // peeled off, repeatedly.
    std::vector<std::uint32_t> out(n, 0);
    std::vector<std::vector<std::uint32_t>> internalPredecessors(n);
    for (const std::uint32_t s : b.order)
        for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k)
            if (IsInternal(lts, lts.label[k])) {
                ++out[s];
                internalPredecessors[lts.target[k]].push_back(s);
            }
    std::vector<char> alive(n, 0);
    std::vector<std::uint32_t> peel;
    for (const std::uint32_t s : b.order) {
        alive[s] = 1;
        if (out[s] == 0) peel.push_back(s);
    }
    while (!peel.empty()) {
        const std::uint32_t s = peel.back();
        peel.pop_back();
        if (!alive[s]) continue;
        alive[s] = 0;
        for (const std::uint32_t p : internalPredecessors[s])
            if (alive[p] && --out[p] == 0) peel.push_back(p);
    }
    // Every state alive has an internal successor alive: following them from
    // the nearest one must close a cycle.
    for (const std::uint32_t s : b.order) {
        if (!alive[s]) continue;
        std::vector<Step> walk;
        std::vector<std::int64_t> position(n, -1);
        std::uint32_t at = s;
        while (position[at] < 0) {
            position[at] = static_cast<std::int64_t>(walk.size());
            for (std::uint32_t k = lts.firstArc[at]; k < lts.firstArc[at + 1]; ++k)
                if (IsInternal(lts, lts.label[k]) && alive[lts.target[k]]) {
                    walk.push_back({at, lts.label[k], lts.target[k]});
                    at = lts.target[k];
                    break;
                }
        }
        Trace trace;
        trace.prefix = PathTo(lts, b, s);
        const auto loop = static_cast<std::size_t>(position[at]);
        trace.prefix.insert(trace.prefix.end(), walk.begin(), walk.begin() + static_cast<std::ptrdiff_t>(loop));
        trace.cycle.assign(walk.begin() + static_cast<std::ptrdiff_t>(loop), walk.end());
        result.replayed = IsRunOf(trace, lts, lts.initial) && !trace.cycle.empty() &&
                          std::all_of(trace.cycle.begin(), trace.cycle.end(),
                                      [&](const Step& st) { return IsInternal(lts, st.label); });
        result.trace = std::move(trace);
        return result;
    }
    return result;
}

}  // namespace quarvo::logic
