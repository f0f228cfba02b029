// What a generation reports as it runs (levels, time, memory), and what a stop keeps: the explored part of the
// level it fell in, numbered as a whole generation numbers it.
#include <string>
#include <vector>

#include "GenerationTestSupport.h"

namespace quarvo {
namespace {

// n independent processes of two steps each: 3^n states under interleaving,
// in 2n + 1 levels.
std::string Independent(int n) {
    std::string text = "SYSTEM S [";
    for (int i = 0; i < n; ++i) text += (i ? ", A" : "A") + std::to_string(i) + ", B" + std::to_string(i);
    text += "] :=\n";
    for (int i = 0; i < n; ++i)
        text += (i ? "||| A" : "    A") + std::to_string(i) + "; B" + std::to_string(i) + "; EXIT\n";
    return text + "ENDSYS\n";
}

// Records every report; asks to stop once a report shows the level given reached.
struct Recorder final : Progress {
    std::int64_t stopAtLevel = -1;
    std::vector<GenerationFigures> figures;
    std::vector<std::pair<std::int64_t, std::int64_t>> counts;
    void Update(std::int64_t states, std::int64_t transitions) override { counts.emplace_back(states, transitions); }
    void UpdateGeneration(const GenerationFigures& f) override { figures.push_back(f); }
    bool StopRequested() override {
        return stopAtLevel >= 0 && !figures.empty() && figures.back().level >= stopAtLevel;
    }
};

TEST(GenerationProgress, ReportsLevelsTimeAndMemoryThatOnlyGrow) {
    test::Compiled c = test::CompileText(Independent(10));
    ASSERT_TRUE(c.ok());
    GenerationSettings settings;
    settings.semantics = Semantics::Interleaving;
    settings.threads = 2;
    Recorder progress;
    StemStore store;
    const GenerationResult r = GenerateStem(c.outcome.compilation, settings, store, &progress);
    ASSERT_FALSE(r.interrupted);
    EXPECT_EQ(r.states, 59050);  // and the state after the last EXIT
    ASSERT_FALSE(progress.figures.empty());
    for (std::size_t i = 0; i < progress.figures.size(); ++i) {
        const GenerationFigures& f = progress.figures[i];
        EXPECT_LE(f.levelExplored, f.levelStates);
        EXPECT_LE(f.level, 21);
        EXPECT_GE(f.memoryUsed, 0);
        EXPECT_GT(f.memoryBefore, 0);
        if (i == 0) continue;
        const GenerationFigures& before = progress.figures[i - 1];
        EXPECT_GE(f.level, before.level);
        EXPECT_GE(f.seconds, before.seconds);
        EXPECT_EQ(f.memoryBefore, before.memoryBefore) << "one starting figure per generation";
        if (f.level == before.level && f.levelStates == before.levelStates) {
            EXPECT_GE(f.levelExplored, before.levelExplored);
        }
    }
    // The counts of arcs never go back, inside a level or across one.
    for (std::size_t i = 1; i < progress.counts.size(); ++i) {
        EXPECT_GE(progress.counts[i].first, progress.counts[i - 1].first);
        EXPECT_GE(progress.counts[i].second, progress.counts[i - 1].second);
    }
    EXPECT_EQ(progress.counts.back(), (std::pair<std::int64_t, std::int64_t>{r.states, r.arcs}));
    EXPECT_GE(r.memoryUsed, 0);
    EXPECT_GT(r.memoryBefore, 0);
}

// Wherever the stop falls (between levels or inside one, on one thread or
// two), the states kept with their arcs are those of the whole generation.
TEST(GenerationProgress, AStopKeepsTheExploredStatesWithTheArcsOfTheWholeGeneration) {
    const std::string text = Independent(10);
    int stopped = 0;
    for (const int threads : {1, 2}) {
        GenerationSettings settings;
        settings.semantics = Semantics::Interleaving;
        settings.threads = threads;
        const auto whole = test::GenerateText(text, settings);
        ASSERT_FALSE(whole->result.interrupted);
        for (const std::int64_t level : {3, 9}) {
            test::Compiled c = test::CompileText(text);
            Recorder progress;
            progress.stopAtLevel = level;
            StemStore store;
            const GenerationResult r = GenerateStem(c.outcome.compilation, settings, store, &progress);
            if (!r.interrupted) continue;  // the generation outran its reports: nothing to compare
            ++stopped;
            EXPECT_FALSE(r.stoppedByMemory);
            ASSERT_LE(r.states, whole->result.states);
            ASSERT_LE(r.exploredStates, r.states);
            for (std::int64_t s = 0; s < r.exploredStates; ++s) {
                const StateView kept = store.State(static_cast<std::size_t>(s));
                const StateView full = whole->store.State(static_cast<std::size_t>(s));
                ASSERT_EQ(kept.Number, full.Number);
                ASSERT_EQ(kept.Arcs.size(), full.Arcs.size()) << "state " << s << ", " << threads << " threads";
                for (std::size_t k = 0; k < kept.Arcs.size(); ++k) {
                    ASSERT_EQ(kept.Arcs[k].Target, full.Arcs[k].Target);
                    ASSERT_EQ(store.actions.Text(kept.Arcs[k].Action), whole->store.actions.Text(full.Arcs[k].Action));
                }
            }
            // Every arc kept leads to a state kept.
            for (const StateView s : store.States())
                for (const ArcView a : s.Arcs) ASSERT_LT(a.Target, r.states);
        }
    }
    EXPECT_GT(stopped, 0) << "some stop fell before the end";
}

// The limit counts what this generation takes, not what an earlier, larger
// one left in the process: it stops the generation below the figure it
// names, and the summary names the figure.
TEST(GenerationProgress, TheMemoryLimitCountsOnlyThisGenerationAndNamesItsFigure) {
    GenerationSettings settings;
    settings.semantics = Semantics::Interleaving;
    settings.threads = 2;
    {
        const auto larger = test::GenerateText(Independent(11), settings);
        ASSERT_FALSE(larger->result.interrupted);
    }
    constexpr std::int64_t MiB = 1024 * 1024;
    settings.memoryLimit = 96 * MiB;
    const auto limited = test::GenerateText(Independent(12), settings);
    ASSERT_TRUE(limited->result.stoppedByMemory);
    EXPECT_GT(limited->result.states, 10000) << "the earlier generation's memory does not count";
    EXPECT_GT(limited->result.memoryUsed, 0);
    EXPECT_LE(limited->result.memoryUsed, settings.memoryLimit);
    const std::vector<std::string>& lines = limited->messages;
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2],
              "Mémoire consommée par la génération : " + std::to_string(limited->result.memoryUsed / MiB) + " Mo.");
}

}  // namespace
}  // namespace quarvo
