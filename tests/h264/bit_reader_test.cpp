// CMyBitReader: fixed-width fields, Exp-Golomb codes and the refusal when a
// read would leave the bytes it was given.
#include "MyH264/MyBitReader.h"
#include "MyH264/MyH264Refusals.h"
#include "refusal.h"
#include "support/bit_writer.h"

#include <gtest/gtest.h>

using orvex::test::BitWriter;
using orvex::test::refusalOf;

namespace {

TEST(BitReader, ReadsBitsMostSignificantFirstAcrossBytes)
{
    const BYTE data[] = {0xA5, 0x3C, 0xFF, 0x01};
    CMyBitReader reader(data, sizeof data);
    EXPECT_EQ(reader.ReadBit(), 1u);
    EXPECT_EQ(reader.ReadBit(), 0u);
    EXPECT_EQ(reader.ReadBits(3), 0x4u);  // 100
    EXPECT_EQ(reader.ReadBits(7), 0x53u); // 101, then 0011 of the second byte
    EXPECT_EQ(reader.BitsLeft(), 32u - 12u);
    EXPECT_EQ(reader.ReadBits(20), 0xCFF01u);
    EXPECT_EQ(reader.BitsLeft(), 0u);
}

TEST(BitReader, ReadsThirtyTwoBitsAtAnyBitPosition)
{
    const BYTE data[] = {0x7F, 0xFF, 0xFF, 0xFF, 0x80};
    CMyBitReader reader(data, sizeof data);
    EXPECT_EQ(reader.ReadBit(), 0u);
    EXPECT_EQ(reader.ReadBits(32), 0xFFFFFFFFu);
    EXPECT_EQ(reader.ReadBits(7), 0u);
}

TEST(BitReader, ReadsZeroBitsAsZero)
{
    const BYTE data[] = {0xFF};
    CMyBitReader reader(data, 1);
    EXPECT_EQ(reader.ReadBits(0), 0u);
    EXPECT_EQ(reader.BitsLeft(), 8u);
}

class UnsignedExpGolomb : public ::testing::TestWithParam<uint32_t> {};

TEST_P(UnsignedExpGolomb, RoundTripsThroughTheWriter)
{
    BitWriter w;
    w.bits(0x5, 3).ue(GetParam()).bits(0x3, 2);
    const auto bytes = w.bytes();
    CMyBitReader reader(bytes.data(), static_cast<DWORD>(bytes.size()));
    EXPECT_EQ(reader.ReadBits(3), 0x5u);
    EXPECT_EQ(reader.ReadUE(), GetParam());
    EXPECT_EQ(reader.ReadBits(2), 0x3u);
}

INSTANTIATE_TEST_SUITE_P(Values, UnsignedExpGolomb,
                         ::testing::Values(0u, 1u, 2u, 3u, 6u, 7u, 31u, 32u, 255u, 256u, 65535u, 0x7FFFFFFEu,
                                           0x7FFFFFFFu, 0xFFFFFFFEu));

TEST(BitReader, DecodesTheExpGolombTable)
{
    // codeNum 0..4 are 1, 010, 011, 00100, 00101.
    const BYTE data[] = {0b10100110, 0b01000010, 0b10000000};
    CMyBitReader reader(data, sizeof data);
    EXPECT_EQ(reader.ReadUE(), 0u);
    EXPECT_EQ(reader.ReadUE(), 1u);
    EXPECT_EQ(reader.ReadUE(), 2u);
    EXPECT_EQ(reader.ReadUE(), 3u);
    EXPECT_EQ(reader.ReadUE(), 4u);
}

class SignedExpGolomb : public ::testing::TestWithParam<int32_t> {};

TEST_P(SignedExpGolomb, RoundTripsThroughTheWriter)
{
    BitWriter w;
    w.se(GetParam()).flag(true);
    const auto bytes = w.bytes();
    CMyBitReader reader(bytes.data(), static_cast<DWORD>(bytes.size()));
    EXPECT_EQ(reader.ReadSE(), GetParam());
    EXPECT_EQ(reader.ReadBit(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Values, SignedExpGolomb,
                         ::testing::Values(0, 1, -1, 2, -2, 127, -128, 2147483647, -2147483647));

TEST(BitReader, MapsSignedCodesAlternately)
{
    // codeNum 1, 2, 3, 4 are +1, -1, +2, -2.
    BitWriter w;
    w.ue(1).ue(2).ue(3).ue(4);
    const auto bytes = w.bytes();
    CMyBitReader reader(bytes.data(), static_cast<DWORD>(bytes.size()));
    EXPECT_EQ(reader.ReadSE(), 1);
    EXPECT_EQ(reader.ReadSE(), -1);
    EXPECT_EQ(reader.ReadSE(), 2);
    EXPECT_EQ(reader.ReadSE(), -2);
}

TEST(BitReaderBounds, RefusesABitBehindTheLastByte)
{
    const BYTE data[] = {0xFF, 0xEE};
    CMyBitReader reader(data, 1); // the second byte is not the reader's
    EXPECT_EQ(reader.ReadBits(8), 0xFFu);
    EXPECT_EQ(refusalOf([&] { reader.ReadBit(); }), MyH264Refusal::kOutOfData);
}

TEST(BitReaderBounds, RefusesAFieldLongerThanWhatIsLeftWithoutConsumingIt)
{
    const BYTE data[] = {0xAB, 0xCD};
    CMyBitReader reader(data, sizeof data);
    reader.ReadBits(4);
    EXPECT_EQ(refusalOf([&] { reader.ReadBits(13); }), MyH264Refusal::kOutOfData);
    EXPECT_EQ(reader.BitsLeft(), 12u);
    EXPECT_EQ(reader.ReadBits(12), 0xBCDu);
}

TEST(BitReaderBounds, RefusesAnExpGolombCodeCutByTheEnd)
{
    BitWriter w;
    w.ue(1000);
    auto bytes = w.bytes();
    bytes.pop_back();
    CMyBitReader reader(bytes.data(), static_cast<DWORD>(bytes.size()));
    EXPECT_EQ(refusalOf([&] { reader.ReadUE(); }), MyH264Refusal::kOutOfData);
}

TEST(BitReaderBounds, RefusesAllZeroBytesAsAnUnendingCode)
{
    const BYTE data[2] = {0, 0};
    CMyBitReader reader(data, sizeof data);
    EXPECT_EQ(refusalOf([&] { reader.ReadUE(); }), MyH264Refusal::kOutOfData);
}

TEST(BitReaderBounds, RefusesAnExpGolombCodeOfThirtyTwoLeadingZeros)
{
    BitWriter w;
    w.zeros(32).bits(1, 1).bits(0, 32);
    const auto bytes = w.bytes();
    CMyBitReader reader(bytes.data(), static_cast<DWORD>(bytes.size()));
    EXPECT_EQ(refusalOf([&] { reader.ReadUE(); }), MyH264Refusal::kExpGolombTooLong);
}

TEST(BitReaderBounds, AcceptsThirtyOneLeadingZerosAsTheLargestCode)
{
    BitWriter w;
    w.zeros(31).bits(1, 1).bits(0x7FFFFFFF, 31);
    const auto bytes = w.bytes();
    CMyBitReader reader(bytes.data(), static_cast<DWORD>(bytes.size()));
    EXPECT_EQ(reader.ReadUE(), 0xFFFFFFFEu);
}

TEST(BitReaderBounds, AnEmptyOrMissingBufferHasNoBits)
{
    CMyBitReader none(nullptr, 100);
    EXPECT_EQ(none.BitsLeft(), 0u);
    EXPECT_EQ(refusalOf([&] { none.ReadBit(); }), MyH264Refusal::kOutOfData);
    const BYTE data[] = {0xFF};
    CMyBitReader empty(data, 0);
    EXPECT_EQ(refusalOf([&] { empty.ReadBits(1); }), MyH264Refusal::kOutOfData);
}

TEST(BitReaderBounds, RefusesMoreThanThirtyTwoBitsInOneRead)
{
    const BYTE data[8] = {};
    CMyBitReader reader(data, sizeof data);
    EXPECT_EQ(refusalOf([&] { reader.ReadBits(33); }), MyH264Refusal::kBitCount);
}

} // namespace
