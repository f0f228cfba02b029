// Traces of verdicts and of the two searches on small systems known by hand.
#include <gtest/gtest.h>

#include "logic/Verification.h"

namespace quarvo::logic {
namespace {

// arcs "s ACTION t"; labels in order of first appearance, "I" internal.
Lts Make(std::uint32_t states, const std::vector<std::tuple<std::uint32_t, std::string, std::uint32_t>>& arcs) {
    Lts lts;
    lts.firstArc.assign(states + 1, 0);
    for (std::uint32_t s = 0; s < states; ++s) {
        for (const auto& [from, action, to] : arcs) {
            if (from != s) continue;
            std::uint32_t label = 0;
            if (action != "I") {
                auto it = std::find(lts.labels.begin(), lts.labels.end(), action);
                label = static_cast<std::uint32_t>(it - lts.labels.begin());
                if (it == lts.labels.end()) lts.labels.push_back(action);
            }
            lts.label.push_back(label);
            lts.target.push_back(to);
        }
        lts.firstArc[s + 1] = static_cast<std::uint32_t>(lts.target.size());
    }
    return lts;
}

std::vector<std::string> Lines(const std::string& formula, const Lts& lts) {
    return VerifyLines(Verify(formula, lts), ActionSystem{lts, {}});
}

TEST(LogicTraces, ABoxFailsWithTheShortestPathToItsAction) {
    // 0 -A-> 1 -B-> 2 -A-> 3, and 0 -B-> 4 -A-> 5: the shortest A is the first.
    const Lts lts = Make(6, {{0, "B", 4}, {0, "A", 1}, {1, "B", 2}, {2, "A", 3}, {4, "A", 5}});
    EXPECT_EQ(Lines("[true* . B . A] false", lts),
              (std::vector<std::string>{"Propriété non vérifiée.", "Trace (2 transitions) :", "  0 -B-> 4", "  4 -A-> 5"}));
    EXPECT_EQ(Lines("<A . B> true", lts),
              (std::vector<std::string>{"Propriété vérifiée.", "Trace (2 transitions) :", "  0 -A-> 1", "  1 -B-> 2"}));
    EXPECT_EQ(Lines("[true*] <true> true", lts),
              (std::vector<std::string>{"Propriété non vérifiée.", "Trace (2 transitions) :", "  0 -B-> 4", "  4 -A-> 5"}));
    EXPECT_EQ(Lines("<ZZZ> true", lts), (std::vector<std::string>{"Attention : aucune action « ZZZ » dans le système.",
                                                                "Propriété non vérifiée."}));
}

TEST(LogicTraces, AnInfiniteWitnessIsALasso) {
    const Lts lts = Make(4, {{0, "A", 1}, {1, "I", 2}, {2, "I", 3}, {3, "I", 1}});
    EXPECT_EQ(Lines("<true*> nu X . <tau> X", lts),
              (std::vector<std::string>{"Propriété vérifiée.", "Trace (1 transition, puis un cycle de 3 transitions) :",
                                        "  0 -A-> 1", "Cycle :", "  1 -I-> 2", "  2 -I-> 3", "  3 -I-> 1"}));
    EXPECT_EQ(Lines("[true*] mu X . [tau] X", lts),
              (std::vector<std::string>{"Propriété non vérifiée.",
                                        "Trace (1 transition, puis un cycle de 3 transitions) :", "  0 -A-> 1",
                                        "Cycle :", "  1 -I-> 2", "  2 -I-> 3", "  3 -I-> 1"}));
}

TEST(LogicSearches, DeadlocksSkipSuccessfulTerminationAndLivelocksAreLassos) {
    const Lts ends = Make(4, {{0, "A", 1}, {1, "delta", 2}, {0, "B", 3}});
    const ActionSystem system{ends, {}};
    EXPECT_EQ(SearchLines(Search::Deadlock, RunSearch(Search::Deadlock, ends), system),
              (std::vector<std::string>{"Blocage : l'état 3 n'a aucun successeur.", "Trace (1 transition) :",
                                        "  0 -B-> 3"}));
    EXPECT_EQ(SearchLines(Search::Livelock, RunSearch(Search::Livelock, ends), system),
              (std::vector<std::string>{"Aucune boucle interne."}));
    const Lts terminates = Make(3, {{0, "A", 1}, {1, "delta", 2}});
    EXPECT_EQ(SearchLines(Search::Deadlock, RunSearch(Search::Deadlock, terminates), ActionSystem{terminates, {}}),
              (std::vector<std::string>{"Aucun blocage."}));
    const Lts spins = Make(3, {{0, "A", 1}, {1, "I", 1}, {1, "B", 2}, {2, "A", 0}});
    EXPECT_EQ(SearchLines(Search::Livelock, RunSearch(Search::Livelock, spins), ActionSystem{spins, {}}),
              (std::vector<std::string>{"Boucle interne : l'état 1 peut faire des actions internes sans fin.",
                                        "Trace (1 transition, puis un cycle de 1 transition) :", "  0 -A-> 1",
                                        "Cycle :", "  1 -I-> 1"}));
}

}  // namespace
}  // namespace quarvo::logic
