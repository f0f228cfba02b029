// The OCaml program written for a compiled specification: numbering, terms, gate lists, lines and bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../frontend/FrontendTestSupport.h"
#include "stemio/OcamlWriter.h"
#include "tests/ScratchDirectory.h"

namespace quarvo {
namespace {

using test::CompileText;
using test::Compiled;

const char* const kDotLine = "let test=fun(système)->dot_stem(système,Sys.argv.(1));;test(sys);;";
const char* const kStemLine = "let test=fun(système)-> quarvo_stem(système,Sys.argv.(1));;test(sys);;";

Compiled MustCompile(const std::string& text) {
    Compiled c = CompileText(text);
    EXPECT_TRUE(c.ok()) << text;
    return c;
}

// The term of the system's behaviour.
std::string SystemTerm(const std::string& gates, const std::string& behaviour) {
    Compiled c = MustCompile("SYSTEM S [" + gates + "] :=\n" + behaviour + "\nENDSYS\n");
    if (!c.ok()) return "(not compiled)";
    ProcessNumbering numbers = NumberProcesses(c.tree().systemDefinition);
    return OcamlTerm(c.root(), numbers);
}

TEST(OcamlWriter, WritesTheTermOfEveryNodeKind) {
    struct Case {
        const char* behaviour;
        const char* term;
    } cases[] = {
        {"A; EXIT", "Préfixe(\"A\",Exit)"},
        {"A; NIL", "Préfixe(\"A\",Stop)"},
        {"I; A; NIL", "Préfixe(\"I\",Préfixe(\"A\",Stop))"},
        {"EXIT", "Exit"},
        {"A; NIL [] B; NIL", "Choix(Préfixe(\"A\",Stop),Préfixe(\"B\",Stop))"},
        {"A; NIL [> B; NIL", "Interruption(Préfixe(\"A\",Stop),Préfixe(\"B\",Stop))"},
        {"A; EXIT >> B; NIL", "Séquence(Préfixe(\"A\",Exit),Préfixe(\"B\",Stop))"},
        {"HIDE A, B IN A; B; NIL", "Hide([\"A\";\"B\"],Préfixe(\"A\",Préfixe(\"B\",Stop)))"},
        {"A; NIL ||| B; NIL", "Parallèlisme(Préfixe(\"A\",Stop),Préfixe(\"B\",Stop),[])"},
        {"A; NIL |[A, B]| B; NIL", "Parallèlisme(Préfixe(\"A\",Stop),Préfixe(\"B\",Stop),[\"A\";\"B\"])"},
        // Full synchronisation lists the visible gates.
        {"A; NIL || B; NIL", "Parallèlisme(Préfixe(\"A\",Stop),Préfixe(\"B\",Stop),[\"A\";\"B\"])"},
        {"(A; EXIT ||| B; EXIT) >> (NIL [> A; NIL)",
         "Séquence(Parallèlisme(Préfixe(\"A\",Exit),Préfixe(\"B\",Exit),[]),Interruption(Stop,Préfixe(\"A\",Stop)))"},
    };
    for (const Case& c : cases) EXPECT_EQ(SystemTerm("A, B", c.behaviour), c.term) << c.behaviour;
}

TEST(OcamlWriter, GateListsLeaveOutDeltaOnlyWhereAsked) {
    SyntaxArena arena;
    GateCell* b = arena.NewGate(Identifier32::FromText("B"));
    GateCell* a = arena.NewGate(Identifier32::FromText("A"), b);
    GateCell* withDelta = arena.NewGate(DeltaName(), a);
    GateCell* deltaOnly = arena.NewGate(DeltaName());

    EXPECT_EQ(OcamlGateList(withDelta, true), "[\"A\";\"B\"]");
    EXPECT_EQ(OcamlGateList(deltaOnly, true), "[]");
    EXPECT_EQ(OcamlGateList(nullptr, true), "[]");
    EXPECT_EQ(OcamlGateList(withDelta, false), "[\"delta\";\"A\";\"B\"]");
    EXPECT_EQ(OcamlGateList(b, false), "[\"B\"]");
    // A name is cut at its first blank.
    GateCell* padded = arena.NewGate(Identifier32::FromText("LONG NAME"));
    EXPECT_EQ(OcamlGateList(padded, false), "[\"LONG\"]");
}

TEST(OcamlWriter, WritesTheProgramOfTheOneLineSystem) {
    Compiled c = MustCompile("SYSTEM S [A] := A; EXIT ENDSYS\n");
    EXPECT_EQ(OcamlProgramLines(c.outcome.compilation.get(), OcamlOutput::AlphaReduced, OcamlFormat::Stem),
              (std::vector<std::string>{"open Calventosource", "let sys=[", "(0,[\"A\"],Préfixe(\"A\",Exit))];;",
                                        kStemLine}));
    EXPECT_EQ(OcamlProgramLines(c.outcome.compilation.get(), OcamlOutput::AlphaReduced, OcamlFormat::Dot),
              (std::vector<std::string>{"open Calventosource", "let sys=[", "(0,[\"A\"],Préfixe(\"A\",Exit))];;",
                                        kDotLine}));
    // The maximal-step graph is always written as a graph.
    EXPECT_EQ(OcamlProgramLines(c.outcome.compilation.get(), OcamlOutput::Gpm, OcamlFormat::Stem),
              (std::vector<std::string>{"open LotosGPM", "let sys=[", "(0,[\"A\"],Préfixe(\"A\",Exit))];;", kDotLine}));
}

const char* const kNested =
    "SYSTEM S [A, B] :=\n"
    "  P [A] ||| Q [B]\n"
    "WHERE\n"
    "  PROCESS P [X] :=\n"
    "    X; R [X]\n"
    "  WHERE\n"
    "    PROCESS R [Y] := Y; P [Y] ENDPROC\n"
    "  ENDPROC\n"
    "  PROCESS Q [X] :=\n"
    "    X; T [X, X]\n"
    "  WHERE\n"
    "    PROCESS T [U, V] := U; V; Q [V] ENDPROC\n"
    "  ENDPROC\n"
    "ENDSYS\n";

TEST(OcamlWriter, NumbersDefinitionsThroughNextChainsBeforeChildren) {
    Compiled c = MustCompile(kNested);
    ProcessNumbering numbers = NumberProcesses(c.tree().systemDefinition);
    std::vector<std::string> names;
    for (const ProcessDefinition* d : numbers.order) names.push_back(d->name.Text());
    EXPECT_EQ(names, (std::vector<std::string>{"S", "P", "Q", "T", "R"}));
    for (std::size_t i = 0; i < numbers.order.size(); ++i)
        EXPECT_EQ(numbers.NumberOf(numbers.order[i]), static_cast<int>(i));
    EXPECT_EQ(numbers.NumberOf(nullptr), -1);
    EXPECT_TRUE(NumberProcesses(nullptr).order.empty());

    // One entry per definition in numbering order, each call naming its callee's number.
    EXPECT_EQ(OcamlProgramLines(c.outcome.compilation.get(), OcamlOutput::AlphaReduced, OcamlFormat::Stem),
              (std::vector<std::string>{
                  "open Calventosource",
                  "let sys=[",
                  "(0,[\"A\";\"B\"],Parallèlisme(Appel([\"A\"],1),Appel([\"B\"],2),[]));",
                  "(1,[\"X\"],Préfixe(\"X\",Appel([\"X\"],4)));",
                  "(2,[\"X\"],Préfixe(\"X\",Appel([\"X\";\"X\"],3)));",
                  "(3,[\"U\";\"V\"],Préfixe(\"U\",Préfixe(\"V\",Appel([\"V\"],2))));",
                  "(4,[\"Y\"],Préfixe(\"Y\",Appel([\"Y\"],1)))];;",
                  kStemLine,
              }));
}

TEST(OcamlWriter, EncodesWindows1252WithCrLfBetweenLines) {
    const std::string bytes = OcamlProgramBytes({"open LotosGPM", "(0,[],Séquence(Exit,Parallèlisme(Stop,Stop,[])))];;",
                                                 kDotLine});
    const std::string expected =
        "open LotosGPM\r\n"
        "(0,[],S\xE9quence(Exit,Parall\xE8lisme(Stop,Stop,[])))];;\r\n"
        "let test=fun(syst\xE8me)->dot_stem(syst\xE8me,Sys.argv.(1));;test(sys);;";
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(OcamlProgramBytes({}), "");
}

TEST(OcamlWriter, WritesTheFileAndAnEmptyOneWithoutACompiledSystem) {
    const test::ScratchDirectory dir("quarvo_ocaml_writer");
    const std::string path = dir.File("temp.ml");
    auto read = [&path] {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };

    Compiled c = MustCompile("SYSTEM S [A] := A; EXIT ENDSYS\n");
    ASSERT_TRUE(test::Succeeded(
        WriteOcamlProgram(path, c.outcome.compilation.get(), OcamlOutput::AlphaReduced, OcamlFormat::Stem)));
    EXPECT_EQ(read(), "open Calventosource\r\nlet sys=[\r\n(0,[\"A\"],Pr\xE9" "fixe(\"A\",Exit))];;\r\n"
                      "let test=fun(syst\xE8me)-> quarvo_stem(syst\xE8me,Sys.argv.(1));;test(sys);;");

    Compiled failed = CompileText("SYSTEM S [A] := B; EXIT ENDSYS\n");
    ASSERT_FALSE(failed.ok());
    ASSERT_TRUE(test::Succeeded(
        WriteOcamlProgram(path, failed.outcome.compilation.get(), OcamlOutput::Gpm, OcamlFormat::Dot)));
    EXPECT_EQ(read(), "");
    ASSERT_TRUE(test::Succeeded(WriteOcamlProgram(path, nullptr, OcamlOutput::Gpm, OcamlFormat::Dot)));
    EXPECT_EQ(read(), "");
}

}  // namespace
}  // namespace quarvo
