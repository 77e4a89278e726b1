// Inflation of one zlib-compressed PRC section, with a bound on the output size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

// Output beyond this size is refused: the buffer may grow past it only by the doubling
// that found it full, so no section larger than twice the limit is ever held.
inline constexpr size_t kInflateSafetyLimit = 0x1FFFFFFF;

// The output grew past the limit (what() is the fixed message of that case).
class InflateLimitExceeded : public std::runtime_error {
public:
    InflateLimitExceeded() : std::runtime_error("inflateSection: decompression safety limit exceeded") {}
};

// Inflates a zlib stream (with header) of length bytes. Bytes after the end of the stream
// are ignored. Throws std::runtime_error with a fixed message on failure.
std::vector<uint8_t> inflateSection(const uint8_t* data, size_t length);

// The same with another limit, so that the growth rule can be exercised without
// inflating half a gigabyte.
std::vector<uint8_t> inflateSectionWithLimit(const uint8_t* data, size_t length, size_t limit);

struct FreeInflatedBytes {
    void operator()(uint8_t* bytes) const;
};

// Inflated bytes in a C-heap buffer that was never filled with zeros: only the pages
// the output reaches become resident, nothing is copied to trim the buffer, and a
// large buffer grows by remapping its pages rather than copying them.
struct InflatedBytes {
    std::unique_ptr<uint8_t, FreeInflatedBytes> data;
    size_t size = 0;
};

// Told, as the inflation goes, how many bytes of the input lie behind it.
using SectionInputRead = std::function<void(size_t)>;

// The same as inflateSectionWithLimit, with the same growth rule and failures. With
// inputRead, the input is taken in pieces, and inputRead told after each step of zlib.
InflatedBytes inflateSectionBytes(const uint8_t* data, size_t length, size_t limit,
                                  const SectionInputRead& inputRead = {});

// An inflation that stops and goes on, so that a section can be read while it arrives.
// Its output, growth rule and failures are those of inflateSectionBytes, however it is
// asked for; after a failure it must not be used again.
class SectionInflater {
public:
    SectionInflater(const uint8_t* data, size_t length, size_t limit, SectionInputRead inputRead = {});
    ~SectionInflater();
    SectionInflater(const SectionInflater&) = delete;
    SectionInflater& operator=(const SectionInflater&) = delete;

    // Inflates until at least end bytes are out, or the stream ends.
    void inflateTo(size_t end);
    // Inflates the rest without keeping it: size() counts it, data() no longer holds it.
    void inflateRestUnkept();
    bool finished() const { return finished_; }
    const uint8_t* data() const { return output_.data.get(); }
    size_t size() const { return output_.size; }
    // The output, when all of it was kept.
    InflatedBytes take() { return std::move(output_); }

private:
    void run(size_t end, bool keep);

    struct Stream;
    std::unique_ptr<Stream> stream_;
    const uint8_t* input_;
    size_t length_;
    size_t limit_;
    SectionInputRead inputRead_;
    size_t inputUsed_ = 0;
    size_t capacity_;
    InflatedBytes output_;
    bool finished_ = false;
};
