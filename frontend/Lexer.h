// Lexical analysis of LOTOS text: the line reader over the editor lines and the tokenizer.
#pragma once

#include <string>

#include "frontend/CoreInterfaces.h"
#include "frontend/ErrorReport.h"
#include "frontend/Tokens.h"

namespace quarvo {

// Reads the editor text one line at a time. A line end reads as a blank and
// the end of the text as "$".
class LineReader {
public:
    static constexpr int MaxLineLength = 300;

    LineReader(const LineSource& source, ErrorReporter& reporter);

    // Next character, a..z folded to A..Z.
    char32_t NextChar();
    // Steps back one character.
    void UnreadChar();
    // Number of lines read so far: the line given in error reports.
    int line() const { return line_; }
    // 1-based column, in characters of the current line, of the next
    // character NextChar delivers (the end of the text counts as one past the
    // last line's end).
    int column() const { return position_ + 1; }
    void setLine(int line) { line_ = line; }
    // Whether the "$" last delivered was the end of the text, not one written in it.
    bool AtEndOfText() const { return endOfText_ && position_ >= length_; }

private:
    void Refill();

    const LineSource& source_;
    ErrorReporter& reporter_;
    std::u32string buffer_;
    int position_ = 0;
    int length_ = 0;
    int line_ = 0;
    bool endOfText_ = false;  // the "$" that ends the text is in the buffer
};

class Lexer {
public:
    Lexer(const LineSource& source, ErrorReporter& reporter) : reader_(source, reporter), reporter_(reporter) {}

    Token NextToken();

    LineReader& reader() { return reader_; }

private:
    // Reports a lexical error where token starts (its line and column).
    void LexicalError(int code, const Token& token);
    // Reads an identifier or keyword whose first letter has been read; returns
    // false after a name too long (the text is then blank).
    bool ReadName(Token& token);

    LineReader reader_;
    ErrorReporter& reporter_;
};

}  // namespace quarvo
