// State lists per sub-formula and paths from the initial state for the diagnostic.
#include "ctl/Diagnostic.h"

#include <algorithm>
#include <deque>
#include <unordered_map>
#include <unordered_set>

namespace quarvo {

StatePartition StatesWhere(const StemStore& store, const Labelling& labels, FormulaIndex node) {
    StatePartition states;
    for (std::size_t i = 0; i < store.StateCount(); ++i)
        (labels.Holds(i, node) ? states.holds : states.fails).push_back(store.Record(i).Number);
    return states;
}

std::vector<DiagnosticEntry> Diagnose(const StemStore& store, const CompiledFormula& formula,
                                      const Labelling& labels) {
    std::vector<DiagnosticEntry> entries;
    int number = 0;
    for (FormulaIndex node : formula.SubformulaList)
        entries.push_back({++number, node, FormulaText(formula, node), StatesWhere(store, labels, node)});
    return entries;
}

namespace {

// A step of a path: a state by position and the arc (by position in its list) taken from it.
struct Step {
    std::size_t state;
    std::size_t arc;
};

PathResult MakePath(const StemStore& store, const std::vector<Step>& steps, std::size_t last) {
    PathResult result;
    StemStore& path = result.path;
    path.actions = store.actions;
    for (const Step& step : steps) {
        const StateView state = store.State(step.state);
        path.AppendState(state.Number, state.Events);
        const ArcView arc = state.Arcs[step.arc];
        const TStemArc taken{arc.Target, arc.Action, arc.Event, path.InternEvents(arc.Causes)};
        path.SetArcs(path.StateCount() - 1, {&taken, 1});
    }
    const StateView end = store.State(last);
    path.AppendState(end.Number, end.Events);
    path.StemStateCount = static_cast<std::int32_t>(path.StateCount());
    return result;
}

// The walk back along first predecessors in store order. Finds, once for every
// number, the first state holding an arc to it and that arc, so each step costs
// a look-up instead of a walk over the whole list. Gives up (false) when the
// walk revisits a number or finds no predecessor: it would never reach state 0.
bool WalkBack(const StemStore& store, std::size_t last, std::vector<Step>& steps) {
    std::unordered_map<std::int32_t, Step> firstPredecessor;
    for (std::size_t s = 0; s < store.StateCount(); ++s) {
        const ArcRange arcs = store.State(s).Arcs;
        std::size_t a = 0;
        for (auto it = arcs.begin(); it != arcs.end(); ++it, ++a) firstPredecessor.try_emplace(it.Stored().Target, Step{s, a});
    }
    std::unordered_set<std::int32_t> seen;
    std::int32_t current = store.Record(last).Number;
    while (current != 0) {
        if (!seen.insert(current).second) return false;
        auto found = firstPredecessor.find(current);
        if (found == firstPredecessor.end()) return false;
        steps.push_back(found->second);
        current = store.Record(found->second.state).Number;
    }
    std::reverse(steps.begin(), steps.end());
    return true;
}

// A shortest path from state 0, breadth-first over the arcs in list order.
bool ShortestPath(const StemStore& store, std::size_t last, std::vector<Step>& steps) {
    const std::int64_t initial = store.IndexOf(0);
    if (initial < 0) return false;
    constexpr std::size_t None = SIZE_MAX;
    std::vector<Step> reachedBy(store.StateCount(), Step{None, None});
    std::vector<bool> reached(store.StateCount(), false);
    std::deque<std::size_t> queue{static_cast<std::size_t>(initial)};
    reached[static_cast<std::size_t>(initial)] = true;
    while (!queue.empty() && !reached[last]) {
        const std::size_t s = queue.front();
        queue.pop_front();
        const ArcRange arcs = store.State(s).Arcs;
        for (std::size_t a = 0; a < arcs.size(); ++a) {
            const std::int64_t t = store.IndexOf(arcs[a].Target);
            if (t < 0 || reached[static_cast<std::size_t>(t)]) continue;
            reached[static_cast<std::size_t>(t)] = true;
            reachedBy[static_cast<std::size_t>(t)] = Step{s, a};
            queue.push_back(static_cast<std::size_t>(t));
        }
    }
    if (!reached[last]) return false;
    for (std::size_t s = last; reachedBy[s].state != None; s = reachedBy[s].state) steps.push_back(reachedBy[s]);
    std::reverse(steps.begin(), steps.end());
    return true;
}

}  // namespace

PathResult BuildPath(const StemStore& store, std::int32_t number) {
    const std::int64_t last = store.IndexOf(number);
    std::vector<Step> steps;
    if (last >= 0 && WalkBack(store, static_cast<std::size_t>(last), steps))
        return MakePath(store, steps, static_cast<std::size_t>(last));
    steps.clear();
    if (last >= 0 && ShortestPath(store, static_cast<std::size_t>(last), steps))
        return MakePath(store, steps, static_cast<std::size_t>(last));
    PathResult result;
    result.status = Failure{StateLabel(number, true) + " inaccessible depuis l'état initial."};
    return result;
}

}  // namespace quarvo
