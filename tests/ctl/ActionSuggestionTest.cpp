// The nearest action offered for an atom that names none of the STEM's.
#include <gtest/gtest.h>

#include "ctl/ActionSuggestion.h"
#include "ctl/CtlSession.h"
#include "frontend/Parser.h"
#include "generation/Generator.h"

namespace quarvo {
namespace {

using Names = std::vector<std::string>;

TEST(ActionSuggestion, DistanceCountsInsertionsRemovalsAndChangesWhateverTheCase) {
    EXPECT_EQ(NameDistance("GET", "GET"), 0u);
    EXPECT_EQ(NameDistance("get", "GET"), 0u);
    EXPECT_EQ(NameDistance("GETT", "GET"), 1u);
    EXPECT_EQ(NameDistance("GT", "GET"), 1u);
    EXPECT_EQ(NameDistance("GOT", "GET"), 1u);
    EXPECT_EQ(NameDistance("MID", "I_MID"), 2u);
    EXPECT_EQ(NameDistance("", "PUT"), 3u);
    EXPECT_EQ(NameDistance("RECEIVE", "GET"), 6u);
}

TEST(ActionSuggestion, NearestIsOneOrTwoLettersAwayAndKeepsALetterOfTheWord) {
    const Names actions{"PUT", "GET", "I_MID"};
    EXPECT_EQ(NearestName("GETT", actions), "GET");
    EXPECT_EQ(NearestName("mid", actions), "I_MID");
    EXPECT_EQ(NearestName("PUTGET", actions), "");
    // A one-letter word is one letter away from any one-letter action: no guess.
    EXPECT_EQ(NearestName("a", Names{"B"}), "");
    // The nearest wins; among equals, the first.
    EXPECT_EQ(NearestName("EAT", Names{"EATS1", "EAT1", "EAT2"}), "EAT1");
    EXPECT_EQ(NearestName("XYZ", actions), "");
}

TEST(ActionSuggestion, WarningAddsTheSuggestionsAfterTheList) {
    EXPECT_EQ(UnknownAtomsWarning(Names{"GETT"}, Names{"GET"}), "Attention : aucune action GETT dans le STEM. GET ?");
    EXPECT_EQ(UnknownAtomsWarning(Names{"GETT"}, Names{""}), "Attention : aucune action GETT dans le STEM.");
    EXPECT_EQ(UnknownAtomsWarning(Names{"GETT", "XYZZY", "PUTT"}, Names{"GET", "", "PUT"}),
              "Attention : aucune action GETT, XYZZY ni PUTT dans le STEM. GETT : GET ? PUTT : PUT ?");
    EXPECT_EQ(UnknownAtomsWarning(Names{}, Names{}), "");
}

TEST(ActionSuggestion, SessionSuggestsTheActionsOfTheBuffer) {
    std::vector<std::string> lines{"SYSTEM Buffer [PUT, GET] := HIDE MID IN Cell [PUT, MID] |[MID]| Cell [MID, GET] "
                                   "WHERE PROCESS Cell [A, B] := A; B; Cell [A, B] ENDPROC ENDSYS"};
    VectorLineSource source(lines);
    VectorMessageSink sink;
    CompileOutcome compiled = CompileSpecification(source, QUARVO_SOURCE_DIR, sink);
    ASSERT_TRUE(compiled.ok());
    StemStore store;
    GenerateStem(compiled.compilation, GenerationSettings{}, store);
    EXPECT_EQ(StemActionNames(store), (Names{"GET", "PUT", "I_MID"}));

    CtlSession session(QUARVO_SOURCE_DIR);
    std::vector<std::string> formula{"A G NOT GETT"};
    ASSERT_TRUE(session.Compile(VectorLineSource(formula)).ok());
    EXPECT_EQ(session.Verify(store), Verdict::Verified);
    EXPECT_EQ(session.Suggestions(), Names{"GET"});
    EXPECT_EQ(session.Warning(), "Attention : aucune action GETT dans le STEM. GET ?");
    session.DropLabels();
    EXPECT_TRUE(session.Suggestions().empty());
}

}  // namespace
}  // namespace quarvo
