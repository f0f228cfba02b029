// Tokens, comments, line numbers and lexical errors of the LOTOS lexer.
#include <gtest/gtest.h>

#include "frontend/Lexer.h"
#include "FrontendTestSupport.h"

namespace quarvo {
namespace {

struct Lexed {
    std::vector<std::string> tokens;  // "code:text"
    std::vector<std::string> messages;
};

Lexed Lex(const std::vector<std::string>& lines, int maxTokens = 50) {
    VectorLineSource source(lines);
    VectorMessageSink sink;
    CompileFlags flags;
    ErrorReporter reporter(sink, flags);
    Lexer lexer(source, reporter);
    Lexed result;
    for (int i = 0; i < maxTokens; ++i) {
        Token t = lexer.NextToken();
        result.tokens.push_back(std::to_string(t.code) + ":" + t.text.Text());
        if (t.code == TokEnd) break;
    }
    result.messages = sink.lines;
    return result;
}

using Tokens = std::vector<std::string>;

TEST(Lexer, ReadsEveryTokenKindWithItsCode) {
    Lexed l = Lex({"SYSTEM s [a,b] := HIDE x IN >> [> ( ) ; NIL EXIT I ||| || | WHERE ENDSYS PROCESS ENDPROC"});
    EXPECT_EQ(l.tokens, (Tokens{"0:SYSTEM", "1:S", "2:[", "1:A", "3:,", "1:B", "4:]", "5::=", "6:HIDE", "1:X", "7:IN",
                                "8:>>", "9:[>", "10:(", "11:)", "12:;", "13:NIL", "14:EXIT", "15:I", "16:|||",
                                "17:||", "18:|", "19:WHERE", "20:ENDSYS", "21:PROCESS", "22:ENDPROC", "23:$"}));
    EXPECT_TRUE(l.messages.empty());
}

TEST(Lexer, FoldsCaseOfKeywordsAndIdentifiers) {
    Lexed l = Lex({"process PrOcEsS abc ABC aBc i"});
    EXPECT_EQ(l.tokens, (Tokens{"21:PROCESS", "21:PROCESS", "1:ABC", "1:ABC", "1:ABC", "15:I", "23:$"}));
}

TEST(Lexer, IdentifiersTakeDigitsAndUnderscoresAfterTheFirstLetter) {
    Lexed l = Lex({"a1_b2 X_ ENDSYS2"});
    EXPECT_EQ(l.tokens, (Tokens{"1:A1_B2", "1:X_", "1:ENDSYS2", "23:$"}));
}

TEST(Lexer, NameLengthLimitIs32) {
    std::string name32(32, 'Q');
    Lexed ok = Lex({name32});
    EXPECT_EQ(ok.tokens, (Tokens{"1:" + name32, "23:$"}));
    EXPECT_TRUE(ok.messages.empty());

    // The 33rd character is dropped and what follows is read as a new token.
    Lexed tooLong = Lex({name32 + "RST"});
    EXPECT_EQ(tooLong.messages, (Tokens{"(ligne:1) Identificateur trop long. (colonne:1)"}));
    EXPECT_EQ(tooLong.tokens, (Tokens{"1:ST", "23:$"}));
}

TEST(Lexer, OperatorLookAheads) {
    EXPECT_EQ(Lex({"[>"}).tokens, (Tokens{"9:[>", "23:$"}));
    Lexed spaced = Lex({"[ >"});
    EXPECT_EQ(spaced.tokens, (Tokens{"2:[", "23:$"}));
    EXPECT_EQ(spaced.messages, (Tokens{"(ligne:1) Symbole illégal. (colonne:3)"}));
    EXPECT_EQ(Lex({"||||"}).tokens, (Tokens{"16:|||", "18:|", "23:$"}));
    EXPECT_EQ(Lex({"|[A]|"}).tokens, (Tokens{"18:|", "2:[", "1:A", "4:]", "18:|", "23:$"}));
    EXPECT_EQ(Lex({"[]"}).tokens, (Tokens{"2:[", "4:]", "23:$"}));
    // A bar at the end of a line is followed by the line end, never by the next line.
    EXPECT_EQ(Lex({"A |", "| B"}).tokens, (Tokens{"1:A", "18:|", "18:|", "1:B", "23:$"}));
}

TEST(Lexer, BrokenTwoCharacterTokensConsumeTheirSecondCharacter) {
    Lexed colon = Lex({":A B"});
    EXPECT_EQ(colon.tokens, (Tokens{"1:B", "23:$"}));
    EXPECT_EQ(colon.messages, (Tokens{"(ligne:1) Symbole illégal. (colonne:1)"}));
    Lexed greater = Lex({">A B"});
    EXPECT_EQ(greater.tokens, (Tokens{"1:B", "23:$"}));
}

TEST(Lexer, DigitsAndStrayCharactersAreErrorsAndScanningGoesOn) {
    Lexed digits = Lex({"123 A"});
    // Each digit is an error of its own, at its own column.
    EXPECT_EQ(digits.messages, (Tokens{"(ligne:1) Identificateur invalide. (colonne:1)",
                                       "(ligne:1) Identificateur invalide. (colonne:2)",
                                       "(ligne:1) Identificateur invalide. (colonne:3)"}));
    EXPECT_EQ(digits.tokens, (Tokens{"1:A", "23:$"}));

    Lexed digitLetter = Lex({"9B"});
    EXPECT_EQ(digitLetter.messages, (Tokens{"(ligne:1) Identificateur invalide. (colonne:1)"}));
    EXPECT_EQ(digitLetter.tokens, (Tokens{"1:B", "23:$"}));

    for (const char* bad : {"}", "=", "<", "-", "_", "é", "\x01"}) {
        Lexed l = Lex({std::string(bad) + " A"});
        EXPECT_EQ(l.messages, (Tokens{"(ligne:1) Symbole illégal. (colonne:1)"})) << bad;
        EXPECT_EQ(l.tokens, (Tokens{"1:A", "23:$"})) << bad;
    }
}

TEST(Lexer, CommentsSpanLinesDoNotNestAndEndAtDollar) {
    EXPECT_EQ(Lex({"A { comment", "still ( comment", "} B"}).tokens, (Tokens{"1:A", "1:B", "23:$"}));
    Lexed nested = Lex({"{ a { b } C }"});
    EXPECT_EQ(nested.tokens, (Tokens{"1:C", "23:$"}));
    EXPECT_EQ(nested.messages, (Tokens{"(ligne:1) Symbole illégal. (colonne:13)"}));
    // A "$" inside a comment closes it and reading goes on after it.
    EXPECT_EQ(Lex({"{ x $ D"}).tokens, (Tokens{"1:D", "23:$"}));
}

TEST(Lexer, CommentOpenAtTheEndDeliversTheEndOfTextAgain) {
    Lexed l = Lex({"A { never closed"}, 5);
    EXPECT_EQ(l.tokens, (Tokens{"1:A", "23:$"}));
}

TEST(Lexer, EmptyTextIsTheEndToken) {
    EXPECT_EQ(Lex({}).tokens, (Tokens{"23:$"}));
    EXPECT_EQ(Lex({""}).tokens, (Tokens{"23:$"}));
    EXPECT_EQ(Lex({"", "   \t ", ""}).tokens, (Tokens{"23:$"}));
}

TEST(Lexer, DollarInTheTextEndsIt) {
    EXPECT_EQ(Lex({"A $ B"}, 2).tokens, (Tokens{"1:A", "23:$"}));
}

TEST(Lexer, ErrorsCarryTheLineReached) {
    Lexed l = Lex({"A", "B", "  7 C"});
    EXPECT_EQ(l.messages, (Tokens{"(ligne:3) Identificateur invalide. (colonne:3)"}));
}

// "line:column" of every token up to the end of the text.
std::vector<std::string> Positions(const std::vector<std::string>& lines) {
    VectorLineSource source(lines);
    VectorMessageSink sink;
    CompileFlags flags;
    ErrorReporter reporter(sink, flags);
    Lexer lexer(source, reporter);
    std::vector<std::string> positions;
    for (int i = 0; i < 50; ++i) {
        const Token t = lexer.NextToken();
        positions.push_back(t.text.Text() + "@" + std::to_string(t.line) + ":" + std::to_string(t.column));
        if (t.code == TokEnd) break;
    }
    return positions;
}

TEST(Lexer, TokensKnowTheLineAndColumnWhereTheyStart) {
    // Columns count characters, not bytes: a tabulation and an accented
    // letter (two bytes in UTF-8) are one column each; the end of the text is
    // one past the end of the last line.
    EXPECT_EQ(Positions({"SYSTEM s [a,b]", "\t:= { été } NIL", "", "  >>|||"}),
              (Tokens{"SYSTEM@1:1", "S@1:8", "[@1:10", "A@1:11", ",@1:12", "B@1:13", "]@1:14", ":=@2:2",
                      "NIL@2:13", ">>@4:3", "|||@4:5", "$@4:8"}));
    // A comment over several lines: the token after it is placed on the line where it is.
    EXPECT_EQ(Positions({"A { x", "y } B"}), (Tokens{"A@1:1", "B@2:5", "$@2:6"}));
    EXPECT_EQ(Positions({}), (Tokens{"$@1:1"}));
    EXPECT_EQ(Positions({"A", ""}), (Tokens{"A@1:1", "$@2:1"}));
}

TEST(Lexer, LexicalErrorsGiveTheColumnOfTheCharacterAtFault) {
    // After a comment holding accented letters and a tabulation.
    EXPECT_EQ(Lex({"{ déjà }\tA =B"}).messages, (Tokens{"(ligne:1) Symbole illégal. (colonne:12)"}));
    EXPECT_EQ(Lex({"A", " B é"}).messages, (Tokens{"(ligne:2) Symbole illégal. (colonne:4)"}));
    const std::string name33(33, 'N');
    EXPECT_EQ(Lex({"  A " + name33}).messages, (Tokens{"(ligne:1) Identificateur trop long. (colonne:5)"}));
}

TEST(Lexer, OverlongLineIsAnErrorNotTheEndOfTheProgram) {
    std::string longLine = "A" + std::string(400, ' ') + "B";
    Lexed l = Lex({"X", longLine, "C"});
    EXPECT_EQ(l.messages, (Tokens{"(ligne:2) Ligne trop longue."}));
    // The part of the line beyond 300 characters is dropped.
    EXPECT_EQ(l.tokens, (Tokens{"1:X", "1:A", "1:C", "23:$"}));
    Lexed exact = Lex({std::string(299, ' ') + "Z"});
    EXPECT_TRUE(exact.messages.empty());
    EXPECT_EQ(exact.tokens, (Tokens{"1:Z", "23:$"}));
}

}  // namespace
}  // namespace quarvo
