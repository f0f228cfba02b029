// The coarsest branching bisimulation, plain or divergence-sensitive, by
// refinement with splitters (in the manner of Groote and Vaandrager), each
// split walking only the smaller of its two parts, after contracting the
// cycles of internal arcs.
//
// The states of a cycle of internal arcs are branching bisimilar (and
// divergence-sensitive branching bisimilar): each strongly connected
// component of the internal arcs becomes one node, which leaves the internal
// arcs between nodes without cycles. An internal arc is inert when its ends
// are in the same block. A node is a bottom node of its block when it has no
// inert arc. When divergence counts, a node that was a cycle gets an arc to
// itself of a label of its own, never inert: "it diverges".
//
// A block B is stable under a pair (a, X) of a label and a block when no
// node of B has a non-inert a-arc into X, or every bottom node of B has one.
// A partition stable under all its pairs is a branching bisimulation (every
// node reaches a bottom node by inert arcs, and the bottom nodes have the
// pairs of all). A block that is not stable under (a, X) is split into the
// nodes that reach such an arc by inert arcs (pos) and the others (rest):
// states that are branching bisimilar are never split apart, so the stable
// partition reached is the coarsest.
//
// The work lists: blocks to use as splitters (every pair (a, X) for every
// a), and blocks whose bottom nodes changed, to check under all their own
// pairs. A block that is neither queued nor to check is stable under every
// pair of a block that is not queued:
//  - after a block X is used, every block is stable under (a, X), for all a;
//  - a split block's two parts are queued as splitters (their predecessors'
//    pairs changed, and the inert arcs between the parts became non-inert);
//  - a split's rest keeps its bottom nodes and its pairs, so stays stable;
//    in pos, a node whose inert arcs all went to the rest becomes a bottom
//    node; pos is then checked under all its pairs.
//
// A split runs two searches in turn, one arc each: pos, backwards along inert
// arcs from the nodes with a matching arc; the rest, backwards from the bottom
// nodes without one, a node joining when all its inert arcs lead into the
// rest. The first search to end gives the part that moves to a new block, so
// that a split costs about the smaller part's arcs. The nodes of a block lie
// side by side, its bottom nodes first, so that those without a matching arc
// are found without a walk of the block.
//
// Memory: the contracted arcs twice (forwards and backwards) and a few
// numbers per node.
#include <algorithm>
#include <deque>

#include "equivalence/Equivalence.h"
#include "equivalence/RefinablePartition.h"
#include "equivalence/TauComponents.h"

namespace quarvo {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

std::uint64_t Pack(std::uint32_t high, std::uint32_t low) { return (std::uint64_t{high} << 32) | low; }
std::uint32_t High(std::uint64_t packed) { return static_cast<std::uint32_t>(packed >> 32); }
std::uint32_t Low(std::uint64_t packed) { return static_cast<std::uint32_t>(packed); }

// A block: its nodes at [first, end) of the element order, the bottom ones
// at [first, bottomEnd), and of those the ones marked by the pair at hand at
// [first, markedEnd).
struct Block {
    std::uint32_t first, markedEnd, bottomEnd, end;
};

// Items grouped by a key below a bound, in time linear in the items, the
// groups in the order their keys first appear.
class Grouping {
public:
    template <class KeyOf>
    void Make(const std::vector<std::uint64_t>& items, std::size_t keyBound, KeyOf keyOf) {
        if (stamp_.size() < keyBound) {
            stamp_.resize(keyBound, kNone);
            slot_.resize(keyBound);
        }
        ++round_;
        starts.clear();
        for (std::uint64_t item : items) {
            const std::uint32_t key = keyOf(item);
            if (stamp_[key] != round_) {
                stamp_[key] = round_;
                slot_[key] = static_cast<std::uint32_t>(starts.size());
                starts.push_back(0);
            }
            ++starts[slot_[key]];
        }
        std::uint32_t sum = 0;
        for (std::uint32_t& start : starts) {
            const std::uint32_t count = start;
            start = sum;
            sum += count;
        }
        starts.push_back(sum);
        at_.assign(starts.begin(), starts.end() - 1);
        grouped.resize(items.size());
        for (std::uint64_t item : items) grouped[at_[slot_[keyOf(item)]]++] = item;
    }

    std::vector<std::uint64_t> grouped;
    std::vector<std::uint32_t> starts;  // group g: grouped[starts[g], starts[g + 1])

private:
    std::vector<std::uint32_t> stamp_, slot_, at_;
    std::uint32_t round_ = 0;
};

class SplitterRefiner {
public:
    SplitterRefiner(const Lts& lts, const std::vector<std::uint32_t>& group, bool divergenceSensitive,
                    Progress* progress)
        : poller_(progress), components_(detail::FindTauComponents(lts, group)) {
        const std::uint32_t k = components_.count;
        if (progress != nullptr) progress->UpdatePhase("contraction des cycles internes", k, "nœuds");
        Contract(lts, divergenceSensitive);
        FirstBlocks(group);
        const std::uint32_t none = kNone;
        markStamp_.assign(k, none);
        searchStamp_.assign(k, none);
        restStamp_.assign(k, none);
        remaining_.assign(k, 0);
        poller_.SetPhase("affinage de branchement", "blocs");
    }

    // False when stopped.
    bool Run() {
        while (true) {
            std::uint64_t steps = 0;
            if (!toCheck_.empty()) {
                const std::uint32_t b = toCheck_.front();
                toCheck_.pop_front();
                queuedCheck_[b] = false;
                steps = Check(b);
            } else if (!splitters_.empty()) {
                const std::uint32_t b = splitters_.front();
                splitters_.pop_front();
                queuedSplitter_[b] = false;
                steps = UseSplitter(b);
            } else {
                return true;
            }
            if (poller_.Stop(steps + 1, static_cast<std::int64_t>(blocks_.size()), 0) || poller_.Stopped())
                return false;
        }
    }

    // The block of each state of the lts.
    std::vector<std::uint32_t> StateBlocks() const {
        std::vector<std::uint32_t> blocks(components_.component.size());
        for (std::size_t s = 0; s < blocks.size(); ++s) blocks[s] = blockOf_[components_.component[s]];
        return blocks;
    }

private:
    // The arcs between nodes, each once, internal arcs inside a node
    // dropped, the divergence arcs added; forwards sorted by label (the
    // internal ones first), backwards with the internal ones first.
    void Contract(const Lts& lts, bool divergenceSensitive) {
        const std::uint32_t k = components_.count;
        const auto n = static_cast<std::uint32_t>(lts.StateCount());
        divergenceLabel_ = static_cast<std::uint32_t>(lts.labels.size());
        outFirst_.assign(std::size_t{k} + 1, 0);
        for (std::uint32_t s = 0; s < n; ++s)
            outFirst_[components_.component[s] + 1] += lts.firstArc[s + 1] - lts.firstArc[s];
        if (divergenceSensitive)
            for (std::uint32_t c = 0; c < k; ++c) outFirst_[c + 1] += components_.cyclic[c] ? 1 : 0;
        for (std::uint32_t c = 0; c < k; ++c) outFirst_[c + 1] += outFirst_[c];
        std::vector<std::uint64_t> arcs(outFirst_[k]);
        {
            std::vector<std::uint32_t> at(outFirst_.begin(), outFirst_.end() - 1);
            for (std::uint32_t s = 0; s < n; ++s) {
                const std::uint32_t c = components_.component[s];
                for (std::uint32_t e = lts.firstArc[s]; e < lts.firstArc[s + 1]; ++e)
                    arcs[at[c]++] = Pack(lts.label[e], components_.component[lts.target[e]]);
            }
            if (divergenceSensitive)
                for (std::uint32_t c = 0; c < k; ++c)
                    if (components_.cyclic[c]) arcs[at[c]++] = Pack(divergenceLabel_, c);
        }
        std::uint32_t kept = 0;
        for (std::uint32_t c = 0; c < k; ++c) {
            const std::uint32_t begin = outFirst_[c], end = outFirst_[c + 1];
            std::sort(arcs.begin() + begin, arcs.begin() + end);
            outFirst_[c] = kept;
            for (std::uint32_t i = begin; i < end; ++i) {
                const std::uint64_t arc = arcs[i];  // read before kept may reach i
                if (arc == Pack(TauLabel, c) || (kept > outFirst_[c] && arcs[kept - 1] == arc)) continue;
                arcs[kept++] = arc;
            }
        }
        outFirst_[k] = kept;
        arcs.resize(kept);
        arcs.shrink_to_fit();
        out_ = std::move(arcs);
        // Backwards: the internal arcs of each node first.
        inFirst_.assign(std::size_t{k} + 1, 0);
        internalIn_.assign(k, 0);
        for (std::uint64_t arc : out_) {
            ++inFirst_[Low(arc) + 1];
            if (High(arc) == TauLabel) ++internalIn_[Low(arc)];
        }
        for (std::uint32_t c = 0; c < k; ++c) inFirst_[c + 1] += inFirst_[c];
        in_.resize(out_.size());
        std::vector<std::uint32_t> internalAt(inFirst_.begin(), inFirst_.end() - 1), otherAt(k);
        for (std::uint32_t c = 0; c < k; ++c) otherAt[c] = inFirst_[c] + internalIn_[c];
        for (std::uint32_t c = 0; c < k; ++c)
            for (std::uint32_t i = outFirst_[c]; i < outFirst_[c + 1]; ++i) {
                const std::uint32_t label = High(out_[i]), target = Low(out_[i]);
                in_[label == TauLabel ? internalAt[target]++ : otherAt[target]++] = Pack(label, c);
            }
    }

    // The first blocks: one, or one per group; bottom nodes first in each.
    void FirstBlocks(const std::vector<std::uint32_t>& group) {
        const std::uint32_t k = components_.count;
        blockOf_.assign(k, 0);
        if (!group.empty())
            for (std::size_t s = 0; s < group.size(); ++s) blockOf_[components_.component[s]] = group[s];
        const std::uint32_t count = k == 0 ? 0 : detail::NumberBlocksByFirstElement(blockOf_);
        inertOut_.assign(k, 0);
        for (std::uint32_t c = 0; c < k; ++c)
            for (std::uint32_t i = outFirst_[c]; i < outFirst_[c + 1] && High(out_[i]) == TauLabel; ++i)
                if (blockOf_[Low(out_[i])] == blockOf_[c]) ++inertOut_[c];
        // Counting sort by block, bottom nodes first.
        std::vector<std::uint32_t> bottoms(count, 0), sizes(count, 0);
        for (std::uint32_t c = 0; c < k; ++c) {
            ++sizes[blockOf_[c]];
            if (inertOut_[c] == 0) ++bottoms[blockOf_[c]];
        }
        blocks_.resize(count);
        std::vector<std::uint32_t> bottomAt(count), otherAt(count);
        std::uint32_t at = 0;
        for (std::uint32_t b = 0; b < count; ++b) {
            blocks_[b] = Block{at, at, at + bottoms[b], at + sizes[b]};
            bottomAt[b] = at;
            otherAt[b] = at + bottoms[b];
            at += sizes[b];
        }
        elements_.resize(k);
        position_.resize(k);
        for (std::uint32_t c = 0; c < k; ++c) {
            const std::uint32_t p = inertOut_[c] == 0 ? bottomAt[blockOf_[c]]++ : otherAt[blockOf_[c]]++;
            elements_[p] = c;
            position_[c] = p;
        }
        queuedSplitter_.assign(count, false);
        queuedCheck_.assign(count, false);
        for (std::uint32_t b = 0; b < count; ++b) QueueSplitter(b);
    }

    void QueueSplitter(std::uint32_t b) {
        if (queuedSplitter_[b]) return;
        queuedSplitter_[b] = true;
        splitters_.push_back(b);
    }

    void QueueCheck(std::uint32_t b) {
        if (queuedCheck_[b]) return;
        queuedCheck_[b] = true;
        toCheck_.push_back(b);
    }

    void Swap(std::uint32_t p, std::uint32_t q) {
        const std::uint32_t a = elements_[p], b = elements_[q];
        elements_[p] = b;
        position_[b] = p;
        elements_[q] = a;
        position_[a] = q;
    }

    // Every pair (a, x) for every label a: the non-inert arcs into x.
    std::uint64_t UseSplitter(std::uint32_t x) {
        work_.clear();
        const Block& block = blocks_[x];
        for (std::uint32_t p = block.first; p < block.end; ++p) {
            const std::uint32_t t = elements_[p];
            for (std::uint32_t i = inFirst_[t]; i < inFirst_[t + 1]; ++i) {
                const std::uint32_t label = High(in_[i]), source = Low(in_[i]);
                if (label == TauLabel && blockOf_[source] == x) continue;
                work_.push_back(Pack(label, source));
            }
        }
        const std::uint64_t steps = work_.size();
        byLabel_.Make(work_, std::size_t{divergenceLabel_} + 1, [](std::uint64_t item) { return High(item); });
        for (std::size_t g = 0; g + 1 < byLabel_.starts.size(); ++g) {
            sources_.clear();
            for (std::uint32_t i = byLabel_.starts[g]; i < byLabel_.starts[g + 1]; ++i)
                sources_.push_back(Low(byLabel_.grouped[i]));
            SplitBy(sources_);
        }
        return steps;
    }

    // Every pair of block b's own non-inert arcs.
    std::uint64_t Check(std::uint32_t b) {
        work_.clear();
        const Block& block = blocks_[b];
        for (std::uint32_t p = block.first; p < block.end; ++p) {
            const std::uint32_t s = elements_[p];
            for (std::uint32_t i = outFirst_[s]; i < outFirst_[s + 1]; ++i) {
                if (High(out_[i]) == TauLabel && blockOf_[Low(out_[i])] == b) continue;
                work_.push_back(Pack(i, s));
            }
        }
        const std::uint64_t steps = work_.size();
        // By label, then by the target's block (a block split meanwhile has
        // its parts queued as splitters: either grouping is right).
        byLabel_.Make(work_, std::size_t{divergenceLabel_} + 1, [this](std::uint64_t item) { return High(out_[High(item)]); });
        for (std::size_t g = 0; g + 1 < byLabel_.starts.size(); ++g) {
            segment_.assign(byLabel_.grouped.begin() + byLabel_.starts[g], byLabel_.grouped.begin() + byLabel_.starts[g + 1]);
            byBlock_.Make(segment_, blocks_.size(), [this](std::uint64_t item) { return blockOf_[Low(out_[High(item)])]; });
            for (std::size_t h = 0; h + 1 < byBlock_.starts.size(); ++h) {
                sources_.clear();
                for (std::uint32_t i = byBlock_.starts[h]; i < byBlock_.starts[h + 1]; ++i)
                    sources_.push_back(Low(byBlock_.grouped[i]));
                SplitBy(sources_);
            }
        }
        return steps;
    }

    // The sources of the arcs of one pair, repeats allowed: each block they
    // lie in is made stable under it.
    void SplitBy(const std::vector<std::uint32_t>& sources) {
        ++mark_;
        marked_.clear();
        for (std::uint32_t s : sources) {
            if (markStamp_[s] == mark_) continue;
            markStamp_[s] = mark_;
            marked_.push_back(Pack(blockOf_[s], s));
            Block& block = blocks_[blockOf_[s]];
            if (position_[s] < block.bottomEnd) Swap(position_[s], block.markedEnd++);
        }
        markedByBlock_.Make(marked_, blocks_.size(), [](std::uint64_t item) { return High(item); });
        const std::vector<std::uint32_t>& starts = markedByBlock_.starts;
        for (std::size_t g = 0; g + 1 < starts.size(); ++g) {
            const std::uint32_t b = High(markedByBlock_.grouped[starts[g]]);
            Block& block = blocks_[b];
            if (block.markedEnd == block.bottomEnd) {
                block.markedEnd = block.first;  // stable: every bottom node has the pair
            } else {
                Split(b, starts[g], starts[g + 1]);
            }
        }
    }

    // Splits block b into the nodes reaching a marked one by inert arcs
    // (pos: the grouped marked ones [begin, end) and more) and the others.
    void Split(std::uint32_t b, std::size_t begin, std::size_t end) {
        ++search_;
        pos_.clear();
        for (std::size_t i = begin; i < end; ++i) {
            const std::uint32_t c = Low(markedByBlock_.grouped[i]);
            pos_.push_back(c);
            searchStamp_[c] = search_;
        }
        rest_.clear();
        Search posSearch{}, restSearch{};
        std::uint32_t seed = blocks_[b].markedEnd;
        const std::uint32_t seedEnd = blocks_[b].bottomEnd;
        bool posDone = false;
        while (true) {
            if (!StepPos(b, posSearch)) {
                posDone = true;
                break;
            }
            if (seed < seedEnd) {
                rest_.push_back(elements_[seed++]);
            } else if (!StepRest(b, restSearch)) {
                break;
            }
        }
        blocks_[b].markedEnd = blocks_[b].first;
        const std::vector<std::uint32_t>& moving = posDone ? pos_ : rest_;
        // The moving nodes to the end of b, then a block of their own.
        const auto added = static_cast<std::uint32_t>(blocks_.size());
        for (std::uint32_t c : moving) {
            Block& block = blocks_[b];
            std::uint32_t p = position_[c];
            if (p < block.bottomEnd) {
                Swap(p, --block.bottomEnd);
                p = block.bottomEnd;
            }
            Swap(p, --block.end);
            blockOf_[c] = added;
        }
        blocks_.push_back(Block{blocks_[b].end, blocks_[b].end, blocks_[b].end, blocks_[b].end + static_cast<std::uint32_t>(moving.size())});
        queuedSplitter_.push_back(false);
        queuedCheck_.push_back(false);
        // The inert arcs from pos to the rest are inert no more.
        newBottoms_.clear();
        if (posDone) {
            for (std::uint32_t c : moving)
                for (std::uint32_t i = outFirst_[c]; i < outFirst_[c + 1] && High(out_[i]) == TauLabel; ++i)
                    if (blockOf_[Low(out_[i])] == b && --inertOut_[c] == 0) newBottoms_.push_back(c);
        } else {
            for (std::uint32_t t : moving)
                for (std::uint32_t i = inFirst_[t]; i < inFirst_[t] + internalIn_[t]; ++i) {
                    const std::uint32_t u = Low(in_[i]);
                    if (blockOf_[u] == b && --inertOut_[u] == 0) newBottoms_.push_back(u);
                }
        }
        // The new block's bottom nodes first; the rest's new bottom nodes
        // join its bottom ones.
        Block& fresh = blocks_[added];
        for (std::uint32_t p = fresh.first; p < fresh.end; ++p)
            if (inertOut_[elements_[p]] == 0) Swap(p, fresh.bottomEnd++);
        fresh.markedEnd = fresh.first;
        if (!posDone)
            for (std::uint32_t u : newBottoms_) Swap(position_[u], blocks_[b].bottomEnd++);
        QueueSplitter(b);
        QueueSplitter(added);
        if (!newBottoms_.empty()) QueueCheck(posDone ? added : b);
        poller_.Stop(moving.size(), static_cast<std::int64_t>(blocks_.size()), 0);
    }

    struct Search {
        std::size_t node = 0;     // the next node to walk from, in its list
        std::uint32_t arc = kNone;  // the next of its arcs, kNone: not started
    };

    // One step of the search for pos; false when it is complete.
    bool StepPos(std::uint32_t b, Search& search) {
        if (search.node == pos_.size()) return false;
        const std::uint32_t c = pos_[search.node];
        if (search.arc == kNone) search.arc = inFirst_[c];
        if (search.arc == inFirst_[c] + internalIn_[c]) {
            ++search.node;
            search.arc = kNone;
            return true;
        }
        const std::uint32_t u = Low(in_[search.arc++]);
        if (blockOf_[u] == b && searchStamp_[u] != search_) {
            searchStamp_[u] = search_;
            pos_.push_back(u);
        }
        return true;
    }

    // One step of the search for the rest (its seeds given); false when it
    // is complete.
    bool StepRest(std::uint32_t b, Search& search) {
        if (search.node == rest_.size()) return false;
        const std::uint32_t c = rest_[search.node];
        if (search.arc == kNone) search.arc = inFirst_[c];
        if (search.arc == inFirst_[c] + internalIn_[c]) {
            ++search.node;
            search.arc = kNone;
            return true;
        }
        const std::uint32_t u = Low(in_[search.arc++]);
        if (blockOf_[u] != b || markStamp_[u] == mark_) return true;
        // remaining_: u's inert arcs not yet known to lead into the rest.
        if (restStamp_[u] != search_) {
            restStamp_[u] = search_;
            remaining_[u] = inertOut_[u];
        }
        if (--remaining_[u] == 0) rest_.push_back(u);
        return true;
    }

    detail::Poller poller_;
    detail::TauComponents components_;
    std::uint32_t divergenceLabel_ = 0;
    std::vector<std::uint32_t> outFirst_;   // per node: its arcs in out_
    std::vector<std::uint64_t> out_;        // label << 32 | target node
    std::vector<std::uint32_t> inFirst_;    // per node: its predecessors in in_
    std::vector<std::uint32_t> internalIn_;  // per node: its internal predecessors, first in its list
    std::vector<std::uint64_t> in_;         // label << 32 | source node

    std::vector<Block> blocks_;
    std::vector<std::uint32_t> blockOf_, elements_, position_;
    std::vector<std::uint32_t> inertOut_;  // per node: its inert arcs
    std::vector<bool> queuedSplitter_, queuedCheck_;
    std::deque<std::uint32_t> splitters_, toCheck_;

    // Marks of the pair at hand, and of the split at hand.
    std::uint32_t mark_ = 0, search_ = 0;
    std::vector<std::uint32_t> markStamp_, searchStamp_, restStamp_, remaining_;
    std::vector<std::uint64_t> work_, segment_, marked_;
    Grouping byLabel_, byBlock_, markedByBlock_;
    std::vector<std::uint32_t> sources_, pos_, rest_, newBottoms_;
};

}  // namespace

Partition BranchingBisimulation(const Lts& lts, bool divergenceSensitive, Progress* progress,
                                const std::vector<std::uint32_t>& initialBlock) {
    Partition result;
    if (lts.StateCount() == 0) return result;
    SplitterRefiner refiner(lts, initialBlock, divergenceSensitive, progress);
    if (!refiner.Run()) {
        result.stopped = true;
        return result;
    }
    result.block = refiner.StateBlocks();
    result.count = detail::NumberBlocksByFirstElement(result.block);
    return result;
}

}  // namespace quarvo
