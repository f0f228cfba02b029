// Tokens of the standard (ISO 8807) syntax of LOTOS: the lexer that cuts a whole text into them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
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
    std::uint32_t name = 0;  // identifiers and keywords: the place of their name among StdTokens' names
    int line = 0;            // 1-based
    int column = 0;          // 1-based, in characters of the line
};

// A lexical error: the message and where it is.
struct StdLexError {
    std::string message;
    int line = 0;
    int column = 0;
};

// The tokens of a text, in blocks that never move: a long text's millions of
// tokens are stored once, never copied as a growing array would copy them.
// Each distinct name is stored once, numbered in the order first met (0: none).
class StdTokens {
public:
    StdTokens() : names_(1) {}

    void push_back(const StdLexeme& token) {
        if (size_ % BlockSize == 0) blocks_.push_back(std::make_unique_for_overwrite<StdLexeme[]>(BlockSize));
        blocks_.back()[size_ % BlockSize] = token;
        ++size_;
    }
    const StdLexeme& operator[](std::size_t i) const { return blocks_[i / BlockSize][i % BlockSize]; }
    std::size_t size() const { return size_; }

    // The number of name, given the first time it is met.
    std::uint32_t Intern(const Identifier32& name) {
        const auto [it, added] = numbers_.try_emplace(name, static_cast<std::uint32_t>(names_.size()));
        if (added) names_.push_back(name);
        return it->second;
    }
    const Identifier32& Name(const StdLexeme& token) const { return names_[token.name]; }
    std::size_t NameCount() const { return names_.size(); }

private:
    static constexpr std::size_t BlockSize = 4096;
    std::vector<std::unique_ptr<StdLexeme[]>> blocks_;
    std::size_t size_ = 0;
    std::vector<Identifier32> names_;
    std::unordered_map<Identifier32, std::uint32_t, Identifier32Hash> numbers_;
};

struct StdLexResult {
    StdTokens tokens;  // ends with End
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
