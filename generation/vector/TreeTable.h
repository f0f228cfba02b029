// A tree-compressed table of fixed-width state vectors, safe to fill from
// several threads without locks.
//
// A vector of k 32-bit slots is stored as a balanced binary tree of pairs:
// each pair of two 32-bit values is interned once in an open-addressing table
// of 64-bit cells, and named by the place of its cell; the pair at the root
// names the whole vector. Vectors that share slots share the pairs above
// them, so a state costs about one or two new cells whatever k, and a
// successor that differs in one slot re-interns only the log2(k) pairs on
// that slot's path. Insertion claims an empty cell by compare-and-swap; a
// cell never changes once claimed, so readers need no lock. The capacity is
// fixed when the table is made (a full table says so, and the exploration
// stops as it does when memory runs out): a resizable table would need every
// thread to stop while it grows.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "generation/GrowingArray.h"

namespace quarvo {

// Runs job(part, parts) for every part of a piece of work, on the threads
// at hand; the parts touch disjoint memory.
using Splitter = std::function<void(const std::function<void(unsigned, unsigned)>&)>;
inline void AllAtOnce(const std::function<void(unsigned, unsigned)>& job) { job(0, 1); }

class PairTable {
public:
    static constexpr std::uint32_t Full = 0xFFFFFFFFu;

    // A table of 2^bits cells (8 bytes each).
    explicit PairTable(unsigned bits) : PairTable(Cells{std::size_t{1} << bits}) {}
    // A table of that many cells (at least 8).
    struct Cells {
        std::size_t count;
    };
    explicit PairTable(Cells cells) : PairTable(cells, AllAtOnce) {}
    // The same, its cells made empty in parts by split.
    PairTable(Cells cells, const Splitter& split);

    // The name of the pair (a, b), interning it when new; inserted says
    // which. Full when the table has no room left (it fills up to 7/8).
    std::uint32_t Intern(std::uint32_t a, std::uint32_t b, bool& inserted);
    // The same, when no other thread writes to the table meanwhile (readers
    // may still look): no locked instruction.
    std::uint32_t InternAlone(std::uint32_t a, std::uint32_t b, bool& inserted);
    // The name of (a, b) if it is interned, Full otherwise; adds nothing.
    std::uint32_t Find(std::uint32_t a, std::uint32_t b) const { return Find(std::uint64_t{a} << 32 | b); }
    // The same for the pair as one key, a in its high half.
    std::uint32_t Find(std::uint64_t key) const;
    // Brings the cell where (a, b) is sought into the cache; answers its
    // place, where its name most often is.
    std::uint32_t Prefetch(std::uint32_t a, std::uint32_t b) const {
        const std::uint64_t place = PlaceOf(Hash(std::uint64_t{a} << 32 | b));
        __builtin_prefetch(&cells_[place]);
        return static_cast<std::uint32_t>(place);
    }
    // The pair a name stands for.
    std::uint32_t Left(std::uint32_t name) const { return static_cast<std::uint32_t>(Cell(name) >> 32); }
    std::uint32_t Right(std::uint32_t name) const { return static_cast<std::uint32_t>(Cell(name)); }
    void PrefetchName(std::uint32_t name) const { __builtin_prefetch(&cells_[name]); }

    std::size_t Size() const { return count_.load(std::memory_order_relaxed); }
    // How many pairs it takes before it says it is full.
    std::size_t Limit() const { return limit_; }
    std::size_t Capacity() const { return cellCount_; }
    std::size_t Bytes() const { return Capacity() * sizeof(std::uint64_t); }

private:
    // No pair is all ones: the cell of an empty place.
    static constexpr std::uint64_t Empty = ~std::uint64_t{0};
    // Cells are read and claimed atomically; they live in mapped memory,
    // which a table that grows gives back whole.
    std::atomic_ref<std::uint64_t> At(std::size_t place) const { return std::atomic_ref<std::uint64_t>(cells_[place]); }
    std::uint64_t Cell(std::uint32_t name) const { return At(name).load(std::memory_order_acquire); }
    static std::uint64_t Hash(std::uint64_t key);
    // The place a hash starts from: its high bits scaled to the table, so
    // that a table of any size is filled evenly.
    std::uint64_t PlaceOf(std::uint64_t hash) const {
        return static_cast<std::uint64_t>((static_cast<unsigned __int128>(hash) * cellCount_) >> 64);
    }
    std::uint64_t Next(std::uint64_t place) const { return place + 1 == cellCount_ ? 0 : place + 1; }

    mutable GrowingArray<std::uint64_t> cells_;
    std::uint64_t cellCount_;
    std::size_t limit_;
    std::atomic<std::size_t> count_{0};
};

// Vectors of one width over pair tables: the root name of a vector, the
// vector of a root, and a successor's root from its source's inner pairs.
// The inner pairs of every level share one table (the same pair may stand
// for two subtrees of different levels: a level is known from its place, so
// a root still names one vector). The roots have a table of their own, so
// that a root newly interned is a vector never seen.
class VectorTree {
public:
    VectorTree(PairTable& inner, PairTable& roots, std::uint32_t width);

    std::uint32_t Width() const { return width_; }

    // The values above the slots of a vector, level by level from the
    // bottom (the last level holds the two halves of the root), interning
    // what is new. Answers the root, PairTable::Full when a table is full;
    // newRoot says whether the vector is new. alone: no other thread writes
    // to the tables meanwhile.
    std::uint32_t Intern(const std::uint32_t* slots, std::vector<std::uint32_t>& inner, bool& newRoot,
                         bool alone = false);
    // The root of a vector that differs from the one whose slots and inner
    // names are given in slot `changed` alone, now `value`: only the pairs
    // on that slot's path are interned.
    std::uint32_t InternChanged(const std::uint32_t* slots, const std::vector<std::uint32_t>& inner,
                                std::uint32_t changed, std::uint32_t value, bool& newRoot);
    // The number of values above the slots.
    std::uint32_t InnerSize() const { return innerSize_; }
    // The root of a vector if it is known, Full otherwise; adds nothing.
    std::uint32_t Find(const std::uint32_t* slots) const;
    // The same, the values above the slots written into inner as Intern
    // writes them (all of them when the vector is known).
    std::uint32_t Find(const std::uint32_t* slots, std::vector<std::uint32_t>& inner) const;
    // The root of the vector that differs from a known one (its slots and
    // inner values given) in slot `changed` alone, now `value`, if it is
    // known; Full otherwise.
    std::uint32_t FindChanged(const std::uint32_t* slots, const std::vector<std::uint32_t>& inner,
                              std::uint32_t changed, std::uint32_t value) const;
    // Brings into the cache the root's cell of the vector that differs from
    // a known one in slot `changed` alone (as FindChanged would seek it),
    // whose place is set; answers the pair the root would be (a key for
    // FindRoot), or NoRoot when a pair on the way is not in the table (the
    // vector is not either).
    static constexpr std::uint64_t NoRoot = ~std::uint64_t{0};
    std::uint64_t RootPairChanged(const std::uint32_t* slots, const std::vector<std::uint32_t>& inner,
                                  std::uint32_t changed, std::uint32_t value, std::uint32_t& place) const;
    // The root of that pair if it is known, Full otherwise.
    std::uint32_t FindRoot(std::uint64_t pair) const { return roots_.Find(pair); }
    // The pair at the root of a whole vector, its cell brought into the cache
    // (place set to where it most often is), or NoRoot when a pair on the way
    // is not in the table (the vector is not either).
    std::uint64_t RootPair(const std::uint32_t* slots, std::uint32_t& place) const;
    // The same, the values above the slots written into inner; when
    // innerKnown, inner holds those of a vector in the table that differs
    // from slots in the slots changed alone (increasing), and only the pairs
    // above them are looked up. inner is whole when the answer is not NoRoot.
    std::uint64_t RootPairNear(const std::uint32_t* slots, std::vector<std::uint32_t>& inner, bool innerKnown,
                               const std::uint32_t* changed, std::size_t count, std::uint32_t& place) const;
    // The same for the vector a root names.
    void PrefetchRoot(std::uint32_t root) const { roots_.PrefetchName(root); }
    // The root of the vector slots if it is known, Full otherwise, where
    // inner holds the inner values of a known vector that differs from it in
    // the slots changed alone (increasing): only the pairs above them are
    // looked up. inner is left as the inner values of slots, as far as they
    // are known.
    std::uint32_t FindChanges(const std::uint32_t* slots, std::vector<std::uint32_t>& inner,
                              const std::uint32_t* changed, std::size_t count) const;
    // The slots of the vector a root names.
    void Slots(std::uint32_t root, std::uint32_t* slots) const;
    // The same with the values above them, as Find writes them.
    void Unfold(std::uint32_t root, std::uint32_t* slots, std::vector<std::uint32_t>& inner) const;

private:
    // The tree pairs values level by level; an odd one out at the end of a
    // level goes up as it is, until two values are left: the root's halves.
    // A vector of one slot is the root (slot, 0).
    std::uint32_t Value(const std::uint32_t* slots, const std::uint32_t* inner, std::size_t level,
                        std::size_t i) const {
        return level == 0 ? slots[i] : inner[levelStart_[level] + i];
    }
    bool RootHalves(const std::uint32_t* slots, std::uint32_t& left, std::uint32_t& right) const;
    // The values above the slots into inner, along the paths of the slots
    // changed alone or all of them; false when a pair is not in the table.
    bool InnerChanges(const std::uint32_t* slots, std::vector<std::uint32_t>& inner, const std::uint32_t* changed,
                      std::size_t count) const;
    bool InnerWhole(const std::uint32_t* slots, std::vector<std::uint32_t>& inner, std::uint32_t& left,
                    std::uint32_t& right) const;
    template <typename Pair, typename Root>
    std::uint32_t AlongPath(const std::uint32_t* slots, const std::vector<std::uint32_t>& inner, std::uint32_t changed,
                            std::uint32_t value, const Pair& pair, const Root& root) const;
    std::vector<std::uint32_t> levelSize_;   // values on each level, the slots first
    std::vector<std::uint32_t> levelStart_;  // where each level above the slots starts in the inner values
    std::uint32_t innerSize_ = 0;
    PairTable& inner_;
    PairTable& roots_;
    std::uint32_t width_;
};

}  // namespace quarvo
