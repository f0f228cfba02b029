// The bisimulation partitions on systems known by hand, then against the
// plain fixpoints of NaiveBisimulation on random systems.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <random>

#include "NaiveBisimulation.h"
#include "PartitionTestSupport.h"
#include "equivalence/Equivalence.h"
#include "equivalence/StrongRefinement.h"

namespace quarvo {
namespace {

using test::MakeLts;

constexpr Equivalence kBisimulations[] = {Equivalence::Strong, Equivalence::Branching,
                                          Equivalence::DivergenceBranching, Equivalence::Weak};

const char* Name(Equivalence e) {
    switch (e) {
        case Equivalence::Strong: return "strong";
        case Equivalence::Branching: return "branching";
        case Equivalence::DivergenceBranching: return "divergence-sensitive branching";
        case Equivalence::Weak: return "weak";
        case Equivalence::Traces: return "traces";
    }
    return "";
}

// Whether states a and b fall in one block, under each bisimulation in turn.
struct Expected {
    bool strong, branching, divergenceBranching, weak;
    bool For(Equivalence e) const {
        return e == Equivalence::Strong ? strong
               : e == Equivalence::Branching ? branching
               : e == Equivalence::DivergenceBranching ? divergenceBranching
                                                       : weak;
    }
};

void ExpectSameBlock(const Lts& lts, std::uint32_t a, std::uint32_t b, Expected expected, const char* what) {
    for (Equivalence e : kBisimulations) {
        const Partition p = Bisimulation(lts, e);
        ASSERT_EQ(p.block.size(), lts.StateCount());
        EXPECT_EQ(p.block[a] == p.block[b], expected.For(e)) << what << ", " << Name(e);
        EXPECT_EQ(test::NaiveBisimulation(lts, e).block, p.block) << what << ", " << Name(e);
    }
}

TEST(PartitionTest, SystemsKnownByHand) {
    // A; (B; NIL [] C; NIL) (states 0..3) against A; B; NIL [] A; C; NIL (4..8):
    // the choice is made before A on the right.
    ExpectSameBlock(MakeLts(9, {{0, "A", 1}, {1, "B", 2}, {1, "C", 3},
                                {4, "A", 5}, {5, "B", 6}, {4, "A", 7}, {7, "C", 8}}),
                    0, 4, {false, false, false, false}, "choice before or after A");
    // A; I; B; NIL (0..3) against A; B; NIL (4..6): the internal step is inert.
    ExpectSameBlock(MakeLts(7, {{0, "A", 1}, {1, "I", 2}, {2, "B", 3}, {4, "A", 5}, {5, "B", 6}}),
                    0, 4, {false, true, true, true}, "inert internal step");
    // A; (B; NIL [] I; C; NIL) [] A; C; NIL (0..6) against A; (B; NIL [] I; C; NIL)
    // (7..11), Milner's third law: weakly equivalent; not branching, since
    // the right side answers the left's A to "C; NIL" only through a state
    // that can still do B.
    ExpectSameBlock(MakeLts(12, {{0, "A", 1}, {1, "B", 2}, {1, "I", 3}, {3, "C", 4}, {0, "A", 5}, {5, "C", 6},
                                 {7, "A", 8}, {8, "B", 9}, {8, "I", 10}, {10, "C", 11}}),
                    0, 7, {false, false, false, true}, "third law");
    // A; (internal loop) (0..1) against A; NIL (2..3): only divergence tells.
    ExpectSameBlock(MakeLts(4, {{0, "A", 1}, {1, "I", 1}, {2, "A", 3}}), 0, 2, {false, true, false, true},
                    "divergence after A");
    // An internal cycle of two states, one leaving by B, against I; B; NIL:
    // the cycle's states are one block, which diverges.
    ExpectSameBlock(MakeLts(6, {{0, "I", 1}, {1, "I", 0}, {1, "B", 2}, {3, "I", 4}, {4, "B", 5}}), 0, 3,
                    {false, true, false, true}, "cycle against a single step");
}

TEST(PartitionTest, LongChainWithInertSteps) {
    // 0 -I-> 1 -A-> 2 -I-> 3 -A-> 4 ... : each internal step is inert, and
    // the distance to the end tells the rest apart, one block at a time.
    constexpr std::uint32_t kSteps = 3000;
    std::vector<test::ArcSpec> arcs;
    for (std::uint32_t i = 0; i < kSteps; ++i) {
        arcs.emplace_back(2 * i, "I", 2 * i + 1);
        arcs.emplace_back(2 * i + 1, "A", 2 * i + 2);
    }
    const Lts lts = MakeLts(2 * kSteps + 1, arcs);
    EXPECT_EQ(StrongBisimulation(lts).count, 2 * kSteps + 1);
    const Partition branching = BranchingBisimulation(lts, false);
    EXPECT_EQ(branching.count, kSteps + 1);
    EXPECT_EQ(branching.block[0], branching.block[1]);
    EXPECT_NE(branching.block[1], branching.block[2]);
    EXPECT_EQ(WeakBisimulation(lts).count, kSteps + 1);
}

TEST(PartitionTest, FirstBlocksAreNeverMerged) {
    const Lts lts = MakeLts(4, {{0, "A", 1}, {2, "A", 3}, {1, "I", 1}, {3, "I", 3}});
    const std::vector<std::uint32_t> first{5, 1000000, 9, 1000000};  // any numbers
    const Partition strong = StrongBisimulation(lts, nullptr, first);
    EXPECT_EQ(strong.block, (std::vector<std::uint32_t>{0, 1, 2, 1}));
    EXPECT_EQ(strong.count, 3u);
    const Partition branching = BranchingBisimulation(lts, true, nullptr, first);
    EXPECT_EQ(branching.block, strong.block);
    EXPECT_EQ(StrongBisimulation(lts).count, 2u);
}

TEST(PartitionTest, EmptySystemAndStop) {
    const Lts empty = MakeLts(0, {});
    for (Equivalence e : kBisimulations) EXPECT_EQ(Bisimulation(empty, e).count, 0u) << Name(e);

    struct Stopper final : Progress {
        bool StopRequested() override { return true; }
    } stop;
    const Lts lts = MakeLts(3, {{0, "A", 1}, {1, "I", 2}, {2, "A", 0}});
    for (Equivalence e : kBisimulations) EXPECT_TRUE(Bisimulation(lts, e, &stop).stopped) << Name(e);
}

// A random system: 1..12 states, 1..3 visible labels and I, sparse to dense,
// some with internal cycles.
Lts RandomLts(std::mt19937& random) {
    auto below = [&](std::uint32_t n) { return static_cast<std::uint32_t>(random() % n); };
    const std::uint32_t states = 1 + below(12), labels = 1 + below(3);
    const double density = 0.05 + 0.1 * below(6);  // arcs per pair of states
    std::vector<test::ArcSpec> arcs;
    const std::string names[] = {"I", "A", "B", "C"};
    for (std::uint32_t s = 0; s < states; ++s)
        for (std::uint32_t t = 0; t < states; ++t)
            for (std::uint32_t l = 0; l <= labels; ++l)
                // Internal arcs a little more often, so that they chain and loop.
                if (random() % 1000 < (l == 0 ? 1.5 : 1.0) * density * 1000 / (labels + 1))
                    arcs.emplace_back(s, names[l], t);
    if (below(3) == 0 && states > 1) {  // an internal cycle through a few states
        const std::uint32_t a = below(states), b = below(states);
        arcs.emplace_back(a, "I", b);
        arcs.emplace_back(b, "I", a);
    }
    std::shuffle(arcs.begin(), arcs.end(), random);
    return MakeLts(states, arcs, below(states));
}

// "0 -A-> 1, 1 -I-> 0 / first blocks 0 1", to tell which system failed.
std::string Describe(const Lts& lts, const std::vector<std::uint32_t>& first) {
    std::string text;
    for (std::uint32_t s = 0; s < lts.StateCount(); ++s)
        for (std::uint32_t e = lts.firstArc[s]; e < lts.firstArc[s + 1]; ++e)
            text += std::to_string(s) + " -" + lts.labels[lts.label[e]] + "-> " + std::to_string(lts.target[e]) + ", ";
    if (!first.empty()) text += "/ first blocks";
    for (std::uint32_t b : first) text += " " + std::to_string(b);
    return text;
}

TEST(PartitionTest, SameAsThePlainFixpointOnRandomSystems) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 300; ++round) {
        const Lts lts = RandomLts(random);
        std::vector<std::uint32_t> first;
        if (round % 4 == 3)
            for (std::size_t s = 0; s < lts.StateCount(); ++s) first.push_back(random() % 2);
        for (Equivalence e : kBisimulations) {
            const Partition expected = test::NaiveBisimulation(lts, e, e == Equivalence::Weak ? std::vector<std::uint32_t>{} : first);
            Partition found;
            if (e == Equivalence::Strong) {
                found = StrongBisimulation(lts, nullptr, first);
                // Paige–Tarjan alone, which the signature rounds mostly spare on small systems.
                EXPECT_EQ(detail::PaigeTarjan(lts, nullptr, first).block, expected.block)
                    << "round " << round << ", Paige-Tarjan alone: " << Describe(lts, first);
            } else if (e == Equivalence::Weak) found = WeakBisimulation(lts);
            else found = BranchingBisimulation(lts, e == Equivalence::DivergenceBranching, nullptr, first);
            ASSERT_EQ(found.block, expected.block) << "round " << round << ", " << Name(e) << ": " << Describe(lts, first);
            ASSERT_EQ(found.count, expected.count) << "round " << round << ", " << Name(e);
            ASSERT_FALSE(found.stopped);
        }
    }
}

TEST(PartitionTest, StrongAndBranchingAgreeOnLargerSystemsWithoutInternalArcs) {
    // Without internal arcs the two coincide, and the two algorithms share
    // nothing: at sizes the plain fixpoint cannot reach, each checks the
    // other. Each system is two copies of a random one, each arc going to
    // the target in either copy, so that a state and its copy are bisimilar
    // and merge; chains of few labels give long series of splits.
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        const std::uint32_t half = 30 + random() % 300, labels = 1 + random() % 3;
        std::vector<test::ArcSpec> arcs;
        const std::string names[] = {"A", "B", "C"};
        auto add = [&](std::uint32_t s, const std::string& name, std::uint32_t t) {
            arcs.emplace_back(s, name, t + (random() % 2) * half);
            arcs.emplace_back(s + half, name, t + (random() % 2) * half);
        };
        for (std::uint32_t s = 0; s + 1 < half; ++s) {
            add(s, names[random() % labels], s + 1);
            for (int k = random() % 3; k > 0; --k) add(s, names[random() % labels], random() % half);
        }
        const Lts lts = MakeLts(2 * half, arcs);
        const Partition strong = StrongBisimulation(lts), branching = BranchingBisimulation(lts, true);
        ASSERT_EQ(strong.block, branching.block) << "round " << round;
        EXPECT_LE(strong.count, half);
        for (std::uint32_t s = 0; s < half; ++s) ASSERT_EQ(strong.block[s], strong.block[s + half]);
    }
}

}  // namespace
}  // namespace quarvo

namespace quarvo {
namespace {

// The weak saturation is counted before it is made: past the memory limit
// it is not built, and the partition says so.
TEST(PartitionTest, AWeakSaturationPastTheMemoryLimitIsNotBuilt) {
    const Lts lts = MakeLts(4, {{0, "I", 1}, {1, "A", 2}, {2, "I", 3}, {3, "B", 0}});
    const Partition refused = WeakBisimulation(lts, nullptr, 1);
    EXPECT_TRUE(refused.tooLarge);
    EXPECT_GE(refused.saturationArcs, 4);
    const Partition found = WeakBisimulation(lts);
    EXPECT_FALSE(found.tooLarge);
    EXPECT_EQ(found.count, 2u);
}

}  // namespace
}  // namespace quarvo

namespace quarvo {
namespace {

// The progress names each phase and counts what it counts.
TEST(PartitionTest, ProgressNamesThePhases) {
    struct Recorder final : Progress {
        std::vector<std::string> phases;
        void UpdatePhase(const std::string& phase, std::int64_t count, const char* unit) override {
            phases.push_back(phase + " : " + std::to_string(count) + " " + unit);
        }
    } recorder;
    const Lts lts = MakeLts(4, {{0, "I", 1}, {1, "I", 0}, {1, "A", 2}, {2, "I", 3}, {3, "B", 0}});
    BranchingBisimulation(lts, false, &recorder);
    ASSERT_FALSE(recorder.phases.empty());
    EXPECT_EQ(recorder.phases.front(), "contraction des cycles internes : 3 nœuds");
    EXPECT_TRUE(std::any_of(recorder.phases.begin(), recorder.phases.end(), [](const std::string& p) {
        return p.starts_with("affinage de branchement : ") && p.ends_with(" blocs");
    }));
    recorder.phases.clear();
    WeakBisimulation(lts, &recorder);
    EXPECT_TRUE(std::any_of(recorder.phases.begin(), recorder.phases.end(),
                            [](const std::string& p) { return p.starts_with("saturation : "); }));
}

}  // namespace
}  // namespace quarvo
