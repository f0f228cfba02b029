// The arcs of a store as fixed-width bit fields: each arc its target and its
// label's id, side by side, as many bits as the largest of each needs. A
// system of a few million states with a few hundred labels keeps an arc in
// 4 bytes. When a value needs more bits than its field has, every arc is
// laid out again, wider, in place (from the last one down, so that no arc is
// overwritten before it is read); states and labels grow by doubling, so the
// arcs are laid out again a few times in all.
#pragma once

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>

#include "generation/GrowingArray.h"

namespace quarvo {

class PackedArcs {
public:
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    std::uint32_t Target(std::size_t k) const { return static_cast<std::uint32_t>(Field(k * width_, targetBits_)); }
    std::uint32_t Label(std::size_t k) const {
        return static_cast<std::uint32_t>(Field(k * width_ + targetBits_, labelBits_));
    }

    void push_back(std::uint32_t target, std::uint32_t label) {
        FitValues(target, label);
        Reserve(size_ + 1);
        ++size_;
        Put(size_ - 1, target, label);
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
        FitValues(largestTarget, largestLabel);
        Reserve(arcs);
    }
    // Room for n arcs at the present widths.
    void reserve(std::size_t n) { Reserve(n); }
    void release() { *this = PackedArcs(); }
    std::size_t Bytes() const { return words_.size() * sizeof(std::uint64_t); }
    // Bytes an arc takes now, rounded up.
    std::size_t BytesPerArc() const { return (width_ + 7) / 8; }

private:
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
        PutField(k * width_, targetBits_, target);
        PutField(k * width_ + targetBits_, labelBits_, label);
    }
    // Words for n arcs at the present widths, and one besides, so that a
    // field that ends a word may always read the next.
    void Reserve(std::size_t n) {
        const std::size_t words = (n * width_ + 63) / 64 + 1;
        if (words <= words_.size()) return;
        if (words > words_.capacity()) words_.reserve(std::max(words, 2 * words_.capacity()));
        words_.resize(words);
    }
    void FitValues(std::uint32_t target, std::uint32_t label) {
        const auto t = static_cast<unsigned>(std::bit_width(target));
        const auto l = static_cast<unsigned>(std::bit_width(label));
        if (t > targetBits_ || l > labelBits_) Widen(std::max(t, targetBits_), std::max(l, labelBits_));
    }
    void Widen(unsigned targetBits, unsigned labelBits);

    GrowingArray<std::uint64_t> words_;
    std::size_t size_ = 0;
    unsigned targetBits_ = 8, labelBits_ = 4, width_ = 12;
};

inline void PackedArcs::Widen(unsigned targetBits, unsigned labelBits) {
    const unsigned oldTarget = targetBits_, oldLabel = labelBits_, oldWidth = width_;
    const std::size_t n = size_;
    targetBits_ = targetBits;
    labelBits_ = labelBits;
    width_ = targetBits + labelBits;
    Reserve(n);
    for (std::size_t k = n; k-- > 0;) {
        const std::uint64_t target = Field(k * oldWidth, oldTarget);
        const std::uint64_t label = Field(k * oldWidth + oldTarget, oldLabel);
        PutField(k * width_, targetBits_, target);
        PutField(k * width_ + targetBits_, labelBits_, label);
    }
}

}  // namespace quarvo
