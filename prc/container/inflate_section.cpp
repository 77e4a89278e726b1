#include "prc/container/inflate_section.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

namespace {

// Most geometry sections inflate to less than this guess, which saves regrowth.
constexpr size_t kInitialGrowthFactor = 8;
constexpr size_t kInitialSlack = 4096;

// Ends the stream on every way out, exceptions included.
class InflateStream {
public:
    InflateStream()
    {
        if (inflateInit(&stream_) != Z_OK)
            throw std::runtime_error("inflateInit failed");
    }
    ~InflateStream() { inflateEnd(&stream_); }
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    z_stream& get() { return stream_; }

private:
    z_stream stream_{};
};

size_t initialOutputSize(size_t length, size_t limit)
{
    // A large section would otherwise start far above the limit it is meant to respect.
    const size_t cap = limit < SIZE_MAX ? limit + 1 : limit;
    if (cap <= kInitialSlack || length > (cap - kInitialSlack) / kInitialGrowthFactor)
        return cap;
    return kInitialGrowthFactor * length + kInitialSlack;
}

} // namespace

void FreeInflatedBytes::operator()(uint8_t* bytes) const
{
    std::free(bytes);
}

std::vector<uint8_t> inflateSection(const uint8_t* data, size_t length)
{
    return inflateSectionWithLimit(data, length, kInflateSafetyLimit);
}

std::vector<uint8_t> inflateSectionWithLimit(const uint8_t* data, size_t length, size_t limit)
{
    const InflatedBytes inflated = inflateSectionBytes(data, length, limit);
    return std::vector<uint8_t>(inflated.data.get(), inflated.data.get() + inflated.size);
}

InflatedBytes inflateSectionBytes(const uint8_t* data, size_t length, size_t limit,
                                  const SectionInputRead& inputRead)
{
    // Small enough that what lies behind goes soon, large enough that a piece is not
    // noticed in the time.
    constexpr size_t kReportedPieceBytes = size_t{256} << 10;
    const size_t pieceLimit = inputRead ? kReportedPieceBytes : UINT_MAX;
    size_t capacity = initialOutputSize(length, limit);
    InflatedBytes output;
    output.data.reset(static_cast<uint8_t*>(std::malloc(capacity)));
    if (!output.data)
        throw std::bad_alloc();
    InflateStream inflater;
    z_stream& stream = inflater.get();
    size_t inputUsed = 0;
    size_t& produced = output.size;
    for (;;) {
        if (produced == capacity) {
            if (capacity > limit)
                throw InflateLimitExceeded();
            auto* grown = static_cast<uint8_t*>(std::realloc(output.data.get(), capacity * 2));
            if (grown == nullptr)
                throw std::bad_alloc();
            static_cast<void>(output.data.release());
            output.data.reset(grown);
            capacity *= 2;
        }
        // zlib counts in 32 bits; larger inputs are handed over in pieces.
        if (stream.avail_in == 0 && inputUsed < length) {
            const size_t piece = std::min<size_t>(length - inputUsed, pieceLimit);
            stream.next_in = const_cast<Bytef*>(data + inputUsed);
            stream.avail_in = static_cast<uInt>(piece);
            inputUsed += piece;
        }
        const size_t room = std::min<size_t>(capacity - produced, UINT_MAX);
        stream.next_out = output.data.get() + produced;
        stream.avail_out = static_cast<uInt>(room);
        const int result = inflate(&stream, Z_NO_FLUSH);
        produced += room - stream.avail_out;
        if (inputRead)
            inputRead(inputUsed - stream.avail_in);
        if (result == Z_STREAM_END)
            return output;
        if (result != Z_OK)
            throw std::runtime_error(std::string("inflate failed: ") + (stream.msg != nullptr ? stream.msg : "?"));
    }
}
