// Lexing and parsing of CTL formulas: tokens, tree shape, sub-formula order and error messages.
#include <gtest/gtest.h>

#include "ctl/CtlLexer.h"
#include "CtlTestSupport.h"
#include "RandomFormula.h"

namespace quarvo {
namespace {

using test::Compile;
using test::RootText;

std::vector<std::string> Tokens(const std::vector<std::string>& lines) {
    VectorLineSource source(lines);
    FormulaLexer lexer(source);
    std::vector<std::string> tokens;
    for (int i = 0; i < 40; ++i) {
        FormulaToken t = lexer.Next();
        if (t.error != FormulaLexError::None) {
            tokens.push_back(std::string("error ") + FormulaLexErrorMessage(t.error) + "@" + std::to_string(t.line + 1) +
                             ":" + std::to_string(t.column));
            break;
        }
        tokens.push_back(std::string(1, t.symbol) + (t.text.empty() ? "" : " " + t.text));
        if (t.symbol == '#') break;
    }
    return tokens;
}

using Strings = std::vector<std::string>;

TEST(CtlLexer, ReadsEverySymbolWithItsUpperCaseText) {
    EXPECT_EQ(Tokens({"send : 12 TRUE false Not and OR => <=> A E X G F U ( ) [ ]"}),
              (Strings{"p SEND", ": :", "y 12", "t TRUE", "v FALSE", "w NOT", "q AND", "o OR", "n =>", "j <=>", "a A",
                       "e E", "x X", "g G", "f F", "u U", "( (", ") )", "[ [", "] ]", "#"}));
}

TEST(CtlLexer, SingleLetterKeywordsAreUpperCaseOnly) {
    EXPECT_EQ(Tokens({"a e x g f u EX i_send I"}),
              (Strings{"p A", "p E", "p X", "p G", "p F", "p U", "p EX", "p I_SEND", "p I", "#"}));
}

TEST(CtlLexer, LineEndsBlanksAndTabsSeparateTokens) {
    EXPECT_EQ(Tokens({"p\tAND", "", "  q:3"}), (Strings{"p P", "q AND", "p Q", ": :", "y 3", "#"}));
}

TEST(CtlLexer, ReportsIllegalSymbolsAndLongNamesWhereTheTokenStarts) {
    const std::string name32(32, 'x');
    EXPECT_EQ(Tokens({name32}), (Strings{"p " + std::string(32, 'X'), "#"}));
    EXPECT_EQ(Tokens({"p " + name32 + "y"}), (Strings{"p P", "error Identificateur trop long. @1:3"}));
    struct Case {
        std::string line;
        int column;
    };
    for (const Case& c : {Case{"p & q", 3}, Case{"p | q", 3}, Case{"p = q", 3}, Case{"p <= q", 3},
                          Case{"p <", 3}, Case{"p ==>", 3}, Case{"été", 1}, Case{"(é)", 2}, Case{"p AND é", 7},
                          Case{"pé", 2}, Case{"p.q", 2}, Case{"-3", 1}})
        EXPECT_EQ(Tokens({c.line}).back(), "error Symbole illégal. @1:" + std::to_string(c.column)) << c.line;
}

TEST(CtlLexer, RefusesNumbersBeyondThirtyTwoBits) {
    EXPECT_EQ(Tokens({"p:2147483647"}).at(2), "y 2147483647");
    EXPECT_EQ(Tokens({"p:2147483648"}).back(), "error Nombre entier trop grand. @1:3");
    EXPECT_EQ(Tokens({"p:" + std::string(40, '0')}).back(), "error Nombre entier trop grand. @1:3");
}

TEST(CtlParser, ListsSubformulasOperandsFirstInAscendingWeight) {
    FormulaCompileResult r = Compile("A G (p AND q)");
    ASSERT_TRUE(r.ok()) << r.Message();
    Strings texts;
    std::vector<int> weights;
    for (FormulaIndex n : r.formula.SubformulaList) {
        texts.push_back(FormulaText(r.formula, n));
        weights.push_back(r.formula.Node(n).Weight);
    }
    EXPECT_EQ(texts, (Strings{"(P)", "(Q)", "((P)AND(Q))", "(AG((P)AND(Q)))"}));
    EXPECT_EQ(weights, (std::vector<int>{1, 1, 2, 2}));
    EXPECT_EQ(r.formula.SubformulaList.back(), r.formula.MainFormula);
}

TEST(CtlParser, CountingAtomStaysAnOrdinarySubformulaAndTheNumberIsNone) {
    FormulaCompileResult r = Compile("send : 2 OR p");
    ASSERT_TRUE(r.ok()) << r.Message();
    Strings texts;
    for (FormulaIndex n : r.formula.SubformulaList) texts.push_back(FormulaText(r.formula, n));
    // Weights: SEND 1, SEND:2 1, P 1, OR 2; equal weights keep their order of creation.
    EXPECT_EQ(texts, (Strings{"(SEND)", "((SEND):2)", "(P)", "(((SEND):2)OR(P))"}));
}

TEST(CtlParser, BindsAndGroupsOperatorsAsDocumented) {
    struct Case {
        const char* text;
        const char* tree;
    };
    const Case cases[] = {
        {"p OR q AND r", "((P)OR((Q)AND(R)))"},
        {"p AND q OR r", "(((P)AND(Q))OR(R))"},
        {"p => q => r", "(((P)=>(Q))=>(R))"},
        {"p <=> q <=> r", "(((P)<=>(Q))<=>(R))"},
        {"p <=> q => r OR s AND t", "((P)<=>((Q)=>((R)OR((S)AND(T)))))"},
        {"NOT p AND q", "((NOT(P))AND(Q))"},
        {"E X p OR A X q", "((EX(P))OR(AX(Q)))"},
        {"A G NOT E F p", "(AG(NOT(EF(P))))"},
        {"E [ p U q ]", "(E[(P)U(Q)])"},
        {"A[p OR q U E[r U s]]", "(A[((P)OR(Q))U(E[(R)U(S)])])"},
        {"send : 2", "((SEND):2)"},
        {"a AND not b", "((A)AND(NOT(B)))"},
        {"e x p", nullptr},
        {"((p))", "(P)"},
        {"TRUE => false", "((TRUE)=>(FALSE))"},
    };
    for (const Case& c : cases) {
        FormulaCompileResult r = Compile(c.text);
        if (!c.tree) {
            EXPECT_FALSE(r.ok()) << c.text;
            continue;
        }
        ASSERT_TRUE(r.ok()) << c.text << ": " << r.Message();
        EXPECT_EQ(RootText(r), c.tree) << c.text;
    }
}

TEST(CtlParser, RandomFormulasCompileToTheTreeTheyWereWrittenFrom) {
    std::mt19937 rng(20240607);
    for (int i = 0; i < 2000; ++i) {
        test::RandomFormula f = test::MakeRandomFormula(rng, 1 + i % 6);
        FormulaCompileResult r = Compile(f.text);
        ASSERT_TRUE(r.ok()) << f.text << "\n" << r.Message();
        ASSERT_EQ(RootText(r), f.expected) << f.text;
        // The root is last, and every operand comes before its parent.
        ASSERT_EQ(r.formula.SubformulaList.back(), r.formula.MainFormula);
        std::vector<int> position(r.formula.nodes.size(), -1);
        for (std::size_t k = 0; k < r.formula.SubformulaList.size(); ++k)
            position[static_cast<std::size_t>(r.formula.SubformulaList[k])] = static_cast<int>(k);
        for (FormulaIndex n : r.formula.SubformulaList) {
            const TFormulaNode& node = r.formula.Node(n);
            for (FormulaIndex child : {node.Left, node.Right})
                if (child != NoFormula && r.formula.Node(child).Kind != TFormulaKind::fkNumber) {
                    ASSERT_LT(position[static_cast<std::size_t>(child)], position[static_cast<std::size_t>(n)]);
                }
        }
    }
}

TEST(CtlParser, FormulaOverSeveralLinesIsTheSameAsOnOneLine) {
    FormulaCompileResult one = Compile("A G (p => A F q)");
    FormulaCompileResult two = Compile("A G\n(p =>\n\n  A F q)");
    ASSERT_TRUE(one.ok() && two.ok());
    EXPECT_EQ(RootText(one), RootText(two));
}

TEST(CtlParser, TextWithoutFormulaIsAnEmptyFormulaErrorAtTheEndOfTheText) {
    struct Case {
        std::vector<std::string> lines;
        const char* message;
    };
    const Case cases[] = {
        {{}, "Formule vide. (ligne:1 colonne:1)"},
        {{""}, "Formule vide. (ligne:1 colonne:1)"},
        {{"   ", "\t", ""}, "Formule vide. (ligne:3 colonne:1)"},
        {{" \t  "}, "Formule vide. (ligne:1 colonne:5)"},
    };
    for (const Case& c : cases) {
        VectorLineSource source(c.lines);
        FormulaCompileResult r = CompileFormula(source, test::CommittedPrecedence());
        EXPECT_FALSE(r.ok());
        EXPECT_TRUE(r.tables.ok());
        EXPECT_EQ(r.error.message, "Formule vide.");
        EXPECT_EQ(r.Message(), c.message);
        EXPECT_TRUE(r.formula.Empty());
        EXPECT_TRUE(r.formula.SubformulaList.empty());
    }
    // A lexical error in a text without formula is that error, not an empty formula.
    EXPECT_EQ(Compile("  &").Message(), "Symbole illégal.  (ligne:1 colonne:3)");
}

TEST(CtlParser, GluedQuantifierAndOperatorGetAHintWhenAnErrorFollowsThem) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"AG p", "Opérateur logique binaire oublié. (écrire « A G » : quantificateur et opérateur séparés) "
                 "(ligne:1 colonne:4)"},
        {"AG(p)", "Opérateur logique binaire oublié. (écrire « A G » : quantificateur et opérateur séparés) "
                  "(ligne:1 colonne:3)"},
        {"EF (p => q)", "Opérateur logique binaire oublié. (écrire « E F » : quantificateur et opérateur séparés) "
                        "(ligne:1 colonne:4)"},
        // Any case, over a line end, inside a formula, for each of the eight words.
        {"ag p", "Opérateur logique binaire oublié. (écrire « A G » : quantificateur et opérateur séparés) "
                 "(ligne:1 colonne:4)"},
        {"p => Ef\n  q", "Opérateur logique binaire oublié. (écrire « E F » : quantificateur et opérateur séparés) "
                         "(ligne:2 colonne:3)"},
        {"AF p", "Opérateur logique binaire oublié. (écrire « A F » : quantificateur et opérateur séparés) "
                 "(ligne:1 colonne:4)"},
        {"AX p", "Opérateur logique binaire oublié. (écrire « A X » : quantificateur et opérateur séparés) "
                 "(ligne:1 colonne:4)"},
        {"EG p", "Opérateur logique binaire oublié. (écrire « E G » : quantificateur et opérateur séparés) "
                 "(ligne:1 colonne:4)"},
        {"EX p", "Opérateur logique binaire oublié. (écrire « E X » : quantificateur et opérateur séparés) "
                 "(ligne:1 colonne:4)"},
        {"AU [p U q]", "'[' doit être précédé de 'E' ou 'A'. (écrire « A U » : quantificateur et opérateur "
                       "séparés) (ligne:1 colonne:4)"},
        {"EU(p, q)", "Opérateur logique binaire oublié. (écrire « E U » : quantificateur et opérateur séparés) "
                     "(ligne:1 colonne:3)"},
        {"NOT AG NOT p", "Opérateur logique binaire oublié. (écrire « A G » : quantificateur et opérateur séparés) "
                         "(ligne:1 colonne:8)"},
    };
    for (const Case& c : cases) {
        FormulaCompileResult r = Compile(c.text);
        EXPECT_FALSE(r.ok()) << c.text;
        EXPECT_EQ(r.Message(), c.message) << c.text;
    }
}

TEST(CtlParser, GluedWordsStayAtomsAndOtherErrorsGetNoHint) {
    // An action may bear such a name.
    for (const char* text : {"AG", "E F ag", "A G (AG => E X EF)", "AU : 2 OR EU"}) {
        FormulaCompileResult r = Compile(text);
        EXPECT_TRUE(r.ok()) << text << ": " << r.Message();
    }
    EXPECT_EQ(RootText(Compile("A G (AG => E X ef)")), "(AG((AG)=>(EX(EF))))");
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        // Not glued quantifier and operator.
        {"AGX p", "Opérateur logique binaire oublié. (ligne:1 colonne:5)"},
        {"GA p", "Opérateur logique binaire oublié. (ligne:1 colonne:4)"},
        {"AE p", "Opérateur logique binaire oublié. (ligne:1 colonne:4)"},
        // The error does not follow the word.
        {"AG AND p q", "Opérateur logique binaire oublié. (ligne:1 colonne:10)"},
        {"AG AND (p", "'(' en plus. (ligne:1)"},
        {"E AG p", "'X' ou 'G' ou 'F' ou '[' oublié. (ligne:1 colonne:3)"},
        // A lexical error is about its own character.
        {"AG & p", "Symbole illégal.  (ligne:1 colonne:4)"},
    };
    for (const auto& c : cases) {
        FormulaCompileResult r = Compile(c.text);
        EXPECT_FALSE(r.ok()) << c.text;
        EXPECT_EQ(r.Message(), c.message) << c.text;
    }
    EXPECT_EQ(TextbookHint("EU"), " (écrire « E U » : quantificateur et opérateur séparés)");
    EXPECT_EQ(TextbookHint("E"), "");
    EXPECT_EQ(TextbookHint("ag"), "");  // the parser hands it the upper-case text
}

TEST(CtlParser, AtomsKeepTheirNameAsWrittenBesideTheUpperCaseOne) {
    FormulaCompileResult r = Compile("cs3 OR Cs3 : 1 OR I_mid");
    ASSERT_TRUE(r.ok()) << r.Message();
    std::vector<std::string> atoms;
    for (const TFormulaNode& node : r.formula.nodes)
        if (node.Kind == TFormulaKind::fkAtom) atoms.push_back(node.Name.Text() + "/" + node.Written.Text());
    EXPECT_EQ(atoms, (Strings{"CS3/cs3", "CS3/Cs3", "I_MID/I_mid"}));
}

TEST(CtlParser, ReportsEachErrorWithItsMessageLineAndColumn) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"p & q", "Symbole illégal.  (ligne:1 colonne:3)"},
        {"p\n  <= q", "Symbole illégal.  (ligne:2 colonne:3)"},
        {"abcdefghijklmnopqrstuvwxyzABCDEFG", "Identificateur trop long.  (ligne:1 colonne:1)"},
        {"EX p", "Opérateur logique binaire oublié. (écrire « E X » : quantificateur et opérateur séparés) "
                 "(ligne:1 colonne:4)"},
        {"(p) q", "Opérateur logique binaire oublié. (ligne:1 colonne:5)"},
        {"p AND", "Expression logique attendue. (ligne:1 colonne:6)"},
        {"A G (p\n  AND", "Expression logique attendue. (ligne:2 colonne:6)"},
        {"NOT", "Expression logique attendue. (ligne:1 colonne:4)"},
        {"AND p", "Une expression logique ne peut pas commencer par: 'AND'. (ligne:1 colonne:1)"},
        {"p OR => q", "Une expression logique ne peut pas commencer par: '=>'. (ligne:1 colonne:6)"},
        {"E X )", "Une expression logique ne peut pas commencer par: ')'. (ligne:1 colonne:5)"},
        {"E p", "'X' ou 'G' ou 'F' ou '[' oublié. (ligne:1 colonne:3)"},
        {"A (p)", "'X' ou 'G' ou 'F' ou '[' oublié. (ligne:1 colonne:3)"},
        {"p : q", "':' doit être suivi d'un nombre entier. (ligne:1 colonne:5)"},
        {"NOT X p", "'X' doit être précédé de 'E' ou 'A'. (ligne:1 colonne:5)"},
        {"p AND G q", "'G' doit être précédé de 'E' ou 'A'. (ligne:1 colonne:7)"},
        {"[p U q]", "'[' doit être précédé de 'E' ou 'A'. (ligne:1 colonne:1)"},
        {"TRUE : 2", "':' doit être précédé d'un identificateur. (ligne:1 colonne:6)"},
        {"p AND 3", "'3' doit être précédé de ':'. (ligne:1 colonne:7)"},
        {"(p", "'(' en plus. (ligne:1)"},
        {"((p)", "'(' en plus. (ligne:1)"},
        {"E [ p ]", "'(' ou 'U' oublié. (ligne:1)"},
        {"p )", "'(' ou 'U' oublié. (ligne:1)"},
        {"p U q ]", "'[' oublié. (ligne:1)"},
        {"(p U q])", "'[' oublié. (ligne:1)"},
        {"E [ p U q", "']' oublié. (ligne:1 colonne:10)"},
        {"E [ p U q )", "']' oublié. (ligne:1 colonne:11)"},
        {"p : 99999999999", "Nombre entier trop grand.  (ligne:1 colonne:5)"},
    };
    for (const Case& c : cases) {
        FormulaCompileResult r = Compile(c.text);
        EXPECT_FALSE(r.ok()) << c.text;
        EXPECT_EQ(r.error.Text(), c.message) << c.text;
        EXPECT_TRUE(r.formula.Empty()) << c.text;
    }
}

}  // namespace
}  // namespace quarvo

namespace quarvo {
namespace {

TEST(InsertRef, KeepsAscendingWeightPutsEqualWeightsLastAndRefusesDuplicates) {
    std::vector<TFormulaNode> nodes(5);
    const int weights[] = {2, 1, 3, 1, 2};
    for (int i = 0; i < 5; ++i) nodes[static_cast<std::size_t>(i)].Weight = weights[i];
    FormulaRefList list;
    for (FormulaIndex n : {0, 1, 2, 3, 4}) EXPECT_TRUE(InsertRef(n, list, nodes));
    EXPECT_EQ(list, (FormulaRefList{1, 3, 0, 4, 2}));
    for (FormulaIndex n : {0, 1, 2, 3, 4}) EXPECT_FALSE(InsertRef(n, list, nodes));
    EXPECT_EQ(list, (FormulaRefList{1, 3, 0, 4, 2}));
}

}  // namespace
}  // namespace quarvo
