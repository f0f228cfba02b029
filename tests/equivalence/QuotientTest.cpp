// Quotients, the stores made of them, and the reduction of a STEM.
#include <gtest/gtest.h>

#include "../generation/GenerationTestSupport.h"
#include "PartitionTestSupport.h"
#include "equivalence/Equivalence.h"

namespace quarvo {
namespace {

using test::MakeLts;

// The arcs of each state as "A>1 I>2", states separated by " | ".
std::string ArcsText(const Lts& lts) {
    std::string text;
    for (std::uint32_t s = 0; s < lts.StateCount(); ++s) {
        if (s > 0) text += " | ";
        for (std::uint32_t e = lts.firstArc[s]; e < lts.firstArc[s + 1]; ++e)
            text += (e > lts.firstArc[s] ? " " : "") + lts.labels[lts.label[e]] + ">" + std::to_string(lts.target[e]);
    }
    return text;
}

TEST(QuotientTest, BreadthFirstNumberingArcsByNameThenTarget) {
    // Blocks {0}, {1}, {2, 4, 5}, {3}, {6}; 6 is not reachable.
    const Lts lts = MakeLts(7, {{0, "Z", 1}, {0, "A", 2}, {0, "I", 3}, {0, "A", 4}, {1, "B", 5}, {3, "C", 5},
                                {3, "C", 4}, {6, "D", 6}});
    const Partition strong = StrongBisimulation(lts);
    EXPECT_EQ(strong.count, 5u);
    const Lts q = QuotientLts(lts, strong, false);
    EXPECT_EQ(q.initial, 0u);
    // New blocks are numbered as the arcs of the block being visited come,
    // by label name: A, then I, then Z.
    EXPECT_EQ(ArcsText(q), "A>1 I>2 Z>3 |  | C>1 | B>1");
    EXPECT_EQ(q.labels, lts.labels);

    // From another initial state the numbering starts there.
    Lts from3 = lts;
    from3.initial = 3;
    EXPECT_EQ(ArcsText(QuotientLts(from3, strong, false)), "C>1 | ");
}

TEST(QuotientTest, BranchingQuotientDropsInertStepsAndKeepsDivergenceOnRequest) {
    // 0 -I-> 1 is inert; 2 and 3 form an internal cycle.
    const Lts lts = MakeLts(4, {{0, "I", 1}, {1, "A", 2}, {2, "I", 3}, {3, "I", 2}});
    EXPECT_EQ(ArcsText(QuotientLts(lts, StrongBisimulation(lts), false)), "I>1 | A>2 | I>2");
    const Partition branching = BranchingBisimulation(lts, false);
    EXPECT_EQ(branching.block, (std::vector<std::uint32_t>{0, 0, 1, 1}));
    EXPECT_EQ(ArcsText(QuotientLts(lts, branching, true)), "A>1 | ");
    const Partition divergence = BranchingBisimulation(lts, true);
    EXPECT_EQ(divergence.block, branching.block);
    // Only the block with a cycle gets a loop, not the one with an inert step.
    EXPECT_EQ(ArcsText(QuotientLts(lts, divergence, true, true)), "A>1 | I>1");
}

TEST(QuotientTest, StoreReadsBackInTheOrderOfTheLts) {
    const Lts lts = MakeLts(3, {{0, "Z", 1}, {0, "I", 2}, {0, "A", 1}, {1, "delta", 2}, {2, "Z", 0}});
    const StemStore store = StoreFromLts(lts);
    ASSERT_EQ(store.StateCount(), 3u);
    EXPECT_EQ(store.ArcCount(), 5);
    EXPECT_EQ(store.StemStateCount, 3);
    std::string read;
    for (const StateView state : store.States()) {
        EXPECT_EQ(state.Number, static_cast<std::int32_t>(state.Index));
        EXPECT_TRUE(state.Events.empty());
        for (const ArcView arc : state.Arcs) {  // newest first
            EXPECT_EQ(arc.Event, 0);
            EXPECT_TRUE(arc.Causes.empty());
            read += store.actions.Text(arc.Action) + ">" + std::to_string(arc.Target) + " ";
        }
        read += "| ";
    }
    EXPECT_EQ(read, "Z>1 I>2 A>1 | delta>2 | Z>0 | ");
    const Lts back = LtsFromStem(store);
    EXPECT_EQ(ArcsText(back), ArcsText(lts));
    EXPECT_EQ(back.labels, lts.labels);
}

// 0 -A-> 1, 0 -A-> 2, 1 -B-> 3, 2 -B-> 4, each state with its maximal events;
// actions A, B and C are 0, 1 and 2.
StemStore SmallStem(const std::vector<EventSet>& events) {
    StemStore stem;
    const ActionId a = stem.Intern("A"), b = stem.Intern("B");
    stem.Intern("C");
    for (std::int32_t s = 0; s < 5; ++s) stem.AppendState(s, events[s]);
    const TStemArc from0[] = {{1, a, 1, EmptyEventSet}, {2, a, 2, EmptyEventSet}};
    const TStemArc from1[] = {{3, b, 1, EmptyEventSet}};
    const TStemArc from2[] = {{4, b, 1, EmptyEventSet}};
    stem.SetArcs(0, from0);
    stem.SetArcs(1, from1);
    stem.SetArcs(2, from2);
    return stem;
}

TEST(QuotientTest, ReductionKeepsStateLabelsWhenAsked) {
    const ActionId a = 0, b = 1, c = 2;  // as SmallStem interns them
    // 3 and 4 have different event names but the same action: one block.
    StemStore stem = SmallStem({{}, {{1, a}}, {{2, a}}, {{1, b}}, {{2, b}}});
    ASSERT_EQ(stem.actions.Text(a), "A");
    ReduceOptions options;
    options.keepStateLabels = true;
    ReduceResult result = ReduceStem(stem, options);
    ASSERT_TRUE(result.status.ok());
    EXPECT_EQ(ReduceSummaryLines(result),
              std::vector<std::string>{"Réduction : 5 états et 4 arcs avant, 3 états et 2 arcs après."});
    ASSERT_EQ(result.quotient.StateCount(), 3u);
    // Each state of the quotient has the events of the block's first member.
    EXPECT_TRUE(result.quotient.State(0).Events.empty());
    EXPECT_EQ(result.quotient.State(1).Events, (EventSet{{1, a}}));
    EXPECT_EQ(result.quotient.State(2).Events, (EventSet{{1, b}}));
    EXPECT_EQ(result.quotient.actions.Text(result.quotient.State(1).Events.front().Action), "A");

    // State 4 now carries C: kept apart from 3, which keeps 1 and 2 apart;
    // without state labels the behaviour alone counts.
    stem = SmallStem({{}, {{1, a}}, {{2, a}}, {{1, b}}, {{1, c}}});
    result = ReduceStem(stem, options);
    EXPECT_EQ(result.statesAfter, 5);
    EXPECT_EQ(result.arcsAfter, 4);
    options.keepStateLabels = false;
    for (Equivalence e : {Equivalence::Strong, Equivalence::Branching, Equivalence::DivergenceBranching}) {
        options.equivalence = e;
        result = ReduceStem(stem, options);
        EXPECT_EQ(result.statesAfter, 3);
        EXPECT_TRUE(result.quotient.State(1).Events.empty());
    }
}

TEST(QuotientTest, ReductionStoppedOrRefused) {
    struct Stopper final : Progress {
        bool StopRequested() override { return true; }
    } stop;
    const StemStore stem = SmallStem({{}, {}, {}, {}, {}});
    const ReduceResult stopped = ReduceStem(stem, ReduceOptions{}, &stop);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(ReduceSummaryLines(stopped), std::vector<std::string>{"Réduction arrêtée."});

    ReduceOptions weak;
    weak.equivalence = Equivalence::Weak;
    const ReduceResult refused = ReduceStem(stem, weak);
    EXPECT_FALSE(refused.status.ok());
    EXPECT_EQ(ReduceSummaryLines(refused), std::vector<std::string>{refused.status.message()});

    const ReduceResult empty = ReduceStem(StemStore(), ReduceOptions{});
    EXPECT_TRUE(empty.status.ok());
    EXPECT_EQ(ReduceSummaryLines(empty),
              std::vector<std::string>{"Réduction : 0 état et 0 arc avant, 0 état et 0 arc après."});

    ReduceResult one;
    one.statesBefore = 2, one.arcsBefore = 2, one.statesAfter = 1, one.arcsAfter = 1;
    EXPECT_EQ(ReduceSummaryLines(one),
              std::vector<std::string>{"Réduction : 2 états et 2 arcs avant, 1 état et 1 arc après."});
}

TEST(QuotientTest, ReducesAGeneratedStem) {
    // A; I_X; B; NIL: the hidden step is inert, divergence-free.
    auto g = test::GenerateText("SYSTEM S [A, B, X] := A; (HIDE X IN X; B; NIL) ENDSYS", test::Interleaving());
    ASSERT_EQ(g->store.StateCount(), 4u);
    ReduceOptions options;
    ReduceResult strong = ReduceStem(g->store, options);
    EXPECT_EQ(ReduceSummaryLines(strong),
              std::vector<std::string>{"Réduction : 4 états et 3 arcs avant, 4 états et 3 arcs après."});
    EXPECT_EQ(ArcsText(LtsFromStem(strong.quotient)), "A>1 | I>2 | B>3 | ");
    for (Equivalence e : {Equivalence::Branching, Equivalence::DivergenceBranching}) {
        options.equivalence = e;
        const ReduceResult branching = ReduceStem(g->store, options);
        EXPECT_EQ(ArcsText(LtsFromStem(branching.quotient)), "A>1 | B>2 | ");
    }
}

}  // namespace
}  // namespace quarvo
