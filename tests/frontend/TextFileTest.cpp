// Windows-1252 conversion, line splitting and safe writing of text files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "frontend/TextFile.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;

TEST(TextFile, Windows1252RoundTrip) {
    std::string bytes = "Sp\xE9" "cification \x80 \x9C \xFF";
    std::string utf8 = DecodeWindows1252(bytes);
    EXPECT_EQ(utf8, "Spécification € œ ÿ");
    EXPECT_EQ(EncodeWindows1252(utf8), bytes);
    EXPECT_EQ(EncodeWindows1252("日本"), "??");
    EXPECT_EQ(DecodeUtf8("a\xC3\xA9\xFF"), (std::u32string{U'a', U'é', 0xFFFD}));
}

TEST(TextFile, SplitsLinesLikeAnEditor) {
    using L = std::vector<std::string>;
    EXPECT_EQ(SplitLines("A\r\nB\r\n"), (L{"A", "B"}));
    EXPECT_EQ(SplitLines("A\nB"), (L{"A", "B"}));
    EXPECT_EQ(SplitLines("A\r\n\r\n"), (L{"A", ""}));
    EXPECT_EQ(SplitLines("A\rB"), (L{"A", "B"}));
    EXPECT_EQ(SplitLines(""), (L{}));
}

TEST(TextFile, ReadingAMissingOrDirectoryPathGivesAMessage) {
    EXPECT_FALSE(ReadTextFile("/nonexistent/file.LOT").error.empty());
    EXPECT_FALSE(ReadTextFile(fs::temp_directory_path().string()).error.empty());
}

TEST(TextFile, AtomicWriteReplacesTheTargetAndLeavesNoTemporary) {
    fs::path dir = fs::temp_directory_path() / "quarvo_textfile";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string target = (dir / "out.txt").string();
    EXPECT_EQ(WriteFileAtomically(target, "old"), "");
    EXPECT_EQ(WriteFileAtomically(target, EncodeLinesWindows1252({"é", "b"})), "");
    TextFileResult read = ReadTextFile(target);
    EXPECT_EQ(read.lines, (std::vector<std::string>{"é", "b"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // A failed write keeps the earlier file.
    EXPECT_NE(WriteFileAtomically((dir / "missing" / "x.txt").string(), "new"), "");
    fs::remove_all(dir);
}

}  // namespace
}  // namespace quarvo
