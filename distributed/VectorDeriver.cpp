// One thread's part of a level on state vectors over MPI processes.
#include "distributed/VectorDeriver.h"

#include <algorithm>
#include <bit>

namespace quarvo {
namespace {

std::uint64_t MixHash(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h * 0xFF51AFD7ED558CCDull;
}

std::unique_ptr<Engine> OwnEngine(DeriverShared& shared, Engine* given) {
    if (given) return nullptr;
    return std::make_unique<Engine>(shared.pools.actions,
                                    StateIdentity{shared.settings.semantics, shared.settings.cpbrOff}, &shared.names);
}

}  // namespace

VectorDeriver::VectorDeriver(DeriverShared& shared, Engine* engine, VectorEngine* vectors)
    : shared_(shared),
      ownEngine_(OwnEngine(shared, engine)),
      ownVectors_(vectors ? nullptr : std::make_unique<VectorEngine>(engine ? *engine : *ownEngine_)),
      engine_(engine ? engine : ownEngine_.get()),
      vectors_(vectors ? vectors : ownVectors_.get()),
      storeSet_(*engine_, shared.pools, &shared.poolsLock) {}

bool VectorDeriver::Start(const Compilation* compilation, const VectorEngine& main) {
    if (ownVectors_) {
        const TermId root = engine_->Import(compilation ? compilation->rootBehaviour : nullptr);
        if (!vectors_->Build(engine_->Normalize(root), state_)) return false;
        vectors_->SetKeyOrder(main.KeyOrder());
    }
    width_ = vectors_->Width();
    components_.clear();
    for (std::uint32_t i = 0; i < width_; ++i)
        if (vectors_->IsComponent(i)) components_.push_back(i);
    return true;
}

void VectorDeriver::OpenWire() {
    // Only the process's own engine names its terms to itself by their ids.
    const std::uint32_t raw = ownEngine_ ? VectorWire::NoRaw : shared_.self;
    wire_ = std::make_unique<VectorWire>(shared_.processCount, raw, *engine_, *vectors_, shared_.processes,
                                         shared_.names, nullptr);
}

std::uint32_t VectorDeriver::OwnerOf(const std::uint32_t* key, const std::uint32_t* vector) {
    const std::vector<std::uint32_t>& order = vectors_->KeyOrder();
    std::uint64_t h = 0x5851F42D4C957F2Dull;
    for (const std::uint32_t slot : components_) {
        const std::uint32_t identity = key[order[slot]];
        if (identity >= canonical_.size()) canonical_.resize(std::size_t{identity} + identity / 2 + 1024, 0);
        std::uint64_t& c = canonical_[identity];
        if (!c) {
            engine_->Identity(vector[slot]);
            c = engine_->CanonicalHash(vector[slot], shared_.processes);
        }
        h = MixHash(h, c);
    }
    return static_cast<std::uint32_t>((h >> 7) % shared_.processCount);
}

std::uint32_t VectorDeriver::OwnerOf(const std::uint32_t* vector) {
    std::uint64_t h = 0x5851F42D4C957F2Dull;
    for (const std::uint32_t slot : components_) {
        // The canonical hash is kept by identity: the identity first.
        engine_->Identity(vector[slot]);
        h = MixHash(h, engine_->CanonicalHash(vector[slot], shared_.processes));
    }
    return static_cast<std::uint32_t>((h >> 7) % shared_.processCount);
}

void VectorDeriver::Translate(Engine& from, const std::vector<Held>& held, std::size_t first, std::size_t end,
                              const std::vector<std::uint32_t>& vectors) {
    translated_.resize((end - first) * width_);
    std::uint32_t* to = translated_.data();
    for (std::size_t h = first; h < end; ++h) {
        const std::uint32_t* vector = vectors.data() + std::size_t{held[h].vector} * width_;
        for (std::uint32_t slot = 0; slot < width_; ++slot, ++to) {
            const std::uint32_t value = vector[slot];
            if (vectors_->IsComponent(slot)) {
                // The null term (an operand that ended) is the null term everywhere.
                if (value == 0) {
                    *to = 0;
                    continue;
                }
                if (value >= termOf_.size()) termOf_.resize(std::size_t{value} + value / 2 + 64, 0);
                TermId& mine = termOf_[value];
                if (!mine) {
                    bytes_.clear();
                    from.EncodeTerm(value, shared_.processes, bytes_);
                    mine = engine_->DecodeTerm(bytes_, shared_.processes);
                }
                *to = mine;
            } else if (value == VectorEngine::Derived) {
                *to = value;
            } else {
                if (value >= setOf_.size()) setOf_.resize(std::size_t{value} + value / 2 + 64, 0);
                SetId& mine = setOf_[value];
                if (!mine) mine = engine_->MakeEvents(from.EventMask(value), from.EventActions(value)) + 1;
                *to = mine - 1;
            }
        }
    }
}

void VectorDeriver::Expand(const std::vector<Held>& held, std::size_t first, std::size_t end,
                           const std::uint32_t* vectors, std::int64_t levelFirst, std::size_t sharedBytes) {
    sources.clear();
    arcs.clear();
    out.assign(shared_.processCount, std::string());
    wire_->StartLevel(levelFirst);
    std::vector<ByteWriter> writers;
    for (std::string& o : out) writers.emplace_back(o);
    const std::uint32_t self = shared_.self;
    for (std::size_t h = first; h < end; ++h) {
        const Held& s = held[h];
        PendingSource record{static_cast<std::uint32_t>(h), static_cast<std::uint32_t>(arcs.size()), 0};
        if (shared_.memoryLow.load(std::memory_order_relaxed)) {
            sources.push_back(record);
            continue;
        }
        const std::uint32_t* vector =
            ownEngine_ ? translated_.data() + (h - first) * width_ : vectors + std::size_t{s.vector} * width_;
        state_.assign(vector, vector + width_);
        if (vectors_->Normalise(state_.data())) {
            // The index entries move as one process moves them.
            wire_->WriteHead(self, writers[self], s.number, RekeyFrom);
            writers[self].Number(s.entry);
            const std::uint32_t owner = OwnerOf(state_.data());
            wire_->WriteHead(owner, writers[owner], s.number, RekeyTo);
            wire_->WriteVector(owner, writers[owner], state_.data());
        }
        std::uint32_t index = 0;
        vectors_->Expand(state_.data(), [&](const VectorArc& arc, const std::uint32_t*) {
            if (++sinceCheck_ >= MemoryCheckStep) {
                sinceCheck_ = 0;
                if (shared_.memoryLow.load(std::memory_order_relaxed)) return false;
                std::size_t buffered = 0;
                for (const std::string& o : out) buffered += o.capacity();
                // Every thread's records (their vectors doubling at worst) and buffers, much alike.
                const auto growth = static_cast<std::int64_t>(
                    2 * (sizeof(PendingArc) * arcs.size() + buffered) * shared_.threads + engine_->Bytes() +
                    sharedBytes);
                if (shared_.memory.NearLimit(growth)) {
                    shared_.memoryLow.store(true, std::memory_order_relaxed);
                    return false;
                }
            }
            const std::uint32_t* whole = vectors_->WholeSuccessor();
            const std::uint32_t owner = OwnerOf(vectors_->SuccessorKey(), whole);
            wire_->WriteHead(owner, writers[owner], s.number, std::uint64_t{index++} * 3 + Query);
            wire_->WriteVector(owner, writers[owner], whole);
            arcs.push_back(PendingArc{arc.action, arc.event, storeSet_(arc.causes), 0, -1, 0,
                                      static_cast<std::uint16_t>(owner), Known});
            return true;
        });
        if (engine_->unguardedProcess && unguardedAt < 0) unguardedAt = s.number;
        record.arcCount = static_cast<std::uint32_t>(arcs.size()) - record.firstArc;
        sources.push_back(record);
    }
}

}  // namespace quarvo
