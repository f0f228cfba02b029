// What every exploring thread's engine must name alike: state identities, action sequences, gate lists, processes.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "frontend/SyntaxTree.h"
#include "generation/ActionTable.h"
#include "generation/Events.h"
#include "generation/IdIndex.h"

namespace quarvo {

// What a term is as a state: its nodes without the instances of calls, and
// their events reduced to what the state identity compares. Every field is a
// name shared by all engines of one exploration, so that equal states get
// equal identities whichever thread derived them.
struct IdentityNode {
    NodeKind kind;
    std::int32_t height;
    std::uint32_t process;  // shared process number
    std::uint32_t gates;    // shared gate list
    std::uint32_t events;   // shared action sequence or multiset, 0 under interleaving
    std::uint32_t left, right;
    friend bool operator==(const IdentityNode&, const IdentityNode&) = default;
};

// Hash-consed identities, safe to use from several threads: the table is cut
// into shards by hash, each behind its own lock, so that two threads rarely
// wait for each other. Ids are dense enough to index arrays by (an id is its
// place in its shard times the shard count, plus the shard), and never
// forgotten: a known state's identity is already there, so a successor that
// turns out known adds nothing.
class IdentityCache;

class IdentityTable {
public:
    IdentityTable();
    std::uint32_t Make(const IdentityNode& node);
    // The same id, looked up first in one thread's cache of recent answers,
    // which needs no lock: an id once given stays that node's.
    std::uint32_t Make(const IdentityNode& node, IdentityCache& cache);
    // The id of node if it was made, 0 otherwise; makes nothing.
    std::uint32_t Find(const IdentityNode& node, IdentityCache& cache) const;
    // One more than the greatest id given so far.
    std::uint32_t Bound() const;
    std::size_t Bytes() const;

private:
    static constexpr std::uint32_t ShardBits = 6;
    static constexpr std::uint32_t Shards = 1u << ShardBits;
    struct Shard {
        mutable std::mutex lock;
        std::vector<IdentityNode> nodes;
        IdIndex index;
    };
    static std::uint32_t HashOf(const IdentityNode& n);
    std::array<Shard, Shards> shards_;
};

// The identities one engine asked for lately, direct-mapped by hash: most
// successors rebuild nodes whose identities are known already.
class IdentityCache {
public:
    IdentityCache() : entries_(Size) {}

private:
    friend class IdentityTable;
    static constexpr std::size_t Size = std::size_t{1} << 15;
    struct Entry {
        IdentityNode node{NodeKind::Stop, -1, 0, 0, 0, 0, 0};
        std::uint32_t id = 0;  // 0: empty (no node has id 0 but the null term's)
    };
    std::vector<Entry> entries_;
};

// Interned sequences of action ids (event sets' actions in name order, or
// their sorted multiset, or the records of flat compositions' identities), 0
// being the empty one; safe from several threads, cut into shards by hash as
// the identities are.
class SequenceTable {
public:
    SequenceTable();
    std::uint32_t Intern(const ActionId* actions, std::size_t n);
    // The id of the sequence if it was interned, Absent otherwise; adds nothing.
    static constexpr std::uint32_t Absent = 0xFFFFFFFFu;
    std::uint32_t Find(const ActionId* actions, std::size_t n);

private:
    static constexpr std::uint32_t ShardBits = 6;
    static constexpr std::uint32_t Shards = 1u << ShardBits;
    struct Shard {
        std::mutex lock;
        std::vector<std::uint32_t> first, size;
        std::vector<ActionId> actions;
        IdIndex index;
    };
    std::array<Shard, Shards> shards_;
};

// The names that the engines of one exploration share, and the lock of the
// action table they all intern into. Each engine keeps its own terms, event
// sets and gate lists, and maps them to these names once each.
class SharedNames {
public:
    explicit SharedNames(ActionTable& actions) : actions_(actions) {}

    ActionId InternAction(const Identifier32& name) {
        std::lock_guard<std::mutex> guard(actionsLock_);
        return actions_.Intern(name);
    }
    Identifier32 ActionName(ActionId id) {
        std::lock_guard<std::mutex> guard(actionsLock_);
        return actions_.Name(id);
    }
    // What reading answers on the action table, read while no action is
    // interned (readings one at a time).
    template <class Reading>
    auto ReadActions(Reading&& reading) {
        std::lock_guard<std::mutex> guard(actionsLock_);
        return reading(static_cast<const ActionTable&>(actions_));
    }
    std::uint32_t Process(const ProcessDefinition* process);
    std::uint32_t Gates(const ActionId* names, std::size_t n);
    // The names of a shared gate list.
    std::vector<ActionId> GateNames(std::uint32_t gates);

    IdentityTable identities;
    SequenceTable sequences;

private:
    ActionTable& actions_;
    std::mutex actionsLock_;
    std::mutex lock_;
    std::unordered_map<const ProcessDefinition*, std::uint32_t> processes_;
    std::vector<std::uint32_t> gateFirst_{0}, gateSize_{0};
    std::vector<ActionId> gateNames_;
    IdIndex gateIndex_;
};

}  // namespace quarvo
