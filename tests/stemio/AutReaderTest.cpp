// Reading .aut files: the store they give, the internal action, the initial
// state, round trips through the writer, and every malformed text refused
// with its line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "StemTestSupport.h"
#include "frontend/Parser.h"
#include "generation/Generator.h"
#include "generation/StemWriter.h"
#include "stemio/AutReader.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Reads the lines as a LineSource, and the same text as a file with CR LF and
// with LF, read in chunks of a few bytes: the three give the same answer
// (messages too, for plain ASCII: a file's bytes are Windows-1252, a
// LineSource's lines UTF-8).
AutReadResult Read(const Lines& lines) {
    VectorLineSource source(lines);
    AutReadResult r = ReadAut(source);
    const bool ascii = std::all_of(lines.begin(), lines.end(), [](const std::string& line) {
        return std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    });
    const std::string path = (fs::temp_directory_path() / ("quarvo_aut_test_" + std::to_string(getpid()) + ".aut")).string();
    for (const std::string lineEnd : {"\r\n", "\n"}) {
        test::WriteBytes(path, test::FileBytes(lines, lineEnd, lineEnd == "\r\n"));
        FileLineStream stream(path, 5);
        const AutReadResult f = ReadAut(stream);
        EXPECT_EQ(f.status.ok(), r.status.ok()) << lineEnd.size();
        EXPECT_EQ(f.status.line(), r.status.line());
        if (ascii) {
            EXPECT_EQ(f.status.message(), r.status.message());
        }
        EXPECT_EQ(test::StoreText(f.stem), test::StoreText(r.stem));
    }
    fs::remove(path);
    return r;
}

std::string AutText(const StemStore& stem, AutOptions options = {}) {
    std::ostringstream out;
    WriteAut(out, stem, options);
    return out.str();
}

TEST(AutReader, ReadsStatesInFileOrderWithTheInternalActionAsI) {
    const AutReadResult r = Read({
        "des (0, 5, 3)",
        "(0, \"A\", 1)",
        "(0, i, 2)",
        "",
        "  ( 1 ,  B_2 , 0 )  ",
        "(2,\"tau\",2)",
        "(0, \"delta\", 2)",
    });
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(r.stem.StemStateCount, 3);
    EXPECT_TRUE(r.stem.NumberedByPosition());
    // Each state's arcs read back in the order of the file, no events, event 0.
    EXPECT_EQ(test::StoreText(r.stem), (Lines{"0 {} | {}A:0>1 {}I:0>2 {}delta:0>2", "1 {} | {}B_2:0>0",
                                              "2 {} | {}I:0>2"}));
    // Written back, the same text.
    EXPECT_EQ(AutText(r.stem), "des (0, 5, 3)\n(0, \"A\", 1)\n(0, \"i\", 2)\n(0, \"delta\", 2)\n(1, \"B_2\", 0)\n"
                               "(2, \"i\", 2)\n");
}

TEST(AutReader, TheInitialStateTradesItsNumberWithStateZero) {
    const AutReadResult r = Read({"des (2, 3, 4)", "(2, A, 0)", "(0, B, 3)", "(3, C, 2)"});
    ASSERT_TRUE(test::Succeeded(r.status));
    // 2 is now 0 and 0 is now 2; 1 (isolated) and 3 keep their numbers.
    EXPECT_EQ(test::StoreText(r.stem), (Lines{"0 {} | {}A:0>2", "1 {} |", "2 {} | {}B:0>3", "3 {} | {}C:0>0"}));
}

// The labels other toolsets write: parameters, offers with blanks and "!",
// commas inside quotes, digits, any length, kept whole and written back.
TEST(AutReader, AnyLabelIsReadWholeAndWrittenBack) {
    const std::string long50(50, 'x');
    const Lines labels = {"send(1)", "r1(d1)", "G !TRUE", "IO !+2 !OFFHOOK", "a,b", "1", "G ?x:Nat", long50,
                          "G !1, 2", "é"};
    Lines lines{"des (0, " + std::to_string(labels.size() + 1) + ", 2)"};
    for (const std::string& label : labels) lines.push_back("(0, \"" + label + "\", 1)");
    lines.push_back("(1, r1(d1), 0)");  // unquoted: up to the comma before the target
    const AutReadResult r = Read(lines);
    ASSERT_TRUE(test::Succeeded(r.status));
    std::string expected = "des (0, " + std::to_string(labels.size() + 1) + ", 2)\n";
    for (const std::string& label : labels) expected += "(0, \"" + label + "\", 1)\n";
    expected += "(1, \"r1(d1)\", 0)\n";
    EXPECT_EQ(AutText(r.stem), expected);
    // The same label, quoted or not, is one action.
    EXPECT_EQ(r.stem.actions.Size(), labels.size());
    // Those no Identifier32 holds are kept whole; the others are names.
    for (ActionId id = 0; id < r.stem.actions.Size(); ++id) {
        const std::string text = r.stem.actions.Text(id);
        EXPECT_EQ(r.stem.actions.IsIdentifier(id), text.size() <= 32 && text.find(' ') == std::string::npos) << text;
    }
}

TEST(AutReader, AByteOrderMarkBeforeTheHeaderIsSkipped) {
    const AutReadResult r = Read({"\xEF\xBB\xBF" "des (0, 1, 2)", "(0, \"A\", 1)"});
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(AutText(r.stem), "des (0, 1, 2)\n(0, \"A\", 1)\n");
}

TEST(AutReader, ControlBytesAreShownEscapedInMessages) {
    const std::string nul(1, '\0');
    const AutReadResult r = Read({"des (0, 1, 2)", "(x" + nul + "\x1b, \"A\", 1)"});
    EXPECT_TRUE(test::FailedWith(
        r.status, "Erreur dans le fichier .aut ligne 2 : origine « x\\x00\\x1B » : numéro d'état attendu.", 2));
}

TEST(AutReader, AHeaderAnnouncingMoreThanTheMemoryHoldsFailsFast) {
    // 30 bytes announcing two billion states: the memory stop refuses them
    // before any table is made for them.
    const std::string path =
        (fs::temp_directory_path() / ("quarvo_aut_lying_" + std::to_string(getpid()) + ".aut")).string();
    test::WriteBytes(path, "des (0, 1, 2000000000)\n(0,a,1)\n");
    const AutReadResult r = ReadAutFile(path, nullptr, std::int64_t{256} << 20);
    fs::remove(path);
    EXPECT_TRUE(r.outOfMemory);
    EXPECT_EQ(r.status.message(), AutReadOutOfMemoryText);
    EXPECT_TRUE(r.stem.Empty());
}

struct BadAut {
    const char* what;
    Lines lines;
    int line;
    std::string message;  // after "Erreur dans le fichier .aut ligne N : "
};

TEST(AutReader, MalformedTextsAreRefusedWithTheirLine) {
    const std::string header = "en-tête « des (état initial, nombre d'arcs, nombre d'états) » attendu.";
    const std::string arc = "arc attendu sous la forme (origine, \"étiquette\", destination).";
    const std::vector<BadAut> cases = {
        {"empty text", {}, 1, header},
        {"blank lines only", {"", "  "}, 2, header},
        {"no header", {"(0, A, 1)"}, 1, header},
        {"upper-case keyword", {"DES (0, 0, 1)"}, 1, header},
        {"two numbers", {"des (0, 1)"}, 1, header},
        {"four numbers", {"des (0, 1, 2, 3)"}, 1, header},
        {"negative number", {"des (-1, 0, 1)"}, 1, header},
        {"no closing parenthesis", {"des (0, 0, 1"}, 1, header},
        {"no state", {"des (0, 0, 0)"}, 1, "l'en-tête annonce 0 état : un système a au moins son état initial."},
        {"too many states", {"des (0, 0, 2147483648)"}, 1,
         "l'en-tête annonce plus d'états que ce programme ne sait en numéroter (2147483647 au plus)."},
        {"too many arcs", {"des (0, 99999999999999999999, 1)"}, 1,
         "l'en-tête annonce plus d'arcs que ce programme ne sait en ranger (4294967294 au plus)."},
        {"initial state out of range", {"des (3, 0, 3)"}, 1,
         "état initial 3 hors bornes (l'en-tête annonce 3 états, numérotés de 0 à 2)."},
        {"fewer arcs than announced", {"", "des (0, 2, 2)", "(0, A, 1)", ""}, 2,
         "l'en-tête annonce 2 arcs, le fichier en contient 1."},
        {"more arcs than announced", {"des (0, 1, 2)", "(0, A, 1)", "(1, A, 0)"}, 3,
         "arc en trop : l'en-tête annonce 1 arc."},
        {"no parentheses", {"des (0, 1, 2)", "0, A, 1"}, 2, arc},
        {"one comma", {"des (0, 1, 2)", "(0, A)"}, 2, arc},
        {"source not a number", {"des (0, 1, 2)", "(x, A, 1)"}, 2, "origine « x » : numéro d'état attendu."},
        {"target not a number", {"des (0, 1, 2)", "(0, A, )"}, 2, "destination : numéro d'état manquant."},
        {"source out of range", {"des (0, 1, 2)", "(2, A, 1)"}, 2,
         "état 2 hors bornes (l'en-tête annonce 2 états, numérotés de 0 à 1)."},
        {"target far out of range", {"des (0, 1, 1)", "(0, A, 123456789012345678901234)"}, 2,
         "état « 123456789012345678901234 » hors bornes (l'en-tête annonce 1 état, numéroté 0)."},
        {"empty label", {"des (0, 1, 2)", "(0, \"\", 1)"}, 2, "étiquette vide."},
        {"unclosed quote", {"des (0, 1, 2)", "(0, \"A, 1)"}, 2, "guillemet fermant de l'étiquette manquant."},
    };
    for (const BadAut& c : cases) {
        const AutReadResult r = Read(c.lines);
        EXPECT_TRUE(test::FailedWith(r.status, AutReadErrorText(c.line, c.message), c.line)) << c.what;
        EXPECT_TRUE(r.stem.Empty()) << c.what;
        EXPECT_FALSE(r.outOfMemory) << c.what;
    }
}

TEST(AutReader, AFileNamesItselfInItsMessagesAndAMissingFileIsReported) {
    const std::string path = (fs::temp_directory_path() / ("quarvo_aut_named_" + std::to_string(getpid()) + ".aut")).string();
    test::WriteBytes(path, "des (0, 1, 1)\r\n(0, \"A\", 3)\r\n");
    const AutReadResult r = ReadAutFile(path);
    EXPECT_TRUE(test::FailedWith(
        r.status,
        "Erreur dans le fichier .aut « " + path + " » ligne 2 : état 3 hors bornes (l'en-tête annonce 1 état, "
        "numéroté 0).",
        2));
    fs::remove(path);
    const AutReadResult missing = ReadAutFile(path);
    EXPECT_TRUE(test::Failed(missing.status));
    EXPECT_EQ(missing.status.line(), 0);
    EXPECT_NE(missing.status.message().find(path), std::string::npos);
}

// The .aut text of every example, written and read back, writes the same text
// again: with hidden names kept, exactly; by default, hidden actions are i.
TEST(AutReader, WrittenExamplesReadBackToTheSameText) {
    for (const char* name : {"BUFFER", "MUTEX", "PHILO", "PROTOCOL", "OPERATORS"}) {
        SCOPED_TRACE(name);
        TextFileResult file = ReadTextFile(std::string(QUARVO_SOURCE_DIR) + "/examples/" + name + ".LOT");
        ASSERT_TRUE(test::Succeeded(file.status));
        VectorLineSource source(file.lines);
        struct : MessageSink {
            void Append(std::string_view) override {}
        } quiet;
        const CompileOutcome compiled = CompileSpecification(source, std::string(QUARVO_SOURCE_DIR), quiet);
        ASSERT_TRUE(compiled.ok());
        for (Semantics semantics : {Semantics::Interleaving, Semantics::Maximality}) {
            GenerationSettings settings;
            settings.semantics = semantics;
            StemStore generated;
            GenerateStem(compiled.compilation, settings, generated);
            for (bool keep : {false, true}) {
                const std::string text = AutText(generated, AutOptions{keep});
                if (!keep) {
                    EXPECT_EQ(text.find("\"I_"), std::string::npos);
                } else if (std::string(name) == "BUFFER") {
                    EXPECT_NE(text.find("\"I_MID\""), std::string::npos);
                }
                const AutReadResult back = Read(SplitLines(text));
                ASSERT_TRUE(test::Succeeded(back.status));
                EXPECT_EQ(back.stem.StateCount(), generated.StateCount());
                EXPECT_EQ(AutText(back.stem, AutOptions{keep}), text);
            }
        }
    }
}

TEST(AutReader, ALargeFileReadsInChunksAndReportsProgress) {
    // A cycle of 100000 states with two arcs each, about 3 MB.
    Lines lines{"des (0, 200000, 100000)"};
    for (int s = 0; s < 100000; ++s) {
        lines.push_back("(" + std::to_string(s) + ", \"STEP_" + std::to_string(s % 7) + "\", " +
                        std::to_string((s + 1) % 100000) + ")");
        lines.push_back("(" + std::to_string(s) + ", i, " + std::to_string(s) + ")");
    }
    const std::string path = (fs::temp_directory_path() / ("quarvo_aut_large_" + std::to_string(getpid()) + ".aut")).string();
    test::WriteBytes(path, test::FileBytes(lines, "\r\n", true));
    struct Counting : Progress {
        int updates = 0;
        std::int64_t last = 0;
        void Update(std::int64_t, std::int64_t arcs) override {
            ++updates;
            last = arcs;
        }
    } progress;
    const AutReadResult r = ReadAutFile(path, &progress);
    fs::remove(path);
    ASSERT_TRUE(test::Succeeded(r.status));
    EXPECT_EQ(r.stem.StateCount(), 100000u);
    EXPECT_EQ(r.stem.ArcCount(), 200000);
    EXPECT_GT(progress.updates, 100);
    EXPECT_EQ(progress.last, 200000);
    EXPECT_EQ(test::StateText(r.stem, r.stem.State(99999)), "99999 {} | {}STEP_4:0>0 {}I:0>99999");
}

}  // namespace
}  // namespace quarvo

namespace quarvo {
namespace {

// A STEM file holds only classic action names: the labels of another
// toolset's file are refused there, by name, and nothing is written.
TEST(AutReader, AStemFileRefusesTheLabelsItCannotHold) {
    const AutReadResult plain = Read({"des (0, 1, 2)", "(0, \"GET_1\", 1)"});
    ASSERT_TRUE(test::Succeeded(plain.status));
    EXPECT_TRUE(StemCanHold(plain.stem).ok());
    for (const std::string& label : Lines{"send(1)", "G !TRUE", std::string(33, 'A'), "1"}) {
        const AutReadResult r = Read({"des (0, 1, 2)", "(0, \"" + label + "\", 1)"});
        ASSERT_TRUE(test::Succeeded(r.status)) << label;
        const Status held = StemCanHold(r.stem);
        EXPECT_FALSE(held.ok()) << label;
        EXPECT_NE(held.message().find("ne peut pas être écrite dans un fichier STEM"), std::string::npos);
        const std::string path =
            (fs::temp_directory_path() / ("quarvo_aut_refused_" + std::to_string(getpid()) + ".STEM")).string();
        EXPECT_FALSE(WriteClassicStem(path, r.stem, r.stem.StemStateCount).ok()) << label;
        EXPECT_FALSE(fs::exists(path)) << label;
    }
}

}  // namespace
}  // namespace quarvo
