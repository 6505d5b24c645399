// The bounded bit reader and the removal of emulation prevention bytes.
#include "BitReader.h"
#include "support/h264_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace declib_test {
namespace {

using OrvexIPP::Detail::BitReader;
using OrvexIPP::Detail::UnescapeRbsp;
using Bytes = std::vector<uint8_t>;

// "uN", "ue", "se", "skipN", "fail" and "left" in turn; the results joined by
// blanks, then "failed" if the reader has failed.
std::string Read(const uint8_t *data, size_t size, const std::string &ops)
{
    BitReader bits(data, size);
    std::ostringstream out;
    std::istringstream in(ops);
    for (std::string op; in >> op;) {
        if (op == "ue")
            out << bits.Ue() << ' ';
        else if (op == "se")
            out << bits.Se() << ' ';
        else if (op == "left")
            out << bits.BitsLeft() << ' ';
        else if (op == "fail")
            bits.Fail();
        else if (op.rfind("skip", 0) == 0)
            bits.Skip(unsigned(std::stoul(op.substr(4))));
        else
            out << bits.U(unsigned(std::stoul(op.substr(1)))) << ' ';
    }
    out << (bits.Failed() ? "failed" : "ok");
    return out.str();
}

std::string Read(const Bytes &bytes, const std::string &ops)
{
    return Read(bytes.data(), bytes.size(), ops);
}

TEST(DecLibBitReader, ReadsFieldsAndFailsPastTheEnd)
{
    const struct {
        Bytes bytes;
        const char *ops, *expected;
    } rows[] = {
        {{0xA5, 0x0F, 0xF0, 0x12, 0x34, 0x56, 0x78}, "u1 u3 u4 u12 u0 u32 left", "1 2 5 255 0 19088743 4 ok"},
        {{0xFF}, "u6 u3 u1 left", "63 0 0 0 failed"}, // stays failed, yielding zero
        {{}, "ue", "0 failed"},
        {{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "ue", "0 failed"}, // 32 leading zeros
        {{0x80, 0x00}, "skip15 left skip2", "1 failed"},
        {{0x80, 0x00}, "fail u1", "0 failed"},
        {orvex::test::BitWriter().ue(0xFFFF'FFFEu).se(-1).se(INT32_MAX).se(-INT32_MAX).trailingBits().bytes(),
         "ue se se se", "4294967294 -1 2147483647 -2147483647 ok"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Read(row.bytes, row.ops), row.expected) << row.ops;
    const Bytes cut{0x01, 0xFF}; // seven zeros and the marker; the next byte is not the reader's
    EXPECT_EQ(Read(cut.data(), 1, "ue"), "0 failed");
}

TEST(DecLibUnescape, RemovesEmulationPreventionBytes)
{
    const Bytes escaped = orvex::test::addEmulationPrevention({0, 0, 1, 0, 0, 2, 0, 0, 0, 3, 0x80});
    const struct {
        Bytes in;
        size_t maxBytes;
        Bytes out;
    } rows[] = {
        {{0x01, 0x02}, 64, {0x01, 0x02}},
        {{0x00, 0x00, 0x03, 0x01}, 64, {0x00, 0x00, 0x01}},
        {{0x00, 0x00, 0x03, 0x00, 0x00, 0x03}, 64, {0x00, 0x00, 0x00, 0x00}},
        {{0x00, 0x03, 0x00, 0x03}, 64, {0x00, 0x03, 0x00, 0x03}}, // a 3 after only one zero stays
        {{0x00, 0x00, 0x03, 0x03}, 64, {0x00, 0x00, 0x03}},       // after a removed 3 the count starts again
        {{0x11, 0x22, 0x33, 0x44}, 2, {0x11, 0x22}},
        {{}, 64, {}},
        {escaped, 1024, {0, 0, 1, 0, 0, 2, 0, 0, 0, 3, 0x80}},
    };
    for (const auto &row : rows) {
        Bytes rbsp{0xEE}; // replaced, not appended to
        UnescapeRbsp(row.in.data(), row.in.size(), row.maxBytes, rbsp);
        EXPECT_EQ(rbsp, row.out);
    }
}

} // namespace
} // namespace declib_test
