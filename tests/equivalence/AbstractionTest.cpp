// Hiding gates of a system and reducing it modulo branching bisimulation: the picture a user asks for.
#include "equivalence/Abstraction.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/equivalence/TestSystems.h"

namespace quarvo {
namespace {

// A request with a value, work that may log, an answer reached with or without an internal step.
StemStore Server() {
    return testing::MakeStore(4, {{0, "REQ !1", 1},
                                  {0, "REQ !2", 1},
                                  {1, "WORK", 2},
                                  {1, "LOG", 1},
                                  {2, "ACK", 0},
                                  {2, "I", 3},
                                  {3, "ACK", 0}});
}

TEST(Abstraction, TheVisibleGatesAreNamedOnceWithoutTheirValues) {
    std::vector<std::string> gates = VisibleGates(Server());
    std::sort(gates.begin(), gates.end());
    EXPECT_EQ(gates, (std::vector<std::string>{"ACK", "LOG", "REQ", "WORK"}));
    EXPECT_EQ(GateOfAction("REQ !1"), "REQ");
    EXPECT_EQ(GateOfAction("I_MID"), "");
    EXPECT_EQ(GateOfAction("I"), "");
}

// Each hidden set gives its quotient: the more is hidden, the fewer states,
// and an action on a hidden gate is hidden whatever its value.
TEST(Abstraction, HidingGatesGivesTheBranchingQuotientOfWhatIsLeft) {
    struct Case {
        std::vector<std::string> hidden;
        std::int64_t states, arcs;
        std::vector<std::string> labels;  // those the quotient's arcs carry
    };
    const std::vector<Case> cases{
        {{}, 3, 5, {"ACK", "LOG", "REQ!1", "REQ!2", "WORK"}},
        {{"WORK", "LOG"}, 2, 3, {"ACK", "REQ!1", "REQ!2"}},
        // The initial state only moves on inertly: it joins the next one.
        {{"REQ"}, 2, 3, {"ACK", "LOG", "WORK"}},
        {{"REQ", "WORK", "LOG", "ACK"}, 1, 0, {}},
    };
    const StemStore server = Server();
    for (const Case& c : cases) {
        const AbstractionResult r = Abstraction(server, c.hidden);
        ASSERT_TRUE(r.status);
        ASSERT_FALSE(r.stopped);
        EXPECT_EQ(r.statesBefore, 4);
        EXPECT_EQ(r.arcsBefore, 7);
        EXPECT_EQ(r.statesAfter, c.states) << c.hidden.size() << " hidden";
        EXPECT_EQ(r.arcsAfter, c.arcs) << c.hidden.size() << " hidden";
        EXPECT_EQ(static_cast<std::int64_t>(r.quotient.StateCount()), c.states);
        std::vector<std::string> labels;
        for (const StateView s : r.quotient.States())
            for (const ArcView a : s.Arcs) labels.push_back(r.quotient.actions.Text(a.Action));
        std::sort(labels.begin(), labels.end());
        labels.erase(std::unique(labels.begin(), labels.end()), labels.end());
        EXPECT_EQ(labels, c.labels) << c.hidden.size() << " hidden";
    }
    EXPECT_EQ(AbstractionSummary(Abstraction(server, {"WORK", "LOG"})),
              "Abstraction : 4 états et 7 arcs avant, 2 états et 3 arcs après.");
    EXPECT_EQ(AbstractionSummary(Abstraction(server, {"REQ", "WORK", "LOG", "ACK"})),
              "Abstraction : 4 états et 7 arcs avant, 1 état et 0 arc après.");
}

}  // namespace
}  // namespace quarvo
