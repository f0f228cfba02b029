// An engine's event sets as a store's, converted once each.
#pragma once

#include <mutex>
#include <vector>

#include "generation/Engine.h"
#include "generation/StemStore.h"

namespace quarvo {

class StoreSets {
public:
    // lock, when given, guards the store, which other threads fill too.
    StoreSets(const Engine& engine, StemStore& store, std::mutex* lock = nullptr)
        : engine_(engine), store_(store), lock_(lock) {}

    EventSetId operator()(SetId set) {
        if (set >= ids_.size()) ids_.resize(set + set / 2 + 64, EventSetId(-1));
        EventSetId& id = ids_[set];
        if (id == EventSetId(-1)) {
            if (lock_) {
                std::lock_guard<std::mutex> guard(*lock_);
                id = store_.InternEvents(engine_.EventMask(set), engine_.EventActions(set));
            } else {
                id = store_.InternEvents(engine_.EventMask(set), engine_.EventActions(set));
            }
        }
        return id;
    }
    // The engine's sets were renumbered.
    void Clear() { ids_.clear(); }

private:
    const Engine& engine_;
    StemStore& store_;
    std::mutex* lock_;
    std::vector<EventSetId> ids_;
};

}  // namespace quarvo
