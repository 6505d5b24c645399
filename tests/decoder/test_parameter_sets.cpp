// The SPS and PPS fields the decoder reads to find access units, from real
// encoder output and from built sets, and the refusal of bad ones.
#include "ParameterSets.h"
#include "declib_harness.h"
#include "support/h264_writer.h"

#include <gtest/gtest.h>

#include <sstream>

namespace declib_test {
namespace {

using namespace OrvexIPP::Detail;
using orvex::test::buildPps;
using orvex::test::buildSps;
using orvex::test::PpsFields;
using orvex::test::SpsFields;

std::string SpsSummary(const Nal &nal, size_t size)
{
    const auto s = ParseSequenceParameterSet(nal.data(), size);
    if (!s) return "refused";
    std::ostringstream out;
    out << "p" << s->profile_idc << " id" << s->seq_parameter_set_id << " c" << s->chroma_format_idc << " fn"
        << s->log2_max_frame_num << " poc" << s->pic_order_cnt_type << '/' << s->log2_max_pic_order_cnt_lsb << '/'
        << s->delta_pic_order_always_zero_flag << ' ' << s->pic_width_in_mbs << 'x' << s->pic_height_in_map_units
        << " frame" << s->frame_mbs_only_flag << ' ' << s->FrameSizeInMbs();
    return out.str();
}

std::string SpsSummary(const Nal &nal)
{
    return SpsSummary(nal, nal.size());
}

std::string PpsSummary(const Nal &nal, size_t size = SIZE_MAX)
{
    if (size == SIZE_MAX) size = nal.size();
    const auto p = ParsePictureParameterSet(nal.data(), size);
    if (!p) return "refused";
    std::ostringstream out;
    out << "pps" << p->pic_parameter_set_id << " sps" << p->seq_parameter_set_id << " cabac"
        << p->entropy_coding_mode_flag << " bottom" << p->bottom_field_pic_order_in_frame_present_flag << " redundant"
        << p->redundant_pic_cnt_present_flag;
    return out.str();
}

TEST(DecLibParameterSets, SequenceAndPictureParameterSets)
{
    const SpsFields wide{.seq_parameter_set_id = 31,
                         .log2_max_frame_num_minus4 = 12,
                         .log2_max_pic_order_cnt_lsb_minus4 = 12,
                         .delta_pic_order_always_zero_flag = true,
                         .offset_for_ref_frame = std::vector<int32_t>(255, 2),
                         .frame_mbs_only_flag = false};
    const auto poc = [&wide](uint32_t type) {
        SpsFields f = wide;
        f.pic_order_cnt_type = type;
        return buildSps(f);
    };
    const auto high = [](uint32_t chroma) {
        return buildSps({.profile_idc = 100,
                         .chroma_format_idc = chroma,
                         .scaling_matrix = true,
                         .log2_max_frame_num_minus4 = 5,
                         .pic_width_in_mbs_minus1 = 119,
                         .pic_height_in_map_units_minus1 = 67});
    };
    const auto header = [](uint8_t byte) {
        Nal n = buildSps({});
        n[0] = byte;
        return n;
    };
    const struct {
        Nal nal;
        const char *expected;
    } rows[] = {
        {LoadStream("baseline_176x144.h264").sps, "p66 id0 c1 fn4 poc2/4/0 11x9 frame1 99"},
        {LoadStream("main_cavlc_bframes_176x144.h264").sps, "p77 id0 c1 fn4 poc0/5/0 11x9 frame1 99"},
        {poc(0), "p66 id31 c1 fn16 poc0/16/0 11x9 frame0 198"},
        {poc(1), "p66 id31 c1 fn16 poc1/4/1 11x9 frame0 198"},
        {poc(2), "p66 id31 c1 fn16 poc2/4/0 11x9 frame0 198"},
        {high(0), "p100 id0 c0 fn9 poc2/4/0 120x68 frame1 8160"},
        {high(2), "p100 id0 c2 fn9 poc2/4/0 120x68 frame1 8160"},
        {high(3), "p100 id0 c3 fn9 poc2/4/0 120x68 frame1 8160"},
        {buildSps({.seq_parameter_set_id = 32}), "refused"},
        {buildSps({.log2_max_frame_num_minus4 = 13}), "refused"},
        {buildSps({.pic_order_cnt_type = 3}), "refused"},
        {buildSps({.pic_order_cnt_type = 0, .log2_max_pic_order_cnt_lsb_minus4 = 13}), "refused"},
        {buildSps({.pic_order_cnt_type = 1, .offset_for_ref_frame = std::vector<int32_t>(256, 2)}), "refused"},
        {buildSps({.profile_idc = 100, .chroma_format_idc = 4}), "refused"},
        {buildSps({.pic_width_in_mbs_minus1 = 1024}), "refused"}, // wider than 16384
        {buildSps({.pic_height_in_map_units_minus1 = 512, .frame_mbs_only_flag = false}), "refused"},
        {header(0x68), "refused"}, // a PPS
        {header(0xE7), "refused"}, // the forbidden bit
    };
    for (const auto &row : rows)
        EXPECT_EQ(SpsSummary(row.nal), row.expected);
    // The last byte holds frame_mbs_only_flag and what follows it; every
    // shorter unit ends before the fields are complete.
    const Nal sps = buildSps({});
    for (size_t size = 0; size + 1 < sps.size(); ++size)
        EXPECT_EQ(SpsSummary(sps, size), "refused") << size;

    for (uint32_t type = 0; type <= 6; ++type)
        EXPECT_EQ(PpsSummary(buildPps({.pic_parameter_set_id = 255,
                                       .seq_parameter_set_id = 31,
                                       .pic_order_present_flag = true,
                                       .num_slice_groups_minus1 = 7,
                                       .slice_group_map_type = type,
                                       .redundant_pic_cnt_present_flag = true})),
                  "pps255 sps31 cabac0 bottom1 redundant1")
            << "map type " << type;
    EXPECT_EQ(PpsSummary(LoadStream("main_cavlc_320x240.h264").pps), "pps0 sps0 cabac0 bottom0 redundant0");
    for (const PpsFields &refused :
         {PpsFields{.pic_parameter_set_id = 256}, PpsFields{.seq_parameter_set_id = 32},
          PpsFields{.num_slice_groups_minus1 = 8}, PpsFields{.num_slice_groups_minus1 = 1, .slice_group_map_type = 7}})
        EXPECT_EQ(PpsSummary(buildPps(refused)), "refused");
    const Nal pps = buildPps({});
    for (size_t size = 0; size + 1 < pps.size(); ++size)
        EXPECT_EQ(PpsSummary(pps, size), "refused") << size;
}

} // namespace
} // namespace declib_test
