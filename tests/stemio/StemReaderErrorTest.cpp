// Malformed classic STEM texts: each is rejected with the line of its fault and nothing read.
#include <gtest/gtest.h>

#include "StemTestSupport.h"

namespace quarvo {
namespace {

using Lines = std::vector<std::string>;

struct BadText {
    const char* what;
    Lines lines;
    int line;  // 1-based line of the expected message
};

void ExpectRejected(const std::vector<BadText>& cases) {
    for (const BadText& c : cases) {
        StemReadResult r = test::Read(c.lines);
        EXPECT_TRUE(test::Failed(r.status)) << c.what;
        EXPECT_EQ(r.status.line(), c.line) << c.what;
        EXPECT_EQ(r.status.message(), "Erreur dans le fichier ligne:" + std::to_string(c.line)) << c.what;
        EXPECT_TRUE(r.stem.Empty()) << c.what;
        EXPECT_EQ(r.stem.StemStateCount, 0) << c.what;
    }
}

const std::string Name32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ_12345";

TEST(StemReaderErrors, MissingOrMisplacedPiecesOfTheFile) {
    ExpectRejected({
        {"no line at all", {}, 1},
        {"one empty line", {""}, 1},
        {"only blanks", {"  ", "\t"}, 2},
        {"keywords are upper case", {"begin 1;", "END"}, 1},
        {"no count", {"BEGIN", "END"}, 2},
        // A missing ";" is the fault of the line it should end, not of END.
        {"no semicolon after the count", {"BEGIN 1", "", "END"}, 1},
        {"text ends after the header", {"BEGIN 1;"}, 1},
        {"text ends after a transition", {"BEGIN 2;", "{}0<{}A:1>{1:A}1;"}, 2},
        {"text ends on empty lines", {"BEGIN 2;", "{}0<{}A:1>{1:A}1;", "", ""}, 4},
        {"lower-case end", {"BEGIN 1;", "end"}, 2},
        {"no opening mark", {"BEGIN 2;", "{}0{}A:1>{1:A}1;", "END"}, 2},
        {"no source number", {"BEGIN 2;", "{}<{}A:1>{1:A}1;", "END"}, 2},
        {"no action", {"BEGIN 2;", "{}0<{}:1>{1:A}1;", "END"}, 2},
        {"number as action", {"BEGIN 2;", "{}0<{}", "7:1>{1:A}1;", "END"}, 3},
        {"action without event", {"BEGIN 2;", "{}0<{}A1>{1:A}1;", "END"}, 2},
        {"no event number", {"BEGIN 2;", "{}0<{}A:>{1:A}1;", "END"}, 2},
        {"no closing mark", {"BEGIN 2;", "{}0<{}A:1{1:A}1;", "END"}, 2},
        {"no target number", {"BEGIN 2;", "{}0<{}A:1>{1:A};", "END"}, 2},
        {"no terminator before END", {"BEGIN 2;", "{}0<{}A:1>{1:A}1", "END"}, 2},
        {"no terminator before the next transition", {"BEGIN 3;", "{}0<{}A:1>{1:A}1", "{}1<{}B:2>{2:B}2;", "END"}, 2},
        {"no terminator, the target alone on its line", {"BEGIN 2;", "{}0<{}A:1>{1:A}", "1", "", "END"}, 3},
        {"letters glued to the target", {"BEGIN 2;", "{}0<{}A:1>{1:A}1x;", "END"}, 2},
        {"stray token between transitions", {"BEGIN 2;", "{}0<{}A:1>{1:A}1;", "}", "END"}, 3},
        {"second header", {"BEGIN 2;", "BEGIN 2;", "END"}, 2},
    });
}

TEST(StemReaderErrors, MalformedEventLists) {
    ExpectRejected({
        {"set without closing brace", {"BEGIN 2;", "{0<{}A:1>{1:A}1;", "END"}, 2},
        {"event without colon", {"BEGIN 2;", "{}0<{1 A}B:1>{1:A}1;", "END"}, 2},
        {"event without action", {"BEGIN 2;", "{}0<{1:}B:1>{1:A}1;", "END"}, 2},
        {"trailing comma", {"BEGIN 2;", "{}0<{}B:1>", "{1:A,}1;", "END"}, 3},
        {"leading comma", {"BEGIN 2;", "{}0<{,1:A}B:1>{1:A}1;", "END"}, 2},
        {"entries without comma", {"BEGIN 2;", "{}0<{1:A 2:B}C:1>{1:A}1;", "END"}, 2},
        {"action before number", {"BEGIN 2;", "{A:1}0<{}B:1>{1:A}1;", "END"}, 2},
        {"END as an event's action", {"BEGIN 2;", "{}0<{1:END}B:1>{1:A}1;", "END"}, 2},
        {"BEGIN as an event's action", {"BEGIN 2;", "{}0<{}B:1>{1:BEGIN}1;", "END"}, 2},
        {"END as a transition's action", {"BEGIN 2;", "{}0<{}END:1>{1:A}1;", "END"}, 2},
    });
}

TEST(StemReaderErrors, IllegalCharactersAndSigns) {
    ExpectRejected({
        // -1 names an event only: no other negative number, nor any negative state.
        {"event name -2", {"BEGIN 2;", "{}0<{}A:-2>{1:A}1;", "END"}, 2},
        {"-2 in a target set", {"BEGIN 2;", "{}0<{}A:1>", "{-2:A}1;", "END"}, 3},
        {"minus sign apart from its number", {"BEGIN 2;", "{}0<{}A:- 1>{1:A}1;", "END"}, 2},
        {"negative source", {"BEGIN 2;", "{}0<{}A:1>{1:A}1;", "{}-1<{}A:1>{1:A}1;", "END"}, 3},
        {"negative target", {"BEGIN 2;", "{}0<{}A:1>{1:A}-1;", "END"}, 2},
        {"negative count", {"BEGIN -1;", "END"}, 1},
        {"plus sign", {"BEGIN +2;", "END"}, 1},
        {"dollar action", {"BEGIN 2;", "{}0<{}$:1>{}1;", "END"}, 2},
        {"point", {"BEGIN 2;", "{}0<{}A.B:1>{}1;", "END"}, 2},
        {"accented letter", {"BEGIN 2;", "{}0<{}É:1>{}1;", "END"}, 2},
        {"name starting with underscore", {"BEGIN 2;", "{}0<{}_A:1>{}1;", "END"}, 2},
        {"line feed inside a line", {"BEGIN 2;", "{}0<{}A:1>\n{}1;", "END"}, 2},
        {"control character", {"BEGIN 1;", "\x01", "END"}, 2},
        {"equals sign", {"BEGIN 2;", "{}0<{}A:1>{}1;", "", "{}0=", "END"}, 4},
    });
}

TEST(StemReaderErrors, NamesOfThirtyTwoCharactersOrMore) {
    ASSERT_EQ(Name32.size(), 32u);
    ExpectRejected({
        {"32-character action", {"BEGIN 2;", "{}0<{}" + Name32 + ":1>{}1;", "END"}, 2},
        {"32-character event action", {"BEGIN 2;", "{}0<{}A:1>", "{1:" + Name32 + "}1;", "END"}, 3},
        {"much longer name", {"BEGIN 2;", "{}0<{}A:1>{}1;", std::string(5000, 'x'), "END"}, 3},
        {"32-character word after END", {"BEGIN 1;", "END " + Name32}, 2},
    });
}

TEST(StemReaderErrors, NumbersTooLongOrBeyondTheSigned32BitRange) {
    const std::string digits33 = std::string(32, '0') + "1";
    ExpectRejected({
        {"count of 2^31", {"BEGIN 2147483648;", "END"}, 1},
        {"count of twenty digits", {"BEGIN 99999999999999999999;", "END"}, 1},
        {"count of 33 digits", {"BEGIN " + digits33 + ";", "END"}, 1},
        {"event name of 2^31", {"BEGIN 2;", "{}0<{}A:2147483648>{}1;", "END"}, 2},
        {"target number of 33 digits", {"BEGIN 2;", "{}0<{}A:1>{}", digits33 + ";", "END"}, 3},
        {"event number of 2^32", {"BEGIN 2;", "{}0<{4294967296:A}A:1>{}1;", "END"}, 2},
        {"source number of 2^31 + 0 after zeros", {"BEGIN 2;", "{}00002147483648<{}A:1>{}1;", "END"}, 2},
        {"huge number after END", {"BEGIN 1;", "END 2147483648"}, 2},
    });
}

TEST(StemReaderErrors, TransitionFromAStateNotYetReached) {
    ExpectRejected({
        // Seen after the ";", yet told on the source's own line, never on the
        // next token's (or on END).
        {"next token on the next line", {"BEGIN 3;", "{}0<{}A:1>{}1;", "{}2<{}B:1>{}2;", "END"}, 3},
        {"next token on the same line", {"BEGIN 3;", "{}0<{}A:1>{}1;", "{}2<{}B:1>{}2;{}0<{}C:2>{}2;", "END"}, 3},
        {"next token after empty lines", {"BEGIN 3;", "{}0<{}A:1>{}1;", "{}2<{}B:1>{}2;", "", "", "END"}, 3},
        {"last transition of the text", {"BEGIN 3;", "{}0<{}A:1>{}1;", "{}2<{}B:1>{}2;"}, 3},
        {"source reached only later", {"BEGIN 3;", "{}1<{}B:1>{}2;", "{}0<{}A:1>{}1;", "END"}, 2},
        {"source only named in an event set", {"BEGIN 3;", "{}0<{}A:1>{5:A}1;{5:A}5<{}B:2>{}2;", "END"}, 2},
        {"source on a line of its own", {"BEGIN 3;", "{}0<{}A:1>{}1;", "{}", "7", "<{}B:2>{}2;", "END"}, 4},
    });
}

TEST(StemReaderErrors, AnIllegalCharacterRightAfterEnd) {
    ExpectRejected({
        {"on the same line", {"BEGIN 1;", "END-"}, 2},
        {"on a later line", {"BEGIN 1;", "END", "", "   $ fine"}, 4},
    });
}

TEST(StemReaderErrors, OnlyTheFirstErrorIsReported) {
    ExpectRejected({
        {"two faults", {"BEGIN 2;", "{}0<{}A:1>{}1;", "{}0<{}A:-2>{}1;", "-", "END"}, 3},
    });
}

}  // namespace
}  // namespace quarvo
