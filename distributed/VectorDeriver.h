// One thread's part of a level on state vectors: the successors of a run of
// the states its process holds, the questions about them to their owners,
// and the transitions derived, each thread on engines of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "distributed/LevelSteps.h"
#include "distributed/VectorWire.h"
#include "frontend/SyntaxTree.h"
#include "generation/Engine.h"
#include "generation/GenerationTypes.h"
#include "generation/MemoryWatch.h"
#include "generation/StoreSets.h"
#include "generation/vector/VectorEngine.h"

namespace quarvo {

// A state this process holds the vector of, still to be explored.
struct Held {
    std::int64_t number;
    std::uint32_t entry;   // its identity vector's entry at its owner, as it was found
    std::uint32_t state;   // its place in the owned STEM
    std::uint32_t vector;  // its place among the level's vectors
};

// A transition derived here, until its target has a number.
struct PendingArc {
    ActionId action;
    std::int32_t event;
    EventSetId causes;
    std::uint32_t holder = 0;  // the process that holds the target state
    std::int32_t target = -1;  // Known: the number; First, Same: the new state's place at its owner, until numbered
    std::uint32_t position;  // once numbered, a first discovery's place at its owner
    std::uint16_t owner;
    ReplyKind reply = Known;
};

// What the threads of one process share while they derive a level.
struct DeriverShared {
    const GenerationSettings& settings;
    SharedNames& names;
    StemStore& pools;  // filled under poolsLock while threads derive
    std::mutex poolsLock;
    const CanonicalProcesses& processes;
    const MemoryWatch& memory;
    std::uint32_t processCount, self;
    unsigned threads = 1;                // deriving the level
    std::atomic<bool> memoryLow{false};  // every thread stops deriving
};

class VectorDeriver {
public:
    // The first thread's deriver works on the process's engines (engine and
    // vectors, whose terms the process reads and keeps); the others make their own.
    explicit VectorDeriver(DeriverShared& shared, Engine* engine = nullptr, VectorEngine* vectors = nullptr);

    // Takes the structure of the process's: false when it has none.
    bool Start(const Compilation* compilation, const VectorEngine& main);
    // The wire this thread writes on, once the structure is known.
    void OpenWire();

    // The owner of a state, from its identity vector (or from its vector
    // alone): each component's canonical hash is kept by its identity.
    std::uint32_t OwnerOf(const std::uint32_t* key, const std::uint32_t* vector);
    std::uint32_t OwnerOf(const std::uint32_t* vector);

    // The vectors of held[first, end), whose slots name the terms and sets
    // of from (the process's engine), as vectors of this thread's engine.
    void Translate(Engine& from, const std::vector<Held>& held, std::size_t first, std::size_t end,
                   const std::vector<std::uint32_t>& vectors);
    // 1. The successors of held[first, end) and the questions about them, on
    // out. vectors are the process's (held[h].vector places each), which the
    // first thread reads as they are and the others as Translate made them;
    // levelFirst starts the level; sharedBytes is what the process holds besides.
    void Expand(const std::vector<Held>& held, std::size_t first, std::size_t end, const std::uint32_t* vectors,
                std::int64_t levelFirst, std::size_t sharedBytes);

    Engine& TheEngine() { return *engine_; }
    VectorEngine& Vectors() { return *vectors_; }
    std::size_t WireBytes() const { return wire_ ? wire_->Bytes() : 0; }

    std::vector<std::string> out;  // per process, what the level asks it
    std::vector<PendingSource> sources;
    std::vector<PendingArc> arcs;
    std::int64_t unguardedAt = -1;  // the source at which the engine met an unguarded recursion first

private:
    DeriverShared& shared_;
    std::unique_ptr<Engine> ownEngine_;
    std::unique_ptr<VectorEngine> ownVectors_;
    Engine* engine_;
    VectorEngine* vectors_;
    std::unique_ptr<VectorWire> wire_;
    StoreSets storeSet_;
    std::uint32_t width_ = 0;
    std::vector<std::uint32_t> components_;
    std::vector<std::uint64_t> canonical_;  // per identity, its component's canonical hash (0 for not yet)
    // Per term and set of the process's engine, its own here (plus one; 0 for not yet).
    std::vector<TermId> termOf_;
    std::vector<SetId> setOf_;
    std::vector<std::uint32_t> translated_, state_;
    std::string bytes_;
    std::int64_t sinceCheck_ = 0;
};

}  // namespace quarvo
