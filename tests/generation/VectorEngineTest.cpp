// The engine on state vectors against the term engine: the same files, byte for byte.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "GenerationTestSupport.h"
#include "ReferenceSemantics.h"

namespace quarvo {
namespace {

std::string AutText(const StemStore& store) {
    std::ostringstream out;
    WriteAut(out, store);
    return out.str();
}

struct Mode {
    const char* name;
    GenerationSettings settings;
};

std::vector<Mode> Modes() {
    return {{"entrelacement", test::Interleaving()}, {"maximalité", GenerationSettings{}}, {"CPBR", test::Cpbr()}};
}

// Generates text with the term engine alone and with the vector engine at
// 1, 2 and 7 threads; every STEM and .aut must be the term engine's.
// Answers how many of the runs were on vectors.
int ExpectSameAsTermEngine(const std::string& text, std::int64_t bound) {
    int onVectors = 0;
    for (const Mode& mode : Modes()) {
        GenerationSettings terms = mode.settings;
        terms.maxStates = bound;
        terms.termsOnly = true;
        terms.threads = 1;
        const auto reference = test::GenerateText(text, terms);
        const std::string stem = reference->Text();
        const std::string aut = AutText(reference->store);
        for (int threads : {1, 2, 7}) {
            GenerationSettings vectors = terms;
            vectors.termsOnly = false;
            vectors.threads = threads;
            const auto g = test::GenerateText(text, vectors);
            onVectors += g->result.onVectors ? 1 : 0;
            const bool same =
                g->Text() == stem && AutText(g->store) == aut && g->messages == reference->messages;
            EXPECT_TRUE(same) << mode.name << ", " << threads << " fils\n" << text << "\n--- termes\n" << stem
                              << "--- vecteurs\n" << g->Text();
            if (!same) return -1;
        }
    }
    return onVectors;
}

TEST(VectorEngine, ExamplesGiveTheTermEnginesFiles) {
    int onVectors = 0;
    for (const std::string& text : test::ExampleTexts()) {
        const int n = ExpectSameAsTermEngine(text, 0);
        ASSERT_GE(n, 0);
        onVectors += n;
    }
    EXPECT_GT(onVectors, 0);
}

TEST(VectorEngine, RandomStructuresGiveTheTermEnginesFiles) {
    std::mt19937 rng(20261210);
    int onVectors = 0;
    for (int i = 0; i < 500; ++i) {
        const int n = ExpectSameAsTermEngine(test::StructuredSpecification(rng), 300);
        ASSERT_GE(n, 0);
        onVectors += n;
    }
    // Every run of a structured root is on vectors.
    EXPECT_EQ(onVectors, 500 * 3 * 3);
}

TEST(VectorEngine, RandomSpecificationsGiveTheTermEnginesFiles) {
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i) ASSERT_GE(ExpectSameAsTermEngine(test::RandomSpecification(rng), 300), 0);
}

}  // namespace
}  // namespace quarvo
