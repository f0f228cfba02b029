// Breadth-first exploration on state vectors, level by level on several threads.
#include "generation/vector/VectorLevels.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <functional>
#include <mutex>
#include <new>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

#include "generation/Crew.h"
#include "generation/DeadlockLevel.h"
#include "generation/GrowingArray.h"
#include "generation/Engine.h"
#include "generation/StoreSets.h"
#include "generation/MemoryWatch.h"
#include "generation/vector/LevelWorker.h"
#include "generation/vector/VectorEngine.h"
#include "generation/vector/VectorStates.h"

namespace quarvo {
namespace {

// Below this, what one step takes at once fits in the room the memory watch
// keeps free anyway: the step is not asked about.
constexpr std::size_t SmallGrowth = std::size_t{64} << 20;
// Room for the recursion of the rules over deeply nested terms, on each thread.
constexpr std::size_t WorkerStack = std::size_t{256} << 20;

using levels::Arc;
using levels::Blocks;
using levels::Found;
using levels::Signals;
using levels::Source;
using levels::Worker;

}  // namespace

bool ExploreVectorLevels(const std::shared_ptr<const Compilation>& compilation, const GenerationSettings& settings,
                         unsigned threads, StemStore& store, ExplorationShared& shared, GenerationResult& result) {
    SharedNames names(store.actions);
    std::mutex storeLock;
    const MemoryWatch memory(settings.memoryLimit);
    // Threads, and the engines they hold, are made when a level first needs
    // them: a small system explores on one, whatever was asked.
    Crew crew(WorkerStack);
    std::vector<std::unique_ptr<Worker>> workers;
    std::vector<std::uint32_t> state;
    const auto enlist = [&](unsigned wanted) {
        const unsigned size = crew.Grow(wanted);
        while (workers.size() < size) {
            workers.push_back(std::make_unique<Worker>(store.actions, settings, names, store, storeLock));
            Worker& w = *workers.back();
            w.id = static_cast<unsigned>(workers.size() - 1);
            w.engine.WatchMemory(&memory);
            std::vector<std::uint32_t> initial;
            if (!w.Start(compilation.get(), initial)) return 0u;
            if (workers.size() > 1) w.vectors.SetKeyOrder(workers[0]->vectors.KeyOrder());
        }
        for (auto& w : workers) w->Threads(static_cast<unsigned>(workers.size()));
        return std::min(wanted, size);
    };
    try {
        // The first engine takes the structure and plans the identity vector.
        workers.push_back(std::make_unique<Worker>(store.actions, settings, names, store, storeLock));
        workers[0]->engine.WatchMemory(&memory);
        if (!workers[0]->Start(compilation.get(), state)) return false;
        workers[0]->vectors.PlanKey(state.data());
        crew.Grow(1);
        workers[0]->Threads(1);
    } catch (const std::bad_alloc&) {
        return false;  // the term engine says how memory ran out
    }
    unsigned active = 1;  // the threads holding the states of the level being explored
    const std::uint32_t keyWidth = workers[0]->vectors.KeyWidth();
    VectorStates states(keyWidth);
    // Whether a step that takes that many bytes at once leaves the memory
    // within its limits (a small one fits the room the watch keeps free).
    const auto roomFor = [&](std::size_t bytes) {
        return bytes < SmallGrowth || !memory.NearLimit(static_cast<std::int64_t>(bytes));
    };
    // A growth of the state table between levels makes its new tables empty
    // on every thread of the crew (not from inside a job of the crew).
    bool crewIdle = true;
    states.ShareGrowth([&](const std::function<void(unsigned, unsigned)>& job) {
        const unsigned parts = crewIdle ? crew.Size() : 1;
        if (parts < 2) return job(0, 1);
        crew.Run(parts, [&](unsigned member) { job(member, parts); });
    });
    Signals signals;
    Blocks blocks;
    shared.levelPasses.store(2, std::memory_order_relaxed);  // derived, then numbered

    std::int64_t count = 0, explored = 0, depth = 0;
    std::int64_t levelFirst = 0, levelEnd = 0, previousFirst = 0;
    bool stop = false, stoppedOutside = false;
    std::vector<std::uint8_t> owner;  // of each state of the level being explored
    std::vector<Found> found;         // the states numbered in this level
    std::vector<std::size_t> cursor;
    std::vector<StemStore::LabelledArc> arcs;
    std::vector<std::uint32_t> key(keyWidth);
    try {
        Worker& first = *workers[0];
        first.vectors.Key(state.data(), key.data());
        states.Add(key.data());
        first.held.append(state);
        first.numbers = {0};
        owner.push_back(0);
        store.AppendState(0, EventSet{});
        count = 1;
        levelEnd = 1;
        // The threads mark the roots they meet until a level changes a key:
        // from then on each keeps a map of its own.
        bool marking = threads <= VectorStates::MarkingThreads && !settings.rootMapsFromStart;
        const std::function<void(unsigned)> expand = [&](unsigned w) {
            workers[w]->Expand(states, blocks, levelFirst, levelEnd, shared, memory, signals, marking);
        };
        // New states per state explored so far, for the room a level's new keys may take.
        double newPerState = 4;
        // A key changes at most once per state of the level, and each change
        // may intern a pair per level of the tree.
        const std::size_t pairsPerKey = 2 + std::bit_width(keyWidth);
        std::size_t rekeyReserve = 1024;
        while (levelFirst < levelEnd && !stop) {
            shared.levelStates.store(levelEnd - levelFirst, std::memory_order_relaxed);
            shared.levelProgress.store(depth * ExplorationShared::LevelUnit, std::memory_order_relaxed);
            const auto levelSize = static_cast<std::size_t>(levelEnd - levelFirst);
            const std::size_t levelKeys = static_cast<std::size_t>(newPerState * static_cast<double>(levelSize)) + 1024;
            // The tables grow while the old ones stand: not past the memory.
            if (!roomFor(states.ReserveBytes(levelKeys, rekeyReserve))) {
                result.stoppedByMemory = true;
                break;
            }
            states.Reserve(levelKeys, rekeyReserve);
            blocks.owner.clear();
            crew.Run(active, expand);
            if (signals.tableFull.load()) {
                // The state table filled up: it grows (forgetting the keys of this level)
                // and the level is explored again, unless the exploration ends
                // here, keeping the levels numbered so far.
                shared.arcs.store(store.ArcCount(), std::memory_order_relaxed);
                if (signals.memoryLow.load() || shared.stopRequested.load() ||
                    !roomFor(states.GrowthBytes())) {
                    result.stoppedByMemory = !shared.stopRequested.load() || signals.memoryLow.load();
                    break;
                }
                states.GrowNow();
                signals.tableFull.store(false);
                signals.abandon.store(false);
                newPerState *= 4;
                continue;
            }
            std::size_t rekeys = 0;
            for (unsigned w = 0; w < active; ++w)
                for (const Source& source : workers[w]->sources) rekeys += source.rekeyAt >= 0 ? 1 : 0;
            if (rekeys > 0 && marking) {
                // A key changed: an arc to a state of this level may yet find
                // it vacated, and need its successor. The level is explored
                // again (its keys forgotten), each thread keeping its map.
                marking = false;
                if (!roomFor(states.GrowthBytes())) {
                    result.stoppedByMemory = true;
                    break;
                }
                states.GrowNow();
                shared.arcs.store(store.ArcCount(), std::memory_order_relaxed);
                if (signals.abandon.load()) {
                    result.stoppedByMemory = signals.memoryLow.load();
                    break;
                }
                continue;
            }
            if (rekeys * pairsPerKey > rekeyReserve) {
                // The changes of key may need more room than was left: the
                // level is explored again with that room.
                if (!roomFor(states.GrowthBytes())) {
                    result.stoppedByMemory = true;
                    break;
                }
                states.GrowNow();
                shared.arcs.store(store.ArcCount(), std::memory_order_relaxed);
                if (signals.abandon.load()) {
                    result.stoppedByMemory = signals.memoryLow.load();
                    break;
                }
                rekeyReserve = rekeys * pairsPerKey + 1024;
                continue;
            }
            if (signals.abandon.load()) {
                result.stoppedByMemory = signals.memoryLow.load();
                if (result.stoppedByMemory) break;
                // Stopped from outside: the states each thread explored
                // before it stopped keep their arcs, up to the first one
                // some thread did not reach, and their successors are numbered.
                stoppedOutside = true;
            }
            // What numbering the level and handing its new states over will
            // take: each new state's record in the store, a copy of its vector
            // for the thread that explores it, the store's arcs, and the growth of the
            // state table before the next level. Not there, the exploration
            // stops now, with the levels numbered so far.
            std::size_t bound = 0, levelArcs = 0;  // at least as many as the new states; the arcs
            for (unsigned w = 0; w < active; ++w) {
                bound += workers[w]->firsts;
                levelArcs += workers[w]->arcs.size();
            }
            const std::uint32_t width = workers[0]->vectors.Width();
            const std::size_t levelNeeds = bound * (2 * sizeof(std::uint32_t) * width + 64) +
                                           levelArcs * (store.BytesPerArc() + 1) + 2 * states.Bytes();
            if (!stoppedOutside && !roomFor(levelNeeds)) {
                result.stoppedByMemory = true;
                break;
            }
            for (auto& w : workers) {
                w->next.clear();
                w->numbers.clear();
            }
            std::vector<std::uint8_t> nextOwner;
            cursor.assign(workers.size(), 0);
            const std::uint32_t epoch = states.Epoch();
            // Numbers in the order of the first discoverer, as one thread gives them.
            auto numberNew = [&](const Arc& a) {
                // A new state: the successor of this arc, whose vector was kept.
                assert(a.Ref() != Arc::Later && "the successor of a first arc");
                const auto [holder, index] = blocks.Where(a.Ref());
                const std::int64_t target = count++;
                states.Number(a.Root());
                found.push_back(Found{target, holder, index});
                const std::uint32_t* events = workers[holder]->kept->Events(index);
                store.AppendState(static_cast<std::int32_t>(target), store.InternEventRecord(events));
                return target;
            };
            const bool rekeyed = rekeys > 0;
            if (!rekeyed) {
                // No key changes in this level: a root names the state its first arc
                // in the rules' order numbered, which is some thread's first arc to
                // it. Those alone are looked at in order; the threads then resolve
                // their arcs at once, and the store takes them in order.
                // A stop asked during the pass keeps the sources numbered so far.
                std::int64_t numbered = levelFirst;
                // The first arcs of the sources a few ahead: the number cells
                // of their roots, and where their successors' events will be
                // interned, brought into the cache.
                constexpr std::int64_t Ahead = 6;
                std::vector<std::size_t> ahead(workers.size(), 0);
                auto prefetch = [&](std::int64_t s) {
                    const unsigned w = owner[static_cast<std::size_t>(s - levelFirst)];
                    const Worker& worker = *workers[w];
                    if (ahead[w] >= worker.sources.size()) return;
                    const Source& source = worker.sources[ahead[w]++];
                    for (std::uint32_t k = source.firstArc; k < source.firstArc + source.arcCount; ++k) {
                        const Arc& a = worker.arcs[k];
                        if (!a.First()) continue;
                        states.PrefetchNamed(a.Root());
                        const auto [holder, index] = blocks.Where(a.Ref());
                        const std::uint32_t* events = workers[holder]->kept->Events(index);
                        store.PrefetchEventRecord(events);
                    }
                };
                auto numberPass = [&] {
                    for (std::int64_t s = levelFirst; s < std::min(levelEnd, levelFirst + Ahead); ++s) prefetch(s);
                    for (std::int64_t s = levelFirst; s < levelEnd; ++s) {
                        if (s + Ahead < levelEnd) prefetch(s + Ahead);
                        const unsigned w = owner[static_cast<std::size_t>(s - levelFirst)];
                        Worker& worker = *workers[w];
                        if (cursor[w] >= worker.sources.size()) break;  // a thread stopped before this state
                        const Source& source = worker.sources[cursor[w]++];
                        for (std::uint32_t k = source.firstArc; k < source.firstArc + source.arcCount; ++k) {
                            const Arc& a = worker.arcs[k];
                            if (a.First() && states.Named(a.Root()) < 0) numberNew(a);
                        }
                        numbered = s + 1;
                        if (ShowNumbered(store, shared, s, count)) {
                            stoppedOutside = true;
                            break;
                        }
                    }
                };
                // The pass is alone: meanwhile a second thread takes the page
                // faults of what the level will store (its states and arcs,
                // and the vectors of its new states handed to the threads).
                if (crew.Size() > 1) {
                    std::size_t fresh = 0;
                    for (unsigned w = 0; w < active; ++w) fresh += workers[w]->Fresh();
                    const StemStore::Room room = store.MakeRoom(fresh, levelArcs);
                    const std::size_t share = (fresh / workers.size() + 1) * width;
                    for (auto& w : workers) w->next.reserve(share);
                    crewIdle = false;
                    crew.Run(2, [&](unsigned member) {
                        if (member == 0) return numberPass();
                        store.PopulateRoom(room);
                        for (const auto& w : workers) w->next.Populate(0, share);
                    });
                    crewIdle = true;
                } else {
                    numberPass();
                }
                crew.Run(active, [&](unsigned w) { workers[w]->Resolve(states); });
                cursor.assign(workers.size(), 0);
                for (std::int64_t s = levelFirst; s < numbered; ++s) {
                    const unsigned w = owner[static_cast<std::size_t>(s - levelFirst)];
                    Worker& worker = *workers[w];
                    if (cursor[w] >= worker.sources.size()) break;
                    const Source& source = worker.sources[cursor[w]++];
                    arcs.clear();
                    for (std::uint32_t k = source.firstArc; k < source.firstArc + source.arcCount; ++k) {
                        const Arc& a = worker.arcs[k];
                        arcs.push_back(StemStore::LabelledArc{a.place, a.label});
                    }
                    // Stored in the order found; the store reads them back newest first.
                    store.SetArcs(static_cast<std::size_t>(s), arcs);
                    explored = s + 1;
                }
            }
            for (std::int64_t s = levelFirst; s < levelEnd && rekeyed; ++s) {
                const unsigned w = owner[static_cast<std::size_t>(s - levelFirst)];
                Worker& worker = *workers[w];
                if (cursor[w] >= worker.sources.size()) break;  // a thread stopped before this state
                const Source& source = worker.sources[cursor[w]++];
                if (source.rekeyAt >= 0) {
                    states.Rekey(s, worker.keys.data() + source.rekeyAt);
                    // The reserve keeps the roots of this level where they are.
                    if (states.Epoch() != epoch) throw std::logic_error("the state table grew while a level was numbered");
                }
                arcs.clear();
                for (std::uint32_t k = source.firstArc; k < source.firstArc + source.arcCount; ++k) {
                    const Arc& a = worker.arcs[k];
                    std::int64_t target = a.Known() ? a.Target() : -1;
                    if (target < 0) {
                        const std::int32_t named = states.Named(a.Root());
                        target = named >= 0 ? named : numberNew(a);
                    }
                    arcs.push_back(StemStore::LabelledArc{static_cast<std::uint32_t>(target), a.label});
                }
                // Stored in the order found; the store reads them back newest first.
                store.SetArcs(static_cast<std::size_t>(s), arcs);
                explored = s + 1;
                if (ShowNumbered(store, shared, s, count)) {
                    stoppedOutside = true;
                    break;
                }
            }
            ShowLevelNumbered(store, shared, count);
            // Room for twice as many as this level found, the keys of known
            // states besides: a level that finds more explores again.
            if (levelSize > 0)
                newPerState = 2 * static_cast<double>(count - levelEnd) / static_cast<double>(levelSize) + 0.5;
            if (stoppedOutside) break;
            if (settings.stopAtDeadlockLevel && LevelHoldsDeadlock(store, previousFirst, levelFirst, levelEnd)) {
                result.stoppedAtDeadlock = true;
                break;
            }
            if (shared.stopRequested.load(std::memory_order_relaxed)) break;  // this level numbered, not handed over
            // The new states go to the threads that will explore them.
            const unsigned holders = enlist(LevelThreads(static_cast<std::int64_t>(found.size()), threads));
            if (holders == 0) throw std::bad_alloc();
            levels::Hand(workers, found, nextOwner, holders);
            active = holders;
            found.clear();
            for (auto& w : workers) std::swap(w->held, w->next);
            owner.swap(nextOwner);
            previousFirst = levelFirst;
            ++depth;
            levelFirst = levelEnd;
            levelEnd = count;
        }
    } catch (const std::bad_alloc&) {
        // What was stored so far stays usable.
        result.stoppedByMemory = true;
        count = std::min<std::int64_t>(count, static_cast<std::int64_t>(store.StateCount()));
        explored = std::min(explored, count);
    }
    result.interrupted = explored < count || result.stoppedByMemory;
    result.exploredStates = explored;
    result.states = count;
    result.arcs = store.ArcCount();
    result.onVectors = true;
    result.threadsMade = static_cast<std::int32_t>(workers.size());
    std::int64_t unguardedAt = -1;
    for (const auto& w : workers) {
        result.eventNamesExhausted = result.eventNamesExhausted || w->engine.eventNamesExhausted;
        result.nodesBuilt += w->engine.TermCount();
        if (w->engine.unguardedProcess && w->unguardedAt >= 0 && (unguardedAt < 0 || w->unguardedAt < unguardedAt)) {
            unguardedAt = w->unguardedAt;
            result.unguardedRecursion = true;
            result.unguardedProcess = w->engine.unguardedProcess->name.Text();
        }
    }
    store.StemStateCount = static_cast<std::int32_t>(count);
    store.LastGenStateCount = static_cast<std::int32_t>(count);
    return true;
}

}  // namespace quarvo
