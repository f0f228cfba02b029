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

std::uint32_t TermTable::HashOf(const TermNode& n) { return MixHash(Combine(HashShared(n), n.instance)); }

TermId TermTable::Make(TermNode n) {
    const std::uint32_t hash = HashOf(n);
    TermId id = index_.Find(hash, [&](TermId c) {
        const TermNode& o = nodes_[c];
        return o.kind == n.kind && o.height == n.height && o.process == n.process && o.gates == n.gates &&
               o.events == n.events && o.left == n.left && o.right == n.right && o.instance == n.instance;
    });
    if (id != IdIndex::Absent) return id;
    // A spine is free of events when its root has none and its operands are
    // free: both of a choice, disabling or parallel composition, the left one
    // of an enabling or hiding.
    const TermNode& l = nodes_[n.left];
    const TermNode& r = nodes_[n.right];
    std::uint32_t spine = pool_.Mask(n.events);
    bool free = n.events == 0;
    if (IsBinary(n.kind)) {
        free = free && l.freeBelow && r.freeBelow;
        spine |= l.spineMask | r.spineMask;
    } else if (IsUnaryLeft(n.kind)) {
        free = free && l.freeBelow;
        spine |= l.spineMask;
    } else if (n.kind == NodeKind::Call) {
        spine |= nodes_[n.instance].spineMask;
    }
    n.freeBelow = free ? 1 : 0;
    n.spineMask = spine;
    // A node with events pushes them down when the operands that receive
    // them are free of events: both of a binary node, the left one of an
    // enabling or a hiding.
    n.distributes = n.events != 0 && ((IsBinary(n.kind) && l.freeBelow && r.freeBelow) ||
                                      (IsUnaryLeft(n.kind) && l.freeBelow && n.left));
    n.idleSelf = 0;
    n.identity = 0;
    id = static_cast<TermId>(nodes_.size());
    nodes_.push_back(n);
    index_.Insert(id, hash);
    return id;
}

void TermTable::Rollback(std::uint32_t mark) {
    if (mark >= nodes_.size()) return;
    index_.EraseFrom(mark, Size(), [&](TermId id) { return HashOf(nodes_[id]); });
    nodes_.resize(mark);
}

void TermTable::Compact(const std::vector<TermId>& newId, const std::vector<SetId>& newSet) {
    // In place: a kept node never moves up, so it is read before its place is written.
    TermId next = 1;
    for (TermId id = 1; id < nodes_.size(); ++id) {
        if (!newId[id]) continue;
        TermNode n = nodes_[id];
        n.left = newId[n.left];
        n.right = newId[n.right];
        n.instance = newId[n.instance];
        n.events = newSet[n.events];
        nodes_[next++] = n;
    }
    nodes_.resize(next);
    index_.Clear();
    index_.Reserve(nodes_.size() * 2);
    for (TermId id = 1; id < nodes_.size(); ++id) index_.Insert(id, HashOf(nodes_[id]));
}

}  // namespace quarvo
