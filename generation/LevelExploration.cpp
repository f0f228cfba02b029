// Level-by-level exploration: successors derived on every thread, numbered in one pass in discovery order.
#include "generation/LevelExploration.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "generation/Crew.h"
#include "generation/DeadlockLevel.h"
#include "generation/Engine.h"
#include "generation/StoreSets.h"
#include "generation/MemoryWatch.h"
#include "generation/StateIndex.h"

namespace quarvo {
namespace {

// How often, in transitions, a thread looks at the memory in use.
constexpr std::int64_t MemoryCheckStep = 1 << 14;
// Room for the recursion of the rules over deeply nested terms, on each thread.
constexpr std::size_t WorkerStack = std::size_t{256} << 20;
// The fewest states of a level worth a thread of their own: below it, a
// thread's wake-up and its engine cost more than the states' derivation.
constexpr std::int64_t StatesPerThread = 8;
// The most threads per core: more only share the cores.
constexpr unsigned ThreadsPerCore = 4;
// The most threads a level may use: state owners are bytes.
constexpr unsigned MostThreads = 255;

// A transition as derived, before its target has a number.
struct ArcRecord {
    std::uint32_t identity;  // of the successor
    std::int32_t target;     // a state of an earlier level, or -1: numbered later
    ActionId action;
    std::int32_t event;
    EventSetId causes;
    TermId successor;        // kept when target is -1
    EventSetId successorEvents;
};

// One explored state: its identity after its normal form, and its arcs.
struct SourceRecord {
    std::uint32_t identity;
    std::uint32_t firstArc;
    std::uint32_t arcCount;
};

// A state numbered in this level: who found it first, and the term found.
struct NewState {
    std::int64_t number;
    unsigned discoverer;
    TermId term;
};

// What the threads of a level share with the numbering pass.
struct Level {
    std::int64_t first = 0;  // the level's first state
    std::int64_t end = 0;    // one past its last
    std::vector<std::uint32_t> identity;  // every state's identity so far
    std::vector<std::uint8_t> owner;      // the thread holding a state's term
    std::vector<std::uint32_t> slot;      // its place among that thread's terms
    StateIndex index;
    std::atomic<bool> abandon{false};     // stop, memory: the level is given up
    std::atomic<bool> memoryLow{false};
};

// One thread's engine, the terms of the states it holds, and its part of a level.
class Worker {
public:
    Worker(ActionTable& actions, const GenerationSettings& settings, SharedNames& names, StemStore& store,
           std::mutex& storeLock)
        : engine(actions, StateIdentity{settings.semantics, settings.cpbrOff}, &names),
          nextCollection(settings.collectionThreshold),
          store_(store),
          threshold_(settings.collectionThreshold),
          storeSets_(engine, store, &storeLock) {}

    // The engine's set as the store's, converted once each.
    EventSetId StoreSet(SetId set) { return storeSets_(set); }

    // Derives the successors of this thread's sources of the level.
    void Expand(Level& level, ExplorationShared& shared, const MemoryWatch& memory);
    // Keeps the terms of the states it found that stay here, and packs the
    // others for the threads that will hold them.
    void Hand(const std::vector<NewState>& found, const std::vector<std::uint8_t>& holder, unsigned self,
              Level& level, unsigned threads);
    // Makes the terms packed for it by the others, then collects its nodes
    // when they outgrew what was kept.
    void Receive(std::vector<std::unique_ptr<Worker>>& crew, unsigned self, Level& level);

    Engine engine;
    std::vector<TermId> terms;
    std::vector<std::int64_t> sources;
    std::vector<SourceRecord> sourceOut;
    std::vector<ArcRecord> arcOut;
    std::int64_t unguardedAt = -1;  // the first source whose derivation met an unguarded call
    std::uint64_t nextCollection;
    // What this thread sends to each other thread: packed terms and, for
    // each, the state number and the root's place in the packet.
    std::vector<TermPacket> packets;
    std::vector<std::vector<std::pair<std::int64_t, std::uint32_t>>> packedStates;

private:
    void Collect();
    bool Seen(std::uint32_t identity);

    StemStore& store_;
    std::uint32_t threshold_;
    StoreSets storeSets_;
    std::vector<TermId> made_;
    // Per identity, the last level whose successors here already held it:
    // a later successor of that identity is never a new state's term.
    std::vector<std::uint32_t> seenAt_;
    std::uint32_t expansion_ = 0;
    std::int64_t arcsSinceCheck_ = 0;
    // Successors of this expansion that no earlier level holds, each identity
    // once: a lower bound of the level's new states, shown while it is explored.
    std::int64_t fresh_ = 0;
};

bool Worker::Seen(std::uint32_t identity) {
    if (identity >= seenAt_.size()) seenAt_.resize(std::size_t{identity} + identity / 2 + 1024, 0);
    if (seenAt_[identity] == expansion_) return true;
    seenAt_[identity] = expansion_;
    return false;
}

void Worker::Collect() {
    // The roots: the terms of waiting states and the successors not numbered yet.
    std::vector<TermId> roots(terms);
    for (const ArcRecord& a : arcOut) roots.push_back(a.successor);
    engine.Collect(roots);
    std::copy(roots.begin(), roots.begin() + static_cast<std::ptrdiff_t>(terms.size()), terms.begin());
    for (std::size_t i = 0; i < arcOut.size(); ++i) arcOut[i].successor = roots[terms.size() + i];
    storeSets_.Clear();  // the engine's sets were renumbered
    nextCollection = std::max<std::uint64_t>(threshold_, 2 * static_cast<std::uint64_t>(engine.TermCount()));
}

void Worker::Expand(Level& level, ExplorationShared& shared, const MemoryWatch& memory) {
    sourceOut.clear();
    arcOut.clear();
    ++expansion_;
    fresh_ = 0;
    for (const std::int64_t s : sources) {
        if (level.abandon.load(std::memory_order_relaxed)) return;
        if (shared.stopRequested.load(std::memory_order_relaxed)) {
            level.abandon.store(true, std::memory_order_relaxed);
            return;
        }
        TermId& held = terms[level.slot[static_cast<std::size_t>(s)]];
        const TermId term = engine.Normalize(held);
        SourceRecord record{level.identity[static_cast<std::size_t>(s)], static_cast<std::uint32_t>(arcOut.size()), 0};
        if (term != held) record.identity = engine.Identity(term);
        bool stop = false;
        auto take = [&](Transition& t) {
            if (++arcsSinceCheck_ >= MemoryCheckStep) {
                arcsSinceCheck_ = 0;
                const std::int64_t arcs = store_.ArcCount() + static_cast<std::int64_t>(arcOut.size());
                const std::int64_t growth =
                    2 * static_cast<std::int64_t>(store_.BytesPerArc() + sizeof(ArcRecord)) * arcs +
                    static_cast<std::int64_t>(engine.Bytes());
                if (memory.NearLimit(growth)) {
                    level.memoryLow.store(true, std::memory_order_relaxed);
                    level.abandon.store(true, std::memory_order_relaxed);
                }
                if (level.abandon.load(std::memory_order_relaxed)) {
                    stop = true;
                    return false;
                }
            }
            // A state of an earlier level keeps its number whatever this
            // level renumbers; any other target is decided by the numbering.
            // A successor whose identity is told without making it, and that
            // is such a state or an earlier successor's, is never made.
            ActionId action = t.action;
            std::uint32_t identity = engine.ProbeIdentity(term, t, action);
            std::int64_t target = identity ? level.index.Find(identity) : -1;
            ArcRecord arc{identity, -1, action, t.event, 0, 0, 0};
            if (identity && target >= 0 && target < level.first) {
                arc.target = static_cast<std::int32_t>(target);
            } else if (identity && target < 0 && Seen(identity)) {
                // An earlier successor of this level is the state's first
                // discoverer, or another thread's is: this term is not kept.
            } else {
                const bool seenAsked = identity != 0;
                engine.Mark();
                action = t.action;
                const TermId successor = engine.Successor(term, t, action);
                identity = engine.Identity(successor);
                target = level.index.Find(identity);
                arc.identity = identity;
                arc.action = action;
                if (target >= 0 && target < level.first) {
                    engine.Rollback();
                    arc.target = static_cast<std::int32_t>(target);
                } else if (target < 0 && !seenAsked && Seen(identity)) {
                    engine.Rollback();
                } else {
                    if (target < 0) ++fresh_;
                    engine.Commit();
                    arc.successor = successor;
                    arc.successorEvents = StoreSet(engine.Node(successor).events);
                }
            }
            if (arc.action == engine.Dollar()) arc.action = engine.Internal();
            arc.causes = StoreSet(t.causes);
            arcOut.push_back(arc);
            return true;
        };
        engine.Enumerate(term, take);
        engine.EndState();
        if (stop) return;
        if (engine.unguardedProcess && unguardedAt < 0) unguardedAt = s;
        held = 0;  // an explored state's term is needed no more
        record.arcCount = static_cast<std::uint32_t>(arcOut.size()) - record.firstArc;
        sourceOut.push_back(record);
        // The arcs derived count at once, so that progress moves while the level is explored.
        shared.levelProgress.fetch_add(1, std::memory_order_relaxed);
        shared.arcs.fetch_add(record.arcCount, std::memory_order_relaxed);
        if ((sourceOut.size() & 63) == 0) shared.StatesAtLeast(level.end + fresh_);
        if (engine.TermCount() > nextCollection) Collect();
    }
    shared.StatesAtLeast(level.end + fresh_);
}

void Worker::Hand(const std::vector<NewState>& found, const std::vector<std::uint8_t>& holder, unsigned self,
                  Level& level, unsigned threads) {
    packets.resize(threads);
    packedStates.resize(threads);
    for (unsigned t = 0; t < threads; ++t) {
        packets[t].Clear();
        packedStates[t].clear();
    }
    for (std::size_t i = 0; i < found.size(); ++i) {
        const NewState& s = found[i];
        if (s.discoverer != self || holder[i] != self) continue;
        level.slot[static_cast<std::size_t>(s.number)] = static_cast<std::uint32_t>(terms.size());
        terms.push_back(s.term);
    }
    // One packing per destination: a node shared by two packets is in each.
    for (unsigned to = 0; to < threads; ++to) {
        if (to == self) continue;
        for (std::size_t i = 0; i < found.size(); ++i)
            if (found[i].discoverer == self && holder[i] == to)
                packedStates[to].emplace_back(found[i].number, engine.Pack(found[i].term, packets[to]));
        engine.EndPacking();
    }
}

void Worker::Receive(std::vector<std::unique_ptr<Worker>>& crew, unsigned self, Level& level) {
    for (std::size_t from = 0; from < crew.size(); ++from) {
        if (from == self) continue;
        Worker& other = *crew[from];
        if (other.packedStates.size() <= self || other.packedStates[self].empty()) continue;
        engine.Unpack(other.packets[self], made_);
        for (const auto& [number, root] : other.packedStates[self]) {
            level.slot[static_cast<std::size_t>(number)] = static_cast<std::uint32_t>(terms.size());
            terms.push_back(made_[root]);
        }
    }
    if (engine.TermCount() > nextCollection) Collect();
}

// The thread, of threads, that holds each new state: its discoverer, unless
// that one found more than its share of the level or is not among threads
// (the next level keeps fewer busy); the rest goes to the threads that found
// the least, so that the next level's work is balanced.
std::vector<std::uint8_t> Holders(const std::vector<NewState>& found, unsigned threads) {
    constexpr std::uint8_t Pending = 0xFF;
    std::vector<std::uint8_t> holder(found.size(), 0);
    if (threads == 1) return holder;
    const std::size_t share = (found.size() + threads - 1) / threads;
    std::vector<std::size_t> kept(threads, 0);
    for (std::size_t i = 0; i < found.size(); ++i) {
        const unsigned d = found[i].discoverer;
        holder[i] = d < threads && kept[d] < share ? static_cast<std::uint8_t>(d) : Pending;
        if (holder[i] != Pending) ++kept[d];
    }
    unsigned taker = 0;
    for (std::uint8_t& h : holder) {
        if (h != Pending) continue;
        while (kept[taker] >= share) ++taker;
        h = static_cast<std::uint8_t>(taker);
        ++kept[taker];
    }
    return holder;
}

}  // namespace

GenerationResult ExploreByLevels(const std::shared_ptr<const Compilation>& compilation,
                                 const GenerationSettings& settings, StemStore& store, ExplorationShared& shared) {
    GenerationResult result;
    SharedNames names(store.actions);
    std::mutex storeLock;
    const MemoryWatch memory(settings.memoryLimit);
    // Threads, and the engines they hold, are made when a level first needs
    // them: a small system explores on one, whatever was asked.
    const unsigned limit = ExplorationThreads(settings);
    Crew crew(WorkerStack);
    std::vector<std::unique_ptr<Worker>> workers;
    const auto enlist = [&](unsigned wanted) {
        const unsigned size = crew.Grow(wanted);
        while (workers.size() < size) {
            workers.push_back(std::make_unique<Worker>(store.actions, settings, names, store, storeLock));
            workers.back()->engine.WatchMemory(&memory);
        }
        return std::min(wanted, size);
    };
    enlist(1);
    shared.levelPasses.store(2, std::memory_order_relaxed);
    unsigned threads = 1;  // holding the states of the level being explored

    Level level;
    std::int64_t count = 0;
    std::int64_t explored = 0;  // states whose arcs are stored
    std::vector<NewState> found;
    std::vector<TStemArc> arcs;
    std::vector<std::size_t> cursor(limit, 0);
    bool stop = false;
    bool stoppedOutside = false;
    std::int64_t depth = 0;  // of the level being explored
    std::int64_t previousFirst = 0;  // the first state of the level before
    try {
        Worker& first = *workers[0];
        const TermId root = first.engine.Import(compilation ? compilation->rootBehaviour : nullptr);
        level.identity.push_back(first.engine.Identity(root));
        level.owner.push_back(0);
        level.slot.push_back(0);
        first.terms.push_back(root);
        level.index.Set(level.identity[0], 0);
        store.AppendState(0, EventSet{});
        count = 1;
        level.end = 1;

        const std::function<void(unsigned)> expand = [&](unsigned w) { workers[w]->Expand(level, shared, memory); };
        std::vector<std::uint8_t> holder;
        unsigned holders = 1;  // holding the states of the next level
        const std::function<void(unsigned)> hand = [&](unsigned w) {
            workers[w]->Hand(found, holder, w, level, holders);
        };
        const std::function<void(unsigned)> receive = [&](unsigned w) { workers[w]->Receive(workers, w, level); };

        while (level.first < level.end && !stop) {
            for (auto& w : workers) w->sources.clear();
            for (std::int64_t s = level.first; s < level.end; ++s)
                workers[level.owner[static_cast<std::size_t>(s)]]->sources.push_back(s);
            shared.levelStates.store(level.end - level.first, std::memory_order_relaxed);
            shared.levelProgress.store(depth * ExplorationShared::LevelUnit, std::memory_order_relaxed);
            crew.Run(threads, expand);
            if (level.abandon.load()) {
                result.stoppedByMemory = level.memoryLow.load();
                if (result.stoppedByMemory) break;
                // Stopped from outside: the states each thread explored
                // before it stopped keep their arcs, up to the first one
                // some thread did not reach, and their successors are numbered.
                stoppedOutside = true;
            }

            // Numbers in the order of the first discoverer, as one thread gives them.
            found.clear();
            std::fill(cursor.begin(), cursor.end(), 0);
            for (std::int64_t s = level.first; s < level.end && !stop; ++s) {
                const unsigned w = level.owner[static_cast<std::size_t>(s)];
                Worker& worker = *workers[w];
                if (cursor[w] >= worker.sourceOut.size()) break;  // a thread stopped before this state
                const SourceRecord& r = worker.sourceOut[cursor[w]++];
                level.index.Rekey(level.identity[static_cast<std::size_t>(s)], r.identity, s);
                level.identity[static_cast<std::size_t>(s)] = r.identity;
                arcs.clear();
                for (std::uint32_t k = r.firstArc; k < r.firstArc + r.arcCount; ++k) {
                    const ArcRecord& a = worker.arcOut[k];
                    std::int64_t target = a.target;
                    if (target < 0) target = level.index.Find(a.identity);
                    if (target < 0) {
                        if (settings.maxStates > 0 && count >= settings.maxStates) {
                            // No state beyond the bound: the exploration ends here.
                            result.stoppedByBound = true;
                            stop = true;
                            break;
                        }
                        target = count++;
                        level.index.Set(a.identity, target);
                        level.identity.push_back(a.identity);
                        level.owner.push_back(static_cast<std::uint8_t>(w));
                        level.slot.push_back(0);
                        found.push_back(NewState{target, w, a.successor});
                        store.AppendState(static_cast<std::int32_t>(target), a.successorEvents);
                    }
                    arcs.push_back(TStemArc{static_cast<std::int32_t>(target), a.action, a.event, a.causes});
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
            if (stop || stoppedOutside) break;
            if (settings.stopAtDeadlockLevel && LevelHoldsDeadlock(store, previousFirst, level.first, level.end)) {
                result.stoppedAtDeadlock = true;
                break;
            }

            // A stop asked since ends the exploration with this level numbered, before its hand-over.
            if (shared.stopRequested.load(std::memory_order_relaxed)) break;

            // The new states' terms go to the threads that will explore them.
            // Every thread made so far packs and unpacks, so that none reads
            // what another packed for an earlier level.
            holders = enlist(LevelThreads(static_cast<std::int64_t>(found.size()), limit));
            holder = Holders(found, holders);
            for (std::size_t i = 0; i < found.size(); ++i)
                level.owner[static_cast<std::size_t>(found[i].number)] = holder[i];
            const unsigned made = static_cast<unsigned>(workers.size());
            crew.Run(made, hand);
            crew.Run(made, receive);
            threads = holders;
            previousFirst = level.first;
            ++depth;
            level.first = level.end;
            level.end = count;
        }
    } catch (const std::bad_alloc&) {
        // What was stored so far stays usable.
        result.stoppedByMemory = true;
        count = std::min<std::int64_t>(count, static_cast<std::int64_t>(store.StateCount()));
        explored = std::min(explored, count);
    }
    result.interrupted = explored < count || result.stoppedByBound || result.stoppedByMemory;
    result.exploredStates = explored;
    result.states = count;
    result.arcs = store.ArcCount();
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
    result.threadsMade = static_cast<std::int32_t>(workers.size());
    store.StemStateCount = static_cast<std::int32_t>(count);
    store.LastGenStateCount = static_cast<std::int32_t>(count);
    return result;
}

unsigned LevelThreads(std::int64_t states, unsigned limit) {
    const std::int64_t wanted = (states + StatesPerThread - 1) / StatesPerThread;
    return static_cast<unsigned>(std::clamp<std::int64_t>(wanted, 1, limit));
}

unsigned ExplorationThreads(const GenerationSettings& settings) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned wanted = settings.threads > 0 ? static_cast<unsigned>(settings.threads) : cores;
    return std::clamp(wanted, 1u, std::min(cores * ThreadsPerCore, MostThreads));
}

}  // namespace quarvo
