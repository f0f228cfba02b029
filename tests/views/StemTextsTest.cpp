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
    EXPECT_EQ(afficher_ButStates({}), "{}");
    std::vector<TStemArc> arcs{{{}, 1, a, 7}};
    EXPECT_EQ(afficher_ButStates(arcs), "{7}");
    arcs.push_back({{}, 2, b, 12});
    arcs.push_back({{}, 3, b, 7});
    EXPECT_EQ(afficher_ButStates(arcs), "{7,12,7}");
}

TEST_F(Texts, ArcLabelUnderEachSemantics) {
    const TStemArc caused{{{1, a}}, 2, b, 5};
    const TStemArc uncaused{{}, 2, b, 5};
    const TStemArc exhausted{{{1, a}, {4, hidden}}, -1, hidden, 5};
    EXPECT_EQ(ArcLabel(caused, store.actions, Semantics::Maximality), "({x1: a} , b: x2)");
    EXPECT_EQ(ArcLabel(uncaused, store.actions, Semantics::Maximality), "({}, b: x2)");
    EXPECT_EQ(ArcLabel(exhausted, store.actions, Semantics::Maximality), "({x1: a, x4: I_SEND} , I_SEND: x-1)");
    EXPECT_EQ(ArcLabel(caused, store.actions, Semantics::Interleaving), "b");
    EXPECT_EQ(ArcLabel(exhausted, store.actions, Semantics::Interleaving), "I_SEND");
}

TEST_F(Texts, HintGivesNumberEventsAndTargetsOnThreeLines) {
    TStemState state{{{1, a}, {2, b}}, {{{}, 3, a, 4}, {{{1, a}}, 3, b, 0}}, 12};
    EXPECT_EQ(StateHint(state, store.actions),
              " Etat Numéro 12\n Evénements maximaux : {x1: a, x2: b} \n Etats buts = {4,0}");
    EXPECT_EQ(StateHint(TStemState{}, store.actions), " Etat Numéro 0\n Evénements maximaux : {}\n Etats buts = {}");
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
