// The texts of event sets, targets, arc labels and state hints that the viewer and the explorer share.
#include "views/StemTexts.h"

#include <gtest/gtest.h>

namespace quarvo {
namespace {

struct Texts : ::testing::Test {
    StemStore store;
    ActionId a = store.Intern("a");
    ActionId b = store.Intern("b");
    ActionId hidden = store.Intern("I_SEND");
};

TEST_F(Texts, EventSetEndsWithBraceAndBlankAndEmptySetHasNone) {
    EXPECT_EQ(afficher_listEvent({}, store.actions), "{}");
    EXPECT_EQ(afficher_listEvent({{1, a}}, store.actions), "{x1: a} ");
    EXPECT_EQ(afficher_listEvent({{1, a}, {2, b}}, store.actions), "{x1: a, x2: b} ");
    EXPECT_EQ(afficher_listEvent({{3, hidden}, {30, a}}, store.actions), "{x3: I_SEND, x30: a} ");
}

TEST_F(Texts, EventSetCutsNamesAtTheFirstBlankAndKeepsFullLengthNames) {
    const std::string full(32, 'Z');
    const ActionId spaced = store.actions.Intern(Identifier32::FromText("AB CD"));
    const ActionId longest = store.Intern(full.c_str());
    EXPECT_EQ(afficher_listEvent({{1, spaced}, {2, longest}}, store.actions), "{x1: AB, x2: " + full + "} ");
}

TEST_F(Texts, TargetsKeepArcOrderAndRepeats) {
    EXPECT_EQ(afficher_ButStates(ArcRange{}), "{}");
    // Arcs given in the order found are listed newest first.
    const TStemArc one[] = {{7, a, 1, EmptyEventSet}};
    store.AppendState(0, EmptyEventSet);
    store.SetArcs(0, one);
    EXPECT_EQ(afficher_ButStates(store.State(0).Arcs), "{7}");
    const TStemArc three[] = {{7, b, 3, EmptyEventSet}, {12, b, 2, EmptyEventSet}, {7, a, 1, EmptyEventSet}};
    store.AppendState(1, EmptyEventSet);
    store.SetArcs(1, three);
    EXPECT_EQ(afficher_ButStates(store.State(1).Arcs), "{7,12,7}");
}

TEST_F(Texts, ArcLabelUnderEachSemantics) {
    // Interned first: a ref stays valid only while the store does not change.
    const EventSetId one = store.InternEvents({{1, a}});
    const EventSetId two = store.InternEvents({{1, a}, {4, hidden}});
    const EventSetRef oneCause = store.Events(one);
    const EventSetRef twoCauses = store.Events(two);
    const EventSetRef none = store.Events(EmptyEventSet);
    const ArcView caused{oneCause, 2, b, 5, 1};
    const ArcView uncaused{none, 2, b, 5, EmptyEventSet};
    const ArcView exhausted{twoCauses, -1, hidden, 5, 2};
    EXPECT_EQ(ArcLabel(caused, store.actions, Semantics::Maximality), "({x1: a} , b: x2)");
    EXPECT_EQ(ArcLabel(uncaused, store.actions, Semantics::Maximality), "({}, b: x2)");
    EXPECT_EQ(ArcLabel(exhausted, store.actions, Semantics::Maximality), "({x1: a, x4: I_SEND} , I_SEND: x-1)");
    EXPECT_EQ(ArcLabel(caused, store.actions, Semantics::Interleaving), "b");
    const ArcView reduced{none, 0, b, 5, EmptyEventSet};
    EXPECT_EQ(ArcLabel(reduced, store.actions, Semantics::Maximality), "b") << "a reduced system names no event";
    EXPECT_EQ(ArcLabel(exhausted, store.actions, Semantics::Interleaving), "I_SEND");
}

TEST_F(Texts, HintGivesNumberEventsAndTargetsOnThreeLines) {
    store.AppendState(0, EmptyEventSet);
    store.AppendState(12, EventSet{{1, a}, {2, b}});
    const TStemArc found[] = {{0, b, 3, store.InternEvents({{1, a}})}, {4, a, 3, EmptyEventSet}};
    store.SetArcs(1, found);
    EXPECT_EQ(StateHint(store.State(1), store.actions),
              " Etat Numéro 12\n Evénements maximaux : {x1: a, x2: b} \n Etats buts = {4,0}");
    EXPECT_EQ(StateHint(store.State(0), store.actions), " Etat Numéro 0\n Evénements maximaux : {}\n Etats buts = {}");
}

TEST_F(Texts, PaddedNameKeepsAllThirtyTwoCharacters) {
    EXPECT_EQ(PaddedActionName(hidden, store.actions), "I_SEND" + std::string(26, ' '));
}

TEST(TextLength, CountsCharactersNotBytes) {
    EXPECT_EQ(TextLength(""), 0u);
    EXPECT_EQ(TextLength("abcde"), 5u);
    EXPECT_EQ(TextLength("Evénements"), 10u);
}

}  // namespace
}  // namespace quarvo
