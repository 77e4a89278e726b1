// Continuations decoded after the walk: each resource's blocks in order, whatever the
// threads, and a failure thrown only once every thread has ended.
#include "u3dlib/continuation_decoding.h"

#include <gtest/gtest.h>

#include <new>

using namespace u3dlib;

namespace {

// Records the blocks it is given by their offsets; loses itself or throws at one.
class RecordingDecoder : public GeneratorDecoder {
public:
    RecordingDecoder(uint64_t loseAt, uint64_t throwAt) : loseAt_(loseAt), throwAt_(throwAt) {}
    const std::string& name() const override { return name_; }
    bool readContinuation(const Block& block, DecoderOptions) override
    {
        if (block.offset == throwAt_)
            throw std::bad_alloc();
        seen.push_back(block.offset);
        lost_ = lost_ || block.offset == loseAt_;
        return !lost_;
    }
    bool lost() const override { return lost_; }
    const AuthorGeometry& geometry() const override { return geometry_; }

    std::vector<uint64_t> seen;

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
            // Resource r gets blocks 100 r + 0, 1, ...; resource 2 is lost at its second
            // block, and resource 4 may throw at its third.
            std::vector<ResourceContinuations> resources;
            std::vector<std::shared_ptr<RecordingDecoder>> decoders;
            for (uint64_t r = 0; r < 6; ++r) {
                decoders.push_back(std::make_shared<RecordingDecoder>(r == 2 ? 201 : kNever,
                                                                      r == 4 && throws ? 402 : kNever));
                ResourceContinuations resource{decoders.back(), {}, 0};
                for (uint64_t b = 0; b < 2 + r % 3; ++b) {
                    Block block;
                    block.offset = 100 * r + b;
                    resource.blocks.push_back(block);
                }
                resource.bytes = (r * 7919) % 13; // an order of sizes unlike the list's
                resources.push_back(std::move(resource));
            }
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
            }
        }
    }
}

TEST(ContinuationDecoding, SmallFilesAndSingleResourcesStayOnOneThread)
{
    const auto resources = [](size_t count, uint64_t bytes) {
        return std::vector<ResourceContinuations>(count, ResourceContinuations{nullptr, {}, bytes});
    };
    EXPECT_EQ(decodingThreadsFor(resources(0, 0)), 1u);
    EXPECT_EQ(decodingThreadsFor(resources(50, 1000)), 1u);
    EXPECT_EQ(decodingThreadsFor(resources(1, 64 * kContinuationBytesPerThread)), 1u);
    EXPECT_LE(decodingThreadsFor(resources(50, kContinuationBytesPerThread)), kMaxDecodingThreads);
}

} // namespace
