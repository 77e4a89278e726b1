// A growable array of plain values in one malloc'ed block. Growing it reallocates, which
// moves the pages of a large block instead of copying them, so the old and the new block
// are never both resident; and the finished block is handed to the C-heap result as it
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
class ResultArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    ResultArray() = default;
    ResultArray(std::initializer_list<T> values) { append(values.begin(), values.size()); }
    ResultArray(const ResultArray& other) { append(other.data_, other.size_); }
    ResultArray(ResultArray&& other) noexcept { swap(other); }
    ResultArray& operator=(ResultArray other) noexcept
    {
        swap(other);
        return *this;
    }
    ~ResultArray() { std::free(data_); }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }
    const T& back() const { return data_[size_ - 1]; }

    void reserve(size_t count) { grow(count); }

    void push_back(T value)
    {
        if (size_ == capacity_)
            grow(size_ + 1);
        data_[size_++] = value;
    }

    void append(const T* values, size_t count)
    {
        if (count == 0)
            return;
        grow(size_ + count);
        std::memcpy(data_ + size_, values, count * sizeof(T));
        size_ += count;
    }

    // Grows or cuts to count values; new ones are filler.
    void resize(size_t count, T filler)
    {
        grow(count);
        for (size_t i = size_; i < count; ++i)
            data_[i] = filler;
        size_ = count;
    }

    // The block, cut to its values, now owned by the caller (free()); the array is left
    // empty. Null when the array holds nothing.
    T* release()
    {
        T* block = data_;
        if (block != nullptr && size_ < capacity_) {
            if (T* cut = static_cast<T*>(std::realloc(block, size_ * sizeof(T) + (size_ == 0))))
                block = cut;
        }
        data_ = nullptr;
        size_ = capacity_ = 0;
        return block;
    }

private:
    void swap(ResultArray& other) noexcept
    {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

    // Room for at least wanted values, doubling so that appends stay amortised.
    void grow(size_t wanted)
    {
        if (wanted <= capacity_)
            return;
        size_t capacity = capacity_ < kFirstCapacity ? kFirstCapacity : capacity_;
        while (capacity < wanted)
            capacity = capacity > SIZE_MAX / 2 / sizeof(T) ? wanted : capacity * 2;
        if (capacity > SIZE_MAX / sizeof(T))
            throw std::bad_alloc();
        T* grown = static_cast<T*>(std::realloc(data_, capacity * sizeof(T)));
        if (grown == nullptr)
            throw std::bad_alloc();
        data_ = grown;
        capacity_ = capacity;
    }

    static constexpr size_t kFirstCapacity = 64;
    T* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};
