// The STEM reader believes no header and stops before the memory runs out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/CoreInterfaces.h"
#include "generation/MemoryWatch.h"
#include "stemio/ModelFile.h"
#include "stemio/StemReader.h"
#include "tests/ScratchDirectory.h"
#include "tests/StatusTestSupport.h"
#include "tests/stemio/StemTestSupport.h"

namespace quarvo {
namespace {

// A chain of states 0 -> 1 -> ... -> count, its header saying declared.
std::vector<std::string> Chain(int count, std::int64_t declared) {
    std::vector<std::string> lines{"BEGIN " + std::to_string(declared) + ";"};
    for (int i = 0; i < count; ++i)
        lines.push_back("{}" + std::to_string(i) + "<{}A:1>{1:A}" + std::to_string(i + 1) + ";");
    lines.push_back("END");
    return lines;
}

TEST(StemReaderMemory, AHeaderThatLiesSizesNothing) {
    for (const std::int64_t declared : {std::int64_t{0}, std::int64_t{3}, std::int64_t{2000000000}}) {
        const std::vector<std::string> lines = Chain(3, declared);
        VectorLineSource source(lines);
        const StemReadResult read = ReadClassicStem(source);
        ASSERT_TRUE(test::Succeeded(read.status)) << declared;
        EXPECT_EQ(read.stem.StateCount(), 4u);
        EXPECT_EQ(read.stem.StemStateCount, 4);
        EXPECT_EQ(read.declaredStateCount, declared);
    }
}

TEST(StemReaderMemory, TheMemoryStopFailsTheReadingWithItsMessage) {
    // More transitions than the stop lets go by between two looks at the memory.
    const std::vector<std::string> lines = Chain(static_cast<int>(MemoryStop::DefaultStepsBetweenLooks) + 10, 5);
    VectorLineSource source(lines);
    // A limit of one byte: the first look finds it reached.
    const StemReadResult stopped = ReadClassicStem(source, nullptr, 1);
    EXPECT_TRUE(stopped.outOfMemory);
    EXPECT_TRUE(stopped.ReadingFailed());
    EXPECT_TRUE(test::FailedWith(stopped.status, StemReadOutOfMemoryText));
    EXPECT_EQ(stopped.stem.StateCount(), 0u);
    // Without a limit of its own, the reading is whole.
    const StemReadResult whole = ReadClassicStem(source);
    ASSERT_TRUE(test::Succeeded(whole.status));
    EXPECT_EQ(whole.stem.StateCount(), lines.size() - 1);

    // From a file, and through the loading of a model by its kind.
    const test::ScratchDirectory dir("quarvo_stem_memory");
    const std::string path = dir.File("chain.STEM");
    test::WriteBytes(path, test::FileBytes(lines, "\r\n", true));
    EXPECT_TRUE(ReadClassicStemFile(path, nullptr, 1).outOfMemory);
    EXPECT_TRUE(test::Succeeded(ReadClassicStemFile(path).status));
    const LoadedModel loaded = LoadModel(path, Semantics::Interleaving, ".", nullptr, 1);
    EXPECT_TRUE(test::FailedWith(loaded.status, StemReadOutOfMemoryText));
    EXPECT_EQ(loaded.stem.StateCount(), 0u);
}

TEST(StemReaderMemory, TheStopLooksEverySoManySteps) {
    MemoryStop stop(1, 3);
    EXPECT_FALSE(stop.Reached());
    EXPECT_FALSE(stop.Reached());
    EXPECT_TRUE(stop.Reached());
    EXPECT_TRUE(stop.Reached());  // and stays reached
    MemoryStop none;
    for (int i = 0; i < 100; ++i) EXPECT_FALSE(none.Reached());
}

}  // namespace
}  // namespace quarvo
