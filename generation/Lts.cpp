#include "generation/Lts.h"

#include <unordered_map>

namespace quarvo {

bool IsInternalAction(std::string_view name) {
    return name == "I" || name.starts_with("I_");
}

Lts LtsFromStem(const StemStore& store, HiddenNames hidden) {
    Lts lts;
    const std::size_t n = store.StateCount();
    lts.firstArc.assign(n + 1, 0);
    lts.label.reserve(static_cast<std::size_t>(store.ArcCount()));
    lts.target.reserve(static_cast<std::size_t>(store.ArcCount()));
    // Store action -> label, made on first sight.
    constexpr std::uint32_t kUnseen = UINT32_MAX;
    std::vector<std::uint32_t> labelOf(store.actions.Size(), kUnseen);
    const bool byPosition = store.NumberedByPosition();
    for (std::size_t s = 0; s < n; ++s) {
        const StateView state = store.State(s);
        for (const ArcView arc : state.Arcs) {
            if (arc.Action >= labelOf.size()) labelOf.resize(arc.Action + 1, kUnseen);
            std::uint32_t& label = labelOf[arc.Action];
            if (label == kUnseen) {
                const std::string name = store.actions.Text(arc.Action);
                if (name == "I" || (hidden == HiddenNames::Merged && IsInternalAction(name))) {
                    label = TauLabel;
                } else {
                    label = static_cast<std::uint32_t>(lts.labels.size());
                    lts.labels.push_back(name);
                }
            }
            const std::int64_t target = byPosition ? arc.Target : store.IndexOf(arc.Target);
            if (target < 0) continue;  // an arc to no listed state: nothing to follow
            lts.label.push_back(label);
            lts.target.push_back(static_cast<std::uint32_t>(target));
        }
        lts.firstArc[s + 1] = static_cast<std::uint32_t>(lts.target.size());
    }
    return lts;
}

Lts DisjointUnion(const Lts& a, const Lts& b) {
    Lts u;
    u.initial = a.initial;
    u.labels = a.labels;
    std::unordered_map<std::string, std::uint32_t> byName;
    for (std::uint32_t l = 0; l < a.labels.size(); ++l) byName.emplace(a.labels[l], l);
    std::vector<std::uint32_t> fromB(b.labels.size());
    for (std::uint32_t l = 0; l < b.labels.size(); ++l) {
        auto [it, inserted] = byName.try_emplace(b.labels[l], static_cast<std::uint32_t>(u.labels.size()));
        if (inserted) u.labels.push_back(b.labels[l]);
        fromB[l] = it->second;
    }
    const auto offset = static_cast<std::uint32_t>(a.StateCount());
    u.firstArc = a.firstArc;
    u.label = a.label;
    u.target = a.target;
    u.firstArc.reserve(a.firstArc.size() + b.StateCount());
    u.label.reserve(a.ArcCount() + b.ArcCount());
    u.target.reserve(a.ArcCount() + b.ArcCount());
    const auto arcOffset = static_cast<std::uint32_t>(a.ArcCount());
    for (std::size_t s = 1; s < b.firstArc.size(); ++s) u.firstArc.push_back(arcOffset + b.firstArc[s]);
    for (std::size_t k = 0; k < b.ArcCount(); ++k) {
        u.label.push_back(fromB[b.label[k]]);
        u.target.push_back(offset + b.target[k]);
    }
    return u;
}

}  // namespace quarvo
