// Event-set operations: order, uniqueness, unions, removals and fresh names.
#include <gtest/gtest.h>

#include "generation/EventSet.h"

namespace quarvo {
namespace {

class EventSetTest : public ::testing::Test {
protected:
    ActionTable actions;
    ActionId A = actions.Intern(Identifier32::FromText("A"));
    ActionId B = actions.Intern(Identifier32::FromText("B"));
    ActionId C = actions.Intern(Identifier32::FromText("C"));
    std::string Text(const EventSet& s) { return EventSetText(s, actions); }
};

TEST_F(EventSetTest, InsertKeepsOrderAndTheFirstAction) {
    EventSet s;
    Insert(3, A, s);
    Insert(1, B, s);
    Insert(2, C, s);
    Insert(1, A, s);
    EXPECT_EQ(Text(s), "{1:B,2:C,3:A}");
    EXPECT_TRUE(Contains(s, 2));
    EXPECT_FALSE(Contains(s, 4));
    EXPECT_EQ(Text({}), "{}");
}

TEST_F(EventSetTest, UnionPrefersTheFirstSetsAction) {
    EXPECT_EQ(Text(Union({{1, A}}, {{1, B}, {2, C}})), "{1:A,2:C}");
    EXPECT_EQ(Text(Union({}, {{2, C}})), "{2:C}");
    EXPECT_EQ(Text(Union({{5, A}}, {{1, B}, {9, C}})), "{1:B,5:A,9:C}");
}

TEST_F(EventSetTest, Removals) {
    EventSet s{{1, A}, {2, B}, {3, C}};
    Remove(s, 2);
    Remove(s, 7);
    EXPECT_EQ(Text(s), "{1:A,3:C}");
    RemoveAll(s, {{3, A}, {8, B}});
    EXPECT_EQ(Text(s), "{1:A}");
    // The new occurrence itself stays even when its name is one of the causes.
    EventSet t{{1, A}, {2, B}};
    RemoveCauseEvents(t, {{1, C}, {2, C}}, 1, A);
    EXPECT_EQ(Text(t), "{1:A}");
}

TEST_F(EventSetTest, ActionComparisons) {
    EXPECT_TRUE(SameActions({{1, A}, {2, B}}, {{3, A}, {5, B}}));
    EXPECT_FALSE(SameActions({{1, A}, {2, B}}, {{1, B}, {2, A}}));
    EXPECT_TRUE(SameActionMultiset({{1, A}, {2, B}}, {{1, B}, {2, A}}));
    EXPECT_FALSE(SameActionMultiset({{1, A}, {2, A}}, {{1, A}, {2, B}}));
    EXPECT_TRUE(SameActions({}, {}));
    EXPECT_FALSE(SameActionMultiset({}, {{1, A}}));
}

TEST_F(EventSetTest, FreshNamesAreSmallestFirstAndRunOutAfterThirty) {
    EXPECT_EQ(FreshEvent({}), 1);
    EXPECT_EQ(FreshEvent({{1, A}, {2, A}, {4, A}}), 3);
    EventSet full;
    for (int e = 1; e <= MaxEventNames; ++e) Insert(e, A, full);
    EXPECT_EQ(FreshEvent(full), -1);
    Insert(-1, B, full);
    EXPECT_EQ(Text(full).substr(0, 10), "{-1:B,1:A,");
    EXPECT_EQ(Smallest(full), -1);
    EXPECT_EQ(Smallest({}), -1);
}

}  // namespace
}  // namespace quarvo
