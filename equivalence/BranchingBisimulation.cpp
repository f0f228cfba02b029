// The coarsest branching bisimulation, plain or divergence-sensitive, by
// refinement with splitters (in the manner of Groote and Vaandrager) under
// constellations (in the manner of Paige and Tarjan): a constellation is
// split by taking out its smaller block, and each split of a block walks
// only the smaller of its two parts, after contracting the cycles of
// internal arcs.
//
// The states of a cycle of internal arcs are branching bisimilar (and
// divergence-sensitive branching bisimilar): each strongly connected
// component of the internal arcs becomes one node, which leaves the internal
// arcs between nodes without cycles. An internal arc is inert when its ends
// are in the same block. A node is a bottom node of its block when it has no
// inert arc. When divergence counts, a node that was a cycle gets an arc to
// itself of a label of its own, never inert: "it diverges".
//
// A block B is stable under a pair (a, X) of a label and a set of blocks
// when no node of B has a non-inert a-arc into X, or every bottom node of B
// has one. A partition stable under the pairs of all its blocks is a
// branching bisimulation (every node reaches a bottom node by inert arcs, and
// the bottom nodes have the pairs of all). A block that is not stable under
// (a, X), X a union of blocks, is split into the nodes that reach such an arc
// by inert arcs (pos) and the others (the rest): branching bisimilar states
// are never split apart, so the stable partition reached is the coarsest.
//
// Constellations are unions of blocks. Invariant: every pair (a, C), C a
// constellation, but (internal, its own constellation), that some node of
// a block has, every bottom node of the block has too, but the bottom nodes
// of late (pending, see below). At the end each constellation is one block
// and no node is pending, which makes the partition stable. A constellation
// S of two blocks or more gives up its smaller block B (of its first two),
// a constellation of its own; then
//  - every block with an a-arc into B is split under (a, B); its part pos
//    has its bottom nodes all with such an arc, and is split under (a, S
//    without B) by a search from the bottom nodes whose a-arcs into S all
//    lead into B (per arc, a count of the arcs of its source, label and
//    target constellation tells which); the rest needs nothing, its a-arcs
//    into S leading out of B;
//  - B's internal arcs into the rest of S, internal to a constellation
//    until then, split B's blocks;
//  - a split's rest keeps its bottom nodes and its pairs; in pos, a node
//    whose inert arcs all went to the rest becomes a bottom node, pending.
// A block with pending nodes is checked once no constellation is left to
// split: each pending node's pairs against those of a bottom node that is
// not pending (which has them all), the first pair it lacks splitting the
// block (the rest found from the pending nodes that lack it); a block with
// no such bottom node has all its nodes' pairs looked at. Splitting the
// constellations first keeps the blocks to check small.
//
// A split under a pair whose arcs are all known runs two searches in turn,
// one arc each: pos, backwards along inert arcs from the nodes with a
// matching arc; the rest, backwards from the bottom nodes without one, a
// node joining when all its inert arcs lead into the rest. The first search
// to end gives the part that moves to a new block. The nodes of a block lie
// side by side, its bottom nodes first, so that those without a matching arc
// are found without a walk of the block.
//
// Cost: a node's arcs are walked when a block it reaches is taken out of a
// constellation (at most log n times), and by the searches of the splits;
// the checks of pending nodes and the searches from the bottom nodes that
// lack an arc into the rest of a constellation have no proven bound of that
// kind (the algorithm of Jansen, Groote, Keiren and Wijs gives O(m log n) in
// all), but on random systems and chains the whole is a few times the strong
// refinement's. Memory: the contracted arcs twice, a count per arc, a few
// numbers per node.
#include <algorithm>
#include <deque>
#include <unordered_map>

#include "equivalence/ContractedArcs.h"
#include "equivalence/Equivalence.h"
#include "equivalence/Grouping.h"
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
// [first, markedEnd); its constellation, and the next and previous blocks
// of it.
struct Block {
    std::uint32_t first, markedEnd, bottomEnd, end;
    std::uint32_t constellation, next, prev = kNone;
};

class SplitterRefiner {
public:
    SplitterRefiner(const Lts& lts, const std::vector<std::uint32_t>& group, bool divergenceSensitive,
                    Progress* progress)
        : poller_(progress), components_(detail::FindTauComponents(lts, group)),
          arcs_(detail::ContractArcs(lts, components_, divergenceSensitive)) {
        const std::uint32_t k = components_.count;
        if (progress != nullptr) progress->UpdatePhase("contraction des cycles internes", k, "nœuds");
        FirstCounts();
        FirstBlocks(group);
        const std::uint32_t none = kNone;
        markStamp_.assign(k, none);
        searchStamp_.assign(k, none);
        restStamp_.assign(k, none);
        remaining_.assign(k, 0);
        oldCounterOf_.assign(k, 0);
        poller_.SetPhase("affinage de branchement", "blocs");
    }

    // False when stopped.
    bool Run() {
        FirstSplits();
        std::uint64_t steps = 0;
        while (true) {
            if (poller_.Stop(steps + 1, static_cast<std::int64_t>(blocks_.size()), 0) || poller_.Stopped()) return false;
            if (!compound_.empty()) {
                const std::uint32_t c = compound_.front();
                if (constellations_[c].blockCount < 2) {
                    compound_.pop_front();
                    constellations_[c].queued = false;
                    steps = 0;
                    continue;
                }
                steps = SplitConstellation(c);
            } else if (!toCheck_.empty()) {
                const std::uint32_t b = toCheck_.front();
                toCheck_.pop_front();
                queuedCheck_[b] = false;
                steps = Check(b);
            } else {
                return true;
            }
        }
    }

    // The block of each state of the lts.
    std::vector<std::uint32_t> StateBlocks() const {
        std::vector<std::uint32_t> blocks(components_.component.size());
        for (std::size_t s = 0; s < blocks.size(); ++s) blocks[s] = blockOf_[components_.component[s]];
        return blocks;
    }

private:
    struct Constellation {
        std::uint32_t head, blockCount;  // its blocks, linked by Block::next
        bool queued;                     // among the compound ones
    };

    // One constellation: a count per source and label.
    void FirstCounts() {
        const std::uint32_t k = components_.count;
        counter_.resize(arcs_.out.size());
        for (std::uint32_t c = 0; c < k; ++c)
            for (std::uint32_t i = arcs_.outFirst[c]; i < arcs_.outFirst[c + 1]; ++i) {
                if (i == arcs_.outFirst[c] || High(arcs_.out[i]) != High(arcs_.out[i - 1])) NewCounter();
                counter_[i] = static_cast<std::uint32_t>(counts_.size() - 1);
                ++counts_.back();
            }
    }

    std::uint32_t NewCounter() {
        if (!freeCounters_.empty()) {
            const std::uint32_t id = freeCounters_.back();
            freeCounters_.pop_back();
            counts_[id] = 0;
            counterStamp_[id] = kNone;
            return id;
        }
        counts_.push_back(0);
        counterStamp_.push_back(kNone);
        counterNew_.push_back(0);
        return static_cast<std::uint32_t>(counts_.size() - 1);
    }

    // The first blocks: one, or one per group, all in one constellation;
    // bottom nodes first in each.
    void FirstBlocks(const std::vector<std::uint32_t>& group) {
        const std::uint32_t k = components_.count;
        blockOf_.assign(k, 0);
        if (!group.empty())
            for (std::size_t s = 0; s < group.size(); ++s) blockOf_[components_.component[s]] = group[s];
        const std::uint32_t count = k == 0 ? 0 : detail::NumberBlocksByFirstElement(blockOf_);
        inertOut_.assign(k, 0);
        for (std::uint32_t c = 0; c < k; ++c)
            for (std::uint32_t i = arcs_.outFirst[c]; i < arcs_.outFirst[c + 1] && High(arcs_.out[i]) == TauLabel; ++i)
                if (blockOf_[Low(arcs_.out[i])] == blockOf_[c]) ++inertOut_[c];
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
            blocks_[b] = Block{at, at, at + bottoms[b], at + sizes[b], 0, b + 1 < count ? b + 1 : kNone, b > 0 ? b - 1 : kNone};
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
        queuedCheck_.assign(count, false);
        fullCheck_.assign(count, false);
        pending_.assign(k, false);
        constellations_.push_back(Constellation{count > 0 ? 0 : kNone, count, false});
        QueueCompound(0);
    }

    void QueueCompound(std::uint32_t c) {
        if (constellations_[c].queued || constellations_[c].blockCount < 2) return;
        constellations_[c].queued = true;
        compound_.push_back(c);
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

    std::uint32_t ConstellationOf(std::uint32_t node) const { return blocks_[blockOf_[node]].constellation; }
    std::uint32_t Size(std::uint32_t b) const { return blocks_[b].end - blocks_[b].first; }

    // Stable under every pair of a visible label and the one constellation.
    void FirstSplits() {
        work_.clear();
        for (std::uint32_t c = 0; c < components_.count; ++c)
            for (std::uint32_t i = arcs_.outFirst[c]; i < arcs_.outFirst[c + 1]; ++i)
                if (High(arcs_.out[i]) != TauLabel) work_.push_back(Pack(High(arcs_.out[i]), c));
        byLabel_.Make(work_, std::size_t{arcs_.divergenceLabel} + 1, [](std::uint64_t item) { return High(item); });
        for (std::size_t g = 0; g + 1 < byLabel_.starts.size(); ++g) {
            sources_.clear();
            for (std::uint32_t i = byLabel_.starts[g]; i < byLabel_.starts[g + 1]; ++i)
                sources_.push_back(Low(byLabel_.grouped[i]));
            SplitBy(sources_);
        }
    }

    // Constellation s gives up its smaller block (of the first two).
    std::uint64_t SplitConstellation(std::uint32_t s) {
        const std::uint32_t b1 = constellations_[s].head, b2 = blocks_[b1].next;
        const std::uint32_t b = Size(b1) <= Size(b2) ? b1 : b2;
        // b out of s's list, a constellation of its own.
        Block& block = blocks_[b];
        if (block.prev == kNone) constellations_[s].head = block.next;
        else blocks_[block.prev].next = block.next;
        if (block.next != kNone) blocks_[block.next].prev = block.prev;
        --constellations_[s].blockCount;
        const auto own = static_cast<std::uint32_t>(constellations_.size());
        block.constellation = own;
        block.next = block.prev = kNone;
        constellations_.push_back(Constellation{b, 1, false});
        const std::uint32_t first = block.first, end = block.end;
        // The arcs into b get counts of their own; the non-inert ones are
        // the work, with the count of their arcs into s left.
        ++counterRound_;
        work_.clear();
        for (std::uint32_t p = first; p < end; ++p) {
            const std::uint32_t t = elements_[p];
            for (std::uint32_t j = arcs_.inFirst[t]; j < arcs_.inFirst[t + 1]; ++j) {
                const std::uint32_t i = arcs_.inOut[j], old = counter_[i];
                if (counterStamp_[old] != counterRound_) {
                    const std::uint32_t fresh = NewCounter();
                    counterStamp_[old] = counterRound_;
                    counterNew_[old] = fresh;
                }
                counter_[i] = counterNew_[old];
                ++counts_[counter_[i]];
                if (--counts_[old] == 0) zeroed_.push_back(old);
                if (High(arcs_.in[j]) == TauLabel && blockOf_[Low(arcs_.in[j])] == b) continue;
                work_.push_back(Pack(j, old));
            }
        }
        const std::uint64_t steps = work_.size();
        byLabel_.Make(work_, std::size_t{arcs_.divergenceLabel} + 1, [this](std::uint64_t item) { return High(arcs_.in[High(item)]); });
        for (std::size_t g = 0; g + 1 < byLabel_.starts.size(); ++g) {
            const std::uint32_t label = High(arcs_.in[High(byLabel_.grouped[byLabel_.starts[g]])]);
            Mark(byLabel_.starts[g], byLabel_.starts[g + 1]);
            const std::vector<std::uint32_t>& starts = markedByBlock_.starts;
            for (std::size_t h = 0; h + 1 < starts.size(); ++h) {
                const std::uint32_t r = High(markedByBlock_.grouped[starts[h]]);
                const bool pairBefore = label != TauLabel || blocks_[r].constellation != s;
                Block& target = blocks_[r];
                std::uint32_t pos = r;
                if (target.markedEnd == target.bottomEnd) target.markedEnd = target.first;
                else pos = Split(r, starts[h], starts[h + 1]);
                if (pairBefore) SplitRest(pos, label, s, starts[h], starts[h + 1]);
            }
        }
        for (std::uint32_t z : zeroed_)
            if (counts_[z] == 0) freeCounters_.push_back(z);
        zeroed_.clear();
        // b's internal arcs into the rest of s.
        sources_.clear();
        for (std::uint32_t p = first; p < end; ++p) {
            const std::uint32_t c = elements_[p];
            for (std::uint32_t i = arcs_.outFirst[c]; i < arcs_.outFirst[c + 1] && High(arcs_.out[i]) == TauLabel; ++i)
                if (ConstellationOf(Low(arcs_.out[i])) == s) sources_.push_back(c);
        }
        if (!sources_.empty()) SplitBy(sources_);
        return steps + (end - first);
    }

    // Marks the sources of the work items [begin, end) of byLabel_, each
    // with its count of arcs into the rest of the constellation, grouped by
    // block in markedByBlock_.
    void Mark(std::uint32_t begin, std::uint32_t end) {
        ++mark_;
        marked_.clear();
        for (std::uint32_t k = begin; k < end; ++k) {
            const std::uint64_t item = byLabel_.grouped[k];
            const std::uint32_t source = Low(arcs_.in[High(item)]);
            if (markStamp_[source] == mark_) continue;
            markStamp_[source] = mark_;
            oldCounterOf_[source] = Low(item);
            MarkOne(source);
        }
        markedByBlock_.Make(marked_, blocks_.size(), [](std::uint64_t item) { return High(item); });
    }

    void MarkOne(std::uint32_t s) {
        marked_.push_back(Pack(blockOf_[s], s));
        Block& block = blocks_[blockOf_[s]];
        if (position_[s] < block.bottomEnd) Swap(position_[s], block.markedEnd++);
    }

    // Block pos, every bottom node of which has an arc of the label into the
    // constellation s or the block just taken out of it (the marked nodes
    // [begin, end) of markedByBlock_, among them pos's bottom ones), is split
    // under (label, s): the rest found from the bottom nodes with no arc
    // left into s.
    void SplitRest(std::uint32_t pos, std::uint32_t label, std::uint32_t s, std::uint32_t begin, std::uint32_t end) {
        ++search_;
        rest_.clear();
        const Block& block = blocks_[pos];
        for (std::uint32_t k = begin; k < end; ++k) {
            const std::uint32_t c = Low(markedByBlock_.grouped[k]);
            if (blockOf_[c] == pos && position_[c] < block.bottomEnd && counts_[oldCounterOf_[c]] == 0) rest_.push_back(c);
        }
        if (rest_.empty()) return;
        GrowRest(pos, label, s);
        if (rest_.size() == Size(pos)) return;  // no node of pos has such an arc
        Move(pos, rest_, false);
    }

    // The nodes of block b that reach no arc of the label into
    // constellation s by inert arcs, from the bottom ones in rest_ (each
    // stamped with search_ as it joins).
    void GrowRest(std::uint32_t b, std::uint32_t label, std::uint32_t s) {
        for (std::uint32_t c : rest_) searchStamp_[c] = search_;
        for (std::size_t k = 0; k < rest_.size(); ++k) {
            const std::uint32_t c = rest_[k];
            for (std::uint32_t i = arcs_.inFirst[c]; i < arcs_.inFirst[c] + arcs_.internalIn[c]; ++i) {
                const std::uint32_t u = Low(arcs_.in[i]);
                if (blockOf_[u] != b) continue;
                if (restStamp_[u] != search_) {
                    restStamp_[u] = search_;
                    remaining_[u] = inertOut_[u];
                }
                if (--remaining_[u] == 0 && !HasArcInto(u, label, s)) {
                    searchStamp_[u] = search_;
                    rest_.push_back(u);
                }
            }
        }
    }

    // Whether node u has an arc of the label into constellation s (the
    // marked nodes: by their count).
    bool HasArcInto(std::uint32_t u, std::uint32_t label, std::uint32_t s) const {
        if (markStamp_[u] == mark_) return counts_[oldCounterOf_[u]] != 0;
        const auto begin = arcs_.out.begin() + arcs_.outFirst[u], end = arcs_.out.begin() + arcs_.outFirst[u + 1];
        for (auto it = std::lower_bound(begin, end, Pack(label, 0)); it != end && High(*it) == label; ++it)
            if (ConstellationOf(Low(*it)) == s) return true;
        return false;
    }

    // Block b after some of its nodes became bottom nodes (pending): its
    // other bottom nodes have every pair of its nodes, unless it is to be
    // checked in full. A pending node that lacks one of the pairs of another
    // bottom node splits b under it, b's other pending nodes staying pending;
    // a pending node with a pair of no other bottom node calls for a full check.
    std::uint64_t Check(std::uint32_t b) {
        std::vector<std::uint32_t> list;
        if (const auto it = pendingOf_.find(b); it != pendingOf_.end()) {
            list = std::move(it->second);
            pendingOf_.erase(it);
        }
        // Pending nodes that moved to another block since are that block's.
        std::erase_if(list, [&](std::uint32_t c) {
            if (blockOf_[c] == b) return false;
            pendingOf_[blockOf_[c]].push_back(c);
            QueueCheck(blockOf_[c]);
            return true;
        });
        const bool full = fullCheck_[b];
        fullCheck_[b] = false;
        const Block& block = blocks_[b];
        std::uint32_t reference = kNone;
        if (!full)
            for (std::uint32_t p = block.first; p < block.bottomEnd && reference == kNone; ++p)
                if (!pending_[elements_[p]]) reference = elements_[p];
        for (std::uint32_t c : list) pending_[c] = false;
        if (reference == kNone) return FullCheck(b);
        std::uint64_t steps = PairsOf(reference, referencePairs_);
        for (std::size_t k = 0; k < list.size(); ++k) {
            const std::uint32_t n = list[k];
            steps += PairsOf(n, nodePairs_);
            if (nodePairs_.size() == referencePairs_.size()) continue;  // all of them, or one it should not have
            if (!std::includes(referencePairs_.begin(), referencePairs_.end(), nodePairs_.begin(), nodePairs_.end()))
                return steps + FullCheck(b);
            // The first pair n lacks splits b: the rest is found from the
            // pending nodes that lack it.
            std::uint64_t missing = 0;
            for (std::size_t i = 0, j = 0; i < referencePairs_.size(); ++i, ++j)
                if (j == nodePairs_.size() || nodePairs_[j] != referencePairs_[i]) {
                    missing = referencePairs_[i];
                    break;
                }
            const std::uint32_t label = High(missing), target = Low(missing);
            ++mark_;  // no node marked: the arcs are looked up
            ++search_;
            rest_.clear();
            for (std::size_t i = k; i < list.size(); ++i)
                if (!HasArcInto(list[i], label, target)) rest_.push_back(list[i]);
            GrowRest(b, label, target);
            steps += rest_.size();
            // Still pending: the others of the list, in the part they are in.
            for (std::size_t i = k; i < list.size(); ++i)
                if (searchStamp_[list[i]] != search_) AddPending(b, list[i]);
            const std::uint32_t added = Move(b, rest_, false);
            fullCheck_[added] = true;  // no bottom node of it was one before
            QueueCheck(added);
            return steps;
        }
        return steps;
    }

    // The distinct pairs of node c, sorted; the arcs looked at.
    std::uint64_t PairsOf(std::uint32_t c, std::vector<std::uint64_t>& pairs) const {
        pairs.clear();
        const std::uint32_t own = ConstellationOf(c);
        for (std::uint32_t i = arcs_.outFirst[c]; i < arcs_.outFirst[c + 1]; ++i) {
            const std::uint32_t label = High(arcs_.out[i]), target = ConstellationOf(Low(arcs_.out[i]));
            if (label != TauLabel || target != own) pairs.push_back(Pack(label, target));
        }
        std::sort(pairs.begin(), pairs.end());
        pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
        return arcs_.outFirst[c + 1] - arcs_.outFirst[c];
    }

    void AddPending(std::uint32_t b, std::uint32_t c) {
        if (pending_[c]) return;
        pending_[c] = true;
        pendingOf_[b].push_back(c);
        QueueCheck(b);
    }

    // Every pair of block b's own arcs, but internal ones into its own
    // constellation.
    std::uint64_t FullCheck(std::uint32_t b) {
        work_.clear();
        const Block& block = blocks_[b];
        for (std::uint32_t p = block.first; p < block.end; ++p) {
            const std::uint32_t s = elements_[p];
            for (std::uint32_t i = arcs_.outFirst[s]; i < arcs_.outFirst[s + 1]; ++i) {
                if (High(arcs_.out[i]) == TauLabel && ConstellationOf(Low(arcs_.out[i])) == block.constellation) continue;
                work_.push_back(Pack(i, s));
            }
        }
        const std::uint64_t steps = work_.size();
        // By label, then by the target's constellation.
        byLabel_.Make(work_, std::size_t{arcs_.divergenceLabel} + 1, [this](std::uint64_t item) { return High(arcs_.out[High(item)]); });
        for (std::size_t g = 0; g + 1 < byLabel_.starts.size(); ++g) {
            segment_.assign(byLabel_.grouped.begin() + byLabel_.starts[g], byLabel_.grouped.begin() + byLabel_.starts[g + 1]);
            byBlock_.Make(segment_, constellations_.size(),
                          [this](std::uint64_t item) { return ConstellationOf(Low(arcs_.out[High(item)])); });
            for (std::size_t h = 0; h + 1 < byBlock_.starts.size(); ++h) {
                sources_.clear();
                for (std::uint32_t i = byBlock_.starts[h]; i < byBlock_.starts[h + 1]; ++i)
                    sources_.push_back(Low(byBlock_.grouped[i]));
                SplitBy(sources_);
            }
        }
        return steps;
    }

    // The sources of the arcs of one pair, repeats allowed, all of them:
    // each block they lie in is made stable under it.
    void SplitBy(const std::vector<std::uint32_t>& sources) {
        ++mark_;
        marked_.clear();
        for (std::uint32_t s : sources) {
            if (markStamp_[s] == mark_) continue;
            markStamp_[s] = mark_;
            MarkOne(s);
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
    // (pos: the grouped marked ones [begin, end) and more) and the others;
    // the block of pos.
    std::uint32_t Split(std::uint32_t b, std::size_t begin, std::size_t end) {
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
        const std::uint32_t added = Move(b, posDone ? pos_ : rest_, posDone);
        return posDone ? added : b;
    }

    // The moving nodes of block b (pos when movingPos, else the rest) to a
    // new block, in b's constellation; the new block.
    std::uint32_t Move(std::uint32_t b, const std::vector<std::uint32_t>& moving, bool movingPos) {
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
        const std::uint32_t at = blocks_[b].end, s = blocks_[b].constellation;
        const std::uint32_t next = constellations_[s].head;
        blocks_.push_back(Block{at, at, at, at + static_cast<std::uint32_t>(moving.size()), s, next});
        blocks_[next].prev = added;
        constellations_[s].head = added;
        ++constellations_[s].blockCount;
        QueueCompound(s);
        queuedCheck_.push_back(false);
        // The inert arcs from pos to the rest are inert no more.
        newBottoms_.clear();
        if (movingPos) {
            for (std::uint32_t c : moving)
                for (std::uint32_t i = arcs_.outFirst[c]; i < arcs_.outFirst[c + 1] && High(arcs_.out[i]) == TauLabel; ++i)
                    if (blockOf_[Low(arcs_.out[i])] == b && --inertOut_[c] == 0) newBottoms_.push_back(c);
        } else {
            for (std::uint32_t t : moving)
                for (std::uint32_t i = arcs_.inFirst[t]; i < arcs_.inFirst[t] + arcs_.internalIn[t]; ++i) {
                    const std::uint32_t u = Low(arcs_.in[i]);
                    if (blockOf_[u] == b && --inertOut_[u] == 0) newBottoms_.push_back(u);
                }
        }
        // The new block's bottom nodes first; the rest's new bottom nodes
        // join its bottom ones.
        Block& fresh = blocks_[added];
        for (std::uint32_t p = fresh.first; p < fresh.end; ++p)
            if (inertOut_[elements_[p]] == 0) Swap(p, fresh.bottomEnd++);
        fresh.markedEnd = fresh.first;
        if (!movingPos)
            for (std::uint32_t u : newBottoms_) Swap(position_[u], blocks_[b].bottomEnd++);
        fullCheck_.push_back(fullCheck_[b]);
        if (queuedCheck_[b]) QueueCheck(added);
        for (std::uint32_t c : newBottoms_) AddPending(movingPos ? added : b, c);
        poller_.Stop(moving.size(), static_cast<std::int64_t>(blocks_.size()), 0);
        return added;
    }

    struct Search {
        std::size_t node = 0;       // the next node to walk from, in its list
        std::uint32_t arc = kNone;  // the next of its arcs, kNone: not started
    };

    // One step of the search for pos; false when it is complete.
    bool StepPos(std::uint32_t b, Search& search) {
        if (search.node == pos_.size()) return false;
        const std::uint32_t c = pos_[search.node];
        if (search.arc == kNone) search.arc = arcs_.inFirst[c];
        if (search.arc == arcs_.inFirst[c] + arcs_.internalIn[c]) {
            ++search.node;
            search.arc = kNone;
            return true;
        }
        const std::uint32_t u = Low(arcs_.in[search.arc++]);
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
        if (search.arc == kNone) search.arc = arcs_.inFirst[c];
        if (search.arc == arcs_.inFirst[c] + arcs_.internalIn[c]) {
            ++search.node;
            search.arc = kNone;
            return true;
        }
        const std::uint32_t u = Low(arcs_.in[search.arc++]);
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
    detail::ContractedArcs arcs_;

    // Per arc of arcs_.out: its count, of the arcs of its source and label into
    // its target's constellation.
    std::vector<std::uint32_t> counter_, counts_;
    std::vector<std::uint32_t> counterStamp_, counterNew_;  // per count: its successor in this split
    std::vector<std::uint32_t> freeCounters_, zeroed_;
    std::uint32_t counterRound_ = 0;

    std::vector<Block> blocks_;
    std::vector<Constellation> constellations_;
    std::vector<std::uint32_t> blockOf_, elements_, position_;
    std::vector<std::uint32_t> inertOut_;  // per node: its inert arcs
    std::vector<bool> queuedCheck_;
    std::vector<bool> fullCheck_;  // per block: its pairs are all to check
    std::vector<bool> pending_;    // per node: a bottom node of late, to check
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> pendingOf_;  // per block to check
    std::vector<std::uint64_t> referencePairs_, nodePairs_;
    std::deque<std::uint32_t> compound_, toCheck_;

    // Marks of the pair at hand, and of the split at hand.
    std::uint32_t mark_ = 0, search_ = 0;
    std::vector<std::uint32_t> markStamp_, searchStamp_, restStamp_, remaining_, oldCounterOf_;
    std::vector<std::uint64_t> work_, segment_, marked_;
    detail::Grouping byLabel_, byBlock_, markedByBlock_;
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
