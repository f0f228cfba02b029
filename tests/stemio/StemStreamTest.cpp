// Reading classic STEM files as streams: files larger than the read buffer, lines across chunks, CR LF and LF.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "StemTestSupport.h"
#include "generation/StemWriter.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// A STEM text of about 3 MB: a chain of states, each with three arcs, whose
// lines are of many lengths so that line ends fall everywhere in the chunks.
Lines LargeStemText(int states) {
    const char* actions[] = {"SEND", "I_RECEIVE", "delta", "I"};
    auto events = [&actions](int k) {
        if (k == 0) return std::string("{}");
        std::string set = "{";
        for (int e = 1; e <= 1 + k % 4; ++e) set += (e > 1 ? "," : "") + std::to_string(e) + ":" + actions[(k + e) % 4];
        return set + "}";
    };
    Lines lines{"BEGIN " + std::to_string(states) + ";"};
    for (int k = 0; k < states; ++k) {
        const std::string source = events(k) + std::to_string(k) + "<";
        const int next = (k + 1) % states;
        std::string line = source + "{}" + actions[k % 4] + ":1>" + events(next) + std::to_string(next) + ";";
        for (int extra = 0; extra < k % 5; ++extra)
            line += source + events(k) + actions[extra % 4] + ":2>" + events(k / 2) + std::to_string(k / 2) + ";";
        lines.push_back(line);
    }
    lines.push_back("END");
    return lines;
}

struct StemStream : ::testing::Test {
    const std::string path = (fs::temp_directory_path() / ("quarvo_stem_stream_" + std::to_string(getpid()) + ".STEM")).string();
    ~StemStream() override { fs::remove(path); }
};

TEST_F(StemStream, AFileLargerThanTheBufferReadsAsItsLinesWithCrLfAndWithLf) {
    const Lines lines = LargeStemText(12000);
    VectorLineSource source(lines);
    const StemReadResult expected = ReadClassicStem(source);
    ASSERT_TRUE(test::Succeeded(expected.status));
    for (const std::string lineEnd : {"\r\n", "\n"}) {
        test::WriteBytes(path, test::FileBytes(lines, lineEnd, lineEnd == "\n"));
        ASSERT_GT(fs::file_size(path), 2 * FileLineStream::DefaultChunk);
        for (std::size_t chunk : {FileLineStream::DefaultChunk, std::size_t{4093}, std::size_t{64}}) {
            SCOPED_TRACE("line end " + std::string(lineEnd == "\n" ? "LF" : "CR LF") + ", chunk " +
                         std::to_string(chunk));
            const StemReadResult read = test::ReadFile(path, chunk);
            ASSERT_TRUE(test::Succeeded(read.status));
            EXPECT_EQ(read.stem.StateCount(), 12000u);
            EXPECT_EQ(read.stem.ArcCount(), expected.stem.ArcCount());
            EXPECT_EQ(test::StoreText(read.stem), test::StoreText(expected.stem));
        }
        const StemReadResult whole = ReadClassicStemFile(path);
        ASSERT_TRUE(test::Succeeded(whole.status));
        EXPECT_EQ(test::StoreText(whole.stem), test::StoreText(expected.stem));
    }
}

TEST_F(StemStream, AStemWrittenToAFileReadsBackAndWritesTheSameBytes) {
    const Lines lines = LargeStemText(12000);
    VectorLineSource source(lines);
    const StemReadResult first = ReadClassicStem(source);
    ASSERT_TRUE(test::Succeeded(first.status));
    ASSERT_TRUE(test::Succeeded(WriteClassicStem(path, first.stem, first.stem.StemStateCount)));
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_EQ(bytes, ClassicStemText(first.stem, first.stem.StemStateCount));
    const StemReadResult again = ReadClassicStemFile(path);
    ASSERT_TRUE(test::Succeeded(again.status));
    EXPECT_EQ(ClassicStemText(again.stem, again.stem.StemStateCount), test::FileBytes(lines, "\r\n", false));
}

TEST_F(StemStream, AnErrorFarInAFileNamesItsLine) {
    Lines lines = LargeStemText(12000);
    lines[9000].insert(17, "$");
    test::WriteBytes(path, test::FileBytes(lines, "\r\n", true));
    const StemReadResult r = ReadClassicStemFile(path);
    EXPECT_TRUE(test::FailedWith(r.status, "Erreur dans le fichier ligne:9001", 9001));
    EXPECT_FALSE(r.ReadingFailed());
    EXPECT_TRUE(r.stem.Empty());
}

TEST_F(StemStream, AFileThatCannotBeReadSaysSoAndIsNoReadingError) {
    StemReadResult r = ReadClassicStemFile("/nonexistent/file.STEM");
    EXPECT_TRUE(test::FailedWith(
        r.status, "Impossible d'ouvrir le fichier « /nonexistent/file.STEM » : fichier ou dossier introuvable."));
    EXPECT_TRUE(r.ReadingFailed());
    EXPECT_FALSE(r.outOfMemory);
    EXPECT_TRUE(r.stem.Empty());
    EXPECT_EQ(r.declaredStateCount, 0);
    const std::string dir = fs::temp_directory_path().string();
    r = ReadClassicStemFile(dir);
    EXPECT_TRUE(test::FailedWith(r.status, "Impossible de lire le fichier « " + dir + " » : c'est un répertoire."));
    EXPECT_TRUE(r.ReadingFailed());
}

}  // namespace
}  // namespace quarvo
