// The states of an exploration by their identity vectors, in a tree-compressed table that grows.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "generation/GrowingArray.h"
#include "generation/vector/TreeTable.h"

namespace quarvo {

// Each state has one key, its identity vector; a key names the state that
// holds it, or the earliest one when a state's key changed to one an
// earlier state holds. The tables grow (every key interned again, in state
// order) when one of them fills up: the inner pairs fourfold, the roots by
// half, each when it is fuller than the growth would leave it.
class VectorStates {
public:
    explicit VectorStates(std::uint32_t width, unsigned bits = 10);

    // The state the key names, -1 for none.
    std::int64_t Find(const std::uint32_t* key) const;
    // The same, with the values above the key's slots in inner (all of them
    // when the key is in the table, even if it names no state).
    std::int64_t Find(const std::uint32_t* key, std::vector<std::uint32_t>& inner) const {
        const std::uint32_t root = tables_->tree.Find(key, inner);
        return root == PairTable::Full ? -1 : numberOf_[root];
    }
    // The state named by the key that differs from key (whose inner values
    // Find gave) in slot alone, now value.
    std::int64_t FindChanged(const std::uint32_t* key, const std::vector<std::uint32_t>& inner, std::uint32_t slot,
                             std::uint32_t value) const {
        const std::uint32_t root = tables_->tree.FindChanged(key, inner, slot, value);
        return root == PairTable::Full ? -1 : numberOf_[root];
    }
    // The state named by key, where inner holds the inner values of a key in
    // the table that differs from it in the slots changed (increasing) alone;
    // inner is overwritten.
    std::int64_t FindChanges(const std::uint32_t* key, std::vector<std::uint32_t>& inner,
                             const std::vector<std::uint32_t>& changed) const {
        const std::uint32_t root = tables_->tree.FindChanges(key, inner, changed.data(), changed.size());
        return root == PairTable::Full ? -1 : numberOf_[root];
    }
    // The state named by key, which differs from base (a key in the table,
    // whose inner values Find gave in baseInner) in the slots changed alone;
    // scratch and changed are worked in.
    std::int64_t FindNear(const std::uint32_t* key, const std::uint32_t* base, const std::vector<std::uint32_t>& baseInner,
                          std::vector<std::uint32_t>& changed, std::vector<std::uint32_t>& scratch) const {
        if (changed.empty()) return Find(key);
        if (changed.size() == 1) return FindChanged(base, baseInner, changed[0], key[changed[0]]);
        std::sort(changed.begin(), changed.end());
        scratch = baseInner;
        return FindChanges(key, scratch, changed);
    }
    // Brings into the cache what FindNear will read for a key that differs
    // from base in one slot, and answers the pair at the root of the key
    // sought (for FindRootPair while the tables do not grow),
    // VectorTree::NoRoot when that key is surely not in the table.
    std::uint64_t PrefetchRootPair(const std::uint32_t* base, const std::vector<std::uint32_t>& baseInner,
                                   std::uint32_t slot, std::uint32_t value) const {
        std::uint32_t place = PairTable::Full;
        const std::uint64_t pair = tables_->tree.RootPairChanged(base, baseInner, slot, value, place);
        if (place != PairTable::Full) __builtin_prefetch(&numberOf_[place]);
        return pair;
    }
    // The same for a whole key: its root pair (VectorTree::NoRoot when the key
    // is surely not in the table), the places that FindRootPair will read
    // brought into the cache.
    std::uint64_t PrefetchKey(const std::uint32_t* key) const {
        std::uint32_t place = PairTable::Full;
        const std::uint64_t pair = tables_->tree.RootPair(key, place);
        if (place != PairTable::Full) __builtin_prefetch(&numberOf_[place]);
        return pair;
    }
    // The same, from the inner values of a key in the table that differs from
    // key in the slots changed alone (when innerKnown; see VectorTree::RootPairNear).
    std::uint64_t PrefetchKeyNear(const std::uint32_t* key, std::vector<std::uint32_t>& inner, bool innerKnown,
                                  const std::vector<std::uint32_t>& changed) const {
        std::uint32_t place = PairTable::Full;
        const std::uint64_t pair =
            tables_->tree.RootPairNear(key, inner, innerKnown, changed.data(), changed.size(), place);
        if (place != PairTable::Full) __builtin_prefetch(&numberOf_[place]);
        return pair;
    }
    // The state named by the key whose root is that pair, -1 for none.
    std::int64_t FindRootPair(std::uint64_t pair) const {
        const std::uint32_t root = tables_->tree.FindRoot(pair);
        return root == PairTable::Full ? -1 : numberOf_[root];
    }
    void PrefetchKeyOf(std::int64_t number) const {
        tables_->tree.PrefetchRoot(rootOf_[static_cast<std::size_t>(number)]);
    }
    // True when the key is in the table (the inner values of Find are then whole).
    bool Known(const std::uint32_t* key, std::vector<std::uint32_t>& inner) const {
        return tables_->tree.Find(key, inner) != PairTable::Full;
    }
    // ---- From several threads at once ------------------------------------------------------
    // While a level is explored, each thread interns the keys of the
    // successors it finds; the numbering, alone, gives the new keys their
    // numbers in the order of the rules.

    // The state a key's root names, negative for none (yet).
    static constexpr std::int32_t NoState = -1;
    std::int32_t Named(std::uint32_t root) const {
        return std::atomic_ref<const std::int32_t>(numberOf_[root]).load(std::memory_order_relaxed);
    }
    void PrefetchNamed(std::uint32_t root) const { __builtin_prefetch(&numberOf_[root]); }
    // A root that names no state keeps, in its number's place, which threads
    // met it in the level: MarkMet is true for a thread's first call on it.
    // The numbering replaces the marks, and a growth of the tables forgets them.
    static constexpr unsigned MarkingThreads = 30;
    bool MarkMet(std::uint32_t root, unsigned thread) {
        const std::int32_t bit = std::int32_t{1} << thread;
        return (std::atomic_ref<std::int32_t>(numberOf_[root]).fetch_and(~bit, std::memory_order_relaxed) & bit) != 0;
    }
    // The root of key, interned; isNew when this call put it in the table.
    // When baseKnown, key differs from base (a key in the table, baseInner
    // its inner values) in the slots changed alone. inner is worked in. Full
    // when the tables have no room left for it and the reserve.
    std::uint32_t InternNear(const std::uint32_t* key, const std::uint32_t* base, const std::vector<std::uint32_t>& baseInner,
                             bool baseKnown, const std::vector<std::uint32_t>& changed,
                             std::vector<std::uint32_t>& inner, bool& isNew);
    // The root of a key whose root pair PrefetchRootPair gave (the tables
    // not grown since), interned; as InternNear otherwise.
    std::uint32_t InternRootPair(std::uint64_t pair, bool& isNew) {
        isNew = false;
        Tables& t = *tables_;
        if (t.inner.Size() + reserve_ >= t.inner.Limit() || t.roots.Size() + reserve_ >= t.roots.Limit())
            return PairTable::Full;
        return t.roots.Intern(static_cast<std::uint32_t>(pair >> 32), static_cast<std::uint32_t>(pair), isNew);
    }
    // Numbers a root interned by InternNear (or vacated) as a new state, after every state so far.
    void Number(std::uint32_t root) {
        std::atomic_ref<std::int32_t>(numberOf_[root]).store(static_cast<std::int32_t>(rootOf_.size()),
                                                             std::memory_order_relaxed);
        rootOf_.push_back(root);
    }
    // Room for that many more pairs in each table, besides reserve pairs kept
    // for changes of key: grown now when the tables have less. Between levels.
    void Reserve(std::size_t keys, std::size_t reserve);
    // The tables grow, with every state's key and no other: the keys
    // interned by InternNear and not numbered are forgotten.
    void GrowNow() { Grow(); }
    // The bytes of the tables that GrowNow, or Reserve with these figures,
    // would make (0 when Reserve has the room already); the old ones stand
    // while they are made.
    std::size_t GrowthBytes(std::size_t room = 0) const;
    std::size_t ReserveBytes(std::size_t keys, std::size_t reserve) const;

    // A new state, numbered after every state added so far, with a key that
    // names no state. Add, AddRootPair, Rekey and the growths write to the
    // tables while no other thread does.
    void Add(const std::uint32_t* key);
    // The same for a key whose root pair (as PrefetchRootPair gave it, the
    // tables not grown since) is known: only the root is interned.
    void AddRootPair(std::uint64_t pair, const std::uint32_t* key);
    // The same, the inner values of the key (as Find gives them) copied into inner.
    void Add(const std::uint32_t* key, std::uint32_t* inner) {
        Add(key);
        std::copy(inner_.begin(), inner_.end(), inner);
    }
    std::uint32_t InnerSize() const { return tables_->tree.InnerSize(); }
    // The key of state number and its inner values, read back from the table.
    void KeyOf(std::int64_t number, std::uint32_t* key, std::vector<std::uint32_t>& inner) const {
        tables_->tree.Unfold(rootOf_[static_cast<std::size_t>(number)], key, inner);
    }
    // The key of state number changed: its old key no longer names it, the
    // new one does unless an earlier state holds it.
    void Rekey(std::int64_t number, const std::uint32_t* key);
    std::size_t Bytes() const;
    // How the tables made by a growth are made empty: on the threads that
    // split gives (while none of them uses this table).
    void ShareGrowth(Splitter split) { split_ = std::move(split); }
    // Counts the times the tables grew: inner values found before are stale after.
    std::uint32_t Epoch() const { return epoch_; }

private:
    struct Tables {
        Tables(std::unique_ptr<PairTable> innerTable, std::unique_ptr<PairTable> rootTable, std::uint32_t width)
            : innerOwned(std::move(innerTable)),
              rootsOwned(std::move(rootTable)),
              inner(*innerOwned),
              roots(*rootsOwned),
              tree(inner, roots, width) {}
        std::unique_ptr<PairTable> innerOwned, rootsOwned;
        PairTable &inner, &roots;
        VectorTree tree;
    };
    std::unique_ptr<Tables> MakeTables(std::size_t innerCells, std::size_t rootCells, std::uint32_t width) const {
        return std::make_unique<Tables>(std::make_unique<PairTable>(PairTable::Cells{innerCells}, split_),
                                        std::make_unique<PairTable>(PairTable::Cells{rootCells}, split_), width);
    }
    std::uint32_t Intern(const std::uint32_t* key);
    void Grow(std::size_t room = 0);
    std::pair<std::size_t, std::size_t> GrownCells(std::size_t room) const;  // inner and root cells
    bool Roomy(std::size_t keys, std::size_t reserve) const;
    // A number for each of that many root cells, none given.
    GrowingArray<std::int32_t> Unnumbered(std::size_t cells) const;

    std::uint32_t width_;
    Splitter split_ = AllAtOnce;  // how the tables of a growth are made empty (before the tables)
    // Each table grows on its own: the inner pairs are most often far fewer
    // than the roots, and a small table stays in the cache.
    std::size_t innerCells_, rootCells_;
    std::uint32_t epoch_ = 0;
    std::unique_ptr<Tables> tables_;
    GrowingArray<std::int32_t> numberOf_;  // per root cell, negative for none
    GrowingArray<std::uint32_t> rootOf_;  // per state, the root of its key
    std::vector<std::uint32_t> inner_, slots_;
    std::size_t reserve_ = 0;  // room InternNear leaves in each table
};

}  // namespace quarvo
