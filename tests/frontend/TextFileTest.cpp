// Windows-1252 conversion, line splitting, safe writing and streamed reading of text files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>

#include "frontend/TextFile.h"
#include "tests/StatusTestSupport.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;
using test::Failed;
using test::FailedWith;
using test::Succeeded;

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
    const TextFileResult missing = ReadTextFile("/nonexistent/file.LOT");
    EXPECT_TRUE(FailedWith(missing.status,
                           "Impossible d'ouvrir le fichier « /nonexistent/file.LOT » : No such file or directory."));
    EXPECT_TRUE(missing.lines.empty());
    const std::string dir = fs::temp_directory_path().string();
    EXPECT_TRUE(
        FailedWith(ReadTextFile(dir).status, "Impossible de lire le fichier « " + dir + " » : c'est un répertoire."));
    // Too large for the bound given.
    const std::string path = (fs::temp_directory_path() / "quarvo_textfile_large.txt").string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "0123456789";
    }
    EXPECT_TRUE(FailedWith(ReadTextFile(path, 9).status, "Le fichier « " + path + " » est trop volumineux."));
    EXPECT_TRUE(Succeeded(ReadTextFile(path, 10).status));
    fs::remove(path);
}

TEST(TextFile, AtomicWriteReplacesTheTargetAndLeavesNoTemporary) {
    fs::path dir = fs::temp_directory_path() / "quarvo_textfile";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string target = (dir / "out.txt").string();
    EXPECT_TRUE(Succeeded(WriteFileAtomically(target, "old")));
    EXPECT_TRUE(Succeeded(WriteFileAtomically(target, EncodeLinesWindows1252({"é", "b"}))));
    TextFileResult read = ReadTextFile(target);
    EXPECT_TRUE(Succeeded(read.status));
    EXPECT_EQ(read.lines, (std::vector<std::string>{"é", "b"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // A failed write keeps the earlier file.
    EXPECT_TRUE(Failed(WriteFileAtomically((dir / "missing" / "x.txt").string(), "new")));
    fs::remove_all(dir);
}

TEST(TextFile, StreamedAtomicWriteGoesThroughTheTemporaryFile) {
    fs::path dir = fs::temp_directory_path() / "quarvo_textfile_stream";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string target = (dir / "out.txt").string();
    EXPECT_TRUE(Succeeded(WriteFileAtomically(target, "old")));
    // While the writing runs, the target still holds the earlier text.
    EXPECT_TRUE(Succeeded(WriteFileAtomically(target, [&](std::ostream& out) {
        EXPECT_EQ(ReadTextFile(target).lines, (std::vector<std::string>{"old"}));
        for (int i = 0; i < 3; ++i) out << "line " << i << "\r\n";
    })));
    EXPECT_EQ(ReadTextFile(target).lines, (std::vector<std::string>{"line 0", "line 1", "line 2"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // A stream left failed by the writing is a failed write: the earlier file stays, no temporary is left.
    EXPECT_TRUE(FailedWith(WriteFileAtomically(target,
                                               [](std::ostream& out) {
                                                   out << "partial";
                                                   out.setstate(std::ios::badbit);
                                               }),
                           "Erreur d'écriture du fichier « " + target + " »."));
    EXPECT_EQ(ReadTextFile(target).lines, (std::vector<std::string>{"line 0", "line 1", "line 2"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    const std::string missing = (dir / "missing" / "x.txt").string();
    const Status unwritable = WriteFileAtomically(missing, [](std::ostream& out) { out << "new"; });
    EXPECT_TRUE(Failed(unwritable));
    EXPECT_EQ(unwritable.message().rfind("Impossible d'écrire le fichier « " + missing + " » : ", 0), 0u);
    EXPECT_EQ(unwritable.line(), 0);
    fs::remove_all(dir);
}

// The lines of a file read as a stream in chunks of chunk bytes.
std::vector<std::string> StreamedLines(const std::string& path, std::size_t chunk) {
    FileLineStream stream(path, chunk);
    std::vector<std::string> lines;
    std::string_view line;
    while (stream.Next(line)) lines.emplace_back(line);
    EXPECT_TRUE(Succeeded(stream.status()));
    return lines;
}

TEST(TextFile, StreamedLinesAreTheEditorsLinesWhateverTheChunks) {
    const std::string path = (fs::temp_directory_path() / "quarvo_textfile_lines.txt").string();
    auto write = [&path](const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    };
    // Line ends of every kind, at every place relative to the chunks: a CR
    // that ends a chunk, a CR LF split between two, lines longer than a chunk.
    const std::vector<std::string> texts{"",          "\r\n",        "\n",         "\r",      "A",
                                         "A\r\nB\r\n", "A\nB",        "A\r\n\r\n", "A\rB",    "A\r\rB\r\n",
                                         "\r\r\n\n", "AB\r\nCD\nEF\r", "ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\nab"};
    for (const std::string& text : texts)
        for (std::size_t chunk : {std::size_t{2}, std::size_t{3}, std::size_t{4}, std::size_t{7}, FileLineStream::DefaultChunk}) {
            write(text);
            EXPECT_EQ(StreamedLines(path, chunk), SplitLines(text)) << "chunk " << chunk;
        }
    // Random texts over a few letters and line ends.
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 60);
        for (int i = 0; i < length; ++i) text += "ab\r\n"[random() % 4];
        write(text);
        const std::size_t chunk = 2 + random() % 9;
        EXPECT_EQ(StreamedLines(path, chunk), SplitLines(text)) << "round " << round << ", chunk " << chunk;
    }
    fs::remove(path);
}

TEST(TextFile, StreamingAMissingOrDirectoryPathGivesReadingsMessages) {
    FileLineStream missing("/nonexistent/file.STEM");
    std::string_view line;
    EXPECT_FALSE(missing.Next(line));
    EXPECT_TRUE(FailedWith(missing.status(), ReadTextFile("/nonexistent/file.STEM").status.message()));
    const std::string dir = fs::temp_directory_path().string();
    FileLineStream directory(dir);
    EXPECT_FALSE(directory.Next(line));
    EXPECT_TRUE(FailedWith(directory.status(), ReadTextFile(dir).status.message()));
}

TEST(TextFile, TheHeadOfAFileIsItsFirstLinesDecoded) {
    const std::string path = (fs::temp_directory_path() / "quarvo_textfile_head.txt").string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "\xE9t\xE9\r\nB\r\nC\r\n";
    }
    bool more = false;
    TextFileResult head = ReadTextFileHead(path, 2, more);
    EXPECT_EQ(head.lines, (std::vector<std::string>{"été", "B"}));
    EXPECT_TRUE(more);
    head = ReadTextFileHead(path, 3, more);
    EXPECT_EQ(head.lines, (std::vector<std::string>{"été", "B", "C"}));
    EXPECT_FALSE(more) << "a final line end opens no further line";
    head = ReadTextFileHead("/nonexistent/file.STEM", 3, more);
    EXPECT_TRUE(head.lines.empty());
    EXPECT_TRUE(FailedWith(head.status, ReadTextFile("/nonexistent/file.STEM").status.message()));
    fs::remove(path);
}

}  // namespace
}  // namespace quarvo
