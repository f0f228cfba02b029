// The hand-written lexer of CTL formulas: one grammar-symbol character per token.
#pragma once

#include <cstdint>
#include <string>

#include "frontend/CoreInterfaces.h"

namespace quarvo {

enum class FormulaLexError {
    None,
    IllegalSymbol,      // "Symbole illégal. "
    IdentifierTooLong,  // "Identificateur trop long. "
    NumberTooLarge,     // "Nombre entier trop grand. "
};

struct FormulaToken {
    // p identifier, y number, t v w q o n j a e x g f u keywords, ( ) [ ] :, # end of text.
    char symbol = '#';
    std::string text;         // upper-case text; empty at the end of the text
    std::string written;      // the text as written
    std::int32_t value = 0;   // y: the number
    int line = 0;             // 0-based line of the token (the last line at the end)
    int column = 1;           // 1-based position of the token's first character
    FormulaLexError error = FormulaLexError::None;
};

// Reads the whole text of lines as one formula; line ends, blanks and
// tabulations separate tokens. Positions count characters, not bytes.
class FormulaLexer {
public:
    explicit FormulaLexer(const LineSource& lines);

    // NextFormulaToken: the next token, the end marker '#', or a token whose error is set.
    FormulaToken Next();

private:
    void LoadLine();
    char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\n'; }
    void Advance();

    const LineSource& lines_;
    int lineCount_;
    int line_ = 0;
    std::string text_;
    std::size_t pos_ = 0;  // byte offset in text_
    int column_ = 1;       // 1-based character position of pos_
};

// The message of a lexical error, ending with a blank.
const char* FormulaLexErrorMessage(FormulaLexError error);

}  // namespace quarvo
