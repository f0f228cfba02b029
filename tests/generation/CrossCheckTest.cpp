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

std::size_t ArcCount(const test::Lts& lts) {
    std::size_t arcs = 0;
    for (const auto& state : lts.states) arcs += state.size();
    return arcs;
}

// The STE, and the STEM once events are set aside, are bisimilar to the
// textbook semantics; the STE has exactly its states and arcs.
void ExpectTextbookBehaviour(const std::string& text, int bound) {
    test::Compiled c = test::CompileText(text);
    ASSERT_TRUE(c.ok()) << text;
    test::Lts reference = test::ReferenceLts(c.tree(), bound);
    if (!reference.complete) return;
    for (GenerationSettings settings : AllIdentities(4 * bound)) {
        auto g = test::GenerateText(text, settings);
        if (g->result.interrupted) continue;
        const test::Lts lts = test::StoreLts(g->store);
        EXPECT_TRUE(test::Bisimilar(lts, reference)) << text;
        if (settings.semantics != Semantics::Interleaving) continue;
        EXPECT_EQ(lts.states.size(), reference.states.size()) << text;
        EXPECT_EQ(ArcCount(lts), ArcCount(reference)) << text;
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
    for (int i = 0; i < 500; ++i) ExpectTextbookBehaviour(test::RandomSpecification(rng), 300);
}

// A recursion through a disabling: every pass leaves the same two states,
// whatever the syntax or where the process is declared.
TEST(CrossCheck, ARecursionThroughADisablingCloses) {
    const std::string flat =
        "SYSTEM S [A, B, C] :=\n  P [A, B, C]\nWHERE\n"
        "  PROCESS P [X, Y, Z] :=\n    X; (Q [Y] [> Z; P [X, Y, Z])\n  ENDPROC\n"
        "  PROCESS Q [U] := U; Q [U] ENDPROC\nENDSYS\n";
    const std::string nested =
        "SYSTEM S [A, B, C] :=\n  P [A, B, C]\nWHERE\n"
        "  PROCESS P [X, Y, Z] :=\n    X; (Q [Y] [> Z; P [X, Y, Z])\n"
        "  WHERE\n    PROCESS Q [U] := U; Q [U] ENDPROC\n  ENDPROC\nENDSYS\n";
    const std::string standard =
        "specification S [A, B, C] : noexit\nbehaviour\n  P [A, B, C]\nwhere\n"
        "  process P [X, Y, Z] : noexit :=\n    X; (Q [Y] [> Z; P [X, Y, Z])\n  endproc\n"
        "  process Q [U] : noexit := U; Q [U] endproc\nendspec\n";
    const std::string standardNested =
        "specification S [A, B, C] : noexit\nbehaviour\n  P [A, B, C]\nwhere\n"
        "  process P [X, Y, Z] : noexit :=\n    X; (Q [Y] [> Z; P [X, Y, Z])\n"
        "  where\n    process Q [U] : noexit := U; Q [U] endproc\n  endproc\nendspec\n";
    for (const std::string& text : {flat, nested, standard, standardNested}) {
        auto ste = test::GenerateText(text, test::Interleaving());
        ASSERT_FALSE(ste->result.interrupted) << text;
        EXPECT_EQ(ste->store.StateCount(), 2u) << text;
        EXPECT_EQ(ste->store.ArcCount(), 3u) << text;
        // Under maximality the events of the interrupted loop end with the
        // next step of the process that took over: the system closes too.
        for (GenerationSettings settings : AllIdentities(1000)) {
            if (settings.semantics == Semantics::Interleaving) continue;
            auto stem = test::GenerateText(text, settings);
            EXPECT_FALSE(stem->result.interrupted) << text;
            EXPECT_EQ(stem->store.StateCount(), 5u) << text;
        }
    }
}

// A disabling without recursion has the textbook's states: after the right
// operand moved, the left one is gone.
TEST(CrossCheck, ADisablingLeavesNoStateOfItsOwn) {
    auto ste = test::GenerateText(test::Spec("A; NIL [> B; NIL"), test::Interleaving());
    EXPECT_EQ(ste->store.StateCount(), 3u);
    EXPECT_EQ(ste->store.ArcCount(), 3u);
    // After the termination, as after B, nothing is left but a stop.
    auto exited = test::GenerateText(test::Spec("A; EXIT [> B; NIL"), test::Interleaving());
    EXPECT_EQ(exited->store.StateCount(), 3u);
    EXPECT_EQ(exited->store.ArcCount(), 4u);
    // Under maximality the event of A stays maximal after B.
    auto stem = test::GenerateText(test::Spec("A; NIL [> B; NIL"), GenerationSettings{});
    EXPECT_EQ(stem->store.StateCount(), 4u);
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
