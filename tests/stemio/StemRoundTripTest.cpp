// Reading back what the text format of a STEM says, and installing the result as the current STEM.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <unordered_set>

#include "StemTestSupport.h"

namespace quarvo {
namespace {

using Lines = std::vector<std::string>;

// A STEM as a breadth-first generation leaves it: states numbered in order of
// discovery, each discovered by an arc of an earlier state, arcs newest first.
StemStore RandomStem(std::mt19937& random, int states) {
    StemStore stem;
    const std::vector<ActionId> actions{
        stem.Intern("A"), stem.Intern("I"), stem.Intern("I_B"), stem.Intern("delta"),
        stem.Intern("abcdefghijklmnopqrstuvwxyz_1234"), stem.Intern("Mixed_Case9")};
    auto pick = [&random](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    auto randomSet = [&]() {
        EventSet set;
        const int size = pick(4);
        for (int i = 0; i < size; ++i) Insert(1 + pick(30), actions[static_cast<std::size_t>(pick(6))], set);
        return set;
    };
    for (int n = 0; n < states; ++n) stem.AppendState(n, n == 0 ? EventSet{} : randomSet());
    // Sources come in any order: the collector gives each state its arcs in the order added.
    ArcCollector arcs;
    for (int n = 1; n < states; ++n) {
        const std::size_t parent = static_cast<std::size_t>(pick(n));
        const EventSetId causes = stem.InternEvents(randomSet());
        const int event = 1 + pick(30);
        arcs.Add(parent, {n, actions[static_cast<std::size_t>(pick(6))], event, causes});
    }
    for (int extra = pick(2 * states); extra > 0; --extra) {
        const std::size_t source = static_cast<std::size_t>(pick(states));
        const EventSetId causes = stem.InternEvents(randomSet());
        const int event = 1 + pick(30);
        const ActionId action = actions[static_cast<std::size_t>(pick(6))];
        arcs.Add(source, {pick(states), action, event, causes});
    }
    arcs.MoveInto(stem);
    stem.StemStateCount = states;
    return stem;
}

// State 0, then the targets in the order the text names them.
std::vector<std::int32_t> FirstAppearanceOrder(const StemStore& stem) {
    std::vector<std::int32_t> order{0};
    std::unordered_set<std::int32_t> seen{0};
    for (const StateView state : stem.States())
        for (const ArcView arc : state.Arcs)
            if (seen.insert(arc.Target).second) order.push_back(arc.Target);
    return order;
}

TEST(StemRoundTrip, AWrittenStemReadsBackWithTheSameStatesAndReversedArcs) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        const StemStore original = RandomStem(random, 1 + round % 40);
        const Lines text = test::ClassicText(original);
        StemReadResult r = test::Read(text);
        ASSERT_TRUE(test::Succeeded(r.status)) << " in round " << round;

        std::vector<std::int32_t> numbers;
        for (const StateView state : r.stem.States()) numbers.push_back(state.Number);
        EXPECT_EQ(numbers, FirstAppearanceOrder(original));
        EXPECT_EQ(r.stem.StemStateCount, original.StemStateCount);

        for (const StateView state : original.States()) {
            const std::optional<StateView> read = r.stem.FindState(state.Number);
            ASSERT_TRUE(read.has_value());
            // The same state with its arcs in the reverse order.
            StemStore reversed;
            reversed.actions = original.actions;
            reversed.AppendState(state.Number, state.Events);
            std::vector<TStemArc> arcs;
            for (const ArcView arc : state.Arcs)
                arcs.push_back({arc.Target, arc.Action, arc.Event, reversed.InternEvents(arc.Causes)});
            reversed.SetArcs(0, arcs);
            EXPECT_EQ(test::StateText(r.stem, *read), test::StateText(reversed, reversed.State(0)));
        }

        // Written again, each line holds its records in the reverse order.
        StemReadResult again = test::Read(test::ClassicText(r.stem));
        ASSERT_TRUE(test::Succeeded(again.status));
        for (const StateView state : original.States())
            EXPECT_EQ(test::StateText(again.stem, *again.stem.FindState(state.Number)),
                      test::StateText(original, state));
    }
}

TEST(StemRoundTrip, AFailedReadingLeavesTheCurrentStemAsItWas) {
    StemStore current;
    current.AppendState(0, EventSet{});
    const TStemArc arc{1, current.Intern("A"), 1, EmptyEventSet};
    current.SetArcs(0, {&arc, 1});
    current.AppendState(1, EventSet{{1, current.Intern("A")}});
    current.StemStateCount = 2;
    current.LastGenStateCount = 2;
    const Lines before = test::StoreText(current);

    // The header's count is read before the fault; it must not reach the store.
    StemReadResult r = test::Read({"BEGIN 7;", "{}0<{}B:1>{1:B}1;", "{}1<{}C:2>{1:B,2:C}2;", "{}9<"});
    ASSERT_TRUE(test::Failed(r.status));
    if (r.status) AdoptRegeneratedStem(current, std::move(r.stem));
    EXPECT_EQ(test::StoreText(current), before);
    EXPECT_EQ(current.StemStateCount, 2);
    EXPECT_EQ(current.LastGenStateCount, 2);
}

TEST(StemRoundTrip, ASuccessfulReadingReplacesTheStemButNotTheLastGenerationCount) {
    StemStore current;
    for (int n = 0; n < 5; ++n) current.AppendState(n, EventSet{{1, current.Intern("OLD")}});
    current.StemStateCount = 5;
    current.LastGenStateCount = 5;

    StemReadResult r = test::Read({"BEGIN 3;", "{}0<{}Z:1>{1:Z}4;{}0<{}Y:1>{1:Y}2;", "END"});
    ASSERT_TRUE(test::Succeeded(r.status));
    AdoptRegeneratedStem(current, std::move(r.stem));
    EXPECT_EQ(test::StoreText(current), (Lines{"0 {} | {}Y:1>2 {}Z:1>4", "4 {1:Z} |", "2 {1:Y} |"}));
    EXPECT_EQ(current.StemStateCount, 3);
    EXPECT_EQ(current.LastGenStateCount, 5);
    EXPECT_EQ(current.IndexOf(4), 1);
    EXPECT_EQ(current.IndexOf(3), -1);
    EXPECT_EQ(current.compilation, nullptr);
}

}  // namespace
}  // namespace quarvo
