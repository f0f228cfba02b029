// Items grouped by a key, in time linear in the items.
#pragma once

#include <cstdint>
#include <vector>

namespace quarvo::detail {

// Items grouped by a key below a bound, in time linear in the items, the
// groups in the order their keys first appear.
class Grouping {
public:
    template <class KeyOf>
    void Make(const std::vector<std::uint64_t>& items, std::size_t keyBound, KeyOf keyOf) {
        if (stamp_.size() < keyBound) {
            stamp_.resize(keyBound, UINT32_MAX);
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

}  // namespace quarvo::detail
