// A model written in the standard syntax of LOTOS generates, under both
// semantics, the very STEM and STE of the same model in our dialect.
#include <algorithm>
#include <filesystem>
#include <random>

#include "GenerationTestSupport.h"
#include "ReferenceSemantics.h"
#include "frontend/StandardWriter.h"
#include "frontend/TextFile.h"

namespace quarvo {
namespace {

std::string FileText(const std::filesystem::path& path) {
    TextFileResult file = ReadTextFile(path.string());
    EXPECT_TRUE(test::Succeeded(file.status)) << path;
    std::string text;
    for (const std::string& line : file.lines) text += line + "\n";
    return text;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// Random specifications may have large systems: their first states are enough.
GenerationSettings Bounded(Semantics semantics, std::int64_t maxStates) {
    GenerationSettings settings;
    settings.semantics = semantics;
    settings.maxStates = maxStates;
    return settings;
}

// Both texts give byte-identical classic files under both semantics.
void ExpectSameFiles(const std::string& a, const std::string& b, const std::string& what, std::int64_t maxStates = 0) {
    for (Semantics semantics : {Semantics::Maximality, Semantics::Interleaving}) {
        auto x = test::GenerateText(a, Bounded(semantics, maxStates));
        auto y = test::GenerateText(b, Bounded(semantics, maxStates));
        EXPECT_EQ(x->Text(), y->Text()) << what << (semantics == Semantics::Maximality ? " (STEM)" : " (STE)");
    }
}

// The text exported to the standard syntax, and that export to our dialect again.
void ExpectExportsGiveTheSameFiles(const std::string& dialect, const std::string& what, std::int64_t maxStates = 0) {
    test::Compiled c = test::CompileText(dialect);
    ASSERT_TRUE(c.ok()) << what;
    const StandardText standard = WriteStandardLotos(c.tree());
    ASSERT_TRUE(test::Succeeded(standard.status)) << what;
    const std::string standardText = Joined(standard.lines);
    ExpectSameFiles(dialect, standardText, what + " exported", maxStates);
    test::Compiled back = test::CompileText(standardText);
    ASSERT_TRUE(back.ok()) << standardText;
    const StandardText again = WriteDialectLotos(back.tree());
    ASSERT_TRUE(test::Succeeded(again.status)) << what;
    ExpectSameFiles(dialect, Joined(again.lines), what + " exported and exported back", maxStates);
}

TEST(StandardSyntaxGeneration, EveryExampleHasAStandardFormThatGivesTheSameFiles) {
    const std::filesystem::path dir = std::filesystem::path(QUARVO_SOURCE_DIR) / "examples";
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".LOT") continue;
        const std::string name = entry.path().filename().string();
        std::filesystem::path standard = entry.path();
        standard.replace_extension(".lotos");
        ASSERT_TRUE(std::filesystem::exists(standard)) << name;
        ExpectSameFiles(FileText(entry.path()), FileText(standard), name);
        ExpectExportsGiveTheSameFiles(FileText(entry.path()), name);
        ++examples;
    }
    EXPECT_GE(examples, 6);
}

TEST(StandardSyntaxGeneration, HandWrittenStandardFilesGiveWhatTheirTranslationsGive) {
    const std::filesystem::path dir = std::filesystem::path(QUARVO_SOURCE_DIR) / "tests/data/standard";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".lotos") continue;
        std::filesystem::path dialect = entry.path();
        dialect.replace_extension(".LOT");
        const std::string name = entry.path().filename().string();
        ASSERT_TRUE(std::filesystem::exists(dialect)) << name;
        const std::string text = FileText(entry.path());
        test::Compiled c = test::CompileText(text);
        EXPECT_TRUE(c.ok()) << name;
        // No functionality of the corpus contradicts its behaviour.
        EXPECT_EQ(c.messages.size(), 3u) << name << "\n" << Joined(c.messages);
        ExpectSameFiles(text, FileText(dialect), name);
        ++files;
    }
    EXPECT_GE(files, 20);
}

TEST(StandardSyntaxGeneration, RandomSpecificationsExportedAndReadBackGiveTheSameFiles) {
    std::mt19937 rng(2207);
    for (int i = 0; i < 200; ++i) {
        const std::string text = test::RandomSpecification(rng);
        ExpectExportsGiveTheSameFiles(text, text, 400);
        if (HasFailure()) break;
    }
}

// A random specification made deep (parentheses, HIDE or WHERE nested up
// to hundreds of times) or wide (hundreds of gates, long chains of actions).
std::string DeepOrWideSpecification(std::mt19937& rng) {
    const int depth = std::uniform_int_distribution<int>(20, 300)(rng);
    const int width = std::uniform_int_distribution<int>(100, 250)(rng);
    const auto coin = [&rng] { return rng() % 2 == 0; };
    std::string closing;
    for (int i = 0; i < depth; ++i) closing += i % 100 == 99 ? ")\n" : ")";
    std::string text;
    switch (rng() % 4) {
    case 0:
        text = "SYSTEM S [A, B] :=\n";
        for (int i = 0; i < depth; ++i)
            text += coin() ? "(A; NIL []\n" : coin() ? "(B; EXIT >>\n" : "(A; NIL |||\n";
        text += "B; NIL" + closing;
        return text + "\nENDSYS\n";
    case 1:
        text = "SYSTEM S [A] :=\n";
        for (int i = 0; i < depth; ++i)
            text += coin() ? "HIDE H" + std::to_string(i) + " IN (H" + std::to_string(i) + "; A; NIL |||\n"
                           : "HIDE A IN (A; NIL []\n";
        text += "A; NIL" + closing;
        return text + "\nENDSYS\n";
    case 2:
        text = "SYSTEM S [A, B] := P0 [A, B] WHERE\n";
        for (int i = 0; i < depth; ++i)
            text += "PROCESS P" + std::to_string(i) + " [X, Y] := X; P" + std::to_string(i + 1) +
                    (coin() ? " [Y, X]" : " [X, Y]") + " WHERE\n";
        text += "PROCESS P" + std::to_string(depth) + " [X, Y] := X; Y; EXIT ENDPROC\n";
        for (int i = 0; i < depth; ++i) text += "ENDPROC\n";
        return text + "ENDSYS\n";
    default: {
        std::string gates, chain, other;
        // The source's own lines stay short: the dialect reads lines of 300 characters at most.
        const auto list = [](int i) { return std::string(i == 0 ? "G" : i % 20 ? ", G" : ",\nG"); };
        const auto step = [](int i) { return std::string(i % 20 == 19 ? ";\n" : "; "); };
        for (int i = 0; i < width; ++i) gates += list(i) + std::to_string(i);
        for (int i = 0; i < width; ++i) chain += "G" + std::to_string(rng() % width) + step(i);
        for (int i = 0; i < width / 2; ++i) other += "G" + std::to_string(rng() % width) + step(i);
        std::string hidden;
        for (int i = 0; i < width / 2; ++i) hidden += list(i) + std::to_string(i);
        return "SYSTEM S [" + gates + "] :=\nHIDE " + hidden + " IN\n(" + chain + "NIL |[" + gates + "]| " +
               other + "NIL ||| P [" + gates + "])\nWHERE\nPROCESS P [" + gates + "] := " + chain + "EXIT\n" +
               "ENDPROC\nENDSYS\n";
    }
    }
}

TEST(StandardSyntaxGeneration, DeepOrWideRandomSpecificationsExportedAndReadBackGiveTheSameFiles) {
    std::mt19937 rng(2026);
    for (int i = 0; i < 200; ++i) {
        const std::string text = DeepOrWideSpecification(rng);
        // Their first states are enough: deep terms make each derivation long.
        ExpectExportsGiveTheSameFiles(text, "random deep or wide specification " + std::to_string(i), 25);
        if (HasFailure()) break;
    }
}

}  // namespace
}  // namespace quarvo
