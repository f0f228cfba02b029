// Chains of one parallel operator as single nodes: a move costs the same
// whatever the width of the chain, and the events stay those of the nested
// compositions.
#include <random>
#include <string>

#include "GenerationTestSupport.h"
#include "generation/Engine.h"
#include "generation/EventPool.h"
#include "generation/StemWriter.h"

namespace quarvo {
namespace {

std::string Independent(int n, const std::string& op) {
    std::string gates, body;
    for (int i = 0; i < n; ++i) {
        gates += (i ? ",\n A" : "A") + std::to_string(i) + ", B" + std::to_string(i);
        body += (i ? "\n" + op + " A" : "A") + std::to_string(i) + "; B" + std::to_string(i) + "; EXIT";
    }
    return "SYSTEM S [" + gates + "] :=\n" + body + "\nENDSYS\n";
}

// Nodes the engine makes for the successor by the last transition of the
// initial state (a move of the chain's last operand), under semantics.
std::uint32_t NodesForOneMove(const std::string& text, Semantics semantics) {
    test::Compiled c = test::CompileText(text);
    EXPECT_TRUE(c.ok()) << text;
    ActionTable actions;
    Engine engine(actions, StateIdentity{semantics, true});
    const TermId root = engine.Normalize(engine.Import(c.outcome.compilation->rootBehaviour));
    engine.Identity(root);
    std::uint32_t made = 0;
    std::size_t count = 0;
    auto take = [&](Transition& t) {
        ++count;
        engine.Mark();
        const std::uint32_t before = engine.TermCount();
        ActionId action = t.action;
        const TermId next = engine.Successor(root, t, action);
        engine.Identity(next);
        made = engine.TermCount() - before;
        engine.Rollback();
        return true;
    };
    engine.Enumerate(root, take);
    engine.EndState();
    return made;
}

TEST(FlatComposition, AMoveMakesAsManyNodesInAWideChainAsInANarrowOne) {
    for (const std::string op : {"|||", "|[A0]|"}) {
        for (Semantics semantics : {Semantics::Interleaving, Semantics::Maximality}) {
            const std::uint32_t narrow = NodesForOneMove(Independent(3, op), semantics);
            const std::uint32_t wide = NodesForOneMove(Independent(200, op), semantics);
            EXPECT_GT(narrow, 0u);
            EXPECT_EQ(narrow, wide) << op;
        }
    }
}

TEST(FlatComposition, TheTransitionsOfAChainAreThoseOfTheNestedCompositions) {
    // Written nested or as one chain, a composition has the same states, arcs and events.
    const std::string chain =
        "SYSTEM S [A, B, C] :=\n B; (A; C; EXIT |[A]| (A; EXIT ||| C; EXIT) |[A]| A; B; EXIT |[A]| A; EXIT)\nENDSYS\n";
    const std::string nested =
        "SYSTEM S [A, B, C] :=\n B; (((A; C; EXIT |[A]| (A; EXIT ||| C; EXIT)) |[A]| A; B; EXIT) |[A]| A; EXIT)\nENDSYS\n";
    for (const GenerationSettings& settings : {GenerationSettings{}, test::Cpbr(), test::Interleaving()}) {
        auto a = test::GenerateText(chain, settings);
        auto b = test::GenerateText(nested, settings);
        EXPECT_EQ(a->store.StemStateCount, b->store.StemStateCount);
        EXPECT_EQ(ClassicStemText(a->store, a->store.StemStateCount), ClassicStemText(b->store, b->store.StemStateCount));
    }
}

// The union that replaces one operand's entries, against a removal and a union.
TEST(FlatComposition, ReplacingEntriesIsARemovalThenAUnion) {
    SequenceTable sequences;
    EventPool pool(sequences);
    std::mt19937 rng(7);
    auto randomSet = [&](std::uint32_t names) {
        std::uint32_t mask = 0;
        ActionId actions[32];
        std::size_t n = 0;
        for (int e = 1; e <= 30; ++e) {
            if (!(names & (1u << e)) || rng() % 2) continue;
            mask |= 1u << e;
            actions[n++] = static_cast<ActionId>(rng() % 4);
        }
        return pool.Make(mask, actions);
    };
    for (int i = 0; i < 2000; ++i) {
        const SetId s = randomSet(EventPool::NameBits);
        // Removed names may come back with other actions; the names kept may not.
        const std::uint32_t remove = static_cast<std::uint32_t>(rng()) & pool.Mask(s);
        const SetId add = randomSet(~(pool.Mask(s) & ~remove) & EventPool::NameBits);
        EXPECT_EQ(pool.Replace(s, remove, add), pool.Union(pool.Without(s, remove), add));
    }
}

}  // namespace
}  // namespace quarvo
