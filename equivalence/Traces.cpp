#include "equivalence/Traces.h"

#include <algorithm>
#include <deque>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

#include "generation/MemoryWatch.h"

namespace quarvo {
namespace {

// Adds to states every state reachable by internal arcs, then sorts them
// without repeats.
void CloseUnderInternal(const Lts& lts, std::vector<std::uint32_t>& states) {
    std::sort(states.begin(), states.end());
    states.erase(std::unique(states.begin(), states.end()), states.end());
    std::unordered_set<std::uint32_t> seen(states.begin(), states.end());
    for (std::size_t i = 0; i < states.size(); ++i) {
        const std::uint32_t s = states[i];
        for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k) {
            if (lts.label[k] == TauLabel && seen.insert(lts.target[k]).second) states.push_back(lts.target[k]);
        }
    }
    std::sort(states.begin(), states.end());
}

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
        CloseUnderInternal(lts_, states);
        auto [it, inserted] = ids_.try_emplace(std::move(states), static_cast<std::uint32_t>(subsets_.size()));
        if (inserted) {
            bytes_ += static_cast<std::int64_t>(it->first.size() * sizeof(std::uint32_t)) + 96;
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
            bytes_ += static_cast<std::int64_t>(moves.size() * sizeof(moves[0]));
            moves_[id] = std::move(moves);
            movesKnown_[id] = true;
        }
        return moves_[id];
    }

    std::size_t Size() const { return subsets_.size(); }

    // The states of subset id, sorted.
    const std::vector<std::uint32_t>& States(std::uint32_t id) const { return *subsets_[id]; }

    // About the bytes the subsets and their moves hold.
    std::int64_t Bytes() const { return bytes_; }

private:

    const Lts& lts_;
    const std::vector<std::uint32_t>& rank_;
    std::unordered_map<std::vector<std::uint32_t>, std::uint32_t, SubsetHash> ids_;
    std::vector<const std::vector<std::uint32_t>*> subsets_;  // keys of ids_, which do not move
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> moves_;
    std::vector<bool> movesKnown_;
    std::int64_t bytes_ = 0;
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
            result.explored = static_cast<std::int64_t>(pairs.size());
            return result;
        }
        for (std::size_t k = 0; k < xMoves.size(); ++k) {
            add(xMoves[k].second, yMoves[k].second, current, xMoves[k].first);
        }
    }
    result.equivalent = true;
    result.explored = static_cast<std::int64_t>(pairs.size());
    return result;
}

namespace {

// The answer of one inclusion: the shortest trace of one side that the other
// has not, the first by name among the shortest.
struct Inclusion {
    bool stopped = false;
    bool tooLarge = false;
    bool found = false;
    std::vector<std::uint32_t> trace;
    std::int64_t explored = 0;
};

// The pairs (state, subset) kept so far, for each state those whose subsets
// include no other's: a new pair is kept only when none of its state's
// subsets is included in its own, and it takes the place of those that
// include it.
class Antichain {
public:
    Antichain(std::uint32_t states, const SubsetTable& table) : bySubset_(states), table_(table) {}

    bool Keep(std::uint32_t state, std::uint32_t subset) {
        std::vector<std::uint32_t>& held = bySubset_[state];
        const std::vector<std::uint32_t>& s = table_.States(subset);
        for (std::uint32_t other : held) {
            if (other == subset) return false;
            const std::vector<std::uint32_t>& o = table_.States(other);
            if (o.size() <= s.size() && std::includes(s.begin(), s.end(), o.begin(), o.end())) return false;
        }
        const auto end = std::remove_if(held.begin(), held.end(), [&](std::uint32_t other) {
            const std::vector<std::uint32_t>& o = table_.States(other);
            return o.size() >= s.size() && std::includes(o.begin(), o.end(), s.begin(), s.end());
        });
        held.erase(end, held.end());
        held.push_back(subset);
        ++added_;
        return true;
    }

    std::int64_t Added() const { return added_; }

private:
    std::vector<std::vector<std::uint32_t>> bySubset_;
    const SubsetTable& table_;
    std::int64_t added_ = 0;
};

// Whether every trace of impl is one of spec, searched breadth first over
// the traces both have. The pairs reached by one trace go together (a
// group): the subset of spec is the same for all, and their moves are
// tried label by label in name order, so that groups come in order of their
// trace's length, then by name. A pair subsumed by one kept earlier (by a
// trace as short or shorter, first by name) is dropped: whatever
// distinguishing trace follows it follows the other too, no longer. Traces
// longer than maxLength are not sought.
Inclusion CheckInclusion(const Lts& lts, const std::vector<std::uint32_t>& rank, std::uint32_t impl,
                         std::uint32_t spec, std::size_t maxLength, Progress* progress, const MemoryWatch& memory) {
    SubsetTable table(lts, rank);
    Antichain antichain(static_cast<std::uint32_t>(lts.StateCount()), table);
    struct Group {
        std::vector<std::uint32_t> states;  // of impl, until the group is expanded
        std::uint32_t subset;               // of spec
        std::uint32_t parent;
        std::uint32_t label;
        std::uint32_t depth;
    };
    std::vector<Group> groups;
    std::int64_t heldStates = 0;
    {
        std::vector<std::uint32_t> start{impl};
        CloseUnderInternal(lts, start);
        Group first{{}, table.Intern({spec}), UINT32_MAX, 0, 0};
        for (std::uint32_t p : start) {
            if (antichain.Keep(p, first.subset)) first.states.push_back(p);
        }
        heldStates += static_cast<std::int64_t>(first.states.size());
        groups.push_back(std::move(first));
    }
    Inclusion result;
    for (std::size_t next = 0; next < groups.size() && groups[next].depth < maxLength; ++next) {
        if (next % 256 == 0) {
            result.explored = antichain.Added();
            if (progress != nullptr) {
                progress->UpdatePhase("paires de l'anti-chaîne", result.explored, "paires");
                if (progress->StopRequested()) {
                    result.stopped = true;
                    return result;
                }
            }
            const std::int64_t held = table.Bytes() + heldStates * 4 +
                                      static_cast<std::int64_t>(groups.capacity() * sizeof(Group)) +
                                      result.explored * 8;
            if (memory.NearLimit(held / 4 + static_cast<std::int64_t>(groups.capacity() * sizeof(Group)))) {
                result.tooLarge = true;
                return result;
            }
        }
        // The visible moves of the group's states, by label in name order.
        std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> byLabel;
        for (std::uint32_t p : groups[next].states) {
            for (std::uint32_t k = lts.firstArc[p]; k < lts.firstArc[p + 1]; ++k) {
                if (lts.label[k] != TauLabel) byLabel[lts.label[k]].push_back(lts.target[k]);
            }
        }
        heldStates -= static_cast<std::int64_t>(groups[next].states.size());
        std::vector<std::uint32_t>().swap(groups[next].states);
        std::vector<std::uint32_t> labels;
        labels.reserve(byLabel.size());
        for (const auto& [label, targets] : byLabel) labels.push_back(label);
        std::sort(labels.begin(), labels.end(), [&](std::uint32_t a, std::uint32_t b) { return rank[a] < rank[b]; });
        const std::vector<std::pair<std::uint32_t, std::uint32_t>> specMoves = table.Moves(groups[next].subset);
        std::size_t j = 0;
        for (std::uint32_t label : labels) {
            while (j < specMoves.size() && rank[specMoves[j].first] < rank[label]) ++j;
            if (j == specMoves.size() || specMoves[j].first != label) {
                result.found = true;
                result.trace.push_back(label);
                for (std::size_t g = next; groups[g].parent != UINT32_MAX; g = groups[g].parent) {
                    result.trace.push_back(groups[g].label);
                }
                std::reverse(result.trace.begin(), result.trace.end());
                result.explored = antichain.Added();
                return result;
            }
            std::vector<std::uint32_t> reached = std::move(byLabel[label]);
            CloseUnderInternal(lts, reached);
            Group child{{}, specMoves[j].second, static_cast<std::uint32_t>(next), label, groups[next].depth + 1};
            for (std::uint32_t q : reached) {
                if (antichain.Keep(q, child.subset)) child.states.push_back(q);
            }
            if (!child.states.empty()) {
                heldStates += static_cast<std::int64_t>(child.states.size());
                groups.push_back(std::move(child));
            }
        }
    }
    result.explored = antichain.Added();
    return result;
}

bool NameOrderBefore(const std::vector<std::uint32_t>& rank, const std::vector<std::uint32_t>& a,
                     const std::vector<std::uint32_t>& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](std::uint32_t x, std::uint32_t y) { return rank[x] < rank[y]; });
}

}  // namespace

TraceDifference CompareTracesByAntichains(const Lts& lts, std::uint32_t first, std::uint32_t second,
                                          Progress* progress, std::int64_t memoryLimit) {
    const std::vector<std::uint32_t> rank = LabelRanksByName(lts);
    const MemoryWatch memory(memoryLimit);
    TraceDifference result;
    Inclusion one = CheckInclusion(lts, rank, first, second, SIZE_MAX, progress, memory);
    result.explored = one.explored;
    if (one.stopped || one.tooLarge) {
        result.stopped = one.stopped;
        result.tooLarge = one.tooLarge;
        return result;
    }
    // The other way, no longer than the trace already found.
    Inclusion two = CheckInclusion(lts, rank, second, first, one.found ? one.trace.size() : SIZE_MAX, progress, memory);
    result.explored += two.explored;
    if (two.stopped || two.tooLarge) {
        result.stopped = two.stopped;
        result.tooLarge = two.tooLarge;
        return result;
    }
    if (!one.found && !two.found) {
        result.equivalent = true;
    } else if (one.found && (!two.found || NameOrderBefore(rank, one.trace, two.trace))) {
        result.trace = std::move(one.trace);
        result.traceOfFirst = true;
    } else {
        result.trace = std::move(two.trace);
        result.traceOfFirst = false;
    }
    return result;
}

}  // namespace quarvo
