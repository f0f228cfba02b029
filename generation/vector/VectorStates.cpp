// Identity vectors to state numbers.
#include "generation/vector/VectorStates.h"

namespace quarvo {
namespace {

constexpr std::size_t SmallRootCells = std::size_t{1} << 22;

}  // namespace

VectorStates::VectorStates(std::uint32_t width, unsigned bits)
    : width_(width),
      innerCells_(std::size_t{1} << bits),
      rootCells_(std::size_t{1} << bits),
      tables_(MakeTables(innerCells_, rootCells_, width)),
      numberOf_(Unnumbered(rootCells_)) {}

GrowingArray<std::int32_t> VectorStates::Unnumbered(std::size_t cells) const {
    GrowingArray<std::int32_t> numbers;
    numbers.reserve(cells);
    numbers.resize_for_overwrite(cells);
    split_([&](unsigned part, unsigned parts) {
        std::fill(numbers.begin() + cells * part / parts, numbers.begin() + cells * (part + 1) / parts, -1);
    });
    return numbers;
}

std::int64_t VectorStates::Find(const std::uint32_t* key) const {
    const std::uint32_t root = tables_->tree.Find(key);
    return root == PairTable::Full ? -1 : numberOf_[root];
}

std::uint32_t VectorStates::Intern(const std::uint32_t* key) {
    for (;;) {
        bool isNew = false;
        const std::uint32_t root = tables_->tree.Intern(key, inner_, isNew, true);
        if (root != PairTable::Full) return root;
        Grow();
    }
}

void VectorStates::Add(const std::uint32_t* key) {
    const std::uint32_t root = Intern(key);
    numberOf_[root] = static_cast<std::int32_t>(rootOf_.size());
    rootOf_.push_back(root);
}

void VectorStates::AddRootPair(std::uint64_t pair, const std::uint32_t* key) {
    bool isNew = false;
    const std::uint32_t root =
        tables_->roots.InternAlone(static_cast<std::uint32_t>(pair >> 32), static_cast<std::uint32_t>(pair), isNew);
    if (root == PairTable::Full) {
        Add(key);
        return;
    }
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

std::pair<std::size_t, std::size_t> VectorStates::GrownCells(std::size_t room) const {
    // Each growth interns every key again. The inner pairs, few, grow
    // fourfold when half full; the roots, one or so a state and most of the
    // table's memory, by half (twofold while small) when less than a third of the room would be
    // left (or more, for room more pairs). A table fills up to 7/8.
    auto grown = [&](const PairTable& t, std::size_t cells, std::size_t wanted, std::size_t times) {
        wanted = std::max(wanted, t.Size() + room);
        if (cells / 8 * 7 > wanted) return cells;
        cells = std::max(cells * times / 2, wanted / 7 * 8 + 64);
        return (cells + 63) / 64 * 64;
    };
    const std::size_t innerCells = grown(tables_->inner, innerCells_, 2 * tables_->inner.Size(), 8);
    // Below a few million cells (tens of megabytes) the roots double: fewer
    // growths, each interning every state again, for memory that matters little yet.
    const std::size_t rootCells =
        grown(tables_->roots, rootCells_, tables_->roots.Size() * 3 / 2, rootCells_ < SmallRootCells ? 4 : 3);
    return {innerCells, rootCells};
}

std::size_t VectorStates::GrowthBytes(std::size_t room) const {
    const auto [innerCells, rootCells] = GrownCells(room);
    return (innerCells == innerCells_ ? 0 : innerCells * sizeof(std::uint64_t)) +
           rootCells * (sizeof(std::uint64_t) + sizeof(std::int32_t));
}

std::size_t VectorStates::ReserveBytes(std::size_t keys, std::size_t reserve) const {
    return Roomy(keys, reserve) ? 0 : GrowthBytes(keys + reserve);
}

bool VectorStates::Roomy(std::size_t keys, std::size_t reserve) const {
    const Tables& t = *tables_;
    return t.inner.Size() + keys + reserve < t.inner.Limit() && t.roots.Size() + keys + reserve < t.roots.Limit();
}

void VectorStates::Grow(std::size_t room) {
    // When the inner pairs do not grow, only the roots are interned again.
    const auto [innerCells, rootCells] = GrownCells(room);
    GrowingArray<std::int32_t> numberOf = Unnumbered(rootCells);
    std::unique_ptr<Tables> tables;
    if (innerCells == innerCells_) {
        // The inner pairs keep their names: the root pairs are interned
        // again as they stand, in the order of their cells. A place grows
        // with the hash whatever the table's size, so the new cells are
        // written nearly in order too, and each state then reads only where
        // its root went, which the old root's number now says (-2 - place).
        PairTable& roots = tables_->roots;
        tables = std::make_unique<Tables>(std::move(tables_->innerOwned),
                                          std::make_unique<PairTable>(PairTable::Cells{rootCells}, split_), width_);
        constexpr std::int32_t NotMoved = -1;
        auto moved = [](std::uint32_t root) { return -2 - static_cast<std::int32_t>(root); };
        // A new place fits a number cell below -1 while the table has fewer
        // than 2^31 - 2 cells; past that (a billion states and more), each
        // state's root is interned again in state order.
        const bool inCellOrder = rootCells < (std::size_t{1} << 31) - 2;
        for (std::size_t s = 0; s < rootOf_.size() && !inCellOrder; ++s) {
            const std::uint32_t old = rootOf_[s];
            bool isNew = false;
            const std::uint32_t root = tables->roots.InternAlone(roots.Left(old), roots.Right(old), isNew);
            if (numberOf_[old] == static_cast<std::int32_t>(s)) numberOf[root] = static_cast<std::int32_t>(s);
            rootOf_[s] = root;
        }
        for (std::size_t place = 0; place < roots.Capacity() && inCellOrder; ++place) {
            const std::int32_t number = numberOf_[place];
            if (number < 0) {
                // Empty, or a key no state holds (it may still be a state's
                // own, vacated by a change of key: looked at below).
                numberOf_[place] = NotMoved;
                continue;
            }
            const auto old = static_cast<std::uint32_t>(place);
            bool isNew = false;
            const std::uint32_t root = tables->roots.InternAlone(roots.Left(old), roots.Right(old), isNew);
            numberOf[root] = number;
            numberOf_[place] = moved(root);
        }
        for (std::size_t s = 0; s < rootOf_.size() && inCellOrder; ++s) {
            const std::uint32_t old = rootOf_[s];
            if (numberOf_[old] == NotMoved) {
                bool isNew = false;
                numberOf_[old] = moved(tables->roots.InternAlone(roots.Left(old), roots.Right(old), isNew));
            }
            rootOf_[s] = static_cast<std::uint32_t>(-2 - numberOf_[old]);
        }
    } else {
        tables = MakeTables(innerCells, rootCells, width_);
        slots_.resize(width_);
        for (std::size_t s = 0; s < rootOf_.size(); ++s) {
            const std::uint32_t old = rootOf_[s];
            tables_->tree.Slots(old, slots_.data());
            bool isNew = false;
            const std::uint32_t root = tables->tree.Intern(slots_.data(), inner_, isNew, true);
            // A table at most half as full as before (or holding only the keys
            // of the states, which it held with other keys besides): every key finds room.
            if (numberOf_[old] == static_cast<std::int32_t>(s)) numberOf[root] = static_cast<std::int32_t>(s);
            rootOf_[s] = root;
        }
    }
    tables_ = std::move(tables);
    numberOf_ = std::move(numberOf);
    innerCells_ = innerCells;
    rootCells_ = rootCells;
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
    if (!Roomy(keys, reserve)) Grow(keys + reserve);
}

std::size_t VectorStates::Bytes() const {
    return tables_->inner.Bytes() + tables_->roots.Bytes() + numberOf_.capacity() * sizeof(std::int32_t) +
           rootOf_.capacity() * sizeof(std::uint32_t);
}

}  // namespace quarvo
