// Generation against independent references: the textbook semantics, a linear
// scan of the term list, and the examples shipped with the program.
#include <filesystem>
#include <random>

#include "GenerationTestSupport.h"
#include "ReferenceSemantics.h"
#include "frontend/TextFile.h"

namespace quarvo {
namespace {

using test::ExampleTexts;

std::vector<GenerationSettings> AllIdentities(std::int64_t bound) {
    GenerationSettings max, cpbr, inter;
    cpbr.cpbrOff = false;
    inter.semantics = Semantics::Interleaving;
    std::vector<GenerationSettings> all{max, cpbr, inter};
    for (GenerationSettings& s : all) s.maxStates = bound;
    return all;
}

// Index-based and scan-based recognition give the same STEM, state by state and arc by arc.
void ExpectSameAsLinearScan(const std::string& text, std::int64_t bound) {
    for (GenerationSettings settings : AllIdentities(bound)) {
        auto indexed = test::GenerateText(text, settings);
        settings.linearSearch = true;
        auto scanned = test::GenerateText(text, settings);
        ASSERT_EQ(indexed->Text(), scanned->Text()) << text;
        test::ExpectCausesAreMaximal(*indexed);
    }
}

// The STE, and the STEM once events are set aside, are bisimilar to the textbook semantics.
void ExpectTextbookBehaviour(const std::string& text, int bound) {
    test::Compiled c = test::CompileText(text);
    ASSERT_TRUE(c.ok()) << text;
    test::Lts reference = test::ReferenceLts(c.tree(), bound);
    if (!reference.complete) return;
    for (GenerationSettings settings : AllIdentities(4 * bound)) {
        auto g = test::GenerateText(text, settings);
        if (g->result.interrupted) continue;
        EXPECT_TRUE(test::Bisimilar(test::StoreLts(g->store), reference)) << text;
    }
}

TEST(CrossCheck, ExamplesMatchTheLinearScanAndTheTextbookSemantics) {
    for (const std::string& text : ExampleTexts()) {
        ExpectSameAsLinearScan(text, 0);
        ExpectTextbookBehaviour(text, 5000);
    }
}

TEST(CrossCheck, RandomSpecificationsMatchTheLinearScan) {
    std::mt19937 rng(20261207);
    for (int i = 0; i < 150; ++i) ExpectSameAsLinearScan(test::RandomSpecification(rng), 150);
}

TEST(CrossCheck, RandomSpecificationsFollowTheTextbookSemantics) {
    std::mt19937 rng(4242);
    for (int i = 0; i < 300; ++i) ExpectTextbookBehaviour(test::RandomSpecification(rng), 300);
}

TEST(CrossCheck, TheReferenceDetectsAWrongTransitionSystem) {
    test::Compiled c = test::CompileText(test::Spec("A; NIL ||| B; NIL"));
    test::Lts reference = test::ReferenceLts(c.tree(), 100);
    auto other = test::GenerateText(test::Spec("A; B; NIL [] B; A; NIL"), test::Interleaving());
    EXPECT_TRUE(test::Bisimilar(test::StoreLts(other->store), reference));
    auto wrong = test::GenerateText(test::Spec("A; B; NIL [] B; NIL"), test::Interleaving());
    EXPECT_FALSE(test::Bisimilar(test::StoreLts(wrong->store), reference));
}

}  // namespace
}  // namespace quarvo
