// The states a search has met, in one table its threads share.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "generation/vector/VectorStates.h"

namespace quarvo {

// A state is claimed by the thread that puts its key in the table first,
// which alone explores it; it is numbered then, after every state claimed
// before it. Keys are interned with compare-and-swap, several threads at
// once; when the table is full, one thread grows it while the others wait
// at their next claim (growth keeps the numbered keys alone).
class ClaimedStates {
public:
    // bound: no more states are numbered past that many, 0 for no bound.
    ClaimedStates(std::uint32_t keyWidth, std::int64_t bound) : states_(keyWidth), bound_(bound) {}

    enum class Claim { Known, New, Bound };
    // Interns key. New: this call numbered it (number); Known: it was
    // there, number its number (-1 while its claimer has not numbered it);
    // Bound: new, but bound states are numbered already. inner is worked in.
    Claim Intern(const std::uint32_t* key, std::vector<std::uint32_t>& inner, std::int64_t& number);
    // The number of the state key names, -1 for none.
    std::int64_t Find(const std::uint32_t* key) const {
        const std::shared_lock<std::shared_mutex> reading(growth_);
        return states_.Find(key);
    }
    std::int64_t Count() const { return count_.load(std::memory_order_relaxed); }
    std::size_t Bytes() const {
        const std::shared_lock<std::shared_mutex> reading(growth_);
        const std::lock_guard<std::mutex> numbering(numbering_);
        return states_.Bytes();
    }

private:
    // Held shared to intern, alone to grow.
    mutable std::shared_mutex growth_;
    std::atomic<bool> growing_{false};  // a thread waits to grow the table
    mutable std::mutex numbering_;  // numbers states one at a time
    VectorStates states_;
    std::int64_t bound_;
    std::atomic<std::int64_t> count_{0};
};

}  // namespace quarvo
