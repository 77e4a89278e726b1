// A packed array of bits, 64 to a word. Compressed tessellations keep their flag arrays
// in these: the decoder reads them one bit at a time in its inner loops, and the reader
// fills them a chunk at a time, where std::vector<bool>'s bit proxies cost several times
// as much.
#pragma once

#include "prc/bits/lsb_bit_field_reader.h"

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <vector>

class BitArray {
public:
    BitArray() = default;
    BitArray(std::initializer_list<bool> bits)
    {
        for (const bool bit : bits)
            push_back(bit);
    }

    uint64_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    bool operator[](uint64_t i) const { return (words_[i / kWordBits] >> (i % kWordBits) & 1) != 0; }
    uint64_t count() const
    {
        uint64_t set = 0;
        for (const uint64_t word : words_)
            set += static_cast<uint64_t>(std::popcount(word));
        return set;
    }

    void reserve(uint64_t bits) { words_.reserve((bits + kWordBits - 1) / kWordBits); }
    void clear()
    {
        words_.clear();
        size_ = 0;
    }
    void push_back(bool bit)
    {
        if (size_ % kWordBits == 0)
            words_.push_back(0);
        words_.back() |= uint64_t{bit} << (size_ % kWordBits);
        ++size_;
    }
    // Bits past the size stay zero, so that equal arrays have equal words.
    void pop_back()
    {
        --size_;
        words_[size_ / kWordBits] &= ~(uint64_t{1} << (size_ % kWordBits));
        if (size_ % kWordBits == 0)
            words_.pop_back();
    }
    // The low count (at most 32) bits of value, its most significant one first.
    void appendMostSignificantFirst(uint32_t value, int count)
    {
        if (count <= 0)
            return;
        const uint64_t bits = reverseLowBits(value, static_cast<uint32_t>(count));
        const int used = static_cast<int>(size_ % kWordBits);
        if (used == 0)
            words_.push_back(0);
        words_.back() |= bits << used;
        if (used + count > kWordBits)
            words_.push_back(bits >> (kWordBits - used));
        size_ += static_cast<uint64_t>(count);
    }

    bool operator==(const BitArray& other) const = default;

private:
    static constexpr int kWordBits = 64;

    std::vector<uint64_t> words_;
    uint64_t size_ = 0;
};
