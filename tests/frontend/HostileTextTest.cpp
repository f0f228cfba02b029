// Texts an unlucky user may hand the front end: a byte-order mark, a comment
// left open, and specifications too wide or too deep for a line or a stack,
// which the writers must lay out so that the readers read them back, or refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FrontendTestSupport.h"
#include "frontend/StandardParser.h"
#include "frontend/StandardWriter.h"
#include "frontend/TextFile.h"
#include "tests/ScratchDirectory.h"

namespace quarvo {
namespace {

using Lines = std::vector<std::string>;
using test::AllTrees;
using test::CompileText;
using test::ErrorLines;
using test::Joined;

TEST(HostileText, AByteOrderMarkIsSkipped) {
    test::ScratchDirectory dir("quarvo_bom");
    for (const char* text : {"SYSTEM S [A] := A; NIL ENDSYS\r\n",
                             "specification S [a] : noexit behaviour a; stop endspec\r\n"}) {
        const std::string path = dir.File("spec.LOT");
        test::Put(path, "\xEF\xBB\xBF" + std::string(text));
        const TextFileResult file = ReadTextFile(path);
        ASSERT_TRUE(test::Succeeded(file.status));
        const test::Compiled c = CompileText(Joined(file.lines));
        EXPECT_TRUE(c.ok()) << text << Joined(c.messages);
    }
}

TEST(HostileText, ACommentLeftOpenIsToldWhereItOpens) {
    const test::Compiled c = CompileText("SYSTEM S [A] :=\n  A; NIL { the end\nof the text\nENDSYS");
    EXPECT_FALSE(c.ok());
    EXPECT_EQ(ErrorLines(c), Lines{"(ligne:2) Commentaire non fermé : « { » sans « } ». (colonne:10)"});
    // A comment closed, even by a "$" written in it, is no error.
    EXPECT_TRUE(CompileText("SYSTEM S [A] := A; NIL { $ ENDSYS").ok());
}

std::string Names(const char* stem, int count) {
    std::string text;
    // The source's lines stay within what the dialect reads (300 characters).
    for (int i = 0; i < count; ++i) text += (i ? (i % 20 ? ", " : ",\n") : "") + std::string(stem) + std::to_string(i);
    return text;
}

// Both writers' texts keep to short lines and read back as the same trees.
void ExpectReadBack(const std::string& dialect, const std::string& what) {
    const test::Compiled c = CompileText(dialect);
    ASSERT_TRUE(c.ok()) << what;
    for (const bool standard : {true, false}) {
        const StandardText text = standard ? WriteStandardLotos(c.tree()) : WriteDialectLotos(c.tree());
        ASSERT_TRUE(test::Succeeded(text.status)) << what;
        for (const std::string& line : text.lines) ASSERT_LE(line.size(), 100u) << what << ": " << line;
        const test::Compiled back = CompileText(Joined(text.lines));
        ASSERT_TRUE(back.ok()) << what << (standard ? " (standard)\n" : " (dialect)\n") << Joined(back.messages);
        EXPECT_EQ(AllTrees(back.tree()), AllTrees(c.tree())) << what;
    }
}

TEST(HostileText, WideSpecificationsAreWrittenInShortLinesAndReadBack) {
    const std::string gates = Names("G", 200);
    std::string chain;
    for (int i = 0; i < 200; ++i) chain += "G" + std::to_string(i % 200) + (i % 20 == 19 ? ";\n" : "; ");
    ExpectReadBack("SYSTEM S [" + gates + "] :=\nP [" + gates + "]\nWHERE\nPROCESS P [" + Names("X", 200) +
                       "] :=\nX0; NIL\nENDPROC\nENDSYS",
                   "a 200-gate header");
    ExpectReadBack("SYSTEM S [" + gates + "] :=\n" + chain + "NIL\nENDSYS", "a 200-action chain");
    ExpectReadBack("SYSTEM S [A] :=\nHIDE " + Names("H", 100) + " IN\nA; H99; NIL\nENDSYS", "a 100-gate hide");
    ExpectReadBack("SYSTEM S [" + gates + "] :=\nG0; NIL |[" + gates + "]| G1; NIL\nENDSYS", "a 200-gate parallel");
}

TEST(HostileText, DeepSpecificationsAreWrittenWithinTheReadersBoundOrRefused) {
    const auto parentheses = [](int n) {
        std::string text = "SYSTEM S [A] :=\n";
        for (int i = 0; i < n; ++i) text += "(A; NIL []\n";
        text += "A; NIL";
        for (int i = 0; i < n; ++i) text += i % 100 == 99 ? ")\n" : ")";
        return text + "\nENDSYS";
    };
    const auto hides = [](int n) {
        std::string text = "SYSTEM S [A] :=\n";
        for (int i = 0; i < n; ++i) text += "HIDE A IN\n";
        return text + "A; NIL\nENDSYS";
    };
    const auto wheres = [](int n) {
        std::string text = "SYSTEM S [A] := P0 [A] WHERE\n";
        for (int i = 0; i < n; ++i)
            text += "PROCESS P" + std::to_string(i) + " [X] := X; P" + std::to_string(i + 1) + " [X] WHERE\n";
        text += "PROCESS P" + std::to_string(n) + " [X] := X; NIL ENDPROC\n";
        for (int i = 0; i < n; ++i) text += "ENDPROC\n";
        return text + "ENDSYS";
    };
    // Within the bound: laid out with a bounded indentation, read back.
    ExpectReadBack(parentheses(900), "900 nested parentheses");
    ExpectReadBack(hides(900), "900 nested HIDE");
    ExpectReadBack(wheres(400), "400 nested WHERE");
    // Beyond it: refused with a message, never a crash.
    for (const std::string& text : {parentheses(20000), hides(50000), wheres(10000), parentheses(1000)}) {
        const test::Compiled c = CompileText(text);
        ASSERT_TRUE(c.ok());
        for (const bool standard : {true, false}) {
            const StandardText written = standard ? WriteStandardLotos(c.tree()) : WriteDialectLotos(c.tree());
            EXPECT_EQ(written.status.message(),
                      "Spécification trop imbriquée pour être exportée : plus de 1000 niveaux de parenthèses, de HIDE "
                      "ou de WHERE.");
        }
    }
}

// A long chain of definitions resolves in linear time (bench/ times it);
// here, that it resolves at all.
TEST(HostileText, ALongChainOfDefinitionsCompilesInTheStandardSyntax) {
    std::string text = "specification S [a] : noexit behaviour P0 [a] where\n";
    const int n = 20000;
    for (int i = 0; i < n; ++i)
        text += "process P" + std::to_string(i) + " [x] : noexit := x; P" + std::to_string(i + 1) + " [x] endproc\n";
    text += "process P" + std::to_string(n) + " [x] : noexit := x; stop endproc\nendspec\n";
    const test::Compiled c = CompileText(text);
    EXPECT_TRUE(c.ok()) << Joined(ErrorLines(c));
}

}  // namespace
}  // namespace quarvo
