// The coarsest branching bisimulation, plain or divergence-sensitive, by
// signature refinement (Blom and Orzan) after contracting the cycles of
// internal arcs.
//
// The states of a cycle of internal arcs are branching bisimilar (and
// divergence-sensitive branching bisimilar): each strongly connected
// component of the internal arcs becomes one node, which leaves the internal
// arcs between nodes without cycles. Then, round after round, each node s
// gets the signature of the current partition P:
//     { (a, P(t)) | s -I->* s' -a-> t, the path staying in P(s),
//                   and not (a = I and P(t) = P(s)) },
// plus, when divergence counts, a mark if an infinite internal path stays in
// P(s) (after contraction: the path reaches a node that was a cycle). The
// signature of a node is its own arcs' pairs and the signatures of the nodes
// it reaches by an inert internal arc; nodes are visited in the order Tarjan's
// algorithm completed them, which puts those successors first. The next
// partition groups the nodes by old block and signature; when it has as many
// blocks as the current one, it is the answer.
//
// Cost: O(m + sum of signature sizes) per round, hashed; as many rounds as
// the longest chain of splits, so O(n m) in the worst case, far less on the
// systems met in practice. (The O(m log n) algorithm of Groote, Jansen,
// Keiren and Wijs would bound the worst case.)
#include <algorithm>
#include <unordered_map>

#include "equivalence/Equivalence.h"
#include "equivalence/RefinablePartition.h"
#include "equivalence/TauComponents.h"

namespace quarvo {
namespace {

// A signature in the pool of one round, with the old block and the mark.
struct SignatureKey {
    std::uint32_t start, length, block;
    bool divergent;
};

class SignatureRefiner {
public:
    SignatureRefiner(const Lts& lts, const std::vector<std::uint32_t>& group, bool divergenceSensitive,
                     Progress* progress)
        : divergenceSensitive_(divergenceSensitive), poller_(progress) {
        components_ = detail::FindTauComponents(lts, group);
        Contract(lts);
        block_.resize(components_.count);
        if (group.empty()) {
            std::fill(block_.begin(), block_.end(), 0);
        } else {
            for (std::uint32_t s = 0; s < lts.StateCount(); ++s) block_[components_.component[s]] = group[s];
        }
        blockCount_ = detail::NumberBlocksByFirstElement(block_);
    }

    // False when stopped.
    bool Run() {
        // Once every node is a block of its own, nothing is left to split.
        while (blockCount_ < components_.count) {
            const std::uint32_t before = blockCount_;
            if (!Round()) return false;
            if (blockCount_ == before) return true;
        }
        return true;
    }

    // The block of each state of the lts.
    std::vector<std::uint32_t> StateBlocks() const {
        std::vector<std::uint32_t> blocks(components_.component.size());
        for (std::size_t s = 0; s < blocks.size(); ++s) blocks[s] = block_[components_.component[s]];
        return blocks;
    }

private:
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
    }

    static std::uint64_t Pack(std::uint32_t label, std::uint32_t node) {
        return (std::uint64_t{label} << 32) | node;
    }

    bool Round() {
        const std::uint32_t k = components_.count;
        pool_.clear();
        start_.assign(std::size_t{k} + 1, 0);
        mark_.assign(k, false);
        std::vector<std::uint32_t> next(k);
        auto hash = [this](const SignatureKey& key) {
            std::uint64_t h = key.block * 0x9E3779B97F4A7C15ull + key.divergent;
            for (std::uint32_t i = key.start; i < key.start + key.length; ++i)
                h = (h ^ pool_[i]) * 0x100000001B3ull + (h >> 29);
            return static_cast<std::size_t>(h);
        };
        auto equal = [this](const SignatureKey& a, const SignatureKey& b) {
            return a.block == b.block && a.divergent == b.divergent && a.length == b.length &&
                   std::equal(pool_.begin() + a.start, pool_.begin() + a.start + a.length, pool_.begin() + b.start);
        };
        std::unordered_map<SignatureKey, std::uint32_t, decltype(hash), decltype(equal)> ids(
            std::size_t{blockCount_} * 2, hash, equal);
        std::vector<std::uint64_t> signature;
        for (std::uint32_t c = 0; c < k; ++c) {
            const std::uint32_t b = block_[c];
            signature.clear();
            bool divergent = divergenceSensitive_ && components_.cyclic[c];
            for (std::uint32_t i = first_[c]; i < first_[c + 1]; ++i) {
                const auto label = static_cast<std::uint32_t>(arcs_[i] >> 32);
                const auto target = static_cast<std::uint32_t>(arcs_[i]);
                if (label == TauLabel && block_[target] == b) {
                    // Inert: target < c, its signature is done.
                    signature.insert(signature.end(), pool_.begin() + start_[target], pool_.begin() + start_[target + 1]);
                    divergent = divergent || mark_[target];
                } else {
                    signature.push_back(Pack(label, block_[target]));
                }
            }
            std::sort(signature.begin(), signature.end());
            signature.erase(std::unique(signature.begin(), signature.end()), signature.end());
            start_[c] = static_cast<std::uint32_t>(pool_.size());
            pool_.insert(pool_.end(), signature.begin(), signature.end());
            start_[c + 1] = static_cast<std::uint32_t>(pool_.size());
            mark_[c] = divergent;
            const SignatureKey key{start_[c], static_cast<std::uint32_t>(signature.size()), b, divergent};
            next[c] = ids.try_emplace(key, static_cast<std::uint32_t>(ids.size())).first->second;
            if (poller_.Stop(first_[c + 1] - first_[c] + 1, blockCount_, static_cast<std::int64_t>(c))) return false;
        }
        block_ = std::move(next);
        blockCount_ = static_cast<std::uint32_t>(ids.size());
        return true;
    }

    const bool divergenceSensitive_;
    detail::Poller poller_;
    detail::TauComponents components_;
    std::vector<std::uint32_t> first_;  // per node: its arcs in arcs_
    std::vector<std::uint64_t> arcs_;   // label << 32 | target node
    std::vector<std::uint32_t> block_;  // per node
    std::uint32_t blockCount_ = 0;
    // Signatures of the current round: node c's are pool_[start_[c]] .. pool_[start_[c + 1] - 1].
    std::vector<std::uint64_t> pool_;
    std::vector<std::uint32_t> start_;
    std::vector<bool> mark_;  // per node: diverges inside its block
};

}  // namespace

Partition BranchingBisimulation(const Lts& lts, bool divergenceSensitive, Progress* progress,
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

}  // namespace quarvo
