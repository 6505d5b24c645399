// CMyH264VUI through the SPS: each optional group is read only when its
// presence flag says so, and the parse ends behind fixed_frame_rate_flag.
#include "MyH264/MyH264Refusals.h"
#include "MyH264/MyH264SPS.h"
#include "h264_builders.h"
#include "refusal.h"

#include <gtest/gtest.h>

#include <memory>

using namespace orvex::test;

namespace {

std::unique_ptr<CMyH264SPS> parseWithVui(const VuiFields &vui)
{
    SpsFields f;
    f.vui = vui;
    const auto nal = buildSps(f);
    return std::make_unique<CMyH264SPS>(static_cast<WORD>(nal.size()), nal.data());
}

TEST(Vui, AnAbsentGroupKeepsTheInferredValues)
{
    const auto sps = parseWithVui(VuiFields{});
    const CMyH264VUI *vui = sps->GetVUI();
    ASSERT_NE(vui, nullptr);
    EXPECT_EQ(vui->m_aspect_ratio_info_present_flag, 0);
    EXPECT_EQ(vui->m_aspect_ratio_idc, 0);
    EXPECT_EQ(vui->m_video_signal_type_present_flag, 0);
    EXPECT_EQ(vui->m_video_format, 5);
    EXPECT_EQ(vui->m_video_full_range_flag, 0);
    EXPECT_EQ(vui->m_colour_primaries, 2);
    EXPECT_EQ(vui->m_transfer_characteristics, 2);
    EXPECT_EQ(vui->m_matrix_coefficients, 2);
    EXPECT_EQ(vui->m_timing_info_present_flag, 0);
    EXPECT_EQ(vui->m_num_units_in_tick, 0u);
    EXPECT_EQ(vui->m_motion_vectors_over_pic_boundaries_flag, 1);
    EXPECT_EQ(vui->m_max_bytes_per_pic_denom, 2u);
    EXPECT_EQ(vui->m_max_bits_per_mb_denom, 1u);
    EXPECT_EQ(vui->m_log2_max_mv_length_horizontal, 16u);
    EXPECT_EQ(vui->m_log2_max_mv_length_vertical, 16u);
}

TEST(Vui, ExtendedSarConsumesBothSixteenBitValuesBeforeOverscan)
{
    VuiFields v;
    v.aspect_ratio_info_present_flag = true;
    v.aspect_ratio_idc = 255;
    v.sar_width = 0x8001;
    v.sar_height = 0x00FF;
    v.overscan_info_present_flag = true;
    v.overscan_appropriate_flag = true;
    v.video_signal_type_present_flag = true;
    v.video_format = 2;
    const auto sps = parseWithVui(v);
    const CMyH264VUI *vui = sps->GetVUI();
    EXPECT_EQ(vui->m_aspect_ratio_idc, 255);
    EXPECT_EQ(vui->m_sar_width, 0x8001);
    EXPECT_EQ(vui->m_sar_height, 0x00FF);
    EXPECT_EQ(vui->m_overscan_info_present_flag, 1);
    EXPECT_EQ(vui->m_overscan_appropriate_flag, 1);
    EXPECT_EQ(vui->m_video_format, 2);
}

TEST(Vui, AnOrdinaryAspectRatioHasNoSarValues)
{
    VuiFields v;
    v.aspect_ratio_info_present_flag = true;
    v.aspect_ratio_idc = 1;
    v.overscan_info_present_flag = true;
    v.overscan_appropriate_flag = false;
    v.video_signal_type_present_flag = true;
    v.video_format = 1;
    const auto sps = parseWithVui(v);
    const CMyH264VUI *vui = sps->GetVUI();
    EXPECT_EQ(vui->m_aspect_ratio_idc, 1);
    EXPECT_EQ(vui->m_sar_width, 0);
    EXPECT_EQ(vui->m_overscan_info_present_flag, 1);
    EXPECT_EQ(vui->m_video_signal_type_present_flag, 1);
    EXPECT_EQ(vui->m_video_format, 1);
}

TEST(Vui, SignalTypeWithColourDescription)
{
    VuiFields v;
    v.video_signal_type_present_flag = true;
    v.video_format = 3;
    v.video_full_range_flag = true;
    v.colour_description_present_flag = true;
    v.colour_primaries = 9;
    v.transfer_characteristics = 14;
    v.matrix_coefficients = 255;
    v.chroma_loc_info_present_flag = true;
    v.chroma_sample_loc_type_top_field = 2;
    v.chroma_sample_loc_type_bottom_field = 5;
    const auto sps = parseWithVui(v);
    const CMyH264VUI *vui = sps->GetVUI();
    EXPECT_EQ(vui->m_video_format, 3);
    EXPECT_EQ(vui->m_video_full_range_flag, 1);
    EXPECT_EQ(vui->m_colour_description_present_flag, 1);
    EXPECT_EQ(vui->m_colour_primaries, 9);
    EXPECT_EQ(vui->m_transfer_characteristics, 14);
    EXPECT_EQ(vui->m_matrix_coefficients, 255);
    EXPECT_EQ(vui->m_chroma_sample_loc_type_top_field, 2u);
    EXPECT_EQ(vui->m_chroma_sample_loc_type_bottom_field, 5u);
}

TEST(Vui, SignalTypeWithoutColourDescriptionKeepsTheColourDefaults)
{
    VuiFields v;
    v.video_signal_type_present_flag = true;
    v.video_format = 0;
    v.video_full_range_flag = true;
    v.colour_primaries = 1; // not written: no colour description
    v.timing_info_present_flag = true;
    v.num_units_in_tick = 1001;
    v.time_scale = 60000;
    const auto sps = parseWithVui(v);
    const CMyH264VUI *vui = sps->GetVUI();
    EXPECT_EQ(vui->m_video_format, 0);
    EXPECT_EQ(vui->m_video_full_range_flag, 1);
    EXPECT_EQ(vui->m_colour_description_present_flag, 0);
    EXPECT_EQ(vui->m_colour_primaries, 2);
    EXPECT_EQ(vui->m_num_units_in_tick, 1001u);
    EXPECT_EQ(vui->m_time_scale, 60000u);
}

TEST(Vui, WithoutTimingTheParseEndsAtItsFlag)
{
    // The set ends right behind timing_info_present_flag = 0: no HRD flags,
    // no trailing bits. Reading one bit more would refuse it as short.
    SpsFields f;
    VuiFields v;
    v.write_tail = false;
    f.vui = v;
    f.trailing_bits = false;
    const auto nal = buildSps(f);
    EXPECT_EQ(refusalOf([&] { CMyH264SPS(static_cast<WORD>(nal.size()), nal.data()); }), "");
}

TEST(Vui, NothingBehindFixedFrameRateIsRead)
{
    // HRD presence flags set but no HRD parameters behind them: a parser that
    // read on would run out of bits or misread.
    SpsFields f;
    VuiFields v;
    v.timing_info_present_flag = true;
    v.fixed_frame_rate_flag = true;
    v.nal_hrd_parameters_present_flag = true;
    v.vcl_hrd_parameters_present_flag = true;
    v.bitstream_restriction_flag = true;
    f.vui = v;
    f.trailing_bits = false;
    const auto nal = buildSps(f);
    CMyH264SPS sps(static_cast<WORD>(nal.size()), nal.data());
    EXPECT_EQ(sps.GetVUI()->m_fixed_frame_rate_flag, 1);
    EXPECT_EQ(sps.GetVUI()->m_nal_hrd_parameters_present_flag, 0);
    EXPECT_EQ(sps.GetVUI()->m_bitstream_restriction_flag, 0);
}

} // namespace
