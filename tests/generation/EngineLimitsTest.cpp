// The exploration's limits: the state bound, the memory limit, and shapes
// whose cost must follow the states (long chains, wide compositions).
#include <sys/resource.h>

#include <filesystem>
#include <random>
#include <string>

#include "GenerationTestSupport.h"
#include "ReferenceSemantics.h"
#include "frontend/TextFile.h"
#include "generation/MemoryWatch.h"

namespace quarvo {
namespace {

std::string Wide(int n) {
    std::string text = "SYSTEM S [A] :=\n";
    for (int i = 0; i < n; ++i) text += i ? "\n||| A; NIL" : "A; NIL";
    return text + "\nENDSYS\n";
}

std::string Chain(int n) {
    std::string text = "SYSTEM S [A, B] :=\n";
    for (int i = 0; i < n; ++i) text += i % 2 ? "B;\n" : "A;\n";
    return text + "NIL\nENDSYS\n";
}

// Every arc of the store leads to a state of the store.
void ExpectClosed(const test::Generated& g) {
    for (StateView s : g.store.States())
        for (ArcView a : s.Arcs) EXPECT_LT(a.Target, g.store.StemStateCount) << "state " << s.Number;
}

TEST(EngineLimits, TheBoundIsNeverExceededAndTheStemStaysClosed) {
    GenerationSettings settings;
    settings.maxStates = 10;
    auto g = test::GenerateText(Wide(1000), settings);
    EXPECT_EQ(g->result.states, 10);
    EXPECT_TRUE(g->result.stoppedByBound);
    EXPECT_TRUE(g->result.interrupted);
    EXPECT_EQ(g->store.StemStateCount, 10);
    EXPECT_EQ(g->store.StateCount(), 10u);
    EXPECT_EQ(g->Arcs(0).size(), 9u);  // the arcs found before the tenth state was refused
    ExpectClosed(*g);
    EXPECT_EQ(g->messages.back(), "Génération interrompue : 10 états.");
}

TEST(EngineLimits, ABoundThatIsNotNeededDoesNotInterrupt) {
    GenerationSettings settings;
    settings.maxStates = 3;
    auto g = test::GenerateText(test::Spec("A; B; NIL"), settings);
    EXPECT_EQ(g->result.states, 3);
    EXPECT_FALSE(g->result.interrupted);
    EXPECT_EQ(g->messages.back(), "Génération terminée.");
}

TEST(EngineLimits, AMemoryLimitStopsCleanlyWithTheStatesReached) {
    // Seven interleaved processes under maximality have over a million states.
    std::string text = "SYSTEM S [A, B] :=\n";
    for (int i = 0; i < 7; ++i) text += std::string(i ? "||| " : "") + "A; B; EXIT\n";
    text += "ENDSYS\n";
    GenerationSettings settings;
    settings.memoryLimit = 1;  // below what the process already holds
    auto g = test::GenerateText(text, settings);
    EXPECT_TRUE(g->result.stoppedByMemory);
    EXPECT_TRUE(g->result.interrupted);
    EXPECT_GT(g->result.states, 1);
    EXPECT_LT(g->result.states, 1000000);
    ExpectClosed(*g);
    EXPECT_EQ(g->messages.back(),
              "Génération interrompue : mémoire insuffisante (" + std::to_string(g->result.states) + " états).");
}

TEST(EngineLimits, ThreadsStopWithinTheMemoryLimitWhateverTheLevelOrTheTableWouldTake) {
    // Twelve interleaved processes under maximality: hundreds of millions
    // of states. The table's growths between levels and the numbering of a
    // level take memory at once; they must not take the exploration past
    // the limit before it stops. The peak is the process's own (this test
    // runs alone in it).
    std::string gates, body;
    for (int i = 0; i < 12; ++i) {
        const std::string a = "A" + std::to_string(i), b = "B" + std::to_string(i);
        gates += (i ? ", " : "") + a + ", " + b;
        body += std::string(i ? "||| " : "") + "(" + a + "; " + b + "; EXIT)\n";
    }
    const std::string text = "SYSTEM S [" + gates + "] :=\n" + body + "ENDSYS\n";
    const std::int64_t before = ReadMemoryFigures().residentBytes;
    GenerationSettings settings;
    settings.threads = 2;
    settings.memoryLimit = std::int64_t{500} << 20;
    auto g = test::GenerateText(text, settings);
    rusage usage{};
    ASSERT_EQ(getrusage(RUSAGE_SELF, &usage), 0);
    EXPECT_LE(std::int64_t{usage.ru_maxrss} * 1024 - before, settings.memoryLimit);
    EXPECT_TRUE(g->result.stoppedByMemory);
    EXPECT_GT(g->result.states, 1);
    ExpectClosed(*g);
    EXPECT_EQ(g->messages.back(),
              "Génération interrompue : mémoire insuffisante (" + std::to_string(g->result.states) + " états).");
}

TEST(EngineLimits, LongChainsAreGeneratedWhole) {
    auto chain = test::GenerateText(Chain(20000));
    EXPECT_EQ(chain->result.states, 20001);
    EXPECT_EQ(chain->Labels(0), std::vector<std::string>{"{} A:1"});
    EXPECT_EQ(chain->Labels(1), std::vector<std::string>{"{1:A} B:1"});
    EXPECT_EQ(chain->Labels(20000), std::vector<std::string>{});
}

TEST(EngineLimits, AWideCompositionUnderABoundOnlyBuildsWhatTheBoundAllows) {
    GenerationSettings settings = test::Interleaving();
    settings.maxStates = 5;
    // Thirty thousand operators nested: deeper than an ordinary thread's stack would allow.
    auto wide = test::GenerateText(Wide(30000), settings);
    EXPECT_EQ(wide->result.states, 5);
    EXPECT_EQ(wide->Targets(0), (std::vector<int>{1, 2, 3, 4}));
}

// Collecting the unused term nodes every few dozen nodes changes nothing.
void ExpectSameWithFrequentCollections(const std::string& text) {
    for (GenerationSettings settings : {GenerationSettings{}, test::Cpbr(), test::Interleaving()}) {
        settings.maxStates = 3000;
        auto usual = test::GenerateText(text, settings);
        settings.collectionThreshold = 48;
        auto collected = test::GenerateText(text, settings);
        ASSERT_EQ(collected->Text(), usual->Text()) << text;
        EXPECT_EQ(collected->messages, usual->messages);
    }
}

TEST(EngineLimits, CollectingUnusedNodesChangesNothing) {
    for (const auto& entry : std::filesystem::directory_iterator(std::string(QUARVO_SOURCE_DIR) + "/examples")) {
        if (entry.path().extension() != ".LOT") continue;
        TextFileResult file = ReadTextFile(entry.path().string());
        std::string text;
        for (const std::string& line : file.lines) text += line + "\n";
        ExpectSameWithFrequentCollections(text);
    }
    std::mt19937 rng(20261208);
    for (int i = 0; i < 100; ++i) ExpectSameWithFrequentCollections(test::RandomSpecification(rng));
}

}  // namespace
}  // namespace quarvo
