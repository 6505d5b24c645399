// Gathering units as an Annex B packet: start codes, the split that keeps
// the first unit of the next access unit, zeroed padding and the limits.
#include "AccessUnitBuffer.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
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

// A packet's bytes in hex, runs of one value as "ffx100", then "padded" when
// the padding behind it is zeroed.
std::string Packet(const AVPacket *p)
{
    std::ostringstream out;
    out << std::hex;
    for (int i = 0; i < p->size;) {
        int run = 1;
        while (i + run < p->size && p->data[i + run] == p->data[i])
            ++run;
        out << int(p->data[i]);
        if (run > 3) out << 'x' << std::dec << run << std::hex;
        out << ' ';
        i += run > 3 ? run : 1;
    }
    bool zeroed = p->buf != nullptr;
    for (int i = 0; i < AV_INPUT_BUFFER_PADDING_SIZE; ++i)
        zeroed = zeroed && p->data[p->size + i] == 0;
    return out.str() + (zeroed ? "padded" : "not padded");
}

TEST(DecLibAccessUnitBuffer, StartCodesSplitDropAndLimits)
{
    AccessUnitBuffer buffer;
    auto all = NewPacket(), first = NewPacket(), second = NewPacket(), none = NewPacket();
    EXPECT_FALSE(buffer.TakeAllButLastUnit(none.get())); // the split needs a unit before the last
    Append(buffer, {0x67, 0x42});
    EXPECT_FALSE(buffer.TakeAllButLastUnit(none.get()));
    Append(buffer, {0x68});
    EXPECT_EQ(buffer.Size(), 11u);
    ASSERT_TRUE(buffer.TakeAll(all.get()));
    EXPECT_EQ(Packet(all.get()), "0 0 0 1 67 42 0 0 0 1 68 padded");
    EXPECT_TRUE(buffer.Empty());
    EXPECT_FALSE(buffer.TakeAll(none.get()));

    // The split keeps the last unit for the next packet; non-zero bytes follow
    // the first packet's end until it clears them.
    Append(buffer, {0x65, 0x11, 0x22});
    Append(buffer, std::vector<uint8_t>(100, 0xFF));
    ASSERT_TRUE(buffer.TakeAllButLastUnit(first.get()));
    EXPECT_EQ(buffer.Size(), 104u);
    Append(buffer, {0x41, 0x9A});
    Append(buffer, {0x85, 0x02, 0x03});
    buffer.DropLastUnit();
    ASSERT_TRUE(buffer.TakeAll(second.get()));
    EXPECT_EQ(Packet(first.get()) + " | " + Packet(second.get()),
              "0 0 0 1 65 11 22 padded | 0 0 0 1 ffx100 0 0 0 1 41 9a padded");

    for (int i = 0; i < 300; ++i) // grows across many units
        Append(buffer, std::vector<uint8_t>(1000, uint8_t(i)));
    buffer.Clear();
    for (int i = 0; i < 300; ++i)
        Append(buffer, std::vector<uint8_t>(1000, uint8_t(i)));
    ASSERT_TRUE(buffer.TakeAll(all.get()));
    ASSERT_EQ(all->size, 300 * 1004);
    int misplaced = 0;
    for (int i = 0; i < 300; ++i)
        misplaced += all->data[i * 1004 + 3] != 1 || all->data[i * 1004 + 1003] != uint8_t(i);
    EXPECT_EQ(misplaced, 0);
    EXPECT_EQ(Packet(all.get()).substr(Packet(all.get()).size() - 6), "padded");

    EXPECT_FALSE(buffer.CanAppend(kMaxUnitBytes + 1));
    EXPECT_EQ(buffer.AppendUnit(kMaxUnitBytes + 1), nullptr);
    EXPECT_EQ(buffer.AppendUnit(SIZE_MAX), nullptr);
    EXPECT_TRUE(buffer.Empty());
    EXPECT_TRUE(buffer.CanAppend(kMaxUnitBytes));
    EXPECT_GT(kMaxAccessUnitBytes, kMaxUnitBytes);
}

} // namespace
} // namespace declib_test
