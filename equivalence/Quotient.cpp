// Quotients of a transition system by a partition, stores made of them, and
// the reduction of a STEM.
#include <algorithm>
#include <map>
#include <new>

#include "equivalence/Equivalence.h"
#include "equivalence/TauComponents.h"

namespace quarvo {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

struct NumberedQuotient {
    Lts lts;
    std::vector<std::uint32_t> blockOfState;  // per state of the quotient: its block
};

// The quotient and, for each of its states, the block it stands for.
NumberedQuotient BuildQuotient(const Lts& lts, const Partition& partition, bool dropInertInternal,
                               bool keepDivergence) {
    NumberedQuotient q;
    q.lts.labels = lts.labels;
    const std::size_t n = lts.StateCount();
    if (n == 0) return q;
    const std::uint32_t blocks = partition.count;

    // Members of each block, in increasing order.
    std::vector<std::uint32_t> memberStart(std::size_t{blocks} + 1, 0), members(n);
    for (std::uint32_t b : partition.block) ++memberStart[b + 1];
    for (std::uint32_t b = 0; b < blocks; ++b) memberStart[b + 1] += memberStart[b];
    {
        std::vector<std::uint32_t> at(memberStart.begin(), memberStart.end() - 1);
        for (std::uint32_t s = 0; s < n; ++s) members[at[partition.block[s]]++] = s;
    }

    // Blocks with an internal cycle inside them.
    std::vector<bool> divergent;
    if (keepDivergence && dropInertInternal) {
        divergent.assign(blocks, false);
        const detail::TauComponents components = detail::FindTauComponents(lts, partition.block);
        for (std::uint32_t s = 0; s < n; ++s)
            if (components.cyclic[components.component[s]]) divergent[partition.block[s]] = true;
    }

    // Labels ranked by name.
    std::vector<std::uint32_t> byName(lts.labels.size()), rank(lts.labels.size());
    for (std::uint32_t l = 0; l < byName.size(); ++l) byName[l] = l;
    std::sort(byName.begin(), byName.end(),
              [&](std::uint32_t a, std::uint32_t b) { return lts.labels[a] < lts.labels[b]; });
    for (std::uint32_t k = 0; k < byName.size(); ++k) rank[byName[k]] = k;

    std::vector<std::uint32_t> number(blocks, kNone);
    std::vector<std::uint32_t>& order = q.blockOfState;
    order.reserve(blocks);
    q.lts.firstArc.reserve(std::size_t{blocks} + 1);
    // A quotient has at most the arcs of the system; when few states merge
    // it has nearly all of them, so room for them all saves the regrowing.
    if (std::size_t{blocks} * 2 > n) {
        q.lts.label.reserve(lts.ArcCount());
        q.lts.target.reserve(lts.ArcCount());
    }
    order.push_back(partition.block[lts.initial]);
    number[order[0]] = 0;
    struct Arc {
        std::uint32_t rank, found, target;  // found: rank in the order found; target: a block, then a number
    };
    std::vector<Arc> arcs;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::uint32_t b = order[i];
        arcs.clear();
        for (std::uint32_t k = memberStart[b]; k < memberStart[b + 1]; ++k) {
            const std::uint32_t s = members[k];
            for (std::uint32_t e = lts.firstArc[s]; e < lts.firstArc[s + 1]; ++e) {
                const std::uint32_t c = partition.block[lts.target[e]];
                if (dropInertInternal && lts.label[e] == TauLabel && c == b) continue;
                arcs.push_back(Arc{rank[lts.label[e]], static_cast<std::uint32_t>(arcs.size()), c});
            }
        }
        if (!divergent.empty() && divergent[b])
            arcs.push_back(Arc{rank[TauLabel], static_cast<std::uint32_t>(arcs.size()), b});
        // New blocks are numbered in the order of their arcs' label names,
        // then in the order the arcs were found.
        std::sort(arcs.begin(), arcs.end(),
                  [](const Arc& x, const Arc& y) { return x.rank != y.rank ? x.rank < y.rank : x.found < y.found; });
        for (Arc& arc : arcs) {
            if (number[arc.target] == kNone) {
                number[arc.target] = static_cast<std::uint32_t>(order.size());
                order.push_back(arc.target);
            }
            arc.target = number[arc.target];
        }
        std::sort(arcs.begin(), arcs.end(),
                  [](const Arc& x, const Arc& y) { return x.rank != y.rank ? x.rank < y.rank : x.target < y.target; });
        const auto last = std::unique(arcs.begin(), arcs.end(), [](const Arc& x, const Arc& y) {
            return x.rank == y.rank && x.target == y.target;
        });
        for (auto it = arcs.begin(); it != last; ++it) {
            q.lts.label.push_back(byName[it->rank]);
            q.lts.target.push_back(it->target);
        }
        q.lts.firstArc.push_back(static_cast<std::uint32_t>(q.lts.target.size()));
    }
    return q;
}

// Fills an empty store with lts: states with the given event sets (none when
// events is empty), each arc with event 0 and no causes.
void FillStore(const Lts& lts, StemStore& store, const std::vector<EventSetId>& events) {
    std::vector<ActionId> action(lts.labels.size());
    for (std::size_t l = 0; l < lts.labels.size(); ++l) action[l] = store.actions.InternText(lts.labels[l]);
    const std::size_t n = lts.StateCount();
    store.Reserve(n, lts.ArcCount());
    store.FitArcs(n > 0 ? static_cast<std::uint32_t>(n - 1) : 0, lts.labels.size());
    for (std::size_t s = 0; s < n; ++s)
        store.AppendState(static_cast<std::int32_t>(s), events.empty() ? EmptyEventSet : events[s]);
    std::vector<TStemArc> found;
    for (std::size_t s = 0; s < n; ++s) {
        // The store reads a state's arcs newest first: the last one found is
        // the lts's first.
        found.clear();
        for (std::uint32_t e = lts.firstArc[s + 1]; e-- > lts.firstArc[s];)
            found.push_back(TStemArc{static_cast<std::int32_t>(lts.target[e]), action[lts.label[e]], 0, EmptyEventSet});
        store.SetArcs(s, found);
    }
    store.StemStateCount = static_cast<std::int32_t>(n);
    store.LastGenStateCount = static_cast<std::int32_t>(n);
}

// A first block per state: states whose maximal events carry the same set
// of action names share one.
std::vector<std::uint32_t> BlocksOfStateLabels(const StemStore& stem) {
    std::vector<std::uint32_t> keyOfSet(stem.EventSetCount(), kNone);
    std::map<std::vector<ActionId>, std::uint32_t> keys;
    std::vector<std::uint32_t> block(stem.StateCount());
    std::vector<ActionId> actions;
    for (std::size_t s = 0; s < block.size(); ++s) {
        const EventSetId id = stem.Record(s).Events;
        std::uint32_t& key = keyOfSet[id];
        if (key == kNone) {
            actions.clear();
            for (const TEventEntry entry : stem.Events(id)) actions.push_back(entry.Action);
            std::sort(actions.begin(), actions.end());
            actions.erase(std::unique(actions.begin(), actions.end()), actions.end());
            key = keys.try_emplace(actions, static_cast<std::uint32_t>(keys.size())).first->second;
        }
        block[s] = key;
    }
    return block;
}

}  // namespace

Lts QuotientLts(const Lts& lts, const Partition& partition, bool dropInertInternal, bool keepDivergence) {
    return BuildQuotient(lts, partition, dropInertInternal, keepDivergence).lts;
}

StemStore StoreFromLts(const Lts& lts) {
    StemStore store;
    FillStore(lts, store, {});
    return store;
}

ReduceResult ReduceStem(const StemStore& stem, const ReduceOptions& options, Progress* progress) {
    ReduceResult result;
    result.statesBefore = static_cast<std::int64_t>(stem.StateCount());
    result.arcsBefore = stem.ArcCount();
    const Equivalence equivalence = options.equivalence;
    if (equivalence != Equivalence::Strong && equivalence != Equivalence::Branching &&
        equivalence != Equivalence::DivergenceBranching) {
        result.status = Failure{"La réduction se fait modulo la bissimulation forte ou de branchement."};
        return result;
    }
    try {
        const Lts lts = LtsFromStem(stem);
        std::vector<std::uint32_t> initial;
        if (options.keepStateLabels) initial = BlocksOfStateLabels(stem);
        const bool divergence = equivalence == Equivalence::DivergenceBranching;
        const Partition partition = equivalence == Equivalence::Strong
                                        ? StrongBisimulation(lts, progress, initial)
                                        : BranchingBisimulation(lts, divergence, progress, initial);
        if (partition.stopped) {
            result.stopped = true;
            return result;
        }
        const NumberedQuotient q =
            BuildQuotient(lts, partition, equivalence != Equivalence::Strong, divergence);
        std::vector<EventSetId> events;
        if (options.keepStateLabels) {
            // The events of each block's first member, the store's action
            // table taken whole so that their actions keep their numbers.
            result.quotient.actions = stem.actions;
            std::vector<std::uint32_t> firstMember(partition.count, kNone);
            for (std::size_t s = stem.StateCount(); s-- > 0;)
                firstMember[partition.block[s]] = static_cast<std::uint32_t>(s);
            events.reserve(q.blockOfState.size());
            for (std::uint32_t b : q.blockOfState)
                events.push_back(result.quotient.InternEvents(stem.State(firstMember[b]).Events));
        }
        FillStore(q.lts, result.quotient, events);
        result.statesAfter = static_cast<std::int64_t>(result.quotient.StateCount());
        result.arcsAfter = result.quotient.ArcCount();
    } catch (const std::bad_alloc&) {
        result.quotient = StemStore();
        result.statesAfter = result.arcsAfter = 0;
        result.status = Failure{"Mémoire insuffisante : la réduction a été abandonnée."};
    }
    return result;
}

namespace {

// "1 état", "0 arc", "12 états": French puts the singular below two.
std::string Counted(std::int64_t count, const char* singular) {
    return std::to_string(count) + " " + singular + (count >= 2 ? "s" : "");
}

}  // namespace

std::vector<std::string> ReduceSummaryLines(const ReduceResult& result) {
    if (result.stopped) return {"Réduction arrêtée."};
    if (!result.status.ok()) return {result.status.message()};
    return {"Réduction : " + Counted(result.statesBefore, "état") + " et " + Counted(result.arcsBefore, "arc") +
            " avant, " + Counted(result.statesAfter, "état") + " et " + Counted(result.arcsAfter, "arc") + " après."};
}

}  // namespace quarvo
