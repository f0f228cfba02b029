// Breadth-first exploration on state vectors, level by level on several threads.
#include "generation/vector/VectorLevels.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <functional>
#include <mutex>
#include <new>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

#include "generation/Crew.h"
#include "generation/DeadlockLevel.h"
#include "generation/GrowingArray.h"
#include "generation/Engine.h"
#include "generation/StoreSets.h"
#include "generation/MemoryWatch.h"
#include "generation/vector/VectorEngine.h"
#include "generation/vector/VectorStates.h"

namespace quarvo {
namespace {

// How often, in transitions, a thread looks at the memory in use.
constexpr std::int64_t MemoryCheckStep = 1 << 14;
// Below this, what one step takes at once fits in the room the memory watch
// keeps free anyway: the step is not asked about.
constexpr std::size_t SmallGrowth = std::size_t{64} << 20;
// Room for the recursion of the rules over deeply nested terms, on each thread.
constexpr std::size_t WorkerStack = std::size_t{256} << 20;

constexpr std::uint32_t NoRef = ~std::uint32_t{0};

// A transition as derived, before its target may have a number: 12 bytes,
// a level holding hundreds of millions of them.
struct Arc {
    static constexpr std::uint32_t FirstBit = std::uint32_t{1} << 31;
    std::uint32_t label;  // the store's id of its action, event and causes
    // The target's number when it is known (a state of an earlier level, or
    // once resolved), else the root of the successor's key.
    std::uint32_t place;
    // NoRef when the target is known; else the reference of the successor's
    // whole vector, with FirstBit on this thread's first arc to that root in
    // the level (Later on the others when the threads mark the roots they meet).
    std::uint32_t ref;
    static constexpr std::uint32_t Later = ~FirstBit;

    bool Known() const { return ref == NoRef; }
    std::int32_t Target() const { return static_cast<std::int32_t>(place); }
    std::uint32_t Root() const { return place; }
    bool First() const { return !Known() && (ref & FirstBit) != 0; }
    std::uint32_t Ref() const { return ref & ~FirstBit; }
};
static_assert(sizeof(Arc) == 12, "a level's arc record is three 32-bit fields");

// An explored state: its arcs, and its new identity when its components'
// normal form changed it.
struct Source {
    std::uint32_t firstArc, arcCount;
    std::int64_t rekeyAt;  // in keys, -1 for none
};

// The whole vectors of the successors a thread keeps in a level: those
// whose key it put in the state table first, and those whose key named a
// state that a change of key may yet vacate. A reference is shared by all
// threads: references come in blocks, each block one thread's.
class Kept {
public:
    static constexpr std::uint32_t BlockBits = 12;

    Kept(std::uint32_t width, unsigned thread) : width_(width), thread_(thread) {}
    void Clear() {
        wholes_.clear();
        events_.clear();
        eventsAt_.clear();
        count_ = 0;
        left_ = 0;
    }
    // Keeps whole, with the maximal events it would have as a state (the
    // mask of their names, their actions in name order); its reference,
    // NoRef when none is left.
    std::uint32_t Add(const std::uint32_t* whole, std::uint32_t mask, const ActionId* actions, std::mutex& lock,
                      std::vector<std::pair<unsigned, std::uint32_t>>& blocks) {
        if (left_ == 0) {
            const std::lock_guard<std::mutex> guard(lock);
            if (blocks.size() >= (std::size_t{1} << (31 - BlockBits)) - 1) return NoRef;
            next_ = static_cast<std::uint32_t>(blocks.size()) << BlockBits;
            blocks.emplace_back(thread_, static_cast<std::uint32_t>(count_));
            left_ = std::uint32_t{1} << BlockBits;
        }
        --left_;
        wholes_.append(std::span<const std::uint32_t>(whole, width_));
        eventsAt_.push_back(events_.size());
        events_.push_back(mask);
        events_.append(std::span<const std::uint32_t>(actions, static_cast<std::size_t>(std::popcount(mask))));
        ++count_;
        return next_++;
    }
    const std::uint32_t* Whole(std::uint32_t index) const { return wholes_.data() + std::size_t{index} * width_; }
    // The mask of a kept vector's maximal events, followed by their actions.
    const std::uint32_t* Events(std::uint32_t index) const { return events_.data() + eventsAt_[index]; }

private:
    std::uint32_t width_;
    unsigned thread_;
    // Arrays that grow without copying, and keep their pages from one level to the next.
    GrowingArray<std::uint32_t> wholes_, events_;
    GrowingArray<std::size_t> eventsAt_;
    std::size_t count_ = 0;
    std::uint32_t next_ = 0, left_ = 0;
};

// The blocks of references of a level: (thread, first index there) each.
struct Blocks {
    std::mutex lock;
    std::vector<std::pair<unsigned, std::uint32_t>> owner;
    // The thread keeping a reference's whole vector, and its index there.
    std::pair<unsigned, std::uint32_t> Where(std::uint32_t ref) const {
        const auto& [thread, first] = owner[ref >> Kept::BlockBits];
        return {thread, first + (ref & ((std::uint32_t{1} << Kept::BlockBits) - 1))};
    }
};

// References by root: open addressing over (root, reference) cells.
class RootMap {
public:
    void Clear() {
        if (count_) std::fill(cells_.begin(), cells_.end(), Empty);
        count_ = 0;
    }
    // The reference of root, NoRef until set through it.
    std::uint32_t& At(std::uint32_t root) {
        if (2 * (count_ + 1) > cells_.size()) Grow();
        const std::size_t mask = cells_.size() - 1;
        for (std::size_t i = Hash(root) & mask;; i = (i + 1) & mask) {
            Cell& c = cells_[i];
            if (c.root == root) return c.ref;
            if (c.root == Empty.root) {
                ++count_;
                c.root = root;
                c.ref = NoRef;
                return c.ref;
            }
        }
    }

private:
    struct Cell {
        std::uint32_t root, ref;
    };
    static constexpr Cell Empty{~std::uint32_t{0}, NoRef};
    static std::size_t Hash(std::uint32_t root) { return (root * 0x9E3779B97F4A7C15ull) >> 20; }
    void Grow() {
        std::vector<Cell> old(std::max<std::size_t>(1024, 2 * cells_.size()), Empty);
        old.swap(cells_);
        const std::size_t mask = cells_.size() - 1;
        for (const Cell& c : old) {
            if (c.root == Empty.root) continue;
            std::size_t i = Hash(c.root) & mask;
            while (cells_[i].root != Empty.root) i = (i + 1) & mask;
            cells_[i] = c;
        }
    }
    std::vector<Cell> cells_;
    std::size_t count_ = 0;
};

// Why the threads stopped a level early.
struct Signals {
    std::atomic<bool> abandon{false};    // every thread stops
    std::atomic<bool> memoryLow{false};  // the memory limit is near
    std::atomic<bool> tableFull{false};  // the state table needs to grow: the level is explored again
};

// One thread's engines, the states it holds and its part of a level.
class Worker {
public:
    Worker(ActionTable& actions, const GenerationSettings& settings, SharedNames& names, StemStore& store,
           std::mutex& storeLock)
        : engine(actions, StateIdentity{settings.semantics, settings.cpbrOff}, &names),
          vectors(engine),
          store_(store),
          storeLock_(storeLock),
          storeSets_(engine, store, &storeLock) {}

    // Takes the structure; false when there is none.
    bool Start(const Compilation* compilation, std::vector<std::uint32_t>& state) {
        const TermId root = engine.Import(compilation ? compilation->rootBehaviour : nullptr);
        if (!vectors.Build(engine.Normalize(root), state)) return false;
        kept = std::make_unique<Kept>(vectors.Width(), id);
        heldKey_.resize(vectors.KeyWidth());
        return true;
    }
    void Threads(unsigned threads) {
        threads_ = threads;
        if (translated.size() >= threads) return;
        translated.resize(threads);
        made.resize(threads);
    }

    // The engine's set as the store's, converted once each.
    EventSetId StoreSet(SetId set) { return storeSets_(set); }
    // The store's label of a transition, asked of the store (which the
    // threads share) only the first time this thread meets it lately.
    std::uint32_t StoreLabel(const VectorArc& a) {
        const EventSetId causes = StoreSet(a.causes);
        LabelCell& cell = labels_[(a.action * 0x9E3779B1u + static_cast<std::uint32_t>(a.event) * 0x85EBCA77u +
                                   causes * 0xC2B2AE3Du) >> 24];
        if (cell.label != NoRef && cell.action == a.action && cell.event == a.event && cell.causes == causes)
            return cell.label;
        const std::lock_guard<std::mutex> guard(storeLock_);
        cell = LabelCell{a.action, a.event, causes, store_.LabelId(a.action, a.event, causes)};
        return cell.label;
    }

    // With marking, the level's sources are known to keep their keys: an arc
    // to a numbered state is known, and only each thread's first arc to a
    // root that names no state keeps its successor (the root marked met
    // instead of looked up in this thread's map).
    void Expand(VectorStates& states, Blocks& blocks, std::int64_t levelFirst, std::int64_t levelEnd,
                ExplorationShared& shared, const MemoryWatch& memory, Signals& signals, bool marking);
    // The successors this thread put in the state table first in the level:
    // the level's new states, all threads together, when no key changed.
    std::size_t Fresh() const { return static_cast<std::size_t>(fresh_); }
    // Gives every arc of the sources explored its target's number.
    void Resolve(const VectorStates& states) {
        for (Arc& a : arcs)
            if (!a.Known()) {
                a.place = static_cast<std::uint32_t>(states.Named(a.Root()));
                a.ref = NoRef;
            }
    }

    unsigned id = 0;  // its place among the threads
    Engine engine;
    VectorEngine vectors;
    std::unique_ptr<Kept> kept;
    // The states of the level this thread explores (whole vectors, in
    // number order) and of the next one.
    GrowingArray<std::uint32_t> held, next;
    GrowingArray<Source> sources;
    GrowingArray<Arc> arcs;
    std::vector<std::uint32_t> keys;  // the new identities of sources
    std::size_t firsts = 0;           // arcs first to their root in this thread: more than its new states
    std::int64_t unguardedAt = -1;
    std::vector<std::int64_t> numbers;  // of the states held
    // Per other thread: its terms as made here (0 for not yet), and the terms
    // of its last packet for this thread.
    std::vector<std::vector<TermId>> translated, made;

private:
    StemStore& store_;
    std::mutex& storeLock_;
    StoreSets storeSets_;
    std::vector<std::uint32_t> state_, heldKey_, heldInner_, idleInner_, changed_, scratch_;
    std::array<ActionId, 32> rootActions_{};
    struct LabelCell {
        ActionId action;
        std::int32_t event;
        EventSetId causes;
        std::uint32_t label = NoRef;
    };
    std::array<LabelCell, 256> labels_{};
    // A state's transitions as derived: the pair at the successor's root
    // when its other pairs are known (else its key and changed slots, kept).
    struct Derived {
        VectorArc arc;
        std::uint64_t rootPair;
        std::uint32_t keyAt, firstChanged, changedCount;
    };
    std::vector<Derived> derived_;
    std::vector<std::uint32_t> derivedKeys_, derivedChanged_;
    std::int64_t arcsSinceCheck_ = 0;
    unsigned threads_ = 1;
    RootMap firstTo_;  // per root met in this level, the reference of this thread's first successor to it
    // Successors of this level that no state holds, each identity once.
    std::int64_t fresh_ = 0;
};

void Worker::Expand(VectorStates& states, Blocks& blocks, std::int64_t levelFirst, std::int64_t levelEnd,
                    ExplorationShared& shared, const MemoryWatch& memory, Signals& signals, bool marking) {
    sources.clear();
    arcs.clear();
    keys.clear();
    firsts = 0;
    kept->Clear();
    firstTo_.Clear();
    fresh_ = 0;
    const std::uint32_t width = vectors.Width();
    const std::uint32_t keyWidth = vectors.KeyWidth();
    auto halt = [&] { signals.abandon.store(true, std::memory_order_relaxed); };
    std::int64_t arcsUntold = 0;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (signals.abandon.load(std::memory_order_relaxed)) return;
        if (shared.stopRequested.load(std::memory_order_relaxed)) return halt();
        state_.assign(held.begin() + i * width, held.begin() + (i + 1) * width);
        Source source{static_cast<std::uint32_t>(arcs.size()), 0, -1};
        // Its key as it was found, read back from the table.
        states.KeyOf(numbers[i], heldKey_.data(), heldInner_);
        if (vectors.Normalise(state_.data())) {
            source.rekeyAt = static_cast<std::int64_t>(keys.size());
            keys.resize(keys.size() + keyWidth);
            vectors.Key(state_.data(), keys.data() + source.rekeyAt);
        }
        bool idleKnown = false, idleAsked = false;
        bool stop = false;
        // The transitions are derived first, the place of each successor's
        // root brought into the cache when its other pairs are known; they
        // are then interned in order.
        derived_.clear();
        derivedKeys_.clear();
        derivedChanged_.clear();
        auto derive = [&](const VectorArc& a, const std::uint32_t*) {
            const std::uint32_t* key = vectors.SuccessorKey();
            const std::uint32_t* idle = vectors.IdleKey();
            if (!idleAsked) {
                // The source as it stands idle is most often the source itself.
                if (std::equal(idle, idle + keyWidth, heldKey_.begin())) {
                    idleInner_ = heldInner_;
                    idleKnown = true;
                } else {
                    idleKnown = states.Known(idle, idleInner_);
                }
                idleAsked = true;
            }
            const std::vector<std::uint32_t>& changed = vectors.ChangedKeySlots();
            std::uint64_t rootPair = VectorTree::NoRoot;
            if (idleKnown && changed.size() == 1)
                rootPair = states.PrefetchRootPair(idle, idleInner_, changed[0], key[changed[0]]);
            derived_.push_back(Derived{a, rootPair, static_cast<std::uint32_t>(derivedKeys_.size()),
                                       static_cast<std::uint32_t>(derivedChanged_.size()),
                                       static_cast<std::uint32_t>(changed.size())});
            if (rootPair == VectorTree::NoRoot) {
                derivedKeys_.insert(derivedKeys_.end(), key, key + keyWidth);
                derivedChanged_.insert(derivedChanged_.end(), changed.begin(), changed.end());
            }
            return true;
        };
        auto take = [&](std::size_t k) {
            const Derived& d = derived_[k];
            const VectorArc& a = d.arc;
            if (++arcsSinceCheck_ >= MemoryCheckStep) {
                arcsSinceCheck_ = 0;
                // What the level's arcs may still take: each thread's records
                // (their vector doubling at worst), then the store's bytes
                // each (the store's arrays grow in place, page by page).
                const std::int64_t growth =
                    static_cast<std::int64_t>((2 * sizeof(Arc) + store_.BytesPerArc()) * arcs.size() * threads_) +
                    static_cast<std::int64_t>(engine.Bytes());
                if (memory.NearLimit(growth)) {
                    signals.memoryLow.store(true, std::memory_order_relaxed);
                    halt();
                }
                if (signals.abandon.load(std::memory_order_relaxed)) {
                    stop = true;
                    return false;
                }
            }
            bool isNew = false;
            std::uint32_t root = PairTable::Full;
            if (d.rootPair != VectorTree::NoRoot) {
                root = states.InternRootPair(d.rootPair, isNew);
            } else {
                changed_.assign(derivedChanged_.begin() + d.firstChanged,
                                derivedChanged_.begin() + d.firstChanged + d.changedCount);
                root = states.InternNear(derivedKeys_.data() + d.keyAt, vectors.IdleKey(), idleInner_, idleKnown,
                                         changed_, scratch_, isNew);
            }
            if (root == PairTable::Full) {
                signals.tableFull.store(true, std::memory_order_relaxed);
                halt();
                stop = true;
                return false;
            }
            Arc arc{StoreLabel(a), root, NoRef};
            const std::int32_t named = isNew ? VectorStates::NoState : states.Named(root);
            if (named >= 0 && (marking || named < levelFirst)) {
                // A state of an earlier level keeps its number whatever this
                // level renumbers, and so does every state in a level where no key changes.
                arc.place = static_cast<std::uint32_t>(named);
            } else {
                // Numbered by the numbering, in the order of the rules: a new
                // state is the successor of its first arc there, which is this
                // thread's first arc to it. Its whole vector is kept then.
                auto keep = [&] {
                    const std::uint32_t* whole = vectors.Replay(k);
                    std::uint32_t mask = 0;
                    vectors.RootEvents(whole, mask, rootActions_.data());
                    return kept->Add(whole, mask, rootActions_.data(), blocks.lock, blocks.owner);
                };
                bool first = false;
                std::uint32_t ref = Arc::Later;
                if (marking) {
                    first = states.MarkMet(root, id);
                    if (first) ref = keep();
                } else {
                    std::uint32_t& mapped = firstTo_.At(root);
                    first = mapped == NoRef;
                    if (first) mapped = keep();
                    ref = mapped;
                }
                if (ref == NoRef) {
                    signals.memoryLow.store(true, std::memory_order_relaxed);
                    halt();
                    stop = true;
                    return false;
                }
                arc.ref = ref | (first ? Arc::FirstBit : 0);
                if (first) ++firsts;
                if (isNew) ++fresh_;
            }
            arcs.push_back(arc);
            return true;
        };
        vectors.Expand(state_.data(), derive);
        for (std::size_t k = 0; k < derived_.size() && !stop; ++k) take(k);
        if (stop) return;
        if (engine.unguardedProcess && unguardedAt < 0) unguardedAt = numbers[i];
        source.arcCount = static_cast<std::uint32_t>(arcs.size()) - source.firstArc;
        sources.push_back(source);
        // The counters that progress shows, shared by the threads, are told
        // every few sources: each addition takes their cache line from the others.
        arcsUntold += source.arcCount;
        if ((sources.size() & 63) == 0) {
            shared.levelProgress.fetch_add(64, std::memory_order_relaxed);
            shared.arcs.fetch_add(arcsUntold, std::memory_order_relaxed);
            arcsUntold = 0;
            // The successors new to the table are a lower bound of the level's new states.
            shared.StatesAtLeast(levelEnd + fresh_);
        }
    }
    shared.levelProgress.fetch_add(static_cast<std::int64_t>(sources.size() & 63), std::memory_order_relaxed);
    shared.arcs.fetch_add(arcsUntold, std::memory_order_relaxed);
    shared.StatesAtLeast(levelEnd + fresh_);
}

// A state numbered in a level: its number, the thread that found it and its record there.
struct Found {
    std::int64_t number;
    unsigned discoverer;
    std::uint32_t index;  // of its whole vector among the discoverer's kept ones
};

// The thread that holds each new state: its discoverer, unless that one
// found more than its share of the level; the surplus goes to the threads
// that found the least, so that the next level's work is balanced. A state
// that changes threads has its terms and events made again in the other
// thread's engine (each distinct term once: the translations are kept).
void Hand(std::vector<std::unique_ptr<Worker>>& workers, const std::vector<Found>& found,
          std::vector<std::uint8_t>& holderOf, unsigned holders) {
    const auto threads = static_cast<unsigned>(workers.size());
    constexpr unsigned Pending = ~0u;
    std::vector<unsigned> holder(found.size(), 0);
    const std::size_t share = (found.size() + holders - 1) / holders;
    std::vector<std::size_t> kept(threads, 0);
    for (std::size_t i = 0; i < found.size(); ++i) {
        const unsigned d = found[i].discoverer;
        holder[i] = d < holders && kept[d] < share ? d : Pending;
        if (holder[i] != Pending) ++kept[d];
    }
    unsigned taker = 0;
    for (unsigned& h : holder) {
        if (h != Pending) continue;
        while (kept[taker] >= share) ++taker;
        h = taker;
        ++kept[taker];
    }
    const std::uint32_t width = workers[0]->vectors.Width();
    // The terms of the states that change threads, packed once per pair of threads.
    struct Fix {
        unsigned to;
        std::size_t at;   // slot in the holder's next states
        unsigned from;
        std::uint32_t place;  // in the packet from -> to, plus one: its term in the made terms
    };
    std::vector<Fix> fixes;
    std::vector<std::vector<TermPacket>> packets(threads, std::vector<TermPacket>(threads));
    std::vector<std::pair<std::size_t, std::size_t>> moved;  // (found, where in the holder's next states)
    holderOf.clear();
    for (std::size_t i = 0; i < found.size(); ++i) {
        Worker& to = *workers[holder[i]];
        const std::uint32_t* whole = workers[found[i].discoverer]->kept->Whole(found[i].index);
        if (holder[i] != found[i].discoverer) moved.emplace_back(i, to.next.size());
        to.next.append(std::span<const std::uint32_t>(whole, width));
        to.numbers.push_back(found[i].number);
        holderOf.push_back(static_cast<std::uint8_t>(holder[i]));
    }
    for (unsigned f = 0; f < threads; ++f) {
        Worker& from = *workers[f];
        for (unsigned t = 0; t < threads; ++t) {
            if (t == f) continue;
            Worker& to = *workers[t];
            std::vector<TermId>& known = to.translated[f];
            for (const auto& [i, base] : moved) {
                if (found[i].discoverer != f || holder[i] != t) continue;
                for (std::uint32_t slot = 0; slot < width; ++slot) {
                    std::uint32_t& value = to.next[base + slot];
                    if (!to.vectors.IsComponent(slot)) {
                        if (value != VectorEngine::Derived) {
                            std::array<ActionId, 32> actions{};
                            const ActionId* source = from.engine.EventActions(value);
                            const std::uint32_t mask = from.engine.EventMask(value);
                            std::copy(source, source + std::popcount(mask), actions.begin());
                            value = to.engine.MakeEvents(mask, actions.data());
                        }
                    } else if (value == 0) {
                        // The null term (an operand that ended) is the null term everywhere.
                    } else if (value < known.size() && known[value]) {
                        value = known[value];
                    } else {
                        fixes.push_back(Fix{t, base + slot, f, from.engine.Pack(value, packets[f][t])});
                    }
                }
            }
            // One packing per destination: a node shared by two packets is in each.
            from.engine.EndPacking();
        }
    }
    std::vector<TermId> made;
    for (unsigned f = 0; f < threads; ++f) {
        for (unsigned t = 0; t < threads; ++t) {
            if (packets[f][t].nodes.empty()) continue;
            workers[t]->engine.Unpack(packets[f][t], made);
            workers[t]->made[f] = made;
        }
    }
    for (const Fix& fix : fixes) {
        Worker& to = *workers[fix.to];
        std::uint32_t& value = to.next[fix.at];
        const TermId term = to.made[fix.from][fix.place];
        // value is still the discoverer's term.
        std::vector<TermId>& known = to.translated[fix.from];
        if (known.size() <= value) known.resize(value + value / 2 + 64, 0);
        known[value] = term;
        value = term;
    }
}

}  // namespace

bool ExploreVectorLevels(const std::shared_ptr<const Compilation>& compilation, const GenerationSettings& settings,
                         unsigned threads, StemStore& store, ExplorationShared& shared, GenerationResult& result) {
    SharedNames names(store.actions);
    std::mutex storeLock;
    const MemoryWatch memory(settings.memoryLimit);
    // Threads, and the engines they hold, are made when a level first needs
    // them: a small system explores on one, whatever was asked.
    Crew crew(WorkerStack);
    std::vector<std::unique_ptr<Worker>> workers;
    std::vector<std::uint32_t> state;
    const auto enlist = [&](unsigned wanted) {
        const unsigned size = crew.Grow(wanted);
        while (workers.size() < size) {
            workers.push_back(std::make_unique<Worker>(store.actions, settings, names, store, storeLock));
            Worker& w = *workers.back();
            w.id = static_cast<unsigned>(workers.size() - 1);
            w.engine.WatchMemory(&memory);
            std::vector<std::uint32_t> initial;
            if (!w.Start(compilation.get(), initial)) return 0u;
            if (workers.size() > 1) w.vectors.SetKeyOrder(workers[0]->vectors.KeyOrder());
        }
        for (auto& w : workers) w->Threads(static_cast<unsigned>(workers.size()));
        return std::min(wanted, size);
    };
    try {
        // The first engine takes the structure and plans the identity vector.
        workers.push_back(std::make_unique<Worker>(store.actions, settings, names, store, storeLock));
        workers[0]->engine.WatchMemory(&memory);
        if (!workers[0]->Start(compilation.get(), state)) return false;
        workers[0]->vectors.PlanKey(state.data());
        crew.Grow(1);
        workers[0]->Threads(1);
    } catch (const std::bad_alloc&) {
        return false;  // the term engine says how memory ran out
    }
    unsigned active = 1;  // the threads holding the states of the level being explored
    const std::uint32_t keyWidth = workers[0]->vectors.KeyWidth();
    VectorStates states(keyWidth);
    // Whether a step that takes that many bytes at once leaves the memory
    // within its limits (a small one fits the room the watch keeps free).
    const auto roomFor = [&](std::size_t bytes) {
        return bytes < SmallGrowth || !memory.NearLimit(static_cast<std::int64_t>(bytes));
    };
    // A growth of the state table between levels makes its new tables empty
    // on every thread of the crew (not from inside a job of the crew).
    bool crewIdle = true;
    states.ShareGrowth([&](const std::function<void(unsigned, unsigned)>& job) {
        const unsigned parts = crewIdle ? crew.Size() : 1;
        if (parts < 2) return job(0, 1);
        crew.Run(parts, [&](unsigned member) { job(member, parts); });
    });
    Signals signals;
    Blocks blocks;
    shared.levelPasses.store(2, std::memory_order_relaxed);  // derived, then numbered

    std::int64_t count = 0, explored = 0, depth = 0;
    std::int64_t levelFirst = 0, levelEnd = 0, previousFirst = 0;
    bool stop = false, stoppedOutside = false;
    std::vector<std::uint8_t> owner;  // of each state of the level being explored
    std::vector<Found> found;         // the states numbered in this level
    std::vector<std::size_t> cursor;
    std::vector<StemStore::LabelledArc> arcs;
    std::vector<std::uint32_t> key(keyWidth);
    try {
        Worker& first = *workers[0];
        first.vectors.Key(state.data(), key.data());
        states.Add(key.data());
        first.held.append(state);
        first.numbers = {0};
        owner.push_back(0);
        store.AppendState(0, EventSet{});
        count = 1;
        levelEnd = 1;
        // The threads mark the roots they meet until a level changes a key:
        // from then on each keeps a map of its own.
        bool marking = threads <= VectorStates::MarkingThreads && !settings.rootMapsFromStart;
        const std::function<void(unsigned)> expand = [&](unsigned w) {
            workers[w]->Expand(states, blocks, levelFirst, levelEnd, shared, memory, signals, marking);
        };
        // New states per state explored so far, for the room a level's new keys may take.
        double newPerState = 4;
        // A key changes at most once per state of the level, and each change
        // may intern a pair per level of the tree.
        const std::size_t pairsPerKey = 2 + std::bit_width(keyWidth);
        std::size_t rekeyReserve = 1024;
        while (levelFirst < levelEnd && !stop) {
            shared.levelStates.store(levelEnd - levelFirst, std::memory_order_relaxed);
            shared.levelProgress.store(depth * ExplorationShared::LevelUnit, std::memory_order_relaxed);
            const auto levelSize = static_cast<std::size_t>(levelEnd - levelFirst);
            const std::size_t levelKeys = static_cast<std::size_t>(newPerState * static_cast<double>(levelSize)) + 1024;
            // The tables grow while the old ones stand: not past the memory.
            if (!roomFor(states.ReserveBytes(levelKeys, rekeyReserve))) {
                result.stoppedByMemory = true;
                break;
            }
            states.Reserve(levelKeys, rekeyReserve);
            blocks.owner.clear();
            crew.Run(active, expand);
            if (signals.tableFull.load()) {
                // The state table filled up: it grows (forgetting the keys of this level)
                // and the level is explored again, unless the exploration ends
                // here, keeping the levels numbered so far.
                shared.arcs.store(store.ArcCount(), std::memory_order_relaxed);
                if (signals.memoryLow.load() || shared.stopRequested.load() ||
                    !roomFor(states.GrowthBytes())) {
                    result.stoppedByMemory = !shared.stopRequested.load() || signals.memoryLow.load();
                    break;
                }
                states.GrowNow();
                signals.tableFull.store(false);
                signals.abandon.store(false);
                newPerState *= 4;
                continue;
            }
            std::size_t rekeys = 0;
            for (unsigned w = 0; w < active; ++w)
                for (const Source& source : workers[w]->sources) rekeys += source.rekeyAt >= 0 ? 1 : 0;
            if (rekeys > 0 && marking) {
                // A key changed: an arc to a state of this level may yet find
                // it vacated, and need its successor. The level is explored
                // again (its keys forgotten), each thread keeping its map.
                marking = false;
                if (!roomFor(states.GrowthBytes())) {
                    result.stoppedByMemory = true;
                    break;
                }
                states.GrowNow();
                shared.arcs.store(store.ArcCount(), std::memory_order_relaxed);
                if (signals.abandon.load()) {
                    result.stoppedByMemory = signals.memoryLow.load();
                    break;
                }
                continue;
            }
            if (rekeys * pairsPerKey > rekeyReserve) {
                // The changes of key may need more room than was left: the
                // level is explored again with that room.
                if (!roomFor(states.GrowthBytes())) {
                    result.stoppedByMemory = true;
                    break;
                }
                states.GrowNow();
                shared.arcs.store(store.ArcCount(), std::memory_order_relaxed);
                if (signals.abandon.load()) {
                    result.stoppedByMemory = signals.memoryLow.load();
                    break;
                }
                rekeyReserve = rekeys * pairsPerKey + 1024;
                continue;
            }
            if (signals.abandon.load()) {
                result.stoppedByMemory = signals.memoryLow.load();
                if (result.stoppedByMemory) break;
                // Stopped from outside: the states each thread explored
                // before it stopped keep their arcs, up to the first one
                // some thread did not reach, and their successors are numbered.
                stoppedOutside = true;
            }
            // What numbering the level and handing its new states over will
            // take: each new state's record in the store, a copy of its vector
            // for the thread that explores it, the store's arcs, and the growth of the
            // state table before the next level. Not there, the exploration
            // stops now, with the levels numbered so far.
            std::size_t bound = 0, levelArcs = 0;  // at least as many as the new states; the arcs
            for (unsigned w = 0; w < active; ++w) {
                bound += workers[w]->firsts;
                levelArcs += workers[w]->arcs.size();
            }
            const std::uint32_t width = workers[0]->vectors.Width();
            const std::size_t levelNeeds = bound * (2 * sizeof(std::uint32_t) * width + 64) +
                                           levelArcs * (store.BytesPerArc() + 1) + 2 * states.Bytes();
            if (!stoppedOutside && !roomFor(levelNeeds)) {
                result.stoppedByMemory = true;
                break;
            }
            for (auto& w : workers) {
                w->next.clear();
                w->numbers.clear();
            }
            std::vector<std::uint8_t> nextOwner;
            cursor.assign(workers.size(), 0);
            const std::uint32_t epoch = states.Epoch();
            // Numbers in the order of the first discoverer, as one thread gives them.
            auto numberNew = [&](const Arc& a) {
                // A new state: the successor of this arc, whose vector was kept.
                assert(a.Ref() != Arc::Later && "the successor of a first arc");
                const auto [holder, index] = blocks.Where(a.Ref());
                const std::int64_t target = count++;
                states.Number(a.Root());
                found.push_back(Found{target, holder, index});
                const std::uint32_t* events = workers[holder]->kept->Events(index);
                store.AppendState(static_cast<std::int32_t>(target), store.InternEvents(events[0], events + 1));
                return target;
            };
            const bool rekeyed = rekeys > 0;
            if (!rekeyed) {
                // No key changes in this level: a root names the state its first arc
                // in the rules' order numbered, which is some thread's first arc to
                // it. Those alone are looked at in order; the threads then resolve
                // their arcs at once, and the store takes them in order.
                // A stop asked during the pass keeps the sources numbered so far.
                std::int64_t numbered = levelFirst;
                // The first arcs of the sources a few ahead: the number cells
                // of their roots, and where their successors' events will be
                // interned, brought into the cache.
                constexpr std::int64_t Ahead = 6;
                std::vector<std::size_t> ahead(workers.size(), 0);
                auto prefetch = [&](std::int64_t s) {
                    const unsigned w = owner[static_cast<std::size_t>(s - levelFirst)];
                    const Worker& worker = *workers[w];
                    if (ahead[w] >= worker.sources.size()) return;
                    const Source& source = worker.sources[ahead[w]++];
                    for (std::uint32_t k = source.firstArc; k < source.firstArc + source.arcCount; ++k) {
                        const Arc& a = worker.arcs[k];
                        if (!a.First()) continue;
                        states.PrefetchNamed(a.Root());
                        const auto [holder, index] = blocks.Where(a.Ref());
                        const std::uint32_t* events = workers[holder]->kept->Events(index);
                        store.PrefetchEvents(events[0], events + 1);
                    }
                };
                auto numberPass = [&] {
                    for (std::int64_t s = levelFirst; s < std::min(levelEnd, levelFirst + Ahead); ++s) prefetch(s);
                    for (std::int64_t s = levelFirst; s < levelEnd; ++s) {
                        if (s + Ahead < levelEnd) prefetch(s + Ahead);
                        const unsigned w = owner[static_cast<std::size_t>(s - levelFirst)];
                        Worker& worker = *workers[w];
                        if (cursor[w] >= worker.sources.size()) break;  // a thread stopped before this state
                        const Source& source = worker.sources[cursor[w]++];
                        for (std::uint32_t k = source.firstArc; k < source.firstArc + source.arcCount; ++k) {
                            const Arc& a = worker.arcs[k];
                            if (a.First() && states.Named(a.Root()) < 0) numberNew(a);
                        }
                        numbered = s + 1;
                        if (ShowNumbered(store, shared, s, count)) {
                            stoppedOutside = true;
                            break;
                        }
                    }
                };
                // The pass is alone: meanwhile a second thread takes the page
                // faults of what the level will store (its states and arcs,
                // and the vectors of its new states handed to the threads).
                if (crew.Size() > 1) {
                    std::size_t fresh = 0;
                    for (unsigned w = 0; w < active; ++w) fresh += workers[w]->Fresh();
                    const StemStore::Room room = store.MakeRoom(fresh, levelArcs);
                    const std::size_t share = (fresh / workers.size() + 1) * width;
                    for (auto& w : workers) w->next.reserve(share);
                    crewIdle = false;
                    crew.Run(2, [&](unsigned member) {
                        if (member == 0) return numberPass();
                        store.PopulateRoom(room);
                        for (const auto& w : workers) w->next.Populate(0, share);
                    });
                    crewIdle = true;
                } else {
                    numberPass();
                }
                crew.Run(active, [&](unsigned w) { workers[w]->Resolve(states); });
                cursor.assign(workers.size(), 0);
                for (std::int64_t s = levelFirst; s < numbered; ++s) {
                    const unsigned w = owner[static_cast<std::size_t>(s - levelFirst)];
                    Worker& worker = *workers[w];
                    if (cursor[w] >= worker.sources.size()) break;
                    const Source& source = worker.sources[cursor[w]++];
                    arcs.clear();
                    for (std::uint32_t k = source.firstArc; k < source.firstArc + source.arcCount; ++k) {
                        const Arc& a = worker.arcs[k];
                        arcs.push_back(StemStore::LabelledArc{a.place, a.label});
                    }
                    // Stored in the order found; the store reads them back newest first.
                    store.SetArcs(static_cast<std::size_t>(s), arcs);
                    explored = s + 1;
                }
            }
            for (std::int64_t s = levelFirst; s < levelEnd && rekeyed; ++s) {
                const unsigned w = owner[static_cast<std::size_t>(s - levelFirst)];
                Worker& worker = *workers[w];
                if (cursor[w] >= worker.sources.size()) break;  // a thread stopped before this state
                const Source& source = worker.sources[cursor[w]++];
                if (source.rekeyAt >= 0) {
                    states.Rekey(s, worker.keys.data() + source.rekeyAt);
                    // The reserve keeps the roots of this level where they are.
                    if (states.Epoch() != epoch) throw std::logic_error("the state table grew while a level was numbered");
                }
                arcs.clear();
                for (std::uint32_t k = source.firstArc; k < source.firstArc + source.arcCount; ++k) {
                    const Arc& a = worker.arcs[k];
                    std::int64_t target = a.Known() ? a.Target() : -1;
                    if (target < 0) {
                        const std::int32_t named = states.Named(a.Root());
                        target = named >= 0 ? named : numberNew(a);
                    }
                    arcs.push_back(StemStore::LabelledArc{static_cast<std::uint32_t>(target), a.label});
                }
                // Stored in the order found; the store reads them back newest first.
                store.SetArcs(static_cast<std::size_t>(s), arcs);
                explored = s + 1;
                if (ShowNumbered(store, shared, s, count)) {
                    stoppedOutside = true;
                    break;
                }
            }
            ShowLevelNumbered(store, shared, count);
            // Room for twice as many as this level found, the keys of known
            // states besides: a level that finds more explores again.
            if (levelSize > 0)
                newPerState = 2 * static_cast<double>(count - levelEnd) / static_cast<double>(levelSize) + 0.5;
            if (stoppedOutside) break;
            if (settings.stopAtDeadlockLevel && LevelHoldsDeadlock(store, previousFirst, levelFirst, levelEnd)) {
                result.stoppedAtDeadlock = true;
                break;
            }
            if (shared.stopRequested.load(std::memory_order_relaxed)) break;  // this level numbered, not handed over
            // The new states go to the threads that will explore them.
            const unsigned holders = enlist(LevelThreads(static_cast<std::int64_t>(found.size()), threads));
            if (holders == 0) throw std::bad_alloc();
            Hand(workers, found, nextOwner, holders);
            active = holders;
            found.clear();
            for (auto& w : workers) std::swap(w->held, w->next);
            owner.swap(nextOwner);
            previousFirst = levelFirst;
            ++depth;
            levelFirst = levelEnd;
            levelEnd = count;
        }
    } catch (const std::bad_alloc&) {
        // What was stored so far stays usable.
        result.stoppedByMemory = true;
        count = std::min<std::int64_t>(count, static_cast<std::int64_t>(store.StateCount()));
        explored = std::min(explored, count);
    }
    result.interrupted = explored < count || result.stoppedByMemory;
    result.exploredStates = explored;
    result.states = count;
    result.arcs = store.ArcCount();
    result.onVectors = true;
    result.threadsMade = static_cast<std::int32_t>(workers.size());
    std::int64_t unguardedAt = -1;
    for (const auto& w : workers) {
        result.eventNamesExhausted = result.eventNamesExhausted || w->engine.eventNamesExhausted;
        result.nodesBuilt += w->engine.TermCount();
        if (w->engine.unguardedProcess && w->unguardedAt >= 0 && (unguardedAt < 0 || w->unguardedAt < unguardedAt)) {
            unguardedAt = w->unguardedAt;
            result.unguardedRecursion = true;
            result.unguardedProcess = w->engine.unguardedProcess->name.Text();
        }
    }
    store.StemStateCount = static_cast<std::int32_t>(count);
    store.LastGenStateCount = static_cast<std::int32_t>(count);
    return true;
}

}  // namespace quarvo
