// The lexer of the standard syntax: keywords without regard to case, comments "(* … *)".
#include "frontend/StandardLexer.h"

#include <array>
#include <string_view>

#include "frontend/TextFile.h"

namespace quarvo {
namespace {

struct StdKeyword {
    std::string_view text;
    StdToken kind;
};

constexpr std::array<StdKeyword, 38> kKeywords = {{
    {"SPECIFICATION", StdToken::Specification}, {"BEHAVIOUR", StdToken::Behaviour},
    {"BEHAVIOR", StdToken::Behaviour},          {"WHERE", StdToken::Where},
    {"ENDSPEC", StdToken::Endspec},             {"PROCESS", StdToken::Process},
    {"ENDPROC", StdToken::Endproc},             {"EXIT", StdToken::Exit},
    {"NOEXIT", StdToken::Noexit},               {"STOP", StdToken::Stop},
    {"I", StdToken::Internal},                  {"HIDE", StdToken::Hide},
    {"IN", StdToken::In},                       {"CHOICE", StdToken::Choice},
    {"PAR", StdToken::Par},                     {"LET", StdToken::Let},
    {"ACCEPT", StdToken::Accept},               {"ANY", StdToken::Any},
    {"OF", StdToken::Of},                       {"TYPE", StdToken::DataKeyword},
    {"ENDTYPE", StdToken::DataKeyword},         {"LIBRARY", StdToken::DataKeyword},
    {"ENDLIB", StdToken::DataKeyword},          {"IS", StdToken::DataKeyword},
    {"SORTS", StdToken::DataKeyword},           {"OPNS", StdToken::DataKeyword},
    {"EQNS", StdToken::DataKeyword},            {"FORALL", StdToken::DataKeyword},
    {"OFSORT", StdToken::DataKeyword},          {"ACTUALIZEDBY", StdToken::DataKeyword},
    {"RENAMEDBY", StdToken::DataKeyword},       {"SORTNAMES", StdToken::DataKeyword},
    {"OPNNAMES", StdToken::DataKeyword},        {"FORMALSORTS", StdToken::DataKeyword},
    {"FORMALOPNS", StdToken::DataKeyword},      {"FORMALEQNS", StdToken::DataKeyword},
    {"USING", StdToken::DataKeyword},           {"FOR", StdToken::DataKeyword},
}};

bool IsLetter(char32_t c) { return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z'); }
bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
char32_t Upper(char32_t c) { return c >= U'a' && c <= U'z' ? c - U'a' + U'A' : c; }

// The characters of the text, line after line, with their places.
class CharCursor {
public:
    explicit CharCursor(const LineSource& source) : source_(source), count_(source.LineCount()) { Load(); }

    bool AtEnd() const { return line_ >= count_; }
    // The character at offset from the current one in this line; a line end reads as '\n'.
    char32_t Peek(std::size_t offset = 0) const {
        if (AtEnd()) return U'\0';
        return position_ + offset < chars_.size() ? chars_[position_ + offset] : U'\n';
    }
    void Advance() {
        if (AtEnd()) return;
        if (position_ < chars_.size()) {
            ++position_;
        } else {
            ++line_;
            Load();
        }
    }
    int line() const { return line_ + 1; }
    int column() const { return static_cast<int>(position_) + 1; }
    // The characters from the current one to the end of its line.
    std::u32string_view RestOfLine() const {
        return AtEnd() ? std::u32string_view() : std::u32string_view(chars_).substr(position_);
    }
    // Moves over count characters of the current line.
    void Skip(std::size_t count) { position_ += count; }

private:
    void Load() {
        position_ = 0;
        // Decoded into the same buffer line after line.
        DecodeUtf8(line_ < count_ ? source_.Line(line_) : std::string(), chars_);
        // A Windows line end read as LF alone leaves a carriage return.
        if (!chars_.empty() && chars_.back() == U'\r') chars_.pop_back();
    }

    const LineSource& source_;
    const int count_;
    int line_ = 0;
    std::size_t position_ = 0;
    std::u32string chars_;
};

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t' || c == U'\n' || c == U'\f' || c == U'\v'; }
bool IsNameCharacter(char32_t c) { return IsLetter(c) || IsDigit(c) || c == U'_'; }

// The kind of a word of letters, digits and underscores, in upper case.
StdToken WordKind(std::string_view upper) {
    for (const StdKeyword& k : kKeywords)
        if (k.text.size() == upper.size() && k.text == upper) return k.kind;
    return StdToken::Identifier;
}

// The symbol that starts at c, the longest first, moved over; End if none.
StdToken Symbol(CharCursor& in, char32_t c) {
    const auto taken = [&in](std::size_t length, StdToken kind) {
        for (std::size_t i = 0; i < length; ++i) in.Advance();
        return kind;
    };
    const char32_t next = in.Peek(1);
    switch (c) {
    case U'|':
        if (next != U'|') return taken(1, StdToken::Bar);
        return in.Peek(2) == U'|' ? taken(3, StdToken::Interleave) : taken(2, StdToken::FullSync);
    case U'[': return next == U'>' ? taken(2, StdToken::Disable) : taken(1, StdToken::OpenBracket);
    case U']': return taken(1, StdToken::CloseBracket);
    case U'>': return next == U'>' ? taken(2, StdToken::Enable) : StdToken::End;
    case U':': return next == U'=' ? taken(2, StdToken::Define) : taken(1, StdToken::Colon);
    case U';': return taken(1, StdToken::Semicolon);
    case U',': return taken(1, StdToken::Comma);
    case U'(': return taken(1, StdToken::OpenParen);
    case U')': return taken(1, StdToken::CloseParen);
    case U'?': return taken(1, StdToken::Question);
    case U'!': return taken(1, StdToken::Exclamation);
    case U'-': return next == U'>' ? taken(2, StdToken::Arrow) : StdToken::End;
    case U'=': return taken(1, StdToken::Equal);
    default: return StdToken::End;
    }
}

}  // namespace

bool IsStandardKeyword(const Identifier32& name) {
    for (const StdKeyword& k : kKeywords)
        if (name == Identifier32::FromText(k.text)) return true;
    return false;
}

StdLexResult LexStandard(const LineSource& source) {
    StdLexResult result;
    CharCursor in(source);
    auto fail = [&result](const char* message, int line, int column) {
        result.ok = false;
        result.error = StdLexError{message, line, column};
    };
    for (;;) {
        while (!in.AtEnd() && IsBlank(in.Peek())) in.Advance();
        StdLexeme token;
        token.line = in.line();
        token.column = in.column();
        if (in.AtEnd()) {
            token.kind = StdToken::End;
            result.tokens.push_back(token);
            return result;
        }
        const char32_t c = in.Peek();
        if (c == U'(' && in.Peek(1) == U'*') {
            in.Advance();
            in.Advance();
            while (!in.AtEnd() && !(in.Peek() == U'*' && in.Peek(1) == U')')) in.Advance();
            if (in.AtEnd()) {
                fail("Commentaire non fermé", token.line, token.column);
                return result;
            }
            in.Advance();
            in.Advance();
            continue;
        }
        if (IsLetter(c)) {
            // A name never runs over a line end.
            const std::u32string_view rest = in.RestOfLine();
            std::size_t length = 1;
            while (length < rest.size() && IsNameCharacter(rest[length])) ++length;
            if (length > Identifier32::Size) {
                fail("Identificateur trop long", token.line, token.column);
                return result;
            }
            Identifier32 name;
            for (std::size_t i = 0; i < length; ++i) name.chars[i] = static_cast<char>(Upper(rest[i]));
            in.Skip(length);
            token.kind = WordKind(std::string_view(name.chars.data(), length));
            token.name = result.tokens.Intern(name);
            result.tokens.push_back(token);
            continue;
        }
        if (IsDigit(c)) {
            while (IsLetter(in.Peek()) || IsDigit(in.Peek()) || in.Peek() == U'_') in.Advance();
            token.kind = StdToken::Number;
            result.tokens.push_back(token);
            continue;
        }
        // Symbols, the longest first.
        const StdToken symbol = Symbol(in, c);
        if (symbol != StdToken::End) {
            token.kind = symbol;
            result.tokens.push_back(token);
            continue;
        }
        // The operators of data expressions: read so that the reader can
        // refuse the construct around them by name.
        if (c == U'+' || c == U'-' || c == U'*' || c == U'/' || c == U'<' || c == U'>' || c == U'.' ||
            c == U'#' || c == U'%' || c == U'&' || c == U'@' || c == U'^' || c == U'~' || c == U'\\' ||
            c == U'\'' || c == U'"') {
            token.kind = StdToken::Other;
            in.Advance();
            result.tokens.push_back(token);
            continue;
        }
        fail("Symbole illégal", token.line, token.column);
        return result;
    }
}

bool IsStandardSyntax(const LineSource& source) {
    CharCursor in(source);
    for (;;) {
        while (!in.AtEnd() && IsBlank(in.Peek())) in.Advance();
        if (in.AtEnd()) return false;
        if (in.Peek() == U'(' && in.Peek(1) == U'*') {
            in.Advance();
            in.Advance();
            while (!in.AtEnd() && !(in.Peek() == U'*' && in.Peek(1) == U')')) in.Advance();
            in.Advance();
            in.Advance();
            continue;
        }
        if (in.Peek() == U'{') {
            while (!in.AtEnd() && in.Peek() != U'}') in.Advance();
            in.Advance();
            continue;
        }
        static constexpr std::string_view word = "SPECIFICATION";
        for (std::size_t i = 0; i < word.size(); ++i)
            if (Upper(in.Peek(i)) != static_cast<char32_t>(word[i])) return false;
        const char32_t after = in.Peek(word.size());
        return !(IsLetter(after) || IsDigit(after) || after == U'_');
    }
}

}  // namespace quarvo
