// A growing array of trivially copyable records whose growth moves no byte
// when it is large: the allocator's realloc remaps the pages of a large
// block instead of copying them, and the pages already touched stay.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

namespace quarvo {

template <typename T>
class GrowingArray {
    static_assert(std::is_trivially_copyable_v<T>, "records moved as bytes");

public:
    GrowingArray() = default;
    GrowingArray(const GrowingArray& other) { append(std::span<const T>(other.data_, other.size_)); }
    GrowingArray& operator=(const GrowingArray& other) {
        if (this != &other) {
            clear();
            append(std::span<const T>(other.data_, other.size_));
        }
        return *this;
    }
    GrowingArray(GrowingArray&& other) noexcept { Swap(other); }
    GrowingArray& operator=(GrowingArray&& other) noexcept {
        GrowingArray(std::move(other)).Swap(*this);
        return *this;
    }
    ~GrowingArray() { std::free(data_); }

    T* data() { return data_; }
    const T* data() const { return data_; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

    void reserve(std::size_t n) {
        if (n <= capacity_) return;
        void* grown = std::realloc(data_, n * sizeof(T));
        if (!grown) throw std::bad_alloc();
        data_ = static_cast<T*>(grown);
        capacity_ = n;
    }
    // New records are zero.
    void resize(std::size_t n) {
        reserve(n);
        if (n > size_) std::memset(static_cast<void*>(data_ + size_), 0, (n - size_) * sizeof(T));
        size_ = n;
    }
    void push_back(const T& value) {
        if (size_ == capacity_) reserve(capacity_ ? 2 * capacity_ : 64);
        data_[size_++] = value;
    }
    void append(std::span<const T> values) {
        if (size_ + values.size() > capacity_) reserve(std::max(size_ + values.size(), capacity_ ? 2 * capacity_ : 64));
        if (!values.empty()) std::memcpy(static_cast<void*>(data_ + size_), values.data(), values.size() * sizeof(T));
        size_ += values.size();
    }
    void clear() { size_ = 0; }
    // Gives the memory back.
    void release() { GrowingArray().Swap(*this); }

private:
    void Swap(GrowingArray& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }
    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace quarvo
