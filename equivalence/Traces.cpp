#include "equivalence/Traces.h"

#include <algorithm>
#include <deque>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

namespace quarvo {
namespace {

struct SubsetHash {
    std::size_t operator()(const std::vector<std::uint32_t>& states) const {
        std::size_t h = states.size() * 0x9E3779B97F4A7C15ull;
        for (std::uint32_t s : states) h = (h ^ s) * 0x100000001B3ull + (h >> 29);
        return h;
    }
};

// The τ-closed subsets met so far, each with a number, and their moves by
// visible label (computed when first asked).
class SubsetTable {
public:
    SubsetTable(const Lts& lts, const std::vector<std::uint32_t>& rank) : lts_(lts), rank_(rank) {}

    // The number of the τ-closure of states (which it sorts and may grow).
    std::uint32_t Intern(std::vector<std::uint32_t> states) {
        Close(states);
        auto [it, inserted] = ids_.try_emplace(std::move(states), static_cast<std::uint32_t>(subsets_.size()));
        if (inserted) {
            subsets_.push_back(&it->first);
            moves_.emplace_back();
            movesKnown_.push_back(false);
        }
        return it->second;
    }

    // The visible moves of subset id: (label, subset reached), labels in name order.
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& Moves(std::uint32_t id) {
        if (!movesKnown_[id]) {
            // Targets by label, labels met in any order, then sorted by name.
            std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> byLabel;
            for (std::uint32_t s : *subsets_[id]) {
                for (std::uint32_t k = lts_.firstArc[s]; k < lts_.firstArc[s + 1]; ++k) {
                    if (lts_.label[k] != TauLabel) byLabel[lts_.label[k]].push_back(lts_.target[k]);
                }
            }
            std::vector<std::uint32_t> labels;
            labels.reserve(byLabel.size());
            for (const auto& [label, targets] : byLabel) labels.push_back(label);
            std::sort(labels.begin(), labels.end(),
                      [&](std::uint32_t a, std::uint32_t b) { return rank_[a] < rank_[b]; });
            std::vector<std::pair<std::uint32_t, std::uint32_t>> moves;
            moves.reserve(labels.size());
            for (std::uint32_t label : labels) moves.emplace_back(label, Intern(std::move(byLabel[label])));
            moves_[id] = std::move(moves);
            movesKnown_[id] = true;
        }
        return moves_[id];
    }

    std::size_t Size() const { return subsets_.size(); }

private:
    // Adds every state reachable by internal arcs, then sorts without repeats.
    void Close(std::vector<std::uint32_t>& states) {
        std::sort(states.begin(), states.end());
        states.erase(std::unique(states.begin(), states.end()), states.end());
        std::unordered_set<std::uint32_t> seen(states.begin(), states.end());
        for (std::size_t i = 0; i < states.size(); ++i) {
            const std::uint32_t s = states[i];
            for (std::uint32_t k = lts_.firstArc[s]; k < lts_.firstArc[s + 1]; ++k) {
                if (lts_.label[k] == TauLabel && seen.insert(lts_.target[k]).second) {
                    states.push_back(lts_.target[k]);
                }
            }
        }
        std::sort(states.begin(), states.end());
    }

    const Lts& lts_;
    const std::vector<std::uint32_t>& rank_;
    std::unordered_map<std::vector<std::uint32_t>, std::uint32_t, SubsetHash> ids_;
    std::vector<const std::vector<std::uint32_t>*> subsets_;  // keys of ids_, which do not move
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> moves_;
    std::vector<bool> movesKnown_;
};

}  // namespace

std::vector<std::uint32_t> LabelRanksByName(const Lts& lts) {
    std::vector<std::uint32_t> order(lts.labels.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return lts.labels[a] < lts.labels[b]; });
    std::vector<std::uint32_t> rank(order.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) rank[order[i]] = i;
    return rank;
}

TraceDifference CompareTraces(const Lts& lts, std::uint32_t first, std::uint32_t second, Progress* progress) {
    const std::vector<std::uint32_t> rank = LabelRanksByName(lts);
    SubsetTable table(lts, rank);
    // A pair of subsets reached by one trace, and how: the pair before and the label.
    struct Pair {
        std::uint32_t x, y;
        std::uint32_t parent;
        std::uint32_t label;
    };
    std::vector<Pair> pairs;
    std::unordered_map<std::uint64_t, std::uint32_t> seen;
    const auto key = [](std::uint32_t x, std::uint32_t y) { return (std::uint64_t{x} << 32) | y; };
    const auto add = [&](std::uint32_t x, std::uint32_t y, std::uint32_t parent, std::uint32_t label) {
        if (x == y) return;  // one subset: the same traces from there on
        if (seen.emplace(key(x, y), static_cast<std::uint32_t>(pairs.size())).second) {
            pairs.push_back({x, y, parent, label});
        }
    };
    const std::uint32_t x0 = table.Intern({first});
    const std::uint32_t y0 = table.Intern({second});
    add(x0, y0, UINT32_MAX, 0);

    TraceDifference result;
    // The pairs vector is the queue: pairs are appended in breadth-first order.
    for (std::size_t next = 0; next < pairs.size(); ++next) {
        if (progress != nullptr && next % 1024 == 0) {
            progress->UpdatePhase("paires d'ensembles d'états", static_cast<std::int64_t>(pairs.size()), "paires");
            if (progress->StopRequested()) {
                result.stopped = true;
                return result;
            }
        }
        const auto current = static_cast<std::uint32_t>(next);
        // Moves may grow the table: ask for both before holding either.
        table.Moves(pairs[current].x);
        const auto& yMoves = table.Moves(pairs[current].y);
        const auto& xMoves = table.Moves(pairs[current].x);
        // Both lists are in name order: walk them side by side.
        std::size_t i = 0, j = 0;
        std::uint32_t missing = UINT32_MAX;
        bool firstHasIt = true;
        while (i < xMoves.size() || j < yMoves.size()) {
            if (j == yMoves.size() || (i < xMoves.size() && rank[xMoves[i].first] < rank[yMoves[j].first])) {
                missing = xMoves[i].first;
                firstHasIt = true;
                break;
            }
            if (i == xMoves.size() || rank[yMoves[j].first] < rank[xMoves[i].first]) {
                missing = yMoves[j].first;
                firstHasIt = false;
                break;
            }
            ++i;
            ++j;
        }
        if (missing != UINT32_MAX) {
            result.trace.push_back(missing);
            for (std::uint32_t p = current; pairs[p].parent != UINT32_MAX; p = pairs[p].parent) {
                result.trace.push_back(pairs[p].label);
            }
            std::reverse(result.trace.begin(), result.trace.end());
            result.traceOfFirst = firstHasIt;
            return result;
        }
        for (std::size_t k = 0; k < xMoves.size(); ++k) {
            add(xMoves[k].second, yMoves[k].second, current, xMoves[k].first);
        }
    }
    result.equivalent = true;
    return result;
}

}  // namespace quarvo
