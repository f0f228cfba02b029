// Depth-first and breadth-first searches over state vectors, each state's
// transitions cut down to a stubborn set.
#include "generation/reduction/ReducedSearch.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <functional>
#include <mutex>
#include <new>
#include <set>

#include "generation/Crew.h"
#include "generation/Engine.h"
#include "generation/LevelExploration.h"
#include "generation/LargeStack.h"
#include "generation/Lts.h"
#include "generation/MemoryWatch.h"
#include "generation/reduction/ClaimedStates.h"
#include "generation/reduction/StubbornSets.h"
#include "generation/vector/VectorEngine.h"
#include "generation/vector/VectorStates.h"

namespace quarvo {
namespace {

// Room for the recursion of the rules over deeply nested terms, on each thread.
constexpr std::size_t SearchStackBytes = std::size_t{256} << 20;
// How many terms of a component the walk of its actions may meet, for the
// warnings: past it, none is given.
constexpr std::size_t ActionsBudget = 512;
// How often, in states, the memory in use is looked at (by each thread).
constexpr std::int64_t MemoryCheckStep = 1 << 12;

// A step of a trace as a thread keeps it: the action's name is read once
// the threads have ended (the action table grows under them).
struct Step {
    std::int64_t from = 0, to = 0;
    ActionId action = 0;
    std::uint32_t transition = 0;
};

// What the threads of one search share: the action table their engines
// intern into, the states met, the memory watch and why they stopped.
struct Shared {
    Shared(const SearchSettings& s, const std::atomic<bool>& stopAsked)
        : settings(s), names(actions), memory(s.memoryLimit), stop(stopAsked) {}

    // Every thread stops at its next state; reason says why.
    void Halt(std::atomic<bool>& reason) {
        reason.store(true, std::memory_order_relaxed);
        halt.store(true, std::memory_order_relaxed);
    }
    // The first run found wins; later ones are dropped.
    void Found(std::vector<Step> steps) {
        const std::lock_guard<std::mutex> guard(finding);
        if (!found.load(std::memory_order_relaxed)) trace = std::move(steps);
        Halt(found);
    }

    const SearchSettings& settings;
    ActionTable actions;
    SharedNames names;
    const MemoryWatch memory;
    std::unique_ptr<ClaimedStates> states;
    std::atomic<const ClaimedStates*> published{nullptr};  // states, once made, for the progress
    ActionId delta = 0;
    const std::atomic<bool>& stop;  // asked by the caller
    std::atomic<bool> halt{false};
    std::atomic<bool> found{false}, memoryLow{false}, bound{false}, interrupted{false};
    // While one thread searches alone: the states it may claim (0 for no
    // limit), and whether it reached them.
    std::int64_t soloStates = 0;
    std::atomic<bool> outgrown{false};
    std::unique_ptr<ClaimedStates> soloTable;  // kept while the progress may read it
    std::mutex finding;
    std::vector<Step> trace;
};

// One thread of a search: its own engines over the shared names, its own
// stack (or its share of a level), the state table shared.
class Search {
public:
    Search(Shared& shared, unsigned id, RunMonitor* monitor)
        : shared_(shared),
          id_(id),
          monitor_(monitor),
          engine_(shared.actions, StateIdentity{Semantics::Interleaving, true}, &shared.names),
          vectors_(engine_) {
        engine_.WatchMemory(&shared.memory);
    }

    // Takes the structure and the initial state; the first thread plans the
    // identity vector, the others take its order from first. False when the
    // system has no parallel structure at its root.
    bool Start(const Compilation* compilation, const Search* first) {
        const TermId root = engine_.Import(compilation ? compilation->rootBehaviour : nullptr);
        if (!vectors_.Build(engine_.Normalize(root), initial_)) return false;
        if (first) vectors_.SetKeyOrder(first->vectors_.KeyOrder());
        else vectors_.PlanKey(initial_.data());
        width_ = vectors_.Width();
        systemKeyWidth_ = vectors_.KeyWidth();
        keyWidth_ = systemKeyWidth_ + (monitor_ ? 1 : 0);
        stubborn_ = std::make_unique<StubbornSets>(engine_, vectors_);
        vectors_.Normalise(initial_.data());
        start_ = monitor_ ? monitor_->Start() : 0;
        return true;
    }
    std::uint32_t KeyWidth() const { return keyWidth_; }
    std::uint32_t StartMonitor() const { return start_; }

    // The initial state's key, for the first claim.
    std::vector<std::uint32_t> InitialKey() {
        std::vector<std::uint32_t> key(keyWidth_);
        vectors_.Key(initial_.data(), key.data());
        if (monitor_) key[systemKeyWidth_] = start_;
        return key;
    }

    // The actions the components may ever offer, as the root shows them
    // (hidden by the hidings above them); false when a walk did not end.
    bool MayCarry(std::vector<std::string>& names) {
        ActionTable& actions = shared_.actions;
        const std::uint32_t* state = initial_.data();
        std::set<std::string> shown{actions.Text(engine_.Internal())};
        std::vector<ActionId> offered;
        for (std::uint32_t c = 0; c < vectors_.Width(); ++c) {
            if (!vectors_.IsComponent(c)) continue;
            if (!vectors_.LocalAlphabet(state[c], ActionsBudget, offered, true)) return false;
            for (ActionId a : offered) {
                if (a == engine_.Dollar()) a = engine_.Internal();
                for (std::uint32_t at = c; at != vectors_.RootNode() && !IsInternalAction(actions.Text(a));) {
                    at = vectors_.ParentOf(at);
                    if (vectors_.IsHide(at) && vectors_.Synchronises(at, a)) a = engine_.HiddenAction(a);
                }
                shown.insert(actions.Text(a));
            }
        }
        names.assign(shown.begin(), shown.end());
        return true;
    }

    // Depth first, searches from the initial state; breadth first, expands
    // the states of the level it holds.
    void Run() {
        try {
            if (shared_.settings.breadthFirst && !monitor_) ExpandLevel();
            else DepthFirst();
        } catch (const std::bad_alloc&) {
            shared_.Halt(shared_.memoryLow);
        }
    }
    std::int64_t FullyExpanded() const { return fullyExpanded_; }

private:
    struct Successor {
        VectorArc arc;
        std::uint32_t transition;
        std::uint32_t monitor;
    };
    struct Frame {
        std::int64_t number;
        std::uint32_t monitor;
        std::size_t first, next;  // its chosen transitions, from first to the end (or the next frame's first)
        Step arrival;             // how the search got here (unused for the initial state)
    };

    bool IsDelta(ActionId a) const { return a == shared_.delta; }

    // Whether the search stops before the next state: a thread asked every
    // other to, the bound is reached, the caller asked, the memory nears its limit.
    bool Stopped() {
        if (shared_.halt.load(std::memory_order_relaxed)) return true;
        const std::int64_t count = shared_.states->Count();
        if (shared_.settings.maxStates > 0 && count >= shared_.settings.maxStates) {
            shared_.Halt(shared_.bound);
            return true;
        }
        if (shared_.soloStates > 0 && count >= shared_.soloStates) {
            shared_.Halt(shared_.outgrown);
            return true;
        }
        if (shared_.stop.load(std::memory_order_relaxed)) {
            shared_.Halt(shared_.interrupted);
            return true;
        }
        if (++sinceMemoryCheck_ >= MemoryCheckStep) {
            sinceMemoryCheck_ = 0;
            // What may grow at once: the engine's tables, the state table, the
            // stack or the level's successors.
            const std::int64_t growth = static_cast<std::int64_t>(
                engine_.Bytes() + shared_.states->Bytes() + onStack_.capacity() +
                (frameSlots_.capacity() + transitions_.capacity() + level.slots.capacity() + level.keys.capacity()) *
                    sizeof(std::uint32_t) +
                level.successors.capacity() * sizeof(Successor));
            if (shared_.memory.NearLimit(growth)) {
                shared_.Halt(shared_.memoryLow);
                return true;
            }
        }
        return false;
    }

    // Appends the successor by transition k of the listed state (whose
    // monitor state is from) to successors_, slots_ and keys_.
    void Make(std::uint32_t k, std::uint32_t from) {
        VectorArc arc;
        const std::uint32_t* whole = vectors_.Follow(k, arc);
        const std::size_t at = successors_.size();
        slots_.insert(slots_.end(), whole, whole + width_);
        keys_.resize((at + 1) * keyWidth_);
        std::uint32_t* slots = slots_.data() + at * width_;
        vectors_.Normalise(slots);
        vectors_.Key(slots, keys_.data() + at * keyWidth_);
        const std::uint32_t m = monitor_ ? monitor_->Step(from, arc.action, shared_.actions) : 0;
        if (monitor_) keys_[at * keyWidth_ + systemKeyWidth_] = m;
        successors_.push_back(Successor{arc, k, m});
    }

    void Truncate(std::size_t size) {
        successors_.resize(size);
        slots_.resize(size * width_);
        keys_.resize(size * keyWidth_);
    }

    // Lists state and chooses the transitions to follow into chosen_: those
    // of a stubborn set, or all of them. Answers how many transitions the
    // state has. successors_ is worked in.
    std::size_t Select(const std::uint32_t* state, std::uint32_t monitorState) {
        chosen_.clear();
        const std::size_t n = vectors_.List(state);
        if (n == 0) return 0;
        bool full = true;
        if (shared_.settings.reduce) {
            std::function<bool(std::size_t)> visible;
            if (monitor_)
                visible = [&](std::size_t k) { return monitor_->Visible(vectors_.MoveAction(k), shared_.actions); };
            full = stubborn_->Choose(state, n, visible, chosen_);
        }
        if (!full && monitor_) {
            // A visible member, or a member that closes a cycle on the stack:
            // every transition is followed (visibility and cycle provisos).
            Truncate(0);
            for (const std::uint32_t k : chosen_) Make(k, monitorState);
            for (std::size_t i = 0; i < successors_.size() && !full; ++i) {
                if (monitor_->Visible(successors_[i].arc.action, shared_.actions)) full = true;
                const std::int64_t known = shared_.states->Find(keys_.data() + i * keyWidth_);
                if (known >= 0 && static_cast<std::size_t>(known) < onStack_.size() &&
                    onStack_[static_cast<std::size_t>(known)])
                    full = true;
            }
            Truncate(0);
        }
        if (full) {
            chosen_.clear();
            for (std::uint32_t k = 0; k < n; ++k) chosen_.push_back(k);
            ++fullyExpanded_;
        }
        return n;
    }

    // Depth first on a stack of states, each frame its state's slots and the
    // transitions chosen there: a successor is made when its turn comes (the
    // state listed again after a deeper one was). Every thread starts from
    // the initial state and explores the states it claims; thread i takes a
    // state's chosen transitions from the i-th on, so that they part early.
    void DepthFirst() {
        std::vector<Frame> stack;
        std::vector<std::uint32_t>& frameSlots = frameSlots_;
        std::vector<std::uint32_t>& transitions = transitions_;
        std::size_t listed = 0;  // the frame whose state the engine has listed
        // Pushes a state; true when it is a deadlock.
        auto push = [&](std::int64_t number, std::uint32_t m, const Step& arrival, bool byDelta) {
            if (monitor_) {
                if (onStack_.size() <= static_cast<std::size_t>(number))
                    onStack_.resize(static_cast<std::size_t>(number + number / 2 + 1024), 0);
                onStack_[static_cast<std::size_t>(number)] = 1;
            }
            stack.push_back(Frame{number, m, transitions.size(), transitions.size(), arrival});
            // Whatever the engine listed is not the frame below any more (its slots may have moved).
            listed = stack.size() - 1;
            if (monitor_ && monitor_->Hopeless(m)) return false;
            const std::size_t n = Select(frameSlots.data() + (stack.size() - 1) * width_, m);
            const std::size_t first = transitions.size();
            transitions.insert(transitions.end(), chosen_.begin(), chosen_.end());
            if (id_ > 0 && chosen_.size() > 1)
                std::rotate(transitions.begin() + static_cast<std::ptrdiff_t>(first),
                            transitions.begin() + static_cast<std::ptrdiff_t>(first + id_ % chosen_.size()),
                            transitions.end());
            listed = stack.size() - 1;
            return !monitor_ && n == 0 && !byDelta;
        };
        auto trace = [&](const Step* last) {
            std::vector<Step> steps;
            for (std::size_t f = 1; f < stack.size(); ++f) steps.push_back(stack[f].arrival);
            if (last) steps.push_back(*last);
            shared_.Found(std::move(steps));
        };
        frameSlots.assign(initial_.begin(), initial_.end());
        if (push(0, start_, Step{}, false)) return trace(nullptr);
        std::int64_t number = 0;
        while (!stack.empty()) {
            if (Stopped()) return;
            const std::size_t depth = stack.size() - 1;
            Frame& top = stack.back();
            if (top.next >= transitions.size()) {
                if (monitor_) onStack_[static_cast<std::size_t>(top.number)] = 0;
                transitions.resize(top.first);
                frameSlots.resize(depth * width_);
                stack.pop_back();
                continue;
            }
            const std::uint32_t k = transitions[top.next++];
            if (listed != depth) {
                vectors_.List(frameSlots.data() + depth * width_);
                listed = depth;
            }
            Truncate(0);
            Make(k, top.monitor);
            const ClaimedStates::Claim claim = shared_.states->Intern(keys_.data(), inner_, number);
            if (claim == ClaimedStates::Claim::Known) continue;
            if (claim == ClaimedStates::Claim::Bound) return shared_.Halt(shared_.bound);
            const Successor s = successors_[0];
            const Step step{top.number, number, s.arc.action, s.transition};
            if (monitor_ && monitor_->Violated(s.monitor)) return trace(&step);
            frameSlots.insert(frameSlots.end(), slots_.begin(), slots_.begin() + width_);
            if (push(number, s.monitor, step, IsDelta(s.arc.action))) return trace(nullptr);
        }
    }

public:
    // ---- Breadth first, level by level ----------------------------------------------------
    // The threads derive the chosen successors of the states they hold, each
    // in its own engine; one pass then takes the level's states in number
    // order, as a one-thread search would, and numbers the new successors.

    // A state held, expanded: its transitions' count, its chosen successors in level.
    struct Expanded {
        std::size_t transitions, first, count;
    };
    struct Level {
        std::vector<std::uint32_t> held, next;  // whole vectors, in the order they were handed
        std::vector<Expanded> expanded;
        std::vector<Successor> successors;
        std::vector<std::uint32_t> slots, keys;
    };
    Level level;

    // Expands the states held; stops early when the search halts.
    void ExpandLevel() {
        level.expanded.clear();
        level.successors.clear();
        level.slots.clear();
        level.keys.clear();
        for (std::size_t at = 0; at < level.held.size(); at += width_) {
            if (Stopped()) return;
            scratch_.assign(level.held.begin() + static_cast<std::ptrdiff_t>(at),
                            level.held.begin() + static_cast<std::ptrdiff_t>(at + width_));
            const std::size_t n = Select(scratch_.data(), 0);
            Truncate(0);
            for (const std::uint32_t k : chosen_) Make(k, 0);
            level.expanded.push_back(Expanded{n, level.successors.size(), successors_.size()});
            level.successors.insert(level.successors.end(), successors_.begin(), successors_.end());
            level.slots.insert(level.slots.end(), slots_.begin(), slots_.end());
            level.keys.insert(level.keys.end(), keys_.begin(), keys_.end());
        }
    }
    const std::uint32_t* KeyOf(std::size_t successor) const { return level.keys.data() + successor * keyWidth_; }
    const std::uint32_t* SlotsOf(std::size_t successor) const { return level.slots.data() + successor * width_; }
    std::uint32_t Width() const { return width_; }
    const std::vector<std::uint32_t>& Initial() const { return initial_; }

    // Appends wholes (vectors of from's engine) to level.next, made again in
    // this engine: the terms packed once for all of them.
    void Receive(Search& from, const std::vector<std::uint32_t>& wholes) {
        TermPacket packet;
        std::vector<std::uint32_t> places(wholes.size(), 0);
        const std::size_t base = level.next.size();
        level.next.insert(level.next.end(), wholes.begin(), wholes.end());
        for (std::size_t i = 0; i < wholes.size(); ++i) {
            const auto slot = static_cast<std::uint32_t>(i % width_);
            std::uint32_t& value = level.next[base + i];
            if (!vectors_.IsComponent(slot)) {
                if (value == VectorEngine::Derived) continue;
                std::array<ActionId, 32> actions{};
                const ActionId* source = from.engine_.EventActions(value);
                const std::uint32_t mask = from.engine_.EventMask(value);
                std::copy(source, source + std::popcount(mask), actions.begin());
                value = engine_.MakeEvents(mask, actions.data());
            } else if (value != 0) {
                // The null term (an operand that ended) is the null term everywhere.
                places[i] = from.engine_.Pack(value, packet);
            }
        }
        from.engine_.EndPacking();
        std::vector<TermId> made;
        engine_.Unpack(packet, made);
        for (std::size_t i = 0; i < wholes.size(); ++i)
            if (places[i]) level.next[base + i] = made[places[i]];
    }

private:

    Shared& shared_;
    unsigned id_;
    RunMonitor* monitor_;
    Engine engine_;
    VectorEngine vectors_;
    std::unique_ptr<StubbornSets> stubborn_;
    std::vector<std::uint32_t> initial_;
    std::uint32_t start_ = 0;
    std::uint32_t width_ = 0, systemKeyWidth_ = 0, keyWidth_ = 0;
    std::int64_t fullyExpanded_ = 0, sinceMemoryCheck_ = 0;
    std::vector<Successor> successors_;
    std::vector<std::uint32_t> slots_, keys_, chosen_, scratch_, inner_;
    // The depth-first stack: each frame's slots, and the transitions chosen in each frame.
    std::vector<std::uint32_t> frameSlots_, transitions_;
    std::vector<std::uint8_t> onStack_;  // per state, beside a monitor
};

// Makes searches for threads up to wanted (crew members, engines that took
// the structure); answers how many there are, fewer where memory or threads lacked.
unsigned Enlist(const Compilation* compilation, std::vector<std::unique_ptr<Search>>& searches, Shared& shared,
                Crew& crew, unsigned wanted) {
    const unsigned members = crew.Grow(wanted);
    try {
        while (searches.size() < members) {
            auto search = std::make_unique<Search>(shared, static_cast<unsigned>(searches.size()), nullptr);
            if (!search->Start(compilation, searches[0].get())) break;
            searches.push_back(std::move(search));
        }
    } catch (const std::bad_alloc&) {
        // The threads whose engines were made search; memory for more is lacking.
    }
    return std::min(wanted, static_cast<unsigned>(searches.size()));
}

// Breadth first, level by level: the threads expand the states they hold,
// then one pass takes the level's states in number order and numbers their
// new successors, so that numbers, trace and count are those of one thread.
// The new states are handed to the threads that will expand them, each kept
// by the thread that found it unless that one found more than its share;
// a state that changes threads has its terms made again in the other's engine.
void BreadthFirst(const Compilation* compilation, std::vector<std::unique_ptr<Search>>& searches, Shared& shared,
                  Crew& crew) {
    ClaimedStates& states = *shared.states;
    const SearchSettings& settings = shared.settings;
    struct Reached {
        std::int64_t from;
        std::uint32_t transition;
        ActionId action;
    };
    std::vector<Reached> reached{Reached{-1, 0, 0}};
    std::vector<std::uint8_t> byDelta{0};
    // Where each state of the level is held: the thread, and its place among that thread's states.
    struct Place {
        unsigned thread;
        std::size_t index;
    };
    std::vector<Place> places{Place{0, 0}}, nextPlaces;
    struct Found {
        unsigned thread;      // that derived it
        std::size_t successor;  // among that thread's successors of the level
    };
    std::vector<Found> found;
    std::vector<std::uint32_t> inner;
    std::vector<std::vector<std::uint32_t>> moving;
    searches[0]->level.held = searches[0]->Initial();
    const std::uint32_t width = searches[0]->Width();
    unsigned active = 1;
    std::int64_t levelFirst = 0;
    while (levelFirst < states.Count()) {
        crew.Run(active, [&](unsigned t) { searches[t]->Run(); });
        if (shared.halt.load()) return;
        const std::int64_t levelEnd = states.Count();
        found.clear();
        for (std::int64_t s = levelFirst; s < levelEnd; ++s) {
            if (settings.maxStates > 0 && states.Count() >= settings.maxStates) return shared.Halt(shared.bound);
            if (shared.stop.load(std::memory_order_relaxed)) return shared.Halt(shared.interrupted);
            if ((s & (MemoryCheckStep - 1)) == 0 &&
                shared.memory.NearLimit(static_cast<std::int64_t>(states.Bytes() + reached.capacity() * sizeof(Reached))))
                return shared.Halt(shared.memoryLow);
            const Place place = places[static_cast<std::size_t>(s - levelFirst)];
            Search& search = *searches[place.thread];
            const Search::Expanded& e = search.level.expanded[place.index];
            if (e.transitions == 0 && !byDelta[static_cast<std::size_t>(s)]) {
                std::vector<Step> steps;
                for (std::int64_t at = s; reached[static_cast<std::size_t>(at)].from >= 0;
                     at = reached[static_cast<std::size_t>(at)].from) {
                    const Reached& r = reached[static_cast<std::size_t>(at)];
                    steps.push_back(Step{r.from, at, r.action, r.transition});
                }
                std::reverse(steps.begin(), steps.end());
                return shared.Found(std::move(steps));
            }
            for (std::size_t i = e.first; i < e.first + e.count; ++i) {
                const auto& successor = search.level.successors[i];
                const bool delta = successor.arc.action == shared.delta;
                std::int64_t number = 0;
                if (states.Intern(search.KeyOf(i), inner, number) == ClaimedStates::Claim::Known) {
                    if (delta) byDelta[static_cast<std::size_t>(number)] = 1;
                    continue;
                }
                reached.push_back(Reached{s, successor.transition, successor.arc.action});
                byDelta.push_back(delta ? 1 : 0);
                found.push_back(Found{place.thread, i});
            }
        }
        levelFirst = levelEnd;
        // The new states to the threads: each thread keeps up to its share of
        // those it found, the rest go to the threads below their share.
        const unsigned holders = Enlist(compilation, searches, shared, crew,
                                        LevelThreads(static_cast<std::int64_t>(found.size()), std::max(settings.threads, 1u)));
        const auto threads = static_cast<unsigned>(searches.size());
        const std::size_t share = (found.size() + holders - 1) / std::max(holders, 1u);
        std::vector<std::size_t> kept(threads, 0);
        std::vector<unsigned> holder(found.size(), threads);
        for (std::size_t i = 0; i < found.size(); ++i) {
            const unsigned d = found[i].thread;
            if (d < holders && kept[d] < share) holder[i] = d, ++kept[d];
        }
        unsigned taker = 0;
        for (unsigned& h : holder) {
            if (h != threads) continue;
            while (kept[taker] >= share) ++taker;
            h = taker;
            ++kept[taker];
        }
        for (auto& search : searches) search->level.next.clear();
        nextPlaces.assign(found.size(), Place{0, 0});
        // Kept first, then the moved ones packed once per pair of threads.
        for (std::size_t i = 0; i < found.size(); ++i) {
            if (holder[i] != found[i].thread) continue;
            Search& search = *searches[holder[i]];
            const std::uint32_t* whole = search.SlotsOf(found[i].successor);
            nextPlaces[i] = Place{holder[i], search.level.next.size() / width};
            search.level.next.insert(search.level.next.end(), whole, whole + width);
        }
        for (unsigned from = 0; from < threads; ++from)
            for (unsigned to = 0; to < threads; ++to) {
                if (from == to) continue;
                std::vector<std::uint32_t> wholes;
                std::size_t index = searches[to]->level.next.size() / width;
                for (std::size_t i = 0; i < found.size(); ++i) {
                    if (found[i].thread != from || holder[i] != to) continue;
                    const std::uint32_t* whole = searches[from]->SlotsOf(found[i].successor);
                    wholes.insert(wholes.end(), whole, whole + width);
                    nextPlaces[i] = Place{to, index++};
                }
                if (!wholes.empty()) searches[to]->Receive(*searches[from], wholes);
            }
        for (auto& search : searches) search->level.held.swap(search->level.next);
        places.swap(nextPlaces);
        active = std::max(holders, 1u);
    }
}

// Runs the search on as many threads as it may take and writes its outcome
// into out (but the count of states explored).
void RunSearch(const Compilation* compilation, Shared& shared, RunMonitor* monitor, SearchOutcomeOnVectors& out) {
    std::vector<std::unique_ptr<Search>> searches;
    searches.push_back(std::make_unique<Search>(shared, 0, monitor));
    Search& first = *searches[0];
    if (!first.Start(compilation, nullptr)) return;
    out.ran = true;
    out.reduced = shared.settings.reduce;
    // For the warnings of a property about actions the system never offers.
    if (monitor) out.actionsKnown = first.MayCarry(out.actions);
    shared.delta = shared.actions.InternText("delta");
    // A state's key is claimed in the table, beside a monitor its state too.
    const bool breadthFirst = !monitor && shared.settings.breadthFirst;
    shared.states = std::make_unique<ClaimedStates>(first.KeyWidth(), monitor || breadthFirst ? 0 : shared.settings.maxStates);
    shared.published.store(shared.states.get(), std::memory_order_release);
    std::vector<std::uint32_t> inner;
    std::int64_t number = 0;
    shared.states->Intern(first.InitialKey().data(), inner, number);
    if (monitor && monitor->Violated(first.StartMonitor())) {
        shared.Found({});
        return;
    }
    Crew crew(SearchStackBytes);
    if (breadthFirst) {
        BreadthFirst(compilation, searches, shared, crew);
    } else if (monitor || shared.settings.threads <= 1) {
        // Beside a monitor the cycle proviso looks at the one stack there is.
        first.Run();
    } else {
        bool together = true;
        if (shared.settings.soloStates > 0) {
            shared.soloStates = shared.settings.soloStates;
            first.Run();
            shared.soloStates = 0;
            together = shared.outgrown.load() && !shared.found.load() && !shared.memoryLow.load() &&
                       !shared.bound.load() && !shared.interrupted.load();
        }
        if (together && shared.outgrown.load()) {
            // Made again from the start: what the lone thread met is forgotten.
            shared.outgrown.store(false);
            shared.halt.store(false);
            out.fullyExpanded = -first.FullyExpanded();
            shared.soloTable = std::move(shared.states);
            shared.states = std::make_unique<ClaimedStates>(first.KeyWidth(), shared.settings.maxStates);
            shared.published.store(shared.states.get(), std::memory_order_release);
            shared.states->Intern(first.InitialKey().data(), inner, number);
        }
        if (together) {
            const unsigned threads = Enlist(compilation, searches, shared, crew, shared.settings.threads);
            crew.Run(threads, [&](unsigned t) { searches[t]->Run(); });
        }
    }
    for (const auto& search : searches) out.fullyExpanded += search->FullyExpanded();
}

}  // namespace

SearchOutcomeOnVectors SearchOnVectors(const std::shared_ptr<const Compilation>& compilation,
                                       const SearchSettings& settings, RunMonitor* monitor, Progress* progress) {
    SearchOutcomeOnVectors out;
    std::atomic<bool> stop{false};
    Shared shared(settings, stop);
    try {
        RunOnLargeStack(
            [&] {
                try {
                    RunSearch(compilation.get(), shared, monitor, out);
                } catch (const std::bad_alloc&) {
                    shared.Halt(shared.memoryLow);
                }
            },
            SearchStackBytes,
            [&] {
                if (!progress) return;
                const ClaimedStates* claimed = shared.published.load(std::memory_order_acquire);
                progress->Update(claimed ? claimed->Count() : 0, 0);
                if (progress->StopRequested()) stop.store(true, std::memory_order_relaxed);
            });
    } catch (const std::bad_alloc&) {
        shared.Halt(shared.memoryLow);
    }
    out.found = shared.found.load();
    out.stoppedByMemory = shared.memoryLow.load() && !out.found;
    out.stoppedByBound = shared.bound.load() && !out.found;
    out.interrupted = shared.interrupted.load() && !out.found;
    out.explored = shared.states ? shared.states->Count() : 0;
    // The progress is not asked any more: the tables go before the replay.
    shared.published.store(nullptr);
    shared.states.reset();
    shared.soloTable.reset();
    for (const Step& s : shared.trace) out.trace.push_back(SearchStep{s.from, s.to, shared.actions.Text(s.action), s.transition});
    if (progress) progress->Update(out.explored, 0);
    if (out.found) out.replayed = ReplaysOnTerms(compilation, out.trace, monitor == nullptr);
    return out;
}

bool ReplaysOnTerms(const std::shared_ptr<const Compilation>& compilation, const std::vector<SearchStep>& steps,
                    bool deadlock) {
    bool replayed = false;
    RunOnLargeStack(
        [&] {
            try {
                ActionTable actions;
                Engine engine(actions, StateIdentity{Semantics::Interleaving, true});
                TermId term = engine.Normalize(engine.Import(compilation ? compilation->rootBehaviour : nullptr));
                std::vector<Transition> transitions;
                auto collect = [&](Transition& t) {
                    transitions.push_back(t);
                    // The step frames live as long as the enumeration, unless kept.
                    transitions.back().step = engine.KeepStep(t.step);
                    return true;
                };
                bool lastDelta = false;
                for (const SearchStep& step : steps) {
                    transitions.clear();
                    engine.Enumerate(term, collect);
                    if (step.transition >= transitions.size()) return;
                    const Transition& t = transitions[step.transition];
                    ActionId action = t.action;
                    const TermId next = engine.Successor(term, t, action);
                    if (action == engine.Dollar()) action = engine.Internal();
                    if (actions.Text(action) != step.action) return;
                    lastDelta = step.action == "delta";
                    engine.EndState();
                    term = engine.Normalize(next);
                }
                if (deadlock) {
                    transitions.clear();
                    engine.Enumerate(term, collect);
                    if (!transitions.empty() || lastDelta) return;
                }
                replayed = true;
            } catch (const std::bad_alloc&) {
                replayed = false;
            }
        },
        SearchStackBytes, [] {});
    return replayed;
}

}  // namespace quarvo
