// The tables the exploring threads share, each behind a lock (the identities behind one lock per shard).
#include "generation/SharedTables.h"

#include <algorithm>

namespace quarvo {

IdentityTable::IdentityTable() {
    // Id 0 is the null term: shard 0's first place.
    shards_[0].nodes.push_back(IdentityNode{NodeKind::Stop, -1, 0, 0, 0, 0, 0});
    for (Shard& s : shards_)
        if (s.nodes.empty()) s.nodes.push_back(IdentityNode{NodeKind::Stop, -2, 0, 0, 0, 0, 0});  // unused place 0
}

std::uint32_t IdentityTable::HashOf(const IdentityNode& n) {
    std::uint64_t h = static_cast<std::uint64_t>(n.kind) << 32 | static_cast<std::uint32_t>(n.height);
    for (std::uint64_t field : {std::uint64_t{n.process}, std::uint64_t{n.gates}, std::uint64_t{n.events},
                                std::uint64_t{n.left}, std::uint64_t{n.right}})
        h = Combine(h, field);
    return MixHash(h);
}

std::uint32_t IdentityTable::Make(const IdentityNode& n) {
    const std::uint32_t hash = HashOf(n);
    // The shard from the high bits, the slot from the low ones.
    const std::uint32_t shardIndex = hash >> (32 - ShardBits);
    Shard& shard = shards_[shardIndex];
    std::lock_guard<std::mutex> guard(shard.lock);
    std::uint32_t place = shard.index.Find(hash, [&](std::uint32_t c) { return shard.nodes[c] == n; });
    if (place == IdIndex::Absent) {
        place = static_cast<std::uint32_t>(shard.nodes.size());
        shard.nodes.push_back(n);
        shard.index.Insert(place, hash);
    }
    return place << ShardBits | shardIndex;
}

std::uint32_t IdentityTable::Make(const IdentityNode& n, IdentityCache& cache) {
    const std::uint32_t hash = HashOf(n);
    IdentityCache::Entry& entry = cache.entries_[hash & (IdentityCache::Size - 1)];
    if (entry.id && entry.node == n) return entry.id;
    const std::uint32_t id = Make(n);
    if (id) entry = IdentityCache::Entry{n, id};
    return id;
}

std::uint32_t IdentityTable::Find(const IdentityNode& n, IdentityCache& cache) const {
    const std::uint32_t hash = HashOf(n);
    IdentityCache::Entry& entry = cache.entries_[hash & (IdentityCache::Size - 1)];
    if (entry.id && entry.node == n) return entry.id;
    const std::uint32_t shardIndex = hash >> (32 - ShardBits);
    const Shard& shard = shards_[shardIndex];
    std::lock_guard<std::mutex> guard(shard.lock);
    const std::uint32_t place = shard.index.Find(hash, [&](std::uint32_t c) { return shard.nodes[c] == n; });
    if (place == IdIndex::Absent) return 0;
    const std::uint32_t id = place << ShardBits | shardIndex;
    entry = IdentityCache::Entry{n, id};
    return id;
}

std::uint32_t IdentityTable::Bound() const {
    std::uint32_t bound = 1;
    for (std::uint32_t i = 0; i < Shards; ++i) {
        std::lock_guard<std::mutex> guard(shards_[i].lock);
        bound = std::max(bound, static_cast<std::uint32_t>(shards_[i].nodes.size()) << ShardBits | i);
    }
    return bound;
}

std::size_t IdentityTable::Bytes() const {
    std::size_t bytes = 0;
    for (const Shard& s : shards_) {
        std::lock_guard<std::mutex> guard(s.lock);
        bytes += s.nodes.capacity() * sizeof(IdentityNode) + s.index.Bytes();
    }
    return bytes;
}

namespace {

std::uint32_t HashSequence(const ActionId* actions, std::size_t n) {
    std::uint64_t h = n;
    for (std::size_t i = 0; i < n; ++i) h = Combine(h, actions[i]);
    return MixHash(h);
}

}  // namespace

SequenceTable::SequenceTable() {
    // Place 0 of every shard is the empty sequence, which only shard 0's names (id 0).
    for (Shard& s : shards_) {
        s.first.push_back(0);
        s.size.push_back(0);
    }
}

std::uint32_t SequenceTable::Intern(const ActionId* actions, std::size_t n) {
    if (n == 0) return 0;
    const std::uint32_t hash = HashSequence(actions, n);
    const std::uint32_t shardIndex = hash >> (32 - ShardBits);
    Shard& shard = shards_[shardIndex];
    std::lock_guard<std::mutex> guard(shard.lock);
    std::uint32_t place = shard.index.Find(hash, [&](std::uint32_t c) {
        return shard.size[c] == n && std::equal(actions, actions + n, shard.actions.begin() + shard.first[c]);
    });
    if (place == IdIndex::Absent) {
        place = static_cast<std::uint32_t>(shard.first.size());
        shard.first.push_back(static_cast<std::uint32_t>(shard.actions.size()));
        shard.size.push_back(static_cast<std::uint32_t>(n));
        shard.actions.insert(shard.actions.end(), actions, actions + n);
        shard.index.Insert(place, hash);
    }
    return place << ShardBits | shardIndex;
}

std::uint32_t SequenceTable::Find(const ActionId* actions, std::size_t n) {
    if (n == 0) return 0;
    const std::uint32_t hash = HashSequence(actions, n);
    Shard& shard = shards_[hash >> (32 - ShardBits)];
    std::lock_guard<std::mutex> guard(shard.lock);
    const std::uint32_t place = shard.index.Find(hash, [&](std::uint32_t c) {
        return shard.size[c] == n && std::equal(actions, actions + n, shard.actions.begin() + shard.first[c]);
    });
    return place == IdIndex::Absent ? Absent : place << ShardBits | (hash >> (32 - ShardBits));
}

std::uint32_t SharedNames::Process(const ProcessDefinition* process) {
    if (!process) return 0;
    std::lock_guard<std::mutex> guard(lock_);
    auto [it, inserted] = processes_.try_emplace(process, static_cast<std::uint32_t>(processes_.size() + 1));
    return it->second;
}

std::uint32_t SharedNames::Gates(const ActionId* names, std::size_t n) {
    if (n == 0) return 0;
    const std::uint32_t hash = HashSequence(names, n);
    std::lock_guard<std::mutex> guard(lock_);
    std::uint32_t id = gateIndex_.Find(hash, [&](std::uint32_t c) {
        return gateSize_[c] == n && std::equal(names, names + n, gateNames_.begin() + gateFirst_[c]);
    });
    if (id != IdIndex::Absent) return id;
    id = static_cast<std::uint32_t>(gateFirst_.size());
    gateFirst_.push_back(static_cast<std::uint32_t>(gateNames_.size()));
    gateSize_.push_back(static_cast<std::uint32_t>(n));
    gateNames_.insert(gateNames_.end(), names, names + n);
    gateIndex_.Insert(id, hash);
    return id;
}

std::vector<ActionId> SharedNames::GateNames(std::uint32_t gates) {
    std::lock_guard<std::mutex> guard(lock_);
    return std::vector<ActionId>(gateNames_.begin() + gateFirst_[gates],
                                 gateNames_.begin() + gateFirst_[gates] + gateSize_[gates]);
}

}  // namespace quarvo
