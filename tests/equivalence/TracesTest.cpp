#include <gtest/gtest.h>

#include <functional>

#include "equivalence/Traces.h"
#include "TestSystems.h"

namespace quarvo {
namespace {

using testing::ArcList;
using testing::MakeLts;

// The two systems side by side; returns the union and the second's initial state.
std::pair<Lts, std::uint32_t> Side(std::uint32_t n1, const ArcList& a, std::uint32_t n2, const ArcList& b) {
    const Lts first = MakeLts(n1, a);
    return {DisjointUnion(first, MakeLts(n2, b)), n1};
}

std::vector<std::string> Names(const Lts& lts, const std::vector<std::uint32_t>& labels) {
    std::vector<std::string> names;
    for (std::uint32_t l : labels) names.push_back(lts.labels[l]);
    return names;
}

using Search = TraceDifference (*)(const Lts&, std::uint32_t, std::uint32_t, Progress*);

TraceDifference ByAntichains(const Lts& lts, std::uint32_t first, std::uint32_t second, Progress* progress) {
    return CompareTracesByAntichains(lts, first, second, progress);
}

class TracesTest : public ::testing::TestWithParam<Search> {
protected:
    TraceDifference CompareTraces(const Lts& lts, std::uint32_t first, std::uint32_t second,
                                  Progress* progress = nullptr) {
        return GetParam()(lts, first, second, progress);
    }
};

INSTANTIATE_TEST_SUITE_P(BothSearches, TracesTest,
                         ::testing::Values(Search(&quarvo::CompareTraces), Search(&ByAntichains)),
                         [](const ::testing::TestParamInfo<Search>& info) {
                             return info.index == 0 ? std::string("Subsets") : std::string("Antichains");
                         });

TEST_P(TracesTest, HandPairs) {
    {  // A; (B; NIL [] C; NIL) and A; B; NIL [] A; C; NIL: same traces
        const auto [u, second] = Side(4, {{0, "A", 1}, {1, "B", 2}, {1, "C", 3}}, 5,
                                      {{0, "A", 1}, {0, "A", 2}, {1, "B", 3}, {2, "C", 4}});
        EXPECT_TRUE(CompareTraces(u, 0, second).equivalent);
    }
    {  // A; I; B; NIL and A; B; NIL: internal actions are not seen
        const auto [u, second] = Side(4, {{0, "A", 1}, {1, "I", 2}, {2, "B", 3}}, 3, {{0, "A", 1}, {1, "B", 2}});
        EXPECT_TRUE(CompareTraces(u, 0, second).equivalent);
    }
    {  // an internal loop and a deadlock
        const auto [u, second] = Side(1, {{0, "I", 0}}, 1, {});
        EXPECT_TRUE(CompareTraces(u, 0, second).equivalent);
    }
    {  // A; B and A; C: after A, B comes first by name
        const auto [u, second] = Side(3, {{0, "A", 1}, {1, "B", 2}}, 3, {{0, "A", 1}, {1, "C", 2}});
        const TraceDifference d = CompareTraces(u, 0, second);
        EXPECT_FALSE(d.equivalent);
        EXPECT_EQ(Names(u, d.trace), (std::vector<std::string>{"A", "B"}));
        EXPECT_TRUE(d.traceOfFirst);
    }
    {  // the shorter difference wins over the deeper one
        const auto [u, second] =
            Side(4, {{0, "A", 1}, {1, "A", 2}, {2, "B", 3}, {0, "C", 0}}, 5,
                 {{0, "A", 1}, {1, "A", 2}, {2, "C", 3}, {0, "C", 4}, {4, "D", 4}});
        const TraceDifference d = CompareTraces(u, 0, second);
        EXPECT_EQ(Names(u, d.trace), (std::vector<std::string>{"C", "A"}));
        EXPECT_TRUE(d.traceOfFirst);
    }
    {  // a difference behind internal actions only
        const auto [u, second] = Side(3, {{0, "I", 1}, {1, "I", 2}, {2, "A", 2}}, 1, {});
        const TraceDifference d = CompareTraces(u, 0, second);
        EXPECT_EQ(Names(u, d.trace), (std::vector<std::string>{"A"}));
        EXPECT_TRUE(d.traceOfFirst);
    }
}

class StopNow : public Progress {
public:
    bool StopRequested() override { return true; }
};

TEST_P(TracesTest, StopsWhenAsked) {
    const auto [u, second] = Side(2, {{0, "A", 1}}, 2, {{0, "B", 1}});
    StopNow stop;
    EXPECT_TRUE(CompareTraces(u, 0, second, &stop).stopped);
}

// Random pairs: a distinguishing trace is one, and no shorter one exists
// (every trace up to that length is tried); an equivalence is checked on
// every trace up to a length beyond the systems' size.
TEST_P(TracesTest, RandomPairsAgainstBruteForce) {
    std::mt19937 rng(20261208);
    const std::vector<std::string> names{"A", "B"};
    int differing = 0;
    for (int round = 0; round < 300; ++round) {
        const std::uint32_t n1 = 1 + rng() % 4, n2 = 1 + rng() % 4;
        const auto [u, second] = Side(n1, testing::RandomArcs(rng, n1, 0.25, false), n2,
                                      testing::RandomArcs(rng, n2, 0.25, false));
        const TraceDifference d = CompareTraces(u, 0, second);
        ASSERT_FALSE(d.stopped);
        const std::size_t bound = d.equivalent ? 7 : d.trace.size() - 1;
        std::vector<std::string> trace;
        // Every trace up to `bound` long: the same for both.
        std::function<void()> visit = [&] {
            const bool one = testing::HasTrace(u, 0, trace), other = testing::HasTrace(u, second, trace);
            ASSERT_EQ(one, other) << "round " << round << " trace length " << trace.size();
            if (!one || trace.size() == bound) return;
            for (const std::string& name : names) {
                trace.push_back(name);
                visit();
                trace.pop_back();
            }
        };
        visit();
        if (!d.equivalent) {
            ++differing;
            const std::vector<std::string> found = Names(u, d.trace);
            EXPECT_EQ(testing::HasTrace(u, 0, found), d.traceOfFirst) << "round " << round;
            EXPECT_EQ(testing::HasTrace(u, second, found), !d.traceOfFirst) << "round " << round;
        }
    }
    EXPECT_GT(differing, 100);
}

// The antichains against the subset construction on random pairs with
// internal cycles: the same verdict, the same trace, the same side.
TEST(TracesAntichainTest, AgreesWithSubsetConstruction) {
    std::mt19937 rng(20261209);
    int differing = 0;
    for (int round = 0; round < 400; ++round) {
        const std::uint32_t n1 = 1 + rng() % 6, n2 = 1 + rng() % 6;
        const double density = 0.08 + 0.04 * (round % 5);
        const auto [u, second] = Side(n1, testing::RandomArcs(rng, n1, density, round % 2 == 0), n2,
                                      testing::RandomArcs(rng, n2, density, round % 3 == 0));
        const TraceDifference subsets = CompareTraces(u, 0, second);
        const TraceDifference antichains = CompareTracesByAntichains(u, 0, second);
        ASSERT_FALSE(antichains.stopped || antichains.tooLarge) << round;
        ASSERT_EQ(antichains.equivalent, subsets.equivalent) << "round " << round;
        if (subsets.equivalent) continue;
        ++differing;
        EXPECT_EQ(antichains.trace.size(), subsets.trace.size()) << "round " << round;
        EXPECT_EQ(Names(u, antichains.trace), Names(u, subsets.trace)) << "round " << round;
        EXPECT_EQ(antichains.traceOfFirst, subsets.traceOfFirst) << "round " << round;
    }
    EXPECT_GT(differing, 150);
    EXPECT_LT(differing, 390);
}

// (A|B)* A (A|B)^n, then C: the subsets of the first system after a trace
// remember its last n + 1 actions, 2^(n+1) of them; the second has no C. The
// antichains hold a few pairs per state, and find the same trace.
TEST(TracesAntichainTest, StopsEarlyWhereSubsetsExplode) {
    const std::uint32_t n = 12;
    ArcList a{{0, "A", 0}, {0, "B", 0}, {0, "A", 1}, {n + 1, "C", n + 1}};
    for (std::uint32_t i = 1; i <= n; ++i) {
        a.emplace_back(i, "A", i + 1);
        a.emplace_back(i, "B", i + 1);
    }
    const auto [u, second] = Side(n + 2, a, 1, {{0, "A", 0}, {0, "B", 0}});
    const TraceDifference antichains = CompareTracesByAntichains(u, 0, second);
    ASSERT_FALSE(antichains.equivalent);
    EXPECT_TRUE(antichains.traceOfFirst);
    std::vector<std::string> expected(n + 1, "A");
    expected.push_back("C");
    EXPECT_EQ(Names(u, antichains.trace), expected);
    const TraceDifference subsets = CompareTraces(u, 0, second);
    EXPECT_EQ(Names(u, subsets.trace), expected);
    EXPECT_GT(subsets.explored, std::int64_t{1} << n);
    EXPECT_LT(antichains.explored, std::int64_t{10} * (n + 3));
    // The other way round: the second's traces are all the first's.
    const TraceDifference back = CompareTracesByAntichains(u, second, 0);
    EXPECT_FALSE(back.traceOfFirst);
    EXPECT_EQ(Names(u, back.trace), expected);
}

TEST(TracesAntichainTest, StopsPastTheMemoryAllowed) {
    const auto [u, second] = Side(2, {{0, "A", 1}}, 2, {{0, "B", 1}});
    const TraceDifference d = CompareTracesByAntichains(u, 0, second, nullptr, 1024 * 1024);
    EXPECT_TRUE(d.tooLarge);
    EXPECT_FALSE(d.equivalent);
    EXPECT_TRUE(d.trace.empty());
}

}  // namespace
}  // namespace quarvo
