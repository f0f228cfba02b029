// The simulator: firing, back and forward, random runs, replays of action lists and of verdict paths, trace files.
#include "views/Simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "tests/ScratchDirectory.h"

namespace quarvo {
namespace {

// A STEM built state by state; arcs given in list order (newest first).
struct Stem {
    StemStore store;
    void State(std::int32_t number, std::vector<std::pair<const char*, std::int32_t>> arcs = {}) {
        store.AppendState(number, EventSet{});
        std::vector<TStemArc> found;
        std::int32_t event = 1;
        for (auto& [action, target] : arcs) found.push_back({target, store.Intern(action), event++, EmptyEventSet});
        std::reverse(found.begin(), found.end());
        store.SetArcs(store.StateCount() - 1, found);
    }
};

// 0 -A-> 1 -B-> 2 (blocked), 1 -C-> 0; 0 -A-> 3 -D-> 3: A is nondeterministic.
Stem Branching() {
    Stem s;
    s.State(0, {{"A", 1}, {"A", 3}});
    s.State(1, {{"B", 2}, {"C", 0}});
    s.State(2);
    s.State(3, {{"D", 3}, {"I_H", 2}});
    return s;
}

std::vector<std::int32_t> StatesOf(const Simulator& sim) {
    std::vector<std::int32_t> numbers{sim.Store().State(0).Number};
    for (const SimulationStep& s : sim.Steps()) numbers.push_back(sim.Store().State(s.to).Number);
    return numbers;
}

TEST(Simulator, FiresGoesBackAndForwardAndForgetsTheStepsAheadWhenItTakesAnother) {
    Stem stem = Branching();
    Simulator sim(stem.store, Semantics::Interleaving);
    std::vector<EnabledTransition> enabled = sim.Enabled();
    ASSERT_EQ(enabled.size(), 2u);
    EXPECT_EQ(enabled[0].action, "A");
    EXPECT_EQ(enabled[0].target, 1);
    EXPECT_EQ(enabled[1].target, 3);
    EXPECT_FALSE(sim.CanBack());

    ASSERT_TRUE(sim.Fire(0));
    ASSERT_TRUE(sim.Fire(0));  // B
    EXPECT_EQ(sim.CurrentNumber(), 2);
    EXPECT_TRUE(sim.Blocked());
    EXPECT_FALSE(sim.Fire(0)) << "a blocked state has nothing to fire";
    EXPECT_EQ(sim.TraceActions(), (std::vector<std::string>{"A", "B"}));

    ASSERT_TRUE(sim.Back());
    EXPECT_EQ(sim.CurrentNumber(), 1);
    EXPECT_TRUE(sim.CanForward());
    ASSERT_TRUE(sim.Forward());
    EXPECT_EQ(sim.CurrentNumber(), 2);
    EXPECT_FALSE(sim.Forward());

    ASSERT_TRUE(sim.GoTo(1));
    ASSERT_TRUE(sim.Fire(1));  // C instead of B
    EXPECT_EQ(sim.TraceActions(), (std::vector<std::string>{"A", "C"}));
    EXPECT_FALSE(sim.CanForward());
    EXPECT_EQ(sim.CurrentNumber(), 0);
    EXPECT_FALSE(sim.GoTo(3));
    ASSERT_TRUE(sim.GoTo(0));
    EXPECT_EQ(sim.Steps().size(), 2u) << "going back keeps the trace";
    sim.Restart();
    EXPECT_TRUE(sim.Steps().empty());

    ASSERT_TRUE(sim.Fire(1));
    EnabledTransition hidden = sim.Enabled()[1];
    EXPECT_EQ(hidden.action, "I_H");
    EXPECT_TRUE(hidden.internal);
    EXPECT_FALSE(sim.Enabled()[0].internal);
}

TEST(Simulator, ShowsEventsAndCausesUnderMaximality) {
    StemStore store;
    const ActionId a = store.Intern("A"), b = store.Intern("B");
    store.AppendState(0, EventSet{});
    store.AppendState(1, EventSet{{1, a}});
    const TStemArc first{1, a, 1, EmptyEventSet};
    store.SetArcs(0, std::span(&first, 1));
    const TStemArc second{0, b, 2, store.InternEvents(EventSet{{1, a}})};
    store.SetArcs(1, std::span(&second, 1));
    Simulator sim(store, Semantics::Maximality);
    ASSERT_TRUE(sim.Fire(0));
    EXPECT_EQ(sim.CurrentEvents(), "{x1: A} ");
    const EnabledTransition t = sim.Enabled().at(0);
    EXPECT_EQ(t.event, 2);
    EXPECT_EQ(t.causes, "{x1: A} ");
    EXPECT_EQ(t.action, "B");
}

TEST(Simulator, RandomRunsStopInABlockedStateAndRepeatWithTheirSeed) {
    Stem stem = Branching();
    Simulator one(stem.store, Semantics::Interleaving), two(stem.store, Semantics::Interleaving);
    const std::size_t fired = one.RandomRun(50, 7);
    EXPECT_EQ(two.RandomRun(50, 7), fired);
    EXPECT_EQ(StatesOf(one), StatesOf(two));
    if (fired < 50) {
        EXPECT_TRUE(one.Blocked());
    }
    EXPECT_EQ(one.Steps().size(), fired);
    // Each step is an arc of the store.
    for (const SimulationStep& s : one.Steps())
        EXPECT_EQ(stem.store.State(s.from).Arcs[s.arc].Target, stem.store.State(s.to).Number);
}

TEST(Simulator, ReplaysActionsAlongARunThatGoesFurthestAndSaysWhereTheyStop) {
    Stem stem = Branching();
    Simulator sim(stem.store, Semantics::Interleaving);
    // The first A arc leads to 1, where D is impossible; the second to 3.
    ReplayOutcome ok = sim.Replay({"A", " d ", "", "D", "I_H"});
    EXPECT_TRUE(ok.complete);
    EXPECT_EQ(ok.replayed, 4u);
    EXPECT_EQ(StatesOf(sim), (std::vector<std::int32_t>{0, 3, 3, 3, 2}));
    EXPECT_TRUE(sim.Blocked());
    EXPECT_TRUE(ReplayFailureLines(ok).empty());

    ReplayOutcome stuck = sim.Replay({"A", "C", "A", "E"});
    EXPECT_FALSE(stuck.complete);
    EXPECT_EQ(stuck.replayed, 3u);
    EXPECT_EQ(stuck.refused, "E");
    EXPECT_EQ(StatesOf(sim).size(), 4u) << "the possible steps stay in the trace";
    EXPECT_EQ(ReplayFailureLines(stuck),
              (std::vector<std::string>{"Étape 4 impossible : « E » depuis l'état " +
                                            std::to_string(stuck.stateThere) + ".",
                                        stuck.stateThere == 1 ? "Actions possibles : B, C."
                                                              : "Actions possibles : D, I_H."}));

    ReplayOutcome blocked = sim.Replay({"A", "B", "A"});
    EXPECT_EQ(blocked.replayed, 2u);
    EXPECT_EQ(ReplayFailureLines(blocked),
              (std::vector<std::string>{"Étape 3 impossible : « A » depuis l'état 2.",
                                        "Aucune action possible : blocage."}));
}

TEST(Simulator, FollowsTheStatesOfAVerdictsPath) {
    Stem stem = Branching();
    Simulator sim(stem.store, Semantics::Interleaving);
    EXPECT_TRUE(sim.FollowStates({0, 1, 0, 3, 3, 2}));
    EXPECT_EQ(sim.TraceActions(), (std::vector<std::string>{"A", "C", "A", "D", "I_H"}));
    EXPECT_EQ(sim.Position(), 5u);
    EXPECT_FALSE(sim.FollowStates({0, 2}));
    EXPECT_EQ(sim.Steps().size(), 0u);
    EXPECT_FALSE(sim.FollowStates({1, 2})) << "a path starts at the initial state";
}

TEST(TraceFiles, RoundTripInWindows1252WithCommentsBlanksAndBareLineFeeds) {
    test::ScratchDirectory dir("quarvo_trace");
    const std::string path = dir.File("t.trace");
    ASSERT_TRUE(WriteTraceFile(path, {"A", "I_HÉ", "GET !1"}));
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), "A\r\nI_H\xC9\r\nGET !1\r\n");
    TraceFile read = ReadTraceFile(path);
    ASSERT_TRUE(read.status);
    EXPECT_EQ(read.actions, (std::vector<std::string>{"A", "I_HÉ", "GET !1"}));

    std::ofstream(dir.File("lf.trace"), std::ios::binary) << "# a comment\n  B \n\nC\n";
    EXPECT_EQ(ReadTraceFile(dir.File("lf.trace")).actions, (std::vector<std::string>{"B", "C"}));
    EXPECT_FALSE(ReadTraceFile(dir.File("none.trace")).status);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"lf.trace", "t.trace"})) << "no temporary file is left";
}

}  // namespace
}  // namespace quarvo
