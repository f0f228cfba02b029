// The standard syntax of basic LOTOS: what the reader builds, what it refuses and where, and the writers.
#include <gtest/gtest.h>

#include "FrontendTestSupport.h"
#include "frontend/StandardLexer.h"
#include "frontend/StandardWriter.h"

namespace quarvo {
namespace {

using test::AllTrees;
using test::CompileText;
using test::Joined;
using test::TreeText;
using Lines = std::vector<std::string>;

// A specification with gates a..h around a behaviour, in the standard syntax.
std::string StdSpec(const std::string& behaviour, const std::string& where = "") {
    return "specification S [a, b, c, d, e, f, g, h] : noexit behaviour " + behaviour +
           (where.empty() ? "" : " where " + where) + " endspec";
}

std::string StdTree(const std::string& behaviour, const std::string& where = "") {
    test::Compiled c = CompileText(StdSpec(behaviour, where));
    EXPECT_TRUE(c.ok()) << behaviour << "\n" << (c.messages.size() > 1 ? c.messages[1] : "");
    return c.ok() ? TreeText(c.root()) : "";
}

std::string DialectTree(const std::string& behaviour) {
    test::Compiled c = CompileText(test::Spec(behaviour));
    EXPECT_TRUE(c.ok()) << behaviour << "\n" << (c.messages.size() > 1 ? c.messages[1] : "");
    return c.ok() ? TreeText(c.root()) : "";
}

// The message lines between "Compilation..." and the closing lines.
Lines Errors(const std::string& text) {
    test::Compiled c = CompileText(text);
    EXPECT_FALSE(c.ok()) << text;
    Lines errors;
    for (const std::string& line : c.messages)
        if (line.rfind("(ligne:", 0) == 0) errors.push_back(line);
    return errors;
}

TEST(StandardSyntax, IsRecognisedByItsFirstWordAfterComments) {
    auto is = [](const std::string& text) {
        std::vector<std::string> lines = test::Lines(text);
        return IsStandardSyntax(VectorLineSource(lines));
    };
    EXPECT_TRUE(is("specification S : noexit behaviour stop endspec"));
    EXPECT_TRUE(is("(* a comment\n over two lines *)\n  SPECIFICATION S"));
    EXPECT_TRUE(is("{ ours }(* theirs *)Specification\tS"));
    EXPECT_FALSE(is("SYSTEM S [] := NIL ENDSYS"));
    EXPECT_FALSE(is("specifications S"));
    EXPECT_FALSE(is("(* specification *) SYSTEM S [] := NIL ENDSYS"));
    EXPECT_FALSE(is(""));
}

TEST(StandardSyntax, PrecedenceIsTheStandardsAndTheSameTreesAsTheDialect) {
    struct Case {
        const char* standard;
        const char* dialect;
    } cases[] = {
        {"a; b; stop [] c; stop", "A; B; NIL [] C; NIL"},
        {"a; stop ||| b; stop [] c; stop", "A; NIL ||| B; NIL [] C; NIL"},
        {"a; stop [] b; stop ||| c; stop", "A; NIL [] B; NIL ||| C; NIL"},
        {"a; stop ||| b; stop [> c; stop", "A; NIL ||| B; NIL [> C; NIL"},
        {"a; exit >> b; stop [> c; stop", "A; EXIT >> B; NIL [> C; NIL"},
        {"a; stop [> b; exit >> c; stop", "A; NIL [> B; EXIT >> C; NIL"},
        {"a; stop || b; stop |[a]| c; stop", "A; NIL || B; NIL |[A]| C; NIL"},
        {"a; stop [] b; stop [] c; stop", "A; NIL [] B; NIL [] C; NIL"},
        {"a; exit >> b; exit >> c; stop", "A; EXIT >> B; EXIT >> C; NIL"},
        {"hide a in a; exit >> b; stop", "HIDE A IN A; EXIT >> B; NIL"},
        {"a; hide b in b; stop [] c; stop", "A; HIDE B IN B; NIL [] C; NIL"},
        {"(a; stop ||| b; stop) [] c; stop", "(A; NIL ||| B; NIL) [] C; NIL"},
        {"i; exit", "I; EXIT"},
        {"A ; Exit", "A; EXIT"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StdTree(c.standard), DialectTree(c.dialect)) << c.standard;
    }
    EXPECT_EQ(StdTree("a; stop |[a, b]| b; stop"), "(A;NIL |delta,A,B| B;NIL)");
}

TEST(StandardSyntax, HeightsAreTheDialects) {
    test::Compiled s = CompileText(StdSpec("(a; b; stop [] exit) ||| hide c in c; stop"));
    test::Compiled d = CompileText(test::Spec("(A; B; NIL [] EXIT) ||| HIDE C IN C; NIL"));
    ASSERT_TRUE(s.ok());
    ASSERT_TRUE(d.ok());
    std::vector<const BehaviourNode*> x{s.root()}, y{d.root()};
    while (!x.empty()) {
        const BehaviourNode* a = x.back();
        const BehaviourNode* b = y.back();
        x.pop_back();
        y.pop_back();
        ASSERT_EQ(a == nullptr, b == nullptr);
        if (!a) continue;
        EXPECT_EQ(a->kind, b->kind);
        EXPECT_EQ(a->height, b->height);
        x.push_back(a->left);
        x.push_back(a->right);
        y.push_back(b->left);
        y.push_back(b->right);
    }
}

TEST(StandardSyntax, FullSynchronisationIsOnEveryGateInScope) {
    // Outside any hiding: the formal gates, as our "||".
    EXPECT_EQ(StdTree("a; stop || a; stop"), "(A;NIL |delta,A,B,C,D,E,F,G,H| A;NIL)");
    // The hidden gates in scope too, which our "||" leaves out.
    EXPECT_EQ(StdTree("hide x, y in (x; stop || x; stop)"),
              "(HIDE X,Y IN (X;NIL |delta,A,B,C,D,E,F,G,H,X,Y| X;NIL))");
    EXPECT_EQ(StdTree("hide a in (a; stop || a; stop)"), "(HIDE A IN (A;NIL |delta,A,B,C,D,E,F,G,H| A;NIL))");
    // In a process, its own gates.
    test::Compiled c = CompileText(
        "specification S [a] : noexit behaviour P [a] where "
        "process P [x] : noexit := x; stop || hide y in (y; stop || x; stop) endproc endspec");
    ASSERT_TRUE(c.ok());
    const BehaviourNode* body = c.tree().systemDefinition->children->behaviour;
    EXPECT_EQ(TreeText(body), "(X;NIL |delta,X| (HIDE Y IN (Y;NIL |delta,X,Y| X;NIL)))");
}

TEST(StandardSyntax, GateChoiceAndGateParallelismAreExpanded) {
    EXPECT_EQ(StdTree("choice x in [a, b, c] [] x; stop"), DialectTree("A; NIL [] B; NIL [] C; NIL"));
    EXPECT_EQ(StdTree("choice x in [a] [] x; exit"), DialectTree("A; EXIT"));
    // Several variables: every combination, the last one varying fastest.
    EXPECT_EQ(StdTree("choice x in [a, b], y in [c, d] [] x; y; stop"),
              DialectTree("A; C; NIL [] A; D; NIL [] B; C; NIL [] B; D; NIL"));
    EXPECT_EQ(StdTree("par x in [a, b, c] ||| x; stop"), DialectTree("A; NIL ||| B; NIL ||| C; NIL"));
    EXPECT_EQ(StdTree("par x in [a, b] |[c]| x; c; stop"), DialectTree("A; C; NIL |[C]| B; C; NIL"));
    EXPECT_EQ(StdTree("par x in [a, b], y in [c, d] ||| x; y; stop"), DialectTree("A; C; NIL ||| B; D; NIL"));
    // The body extends as far to the right as it can; nested, the inner variable hides the outer.
    EXPECT_EQ(StdTree("choice x in [a, b] [] x; stop [] c; stop"),
              DialectTree("(A; NIL [] C; NIL) [] (B; NIL [] C; NIL)"));
    EXPECT_EQ(StdTree("choice x in [a] [] choice x in [b] [] x; stop"), DialectTree("B; NIL"));
    EXPECT_EQ(StdTree("choice x in [a, b] [] hide x in x; stop"), DialectTree("(HIDE X IN X; NIL) [] (HIDE X IN X; NIL)"));
    // A variable stands for its gate in calls and synchronisation lists.
    EXPECT_EQ(StdTree("choice x in [a, b] [] P [x]", "process P [y] : noexit := y; stop endproc"),
              "(P[A] [] P[B])");
    EXPECT_EQ(StdTree("choice x in [a, b] [] (x; stop |[x]| x; stop)"),
              DialectTree("(A; NIL |[A]| A; NIL) [] (B; NIL |[B]| B; NIL)"));
}

TEST(StandardSyntax, ProcessesNestedWhereRecursionAndScopes) {
    test::Compiled c = CompileText(
        "(* two levels of where *)\n"
        "specification Top [a, b] : noexit\n"
        "behaviour\n"
        "  P [a, b] ||| Q\n"
        "where\n"
        "  process P [x, y] : noexit :=\n"
        "    x; R [y]\n"
        "  where\n"
        "    process R [z] : noexit := z; P [z, z] [] Q endproc\n"
        "  endproc\n"
        "  process Q : exit := i; exit endproc\n"
        "endspec\n");
    ASSERT_TRUE(c.ok()) << c.messages[1];
    const ProcessDefinition* top = c.tree().systemDefinition;
    EXPECT_EQ(top->name.Text(), "TOP");
    EXPECT_EQ(TreeText(c.root()), "(P[A,B] |delta| Q[])");
    const ProcessDefinition* p = top->children;
    EXPECT_EQ(p->name.Text(), "P");
    EXPECT_EQ(p->gateCount, 2);
    EXPECT_EQ(p->parent, top);
    EXPECT_EQ(p->next->name.Text(), "Q");
    EXPECT_EQ(p->children->name.Text(), "R");
    EXPECT_EQ(p->children->parent, p);
    EXPECT_EQ(TreeText(p->children->behaviour), "(Z;P[Z,Z] [] Q[])");
    EXPECT_EQ(p->children->behaviour->left->right->process, p);
}

TEST(StandardSyntax, AProcessSeesOnlyItsOwnGates) {
    EXPECT_EQ(Errors("specification S [a] : noexit behaviour P where\n"
                     "process P : noexit := a; stop endproc endspec"),
              (Lines{"(ligne:2) Action non declarée -> A (colonne:23)"}));
}

TEST(StandardSyntax, FunctionalityContradictedIsAWarning) {
    test::Compiled c = CompileText(
        "specification S [a] : noexit\n"
        "behaviour P [a] >> a; stop\n"
        "where\n"
        "  process P [x] : noexit := x; exit endproc\n"
        "  process Q [x] : noexit := x; Q [x] endproc\n"
        "  process R [x] : exit := x; stop endproc\n"
        "endspec\n");
    EXPECT_TRUE(c.ok());
    EXPECT_EQ(c.messages, (Lines{"Compilation...",
                                 "(ligne:4) Avertissement : le processus P est déclaré noexit mais peut se terminer par exit.",
                                 "Nombre de lignes compilées: 7.", "Compilation terminée. Aucune erreur détectée."}));
    test::Compiled spec = CompileText("specification S : noexit behaviour i; exit endspec");
    EXPECT_TRUE(spec.ok());
    EXPECT_EQ(spec.messages[1],
              "(ligne:1) Avertissement : la spécification S est déclarée noexit mais peut se terminer par exit.");
}

TEST(StandardSyntax, FullLotosIsRefusedByNameWithLineAndColumn) {
    struct Case {
        const char* text;
        const char* line;
    } cases[] = {
        {"specification S [a] : noexit\ntype Bool is sorts Bool endtype\nbehaviour stop endspec",
         "(ligne:2) LOTOS complet non pris en charge : types de données. (colonne:1)"},
        {"specification S [a] : noexit\nlibrary Boolean endlib\nbehaviour stop endspec",
         "(ligne:2) LOTOS complet non pris en charge : types de données. (colonne:1)"},
        {"specification S [a] : noexit behaviour\n  a ?x:Nat; stop endspec",
         "(ligne:2) LOTOS complet non pris en charge : offres ?x:T. (colonne:5)"},
        {"specification S [a] : noexit behaviour\n  a !0; stop endspec",
         "(ligne:2) LOTOS complet non pris en charge : offres !E. (colonne:5)"},
        {"specification S [a] : noexit behaviour\n  [x > 0] -> a; stop endspec",
         "(ligne:2) LOTOS complet non pris en charge : gardes [E] ->. (colonne:3)"},
        {"specification S [a] : noexit behaviour\n  let x : Nat = 0 in a; stop endspec",
         "(ligne:2) LOTOS complet non pris en charge : let. (colonne:3)"},
        {"specification S [a] : noexit behaviour\n  exit >> accept x : Nat in a; stop endspec",
         "(ligne:2) LOTOS complet non pris en charge : accept. (colonne:11)"},
        {"specification S [a] : noexit behaviour\n  exit(0) endspec",
         "(ligne:2) LOTOS complet non pris en charge : exit(…). (colonne:7)"},
        {"specification S [a] : exit(Nat) behaviour exit endspec",
         "(ligne:1) LOTOS complet non pris en charge : exit(…). (colonne:27)"},
        {"specification S [a] : noexit behaviour\n  a [x > 0]; stop endspec",
         "(ligne:2) LOTOS complet non pris en charge : prédicats de sélection. (colonne:5)"},
        {"specification S [a] (n : Nat) : noexit behaviour stop endspec",
         "(ligne:1) LOTOS complet non pris en charge : paramètres de valeur. (colonne:21)"},
        {"specification S [a] : noexit behaviour P [a] (0) where\n"
         "process P [x] (n : Nat) : noexit := stop endproc endspec",
         "(ligne:1) LOTOS complet non pris en charge : paramètres de valeur. (colonne:46)"},
        {"specification S [a] : noexit behaviour\n  choice x : Nat [] a; stop endspec",
         "(ligne:2) LOTOS complet non pris en charge : choix de valeurs. (colonne:12)"},
        {"specification S [a] : noexit behaviour\n  hide x : T in stop endspec",
         "(ligne:2) LOTOS complet non pris en charge : types de données. (colonne:10)"},
        {"specification S [a] : noexit behaviour stop where\n  type Nat is endtype endspec",
         "(ligne:2) LOTOS complet non pris en charge : types de données. (colonne:3)"},
    };
    for (const Case& c : cases) EXPECT_EQ(Errors(c.text), Lines{c.line}) << c.text;
}

TEST(StandardSyntax, ErrorsCarryTheLineAndColumnOfTheStandardText) {
    struct Case {
        const char* text;
        const char* line;
    } cases[] = {
        {"specification S [a] : noexit behaviour\n  a; b; stop endspec",
         "(ligne:2) Action non declarée -> B (colonne:6)"},
        {"specification S [a] : noexit behaviour\n  a; stop\n", "(ligne:3) \"endspec\" manquant. (colonne:1)"},
        {"specification S [a] : noexit\n  a; stop endspec", "(ligne:2) \"behaviour\" manquant. (colonne:3)"},
        {"specification S [a] : noexit behaviour a stop endspec", "(ligne:1) \"endspec\" manquant. (colonne:42)"},
        {"specification S [a] : noexit behaviour (a; stop endspec", "(ligne:1) \")\" manquant. (colonne:49)"},
        {"specification S [a, a] : noexit behaviour stop endspec",
         "(ligne:1) Déclaration dupliquée d'action. (colonne:21)"},
        {"specification S [a] : noexit behaviour P [a] where\n  process P [x] : noexit := stop endproc\n"
         "  process P [x] : noexit := stop endproc endspec",
         "(ligne:3) Définition dupliquée de processus -> P (colonne:11)"},
        {"specification S [a] : noexit behaviour\n  Q [a] endspec", "(ligne:2) Processus non declaré -> Q (colonne:3)"},
        {"specification S [a] : noexit behaviour P [a, a] where\n  process P [x] : noexit := stop endproc endspec",
         "(ligne:1) Nombre de paramètres incorrect -> P (colonne:40)"},
        {"specification S [a] : noexit behaviour\n  i stop endspec", "(ligne:2) \";\" manquant. (colonne:5)"},
        {"specification S [a] : noexit behaviour stop endspec stop",
         "(ligne:1) Symbole en trop après \"endspec\". (colonne:53)"},
        {"specification S [a] : noexit behaviour (* open\n stop endspec",
         "(ligne:1) Commentaire non fermé. (colonne:40)"},
        {"specification S [a] : noexit behaviour a; $ endspec", "(ligne:1) Symbole illégal. (colonne:43)"},
        {"specification S [a] : noexit behaviour\n  par x in [a, a], y in [a] ||| x; stop endspec",
         "(ligne:2) Listes de portes de longueurs différentes. (colonne:3)"},
        {"specification S [a] : noexit behaviour\n  a; stop [] ; endspec",
         "(ligne:2) Expression de comportement incorrecte. (colonne:14)"},
        {"specification S [a] : noexit behaviour P where\n  process P : noexit stop endproc endspec",
         "(ligne:2) \":=\" manquant. (colonne:22)"},
    };
    for (const Case& c : cases) EXPECT_EQ(Errors(c.text), Lines{c.line}) << c.text;
}

// A name is declared twice only within one list: a nested list of processes,
// or a hide inside a hide, may reuse the names around it, and the names of a
// list stay declared after a nested one ends.
TEST(StandardSyntax, DuplicatesAreToldWithinOneListOfDeclarations) {
    const std::string nested =
        "specification S [a] : noexit behaviour P [a] where\n"
        "  process P [x] : noexit := Q [x] where\n"
        "    process Q [y] : noexit := y; R [y] endproc\n"
        "    process R [y] : noexit := stop endproc endproc\n"
        "  process Q [x] : noexit := stop endproc\n";
    EXPECT_TRUE(CompileText(nested + "endspec").ok());
    EXPECT_EQ(Errors(nested + "  process P [x] : noexit := stop endproc endspec"),
              Lines{"(ligne:6) Définition dupliquée de processus -> P (colonne:11)"});
    EXPECT_EQ(Errors("specification S [a] : noexit behaviour P [a] where\n"
                     "  process R [x] : noexit := stop endproc\n"
                     "  process P [x] : noexit := R [x] where\n"
                     "    process R [y] : noexit := stop endproc endproc\n"
                     "  process R [x] : noexit := stop endproc endspec"),
              Lines{"(ligne:5) Définition dupliquée de processus -> R (colonne:11)"});
    EXPECT_TRUE(CompileText(StdSpec("hide h in hide h in h; a; stop")).ok());
    EXPECT_EQ(Errors(StdSpec("hide h in hide g, h, g in h; a; stop")),
              Lines{"(ligne:1) Déclaration dupliquée d'action. (colonne:82)"});
    EXPECT_TRUE(CompileText("specification S [a] : noexit behaviour P [a, a] where\n"
                            "  process P [x, y] : noexit := Q [y, x] where\n"
                            "    process Q [y, x] : noexit := x; stop endproc endproc endspec")
                    .ok());
}

TEST(StandardSyntax, DeepNestingIsRefusedAndLongChainsAreRead) {
    const std::string open(5000, '(');
    EXPECT_EQ(Errors(StdSpec(open + "stop" + std::string(5000, ')'))),
              Lines{"(ligne:1) Expression trop imbriquée. (colonne:1060)"});
    // Long chains of prefixes and of operators nest nothing.
    std::string prefixes, choices = "a; stop";
    for (int i = 0; i < 50000; ++i) prefixes += "a; ";
    for (int i = 0; i < 50000; ++i) choices += " [] b; stop";
    EXPECT_TRUE(CompileText(StdSpec(prefixes + "stop")).ok());
    EXPECT_TRUE(CompileText(StdSpec(choices)).ok());
}

TEST(StandardSyntax, TheStatusIsTheDialogs) {
    test::Compiled c = CompileText("specification S : noexit behaviour a; stop endspec");
    EXPECT_EQ(c.outcome.status, "Action non declarée -> A");
    test::Compiled ok = CompileText("specification S : noexit behaviour stop endspec");
    EXPECT_EQ(ok.outcome.status, "Compilation terminée avec succès");
}

// ---- Writers.

Lines Written(const std::string& dialect, bool standard) {
    test::Compiled c = CompileText(dialect);
    EXPECT_TRUE(c.ok()) << dialect;
    StandardText text = standard ? WriteStandardLotos(c.tree()) : WriteDialectLotos(c.tree());
    EXPECT_TRUE(test::Succeeded(text.status)) << dialect;
    return text.lines;
}

TEST(StandardSyntax, TheWriterLaysOutOneOperatorALine) {
    EXPECT_EQ(Written("SYSTEM S [A, B] := HIDE H IN (A; H; NIL || B; EXIT) [> I; P [A] WHERE "
                      "PROCESS P [X] := X; P [X] [] EXIT ENDPROC PROCESS Q [] := NIL ENDPROC ENDSYS",
                      true),
              (Lines{"specification S [A, B] : exit",
                     "behaviour",
                     "  hide H in",
                     "    A ; H ; stop",
                     "    |[A, B]|",
                     "    B ; exit",
                     "    [>",
                     "    i ; P [A]",
                     "where",
                     "  process P [X] : exit :=",
                     "    X ; P [X]",
                     "    []",
                     "    exit",
                     "  endproc",
                     "  process Q : noexit :=",
                     "    stop",
                     "  endproc",
                     "endspec"}));
    EXPECT_EQ(Written("SYSTEM S [A] := A; (A; NIL [] NIL) ||| (A; NIL || A; NIL) ENDSYS", true),
              (Lines{"specification S [A] : noexit", "behaviour", "  A ;", "  (", "    A ; stop", "    []", "    stop",
                     "  )", "  |||", "  (", "    A ; stop", "    ||", "    A ; stop", "  )", "endspec"}));
}

TEST(StandardSyntax, WrittenAndReadBackTheTreesAreTheSame) {
    const char* texts[] = {
        "SYSTEM S [A, B, C] := A; B; NIL [] C; EXIT ENDSYS",
        "SYSTEM S [A, B] := (A; EXIT ||| B; EXIT) >> (A; NIL [] I; B; NIL) [> (HIDE B IN B; A; NIL || A; NIL) ENDSYS",
        "SYSTEM S [A, B] := A; NIL ||| (B; NIL ||| A; NIL) ENDSYS",
        "SYSTEM S [A, B] := (A; EXIT >> B; EXIT) >> (A; NIL [> B; NIL) [> A; NIL ENDSYS",
        "SYSTEM S [A] := HIDE H IN (H; NIL || A; NIL) |[A]| (HIDE K IN K; A; NIL) ENDSYS",
        "SYSTEM S [A] := A; HIDE B IN B; NIL [] A; NIL ENDSYS",
        "SYSTEM S [] := P [] [] Q [] WHERE PROCESS P [] := I; EXIT ENDPROC PROCESS Q [] := P [] ENDPROC ENDSYS",
        "SYSTEM S [A, B] := P [A, B] WHERE PROCESS P [X, Y] := X; R [Y] || Y; NIL WHERE "
        "PROCESS R [Z] := Z; P [Z, Z] ENDPROC ENDPROC ENDSYS",
    };
    for (const char* text : texts) {
        test::Compiled dialect = CompileText(text);
        ASSERT_TRUE(dialect.ok()) << text;
        const std::string standard = Joined(Written(text, true));
        test::Compiled back = CompileText(standard);
        ASSERT_TRUE(back.ok()) << standard << back.messages[1];
        EXPECT_EQ(AllTrees(back.tree()), AllTrees(dialect.tree())) << standard;
        // And from the standard text to our dialect again.
        const StandardText again = WriteDialectLotos(back.tree());
        test::Compiled twice = CompileText(Joined(again.lines));
        ASSERT_TRUE(twice.ok()) << Joined(again.lines) << twice.messages[1];
        EXPECT_EQ(AllTrees(twice.tree()), AllTrees(dialect.tree())) << Joined(again.lines);
    }
}

TEST(StandardSyntax, ALongChainIsWrittenAndReadBack) {
    std::string text = "SYSTEM S [A, B] := A; NIL";
    for (int i = 0; i < 50000; ++i) text += i % 2 ? "\n[] B; NIL" : "\n||| A; EXIT";
    text += " ENDSYS";
    const Lines written = Written(text, true);
    EXPECT_EQ(written.size(), 3u + 50001u + 50000u);  // an operand or an operator a line
    test::Compiled back = CompileText(Joined(written));
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.tree().arena.NodeCount(), CompileText(text).tree().arena.NodeCount());
}

TEST(StandardSyntax, TheDialectWriterWritesOurSyntax) {
    test::Compiled c = CompileText(
        "specification S [a] : noexit behaviour hide h in ((choice x in [a, h] [] x; stop) || i; P [a]) where "
        "process P [x] : exit := exit endproc endspec");
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(WriteDialectLotos(c.tree()).lines,
              (Lines{"SYSTEM S [A] :=", "  HIDE H IN", "    A ; NIL", "    []", "    H ; NIL", "    |[A, H]|", "    I ; P [A]", "WHERE", "  PROCESS P [X] :=", "    EXIT", "  ENDPROC",
                     "ENDSYS"}));
}

TEST(StandardSyntax, ANameThatIsAKeywordOfTheOtherSyntaxIsNotWritten) {
    test::Compiled c = CompileText("SYSTEM S [STOP, A] := A; STOP; NIL ENDSYS");
    ASSERT_TRUE(c.ok());
    StandardText text = WriteStandardLotos(c.tree());
    EXPECT_FALSE(text.status.ok());
    EXPECT_EQ(text.status.message(), "Le nom STOP est un mot réservé du LOTOS standard : renommez-le.");
    test::Compiled s = CompileText("specification S [nil] : noexit behaviour nil; stop endspec");
    ASSERT_TRUE(s.ok());
    EXPECT_EQ(WriteDialectLotos(s.tree()).status.message(),
              "Le nom NIL est un mot réservé de la syntaxe SYSTEM … ENDSYS : renommez-le.");
}

}  // namespace
}  // namespace quarvo
