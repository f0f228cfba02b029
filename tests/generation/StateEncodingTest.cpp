// Canonical encodings: what one engine writes of a state, an engine that named
// everything differently reads back as the same state.
#include <random>
#include <unordered_map>

#include "GenerationTestSupport.h"
#include "ReferenceSemantics.h"
#include "generation/Engine.h"

namespace quarvo {
namespace {

// The first states of a breadth-first exploration in one engine, as terms.
std::vector<TermId> FirstStates(Engine& engine, const Compilation& c, std::size_t most) {
    std::vector<TermId> states{engine.Import(c.rootBehaviour)};
    std::unordered_map<std::uint32_t, std::size_t> seen{{engine.Identity(states[0]), 0}};
    for (std::size_t i = 0; i < states.size() && states.size() < most; ++i) {
        const TermId term = engine.Normalize(states[i]);
        states[i] = term;
        auto take = [&](Transition& t) {
            ActionId action = t.action;
            const TermId next = engine.Successor(term, t, action);
            if (seen.emplace(engine.Identity(next), states.size()).second) states.push_back(next);
            return states.size() < most;
        };
        engine.Enumerate(term, take);
        engine.EndState();
    }
    for (const TermId t : states) engine.Identity(t);
    return states;
}

// Two engines with tables of their own; the second interns names in
// another order first, so that no local id agrees by chance.
struct Pair {
    ActionTable actionsA, actionsB;
    std::unique_ptr<Engine> a, b;
    Pair(StateIdentity identity) {
        for (const char* name : {"Z9", "Y8", "X7", "I_Q"}) actionsB.Intern(Identifier32::FromText(name));
        a = std::make_unique<Engine>(actionsA, identity);
        b = std::make_unique<Engine>(actionsB, identity);
    }
};

void ExpectSameStatesAcrossEngines(const std::string& text) {
    test::Compiled c = test::CompileText(text);
    ASSERT_TRUE(c.ok()) << text;
    const CanonicalProcesses processes(c.outcome.compilation.get());
    for (const GenerationSettings& s : test::Modes(0)) {
        Pair p(StateIdentity{s.semantics, s.cpbrOff});
        // The second engine explores in the same order, so its k-th state is the first's.
        const std::vector<TermId> states = FirstStates(*p.a, c.tree(), 300);
        const std::vector<TermId> mirror = FirstStates(*p.b, c.tree(), 300);
        ASSERT_EQ(states.size(), mirror.size());
        IdentityDictionary toB, fromA;
        std::string bytes;
        ByteWriter w(bytes);
        for (std::size_t i = 0; i < states.size(); ++i) {
            EXPECT_EQ(p.a->CanonicalHash(states[i], processes), p.b->CanonicalHash(mirror[i], processes)) << text;
            p.a->EncodeIdentity(states[i], processes, toB, w);
        }
        // Read back in order, each state by its encoding and its nodes sent before.
        ByteReader r(bytes);
        for (std::size_t i = 0; i < states.size(); ++i)
            ASSERT_EQ(p.b->DecodeIdentity(r, processes, fromA), p.b->Identity(mirror[i])) << i << "\n" << text;
        EXPECT_TRUE(r.AtEnd());
        // Whole terms: made again in the other engine, the same state, moving alike.
        for (std::size_t i = 0; i < states.size(); i += 7) {
            std::string term;
            p.a->EncodeTerm(states[i], processes, term);
            const TermId made = p.b->DecodeTerm(term, processes);
            ASSERT_NE(made, 0u);
            EXPECT_EQ(p.b->Identity(made), p.b->Identity(mirror[i])) << i << "\n" << text;
            // A cut encoding is refused, never half made.
            EXPECT_EQ(p.b->DecodeTerm(std::string_view(term).substr(0, term.size() / 2), processes), 0u);
        }
    }
}

TEST(StateEncoding, ExamplesAreTheSameStatesInAnEngineThatNamesThemOtherwise) {
    for (const std::string& text : test::ExampleTexts()) ExpectSameStatesAcrossEngines(text);
}

TEST(StateEncoding, RandomSpecificationsAreTheSameStatesInAnEngineThatNamesThemOtherwise) {
    std::mt19937 rng(2413);
    for (int i = 0; i < 40; ++i) ExpectSameStatesAcrossEngines(test::RandomSpecification(rng));
}

TEST(StateEncoding, BytesThatAreNoEncodingAreRefused) {
    test::Compiled c = test::CompileText(test::ExampleTexts().front());
    const CanonicalProcesses processes(c.outcome.compilation.get());
    ActionTable actions;
    Engine engine(actions, StateIdentity{});
    IdentityDictionary dictionary;
    for (const std::string& bytes : {std::string(), std::string("\x0E"), std::string("\xFF\x05"),
                                    std::string("\x10\x02\x00\x00"), std::string(40, '\x7F')}) {
        ByteReader r(bytes);
        EXPECT_EQ(engine.DecodeIdentity(r, processes, dictionary), 0u);
        EXPECT_EQ(engine.DecodeTerm(bytes, processes), 0u);
    }
}

}  // namespace
}  // namespace quarvo
