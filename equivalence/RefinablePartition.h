// A partition of 0..n-1 that can only be refined, each refinement costing
// what the elements marked for it cost: the elements of a block lie side by
// side in one array, the marked ones at the front of their block.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <utility>
#include <string>
#include <vector>

#include "generation/Progress.h"

namespace quarvo::detail {

class RefinablePartition {
public:
    // One block holding every element, or none when n is 0.
    explicit RefinablePartition(std::uint32_t n) : elems_(n), element_(n) {
        for (std::uint32_t e = 0; e < n; ++e) elems_[e] = e, element_[e] = Element{e, 0};
        if (n > 0) AddBlock(0, n);
    }

    // Blocks given for every element: block[e] in 0..count-1, each used.
    RefinablePartition(const std::vector<std::uint32_t>& block, std::uint32_t count)
        : elems_(block.size()), element_(block.size()) {
        std::vector<std::uint32_t> start(count + 1, 0);
        for (std::uint32_t b : block) ++start[b + 1];
        for (std::uint32_t b = 0; b < count; ++b) start[b + 1] += start[b];
        for (std::uint32_t b = 0; b < count; ++b) AddBlock(start[b], start[b + 1]);
        for (std::uint32_t e = 0; e < block.size(); ++e) {
            const std::uint32_t at = start[block[e]]++;
            elems_[at] = e;
            element_[e] = Element{at, block[e]};
        }
    }

    std::uint32_t BlockCount() const { return static_cast<std::uint32_t>(blocks_.size()); }
    std::uint32_t BlockOf(std::uint32_t e) const { return element_[e].block; }
    std::uint32_t Size(std::uint32_t b) const { return blocks_[b].end - blocks_[b].first; }
    // The elements of block b: Elements()[First(b)] .. Elements()[End(b) - 1].
    const std::vector<std::uint32_t>& Elements() const { return elems_; }
    std::uint32_t First(std::uint32_t b) const { return blocks_[b].first; }
    std::uint32_t End(std::uint32_t b) const { return blocks_[b].end; }
    // The block of each element.
    std::vector<std::uint32_t> Blocks() const {
        std::vector<std::uint32_t> blocks(element_.size());
        for (std::size_t e = 0; e < blocks.size(); ++e) blocks[e] = element_[e].block;
        return blocks;
    }

    void Mark(std::uint32_t e) {
        Element& element = element_[e];
        Block& block = blocks_[element.block];
        const std::uint32_t at = element.at;
        if (at < block.mid) return;  // marked already
        if (block.mid == block.first) touched_.push_back(element.block);
        const std::uint32_t other = elems_[block.mid];
        elems_[at] = other;
        element_[other].at = at;
        elems_[block.mid] = e;
        element.at = block.mid;
        ++block.mid;
    }

    // Splits every block with marked elements into its marked and unmarked
    // parts; the smaller part becomes a new block, so that an element changes
    // blocks O(log n) times in all. onSplit(old, added, markedIsAdded) is
    // called for each new block. Marks are cleared.
    template <typename OnSplit>
    void Split(OnSplit&& onSplit) {
        for (std::size_t k = 0; k < touched_.size(); ++k) {
            const std::uint32_t b = touched_[k];
            const Block block = blocks_[b];
            const std::uint32_t marked = block.mid - block.first, size = block.end - block.first;
            blocks_[b].mid = block.first;
            if (marked == size) continue;
            const bool markedIsAdded = marked <= size - marked;
            const std::uint32_t added = markedIsAdded ? AddBlock(block.first, block.mid) : AddBlock(block.mid, block.end);
            Block& kept = blocks_[b];  // AddBlock may have moved the blocks
            if (markedIsAdded)
                kept.first = block.mid;
            else
                kept.end = block.mid;
            kept.mid = kept.first;
            for (std::uint32_t i = blocks_[added].first; i < blocks_[added].end; ++i) element_[elems_[i]].block = added;
            onSplit(b, added, markedIsAdded);
        }
        touched_.clear();
    }

private:
    // Side by side, so that marking an element reads one line for each.
    struct Element {
        std::uint32_t at, block;  // position in elems_, block
    };
    struct Block {
        std::uint32_t first, end, mid;  // mid: end of the marked part
    };

    std::uint32_t AddBlock(std::uint32_t first, std::uint32_t end) {
        blocks_.push_back(Block{first, end, first});
        return static_cast<std::uint32_t>(blocks_.size() - 1);
    }

    std::vector<std::uint32_t> elems_;
    std::vector<Element> element_;
    std::vector<Block> blocks_;
    std::vector<std::uint32_t> touched_;  // blocks with marked elements
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
    // The phase the updates name, and what their count counts; once set,
    // Stop reports `states` as that count.
    void SetPhase(std::string phase, const char* unit) {
        phase_ = std::move(phase);
        unit_ = unit;
        nextPoll_ = nextUpdate_ = steps_;  // a new phase is shown at once
    }
    // True when the caller asked to stop; count: the steps just done.
    bool Stop(std::uint64_t count, std::int64_t states, std::int64_t arcs) {
        steps_ += count;
        if (progress_ == nullptr || steps_ < nextPoll_) return false;
        nextPoll_ = steps_ + kPollSteps;
        if (steps_ >= nextUpdate_) {
            nextUpdate_ = steps_ + kUpdateSteps;
            if (unit_ != nullptr) progress_->UpdatePhase(phase_, states, unit_);
            else progress_->Update(states, arcs);
        }
        stopped_ = stopped_ || progress_->StopRequested();
        return stopped_;
    }
    bool Stopped() const { return stopped_; }

private:
    static constexpr std::uint64_t kPollSteps = 4096, kUpdateSteps = 1 << 20;
    Progress* progress_;
    std::string phase_;
    const char* unit_ = nullptr;
    std::uint64_t steps_ = 0, nextPoll_ = 0, nextUpdate_ = 0;
    bool stopped_ = false;
};

}  // namespace quarvo::detail
