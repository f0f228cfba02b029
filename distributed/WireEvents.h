// Event sets as processes send them: each entry's name and its action as text, the same whatever the action ids.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "generation/SharedTables.h"
#include "generation/StateEncoding.h"
#include "generation/StemStore.h"

namespace quarvo {

class WireEvents {
public:
    WireEvents(StemStore& pools, SharedNames& names) : pools_(pools), names_(names) {}

    void Write(ByteWriter& w, EventSetId set) const {
        const EventSetRef entries = pools_.Events(set);
        w.Number(entries.size());
        for (const TEventEntry e : entries) {
            w.Number(static_cast<std::uint64_t>(e.Event));
            w.Text(pools_.actions.Name(e.Action).Text());
        }
    }
    EventSetId Read(ByteReader& r) {
        std::uint64_t n = r.Number();
        if (n == 0) return EmptyEventSet;  // every set under interleaving, most under maximality
        scratch_.clear();
        for (; n > 0 && !r.Failed(); --n) {
            const auto event = static_cast<std::int32_t>(r.Number());
            scratch_.push_back(TEventEntry{event, Action(r.Text())});
        }
        return pools_.InternEvents(scratch_);
    }
    // The action named text here.
    ActionId Action(std::string_view text) {
        const auto it = actionsByText_.find(text);
        if (it != actionsByText_.end()) return it->second;
        const ActionId id = names_.InternAction(Identifier32::FromText(text));
        actionsByText_.emplace(std::string(text), id);
        return id;
    }

private:
    StemStore& pools_;
    SharedNames& names_;
    EventSet scratch_;
    // Names read from other processes, found without the lock of the action table.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, ActionId, TextHash, std::equal_to<>> actionsByText_;
};

}  // namespace quarvo
