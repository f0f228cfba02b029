// The exploration: states numbered in breadth-first order of discovery, arcs newest first.
#include "generation/Generator.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <new>
#include <string>
#include <vector>

#include "generation/Engine.h"
#include "generation/StoreSets.h"
#include "generation/ExplorationEnd.h"
#include "generation/DeadlockLevel.h"
#include "generation/LevelExploration.h"
#include "generation/StateIndex.h"
#include "generation/LargeStack.h"
#include "generation/MemoryWatch.h"
#include "generation/vector/VectorExploration.h"

namespace quarvo {
namespace {

// How often, in transitions, the memory in use is looked at.
constexpr std::int64_t MemoryCheckStep = 1 << 14;

// The exploration on one thread, state after state: under a bound, and for
// the tests that recognise states by comparing whole terms (linearSearch),
// every term staying in one engine. The progress and the measures around it are the caller's.
GenerationResult ExploreOneByOne(const std::shared_ptr<const Compilation>& compilation,
                                 const GenerationSettings& settings, StemStore& store, ExplorationShared& shared) {
    GenerationResult result;
    Engine engine(store.actions, StateIdentity{settings.semantics, settings.cpbrOff});
    MemoryWatch memory(settings.memoryLimit);
    engine.WatchMemory(&memory);
    StateIndex index;
    std::vector<TermId> terms;
    std::vector<std::uint32_t> identities;  // of each state's term, for the linear scan of the tests

    StoreSets StoreSet(engine, store);

    std::int64_t stateCount = 0;
    std::int64_t arcs = 0;
    std::int64_t current = 0;
    bool stop = false;
    std::vector<TStemArc> found;
    try {
        const TermId root = engine.Import(compilation ? compilation->rootBehaviour : nullptr);
        terms.push_back(root);
        identities.push_back(engine.Identity(root));
        index.Set(identities.back(), 0);
        store.AppendState(0, EventSet{});
        stateCount = 1;

        std::int64_t nextMemoryCheck = MemoryCheckStep;
        std::uint64_t nextCollection = settings.collectionThreshold;
        TermId successor = 0;
        auto find = [&](std::uint32_t identity) -> std::int64_t {
            if (!settings.linearSearch) return index.Find(identity);
            for (std::size_t i = 0; i < terms.size(); ++i)
                if (engine.SameState(terms[i], successor)) return static_cast<std::int64_t>(i);
            return -1;
        };

        // The level being explored, for stopAtDeadlockLevel.
        DeadlockLevels deadlockLevels;
        auto deadlockAtLevelEnd = [&] {
            return deadlockLevels.AtEnd(settings.stopAtDeadlockLevel, store, current, stateCount);
        };
        for (; current < stateCount && !stop; ++current) {
            if (deadlockAtLevelEnd()) {
                result.stoppedAtDeadlock = true;
                break;
            }
            if (current > 0 && shared.stopRequested.load(std::memory_order_relaxed)) break;
            const TermId before = terms[static_cast<std::size_t>(current)];
            const TermId term = engine.Normalize(before);
            if (term != before) {
                const std::uint32_t identity = engine.Identity(term);
                index.Rekey(identities[static_cast<std::size_t>(current)], identity, current);
                identities[static_cast<std::size_t>(current)] = identity;
                terms[static_cast<std::size_t>(current)] = term;
            }
            found.clear();
            auto take = [&](Transition& t) {
                if (arcs + static_cast<std::int64_t>(found.size()) >= nextMemoryCheck) {
                    nextMemoryCheck += MemoryCheckStep;
                    // The arc vector may double, and the engine's tables with it.
                    const std::int64_t growth =
                        2 * static_cast<std::int64_t>(store.BytesPerArc()) * (arcs + static_cast<std::int64_t>(found.size())) +
                        static_cast<std::int64_t>(engine.Bytes());
                    if (memory.NearLimit(growth)) {
                        result.stoppedByMemory = true;
                        stop = true;
                        return false;
                    }
                }
                ActionId action = t.action;
                // A known successor is recognised without being made, where its shape allows.
                if (!settings.linearSearch) {
                    if (const std::uint32_t probed = engine.ProbeIdentity(term, t, action)) {
                        if (const std::int64_t known = index.Find(probed); known >= 0) {
                            if (action == engine.Dollar()) action = engine.Internal();
                            found.push_back(TStemArc{static_cast<std::int32_t>(known), action, t.event, StoreSet(t.causes)});
                            return true;
                        }
                    }
                    action = t.action;
                }
                engine.Mark();
                successor = engine.Successor(term, t, action);
                const std::uint32_t identity = engine.Identity(successor);
                std::int64_t target = find(identity);
                if (target >= 0) {
                    engine.Rollback();
                } else {
                    if (settings.maxStates > 0 && stateCount >= settings.maxStates) {
                        // No state beyond the bound: the exploration ends here.
                        engine.Rollback();
                        result.stoppedByBound = true;
                        stop = true;
                        return false;
                    }
                    engine.Commit();
                    target = stateCount++;
                    index.Set(identity, target);
                    terms.push_back(successor);
                    identities.push_back(identity);
                    store.AppendState(static_cast<std::int32_t>(target), StoreSet(engine.Node(successor).events));
                }
                if (action == engine.Dollar()) action = engine.Internal();
                found.push_back(TStemArc{static_cast<std::int32_t>(target), action, t.event, StoreSet(t.causes)});
                return true;
            };
            engine.Enumerate(term, take);
            engine.EndState();
            if (!settings.linearSearch) {
                // An explored state's term is needed no more.
                terms[static_cast<std::size_t>(current)] = 0;
                if (engine.TermCount() > nextCollection) {
                    engine.Collect(terms);
                    StoreSet.Clear();
                    nextCollection = std::max<std::uint64_t>(settings.collectionThreshold,
                                                             2 * static_cast<std::uint64_t>(engine.TermCount()));
                }
            }
            // Stored in the order found; the store reads them back newest first.
            store.SetArcs(static_cast<std::size_t>(current), found);
            found.clear();
            arcs = store.ArcCount();
            store.LastGenStateCount = static_cast<std::int32_t>(stateCount);
            shared.states.store(stateCount, std::memory_order_relaxed);
            shared.arcs.store(arcs, std::memory_order_relaxed);
        }
        if (!stop && !result.stoppedAtDeadlock && current == stateCount && deadlockAtLevelEnd())
            result.stoppedAtDeadlock = true;
    } catch (const std::bad_alloc&) {
        KeepWhatMemoryAllowed(store, current, stateCount, found, result);
    }
    EndStateAfterState(store, current, stateCount, engine, result);
    return result;
}

// Room for the recursion of the rules over terms nested a few hundred
// thousand operators deep.
constexpr std::size_t ExplorationStack = std::size_t{256} << 20;

}  // namespace

GenerationResult GenerateStem(std::shared_ptr<const Compilation> compilation, const GenerationSettings& settings,
                              StemStore& store, Progress* progress) {
    using Clock = std::chrono::system_clock;
    store.FreeStates();
    store.compilation = compilation;
    const Clock::time_point started = Clock::now();
    // What an earlier operation freed goes back to the system: the resident
    // set grows from here by what this generation takes.
    ReturnFreeMemory();
    const std::int64_t heapBefore = HeapBytesInUse();
    const std::int64_t residentBefore = ReadMemoryFigures().residentBytes;
    std::int64_t residentPeak = residentBefore;
    const auto steadyStart = std::chrono::steady_clock::now();

    // The exploration runs on a thread of its own, for its stack; the progress
    // and the stop request stay on the caller's thread (a window's).
    ExplorationShared shared;
    GenerationResult result;
    try {
        RunOnLargeStack(
            [&] {
                // A bound stops in the middle of a state's transitions, before
                // the successors past it are built: that is the one-by-one
                // exploration's way, which a level derived at once cannot keep.
                const bool oneByOne = settings.linearSearch || settings.maxStates > 0;
                if (!settings.linearSearch && !settings.termsOnly &&
                    ExploreVectors(compilation, settings, store, shared, result))
                    return;
                result = oneByOne ? ExploreOneByOne(compilation, settings, store, shared)
                                  : ExploreByLevels(compilation, settings, store, shared);
            },
            ExplorationStack, [&] {
            const std::int64_t resident = ReadMemoryFigures().residentBytes;
            residentPeak = std::max(residentPeak, resident);
            if (!progress) return;
            // The level's progress before the counts: the states it went past were counted before it.
            const std::int64_t level = shared.levelProgress.load(std::memory_order_acquire);
            progress->Update(shared.states.load(std::memory_order_relaxed),
                             shared.arcs.load(std::memory_order_relaxed));
            GenerationFigures figures;
            figures.level = level / ExplorationShared::LevelUnit;
            figures.levelStates = shared.levelStates.load(std::memory_order_relaxed);
            figures.levelExplored = std::min(figures.levelStates, level % ExplorationShared::LevelUnit /
                                                                      shared.levelPasses.load(std::memory_order_relaxed));
            figures.seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() -
                                                                               steadyStart).count();
            figures.memoryBefore = residentBefore;
            figures.memoryUsed = std::max<std::int64_t>(0, resident - residentBefore);
            progress->UpdateGeneration(figures);
            if (progress->StopRequested()) shared.stopRequested.store(true, std::memory_order_relaxed);
        });
    } catch (const std::bad_alloc&) {
        // Memory ran out where the exploration could not keep what it had
        // stored: nothing of it is kept.
        store.FreeStates();
        store.StemStateCount = 0;
        result = GenerationResult{};
        result.interrupted = true;
        result.stoppedByMemory = true;
        result.abandoned = true;
    }
    if (progress && !result.abandoned) progress->Update(result.states, result.arcs);

    const Clock::time_point ended = Clock::now();
    result.started = started;
    result.ended = ended;
    result.seconds = static_cast<std::int64_t>(Clock::to_time_t(ended) - Clock::to_time_t(started));
    result.heapBytesBefore = heapBefore;
    result.heapBytesAfter = HeapBytesInUse();
    result.memoryBefore = residentBefore;
    result.memoryUsed = std::max<std::int64_t>(0, std::max(residentPeak, ReadMemoryFigures().residentBytes) - residentBefore);
    return result;
}

std::vector<std::string> GenerationSummaryLines(const GenerationResult& result) {
    std::vector<std::string> lines;
    if (result.abandoned) return lines;
    const std::string states = std::to_string(result.states);
    lines.push_back("Nombre d'états = " + states + ".");
    lines.push_back("Nombre d'arcs = " + std::to_string(result.arcs) + ".");
    if (result.eventNamesExhausted)
        lines.push_back(EventNamesExhaustedWarning);
    if (!result.unguardedProcess.empty())
        lines.push_back("Attention : récursion non gardée dans le processus " + result.unguardedProcess +
                        " ; ses appels récursifs avant toute action ne sont pas dépliés.");
    // The figure the memory limit applies to, as the generation dialog shows it.
    if (result.stoppedByMemory && result.memoryUsed > 0)
        lines.push_back("Mémoire consommée par la génération : " + std::to_string(result.memoryUsed / (1024 * 1024)) +
                        " Mo.");
    if (result.stoppedByMemory)
        lines.push_back("Génération interrompue : mémoire insuffisante (" + states + " états).");
    else if (result.interrupted)
        lines.push_back("Génération interrompue : " + states + " états.");
    else
        lines.push_back("Génération terminée.");
    return lines;
}

}  // namespace quarvo
