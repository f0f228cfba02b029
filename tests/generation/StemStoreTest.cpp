// The STEM store: interned event sets, states by number, arcs stored as found and read newest first.
#include <array>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <iterator>
#include <random>
#include <vector>

#include "generation/EventSet.h"
#include "generation/StemStore.h"

namespace quarvo {
namespace {

// "target/action/event/causes" of each arc, in the order read.
std::vector<std::string> Read(const ArcRange& arcs) {
    std::vector<std::string> out;
    for (const ArcView a : arcs)
        out.push_back(std::to_string(a.Target) + "/" + std::to_string(a.Action) + "/" + std::to_string(a.Event) + "/" +
                      std::to_string(a.CausesId));
    return out;
}

TEST(StemStore, EqualEventSetsShareOneIdAndTheEmptySetIsZero) {
    StemStore store;
    const ActionId a = store.Intern("A"), b = store.Intern("B");
    EXPECT_EQ(store.InternEvents({}), EmptyEventSet);
    EXPECT_TRUE(store.Events(EmptyEventSet).empty());
    const EventSetId one = store.InternEvents({{1, a}});
    const EventSetId two = store.InternEvents({{1, a}, {2, b}});
    EXPECT_NE(one, EmptyEventSet);
    EXPECT_NE(one, two);
    EXPECT_EQ(store.InternEvents({{1, a}}), one);
    EXPECT_EQ(store.InternEvents({{1, b}}), store.InternEvents({{1, b}}));
    EXPECT_NE(store.InternEvents({{1, b}}), one) << "the action counts";
    EXPECT_NE(store.InternEvents({{2, a}}), one) << "the event name counts";
    EXPECT_EQ(store.Events(two), (EventSet{{1, a}, {2, b}}));
    EXPECT_EQ(store.EventSetCount(), 5u);

    // Thousands of sets, the table grown many times over: each is found again.
    std::vector<EventSetId> ids;
    for (std::int32_t e = 1; e <= 30; ++e)
        for (ActionId x = 0; x < 200; ++x) ids.push_back(store.InternEvents({{e, x}, {e + 1, x + 1}}));
    std::size_t k = 0;
    for (std::int32_t e = 1; e <= 30; ++e)
        for (ActionId x = 0; x < 200; ++x, ++k) {
            ASSERT_EQ(store.InternEvents({{e, x}, {e + 1, x + 1}}), ids[k]);
            ASSERT_EQ(store.Events(ids[k]), (EventSet{{e, x}, {e + 1, x + 1}}));
        }
}

TEST(StemStore, ASetPackedOnceOrKeptAsARecordIsTheSetInternedFromItsActions) {
    // Actions packed four a word, two a word and one a word; sets interned
    // first in one form and found again in the others, the pool grown between.
    StemStore store;
    std::mt19937 random(5);
    for (const ActionId largest : {ActionId{0xF0}, ActionId{0xFFF0}, ActionId{0x12345}}) {
        for (int k = 0; k < 400; ++k) {
            std::uint32_t mask = static_cast<std::uint32_t>(random()) & 0x7FFFFFFEu;
            if (k % 50 == 0) mask = 0;
            std::vector<ActionId> actions(static_cast<std::size_t>(std::popcount(mask)));
            for (ActionId& a : actions) a = static_cast<ActionId>(random() % largest);
            EventSetPool::Packed packed;
            store.PackEvents(mask, actions.data(), packed);
            std::vector<std::uint32_t> record(EventSetPool::RecordSize(packed));
            EventSetPool::WriteRecord(packed, record.data());
            store.PrefetchPackedEvents(packed);
            store.PrefetchEventRecord(record.data());
            const EventSetId byPacked = k % 2 ? store.InternPackedEvents(packed) : store.InternEventRecord(record.data());
            EXPECT_EQ(store.InternEvents(mask, actions.data()), byPacked) << "mask " << mask;
            EXPECT_EQ(store.InternEventRecord(record.data()), byPacked);
            EXPECT_EQ(store.InternPackedEvents(packed), byPacked);
            EXPECT_EQ(mask == 0, byPacked == EmptyEventSet);
        }
    }
}

TEST(StemStore, SetsReadBackAsRangesOfEntriesInNameOrder) {
    StemStore store;
    const ActionId a = store.Intern("A"), b = store.Intern("B"), c = store.Intern("C");
    const EventSet withMinusOne{{-1, c}, {1, a}, {30, b}};
    const EventSetId id = store.InternEvents(withMinusOne);

    // The same set as a mask (bit 0 for -1, bit e for e) and its actions in name order.
    const ActionId actions[] = {c, a, b};
    EXPECT_EQ(store.InternEvents((1u << 0) | (1u << 1) | (1u << 30), actions), id);
    const EventSetRef set = store.Events(id);
    EXPECT_TRUE(set.NameForm());
    EXPECT_EQ(set.Mask(), (1u << 0) | (1u << 1) | (1u << 30));
    ASSERT_EQ(set.size(), 3u);
    EXPECT_FALSE(set.empty());
    EXPECT_EQ(set.front(), (TEventEntry{-1, c}));
    EXPECT_EQ(set[1], (TEventEntry{1, a}));
    EXPECT_EQ(set[2], (TEventEntry{30, b}));
    EXPECT_EQ(EventSet(set.begin(), set.end()), withMinusOne);
    EXPECT_EQ(set.ToEventSet(), withMinusOne);
    EXPECT_EQ(set, withMinusOne);
    EXPECT_EQ(withMinusOne, set);
    EXPECT_NE(set, (EventSet{{-1, c}, {1, a}}));
    EXPECT_NE(set, (EventSet{{-1, c}, {1, a}, {30, a}}));
    EXPECT_TRUE(Contains(set, -1));
    EXPECT_TRUE(Contains(set, 30));
    EXPECT_FALSE(Contains(set, 2));
    EXPECT_FALSE(Contains(set, 31));
    EXPECT_EQ(std::distance(set.begin(), std::find(set.begin(), set.end(), TEventEntry{30, b})), 2)
        << "a forward range for the standard algorithms";
    EXPECT_EQ(EventSetText(set, store.actions), "{-1:C,1:A,30:B}");

    // The empty set: id 0, whichever way it is given.
    const EventSetRef empty = store.Events(EmptyEventSet);
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_EQ(empty.begin(), empty.end());
    EXPECT_EQ(empty, EventSet{});
    EXPECT_EQ(empty, EventSetRef());
    EXPECT_EQ(store.InternEvents(0, nullptr), EmptyEventSet);
    EXPECT_EQ(store.InternEvents(empty), EmptyEventSet);

    // A set of one store is interned into another once, and equals it there.
    StemStore other;
    other.actions = store.actions;
    const EventSetId there = other.InternEvents(set);
    EXPECT_EQ(other.InternEvents(withMinusOne), there);
    EXPECT_EQ(other.Events(there), set);
    EXPECT_EQ(other.EventSetCount(), 2u);
    EXPECT_NE(other.Events(there), other.Events(EmptyEventSet));
    EXPECT_EQ(store.EventSetCount(), 2u) << "one set interned three ways is kept once";
}

TEST(StemStore, ActionsBeyondSixteenBitsKeepTheirSetsWhole) {
    // Actions are kept two to a word while they fit 16 bits; a set with a
    // larger one is kept a word an action, and both read back the same.
    StemStore store;
    const ActionId small = 0xFFFF, large = 0x10000, huge = 0xFFFFFFF0u;
    const EventSet narrow{{1, small}, {2, 7}, {3, 0}};
    const EventSet wide{{1, small}, {2, large}, {3, huge}};
    const EventSet almost{{1, small}, {2, large - 0x10000}, {3, huge & 0xFFFF}};
    const EventSetId ids[] = {store.InternEvents(narrow), store.InternEvents(wide), store.InternEvents(almost)};
    EXPECT_NE(ids[1], ids[2]) << "the high halves of the actions count";
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(store.Events(ids[0]), narrow);
        EXPECT_EQ(store.Events(ids[1]), wide);
        EXPECT_EQ(store.Events(ids[2]), almost);
        EXPECT_EQ(store.Events(ids[1])[2], (TEventEntry{3, huge}));
        EXPECT_EQ(store.InternEvents(wide), ids[1]);
        // Many more sets: the index grows and finds every set again.
        for (ActionId a = 1; a < 300; ++a) store.InternEvents(EventSet{{1, a}, {5, a * 0x1001}});
    }
    // Every name used, actions of 8 and of 16 bits: a count that ends inside a word.
    std::array<ActionId, 31> actions{}, small8{};
    for (ActionId k = 0; k < 31; ++k) {
        actions[k] = 1000 + k;
        small8[k] = k * 8;
    }
    const EventSetId full = store.InternEvents(EventSetRef::NameBits, actions.data());
    const EventSetId bytes = store.InternEvents(EventSetRef::NameBits, small8.data());
    ASSERT_EQ(store.Events(full).size(), 31u);
    EXPECT_EQ(store.Events(full)[30], (TEventEntry{30, 1030}));
    EXPECT_EQ(store.Events(bytes)[30], (TEventEntry{30, 240}));
    EXPECT_EQ(store.Events(bytes)[0], (TEventEntry{-1, 0}));
    EXPECT_EQ(std::distance(store.Events(full).begin(), store.Events(full).end()), 31);
    EXPECT_EQ(store.Events(bytes).ToEventSet()[17], (TEventEntry{17, 136}));
    EXPECT_EQ(store.InternEvents(store.Events(bytes).ToEventSet()), bytes);

    // Into another store, and equal across stores.
    StemStore other;
    for (const EventSetId id : {ids[0], ids[1], ids[2], full, bytes}) {
        const EventSetId there = other.InternEvents(store.Events(id));
        EXPECT_EQ(other.Events(there), store.Events(id));
        EXPECT_EQ(other.InternEvents(store.Events(id).ToEventSet()), there);
    }
    EXPECT_NE(other.Events(other.InternEvents(narrow)), store.Events(ids[1]));
}

TEST(StemStore, SetsOutsideTheNamesOrOrderOfAGeneratedStemAreKeptAsGiven) {
    // A STEM file may name events 0 or beyond 30; a hand-made set may be out of order.
    StemStore store;
    const ActionId a = store.Intern("A"), b = store.Intern("B");
    const EventSet large{{0, a}, {2, b}, {2147483647, a}};
    const EventSet unsorted{{3, b}, {1, a}};
    const EventSet twice{{1, a}, {1, b}};
    const EventSetId ids[] = {store.InternEvents(large), store.InternEvents(unsorted), store.InternEvents(twice)};
    EXPECT_EQ(store.InternEvents(large), ids[0]);
    EXPECT_EQ(store.InternEvents(unsorted), ids[1]);
    EXPECT_EQ(store.InternEvents(twice), ids[2]);
    EXPECT_NE(store.InternEvents({{1, a}, {3, b}}), ids[1]) << "the sorted set is another set";
    EXPECT_EQ(store.Events(ids[0]), large);
    EXPECT_EQ(store.Events(ids[1]), unsorted);
    EXPECT_EQ(store.Events(ids[2]), twice);
    EXPECT_FALSE(store.Events(ids[0]).NameForm());
    EXPECT_EQ(store.Events(ids[0]).size(), 3u);
    EXPECT_EQ(store.Events(ids[0])[2], (TEventEntry{2147483647, a}));
    EXPECT_EQ(store.Events(ids[1]).front(), (TEventEntry{3, b}));
    EXPECT_EQ(store.Events(ids[0]).ToEventSet(), large);
    EXPECT_TRUE(Contains(store.Events(ids[0]), 0));
    EXPECT_FALSE(Contains(store.Events(ids[0]), 1));
    EXPECT_EQ(EventSetText(store.Events(ids[0]), store.actions), "{0:A,2:B,2147483647:A}");
    EXPECT_EQ(EventSetText(store.Events(ids[1]), store.actions), "{3:B,1:A}");

    StemStore other;
    EXPECT_EQ(other.Events(other.InternEvents(store.Events(ids[0]))), large);
}

TEST(StemStore, StatesAreFoundByNumberFirstInListOrder) {
    StemStore store;
    store.AppendState(0, EventSet{});
    store.AppendState(1, EventSet{{1, store.Intern("A")}});
    EXPECT_TRUE(store.NumberedByPosition());
    EXPECT_EQ(store.IndexOf(1), 1);
    EXPECT_EQ(store.IndexOf(2), -1);
    EXPECT_EQ(store.IndexOf(-1), -1);
    // Numbers out of position, and one twice: the first state with it wins.
    store.AppendState(7, EmptyEventSet);
    store.AppendState(1, EmptyEventSet);
    EXPECT_FALSE(store.NumberedByPosition());
    EXPECT_EQ(store.IndexOf(0), 0);
    EXPECT_EQ(store.IndexOf(1), 1);
    EXPECT_EQ(store.IndexOf(7), 2);
    EXPECT_EQ(store.IndexOf(3), -1);
    ASSERT_TRUE(store.FindState(1).has_value());
    EXPECT_EQ(store.FindState(1)->Index, 1u);
    EXPECT_EQ(store.FindState(1)->Events, (EventSet{{1, store.Intern("A")}}));
    EXPECT_FALSE(store.FindState(3).has_value());
    EXPECT_EQ(store.StateCount(), 4u);
    EXPECT_EQ(store.State(2).Number, 7);
}

TEST(StemStore, ArcsAreStoredAsFoundAndReadNewestFirst) {
    StemStore store;
    const ActionId a = store.Intern("A");
    const EventSetId causes = store.InternEvents({{1, a}});
    for (std::int32_t n = 0; n < 4; ++n) store.AppendState(n, EmptyEventSet);
    const TStemArc first[] = {{1, a, 1, EmptyEventSet}, {2, a, 2, causes}, {3, a, 3, EmptyEventSet}};
    // Given out of list order: each state's arcs stay its own.
    const TStemArc third[] = {{0, a, 4, causes}};
    store.SetArcs(2, third);
    store.SetArcs(0, first);
    EXPECT_EQ(Read(store.State(0).Arcs), (std::vector<std::string>{"3/0/3/0", "2/0/2/1", "1/0/1/0"}));
    EXPECT_EQ(Read(store.State(2).Arcs), (std::vector<std::string>{"0/0/4/1"}));
    EXPECT_TRUE(store.State(1).Arcs.empty()) << "a state never given arcs has none";
    EXPECT_TRUE(store.State(3).Arcs.empty());
    EXPECT_EQ(store.ArcCount(), 4);

    const ArcRange arcs = store.State(0).Arcs;
    ASSERT_EQ(arcs.size(), 3u);
    EXPECT_EQ(arcs.front().Target, 3);
    EXPECT_EQ(arcs.back().Target, 1);
    EXPECT_EQ(arcs[1].Causes, (EventSet{{1, a}}));
    EXPECT_EQ(arcs.end() - arcs.begin(), 3);
    std::vector<std::int32_t> found;
    for (auto it = arcs.rbegin(); it != arcs.rend(); ++it) found.push_back(it->Target);
    EXPECT_EQ(found, (std::vector<std::int32_t>{1, 2, 3}));
    ASSERT_EQ(arcs.Found().size(), 3u);
    EXPECT_EQ(arcs.Found()[0], first[0]);
    EXPECT_EQ(arcs.begin().Stored(), first[2]);
}

TEST(StemStore, CollectedArcsGoToTheirStatesInTheOrderAdded) {
    for (bool ordered : {true, false}) {
        std::mt19937 random(ordered ? 3 : 4);
        StemStore store;
        const int states = 50;
        for (int n = 0; n < states; ++n) store.AppendState(n, EmptyEventSet);
        std::vector<std::vector<TStemArc>> expected(states);
        ArcCollector collector;
        for (int source = 0; source < states; ++source) {
            // In order: each state's arcs together, states in list order. Out of order: anywhere.
            for (int k = static_cast<int>(random() % 4); k > 0; --k) {
                const int from = ordered ? source : static_cast<int>(random() % states);
                const TStemArc arc{static_cast<std::int32_t>(random() % states), 0, static_cast<std::int32_t>(k),
                                   EmptyEventSet};
                collector.Add(static_cast<std::size_t>(from), arc);
                expected[static_cast<std::size_t>(from)].push_back(arc);
            }
        }
        collector.MoveInto(store);
        EXPECT_EQ(collector.Size(), 0u);
        std::int64_t arcs = 0;
        for (int n = 0; n < states; ++n) {
            const FoundArcs got = store.State(static_cast<std::size_t>(n)).Arcs.Found();
            EXPECT_EQ(std::vector<TStemArc>(got.begin(), got.end()), expected[static_cast<std::size_t>(n)])
                << (ordered ? "ordered" : "unordered") << ", state " << n;
            arcs += static_cast<std::int64_t>(got.size());
        }
        EXPECT_EQ(store.ArcCount(), arcs);
    }
}

TEST(StemStore, ArcsKeepTargetsAndLabelsBeyondWhatTheirRecordHolds) {
    // More labels than an arc's record names (its id is then kept beside),
    // targets beyond 16 bits; given state by state, and collected in any order.
    for (int way = 0; way < 3; ++way) {
        std::mt19937 random(static_cast<unsigned>(way));
        StemStore store;
        const ActionId a = store.Intern("A");
        const int states = 40;
        for (int n = 0; n < states; ++n) store.AppendState(n, EmptyEventSet);
        std::vector<std::vector<TStemArc>> expected(states);
        ArcCollector collector;
        for (std::int32_t k = 0; k < 80000; ++k) {
            const auto from = static_cast<std::size_t>(way == 2 ? random() % states : k * states / 80000);
            const TStemArc arc{static_cast<std::int32_t>(random() % 0x7FFFFFFF), a, k % 9 == 0 ? 1 : k + 1,
                               EmptyEventSet};
            collector.Add(from, arc);
            expected[from].push_back(arc);
        }
        if (way == 0) {
            for (int n = 0; n < states; ++n) store.SetArcs(static_cast<std::size_t>(n), expected[static_cast<std::size_t>(n)]);
        } else {
            collector.MoveInto(store);
        }
        EXPECT_GT(store.LabelCount(), 0xFFFFu);
        for (int n = 0; n < states; ++n) {
            const ArcRange arcs = store.State(static_cast<std::size_t>(n)).Arcs;
            const FoundArcs got = arcs.Found();
            ASSERT_EQ(std::vector<TStemArc>(got.begin(), got.end()), expected[static_cast<std::size_t>(n)])
                << "way " << way << ", state " << n;
            if (arcs.empty()) continue;
            EXPECT_EQ(arcs.front().Event, expected[static_cast<std::size_t>(n)].back().Event);
            EXPECT_EQ(arcs.front().Target, expected[static_cast<std::size_t>(n)].back().Target);
            EXPECT_EQ(arcs.begin().Stored(), expected[static_cast<std::size_t>(n)].back());
        }
    }
}

TEST(StemStore, PackedArcsWidenWithoutLosingAnArc) {
    // Targets and labels growing bit by bit, each growth laying every arc
    // out again, arcs given one by one or in batches; arcs set again after a
    // growth keep their new values. Past 57 bits an arc no longer fits one
    // access.
    PackedArcs arcs;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> expected;
    std::mt19937 random(9);
    for (unsigned bits = 1; bits <= 32; ++bits) {
        const unsigned labelBits = bits < 32 ? std::min(bits, 20u) : 30u;
        const std::size_t before = expected.size();
        for (int k = 0; k < 50; ++k) {
            const auto target = static_cast<std::uint32_t>(random() & ((bits == 32 ? 0 : 1ull << bits) - 1));
            const auto label = static_cast<std::uint32_t>(random() % (1u << labelBits));
            if (bits % 2 == 0) arcs.push_back(target, label);
            expected.emplace_back(target, label);
        }
        if (bits % 2 == 1)
            arcs.Append(50, (bits == 32 ? 0 : 1u << bits) - 1, (1u << labelBits) - 1,
                        [&](std::size_t i) { return expected[before + i]; });
        const std::size_t k = random() % expected.size();
        expected[k] = {static_cast<std::uint32_t>(random()), bits};
        arcs.Set(k, expected[k].first, expected[k].second);
        ASSERT_EQ(arcs.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(arcs.Target(i), expected[i].first) << "arc " << i << " after " << bits << " bits";
            ASSERT_EQ(arcs.Label(i), expected[i].second) << "arc " << i << " after " << bits << " bits";
        }
    }
    EXPECT_EQ(arcs.BytesPerArc(), 8u) << "32 bits of target and 30 of label";
    arcs.resize(expected.size() + 3);
    EXPECT_EQ(arcs.Target(expected.size() + 2), 0u);
    EXPECT_EQ(arcs.Label(expected.size() + 2), 0u);
    EXPECT_EQ(arcs.Target(expected.size() - 1), expected.back().first);
}

TEST(StemStore, FreeingStatesKeepsOnlyTheActions) {
    StemStore store;
    const ActionId a = store.Intern("A");
    store.AppendState(0, EventSet{{1, a}});
    store.AppendState(5, EmptyEventSet);
    const TStemArc arc{5, a, 1, EmptyEventSet};
    store.SetArcs(0, {&arc, 1});
    store.FreeStates();
    EXPECT_TRUE(store.Empty());
    EXPECT_EQ(store.ArcCount(), 0);
    EXPECT_EQ(store.EventSetCount(), 1u);
    EXPECT_TRUE(store.NumberedByPosition());
    EXPECT_EQ(store.IndexOf(5), -1);
    EXPECT_EQ(store.Intern("A"), a);
    EXPECT_EQ(store.InternEvents({{1, a}}), 1u) << "ids start afresh";
}

TEST(StemStore, StateLabelWithAndWithoutTheWord) {
    EXPECT_EQ(StateLabel(0, true), "Etat 0");
    EXPECT_EQ(StateLabel(12, false), "12");
}

}  // namespace
}  // namespace quarvo
