// The bounded bit reader and the removal of emulation prevention bytes.
#include "BitReader.h"
#include "bit_writer.h"

#include <gtest/gtest.h>

#include <vector>

namespace declib_test {
namespace {

using OrvexIPP::Detail::BitReader;
using OrvexIPP::Detail::UnescapeRbsp;

TEST(DecLibBitReader, ReadsFixedWidthFieldsMostSignificantBitFirst)
{
    const std::vector<uint8_t> bytes{0xA5, 0x0F, 0xF0, 0x12, 0x34, 0x56, 0x78};
    BitReader bits(bytes.data(), bytes.size());
    EXPECT_EQ(bits.U(1), 1u);
    EXPECT_EQ(bits.U(3), 2u);
    EXPECT_EQ(bits.U(4), 5u);
    EXPECT_EQ(bits.U(12), 0x0FFu);
    EXPECT_EQ(bits.U(0), 0u);
    EXPECT_EQ(bits.U(32), 0x0123'4567u);
    EXPECT_EQ(bits.BitsLeft(), 4u);
    EXPECT_FALSE(bits.Failed());
}

TEST(DecLibBitReader, ExpGolombCodesRoundTrip)
{
    const std::vector<uint32_t> unsignedValues{0, 1, 2, 3, 7, 8, 255, 65535, 0x7FFF'FFFF, 0xFFFF'FFFE};
    const std::vector<int32_t> signedValues{0, 1, -1, 2, -2, 1000, -1000, INT32_MAX, -INT32_MAX};
    BitWriter w;
    for (uint32_t v : unsignedValues)
        w.Ue(v);
    for (int32_t v : signedValues)
        w.Se(v);
    w.Trailing();
    BitReader bits(w.Bytes().data(), w.Bytes().size());
    for (uint32_t v : unsignedValues)
        EXPECT_EQ(bits.Ue(), v);
    for (int32_t v : signedValues)
        EXPECT_EQ(bits.Se(), v);
    EXPECT_FALSE(bits.Failed());
}

TEST(DecLibBitReader, ReadingPastTheEndFailsAndYieldsZero)
{
    const std::vector<uint8_t> bytes{0xFF};
    BitReader bits(bytes.data(), bytes.size());
    EXPECT_EQ(bits.U(6), 0x3Fu);
    EXPECT_EQ(bits.U(3), 0u);
    EXPECT_TRUE(bits.Failed());
    EXPECT_EQ(bits.U(1), 0u); // stays failed
    EXPECT_EQ(bits.BitsLeft(), 0u);
}

TEST(DecLibBitReader, EmptyDataFailsAtOnce)
{
    BitReader bits(nullptr, 0);
    EXPECT_EQ(bits.Ue(), 0u);
    EXPECT_TRUE(bits.Failed());
}

TEST(DecLibBitReader, ExpGolombCutShortFails)
{
    // Seven zeros and the marker: seven more bits are needed, none follow.
    const std::vector<uint8_t> bytes{0x01, 0xFF};
    BitReader bits(bytes.data(), 1);
    EXPECT_EQ(bits.Ue(), 0u);
    EXPECT_TRUE(bits.Failed());
}

TEST(DecLibBitReader, ThirtyTwoLeadingZerosAreRefused)
{
    const std::vector<uint8_t> bytes{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    BitReader bits(bytes.data(), bytes.size());
    EXPECT_EQ(bits.Ue(), 0u);
    EXPECT_TRUE(bits.Failed());
}

TEST(DecLibBitReader, SkipChecksTheEndAndFailMarks)
{
    const std::vector<uint8_t> bytes{0x80, 0x00};
    BitReader bits(bytes.data(), bytes.size());
    bits.Skip(15);
    EXPECT_EQ(bits.BitsLeft(), 1u);
    bits.Skip(2);
    EXPECT_TRUE(bits.Failed());

    BitReader other(bytes.data(), bytes.size());
    other.Fail();
    EXPECT_TRUE(other.Failed());
    EXPECT_EQ(other.U(1), 0u);
}

struct UnescapeCase {
    std::vector<uint8_t> in;
    size_t maxBytes;
    std::vector<uint8_t> out;
};

class DecLibUnescape : public testing::TestWithParam<UnescapeCase> {};

TEST_P(DecLibUnescape, RemovesEmulationPreventionBytes)
{
    std::vector<uint8_t> rbsp{0xEE}; // replaced, not appended to
    UnescapeRbsp(GetParam().in.data(), GetParam().in.size(), GetParam().maxBytes, rbsp);
    EXPECT_EQ(rbsp, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecLibUnescape,
    testing::Values(UnescapeCase{{0x01, 0x02}, 64, {0x01, 0x02}},
                    UnescapeCase{{0x00, 0x00, 0x03, 0x01}, 64, {0x00, 0x00, 0x01}},
                    UnescapeCase{{0x00, 0x00, 0x03, 0x00, 0x00, 0x03}, 64, {0x00, 0x00, 0x00, 0x00}},
                    // A 3 after only one zero stays.
                    UnescapeCase{{0x00, 0x03, 0x00, 0x03}, 64, {0x00, 0x03, 0x00, 0x03}},
                    // After a removed 3 the zero count starts again.
                    UnescapeCase{{0x00, 0x00, 0x03, 0x03}, 64, {0x00, 0x00, 0x03}},
                    UnescapeCase{{0x11, 0x22, 0x33, 0x44}, 2, {0x11, 0x22}}, UnescapeCase{{}, 64, {}}));

TEST(DecLibUnescape, WriterAndReaderAgreeOnEscapedPayloads)
{
    BitWriter w;
    w.U(8, 0).U(8, 0).U(8, 1).U(8, 0).U(8, 0).U(8, 2).U(8, 0).U(8, 0).U(8, 0).U(8, 3).Trailing();
    const auto nal = w.Nal(0x06);
    std::vector<uint8_t> rbsp;
    UnescapeRbsp(nal.data() + 1, nal.size() - 1, 1024, rbsp);
    EXPECT_EQ(rbsp, w.Bytes());
    EXPECT_GT(nal.size() - 1, w.Bytes().size());
}

} // namespace
} // namespace declib_test
