// Tokens of CTL formulas: identifiers, numbers, keywords, operators and brackets.
#include "ctl/CtlLexer.h"

#include <cstddef>

namespace quarvo {
namespace {

constexpr std::size_t MaxTokenLength = 32;  // the token buffer's width

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Number of characters of a UTF-8 text (continuation bytes do not count).
int CharacterCount(const std::string& text) {
    int n = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

// The single-letter quantifiers and operators are keywords only in upper case;
// the word operators in any case.
char KeywordSymbol(const std::string& written, const std::string& upper) {
    if (written == "A") return 'a';
    if (written == "E") return 'e';
    if (written == "U") return 'u';
    if (written == "X") return 'x';
    if (written == "G") return 'g';
    if (written == "F") return 'f';
    if (upper == "AND") return 'q';
    if (upper == "OR") return 'o';
    if (upper == "NOT") return 'w';
    if (upper == "TRUE") return 't';
    if (upper == "FALSE") return 'v';
    return 'p';
}

}  // namespace

const char* FormulaLexErrorMessage(FormulaLexError error) {
    switch (error) {
    case FormulaLexError::IllegalSymbol: return "Symbole illégal. ";
    case FormulaLexError::IdentifierTooLong: return "Identificateur trop long. ";
    case FormulaLexError::NumberTooLarge: return "Nombre entier trop grand. ";
    case FormulaLexError::None: break;
    }
    return "";
}

FormulaLexer::FormulaLexer(const LineSource& lines) : lines_(lines), lineCount_(lines.LineCount()) {
    LoadLine();
}

void FormulaLexer::LoadLine() {
    text_ = line_ < lineCount_ ? lines_.Line(line_) : std::string();
    pos_ = 0;
    column_ = 1;
}

void FormulaLexer::Advance() {
    ++pos_;
    // A position counts characters: the continuation bytes of a UTF-8
    // sequence belong to the character before them.
    while (pos_ < text_.size() && (static_cast<unsigned char>(text_[pos_]) & 0xC0) == 0x80) ++pos_;
    ++column_;
}

FormulaToken FormulaLexer::Next() {
    FormulaToken token;
    for (;;) {
        if (line_ >= lineCount_) {
            // End of text: errors are reported on the last line, one past its end.
            token.symbol = '#';
            token.line = lineCount_ > 0 ? lineCount_ - 1 : 0;
            token.column = lineCount_ > 0 ? CharacterCount(lines_.Line(token.line)) + 1 : 1;
            return token;
        }
        if (pos_ >= text_.size()) {  // the end of the current line
            ++line_;
            LoadLine();
            continue;
        }
        const char c = text_[pos_];
        if (c == ' ' || c == '\t' || c == '\r') {
            Advance();
            continue;
        }
        token.line = line_;
        token.column = column_;
        if (c == '(' || c == ')' || c == ':' || c == '[' || c == ']') {
            token.symbol = c;
            token.text = token.written = std::string(1, c);
            Advance();
            return token;
        }
        if (IsDigit(c)) {
            std::int64_t value = 0;
            while (IsDigit(Peek())) {
                token.written.push_back(Peek());
                value = value * 10 + (Peek() - '0');
                // Beyond a 32-bit value, or the width of the token buffer, the number is refused.
                if (value > INT32_MAX || token.written.size() > MaxTokenLength) {
                    token.error = FormulaLexError::NumberTooLarge;
                    return token;
                }
                Advance();
            }
            token.symbol = 'y';
            token.text = token.written;
            token.value = static_cast<std::int32_t>(value);
            return token;
        }
        if (c == '<' || c == '=') {
            const char* rest = c == '<' ? "=>" : ">";
            Advance();
            for (const char* r = rest; *r; ++r) {
                if (Peek() != *r) {
                    token.error = FormulaLexError::IllegalSymbol;
                    return token;
                }
                Advance();
            }
            token.symbol = c == '<' ? 'j' : 'n';
            token.text = token.written = c == '<' ? "<=>" : "=>";
            return token;
        }
        if (IsLetter(c)) {
            while (IsLetter(Peek()) || IsDigit(Peek()) || Peek() == '_') {
                if (token.written.size() == MaxTokenLength) {
                    token.error = FormulaLexError::IdentifierTooLong;
                    return token;
                }
                token.written.push_back(Peek());
                token.text.push_back(Upper(Peek()));
                Advance();
            }
            token.symbol = KeywordSymbol(token.written, token.text);
            return token;
        }
        token.error = FormulaLexError::IllegalSymbol;
        return token;
    }
}

}  // namespace quarvo
