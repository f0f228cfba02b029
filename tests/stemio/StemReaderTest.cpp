// Reading well-formed classic STEM texts: the states, their maximal events and their arcs.
#include <gtest/gtest.h>

#include <new>
#include <string_view>

#include "StemTestSupport.h"
#include "frontend/TextFile.h"

namespace quarvo {
namespace {

using test::Read;
using test::StoreText;
using Lines = std::vector<std::string>;

TEST(StemReader, ReadsTheFileOfASinglePrefix) {
    StemReadResult r = Read({"BEGIN 2;", "{}0<{}A:1>{1:A}1;", "", "END"});
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(StoreText(r.stem), (Lines{"0 {} | {}A:1>1", "1 {1:A} |"}));
    EXPECT_EQ(r.stem.StemStateCount, 2);
    EXPECT_EQ(r.declaredStateCount, 2);
    EXPECT_EQ(r.stem.compilation, nullptr);
}

TEST(StemReader, ReadsTheBytesOfAFileAsWrittenWithCrLfAndNoFinalLineEnd) {
    const std::string bytes = "BEGIN 3;\r\n{}0<{}A:1>{1:A}1;\r\n{1:A}1<{1:A}B:2>{2:B}2;\r\n\r\nEND";
    StemReadResult r = test::Read(SplitLines(DecodeWindows1252(bytes)));
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(StoreText(r.stem), (Lines{"0 {} | {}A:1>1", "1 {1:A} | {1:A}B:2>2", "2 {2:B} |"}));

    // A line end inside a line (only a caller's own lines can hold one)
    // separates tokens; what follows it on that line is still read.
    r = test::Read({"BEGIN 1;\rEND"});
    EXPECT_TRUE(test::Succeeded(r.status));
    r = test::Read({"BEGIN 1;", "END\r-"});
    EXPECT_TRUE(test::FailedWith(r.status, "Erreur dans le fichier ligne:2", 2));
}

TEST(StemReader, ATextWithoutTransitionsIsTheInitialStateAlone) {
    for (const Lines& text : {Lines{"BEGIN 1;", "", "END"}, Lines{"BEGIN 1;END"}, Lines{"BEGIN", "1", ";", "END"}}) {
        StemReadResult r = Read(text);
        ASSERT_TRUE(test::Succeeded(r.status)) << text[0];
        EXPECT_EQ(StoreText(r.stem), (Lines{"0 {} |"}));
        EXPECT_EQ(r.stem.StemStateCount, 1);
    }
}

TEST(StemReader, StatesFollowTheirFirstAppearanceAsATargetAndArcsAreReversed) {
    // Two transitions of state 0 on one line: b, the later one, comes first.
    StemReadResult r = Read({"BEGIN 3;", "{}0<{}a:1>{1:a}1;{}0<{}b:2>{2:b}2;", "", "", "END"});
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(StoreText(r.stem), (Lines{"0 {} | {}b:2>2 {}a:1>1", "1 {1:a} |", "2 {2:b} |"}));

    // Numbers say nothing about the order: 7 is reached before 3, and the
    // arcs of a state spread over several lines still end up reversed.
    r = Read({"BEGIN 3;",
              "{}0<{}A:1>{1:A}7;",
              "{1:A}7<{1:A}B:2>{2:B}3;",
              "{}0<{}C:1>{1:C}3;",
              "{1:A}7<{}D:3>{}0;",
              "END"});
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(StoreText(r.stem),
              (Lines{"0 {} | {}C:1>3 {}A:1>7", "7 {1:A} | {}D:3>0 {1:A}B:2>3", "3 {2:B} |"}));
    EXPECT_EQ(r.stem.IndexOf(3), 2);
}

TEST(StemReader, MaximalEventsComeFromTheFirstTransitionIntoAState) {
    // The source's set and the target set of an already known state are read
    // and dropped; state 0 keeps the empty set even when a file says otherwise.
    StemReadResult r = Read({"BEGIN 2;",
                             "{5:X}0<{}A:1>{1:A}1;",
                             "{9:Y}1<{}B:2>{3:Z}1;",
                             "{}1<{}C:3>{4:W}0;",
                             "END"});
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(StoreText(r.stem), (Lines{"0 {} | {}A:1>1", "1 {1:A} | {}C:3>0 {}B:2>1"}));
}

TEST(StemReader, EventListsAreSortedAndKeepTheFirstActionOfAnEvent) {
    StemReadResult r = Read({"BEGIN 2;", "{}0<{3:C,1:A,3:Q}G:2>{30:Z,2:B,2:X,0:N}1;", "END"});
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(StoreText(r.stem), (Lines{"0 {} | {1:A,3:C}G:2>1", "1 {0:N,2:B,30:Z} |"}));
}

TEST(StemReader, EventsNamedMinusOneAreReadAllKeptAndReported) {
    // As a generation that ran out of names writes them: several -1 in a set, first.
    StemReadResult r = Read({"BEGIN 3;", "{}0<{}A:-1>{-1:A}1;", "{-1:A}1<{-1:A}B:-1>{-1:B,-1:A,2:C}2;", "END"});
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(StoreText(r.stem),
              (Lines{"0 {} | {}A:-1>1", "1 {-1:A} | {-1:A}B:-1>2", "2 {-1:B,-1:A,2:C} |"}));
    EXPECT_TRUE(r.eventNamesExhausted);

    StemReadResult named = Read({"BEGIN 2;", "{}0<{}A:1>{1:A}1;", "END"});
    ASSERT_TRUE(test::Succeeded(named.status));
    EXPECT_FALSE(named.eventNamesExhausted);
}

TEST(StemReader, BlanksTabsAndLineEndsMayStandBetweenAnyTwoTokens) {
    StemReadResult r = Read({"  BEGIN\t2 ;  ",
                             "{ } 0 < { 1 : A , 2",
                             "\t: B } I_C",
                             ": 3 > { 3",
                             ":I_C",
                             "}",
                             "1",
                             ";",
                             "   END   "});
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(StoreText(r.stem), (Lines{"0 {} | {1:A,2:B}I_C:3>1", "1 {3:I_C} |"}));
}

TEST(StemReader, NamesKeepTheirCaseAndMayHaveThirtyOneCharacters) {
    const std::string name31 = "abcdefghijklmnopqrstuvwxyz_1234";
    ASSERT_EQ(name31.size(), 31u);
    StemReadResult r = Read({"BEGIN 2;", "{}0<{1:begin}" + name31 + ":2>{2:" + name31 + ",3:delta}1;", "END"});
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(StoreText(r.stem), (Lines{"0 {} | {1:begin}" + name31 + ":2>1", "1 {2:" + name31 + ",3:delta} |"}));
    // Names are interned: the same text is the same action, a different case is not.
    EXPECT_EQ(r.stem.State(1).Events[0].Action, r.stem.State(0).Arcs[0].Action);
}

TEST(StemReader, NumbersUpToTheSigned32BitLimitAndTheBufferLengthAreRead) {
    const std::string zeros(22, '0');  // 32 digits with the ten of the limit
    StemReadResult r = Read({"BEGIN 2147483647;",
                             "{}0<{2147483647:A}B:" + zeros + "2147483647>{}" + zeros + "0000000005;",
                             "END"});
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(StoreText(r.stem), (Lines{"0 {} | {2147483647:A}B:2147483647>5", "5 {} |"}));
    EXPECT_EQ(r.declaredStateCount, 2147483647);
}

TEST(StemReader, TextAfterEndIsNotReadUnlessItStartsWithAnIllegalCharacter) {
    for (const Lines& text : {Lines{"BEGIN 1;", "END garbage - $ é"},
                              Lines{"BEGIN 1;", "END;{}0<", "+++"},
                              Lines{"BEGIN 1;", "END", "", "  BEGIN 5;", "-"},
                              Lines{"BEGIN 1;", "END", "   ", ""}}) {
        StemReadResult r = Read(text);
        EXPECT_TRUE(test::Succeeded(r.status)) << text[1];
        EXPECT_EQ(StoreText(r.stem), (Lines{"0 {} |"}));
    }
}

TEST(StemReader, TheStoredCountIsTheNumberOfStatesRead) {
    // The header is only a claim; the count that bounds later sweeps over the
    // list must be that of the list.
    StemReadResult r = Read({"BEGIN 1000000000;", "{}0<{}A:1>{}1;", "END"});
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(r.declaredStateCount, 1000000000);
    EXPECT_EQ(r.stem.StemStateCount, 2);
    EXPECT_EQ(r.stem.StateCount(), 2u);

    r = Read({"BEGIN 0;", "{}0<{}A:1>{}1;{}1<{}A:1>{}2;", "END"});
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(r.stem.StemStateCount, 3);
}

class RecordingProgress final : public StemReadProgress {
public:
    void Declared(std::int32_t count) override { declared.push_back(count); }
    void Update(std::int64_t states, std::int64_t transitions) override {
        updates.emplace_back(states, transitions);
    }
    std::vector<std::int32_t> declared;
    std::vector<std::pair<std::int64_t, std::int64_t>> updates;
};

TEST(StemReader, ReportsTheDeclaredCountAndTheStatesAndTransitionsRead) {
    // A chain of 3000 states: one transition per state after 0.
    Lines text{"BEGIN 3000;"};
    for (int i = 0; i + 1 < 3000; ++i)
        text.push_back("{}" + std::to_string(i) + "<{}A:1>{}" + std::to_string(i + 1) + ";");
    text.push_back("END");
    VectorLineSource source(text);
    RecordingProgress progress;
    StemReadResult r = ReadClassicStem(source, &progress);
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(progress.declared, (std::vector<std::int32_t>{3000}));
    ASSERT_FALSE(progress.updates.empty());
    EXPECT_EQ(progress.updates.back(), (std::pair<std::int64_t, std::int64_t>{3000, 2999}));
    for (std::size_t i = 1; i < progress.updates.size(); ++i) {
        EXPECT_LE(progress.updates[i - 1].first, progress.updates[i].first);
        EXPECT_LE(progress.updates[i - 1].second, progress.updates[i].second);
    }

    // A failed reading ends without a final figure.
    RecordingProgress failed;
    Lines bad{"BEGIN 4;", "-"};
    VectorLineSource badSource(bad);
    EXPECT_TRUE(test::Failed(ReadClassicStem(badSource, &failed).status));
    EXPECT_EQ(failed.declared, (std::vector<std::int32_t>{4}));
    EXPECT_TRUE(failed.updates.empty());
}

// Lines whose reading runs out of memory after a number of lines, as the
// copy of an editor's line or the growth of the store would.
class ExhaustingLines final : public LineStream {
public:
    ExhaustingLines(const Lines& lines, std::size_t before) : lines_(lines), before_(before) {}
    bool Next(std::string_view& line) override {
        if (next_ == before_) throw std::bad_alloc();
        if (next_ == lines_.size()) return false;
        line = lines_[next_++];
        return true;
    }

private:
    const Lines& lines_;
    std::size_t before_;
    std::size_t next_ = 0;
};

TEST(StemReader, RunningOutOfMemoryFailsTheReadingWithoutALineAtFault) {
    const Lines text{"BEGIN 3;", "{}0<{}A:1>{1:A}1;", "{1:A}1<{1:A}B:2>{2:B}2;", "END"};
    for (std::size_t before = 0; before <= text.size(); ++before) {
        ExhaustingLines lines(text, before);
        StemReadResult r = ReadClassicStem(lines);
        EXPECT_TRUE(test::FailedWith(r.status, StemReadOutOfMemoryText)) << "after " << before << " lines";
        EXPECT_TRUE(r.outOfMemory);
        EXPECT_TRUE(r.ReadingFailed());
        EXPECT_TRUE(r.stem.Empty());
        EXPECT_EQ(r.declaredStateCount, 0);
    }
    // The same lines without the shortage read whole.
    ExhaustingLines whole(text, text.size() + 1);
    StemReadResult r = ReadClassicStem(whole);
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_FALSE(r.outOfMemory);
    EXPECT_EQ(r.stem.StateCount(), 3u);
}

}  // namespace
}  // namespace quarvo
