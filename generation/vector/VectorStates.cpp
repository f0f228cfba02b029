// Identity vectors to state numbers.
#include "generation/vector/VectorStates.h"

namespace quarvo {

VectorStates::VectorStates(std::uint32_t width, unsigned bits)
    : width_(width),
      innerBits_(bits),
      rootBits_(bits),
      tables_(std::make_unique<Tables>(bits, bits, width)),
      numberOf_(std::size_t{1} << bits, -1) {}

std::int64_t VectorStates::Find(const std::uint32_t* key) const {
    const std::uint32_t root = tables_->tree.Find(key);
    return root == PairTable::Full ? -1 : numberOf_[root];
}

std::uint32_t VectorStates::Intern(const std::uint32_t* key) {
    for (;;) {
        bool isNew = false;
        const std::uint32_t root = tables_->tree.Intern(key, inner_, isNew);
        if (root != PairTable::Full) return root;
        Grow();
    }
}

void VectorStates::Add(const std::uint32_t* key) {
    const std::uint32_t root = Intern(key);
    numberOf_[root] = static_cast<std::int32_t>(rootOf_.size());
    rootOf_.push_back(root);
}

void VectorStates::Rekey(std::int64_t number, const std::uint32_t* key) {
    const std::uint32_t root = Intern(key);
    // Read after interning, which may have grown the tables.
    const std::uint32_t before = rootOf_[static_cast<std::size_t>(number)];
    if (root == before) return;
    if (numberOf_[before] == number) numberOf_[before] = -1;
    if (numberOf_[root] < 0 || numberOf_[root] > number) numberOf_[root] = static_cast<std::int32_t>(number);
    rootOf_[static_cast<std::size_t>(number)] = root;
}

void VectorStates::Grow(std::size_t room) {
    // Four times as large (or more, for room more pairs), each table that is
    // more than half full or lacks that room: each growth interns every key again.
    auto grown = [&](const PairTable& t, unsigned bits) {
        const std::size_t wanted = std::max(2 * t.Size(), t.Size() + room);
        while (((std::size_t{1} << bits) / 8) * 7 <= wanted) bits += 2;
        return bits;
    };
    const unsigned innerBits = grown(tables_->inner, innerBits_);
    const unsigned rootBits = grown(tables_->roots, rootBits_);
    auto tables = std::make_unique<Tables>(innerBits, rootBits, width_);
    std::vector<std::int32_t> numberOf(std::size_t{1} << rootBits, -1);
    slots_.resize(width_);
    for (std::size_t s = 0; s < rootOf_.size(); ++s) {
        const std::uint32_t old = rootOf_[s];
        tables_->tree.Slots(old, slots_.data());
        bool isNew = false;
        const std::uint32_t root = tables->tree.Intern(slots_.data(), inner_, isNew);
        // A table at most half as full as before (or holding only the keys
        // of the states, which it held with other keys besides): every key finds room.
        if (numberOf_[old] == static_cast<std::int32_t>(s)) numberOf[root] = static_cast<std::int32_t>(s);
        rootOf_[s] = root;
    }
    tables_ = std::move(tables);
    numberOf_ = std::move(numberOf);
    innerBits_ = innerBits;
    rootBits_ = rootBits;
    ++epoch_;
}

std::uint32_t VectorStates::InternNear(const std::uint32_t* key, const std::uint32_t* base,
                                  const std::vector<std::uint32_t>& baseInner, bool baseKnown,
                                  const std::vector<std::uint32_t>& changed, std::vector<std::uint32_t>& inner,
                                  bool& isNew) {
    isNew = false;
    Tables& t = *tables_;
    if (t.inner.Size() + reserve_ >= t.inner.Limit() || t.roots.Size() + reserve_ >= t.roots.Limit())
        return PairTable::Full;
    if (baseKnown && changed.size() == 1) return t.tree.InternChanged(base, baseInner, changed[0], key[changed[0]], isNew);
    if (baseKnown && changed.empty()) return t.tree.Find(key);
    return t.tree.Intern(key, inner, isNew);
}

void VectorStates::Reserve(std::size_t keys, std::size_t reserve) {
    reserve_ = reserve;
    auto roomy = [&] {
        const Tables& t = *tables_;
        return t.inner.Size() + keys + reserve < t.inner.Limit() && t.roots.Size() + keys + reserve < t.roots.Limit();
    };
    if (!roomy()) Grow(keys + reserve);
}

std::size_t VectorStates::Bytes() const {
    return tables_->inner.Bytes() + tables_->roots.Bytes() + numberOf_.capacity() * sizeof(std::int32_t) +
           rootOf_.capacity() * sizeof(std::uint32_t);
}

}  // namespace quarvo
