// The STEM store: states with their maximal events and their outgoing arcs, kept in flat vectors.
//
// Layout. A state is 8 bytes (the end of its arc range and its event set),
// in list order, and 4 more for its number when it is not its position (a
// STEM read from a file); an arc is its target and its label, as many bits
// as the largest of each needs (PackedArcs.h), in one vector, each state's arcs side by side in the order they were found. A
// label is an interned (action, event, cause set): a system has few of them,
// and an arc of the interleaving semantics is then the (target, action) pair
// it stands for. Event sets are interned in a pool of the store
// and named by an EventSetId, 0 being the empty set: each distinct set is
// kept once, as a mask and its actions in one flat vector of words (see
// EventSetRef.h), so that a set costs a record of 8 bytes, its slot in the
// index and 2 bytes per entry (4 when an action is beyond 16 bits).
//
// Reading. State(i) and States() give StateView values that look like the
// records of a linked STEM: Number, Events (an EventSetRef) and Arcs, a range
// that yields the arcs newest first, each as an ArcView with Causes (an
// EventSetRef), Event, Action and Target. "Newest first" is the order of
// iteration, not of storage: Arcs.rbegin() .. Arcs.rend() walks them in the
// order they were found. Views point into the store: any change to the store
// (a state or an arc added, a set interned) may leave them dangling.
//
// Building. A generation appends states (AppendState) and gives each state
// its arcs once, in the order found (SetArcs), states in increasing order,
// which appends to the arc vector. Arcs whose sources come in any order (a
// STEM file, a test) go through an ArcCollector first.
#pragma once

#include <algorithm>
#include <array>
#include <cassert>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "frontend/SyntaxTree.h"
#include "generation/ActionTable.h"
#include "generation/EventSet.h"
#include "generation/EventSetRef.h"
#include "generation/Events.h"
#include "generation/GrowingArray.h"
#include "generation/PackedArcs.h"

namespace quarvo {

// An event set interned in a store's pool; 0 is the empty set.
using EventSetId = std::uint32_t;
inline constexpr EventSetId EmptyEventSet = 0;

// One transition as given to the store and read back from it.
struct TStemArc {
    std::int32_t Target = 0;               // Number of the target state
    ActionId Action = 0;                   // "I" for an internal step, "I_a" for a hidden a
    std::int32_t Event = 0;                // 1..30, or -1 when every name was in use
    EventSetId Causes = EmptyEventSet;     // the events whose end this occurrence waits for
    friend bool operator==(const TStemArc&, const TStemArc&) = default;
};
static_assert(sizeof(TStemArc) == 16, "an arc is four 32-bit fields");

// The most bytes an arc takes in a store: its target and its label's id
// (as few bits as the largest of each needs, see PackedArcs.h).
inline constexpr std::size_t ArcBytesAtMost = 8;

// What an arc says besides its target.
struct ArcLabel {
    ActionId Action = 0;
    std::int32_t Event = 0;
    EventSetId Causes = EmptyEventSet;
};

// One state as read: its arcs are FirstArc .. FirstArc + ArcCount - 1 of
// the store's arc vector, in the order they were found.
struct TStemState {
    std::uint32_t FirstArc = 0;
    std::uint32_t ArcCount = 0;
    EventSetId Events = EmptyEventSet;     // maximal events
    std::int32_t Number = 0;
};
static_assert(sizeof(TStemState) == 16, "a state record is four 32-bit fields");

// The distinct event sets of a store. A set is a record (its mask and the
// position of its first word) and its words in one vector shared by all
// sets; the index is an open-addressing table of 32-bit slots, each an id in
// its low bits (as many as the table has positions: an id is always smaller
// than the table size) and, above them, the top bits of the set's hash, so
// that a probe seldom reads a set that is not the one sought. Slot 0 is free:
// the empty set, id 0, is never placed in the table.
class EventSetPool {
public:
    EventSetPool() { Clear(); }

    EventSetRef operator[](EventSetId id) const {
        assert(id < records_.size() && "event set of this pool");
        const Record r = records_[id];
        return EventSetRef(r.mask, words_.data() + (r.first & ~PackingBits), PerWord(r.first));
    }
    std::size_t Count() const { return records_.size(); }

    EventSetId Intern(const EventSet& set);
    // A set in name form: mask of its names, actions in name order.
    EventSetId Intern(std::uint32_t mask, const ActionId* actionsInNameOrder) {
        assert((mask & EventSetRef::WideBit) == 0 && "names -1 and 1..30");
        return mask == 0 ? EmptyEventSet : InternActions(mask, actionsInNameOrder);
    }
    // A set of another pool (or of this one, already kept).
    EventSetId Intern(EventSetRef set) {
        if (set.empty()) return EmptyEventSet;
        if (set.PerWord() == 1 && set.NameForm()) return InternActions(set.Mask(), set.Words());
        return InternWords(set.Mask(), set.Words(), set.PerWord());
    }
    // Brings into the cache the place where Intern(mask, actions) will look first.
    void Prefetch(std::uint32_t mask, const ActionId* actionsInNameOrder) const;
    // A set in name form packed and hashed once, for a PrefetchPacked and
    // then its InternPacked (the same as Intern(mask, actions)). PackSet
    // reads nothing of the pool: any thread may call it.
    struct Packed {
        std::uint32_t mask = 0, hash = 0;
        unsigned perWord = 1;
        std::array<std::uint32_t, 32> words{};
    };
    void PackSet(std::uint32_t mask, const ActionId* actionsInNameOrder, Packed& out) const;
    void PrefetchPacked(const Packed& set) const;
    // A packed set kept as a record of words elsewhere (its mask, hash and
    // packing, then its words), for a prefetch and an interning later.
    static std::size_t RecordSize(const Packed& set) { return 3 + EventSetRef::WordCount(set.mask, set.perWord); }
    static void WriteRecord(const Packed& set, std::uint32_t* out) {
        out[0] = set.mask;
        out[1] = set.hash;
        out[2] = set.perWord;
        std::copy(set.words.begin(), set.words.begin() + (RecordSize(set) - 3), out + 3);
    }
    void PrefetchRecord(const std::uint32_t* record) const;
    EventSetId InternRecord(const std::uint32_t* record) {
        return record[0] == 0 ? EmptyEventSet : InternWords(record[0], record + 3, record[2], record[1]);
    }
    EventSetId InternPacked(const Packed& set) {
        return set.mask == 0 ? EmptyEventSet : InternWords(set.mask, set.words.data(), set.perWord, set.hash);
    }
    // Only the empty set is left; the memory of the others is released.
    void Clear();

private:
    // A set in name form is packed as tight as its actions allow; its
    // record's top two bits say how (0: one action a word, 1: two, 2: four).
    static constexpr std::uint32_t PackingBits = 0xC0000000u;
    static unsigned PerWord(std::uint32_t first) { return 1u << (first >> 30); }
    struct Record {
        std::uint32_t mask;
        std::uint32_t first;  // in words_, and the packing bits
    };

    // A set in name form, one action a word.
    EventSetId InternActions(std::uint32_t mask, const ActionId* actions);
    EventSetId InternWords(std::uint32_t mask, const std::uint32_t* words, unsigned perWord) {
        return InternWords(mask, words, perWord, HashOf(mask, words, EventSetRef::WordCount(mask, perWord), perWord));
    }
    EventSetId InternWords(std::uint32_t mask, const std::uint32_t* words, unsigned perWord, std::uint32_t hash);
    std::uint32_t HashOf(std::uint32_t mask, const std::uint32_t* words, std::size_t n, unsigned perWord) const;
    void Grow();

    GrowingArray<Record> records_;
    GrowingArray<std::uint32_t> words_;
    GrowingArray<std::uint32_t> slots_;
    unsigned slotBits_ = 0;     // log2 of the table size
    std::vector<std::uint32_t> pairs_;  // a set in pair form being put together
};

// An arc as consumers read it, its cause set resolved.
struct ArcView {
    EventSetRef Causes;
    std::int32_t Event;
    ActionId Action;
    std::int32_t Target;
    EventSetId CausesId;
};

// Decodes stored arcs: the store's arcs, labels and event sets.
struct ArcDecoder {
    PackedArcs::Reader arcs;
    const ArcLabel* labels = nullptr;
    const EventSetPool* sets = nullptr;
    TStemArc Arc(std::size_t k) const {
        const ArcLabel& l = labels[arcs.Label(k)];
        return TStemArc{static_cast<std::int32_t>(arcs.Target(k)), l.Action, l.Event, l.Causes};
    }
    ArcView View(std::size_t k) const;
};

inline ArcView ArcDecoder::View(std::size_t k) const {
    const ArcLabel& l = labels[arcs.Label(k)];
    return ArcView{(*sets)[l.Causes], l.Event, l.Action, static_cast<std::int32_t>(arcs.Target(k)), l.Causes};
}

// Iterates the arcs of one state: newest first (the order of a state's
// Arcs), or in the order found.
template <bool NewestFirst>
class ArcIterator {
public:
    using iterator_concept = std::random_access_iterator_tag;
    using iterator_category = std::input_iterator_tag;  // elements are made on the fly
    using value_type = ArcView;
    using reference = ArcView;
    using difference_type = std::ptrdiff_t;

    // operator-> of an iterator whose elements are values.
    struct Arrow {
        ArcView view;
        const ArcView* operator->() const { return &view; }
    };

    ArcIterator() = default;
    // at: the position of the stored arc this iterator stands on (newest first: one past it).
    ArcIterator(std::size_t at, ArcDecoder decoder) : at_(static_cast<std::ptrdiff_t>(at)), decoder_(decoder) {}

    ArcView operator*() const { return decoder_.View(Position()); }
    Arrow operator->() const { return Arrow{**this}; }
    ArcView operator[](difference_type k) const { return *(*this + k); }
    // The arc with its cause set's id.
    TStemArc Stored() const { return decoder_.Arc(Position()); }

    ArcIterator& operator++() {
        at_ += NewestFirst ? -1 : 1;
        return *this;
    }
    ArcIterator operator++(int) {
        ArcIterator old = *this;
        ++*this;
        return old;
    }
    ArcIterator& operator--() {
        at_ -= NewestFirst ? -1 : 1;
        return *this;
    }
    ArcIterator operator--(int) {
        ArcIterator old = *this;
        --*this;
        return old;
    }
    ArcIterator& operator+=(difference_type n) {
        at_ += NewestFirst ? -n : n;
        return *this;
    }
    ArcIterator& operator-=(difference_type n) { return *this += -n; }
    friend ArcIterator operator+(ArcIterator it, difference_type n) { return it += n; }
    friend ArcIterator operator+(difference_type n, ArcIterator it) { return it += n; }
    friend ArcIterator operator-(ArcIterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const ArcIterator& a, const ArcIterator& b) {
        return NewestFirst ? b.at_ - a.at_ : a.at_ - b.at_;
    }
    friend bool operator==(const ArcIterator& a, const ArcIterator& b) { return a.at_ == b.at_; }
    friend auto operator<=>(const ArcIterator& a, const ArcIterator& b) {
        return NewestFirst ? b.at_ <=> a.at_ : a.at_ <=> b.at_;
    }

private:
    std::size_t Position() const { return static_cast<std::size_t>(NewestFirst ? at_ - 1 : at_); }
    std::ptrdiff_t at_ = 0;
    ArcDecoder decoder_;
};

// The arcs of one state in the order found, as TStemArc values.
class FoundArcs {
public:
    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = TStemArc;
        using reference = TStemArc;
        using difference_type = std::ptrdiff_t;
        iterator() = default;
        iterator(std::size_t at, ArcDecoder decoder) : at_(at), decoder_(decoder) {}
        TStemArc operator*() const { return decoder_.Arc(at_); }
        iterator& operator++() {
            ++at_;
            return *this;
        }
        iterator operator++(int) {
            iterator old = *this;
            ++at_;
            return old;
        }
        friend difference_type operator-(const iterator& a, const iterator& b) {
            return static_cast<difference_type>(a.at_) - static_cast<difference_type>(b.at_);
        }
        friend bool operator==(const iterator& a, const iterator& b) { return a.at_ == b.at_; }

    private:
        std::size_t at_ = 0;
        ArcDecoder decoder_;
    };

    FoundArcs(std::size_t first, std::size_t count, ArcDecoder decoder)
        : first_(first), count_(count), decoder_(decoder) {}
    iterator begin() const { return iterator(first_, decoder_); }
    iterator end() const { return iterator(first_ + count_, decoder_); }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    TStemArc operator[](std::size_t k) const {
        assert(k < count_ && "arc position inside the state's arcs");
        return decoder_.Arc(first_ + k);
    }

private:
    std::size_t first_;
    std::size_t count_;
    ArcDecoder decoder_;
};

// The arcs of one state. Iterates newest first; rbegin() .. rend() and
// Found() give them in the order they were found.
class ArcRange {
public:
    using iterator = ArcIterator<true>;
    using found_iterator = ArcIterator<false>;

    ArcRange() = default;
    ArcRange(std::size_t first, std::size_t count, ArcDecoder decoder)
        : first_(first), count_(count), decoder_(decoder) {}

    iterator begin() const { return iterator(first_ + count_, decoder_); }
    iterator end() const { return iterator(first_, decoder_); }
    found_iterator rbegin() const { return found_iterator(first_, decoder_); }
    found_iterator rend() const { return found_iterator(first_ + count_, decoder_); }

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // The k-th arc, newest first.
    ArcView operator[](std::size_t k) const {
        assert(k < count_ && "arc position inside the state's arcs");
        return begin()[static_cast<std::ptrdiff_t>(k)];
    }
    ArcView front() const { return (*this)[0]; }
    ArcView back() const { return (*this)[count_ - 1]; }

    // The arcs in the order found (oldest first).
    FoundArcs Found() const { return FoundArcs(first_, count_, decoder_); }

private:
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    ArcDecoder decoder_;
};

// A state as consumers read it.
struct StateView {
    std::size_t Index;        // position in the state list
    std::int32_t Number;
    EventSetRef Events;       // maximal events
    EventSetId EventsId;
    ArcRange Arcs;            // outgoing transitions, newest first
};

class StemStore;

// The states of a store in list order, as views.
class StateRange {
public:
    class iterator {
    public:
        using iterator_concept = std::random_access_iterator_tag;
        using iterator_category = std::input_iterator_tag;
        using value_type = StateView;
        using reference = StateView;
        using difference_type = std::ptrdiff_t;

        iterator() = default;
        iterator(const StemStore* store, std::size_t index) : store_(store), index_(index) {}
        StateView operator*() const;
        iterator& operator++() {
            ++index_;
            return *this;
        }
        iterator operator++(int) {
            iterator old = *this;
            ++index_;
            return old;
        }
        friend difference_type operator-(const iterator& a, const iterator& b) {
            return static_cast<difference_type>(a.index_) - static_cast<difference_type>(b.index_);
        }
        friend bool operator==(const iterator& a, const iterator& b) { return a.index_ == b.index_; }

    private:
        const StemStore* store_ = nullptr;
        std::size_t index_ = 0;
    };

    StateRange(const StemStore* store, std::size_t count) : store_(store), count_(count) {}
    iterator begin() const { return iterator(store_, 0); }
    iterator end() const { return iterator(store_, count_); }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }

private:
    const StemStore* store_;
    std::size_t count_;
};

// The current STEM. A generated STEM keeps the compilation its terms came
// from alive; a STEM read from a file has none.
class StemStore {
public:
    std::shared_ptr<const Compilation> compilation;
    std::int32_t StemStateCount = 0;
    std::int32_t LastGenStateCount = 0;
    ActionTable actions;

    StemStore();

    // ---- Reading -------------------------------------------------------------------------

    std::size_t StateCount() const { return states_.size(); }
    bool Empty() const { return states_.empty(); }
    // The state at that position of the list.
    StateView State(std::size_t index) const {
        const TStemState s = Record(index);
        return StateView{index, s.Number, sets_[s.Events], s.Events,
                         ArcRange(s.FirstArc, s.ArcCount, Decoder())};
    }
    StateRange States() const { return StateRange(this, states_.size()); }
    // The record of the state at that position.
    // The maximal events of the state at that position.
    EventSetId EventsAt(std::size_t index) const {
        assert(index < states_.size() && "state position inside the list");
        return states_[index].Events;
    }
    TStemState Record(std::size_t index) const {
        assert(index < states_.size() && "state position inside the list");
        const std::int32_t number = numberedByPosition_ ? static_cast<std::int32_t>(index) : numbers_[index];
        if (!ranges_.empty()) return TStemState{ranges_[index].first, ranges_[index].count, states_[index].Events, number};
        if (index >= arcsSet_) return TStemState{0, 0, states_[index].Events, number};
        const std::uint32_t first = index == 0 ? 0 : states_[index - 1].End;
        return TStemState{first, states_[index].End - first, states_[index].Events, number};
    }

    // The first state of the list with that number.
    std::optional<StateView> FindState(std::int32_t number) const;
    // Position in the list of the first state with that number, or -1.
    std::int64_t IndexOf(std::int32_t number) const {
        if (numberedByPosition_)
            return number >= 0 && static_cast<std::size_t>(number) < states_.size() ? number : -1;
        auto it = byNumber_.find(number);
        return it == byNumber_.end() ? -1 : it->second;
    }
    // True when every state's number is its position (a generated STEM): then
    // a target number is the target's position.
    bool NumberedByPosition() const { return numberedByPosition_; }

    // Arcs over all states.
    std::int64_t ArcCount() const { return static_cast<std::int64_t>(arcs_.size()); }
    // Bytes an arc takes now (at most ArcBytesAtMost).
    std::size_t BytesPerArc() const { return arcs_.BytesPerArc(); }
    // Distinct (action, event, cause set) of the arcs.
    std::size_t LabelCount() const { return labels_.size(); }
    // Bytes of the state list, the arcs and their labels.
    std::size_t Bytes() const {
        return states_.size() * sizeof(StoredState) + numbers_.size() * sizeof(std::int32_t) +
               ranges_.size() * sizeof(Range) +
               arcs_.Bytes() + labels_.size() * sizeof(ArcLabel) + labelSlots_.size() * sizeof(std::uint32_t);
    }

    EventSetRef Events(EventSetId id) const { return sets_[id]; }
    // Distinct event sets kept, the empty one included.
    std::size_t EventSetCount() const { return sets_.Count(); }

    // ---- Building ------------------------------------------------------------------------

    // Empties the state list, its arcs and its event sets; the action table is kept.
    void FreeStates();
    // Brings into the cache what InternEvents(mask, actions) will look at first.
    void PrefetchEvents(std::uint32_t mask, const ActionId* actionsInNameOrder) const {
        sets_.Prefetch(mask, actionsInNameOrder);
    }
    // The same in two steps, the set packed and hashed once: PackEvents,
    // PrefetchPackedEvents, then InternPackedEvents.
    void PackEvents(std::uint32_t mask, const ActionId* actionsInNameOrder, EventSetPool::Packed& out) const {
        sets_.PackSet(mask, actionsInNameOrder, out);
    }
    void PrefetchPackedEvents(const EventSetPool::Packed& set) const { sets_.PrefetchPacked(set); }
    EventSetId InternPackedEvents(const EventSetPool::Packed& set) { return sets_.InternPacked(set); }
    // The same for a set kept as a record (EventSetPool::WriteRecord).
    void PrefetchEventRecord(const std::uint32_t* record) const { sets_.PrefetchRecord(record); }
    EventSetId InternEventRecord(const std::uint32_t* record) { return sets_.InternRecord(record); }
    // Room for that many states and arcs in all.
    void Reserve(std::size_t states, std::size_t arcs);
    // Room for that many more states and arcs, made without touching it;
    // PopulateRoom then brings the pages they will take into memory, from
    // another thread while this one appends at most as many (a generation
    // that stores a level alone lets a second thread take its page faults).
    struct Room {
        std::size_t statesFrom = 0, statesTo = 0;
        std::pair<std::size_t, std::size_t> words;
    };
    Room MakeRoom(std::size_t states, std::size_t arcs);
    void PopulateRoom(const Room& room) const;
    // Arc fields wide enough at once for these targets and as many labels
    // (a hint: larger ones are still taken), so that arcs given by the
    // million are not laid out again as their values grow.
    void FitArcs(std::uint32_t largestTarget, std::size_t labels) {
        arcs_.Fit(largestTarget, labels > 1 ? static_cast<std::uint32_t>(std::min<std::size_t>(labels - 1, UINT32_MAX)) : 0,
                  arcs_.size());
    }

    // The id of that set, which is kept once: equal sets get the same id.
    EventSetId InternEvents(const EventSet& set) { return sets_.Intern(set); }
    // The same for a set given as the mask of its names (bit 0 for -1, bit e
    // for e) and its actions in name order.
    EventSetId InternEvents(std::uint32_t mask, const ActionId* actionsInNameOrder) {
        return sets_.Intern(mask, actionsInNameOrder);
    }
    // The same for a set read from a store, this one or another. (A template,
    // so that a braced list such as {} or {{1, a}} goes to the EventSet form.)
    template <std::same_as<EventSetRef> Ref>
    EventSetId InternEvents(Ref set) {
        return sets_.Intern(set);
    }

    // Appends a state with that number and those maximal events, without arcs.
    void AppendState(std::int32_t number, EventSetId events);
    void AppendState(std::int32_t number, const EventSet& events) { AppendState(number, InternEvents(events)); }
    template <std::same_as<EventSetRef> Ref>
    void AppendState(std::int32_t number, Ref events) {
        AppendState(number, sets_.Intern(events));
    }

    // Gives the state at stateIndex its arcs, in the order they were found
    // (oldest first; they are read back newest first). At most once per state;
    // a state never given arcs has none. Arcs are appended to the arc vector:
    // states given their arcs in increasing order keep them in list order and
    // need no record of their ranges; in any other order each state's range
    // is kept besides.
    void SetArcs(std::size_t stateIndex, std::span<const TStemArc> foundOrder);
    // An arc given by its target and the id of its label (LabelId).
    struct LabelledArc {
        std::uint32_t target, label;
    };
    // The same for arcs whose labels are known.
    void SetArcs(std::size_t stateIndex, std::span<const LabelledArc> foundOrder);
    // The id of the label of an arc with that action, event and causes,
    // made when new; the ids are the store's own, in the order asked.
    std::uint32_t LabelId(ActionId action, std::int32_t event, EventSetId causes) { return Label(action, event, causes); }

    ActionId Intern(const Identifier32& name) { return actions.Intern(name); }
    ActionId Intern(const char* text) { return actions.Intern(Identifier32::FromText(text)); }

private:
    friend class ArcCollector;

    // A state as stored: the end of its arc range (its start is the end of
    // the state before) and its maximal events.
    struct StoredState {
        std::uint32_t End = 0;
        EventSetId Events = EmptyEventSet;
    };

    void IndexNumbers();
    ArcDecoder Decoder() const { return ArcDecoder{arcs_.Read(), labels_.data(), &sets_}; }
    std::uint32_t Label(ActionId action, std::int32_t event, EventSetId causes);
    void GrowLabels();
    // States before arcsSet_ have their ranges; those from it on have none yet.
    void CloseRangesUpTo(std::size_t stateIndex);
    // SetArcs for n arcs, the i-th {target, label} = arcOf(i).
    template <typename ArcOf>
    void StoreArcs(std::size_t stateIndex, std::size_t n, std::uint32_t largestTarget, std::uint32_t largestLabel,
                   ArcOf&& arcOf);

    GrowingArray<StoredState> states_;
    GrowingArray<std::int32_t> numbers_;  // only once some state is not numbered by its position
    PackedArcs arcs_;
    std::size_t arcsSet_ = 0;
    // Each state's range, kept only once arcs were given out of list order.
    struct Range {
        std::uint32_t first, count;
    };
    GrowingArray<Range> ranges_;
    // The labels, and their index: open addressing, label id plus one, 0 free.
    std::vector<ArcLabel> labels_;
    std::vector<std::uint32_t> labelSlots_;
    // Labels met lately, by a hash of what they say: their id plus one.
    std::array<std::uint32_t, 256> recentLabels_{};
    std::vector<std::uint32_t> plainLabels_;  // per action, the id plus one of its label without event or causes
    std::vector<std::uint32_t> labelsFound_;  // SetArcs: the labels of the arcs it is given

    EventSetPool sets_;

    // Positions by number, kept only once some state is not numbered by its position.
    bool numberedByPosition_ = true;
    std::unordered_map<std::int32_t, std::int64_t> byNumber_;
};

inline StateView StateRange::iterator::operator*() const { return store_->State(index_); }

// Gathers arcs whose source states come in any order, then gives every state
// its arcs at once: each state's arcs in the order they were added, which
// is the order found (so the last one added is read first).
class ArcCollector {
public:
    void Reserve(std::size_t arcs) { arcs_.reserve(arcs); }
    void Add(std::size_t stateIndex, const TStemArc& arc) {
        assert(stateIndex < UINT32_MAX && arcs_.size() < UINT32_MAX && "positions fit 32 bits");
        const auto source = static_cast<std::uint32_t>(stateIndex);
        if (!runs_.empty() && runs_.back().source == source) {
            ++runs_.back().count;
        } else {
            if (!runs_.empty() && source < runs_.back().source) ordered_ = false;
            runs_.push_back(Run{source, static_cast<std::uint32_t>(arcs_.size()), 1});
        }
        arcs_.push_back(arc);
    }
    std::size_t Size() const { return arcs_.size(); }
    // Hands every arc to store, whose states must have no arcs yet and must
    // include every source given; the collector is left empty.
    void MoveInto(StemStore& store);

private:
    // Arcs added one after the other from one source.
    struct Run {
        std::uint32_t source;
        std::uint32_t first;
        std::uint32_t count;
    };
    GrowingArray<TStemArc> arcs_;
    std::vector<Run> runs_;
    // Sources only grow from run to run: the arcs are already state by state
    // (a STEM file lists each state's arcs on its line, in list order).
    bool ordered_ = true;
};

// "Etat 12" or "12".
std::string StateLabel(std::int32_t number, bool withWord);

}  // namespace quarvo
