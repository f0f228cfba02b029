// Identifier32: the fixed 32-character name used for gates, processes, keywords and tokens.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

namespace quarvo {

// A name is 32 characters, left-aligned and padded with blanks; 32 blanks
// means "no text". Two names are equal when all 32 characters are equal.
struct Identifier32 {
    static constexpr std::size_t Size = 32;
    std::array<char, Size> chars;

    constexpr Identifier32() : chars{} { chars.fill(' '); }

    // Builds a name from text; characters past the 32nd are dropped.
    static Identifier32 FromText(std::string_view text) {
        Identifier32 id;
        std::size_t n = text.size() < Size ? text.size() : Size;
        for (std::size_t i = 0; i < n; ++i) id.chars[i] = text[i];
        return id;
    }

    bool IsBlank() const {
        for (char c : chars)
            if (c != ' ') return false;
        return true;
    }

    // The name as shown to the user: cut at the first blank.
    std::string Text() const {
        std::size_t n = 0;
        while (n < Size && chars[n] != ' ') ++n;
        return std::string(chars.data(), n);
    }

    // The name as written to files: every blank removed.
    std::string Compact() const {
        std::string s;
        for (char c : chars)
            if (c != ' ') s.push_back(c);
        return s;
    }

    friend bool operator==(const Identifier32& a, const Identifier32& b) {
        return std::memcmp(a.chars.data(), b.chars.data(), Size) == 0;
    }
    friend bool operator<(const Identifier32& a, const Identifier32& b) {
        return std::memcmp(a.chars.data(), b.chars.data(), Size) < 0;
    }
};

struct Identifier32Hash {
    std::size_t operator()(const Identifier32& id) const noexcept {
        // Four 64-bit words, each mixed in with a multiply-xorshift step.
        std::uint64_t h = 0x9E3779B97F4A7C15ull;
        for (std::size_t i = 0; i < Identifier32::Size; i += 8) {
            std::uint64_t w;
            std::memcpy(&w, id.chars.data() + i, sizeof w);
            h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
            h ^= h >> 31;
        }
        return static_cast<std::size_t>(h);
    }
};

// The successful-termination action; lower case, so no user name can equal it.
inline const Identifier32& DeltaName() {
    static const Identifier32 delta = Identifier32::FromText("delta");
    return delta;
}

// The internal action.
inline const Identifier32& InternalName() {
    static const Identifier32 internal = Identifier32::FromText("I");
    return internal;
}

}  // namespace quarvo
