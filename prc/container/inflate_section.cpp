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
    SectionInflater inflater(data, length, limit, inputRead);
    inflater.inflateTo(SIZE_MAX);
    return inflater.take();
}

struct SectionInflater::Stream {
    InflateStream inflater;
};

SectionInflater::SectionInflater(const uint8_t* data, size_t length, size_t limit, SectionInputRead inputRead)
    : input_(data), length_(length), limit_(limit), inputRead_(std::move(inputRead)),
      capacity_(initialOutputSize(length, limit))
{
    output_.data.reset(static_cast<uint8_t*>(std::malloc(capacity_)));
    if (!output_.data)
        throw std::bad_alloc();
    stream_ = std::make_unique<Stream>();
}

SectionInflater::~SectionInflater() = default;

void SectionInflater::inflateTo(size_t end)
{
    run(end, true);
}

void SectionInflater::inflateRestUnkept()
{
    run(SIZE_MAX, false);
    output_.data.reset();
}

void SectionInflater::run(size_t end, bool keep)
{
    // Small enough that what lies behind goes soon, large enough that a piece is not
    // noticed in the time.
    constexpr size_t kReportedPieceBytes = size_t{256} << 10;
    // A reader asking for a few more bytes gets this many, so that zlib is called seldom.
    constexpr size_t kLeastStepBytes = size_t{128} << 10;
    constexpr size_t kUnkeptPieceBytes = size_t{32} << 10;
    uint8_t unkept[kUnkeptPieceBytes];
    const size_t pieceLimit = inputRead_ ? kReportedPieceBytes : UINT_MAX;
    z_stream& stream = stream_->inflater.get();
    size_t& produced = output_.size;
    while (!finished_ && (!keep || produced < end)) {
        if (produced == capacity_) {
            if (capacity_ > limit_)
                throw InflateLimitExceeded();
            if (keep) {
                auto* grown = static_cast<uint8_t*>(std::realloc(output_.data.get(), capacity_ * 2));
                if (grown == nullptr)
                    throw std::bad_alloc();
                static_cast<void>(output_.data.release());
                output_.data.reset(grown);
            }
            capacity_ *= 2;
        }
        // zlib counts in 32 bits; larger inputs are handed over in pieces.
        if (stream.avail_in == 0 && inputUsed_ < length_) {
            const size_t piece = std::min<size_t>(length_ - inputUsed_, pieceLimit);
            stream.next_in = const_cast<Bytef*>(input_ + inputUsed_);
            stream.avail_in = static_cast<uInt>(piece);
            inputUsed_ += piece;
        }
        size_t room = std::min<size_t>(capacity_ - produced, UINT_MAX);
        if (keep) {
            room = std::min(room, std::max(end - produced, kLeastStepBytes));
            stream.next_out = output_.data.get() + produced;
        } else {
            room = std::min(room, kUnkeptPieceBytes);
            stream.next_out = unkept;
        }
        stream.avail_out = static_cast<uInt>(room);
        const int result = inflate(&stream, Z_NO_FLUSH);
        produced += room - stream.avail_out;
        if (inputRead_)
            inputRead_(inputUsed_ - stream.avail_in);
        if (result == Z_STREAM_END)
            finished_ = true;
        else if (result != Z_OK)
            throw std::runtime_error(std::string("inflate failed: ") + (stream.msg != nullptr ? stream.msg : "?"));
    }
}
