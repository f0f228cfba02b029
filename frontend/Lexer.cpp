// Line reader and tokenizer of the LOTOS front end.
#include "frontend/Lexer.h"

#include "frontend/TextFile.h"

namespace quarvo {

LineReader::LineReader(const LineSource& source, ErrorReporter& reporter)
    : source_(source), reporter_(reporter) {}

void LineReader::Refill() {
    // The line to copy is the editor line with index line_ (zero-based).
    std::u32string text;
    if (line_ < source_.LineCount()) text = DecodeUtf8(source_.Line(line_));
    ++line_;
    if (text.size() > static_cast<std::size_t>(MaxLineLength)) {
        // Reported like any other error, so the user keeps the text; the rest
        // of the line is dropped.
        reporter_.ReportError("Ligne trop longue", Identifier32(), line_);
        text.resize(MaxLineLength);
    }
    endOfText_ = line_ >= source_.LineCount();
    buffer_ = std::move(text);
    buffer_.push_back(endOfText_ ? U'$' : U' ');
    length_ = static_cast<int>(buffer_.size());
    position_ = 0;
}

char32_t LineReader::NextChar() {
    if (position_ >= length_) {
        if (endOfText_) {
            // The text is over: keep delivering its end (after a comment left
            // open, for instance).
            position_ = length_;
            return U'$';
        }
        Refill();
    }
    char32_t c = buffer_[static_cast<std::size_t>(position_++)];
    if (c >= U'a' && c <= U'z') c = c - U'a' + U'A';
    return c;
}

void LineReader::UnreadChar() {
    if (position_ > 0) --position_;
}

void Lexer::LexicalError(int code, const Token& token) {
    static const char* const messages[] = {"Identificateur trop long", "Symbole illégal",
                                           "Identificateur invalide"};
    reporter_.ReportError(messages[code - 1], Identifier32(), token.line, token.column);
}

static bool IsLetter(char32_t c) { return c >= U'A' && c <= U'Z'; }
static bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

bool Lexer::ReadName(Token& token) {
    reader_.UnreadChar();
    for (int i = 1;; ++i) {
        char32_t c = reader_.NextChar();
        if (!(IsLetter(c) || IsDigit(c) || c == U'_')) {
            reader_.UnreadChar();
            break;
        }
        if (i > static_cast<int>(Identifier32::Size)) {
            LexicalError(1, token);
            token.text = Identifier32();
            return false;
        }
        token.text.chars[static_cast<std::size_t>(i - 1)] = static_cast<char>(c);
    }
    token.code = TokIdentifier;
    for (const KeywordEntry& keyword : KeywordTable) {
        if (token.text == Identifier32::FromText(keyword.text)) {
            token.code = keyword.code;
            break;
        }
    }
    return true;
}

Token Lexer::NextToken() {
    Token token;
    for (;;) {
        char32_t c;
        do {
            c = reader_.NextChar();
        } while (c == U' ' || c == U'\t');
        reader_.UnreadChar();

        // The next character starts the token (or a comment).
        token.line = reader_.line();
        token.column = reader_.column();
        token.text = Identifier32();
        auto symbol = [&token](const char* text, TokenCode code) {
            token.text = Identifier32::FromText(text);
            token.code = code;
        };
        // Reads the next character if it is next, leaves it unread otherwise.
        auto followedBy = [this](char32_t next) {
            if (reader_.NextChar() == next) return true;
            reader_.UnreadChar();
            return false;
        };
        c = reader_.NextChar();
        switch (c) {
        case U'$': case U'(': case U')': case U',': case U';': case U']':
            token.text.chars[0] = static_cast<char>(c);
            token.code = CharacterToken(c);
            break;
        // A lone ':' or '>' is an error, and the character after it is passed over.
        case U':':
            if (reader_.NextChar() == U'=') symbol(":=", TokDefine);
            else LexicalError(2, token);
            break;
        case U'>':
            if (reader_.NextChar() == U'>') symbol(">>", TokEnable);
            else LexicalError(2, token);
            break;
        case U'[':
            if (followedBy(U'>')) symbol("[>", TokDisable);
            else symbol("[", TokOpenBracket);
            break;
        case U'|':
            if (!followedBy(U'|')) symbol("|", TokBar);
            else if (followedBy(U'|')) symbol("|||", TokInterleave);
            else symbol("||", TokFullSync);
            break;
        case U'{':
            // Comments do not nest; a "$" written in one also closes it.
            do {
                c = reader_.NextChar();
            } while (c != U'}' && c != U'$');
            if (c == U'$' && reader_.AtEndOfText()) {
                // Told where it opens: the end of the text is no help in finding it.
                reporter_.ReportError("Commentaire non fermé : « { » sans « } »", Identifier32(), token.line,
                                      token.column);
                symbol("$", TokEnd);
            }
            break;
        default:
            if (IsDigit(c)) LexicalError(3, token);
            else if (IsLetter(c)) ReadName(token);
            else LexicalError(2, token);
            break;
        }
        if (!token.text.IsBlank()) return token;
    }
}

}  // namespace quarvo
