// Tokens of the standard (ISO 8807) syntax of LOTOS: the lexer that cuts a whole text into them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontend/CoreInterfaces.h"
#include "frontend/Identifier32.h"

namespace quarvo {

enum class StdToken : std::uint8_t {
    Identifier,
    Number,
    // Keywords of basic LOTOS.
    Specification, Behaviour, Where, Endspec, Process, Endproc, Exit, Noexit, Stop, Internal, Hide, In,
    Choice, Par,
    // Keywords of full LOTOS, refused by the reader.
    DataKeyword, Let, Accept, Any, Of,
    // Symbols.
    Semicolon, Comma, Colon, Define, OpenBracket, CloseBracket, OpenParen, CloseParen, Disable, Enable,
    Interleave, FullSync, Bar, Question, Exclamation, Arrow, Equal, Other,
    End,
};

struct StdLexeme {
    StdToken kind = StdToken::End;
    Identifier32 name;  // identifiers and keywords, folded to upper case
    int line = 0;       // 1-based
    int column = 0;     // 1-based, in characters of the line
};

// A lexical error: the message and where it is.
struct StdLexError {
    std::string message;
    int line = 0;
    int column = 0;
};

struct StdLexResult {
    std::vector<StdLexeme> tokens;  // ends with End
    bool ok = true;
    StdLexError error;
};

// Cuts the text into tokens; comments "(* … *)" are dropped. Stops at the
// first lexical error.
StdLexResult LexStandard(const LineSource& source);

// True when the first word of the text, after blanks and comments ("(* … *)"
// or "{ … }"), is "specification" in any case: a text in the standard syntax.
bool IsStandardSyntax(const LineSource& source);

// The keywords of the standard syntax, in upper case, that an identifier of
// ours must not be to be written in that syntax.
bool IsStandardKeyword(const Identifier32& name);

}  // namespace quarvo
