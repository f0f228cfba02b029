// The branching refiner by signatures made incremental, as it was before the
// refinement by splitters replaced it: a second opinion on random systems.
//
// The coarsest branching bisimulation, plain or divergence-sensitive, by
// signature refinement (Blom and Orzan) after contracting the cycles of
// internal arcs, made incremental.
//
// The states of a cycle of internal arcs are branching bisimilar (and
// divergence-sensitive branching bisimilar): each strongly connected
// component of the internal arcs becomes one node, which leaves the internal
// arcs between nodes without cycles. The signature of a node s in the
// partition P is
//     { (a, P(t)) | s -I->* s' -a-> t, the path staying in P(s),
//                   and not (a = I and P(t) = P(s)) },
// plus, when divergence counts, a mark if an infinite internal path stays in
// P(s) (after contraction: the path reaches a node that was a cycle). P is
// a branching bisimulation when the nodes of each block have equal
// signatures; refining P by signatures until then gives the coarsest one.
//
// The signature of a node is its own arcs' pairs and the signatures of the
// nodes it reaches by an inert internal arc; those come first in the order
// Tarjan's algorithm completed the nodes, which is the order of the work. A
// block keeps the signature its nodes share. A round recomputes only the
// dirty nodes: those that changed blocks in the last round, their
// predecessors, and, within the round, the inert predecessors of a node whose
// signature no longer is its block's. The dirty nodes whose signature
// differs from their block's are grouped by signature, and each group is
// split from its block, the smaller part taking a new number (a refinable
// partition); the nodes of the new blocks are the next round's moved nodes.
// A round with many dirty nodes finds them by a scan of all nodes in order,
// one with few through a heap. A long chain, which plain rounds would walk whole for each of its n
// blocks, so costs O(n) in all.
//
// A node's signature is the union of its own pairs and of its inert
// successors' signatures, each sorted: when its inert successors share one
// signature that holds its own pairs, it is that one, shared and not
// copied; otherwise the sorted signatures are merged, and a signature equal
// to its block's or to one already made in the round is kept once.
//
// Cost: no proven bound below O(n m) (the O(m log n) algorithm of Groote,
// Jansen, Keiren and Wijs gives one); in practice each node is recomputed
// about as often as a state of it changes blocks or a successor does,
// O(log n) times when splits are balanced.
#include <algorithm>
#include <functional>
#include <iterator>
#include <queue>
#include <unordered_map>

#include "SignatureBranching.h"
#include "equivalence/RefinablePartition.h"
#include "equivalence/TauComponents.h"

namespace quarvo::testing {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

// A signature: pool positions, and the divergence mark.
struct Signature {
    std::uint32_t start = 0, length = 0;
    bool divergent = false;
};

class SignatureRefiner {
public:
    SignatureRefiner(const Lts& lts, const std::vector<std::uint32_t>& group, bool divergenceSensitive,
                     Progress* progress)
        : divergenceSensitive_(divergenceSensitive), poller_(progress),
          components_(detail::FindTauComponents(lts, group)),
          partition_(FirstBlocks(components_, group)) {
        Contract(lts);
        const std::uint32_t k = components_.count;
        if (progress != nullptr) progress->UpdatePhase("contraction des cycles internes", k, "nœuds");
        blockSignature_.resize(partition_.BlockCount());
        blockKnown_.assign(partition_.BlockCount(), false);
        computedRound_.assign(k, kNone);
        dirtyRound_.assign(k, kNone);
        nodeSignature_.resize(k);
        for (std::uint32_t c = 0; c < k; ++c) moved_.push_back(c);
    }

    // False when stopped.
    bool Run() {
        // Once every node is a block of its own, nothing is left to split.
        for (round_ = 0; !moved_.empty() && partition_.BlockCount() < components_.count; ++round_)
            if (!Round()) return false;
        return true;
    }

    // The block of each state of the lts.
    std::vector<std::uint32_t> StateBlocks() const {
        std::vector<std::uint32_t> blocks(components_.component.size());
        for (std::size_t s = 0; s < blocks.size(); ++s) blocks[s] = partition_.BlockOf(components_.component[s]);
        return blocks;
    }

private:
    static detail::RefinablePartition FirstBlocks(const detail::TauComponents& components,
                                                  const std::vector<std::uint32_t>& group) {
        std::vector<std::uint32_t> first(components.count, 0);
        if (!group.empty())
            for (std::size_t s = 0; s < group.size(); ++s) first[components.component[s]] = group[s];
        const std::uint32_t count = components.count == 0 ? 0 : detail::NumberBlocksByFirstElement(first);
        return detail::RefinablePartition(first, count);
    }

    // The arcs between nodes, each once; internal arcs inside a node dropped.
    void Contract(const Lts& lts) {
        const std::uint32_t k = components_.count;
        const auto n = static_cast<std::uint32_t>(lts.StateCount());
        first_.assign(std::size_t{k} + 1, 0);
        for (std::uint32_t s = 0; s < n; ++s) first_[components_.component[s] + 1] += lts.firstArc[s + 1] - lts.firstArc[s];
        for (std::uint32_t c = 0; c < k; ++c) first_[c + 1] += first_[c];
        std::vector<std::uint64_t> arcs(first_[k]);
        {
            std::vector<std::uint32_t> at(first_.begin(), first_.end() - 1);
            for (std::uint32_t s = 0; s < n; ++s) {
                const std::uint32_t c = components_.component[s];
                for (std::uint32_t e = lts.firstArc[s]; e < lts.firstArc[s + 1]; ++e)
                    arcs[at[c]++] = Pack(lts.label[e], components_.component[lts.target[e]]);
            }
        }
        // Sorted and without repeats, node by node, packed in place.
        std::uint32_t kept = 0;
        for (std::uint32_t c = 0; c < k; ++c) {
            const std::uint32_t begin = first_[c], end = first_[c + 1];
            std::sort(arcs.begin() + begin, arcs.begin() + end);
            first_[c] = kept;
            for (std::uint32_t i = begin; i < end; ++i) {
                const std::uint64_t arc = arcs[i];  // read before kept may reach i
                if (arc == Pack(TauLabel, c) || (kept > first_[c] && arcs[kept - 1] == arc)) continue;
                arcs[kept++] = arc;
            }
        }
        first_[k] = kept;
        arcs.resize(kept);
        arcs.shrink_to_fit();
        arcs_ = std::move(arcs);
        // Predecessors, for the nodes made dirty by a move.
        predFirst_.assign(std::size_t{k} + 1, 0);
        for (std::uint64_t arc : arcs_) ++predFirst_[static_cast<std::uint32_t>(arc) + 1];
        for (std::uint32_t c = 0; c < k; ++c) predFirst_[c + 1] += predFirst_[c];
        preds_.resize(arcs_.size());
        std::vector<std::uint32_t> at(predFirst_.begin(), predFirst_.end() - 1);
        for (std::uint32_t c = 0; c < k; ++c)
            for (std::uint32_t i = first_[c]; i < first_[c + 1]; ++i)
                preds_[at[static_cast<std::uint32_t>(arcs_[i])]++] = Pack(static_cast<std::uint32_t>(arcs_[i] >> 32), c);
    }

    static std::uint64_t Pack(std::uint32_t label, std::uint32_t node) {
        return (std::uint64_t{label} << 32) | node;
    }

    void MakeDirty(std::uint32_t c) {
        if (dirtyRound_[c] == round_) return;
        dirtyRound_[c] = round_;
        if (!scanning_) dirty_.push(c);
    }

    // The next dirty node in increasing order, or kNone.
    std::uint32_t NextDirty() {
        if (scanning_) {
            while (scanAt_ < components_.count && dirtyRound_[scanAt_] != round_) ++scanAt_;
            return scanAt_ < components_.count ? scanAt_++ : kNone;
        }
        if (dirty_.empty()) return kNone;
        const std::uint32_t c = dirty_.top();
        dirty_.pop();
        return c;
    }

    bool SameAsBlock(const Signature& signature, std::uint32_t block) const {
        if (!blockKnown_[block]) return false;
        const Signature& b = blockSignature_[block];
        return b.divergent == signature.divergent && b.length == signature.length &&
               std::equal(pool_.begin() + b.start, pool_.begin() + b.start + b.length, pool_.begin() + signature.start);
    }

    // Whether the signature s holds every pair of `pairs` (sorted or not).
    bool Holds(const Signature& s, const std::vector<std::uint64_t>& pairs) const {
        const auto begin = pool_.begin() + s.start, end = begin + s.length;
        for (std::uint64_t pair : pairs)
            if (!std::binary_search(begin, end, pair)) return false;
        return true;
    }

    bool Equal(const Signature& a, const Signature& b) const {
        return a.divergent == b.divergent && a.length == b.length &&
               (a.start == b.start ||
                std::equal(pool_.begin() + a.start, pool_.begin() + a.start + a.length, pool_.begin() + b.start));
    }

    // The signature of a dirty node, its inert successors done. Most nodes
    // have the signature of their inert successors, or of their block: that
    // one is shared, not copied, so that the pool holds each signature of a
    // round once rather than once per node reaching it.
    Signature Compute(std::uint32_t c) {
        const std::uint32_t b = partition_.BlockOf(c);
        own_.clear();
        bool divergent = divergenceSensitive_ && components_.cyclic[c];
        Signature shared;
        bool anyInert = false, oneInert = true;
        for (std::uint32_t i = first_[c]; i < first_[c + 1]; ++i) {
            const auto label = static_cast<std::uint32_t>(arcs_[i] >> 32);
            const auto target = static_cast<std::uint32_t>(arcs_[i]);
            if (label == TauLabel && partition_.BlockOf(target) == b) {
                // Inert: the target's signature, computed in this round or its block's.
                const Signature& t = computedRound_[target] == round_ ? nodeSignature_[target] : blockSignature_[b];
                divergent = divergent || t.divergent;
                if (!anyInert) shared = t;
                else if (oneInert && !Equal(shared, t)) oneInert = false;
                anyInert = true;
            } else {
                own_.push_back(Pack(label, partition_.BlockOf(target)));
            }
        }
        // All inert successors share one signature that holds the node's own pairs.
        if (anyInert && oneInert && divergent == shared.divergent && Holds(shared, own_)) return shared;
        // The union of the node's own pairs (sorted here) and of its inert
        // successors' signatures (sorted in the pool), merged one by one.
        std::sort(own_.begin(), own_.end());
        own_.erase(std::unique(own_.begin(), own_.end()), own_.end());
        scratch_.assign(own_.begin(), own_.end());
        if (anyInert) {
            Signature last{0, 0, false};
            for (std::uint32_t i = first_[c]; i < first_[c + 1]; ++i) {
                const auto label = static_cast<std::uint32_t>(arcs_[i] >> 32);
                const auto target = static_cast<std::uint32_t>(arcs_[i]);
                if (label != TauLabel || partition_.BlockOf(target) != b) continue;
                const Signature& t = computedRound_[target] == round_ ? nodeSignature_[target] : blockSignature_[b];
                if (t.length == 0 || (last.length == t.length && last.start == t.start)) continue;
                last = t;
                merged_.clear();
                std::set_union(scratch_.begin(), scratch_.end(), pool_.begin() + t.start,
                               pool_.begin() + t.start + t.length, std::back_inserter(merged_));
                scratch_.swap(merged_);
                if (oneInert) break;  // one of them holds them all
            }
        }
        if (blockKnown_[b]) {
            const Signature& ofBlock = blockSignature_[b];
            if (ofBlock.divergent == divergent && ofBlock.length == scratch_.size() &&
                std::equal(scratch_.begin(), scratch_.end(), pool_.begin() + ofBlock.start))
                return ofBlock;
        }
        // A signature met before in this round is shared.
        std::uint64_t h = scratch_.size() * 0x9E3779B97F4A7C15ull + divergent;
        for (std::uint64_t pair : scratch_) h = (h ^ pair) * 0x100000001B3ull + (h >> 29);
        auto [it, added] = interned_.try_emplace(h, Signature{});
        if (!added) {
            const Signature& met = it->second;
            if (met.divergent == divergent && met.length == scratch_.size() &&
                std::equal(scratch_.begin(), scratch_.end(), pool_.begin() + met.start))
                return met;
        }
        Signature signature{static_cast<std::uint32_t>(pool_.size()), static_cast<std::uint32_t>(scratch_.size()),
                            divergent};
        pool_.insert(pool_.end(), scratch_.begin(), scratch_.end());
        it->second = signature;
        return signature;
    }

    bool Round() {
        // The moved nodes and their predecessors are dirty. Many dirty nodes
        // are visited by a scan of all nodes in order, few through a heap.
        const std::uint32_t k = components_.count;
        std::size_t dirtyCount = 0;
        for (std::uint32_t c : moved_) {
            dirtyCount += 1 + predFirst_[c + 1] - predFirst_[c];
            if (dirtyCount > k / 16) break;
        }
        scanning_ = dirtyCount > k / 16;
        scanAt_ = 0;
        for (std::uint32_t c : moved_) {
            MakeDirty(c);
            for (std::uint32_t i = predFirst_[c]; i < predFirst_[c + 1]; ++i) MakeDirty(static_cast<std::uint32_t>(preds_[i]));
        }
        moved_.clear();
        interned_.clear();
        poller_.SetPhase("affinage de branchement, tour " + std::to_string(round_ + 1), "blocs");
        // The dirty nodes whose signature is not their block's, by group.
        std::vector<Signature> groups;
        std::vector<std::uint32_t> changed, groupOfChanged;
        auto hash = [this](const std::pair<std::uint32_t, Signature>& key) {
            std::uint64_t h = key.first * 0x9E3779B97F4A7C15ull + key.second.divergent;
            for (std::uint32_t i = key.second.start; i < key.second.start + key.second.length; ++i)
                h = (h ^ pool_[i]) * 0x100000001B3ull + (h >> 29);
            return static_cast<std::size_t>(h);
        };
        auto equal = [this](const std::pair<std::uint32_t, Signature>& a, const std::pair<std::uint32_t, Signature>& b) {
            return a.first == b.first && a.second.divergent == b.second.divergent && a.second.length == b.second.length &&
                   std::equal(pool_.begin() + a.second.start, pool_.begin() + a.second.start + a.second.length,
                              pool_.begin() + b.second.start);
        };
        std::unordered_map<std::pair<std::uint32_t, Signature>, std::uint32_t, decltype(hash), decltype(equal)> groupOf(
            16, hash, equal);
        for (std::uint32_t c = NextDirty(); c != kNone; c = NextDirty()) {
            const Signature signature = Compute(c);
            nodeSignature_[c] = signature;
            computedRound_[c] = round_;
            if (poller_.Stop(first_[c + 1] - first_[c] + 1, partition_.BlockCount(), round_)) return false;
            const std::uint32_t b = partition_.BlockOf(c);
            if (SameAsBlock(signature, b)) continue;
            // Its inert predecessors inherit a new signature: they come later.
            for (std::uint32_t i = predFirst_[c]; i < predFirst_[c + 1]; ++i) {
                const auto label = static_cast<std::uint32_t>(preds_[i] >> 32);
                const auto from = static_cast<std::uint32_t>(preds_[i]);
                if (label == TauLabel && partition_.BlockOf(from) == b) MakeDirty(from);
            }
            const auto [it, added] = groupOf.try_emplace({b, signature}, static_cast<std::uint32_t>(groups.size()));
            if (added) groups.push_back(signature);
            changed.push_back(c);
            groupOfChanged.push_back(it->second);
        }
        if (round_ == 0) {
            // Every node was computed, and the groups are the new blocks.
            const std::uint32_t before = partition_.BlockCount();
            std::vector<std::uint32_t> block(components_.count);
            for (std::size_t i = 0; i < changed.size(); ++i) block[changed[i]] = groupOfChanged[i];
            partition_ = detail::RefinablePartition(block, static_cast<std::uint32_t>(groups.size()));
            blockSignature_.clear();
            for (const Signature& signature : groups) blockSignature_.push_back(Keep(signature));
            blockKnown_.assign(groups.size(), true);
            if (groups.size() > before)
                for (std::uint32_t c = 0; c < components_.count; ++c) moved_.push_back(c);
            return true;
        }
        // The members of each group side by side.
        std::vector<std::uint32_t> groupStart(groups.size() + 1, 0), members(changed.size());
        for (std::uint32_t g : groupOfChanged) ++groupStart[g + 1];
        for (std::size_t g = 0; g < groups.size(); ++g) groupStart[g + 1] += groupStart[g];
        for (std::size_t i = 0; i < changed.size(); ++i) members[groupStart[groupOfChanged[i]]++] = changed[i];
        // Each group apart from the rest of its block.
        std::uint32_t begin = 0;
        for (std::size_t g = 0; g < groups.size(); ++g) {
            const std::uint32_t end = groupStart[g];  // advanced to the group's end above
            for (std::uint32_t i = begin; i < end; ++i) partition_.Mark(members[i]);
            partition_.Split(onSplit_);
            const std::uint32_t b = partition_.BlockOf(members[begin]);
            blockSignature_[b] = Keep(groups[g]);
            blockKnown_[b] = true;
            begin = end;
        }
        // The pool holds the blocks' signatures and this round's; keep those
        // of the blocks only, now and then.
        if (pool_.size() > 2 * keptSize_ + (1u << 16)) CompactPool();
        return true;
    }

    // A signature of a block stays in the pool.
    Signature Keep(const Signature& signature) {
        keptSize_ += signature.length;
        return signature;
    }

    void CompactPool() {
        std::vector<std::uint64_t> pool;
        pool.reserve(keptSize_ + (1u << 16));
        for (std::uint32_t b = 0; b < partition_.BlockCount(); ++b) {
            if (!blockKnown_[b]) continue;
            Signature& signature = blockSignature_[b];
            const auto start = static_cast<std::uint32_t>(pool.size());
            pool.insert(pool.end(), pool_.begin() + signature.start, pool_.begin() + signature.start + signature.length);
            signature.start = start;
        }
        pool_ = std::move(pool);
        keptSize_ = pool_.size();  // the nodes' signatures of this round are not read again
    }

    const bool divergenceSensitive_;
    detail::Poller poller_;
    detail::TauComponents components_;
    detail::RefinablePartition partition_;  // of the nodes
    std::vector<std::uint32_t> first_;      // per node: its arcs in arcs_
    std::vector<std::uint64_t> arcs_;       // label << 32 | target node
    std::vector<std::uint32_t> predFirst_;  // per node: its predecessors in preds_
    std::vector<std::uint64_t> preds_;      // label << 32 | source node
    std::uint32_t round_ = 0;

    std::vector<std::uint64_t> pool_;  // the signatures' pairs (label << 32 | block)
    std::size_t keptSize_ = 0;         // pairs of the blocks' signatures
    std::vector<Signature> blockSignature_;
    std::vector<bool> blockKnown_;     // a block's signature is known once one of its nodes was computed
    std::vector<Signature> nodeSignature_;
    std::vector<std::uint32_t> computedRound_, dirtyRound_;  // per node: the last round it was computed, made dirty
    std::priority_queue<std::uint32_t, std::vector<std::uint32_t>, std::greater<>> dirty_;
    bool scanning_ = false;   // dirty nodes found by a scan, not the heap
    std::uint32_t scanAt_ = 0;
    std::vector<std::uint64_t> scratch_, own_, merged_;
    // This round's signatures by hash (the last one of each hash), so that
    // equal ones are kept once.
    std::unordered_map<std::uint64_t, Signature> interned_;
    std::vector<std::uint32_t> moved_;  // nodes whose block number changed

    // The nodes of a new block moved; the new block starts with the
    // signature of the part it was split from (marked: set after the split).
    std::function<void(std::uint32_t, std::uint32_t, bool)> onSplit_ = [this](std::uint32_t old, std::uint32_t added,
                                                                               bool) {
        blockSignature_.push_back(blockSignature_[old]);
        blockKnown_.push_back(blockKnown_[old]);
        if (blockKnown_[old]) keptSize_ += blockSignature_[old].length;
        const std::vector<std::uint32_t>& elems = partition_.Elements();
        for (std::uint32_t i = partition_.First(added); i < partition_.End(added); ++i) moved_.push_back(elems[i]);
    };
};

}  // namespace

Partition SignatureBranching(const Lts& lts, bool divergenceSensitive, Progress* progress,
                             const std::vector<std::uint32_t>& initialBlock) {
    Partition result;
    if (lts.StateCount() == 0) return result;
    SignatureRefiner refiner(lts, initialBlock, divergenceSensitive, progress);
    if (!refiner.Run()) {
        result.stopped = true;
        return result;
    }
    result.block = refiner.StateBlocks();
    result.count = detail::NumberBlocksByFirstElement(result.block);
    return result;
}

}  // namespace quarvo::testing
