// A successor's identity told before the successor is made is the identity
// of the successor once made, with the same action; and it is told for the
// compositions the benchmarks and the examples are made of.
#include <deque>
#include <random>
#include <set>

#include "GenerationTestSupport.h"
#include "ReferenceSemantics.h"
#include "generation/Engine.h"

namespace quarvo {
namespace {

struct ProbeCount {
    std::size_t probed = 0;
    std::size_t known = 0;  // arcs to a state made before: the ones a probe can tell
};

// Explores up to maxStates states breadth first, probing every transition
// before making its successor.
ProbeCount ExpectProbesAgree(const std::string& text, std::size_t maxStates, StateIdentity mode = {Semantics::Interleaving, true}) {
    ProbeCount count;
    test::Compiled c = test::CompileText(text);
    EXPECT_TRUE(c.ok()) << text;
    if (!c.ok()) return count;
    ActionTable actions;
    Engine engine(actions, mode);
    std::deque<TermId> queue{engine.Import(c.outcome.compilation->rootBehaviour)};
    std::set<std::uint32_t> seen{engine.Identity(queue.front())};
    while (!queue.empty() && seen.size() < maxStates) {
        const TermId term = engine.Normalize(queue.front());
        queue.pop_front();
        std::vector<TermId> next;
        auto take = [&](Transition& t) {
            ActionId probedAction = t.action;
            const std::uint32_t probed = engine.ProbeIdentity(term, t, probedAction);
            ActionId action = t.action;
            const TermId successor = engine.Successor(term, t, action);
            const std::uint32_t identity = engine.Identity(successor);
            if (probed) {
                ++count.probed;
                EXPECT_EQ(probed, identity) << text;
                EXPECT_EQ(probedAction, action) << text;
            }
            if (seen.insert(identity).second) next.push_back(successor);
            else ++count.known;
            return true;
        };
        engine.Enumerate(term, take);
        engine.EndState();
        queue.insert(queue.end(), next.begin(), next.end());
    }
    return count;
}

TEST(Probe, AgreesWithTheSuccessorMadeOnTheExamplesAndRandomSpecifications) {
    ProbeCount total;
    for (const std::string& text : test::ExampleTexts()) {
        const ProbeCount c = ExpectProbesAgree(text, 3000);
        total.probed += c.probed;
        total.known += c.known;
    }
    std::mt19937 rng(20261210);
    for (int i = 0; i < 300; ++i) {
        const std::string text = test::RandomSpecification(rng);
        for (const StateIdentity mode : {StateIdentity{Semantics::Interleaving, true},
                                         StateIdentity{Semantics::Maximality, true},
                                         StateIdentity{Semantics::Maximality, false}})
            ExpectProbesAgree(text, 200, mode);
    }
    for (const std::string& text : test::ExampleTexts()) {
        ExpectProbesAgree(text, 3000, StateIdentity{Semantics::Maximality, true});
        ExpectProbesAgree(text, 3000, StateIdentity{Semantics::Maximality, false});
    }
    // Most examples are compositions under hidings: many arcs to known states are probed.
    EXPECT_GE(total.probed * 5, total.known * 2);
}

TEST(Probe, TellsEveryArcToAKnownStateOfIndependentProcesses) {
    std::string body, gates;
    for (int i = 0; i < 6; ++i) {
        gates += (i ? ", A" : "A") + std::to_string(i) + ", B" + std::to_string(i);
        body += (i ? " ||| A" : "A") + std::to_string(i) + "; B" + std::to_string(i) + "; EXIT";
    }
    const ProbeCount independent = ExpectProbesAgree("SYSTEM S [" + gates + "] := " + body + " ENDSYS", 100000);
    // Under maximality too (the moves are of one operand).
    EXPECT_EQ(independent.probed, independent.known);
    EXPECT_GT(independent.known, 1000u);
    const std::string text = "SYSTEM S [" + gates + "] := " + body + " ENDSYS";
    const ProbeCount stem = ExpectProbesAgree(text, 100000, StateIdentity{Semantics::Maximality, true});
    // Nearly all: a probe may always decline, the successor is then made.
    EXPECT_GE(stem.probed * 100, stem.known * 99);
    EXPECT_GT(stem.known, 1000u);
}

}  // namespace
}  // namespace quarvo
