// The SPS and PPS fields the decoder reads to find access units, from real
// encoder output and from built sets, and the refusal of bad ones.
#include "ParameterSets.h"
#include "annexb_stream.h"
#include "bit_writer.h"

#include <gtest/gtest.h>

namespace declib_test {
namespace {

using namespace OrvexIPP::Detail;

TEST(DecLibSequenceParameterSet, ReadsAnEncodersBaselineSet)
{
    const AnnexBStream stream = LoadStream("baseline_176x144.h264");
    const auto sps = ParseSequenceParameterSet(stream.sps.data(), stream.sps.size());
    ASSERT_TRUE(sps);
    EXPECT_EQ(sps->profile_idc, 66u);
    EXPECT_EQ(sps->seq_parameter_set_id, 0u);
    EXPECT_EQ(sps->pic_width_in_mbs, 11u);
    EXPECT_EQ(sps->pic_height_in_map_units, 9u);
    EXPECT_TRUE(sps->frame_mbs_only_flag);
    EXPECT_EQ(sps->FrameSizeInMbs(), 99u);
}

TEST(DecLibSequenceParameterSet, ReadsAMainSetWithPictureOrderCountType0)
{
    const AnnexBStream stream = LoadStream("main_cavlc_bframes_176x144.h264");
    const auto sps = ParseSequenceParameterSet(stream.sps.data(), stream.sps.size());
    ASSERT_TRUE(sps);
    EXPECT_EQ(sps->profile_idc, 77u);
    EXPECT_EQ(sps->pic_order_cnt_type, 0u);
    EXPECT_GE(sps->log2_max_pic_order_cnt_lsb, 4u);
}

TEST(DecLibSequenceParameterSet, ReadsBuiltSetsOfEveryOrderCountType)
{
    for (uint32_t type = 0; type <= 2; ++type) {
        SpsFields f;
        f.seq_parameter_set_id = 31;
        f.pic_order_cnt_type = type;
        f.log2_max_frame_num_minus4 = 12;
        f.log2_max_pic_order_cnt_lsb_minus4 = 12;
        f.delta_pic_order_always_zero_flag = true;
        f.num_ref_frames_in_pic_order_cnt_cycle = 255;
        f.frame_mbs_only_flag = false;
        const auto nal = MakeSps(f);
        const auto sps = ParseSequenceParameterSet(nal.data(), nal.size());
        ASSERT_TRUE(sps) << "type " << type;
        EXPECT_EQ(sps->seq_parameter_set_id, 31u);
        EXPECT_EQ(sps->pic_order_cnt_type, type);
        EXPECT_EQ(sps->log2_max_frame_num, 16u);
        if (type == 0) {
            EXPECT_EQ(sps->log2_max_pic_order_cnt_lsb, 16u);
        }
        if (type == 1) {
            EXPECT_TRUE(sps->delta_pic_order_always_zero_flag);
        }
        EXPECT_FALSE(sps->frame_mbs_only_flag);
        EXPECT_EQ(sps->FrameSizeInMbs(), 11u * 9u * 2u);
    }
}

TEST(DecLibSequenceParameterSet, ReadsPastHighProfileChromaAndScalingLists)
{
    for (uint32_t chroma : {0u, 1u, 2u, 3u}) {
        SpsFields f;
        f.profile_idc = 100;
        f.chroma_format_idc = chroma;
        f.scaling_matrix = true;
        f.log2_max_frame_num_minus4 = 5;
        f.pic_width_in_mbs_minus1 = 119;
        f.pic_height_in_map_units_minus1 = 67;
        const auto nal = MakeSps(f);
        const auto sps = ParseSequenceParameterSet(nal.data(), nal.size());
        ASSERT_TRUE(sps) << "chroma_format_idc " << chroma;
        EXPECT_EQ(sps->chroma_format_idc, chroma);
        EXPECT_EQ(sps->log2_max_frame_num, 9u);
        EXPECT_EQ(sps->pic_width_in_mbs, 120u);
        EXPECT_EQ(sps->pic_height_in_map_units, 68u);
    }
}

struct SpsRefusal {
    const char *name;
    SpsFields fields;
};

SpsFields With(void (*change)(SpsFields &))
{
    SpsFields f;
    change(f);
    return f;
}

class DecLibSpsRefused : public testing::TestWithParam<SpsRefusal> {};

TEST_P(DecLibSpsRefused, OutOfRangeFieldsAreRefused)
{
    const auto nal = MakeSps(GetParam().fields);
    EXPECT_FALSE(ParseSequenceParameterSet(nal.data(), nal.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, DecLibSpsRefused,
    testing::Values(SpsRefusal{"SpsId32", With([](SpsFields &f) { f.seq_parameter_set_id = 32; })},
                    SpsRefusal{"FrameNumBits17", With([](SpsFields &f) { f.log2_max_frame_num_minus4 = 13; })},
                    SpsRefusal{"OrderCountType3", With([](SpsFields &f) { f.pic_order_cnt_type = 3; })},
                    SpsRefusal{"LsbBits17", With([](SpsFields &f) { f.log2_max_pic_order_cnt_lsb_minus4 = 13; })},
                    SpsRefusal{"CycleOf256", With([](SpsFields &f) {
                                   f.pic_order_cnt_type = 1;
                                   f.num_ref_frames_in_pic_order_cnt_cycle = 256;
                               })},
                    SpsRefusal{"ChromaFormat4", With([](SpsFields &f) {
                                   f.profile_idc = 100;
                                   f.chroma_format_idc = 4;
                               })},
                    SpsRefusal{"WiderThan16384", With([](SpsFields &f) { f.pic_width_in_mbs_minus1 = 1024; })},
                    SpsRefusal{"TallerThan16384", With([](SpsFields &f) {
                                   f.frame_mbs_only_flag = false;
                                   f.pic_height_in_map_units_minus1 = 512;
                               })}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(DecLibSequenceParameterSet, EveryTruncationIsRefused)
{
    const auto nal = MakeSps(SpsFields{});
    // The last byte holds frame_mbs_only_flag and what follows it; every
    // shorter unit ends before the fields are complete.
    for (size_t size = 0; size + 1 < nal.size(); ++size)
        EXPECT_FALSE(ParseSequenceParameterSet(nal.data(), size)) << "size " << size;
}

TEST(DecLibSequenceParameterSet, OtherUnitsAndTheForbiddenBitAreRefused)
{
    auto nal = MakeSps(SpsFields{});
    nal[0] = 0x68;
    EXPECT_FALSE(ParseSequenceParameterSet(nal.data(), nal.size()));
    nal[0] = 0x67 | 0x80;
    EXPECT_FALSE(ParseSequenceParameterSet(nal.data(), nal.size()));
}

TEST(DecLibPictureParameterSet, ReadsAnEncodersSet)
{
    const AnnexBStream stream = LoadStream("main_cavlc_320x240.h264");
    const auto pps = ParsePictureParameterSet(stream.pps.data(), stream.pps.size());
    ASSERT_TRUE(pps);
    EXPECT_EQ(pps->pic_parameter_set_id, 0u);
    EXPECT_EQ(pps->seq_parameter_set_id, 0u);
    EXPECT_FALSE(pps->entropy_coding_mode_flag);
    EXPECT_FALSE(pps->redundant_pic_cnt_present_flag);
}

TEST(DecLibPictureParameterSet, ReadsPastEverySliceGroupMapType)
{
    for (uint32_t type = 0; type <= 6; ++type) {
        PpsFields f;
        f.pic_parameter_set_id = 255;
        f.seq_parameter_set_id = 31;
        f.num_slice_groups_minus1 = 7;
        f.slice_group_map_type = type;
        f.bottom_field_pic_order_in_frame_present_flag = true;
        f.redundant_pic_cnt_present_flag = true;
        const auto nal = MakePps(f);
        const auto pps = ParsePictureParameterSet(nal.data(), nal.size());
        ASSERT_TRUE(pps) << "map type " << type;
        EXPECT_EQ(pps->pic_parameter_set_id, 255u);
        EXPECT_EQ(pps->seq_parameter_set_id, 31u);
        EXPECT_TRUE(pps->bottom_field_pic_order_in_frame_present_flag);
        EXPECT_TRUE(pps->redundant_pic_cnt_present_flag) << "map type " << type;
    }
}

TEST(DecLibPictureParameterSet, OutOfRangeFieldsAndTruncationsAreRefused)
{
    auto refused = [](const PpsFields &f) {
        const auto nal = MakePps(f);
        return !ParsePictureParameterSet(nal.data(), nal.size());
    };
    PpsFields f;
    f.pic_parameter_set_id = 256;
    EXPECT_TRUE(refused(f));
    f = PpsFields{};
    f.seq_parameter_set_id = 32;
    EXPECT_TRUE(refused(f));
    f = PpsFields{};
    f.num_slice_groups_minus1 = 8;
    EXPECT_TRUE(refused(f));
    f = PpsFields{};
    f.num_slice_groups_minus1 = 1;
    f.slice_group_map_type = 7;
    EXPECT_TRUE(refused(f));

    const auto nal = MakePps(PpsFields{});
    for (size_t size = 0; size + 1 < nal.size(); ++size)
        EXPECT_FALSE(ParsePictureParameterSet(nal.data(), size)) << "size " << size;
}

TEST(DecLibParameterSetTable, StoresByIdAndReplaces)
{
    ParameterSetTable table;
    EXPECT_EQ(table.Sps(0), nullptr);
    EXPECT_EQ(table.Pps(300), nullptr);
    SequenceParameterSet sps;
    sps.seq_parameter_set_id = 3;
    sps.log2_max_frame_num = 5;
    table.Store(sps);
    sps.log2_max_frame_num = 7;
    table.Store(sps);
    ASSERT_NE(table.Sps(3), nullptr);
    EXPECT_EQ(table.Sps(3)->log2_max_frame_num, 7u);
    EXPECT_EQ(table.Sps(32), nullptr);
    table.Clear();
    EXPECT_EQ(table.Sps(3), nullptr);
}

} // namespace
} // namespace declib_test
