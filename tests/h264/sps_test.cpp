// CMyH264SPS: which sequence parameter sets are served, where each field is
// read from, the picture rectangle, and refusals of short or impossible sets.
#include "MyH264/MyH264Refusals.h"
#include "MyH264/MyH264SPS.h"
#include "h264_builders.h"
#include "refusal.h"
#include "support/bit_writer.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

#include <memory>

using namespace orvex::test;

namespace {

std::unique_ptr<CMyH264SPS> parse(const std::vector<uint8_t> &nal)
{
    return std::make_unique<CMyH264SPS>(static_cast<WORD>(nal.size()), nal.data());
}

std::unique_ptr<CMyH264SPS> parse(const SpsFields &fields)
{
    return parse(buildSps(fields));
}

std::string refusal(const std::vector<uint8_t> &nal)
{
    return refusalOf([&] { parse(nal); });
}

std::string refusal(const SpsFields &fields)
{
    return refusal(buildSps(fields));
}

class ServedProfiles : public ::testing::TestWithParam<uint32_t> {};

TEST_P(ServedProfiles, StoresEveryFieldReadAndKeepsTheNalUnit)
{
    SpsFields f;
    f.profile_idc = GetParam();
    f.constraint_set0_flag = false;
    f.constraint_set1_flag = true;
    f.constraint_set2_flag = true;
    f.constraint_set3_flag = false;
    f.level_idc = 41;
    f.seq_parameter_set_id = 7;
    f.log2_max_frame_num_minus4 = 5;
    f.pic_order_cnt_type = 2;
    f.num_ref_frames = 4;
    f.gaps_in_frame_num_value_allowed_flag = true;
    f.pic_width_in_mbs_minus1 = 79;
    f.pic_height_in_map_units_minus1 = 44;
    f.direct_8x8_inference_flag = false;
    const auto nal = buildSps(f);
    const auto sps = parse(nal);

    EXPECT_EQ(sps->m_size, nal.size());
    EXPECT_EQ(std::vector<uint8_t>(sps->m_pData.get(), sps->m_pData.get() + sps->m_size), nal);
    EXPECT_EQ(sps->m_profile_idc, GetParam());
    EXPECT_EQ(sps->m_constraint_set0_flag, 0);
    EXPECT_EQ(sps->m_constraint_set1_flag, 1);
    EXPECT_EQ(sps->m_constraint_set2_flag, 1);
    EXPECT_EQ(sps->m_constraint_set3_flag, 0);
    EXPECT_EQ(sps->m_level_idc, 41);
    EXPECT_EQ(sps->m_seq_parameter_set_id, 7u);
    EXPECT_EQ(sps->m_chromaFormat, CMyH264SPS::eChromaFormat_420);
    EXPECT_EQ(sps->m_log2_max_frame_num_minus4, 5u);
    EXPECT_EQ(sps->m_pic_order_cnt_type, 2u);
    EXPECT_EQ(sps->m_num_ref_frames, 4u);
    EXPECT_EQ(sps->m_gaps_in_frame_num_value_allowed_flag, 1);
    EXPECT_EQ(sps->m_pic_width_in_mbs_minus1, 79u);
    EXPECT_EQ(sps->m_pic_height_in_map_units_minus1, 44u);
    EXPECT_EQ(sps->m_frame_mbs_only_flag, 1);
    EXPECT_EQ(sps->m_direct_8x8_inference_flag, 0);
    EXPECT_EQ(sps->m_frame_cropping_flag, 0);
    EXPECT_EQ(sps->GetVUI(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(BaselineAndMain, ServedProfiles, ::testing::Values(66u, 77u));

class RefusedProfiles : public ::testing::TestWithParam<uint32_t> {};

TEST_P(RefusedProfiles, TracesTheProfileAndRefusesBeforeAnyFurtherField)
{
    // Only the profile byte: a parser that read on would run out of bits.
    const std::vector<uint8_t> nal = {0x67, static_cast<uint8_t>(GetParam())};
    DebugCapture capture;
    EXPECT_EQ(refusal(nal), MyH264Refusal::kProfile);
    EXPECT_EQ(capture.messages(), std::vector<std::string>{"m_profile_idc is " + std::to_string(GetParam()) + ". \n"});
}

INSTANTIATE_TEST_SUITE_P(Others, RefusedProfiles, ::testing::Values(0u, 44u, 88u, 100u, 110u, 122u, 244u, 255u));

struct LimitCase {
    const char *name;
    void (*set)(SpsFields &);
    const char *refusal; // "" when accepted
};

class SpsLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(SpsLimits, AcceptAtTheBoundAndRefuseBeyond)
{
    SpsFields f;
    GetParam().set(f);
    EXPECT_EQ(refusal(f), GetParam().refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Ids, SpsLimits,
    ::testing::Values(LimitCase{"sps_id_31", [](SpsFields &f) { f.seq_parameter_set_id = 31; }, ""},
                      LimitCase{"sps_id_32", [](SpsFields &f) { f.seq_parameter_set_id = 32; }, MyH264Refusal::kSpsId},
                      LimitCase{"sps_id_huge", [](SpsFields &f) { f.seq_parameter_set_id = 0xFFFFFFFE; },
                                MyH264Refusal::kSpsId},
                      LimitCase{"log2_frame_num_12", [](SpsFields &f) { f.log2_max_frame_num_minus4 = 12; }, ""},
                      LimitCase{"log2_frame_num_13", [](SpsFields &f) { f.log2_max_frame_num_minus4 = 13; },
                                MyH264Refusal::kLog2MaxFrameNum}),
    [](const ::testing::TestParamInfo<LimitCase> &info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    PictureSize, SpsLimits,
    ::testing::Values(LimitCase{"widest_level_6_2",
                                [](SpsFields &f) {
                                    f.pic_width_in_mbs_minus1 = 1054;
                                    f.pic_height_in_map_units_minus1 = 131;
                                },
                                ""},
                      LimitCase{"tallest_level_6_2",
                                [](SpsFields &f) {
                                    f.pic_width_in_mbs_minus1 = 131;
                                    f.pic_height_in_map_units_minus1 = 1054;
                                },
                                ""},
                      LimitCase{"wider_than_any_level",
                                [](SpsFields &f) {
                                    f.pic_width_in_mbs_minus1 = 1055;
                                    f.pic_height_in_map_units_minus1 = 0;
                                },
                                MyH264Refusal::kPictureTooLarge},
                      LimitCase{"taller_than_any_level", [](SpsFields &f) { f.pic_height_in_map_units_minus1 = 1055; },
                                MyH264Refusal::kPictureTooLarge},
                      LimitCase{"more_macroblocks_than_any_level",
                                [](SpsFields &f) {
                                    f.pic_width_in_mbs_minus1 = 1054;
                                    f.pic_height_in_map_units_minus1 = 132;
                                },
                                MyH264Refusal::kPictureTooLarge},
                      // 0xFFFFFFFE + 1 macroblocks would wrap a 32-bit pixel width.
                      LimitCase{"width_that_would_wrap", [](SpsFields &f) { f.pic_width_in_mbs_minus1 = 0xFFFFFFFE; },
                                MyH264Refusal::kPictureTooLarge},
                      LimitCase{"width_that_wraps_to_small",
                                [](SpsFields &f) { f.pic_width_in_mbs_minus1 = 0x10000000; },
                                MyH264Refusal::kPictureTooLarge}),
    [](const ::testing::TestParamInfo<LimitCase> &info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Cropping, SpsLimits,
                         ::testing::Values(
                             // 176 x 144: crop units of 2 pixels.
                             LimitCase{"keeps_two_columns",
                                       [](SpsFields &f) {
                                           f.frame_cropping_flag = true;
                                           f.frame_crop_left_offset = 43;
                                           f.frame_crop_right_offset = 44;
                                       },
                                       ""},
                             LimitCase{"keeps_no_column",
                                       [](SpsFields &f) {
                                           f.frame_cropping_flag = true;
                                           f.frame_crop_left_offset = 44;
                                           f.frame_crop_right_offset = 44;
                                       },
                                       MyH264Refusal::kCropTooLarge},
                             LimitCase{"keeps_no_row",
                                       [](SpsFields &f) {
                                           f.frame_cropping_flag = true;
                                           f.frame_crop_bottom_offset = 72;
                                       },
                                       MyH264Refusal::kCropTooLarge},
                             LimitCase{"offset_that_would_wrap",
                                       [](SpsFields &f) {
                                           f.frame_cropping_flag = true;
                                           f.frame_crop_right_offset = 0x80000000;
                                       },
                                       MyH264Refusal::kCropTooLarge},
                             LimitCase{"offsets_whose_sum_would_wrap",
                                       [](SpsFields &f) {
                                           f.frame_cropping_flag = true;
                                           f.frame_crop_top_offset = 0xFFFFFFF0;
                                           f.frame_crop_bottom_offset = 0x20;
                                       },
                                       MyH264Refusal::kCropTooLarge}),
                         [](const ::testing::TestParamInfo<LimitCase> &info) { return std::string(info.param.name); });

TEST(SpsPictureOrder, TypeZeroReadsTheLsbLength)
{
    SpsFields f;
    f.pic_order_cnt_type = 0;
    f.log2_max_pic_order_cnt_lsb_minus4 = 9;
    f.num_ref_frames = 3;
    const auto sps = parse(f);
    EXPECT_EQ(sps->m_pic_order_cnt_type, 0u);
    EXPECT_EQ(sps->m_num_ref_frames, 3u);
    EXPECT_EQ(sps->m_pic_width_in_mbs_minus1, 10u);
}

TEST(SpsPictureOrder, TypeOneConsumesTheWholeCycle)
{
    SpsFields f;
    f.profile_idc = 77;
    f.pic_order_cnt_type = 1;
    f.delta_pic_order_always_zero_flag = true;
    f.offset_for_non_ref_pic = -5;
    f.offset_for_top_to_bottom_field = 3;
    f.offset_for_ref_frame = {2, -7, 1000};
    f.num_ref_frames = 2;
    f.pic_width_in_mbs_minus1 = 21;
    f.pic_height_in_map_units_minus1 = 17;
    f.frame_cropping_flag = true;
    f.frame_crop_bottom_offset = 3;
    const auto sps = parse(f);
    EXPECT_EQ(sps->m_pic_order_cnt_type, 1u);
    EXPECT_EQ(sps->m_num_ref_frames, 2u);
    EXPECT_EQ(sps->m_pic_width_in_mbs_minus1, 21u);
    EXPECT_EQ(sps->m_pic_height_in_map_units_minus1, 17u);
    EXPECT_EQ(sps->m_frame_crop_bottom_offset, 3u);
}

TEST(SpsPictureOrder, TypeOneWithACycleLongerThanTheSetIsRefused)
{
    BitWriter w;
    w.bits(66, 8).bits(0xC0, 8).bits(30, 8);  // profile, constraint flags, level
    w.ue(0).ue(0).ue(1);                      // ids, pic_order_cnt_type 1
    w.flag(false).se(0).se(0).ue(0x7FFFFFFF); // a cycle of 2^31 - 1 offsets
    w.se(1).se(2).se(3).trailingBits();       // of which three are present
    EXPECT_EQ(refusal(makeNalUnit(0x67, w.bytes())), MyH264Refusal::kOutOfData);
}

class OtherPictureOrderTypes : public ::testing::TestWithParam<uint32_t> {};

TEST_P(OtherPictureOrderTypes, ReadNoPictureOrderFields)
{
    SpsFields f;
    f.pic_order_cnt_type = GetParam();
    f.num_ref_frames = 6;
    f.pic_width_in_mbs_minus1 = 39;
    const auto sps = parse(f);
    EXPECT_EQ(sps->m_pic_order_cnt_type, GetParam());
    EXPECT_EQ(sps->m_num_ref_frames, 6u);
    EXPECT_EQ(sps->m_pic_width_in_mbs_minus1, 39u);
}

INSTANTIATE_TEST_SUITE_P(TwoAndUp, OtherPictureOrderTypes, ::testing::Values(2u, 3u, 1000u));

TEST(SpsInterlaced, IsReadWholeThenRefusedWithATrace)
{
    SpsFields f;
    f.profile_idc = 77;
    f.frame_mbs_only_flag = false;
    f.mb_adaptive_frame_field_flag = true;
    f.vui = VuiFields{};
    DebugCapture capture;
    EXPECT_EQ(refusal(f), MyH264Refusal::kFrameMbsOnly);
    EXPECT_EQ(capture.messages(), std::vector<std::string>{"m_frame_mbs_only_flag is false. \n"});
}

TEST(SpsInterlaced, ATruncatedVuiIsFoundBeforeTheInterlacedRefusal)
{
    SpsFields f;
    f.frame_mbs_only_flag = false;
    VuiFields v;
    v.timing_info_present_flag = true;
    v.write_tail = false;
    f.vui = v;
    f.trailing_bits = false;
    auto nal = buildSps(f);
    nal.pop_back();
    DebugCapture capture;
    EXPECT_EQ(refusal(nal), MyH264Refusal::kOutOfData);
    EXPECT_FALSE(capture.contains("m_frame_mbs_only_flag"));
}

TEST(SpsPictureRect, WithoutCroppingIsTheCodedPicture)
{
    SpsFields f;
    f.pic_width_in_mbs_minus1 = 19;
    f.pic_height_in_map_units_minus1 = 14;
    DWORD width = 0, height = 0;
    BOOL cropping = TRUE;
    RECT rect{};
    parse(f)->GetPictureRect(&width, &height, &cropping, &rect);
    EXPECT_EQ(width, 320u);
    EXPECT_EQ(height, 240u);
    EXPECT_FALSE(cropping);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 320);
    EXPECT_EQ(rect.bottom, 240);
}

TEST(SpsPictureRect, CropsA1088LinePictureTo1080)
{
    SpsFields f;
    f.profile_idc = 77;
    f.level_idc = 40;
    f.pic_width_in_mbs_minus1 = 119;
    f.pic_height_in_map_units_minus1 = 67;
    f.frame_cropping_flag = true;
    f.frame_crop_bottom_offset = 4;
    DWORD width = 0, height = 0;
    BOOL cropping = FALSE;
    RECT rect{};
    parse(f)->GetPictureRect(&width, &height, &cropping, &rect);
    EXPECT_EQ(width, 1920u);
    EXPECT_EQ(height, 1088u);
    EXPECT_TRUE(cropping);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.right, 1920);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.bottom, 1080);
}

TEST(SpsPictureRect, CropsEverySideByTwoPixelsAnOffset)
{
    SpsFields f;
    f.frame_cropping_flag = true;
    f.frame_crop_left_offset = 1;
    f.frame_crop_right_offset = 3;
    f.frame_crop_top_offset = 5;
    f.frame_crop_bottom_offset = 7;
    RECT rect{};
    parse(f)->GetPictureRect(nullptr, nullptr, nullptr, &rect);
    EXPECT_EQ(rect.left, 2);
    EXPECT_EQ(rect.right, 176 - 6);
    EXPECT_EQ(rect.top, 10);
    EXPECT_EQ(rect.bottom, 144 - 14);
}

TEST(SpsEmulationPrevention, ParsesThePayloadWithoutTheInsertedBytesAndKeepsThemInTheCopy)
{
    // num_units_in_tick = 1 is written as 00 00 00 01 at a byte boundary or
    // not: either way two zero bytes are followed by a small byte.
    SpsFields f;
    VuiFields v;
    v.timing_info_present_flag = true;
    v.num_units_in_tick = 1;
    v.time_scale = 0x00000300;
    v.fixed_frame_rate_flag = true;
    f.vui = v;
    const auto nal = buildSps(f);
    const auto sps = parse(nal);
    ASSERT_NE(sps->GetVUI(), nullptr);
    EXPECT_EQ(sps->GetVUI()->m_num_units_in_tick, 1u);
    EXPECT_EQ(sps->GetVUI()->m_time_scale, 0x300u);
    EXPECT_EQ(sps->GetVUI()->m_fixed_frame_rate_flag, 1);
    EXPECT_EQ(std::vector<uint8_t>(sps->m_pData.get(), sps->m_pData.get() + sps->m_size), nal);
    // The set really holds emulation-prevention bytes.
    int inserted = 0;
    for (size_t i = 2; i < nal.size(); ++i)
        if (nal[i] == 3 && nal[i - 1] == 0 && nal[i - 2] == 0) ++inserted;
    EXPECT_GE(inserted, 1);
}

TEST(SpsTruncated, EveryShorterPrefixIsRefusedAsShort)
{
    SpsFields f;
    f.pic_order_cnt_type = 1;
    f.offset_for_ref_frame = {4, -4};
    f.frame_cropping_flag = true;
    f.frame_crop_right_offset = 2;
    VuiFields v;
    v.aspect_ratio_info_present_flag = true;
    v.aspect_ratio_idc = 255;
    v.sar_width = 4;
    v.sar_height = 3;
    v.video_signal_type_present_flag = true;
    v.colour_description_present_flag = true;
    v.chroma_loc_info_present_flag = true;
    v.timing_info_present_flag = true;
    v.write_tail = false;
    f.vui = v;
    f.trailing_bits = false; // the set ends with fixed_frame_rate_flag's byte
    const auto nal = buildSps(f);
    ASSERT_EQ(refusal(nal), "");
    for (size_t length = 1; length < nal.size(); ++length) {
        const std::vector<uint8_t> prefix(nal.begin(), nal.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_EQ(refusal(prefix), MyH264Refusal::kOutOfData) << "length " << length;
    }
}

TEST(SpsTruncated, AnEmptyUnitOrMissingBytesAreRefused)
{
    EXPECT_EQ(refusalOf([] { CMyH264SPS(0, nullptr); }), MyH264Refusal::kEmptyNalUnit);
    const BYTE header[] = {0x67};
    EXPECT_EQ(refusalOf([&] { CMyH264SPS(0, header); }), MyH264Refusal::kEmptyNalUnit);
    EXPECT_EQ(refusalOf([] { CMyH264SPS(5, nullptr); }), MyH264Refusal::kEmptyNalUnit);
    EXPECT_EQ(refusalOf([&] { CMyH264SPS(1, header); }), MyH264Refusal::kOutOfData);
}

TEST(SpsVui, SettingANewVuiReplacesTheOldOne)
{
    SpsFields f;
    f.vui = VuiFields{};
    auto sps = parse(f);
    ASSERT_NE(sps->GetVUI(), nullptr);
    auto replacement = std::make_unique<CMyH264VUI>();
    replacement->m_video_format = 1;
    const CMyH264VUI *expected = replacement.get();
    sps->SetVUI(std::move(replacement));
    EXPECT_EQ(sps->GetVUI(), expected);
    sps->SetVUI(nullptr);
    EXPECT_EQ(sps->GetVUI(), nullptr);
}

} // namespace
