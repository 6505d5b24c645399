// Emulation-prevention removal: what the parsers read is the payload without
// the 0x03 bytes an encoder inserted, while the stored NAL unit keeps them.
#include "MyH264/MyRbsp.h"
#include "support/bit_writer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<BYTE> unescape(const std::vector<BYTE> &payload)
{
    std::vector<BYTE> out(payload.size());
    out.resize(MyRemoveEmulationPrevention(payload.data(), static_cast<DWORD>(payload.size()), out.data()));
    return out;
}

struct RbspCase {
    const char *name;
    std::vector<BYTE> escaped;
    std::vector<BYTE> rbsp;
};

class EmulationPrevention : public ::testing::TestWithParam<RbspCase> {};

TEST_P(EmulationPrevention, RemovesOnlyTheInsertedBytes)
{
    EXPECT_EQ(unescape(GetParam().escaped), GetParam().rbsp);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EmulationPrevention,
    ::testing::Values(RbspCase{"none", {0x42, 0xC0, 0x1E}, {0x42, 0xC0, 0x1E}},
                      RbspCase{"before_zero", {0x00, 0x00, 0x03, 0x00}, {0x00, 0x00, 0x00}},
                      RbspCase{"before_one", {0x11, 0x00, 0x00, 0x03, 0x01, 0x22}, {0x11, 0x00, 0x00, 0x01, 0x22}},
                      RbspCase{
                          "two_in_a_row", {0x00, 0x00, 0x03, 0x00, 0x00, 0x03, 0x02}, {0x00, 0x00, 0x00, 0x00, 0x02}},
                      RbspCase{"after_one_zero_kept", {0x00, 0x03, 0x00}, {0x00, 0x03, 0x00}},
                      RbspCase{"counting_restarts_behind_it", {0x00, 0x00, 0x03, 0x03}, {0x00, 0x00, 0x03}},
                      RbspCase{"at_the_end", {0x80, 0x00, 0x00, 0x03}, {0x80, 0x00, 0x00}}, RbspCase{"empty", {}, {}}),
    [](const ::testing::TestParamInfo<RbspCase> &info) { return std::string(info.param.name); });

TEST(EmulationPrevention, UndoesWhatAnEncoderInserts)
{
    const std::vector<uint8_t> rbsp = {0x64, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x03, 0x80};
    const std::vector<uint8_t> escaped = orvex::test::addEmulationPrevention(rbsp);
    EXPECT_GT(escaped.size(), rbsp.size());
    EXPECT_EQ(unescape(escaped), rbsp);
}

TEST(Rbsp, SkipsTheHeaderByte)
{
    const BYTE nal[] = {0x67, 0x42, 0x00, 0x00, 0x03, 0x01};
    CMyRbsp rbsp(nal, sizeof nal);
    ASSERT_EQ(rbsp.Size(), 4u);
    EXPECT_EQ(std::vector<BYTE>(rbsp.Data(), rbsp.Data() + rbsp.Size()), (std::vector<BYTE>{0x42, 0x00, 0x00, 0x01}));
}

TEST(Rbsp, AHeaderAloneHasNoPayload)
{
    const BYTE nal[] = {0x67};
    EXPECT_EQ(CMyRbsp(nal, 1).Size(), 0u);
    EXPECT_EQ(CMyRbsp(nal, 0).Size(), 0u);
    EXPECT_EQ(CMyRbsp(nullptr, 10).Size(), 0u);
}

} // namespace
