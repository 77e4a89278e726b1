// Continuations decoded after the walk: each resource's blocks in order, whatever the
// threads, and a failure thrown only once every thread has ended.
#include "u3dlib/continuation_decoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <new>
#include <thread>

using namespace u3dlib;

namespace {

// Records the blocks it is given by their types; loses itself or throws at one.
class RecordingDecoder : public GeneratorDecoder {
public:
    RecordingDecoder(uint64_t loseAt, uint64_t throwAt) : loseAt_(loseAt), throwAt_(throwAt) {}
    const std::string& name() const override { return name_; }
    bool readContinuation(const Block& block, DecoderOptions) override
    {
        if (block.type == throwAt_)
            throw std::bad_alloc();
        seen.push_back(block.type);
        lost_ = lost_ || block.type == loseAt_;
        return !lost_;
    }
    bool lost() const override { return lost_; }
    const AuthorGeometry& geometry() const override
    {
        ++geometryMade;
        return geometry_;
    }

    std::vector<uint64_t> seen;
    mutable int geometryMade = 0;

private:
    std::string name_ = "r";
    AuthorGeometry geometry_;
    uint64_t loseAt_, throwAt_;
    bool lost_ = false;
};

constexpr uint64_t kNever = ~uint64_t{0};

TEST(ContinuationDecoding, EachResourceTakesItsBlocksInOrderOnAnyNumberOfThreads)
{
    for (const unsigned threads : {1u, 3u}) {
        for (const bool throws : {false, true}) {
            // Resource r gets blocks of types 100 r + 0, 1, ...; resource 2 is lost at its
            // second block, and resource 4 may throw at its third. Resource 6 was dropped.
            std::vector<ResourceContinuations> resources;
            std::vector<std::shared_ptr<RecordingDecoder>> decoders;
            std::vector<std::array<uint8_t, kBlockHeaderSize>> headers(600);
            for (uint64_t r = 0; r < 6; ++r) {
                decoders.push_back(std::make_shared<RecordingDecoder>(r == 2 ? 201 : kNever,
                                                                      r == 4 && throws ? 402 : kNever));
                ResourceContinuations resource{decoders.back(), {}, 0};
                for (uint64_t b = 0; b < 2 + r % 3; ++b) {
                    std::array<uint8_t, kBlockHeaderSize>& header = headers[100 * r + b];
                    header[0] = static_cast<uint8_t>(100 * r + b);
                    header[1] = static_cast<uint8_t>((100 * r + b) >> 8);
                    resource.blockHeaders.push_back(header.data());
                }
                resource.bytes = (r * 7919) % 13; // an order of sizes unlike the list's
                resources.push_back(std::move(resource));
            }
            resources.push_back(ResourceContinuations{});
            if (throws)
                EXPECT_THROW(decodeContinuations(resources, {}, threads), std::bad_alloc);
            else
                decodeContinuations(resources, {}, threads);
            for (uint64_t r = 0; r < 6; ++r) {
                std::vector<uint64_t> expected;
                const uint64_t last = r == 2 ? 1 : r == 4 && throws ? 1 : 1 + r % 3;
                for (uint64_t b = 0; b <= last; ++b)
                    expected.push_back(100 * r + b);
                EXPECT_EQ(decoders[r]->seen, expected) << threads << " threads, resource " << r;
                EXPECT_EQ(decoders[r]->geometryMade, r == 4 && throws ? 0 : 1) << threads << " threads, resource " << r;
            }
        }
    }
}

TEST(ContinuationDecoding, ThreadsGrowWithTheDataUpToTheProcessors)
{
    const auto resources = [](size_t count, uint64_t bytes) {
        return std::vector<ResourceContinuations>(count, ResourceContinuations{nullptr, {}, bytes});
    };
    EXPECT_EQ(decodingThreadsFor(resources(0, 0)), 1u);
    EXPECT_EQ(decodingThreadsFor(resources(50, 1000)), 1u);
    EXPECT_EQ(decodingThreadsFor(resources(1, 64 * kContinuationBytesPerThread)), 1u);
    // A thread per MiB, as far as there are processors.
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    EXPECT_EQ(decodingThreadsFor(resources(2, kContinuationBytesPerThread)), std::min(2u, processors));
    EXPECT_EQ(decodingThreadsFor(resources(50, kContinuationBytesPerThread)), std::min(kMaxDecodingThreads, processors));
}

} // namespace
