// Gathering units as an Annex B packet: start codes, the split that keeps
// the first unit of the next access unit, zeroed padding and the limits.
#include "AccessUnitBuffer.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace declib_test {
namespace {

using OrvexIPP::Detail::AccessUnitBuffer;
using OrvexIPP::Detail::kMaxAccessUnitBytes;
using OrvexIPP::Detail::kMaxUnitBytes;

struct PacketDeleter {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

PacketPtr NewPacket()
{
    return PacketPtr(av_packet_alloc());
}

void Append(AccessUnitBuffer &buffer, const std::vector<uint8_t> &unit)
{
    uint8_t *at = buffer.AppendUnit(unit.size());
    ASSERT_NE(at, nullptr);
    if (!unit.empty()) std::memcpy(at, unit.data(), unit.size());
}

std::vector<uint8_t> Bytes(const AVPacket *p)
{
    return std::vector<uint8_t>(p->data, p->data + p->size);
}

bool PaddingIsZero(const AVPacket *p)
{
    for (int i = 0; i < AV_INPUT_BUFFER_PADDING_SIZE; ++i)
        if (p->data[p->size + i] != 0) return false;
    return true;
}

TEST(DecLibAccessUnitBuffer, UnitsGetStartCodes)
{
    AccessUnitBuffer buffer;
    EXPECT_TRUE(buffer.Empty());
    Append(buffer, {0x67, 0x42});
    Append(buffer, {0x68});
    EXPECT_EQ(buffer.Size(), 11u);
    auto packet = NewPacket();
    ASSERT_TRUE(buffer.TakeAll(packet.get()));
    EXPECT_EQ(Bytes(packet.get()), (std::vector<uint8_t>{0, 0, 0, 1, 0x67, 0x42, 0, 0, 0, 1, 0x68}));
    ASSERT_NE(packet->buf, nullptr);
    EXPECT_TRUE(PaddingIsZero(packet.get()));
    EXPECT_TRUE(buffer.Empty());
    auto none = NewPacket();
    EXPECT_FALSE(buffer.TakeAll(none.get()));
}

TEST(DecLibAccessUnitBuffer, SplitKeepsTheLastUnitForTheNextPacket)
{
    AccessUnitBuffer buffer;
    Append(buffer, {0x65, 0x11, 0x22});
    // Non-zero bytes follow the first packet's end until the split clears them.
    Append(buffer, std::vector<uint8_t>(100, 0xFF));
    auto first = NewPacket();
    ASSERT_TRUE(buffer.TakeAllButLastUnit(first.get()));
    EXPECT_EQ(Bytes(first.get()), (std::vector<uint8_t>{0, 0, 0, 1, 0x65, 0x11, 0x22}));
    EXPECT_TRUE(PaddingIsZero(first.get()));
    EXPECT_EQ(buffer.Size(), 104u);

    Append(buffer, {0x41, 0x9A});
    auto second = NewPacket();
    ASSERT_TRUE(buffer.TakeAll(second.get()));
    std::vector<uint8_t> expected{0, 0, 0, 1};
    expected.insert(expected.end(), 100, 0xFF);
    expected.insert(expected.end(), {0, 0, 0, 1, 0x41, 0x9A});
    EXPECT_EQ(Bytes(second.get()), expected);
    EXPECT_TRUE(PaddingIsZero(second.get()));
    // The first packet owns its own reference and is untouched.
    EXPECT_EQ(Bytes(first.get()), (std::vector<uint8_t>{0, 0, 0, 1, 0x65, 0x11, 0x22}));
}

TEST(DecLibAccessUnitBuffer, SplitNeedsAUnitBeforeTheLast)
{
    AccessUnitBuffer buffer;
    auto packet = NewPacket();
    EXPECT_FALSE(buffer.TakeAllButLastUnit(packet.get()));
    Append(buffer, {0x65});
    EXPECT_FALSE(buffer.TakeAllButLastUnit(packet.get()));
}

TEST(DecLibAccessUnitBuffer, DropLastUnitForgetsOnlyIt)
{
    AccessUnitBuffer buffer;
    Append(buffer, {0x65, 0x01});
    Append(buffer, {0x85, 0x02, 0x03});
    buffer.DropLastUnit();
    auto packet = NewPacket();
    ASSERT_TRUE(buffer.TakeAll(packet.get()));
    EXPECT_EQ(Bytes(packet.get()), (std::vector<uint8_t>{0, 0, 0, 1, 0x65, 0x01}));
}

TEST(DecLibAccessUnitBuffer, GrowsAcrossManyUnits)
{
    AccessUnitBuffer buffer;
    std::vector<uint8_t> unit(1000);
    for (int i = 0; i < 300; ++i) {
        unit.assign(1000, static_cast<uint8_t>(i));
        Append(buffer, unit);
    }
    auto packet = NewPacket();
    ASSERT_TRUE(buffer.TakeAll(packet.get()));
    ASSERT_EQ(packet->size, 300 * 1004);
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(packet->data[i * 1004 + 3], 1);
        EXPECT_EQ(packet->data[i * 1004 + 4 + 999], static_cast<uint8_t>(i));
    }
    EXPECT_TRUE(PaddingIsZero(packet.get()));
}

TEST(DecLibAccessUnitBuffer, RefusesUnitsBeyondTheLimits)
{
    AccessUnitBuffer buffer;
    EXPECT_FALSE(buffer.CanAppend(kMaxUnitBytes + 1));
    EXPECT_EQ(buffer.AppendUnit(kMaxUnitBytes + 1), nullptr);
    EXPECT_EQ(buffer.AppendUnit(SIZE_MAX), nullptr);
    EXPECT_TRUE(buffer.Empty());
    EXPECT_TRUE(buffer.CanAppend(kMaxUnitBytes));
    EXPECT_GT(kMaxAccessUnitBytes, kMaxUnitBytes);
}

TEST(DecLibAccessUnitBuffer, ClearEmpties)
{
    AccessUnitBuffer buffer;
    Append(buffer, {0x65, 0x01});
    buffer.Clear();
    EXPECT_TRUE(buffer.Empty());
    Append(buffer, {0x41});
    auto packet = NewPacket();
    ASSERT_TRUE(buffer.TakeAll(packet.get()));
    EXPECT_EQ(packet->size, 5);
}

} // namespace
} // namespace declib_test
