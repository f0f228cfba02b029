// States and terms as bytes that every process computes alike, whatever its own node ids and names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "frontend/SyntaxTree.h"

namespace quarvo {

// The processes of a compilation numbered in the order of its definition
// tree (a definition, then its children, then the next one), 1 for the
// first: two processes that compiled the same text number them alike.
class CanonicalProcesses {
public:
    explicit CanonicalProcesses(const Compilation* compilation);
    std::uint32_t Number(const ProcessDefinition* process) const;  // 0 for none
    const ProcessDefinition* Definition(std::uint32_t number) const;  // null for 0 or unknown
    std::size_t Size() const { return definitions_.size(); }

private:
    std::vector<const ProcessDefinition*> definitions_{nullptr};
    std::unordered_map<const ProcessDefinition*, std::uint32_t> numbers_;
};

// Little-endian base-128 numbers and length-prefixed texts, the grammar of every encoding here.
class ByteWriter {
public:
    explicit ByteWriter(std::string& out) : out_(out) {}
    void Number(std::uint64_t v) {
        while (v >= 0x80) {
            out_.push_back(static_cast<char>((v & 0x7F) | 0x80));
            v >>= 7;
        }
        out_.push_back(static_cast<char>(v));
    }
    void Signed(std::int64_t v) { Number((static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63)); }
    void Text(std::string_view s) {
        Number(s.size());
        out_.append(s);
    }
    void Byte(std::uint8_t b) { out_.push_back(static_cast<char>(b)); }
    void Raw(std::string_view bytes) { out_.append(bytes); }

private:
    std::string& out_;
};

// Reads what a ByteWriter wrote; a read past the end sets Failed() and gives zeros.
class ByteReader {
public:
    explicit ByteReader(std::string_view in) : in_(in) {}
    std::uint64_t Number() {
        std::uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (at_ >= in_.size()) {
                failed_ = true;
                return 0;
            }
            const auto b = static_cast<std::uint8_t>(in_[at_++]);
            v |= std::uint64_t{b & 0x7Fu} << shift;
            if (!(b & 0x80)) return v;
        }
        failed_ = true;
        return 0;
    }
    std::int64_t Signed() {
        const std::uint64_t v = Number();
        return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1);
    }
    std::string_view Text() {
        const std::uint64_t n = Number();
        if (n > in_.size() - at_) {
            failed_ = true;
            return {};
        }
        std::string_view s = in_.substr(at_, n);
        at_ += n;
        return s;
    }
    std::uint8_t Byte() {
        if (at_ >= in_.size()) {
            failed_ = true;
            return 0;
        }
        return static_cast<std::uint8_t>(in_[at_++]);
    }
    bool Failed() const { return failed_; }
    bool AtEnd() const { return at_ >= in_.size(); }
    std::size_t Offset() const { return at_; }
    // The bytes read since offset from.
    std::string_view Since(std::size_t from) const { return in_.substr(from, at_ - from); }

private:
    std::string_view in_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

// What one process has told one peer of state identities: both number the
// identity nodes in the order they were first sent, so that a node sent once
// goes by its number after. One dictionary per direction and peer.
struct IdentityDictionary {
    std::vector<std::uint32_t> sent;      // sender: per identity here, its number plus one
    std::vector<std::uint32_t> received;  // receiver: per number, the identity here
    std::uint32_t next = 0;               // sender: numbers given
};

// A 64-bit hash of bytes, the same on every machine.
std::uint64_t StableHash(std::string_view bytes);

}  // namespace quarvo
