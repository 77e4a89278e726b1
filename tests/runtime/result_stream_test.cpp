#include "runtime/result_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(PayloadLimit, BoundaryOfBothForms)
{
    EXPECT_EQ(prcPayloadSize(1, 1, 1, false), 15u + 12u + 188u);
    EXPECT_EQ(prcPayloadSize(0, 0, 0, true), 36u);
    // 12·22369587 + 188·2 + 36 is exactly 256 MiB: sent. One vertex more is refused.
    EXPECT_EQ(prcPayloadSize(0, 22369587, 2, true), kPayloadLimitBytes);
    EXPECT_TRUE(payloadWithinLimit(prcPayloadSize(0, 22369587, 2, true)));
    EXPECT_FALSE(payloadWithinLimit(prcPayloadSize(1, 22369587, 2, true)));
    EXPECT_TRUE(payloadWithinLimit(prcPayloadSize(1, 22369587, 2, false)));
    // 32-bit counts never wrap: the computation is 64-bit.
    EXPECT_EQ(prcPayloadSize(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, true), 215ull * 0xFFFFFFFFu + 36);

    U3dPayloadCounts c{};
    c.vertexCount = 2, c.triangleCount = 3, c.pointCount = 5, c.lineCount = 7, c.nodeCount = 11, c.viewCount = 13;
    c.lightCount = 8, c.materialCount = 17, c.textureWidth = 19, c.textureHeight = 23;
    c.hasTextureCoordinates = c.hasNormals = c.hasMaterials = true;
    EXPECT_EQ(u3dPayloadSize(c), 15 * 2 + 12 * 3 + 4 * 5 + 8 * 7 + 188 * 11 + 172 * 13 + 64 * 8 + 4 * 19 * 23 + 8 * 2 +
                                     12 * 2 + 60 * 17 + 2 * 2);
    // A 4096 x 4096 texture is 64 MiB; four of them reach the limit exactly.
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

} // namespace

namespace {

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
