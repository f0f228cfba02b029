// Depth-first and breadth-first searches over state vectors, each state's
// transitions cut down to a stubborn set.
#include "generation/reduction/ReducedSearch.h"

#include <atomic>
#include <new>

#include "generation/Crew.h"
#include "generation/Engine.h"
#include "generation/LargeStack.h"
#include "generation/reduction/LevelSearch.h"
#include "generation/reduction/SearchThread.h"

namespace quarvo {
namespace {

using reduction::Enlist;
using reduction::Search;
using reduction::SearchStackBytes;
using reduction::Shared;
using reduction::Step;

// Runs the search on as many threads as it may take and writes its outcome
// into out (but the count of states explored). Depth first on threads, and
// beside a monitor, one thread searches alone first (a small search answers
// as one thread does); past its states the search is made again on every
// thread: each its own depth-first search for a deadlock, by levels beside
// a monitor (whose cycle proviso on one stack is no proviso for several).
void RunSearch(const Compilation* compilation, Shared& shared, SearchOutcomeOnVectors& out) {
    RunMonitor* const monitor = shared.monitor;
    std::vector<std::unique_ptr<Search>> searches;
    searches.push_back(std::make_unique<Search>(shared, 0));
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
        shared.levels = true;
        reduction::SearchByLevels(compilation, searches, shared, crew);
    } else if (shared.settings.threads <= 1) {
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
            shared.states = std::make_unique<ClaimedStates>(first.KeyWidth(), monitor ? 0 : shared.settings.maxStates);
            shared.published.store(shared.states.get(), std::memory_order_release);
            shared.states->Intern(first.InitialKey().data(), inner, number);
        }
        if (together && monitor) {
            shared.levels = true;
            reduction::SearchByLevels(compilation, searches, shared, crew);
        } else if (together) {
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
    Shared shared(settings, stop, monitor);
    try {
        RunOnLargeStack(
            [&] {
                try {
                    RunSearch(compilation.get(), shared, out);
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
