// What a generation reports as it runs (levels, time, memory), and what a stop keeps: the explored part of the
// level it fell in, numbered as a whole generation numbers it.
#include <algorithm>
#include <string>
#include <utility>
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

// A report of a level explored by threads that shows its numbering under way:
// past the half of its progress (its derivation), short of its end.
bool InNumbering(const GenerationFigures& f) { return 2 * f.levelExplored > f.levelStates && f.levelExplored < f.levelStates; }

// Records every report; asks to stop once a report shows the level given
// reached, or, with inNumbering, its numbering (or a later level's) under way.
struct Recorder final : Progress {
    std::int64_t stopAtLevel = -1;
    bool inNumbering = false;
    std::vector<GenerationFigures> figures;
    std::vector<std::int64_t> statesWithFigures;  // the states of the same report as each figures
    std::vector<std::pair<std::int64_t, std::int64_t>> counts;
    void Update(std::int64_t states, std::int64_t transitions) override { counts.emplace_back(states, transitions); }
    void UpdateGeneration(const GenerationFigures& f) override {
        figures.push_back(f);
        statesWithFigures.push_back(counts.empty() ? 0 : counts.back().first);
    }
    bool StopRequested() override {
        if (stopAtLevel < 0 || figures.empty() || figures.back().level < stopAtLevel) return false;
        return !inNumbering || figures.back().level > stopAtLevel || InNumbering(figures.back());
    }
};

GenerationSettings OnThreads(int threads, bool termsOnly) {
    GenerationSettings settings;
    settings.semantics = Semantics::Interleaving;
    settings.threads = threads;
    settings.termsOnly = termsOnly;
    return settings;
}

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

// The states of each level of Independent(n): those where the processes made
// d steps in all (the coefficient of x^d in (1 + x + x^2)^n), then the state
// after the last EXIT.
std::vector<std::int64_t> IndependentLevels(int n) {
    std::vector<std::int64_t> levels{1};
    for (int i = 0; i < n; ++i) {
        std::vector<std::int64_t> next(levels.size() + 2, 0);
        for (std::size_t d = 0; d < levels.size(); ++d)
            for (std::size_t step = 0; step < 3; ++step) next[d + step] += levels[d];
        levels = next;
    }
    levels.push_back(1);
    return levels;
}

// On two threads a level is derived, then numbered in one pass: the reports
// go on through that pass, the level's progress past its half, on the state
// vectors as on whole terms; a level shown whole has its successors all
// numbered, the states shown counting them.
TEST(GenerationProgress, TheNumberingOfALevelIsReportedAsTheSecondHalfOfItsProgress) {
    const std::vector<std::int64_t> levels = IndependentLevels(12);
    std::vector<std::int64_t> through(levels.size() + 1, 0);  // the states of levels 0 to k - 1
    for (std::size_t k = 0; k < levels.size(); ++k) through[k + 1] = through[k] + levels[k];
    ASSERT_EQ(through.back(), 531442);
    test::Compiled c = test::CompileText(Independent(12));
    ASSERT_TRUE(c.ok());
    for (const bool termsOnly : {false, true}) {
        // The figures are sampled on a timer: a loaded machine may sample no
        // level in the short while it stands whole (a few milliseconds between
        // its numbering and the next level), so a run that showed none is made
        // again, seven times at most.
        std::size_t numbering = 0, whole = 0;
        for (int run = 0; run < 8 && (numbering == 0 || whole == 0); ++run) {
            Recorder progress;
            StemStore store;
            const GenerationResult r = GenerateStem(c.outcome.compilation, OnThreads(2, termsOnly), store, &progress);
            ASSERT_FALSE(r.interrupted);
            EXPECT_EQ(r.onVectors, !termsOnly);
            EXPECT_EQ(r.states, 531442);
            for (std::size_t i = 0; i < progress.figures.size(); ++i) {
                const GenerationFigures& f = progress.figures[i];
                if (InNumbering(f)) ++numbering;
                if (f.levelStates > 0 && f.levelExplored == f.levelStates) {
                    ++whole;
                    const auto next = std::min<std::size_t>(static_cast<std::size_t>(f.level) + 2, levels.size());
                    EXPECT_GE(progress.statesWithFigures[i], through[next])
                        << "level " << f.level << " shown whole, " << (termsOnly ? "on terms" : "on vectors");
                }
                // A level's progress never goes back, from its derivation into its numbering.
                if (i > 0 && f.level == progress.figures[i - 1].level) {
                    EXPECT_GE(f.levelExplored, progress.figures[i - 1].levelExplored);
                }
            }
        }
        EXPECT_GT(numbering, 0u) << (termsOnly ? "on terms" : "on vectors");
        EXPECT_GT(whole, 0u) << (termsOnly ? "on terms" : "on vectors");
    }
}

// Wherever the stop falls (between levels, inside one as it is derived or
// numbered, on one thread or two, on state vectors or whole terms), the states
// kept with their arcs are those of the whole generation.
TEST(GenerationProgress, AStopKeepsTheExploredStatesWithTheArcsOfTheWholeGeneration) {
    const std::string text = Independent(10);
    int stopped = 0;
    for (const auto& [threads, termsOnly] : {std::pair{1, false}, std::pair{2, false}, std::pair{2, true}}) {
        const GenerationSettings settings = OnThreads(threads, termsOnly);
        const auto whole = test::GenerateText(text, settings);
        ASSERT_FALSE(whole->result.interrupted);
        for (const auto& [level, inNumbering] : {std::pair{3, false}, std::pair{9, false}, std::pair{9, true}}) {
            test::Compiled c = test::CompileText(text);
            Recorder progress;
            progress.stopAtLevel = level;
            progress.inNumbering = inNumbering;
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
                ASSERT_EQ(kept.Arcs.size(), full.Arcs.size())
                    << "state " << s << ", " << threads << " threads" << (termsOnly ? ", terms" : "");
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
