// The searches on state vectors as the logic words them.
#include "logic/ReducedSearches.h"

#include <map>

#include "logic/Checks.h"
#include "logic/Parser.h"
#include "logic/SafetyMonitor.h"
#include "logic/Trace.h"
#include "logic/Verification.h"

namespace quarvo::logic {

std::string ExploredLine(std::int64_t explored, bool reduced) {
    return "États explorés : " + std::to_string(explored) + "." + (reduced ? " (réduction par ordre partiel)" : "");
}

std::vector<std::string> SearchTraceLines(const std::vector<SearchStep>& steps) {
    // The run as a system of its own: position i is the i-th state met.
    Lts lts;
    std::map<std::string, std::uint32_t> labelOf;
    std::vector<std::int32_t> numbers{steps.empty() ? 0 : static_cast<std::int32_t>(steps.front().from)};
    Trace trace;
    for (std::uint32_t i = 0; i < steps.size(); ++i) {
        const std::string& name = steps[i].action;
        std::uint32_t label = TauLabel;
        if (name != lts.labels[TauLabel]) {
            const auto [it, added] = labelOf.emplace(name, static_cast<std::uint32_t>(lts.labels.size()));
            if (added) lts.labels.push_back(name);
            label = it->second;
        }
        lts.label.push_back(label);
        lts.target.push_back(i + 1);
        lts.firstArc.push_back(i + 1);
        numbers.push_back(static_cast<std::int32_t>(steps[i].to));
        trace.prefix.push_back(Step{i, label, i + 1});
    }
    lts.firstArc.push_back(static_cast<std::uint32_t>(steps.size()));
    return TraceLines(trace, lts, numbers);
}

std::vector<std::string> DeadlockLines(const SearchOutcomeOnVectors& outcome) {
    std::vector<std::string> lines;
    if (!outcome.found) {
        lines.push_back(NoDeadlockText);
    } else if (!outcome.replayed) {
        lines.push_back(TraceReplayFailedText);
    } else {
        const std::int64_t end = outcome.trace.empty() ? 0 : outcome.trace.back().to;
        lines.push_back("Blocage : l'état " + std::to_string(end) + " n'a aucun successeur.");
        for (std::string& line : SearchTraceLines(outcome.trace)) lines.push_back(std::move(line));
    }
    lines.push_back(ExploredLine(outcome.explored, outcome.reduced));
    return lines;
}

SafetyCheck CheckSafety(std::string_view text, const std::shared_ptr<const Compilation>& compilation,
                        const SearchSettings& settings, Progress* progress) {
    SafetyCheck check;
    ParseResult parsed = ParseFormula(text);
    if (!parsed.status) {
        check.status = parsed.status;
        return check;
    }
    check.status = CheckFormula(parsed.formula, text);
    if (!check.status) return check;
    const std::optional<std::int32_t> regular = SafetyRegular(parsed.formula);
    if (!regular) return check;
    check.applies = true;
    SafetyMonitor monitor(parsed.formula, *regular);
    check.search = SearchOnVectors(compilation, settings, &monitor, progress);
    if (!check.search.ran) {
        check.applies = false;
        return check;
    }
    if (check.search.actionsKnown) check.warnings = UnknownActionWarnings(parsed.formula, check.search.actions);
    check.holds = !check.search.found;
    if (check.search.found) {
        // The trace's actions, read again by the automaton, form a word of R.
        SafetyMonitor again(parsed.formula, *regular);
        std::uint32_t at = again.Start();
        for (const SearchStep& step : check.search.trace) at = again.StepName(at, step.action);
        check.traceAccepted = again.Violated(at);
    }
    return check;
}

std::vector<std::string> SafetyLines(const SafetyCheck& check) {
    if (!check.status) return {check.status.message()};
    std::vector<std::string> lines = check.warnings;
    lines.push_back(check.holds ? PropertyHoldsText : PropertyFailsText);
    if (check.search.found) {
        if (!check.search.replayed || !check.traceAccepted) lines.push_back(TraceReplayFailedText);
        else if (!check.search.trace.empty())
            for (std::string& line : SearchTraceLines(check.search.trace)) lines.push_back(std::move(line));
    }
    lines.push_back(ExploredLine(check.search.explored, check.search.reduced));
    return lines;
}

}  // namespace quarvo::logic
