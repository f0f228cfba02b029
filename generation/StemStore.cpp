// State-list operations of the STEM store.
#include "generation/StemStore.h"

namespace quarvo {

void StemStore::FreeStates() {
    StateList.clear();
    byNumber_.clear();
}

TStemState& StemStore::AppendState(std::int32_t number, const EventSet& events) {
    byNumber_.try_emplace(number, static_cast<std::int64_t>(StateList.size()));
    StateList.push_back(TStemState{events, {}, number});
    return StateList.back();
}

void StemStore::AddArc(TStemState& state, EventSet causes, std::int32_t event, ActionId action, std::int32_t target) {
    if (actions.Name(action) == Identifier32::FromText("$")) action = Intern("I");
    state.Arcs.insert(state.Arcs.begin(), TStemArc{std::move(causes), event, action, target});
}

std::int64_t StemStore::IndexOf(std::int32_t number) const {
    auto it = byNumber_.find(number);
    return it == byNumber_.end() ? -1 : it->second;
}

const TStemState* StemStore::FindState(std::int32_t number) const {
    std::int64_t index = IndexOf(number);
    return index < 0 ? nullptr : &StateList[static_cast<std::size_t>(index)];
}

std::int64_t StemStore::ArcCount() const {
    std::int64_t n = 0;
    for (const TStemState& s : StateList) n += static_cast<std::int64_t>(s.Arcs.size());
    return n;
}

std::string StateLabel(std::int32_t number, bool withWord) {
    return (withWord ? "Etat " : "") + std::to_string(number);
}

}  // namespace quarvo
