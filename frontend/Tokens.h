// Terminal codes of the LOTOS grammar, the keyword table and the single-character token table.
#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "frontend/Identifier32.h"

namespace quarvo {

// The terminal symbols; the values are the columns of the action table.
enum TokenCode : std::int32_t {
    TokSystem = 0,
    TokIdentifier = 1,
    TokOpenBracket = 2,
    TokComma = 3,
    TokCloseBracket = 4,
    TokDefine = 5,
    TokHide = 6,
    TokIn = 7,
    TokEnable = 8,
    TokDisable = 9,
    TokOpenParen = 10,
    TokCloseParen = 11,
    TokSemicolon = 12,
    TokNil = 13,
    TokExit = 14,
    TokInternal = 15,
    TokInterleave = 16,
    TokFullSync = 17,
    TokBar = 18,
    TokWhere = 19,
    TokEndsys = 20,
    TokProcess = 21,
    TokEndproc = 22,
    TokEnd = 23,
};
constexpr int TerminalCount = 24;

struct KeywordEntry {
    const char* text;
    TokenCode code;
};

// Searched in this order.
inline constexpr std::array<KeywordEntry, 10> KeywordTable = {{
    {"SYSTEM", TokSystem},
    {"ENDSYS", TokEndsys},
    {"HIDE", TokHide},
    {"IN", TokIn},
    {"WHERE", TokWhere},
    {"EXIT", TokExit},
    {"NIL", TokNil},
    {"PROCESS", TokProcess},
    {"ENDPROC", TokEndproc},
    {"I", TokInternal},
}};

// Token code of the six characters that are tokens on their own.
constexpr TokenCode CharacterToken(char32_t c) {
    switch (c) {
    case ',': return TokComma;
    case ']': return TokCloseBracket;
    case ';': return TokSemicolon;
    case '$': return TokEnd;
    case '(': return TokOpenParen;
    case ')': return TokCloseParen;
    default: return TokEnd;
    }
}

struct Token {
    Identifier32 text;
    TokenCode code = TokEnd;
    // Where the token starts: the 1-based line and the 1-based column, in
    // characters of the line (a tabulation counts as one).
    int line = 0;
    int column = 0;
};

}  // namespace quarvo
