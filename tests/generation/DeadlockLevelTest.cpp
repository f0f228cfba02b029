// The generation asked to stop at the first level that holds a deadlock: the
// same level, the same states and arcs, on one thread, several, and state by
// state under a bound; a successful termination is no deadlock.
#include "GenerationTestSupport.h"

namespace quarvo {
namespace {

// A deadlock two steps from the start beside six counters of 4^6 states.
constexpr const char* kEarly =
    "SYSTEM Early [A, B, C] :=\n"
    "  A; B; NIL\n"
    "  [] C; (Count [C] ||| Count [C] ||| Count [C] ||| Count [C] ||| Count [C] ||| Count [C])\n"
    "WHERE\n"
    "  PROCESS Count [X] :=\n"
    "    X; X; X; X; Count [X]\n"
    "  ENDPROC\n"
    "ENDSYS\n";

TEST(DeadlockLevel, EveryExplorationStopsAtTheEndOfTheSameLevel) {
    for (Semantics semantics : {Semantics::Interleaving, Semantics::Maximality}) {
        GenerationSettings settings;
        settings.semantics = semantics;
        settings.stopAtDeadlockLevel = true;
        settings.threads = 1;
        const auto one = test::GenerateText(kEarly, settings);
        EXPECT_TRUE(one->result.stoppedAtDeadlock);
        EXPECT_EQ(one->result.exploredStates, 10);  // the initial state, then 2, then 7
        EXPECT_LT(one->result.states, 100);
        settings.threads = 2;
        const auto two = test::GenerateText(kEarly, settings);
        EXPECT_EQ(one->Text(), two->Text());
        EXPECT_EQ(two->result.exploredStates, 10);
        settings.threads = 1;
        settings.maxStates = 1000;  // state by state
        const auto bounded = test::GenerateText(kEarly, settings);
        EXPECT_TRUE(bounded->result.stoppedAtDeadlock && !bounded->result.stoppedByBound);
        EXPECT_EQ(bounded->result.exploredStates, 10);
        EXPECT_EQ(one->Text(), bounded->Text());
    }
}

TEST(DeadlockLevel, ASuccessfulTerminationIsNoDeadlockAndTheSettingOffChangesNothing) {
    const char* terminates = "SYSTEM T [A] := A; EXIT ENDSYS\n";
    GenerationSettings settings;
    settings.semantics = Semantics::Interleaving;
    const auto plain = test::GenerateText(terminates, settings);
    settings.stopAtDeadlockLevel = true;
    const auto asked = test::GenerateText(terminates, settings);
    EXPECT_FALSE(asked->result.stoppedAtDeadlock);
    EXPECT_EQ(plain->Text(), asked->Text());
    const auto stops = test::GenerateText("SYSTEM S [A] := A; NIL ENDSYS\n", settings);
    EXPECT_TRUE(stops->result.stoppedAtDeadlock);
    EXPECT_EQ(stops->result.exploredStates, 2);
}

}  // namespace
}  // namespace quarvo
