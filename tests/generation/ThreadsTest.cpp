// The exploration on several threads gives the STEM of one thread, byte for byte.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "GenerationTestSupport.h"
#include "ReferenceSemantics.h"
#include "frontend/TextFile.h"
#include "generation/LevelExploration.h"

namespace quarvo {
namespace {

using test::ExampleText;
using test::ExampleTexts;

using test::Modes;

void ExpectSameOnEveryThreadCount(const std::string& text, std::int64_t bound) {
    for (GenerationSettings settings : Modes(bound)) {
        settings.threads = 1;
        auto one = test::GenerateText(text, settings);
        for (int threads : {2, 7, -2}) {
            // -2: two threads that map the states they meet, as after a change of identity.
            settings.threads = std::abs(threads);
            settings.rootMapsFromStart = threads < 0;
            auto many = test::GenerateText(text, settings);
            ASSERT_EQ(one->Text(), many->Text()) << threads << " threads, bound " << bound << "\n" << text;
            ASSERT_EQ(one->messages, many->messages) << threads << " threads\n" << text;
        }
    }
}

TEST(Threads, ExamplesGiveTheSameStemOnOneTwoAndSevenThreads) {
    for (const std::string& text : ExampleTexts()) {
        ExpectSameOnEveryThreadCount(text, 0);
        ExpectSameOnEveryThreadCount(text, 37);  // the bound falls inside a level
    }
}

// A bounded generation goes state after state on one thread: against it, the
// level-by-level exploration of every specification whose space is finite.
TEST(Threads, RandomSpecificationsGiveTheSameStemOnOneTwoAndSevenThreads) {
    std::mt19937 rng(2411);
    int finite = 0;
    for (int i = 0; i < 200; ++i) {
        const std::string text = test::RandomSpecification(rng);
        for (GenerationSettings settings : Modes(600)) {
            auto reference = test::GenerateText(text, settings);
            if (reference->result.stoppedByBound) continue;
            ++finite;
            settings.maxStates = 0;
            for (int threads : {1, 2, 7, -2}) {
                // -2: two threads that map the states they meet, as after a change of identity.
                settings.threads = std::abs(threads);
                settings.rootMapsFromStart = threads < 0;
                auto levels = test::GenerateText(text, settings);
                ASSERT_EQ(reference->Text(), levels->Text()) << threads << " threads\n" << text;
                ASSERT_EQ(reference->messages, levels->messages) << threads << " threads\n" << text;
            }
        }
    }
    EXPECT_GT(finite, 200);
}

TEST(Threads, TheBoundGivesExactlyThatManyStatesWhateverTheThreads) {
    const std::string text =
        "SYSTEM S [A, B] :=\n    P [A] ||| P [B]\nWHERE\n  PROCESS P [X] :=\n"
        "    X; (X; NIL ||| P [X])\n  ENDPROC\nENDSYS\n";
    for (int threads : {1, 2, 5}) {
        GenerationSettings settings;
        settings.threads = threads;
        settings.maxStates = 1000;
        auto g = test::GenerateText(text, settings);
        EXPECT_EQ(g->result.states, 1000);
        EXPECT_TRUE(g->result.stoppedByBound);
    }
}

// Hidden actions are named as the threads meet them: each state of the
// second level hides a gate of its own, so that the threads add names to the
// shared action table at once.
TEST(Threads, HiddenActionsMetBySeveralThreadsAtOnceKeepTheirNames) {
    std::string gates, hidden, body;
    for (int i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i);
        // Lines of the text stay short.
        const char* sep = i == 0 ? "" : i % 10 == 0 ? ",\n" : ", ";
        gates += sep + ("G" + n);
        hidden += sep + ("H" + n);
        body += (i ? "\n [] G" : "G") + n + "; H" + n + "; NIL";
    }
    const std::string text = "SYSTEM S [" + gates + ", " + hidden + "] :=\nHIDE " + hidden + " IN\n(" + body +
                             ")\nENDSYS\n";
    GenerationSettings settings = test::Interleaving();
    settings.threads = 1;
    const std::string one = test::GenerateText(text, settings)->Text();
    ASSERT_NE(one.find("I_H299"), std::string::npos);
    settings.threads = 7;
    for (int round = 0; round < 10; ++round) ASSERT_EQ(test::GenerateText(text, settings)->Text(), one) << round;
}

// However many threads are asked for, no more are made than the cores can
// run and the levels keep busy: a small system costs what it costs on one.
TEST(Threads, NoMoreThreadsAreMadeThanTheCoresRunAndTheLevelsKeepBusy) {
    GenerationSettings settings;
    settings.threads = 1000;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned limit = ExplorationThreads(settings);
    EXPECT_EQ(limit, std::min(4 * cores, 255u));
    settings.threads = 0;
    EXPECT_EQ(ExplorationThreads(settings), cores);
    settings.threads = 1000;
    // Seven states: no level worth a second thread.
    const std::string buffer = ExampleText("BUFFER.LOT");
    EXPECT_EQ(test::GenerateText(buffer, settings)->result.threadsMade, 1);
    // 132 states: a few threads at most, and the STEM of one.
    const std::string philosophers = ExampleText("PHILO.LOT");
    const auto many = test::GenerateText(philosophers, settings);
    EXPECT_GE(many->result.threadsMade, 1);
    EXPECT_LE(many->result.threadsMade, 132 / 8 + 1);
    EXPECT_LE(many->result.threadsMade, static_cast<std::int32_t>(limit));
    settings.threads = 1;
    EXPECT_EQ(test::GenerateText(philosophers, settings)->Text(), many->Text());
    // A level of 300 states keeps every thread allowed busy.
    std::string gates, branches;
    for (int i = 0; i < 300; ++i) {
        const std::string g = "G" + std::to_string(i);
        gates += (i == 0 ? "" : i % 10 == 0 ? ",\n" : ", ") + g;
        branches += (i == 0 ? "" : "\n [] ") + g + "; " + g + "; NIL";
    }
    GenerationSettings wide = test::Interleaving();
    wide.threads = 7;
    const auto level = test::GenerateText("SYSTEM S [" + gates + "] :=\n" + branches + "\nENDSYS\n", wide);
    EXPECT_EQ(level->result.states, 302);
    EXPECT_EQ(level->result.threadsMade, static_cast<std::int32_t>(ExplorationThreads(wide)));
}

// A choice of many branches is derived once per branch, not once per level
// of the chain of choices it is written as.
TEST(Threads, AVeryLongChoiceHasTwoStates) {
    std::string text = "SYSTEM S [A] :=\n    A; NIL";
    for (int i = 1; i < 100000; ++i) text += "\n [] A; NIL";
    text += "\nENDSYS\n";
    auto g = test::GenerateText(text, test::Interleaving());
    EXPECT_EQ(g->result.states, 2);
    EXPECT_EQ(g->result.arcs, 100000);
}

}  // namespace
}  // namespace quarvo
