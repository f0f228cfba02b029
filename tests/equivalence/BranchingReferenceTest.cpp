// The branching refiner against the two it replaced (by incremental
// signatures, and by plain signatures) on random systems with internal
// cycles, divergences and unreachable states: the same partitions, plain and
// divergence-sensitive.
#include <gtest/gtest.h>

#include <random>

#include "ReferenceBranching.h"
#include "SignatureBranching.h"
#include "TestSystems.h"

namespace quarvo {
namespace {

TEST(BranchingReference, FiveHundredRandomSystemsGiveTheSamePartitions) {
    std::mt19937 rng(20261209);
    std::uniform_int_distribution<std::uint32_t> size(2, 80);
    std::uniform_real_distribution<double> density(0.005, 0.08);
    for (int round = 0; round < 500; ++round) {
        const std::uint32_t n = size(rng);
        // Sparse systems leave states unreachable; the internal arcs, drawn
        // like the others, close cycles (divergences) often.
        const Lts lts = testing::MakeLts(n, testing::RandomArcs(rng, n, density(rng) * 40 / n, round % 2 == 0));
        for (const bool divergence : {false, true}) {
            const Partition found = BranchingBisimulation(lts, divergence);
            const Partition reference = testing::ReferenceBranching(lts, divergence);
            ASSERT_EQ(found.count, reference.count) << "round " << round << (divergence ? " divergence" : "");
            ASSERT_EQ(found.block, reference.block) << "round " << round << (divergence ? " divergence" : "");
            ASSERT_EQ(found.block, testing::SignatureBranching(lts, divergence).block)
                << "round " << round << (divergence ? " divergence" : "");
        }
    }
}

// Long internal chains and wide internal fans, where signatures are unions
// of many successors'.
TEST(BranchingReference, InternalChainsAndFansGiveTheSamePartitions) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        constexpr std::uint32_t n = 400;
        testing::ArcList arcs;
        std::uniform_int_distribution<std::uint32_t> below(0, 30), label(0, 3);
        const char* names[] = {"I", "A", "B", "C"};
        for (std::uint32_t s = 1; s < n; ++s) {
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t d = below(rng);
                arcs.emplace_back(s, names[label(rng)], s > d ? s - d : 0);
            }
            if (s + 2 < n && label(rng) == 0) arcs.emplace_back(s, "I", s + 2);
        }
        const Lts lts = testing::MakeLts(n, arcs);
        for (const bool divergence : {false, true}) {
            const Partition found = BranchingBisimulation(lts, divergence);
            EXPECT_EQ(found.block, testing::ReferenceBranching(lts, divergence).block) << "round " << round;
            EXPECT_EQ(found.block, testing::SignatureBranching(lts, divergence).block) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace quarvo

namespace quarvo {
namespace {

// Two copies of a random system whose arcs each go to their target in
// either copy, so that a state and its copy are bisimilar: many states
// merge, through long series of splits of large blocks. Arcs go to states
// at most 12 below or 2 above their source, as in the engine's systems, and
// the internal ones often close cycles.
TEST(BranchingReference, CopiesOfLocalSystemsMergeAsTheSecondOpinionSays) {
    std::mt19937 rng(31);
    for (int round = 0; round < 24; ++round) {
        const std::uint32_t half = 200 + rng() % 1200;
        const std::uint32_t labels = 1 + rng() % 3;
        const char* names[] = {"I", "A", "B", "C"};
        testing::ArcList arcs;
        for (std::uint32_t k = 0; k < 3 * half; ++k) {
            const std::uint32_t s = rng() % half;
            const long t = std::clamp<long>(static_cast<long>(s) + static_cast<long>(rng() % 15) - 12, 0, half - 1);
            const std::string name = names[rng() % (labels + 1)];
            arcs.emplace_back(s, name, static_cast<std::uint32_t>(t) + (rng() % 2) * half);
            arcs.emplace_back(s + half, name, static_cast<std::uint32_t>(t) + (rng() % 2) * half);
        }
        const Lts lts = testing::MakeLts(2 * half, arcs);
        for (const bool divergence : {false, true}) {
            const Partition found = BranchingBisimulation(lts, divergence);
            ASSERT_EQ(found.block, testing::SignatureBranching(lts, divergence).block)
                << "round " << round << (divergence ? " divergence" : "");
            for (std::uint32_t s = 0; s < half; ++s) ASSERT_EQ(found.block[s], found.block[s + half]) << "round " << round;
        }
    }
}

// First blocks given: never merged across, the same partition as the
// second opinion's.
TEST(BranchingReference, FirstBlocksGiveTheSamePartitions) {
    std::mt19937 rng(5);
    for (int round = 0; round < 100; ++round) {
        const std::uint32_t n = 5 + rng() % 60;
        const Lts lts = testing::MakeLts(n, testing::RandomArcs(rng, n, 1.5 / n, round % 2 == 0));
        std::vector<std::uint32_t> first(n);
        for (std::uint32_t& b : first) b = rng() % 3;
        for (const bool divergence : {false, true}) {
            const Partition found = BranchingBisimulation(lts, divergence, nullptr, first);
            ASSERT_EQ(found.block, testing::SignatureBranching(lts, divergence, nullptr, first).block)
                << "round " << round << (divergence ? " divergence" : "");
            for (std::uint32_t s = 0; s < n; ++s)
                for (std::uint32_t t = 0; t < n; ++t)
                    if (found.block[s] == found.block[t]) {
                        ASSERT_EQ(first[s], first[t]) << "round " << round;
                    }
        }
    }
}

// Shapes that make a refiner walk whole blocks for each split: the answers
// known by hand.
TEST(BranchingReference, ChainsAndLongInertPaths) {
    constexpr std::uint32_t n = 20000;
    testing::ArcList chain, inert, ladder;
    for (std::uint32_t s = 0; s < n; ++s) {
        chain.emplace_back(s, "A", s + 1);
        inert.emplace_back(s, s % 2 == 0 ? "I" : "A", s + 1);
        ladder.emplace_back(s, "I", s + 1);
        if (s % 3 == 0) ladder.emplace_back(s, "B", n + 1);
    }
    for (const bool divergence : {false, true}) {
        EXPECT_EQ(BranchingBisimulation(testing::MakeLts(n + 1, chain), divergence).count, n + 1);
        // 2k and 2k + 1 together: n / 2 pairs and the last state.
        EXPECT_EQ(BranchingBisimulation(testing::MakeLts(n + 1, inert), divergence).count, n / 2 + 1);
        // The states up to the last multiple of 3 choose between B and the
        // path on; the ones after it, the end and the sink are all stuck.
        const Partition ladderBlocks = BranchingBisimulation(testing::MakeLts(n + 2, ladder), divergence);
        const Lts ladderLts = testing::MakeLts(n + 2, ladder);
        EXPECT_EQ(ladderBlocks.block, testing::SignatureBranching(ladderLts, divergence).block);
    }
    // A heap of internal arcs whose leaves loop on A, on B or stop.
    constexpr std::uint32_t m = 6000;
    testing::ArcList tree;
    for (std::uint32_t s = 0; s <= m; ++s) {
        if (2 * s + 2 <= m) {
            tree.emplace_back(s, "I", 2 * s + 1);
            tree.emplace_back(s, "I", 2 * s + 2);
        } else if (s % 3 != 2) {
            tree.emplace_back(s, s % 3 == 0 ? "A" : "B", s);
        }
    }
    const Lts treeLts = testing::MakeLts(m + 1, tree);
    for (const bool divergence : {false, true})
        EXPECT_EQ(BranchingBisimulation(treeLts, divergence).block, testing::SignatureBranching(treeLts, divergence).block);
}

}  // namespace
}  // namespace quarvo
