#include <gtest/gtest.h>

#include "generation/Lts.h"

namespace quarvo {
namespace {

TEST(LtsTest, InternalActionsAreOneLabelAndUnionMergesNames) {
    StemStore store;
    const ActionId a = store.Intern("A"), i = store.Intern("I"), hidden = store.Intern("I_X"),
                   delta = store.Intern("delta");
    for (int s = 0; s < 3; ++s) store.AppendState(s, EmptyEventSet);
    const TStemArc arcs0[] = {{1, a, 0, EmptyEventSet}, {2, i, 0, EmptyEventSet}};
    const TStemArc arcs1[] = {{2, hidden, 0, EmptyEventSet}, {0, delta, 0, EmptyEventSet}};
    store.SetArcs(0, arcs0);
    store.SetArcs(1, arcs1);
    const Lts lts = LtsFromStem(store);
    ASSERT_EQ(lts.StateCount(), 3u);
    ASSERT_EQ(lts.ArcCount(), 4u);
    EXPECT_EQ(lts.labels, (std::vector<std::string>{"I", "A", "delta"}));
    EXPECT_TRUE(IsInternalAction("I_X"));
    EXPECT_FALSE(IsInternalAction("IX"));
    EXPECT_FALSE(IsInternalAction("delta"));
    int internal = 0;
    for (std::uint32_t l : lts.label) internal += l == TauLabel;
    EXPECT_EQ(internal, 2);

    Lts other;
    other.labels = {"I", "delta", "B"};
    other.firstArc = {0, 2, 2};
    other.label = {1, 2};
    other.target = {1, 0};
    const Lts u = DisjointUnion(lts, other);
    EXPECT_EQ(u.StateCount(), 5u);
    EXPECT_EQ(u.labels, (std::vector<std::string>{"I", "A", "delta", "B"}));
    EXPECT_EQ(u.label[4], 2u);
    EXPECT_EQ(u.target[4], 4u);
    EXPECT_EQ(u.label[5], 3u);
    EXPECT_EQ(u.target[5], 3u);
}

}  // namespace
}  // namespace quarvo
