// A generated STEM written as a classic file (as text, or as a file through a stream) and read back is the same STEM, arcs reversed.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "GenerationTestSupport.h"
#include "ReferenceSemantics.h"
#include "frontend/TextFile.h"
#include "stemio/StemReader.h"
#include "tests/ScratchDirectory.h"

namespace quarvo {
namespace {

void ExpectSameStem(const test::Generated& g, const StemReadResult& read, const std::string& what) {
    ASSERT_TRUE(test::Succeeded(read.status)) << what;
    const StemStore& back = read.stem;
    // States reached by no arc are not in the file's records (a bounded generation leaves none).
    ASSERT_EQ(back.StateCount(), g.store.StateCount()) << what;
    for (const StateView s : g.store.States()) {
        const std::optional<StateView> r = back.FindState(s.Number);
        ASSERT_TRUE(r.has_value()) << what << " state " << s.Number;
        EXPECT_EQ(EventSetText(r->Events, back.actions), g.Set(s.Events)) << what << " state " << s.Number;
        ASSERT_EQ(r->Arcs.size(), s.Arcs.size()) << what << " state " << s.Number;
        for (std::size_t i = 0; i < s.Arcs.size(); ++i) {
            const ArcView a = s.Arcs[i];
            const ArcView b = r->Arcs[r->Arcs.size() - 1 - i];
            EXPECT_EQ(EventSetText(b.Causes, back.actions), g.Set(a.Causes));
            EXPECT_EQ(back.actions.Text(b.Action), g.Action(a));
            EXPECT_EQ(b.Event, a.Event);
            EXPECT_EQ(b.Target, a.Target);
        }
    }
}

void ExpectRoundTrip(const test::Generated& g, const std::string& what) {
    std::vector<std::string> lines = SplitLines(g.Text());
    VectorLineSource source(lines);
    ExpectSameStem(g, ReadClassicStem(source), what);
}

// Written to a file through the stream and read back from it as a stream.
void ExpectFileRoundTrip(const test::Generated& g, const std::string& what) {
    const test::ScratchDirectory dir("quarvo_round_trip");
    const std::string path = dir.File("round_trip.STEM");
    ASSERT_TRUE(test::Succeeded(WriteClassicStem(path, g.store, g.store.StemStateCount))) << what;
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_EQ(bytes, g.Text()) << what << ": the file holds the text, byte for byte";
    ExpectSameStem(g, ReadClassicStemFile(path), what + " (file)");
}

TEST(RoundTrip, EveryExampleReadsBackAsWritten) {
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(QUARVO_SOURCE_DIR) + "/examples")) {
        if (entry.path().extension() != ".LOT") continue;
        TextFileResult file = ReadTextFile(entry.path().string());
        std::string text;
        for (const std::string& line : file.lines) text += line + "\n";
        auto g = test::GenerateText(text);
        ExpectRoundTrip(*g, entry.path().filename().string());
        ExpectFileRoundTrip(*g, entry.path().filename().string());
        ++examples;
    }
    EXPECT_GE(examples, 4);
}

TEST(RoundTrip, RandomSpecificationsReadBackAsWritten) {
    std::mt19937 rng(99);
    for (int i = 0; i < 60; ++i) {
        std::string text = test::RandomSpecification(rng);
        auto g = test::GenerateText(text);
        if (g->result.interrupted) continue;
        ExpectRoundTrip(*g, text);
    }
}

// A STEM that keeps more events alive at once than there are names, the
// further ones named -1 (a chain of 31 concurrent actions, none ending): the
// file it is written to reads back as it was, the reading saying that some
// names are -1.
TEST(RoundTrip, StemsWithEventsNamedMinusOneReadBackAsWritten) {
    const StemReadResult read = ReadClassicStemFile(std::string(QUARVO_SOURCE_DIR) + "/tests/data/MINUS_ONE.STEM");
    ASSERT_TRUE(test::Succeeded(read.status));
    EXPECT_TRUE(read.eventNamesExhausted);
    test::Generated g;
    g.store = read.stem;
    ASSERT_EQ(g.store.StateCount(), 32u);
    ASSERT_NE(g.Text().find("{-1:A30,1:A0,"), std::string::npos);
    ExpectRoundTrip(g, "MINUS_ONE.STEM");
    ExpectFileRoundTrip(g, "MINUS_ONE.STEM");
}

// A STEM all of whose events have names reads back without the warning.
TEST(RoundTrip, AStemWithoutMinusOneNamesSaysNothingOfThem) {
    auto g = test::GenerateText("SYSTEM S [A] := P [A] WHERE PROCESS P [A] := A; P [A] ENDPROC ENDSYS");
    std::vector<std::string> lines = SplitLines(g->Text());
    VectorLineSource source(lines);
    const StemReadResult read = ReadClassicStem(source);
    ASSERT_TRUE(test::Succeeded(read.status));
    EXPECT_FALSE(read.eventNamesExhausted);
}

}  // namespace
}  // namespace quarvo
