#include "prc/container/inflate_section.h"

#include "tests/support/error_message.h"
#include "tests/support/prc_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

std::vector<uint8_t> noiseThenZeros(size_t noise, size_t zeros)
{
    std::mt19937 random(static_cast<uint32_t>(noise));
    std::vector<uint8_t> bytes(noise + zeros, 0);
    for (size_t i = 0; i < noise; ++i)
        bytes[i] = static_cast<uint8_t>(random());
    return bytes;
}

std::vector<uint8_t> inflateWithLimit(const std::vector<uint8_t>& stream, size_t limit)
{
    return inflateSectionWithLimit(stream.data(), stream.size(), limit);
}

// Inflated a few bytes at a time, as a reader asks for them; or the first few kept and
// the rest only counted.
std::vector<uint8_t> inflateInSteps(const std::vector<uint8_t>& stream, size_t limit, size_t step, bool keepAll)
{
    SectionInflater inflater(stream.data(), stream.size(), limit);
    for (size_t end = step; !inflater.finished(); end += step) {
        if (!keepAll && end > 3 * step) {
            const std::vector<uint8_t> kept(inflater.data(), inflater.data() + inflater.size());
            inflater.inflateRestUnkept();
            EXPECT_EQ(inflater.data(), nullptr);
            std::vector<uint8_t> counted(inflater.size(), 0);
            std::copy(kept.begin(), kept.end(), counted.begin());
            return counted;
        }
        inflater.inflateTo(end);
        EXPECT_TRUE(inflater.size() >= end || inflater.finished()) << end;
    }
    const InflatedBytes taken = inflater.take();
    return std::vector<uint8_t>(taken.data.get(), taken.data.get() + taken.size);
}

TEST(InflateSection, GrowthStopsAtTheFirstDoublingAboveTheLimit)
{
    const std::vector<uint8_t> content(1 << 20, 7);
    const std::vector<uint8_t> stream = compressSection(content);
    // The buffer doubles from 8 × length + 4096 while it is not above the limit.
    size_t below = 8 * stream.size() + 4096;
    while (below * 2 < content.size())
        below *= 2;
    EXPECT_EQ(inflateWithLimit(stream, below), content); // grows once more, to 2 × below
    EXPECT_TRUE(failsToDecode([&] { inflateWithLimit(stream, below - 1); })); // stops at below
    // However the output is asked for, the same rule holds.
    for (const size_t step : {size_t{1000}, size_t{300000}}) {
        EXPECT_EQ(inflateInSteps(stream, below, step, true), content) << step;
        EXPECT_TRUE(failsToDecode([&] { inflateInSteps(stream, below - 1, step, true); })) << step;
    }
    EXPECT_EQ(inflateInSteps(stream, below, 1000, false).size(), content.size());
    EXPECT_TRUE(failsToDecode([&] { inflateInSteps(stream, below - 1, 1000, false); }));
}

TEST(InflateSection, LargeSectionStartsAtTheLimitNotAboveIt)
{
    // 8 × length + 4096 is far above these limits: the first buffer is limit + 1 bytes, and
    // output that fills it exactly is still returned.
    const std::vector<uint8_t> content = noiseThenZeros(5000, 20000);
    const std::vector<uint8_t> stream = compressSection(content);
    EXPECT_EQ(inflateWithLimit(stream, content.size() - 1), content);
    EXPECT_TRUE(failsToDecode([&] { inflateWithLimit(stream, content.size() - 2); }));
}

// The file's pages behind the reported position go while the inflation runs: input
// overwritten as soon as it is reported must not change the output.
TEST(InflateSection, NeverReadsInputBehindWhatItReported)
{
    // The zeros fill the output buffer while a piece of input is still being taken.
    const std::vector<uint8_t> content = noiseThenZeros(size_t{600} << 10, size_t{16} << 20);
    std::vector<uint8_t> stream = compressSection(content);
    std::vector<size_t> reported;
    const InflatedBytes inflated = inflateSectionBytes(stream.data(), stream.size(), kInflateSafetyLimit,
                                                       [&](size_t read) {
                                                           ASSERT_LE(read, stream.size());
                                                           std::fill_n(stream.begin(), read, uint8_t{0xA5});
                                                           reported.push_back(read);
                                                       });
    EXPECT_EQ(std::vector<uint8_t>(inflated.data.get(), inflated.data.get() + inflated.size), content);
    EXPECT_GT(reported.size(), 3u); // taken in pieces, not at once
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
}

TEST(InflateSection, RefusesToGrowPastTheSafetyLimit)
{
    const std::vector<uint8_t> gigabyte = zlibStreamOfZeros(1024);
    EXPECT_TRUE(failsToDecode([&] { inflateSection(gigabyte.data(), gigabyte.size()); }));
}

TEST(InflateSection, DamagedAndTruncatedStreams)
{
    const std::vector<uint8_t> good = compressSection(noiseThenZeros(300, 3000));
    const auto cut = [&](size_t size) { return std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size)); };
    std::vector<uint8_t> badChecksum = good;
    badChecksum.back() ^= 1;
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        {{}, "inflate failed: ?"},
        {cut(2), "inflate failed: ?"},
        {cut(good.size() / 2), "inflate failed: ?"},
        {cut(good.size() - 1), "inflate failed: ?"},
        {badChecksum, "inflate failed: incorrect data check"},
        {{0x78, 0x00, 0x01}, "inflate failed: incorrect header check"},
        {{0x78, 0x9C, 0x07, 0x00}, "inflate failed: invalid block type"}};
    for (const auto& [stream, message] : cases) {
        const std::vector<uint8_t>& bytes = stream; // a binding cannot be captured
        EXPECT_EQ(failsToDecode([&] { inflateSection(bytes.data(), bytes.size()); }), !std::string_view(message).empty()) << bytes.size();
        EXPECT_EQ(failsToDecode([&] { inflateInSteps(bytes, kInflateSafetyLimit, 100, false); }),
                  !std::string_view(message).empty())
            << bytes.size();
    }
}

} // namespace
