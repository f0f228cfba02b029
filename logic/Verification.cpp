// From the text of a formula to a verdict and its trace.
#include "logic/Verification.h"

#include "logic/Checks.h"
#include "logic/Evaluator.h"
#include "logic/Parser.h"
#include "logic/Pnf.h"
#include "logic/Searches.h"
#include "logic/Witness.h"

namespace quarvo::logic {

ActionSystem ActionSystemOf(const StemStore& store) {
    ActionSystem system{LtsFromStem(store, HiddenNames::Kept), {}};
    system.numbers.reserve(store.StateCount());
    for (std::size_t i = 0; i < store.StateCount(); ++i) system.numbers.push_back(store.State(i).Number);
    return system;
}

VerifyResult Verify(std::string_view text, const Lts& lts, Progress* progress) {
    VerifyResult result;
    ParseResult parsed = ParseFormula(text);
    if (!parsed.status) {
        result.status = parsed.status;
        return result;
    }
    const Formula& formula = parsed.formula;
    result.status = CheckFormula(formula, text);
    if (!result.status) return result;
    result.warnings = UnknownActionWarnings(formula, lts.labels);
    if (lts.StateCount() == 0) return result;
    const LabelSets sets = ActionLabelSets(formula, lts);
    const ReverseArcs reverse = ReverseOf(lts);
    const Pnf pnf = ToPnf(formula, false);
    const Evaluation evaluation = Evaluate(formula, pnf, sets, lts, reverse, progress);
    if (evaluation.stopped) {
        result.stopped = true;
        return result;
    }
    result.holds = evaluation.holds[static_cast<std::size_t>(pnf.root)].Has(lts.initial);
    // The trace of a verdict: what shows the formula true, or its negation.
    Pnf shown = pnf;
    Evaluation values;
    const Evaluation* used = &evaluation;
    if (!result.holds) {
        // The negation's normal form mirrors the formula's node for node:
        // each of its nodes holds where the formula's does not.
        shown = ToPnf(formula, true);
        values.holds = evaluation.holds;
        for (StateSet& set : values.holds) set.Complement();
        used = &values;
    }
    const WitnessResult witness = BuildWitness(formula, shown, *used, sets, lts, lts.initial);
    if (!witness.replayed) result.replayFailed = true;
    else if (witness.trace.Length() > 0) result.trace = witness.trace;
    return result;
}

std::vector<std::string> VerifyLines(const VerifyResult& result, const ActionSystem& system) {
    if (!result.status) return {result.status.message()};
    std::vector<std::string> lines = result.warnings;
    lines.push_back(result.holds ? PropertyHoldsText : PropertyFailsText);
    if (result.replayFailed) lines.push_back(TraceReplayFailedText);
    if (result.trace)
        for (std::string& line : TraceLines(*result.trace, system.lts, system.numbers)) lines.push_back(std::move(line));
    return lines;
}

SearchOutcome RunSearch(Search search, const Lts& lts) {
    const SearchResult r = search == Search::Deadlock ? FindDeadlock(lts) : FindLivelock(lts);
    SearchOutcome outcome;
    outcome.found = r.trace.has_value();
    if (!r.replayed) outcome.replayFailed = true;
    else outcome.trace = r.trace;
    return outcome;
}

std::vector<std::string> SearchLines(Search search, const SearchOutcome& outcome, const ActionSystem& system) {
    if (!outcome.found) return {search == Search::Deadlock ? NoDeadlockText : NoLivelockText};
    std::vector<std::string> lines;
    if (outcome.trace) {
        const std::uint32_t end = outcome.trace->End(system.lts.initial);
        const std::string number =
            std::to_string(system.numbers.empty() ? static_cast<std::int64_t>(end) : system.numbers[end]);
        lines.push_back(search == Search::Deadlock ? "Blocage : l'état " + number + " n'a aucun successeur."
                                                   : "Boucle interne : l'état " + number +
                                                         " peut faire des actions internes sans fin.");
        for (std::string& line : TraceLines(*outcome.trace, system.lts, system.numbers)) lines.push_back(std::move(line));
    } else {
        lines.push_back(search == Search::Deadlock ? "Blocage trouvé." : "Boucle interne trouvée.");
    }
    if (outcome.replayFailed) lines.push_back(TraceReplayFailedText);
    return lines;
}

}  // namespace quarvo::logic
