// Declaration checks, scopes of gates and processes, and the binding of process calls.
#include <gtest/gtest.h>

#include "FrontendTestSupport.h"

namespace quarvo {
namespace {

using test::CompileText;
using test::ErrorLines;
using Lines = std::vector<std::string>;

Lines Errors(const std::string& text) { return ErrorLines(CompileText(text)); }

TEST(Scopes, UndeclaredActionIsReportedWithItsLine) {
    test::Compiled c = CompileText(
        "SYSTEM S [A] :=\n"
        "  A;\n"
        "  A;\n"
        "  A;\n"
        "  A;\n"
        "  A;\n"
        "  B; NIL\n"
        "ENDSYS\n");
    EXPECT_FALSE(c.ok());
    EXPECT_EQ(c.messages, (Lines{"Compilation...", "(ligne:7) Action non declarée -> B", "Compilation terminée."}));
    EXPECT_EQ(c.outcome.status, "Action non declarée -> B");
}

TEST(Scopes, InternalActionNeedsNoDeclaration) {
    EXPECT_TRUE(CompileText("SYSTEM S [] := I; i; EXIT ENDSYS").ok());
}

TEST(Scopes, HiddenGateIsUsableOnlyInsideItsHide) {
    EXPECT_TRUE(CompileText("SYSTEM S [A] := HIDE H, K IN H; K; A; NIL ENDSYS").ok());
    EXPECT_EQ(Errors("SYSTEM S [A] := (HIDE H IN H; NIL) >> H; NIL ENDSYS"),
              (Lines{"(ligne:1) Action non declarée -> H"}));
    // Nested hides release only their own gates.
    EXPECT_TRUE(CompileText("SYSTEM S [] := HIDE H IN ((HIDE K IN K; NIL) ||| H; NIL) ENDSYS").ok());
    EXPECT_EQ(Errors("SYSTEM S [] := HIDE H IN ((HIDE K IN K; NIL) ||| K; NIL) ENDSYS"),
              (Lines{"(ligne:1) Action non declarée -> K"}));
    // Hidden gates may be synchronised on and passed to calls.
    EXPECT_TRUE(CompileText("SYSTEM S [] := HIDE H IN (H; NIL |[H]| P [H]) WHERE PROCESS P [X] := X; NIL ENDPROC ENDSYS")
                    .ok());
}

TEST(Scopes, DuplicateGatesInAHeaderOrAHideList) {
    EXPECT_EQ(Errors("SYSTEM S [A, B, A] := NIL ENDSYS"), (Lines{"(ligne:1) Déclaration dupliquée d'action."}));
    EXPECT_EQ(Errors("SYSTEM S [A] := HIDE H, K, H IN NIL ENDSYS"),
              (Lines{"(ligne:1) Déclaration dupliquée d'action."}));
    EXPECT_EQ(Errors("SYSTEM S [A] := NIL WHERE PROCESS P [X, X] := NIL ENDPROC ENDSYS"),
              (Lines{"(ligne:1) Déclaration dupliquée d'action."}));
}

TEST(Scopes, EveryUndeclaredGateOfACallOrASynchronisationIsReported) {
    EXPECT_EQ(Errors("SYSTEM S [A] := P [X, A, Y] WHERE PROCESS P [U, V, W] := NIL ENDPROC ENDSYS"),
              (Lines{"(ligne:1) Action non declarée -> X", "(ligne:1) Action non declarée -> Y"}));
    EXPECT_EQ(Errors("SYSTEM S [A] := A; NIL |[A, Z]| A; NIL ENDSYS"), (Lines{"(ligne:1) Action non declarée -> Z"}));
}

TEST(Scopes, FullSynchronisationUsesHeaderGatesNotHiddenOnes) {
    test::Compiled c = CompileText("SYSTEM S [A, B] := HIDE H IN (H; NIL || A; NIL) ENDSYS");
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(test::GatesText(c.root()->left->gates), "delta,A,B");
}

TEST(Scopes, EachBehaviourIsCheckedAgainstItsOwnHeader) {
    EXPECT_EQ(Errors("SYSTEM S [A] := P [A] WHERE PROCESS P [X] := A; NIL ENDPROC ENDSYS"),
              (Lines{"(ligne:1) Action non declarée -> A"}));
    EXPECT_TRUE(CompileText("SYSTEM S [A] := P [A] WHERE PROCESS P [X] := X; NIL ENDPROC ENDSYS").ok());
}

TEST(Scopes, DuplicateProcessDefinitions) {
    EXPECT_EQ(Errors("SYSTEM S [A] := P [A] WHERE\n"
                     "PROCESS P [X] := NIL ENDPROC\n"
                     "PROCESS Q [X] := NIL ENDPROC\n"
                     "PROCESS P [X] := NIL ENDPROC ENDSYS"),
              (Lines{"(ligne:4) Définition dupliquée de processus -> P"}));
    EXPECT_EQ(Errors("SYSTEM S [A] := P [A] WHERE PROCESS P [X] := NIL WHERE PROCESS P [Y] := NIL ENDPROC "
                     "ENDPROC ENDSYS"),
              (Lines{"(ligne:1) Définition dupliquée de processus -> P"}));
    EXPECT_EQ(Errors("SYSTEM S [A] := NIL WHERE PROCESS S [X] := NIL ENDPROC ENDSYS"),
              (Lines{"(ligne:1) Définition dupliquée de processus -> S"}));
    // The same name at two levels that are not parent and child is allowed.
    EXPECT_TRUE(CompileText("SYSTEM S [A] := P [A] WHERE PROCESS P [X] := Q [X] WHERE PROCESS Q [Y] := NIL WHERE "
                            "PROCESS P [Z] := NIL ENDPROC ENDPROC ENDPROC ENDSYS")
                    .ok());
}

TEST(Scopes, CallsBindToTheFirstDefinitionAlongTheSearchOrder) {
    // S calls P (its child); P calls itself, its child Q and its sibling R; Q calls R (a sibling of
    // its parent) and the innermost P (its own child) before the outer one.
    test::Compiled c = CompileText(
        "SYSTEM S [A] := P [A] WHERE\n"
        "  PROCESS P [X] := X; P [X] [] Q [X] [] R [X] WHERE\n"
        "    PROCESS Q [Y] := R [Y] ||| P [Y, Y] WHERE\n"
        "      PROCESS P [U, V] := U; NIL ENDPROC\n"
        "    ENDPROC\n"
        "  ENDPROC\n"
        "  PROCESS R [Z] := Z; R [Z] ENDPROC\n"
        "ENDSYS");
    ASSERT_TRUE(c.ok()) << (c.messages.size() > 1 ? c.messages[1] : "");
    const ProcessDefinition* s = c.tree().systemDefinition;
    const ProcessDefinition* p = s->children;
    const ProcessDefinition* r = p->next;
    const ProcessDefinition* q = p->children;
    const ProcessDefinition* innerP = q->children;
    EXPECT_EQ(p->parent, s);
    EXPECT_EQ(r->parent, s);
    EXPECT_EQ(q->parent, p);
    EXPECT_EQ(innerP->parent, q);
    EXPECT_EQ(s->parent, nullptr);
    EXPECT_EQ(c.root()->process, p);
    std::vector<const ProcessDefinition*> targets;
    for (const ProcessCall* call = p->calls; call; call = call->next) targets.push_back(call->node->process);
    EXPECT_EQ(targets, (std::vector<const ProcessDefinition*>{p, q, r}));
    targets.clear();
    for (const ProcessCall* call = q->calls; call; call = call->next) targets.push_back(call->node->process);
    EXPECT_EQ(targets, (std::vector<const ProcessDefinition*>{r, innerP}));
    EXPECT_EQ(r->calls->node->process, r);
    EXPECT_EQ(p->calls->line, 2);
}

TEST(Scopes, LocalDefinitionsAreInvisibleFromOutside) {
    EXPECT_EQ(Errors("SYSTEM S [A] := P [A] WHERE\n"
                     "PROCESS P [X] := Q [X] WHERE PROCESS Q [Y] := NIL ENDPROC ENDPROC\n"
                     "PROCESS R [X] :=\n"
                     "  Q [X] ENDPROC\n"
                     "ENDSYS"),
              (Lines{"(ligne:4) Processus non declaré -> Q"}));
}

TEST(Scopes, WrongGateCountsInCalls) {
    EXPECT_EQ(Errors("SYSTEM S [A] :=\nP [A, A] WHERE PROCESS P [X] := NIL ENDPROC ENDSYS"),
              (Lines{"(ligne:2) Nombre de paramètres incorrect -> P"}));
    EXPECT_EQ(Errors("SYSTEM S [A] := P [A] WHERE PROCESS P [X] :=\n\n X; P [] ENDPROC ENDSYS"),
              (Lines{"(ligne:3) Erreur sémantique -> P"}));
    EXPECT_EQ(Errors("SYSTEM S [A] := S [] ENDSYS"), (Lines{"(ligne:1) Erreur sémantique -> S"}));
    // Only the first resolution error is reported.
    EXPECT_EQ(Errors("SYSTEM S [A] := U [A] ||| V [A] ENDSYS"), (Lines{"(ligne:1) Processus non declaré -> U"}));
}

TEST(Scopes, EmptyProcessBodyHasNoBehaviourAndNoCalls) {
    test::Compiled c = CompileText("SYSTEM S [A] := P [A] WHERE PROCESS P [X] := ENDPROC ENDSYS");
    ASSERT_TRUE(c.ok());
    const ProcessDefinition* p = c.tree().systemDefinition->children;
    EXPECT_EQ(p->behaviour, nullptr);
    EXPECT_EQ(p->calls, nullptr);
    EXPECT_EQ(p->gateCount, 1);
}

}  // namespace
}  // namespace quarvo
