// Hiding gates of a system, then its quotient modulo branching bisimulation.
#include "equivalence/Abstraction.h"

#include <algorithm>
#include <new>
#include <set>

#include "equivalence/Equivalence.h"

namespace quarvo {

std::string GateOfAction(const std::string& action) {
    if (IsInternalAction(action)) return {};
    return action.substr(0, action.find_first_of(" !?"));
}

std::vector<std::string> VisibleGates(const StemStore& stem) {
    const Lts lts = LtsFromStem(stem);
    std::vector<std::string> gates;
    std::set<std::string> seen;
    // Labels are numbered in order of first appearance already.
    for (const std::string& label : lts.labels) {
        const std::string gate = GateOfAction(label);
        if (gate.empty() || gate == "delta" || gate == "DELTA") continue;
        if (seen.insert(gate).second) gates.push_back(gate);
    }
    return gates;
}

AbstractionResult Abstraction(const StemStore& stem, const std::vector<std::string>& hiddenGates, Progress* progress) {
    AbstractionResult result;
    result.statesBefore = static_cast<std::int64_t>(stem.StateCount());
    result.arcsBefore = stem.ArcCount();
    try {
        Lts lts = LtsFromStem(stem);
        const std::set<std::string> hidden(hiddenGates.begin(), hiddenGates.end());
        std::vector<std::uint32_t> relabel(lts.labels.size());
        for (std::uint32_t l = 0; l < relabel.size(); ++l)
            relabel[l] = hidden.count(GateOfAction(lts.labels[l])) ? TauLabel : l;
        for (std::uint32_t& label : lts.label) label = relabel[label];
        const Partition partition = BranchingBisimulation(lts, false, progress);
        if (partition.stopped) {
            result.stopped = true;
            return result;
        }
        Lts quotient = QuotientLts(lts, partition, true);
        result.quotient = StoreFromLts(quotient);
        result.statesAfter = static_cast<std::int64_t>(result.quotient.StateCount());
        result.arcsAfter = result.quotient.ArcCount();
    } catch (const std::bad_alloc&) {
        result.status = Failure{"Mémoire insuffisante pour l'abstraction."};
        result.quotient = StemStore{};
    }
    return result;
}

std::string Counted(std::int64_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count > 1 ? "s" : "");
}

std::string AbstractionSummary(const AbstractionResult& result) {
    return "Abstraction : " + Counted(result.statesBefore, "état") + " et " + Counted(result.arcsBefore, "arc") +
           " avant, " + Counted(result.statesAfter, "état") + " et " + Counted(result.arcsAfter, "arc") + " après.";
}

}  // namespace quarvo
