// The OCaml modules against the generator: the alpha-reduced STEM must behave as the generated STEM.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "../frontend/FrontendTestSupport.h"
#include "OcamlTestSupport.h"
#include "frontend/TextFile.h"
#include "generation/Generator.h"
#include "stemio/StemReader.h"

namespace quarvo {
namespace {

// The actions of a set, sorted: what a renaming of event names keeps.
std::string Actions(const StemStore& stem, EventSetRef set) {
    std::vector<std::string> names;
    for (const TEventEntry e : set) names.push_back(stem.actions.Text(e.Action));
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& n : names) text += n + ",";
    return text;
}

// Whether the initial states of two STEMs are strongly bisimilar, a state
// being seen through the actions of its maximal events and an arc through its
// action and the actions of its causes. Naive partition refinement over the
// disjoint union; the STEMs here are small.
bool Bisimilar(const StemStore& a, const StemStore& b) {
    struct Node {
        std::string label;
        std::vector<std::pair<std::string, std::size_t>> arcs;
    };
    std::vector<Node> nodes;
    auto add = [&nodes](const StemStore& stem) {
        const std::size_t base = nodes.size();
        for (const StateView s : stem.States()) {
            Node n;
            n.label = Actions(stem, s.Events);
            for (const ArcView arc : s.Arcs)
                n.arcs.emplace_back(stem.actions.Text(arc.Action) + "/" + Actions(stem, arc.Causes),
                                    base + static_cast<std::size_t>(stem.IndexOf(arc.Target)));
            nodes.push_back(std::move(n));
        }
        return base;
    };
    const std::size_t ia = add(a), ib = add(b);
    std::vector<std::size_t> block(nodes.size(), 0);
    std::size_t blocks = 0;
    for (;;) {
        std::map<std::pair<std::size_t, std::set<std::pair<std::string, std::size_t>>>, std::size_t> ids;
        std::map<std::string, std::size_t> labels;
        std::vector<std::size_t> next(nodes.size());
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            std::set<std::pair<std::string, std::size_t>> moves;
            for (const auto& [label, target] : nodes[i].arcs) moves.emplace(label, block[target]);
            std::size_t first = blocks == 0 ? labels.emplace(nodes[i].label, labels.size()).first->second : block[i];
            next[i] = ids.emplace(std::make_pair(first, std::move(moves)), ids.size()).first->second;
        }
        const bool stable = ids.size() == blocks;
        block = std::move(next);
        blocks = ids.size();
        if (stable) break;
    }
    return block[ia] == block[ib];
}

StemStore Generated(const std::string& text) {
    test::Compiled compiled = test::CompileText(text);
    EXPECT_TRUE(compiled.ok()) << text;
    StemStore stem;
    GenerateStem(compiled.outcome.compilation, GenerationSettings{}, stem);
    return stem;
}

TEST(Bisimilarity, SeesActionsCausesAndMaximalEvents) {
    const StemStore interleaving = Generated("SYSTEM S [A, B] := A; NIL ||| B; NIL ENDSYS");
    EXPECT_TRUE(Bisimilar(interleaving, interleaving));
    EXPECT_TRUE(Bisimilar(interleaving, Generated("SYSTEM S [A, B] := B; NIL ||| A; NIL ENDSYS")));
    // The same traces, but the second action waits for the first.
    EXPECT_FALSE(Bisimilar(interleaving, Generated("SYSTEM S [A, B] := A; B; NIL [] B; A; NIL ENDSYS")));
    EXPECT_FALSE(Bisimilar(Generated("SYSTEM S [A] := A; NIL ENDSYS"), Generated("SYSTEM S [A] := A; A; NIL ENDSYS")));
}

struct Spec {
    const char* name;
    std::string text;
};

std::string ExampleText(const std::string& name) {
    TextFileResult file = ReadTextFile(std::string(QUARVO_SOURCE_DIR) + "/examples/" + name + ".LOT");
    std::string text;
    for (const std::string& line : file.lines) text += line + "\n";
    return text;
}

std::vector<Spec> Specs() {
    std::vector<Spec> specs;
    for (const char* name : {"BUFFER", "MUTEX", "OPERATORS", "PHILO", "PROTOCOL"}) specs.push_back({name, ExampleText(name)});
    const std::pair<const char*, const char*> small[] = {
        {"Interleaving", "SYSTEM S [A, B] := A; NIL ||| B; NIL ENDSYS"},
        {"Enabling", "SYSTEM S [A, B] := A; EXIT >> B; NIL ENDSYS"},
        {"Disabling", "SYSTEM S [A, B] := A; NIL [> B; NIL ENDSYS"},
        {"CompetingPartners", "SYSTEM S [X, Y, Z] := (X; NIL ||| Y; NIL ||| X; Z; NIL) |[X, Y]| (Y; NIL [] X; NIL) ENDSYS"},
        {"ThreeWay", "SYSTEM S [X, Y, Z] := X; NIL |[X]| ((X; Y; NIL [] X; Z; NIL) |[X]| X; NIL) ENDSYS"},
        {"HiddenNeverSynchronises", "SYSTEM S [X, Y] := X; NIL |[X]| (Y; NIL ||| (HIDE X IN X; NIL)) ENDSYS"},
        {"EnablingStepNeverSynchronises", "SYSTEM S [X, Y] := EXIT ||| ((EXIT ||| X; EXIT) >> Y; NIL) ENDSYS"},
        {"DisablingAfterEnabling", "SYSTEM S [X, Y, Z] := (X; EXIT >> Y; NIL) [> Z; NIL ENDSYS"},
        {"UserGateNamedLikeHidden", "SYSTEM S [X, I_X] := I_X; NIL |[I_X]| (HIDE X IN X; NIL) ENDSYS"},
        {"DisablingStripsTheRightOperand", "SYSTEM S [P, Q, R] := P; (Q; NIL [> (R; NIL ||| R; NIL)) ENDSYS"},
        {"ConcurrentRepeats", "SYSTEM S [A] := A; (A; NIL ||| A; NIL) ENDSYS"},
        {"HiddenBesideVisible", "SYSTEM S [A, H] := (HIDE H IN H; NIL) ||| A; NIL ENDSYS"},
        {"Recursion",
         "SYSTEM S [A, B] := P [A] ||| P [B] WHERE PROCESS P [X] := X; P [X] ENDPROC ENDSYS"},
        {"UnguardedRecursion",
         "SYSTEM S [A] := P [A] WHERE PROCESS P [X] := P [X] [] X; NIL ENDPROC ENDSYS"},
        {"NestedHiding", "SYSTEM S [A, B] := HIDE A IN (HIDE B IN A; B; NIL) ||| A; EXIT ENDSYS"},
        {"HiddenEnabling", "SYSTEM S [A, B] := HIDE A IN ((A; EXIT ||| B; EXIT) >> (A; NIL [> B; NIL)) ENDSYS"},
        {"HiddenGateNamedLikeAnActual",
         "SYSTEM S [B] := P [B] |[B]| B; NIL WHERE PROCESS P [A] := HIDE B IN A; B; P [A] ENDPROC ENDSYS"},
        {"HiddenFormal", "SYSTEM S [C] := P [C] WHERE PROCESS P [A] := (HIDE A IN A; NIL) ||| A; NIL ENDPROC ENDSYS"},
    };
    for (const auto& [name, text] : small) specs.push_back({name, text});
    return specs;
}

class AlphaReducedStem : public testing::TestWithParam<Spec> {
protected:
    void SetUp() override {
        std::string why = test::ChainUnavailable();
        if (!why.empty()) GTEST_SKIP() << why;
    }
};

TEST_P(AlphaReducedStem, ReadsBackAndBehavesAsTheGeneratedStem) {
    test::Compiled compiled = test::CompileText(GetParam().text);
    ASSERT_TRUE(compiled.ok()) << GetParam().text;

    ToolChain chain(test::BuiltModuleDirectory(), test::FreshWorkDirectory());
    ASSERT_TRUE(test::Succeeded(
        chain.Produce(compiled.outcome.compilation.get(), OcamlOutput::AlphaReduced, OcamlFormat::Stem)));
    TextFileResult text = ReadTextFile(chain.PathOf("Sortie.txt"));
    ASSERT_TRUE(test::Succeeded(text.status));
    VectorLineSource lines(text.lines);
    StemReadResult alpha = ReadClassicStem(lines);
    ASSERT_TRUE(test::Succeeded(alpha.status));
    EXPECT_EQ(alpha.declaredStateCount, static_cast<std::int32_t>(alpha.stem.StateCount()));

    StemStore generated;
    GenerationResult result = GenerateStem(compiled.outcome.compilation, GenerationSettings{}, generated);
    ASSERT_FALSE(result.interrupted);

    EXPECT_TRUE(Bisimilar(generated, alpha.stem));
    // Every arc waits only for maximal events of its source, and its own
    // occurrence is maximal in its target.
    for (const StateView s : alpha.stem.States()) {
        for (const ArcView arc : s.Arcs) {
            for (const TEventEntry& cause : arc.Causes)
                EXPECT_TRUE(std::find(s.Events.begin(), s.Events.end(), cause) != s.Events.end()) << s.Number;
            const std::optional<StateView> target = alpha.stem.FindState(arc.Target);
            ASSERT_TRUE(target.has_value());
            EXPECT_TRUE(Contains(target->Events, arc.Event)) << s.Number << " -> " << arc.Target;
        }
    }
    // Renaming only merges states.
    EXPECT_LE(alpha.stem.StateCount(), generated.StateCount());
    RecordProperty("generated_states", static_cast<int>(generated.StateCount()));
    RecordProperty("alpha_states", static_cast<int>(alpha.stem.StateCount()));
}

INSTANTIATE_TEST_SUITE_P(Specifications, AlphaReducedStem, testing::ValuesIn(Specs()),
                         [](const testing::TestParamInfo<Spec>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quarvo
