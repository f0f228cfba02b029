// Lock-free interning of pairs, and state vectors as trees of pairs.
#include "generation/vector/TreeTable.h"

#include <algorithm>
#include <array>
#include <cassert>

namespace quarvo {

PairTable::PairTable(Cells cells, const Splitter& split)
    : cellCount_(std::max<std::size_t>(cells.count, 8)), limit_(cellCount_ / 8 * 7) {
    cells_.reserve(cellCount_);
    cells_.resize_for_overwrite(cellCount_);
    split([&](unsigned part, unsigned parts) {
        std::fill(cells_.begin() + cellCount_ * part / parts, cells_.begin() + cellCount_ * (part + 1) / parts, Empty);
    });
}

std::uint64_t PairTable::Hash(std::uint64_t key) {
    key ^= key >> 31;
    key *= 0x7FB5D329728EA185ull;
    key ^= key >> 27;
    key *= 0x81DADEF4BC2DD44Dull;
    key ^= key >> 33;
    return key;
}

std::uint32_t PairTable::Intern(std::uint32_t a, std::uint32_t b, bool& inserted) {
    const std::uint64_t key = std::uint64_t{a} << 32 | b;
    assert(key != Empty && "a pair of two all-ones values has no cell");
    inserted = false;
    for (std::uint64_t i = PlaceOf(Hash(key));; i = Next(i)) {
        std::uint64_t cell = At(i).load(std::memory_order_acquire);
        if (cell == Empty) {
            if (count_.load(std::memory_order_relaxed) >= limit_) return Full;
            if (At(i).compare_exchange_strong(cell, key, std::memory_order_acq_rel, std::memory_order_acquire)) {
                count_.fetch_add(1, std::memory_order_relaxed);
                inserted = true;
                return static_cast<std::uint32_t>(i);
            }
            // Another thread claimed this cell first: cell is what it wrote.
        }
        if (cell == key) return static_cast<std::uint32_t>(i);
    }
}

std::uint32_t PairTable::InternAlone(std::uint32_t a, std::uint32_t b, bool& inserted) {
    const std::uint64_t key = std::uint64_t{a} << 32 | b;
    assert(key != Empty && "a pair of two all-ones values has no cell");
    inserted = false;
    for (std::uint64_t i = PlaceOf(Hash(key));; i = Next(i)) {
        const std::uint64_t cell = At(i).load(std::memory_order_relaxed);
        if (cell == key) return static_cast<std::uint32_t>(i);
        if (cell != Empty) continue;
        const std::size_t count = count_.load(std::memory_order_relaxed);
        if (count >= limit_) return Full;
        At(i).store(key, std::memory_order_release);
        count_.store(count + 1, std::memory_order_relaxed);
        inserted = true;
        return static_cast<std::uint32_t>(i);
    }
}

std::uint32_t PairTable::Find(std::uint64_t key) const {
    for (std::uint64_t i = PlaceOf(Hash(key));; i = Next(i)) {
        const std::uint64_t cell = At(i).load(std::memory_order_acquire);
        if (cell == key) return static_cast<std::uint32_t>(i);
        if (cell == Empty) return Full;
    }
}

VectorTree::VectorTree(PairTable& inner, PairTable& roots, std::uint32_t width)
    : inner_(inner), roots_(roots), width_(width) {
    assert(width > 0 && "a vector has at least one slot");
    levelSize_.push_back(width);
    levelStart_.push_back(0);
    for (std::uint32_t size = width; size > 2;) {
        size = (size + 1) / 2;
        levelStart_.push_back(innerSize_);
        levelSize_.push_back(size);
        innerSize_ += size;
    }
}

std::uint32_t VectorTree::Intern(const std::uint32_t* slots, std::vector<std::uint32_t>& inner, bool& newRoot,
                                 bool alone) {
    inner.resize(innerSize_);
    newRoot = false;
    auto intern = [alone](PairTable& table, std::uint32_t a, std::uint32_t b, bool& inserted) {
        return alone ? table.InternAlone(a, b, inserted) : table.Intern(a, b, inserted);
    };
    if (width_ == 1) return intern(roots_, slots[0], 0, newRoot);
    bool added = false;
    for (std::size_t level = 1; level < levelSize_.size(); ++level) {
        const std::uint32_t below = levelSize_[level - 1];
        for (std::uint32_t i = 0; i < levelSize_[level]; ++i) {
            std::uint32_t& value = inner[levelStart_[level] + i];
            if (2 * i + 1 < below) {
                value = intern(inner_, Value(slots, inner.data(), level - 1, 2 * i),
                               Value(slots, inner.data(), level - 1, 2 * i + 1), added);
                if (value == PairTable::Full) return PairTable::Full;
            } else {
                value = Value(slots, inner.data(), level - 1, 2 * i);
            }
        }
    }
    const std::size_t top = levelSize_.size() - 1;
    return intern(roots_, Value(slots, inner.data(), top, 0), Value(slots, inner.data(), top, 1), newRoot);
}

// The root above a vector that differs from a known one in one slot: the
// pairs on that slot's path, each made by pair(a, b), then the root's by root(a, b).
template <typename Pair, typename Root>
std::uint32_t VectorTree::AlongPath(const std::uint32_t* slots, const std::vector<std::uint32_t>& inner,
                                    std::uint32_t changed, std::uint32_t value, const Pair& pair,
                                    const Root& root) const {
    if (width_ == 1) return root(value, 0);
    std::uint32_t position = changed;
    for (std::size_t level = 1; level < levelSize_.size(); ++level) {
        const std::uint32_t below = levelSize_[level - 1];
        const std::uint32_t left = position & ~1u;
        if (left + 1 < below) {
            const std::uint32_t a = position == left ? value : Value(slots, inner.data(), level - 1, left);
            const std::uint32_t b = position == left ? Value(slots, inner.data(), level - 1, left + 1) : value;
            value = pair(a, b);
            if (value == PairTable::Full) return PairTable::Full;
        }
        position /= 2;
    }
    const std::size_t top = levelSize_.size() - 1;
    const std::uint32_t a = position == 0 ? value : Value(slots, inner.data(), top, 0);
    const std::uint32_t b = position == 0 ? Value(slots, inner.data(), top, 1) : value;
    return root(a, b);
}

std::uint32_t VectorTree::InternChanged(const std::uint32_t* slots, const std::vector<std::uint32_t>& inner,
                                        std::uint32_t changed, std::uint32_t value, bool& newRoot) {
    newRoot = false;
    bool added = false;
    return AlongPath(
        slots, inner, changed, value, [&](std::uint32_t a, std::uint32_t b) { return inner_.Intern(a, b, added); },
        [&](std::uint32_t a, std::uint32_t b) { return roots_.Intern(a, b, newRoot); });
}

// The two values at the root of a vector (its pairs made level by level in
// place, in a buffer on the stack when the vector is short); false when a
// pair on the way is not in the table.
bool VectorTree::RootHalves(const std::uint32_t* slots, std::uint32_t& left, std::uint32_t& right) const {
    if (width_ == 1) {
        left = slots[0];
        right = 0;
        return true;
    }
    std::array<std::uint32_t, 256> local;
    std::vector<std::uint32_t> large;
    std::uint32_t* values = local.data();
    if (width_ > local.size()) {
        large.resize(width_);
        values = large.data();
    }
    std::copy(slots, slots + width_, values);
    std::size_t n = width_;
    while (n > 2) {
        std::size_t made = 0;
        for (std::size_t i = 0; i < n; i += 2) {
            if (i + 1 == n) {
                values[made++] = values[i];
                continue;
            }
            const std::uint32_t pair = inner_.Find(values[i], values[i + 1]);
            if (pair == PairTable::Full) return false;
            values[made++] = pair;
        }
        n = made;
    }
    left = values[0];
    right = values[1];
    return true;
}

std::uint32_t VectorTree::Find(const std::uint32_t* slots) const {
    std::uint32_t left = 0, right = 0;
    return RootHalves(slots, left, right) ? roots_.Find(left, right) : PairTable::Full;
}

std::uint64_t VectorTree::RootPair(const std::uint32_t* slots, std::uint32_t& place) const {
    std::uint32_t left = 0, right = 0;
    place = PairTable::Full;
    if (!RootHalves(slots, left, right)) return NoRoot;
    place = roots_.Prefetch(left, right);
    return std::uint64_t{left} << 32 | right;
}

std::uint32_t VectorTree::Find(const std::uint32_t* slots, std::vector<std::uint32_t>& inner) const {
    std::uint32_t left = 0, right = 0;
    return InnerWhole(slots, inner, left, right) ? roots_.Find(left, right) : PairTable::Full;
}

std::uint32_t VectorTree::FindChanged(const std::uint32_t* slots, const std::vector<std::uint32_t>& inner,
                                      std::uint32_t changed, std::uint32_t value) const {
    return AlongPath(
        slots, inner, changed, value, [&](std::uint32_t a, std::uint32_t b) { return inner_.Find(a, b); },
        [&](std::uint32_t a, std::uint32_t b) { return roots_.Find(a, b); });
}

std::uint64_t VectorTree::RootPairChanged(const std::uint32_t* slots, const std::vector<std::uint32_t>& inner,
                                          std::uint32_t changed, std::uint32_t value, std::uint32_t& place) const {
    std::uint64_t pair = NoRoot;
    place = AlongPath(
        slots, inner, changed, value, [&](std::uint32_t a, std::uint32_t b) { return inner_.Find(a, b); },
        [&](std::uint32_t a, std::uint32_t b) {
            pair = std::uint64_t{a} << 32 | b;
            return roots_.Prefetch(a, b);
        });
    return pair;
}

bool VectorTree::InnerChanges(const std::uint32_t* slots, std::vector<std::uint32_t>& inner,
                              const std::uint32_t* changed, std::size_t count) const {
    // The positions that changed on the level below, then on this one.
    std::array<std::uint32_t, 64> below{}, here{};
    if (count > below.size()) {
        std::uint32_t left = 0, right = 0;
        return InnerWhole(slots, inner, left, right);
    }
    std::copy(changed, changed + count, below.begin());
    std::size_t n = count;
    for (std::size_t level = 1; level < levelSize_.size(); ++level) {
        const std::uint32_t size = levelSize_[level - 1];
        std::size_t m = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t parent = below[i] / 2;
            if (m > 0 && here[m - 1] == parent) continue;
            here[m++] = parent;
            std::uint32_t& value = inner[levelStart_[level] + parent];
            if (2 * parent + 1 < size) {
                value = inner_.Find(Value(slots, inner.data(), level - 1, 2 * parent),
                                    Value(slots, inner.data(), level - 1, 2 * parent + 1));
                if (value == PairTable::Full) return false;
            } else {
                value = Value(slots, inner.data(), level - 1, 2 * parent);
            }
        }
        below = here;
        n = m;
    }
    return true;
}

bool VectorTree::InnerWhole(const std::uint32_t* slots, std::vector<std::uint32_t>& inner, std::uint32_t& left,
                            std::uint32_t& right) const {
    inner.resize(innerSize_);
    if (width_ == 1) {
        left = slots[0];
        right = 0;
        return true;
    }
    for (std::size_t level = 1; level < levelSize_.size(); ++level) {
        const std::uint32_t below = levelSize_[level - 1];
        for (std::uint32_t i = 0; i < levelSize_[level]; ++i) {
            std::uint32_t& value = inner[levelStart_[level] + i];
            if (2 * i + 1 < below) {
                value = inner_.Find(Value(slots, inner.data(), level - 1, 2 * i),
                                    Value(slots, inner.data(), level - 1, 2 * i + 1));
                if (value == PairTable::Full) return false;
            } else {
                value = Value(slots, inner.data(), level - 1, 2 * i);
            }
        }
    }
    const std::size_t top = levelSize_.size() - 1;
    left = Value(slots, inner.data(), top, 0);
    right = Value(slots, inner.data(), top, 1);
    return true;
}

std::uint32_t VectorTree::FindChanges(const std::uint32_t* slots, std::vector<std::uint32_t>& inner,
                                      const std::uint32_t* changed, std::size_t count) const {
    if (width_ == 1) return roots_.Find(slots[0], 0);
    if (!InnerChanges(slots, inner, changed, count)) return PairTable::Full;
    const std::size_t top = levelSize_.size() - 1;
    return roots_.Find(Value(slots, inner.data(), top, 0), Value(slots, inner.data(), top, 1));
}

std::uint64_t VectorTree::RootPairNear(const std::uint32_t* slots, std::vector<std::uint32_t>& inner, bool innerKnown,
                                       const std::uint32_t* changed, std::size_t count, std::uint32_t& place) const {
    place = PairTable::Full;
    std::uint32_t left = 0, right = 0;
    if (width_ == 1) {
        left = slots[0];
    } else if (innerKnown) {
        if (!InnerChanges(slots, inner, changed, count)) return NoRoot;
        const std::size_t top = levelSize_.size() - 1;
        left = Value(slots, inner.data(), top, 0);
        right = Value(slots, inner.data(), top, 1);
    } else if (!InnerWhole(slots, inner, left, right)) {
        return NoRoot;
    }
    place = roots_.Prefetch(left, right);
    return std::uint64_t{left} << 32 | right;
}

void VectorTree::Slots(std::uint32_t root, std::uint32_t* slots) const {
    if (width_ == 1) {
        slots[0] = roots_.Left(root);
        return;
    }
    std::vector<std::uint32_t> values{roots_.Left(root), roots_.Right(root)}, below;
    for (std::size_t level = levelSize_.size() - 1; level > 0; --level) {
        const std::uint32_t size = levelSize_[level - 1];
        below.assign(size, 0);
        for (std::uint32_t i = 0; i < values.size(); ++i) {
            if (2 * i + 1 < size) {
                below[2 * i] = inner_.Left(values[i]);
                below[2 * i + 1] = inner_.Right(values[i]);
            } else {
                below[2 * i] = values[i];
            }
        }
        values.swap(below);
    }
    std::copy(values.begin(), values.end(), slots);
}

void VectorTree::Unfold(std::uint32_t root, std::uint32_t* slots, std::vector<std::uint32_t>& inner) const {
    inner.resize(innerSize_);
    if (width_ == 1) {
        slots[0] = roots_.Left(root);
        return;
    }
    auto at = [&](std::size_t level, std::uint32_t i) -> std::uint32_t& {
        return level == 0 ? slots[i] : inner[levelStart_[level] + i];
    };
    const std::size_t top = levelSize_.size() - 1;
    at(top, 0) = roots_.Left(root);
    at(top, 1) = roots_.Right(root);
    for (std::size_t level = top; level > 0; --level) {
        const std::uint32_t below = levelSize_[level - 1];
        for (std::uint32_t i = 0; i < levelSize_[level]; ++i) {
            const std::uint32_t value = at(level, i);
            if (2 * i + 1 < below) {
                at(level - 1, 2 * i) = inner_.Left(value);
                at(level - 1, 2 * i + 1) = inner_.Right(value);
            } else {
                at(level - 1, 2 * i) = value;
            }
        }
    }
}

}  // namespace quarvo
