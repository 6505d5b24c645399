// The video signal description: the 'colr'/'gama' fallback read from a
// sample description's extension atoms, and its trace lines.
#include "MyH264/MyVideoSignalInfo.h"
#include "h264_builders.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

using namespace orvex::test;

namespace {

std::vector<uint8_t> colr(uint32_t size, uint16_t primaries, uint16_t transfer, uint16_t matrix)
{
    std::vector<uint8_t> atom;
    appendU32(atom, size);
    appendU32(atom, 0x636F6C72); // 'colr'
    appendU32(atom, 0x6E636C63); // 'nclc'
    appendU16(atom, primaries);
    appendU16(atom, transfer);
    appendU16(atom, matrix);
    return atom;
}

std::vector<uint8_t> gama(uint32_t size, uint32_t gamma)
{
    std::vector<uint8_t> atom;
    appendU32(atom, size);
    appendU32(atom, 0x67616D61); // 'gama'
    appendU32(atom, gamma);
    return atom;
}

void expectSignal(const CMyVideoSignalInfo &info, LONG format, LONG fullRange, LONG primaries, LONG transfer,
                  LONG matrix)
{
    EXPECT_EQ(info.m_video_format, format);
    EXPECT_EQ(info.m_video_full_range_flag, fullRange);
    EXPECT_EQ(info.m_colour_primaries, primaries);
    EXPECT_EQ(info.m_transfer_characteristics, transfer);
    EXPECT_EQ(info.m_matrix_coefficients, matrix);
}

TEST(ColourExtensions, DefaultsAreTheValuesOfAnAbsentVui)
{
    expectSignal(CMyVideoSignalInfo{}, 5, 0, 2, 2, 2);
}

TEST(ColourExtensions, ColrGivesPrimariesTransferAndMatrixOnly)
{
    CMyVideoSignalInfo info;
    info.m_video_format = 1;
    info.m_video_full_range_flag = 1;
    const auto c = colr(18, 9, 14, 0x0102);
    ApplyColourExtensions(info, c.data(), nullptr);
    expectSignal(info, 1, 1, 9, 14, 0x0102);
}

TEST(ColourExtensions, Gamma22SetsTransferFour)
{
    CMyVideoSignalInfo info;
    const auto c = colr(18, 5, 1, 5);
    const auto g = gama(12, 0x00023333);
    ApplyColourExtensions(info, c.data(), g.data());
    expectSignal(info, 5, 0, 5, 4, 5);
}

class OtherGammas : public ::testing::TestWithParam<uint32_t> {};

TEST_P(OtherGammas, LeaveTheTransferAsItWas)
{
    CMyVideoSignalInfo withColr;
    const auto c = colr(18, 6, 6, 6);
    const auto g = gama(12, GetParam());
    ApplyColourExtensions(withColr, c.data(), g.data());
    expectSignal(withColr, 5, 0, 6, 6, 6);

    CMyVideoSignalInfo alone;
    ApplyColourExtensions(alone, nullptr, g.data());
    expectSignal(alone, 5, 0, 2, 2, 2);
}

INSTANTIATE_TEST_SUITE_P(NotExactly22, OtherGammas,
                         ::testing::Values(0x00023334u, 0x00023332u, 0x0002CCCDu, 0x00018000u, 0u, 0x23333u << 8));

TEST(ColourExtensions, AtomsTooShortForTheirValuesChangeNothing)
{
    CMyVideoSignalInfo info;
    const auto c = colr(17, 9, 9, 9);    // ends inside matrix_coefficients
    const auto g = gama(11, 0x00023333); // ends inside the gamma
    ApplyColourExtensions(info, c.data(), g.data());
    expectSignal(info, 5, 0, 2, 2, 2);
}

struct TraceCase {
    CMyVideoSignalInfo info;
    std::vector<std::string> lines;
};

class SignalTrace : public ::testing::TestWithParam<TraceCase> {};

TEST_P(SignalTrace, WritesFiveLinesInOrder)
{
    DebugCapture capture;
    TraceVideoSignalInfo(GetParam().info);
    EXPECT_EQ(capture.messages(), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SignalTrace,
    ::testing::Values(
        TraceCase{{5, 0, 2, 2, 2},
                  {"video_format : Unspecified \n", "video_full_range_flag : off \n", "colour_primaries : 2 \n",
                   "transfer_characteristics : 2 \n", "matrix_coefficients : 2 \n"}},
        TraceCase{{0, 1, 1, 1, 1},
                  {"video_format : Component \n", "video_full_range_flag : ON \n", "colour_primaries : 1 \n",
                   "transfer_characteristics : 1 \n", "matrix_coefficients : 1 \n"}},
        TraceCase{{1, 7, 5, 4, 5},
                  {"video_format : PAL \n", "video_full_range_flag : ON \n", "colour_primaries : 5 \n",
                   "transfer_characteristics : 4 \n", "matrix_coefficients : 5 \n"}},
        TraceCase{{2, 0, 6, 6, 6},
                  {"video_format : NTSC \n", "video_full_range_flag : off \n", "colour_primaries : 6 \n",
                   "transfer_characteristics : 6 \n", "matrix_coefficients : 6 \n"}},
        TraceCase{{3, 0, 2, 2, 2},
                  {"video_format : SECAM \n", "video_full_range_flag : off \n", "colour_primaries : 2 \n",
                   "transfer_characteristics : 2 \n", "matrix_coefficients : 2 \n"}},
        TraceCase{{4, 0, 2, 2, 2},
                  {"video_format : MAC \n", "video_full_range_flag : off \n", "colour_primaries : 2 \n",
                   "transfer_characteristics : 2 \n", "matrix_coefficients : 2 \n"}},
        TraceCase{{6, 0, 9, 16, 9},
                  {"video_format : Unknown video format 6 \n", "video_full_range_flag : off \n",
                   "colour_primaries : 9 \n", "transfer_characteristics : 16 \n", "matrix_coefficients : 9 \n"}},
        TraceCase{{-1, 0, 2, 2, 2},
                  {"video_format : Unknown video format -1 \n", "video_full_range_flag : off \n",
                   "colour_primaries : 2 \n", "transfer_characteristics : 2 \n", "matrix_coefficients : 2 \n"}}));

} // namespace
