// The STEM store's flat vectors, its pool of event sets and its index of state numbers.
#include "generation/StemStore.h"

#include <algorithm>
#include <limits>

namespace quarvo {
namespace {

constexpr std::size_t FirstSetSlots = 64;

}  // namespace

StemStore::StemStore() {
    sets_.emplace_back();  // id 0: the empty set, never looked up in the table
    setHashes_.push_back(0);
}

void StemStore::FreeStates() {
    std::vector<TStemState>().swap(states_);
    std::vector<TStemArc>().swap(arcs_);
    sets_.resize(1);
    setHashes_.resize(1);
    std::vector<EventSet>(sets_).swap(sets_);
    std::vector<std::uint64_t>(setHashes_).swap(setHashes_);
    std::vector<std::uint32_t>().swap(setSlots_);
    numberedByPosition_ = true;
    std::unordered_map<std::int32_t, std::int64_t>().swap(byNumber_);
}

void StemStore::Reserve(std::size_t states, std::size_t arcs) {
    states_.reserve(states);
    arcs_.reserve(arcs);
}

std::uint64_t StemStore::HashOf(const EventSet& set) const {
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ set.size();
    for (const TEventEntry& e : set) {
        h ^= (static_cast<std::uint64_t>(static_cast<std::uint32_t>(e.Event)) << 32) | e.Action;
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    return h;
}

void StemStore::GrowSetIndex() {
    const std::size_t size = setSlots_.empty() ? FirstSetSlots : setSlots_.size() * 2;
    std::vector<std::uint32_t> slots(size, 0);
    const std::size_t mask = size - 1;
    for (std::size_t id = 1; id < sets_.size(); ++id) {
        std::size_t at = static_cast<std::size_t>(setHashes_[id]) & mask;
        while (slots[at] != 0) at = (at + 1) & mask;
        slots[at] = static_cast<std::uint32_t>(id + 1);
    }
    setSlots_.swap(slots);
}

EventSetId StemStore::InternEvents(const EventSet& set) {
    if (set.empty()) return EmptyEventSet;
    // At most half full, so that a probe ends soon.
    if ((sets_.size() + 1) * 2 > setSlots_.size()) GrowSetIndex();
    const std::uint64_t hash = HashOf(set);
    const std::size_t mask = setSlots_.size() - 1;
    std::size_t at = static_cast<std::size_t>(hash) & mask;
    for (; setSlots_[at] != 0; at = (at + 1) & mask) {
        const std::uint32_t id = setSlots_[at] - 1;
        if (setHashes_[id] == hash && sets_[id] == set) return id;
    }
    assert(sets_.size() < std::numeric_limits<std::uint32_t>::max() && "event-set ids fit 32 bits");
    const auto id = static_cast<EventSetId>(sets_.size());
    sets_.push_back(set);
    setHashes_.push_back(hash);
    setSlots_[at] = id + 1;
    return id;
}

void StemStore::IndexNumbers() {
    byNumber_.reserve(states_.size() + 1);
    for (std::size_t i = 0; i < states_.size(); ++i)
        byNumber_.try_emplace(states_[i].Number, static_cast<std::int64_t>(i));
}

void StemStore::AppendState(std::int32_t number, EventSetId events) {
    assert(events < sets_.size() && "event set of this store");
    const std::size_t index = states_.size();
    if (numberedByPosition_ && static_cast<std::int64_t>(number) != static_cast<std::int64_t>(index)) {
        // From now on numbers need an index of their own.
        numberedByPosition_ = false;
        IndexNumbers();
    }
    if (!numberedByPosition_) byNumber_.try_emplace(number, static_cast<std::int64_t>(index));
    states_.push_back(TStemState{0, 0, events, number});
}

void StemStore::SetArcs(std::size_t stateIndex, std::span<const TStemArc> foundOrder) {
    assert(stateIndex < states_.size() && "arcs of a state of this store");
    TStemState& state = states_[stateIndex];
    assert(state.ArcCount == 0 && "a state gets its arcs once");
    assert(arcs_.size() + foundOrder.size() <= std::numeric_limits<std::uint32_t>::max() &&
           "arc positions fit 32 bits");
    state.FirstArc = static_cast<std::uint32_t>(arcs_.size());
    state.ArcCount = static_cast<std::uint32_t>(foundOrder.size());
    arcs_.insert(arcs_.end(), foundOrder.begin(), foundOrder.end());
}

std::optional<StateView> StemStore::FindState(std::int32_t number) const {
    const std::int64_t index = IndexOf(number);
    if (index < 0) return std::nullopt;
    return State(static_cast<std::size_t>(index));
}

void ArcCollector::MoveInto(StemStore& store) {
    assert(store.arcs_.empty() && "the states have no arcs yet");
    std::vector<TStemState>& states = store.states_;
    if (ordered_) {
        // Each run is the whole of its state's arcs, already in place.
        store.arcs_ = std::move(arcs_);
        for (const Run& run : runs_) {
            assert(run.source < states.size() && "arc source is a state of the store");
            states[run.source].FirstArc = run.first;
            states[run.source].ArcCount = run.count;
        }
    } else {
        // A stable counting sort by source keeps each state's arcs in the order added.
        for (const Run& run : runs_) {
            assert(run.source < states.size() && "arc source is a state of the store");
            states[run.source].ArcCount += run.count;
        }
        std::uint32_t next = 0;
        std::vector<std::uint32_t> fill(states.size());
        for (std::size_t i = 0; i < states.size(); ++i) {
            states[i].FirstArc = fill[i] = next;
            next += states[i].ArcCount;
        }
        store.arcs_.resize(arcs_.size());
        for (const Run& run : runs_) {
            std::copy_n(arcs_.begin() + run.first, run.count, store.arcs_.begin() + fill[run.source]);
            fill[run.source] += run.count;
        }
    }
    std::vector<TStemArc>().swap(arcs_);
    std::vector<Run>().swap(runs_);
    ordered_ = true;
}

std::string StateLabel(std::int32_t number, bool withWord) {
    return (withWord ? "Etat " : "") + std::to_string(number);
}

}  // namespace quarvo
