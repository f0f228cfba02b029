// The overview by breadth-first level: one bar per level with its states, arcs and deadlocks.
#include "views/LevelOverview.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quarvo {
namespace {

// n independent processes A_i; B_i; stop, as one system: a state is a word
// of n digits in {0, 1, 2} (the steps each process took), its number the
// word read in base 3; its level is the sum of its digits.
StemStore Independent(int n) {
    StemStore store;
    std::vector<ActionId> a, b;
    for (int i = 0; i < n; ++i) {
        a.push_back(store.Intern(("A" + std::to_string(i)).c_str()));
        b.push_back(store.Intern(("B" + std::to_string(i)).c_str()));
    }
    std::int32_t count = 1;
    for (int i = 0; i < n; ++i) count *= 3;
    store.Reserve(static_cast<std::size_t>(count), static_cast<std::size_t>(count) * static_cast<std::size_t>(n));
    for (std::int32_t s = 0; s < count; ++s) store.AppendState(s, EventSet{});
    std::vector<TStemArc> arcs;
    for (std::int32_t s = 0; s < count; ++s) {
        arcs.clear();
        std::int32_t rest = s, weight = 1;
        for (int i = 0; i < n; ++i, rest /= 3, weight *= 3)
            if (rest % 3 < 2) arcs.push_back({s + weight, rest % 3 == 0 ? a[i] : b[i], 1, EmptyEventSet});
        store.SetArcs(static_cast<std::size_t>(s), arcs);
    }
    return store;
}

TEST(LevelOverview, TwelveIndependentProcessesGiveOneBarPerLevelWithItsCounts) {
    const int n = 12;
    const StemStore store = Independent(n);
    const LevelOverview overview = OverviewByLevel(store);
    ASSERT_EQ(overview.levels.size(), static_cast<std::size_t>(2 * n + 1));
    // Words of each digit sum, and how many of their digits can still move, process by process.
    std::vector<std::size_t> words{1}, moves{0};
    for (int i = 0; i < n; ++i) {
        std::vector<std::size_t> w(words.size() + 2, 0), m(words.size() + 2, 0);
        for (std::size_t k = 0; k < words.size(); ++k)
            for (std::size_t d = 0; d < 3; ++d) {
                w[k + d] += words[k];
                m[k + d] += moves[k] + (d < 2 ? words[k] : 0);
            }
        words = w;
        moves = m;
    }
    for (std::size_t k = 0; k < overview.levels.size(); ++k) {
        EXPECT_EQ(overview.levels[k].states, words[k]) << "level " << k;
        EXPECT_EQ(overview.levels[k].arcs, moves[k]) << "level " << k;
        EXPECT_EQ(overview.levels[k].deadlocks, k == overview.levels.size() - 1 ? 1u : 0u) << "level " << k;
    }
    EXPECT_EQ(overview.widest, words[12]);
    EXPECT_EQ(overview.unreachable, 0u);
    const std::vector<std::int32_t> second = StatesOfLevel(store, overview, 1);
    ASSERT_EQ(second.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(second.front(), 1);
    EXPECT_EQ(second.back(), 177147);  // 3^11: the last process's first step
    EXPECT_EQ(StatesOfLevel(store, overview, 12, 5).size(), 5u);
}

TEST(LevelOverview, StatesTheInitialStateDoesNotReachBelongToNoLevel) {
    StemStore store;
    const ActionId a = store.Intern("A");
    for (std::int32_t s : {0, 4, 9}) store.AppendState(s, EventSet{});
    const TStemArc toFour{4, a, 1, EmptyEventSet}, toNowhere{77, a, 1, EmptyEventSet};
    store.SetArcs(0, std::span(&toFour, 1));
    store.SetArcs(2, std::span(&toNowhere, 1));
    const LevelOverview overview = OverviewByLevel(store);
    ASSERT_EQ(overview.levels.size(), 2u);
    EXPECT_EQ(overview.levels[1].deadlocks, 1u);
    EXPECT_EQ(overview.unreachable, 1u);
    // Entered by "delta", the state without arcs ended well.
    StemStore ended;
    const TStemArc delta{4, ended.Intern("delta"), 1, EmptyEventSet};
    for (std::int32_t s : {0, 4}) ended.AppendState(s, EventSet{});
    ended.SetArcs(0, std::span(&delta, 1));
    const LevelOverview terminated = OverviewByLevel(ended);
    EXPECT_EQ(terminated.levels.at(1).deadlocks, 0u);
    EXPECT_EQ(terminated.levels.at(1).terminations, 1u);
    EXPECT_EQ(overview.levelOf, (std::vector<std::int32_t>{0, 1, -1}));
    EXPECT_TRUE(OverviewByLevel(StemStore{}).levels.empty());
}

}  // namespace
}  // namespace quarvo
