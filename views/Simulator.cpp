// The step-by-step simulator: trace, back and forward, random runs, replays, trace files.
#include "views/Simulator.h"

#include <algorithm>
#include <cassert>
#include <random>
#include <unordered_map>
#include <unordered_set>

#include "frontend/FileWriting.h"
#include "frontend/MessageText.h"
#include "frontend/TextFile.h"
#include "generation/Lts.h"
#include "views/StemTexts.h"

namespace quarvo {

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// LOTOS names do not depend on case: "get" in a trace file is the gate GET.
bool SameAction(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string TraceActionName(const StemStore& store, ActionId action) {
    return store.actions.IsIdentifier(action) ? store.actions.Name(action).Text() : store.actions.Text(action);
}

Simulator::Simulator(const StemStore& store, Semantics semantics) : store_(store), semantics_(semantics) {}

std::size_t Simulator::CurrentIndex() const { return position_ == 0 ? 0 : steps_[position_ - 1].to; }

std::int32_t Simulator::CurrentNumber() const {
    return store_.Empty() ? 0 : store_.State(CurrentIndex()).Number;
}

std::string Simulator::CurrentEvents() const {
    return store_.Empty() ? std::string("{}") : afficher_listEvent(store_.State(CurrentIndex()).Events, store_.actions);
}

std::vector<EnabledTransition> Simulator::Enabled() const {
    std::vector<EnabledTransition> enabled;
    if (store_.Empty()) return enabled;
    const StateView state = store_.State(CurrentIndex());
    std::size_t k = 0;
    for (const ArcView arc : state.Arcs) {
        EnabledTransition t;
        t.arc = k++;
        t.action = TraceActionName(store_, arc.Action);
        t.event = arc.Event;
        t.causes = afficher_listEvent(arc.Causes, store_.actions);
        t.target = arc.Target;
        t.internal = IsInternalAction(t.action);
        enabled.push_back(std::move(t));
    }
    return enabled;
}

bool Simulator::Blocked() const { return store_.Empty() || store_.State(CurrentIndex()).Arcs.empty(); }

std::size_t Simulator::IndexOf(std::int32_t number) const {
    const std::int64_t index = store_.IndexOf(number);
    return index < 0 ? SIZE_MAX : static_cast<std::size_t>(index);
}

void Simulator::Append(std::size_t from, std::size_t arc) {
    const ArcView a = store_.State(from).Arcs[arc];
    steps_.push_back({from, arc, IndexOf(a.Target), TraceActionName(store_, a.Action)});
}

bool Simulator::Fire(std::size_t arc) {
    if (store_.Empty()) return false;
    const std::size_t from = CurrentIndex();
    const StateView state = store_.State(from);
    // An arc to a state the store does not hold (a partial STEM) cannot be followed.
    if (arc >= state.Arcs.size() || IndexOf(state.Arcs[arc].Target) == SIZE_MAX) return false;
    steps_.resize(position_);
    Append(from, arc);
    ++position_;
    return true;
}

bool Simulator::Back() {
    if (position_ == 0) return false;
    --position_;
    return true;
}

bool Simulator::Forward() {
    if (position_ >= steps_.size()) return false;
    ++position_;
    return true;
}

bool Simulator::GoTo(std::size_t position) {
    if (position > steps_.size()) return false;
    position_ = position;
    return true;
}

void Simulator::Restart() {
    steps_.clear();
    position_ = 0;
}

std::vector<std::string> Simulator::TraceActions() const {
    std::vector<std::string> actions;
    for (const SimulationStep& s : steps_) actions.push_back(s.action);
    return actions;
}

std::size_t Simulator::RandomRun(std::size_t count, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::size_t fired = 0;
    std::vector<std::size_t> followable;
    while (fired < count && !store_.Empty()) {
        const StateView state = store_.State(CurrentIndex());
        followable.clear();
        for (std::size_t k = 0; k < state.Arcs.size(); ++k)
            if (IndexOf(state.Arcs[k].Target) != SIZE_MAX) followable.push_back(k);
        if (followable.empty()) break;
        std::uniform_int_distribution<std::size_t> pick(0, followable.size() - 1);
        Fire(followable[pick(random)]);
        ++fired;
    }
    return fired;
}

ReplayOutcome Simulator::Replay(const std::vector<std::string>& given) {
    Restart();
    ReplayOutcome outcome;
    if (store_.Empty()) return outcome;
    std::vector<std::string> actions;
    for (const std::string& a : given)
        if (std::string t = Trimmed(a); !t.empty()) actions.push_back(std::move(t));

    // Every state each prefix of the trace can reach, each with the state
    // and arc it was first reached by, so that one run can be walked back.
    struct Reached {
        std::size_t state;
        std::size_t from;  // its slot in the level before
        std::size_t arc;
    };
    std::vector<std::vector<Reached>> levels{{Reached{0, 0, 0}}};
    for (const std::string& action : actions) {
        std::vector<Reached> next;
        std::unordered_set<std::size_t> seen;
        std::unordered_map<ActionId, bool> matches;
        const std::vector<Reached>& level = levels.back();
        for (std::size_t slot = 0; slot < level.size(); ++slot) {
            const StateView state = store_.State(level[slot].state);
            for (std::size_t k = 0; k < state.Arcs.size(); ++k) {
                const ArcView arc = state.Arcs[k];
                auto [it, fresh] = matches.try_emplace(arc.Action, false);
                if (fresh) it->second = SameAction(TraceActionName(store_, arc.Action), action);
                if (!it->second) continue;
                const std::size_t target = IndexOf(arc.Target);
                if (target == SIZE_MAX || !seen.insert(target).second) continue;
                next.push_back({target, slot, k});
            }
        }
        if (next.empty()) {
            outcome.complete = false;
            outcome.refused = action;
            break;
        }
        levels.push_back(std::move(next));
    }
    outcome.replayed = levels.size() - 1;

    // One run through the levels, walked back from the first state of the last.
    std::vector<std::pair<std::size_t, std::size_t>> run;  // (from, arc)
    std::size_t slot = 0;
    for (std::size_t l = levels.size() - 1; l > 0; --l) {
        const Reached& r = levels[l][slot];
        run.emplace_back(levels[l - 1][r.from].state, r.arc);
        slot = r.from;
    }
    std::reverse(run.begin(), run.end());
    for (const auto& [from, arc] : run) Append(from, arc);
    position_ = steps_.size();

    if (!outcome.complete) {
        outcome.stateThere = CurrentNumber();
        for (const EnabledTransition& t : Enabled())
            if (std::find(outcome.possibleThere.begin(), outcome.possibleThere.end(), t.action) ==
                outcome.possibleThere.end())
                outcome.possibleThere.push_back(t.action);
    }
    return outcome;
}

bool Simulator::FollowStates(const std::vector<std::int32_t>& numbers) {
    Restart();
    if (numbers.empty()) return true;
    if (store_.Empty() || numbers.front() != store_.State(0).Number) return false;
    for (std::size_t i = 1; i < numbers.size(); ++i) {
        const StateView state = store_.State(CurrentIndex());
        std::size_t found = SIZE_MAX;
        for (std::size_t k = 0; k < state.Arcs.size() && found == SIZE_MAX; ++k)
            if (state.Arcs[k].Target == numbers[i]) found = k;
        if (found == SIZE_MAX || !Fire(found)) return false;
    }
    return true;
}

TraceFile ReadTraceFile(const std::string& path) {
    TraceFile file;
    TextFileResult read = ReadTextFile(path, std::size_t{64} << 20);
    if (!read.status) {
        file.status = read.status;
        return file;
    }
    for (const std::string& line : read.lines) {
        std::string action = Trimmed(line);
        if (action.empty() || action[0] == '#') continue;
        file.actions.push_back(std::move(action));
    }
    return file;
}

Status WriteTraceFile(const std::string& path, const std::vector<std::string>& actions) {
    return WriteFileAtomically(path, EncodeLinesWindows1252(actions));
}

std::vector<std::string> ReplayFailureLines(const ReplayOutcome& outcome) {
    if (outcome.complete) return {};
    std::vector<std::string> lines;
    lines.push_back("Étape " + std::to_string(outcome.replayed + 1) + " impossible : « " +
                    ShownText(outcome.refused) + " » depuis l'état " + std::to_string(outcome.stateThere) + ".");
    if (outcome.possibleThere.empty()) {
        lines.push_back("Aucune action possible : blocage.");
    } else {
        std::string text = "Actions possibles : ";
        for (std::size_t i = 0; i < outcome.possibleThere.size(); ++i)
            text += (i ? ", " : "") + ShownText(outcome.possibleThere[i]);
        lines.push_back(text + ".");
    }
    return lines;
}

}  // namespace quarvo
