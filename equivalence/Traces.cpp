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
// has not, the first by name among the shortest (found).
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
        for (std::uint32_t other : held) {
            if (other == subset || Included(other, subset)) return false;
        }
        const auto end = std::remove_if(held.begin(), held.end(),
                                        [&](std::uint32_t other) { return Included(subset, other); });
        held.erase(end, held.end());
        held.push_back(subset);
        ++added_;
        return true;
    }

    std::int64_t Added() const { return added_; }

private:
    // Whether subset a is included in subset b. The pairs of one trace share
    // their subset, and the states of one system mostly the same few: the
    // answers are kept.
    bool Included(std::uint32_t a, std::uint32_t b) {
        const std::vector<std::uint32_t>& x = table_.States(a);
        const std::vector<std::uint32_t>& y = table_.States(b);
        if (x.size() > y.size()) return false;
        if (x.size() < 16) return std::includes(y.begin(), y.end(), x.begin(), x.end());
        const auto [it, inserted] = included_.try_emplace((std::uint64_t{a} << 32) | b, false);
        if (inserted) it->second = std::includes(y.begin(), y.end(), x.begin(), x.end());
        return it->second;
    }

    std::vector<std::vector<std::uint32_t>> bySubset_;
    const SubsetTable& table_;
    std::unordered_map<std::uint64_t, bool> included_;
    std::int64_t added_ = 0;
};

// Whether every trace of impl is one of spec, searched breadth first over
// the traces both have, one length at a time. The pairs reached by one trace
// go together (a group): the subset of spec is the same for all, and their
// moves are tried label by label in name order, so that groups come in order
// of their trace's length, then by name. A pair subsumed by one kept earlier
// (by a trace as short or shorter, first by name) is dropped: whatever
// distinguishing trace follows it follows the other too, no longer.
class InclusionSearch {
public:
    InclusionSearch(const Lts& lts, const std::vector<std::uint32_t>& rank, std::uint32_t impl, std::uint32_t spec)
        : lts_(lts), rank_(rank), table_(lts, rank), antichain_(static_cast<std::uint32_t>(lts.StateCount()), table_) {
        std::vector<std::uint32_t> start{impl};
        CloseUnderInternal(lts_, start);
        Group first{{}, table_.Intern({spec}), UINT32_MAX, 0, 0};
        for (std::uint32_t p : start) {
            if (antichain_.Keep(p, first.subset)) first.states.push_back(p);
        }
        heldStates_ += static_cast<std::int64_t>(first.states.size());
        groups_.push_back(std::move(first));
    }

    // Expands the groups of the current length, seeking traces one longer.
    // False when the caller asked to stop or the memory would not do
    // (result() says which).
    bool ExpandLevel(Progress* progress, const MemoryWatch& memory, std::int64_t exploredBefore) {
        if (Done()) return true;
        const std::uint32_t depth = groups_[next_].depth;
        for (; next_ < groups_.size() && groups_[next_].depth == depth; ++next_) {
            if (work_ >= kWorkBetweenChecks || next_ % 256 == 0) {
                work_ = 0;
                result_.explored = antichain_.Added();
                if (progress != nullptr) {
                    progress->UpdatePhase("paires de l'anti-chaîne", exploredBefore + result_.explored, "paires");
                    if (progress->StopRequested()) {
                        result_.stopped = true;
                        return false;
                    }
                }
                const auto groupBytes = static_cast<std::int64_t>(groups_.capacity() * sizeof(Group));
                if (memory.NearLimit(groupBytes + (table_.Bytes() + heldStates_ * 4 + result_.explored * 8) / 4)) {
                    result_.tooLarge = true;
                    return false;
                }
            }
            Expand(next_);
            if (result_.found) break;
        }
        result_.explored = antichain_.Added();
        return true;
    }

    // The search is over: a trace was found, or no group is left.
    bool Done() const { return result_.found || next_ >= groups_.size(); }

    const Inclusion& result() const { return result_; }

private:
    struct Group {
        std::vector<std::uint32_t> states;  // of impl, until the group is expanded
        std::uint32_t subset;               // of spec
        std::uint32_t parent;
        std::uint32_t label;
        std::uint32_t depth;
    };

    // States and arcs looked at between two looks at the memory.
    static constexpr std::int64_t kWorkBetweenChecks = std::int64_t{1} << 20;

    void Expand(std::size_t g) {
        // The visible moves of the group's states, by label in name order.
        std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> byLabel;
        for (std::uint32_t p : groups_[g].states) {
            for (std::uint32_t k = lts_.firstArc[p]; k < lts_.firstArc[p + 1]; ++k) {
                if (lts_.label[k] != TauLabel) byLabel[lts_.label[k]].push_back(lts_.target[k]);
            }
        }
        work_ += static_cast<std::int64_t>(groups_[g].states.size());
        heldStates_ -= static_cast<std::int64_t>(groups_[g].states.size());
        std::vector<std::uint32_t>().swap(groups_[g].states);
        std::vector<std::uint32_t> labels;
        labels.reserve(byLabel.size());
        for (const auto& [label, targets] : byLabel) labels.push_back(label);
        std::sort(labels.begin(), labels.end(), [&](std::uint32_t a, std::uint32_t b) { return rank_[a] < rank_[b]; });
        const std::vector<std::pair<std::uint32_t, std::uint32_t>> specMoves = table_.Moves(groups_[g].subset);
        std::size_t j = 0;
        for (std::uint32_t label : labels) {
            while (j < specMoves.size() && rank_[specMoves[j].first] < rank_[label]) ++j;
            if (j == specMoves.size() || specMoves[j].first != label) {
                result_.found = true;
                result_.trace.push_back(label);
                for (std::size_t h = g; groups_[h].parent != UINT32_MAX; h = groups_[h].parent) {
                    result_.trace.push_back(groups_[h].label);
                }
                std::reverse(result_.trace.begin(), result_.trace.end());
                return;
            }
            std::vector<std::uint32_t> reached = std::move(byLabel[label]);
            CloseUnderInternal(lts_, reached);
            work_ += static_cast<std::int64_t>(reached.size());
            Group child{{}, specMoves[j].second, static_cast<std::uint32_t>(g), label, groups_[g].depth + 1};
            for (std::uint32_t q : reached) {
                if (antichain_.Keep(q, child.subset)) child.states.push_back(q);
            }
            if (!child.states.empty()) {
                heldStates_ += static_cast<std::int64_t>(child.states.size());
                groups_.push_back(std::move(child));
            }
        }
    }

    const Lts& lts_;
    const std::vector<std::uint32_t>& rank_;
    SubsetTable table_;
    Antichain antichain_;
    std::vector<Group> groups_;  // the queue: appended in breadth-first order
    std::size_t next_ = 0;
    std::int64_t heldStates_ = 0;
    std::int64_t work_ = 0;
    Inclusion result_;
};

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
    // Both ways in step, one length at a time: the first trace found, either
    // way, bounds the other search to the same length.
    InclusionSearch one(lts, rank, first, second), two(lts, rank, second, first);
    while (!one.Done() || !two.Done()) {
        const bool going = one.ExpandLevel(progress, memory, 0) &&
                           two.ExpandLevel(progress, memory, one.result().explored);
        result.explored = one.result().explored + two.result().explored;
        if (!going) {
            result.stopped = one.result().stopped || two.result().stopped;
            result.tooLarge = !result.stopped;
            return result;
        }
        if (one.result().found || two.result().found) break;
    }
    const Inclusion& a = one.result();
    const Inclusion& b = two.result();
    if (!a.found && !b.found) {
        result.equivalent = true;
    } else if (a.found && (!b.found || NameOrderBefore(rank, a.trace, b.trace))) {
        result.trace = a.trace;
        result.traceOfFirst = true;
    } else {
        result.trace = b.trace;
        result.traceOfFirst = false;
    }
    return result;
}

}  // namespace quarvo
