// Hash-consing of gate lists and term nodes.
#include "generation/TermTable.h"

#include <algorithm>

namespace quarvo {

GateLists::GateLists() {
    first_.push_back(0);
    size_.push_back(0);
    index_.Insert(0, MixHash(0));
}

GatesId GateLists::Intern(const ActionId* names, std::size_t n) {
    if (n == 0) return 0;
    std::uint64_t h = n;
    for (std::size_t i = 0; i < n; ++i) h = Combine(h, names[i]);
    const std::uint32_t hash = MixHash(h);
    GatesId id = index_.Find(hash, [&](GatesId c) {
        return size_[c] == n && std::equal(names, names + n, names_.begin() + first_[c]);
    });
    if (id != IdIndex::Absent) return id;
    id = static_cast<GatesId>(first_.size());
    first_.push_back(static_cast<std::uint32_t>(names_.size()));
    size_.push_back(static_cast<std::uint32_t>(n));
    names_.insert(names_.end(), names, names + n);
    index_.Insert(id, hash);
    return id;
}

TermTable::TermTable(const EventPool& pool) : pool_(pool) {
    nodes_.push_back(TermNode{});  // id 0: the null term
    nodes_[0].freeBelow = 1;
    flat_.push_back(0);  // no record at place 0, which names none
}

namespace {

// The fields a term node and an identity node share, mixed into one hash.
template <typename Node>
std::uint64_t HashShared(const Node& n) {
    std::uint64_t h = static_cast<std::uint64_t>(n.kind) << 32 | static_cast<std::uint32_t>(n.height);
    for (std::uint64_t field : {std::uint64_t{n.process}, std::uint64_t{n.gates}, std::uint64_t{n.events},
                                std::uint64_t{n.left}, std::uint64_t{n.right}})
        h = Combine(h, field);
    return h;
}

}  // namespace

std::uint32_t TermTable::HashFlat(const TermNode& n, const std::uint32_t* record) {
    std::uint64_t h = HashShared(n);
    const std::size_t words = RecordWords(record[0]);
    for (std::size_t i = 0; i < words; ++i) h = Combine(h, record[i]);
    return MixHash(h);
}

std::uint32_t TermTable::HashOf(const TermNode& n) const {
    if (n.kind == NodeKind::Parallel && n.instance) return HashFlat(n, flat_.data() + n.instance);
    return MixHash(Combine(HashShared(n), n.instance));
}

// freeBelow, spineMask and distributes of a node about to be added.
void TermTable::Complete(TermNode& n) {
    // A spine is free of events when its root has none and its operands are
    // free: both of a choice or a disabling, every operand and level of a
    // parallel composition, the left one of an enabling or hiding.
    const TermNode& l = nodes_[n.left];
    const TermNode& r = nodes_[n.right];
    std::uint32_t spine = pool_.Mask(n.events);
    bool free = n.events == 0;
    bool below = false;  // the operands that would receive the events are free
    if (n.kind == NodeKind::Parallel && n.instance) {
        const FlatView f = FlatFrom(flat_.data() + n.instance);
        below = true;
        for (std::uint32_t i = 0; i < f.count; ++i) {
            const TermNode& o = nodes_[f.Op(i)];
            below = below && o.freeBelow;
            spine |= o.spineMask;
        }
        // Levels that are unions of their operands add nothing to what these say.
        for (std::uint32_t i = 0; f.levelEvents && i + 2 < f.count; ++i) {
            below = below && f.levelEvents[i] == 0;
            spine |= pool_.Mask(f.levelEvents[i]);
        }
        free = free && below;
    } else if (IsBinary(n.kind) || n.kind == NodeKind::Parallel) {
        below = l.freeBelow && r.freeBelow;
        free = free && below;
        spine |= l.spineMask | r.spineMask;
    } else if (IsUnaryLeft(n.kind)) {
        below = l.freeBelow && n.left;
        free = free && l.freeBelow;
        spine |= l.spineMask;
    } else if (n.kind == NodeKind::Call) {
        spine |= nodes_[n.instance].spineMask;
    }
    n.freeBelow = free ? 1 : 0;
    n.spineMask = spine;
    // A node with events pushes them down when the operands that receive
    // them are free of events: every operand of a binary node or of a
    // parallel composition, the left one of an enabling or a hiding.
    n.distributes = n.events != 0 && below;
    n.idleSelf = 0;
    n.identity = 0;
}

TermId TermTable::Make(TermNode n) {
    Grown(1);
    const std::uint32_t hash = HashOf(n);
    TermId id = index_.Find(hash, [&](TermId c) {
        const TermNode& o = nodes_[c];
        return o.kind == n.kind && o.height == n.height && o.process == n.process && o.gates == n.gates &&
               o.events == n.events && o.left == n.left && o.right == n.right && o.instance == n.instance;
    });
    if (id != IdIndex::Absent) return id;
    Complete(n);
    id = static_cast<TermId>(nodes_.size());
    nodes_.push_back(n);
    index_.Insert(id, hash);
    return id;
}

TermId TermTable::MakeFlat(TermNode n, std::uint32_t count, bool foldLevels, bool foldRoot, const TermId* operands,
                           const SetId* levelEvents, GatesId shape) {
    n.kind = NodeKind::Parallel;
    if (count == 2) {
        n.left = operands[0];
        n.right = operands[1];
        n.instance = 0;
        return Make(n);
    }
    n.left = n.right = 0;
    // The record is laid where it would go, then taken back if the node exists.
    const std::size_t at = flat_.size();
    const std::uint32_t head = count | (foldLevels ? FoldLevelsBit : 0) | (foldRoot ? FoldRootBit : 0);
    flat_.push_back(head);
    flat_.insert(flat_.end(), operands, operands + count);
    if (!foldLevels) flat_.insert(flat_.end(), levelEvents, levelEvents + (count - 2));
    flat_.push_back(shape);
    const std::size_t words = flat_.size() - at;
    const std::uint32_t hash = HashFlat(n, flat_.data() + at);
    TermId id = index_.Find(hash, [&](TermId c) {
        const TermNode& o = nodes_[c];
        if (o.kind != NodeKind::Parallel || o.height != n.height || o.process != n.process || o.gates != n.gates ||
            o.events != n.events || flat_[o.instance] != head)
            return false;
        return std::equal(flat_.begin() + o.instance, flat_.begin() + o.instance + words, flat_.begin() + at);
    });
    if (id != IdIndex::Absent) {
        flat_.resize(at);
        return id;
    }
    n.instance = static_cast<std::uint32_t>(at);
    Complete(n);
    id = static_cast<TermId>(nodes_.size());
    nodes_.push_back(n);
    index_.Insert(id, hash);
    Grown(1 + static_cast<std::int64_t>(words) / 64);
    return id;
}

void TermTable::Rollback(std::uint32_t mark) {
    if (mark >= nodes_.size()) return;
    index_.EraseFrom(mark, Size(), [&](TermId id) { return HashOf(nodes_[id]); });
    // Records follow their nodes' order: the first forgotten one starts the part to drop.
    for (TermId id = mark; id < nodes_.size(); ++id) {
        if (nodes_[id].kind == NodeKind::Parallel && nodes_[id].instance) {
            flat_.resize(nodes_[id].instance);
            break;
        }
    }
    nodes_.resize(mark);
}

void TermTable::Compact(const std::vector<TermId>& newId, const std::vector<SetId>& newSet) {
    // In place: a kept node never moves up, so it is read before its place is written.
    // The records likewise: a kept record never moves up either.
    TermId next = 1;
    std::size_t nextRecord = 1;
    for (TermId id = 1; id < nodes_.size(); ++id) {
        if (!newId[id]) continue;
        TermNode n = nodes_[id];
        if (n.kind == NodeKind::Parallel && n.instance) {
            const std::size_t from = n.instance;
            const std::uint32_t head = flat_[from];
            const std::uint32_t k = head & CountBits;
            const std::size_t words = RecordWords(head);
            const std::size_t levelsEnd = (head & FoldLevelsBit) ? 1 + k : 1 + k + (k - 2);
            flat_[nextRecord] = head;
            for (std::size_t i = 1; i < words; ++i) {
                const std::uint32_t w = flat_[from + i];
                flat_[nextRecord + i] = i <= k ? newId[w] : i < levelsEnd ? newSet[w] : w;
            }
            n.instance = static_cast<std::uint32_t>(nextRecord);
            nextRecord += words;
        } else {
            n.instance = newId[n.instance];
        }
        n.left = newId[n.left];
        n.right = newId[n.right];
        n.events = newSet[n.events];
        nodes_[next++] = n;
    }
    nodes_.resize(next);
    flat_.resize(nextRecord);
    index_.Clear();
    index_.Reserve(nodes_.size() * 2);
    for (TermId id = 1; id < nodes_.size(); ++id) index_.Insert(id, HashOf(nodes_[id]));
}

}  // namespace quarvo
