// The static structure of specifications: components, channels and the sets
// of components that move together on each channel.
#include "GenerationTestSupport.h"
#include "frontend/TextFile.h"
#include "generation/vector/StaticStructure.h"

namespace quarvo {
namespace {

using Sets = std::vector<std::vector<std::uint32_t>>;

Sets GroupsOn(const StaticStructure& s, ChannelId channel) {
    Sets out;
    for (const TransitionGroup& g : s.groups)
        if (g.channel == channel) out.push_back(g.components);
    return out;
}

StructureAnalysis Analyse(const std::string& text, std::size_t limit = 1u << 16) {
    test::Compiled c = test::CompileText(text);
    EXPECT_TRUE(c.ok()) << text;
    return AnalyseStructure(c.tree(), limit);
}

TEST(StaticStructure, ThePhilosophersAreSixComponentsSynchronisedInPairs) {
    const StructureAnalysis a = Analyse(test::ExampleText("PHILO.LOT"));
    const StaticStructure& s = a.structure;
    ASSERT_FALSE(a.tooManyGroups);
    ASSERT_EQ(s.components.size(), 6u);
    for (const Component& c : s.components) EXPECT_FALSE(c.dynamic);
    EXPECT_EQ(s.nodes[s.root].kind, StructureNode::Kind::Hide);
    // Philosopher 1 takes its left fork, fork 1, with that fork alone.
    const ChannelId t11 = s.Find("T11", static_cast<std::int32_t>(s.root));
    ASSERT_NE(t11, ~ChannelId{0});
    EXPECT_EQ(GroupsOn(s, t11), (Sets{{0, 3}}));
    // T31 is fork 1's other side: philosopher 3 with fork 1.
    EXPECT_EQ(GroupsOn(s, s.Find("T31", static_cast<std::int32_t>(s.root))), (Sets{{2, 3}}));
    EXPECT_EQ(GroupsOn(s, s.Find("EAT2")), (Sets{{1}}));
    EXPECT_TRUE(GroupsOn(s, 0).empty());  // nothing terminates
}

TEST(StaticStructure, SynchronisationWithInterleavedPartnersHasOneGroupPerPartner) {
    const StructureAnalysis a = Analyse(test::Spec("A; EXIT |[A]| (A; B; EXIT ||| A; EXIT)"));
    const StaticStructure& s = a.structure;
    ASSERT_EQ(s.components.size(), 3u);
    EXPECT_EQ(GroupsOn(s, s.Find("A")), (Sets{{0, 1}, {0, 2}}));
    EXPECT_EQ(GroupsOn(s, s.Find("B")), (Sets{{1}}));
    // Termination needs every component.
    EXPECT_EQ(GroupsOn(s, 0), (Sets{{0, 1, 2}}));
}

TEST(StaticStructure, ARecursionThroughACompositionIsADynamicComponent) {
    const StructureAnalysis a = Analyse(
        "SYSTEM S [A, B] := P [A] ||| B; NIL WHERE PROCESS P [X] := X; NIL ||| P [X] ENDPROC ENDSYS");
    const StaticStructure& s = a.structure;
    ASSERT_EQ(s.components.size(), 3u);
    EXPECT_FALSE(s.components[0].dynamic);
    EXPECT_TRUE(s.components[1].dynamic);  // the call of P below P
    EXPECT_FALSE(s.components[2].dynamic);
    EXPECT_EQ(GroupsOn(s, s.Find("A")), (Sets{{0}, {1}}));
}

TEST(StaticStructure, EachInstanceOfAHidingHasChannelsOfItsOwn) {
    const StructureAnalysis a = Analyse(
        "SYSTEM S [A] := R [A] ||| R [A] WHERE PROCESS R [X] := HIDE H IN (X; H; NIL |[H]| H; X; NIL) ENDPROC "
        "ENDSYS");
    const StaticStructure& s = a.structure;
    ASSERT_EQ(s.components.size(), 4u);
    std::vector<ChannelId> hidden;
    for (ChannelId c = 0; c < s.channels.size(); ++c)
        if (s.channels[c].name == "H") hidden.push_back(c);
    ASSERT_EQ(hidden.size(), 2u);
    EXPECT_EQ(GroupsOn(s, hidden[0]), (Sets{{0, 1}}));
    EXPECT_EQ(GroupsOn(s, hidden[1]), (Sets{{2, 3}}));
    EXPECT_EQ(GroupsOn(s, s.Find("A")), (Sets{{0}, {1}, {2}, {3}}));
}

TEST(StaticStructure, SequentialOperatorsAndHiddenInnerGatesStayInsideAComponent) {
    const StructureAnalysis a = Analyse(test::Spec("(A; EXIT >> HIDE B IN B; C; NIL) [> D; NIL"));
    const StaticStructure& s = a.structure;
    ASSERT_EQ(s.components.size(), 1u);
    EXPECT_TRUE(s.components[0].internal);  // the hand-over of >> and the hidden B
    std::vector<std::string> names;
    for (ChannelId c : s.components[0].alphabet) names.push_back(s.channels[c].name);
    EXPECT_EQ(names, (std::vector<std::string>{"delta", "A", "C", "D"}));
}

TEST(StaticStructure, TooManyGroupsIsSaidRatherThanListed) {
    std::string many = "A; NIL";
    for (int i = 0; i < 9; ++i) many += " ||| A; NIL";
    const std::string text = test::Spec("(" + many + ") |[A]| (" + many + ")");
    EXPECT_TRUE(Analyse(text, 50).tooManyGroups);
    const StructureAnalysis enough = Analyse(text, 100);
    EXPECT_FALSE(enough.tooManyGroups);
    EXPECT_EQ(GroupsOn(enough.structure, enough.structure.Find("A")).size(), 100u);
}

}  // namespace
}  // namespace quarvo
