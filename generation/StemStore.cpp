// The STEM store's flat vectors, its pool of event sets and its index of state numbers.
#include "generation/StemStore.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <new>

#include "generation/IdIndex.h"

namespace quarvo {
namespace {

constexpr unsigned FirstSlotBits = 6;

}  // namespace

// ---- Pool of event sets ----------------------------------------------------------------------

void EventSetPool::Clear() {
    records_.release();
    records_.push_back(Record{0, 0});  // id 0: the empty set
    words_.release();
    slots_.release();
    std::vector<std::uint32_t>().swap(pairs_);
    slotBits_ = 0;
}

std::uint32_t EventSetPool::HashOf(std::uint32_t mask, const std::uint32_t* words, std::size_t n, unsigned perWord) const {
    std::uint64_t h = mask * 0x100000001B3ull + perWord;
    for (std::size_t i = 0; i < n; ++i) h = Combine(h, words[i]);
    return MixHash(h);
}

void EventSetPool::Grow() {
    slotBits_ = slots_.empty() ? FirstSlotBits : slotBits_ + 1;
    assert(slotBits_ < 32 && "ids and hash bits share a 32-bit slot");
    // Mapped memory once large, given back whole as the index grows.
    GrowingArray<std::uint32_t> slots;
    slots.reserve(std::size_t{1} << slotBits_);
    slots.resize(std::size_t{1} << slotBits_);
    slots_ = std::move(slots);
    const std::size_t positions = slots_.size() - 1;
    // The hashes are not kept: each set is hashed again from its words.
    for (std::size_t id = 1; id < records_.size(); ++id) {
        const EventSetRef set = (*this)[static_cast<EventSetId>(id)];
        const std::uint32_t hash = HashOf(set.Mask(), set.Words(), set.WordCount(), set.PerWord());
        std::size_t at = hash & positions;
        while (slots_[at] != 0) at = (at + 1) & positions;
        slots_[at] = (hash >> slotBits_ << slotBits_) | static_cast<std::uint32_t>(id);
    }
}

namespace {

// A set in name form packed as tight as its actions allow: its words (the
// actions themselves when one fills a word, else packed), and how many
// actions each holds.
unsigned Pack(std::uint32_t mask, const ActionId* actions, std::array<std::uint32_t, 16>& packed,
              const std::uint32_t*& words) {
    const auto n = static_cast<std::size_t>(std::popcount(mask));
    const ActionId largest = n == 0 ? 0 : *std::max_element(actions, actions + n);
    if (largest > 0xFFFFu) {
        words = actions;
        return 1;
    }
    packed.fill(0);
    words = packed.data();
    // Two loops, so that the places are shifts rather than divisions.
    if (largest > 0xFFu) {
        for (std::size_t k = 0; k < n; ++k) packed[k >> 1] |= actions[k] << ((k & 1) * 16);
        return 2;
    }
    for (std::size_t k = 0; k < n; ++k) packed[k >> 2] |= actions[k] << ((k & 3) * 8);
    return 4;
}

}  // namespace

EventSetId EventSetPool::InternActions(std::uint32_t mask, const ActionId* actions) {
    std::array<std::uint32_t, 16> packed;
    const std::uint32_t* words = nullptr;
    const unsigned perWord = Pack(mask, actions, packed, words);
    return InternWords(mask, words, perWord);
}

void EventSetPool::Prefetch(std::uint32_t mask, const ActionId* actions) const {
    if (mask == 0 || slots_.empty()) return;
    std::array<std::uint32_t, 16> packed;
    const std::uint32_t* words = nullptr;
    const unsigned perWord = Pack(mask, actions, packed, words);
    const std::uint32_t hash = HashOf(mask, words, EventSetRef::WordCount(mask, perWord), perWord);
    __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
}

void EventSetPool::PackSet(std::uint32_t mask, const ActionId* actions, Packed& out) const {
    std::array<std::uint32_t, 16> packed;
    const std::uint32_t* words = nullptr;
    out.mask = mask;
    out.perWord = Pack(mask, actions, packed, words);
    const std::size_t n = EventSetRef::WordCount(mask, out.perWord);
    std::copy(words, words + n, out.words.begin());
    out.hash = HashOf(mask, out.words.data(), n, out.perWord);
}

void EventSetPool::PrefetchPacked(const Packed& set) const {
    if (set.mask != 0 && !slots_.empty()) __builtin_prefetch(&slots_[set.hash & (slots_.size() - 1)]);
}

void EventSetPool::PrefetchRecord(const std::uint32_t* record) const {
    if (record[0] != 0 && !slots_.empty()) __builtin_prefetch(&slots_[record[1] & (slots_.size() - 1)]);
}

EventSetId EventSetPool::InternWords(std::uint32_t mask, const std::uint32_t* words, unsigned perWord,
                                     std::uint32_t hash) {
    // At most three quarters full, so that a probe ends soon.
    if (records_.size() * 4 >= slots_.size() * 3) Grow();
    const std::size_t n = EventSetRef::WordCount(mask, perWord);
    const std::uint32_t tag = hash >> slotBits_ << slotBits_;
    const std::uint32_t idBits = (std::uint32_t{1} << slotBits_) - 1;
    const std::size_t positions = slots_.size() - 1;
    const std::uint32_t flag = static_cast<std::uint32_t>(std::countr_zero(perWord)) << 30;
    std::size_t at = hash & positions;
    for (std::uint32_t slot; (slot = slots_[at]) != 0; at = (at + 1) & positions) {
        if ((slot & ~idBits) != tag) continue;
        const Record r = records_[slot & idBits];
        if (r.mask == mask && (r.first & PackingBits) == flag &&
            std::equal(words, words + n, words_.begin() + (r.first & ~PackingBits)))
            return slot & idBits;
    }
    assert(records_.size() <= idBits && "an id fits below the hash bits of its slot");
    // Word positions fit 30 bits: 4 GiB of sets is more than this machine holds.
    if (words_.size() + n >= (std::size_t{1} << 30)) throw std::bad_alloc();
    const auto id = static_cast<EventSetId>(records_.size());
    // words never points into words_ here: a set of this pool is always found above.
    records_.push_back(Record{mask, static_cast<std::uint32_t>(words_.size()) | flag});
    words_.append(std::span<const std::uint32_t>(words, n));
    slots_[at] = tag | id;
    return id;
}

EventSetId EventSetPool::Intern(const EventSet& set) {
    if (set.empty()) return EmptyEventSet;
    // Name form when the names are -1 and 1..30 in ascending order.
    std::array<ActionId, 32> actions;
    std::uint32_t mask = 0;
    std::size_t n = 0;
    std::int32_t last = std::numeric_limits<std::int32_t>::min();
    for (const TEventEntry& e : set) {
        if (!EventSetRef::NameFits(e.Event) || e.Event <= last) break;
        mask |= EventSetRef::Bit(e.Event);
        actions[n++] = e.Action;
        last = e.Event;
    }
    if (n == set.size()) return InternActions(mask, actions.data());
    // Pair form: the entries as given.
    assert(set.size() < EventSetRef::WideBit && "the size fits below the pair-form bit");
    pairs_.clear();
    for (const TEventEntry& e : set) {
        pairs_.push_back(static_cast<std::uint32_t>(e.Event));
        pairs_.push_back(e.Action);
    }
    return InternWords(EventSetRef::WideBit | static_cast<std::uint32_t>(set.size()), pairs_.data(), 1);
}

// ---- Store -----------------------------------------------------------------------------------

StemStore::StemStore() = default;

void StemStore::FreeStates() {
    states_.release();
    numbers_.release();
    arcs_.release();
    arcsSet_ = 0;
    ranges_.release();
    std::vector<ArcLabel>().swap(labels_);
    std::vector<std::uint32_t>().swap(labelSlots_);
    std::vector<std::uint32_t>().swap(plainLabels_);
    recentLabels_.fill(0);
    sets_.Clear();
    numberedByPosition_ = true;
    std::unordered_map<std::int32_t, std::int64_t>().swap(byNumber_);
}

void StemStore::Reserve(std::size_t states, std::size_t arcs) {
    states_.reserve(states);
    arcs_.reserve(arcs);
}

StemStore::Room StemStore::MakeRoom(std::size_t states, std::size_t arcs) {
    Room room;
    room.statesFrom = states_.size();
    room.statesTo = states_.size() + states;
    states_.reserve(room.statesTo);
    room.words = arcs_.MakeRoom(arcs);
    return room;
}

void StemStore::PopulateRoom(const Room& room) const {
    states_.Populate(room.statesFrom, room.statesTo);
    arcs_.PopulateWords(room.words);
}

void StemStore::IndexNumbers() {
    byNumber_.reserve(states_.size() + 1);
    for (std::size_t i = 0; i < states_.size(); ++i) {
        const std::int32_t number = numberedByPosition_ ? static_cast<std::int32_t>(i) : numbers_[i];
        byNumber_.try_emplace(number, static_cast<std::int64_t>(i));
    }
}

void StemStore::AppendState(std::int32_t number, EventSetId events) {
    assert(events < sets_.Count() && "event set of this store");
    const std::size_t index = states_.size();
    if (numberedByPosition_ && static_cast<std::int64_t>(number) != static_cast<std::int64_t>(index)) {
        // From now on numbers are kept, with an index of their own.
        IndexNumbers();
        numberedByPosition_ = false;
        numbers_.reserve(index + 1);
        for (std::size_t i = 0; i < index; ++i) numbers_.push_back(static_cast<std::int32_t>(i));
    }
    if (!numberedByPosition_) {
        byNumber_.try_emplace(number, static_cast<std::int64_t>(index));
        numbers_.push_back(number);
    }
    states_.push_back(StoredState{0, events});
    if (!ranges_.empty()) ranges_.push_back(Range{0, 0});
}

void StemStore::CloseRangesUpTo(std::size_t stateIndex) {
    const auto end = static_cast<std::uint32_t>(arcs_.size());
    for (; arcsSet_ < stateIndex; ++arcsSet_) states_[arcsSet_].End = end;
}

std::uint32_t StemStore::Label(ActionId action, std::int32_t event, EventSetId causes) {
    // An arc with neither event nor causes (every arc of an interleaving
    // system) finds its label by its action alone.
    const bool plain = event == 0 && causes == EmptyEventSet;
    if (plain && action < plainLabels_.size() && plainLabels_[action] != 0) return plainLabels_[action] - 1;
    // Most arcs say what an arc said lately.
    std::uint32_t& recent = recentLabels_[(action * 0x9E3779B1u + static_cast<std::uint32_t>(event) * 0x85EBCA77u +
                                           causes * 0xC2B2AE3Du) >> 24];
    if (recent != 0 && recent <= labels_.size()) {
        const ArcLabel& l = labels_[recent - 1];
        if (l.Action == action && l.Event == event && l.Causes == causes) return recent - 1;
    }
    if ((labels_.size() + 1) * 4 >= labelSlots_.size() * 3) GrowLabels();
    const std::size_t positions = labelSlots_.size() - 1;
    std::size_t at = MixHash(Combine(Combine(action, static_cast<std::uint32_t>(event)), causes)) & positions;
    for (std::uint32_t slot; (slot = labelSlots_[at]) != 0; at = (at + 1) & positions) {
        const ArcLabel& l = labels_[slot - 1];
        if (l.Action == action && l.Event == event && l.Causes == causes) {
            recent = slot;
            return slot - 1;
        }
    }
    assert(labels_.size() < std::numeric_limits<std::uint32_t>::max() && "label ids fit 32 bits");
    labels_.push_back(ArcLabel{action, event, causes});
    labelSlots_[at] = static_cast<std::uint32_t>(labels_.size());
    if (plain) {
        if (action >= plainLabels_.size()) plainLabels_.resize(std::size_t{action} + 1, 0);
        plainLabels_[action] = static_cast<std::uint32_t>(labels_.size());
    }
    recent = static_cast<std::uint32_t>(labels_.size());
    return recent - 1;
}

void StemStore::GrowLabels() {
    labelSlots_.assign(labelSlots_.empty() ? 64 : labelSlots_.size() * 2, 0);
    const std::size_t positions = labelSlots_.size() - 1;
    for (std::size_t id = 0; id < labels_.size(); ++id) {
        const ArcLabel& l = labels_[id];
        std::size_t at = MixHash(Combine(Combine(l.Action, static_cast<std::uint32_t>(l.Event)), l.Causes)) & positions;
        while (labelSlots_[at] != 0) at = (at + 1) & positions;
        labelSlots_[at] = static_cast<std::uint32_t>(id + 1);
    }
}

template <typename ArcOf>
void StemStore::StoreArcs(std::size_t stateIndex, std::size_t n, std::uint32_t largestTarget,
                          std::uint32_t largestLabel, ArcOf&& arcOf) {
    assert(stateIndex < states_.size() && "arcs of a state of this store");
    assert(arcs_.size() + n <= std::numeric_limits<std::uint32_t>::max() && "arc positions fit 32 bits");
    if (ranges_.empty() && stateIndex < arcsSet_) {
        // Out of list order: from now on every state's range is kept.
        GrowingArray<Range> ranges;
        ranges.reserve(states_.size());
        for (std::size_t i = 0; i < states_.size(); ++i) {
            const TStemState r = Record(i);
            ranges.push_back(Range{r.FirstArc, r.ArcCount});
        }
        ranges_ = std::move(ranges);
    }
    const auto first = static_cast<std::uint32_t>(arcs_.size());
    if (ranges_.empty()) CloseRangesUpTo(stateIndex);
    arcs_.Append(n, largestTarget, largestLabel, arcOf);
    if (!ranges_.empty()) {
        assert(ranges_[stateIndex].count == 0 && "a state gets its arcs once");
        ranges_[stateIndex] = Range{first, static_cast<std::uint32_t>(n)};
        return;
    }
    states_[stateIndex].End = static_cast<std::uint32_t>(arcs_.size());
    arcsSet_ = stateIndex + 1;
}

void StemStore::SetArcs(std::size_t stateIndex, std::span<const TStemArc> foundOrder) {
    labelsFound_.resize(foundOrder.size());
    std::uint32_t largestTarget = 0, largestLabel = 0;
    for (std::size_t i = 0; i < foundOrder.size(); ++i) {
        const TStemArc& a = foundOrder[i];
        assert(a.Causes < sets_.Count() && "cause set of this store");
        labelsFound_[i] = Label(a.Action, a.Event, a.Causes);
        largestTarget = std::max(largestTarget, static_cast<std::uint32_t>(a.Target));
        largestLabel = std::max(largestLabel, labelsFound_[i]);
    }
    StoreArcs(stateIndex, foundOrder.size(), largestTarget, largestLabel, [&](std::size_t i) {
        return std::pair{static_cast<std::uint32_t>(foundOrder[i].Target), labelsFound_[i]};
    });
}

void StemStore::SetArcs(std::size_t stateIndex, std::span<const LabelledArc> foundOrder) {
    std::uint32_t largestTarget = 0, largestLabel = 0;
    for (const LabelledArc& a : foundOrder) {
        assert(a.label < labels_.size() && "a label of this store");
        largestTarget = std::max(largestTarget, a.target);
        largestLabel = std::max(largestLabel, a.label);
    }
    StoreArcs(stateIndex, foundOrder.size(), largestTarget, largestLabel,
              [&](std::size_t i) { return std::pair{foundOrder[i].target, foundOrder[i].label}; });
}

std::optional<StateView> StemStore::FindState(std::int32_t number) const {
    const std::int64_t index = IndexOf(number);
    if (index < 0) return std::nullopt;
    return State(static_cast<std::size_t>(index));
}

void ArcCollector::MoveInto(StemStore& store) {
    assert(store.arcs_.empty() && store.arcsSet_ == 0 && store.ranges_.empty() && "the states have no arcs yet");
    auto& states = store.states_;
    std::vector<std::uint32_t> count(states.size(), 0);
    for (const Run& run : runs_) {
        assert(run.source < states.size() && "arc source is a state of the store");
        count[run.source] += run.count;
    }
    std::uint32_t end = 0;
    for (std::size_t i = 0; i < states.size(); ++i) states[i].End = end += count[i];
    store.arcsSet_ = states.size();
    // Fields as wide as the largest target at once: no arc laid out again as they come.
    std::uint32_t largest = 0;
    for (const TStemArc& a : arcs_) largest = std::max(largest, static_cast<std::uint32_t>(a.Target));
    store.arcs_.Fit(largest, 0, arcs_.size());
    if (ordered_) {
        // Each run is the whole of its state's arcs, already in order.
        store.arcs_.reserve(arcs_.size());
        for (const TStemArc& a : arcs_)
            store.arcs_.push_back(static_cast<std::uint32_t>(a.Target), store.Label(a.Action, a.Event, a.Causes));
    } else {
        // A stable counting sort by source keeps each state's arcs in the order added.
        std::vector<std::uint32_t> fill(states.size());
        for (std::size_t i = 0; i < states.size(); ++i) fill[i] = states[i].End - count[i];
        store.arcs_.resize(arcs_.size());
        for (const Run& run : runs_) {
            for (std::uint32_t k = 0; k < run.count; ++k) {
                const TStemArc& a = arcs_[run.first + k];
                store.arcs_.Set(fill[run.source] + k, static_cast<std::uint32_t>(a.Target),
                                store.Label(a.Action, a.Event, a.Causes));
            }
            fill[run.source] += run.count;
        }
    }
    arcs_.release();
    std::vector<Run>().swap(runs_);
    ordered_ = true;
}

std::string StateLabel(std::int32_t number, bool withWord) {
    return (withWord ? "Etat " : "") + std::to_string(number);
}

}  // namespace quarvo
