// One thread of a search over state vectors, and what the threads of one
// search share: the state table, the action names, the memory watch, why
// they stopped and the run found.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "frontend/SyntaxTree.h"
#include "generation/Crew.h"
#include "generation/Engine.h"
#include "generation/Lts.h"
#include "generation/MemoryWatch.h"
#include "generation/reduction/ClaimedStates.h"
#include "generation/reduction/MonitorView.h"
#include "generation/reduction/SearchSettings.h"
#include "generation/reduction/StubbornSets.h"
#include "generation/vector/VectorEngine.h"
#include "generation/vector/VectorStates.h"

namespace quarvo::reduction {

// Room for the recursion of the rules over deeply nested terms, on each thread.
inline constexpr std::size_t SearchStackBytes = std::size_t{256} << 20;
// How many terms of a component the walk of its actions may meet, for the
// warnings: past it, none is given.
inline constexpr std::size_t ActionsBudget = 512;
// How often, in states, the memory in use is looked at (by each thread).
inline constexpr std::int64_t MemoryCheckStep = 1 << 12;

// A step of a trace as a thread keeps it: the action's name is read once
// the threads have ended (the action table grows under them).
struct Step {
    std::int64_t from = 0, to = 0;
    ActionId action = 0;
    std::uint32_t transition = 0;
};

// What the threads of one search share: the action table their engines
// intern into, the monitor, the states met, the memory watch and why they stopped.
struct Shared {
    Shared(const SearchSettings& s, const std::atomic<bool>& stopAsked, RunMonitor* m)
        : settings(s), monitor(m), names(actions), memory(s.memoryLimit), stop(stopAsked) {}

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
    RunMonitor* const monitor;  // null for a deadlock search
    ActionTable actions;
    SharedNames names;
    const MemoryWatch memory;
    std::unique_ptr<ClaimedStates> states;
    std::atomic<const ClaimedStates*> published{nullptr};  // states, once made, for the progress
    ActionId delta = 0;
    const std::atomic<bool>& stop;  // asked by the caller
    std::atomic<bool> halt{false};
    std::atomic<bool> found{false}, memoryLow{false}, bound{false}, interrupted{false};
    // The threads expand the states of a level (else each searches depth first).
    bool levels = false;
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
    Search(Shared& shared, unsigned id)
        : shared_(shared),
          id_(id),
          monitor_(shared.monitor),
          view_(shared.monitor, shared.names),
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
            if (shared_.levels) ExpandLevel();
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
        const std::uint32_t m = monitor_ ? view_.Step(from, arc.action) : 0;
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
    // state has. successors_ is worked in; given made, it is told whether
    // successors_ holds the chosen successors, made for the provisos.
    std::size_t Select(const std::uint32_t* state, std::uint32_t monitorState, bool* made = nullptr) {
        if (made) *made = false;
        chosen_.clear();
        const std::size_t n = vectors_.List(state);
        if (n == 0) return 0;
        bool full = true;
        if (shared_.settings.reduce) {
            std::function<bool(std::size_t)> visible;
            if (monitor_)
                visible = [&](std::size_t k) { return view_.Visible(vectors_.MoveAction(k)); };
            full = stubborn_->Choose(state, n, visible, chosen_);
        }
        if (!full && monitor_) {
            // A visible member, or a member that may close a cycle: every
            // transition is followed (visibility and cycle provisos). Depth
            // first, a cycle closes on the stack; by levels, on a state of
            // this level or an earlier one, those the table holds while the
            // level is expanded (each step from a state not fully expanded
            // goes one level down, so a cycle has a fully expanded state).
            Truncate(0);
            for (const std::uint32_t k : chosen_) Make(k, monitorState);
            for (std::size_t i = 0; i < successors_.size() && !full; ++i) {
                if (view_.Visible(successors_[i].arc.action)) full = true;
                const std::int64_t known = shared_.states->Find(keys_.data() + i * keyWidth_);
                if (known >= 0 && (shared_.levels || (static_cast<std::size_t>(known) < onStack_.size() &&
                                                      onStack_[static_cast<std::size_t>(known)])))
                    full = true;
            }
            if (made && !full) *made = true;
            else Truncate(0);
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
            if (monitor_ && view_.Hopeless(m)) return false;
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
            if (monitor_ && view_.Violated(s.monitor)) return trace(&step);
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
        std::vector<std::uint32_t> heldMonitors, nextMonitors;  // their monitor's states, beside a monitor
        std::vector<Expanded> expanded;
        std::vector<Successor> successors;
        std::vector<std::uint32_t> slots, keys;
    };
    Level level;

    // Expands the states held; stops early when the search halts. Beside a
    // monitor, a state from which no run can become forbidden is not
    // expanded (nor is it a deadlock).
    void ExpandLevel() {
        level.expanded.clear();
        level.successors.clear();
        level.slots.clear();
        level.keys.clear();
        for (std::size_t at = 0; at < level.held.size(); at += width_) {
            if (Stopped()) return;
            scratch_.assign(level.held.begin() + static_cast<std::ptrdiff_t>(at),
                            level.held.begin() + static_cast<std::ptrdiff_t>(at + width_));
            const std::uint32_t m = monitor_ ? level.heldMonitors[at / width_] : 0;
            bool made = false;
            const std::size_t n = monitor_ && view_.Hopeless(m) ? 0 : Select(scratch_.data(), m, &made);
            if (!made) {
                Truncate(0);
                if (n > 0)
                    for (const std::uint32_t k : chosen_) Make(k, m);
            }
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
    MonitorView view_;
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
inline unsigned Enlist(const Compilation* compilation, std::vector<std::unique_ptr<Search>>& searches, Shared& shared,
                Crew& crew, unsigned wanted) {
    const unsigned members = crew.Grow(wanted);
    try {
        while (searches.size() < members) {
            auto search = std::make_unique<Search>(shared, static_cast<unsigned>(searches.size()));
            if (!search->Start(compilation, searches[0].get())) break;
            searches.push_back(std::move(search));
        }
    } catch (const std::bad_alloc&) {
        // The threads whose engines were made search; memory for more is lacking.
    }
    return std::min(wanted, static_cast<unsigned>(searches.size()));
}

}  // namespace quarvo::reduction
