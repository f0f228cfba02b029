// A growing array of trivially copyable records whose growth moves no byte
// when it is large: a large block is a mapping of its own, which the kernel
// extends or moves without copying, and the pages already touched stay.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

#include <sys/mman.h>


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
    ~GrowingArray() { Free(); }

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
        const std::size_t bytes = n * sizeof(T);
        if (mapped_) {
            // The kernel moves the pages themselves (or extends them in place).
            void* grown = mremap(data_, capacity_ * sizeof(T), bytes, MREMAP_MAYMOVE);
            if (grown == MAP_FAILED) throw std::bad_alloc();
            data_ = static_cast<T*>(grown);
        } else if (bytes >= MappedBytes) {
            void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (block == MAP_FAILED) throw std::bad_alloc();
            if (size_) std::memcpy(block, static_cast<const void*>(data_), size_ * sizeof(T));
            std::free(data_);
            data_ = static_cast<T*>(block);
            mapped_ = true;
        } else {
            void* grown = std::realloc(data_, bytes);
            if (!grown) throw std::bad_alloc();
            data_ = static_cast<T*>(grown);
        }
        capacity_ = n;
        // The whole mapping at once: advising a part of it would split it,
        // and a split mapping cannot be remapped.
        if (mapped_) madvise(static_cast<void*>(data_), bytes, MADV_HUGEPAGE);
    }
    // New records are zero.
    void resize(std::size_t n) {
        if (n > capacity_) reserve(std::max(n, capacity_ ? 2 * capacity_ : 64));
        if (n > size_) std::memset(static_cast<void*>(data_ + size_), 0, (n - size_) * sizeof(T));
        size_ = n;
    }
    // n records, the new ones as the memory holds them (zero when never
    // written), for a caller that writes them all.
    void resize_for_overwrite(std::size_t n) {
        if (n > capacity_) reserve(std::max(n, capacity_ ? 2 * capacity_ : 64));
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
    // Brings the pages of records [from, to), within the capacity, into
    // memory as writing them would, leaving every byte as it is. Another
    // thread may do it while this one reads and writes the array, so long as
    // the array does not grow meanwhile; it only spares the writer the page
    // faults (where the system cannot, nothing is done).
    void Populate(std::size_t from, std::size_t to) const {
        to = std::min(to, capacity_);
        if (from >= to) return;
        constexpr std::uintptr_t Page = 4096;
        const auto begin = (reinterpret_cast<std::uintptr_t>(data_ + from) + Page - 1) & ~(Page - 1);
        const auto end = reinterpret_cast<std::uintptr_t>(data_ + to) & ~(Page - 1);
        if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, PopulateWrite);
    }
    // Gives the memory back.
    void release() { GrowingArray().Swap(*this); }

private:
    // From this size on, a block is mapped on its own: growing it never copies.
    static constexpr std::size_t MappedBytes = std::size_t{1} << 20;
#ifdef MADV_POPULATE_WRITE
    static constexpr int PopulateWrite = MADV_POPULATE_WRITE;
#else
    static constexpr int PopulateWrite = 23;  // Linux 5.14; older kernels refuse it
#endif
    void Free() {
        if (mapped_) munmap(data_, capacity_ * sizeof(T));
        else std::free(data_);
    }
    void Swap(GrowingArray& other) noexcept {
        std::swap(mapped_, other.mapped_);
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }
    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    bool mapped_ = false;
};

}  // namespace quarvo
