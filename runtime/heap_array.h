// A growable array of plain values in one malloc'ed block. Growing reallocates, which
// moves the pages of a large block instead of copying them, so the old and the new block
// are never both resident; and the finished block is handed to a C-heap result as it
// is, without a copy.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <type_traits>
#include <utility>

template <typename T>
class HeapArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    HeapArray() = default;
    HeapArray(std::initializer_list<T> values) { append(values.begin(), values.size()); }
    HeapArray(const HeapArray& other) { append(other.data_, other.size_); }
    ~HeapArray() { std::free(data_); }
    HeapArray(HeapArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0))
    {
    }
    HeapArray& operator=(HeapArray&& other) noexcept
    {
        if (this != &other) {
            std::free(data_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }
    HeapArray& operator=(const HeapArray& other)
    {
        if (this != &other) {
            HeapArray copy(other);
            *this = std::move(copy);
        }
        return *this;
    }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }
    const T& back() const { return data_[size_ - 1]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

    void reserve(size_t count) { reserveFor(count); }

    // Cuts to count or fills up to it with value.
    void resize(size_t count, T value = T{})
    {
        if (count > size_) {
            reserveFor(count);
            for (size_t i = size_; i < count; ++i)
                data_[i] = value;
        }
        size_ = count;
    }

    void push_back(T value)
    {
        reserveFor(size_ + 1);
        data_[size_++] = value;
    }

    void append(const T* values, size_t count)
    {
        if (count == 0)
            return;
        reserveFor(size_ + count);
        std::memcpy(data_ + size_, values, count * sizeof(T));
        size_ += count;
    }

    void append(std::initializer_list<T> values) { append(values.begin(), values.size()); }

    // The buffer, cut to the size, for the caller to free; null when empty. The array is
    // empty afterwards.
    T* release()
    {
        T* out = data_;
        if (size_ == 0) {
            std::free(out);
            out = nullptr;
        } else if (size_ < capacity_) {
            if (T* cut = static_cast<T*>(std::realloc(out, size_ * sizeof(T))))
                out = cut;
        }
        data_ = nullptr;
        size_ = capacity_ = 0;
        return out;
    }

private:
    // Room for count values, growing geometrically; std::bad_alloc when there is none.
    void reserveFor(size_t count)
    {
        if (count <= capacity_)
            return;
        constexpr size_t kMaxCount = static_cast<size_t>(-1) / 2 / sizeof(T);
        if (count > kMaxCount)
            throw std::bad_alloc();
        // Doubling from a fixed start keeps block sizes to a few classes, which the
        // allocator reuses far better than sizes cut to each request (a third less
        // peak for assemblies grown mesh by mesh).
        size_t capacity = capacity_ < kFirstCapacity ? kFirstCapacity : capacity_;
        while (capacity < count)
            capacity *= 2;
        // A block that outgrows the heap's small sizes moves to pages of its own at once.
        // Each heap-sized copy it leaves behind stays resident after it is freed, as a
        // hole that only smaller blocks can fill; the room not yet written takes no pages.
        if (capacity * sizeof(T) >= kOwnPagesFromBytes && capacity * sizeof(T) < kOwnPagesBlockBytes)
            capacity = kOwnPagesBlockBytes / sizeof(T);
        T* grown = static_cast<T*>(std::realloc(data_, capacity * sizeof(T)));
        if (grown == nullptr)
            throw std::bad_alloc();
        data_ = grown;
        capacity_ = capacity;
    }

    static constexpr size_t kFirstCapacity = 64;
    static constexpr size_t kOwnPagesFromBytes = size_t{256} << 10;
    // Given pages of their own by the C library of every worker (see returnLargeBlocksWhenFreed).
    static constexpr size_t kOwnPagesBlockBytes = size_t{2} << 20;
    T* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};
