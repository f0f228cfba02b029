// Groupings, tree fields, syntax errors and table loading of the LR parser.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "FrontendTestSupport.h"
#include "tests/ScratchDirectory.h"

namespace quarvo {
namespace {

using test::CompileText;
using test::ErrorLines;
using test::Spec;
using test::TreeText;
using Lines = std::vector<std::string>;

std::string Grouping(const std::string& behaviour) {
    test::Compiled c = CompileText(Spec(behaviour));
    EXPECT_TRUE(c.ok()) << behaviour << "\n" << (c.messages.size() > 1 ? c.messages[1] : "");
    return c.ok() ? TreeText(c.root()) : "";
}

TEST(Parser, OperatorPrecedenceFollowsTheLotosStandard) {
    struct Case {
        const char* behaviour;
        const char* tree;
    } cases[] = {
        {"A; B; NIL [] C; NIL", "(A;B;NIL [] C;NIL)"},
        {"A; NIL ||| B; NIL [] C; NIL", "(A;NIL |delta| (B;NIL [] C;NIL))"},
        {"A; NIL [] B; NIL ||| C; NIL", "((A;NIL [] B;NIL) |delta| C;NIL)"},
        {"A; NIL ||| B; NIL [> C; NIL", "((A;NIL |delta| B;NIL) [> C;NIL)"},
        {"A; EXIT >> B; NIL [> C; NIL", "(A;delta;NIL >> (B;NIL [> C;NIL))"},
        {"A; NIL [> B; EXIT >> C; NIL", "((A;NIL [> B;delta;NIL) >> C;NIL)"},
        {"A; NIL || B; NIL |[A]| C; NIL", "((A;NIL |delta,A,B,C,D,E,F,G,H| B;NIL) |delta,A| C;NIL)"},
        {"A; NIL [] B; NIL [] C; NIL", "((A;NIL [] B;NIL) [] C;NIL)"},
        {"A; EXIT >> B; EXIT >> C; NIL", "((A;delta;NIL >> B;delta;NIL) >> C;NIL)"},
        {"A; NIL [> B; NIL [> C; NIL", "((A;NIL [> B;NIL) [> C;NIL)"},
        {"HIDE A IN A; EXIT >> B; NIL", "(HIDE A IN (A;delta;NIL >> B;NIL))"},
        {"A; HIDE B IN B; NIL [] C; NIL", "A;(HIDE B IN (B;NIL [] C;NIL))"},
        {"(A; NIL ||| B; NIL) [] C; NIL", "((A;NIL |delta| B;NIL) [] C;NIL)"},
        {"I; EXIT", "I;delta;NIL"},
    };
    for (const Case& c : cases) EXPECT_EQ(Grouping(c.behaviour), c.tree) << c.behaviour;
}

TEST(Parser, HeightsOfEveryNodeKind) {
    test::Compiled c = CompileText(Spec("A; B; NIL [] (EXIT ||| P [A]) WHERE PROCESS P [X] := X; NIL ENDPROC"));
    ASSERT_TRUE(c.ok());
    const BehaviourNode* choice = c.root();
    EXPECT_EQ(choice->kind, NodeKind::Choice);
    const BehaviourNode* ab = choice->left;
    EXPECT_EQ(ab->height, 1);           // A; B; NIL
    EXPECT_EQ(ab->right->height, 0);    // B; NIL
    EXPECT_EQ(ab->right->right->height, -1);
    const BehaviourNode* par = choice->right;
    EXPECT_EQ(par->left->height, 0);    // EXIT
    EXPECT_EQ(par->right->height, 0);   // call
    EXPECT_EQ(par->height, 1);
    EXPECT_EQ(choice->height, 2);
    test::Compiled hide = CompileText(Spec("HIDE A IN A; NIL"));
    EXPECT_EQ(hide.root()->height, 1);
}

TEST(Parser, ExitIsADeltaPrefixOnAStop) {
    test::Compiled c = CompileText(Spec("EXIT"));
    const BehaviourNode* exit = c.root();
    ASSERT_EQ(exit->kind, NodeKind::Prefix);
    EXPECT_EQ(exit->gates->name, DeltaName());
    EXPECT_EQ(exit->gates->next, nullptr);
    ASSERT_NE(exit->right, nullptr);
    EXPECT_EQ(exit->right->kind, NodeKind::Stop);
    EXPECT_EQ(exit->left, nullptr);
    EXPECT_EQ(exit->right->left, nullptr);
    EXPECT_EQ(exit->right->right, nullptr);
}

TEST(Parser, FullSynchronisationSharesTheHeaderGates) {
    test::Compiled c = CompileText("SYSTEM S [A, B] := A; NIL || (HIDE H IN H; NIL) ENDSYS");
    ASSERT_TRUE(c.ok());
    const BehaviourNode* par = c.root();
    EXPECT_EQ(test::GatesText(par->gates), "delta,A,B");
    EXPECT_EQ(par->gates->next, c.tree().systemDefinition->gates);
}

TEST(Parser, AcceptedShapesOfHeadersAndBodies) {
    test::Compiled noGates = CompileText("SYSTEM S [] := NIL ENDSYS");
    ASSERT_TRUE(noGates.ok());
    EXPECT_EQ(noGates.tree().systemDefinition->gateCount, 0);
    EXPECT_EQ(noGates.tree().systemDefinition->gates, nullptr);

    test::Compiled emptyBody = CompileText("SYSTEM S [A] := ENDSYS");
    ASSERT_TRUE(emptyBody.ok());
    EXPECT_EQ(emptyBody.root(), nullptr);
    EXPECT_EQ(emptyBody.tree().systemDefinition->name.Text(), "S");
    EXPECT_EQ(emptyBody.messages,
              (Lines{"Compilation...", "Nombre de lignes compilées: 1.", "Compilation terminée. Aucune erreur détectée."}));
}

TEST(Parser, SuccessCountsEveryEditorLine) {
    test::Compiled c = CompileText("SYSTEM S [A] :=\n  A; NIL\nENDSYS\n\n\n");
    // Trailing empty lines of the editor count.
    std::vector<std::string> lines = {"SYSTEM S [A] :=", "  A; NIL", "ENDSYS", "", ""};
    VectorLineSource source(lines);
    VectorMessageSink sink;
    CompileOutcome outcome = CompileSpecification(source, test::CommittedTables(), sink);
    EXPECT_TRUE(outcome.ok());
    EXPECT_EQ(sink.lines[1], "Nombre de lignes compilées: 5.");
    EXPECT_EQ(outcome.status, "Compilation terminée avec succès");
}

TEST(Parser, SyntaxErrorsNameWhatTheStateExpectedAndWhereTheTokenIs) {
    struct Case {
        std::string text;
        std::string message;
        int column;         // of the token the parser could not take
        std::string token;  // that token as written; empty for the end of the text
    } cases[] = {
        {"S [A] := NIL ENDSYS", "\"system\" manquant.", 1, "S"},
        {"SYSTEM [A] := NIL ENDSYS", "Identificateur manquant.", 8, "["},
        {"SYSTEM S [A] NIL ENDSYS", "\":=\" manquant.", 14, "NIL"},
        {"SYSTEM S := NIL ENDSYS", "\"[\" manquant.", 10, ":="},
        {"SYSTEM S [A] := A; ; NIL ENDSYS", "Expression de comportement incorrecte.", 20, ";"},
        {"SYSTEM S [A, ] := NIL ENDSYS", "Identificateur manquant.", 14, "]"},
        {"SYSTEM S [A] := A NIL ENDSYS", "\";\" manquant.", 19, "NIL"},
        {"SYSTEM S [A] := A; NIL B; NIL ENDSYS", "\"endsys\" ou \"endproc\" manquant.", 24, "B"},
        {"SYSTEM S [A] := (A; NIL ENDSYS", "Expression de comportement incorrecte.", 25, "ENDSYS"},
        {"SYSTEM S [A] := P [A ENDSYS", "\",\" ou \"]\"ou \"in\" manquant.", 22, "ENDSYS"},
        {"SYSTEM S [A] := P [ ; ENDSYS", "Identificateur ou \"]\" manquant.", 21, ";"},
        {"SYSTEM S [A] := I NIL ENDSYS", "\";\" manquant.", 19, "NIL"},
        {"SYSTEM S [A] := NIL ENDSYS NIL", "Symbole exedentaire.", 28, "NIL"},
        {"SYSTEM S [A] := NIL", "\"endsys\" ou \"endproc\" manquant.", 20, ""},
        {"SYSTEM S [A] := NIL WHERE NIL", "\"process\" manquant.", 27, "NIL"},
        {"SYSTEM S [A] := HIDE B C; NIL ENDSYS", "\",\" ou \"]\"ou \"in\" manquant.", 24, "C"},
        {"SYSTEM S [A] := NIL |[A; NIL ENDSYS", "\",\" ou \"]\"ou \"in\" manquant.", 24, ";"},
        {"SYSTEM S [A] := NIL |[A] NIL ENDSYS", "\"|\" manque.", 26, "NIL"},
        {"SYSTEM S [A] := NIL WHERE PROCESS P [A] := NIL ENDSYS", "\"endproc\" manquant.", 48, "ENDSYS"},
        {"SYSTEM S [A] := NIL WHERE PROCESS P [A] := ENDSYS", "Expression de comportement incorrecte.", 44,
         "ENDSYS"},
        {"SYSTEM S [A] := HIDE A B; NIL ENDSYS", "\",\" ou \"]\"ou \"in\" manquant.", 24, "B"},
        {"SYSTEM S [A] := HIDE IN NIL ENDSYS", "Identificateur manquant.", 22, "IN"},
        {"SYSTEM S [A] := NIL WHERE PROCESS P [A] := NIL ENDPROC NIL",
         "\"endsys\" ou \"endproc\" ou\"process\" manquant.", 56, "NIL"},
    };
    for (const Case& c : cases) {
        test::Compiled compiled = CompileText(c.text);
        EXPECT_FALSE(compiled.ok()) << c.text;
        // Then the symbol that stopped the parse, "fin du texte" at the end of the text.
        const std::string found = c.token.empty() ? "fin du texte" : c.token;
        const std::string error = "(ligne:1) " + c.message + " (colonne:" + std::to_string(c.column) +
                                  ") ; trouvé : « " + found + " »";
        EXPECT_EQ(ErrorLines(compiled), (Lines{error, "Nombre de lignes compilées : 1"})) << c.text;
        EXPECT_EQ(compiled.messages.back(), "Compilation terminée.");
        // The compilation dialog's status is the message alone.
        EXPECT_EQ(compiled.outcome.status, c.message) << c.text;
        // The column is that of the token's first character (one past the end for the end of the text).
        if (c.token.empty()) EXPECT_EQ(static_cast<std::size_t>(c.column), c.text.size() + 1) << c.text;
        else EXPECT_EQ(c.text.substr(static_cast<std::size_t>(c.column - 1), c.token.size()), c.token) << c.text;
    }
}

TEST(Parser, SyntaxErrorColumnsCountCharactersOfTheirOwnLine) {
    struct Case {
        std::string text;
        std::string error;
    } cases[] = {
        // The column restarts on each line.
        {"SYSTEM S [P] :=\n  P;\n  P NIL\nENDSYS", "(ligne:3) \";\" manquant. (colonne:5) ; trouvé : « NIL »"},
        {"SYSTEM S [P] := P NIL ENDSYS", "(ligne:1) \";\" manquant. (colonne:19) ; trouvé : « NIL »"},
        // Accented letters in a comment and a tabulation are one column each.
        {"SYSTEM S [P] := { déjà vu }\tP NIL ENDSYS",
         "(ligne:1) \";\" manquant. (colonne:31) ; trouvé : « NIL »"},
        // The end of the text is one past the end of the last line.
        {"SYSTEM S [P] :=\n  P; NIL\n",
         "(ligne:2) \"endsys\" ou \"endproc\" manquant. (colonne:9) ; trouvé : « fin du texte »"},
        // After a process call: the place and the symbol that stopped the parse.
        {"SYSTEM S [A, B, C] := Cell [A, B]; C WHERE PROCESS Cell [A, B] := A; B; NIL ENDPROC ENDSYS",
         "(ligne:1) \"endsys\" ou \"endproc\" manquant. (colonne:34) ; trouvé : « ; »"},
    };
    for (const Case& c : cases) {
        test::Compiled compiled = CompileText(c.text);
        ASSERT_FALSE(ErrorLines(compiled).empty()) << c.text;
        EXPECT_EQ(ErrorLines(compiled).front(), c.error) << c.text;
    }
}

TEST(Parser, OnlyTheFirstErrorIsReported) {
    test::Compiled c = CompileText("SYSTEM S [A] :=\nA B\n;;\nENDSYS");
    EXPECT_EQ(c.messages, (Lines{"Compilation...", "(ligne:2) \";\" manquant. (colonne:3) ; trouvé : « B »",
                                 "Nombre de lignes compilées : 2", "Compilation terminée."}));
}

TEST(Parser, LexicalErrorStopsWithoutALineCount) {
    test::Compiled c = CompileText("SYSTEM S [A] :=\nA; 12 NIL\nENDSYS");
    EXPECT_EQ(c.messages, (Lines{"Compilation...", "(ligne:2) Identificateur invalide. (colonne:4)",
                                 "(ligne:2) Identificateur invalide. (colonne:5)", "Compilation terminée."}));
    test::Compiled comment = CompileText("SYSTEM S [A] := A; NIL { open");
    EXPECT_FALSE(comment.ok());
}

TEST(Parser, MissingTablesAbandonTheCompilationNamingTheFile) {
    namespace fs = std::filesystem;
    const test::ScratchDirectory scratch("quarvo_no_tables");
    const fs::path dir = scratch.path;
    fs::create_directories(dir / "tables");
    ParseTablesResult missing = LoadParseTablesFrom((dir / "tables").string());
    EXPECT_TRUE(test::FailedWith(missing.status, "Fichier de table introuvable : « " +
                                                     (dir / "tables" / "taction.tab").string() + " »."));

    fs::copy_file(fs::path(QUARVO_SOURCE_DIR) / "tables" / "taction.tab", dir / "tables" / "taction.tab");
    ParseTablesResult noSucc = LoadParseTablesFrom((dir / "tables").string());
    EXPECT_TRUE(test::FailedWith(noSucc.status, "Fichier de table introuvable : « " +
                                                    (dir / "tables" / "tsucc.tab").string() + " »."));

    std::vector<std::string> lines = {"SYSTEM S [A] := NIL ENDSYS"};
    VectorLineSource source(lines);
    VectorMessageSink sink;
    CompileOutcome outcome = CompileSpecification(source, "/nonexistent/start", sink);
    // The tables next to the test program or in the data directory may exist; when none
    // does, nothing is compiled and the message lists the directories searched.
    if (!outcome.tables) {
        EXPECT_TRUE(sink.lines.empty());
        const std::string expected =
            "Table d'analyse « taction.tab » introuvable ; répertoires consultés : /nonexistent/start/tables, ";
        EXPECT_EQ(outcome.tables.message().rfind(expected, 0), 0u) << outcome.tables.message();
        EXPECT_EQ(outcome.compilation, nullptr);
    }
}

TEST(Parser, ShortTableFileReadsMissingEntriesAsUnknownError) {
    namespace fs = std::filesystem;
    const test::ScratchDirectory scratch("quarvo_short_tables");
    const fs::path dir = scratch.path;
    fs::create_directories(dir);
    { std::ofstream(dir / "taction.tab", std::ios::binary).write("\x01\x00\x00\x00\x02", 5); }
    fs::copy_file(fs::path(QUARVO_SOURCE_DIR) / "tables" / "tsucc.tab", dir / "tsucc.tab");
    ParseTablesResult loaded = LoadParseTablesFrom(dir.string());
    ASSERT_TRUE(test::Succeeded(loaded.status));
    EXPECT_EQ(loaded.tables.Action(0, 0), 1);
    EXPECT_EQ(loaded.tables.Action(0, 1), 2);  // the partial entry keeps its bytes, the rest is 0
    EXPECT_EQ(loaded.tables.Action(5, 3), 0);

    std::vector<std::string> lines = {"SYSTEM S [A] := NIL ENDSYS"};
    VectorLineSource source(lines);
    VectorMessageSink sink;
    CompileOutcome outcome = CompileSpecification(source, loaded.tables, sink);
    EXPECT_FALSE(outcome.ok());
    EXPECT_EQ(sink.lines[1], "(ligne:1) Erreur inconnue. (colonne:8) ; trouvé : « S »");
}

TEST(Parser, LongListsAndDeepNestingCompile) {
    // Thousands of sibling processes reduce in one run at ENDSYS; the guard
    // against damaged tables must not mistake that for a loop.
    std::string text = "SYSTEM S [G0";
    for (int g = 1; g < 3000; ++g) text += (g % 20 ? ", G" : ",\nG") + std::to_string(g);
    text += "] := P0 [G0] WHERE\n";
    for (int p = 0; p < 3000; ++p)
        text += "PROCESS P" + std::to_string(p) + " [X] := X; P" + std::to_string((p + 1) % 3000) + " [X] ENDPROC\n";
    text += "ENDSYS";
    test::Compiled many = CompileText(text);
    EXPECT_TRUE(many.ok()) << many.messages[1];
    EXPECT_EQ(many.tree().systemDefinition->gateCount, 3000);

    std::string nested, closing, chain;
    for (int i = 0; i < 50; ++i) {
        nested += std::string(100, '(') + "\n";
        closing += std::string(100, ')') + "\n";
    }
    nested += "G0; NIL" + closing;
    for (int i = 0; i < 5000; ++i) chain += i % 50 ? "G0; " : "\nG0; ";
    test::Compiled deep = CompileText("SYSTEM S [G0] :=\n" + nested + " [] " + chain + "NIL\nENDSYS");
    ASSERT_TRUE(deep.ok());
    EXPECT_EQ(deep.root()->height, 5000);
}

TEST(Parser, CorruptTablesNeverCrashOrLoop) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> value(-40, 130);
    std::uniform_int_distribution<int> state(-3, 70);
    std::vector<std::string> lines = {
        "SYSTEM S [A, B] := A; B; NIL [] HIDE C IN (C; EXIT >> A; NIL) |[A]| P [A]",
        "WHERE PROCESS P [X] := X; P [X] ENDPROC ENDSYS"};
    for (int round = 0; round < 300; ++round) {
        ParseTables tables = test::CommittedTables();
        for (int k = 0; k < 40; ++k) {
            tables.action[static_cast<std::size_t>(rng() % tables.action.size())] = value(rng);
            tables.successor[static_cast<std::size_t>(rng() % tables.successor.size())] = state(rng);
        }
        VectorLineSource source(lines);
        VectorMessageSink sink;
        CompileSpecification(source, tables, sink);
        EXPECT_GE(sink.lines.size(), 2u);
    }
}

}  // namespace
}  // namespace quarvo
