#include "runtime/result_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Sizes at the limit: every term of the size shows at the boundary, without restating it.
TEST(PayloadLimit, BoundaryOfBothForms)
{
    // Exactly 256 MiB is sent; one vertex more is refused.
    EXPECT_TRUE(payloadWithinLimit(prcPayloadSize(0, 22369587, 2, true)));
    EXPECT_FALSE(payloadWithinLimit(prcPayloadSize(1, 22369587, 2, true)));
    EXPECT_TRUE(payloadWithinLimit(prcPayloadSize(1, 22369587, 2, false)));
    EXPECT_FALSE(payloadWithinLimit(prcPayloadSize(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, true))); // no wrap
    // Four 4096 x 4096 textures reach the limit exactly.
    U3dPayloadCounts texture{};
    texture.textureWidth = texture.textureHeight = 8192;
    EXPECT_TRUE(payloadWithinLimit(u3dPayloadSize(texture)));
    texture.pointCount = 1;
    EXPECT_FALSE(payloadWithinLimit(u3dPayloadSize(texture)));
}

TEST(StreamWriter, StopsAtTheFirstFailure)
{
    StreamWriter writer;
    EXPECT_TRUE(writer.write(nullptr, 0));
    EXPECT_FALSE(writer.write(nullptr, 4)); // a null source with bytes to write fails
    EXPECT_FALSE(writer.ok());
    EXPECT_FALSE(writer.write("x", 0)); // nothing after a failure is attempted
}

TEST(RecordName, IsCutCleanlyAndZeroFilled)
{
    const std::string longAscii(200, 'a');
    const std::string accents = std::string(126, 'b') + "\xC3\xA9"; // 2-byte character across byte 127
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {"wheel", "wheel"},
        {std::string("left\0right", 10), "left"}, // the parent reads up to the NUL: nothing may follow
        {longAscii, longAscii.substr(0, 127)},
        {accents, std::string(126, 'b')},
        {"", ""},
    };
    for (const auto& c : cases) {
        char field[kRecordNameBytes];
        std::memset(field, 0x55, sizeof field);
        copyRecordName(field, c.text.data(), c.text.size());
        EXPECT_EQ(std::string(field), c.expected);
        for (size_t i = c.expected.size(); i < sizeof field; ++i)
            ASSERT_EQ(field[i], 0) << "byte " << i << " of \"" << c.expected << "\"";
    }
}

} // namespace
