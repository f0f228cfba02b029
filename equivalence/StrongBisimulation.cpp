// The coarsest strong bisimulation, by the algorithm of Paige and Tarjan in
// O(m log n) time and O(m + n) memory.
//
// The partition P of the states is kept stable with respect to a coarser
// partition X, whose classes (compound splitters) are unions of blocks of P:
// for every label a, every block of P and every class S of X, either every
// state of the block has an a-arc into S or none has. Each round takes a
// class S of X holding two blocks or more and one of its blocks B with at
// most half of S's states, makes B a class of its own, and splits every block
// of P three ways, label by label: states with a-arcs into B only, into
// S \ B only, into both. Which of the first and last a state belongs to is
// told by comparing the number of its a-arcs into B with the number into S,
// which every arc finds in a counter shared by the arcs of its source, label
// and class of X. A state is in B of a round at most log n times, so the
// arcs into B are walked O(m log n) times in all. When X equals P, P is a
// bisimulation, and the coarsest since a block is split only when two of its
// states differ. The first partition is split, label by label, between the
// states with an arc of that label and the others, which makes it stable
// with respect to the whole set of states, the single first class of X.
#include <algorithm>
#include <functional>

#include "equivalence/Equivalence.h"
#include "equivalence/RefinablePartition.h"
#include "equivalence/StrongRefinement.h"

namespace quarvo {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

class StrongRefiner {
    // An arc and its source, side by side for the passes over the arcs into B.
    struct ArcFrom {
        std::uint32_t at, source, counter;  // at: the arc's position in inArcs_
    };
    // An arc as its target sees it, with its counter.
    struct InArc {
        std::uint32_t source, label, counter;
    };

public:
    StrongRefiner(const Lts& lts, const std::vector<std::uint32_t>& start, std::uint32_t startCount, Progress* progress)
        : lts_(lts), n_(static_cast<std::uint32_t>(lts.StateCount())), m_(static_cast<std::uint32_t>(lts.ArcCount())),
          partition_(start, startCount), poller_(progress) {
        poller_.SetPhase("affinage fort", "blocs");
    }

    // False when stopped.
    bool Run() {
        // One class of X holding every block.
        compoundHead_.push_back(kNone);
        compoundBlocks_.push_back(0);
        inWork_.push_back(false);
        for (std::uint32_t b = 0; b < partition_.BlockCount(); ++b) JoinCompound(b, 0);
        if (!SplitByLabels()) return false;
        if (partition_.BlockCount() == n_) return true;  // nothing left to split
        BuildArcs();
        return Refine();
    }

    std::vector<std::uint32_t> Blocks() const { return partition_.Blocks(); }

private:
    // The arcs by target, each with the counter of the arcs of its source and
    // label into the single first class.
    void BuildArcs() {
        // The counters first, in arc order: the arcs of each source and label.
        std::vector<std::uint32_t> counter(m_);
        counterValue_.reserve(m_);
        std::vector<std::uint32_t> slotOfLabel(lts_.labels.size(), kNone);
        for (std::uint32_t s = 0; s < n_; ++s) {
            const std::uint32_t begin = lts_.firstArc[s], end = lts_.firstArc[s + 1];
            for (std::uint32_t e = begin; e < end; ++e) {
                std::uint32_t& slot = slotOfLabel[lts_.label[e]];
                if (slot == kNone) slot = NewCounter(0);
                ++counterValue_[slot];
                counter[e] = slot;
            }
            for (std::uint32_t e = begin; e < end; ++e) slotOfLabel[lts_.label[e]] = kNone;
        }
        inFirst_.assign(std::size_t{n_} + 1, 0);
        for (std::uint32_t e = 0; e < m_; ++e) ++inFirst_[lts_.target[e] + 1];
        for (std::uint32_t s = 0; s < n_; ++s) inFirst_[s + 1] += inFirst_[s];
        inArcs_.resize(m_);
        std::vector<std::uint32_t> at(inFirst_.begin(), inFirst_.end() - 1);
        for (std::uint32_t s = 0; s < n_; ++s)
            for (std::uint32_t e = lts_.firstArc[s]; e < lts_.firstArc[s + 1]; ++e)
                inArcs_[at[lts_.target[e]]++] = InArc{s, lts_.label[e], counter[e]};
        intoB_.assign(n_, IntoB{0, kNone});  // counter: read only after being set in the same pass
        buckets_.resize(lts_.labels.size());
    }

    // Makes P stable with respect to the whole set of states: for each label,
    // the states with an arc of that label are split from the others.
    bool SplitByLabels() {
        const std::size_t labels = lts_.labels.size();
        std::vector<std::uint32_t> first(labels + 1, 0), sources(m_);
        for (std::uint32_t e = 0; e < m_; ++e) ++first[lts_.label[e] + 1];
        for (std::size_t l = 0; l < labels; ++l) first[l + 1] += first[l];
        {
            std::vector<std::uint32_t> at(first.begin(), first.end() - 1);
            for (std::uint32_t s = 0; s < n_; ++s)
                for (std::uint32_t e = lts_.firstArc[s]; e < lts_.firstArc[s + 1]; ++e) sources[at[lts_.label[e]]++] = s;
        }
        for (std::size_t l = 0; l < labels; ++l) {
            for (std::uint32_t k = first[l]; k < first[l + 1]; ++k) partition_.Mark(sources[k]);
            partition_.Split(onSplit_);
            if (poller_.Stop(first[l + 1] - first[l] + 1, partition_.BlockCount(), 0)) return false;
        }
        return true;
    }

    bool Refine() {
        std::int64_t walked = 0;
        // Once every block is a single state, nothing is left to split.
        while (!work_.empty() && partition_.BlockCount() < n_) {
            const std::uint32_t x = work_.back();
            work_.pop_back();
            inWork_[x] = false;
            if (compoundBlocks_[x] < 2) continue;
            const std::uint32_t b1 = compoundHead_[x], b2 = next_[b1];
            const std::uint32_t b = partition_.Size(b1) <= partition_.Size(b2) ? b1 : b2;
            LeaveCompound(b);
            if (compoundBlocks_[x] >= 2) Schedule(x);
            const auto y = static_cast<std::uint32_t>(compoundHead_.size());
            compoundHead_.push_back(kNone);
            compoundBlocks_.push_back(0);
            inWork_.push_back(false);
            JoinCompound(b, y);

            // The arcs into B, by label, gathered before B itself may split.
            std::uint64_t arcs = 0;
            const std::vector<std::uint32_t>& elems = partition_.Elements();
            for (std::uint32_t i = partition_.First(b); i < partition_.End(b); ++i) {
                const std::uint32_t t = elems[i];
                for (std::uint32_t k = inFirst_[t]; k < inFirst_[t + 1]; ++k) AddToBucket(inArcs_[k]);
                arcs += inFirst_[t + 1] - inFirst_[t];
            }
            for (std::uint32_t label : labelsSeen_) {
                SplitBy(buckets_[label]);
                buckets_[label].clear();
            }
            labelsSeen_.clear();
            walked += static_cast<std::int64_t>(arcs);
            if (poller_.Stop(arcs + 1, partition_.BlockCount(), walked)) return false;
        }
        return true;
    }

    // Splits P with respect to B and S \ B for one label; arcs: the arcs of
    // that label into B, whose counters count the arcs into S.
    void SplitBy(const std::vector<ArcFrom>& arcs) {
        for (const ArcFrom& arc : arcs) {
            ++intoB_[arc.source].count;
            partition_.Mark(arc.source);
        }
        partition_.Split(onSplit_);
        // Among the states with arcs into B, those with arcs into S \ B too.
        for (const ArcFrom& arc : arcs)
            if (intoB_[arc.source].count < counterValue_[arc.counter]) partition_.Mark(arc.source);
        partition_.Split(onSplit_);
        // The arcs into B get a counter of their own, made by the first arc
        // of each source, which clears the count.
        for (const ArcFrom& arc : arcs) {
            IntoB& into = intoB_[arc.source];
            if (into.count != 0) {
                into.counter = NewCounter(into.count);
                into.count = 0;
            }
            const std::uint32_t old = arc.counter;
            if (--counterValue_[old] == 0) freeCounters_.push_back(old);
            inArcs_[arc.at].counter = into.counter;
        }
    }

    void AddToBucket(const InArc& in) {
        std::vector<ArcFrom>& bucket = buckets_[in.label];
        if (bucket.empty()) labelsSeen_.push_back(in.label);
        bucket.push_back(ArcFrom{static_cast<std::uint32_t>(&in - inArcs_.data()), in.source, in.counter});
    }

    std::uint32_t NewCounter(std::uint32_t value) {
        if (!freeCounters_.empty()) {
            const std::uint32_t slot = freeCounters_.back();
            freeCounters_.pop_back();
            counterValue_[slot] = value;
            return slot;
        }
        counterValue_.push_back(value);
        return static_cast<std::uint32_t>(counterValue_.size() - 1);
    }

    // Classes of X: each a doubly linked list of its blocks.
    void JoinCompound(std::uint32_t block, std::uint32_t x) {
        if (block >= compoundOf_.size()) {
            compoundOf_.resize(std::size_t{block} + 1);
            next_.resize(std::size_t{block} + 1);
            prev_.resize(std::size_t{block} + 1);
        }
        compoundOf_[block] = x;
        prev_[block] = kNone;
        next_[block] = compoundHead_[x];
        if (compoundHead_[x] != kNone) prev_[compoundHead_[x]] = block;
        compoundHead_[x] = block;
        if (++compoundBlocks_[x] == 2) Schedule(x);
    }

    void LeaveCompound(std::uint32_t block) {
        const std::uint32_t x = compoundOf_[block];
        if (prev_[block] != kNone)
            next_[prev_[block]] = next_[block];
        else
            compoundHead_[x] = next_[block];
        if (next_[block] != kNone) prev_[next_[block]] = prev_[block];
        --compoundBlocks_[x];
    }

    void Schedule(std::uint32_t x) {
        if (inWork_[x]) return;
        inWork_[x] = true;
        work_.push_back(x);
    }

    const Lts& lts_;
    const std::uint32_t n_, m_;
    detail::RefinablePartition partition_;
    detail::Poller poller_;

    std::vector<std::uint32_t> inFirst_;
    std::vector<InArc> inArcs_;  // by target: state t's are inArcs_[inFirst_[t]] .. inArcs_[inFirst_[t + 1] - 1]
    std::vector<std::uint32_t> counterValue_;  // arcs of one source and label into one class of X
    std::vector<std::uint32_t> freeCounters_;
    // Per state, during one label's split: its arcs into B, then their new counter.
    struct IntoB {
        std::uint32_t count, counter;
    };
    std::vector<IntoB> intoB_;
    std::vector<std::vector<ArcFrom>> buckets_;  // per label: arcs into B
    std::vector<std::uint32_t> labelsSeen_;

    std::vector<std::uint32_t> compoundOf_, next_, prev_;  // per block
    std::vector<std::uint32_t> compoundHead_, compoundBlocks_;
    std::vector<bool> inWork_;
    std::vector<std::uint32_t> work_;

    // A new block joins the class of X of the block it was split from.
    std::function<void(std::uint32_t, std::uint32_t, bool)> onSplit_ =
        [this](std::uint32_t old, std::uint32_t added, bool) { JoinCompound(added, compoundOf_[old]); };
};

// Rounds of signature refinement ahead of Paige–Tarjan. On systems where
// every state ends alone in its block, which is common, a few sequential
// rounds reach that partition for a fraction of the cost of the splitter
// passes, whose accesses jump across the whole system. Each round gives every
// state the sorted set of (label, block of target) pairs of its arcs, with its
// own block, and groups equal ones: it never separates bisimilar states, so
// Paige–Tarjan may start from what the rounds leave. The rounds stop once a
// round changes nothing (then the partition is already the coarsest
// bisimulation), once every state is alone, or once a round adds less than
// one block in a hundred, leaving the rest to Paige–Tarjan.
class SignatureRounds {
public:
    SignatureRounds(const Lts& lts, Progress* progress) : lts_(lts), progress_(progress) {}

    enum class Outcome { Final, Refined, Stopped };

    Outcome Run(std::vector<std::uint32_t>& block, std::uint32_t& count) {
        const auto n = static_cast<std::uint32_t>(lts_.StateCount());
        for (int round = 0; round < kMaxRounds; ++round) {
            if (progress_ != nullptr && progress_->StopRequested()) return Outcome::Stopped;
            const std::uint32_t before = count;
            count = Round(block);
            if (progress_ != nullptr) progress_->UpdatePhase("affinage par signatures", count, "blocs");
            if (count == before || count == n) return Outcome::Final;
            if (count - before < before / 100 + 1) break;
        }
        return Outcome::Refined;
    }

private:
    static constexpr int kMaxRounds = 24;

    static std::uint64_t Hash(const std::uint64_t* first, const std::uint64_t* last) {
        std::uint64_t h = 0x9E3779B97F4A7C15ull;
        for (; first != last; ++first) {
            h ^= *first + 0x632BE59BD9B4E019ull + (h << 6) + (h >> 2);
            h *= 0xFF51AFD7ED558CCDull;
        }
        return h ^ (h >> 33);
    }

    std::uint32_t Round(std::vector<std::uint32_t>& block) {
        const auto n = static_cast<std::uint32_t>(lts_.StateCount());
        signature_.clear();
        start_.resize(std::size_t{n} + 1);
        start_[0] = 0;
        for (std::uint32_t s = 0; s < n; ++s) {
            const std::size_t own = signature_.size();
            signature_.push_back(std::uint64_t{block[s]});
            for (std::uint32_t e = lts_.firstArc[s]; e < lts_.firstArc[s + 1]; ++e)
                signature_.push_back((std::uint64_t{lts_.label[e]} << 32 | block[lts_.target[e]]) + (std::uint64_t{1} << 32));
            const auto first = signature_.begin() + static_cast<std::ptrdiff_t>(own) + 1;
            std::sort(first, signature_.end());
            signature_.erase(std::unique(first, signature_.end()), signature_.end());
            start_[s + 1] = signature_.size();
        }
        std::size_t size = 2;
        while (size < std::size_t{n} * 2) size <<= 1;
        table_.assign(size, kNone);
        fresh_.resize(n);
        std::uint32_t count = 0;
        for (std::uint32_t s = 0; s < n; ++s) {
            const std::uint64_t* first = signature_.data() + start_[s];
            const std::uint64_t* last = signature_.data() + start_[s + 1];
            std::size_t at = Hash(first, last) & (size - 1);
            for (;; at = (at + 1) & (size - 1)) {
                const std::uint32_t r = table_[at];
                if (r == kNone) {
                    table_[at] = s;
                    fresh_[s] = count++;
                    break;
                }
                if (std::equal(first, last, signature_.data() + start_[r], signature_.data() + start_[r + 1])) {
                    fresh_[s] = fresh_[r];
                    break;
                }
            }
        }
        block.swap(fresh_);
        return count;
    }

    const Lts& lts_;
    Progress* progress_;
    std::vector<std::uint64_t> signature_;  // per state: its block, then its pairs (label + 1, block)
    std::vector<std::size_t> start_;
    std::vector<std::uint32_t> table_, fresh_;
};

// Paige–Tarjan from the given first blocks, after the signature rounds when asked.
Partition Refine(const Lts& lts, Progress* progress, const std::vector<std::uint32_t>& initialBlock,
                 bool signatureRounds) {
    Partition result;
    if (lts.StateCount() == 0) return result;
    std::vector<std::uint32_t> start = initialBlock.empty() ? std::vector<std::uint32_t>(lts.StateCount(), 0) : initialBlock;
    std::uint32_t startCount = detail::NumberBlocksByFirstElement(start);
    if (signatureRounds) {
        SignatureRounds rounds(lts, progress);
        const SignatureRounds::Outcome outcome = rounds.Run(start, startCount);
        if (outcome == SignatureRounds::Outcome::Stopped) {
            result.stopped = true;
            return result;
        }
        if (outcome == SignatureRounds::Outcome::Final) {
            result.block = std::move(start);
            result.count = detail::NumberBlocksByFirstElement(result.block);
            return result;
        }
        startCount = detail::NumberBlocksByFirstElement(start);
    }
    StrongRefiner refiner(lts, start, startCount, progress);
    if (!refiner.Run()) {
        result.stopped = true;
        return result;
    }
    result.block = refiner.Blocks();
    result.count = detail::NumberBlocksByFirstElement(result.block);
    return result;
}

}  // namespace

Partition StrongBisimulation(const Lts& lts, Progress* progress, const std::vector<std::uint32_t>& initialBlock) {
    return Refine(lts, progress, initialBlock, true);
}

namespace detail {

Partition PaigeTarjan(const Lts& lts, Progress* progress, const std::vector<std::uint32_t>& initialBlock) {
    return Refine(lts, progress, initialBlock, false);
}

}  // namespace detail

}  // namespace quarvo
