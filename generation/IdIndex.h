// Open-addressing index over dense 32-bit ids, the building block of the generator's interning tables.
#pragma once

#include <algorithm>
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
// ids whose record has it. A slot holds an id and its hash, so that a probe
// reads one place; linear probing, at most 70% full. Ids are placed in
// increasing order (a rehash places them in that order too), so the newest
// ids can be taken out again, newest first, leaving the table as if they had
// never been placed: that is how a table forgets the records of a successor
// that turned out to be known.
class IdIndex {
public:
    static constexpr std::uint32_t Absent = 0xFFFFFFFFu;

    // The id whose hash is hash and for which same(id) holds, or Absent.
    template <typename Same>
    std::uint32_t Find(std::uint32_t hash, Same&& same) const {
        if (slots_.empty()) return Absent;
        for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
            const Slot s = slots_[i];
            if (s.id == Absent) return Absent;
            if (s.hash == hash && same(s.id)) return s.id;
        }
    }

    // Adds id, which must be greater than every id already placed.
    void Insert(std::uint32_t id, std::uint32_t hash) {
        if ((count_ + 1) * 10 > slots_.size() * 7) Grow();
        Place(Slot{id, hash});
        ++count_;
    }

    // Takes out the ids from `from` up, all of them placed, newest first;
    // hashOf(id) gives the hash each was placed with.
    template <typename HashOf>
    void EraseFrom(std::uint32_t from, std::uint32_t end, HashOf&& hashOf) {
        for (std::uint32_t id = end; id-- > from;) {
            for (std::size_t i = hashOf(id) & mask_;; i = (i + 1) & mask_) {
                if (slots_[i].id == id) {
                    slots_[i].id = Absent;
                    --count_;
                    break;
                }
            }
        }
    }

    // Empties the index, keeping its room.
    void Clear() {
        std::fill(slots_.begin(), slots_.end(), Slot{});
        count_ = 0;
    }

    // Room for count ids without growing (on an empty index).
    void Reserve(std::size_t count) {
        std::size_t size = 1024;
        while (count * 10 > size * 7) size *= 2;
        if (size > slots_.size() && count_ == 0) {
            slots_.assign(size, Slot{});
            mask_ = size - 1;
        }
    }

    std::size_t Bytes() const { return slots_.capacity() * sizeof(Slot); }

private:
    struct Slot {
        std::uint32_t id = Absent;
        std::uint32_t hash = 0;
    };

    void Place(Slot s) {
        std::size_t i = s.hash & mask_;
        while (slots_[i].id != Absent) i = (i + 1) & mask_;
        slots_[i] = s;
    }

    void Grow() {
        std::vector<Slot> old;
        old.reserve(count_);
        for (const Slot& s : slots_)
            if (s.id != Absent) old.push_back(s);
        std::sort(old.begin(), old.end(), [](const Slot& a, const Slot& b) { return a.id < b.id; });
        const std::size_t size = slots_.empty() ? 1024 : slots_.size() * 2;
        slots_.assign(size, Slot{});
        mask_ = size - 1;
        for (const Slot& s : old) Place(s);
    }

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
    std::size_t mask_ = 0;
};

}  // namespace quarvo
