// Depth-first and breadth-first searches over state vectors, each state's
// transitions cut down to a stubborn set.
#include "generation/reduction/ReducedSearch.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <new>
#include <set>

#include "generation/Engine.h"
#include "generation/LargeStack.h"
#include "generation/Lts.h"
#include "generation/MemoryWatch.h"
#include "generation/reduction/StubbornSets.h"
#include "generation/vector/VectorEngine.h"
#include "generation/vector/VectorStates.h"

namespace quarvo {
namespace {

// Room for the recursion of the rules over deeply nested terms.
constexpr std::size_t SearchStackBytes = std::size_t{256} << 20;
// How many terms of a component the walk of its actions may meet, for the
// warnings: past it, none is given.
constexpr std::size_t ActionsBudget = 512;
// How often, in states, the memory in use is looked at.
constexpr std::int64_t MemoryCheckStep = 1 << 12;

class Search {
public:
    Search(const SearchSettings& settings, RunMonitor* monitor, std::atomic<std::int64_t>& explored,
           const std::atomic<bool>& stop)
        : settings_(settings),
          monitor_(monitor),
          engine_(actions_, StateIdentity{Semantics::Interleaving, true}),
          vectors_(engine_),
          memory_(settings.memoryLimit),
          explored_(explored),
          stop_(stop) {
        engine_.WatchMemory(&memory_);
    }

    void Run(const Compilation* compilation, SearchOutcomeOnVectors& out) {
        std::vector<std::uint32_t> initial;
        const TermId root = engine_.Import(compilation ? compilation->rootBehaviour : nullptr);
        if (!vectors_.Build(engine_.Normalize(root), initial)) return;
        out.ran = true;
        out.reduced = settings_.reduce;
        vectors_.PlanKey(initial.data());
        // For the warnings of a property about actions the system never offers.
        if (monitor_) out.actionsKnown = MayCarry(initial.data(), out.actions);
        width_ = vectors_.Width();
        systemKeyWidth_ = vectors_.KeyWidth();
        keyWidth_ = systemKeyWidth_ + (monitor_ ? 1 : 0);
        stubborn_ = std::make_unique<StubbornSets>(engine_, vectors_);
        states_ = std::make_unique<VectorStates>(keyWidth_);
        vectors_.Normalise(initial.data());
        std::vector<std::uint32_t> key(keyWidth_);
        vectors_.Key(initial.data(), key.data());
        const std::uint32_t start = monitor_ ? monitor_->Start() : 0;
        if (monitor_) key[systemKeyWidth_] = start;
        states_->Add(key.data());
        Count();
        if (monitor_ && monitor_->Violated(start)) {
            out.found = true;
            return;
        }
        try {
            if (settings_.breadthFirst && !monitor_) BreadthFirst(initial, out);
            else DepthFirst(initial, start, out);
        } catch (const std::bad_alloc&) {
            out.stoppedByMemory = true;
        }
        out.fullyExpanded = fullyExpanded_;
    }

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
        SearchStep arrival;       // how the search got here (unused for the initial state)
    };

    // The actions the components may ever offer, as the root shows them
    // (hidden by the hidings above them); false when a walk did not end.
    bool MayCarry(const std::uint32_t* state, std::vector<std::string>& names) {
        std::set<std::string> shown{actions_.Text(engine_.Internal())};
        std::vector<ActionId> offered;
        for (std::uint32_t c = 0; c < vectors_.Width(); ++c) {
            if (!vectors_.IsComponent(c)) continue;
            if (!vectors_.LocalAlphabet(state[c], ActionsBudget, offered, true)) return false;
            for (ActionId a : offered) {
                if (a == engine_.Dollar()) a = engine_.Internal();
                for (std::uint32_t at = c; at != vectors_.RootNode() && !IsInternalAction(actions_.Text(a));) {
                    at = vectors_.ParentOf(at);
                    if (vectors_.IsHide(at) && vectors_.Synchronises(at, a)) a = engine_.HiddenAction(a);
                }
                shown.insert(actions_.Text(a));
            }
        }
        names.assign(shown.begin(), shown.end());
        return true;
    }

    bool IsDelta(ActionId a) {
        if (a >= delta_.size()) {
            const std::size_t from = delta_.size();
            delta_.resize(actions_.Size(), 0);
            for (std::size_t i = from; i < delta_.size(); ++i)
                delta_[i] = actions_.Text(static_cast<ActionId>(i)) == "delta" ? 1 : 2;
        }
        return a < delta_.size() && delta_[a] == 1;
    }

    void Count() {
        ++count_;
        explored_.store(count_, std::memory_order_relaxed);
    }

    bool Stopped(SearchOutcomeOnVectors& out) {
        if (settings_.maxStates > 0 && count_ >= settings_.maxStates) {
            out.stoppedByBound = true;
            return true;
        }
        if (stop_.load(std::memory_order_relaxed)) {
            out.interrupted = true;
            return true;
        }
        if (count_ >= nextMemoryCheck_) {
            nextMemoryCheck_ = count_ + MemoryCheckStep;
            // What may grow at once: the engine's tables, the state table and the stack.
            const std::int64_t growth = static_cast<std::int64_t>(
                engine_.Bytes() + states_->Bytes() + onStack_.capacity() +
                (frameSlots_.capacity() + transitions_.capacity()) * sizeof(std::uint32_t));
            if (memory_.NearLimit(growth)) {
                out.stoppedByMemory = true;
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
        const std::uint32_t m = monitor_ ? monitor_->Step(from, arc.action, actions_) : 0;
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
        if (settings_.reduce) {
            std::function<bool(std::size_t)> visible;
            if (monitor_)
                visible = [&](std::size_t k) { return monitor_->Visible(vectors_.MoveAction(k), actions_); };
            full = stubborn_->Choose(state, n, visible, chosen_);
        }
        if (!full && monitor_) {
            // A visible member, or a member that closes a cycle on the stack:
            // every transition is followed (visibility and cycle provisos).
            Truncate(0);
            for (const std::uint32_t k : chosen_) Make(k, monitorState);
            for (std::size_t i = 0; i < successors_.size() && !full; ++i) {
                if (monitor_->Visible(successors_[i].arc.action, actions_)) full = true;
                const std::int64_t known = states_->Find(keys_.data() + i * keyWidth_);
                if (known >= 0 && onStack_[static_cast<std::size_t>(known)]) full = true;
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
    // state listed again after a deeper one was).
    void DepthFirst(const std::vector<std::uint32_t>& initial, std::uint32_t start, SearchOutcomeOnVectors& out) {
        std::vector<Frame> stack;
        std::vector<std::uint32_t>& frameSlots = frameSlots_;
        std::vector<std::uint32_t>& transitions = transitions_;
        std::size_t listed = 0;  // the frame whose state the engine has listed
        // Pushes a state; true when it is a deadlock.
        auto push = [&](std::int64_t number, std::uint32_t m, const SearchStep& arrival, bool byDelta) {
            if (onStack_.size() <= static_cast<std::size_t>(number)) onStack_.resize(number + number / 2 + 1024, 0);
            onStack_[static_cast<std::size_t>(number)] = 1;
            stack.push_back(Frame{number, m, transitions.size(), transitions.size(), arrival});
            // Whatever the engine listed is not the frame below any more (its slots may have moved).
            listed = stack.size() - 1;
            if (monitor_ && monitor_->Hopeless(m)) return false;
            const std::size_t n = Select(frameSlots.data() + (stack.size() - 1) * width_, m);
            transitions.insert(transitions.end(), chosen_.begin(), chosen_.end());
            listed = stack.size() - 1;
            return !monitor_ && n == 0 && !byDelta;
        };
        frameSlots.assign(initial.begin(), initial.end());
        if (push(0, start, SearchStep{}, false)) {
            out.found = true;
            return;
        }
        while (!stack.empty()) {
            if (Stopped(out)) return;
            const std::size_t depth = stack.size() - 1;
            Frame& top = stack.back();
            if (top.next >= transitions.size()) {
                onStack_[static_cast<std::size_t>(top.number)] = 0;
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
            if (states_->Find(keys_.data()) >= 0) continue;
            const std::int64_t number = count_;
            states_->Add(keys_.data());
            Count();
            const Successor s = successors_[0];
            const SearchStep step{top.number, number, actions_.Text(s.arc.action), s.transition};
            if (monitor_ && monitor_->Violated(s.monitor)) {
                Trace(stack, out);
                out.trace.push_back(step);
                out.found = true;
                return;
            }
            frameSlots.insert(frameSlots.end(), slots_.begin(), slots_.begin() + width_);
            if (push(number, s.monitor, step, IsDelta(s.arc.action))) {
                Trace(stack, out);
                out.found = true;
                return;
            }
        }
    }

    static void Trace(const std::vector<Frame>& stack, SearchOutcomeOnVectors& out) {
        for (std::size_t f = 1; f < stack.size(); ++f) out.trace.push_back(stack[f].arrival);
    }

    void BreadthFirst(const std::vector<std::uint32_t>& initial, SearchOutcomeOnVectors& out) {
        // Every state's slots until it is explored, and how it was reached.
        std::vector<std::uint32_t> waiting(initial);
        std::int64_t waitingFirst = 0;
        struct Reached {
            std::int64_t from;
            std::uint32_t transition;
            ActionId action;
        };
        std::vector<Reached> reached{Reached{-1, 0, 0}};
        std::vector<std::uint8_t> byDelta{0};
        for (std::int64_t current = 0; current < count_; ++current) {
            if (Stopped(out)) return;
            const std::size_t offset = static_cast<std::size_t>(current - waitingFirst) * width_;
            scratch_.assign(waiting.begin() + static_cast<std::ptrdiff_t>(offset),
                            waiting.begin() + static_cast<std::ptrdiff_t>(offset + width_));
            if (offset > (std::size_t{1} << 20) && offset * 2 > waiting.size()) {
                waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(offset + width_));
                waitingFirst = current + 1;
            }
            const std::size_t n = Select(scratch_.data(), 0);
            Truncate(0);
            for (const std::uint32_t k : chosen_) Make(k, 0);
            if (n == 0 && !byDelta[static_cast<std::size_t>(current)]) {
                for (std::int64_t at = current; reached[static_cast<std::size_t>(at)].from >= 0;
                     at = reached[static_cast<std::size_t>(at)].from) {
                    const Reached& r = reached[static_cast<std::size_t>(at)];
                    out.trace.push_back(SearchStep{r.from, at, actions_.Text(r.action), r.transition});
                }
                std::reverse(out.trace.begin(), out.trace.end());
                out.found = true;
                return;
            }
            for (std::size_t i = 0; i < successors_.size(); ++i) {
                const std::uint32_t* key = keys_.data() + i * keyWidth_;
                const std::int64_t known = states_->Find(key);
                if (known >= 0) {
                    if (IsDelta(successors_[i].arc.action)) byDelta[static_cast<std::size_t>(known)] = 1;
                    continue;
                }
                states_->Add(key);
                Count();
                reached.push_back(Reached{current, successors_[i].transition, successors_[i].arc.action});
                byDelta.push_back(IsDelta(successors_[i].arc.action) ? 1 : 0);
                waiting.insert(waiting.end(), slots_.begin() + static_cast<std::ptrdiff_t>(i * width_),
                               slots_.begin() + static_cast<std::ptrdiff_t>((i + 1) * width_));
            }
        }
    }

    SearchSettings settings_;
    RunMonitor* monitor_;
    ActionTable actions_;
    Engine engine_;
    VectorEngine vectors_;
    MemoryWatch memory_;
    std::atomic<std::int64_t>& explored_;
    const std::atomic<bool>& stop_;
    std::unique_ptr<StubbornSets> stubborn_;
    std::unique_ptr<VectorStates> states_;
    std::uint32_t width_ = 0, systemKeyWidth_ = 0, keyWidth_ = 0;
    std::int64_t count_ = 0, fullyExpanded_ = 0, nextMemoryCheck_ = MemoryCheckStep;
    std::vector<Successor> successors_;
    std::vector<std::uint32_t> slots_, keys_, chosen_, scratch_;
    // The depth-first stack: each frame's slots, and the transitions chosen in each frame.
    std::vector<std::uint32_t> frameSlots_, transitions_;
    std::vector<std::uint8_t> onStack_;
    std::vector<std::uint8_t> delta_;  // per action: 1 for "delta", 2 for any other
};

}  // namespace

SearchOutcomeOnVectors SearchOnVectors(const std::shared_ptr<const Compilation>& compilation,
                                       const SearchSettings& settings, RunMonitor* monitor, Progress* progress) {
    SearchOutcomeOnVectors out;
    std::atomic<std::int64_t> explored{0};
    std::atomic<bool> stop{false};
    try {
        RunOnLargeStack(
            [&] {
                try {
                    Search search(settings, monitor, explored, stop);
                    search.Run(compilation.get(), out);
                } catch (const std::bad_alloc&) {
                    out.stoppedByMemory = true;
                }
            },
            SearchStackBytes,
            [&] {
                if (!progress) return;
                progress->Update(explored.load(std::memory_order_relaxed), 0);
                if (progress->StopRequested()) stop.store(true, std::memory_order_relaxed);
            });
    } catch (const std::bad_alloc&) {
        out.stoppedByMemory = true;
    }
    out.explored = explored.load();
    if (progress) progress->Update(out.explored, 0);
    if (out.found && !out.stoppedByMemory) out.replayed = ReplaysOnTerms(compilation, out.trace, monitor == nullptr);
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
