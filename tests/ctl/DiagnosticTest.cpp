// Written forms of sub-formulas, state lists per sub-formula, and paths from the initial state.
#include <gtest/gtest.h>

#include "ctl/CtlSession.h"
#include "ctl/Diagnostic.h"
#include "CtlTestSupport.h"
#include "tests/StatusTestSupport.h"

namespace quarvo {
namespace {

using test::MakeStem;
using test::StateSpec;
using Numbers = std::vector<std::int32_t>;

TEST(FormulaText, WritesEveryKindFullyParenthesised) {
    struct Case {
        const char* formula;
        const char* text;
    };
    const Case cases[] = {
        {"A G (p AND q)", "(AG((P)AND(Q)))"},
        {"E [p U q]", "(E[(P)U(Q)])"},
        {"A [p U q]", "(A[(P)U(Q)])"},
        {"send : 2", "((SEND):2)"},
        {"NOT E X A X E F A F E G i_send", "(NOT(EX(AX(EF(AF(EG(I_SEND)))))))"},
        {"p OR q => r <=> TRUE", "((((P)OR(Q))=>(R))<=>(TRUE))"},
        {"FALSE", "(FALSE)"},
    };
    for (const Case& c : cases) {
        FormulaCompileResult r = test::Compile(c.formula);
        ASSERT_TRUE(r.ok()) << c.formula;
        EXPECT_EQ(test::RootText(r), c.text);
    }
}

TEST(FormulaText, DeepNestingDoesNotExhaustTheStack) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "NOT ";
    FormulaCompileResult r = test::Compile(text + "p");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(test::RootText(r).size(), 100000u * 5 + 3);
}

TEST(Diagnostic, ListsEachSubformulaWithTheStatesWhereItHoldsAndFails) {
    const StemStore store = MakeStem({{0, {}, {1, 2}}, {1, {"P", "Q"}, {}}, {2, {"P"}, {2}}});
    FormulaCompileResult r = test::Compile("A G (p AND q)");
    ASSERT_TRUE(r.ok());
    const Labelling labels = LabelAll(store, r.formula);
    std::vector<DiagnosticEntry> entries = Diagnose(store, r.formula, labels);
    ASSERT_EQ(entries.size(), 4u);
    struct Expected {
        int number;
        const char* text;
        Numbers holds, fails;
    };
    const Expected expected[] = {
        {1, "(P)", {1, 2}, {0}},
        {2, "(Q)", {1}, {0, 2}},
        {3, "((P)AND(Q))", {1}, {0, 2}},
        {4, "(AG((P)AND(Q)))", {1}, {0, 2}},
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].number, expected[i].number);
        EXPECT_EQ(entries[i].text, expected[i].text);
        EXPECT_EQ(entries[i].states.holds, expected[i].holds) << entries[i].text;
        EXPECT_EQ(entries[i].states.fails, expected[i].fails) << entries[i].text;
    }
    const StatePartition all = StatesWhere(store, LabelAll(store, test::Compile("TRUE").formula), 0);
    EXPECT_EQ(all.holds, (Numbers{0, 1, 2}));
    EXPECT_TRUE(all.fails.empty());
}

Numbers PathNumbers(const PathResult& path) {
    Numbers numbers;
    for (const StateView record : path.path.States()) numbers.push_back(record.Number);
    return numbers;
}

// Each record's single arc leads to the next record; the last has none.
void ExpectLinked(const PathResult& path) {
    const StemStore& p = path.path;
    ASSERT_FALSE(p.Empty());
    for (std::size_t i = 0; i + 1 < p.StateCount(); ++i) {
        ASSERT_EQ(p.State(i).Arcs.size(), 1u);
        EXPECT_EQ(p.State(i).Arcs[0].Target, p.State(i + 1).Number);
    }
    EXPECT_TRUE(p.State(p.StateCount() - 1).Arcs.empty());
    EXPECT_EQ(p.State(0).Number, 0);
}

TEST(BuildPath, WalksBackToTheFirstPredecessorInStoreOrder) {
    // 0 -> 1 -> 2 -> 3 and 0 -> 3: state 0 comes first, so the path is 0, 3.
    const StemStore store = MakeStem({{0, {}, {1, 3}}, {1, {"P"}, {2}}, {2, {}, {3}}, {3, {"Q"}, {}}});
    PathResult path = BuildPath(store, 3);
    ASSERT_TRUE(test::Succeeded(path.status));
    EXPECT_EQ(PathNumbers(path), (Numbers{0, 3}));
    ExpectLinked(path);
    EXPECT_EQ(path.path.State(path.path.StateCount() - 1).Events, store.State(3).Events);

    EXPECT_EQ(PathNumbers(BuildPath(store, 0)), (Numbers{0}));
    EXPECT_EQ(PathNumbers(BuildPath(store, 2)), (Numbers{0, 1, 2}));
}

TEST(BuildPath, FirstPredecessorMayGiveALongerPathThanTheShortest) {
    // 1 is found first as a predecessor of 3, though 0 -> 2 -> 3 is as short.
    const StemStore store = MakeStem({{0, {}, {1, 2}}, {1, {}, {4}}, {2, {}, {3}}, {4, {}, {3}}, {3, {}, {}}});
    // The first state with an arc to 3 in store order is 2.
    EXPECT_EQ(PathNumbers(BuildPath(store, 3)), (Numbers{0, 2, 3}));
}

TEST(BuildPath, FallsBackToAShortestPathWhenTheWalkWouldNotEnd) {
    // Read from a file in order of first appearance as a target: 2 lies before
    // its only predecessor from 0, and 2 and 3 form a cycle found first.
    const StemStore store = MakeStem({{0, {}, {1}}, {3, {}, {2}}, {2, {}, {3}}, {1, {}, {2}}});
    PathResult path = BuildPath(store, 2);
    ASSERT_TRUE(test::Succeeded(path.status));
    EXPECT_EQ(PathNumbers(path), (Numbers{0, 1, 2}));
    ExpectLinked(path);
}

TEST(BuildPath, ReportsStatesThatNoPathReaches) {
    const StemStore store = MakeStem({{0, {}, {1}}, {1, {}, {}}, {5, {}, {6}}, {6, {}, {5}}, {7, {}, {}}});
    for (std::int32_t n : {5, 6, 7, 42})
        EXPECT_TRUE(test::FailedWith(BuildPath(store, n).status,
                                     "Etat " + std::to_string(n) + " inaccessible depuis l'état initial."));
    EXPECT_TRUE(test::FailedWith(BuildPath(StemStore{}, 0).status, "Etat 0 inaccessible depuis l'état initial."));
}

TEST(BuildPath, AgreesWithTheWalkOnRandomGeneratedStems) {
    // A generated STEM: each state reached from one with a smaller number.
    std::mt19937 rng(99);
    for (int round = 0; round < 100; ++round) {
        const int n = 2 + static_cast<int>(rng() % 30);
        std::vector<StateSpec> specs;
        for (int i = 0; i < n; ++i) specs.push_back({i, {}, {}});
        for (int i = 1; i < n; ++i) specs[rng() % static_cast<unsigned>(i)].targets.push_back(i);
        for (int k = 0; k < n; ++k) specs[rng() % static_cast<unsigned>(n)].targets.push_back(static_cast<int>(rng() % static_cast<unsigned>(n)));
        const StemStore store = MakeStem(specs);
        for (int target = 0; target < n; ++target) {
            PathResult path = BuildPath(store, target);
            ASSERT_TRUE(test::Succeeded(path.status));
            ExpectLinked(path);
            // The walk: first state in store order with an arc to the current number.
            Numbers walk{target};
            while (walk.front() != 0) {
                std::optional<std::int32_t> first;
                for (const StateView s : store.States()) {
                    for (const ArcView a : s.Arcs)
                        if (a.Target == walk.front()) first = s.Number;
                    if (first) break;
                }
                walk.insert(walk.begin(), *first);
            }
            ASSERT_EQ(PathNumbers(path), walk);
        }
    }
}

TEST(CtlSession, CompilesVerifiesAndKeepsNoFormulaAfterAFailure) {
    CtlSession session(QUARVO_SOURCE_DIR);
    std::vector<std::string> good{"E X p"};
    FormulaCompileResult r = session.Compile(VectorLineSource(good));
    ASSERT_TRUE(r.ok()) << r.Message();
    ASSERT_TRUE(session.HasFormula());
    const StemStore store = MakeStem({{0, {}, {1}}, {1, {"P"}, {}}});
    EXPECT_EQ(session.Verify(store), Verdict::Verified);
    EXPECT_TRUE(session.Labels().Holds(0, session.Formula().MainFormula));
    EXPECT_EQ(session.Verify(StemStore{}), Verdict::NoStem);

    std::vector<std::string> bad{"E p"};
    r = session.Compile(VectorLineSource(bad));
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(session.HasFormula());
    EXPECT_TRUE(session.Formula().SubformulaList.empty());

    CtlSession lost("/nonexistent-quarvo-dir");
    // The table is still found next to the program or in the installed data
    // directory; only when it is nowhere is the message the table's.
    r = lost.Compile(VectorLineSource(good));
    if (!r.ok()) {
        EXPECT_TRUE(test::Failed(r.tables));
    }
}

}  // namespace
}  // namespace quarvo
