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
