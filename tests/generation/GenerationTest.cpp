// Whole generations of small specifications, checked state by state and arc by arc.
#include <chrono>

#include "GenerationTestSupport.h"

namespace quarvo {
namespace {

using test::GenerateText;
using test::Spec;
using Lines = std::vector<std::string>;

std::string System(const std::string& gates, const std::string& behaviour) {
    return "SYSTEM S [" + gates + "] := " + behaviour + " ENDSYS";
}

TEST(Generation, NilAloneIsOneStateWithoutArcs) {
    auto g = GenerateText(Spec("NIL"));
    EXPECT_EQ(g->messages, (Lines{"Nombre d'états = 1.", "Nombre d'arcs = 0.", "Génération terminée."}));
    EXPECT_EQ(g->Text(), "BEGIN 1;\r\n\r\nEND");
    auto empty = GenerateText("SYSTEM S [A] := ENDSYS");
    EXPECT_EQ(empty->Text(), "BEGIN 1;\r\n\r\nEND");
}

TEST(Generation, ClassicFilesOfTheWorkedExamples) {
    struct Case {
        std::string behaviour;
        std::string file;
    } cases[] = {
        {"A; NIL", "BEGIN 2;\r\n{}0<{}A:1>{1:A}1;\r\n\r\nEND"},
        {"A; B; NIL", "BEGIN 3;\r\n{}0<{}A:1>{1:A}1;\r\n{1:A}1<{1:A}B:1>{1:B}2;\r\n\r\nEND"},
        {"A; EXIT >> B; NIL",
         "BEGIN 4;\r\n{}0<{}A:1>{1:A}1;\r\n{1:A}1<{1:A}I:1>{1:I}2;\r\n{1:I}2<{1:I}B:1>{1:B}3;\r\n\r\nEND"},
        {"A; NIL [> B; NIL",
         "BEGIN 4;\r\n{}0<{}B:1>{1:B}2;{}0<{}A:1>{1:A}1;\r\n{1:A}1<{}B:2>{1:A,2:B}3;\r\n\r\n\r\nEND"},
        {"P [A] WHERE PROCESS P [X] := X; P [X] ENDPROC",
         "BEGIN 2;\r\n{}0<{}A:1>{1:A}1;\r\n{1:A}1<{1:A}A:1>{1:A}1;\r\nEND"},
        {"HIDE A IN A; NIL", "BEGIN 2;\r\n{}0<{}I_A:1>{1:I_A}1;\r\n\r\nEND"},
        {"I; EXIT", "BEGIN 3;\r\n{}0<{}I:1>{1:I}1;\r\n{1:I}1<{1:I}delta:1>{1:delta}2;\r\n\r\nEND"},
    };
    for (const Case& c : cases) {
        auto g = GenerateText(Spec(c.behaviour));
        EXPECT_EQ(g->Text(), c.file) << c.behaviour;
        test::ExpectCausesAreMaximal(*g);
    }
}

TEST(Generation, ConcurrentEventsTakeTheSmallestFreeName) {
    auto g = GenerateText(Spec("A; NIL ||| B; NIL"));
    EXPECT_EQ(g->Arcs(0), (Lines{"{} A:1 -> 1", "{} B:1 -> 2"}));
    EXPECT_EQ(g->Arcs(1), (Lines{"{} B:2 -> 3"}));
    EXPECT_EQ(g->Set(g->State(3).Events), "{1:A,2:B}");
    EXPECT_EQ(g->Arcs(2), (Lines{"{} A:2 -> 4"}));
    EXPECT_EQ(g->Set(g->State(4).Events), "{1:B,2:A}");
}

TEST(Generation, SynchronisationPairsLeftLeavesWithRightPartners) {
    auto one = GenerateText(Spec("A; NIL |[A]| A; NIL"));
    EXPECT_EQ(one->Arcs(0), (Lines{"{} A:1 -> 1"}));
    EXPECT_TRUE(one->Arcs(1).empty());
    auto alone = GenerateText(Spec("A; NIL |[A]| B; NIL"));
    EXPECT_EQ(alone->Actions(0), (Lines{"B"}));
    auto two = GenerateText(Spec("(A; NIL [] A; NIL) |[A]| A; NIL"));
    EXPECT_EQ(two->Arcs(0), (Lines{"{} A:1 -> 1", "{} A:1 -> 1"}));
    // The cause set of a synchronisation is the union of both sides' causes.
    auto causes = GenerateText(Spec("B; A; NIL |[A]| C; A; NIL"));
    int both = causes->After(causes->After(0, "B"), "C");
    EXPECT_EQ(causes->Labels(both), (Lines{"{1:B,2:C} A:1"}));
}

TEST(Generation, StateIdentityUnderEachSemantics) {
    // The two orders of A and B end in terms that differ only by the order of their event names.
    const std::string both = Spec("A; NIL ||| B; NIL");
    EXPECT_EQ(GenerateText(both)->result.states, 5);
    EXPECT_EQ(GenerateText(both, test::Cpbr())->result.states, 4);
    EXPECT_EQ(GenerateText(both, test::Interleaving())->result.states, 4);
    // Same term, maximal events of different actions: one state only under interleaving.
    const std::string merge = Spec("A; C; NIL [] B; C; NIL");
    EXPECT_EQ(GenerateText(merge)->result.states, 4);
    EXPECT_EQ(GenerateText(merge, test::Cpbr())->result.states, 4);
    EXPECT_EQ(GenerateText(merge, test::Interleaving())->result.states, 3);
    // Two copies of the same branch lead to one state.
    EXPECT_EQ(GenerateText(Spec("A; B; NIL [] A; B; NIL"), test::Interleaving())->result.states, 3);
}

TEST(Generation, ThreeWaySynchronisationKeepsEveryCombination) {
    auto g = GenerateText(System("X, Y, Z", "(X; NIL ||| Y; NIL ||| X; Z; NIL) |[X, Y]| (Y; NIL [] X; NIL)"),
                          test::Interleaving());
    EXPECT_EQ(g->Actions(0), (Lines{"X", "Y", "X"}));
    int second = g->State(0).Arcs.front().Target;  // the last X found: the one followed by Z
    EXPECT_EQ(g->Actions(second), (Lines{"Z"}));
    auto nested = GenerateText(System("X, Y, Z", "X; NIL |[X]| ((X; Y; NIL [] X; Z; NIL) |[X]| X; NIL)"),
                               test::Interleaving());
    EXPECT_EQ(nested->Actions(0), (Lines{"X", "X"}));
    const ArcRange arcs = nested->State(0).Arcs;
    EXPECT_EQ(nested->Actions(arcs.back().Target), (Lines{"Y"}));
    EXPECT_EQ(nested->Actions(arcs.front().Target), (Lines{"Z"}));
}

TEST(Generation, HiddenAndInternalActionsNeverSynchronise) {
    auto hidden = GenerateText(System("X, Y", "X; NIL |[X]| (Y; NIL ||| (HIDE X IN X; NIL))"), test::Interleaving());
    EXPECT_EQ(hidden->Actions(0), (Lines{"Y", "I_X"}));
    EXPECT_EQ(hidden->result.states, 4);
    EXPECT_EQ(hidden->result.arcs, 4);
    EXPECT_FALSE(hidden->result.interrupted);

    auto named = GenerateText(System("X, I_X", "I_X; NIL |[I_X]| (HIDE X IN X; NIL)"));
    EXPECT_EQ(named->Text(), "BEGIN 2;\r\n{}0<{}I_X:1>{1:I_X}1;\r\n\r\nEND");

    auto exits = GenerateText(System("X, Y", "EXIT ||| ((EXIT ||| X; EXIT) >> Y; NIL)"), test::Interleaving());
    EXPECT_EQ(exits->Actions(0), (Lines{"X"}));
    EXPECT_EQ(exits->Actions(1), (Lines{"I"}));
    EXPECT_EQ(exits->Actions(2), (Lines{"Y"}));
    EXPECT_TRUE(exits->Actions(3).empty());
    EXPECT_EQ(exits->result.states, 4);
}

TEST(Generation, HiddenGatesOfAProcessAreLocalToIt) {
    // The actual gate B must stay visible although the body hides a gate of
    // its own named B: it synchronises with the right operand, then the
    // local B happens hidden.
    auto captured = GenerateText(
        "SYSTEM S [B] := P [B] |[B]| B; NIL\nWHERE\n  PROCESS P [A] := HIDE B IN A; B; NIL\n  ENDPROC\nENDSYS",
        test::Interleaving());
    EXPECT_EQ(captured->Actions(0), (Lines{"B"}));
    const int afterB = captured->After(0, "B");
    ASSERT_GE(afterB, 0);
    EXPECT_EQ(captured->Actions(afterB), (Lines{"I_B"}));
    EXPECT_EQ(captured->result.states, 3);

    // A formal hidden in the body is the body's own gate: not renamed by the call.
    auto shadowed = GenerateText(
        "SYSTEM S [C] := P [C]\nWHERE\n  PROCESS P [A] := (HIDE A IN A; NIL) ||| A; NIL\n  ENDPROC\nENDSYS",
        test::Interleaving());
    EXPECT_EQ(shadowed->Actions(0), (Lines{"I_A", "C"}));

    // The classic file writes the hidden gate under its own name, under maximality too.
    auto maximal = GenerateText(
        "SYSTEM S [B] := P [B]\nWHERE\n  PROCESS P [A] := HIDE B IN A; B; NIL\n  ENDPROC\nENDSYS");
    EXPECT_NE(maximal->Text().find("I_B:"), std::string::npos);
    EXPECT_NE(maximal->Text().find("}B:"), std::string::npos);
}

TEST(Generation, DisablingStaysPossibleAfterTheInternalStepOfAnEnabling) {
    auto g = GenerateText(System("X, Y, Z", "(X; EXIT >> Y; NIL) [> Z; NIL"), test::Interleaving());
    int afterX = g->After(0, "X");
    int afterI = g->After(afterX, "I");
    int afterY = g->After(afterI, "Y");
    ASSERT_GE(afterY, 0);
    for (int s : {0, afterX, afterI, afterY}) EXPECT_GE(g->After(s, "Z"), 0) << "state " << s;
    // Termination of the left operand does disable the right one.
    auto exit = GenerateText(System("X, Z", "X; EXIT [> Z; NIL"), test::Interleaving());
    int ended = exit->After(exit->After(0, "X"), "delta");
    ASSERT_GE(ended, 0);
    EXPECT_TRUE(exit->Actions(ended).empty());
}

TEST(Generation, DisablingForgetsEndedCausesThroughTheWholeRightOperand) {
    auto g = GenerateText(System("P, Q, R", "P; (Q; NIL [> (R; NIL ||| R; NIL))"));
    int afterQ = g->After(g->After(0, "P"), "Q");
    EXPECT_EQ(g->Set(g->State(afterQ).Events), "{1:Q}");
    EXPECT_EQ(g->Labels(afterQ), (Lines{"{} R:2", "{} R:2"}));
    for (int target : g->Targets(afterQ)) EXPECT_EQ(g->Set(g->State(target).Events), "{1:Q,2:R}");
    test::ExpectCausesAreMaximal(*g);
}

TEST(Generation, AnOperandThatDidNotMoveKeepsNoTraceOfTheOther) {
    // A hidden body that stayed still does not wait for the other side's event.
    auto hide = GenerateText(System("A", "(HIDE H IN H; NIL) ||| A; NIL"));
    EXPECT_EQ(hide->Labels(hide->After(0, "A")), (Lines{"{} I_H:2"}));
    // After the second A, the right A no longer waits for the first one, and
    // its occurrence gets a name of its own.
    auto twice = GenerateText(System("A", "A; (A; NIL ||| A; NIL)"));
    int left = twice->After(twice->After(0, "A"), "A");
    EXPECT_EQ(twice->Labels(left), (Lines{"{} A:2"}));
    EXPECT_EQ(twice->Set(twice->State(twice->Targets(left)[0]).Events), "{1:A,2:A}");
    test::ExpectCausesAreMaximal(*hide);
    test::ExpectCausesAreMaximal(*twice);
}

TEST(Generation, RecursionUnderParallelGrowsUntilTheBound) {
    GenerationSettings bounded;
    bounded.maxStates = 50;
    auto g = GenerateText(Spec("P [A] WHERE PROCESS P [X] := X; (X; NIL ||| P [X]) ENDPROC"), bounded);
    EXPECT_TRUE(g->result.interrupted);
    EXPECT_TRUE(g->result.stoppedByBound);
    EXPECT_GE(g->result.states, 50);
    EXPECT_EQ(g->messages.back(), "Génération interrompue : " + std::to_string(g->result.states) + " états.");
    EXPECT_EQ(g->store.StemStateCount, g->result.states);
    EXPECT_EQ(g->Text().substr(0, 6), "BEGIN ");
}

TEST(Generation, UnguardedRecursionIsReportedInsteadOfUnfoldedForEver) {
    auto g = GenerateText(Spec("P [A] WHERE PROCESS P [X] := P [X] [] X; NIL ENDPROC"));
    EXPECT_TRUE(g->result.unguardedRecursion);
    EXPECT_EQ(g->Actions(0), (Lines{"A"}));
    EXPECT_EQ(g->messages, (Lines{"Nombre d'états = 2.", "Nombre d'arcs = 1.",
                                  "Attention : récursion non gardée dans le processus P ; ses appels récursifs "
                                  "avant toute action ne sont pas dépliés.",
                                  "Génération terminée."}));
    // P = P ||| X; NIL once unfolded: infinitely many states, hence the bound.
    GenerationSettings bounded;
    bounded.maxStates = 20;
    auto mutual = GenerateText(Spec("P [A] WHERE PROCESS P [X] := Q [X] ||| X; NIL ENDPROC "
                                    "PROCESS Q [Y] := P [Y] ENDPROC"),
                               bounded);
    EXPECT_TRUE(mutual->result.unguardedRecursion);
    // Calls side by side are not recursion.
    auto twice = GenerateText(Spec("P [A] ||| P [A] WHERE PROCESS P [X] := X; NIL ENDPROC"));
    EXPECT_FALSE(twice->result.unguardedRecursion);
    EXPECT_EQ(twice->Actions(0), (Lines{"A", "A"}));
}

TEST(Generation, StopsWhenTheCallerAsks) {
    struct StopAfter final : Progress {
        int updates = 0;
        void Update(std::int64_t, std::int64_t) override { ++updates; }
        bool StopRequested() override { return updates >= 3; }
    } progress;
    test::Compiled c = test::CompileText(Spec("P [A] WHERE PROCESS P [X] := X; (X; NIL ||| P [X]) ENDPROC"));
    StemStore store;
    const auto before = std::chrono::system_clock::now();
    GenerationResult r = GenerateStem(c.outcome.compilation, {}, store, &progress);
    const auto after = std::chrono::system_clock::now();
    EXPECT_TRUE(r.interrupted);
    EXPECT_FALSE(r.stoppedByBound);
    EXPECT_FALSE(r.abandoned);
    // Three while it ran, maybe a few more while the states already explored
    // of the level were numbered, then one with the final counts.
    EXPECT_GE(progress.updates, 4);
    EXPECT_EQ(GenerationSummaryLines(r).back(), "Génération interrompue : " + std::to_string(r.states) + " états.");
    // The clock readings frame the generation, and the seconds are those between them.
    EXPECT_LE(before, r.started);
    EXPECT_LE(r.started, r.ended);
    EXPECT_LE(r.ended, after);
    using Clock = std::chrono::system_clock;
    EXPECT_EQ(r.seconds, Clock::to_time_t(r.ended) - Clock::to_time_t(r.started));
    // The allocator's own figures: none is negative (all are 0 where it keeps
    // none, as under AddressSanitizer).
    EXPECT_GE(r.heapBytesBefore, 0);
    EXPECT_GE(r.heapBytesAfter, 0);
}

TEST(Generation, TheSummaryWordsEachWayAGenerationEnds) {
    GenerationResult done;
    done.states = 12;
    done.arcs = 34;
    EXPECT_EQ(GenerationSummaryLines(done),
              (Lines{"Nombre d'états = 12.", "Nombre d'arcs = 34.", "Génération terminée."}));

    GenerationResult bounded = done;
    bounded.interrupted = true;
    bounded.stoppedByBound = true;
    EXPECT_EQ(GenerationSummaryLines(bounded),
              (Lines{"Nombre d'états = 12.", "Nombre d'arcs = 34.", "Génération interrompue : 12 états."}));

    // Memory is named whether or not the stop also counts as an interruption.
    GenerationResult memory = done;
    memory.stoppedByMemory = true;
    EXPECT_EQ(GenerationSummaryLines(memory).back(), "Génération interrompue : mémoire insuffisante (12 états).");
    memory.interrupted = true;
    EXPECT_EQ(GenerationSummaryLines(memory).back(), "Génération interrompue : mémoire insuffisante (12 états).");

    // Both warnings, in this order, before the last line.
    GenerationResult warned = bounded;
    warned.eventNamesExhausted = true;
    warned.unguardedRecursion = true;
    warned.unguardedProcess = "LOOP";
    EXPECT_EQ(GenerationSummaryLines(warned),
              (Lines{"Nombre d'états = 12.", "Nombre d'arcs = 34.",
                     "Attention : plus de 30 événements simultanés, des noms d'événements sont -1.",
                     "Attention : récursion non gardée dans le processus LOOP ; ses appels récursifs avant toute "
                     "action ne sont pas dépliés.",
                     "Génération interrompue : 12 états."}));

    GenerationResult abandoned;
    abandoned.interrupted = true;
    abandoned.stoppedByMemory = true;
    abandoned.abandoned = true;
    EXPECT_TRUE(GenerationSummaryLines(abandoned).empty());
}

// Every field of every node and gate cell reachable from a behaviour, with
// the addresses of the records, so that any change to the tree shows.
void DescribeTree(const BehaviourNode* node, std::string& out) {
    if (!node) {
        out += "-";
        return;
    }
    out += "(" + std::to_string(reinterpret_cast<std::uintptr_t>(node)) + " " +
           std::to_string(static_cast<int>(node->kind)) + " " + std::to_string(node->height) + " " +
           std::to_string(reinterpret_cast<std::uintptr_t>(node->process)) + " [";
    for (const GateCell* g = node->gates; g; g = g->next)
        out += std::to_string(reinterpret_cast<std::uintptr_t>(g)) + ":" + g->name.Text() + " ";
    out += "] ";
    DescribeTree(node->left, out);
    out += " ";
    DescribeTree(node->right, out);
    out += ")";
}

std::string TreeText(const Compilation& compilation) {
    std::string out;
    DescribeTree(compilation.rootBehaviour, out);
    for (const ProcessDefinition* d = compilation.systemDefinition ? compilation.systemDefinition->children : nullptr; d;
         d = d->next) {
        out += "\n" + d->name.Text() + " ";
        DescribeTree(d->behaviour, out);
    }
    return out;
}

TEST(Generation, TheCompiledTreeIsLeftAsTheCompilerBuiltIt) {
    test::Compiled c = test::CompileText(test::Spec("P [A] ||| B; NIL WHERE PROCESS P [X] := X; P [X] ENDPROC"));
    const std::string before = TreeText(*c.outcome.compilation);
    ASSERT_NE(before.find("\nP "), std::string::npos);
    std::vector<std::string> texts;
    for (int round = 0; round < 2; ++round) {
        StemStore store;
        GenerateStem(c.outcome.compilation, {}, store);
        texts.push_back(ClassicStemText(store, store.StemStateCount));
        EXPECT_EQ(TreeText(*c.outcome.compilation), before) << "after round " << round;
    }
    EXPECT_EQ(texts[0], texts[1]);
}

}  // namespace
}  // namespace quarvo
