// The tree table of state vectors: one root per vector, the vector back from
// its root, a changed slot re-interned alone, and threads filling it at once.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <thread>

#include "generation/GrowingArray.h"
#include "generation/vector/TreeTable.h"
#include "generation/vector/VectorStates.h"

namespace quarvo {
namespace {

std::vector<std::uint32_t> RandomVector(std::mt19937& rng, std::uint32_t width, std::uint32_t values) {
    std::vector<std::uint32_t> v(width);
    for (std::uint32_t& x : v) x = rng() % values;
    return v;
}

TEST(TreeTable, EachVectorHasOneRootAndComesBackFromIt) {
    for (std::uint32_t width : {1u, 2u, 3u, 5u, 8u, 13u}) {
        PairTable inner(16), roots(16);
        VectorTree tree(inner, roots, width);
        std::mt19937 rng(width);
        std::map<std::vector<std::uint32_t>, std::uint32_t> seen;
        std::set<std::uint32_t> rootsGiven;
        std::vector<std::uint32_t> values;
        for (int i = 0; i < 3000; ++i) {
            const std::vector<std::uint32_t> v = RandomVector(rng, width, 4);
            bool fresh = false;
            const std::uint32_t root = tree.Intern(v.data(), values, fresh);
            ASSERT_NE(root, PairTable::Full);
            const auto [it, inserted] = seen.try_emplace(v, root);
            EXPECT_EQ(fresh, inserted) << "width " << width;
            EXPECT_EQ(it->second, root) << "width " << width;
            if (inserted) {
                EXPECT_TRUE(rootsGiven.insert(root).second) << "two vectors share a root, width " << width;
            }
            EXPECT_EQ(tree.Find(v.data()), root);
            std::vector<std::uint32_t> back(width);
            tree.Slots(root, back.data());
            EXPECT_EQ(back, v);
        }
        // A vector never interned is not found.
        std::vector<std::uint32_t> other(width, 7);
        EXPECT_EQ(tree.Find(other.data()), PairTable::Full);
    }
}

TEST(TreeTable, AChangedSlotGivesTheRootOfTheWholeNewVector) {
    for (std::uint32_t width : {1u, 2u, 3u, 4u, 7u, 12u, 17u}) {
        PairTable inner(16), roots(16);
        VectorTree tree(inner, roots, width);
        std::mt19937 rng(100 + width);
        std::vector<std::uint32_t> values, check;
        for (int i = 0; i < 500; ++i) {
            const std::vector<std::uint32_t> source = RandomVector(rng, width, 5);
            bool fresh = false;
            ASSERT_NE(tree.Intern(source.data(), values, fresh), PairTable::Full);
            for (std::uint32_t slot = 0; slot < width; ++slot) {
                const std::uint32_t value = rng() % 5;
                std::vector<std::uint32_t> changed = source;
                changed[slot] = value;
                const std::uint32_t known = tree.Find(changed.data());
                // Sought by the pair at its root: the same answer, and no
                // pair when one below the root is missing.
                std::uint32_t place = 0;
                const std::uint64_t pair = tree.RootPairChanged(source.data(), values, slot, value, place);
                EXPECT_EQ(pair == VectorTree::NoRoot ? PairTable::Full : tree.FindRoot(pair), known);
                EXPECT_EQ(tree.FindChanged(source.data(), values, slot, value), known);
                bool changedFresh = false;
                const std::uint32_t root = tree.InternChanged(source.data(), values, slot, value, changedFresh);
                EXPECT_EQ(changedFresh, known == PairTable::Full);
                bool again = true;
                EXPECT_EQ(tree.Intern(changed.data(), check, again), root);
                EXPECT_FALSE(again);
            }
        }
    }
}

// A vector that differs from a known one in a few slots is found (or not)
// along their paths alone, exactly as a whole lookup finds it; and the state
// table that grows keeps every key naming its state.
TEST(TreeTable, SeveralChangedSlotsAreLookedUpAsTheWholeVector) {
    for (std::uint32_t width : {2u, 3u, 7u, 12u, 23u}) {
        PairTable inner(16), roots(16);
        VectorTree tree(inner, roots, width);
        std::mt19937 rng(width + 100);
        std::vector<std::vector<std::uint32_t>> known;
        std::vector<std::uint32_t> scratch;
        for (int i = 0; i < 500; ++i) {
            known.push_back(RandomVector(rng, width, 3));
            bool isNew = false;
            tree.Intern(known.back().data(), scratch, isNew);
        }
        for (int i = 0; i < 2000; ++i) {
            const std::vector<std::uint32_t>& base = known[rng() % known.size()];
            std::vector<std::uint32_t> baseInner;
            ASSERT_NE(tree.Find(base.data(), baseInner), PairTable::Full);
            std::vector<std::uint32_t> v = base;
            std::set<std::uint32_t> changed;
            for (std::uint32_t k = rng() % 4; k > 0; --k) {
                const std::uint32_t slot = rng() % width;
                v[slot] = rng() % 3;
                changed.insert(slot);
            }
            const std::vector<std::uint32_t> slots(changed.begin(), changed.end());
            std::vector<std::uint32_t> work = baseInner;
            EXPECT_EQ(tree.FindChanges(v.data(), work, slots.data(), slots.size()), tree.Find(v.data()));
        }
    }
}

TEST(TreeTable, TheStatesOfAGrowingTableKeepTheirNumbers) {
    VectorStates states(5, 4);
    std::mt19937 rng(5);
    std::map<std::vector<std::uint32_t>, std::int64_t> numbers;
    for (int i = 0; i < 20000; ++i) {
        const std::vector<std::uint32_t> key = RandomVector(rng, 5, 20);
        if (numbers.count(key)) continue;
        ASSERT_EQ(states.Find(key.data()), -1);
        const auto n = static_cast<std::int64_t>(numbers.size());
        numbers[key] = n;
        states.Add(key.data());
    }
    EXPECT_GT(states.Epoch(), 0u);
    for (const auto& [key, n] : numbers) EXPECT_EQ(states.Find(key.data()), n);
    // A key that changes: the old one names the state no more, unless an earlier state holds it.
    const auto first = numbers.begin();
    const auto second = std::next(first);
    states.Rekey(second->second, first->first.data());
    EXPECT_EQ(states.Find(second->first.data()), -1);
    EXPECT_EQ(states.Find(first->first.data()), std::min(first->second, second->second));
}

// Arrays that grow past the size where they become mappings of their own
// keep every record, as copies and moves do.
TEST(TreeTable, GrowingArraysKeepTheirRecordsAcrossEveryGrowth) {
    GrowingArray<std::uint64_t> a;
    for (std::uint64_t i = 0; i < 600000; ++i) a.push_back(i * 7);
    std::vector<std::uint64_t> tail(1000);
    for (std::size_t i = 0; i < tail.size(); ++i) tail[i] = i;
    a.append(tail);
    ASSERT_EQ(a.size(), 601000u);
    for (std::uint64_t i = 0; i < 600000; ++i) ASSERT_EQ(a[i], i * 7);
    GrowingArray<std::uint64_t> b = a;
    GrowingArray<std::uint64_t> c = std::move(a);
    EXPECT_EQ(b.size(), c.size());
    EXPECT_EQ(b[599999], c[599999]);
    EXPECT_EQ(c[600999], 999u);
    b.resize(10);
    EXPECT_EQ(b.size(), 10u);
    b.release();
    EXPECT_TRUE(b.empty());
}

TEST(TreeTable, ThreadsInterningAtOnceAgreeOnEveryRoot) {
    constexpr std::uint32_t width = 9;
    PairTable inner(18), roots(18);
    VectorTree tree(inner, roots, width);
    constexpr int threads = 4, perThread = 20000;
    std::vector<std::vector<std::uint32_t>> rootsOf(threads);
    std::vector<int> freshOf(threads, 0);
    std::vector<std::thread> crew;
    for (int t = 0; t < threads; ++t)
        crew.emplace_back([&, t] {
            std::mt19937 rng(7);  // the same vectors in every thread, in the same order
            std::vector<std::uint32_t> values;
            for (int i = 0; i < perThread; ++i) {
                const std::vector<std::uint32_t> v = RandomVector(rng, width, 3);
                bool fresh = false;
                rootsOf[t].push_back(tree.Intern(v.data(), values, fresh));
                freshOf[t] += fresh;
            }
        });
    for (std::thread& t : crew) t.join();
    std::mt19937 rng(7);
    std::set<std::vector<std::uint32_t>> distinct;
    for (int i = 0; i < perThread; ++i) distinct.insert(RandomVector(rng, width, 3));
    for (int t = 1; t < threads; ++t) EXPECT_EQ(rootsOf[t], rootsOf[0]);
    int fresh = 0;
    for (int f : freshOf) fresh += f;
    EXPECT_EQ(fresh, static_cast<int>(distinct.size()));  // each vector is new to exactly one thread
}

TEST(TreeTable, AFullTableSaysSoAndKeepsWhatItHolds) {
    PairTable inner(4), roots(4);  // 16 cells, 14 usable
    VectorTree tree(inner, roots, 2);
    std::vector<std::uint32_t> values;
    std::vector<std::uint32_t> held;
    bool full = false;
    for (std::uint32_t i = 0; i < 40 && !full; ++i) {
        const std::uint32_t v[2] = {i, i + 1};
        bool fresh = false;
        const std::uint32_t root = tree.Intern(v, values, fresh);
        if (root == PairTable::Full) full = true;
        else held.push_back(i);
    }
    EXPECT_TRUE(full);
    EXPECT_EQ(held.size(), 14u);
    for (std::uint32_t i : held) {
        const std::uint32_t v[2] = {i, i + 1};
        EXPECT_NE(tree.Find(v), PairTable::Full);
    }
}

}  // namespace
}  // namespace quarvo
