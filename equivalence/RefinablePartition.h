// A partition of 0..n-1 that can only be refined, each refinement costing
// what the elements marked for it cost: the elements of a block lie side by
// side in one array, the marked ones at the front of their block.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <utility>
#include <vector>

#include "generation/Progress.h"

namespace quarvo::detail {

class RefinablePartition {
public:
    // One block holding every element, or none when n is 0.
    explicit RefinablePartition(std::uint32_t n) : elems_(n), loc_(n), blockOf_(n, 0) {
        for (std::uint32_t e = 0; e < n; ++e) elems_[e] = loc_[e] = e;
        if (n > 0) AddBlock(0, n);
    }

    // Blocks given for every element: block[e] in 0..count-1, each used.
    RefinablePartition(const std::vector<std::uint32_t>& block, std::uint32_t count)
        : elems_(block.size()), loc_(block.size()), blockOf_(block) {
        std::vector<std::uint32_t> start(count + 1, 0);
        for (std::uint32_t b : block) ++start[b + 1];
        for (std::uint32_t b = 0; b < count; ++b) start[b + 1] += start[b];
        for (std::uint32_t b = 0; b < count; ++b) AddBlock(start[b], start[b + 1]);
        for (std::uint32_t e = 0; e < block.size(); ++e) {
            const std::uint32_t at = start[block[e]]++;
            elems_[at] = e;
            loc_[e] = at;
        }
    }

    std::uint32_t BlockCount() const { return static_cast<std::uint32_t>(first_.size()); }
    std::uint32_t BlockOf(std::uint32_t e) const { return blockOf_[e]; }
    std::uint32_t Size(std::uint32_t b) const { return end_[b] - first_[b]; }
    // The elements of block b: Elements()[First(b)] .. Elements()[End(b) - 1].
    const std::vector<std::uint32_t>& Elements() const { return elems_; }
    std::uint32_t First(std::uint32_t b) const { return first_[b]; }
    std::uint32_t End(std::uint32_t b) const { return end_[b]; }
    const std::vector<std::uint32_t>& Blocks() const { return blockOf_; }

    void Mark(std::uint32_t e) {
        const std::uint32_t b = blockOf_[e], at = loc_[e];
        if (at < mid_[b]) return;  // marked already
        if (mid_[b] == first_[b]) touched_.push_back(b);
        const std::uint32_t other = elems_[mid_[b]];
        elems_[at] = other;
        loc_[other] = at;
        elems_[mid_[b]] = e;
        loc_[e] = mid_[b];
        ++mid_[b];
    }

    // Splits every block with marked elements into its marked and unmarked
    // parts; the smaller part becomes a new block, so that an element changes
    // blocks O(log n) times in all. onSplit(old, added, markedIsAdded) is
    // called for each new block. Marks are cleared.
    template <typename OnSplit>
    void Split(OnSplit&& onSplit) {
        for (std::size_t k = 0; k < touched_.size(); ++k) {
            const std::uint32_t b = touched_[k];
            const std::uint32_t marked = mid_[b] - first_[b], size = end_[b] - first_[b];
            const std::uint32_t middle = mid_[b];
            mid_[b] = first_[b];
            if (marked == size) continue;
            const bool markedIsAdded = marked <= size - marked;
            const std::uint32_t added = markedIsAdded ? AddBlock(first_[b], middle) : AddBlock(middle, end_[b]);
            if (markedIsAdded)
                first_[b] = middle;
            else
                end_[b] = middle;
            mid_[b] = first_[b];
            for (std::uint32_t i = first_[added]; i < end_[added]; ++i) blockOf_[elems_[i]] = added;
            onSplit(b, added, markedIsAdded);
        }
        touched_.clear();
    }

private:
    std::uint32_t AddBlock(std::uint32_t first, std::uint32_t end) {
        first_.push_back(first);
        end_.push_back(end);
        mid_.push_back(first);
        return static_cast<std::uint32_t>(first_.size() - 1);
    }

    std::vector<std::uint32_t> elems_, loc_, blockOf_;
    std::vector<std::uint32_t> first_, end_, mid_;  // per block; mid_: end of the marked part
    std::vector<std::uint32_t> touched_;            // blocks with marked elements
};

// Blocks renumbered 0..count-1 in the order of their first element; returns
// count. The numbers given may be any: large ones go through a sorted table.
inline std::uint32_t NumberBlocksByFirstElement(std::vector<std::uint32_t>& block) {
    std::uint32_t max = 0;
    for (std::uint32_t b : block) max = b > max ? b : max;
    constexpr std::uint32_t kNone = UINT32_MAX;
    std::uint32_t count = 0;
    if (std::size_t{max} <= 2 * block.size() + 16) {
        std::vector<std::uint32_t> renumber(std::size_t{max} + 1, kNone);
        for (std::uint32_t& b : block) {
            if (renumber[b] == kNone) renumber[b] = count++;
            b = renumber[b];
        }
        return count;
    }
    std::vector<std::uint32_t> values(block);
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    std::vector<std::uint32_t> renumber(values.size(), kNone);
    for (std::uint32_t& b : block) {
        const auto k = static_cast<std::size_t>(std::lower_bound(values.begin(), values.end(), b) - values.begin());
        if (renumber[k] == kNone) renumber[k] = count++;
        b = renumber[k];
    }
    return count;
}

// Asks a Progress, every few thousand steps, whether to stop, and now and then
// tells it how far the work has gone.
class Poller {
public:
    explicit Poller(Progress* progress) : progress_(progress) {}
    // True when the caller asked to stop; count: the steps just done.
    bool Stop(std::uint64_t count, std::int64_t states, std::int64_t arcs) {
        steps_ += count;
        if (progress_ == nullptr || steps_ < nextPoll_) return false;
        nextPoll_ = steps_ + kPollSteps;
        if (steps_ >= nextUpdate_) {
            nextUpdate_ = steps_ + kUpdateSteps;
            progress_->Update(states, arcs);
        }
        stopped_ = stopped_ || progress_->StopRequested();
        return stopped_;
    }
    bool Stopped() const { return stopped_; }

private:
    static constexpr std::uint64_t kPollSteps = 4096, kUpdateSteps = 1 << 20;
    Progress* progress_;
    std::uint64_t steps_ = 0, nextPoll_ = 0, nextUpdate_ = 0;
    bool stopped_ = false;
};

}  // namespace quarvo::detail
