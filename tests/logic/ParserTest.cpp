// The syntax of action formulas: binding, comments, quoted names, and the
// messages of malformed formulas with their column.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logic/Checks.h"
#include "logic/Parser.h"

namespace quarvo::logic {
namespace {

std::string Tree(const std::string& text) {
    const ParseResult r = ParseFormula(text);
    if (!r.status) return r.status.message();
    return StateText(r.formula, r.formula.root);
}

TEST(LogicParser, BindsAsDocumented) {
    const struct {
        const char* text;
        const char* tree;
    } cases[] = {
        {"true", "true"},
        {"<A> true and <B> true", "((<A> true) and (<B> true))"},
        {"not <A> true or false", "((not (<A> true)) or false)"},
        {"a implies b implies c", "(a implies (b implies c))"},
        {"x or y and z", "(x or (y and z))"},
        {"[true* . A] false", "([((true)* . A)] false)"},
        {"<A . B | C . D> true", "(<((A . B) | (C . D))> true)"},
        {"<A*+> true", "(<((A)*)+> true)"},
        {"<not A and B or tau> true", "(<(((not A) and B) or tau)> true)"},
        {"<(A or B) . C> true", "(<((A or B) . C)> true)"},
        {"<(A . B)*> true", "(<((A . B))*> true)"},
        {"mu X . <A> X or true and false", "(mu X . ((<A> X) or (true and false)))"},
        {"<A> nu X . [B] X and true", "(<A> (nu X . (([B] X) and true)))"},
        {"(* a comment *) <\"SEND\"> (* another\n one *) true", "(<SEND> true)"},
        {"<nil> true", "(<nil> true)"},
        {"<I_X . delta> true", "(<(I_X . delta)> true)"},
    };
    for (const auto& c : cases) EXPECT_EQ(Tree(c.text), c.tree) << c.text;
}

TEST(LogicParser, MalformedFormulasAreToldWithTheirColumn) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"", "Erreur dans la formule, colonne 1 : formule vide."},
        {"   (* rien *)", "Erreur dans la formule, colonne 14 : formule vide."},
        {"<A> true and", "Erreur dans la formule, colonne 13 : fin de formule inattendue, une formule d'état attendu."},
        {"<A true", "Erreur dans la formule, colonne 4 : « true » inattendu, « > » attendu."},
        {"[A> true", "Erreur dans la formule, colonne 3 : « > » inattendu, « ] » attendu."},
        {"true # false", "Erreur dans la formule, colonne 6 : caractère « # » inattendu."},
        {"true (* open", "Erreur dans la formule, colonne 6 : commentaire « (* » non terminé."},
        {"<\"SEND> true", "Erreur dans la formule, colonne 2 : nom d'action entre guillemets non terminé."},
        {"mu . true", "Erreur dans la formule, colonne 4 : « . » inattendu, un nom de variable après « mu » attendu."},
        {"mu X true", "Erreur dans la formule, colonne 6 : « true » inattendu, « . » après la variable X attendu."},
        {"true false", "Erreur dans la formule, colonne 6 : « false » inattendu, un opérateur (and, or, implies) ou la fin "
                       "de la formule attendu."},
        {"<(A . B) and C> true", "Erreur dans la formule, colonne 10 : « and » inattendu, « > » attendu."},
        {"true\nand <A", "Erreur dans la formule, ligne 2, colonne 7 : fin de formule inattendue, « > » attendu."},
        {"<3> true", "Erreur dans la formule, colonne 2 : « 3 » n'est pas un nom d'action."},
        {"<A> TRUE", "Erreur dans la formule, colonne 5 : « TRUE » : les mots-clés s'écrivent en minuscules (true)."},
    };
    for (const auto& c : cases) EXPECT_EQ(Tree(c.text), c.message) << c.text;
}

std::string Repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

// Formulas far deeper than any written by hand, by nesting or by a long chain
// of one operator: refused with a message, never a crash; the same shapes
// within the bound read.
TEST(LogicParser, DeepFormulasAreRefusedNotCrashed) {
    const auto shapes = [](int n) {
        std::vector<std::string> texts;
        texts.push_back(Repeated("(", n) + "true" + Repeated(")", n));
        texts.push_back("<PUT> true" + Repeated(" or <PUT> true", n - 1));
        texts.push_back("<PUT> true" + Repeated(" and <PUT> true", n - 1));
        std::string mu;
        for (int i = 0; i < n; ++i) mu += "mu X" + std::to_string(i) + " . <PUT> (";
        texts.push_back(mu + "true" + Repeated(")", n));
        texts.push_back(Repeated("not ", n) + "true");
        texts.push_back(Repeated("<PUT> ", n) + "true");
        texts.push_back(Repeated("[A] ", n) + "false");
        texts.push_back("<" + Repeated("(", n) + "A" + Repeated(")", n) + "> true");
        texts.push_back("<" + Repeated("not ", n) + "A> true");
        texts.push_back("<A" + Repeated(" . A", n) + "> true");
        texts.push_back("<A" + Repeated("*", n) + "> true");
        return texts;
    };
    for (const std::string& text : shapes(100000)) {
        const ParseResult r = ParseFormula(text);
        ASSERT_FALSE(r.status) << text.substr(0, 40);
        EXPECT_NE(r.status.message().find("formule trop imbriquée (plus de 1000 niveaux)"), std::string::npos)
            << r.status.message();
    }
    for (const std::string& text : shapes(MaxFormulaNesting / 4)) {
        const ParseResult r = ParseFormula(text);
        EXPECT_TRUE(r.status) << text.substr(0, 40) << ": " << r.status.message();
    }
}

std::string Checked(const std::string& text) {
    const ParseResult r = ParseFormula(text);
    if (!r.status) return r.status.message();
    const Status s = CheckFormula(r.formula, text);
    return s ? "ok" : s.message();
}

TEST(LogicChecks, VariablesAreBoundOncePositivelyWithoutAlternation) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"mu X . <A> X", "ok"},
        {"nu X . mu Y . <A> Y or X", "Erreur dans la formule, colonne 24 : alternance de points fixes : la variable X "
                                     "(nu) est employée dans le point fixe mu Y lui-même dans la portée de X."},
        {"nu X . (mu Y . <A> Y) and [B] X", "ok"},
        {"mu X . nu Y . [A] Y and X", "Erreur dans la formule, colonne 25 : alternance de points fixes : la variable X "
                                      "(mu) est employée dans le point fixe nu Y lui-même dans la portée de X."},
        {"mu X . not nu Y . not X", "ok"},  // both least once negations are pushed down
        {"mu X . not X", "Erreur dans la formule, colonne 12 : la variable X est employée sous un nombre impair de "
                         "négations (not, ou la gauche d'un implies)."},
        {"mu X . X implies false", "Erreur dans la formule, colonne 8 : la variable X est employée sous un nombre impair "
                                   "de négations (not, ou la gauche d'un implies)."},
        {"<A> X", "Erreur dans la formule, colonne 5 : la variable X n'est liée par aucun mu ni nu."},
        {"mu X . <A> X or mu X . <B> X", "Erreur dans la formule, colonne 17 : la variable X est liée deux fois."},
        {"mu X . [A*] X", "Erreur dans la formule, colonne 13 : alternance de points fixes : la variable X (mu) est "
                          "employée dans une modalité itérée (* ou +), point fixe nu, lui-même dans la portée de X."},
        {"mu X . <A*> X", "ok"},
        {"nu X . [true*] <A> X", "ok"},
    };
    for (const auto& c : cases) EXPECT_EQ(Checked(c.text), c.message) << c.text;
}

TEST(LogicChecks, UnknownActionsAreWarnedWithTheNearestName) {
    const ParseResult r = ParseFormula("<SEDN> true and [RECEIVE . SEDN] <zzzzzz> <tau> <delta> true");
    ASSERT_TRUE(r.status);
    const std::vector<std::string> warnings = UnknownActionWarnings(r.formula, {"I", "SEND", "RECV", "delta"});
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_EQ(warnings[0], "Attention : aucune action « SEDN » dans le système (voulez-vous dire « SEND » ?).");
    EXPECT_EQ(warnings[1], "Attention : aucune action « RECEIVE » dans le système.");
    EXPECT_EQ(warnings[2], "Attention : aucune action « zzzzzz » dans le système.");
    // "i", the internal action of LOTOS and .aut files, is tau here; never another short name.
    const ParseResult internal = ParseFormula("<i> true");
    ASSERT_TRUE(internal.status);
    EXPECT_EQ(UnknownActionWarnings(internal.formula, {"A", "B"}),
              std::vector<std::string>{"Attention : aucune action « i » dans le système (voulez-vous dire « tau » ?)."});
    // A control byte in a name, as an .aut label may hold, is shown as "\x00", never raw.
    const ParseResult near = ParseFormula("<AB> true");
    ASSERT_TRUE(near.status);
    EXPECT_EQ(UnknownActionWarnings(near.formula, {std::string("A\0B", 3)}),
              std::vector<std::string>{
                  "Attention : aucune action « AB » dans le système (voulez-vous dire « A\\x00B » ?)."});
    EXPECT_EQ(Tree(std::string("true \x01", 6)), "Erreur dans la formule, colonne 6 : caractère « \\x01 » inattendu.");
    EXPECT_EQ(EditDistance("RECEIVE", "RECV"), 3);
    EXPECT_EQ(EditDistance("kitten", "sitting"), 3);
}

}  // namespace
}  // namespace quarvo::logic

#include "logic/PropertyTemplates.h"

namespace quarvo::logic {
namespace {

TEST(LogicTemplates, EveryTemplateIsAWellFormedFormula) {
    ASSERT_GE(PropertyTemplates().size(), 5u);
    for (const PropertyTemplate& t : PropertyTemplates()) {
        const std::string text = TemplateText(t);
        const ParseResult r = ParseFormula(text);
        ASSERT_TRUE(r.status) << t.title << ": " << r.status.message();
        EXPECT_TRUE(CheckFormula(r.formula, text)) << t.title;
    }
}

}  // namespace
}  // namespace quarvo::logic
