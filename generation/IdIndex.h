// Open-addressing index over dense 32-bit ids, the building block of the generator's interning tables.
#pragma once

#include <cstdint>
#include <vector>

namespace quarvo {

inline std::uint32_t MixHash(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h);
}

inline std::uint64_t Combine(std::uint64_t h, std::uint64_t v) {
    return (h ^ v) * 0x9E3779B97F4A7C15ull + (h >> 29);
}

// The records live in the owner's vectors; the index only maps a hash to the
// ids whose record has it. Linear probing, at most half full. Since ids are
// inserted in increasing order (a rehash reinserts them in that order too),
// the ids above a mark can be taken out again newest first, which is how a
// table forgets the records of a successor that turned out to be known.
class IdIndex {
public:
    static constexpr std::uint32_t Absent = 0xFFFFFFFFu;

    // The id whose hash is hash and for which same(id) holds, or Absent.
    template <typename Same>
    std::uint32_t Find(std::uint32_t hash, Same&& same) const {
        if (slots_.empty()) return Absent;
        for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
            const std::uint32_t id = slots_[i];
            if (id == Absent) return Absent;
            if (hashes_[id] == hash && same(id)) return id;
        }
    }

    // Adds id (the next id, hashes are kept per id).
    void Insert(std::uint32_t id, std::uint32_t hash) {
        if (hashes_.size() <= id) hashes_.resize(id + 1, 0);
        hashes_[id] = hash;
        if ((count_ + 1) * 2 > slots_.size()) Grow(id);
        Place(id, hash);
        ++count_;
    }

    // Takes out the ids from `from` up, which must be the newest ones.
    void EraseFrom(std::uint32_t from) {
        for (std::uint32_t id = static_cast<std::uint32_t>(hashes_.size()); id-- > from;) {
            if (!Present(id)) continue;
            for (std::size_t i = hashes_[id] & mask_;; i = (i + 1) & mask_) {
                if (slots_[i] == id) {
                    slots_[i] = Absent;
                    --count_;
                    break;
                }
            }
        }
        if (hashes_.size() > from) hashes_.resize(from);
        present_.resize(std::min<std::size_t>(present_.size(), from));
    }

    void Clear() {
        slots_.clear();
        hashes_.clear();
        present_.clear();
        count_ = 0;
        mask_ = 0;
    }

    std::size_t Bytes() const { return slots_.capacity() * 4 + hashes_.capacity() * 4 + present_.capacity() / 8; }

private:
    bool Present(std::uint32_t id) const { return id < present_.size() && present_[id]; }

    void Place(std::uint32_t id, std::uint32_t hash) {
        std::size_t i = hash & mask_;
        while (slots_[i] != Absent) i = (i + 1) & mask_;
        slots_[i] = id;
        if (present_.size() <= id) present_.resize(id + 1, false);
        present_[id] = true;
    }

    void Grow(std::uint32_t upTo) {
        std::size_t size = slots_.empty() ? 1024 : slots_.size() * 2;
        slots_.assign(size, Absent);
        mask_ = size - 1;
        for (std::uint32_t id = 0; id < upTo && id < present_.size(); ++id)
            if (present_[id]) Place(id, hashes_[id]);
    }

    std::vector<std::uint32_t> slots_;
    std::vector<std::uint32_t> hashes_;
    std::vector<bool> present_;
    std::size_t count_ = 0;
    std::size_t mask_ = 0;
};

}  // namespace quarvo
