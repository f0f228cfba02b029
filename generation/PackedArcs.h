// The arcs of a store as fixed-width bit fields: each arc its target and its
// label's id, side by side, as many bits as the largest of each needs. A
// system of a few million states with a few hundred labels keeps an arc in
// 4 bytes. When a value needs more bits than its field has, every arc is
// laid out again, wider, in place (from the last one down, so that no arc is
// overwritten before it is read); states and labels grow by doubling, so the
// arcs are laid out again a few times in all (a target field, once arcs are
// many, with a bit to spare).
#pragma once

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "generation/GrowingArray.h"

namespace quarvo {

class PackedArcs {
public:
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    // Reads arcs as the array stands: a view that a change of the array
    // (an arc added or set, a widening) leaves stale.
    class Reader {
    public:
        Reader() = default;
        explicit Reader(const PackedArcs& arcs)
            : bytes_(reinterpret_cast<const unsigned char*>(arcs.words_.data())), arcs_(&arcs),
              width_(arcs.width_), targetBits_(arcs.targetBits_), targetMask_(Mask(arcs.targetBits_)),
              widthMask_(Mask(arcs.width_)) {}
        std::uint32_t Target(std::size_t k) const { return static_cast<std::uint32_t>(Bits(k) & targetMask_); }
        std::uint32_t Label(std::size_t k) const { return static_cast<std::uint32_t>(Bits(k) >> targetBits_); }

    private:
        // Arc k's bits: one unaligned load while an arc and the bits before
        // it in its first byte fit 64 bits.
        std::uint64_t Bits(std::size_t k) const {
            const std::size_t bit = k * width_;
            if (width_ > FastWidth) [[unlikely]]
                return arcs_->Field(bit, targetBits_) | arcs_->Field(bit + targetBits_, width_ - targetBits_) << targetBits_;
            std::uint64_t word;
            std::memcpy(&word, bytes_ + bit / 8, sizeof word);
            return (word >> (bit % 8)) & widthMask_;
        }

        const unsigned char* bytes_ = nullptr;
        const PackedArcs* arcs_ = nullptr;
        unsigned width_ = 0, targetBits_ = 0;
        std::uint64_t targetMask_ = 0, widthMask_ = 0;
    };

    Reader Read() const { return Reader(*this); }
    std::uint32_t Target(std::size_t k) const { return Read().Target(k); }
    std::uint32_t Label(std::size_t k) const { return Read().Label(k); }

    void push_back(std::uint32_t target, std::uint32_t label) {
        if (target > targetMax_ || label > labelMax_) [[unlikely]]
            FitValues(target, label);
        if (size_ == room_) [[unlikely]]
            Reserve(size_ + 1);
        Put(size_++, target, label);
    }
    // Appends n arcs, the i-th {target, label} = arcOf(i), in one pass;
    // largestTarget and largestLabel bound them all.
    template <typename ArcOf>
    void Append(std::size_t n, std::uint32_t largestTarget, std::uint32_t largestLabel, ArcOf&& arcOf) {
        Fit(largestTarget, largestLabel, size_ + n);
        if (n == 0) return;
        // The bits go out a word at a time, after the bits already in the
        // first word.
        const std::size_t bit = size_ * width_;
        std::size_t word = bit / 64;
        unsigned used = bit % 64;
        std::uint64_t out = words_[word] & Mask(used);
        for (std::size_t i = 0; i < n; ++i) {
            const auto [target, label] = arcOf(i);
            assert(target <= targetMax_ && label <= largestLabel && "arcs within the bounds given");
            const std::uint64_t value = target | std::uint64_t{label} << targetBits_;
            out |= value << used;
            used += width_;
            if (used >= 64) {
                words_[word++] = out;
                used -= 64;
                out = used == 0 ? 0 : value >> (width_ - used);
            }
        }
        if (used > 0) words_[word] = out;
        size_ += n;
    }
    // n arcs, the new ones with target and label 0.
    void resize(std::size_t n) {
        Reserve(n);
        for (std::size_t k = size_; k < n; ++k) Put(k, 0, 0);
        size_ = n;
    }
    // Sets arc k, which is below size().
    void Set(std::size_t k, std::uint32_t target, std::uint32_t label) {
        assert(k < size_ && "an arc of the array");
        FitValues(target, label);
        Put(k, target, label);
    }
    // Fields wide enough for these values at once, before arcs come.
    void Fit(std::uint32_t largestTarget, std::uint32_t largestLabel, std::size_t arcs) {
        if (largestTarget > targetMax_ || largestLabel > labelMax_) [[unlikely]]
            FitValues(largestTarget, largestLabel);
        if (arcs > room_) [[unlikely]]
            Reserve(arcs);
    }
    // Room for n arcs at the present widths.
    void reserve(std::size_t n) { Reserve(n); }
    // Room for n more arcs, their fields three bits wider than now (as they
    // become when the states and labels pass a power of two), made without
    // touching it: the words it spans, which PopulateWords brings into memory
    // (from another thread, while this array takes at most n more arcs).
    std::pair<std::size_t, std::size_t> MakeRoom(std::size_t n) {
        const std::size_t words = ((size_ + n) * (width_ + 3) + 63) / 64 + 1;
        if (words > words_.capacity()) words_.reserve(std::max(words, 2 * words_.capacity()));
        return {words_.size(), words};
    }
    void PopulateWords(std::pair<std::size_t, std::size_t> words) const { words_.Populate(words.first, words.second); }
    void release() { *this = PackedArcs(); }
    std::size_t Bytes() const { return words_.size() * sizeof(std::uint64_t); }
    // Bytes an arc takes now, rounded up.
    std::size_t BytesPerArc() const { return (width_ + 7) / 8; }

private:
    // The widest arc read or written with one 64-bit access at any bit.
    static constexpr unsigned FastWidth = 57;
    static std::uint64_t Mask(unsigned bits) { return bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1; }
    std::uint64_t Field(std::size_t bit, unsigned bits) const {
        const std::size_t word = bit / 64;
        const unsigned shift = bit % 64;
        std::uint64_t value = words_[word] >> shift;
        if (shift + bits > 64) value |= words_[word + 1] << (64 - shift);
        return value & Mask(bits);
    }
    void PutField(std::size_t bit, unsigned bits, std::uint64_t value) {
        const std::size_t word = bit / 64;
        const unsigned shift = bit % 64;
        words_[word] = (words_[word] & ~(Mask(bits) << shift)) | (value << shift);
        if (shift + bits > 64) {
            const unsigned spill = 64 - shift;
            words_[word + 1] = (words_[word + 1] & ~Mask(bits - spill)) | (value >> spill);
        }
    }
    void Put(std::size_t k, std::uint32_t target, std::uint32_t label) {
        const std::size_t bit = k * width_;
        if (width_ > FastWidth) [[unlikely]] {
            PutField(bit, targetBits_, target);
            PutField(bit + targetBits_, labelBits_, label);
            return;
        }
        auto* bytes = reinterpret_cast<unsigned char*>(words_.data()) + bit / 8;
        std::uint64_t word;
        std::memcpy(&word, bytes, sizeof word);
        const unsigned shift = bit % 8;
        const std::uint64_t value = target | std::uint64_t{label} << targetBits_;
        word = (word & ~(Mask(width_) << shift)) | value << shift;
        std::memcpy(bytes, &word, sizeof word);
    }
    // Words for n arcs at the present widths, and one besides, so that a
    // field that ends a word may always read the next.
    void Reserve(std::size_t n) {
        const std::size_t words = (n * width_ + 63) / 64 + 1;
        if (words > words_.size()) {
            if (words > words_.capacity()) words_.reserve(std::max(words, 2 * words_.capacity()));
            words_.resize(words);
        }
        room_ = (words_.size() - 1) * 64 / width_;
    }
    void FitValues(std::uint32_t target, std::uint32_t label) {
        auto t = static_cast<unsigned>(std::bit_width(target));
        const auto l = static_cast<unsigned>(std::bit_width(label));
        if (t <= targetBits_ && l <= labelBits_) return;
        // Targets grow with the states, a bit at each doubling: once arcs are
        // many, a target field widened takes a bit to spare, so that they are
        // laid out again half as often (at most a bit an arc).
        if (t > targetBits_ && size_ >= SpareBitFrom) t = std::min(t + 1, 32u);
        Widen(std::max(t, targetBits_), std::max(l, labelBits_));
    }
    static constexpr std::size_t SpareBitFrom = std::size_t{1} << 16;
    void Widen(unsigned targetBits, unsigned labelBits);

    GrowingArray<std::uint64_t> words_;
    std::size_t size_ = 0;
    std::size_t room_ = 0;  // arcs the words hold at the present widths
    unsigned targetBits_ = 8, labelBits_ = 4, width_ = 12;
    std::uint32_t targetMax_ = 0xFF, labelMax_ = 0xF;  // the largest values the fields take
};

inline void PackedArcs::Widen(unsigned targetBits, unsigned labelBits) {
    const unsigned oldTarget = targetBits_, oldLabel = labelBits_, oldWidth = width_;
    const std::size_t n = size_;
    targetBits_ = targetBits;
    labelBits_ = labelBits;
    width_ = targetBits + labelBits;
    targetMax_ = static_cast<std::uint32_t>(Mask(targetBits));
    labelMax_ = static_cast<std::uint32_t>(Mask(labelBits));
    Reserve(n);
    for (std::size_t k = n; k-- > 0;) {
        const auto target = static_cast<std::uint32_t>(Field(k * oldWidth, oldTarget));
        const auto label = static_cast<std::uint32_t>(Field(k * oldWidth + oldTarget, oldLabel));
        Put(k, target, label);
    }
}

}  // namespace quarvo
