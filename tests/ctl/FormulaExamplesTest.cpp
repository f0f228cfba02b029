// The example formulas of the checker: written with the STEM's actions, every one compiles.
#include <gtest/gtest.h>

#include "ctl/CtlSession.h"
#include "ctl/FormulaExamples.h"

namespace quarvo {
namespace {

using Names = std::vector<std::string>;

TEST(FormulaExamples, UseTheFirstVisibleActionsThatAreNoKeyword) {
    const std::vector<FormulaExample> examples = FormulaExamples(Names{"I_MID", "A", "PUT", "GET"});
    ASSERT_FALSE(examples.empty());
    EXPECT_EQ(examples[3].formula, "A G (PUT => A F GET)");
    EXPECT_EQ(examples[3].explanation, "Chaque fois que PUT a lieu, GET finit par avoir lieu, sur tous les chemins.");
    // Hidden actions come after the visible ones; a single action serves twice.
    EXPECT_EQ(FormulaExamples(Names{"I_MID", "SEND"})[3].formula, "A G (SEND => A F I_MID)");
    EXPECT_EQ(FormulaExamples(Names{"SEND"})[4].formula, "A G NOT (SEND AND SEND)");
    // Without actions, P and Q stand for them.
    EXPECT_EQ(FormulaExamples(Names{})[1].formula, "E F P");
    EXPECT_EQ(FormulaExamples(Names{"x", "e"})[1].formula, "E F P");
}

TEST(FormulaExamples, EveryExampleCompilesAndIsExplained) {
    for (const Names& actions : {Names{"PUT", "GET", "I_MID"}, Names{}, Names{"EAT1"}}) {
        for (const FormulaExample& example : FormulaExamples(actions)) {
            CtlSession session(QUARVO_SOURCE_DIR);
            const std::vector<std::string> lines{example.formula};
            EXPECT_TRUE(session.Compile(VectorLineSource(lines)).ok()) << example.formula;
            EXPECT_FALSE(example.explanation.empty()) << example.formula;
            EXPECT_EQ(example.explanation.back(), '.') << example.formula;
        }
    }
}

}  // namespace
}  // namespace quarvo
