// The lexer of the standard syntax: keywords without regard to case, comments "(* … *)".
#include "frontend/StandardLexer.h"

#include <array>
#include <string_view>

#include "frontend/TextFile.h"

namespace quarvo {
namespace {

struct StdKeyword {
    const char* text;
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

private:
    void Load() {
        position_ = 0;
        chars_ = line_ < count_ ? DecodeUtf8(source_.Line(line_)) : std::u32string();
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
            std::string text;
            while (IsLetter(in.Peek()) || IsDigit(in.Peek()) || in.Peek() == U'_') {
                text.push_back(static_cast<char>(Upper(in.Peek())));
                in.Advance();
            }
            if (text.size() > Identifier32::Size) {
                fail("Identificateur trop long", token.line, token.column);
                return result;
            }
            token.name = Identifier32::FromText(text);
            token.kind = StdToken::Identifier;
            for (const StdKeyword& k : kKeywords)
                if (text == k.text) token.kind = k.kind;
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
        auto take = [&](std::string_view text, StdToken kind) {
            for (std::size_t i = 0; i < text.size(); ++i)
                if (in.Peek(i) != static_cast<char32_t>(text[i])) return false;
            for (std::size_t i = 0; i < text.size(); ++i) in.Advance();
            token.kind = kind;
            return true;
        };
        if (take("|||", StdToken::Interleave) || take("||", StdToken::FullSync) || take("|", StdToken::Bar) ||
            take("[>", StdToken::Disable) || take("[", StdToken::OpenBracket) || take("]", StdToken::CloseBracket) ||
            take(">>", StdToken::Enable) || take(":=", StdToken::Define) || take(":", StdToken::Colon) ||
            take(";", StdToken::Semicolon) || take(",", StdToken::Comma) || take("(", StdToken::OpenParen) ||
            take(")", StdToken::CloseParen) || take("?", StdToken::Question) || take("!", StdToken::Exclamation) ||
            take("->", StdToken::Arrow) || take("=", StdToken::Equal)) {
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
