// A state table shared by the threads of a search.
#include "generation/reduction/ClaimedStates.h"

#include <thread>

namespace quarvo {

ClaimedStates::Claim ClaimedStates::Intern(const std::uint32_t* key, std::vector<std::uint32_t>& inner,
                                           std::int64_t& number) {
    static const std::vector<std::uint32_t> none;
    for (;;) {
        // A thread waiting to grow the table goes first: the lock would
        // let readers in ahead of it as long as one of them is inside.
        while (growing_.load(std::memory_order_acquire)) std::this_thread::yield();
        std::uint32_t epoch = 0;
        {
            const std::shared_lock<std::shared_mutex> reading(growth_);
            bool isNew = false;
            const std::uint32_t root = states_.InternNear(key, nullptr, none, false, none, inner, isNew);
            if (root != PairTable::Full) {
                if (!isNew) {
                    number = states_.Named(root);
                    return Claim::Known;
                }
                const std::lock_guard<std::mutex> numbering(numbering_);
                const std::int64_t count = count_.load(std::memory_order_relaxed);
                if (bound_ > 0 && count >= bound_) return Claim::Bound;
                // Read by Named from other threads, which may see -1 a while.
                states_.Number(root);
                number = count;
                count_.store(count + 1, std::memory_order_relaxed);
                return Claim::New;
            }
            epoch = states_.Epoch();
        }
        // Full: the first thread here grows the table, the others find it grown.
        growing_.store(true, std::memory_order_release);
        const std::unique_lock<std::shared_mutex> writing(growth_);
        // Cleared before the lock is given back, whatever growth throws.
        struct Clear {
            std::atomic<bool>& flag;
            ~Clear() { flag.store(false, std::memory_order_release); }
        } clear{growing_};
        if (states_.Epoch() == epoch) states_.GrowNow();
    }
}

}  // namespace quarvo
