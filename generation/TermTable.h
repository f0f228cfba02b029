// Maximally shared behaviour terms: every distinct node once, named by a 32-bit id.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "frontend/SyntaxTree.h"
#include "generation/EventPool.h"
#include "generation/IdIndex.h"

namespace quarvo {

using TermId = std::uint32_t;   // 0 is the null term
using GatesId = std::uint32_t;  // 0 is the empty gate list

// Gate lists as interned sequences of action ids, in their order.
class GateLists {
public:
    GateLists();
    GatesId Intern(const ActionId* names, std::size_t n);
    std::size_t Size(GatesId g) const { return size_[g]; }
    const ActionId* Names(GatesId g) const { return names_.data() + first_[g]; }
    bool Contains(GatesId g, ActionId name) const {
        const ActionId* p = Names(g);
        for (std::size_t i = 0; i < size_[g]; ++i)
            if (p[i] == name) return true;
        return false;
    }

private:
    std::vector<std::uint32_t> first_, size_;
    std::vector<ActionId> names_;
    IdIndex index_;
};

// One node. A node never changes once made: the rules build new nodes above
// the ones that moved and share every other operand by its id.
struct TermNode {
    NodeKind kind = NodeKind::Stop;
    std::uint8_t freeBelow = 0;    // no events anywhere on its operator spine
    std::uint8_t distributes = 0;  // has events that its free operator spine takes over
    std::uint8_t idleSelf = 0;     // known to be its own successor when it does not move
    std::int32_t height = -1;
    std::uint32_t process = 0;  // index of a process definition, 0 for none
    GatesId gates = 0;          // action of a prefix, actual, hidden or synchronised gates
    SetId events = 0;           // events it must see end before it can act
    TermId left = 0;
    TermId right = 0;      // continuation of a prefix
    TermId instance = 0;   // the expanded body of a call, once derived
    std::uint32_t spineMask = 0;  // names of every event on its operator spine
    std::uint32_t identity = 0;   // its state identity once asked, 0 before
};

// Choice and disabling have two operands; a parallel composition is flat (below).
inline bool IsBinary(NodeKind k) { return k == NodeKind::Choice || k == NodeKind::Disable; }
inline bool IsUnaryLeft(NodeKind k) { return k == NodeKind::Enable || k == NodeKind::Hide; }

// A chain ((o1 |[G]| o2) |[G]| o3) … |[G]| ok of one operator is one flat
// node of k operands in written order. The node holds the root's height and
// events; its record holds the operands, then for each inner level of the
// chain (o1 … oi, 2 <= i < k) its events and its height, so that the chain
// stands for exactly the nested compositions it replaces. Most of the time
// each inner level's events are the union of its operands', as the rules
// make them: the record then says so and keeps none (foldLevels); foldRoot
// says the same of the root's events.
struct FlatView {
    std::uint32_t count = 0;
    bool foldLevels = false, foldRoot = false;
    const TermId* operands = nullptr;  // null for two operands, which are pair
    TermId pair[2] = {0, 0};
    const SetId* levelEvents = nullptr;  // count - 2 of them (levels 2 .. count-1), unless foldLevels
    GatesId shape = 0;  // the inner levels' heights, as an interned list
    TermId Op(std::uint32_t i) const { return operands ? operands[i] : pair[i]; }
    void CopyOperands(std::vector<TermId>& to) const {
        if (operands) to.assign(operands, operands + count);
        else to.assign(pair, pair + 2);
    }
};

// A composition of two operands is a node of its own (no record), its
// operands left and right, as any binary node.
inline bool IsPair(const TermNode& n) { return n.kind == NodeKind::Parallel && n.instance == 0; }

class TermTable {
public:
    explicit TermTable(const EventPool& pool);

    // The node with these fields, made once; freeBelow and spineMask are computed.
    // Not for parallel compositions, which MakeFlat makes.
    TermId Make(TermNode node);
    // The flat composition node (kind, height, gates, events of the root) with
    // count operands and count - 2 inner levels (their events only when not
    // foldLevels).
    static constexpr std::uint32_t FoldLevelsBit = 1u << 31, FoldRootBit = 1u << 30, CountBits = FoldRootBit - 1;
    TermId MakeFlat(TermNode node, std::uint32_t count, bool foldLevels, bool foldRoot, const TermId* operands,
                    const SetId* levelEvents, GatesId shape);
    FlatView Flat(TermId id) const { return FlatOf(nodes_[id]); }
    FlatView FlatOf(const TermNode& n) const {
        if (n.instance) return FlatFrom(flat_.data() + n.instance);
        FlatView f;
        f.count = 2;
        f.foldLevels = true;
        f.pair[0] = n.left;
        f.pair[1] = n.right;
        return f;
    }
    const TermNode* Nodes() const { return nodes_.data(); }
    const TermNode& operator[](TermId id) const { return nodes_[id]; }
    // What is learned of a node later: facts about it, which never change.
    void SetIdentity(TermId id, std::uint32_t identity) { nodes_[id].identity = identity; }
    void SetIdleSelf(TermId id) { nodes_[id].idleSelf = 1; }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(nodes_.size()); }

    // Forgets every node from mark up (the newest ones).
    void Rollback(std::uint32_t mark);

    // Keeps only the nodes whose newId is not 0, renumbered by newId (which
    // keeps their order), their operands and events renamed likewise.
    void Compact(const std::vector<TermId>& newId, const std::vector<SetId>& newSet);

    std::size_t Bytes() const {
        return nodes_.capacity() * sizeof(TermNode) + flat_.capacity() * 4 + index_.Bytes();
    }

    // Called every so many nodes asked for, made or found (a large flat record
    // counting for several): where the owner looks at the memory within one
    // derivation, whose memos and frames grow as it asks for nodes.
    void OnGrowth(std::function<void()> call) { onGrowth_ = std::move(call); }

private:
    static constexpr std::int64_t GrowthCallEvery = 1 << 18;
    void Grown(std::int64_t weight) {
        if (!onGrowth_) return;
        untilGrowthCall_ -= weight;
        if (untilGrowthCall_ > 0) return;
        untilGrowthCall_ = GrowthCallEvery;
        onGrowth_();
    }
    static FlatView FlatFrom(const std::uint32_t* r) {
        const std::uint32_t k = r[0] & CountBits;
        const bool foldLevels = r[0] & FoldLevelsBit;
        const std::uint32_t* shape = r + 1 + k + (foldLevels ? 0 : k - 2);
        FlatView f;
        f.count = k;
        f.foldLevels = foldLevels;
        f.foldRoot = (r[0] & FoldRootBit) != 0;
        f.operands = r + 1;
        f.levelEvents = foldLevels ? nullptr : r + 1 + k;
        f.shape = *shape;
        return f;
    }
    static std::size_t RecordWords(std::uint32_t head) {
        const std::size_t k = head & CountBits;
        return 1 + k + ((head & FoldLevelsBit) ? 0 : k - 2) + 1;
    }
    std::uint32_t HashOf(const TermNode& n) const;
    static std::uint32_t HashFlat(const TermNode& n, const std::uint32_t* record);
    void Complete(TermNode& n);
    const EventPool& pool_;
    std::vector<TermNode> nodes_;
    std::function<void()> onGrowth_;
    std::int64_t untilGrowthCall_ = GrowthCallEvery;
    // Records of the flat nodes, in the order of their nodes: count, operands,
    // level events, shape. A flat node's instance is its record's place.
    std::vector<std::uint32_t> flat_;
    IdIndex index_;
};

}  // namespace quarvo
