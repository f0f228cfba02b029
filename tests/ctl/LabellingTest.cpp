// Labelling of STEM states with sub-formulas, the verdict, and the agreement with the sweep reference.
#include <gtest/gtest.h>

#include "ctl/CtlSession.h"
#include "ctl/Labelling.h"
#include "frontend/Parser.h"
#include "generation/Generator.h"
#include "CtlTestSupport.h"
#include "RandomFormula.h"
#include "ReferenceSweeps.h"

namespace quarvo {
namespace {

using test::MakeStem;
using test::StateSpec;

// The numbers of the states where the root of text holds.
std::vector<std::int32_t> StatesWhereRootHolds(const StemStore& store, const std::string& text) {
    FormulaCompileResult r = test::Compile(text);
    EXPECT_TRUE(r.ok()) << text << ": " << r.Message();
    Labelling labels = LabelAll(store, r.formula);
    std::vector<std::int32_t> holds;
    for (std::size_t i = 0; i < store.StateCount(); ++i)
        if (labels.Holds(i, r.formula.MainFormula)) holds.push_back(store.State(i).Number);
    return holds;
}

using Numbers = std::vector<std::int32_t>;

// 0 -> 1 -> 2 (deadlock), 0 -> 3 -> 3 (self-loop); events carry P and Q.
StemStore SmallStem() {
    return MakeStem({{0, {}, {1, 3}}, {1, {"P"}, {2}}, {2, {"P", "P", "Q"}, {}}, {3, {"Q"}, {3}}});
}

TEST(Labelling, EachRuleGivesTheStatesItDefines) {
    const StemStore store = SmallStem();
    struct Case {
        const char* formula;
        Numbers states;
    };
    const Case cases[] = {
        {"p", {1, 2}},
        {"p : 0", {0, 3}},
        {"p : 2", {2}},
        {"q : 1", {2, 3}},
        {"r", {}},
        {"TRUE", {0, 1, 2, 3}},
        {"FALSE", {}},
        {"NOT p", {0, 3}},
        {"p AND q", {2}},
        {"p OR q", {1, 2, 3}},
        {"p => q", {0, 2, 3}},
        {"p <=> q", {0, 2}},
        {"E X p", {0, 1}},
        {"A X p", {1}},
        {"A X TRUE", {0, 1, 3}},
        {"E X TRUE", {0, 1, 3}},
        {"E F q", {0, 1, 2, 3}},
        {"A F p", {1, 2}},  // from 0 the loop on 3 never meets P
        {"E G TRUE", {0, 1, 2, 3}},
        {"A G TRUE", {0, 1, 2, 3}},
        {"E F FALSE", {}},
        {"E G q", {2, 3}},
        {"A G q", {2, 3}},
        {"E G NOT p", {0, 3}},
        {"E [ NOT p U p ]", {0, 1, 2}},
        {"A [ TRUE U p ]", {1, 2}},
        {"A [ NOT q U q ]", {0, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StatesWhereRootHolds(store, c.formula), c.states) << c.formula;
    }
}

TEST(Labelling, DeadlockFollowsTheConventions) {
    // A single deadlock state with the event P.
    const StemStore store = MakeStem({{0, {"P"}, {}}});
    struct Case {
        const char* formula;
        bool holds;
    };
    for (const Case& c : {Case{"A X p", false}, Case{"E X TRUE", false}, Case{"A F p", true}, Case{"A F q", false},
                          Case{"A [ q U p ]", true}, Case{"A [ p U q ]", false}, Case{"E G p", true},
                          Case{"A G p", true}, Case{"E G q", false}})
        EXPECT_EQ(!StatesWhereRootHolds(store, c.formula).empty(), c.holds) << c.formula;
}

TEST(Labelling, CycleKeepsGloballyUntilAnArcLeavesToAFailingState) {
    const std::vector<StateSpec> cycle = {{0, {}, {1}}, {1, {"P"}, {2}}, {2, {"P"}, {3}}, {3, {"P"}, {1}}};
    StemStore closed = MakeStem(cycle);
    EXPECT_EQ(StatesWhereRootHolds(closed, "A G p"), (Numbers{1, 2, 3}));
    EXPECT_EQ(StatesWhereRootHolds(closed, "E G p"), (Numbers{1, 2, 3}));

    std::vector<StateSpec> open = cycle;
    open[2].targets.push_back(4);
    open.push_back({4, {"Q"}, {}});
    StemStore leaving = MakeStem(open);
    EXPECT_EQ(StatesWhereRootHolds(leaving, "A G p"), (Numbers{}));
    EXPECT_EQ(StatesWhereRootHolds(leaving, "E G p"), (Numbers{1, 2, 3}));
}

TEST(Labelling, ParallelArcsToOneStateCountOnceEach) {
    // Two arcs from 0 to 1 and one to 2: A X p needs every arc's target.
    const StemStore store = MakeStem({{0, {}, {1, 1, 2}}, {1, {"P"}, {}}, {2, {}, {}}});
    EXPECT_EQ(StatesWhereRootHolds(store, "A X p"), (Numbers{}));
    EXPECT_EQ(StatesWhereRootHolds(store, "A F p"), (Numbers{1}));
    const StemStore both = MakeStem({{0, {}, {1, 1}}, {1, {"P"}, {}}});
    EXPECT_EQ(StatesWhereRootHolds(both, "A X p"), (Numbers{0}));
    EXPECT_EQ(StatesWhereRootHolds(both, "A F p"), (Numbers{0, 1}));
}

TEST(Labelling, FixpointsDoNotDependOnTheStateCountOfTheFileHeader) {
    // A STEM read from a file whose header understates its states: the chain
    // 0 -> 1 -> ... -> 5 still lets P at 5 be reached from 0.
    StemStore store = MakeStem({{0, {}, {1}}, {1, {}, {2}}, {2, {}, {3}}, {3, {}, {4}}, {4, {}, {5}}, {5, {"P"}, {}}});
    store.StemStateCount = 1;
    EXPECT_EQ(StatesWhereRootHolds(store, "E F p"), (Numbers{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(StatesWhereRootHolds(store, "A G NOT p"), (Numbers{}));
}

TEST(Labelling, ArcsToMissingStatesLeadNowhere) {
    const StemStore store = MakeStem({{0, {}, {7, 1}}, {1, {"P"}, {}}, {2, {}, {9}}});
    EXPECT_EQ(StatesWhereRootHolds(store, "A X p"), (Numbers{0}));
    EXPECT_EQ(StatesWhereRootHolds(store, "E X TRUE"), (Numbers{0}));
}

TEST(Labelling, VerdictIsForStateZeroWhereverItStands) {
    // The list is not in number order: state 0 is second.
    const StemStore store = MakeStem({{4, {"P"}, {}}, {0, {}, {4}}});
    struct Case {
        const char* formula;
        Verdict verdict;
    };
    for (const Case& c : {Case{"p", Verdict::NotVerified}, Case{"E X p", Verdict::Verified},
                          Case{"p : 0", Verdict::Verified}, Case{"A X NOT p", Verdict::NotVerified}}) {
        FormulaCompileResult r = test::Compile(c.formula);
        Labelling labels;
        EXPECT_EQ(Verify(store, r.formula, labels), c.verdict) << c.formula;
    }
    EXPECT_STREQ(VerdictMessage(Verdict::Verified), "Formule vérifiée à l'état initial.");
    EXPECT_STREQ(VerdictMessage(Verdict::NotVerified), "Formule non vérifiée à l'état initial.");
}

TEST(Labelling, VerifyingWithoutStemSaysSoInsteadOfAVerdict) {
    FormulaCompileResult r = test::Compile("TRUE");
    Labelling labels;
    EXPECT_EQ(Verify(StemStore{}, r.formula, labels), Verdict::NoStem);
    EXPECT_STREQ(VerdictMessage(Verdict::NoStem), "Aucun STEM en mémoire : générez ou régénérez d'abord un STEM.");
    EXPECT_TRUE(labels.Empty());
    EXPECT_EQ(Verify(MakeStem({{3, {}, {}}}), r.formula, labels), Verdict::NoInitialState);
}

TEST(Labelling, NoFormulaIsNotVerified) {
    // What a failed compilation leaves: no root.
    Labelling labels;
    EXPECT_EQ(Verify(SmallStem(), CompiledFormula{}, labels), Verdict::NotVerified);
    EXPECT_FALSE(test::Compile("  \n").ok());
}

std::vector<std::string> Unknown(const StemStore& store, const std::string& text) {
    FormulaCompileResult r = test::Compile(text);
    EXPECT_TRUE(r.ok()) << text << ": " << r.Message();
    return UnknownAtoms(store, r.formula);
}

using Names = std::vector<std::string>;

TEST(UnknownAtoms, AreTheAtomsNamingNoActionOfTheStemOnceEachAsFirstWritten) {
    // Events of P and Q; every arc bears the action A.
    const StemStore store = SmallStem();
    EXPECT_EQ(Unknown(store, "p AND E X Q OR A G (a => TRUE)"), Names{});
    EXPECT_EQ(Unknown(store, "cs3"), Names{"cs3"});
    EXPECT_EQ(Unknown(store, "CS3 OR p OR cs3 OR r : 0 OR R OR E [Cs3 U s]"), (Names{"CS3", "r", "s"}));
    // The atom of a count is an atom too.
    EXPECT_EQ(Unknown(store, "z : 0"), Names{"z"});
    // Keywords and numbers are no atoms.
    EXPECT_EQ(Unknown(store, "TRUE AND NOT false OR p : 2"), Names{});
}

TEST(UnknownAtoms, AnActionCountsWhenAnArcOrAnEventBearsIt) {
    // State 0 has an arc ONARC to state 1, whose event is EV: an action only on
    // an arc, as the events of a STEM under interleaving may forget it, and
    // one only in an event set.
    StemStore store;
    store.AppendState(0, EventSet{});
    store.SetArcs(0, std::vector<TStemArc>{{1, store.Intern("ONARC"), 1, EmptyEventSet}});
    store.AppendState(1, EventSet{{1, store.Intern("EV")}});
    // In the table but nowhere in the STEM: an action of an earlier STEM, a gate never offered.
    store.Intern("GONE");
    EXPECT_EQ(Unknown(store, "ev OR onarc OR gone"), Names{"gone"});
    // Without a state, no action is the STEM's.
    EXPECT_EQ(Unknown(StemStore{}, "p OR q"), (Names{"p", "q"}));
}

TEST(UnknownAtoms, MatchHiddenAndInternalActionsAsTheLabellingDoes) {
    // MID is hidden: its occurrences are named I_MID, and MID itself is in no arc.
    std::vector<std::string> lines = test::Lines(
        "SYSTEM Buffer [PUT, GET] := HIDE MID IN (Cell [PUT, MID] |[MID]| Cell [MID, GET])\n"
        "WHERE PROCESS Cell [A, B] := A; B; Cell [A, B] ENDPROC ENDSYS");
    VectorLineSource source(lines);
    VectorMessageSink sink;
    CompileOutcome compiled = CompileSpecification(source, QUARVO_SOURCE_DIR, sink);
    ASSERT_TRUE(compiled.ok());
    StemStore store;
    GenerateStem(compiled.compilation, GenerationSettings{}, store);
    EXPECT_EQ(Unknown(store, "put OR Get OR i_mid OR I_MID : 1"), Names{});
    // Names the generator keeps for itself are not the STEM's actions either.
    EXPECT_EQ(Unknown(store, "MID OR i OR a OR delta"), (Names{"MID", "i", "a", "delta"}));
    // Where the labelling finds MID nowhere, I_MID somewhere.
    EXPECT_TRUE(StatesWhereRootHolds(store, "MID").empty());
    EXPECT_FALSE(StatesWhereRootHolds(store, "I_MID").empty());
}

TEST(UnknownAtoms, WarningNamesOneOrSeveralAtoms) {
    EXPECT_EQ(UnknownAtomsWarning({}), "");
    EXPECT_EQ(UnknownAtomsWarning({"CS3"}), "Attention : aucune action CS3 dans le STEM.");
    EXPECT_EQ(UnknownAtomsWarning({"CS3", "cs4"}), "Attention : aucune action CS3 ni cs4 dans le STEM.");
    EXPECT_EQ(UnknownAtomsWarning({"A", "B", "C"}), "Attention : aucune action A, B ni C dans le STEM.");
}

TEST(UnknownAtoms, SessionFindsThemAtEachVerificationOfALabelledStem) {
    CtlSession session(QUARVO_SOURCE_DIR);
    const StemStore store = SmallStem();
    std::vector<std::string> text{"E F cs3 OR E F p"};
    ASSERT_TRUE(session.Compile(VectorLineSource(text)).ok());
    EXPECT_TRUE(session.UnknownAtoms().empty());  // not verified yet
    // The verdict is given all the same.
    EXPECT_EQ(session.Verify(store), Verdict::Verified);
    EXPECT_EQ(session.UnknownAtoms(), Names{"cs3"});
    EXPECT_EQ(session.Warning(), "Attention : aucune action cs3 dans le STEM.");
    // No STEM, no labels: nothing to warn about.
    EXPECT_EQ(session.Verify(StemStore{}), Verdict::NoStem);
    EXPECT_TRUE(session.UnknownAtoms().empty());
    EXPECT_EQ(session.Warning(), "");
    session.Verify(store);
    session.DropLabels();
    EXPECT_TRUE(session.UnknownAtoms().empty());
    session.Verify(store);
    text = {"p AND q"};
    ASSERT_TRUE(session.Compile(VectorLineSource(text)).ok());
    EXPECT_TRUE(session.UnknownAtoms().empty());
    EXPECT_EQ(session.Verify(store), Verdict::NotVerified);
    EXPECT_TRUE(session.UnknownAtoms().empty());
}

TEST(Labelling, LabellingTwiceChangesNothing) {
    const StemStore store = SmallStem();
    FormulaCompileResult r = test::Compile("A G (E F q) AND E [p U NOT A X p] OR NOT E G p");
    ASSERT_TRUE(r.ok());
    Labelling once = LabelAll(store, r.formula);
    Labelling twice = once;
    LabelAll(store, r.formula, twice);
    EXPECT_EQ(once, twice);
}

// The labels are the least fixpoints the sweeps compute: compare on random
// STEMs (deadlocks, cycles, self-loops, lists out of number order) and random formulas.
TEST(Labelling, AgreesWithTheSweepReferenceOnRandomStemsAndFormulas) {
    std::mt19937 rng(1234);
    int compared = 0;
    for (int round = 0; round < 400; ++round) {
        const int states = 1 + static_cast<int>(rng() % 40);
        const StemStore store = MakeStem(test::RandomStem(rng, states, round % 3 == 0));
        test::RandomFormula text = test::MakeRandomFormula(rng, 2 + round % 4);
        FormulaCompileResult r = test::Compile(text.text);
        ASSERT_TRUE(r.ok()) << text.text;
        const Labelling labels = LabelAll(store, r.formula);
        const test::ReferenceLabels reference = test::SweepLabels(store, r.formula);
        for (std::size_t s = 0; s < store.StateCount(); ++s)
            for (FormulaIndex n : r.formula.SubformulaList) {
                ASSERT_EQ(labels.Holds(s, n), test::ReferenceHolds(reference, s, n))
                    << "round " << round << ", state " << store.State(s).Number << ", "
                    << FormulaText(r.formula, n);
                ++compared;
            }
        // The reference keeps no marker behind.
        for (const auto& l : reference)
            for (FormulaIndex n : l) ASSERT_GE(n, 0);
    }
    EXPECT_GT(compared, 10000);
}

}  // namespace
}  // namespace quarvo
