// The shared-term engine against the former engine over copied terms: the
// same STEM, state by state and arc by arc, under the three state identities.
#include <filesystem>
#include <random>

#include "GenerationTestSupport.h"
#include "ReferenceSemantics.h"
#include "frontend/TextFile.h"

namespace quarvo {
namespace {

std::vector<GenerationSettings> Identities() {
    GenerationSettings max, cpbr, inter;
    cpbr.cpbrOff = false;
    inter.semantics = Semantics::Interleaving;
    return {max, cpbr, inter};
}

// Compares the two engines on text; a bound keeps infinite systems finite,
// and only systems the former engine explored whole are compared.
int ExpectSameAsFormerEngine(const std::string& text, std::int64_t bound) {
    int compared = 0;
    test::Compiled c = test::CompileText(text);
    EXPECT_TRUE(c.ok()) << text;
    if (!c.ok()) return 0;
    for (GenerationSettings settings : Identities()) {
        settings.maxStates = bound;
        StemStore former;
        VectorMessageSink formerLines;
        GenerationResult old = GenerateStemLegacy(c.outcome.compilation, settings, former, formerLines);
        if (old.interrupted) continue;
        StemStore now;
        VectorMessageSink nowLines;
        // Collections of unused nodes as often as every few dozen nodes.
        settings.collectionThreshold = 48;
        GenerationResult fresh = GenerateStem(c.outcome.compilation, settings, now, nowLines);
        EXPECT_EQ(ClassicStemText(now, now.StemStateCount), ClassicStemText(former, former.StemStateCount))
            << text << "\nsemantics " << static_cast<int>(settings.semantics) << " cpbrOff " << settings.cpbrOff;
        EXPECT_EQ(nowLines.lines, formerLines.lines) << text;
        EXPECT_EQ(fresh.states, old.states);
        EXPECT_EQ(fresh.arcs, old.arcs);
        ++compared;
    }
    return compared;
}

TEST(EngineComparison, ExamplesGiveTheSameStemAsTheFormerEngine) {
    for (const auto& entry : std::filesystem::directory_iterator(std::string(QUARVO_SOURCE_DIR) + "/examples")) {
        if (entry.path().extension() != ".LOT") continue;
        TextFileResult file = ReadTextFile(entry.path().string());
        std::string text;
        for (const std::string& line : file.lines) text += line + "\n";
        EXPECT_EQ(ExpectSameAsFormerEngine(text, 0), 3);
    }
}

TEST(EngineComparison, RandomSpecificationsGiveTheSameStemAsTheFormerEngine) {
    std::mt19937 rng(20261208);
    int compared = 0;
    for (int i = 0; i < 200; ++i) compared += ExpectSameAsFormerEngine(test::RandomSpecification(rng), 3000);
    // Most random systems are finite and small enough to be compared whole.
    EXPECT_GE(compared, 450);
}

TEST(EngineComparison, DeepAndWideSpecificationsGiveTheSameStem) {
    for (const char* text : {
             "SYSTEM S [A, B] := P [A, B] WHERE PROCESS P [X, Y] := X; (Y; EXIT ||| X; EXIT) >> P [Y, X] ENDPROC ENDSYS",
             "SYSTEM S [A, B, C] := HIDE A IN (HIDE B IN (A; B; C; EXIT ||| B; EXIT) [> C; NIL) ENDSYS",
             "SYSTEM S [A, B] := (A; B; EXIT ||| A; EXIT ||| B; A; EXIT) >> (A; NIL [] B; EXIT) ENDSYS",
         })
        EXPECT_EQ(ExpectSameAsFormerEngine(text, 3000), 3) << text;
}

}  // namespace
}  // namespace quarvo
