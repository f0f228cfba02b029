// Breadth-first exploration on state vectors, state after state.
#include "generation/vector/VectorExploration.h"

#include <algorithm>
#include <array>
#include <bit>
#include <deque>
#include <memory>
#include <cstring>
#include <new>
#include <span>
#include <vector>

#include "generation/DeadlockLevel.h"
#include "generation/Engine.h"
#include "generation/StoreSets.h"
#include "generation/ExplorationEnd.h"
#include "generation/GrowingArray.h"
#include "generation/MemoryWatch.h"
#include "generation/vector/VectorEngine.h"
#include "generation/vector/VectorLevels.h"
#include "generation/vector/VectorStates.h"

namespace quarvo {
namespace {

// How often, in transitions, the memory in use is looked at.
constexpr std::int64_t MemoryCheckStep = 1 << 14;

// The states waiting to be explored, oldest first, each as its slots (its
// identity vector and that vector's inner values are read back from the
// state table when it is explored). A state is kept as its components'
// slots, then the count of its other slots that hold events of their own
// (most are Derived) and each as its place and value; in blocks, each
// given back once read.
class Waiting {
public:
    explicit Waiting(const VectorEngine& vectors) : width_(vectors.Width()) {
        for (std::uint32_t i = 0; i < width_; ++i) (vectors.IsComponent(i) ? components_ : others_).push_back(i);
        blockWords_ = std::max<std::size_t>(BlockWords, 2 * std::size_t{width_} + 1);
    }
    void Push(const std::uint32_t* state) {
        if (blocks_.empty() || blocks_.back().used + 2 * width_ + 1 > blockWords_)
            blocks_.push_back(Block{spare_ ? std::move(spare_) : std::make_unique<std::uint32_t[]>(blockWords_), 0});
        Block& block = blocks_.back();
        std::uint32_t* out = block.words.get() + block.used;
        std::size_t k = 0;
        for (const std::uint32_t slot : components_) out[k++] = state[slot];
        const std::size_t count = k++;
        out[count] = 0;
        for (const std::uint32_t slot : others_) {
            if (state[slot] == VectorEngine::Derived) continue;
            out[k++] = slot;
            out[k++] = state[slot];
            ++out[count];
        }
        block.used += k;
    }
    // The oldest state, taken out of the queue, into state (every slot).
    void Pop(std::uint32_t* state) {
        if (readAt_ == blocks_.front().used) {
            // Read to its end: the block is kept for the next one written.
            spare_ = std::move(blocks_.front().words);
            blocks_.pop_front();
            readAt_ = 0;
        }
        const std::uint32_t* in = blocks_.front().words.get() + readAt_;
        std::size_t k = 0;
        for (const std::uint32_t slot : components_) state[slot] = in[k++];
        for (const std::uint32_t slot : others_) state[slot] = VectorEngine::Derived;
        for (std::uint32_t n = in[k++]; n > 0; --n, k += 2) state[in[k]] = in[k + 1];
        readAt_ += k;
    }
    std::size_t Bytes() const { return (blocks_.size() + (spare_ ? 1 : 0)) * blockWords_ * sizeof(std::uint32_t); }

private:
    static constexpr std::size_t BlockWords = std::size_t{1} << 18;
    struct Block {
        std::unique_ptr<std::uint32_t[]> words;
        std::size_t used;
    };
    std::uint32_t width_;
    std::vector<std::uint32_t> components_, others_;
    std::size_t blockWords_;
    std::deque<Block> blocks_;
    std::unique_ptr<std::uint32_t[]> spare_;
    std::size_t readAt_ = 0;  // in the first block
};

// The new states whose events the store has yet to take: each is appended a
// few new states later, the place where the store looks its events up
// brought into the cache meanwhile.
class PendingStates {
public:
    PendingStates(StemStore& store, bool deferred) : store_(store), lag_(deferred ? Lag : 0) {}
    void Add(std::int64_t number, std::uint32_t mask, const ActionId* actions) {
        if (lag_ == 0) {
            store_.AppendState(static_cast<std::int32_t>(number), store_.InternEvents(mask, actions));
            return;
        }
        if (count_ == lag_) AppendOldest();
        Entry& e = ring_[(first_ + count_++) % Lag];
        e.number = number;
        store_.PackEvents(mask, actions, e.events);
        store_.PrefetchPackedEvents(e.events);
    }
    // Every state up to number is in the store.
    void Through(std::int64_t number) {
        while (count_ > 0 && ring_[first_].number <= number) AppendOldest();
    }
    void All() {
        while (count_ > 0) AppendOldest();
    }
    // The last resort when memory ran out while they were appended.
    void WithoutEvents() noexcept {
        try {
            for (; count_ > 0; first_ = (first_ + 1) % Lag, --count_)
                store_.AppendState(static_cast<std::int32_t>(ring_[first_].number), EmptyEventSet);
        } catch (const std::bad_alloc&) {
            // Nothing more can be kept.
        }
    }

private:
    static constexpr std::size_t Lag = 8;
    struct Entry {
        std::int64_t number;
        EventSetPool::Packed events;  // packed and hashed once
    };
    void AppendOldest() {
        const Entry& e = ring_[first_];
        store_.AppendState(static_cast<std::int32_t>(e.number), store_.InternPackedEvents(e.events));
        first_ = (first_ + 1) % Lag;
        --count_;
    }
    StemStore& store_;
    std::size_t lag_;
    std::array<Entry, Lag> ring_{};
    std::size_t first_ = 0, count_ = 0;
};

}  // namespace

bool ExploreVectors(const std::shared_ptr<const Compilation>& compilation, const GenerationSettings& settings,
                    StemStore& store, ExplorationShared& shared, GenerationResult& result) {
    // A bound stops in the middle of a state's transitions: one by one.
    const unsigned threads = ExplorationThreads(settings);
    if (threads > 1 && settings.maxStates == 0)
        return ExploreVectorLevels(compilation, settings, threads, store, shared, result);
    Engine engine(store.actions, StateIdentity{settings.semantics, settings.cpbrOff});
    MemoryWatch memory(settings.memoryLimit);
    engine.WatchMemory(&memory);
    VectorEngine vectors(engine);
    std::vector<TermId> state;
    try {
        const TermId root = engine.Import(compilation ? compilation->rootBehaviour : nullptr);
        if (!vectors.Build(engine.Normalize(root), state)) return false;
        vectors.PlanKey(state.data());
    } catch (const std::bad_alloc&) {
        return false;  // the term engine says how memory ran out
    }

    const std::uint32_t width = vectors.Width();
    std::vector<std::uint32_t> key(vectors.KeyWidth());
    VectorStates states(vectors.KeyWidth());
    Waiting waiting(vectors);
    StoreSets StoreSet(engine, store);

    std::int64_t stateCount = 0;
    std::int64_t current = 0;
    bool stop = false;
    std::vector<TStemArc> found;
    // The deadlock search reads the store at each level's end: no state waits there.
    PendingStates pending(store, !settings.stopAtDeadlockLevel);
    // A state's arcs are stored once the next state's transitions are
    // derived: the places where the table holds that state's successors,
    // asked for as they are derived, come into the cache meanwhile.
    const bool storeLate = !settings.stopAtDeadlockLevel;
    std::vector<TStemArc> foundBefore;
    std::int64_t foundBeforeOf = -1;
    auto storeFoundBefore = [&] {
        if (foundBeforeOf < 0) return;
        pending.Through(foundBeforeOf);
        store.SetArcs(static_cast<std::size_t>(foundBeforeOf), foundBefore);
        foundBeforeOf = -1;
        foundBefore.clear();
    };
    try {
        vectors.Key(state.data(), key.data());
        waiting.Push(state.data());
        states.Add(key.data());
        store.AppendState(0, EventSet{});
        stateCount = 1;
        std::int64_t nextMemoryCheck = MemoryCheckStep;
        // The inner values of the idle key of the state being expanded.
        std::vector<std::uint32_t> idleInner;
        std::int64_t idleFor = -1;
        std::uint32_t idleEpoch = 0;
        bool idleKnown = false;
        std::array<ActionId, 32> rootActions{};
        std::vector<std::uint32_t> changedSlots, scratch;
        // The identity vector of the state being expanded, as it was found, and its inner values.
        std::vector<std::uint32_t> heldKey(vectors.KeyWidth()), heldInner;
        std::uint32_t heldEpoch = 0;
        const std::uint32_t keyWidth = vectors.KeyWidth();
        DeadlockLevels deadlockLevels;
        auto deadlockAtLevelEnd = [&] {
            return deadlockLevels.AtEnd(settings.stopAtDeadlockLevel, store, current, stateCount);
        };
        // A state's transitions are derived first, each successor's identity
        // kept and the place where the table holds it brought into the cache;
        // they are then looked up in order, the new successors made again.
        struct Derived {
            VectorArc arc;
            std::uint32_t firstChanged, changedCount;  // in changedOf
            // Where its identity vector is kept in keysOf; NoKey when it is
            // the idle one but in its one changed slot, now value.
            std::uint32_t keyAt, value;
            // The pair at the successor's root when its other pairs are
            // known, found while the tables were at deriveEpoch.
            std::uint64_t rootPair;
        };
        std::uint32_t deriveEpoch = 0;
        std::vector<Derived> derived;
        std::vector<std::uint32_t> keysOf, changedOf, soughtKey(keyWidth);
        constexpr std::uint32_t NoKey = ~std::uint32_t{0};
        std::size_t arcIndex = 0;
        // Whether the state being expanded stands idle as it was found (its
        // idle key is the one read back), told at its first transition.
        int idleIsHeld = -1;
        auto derive = [&](const VectorArc& arc, const std::uint32_t*) {
            const std::uint32_t* sought = vectors.SuccessorKey();
            const std::vector<std::uint32_t>& changed = vectors.ChangedKeySlots();
            std::uint64_t rootPair = VectorTree::NoRoot;
            if (idleIsHeld < 0)
                idleIsHeld = heldEpoch == states.Epoch() &&
                             std::equal(vectors.IdleKey(), vectors.IdleKey() + keyWidth, heldKey.begin());
            if (changed.size() == 1 && idleIsHeld)
                rootPair = states.PrefetchRootPair(heldKey.data(), heldInner, changed[0], sought[changed[0]]);
            const bool kept = rootPair == VectorTree::NoRoot;
            derived.push_back(Derived{arc, static_cast<std::uint32_t>(changedOf.size()),
                                      static_cast<std::uint32_t>(changed.size()),
                                      kept ? static_cast<std::uint32_t>(keysOf.size()) : NoKey,
                                      kept ? 0 : sought[changed[0]], rootPair});
            if (kept) keysOf.insert(keysOf.end(), sought, sought + keyWidth);
            changedOf.insert(changedOf.end(), changed.begin(), changed.end());
            return true;
        };
        std::vector<std::uint32_t> changedNow;
        // A successor's identity vector, made whole only when it is asked
        // (a successor found by its root pair most often is not).
        auto soughtOf = [&](std::size_t k) -> const std::uint32_t* {
            const Derived& d = derived[k];
            if (d.keyAt != NoKey) return keysOf.data() + d.keyAt;
            std::copy(vectors.IdleKey(), vectors.IdleKey() + keyWidth, soughtKey.begin());
            soughtKey[changedOf[d.firstChanged]] = d.value;
            return soughtKey.data();
        };
        auto take = [&](const VectorArc& arc, std::size_t k, std::uint64_t rootPair) {
            const std::int64_t arcs =
                store.ArcCount() + static_cast<std::int64_t>(found.size() + foundBefore.size());
            if (arcs >= nextMemoryCheck) {
                nextMemoryCheck += MemoryCheckStep;
                // What may be taken before the next look: the arcs until then
                // (the store's arrays grow in place, page by page, whatever
                // their size), the state table's next growth (the new tables
                // made while the old ones stand), the terms' tables doubling.
                const std::int64_t growth =
                    2 * static_cast<std::int64_t>(store.BytesPerArc()) * MemoryCheckStep +
                    static_cast<std::int64_t>(engine.Bytes() + 2 * states.Bytes() + waiting.Bytes());
                if (memory.NearLimit(growth)) {
                    result.stoppedByMemory = true;
                    stop = true;
                    return false;
                }
            }
            // A successor that differs from the idle source in one slot is
            // looked up along that slot's path alone, by the pair at its
            // root when that was found as it was derived.
            const std::vector<std::uint32_t>& changed = changedNow;
            std::int64_t target = -1;
            const bool byRootPair = rootPair != VectorTree::NoRoot && deriveEpoch == states.Epoch();
            if (byRootPair) {
                target = states.FindRootPair(rootPair);
            } else {
                if (idleFor != current || idleEpoch != states.Epoch()) {
                    // The source as it stands idle is most often the source
                    // itself, whose inner values were kept when it was found.
                    const std::uint32_t* idle = vectors.IdleKey();
                    if (heldEpoch == states.Epoch() && std::equal(idle, idle + keyWidth, heldKey.begin())) {
                        idleInner = heldInner;
                        idleKnown = true;
                    } else {
                        idleKnown = states.Known(idle, idleInner);
                    }
                    idleFor = current;
                    idleEpoch = states.Epoch();
                }
                changedSlots.assign(changed.begin(), changed.end());
                const std::uint32_t* sought = soughtOf(k);
                target = idleKnown ? states.FindNear(sought, vectors.IdleKey(), idleInner, changedSlots, scratch)
                                   : states.Find(sought);
            }
            if (target < 0) {
                if (settings.maxStates > 0 && stateCount >= settings.maxStates) {
                    // No state beyond the bound: the exploration ends here.
                    result.stoppedByBound = true;
                    stop = true;
                    return false;
                }
                target = stateCount++;
                const std::uint32_t* whole = vectors.Replay(arcIndex);
                waiting.Push(whole);
                if (byRootPair)
                    states.AddRootPair(rootPair, soughtOf(k));
                else
                    states.Add(soughtOf(k));
                std::uint32_t mask = 0;
                vectors.RootEvents(whole, mask, rootActions.data());
                pending.Add(target, mask, rootActions.data());
            }
            found.push_back(TStemArc{static_cast<std::int32_t>(target), arc.action, arc.event, StoreSet(arc.causes)});
            return true;
        };
        // The breadth-first level being explored, for the progress.
        std::int64_t depth = 0, progressFirst = 0, progressEnd = 1;
        shared.levelStates.store(1, std::memory_order_relaxed);
        for (; current < stateCount && !stop; ++current) {
            if (current == progressEnd) {
                ++depth;
                progressFirst = progressEnd;
                progressEnd = stateCount;
                shared.levelStates.store(progressEnd - progressFirst, std::memory_order_relaxed);
            }
            shared.levelProgress.store(depth * ExplorationShared::LevelUnit + (current - progressFirst),
                                       std::memory_order_relaxed);
            if (deadlockAtLevelEnd()) {
                result.stoppedAtDeadlock = true;
                break;
            }
            if (current > 0 && shared.stopRequested.load(std::memory_order_relaxed)) break;
            state.resize(width);
            waiting.Pop(state.data());
            states.KeyOf(current, heldKey.data(), heldInner);
            heldEpoch = states.Epoch();
            if (vectors.Normalise(state.data())) {
                // Events pushed down the components change what the state is recognised by.
                vectors.Key(state.data(), key.data());
                states.Rekey(current, key.data());
            }
            found.clear();
            derived.clear();
            keysOf.clear();
            changedOf.clear();
            deriveEpoch = states.Epoch();
            idleIsHeld = -1;
            vectors.Expand(state.data(), derive);
            // The next state's identity, read back when it is explored.
            if (current + 1 < stateCount) states.PrefetchKeyOf(current + 1);
            storeFoundBefore();
            for (arcIndex = 0; arcIndex < derived.size(); ++arcIndex) {
                const Derived& d = derived[arcIndex];
                // The slots that changed, for a successor looked up whole.
                if (d.rootPair == VectorTree::NoRoot || deriveEpoch != states.Epoch())
                    changedNow.assign(changedOf.begin() + d.firstChanged,
                                      changedOf.begin() + d.firstChanged + d.changedCount);
                if (!take(d.arc, arcIndex, d.rootPair)) break;
            }
            // Stored in the order found; the store reads them back newest first.
            if (storeLate && !stop) {
                found.swap(foundBefore);
                foundBeforeOf = current;
            } else {
                pending.Through(current);
                store.SetArcs(static_cast<std::size_t>(current), found);
            }
            found.clear();
            store.LastGenStateCount = static_cast<std::int32_t>(stateCount);
            shared.states.store(stateCount, std::memory_order_relaxed);
            shared.arcs.store(store.ArcCount(), std::memory_order_relaxed);
        }
        storeFoundBefore();
        pending.All();
        if (!stop && !result.stoppedAtDeadlock && current == stateCount && deadlockAtLevelEnd())
            result.stoppedAtDeadlock = true;
    } catch (const std::bad_alloc&) {
        // The states waiting are targets of arcs stored already.
        try {
            pending.All();
        } catch (const std::bad_alloc&) {
            // Arcs stored already lead to them: they are kept without their events.
            pending.WithoutEvents();
        }
        if (foundBeforeOf >= 0 && foundBeforeOf < static_cast<std::int64_t>(store.StateCount())) {
            const auto stored = static_cast<std::int32_t>(store.StateCount());
            std::erase_if(foundBefore, [&](const TStemArc& a) { return a.Target >= stored; });
            try {
                store.SetArcs(static_cast<std::size_t>(foundBeforeOf), foundBefore);
            } catch (const std::bad_alloc&) {
                // That state keeps no arc: what was stored before stays usable.
            }
        }
        KeepWhatMemoryAllowed(store, current, stateCount, found, result);
    }
    EndStateAfterState(store, current, stateCount, engine, result);
    result.onVectors = true;
    return true;
}

}  // namespace quarvo
