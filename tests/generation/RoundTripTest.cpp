// A generated STEM written as a classic file and read back is the same STEM, arcs reversed.
#include <filesystem>
#include <random>

#include "GenerationTestSupport.h"
#include "ReferenceSemantics.h"
#include "frontend/TextFile.h"
#include "stemio/StemReader.h"

namespace quarvo {
namespace {

void ExpectRoundTrip(const test::Generated& g, const std::string& what) {
    std::vector<std::string> lines = SplitLines(g.Text());
    VectorLineSource source(lines);
    StemReadResult read = ReadClassicStem(source);
    ASSERT_TRUE(read.ok) << what << ": " << read.message;
    const StemStore& back = read.stem;
    // States reached by no arc are not in the file's records (a bounded generation leaves none).
    ASSERT_EQ(back.StateList.size(), g.store.StateList.size()) << what;
    for (const TStemState& s : g.store.StateList) {
        const TStemState* r = back.FindState(s.Number);
        ASSERT_NE(r, nullptr) << what << " state " << s.Number;
        EXPECT_EQ(EventSetText(r->Events, back.actions), g.Set(s.Events)) << what << " state " << s.Number;
        ASSERT_EQ(r->Arcs.size(), s.Arcs.size()) << what << " state " << s.Number;
        for (std::size_t i = 0; i < s.Arcs.size(); ++i) {
            const TStemArc& a = s.Arcs[i];
            const TStemArc& b = r->Arcs[r->Arcs.size() - 1 - i];
            EXPECT_EQ(EventSetText(b.Causes, back.actions), g.Set(a.Causes));
            EXPECT_EQ(back.actions.Text(b.Action), g.Action(a));
            EXPECT_EQ(b.Event, a.Event);
            EXPECT_EQ(b.Target, a.Target);
        }
    }
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
        ++examples;
    }
    EXPECT_GE(examples, 4);
}

TEST(RoundTrip, RandomSpecificationsReadBackAsWritten) {
    std::mt19937 rng(99);
    for (int i = 0; i < 60; ++i) {
        std::string text = test::RandomSpecification(rng);
        auto g = test::GenerateText(text);
        if (g->result.interrupted || g->result.eventNamesExhausted) continue;
        ExpectRoundTrip(*g, text);
    }
}

}  // namespace
}  // namespace quarvo
