// A thread of the level-by-level exploration on state vectors: what it
// derives from its part of a level (arcs, the whole vectors of the new
// successors it met first), and the hand-over of a level's new states to the
// threads that explore them next.
#pragma once

#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

#include "generation/Engine.h"
#include "generation/GenerationTypes.h"
#include "generation/GrowingArray.h"
#include "generation/LevelExploration.h"
#include "generation/MemoryWatch.h"
#include "generation/StoreSets.h"
#include "generation/vector/VectorEngine.h"
#include "generation/vector/VectorStates.h"

namespace quarvo::levels {

// How often, in transitions, a thread looks at the memory in use.
constexpr std::int64_t MemoryCheckStep = 1 << 14;

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
    // Keeps whole, with the maximal events it would have as a state (packed
    // and hashed: the store's interning of them needs no more); its
    // reference, NoRef when none is left.
    std::uint32_t Add(const std::uint32_t* whole, const EventSetPool::Packed& events, std::mutex& lock,
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
        const std::size_t at = events_.size();
        events_.resize_for_overwrite(at + EventSetPool::RecordSize(events));
        EventSetPool::WriteRecord(events, events_.data() + at);
        ++count_;
        return next_++;
    }
    const std::uint32_t* Whole(std::uint32_t index) const { return wholes_.data() + std::size_t{index} * width_; }
    // A kept vector's maximal events, packed and hashed by the thread that
    // kept it (EventSetPool::WriteRecord).
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
    EventSetPool::Packed rootEvents_;
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
          std::vector<std::uint8_t>& holderOf, unsigned holders);

}  // namespace quarvo::levels
