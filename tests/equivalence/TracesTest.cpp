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

TEST(TracesTest, HandPairs) {
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

TEST(TracesTest, StopsWhenAsked) {
    const auto [u, second] = Side(2, {{0, "A", 1}}, 2, {{0, "B", 1}});
    StopNow stop;
    EXPECT_TRUE(CompareTraces(u, 0, second, &stop).stopped);
}

// Random pairs: a distinguishing trace is one, and no shorter one exists
// (every trace up to that length is tried); an equivalence is checked on
// every trace up to a length beyond the systems' size.
TEST(TracesTest, RandomPairsAgainstBruteForce) {
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

}  // namespace
}  // namespace quarvo
