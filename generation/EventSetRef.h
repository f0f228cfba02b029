// A read-only event set kept in a flat pool of 32-bit words, read as a range of TEventEntry values.
//
// Forms. A set whose names are -1 or 1..30, in ascending order, is in name
// form: its mask (bit 0 for -1, bit e for e, so that ascending bits are
// ascending names) and the actions of its entries in that order, one word
// each, or packed: four to a word when every action fits 8 bits, two when
// every action fits 16 (the k-th action of a set packed p to a word is in
// word k/p, k%p parts up from its low bits).
// Any other set (a name out of that range or out of order, which only a
// STEM file or a hand-made set can give) is in pair form: WideBit | its size
// for the mask, then event and action word after word, as given.
#pragma once

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "generation/Events.h"

namespace quarvo {

class EventSetRef {
public:
    // Set in the mask of a set in pair form, whose low bits are then its size.
    static constexpr std::uint32_t WideBit = 0x80000000u;
    // Names a set in name form may hold: -1 and 1..30.
    static constexpr std::uint32_t NameBits = 0x7FFFFFFFu;

    static constexpr std::uint32_t Bit(std::int32_t event) { return event < 0 ? 1u : (1u << event); }
    static constexpr std::int32_t EventOfBit(int bit) { return bit == 0 ? -1 : bit; }
    // True when event has a bit of its own in a mask.
    static constexpr bool NameFits(std::int32_t event) { return event == -1 || (event >= 1 && event <= 30); }

    // Yields the entries by value, in their order.
    class iterator {
    public:
        using iterator_concept = std::forward_iterator_tag;
        using iterator_category = std::input_iterator_tag;  // entries are made on the fly
        using value_type = TEventEntry;
        using reference = TEventEntry;
        using difference_type = std::ptrdiff_t;

        iterator() = default;
        iterator(const std::uint32_t* words, std::uint32_t index, std::uint32_t rest, bool wide, std::uint8_t perWord)
            : words_(words), index_(index), rest_(rest), wide_(wide), perWord_(perWord) {}

        TEventEntry operator*() const {
            if (wide_) return TEventEntry{static_cast<std::int32_t>(words_[2 * index_]), words_[2 * index_ + 1]};
            return TEventEntry{EventOfBit(std::countr_zero(rest_)), ActionAt(words_, index_, perWord_)};
        }
        iterator& operator++() {
            if (!wide_) rest_ &= rest_ - 1;
            ++index_;
            return *this;
        }
        iterator operator++(int) {
            iterator old = *this;
            ++*this;
            return old;
        }
        friend bool operator==(const iterator& a, const iterator& b) {
            return a.words_ == b.words_ && a.index_ == b.index_;
        }

    private:
        const std::uint32_t* words_ = nullptr;
        std::uint32_t index_ = 0;  // of the entry
        std::uint32_t rest_ = 0;   // name form: the names not yet yielded
        bool wide_ = false;
        std::uint8_t perWord_ = 1;
    };
    using const_iterator = iterator;
    using value_type = TEventEntry;
    using size_type = std::size_t;

    // The empty set.
    EventSetRef() = default;
    // mask as described above; words: the actions (name form, perWord to a
    // word: 1, 2 or 4) or the pairs.
    EventSetRef(std::uint32_t mask, const std::uint32_t* words, unsigned perWord = 1)
        : mask_(mask), words_(words), perWord_(static_cast<std::uint8_t>(mask & WideBit ? 1 : perWord)) {
        assert((perWord_ == 1 || perWord_ == 2 || perWord_ == 4) && "one, two or four actions to a word");
    }

    iterator begin() const { return iterator(words_, 0, mask_, Wide(), perWord_); }
    iterator end() const { return iterator(words_, static_cast<std::uint32_t>(size()), 0, Wide(), perWord_); }
    std::size_t size() const {
        return Wide() ? mask_ & ~WideBit : static_cast<std::size_t>(std::popcount(mask_));
    }
    bool empty() const { return mask_ == 0; }
    TEventEntry operator[](std::size_t k) const {
        assert(k < size() && "entry of the set");
        if (Wide()) return TEventEntry{static_cast<std::int32_t>(words_[2 * k]), words_[2 * k + 1]};
        std::uint32_t rest = mask_;
        for (std::size_t i = 0; i < k; ++i) rest &= rest - 1;
        return TEventEntry{EventOfBit(std::countr_zero(rest)), ActionAt(words_, k, perWord_)};
    }
    TEventEntry front() const { return (*this)[0]; }

    // Name form: the mask of the names and the actions in name order.
    bool NameForm() const { return !Wide(); }
    // Actions to a word: 1, or 2 or 4 for a packed set in name form.
    unsigned PerWord() const { return perWord_; }
    std::uint32_t Mask() const { return mask_; }
    // The stored words: one per entry in name form (or per two or four when
    // packed), two in pair form.
    const std::uint32_t* Words() const { return words_; }
    std::size_t WordCount() const { return WordCount(mask_, perWord_); }
    static std::size_t WordCount(std::uint32_t mask, unsigned perWord) {
        if (mask & WideBit) return 2 * (mask & ~WideBit);
        return (static_cast<std::size_t>(std::popcount(mask)) + perWord - 1) / perWord;
    }
    // The k-th action of a set in name form.
    static ActionId ActionAt(const std::uint32_t* words, std::size_t k, unsigned perWord) {
        switch (perWord) {
        case 4: return (words[k / 4] >> (k % 4 * 8)) & 0xFFu;
        case 2: return (words[k / 2] >> (k % 2 * 16)) & 0xFFFFu;
        default: return words[k];
        }
    }

    EventSet ToEventSet() const { return EventSet(begin(), end()); }

    friend bool operator==(const EventSetRef& a, const EventSetRef& b) {
        if (a.mask_ != b.mask_) return false;
        if (a.perWord_ != b.perWord_) {
            for (std::size_t k = 0, n = a.size(); k < n; ++k)
                if (ActionAt(a.words_, k, a.perWord_) != ActionAt(b.words_, k, b.perWord_)) return false;
            return true;
        }
        const std::size_t n = a.WordCount();
        for (std::size_t i = 0; i < n; ++i)
            if (a.words_[i] != b.words_[i]) return false;
        return true;
    }
    friend bool operator==(const EventSetRef& a, const EventSet& b) {
        if (a.size() != b.size()) return false;
        std::size_t i = 0;
        for (const TEventEntry e : a)
            if (!(e == b[i++])) return false;
        return true;
    }

private:
    bool Wide() const { return (mask_ & WideBit) != 0; }

    std::uint32_t mask_ = 0;
    const std::uint32_t* words_ = nullptr;
    std::uint8_t perWord_ = 1;
};

static_assert(std::forward_iterator<EventSetRef::iterator>, "a set reads as a forward range");

}  // namespace quarvo
