// Where access units end: slice headers compared by the rules for the first
// slice of a new primary picture, and the non-picture units that open the
// next access unit.
#include "AccessUnitSplitter.h"
#include "SliceHeader.h"
#include "support/h264_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// GCC 12 at -O3 takes the vectors inside the designated initialisers of the
// row table below for uninitialised (a known false positive).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace declib_test {
namespace {

using namespace OrvexIPP::Detail;
using namespace orvex::test;

constexpr UnitRole A = UnitRole::Append;
constexpr UnitRole N = UnitRole::StartsNext;
constexpr UnitRole S = UnitRole::Skip;
constexpr UnitRole C = UnitRole::Corrupt;

struct Step {
    std::vector<uint8_t> nal;
    UnitRole role;
};

// An IDR I slice unless the fields say otherwise.
SliceFields Idr(SliceFields f)
{
    f.nal_unit_type = 5;
    if (f.nal_ref_idc == 2) f.nal_ref_idc = 3;
    if (f.slice_type == 5) f.slice_type = 7;
    return f;
}

TEST(DecLibSliceRules, SlicesAreGroupedIntoPictures)
{
    const SpsFields poc0{.pic_order_cnt_type = 0}, poc1{.pic_order_cnt_type = 1}, fields{.frame_mbs_only_flag = false};
    const PpsFields bottom{.pic_order_present_flag = true}, redundant{.redundant_pic_cnt_present_flag = true};
    const struct {
        const char *name;
        SpsFields sps;
        PpsFields pps;
        std::vector<std::pair<SliceFields, UnitRole>> slices; // after SPS and PPS
    } rows[] = {
        {"second slice of a picture", {}, {}, {{Idr({}), A}, {Idr({.first_mb_in_slice = 40}), A}}},
        {"slice at macroblock 0", {}, {}, {{Idr({}), A}, {Idr({.first_mb_in_slice = 40}), A}, {Idr({}), N}}},
        {"frame_num differs", {}, {}, {{{.first_mb_in_slice = 5}, A}, {{.first_mb_in_slice = 9, .frame_num = 1}, N}}},
        {"nal_ref_idc becomes 0",
         poc0,
         {},
         {{{.first_mb_in_slice = 5}, A},
          {{.nal_ref_idc = 0, .first_mb_in_slice = 9}, N},
          {{.nal_ref_idc = 0, .first_mb_in_slice = 12}, A}}},
        {"nal_ref_idc between non-zero values",
         poc0,
         {},
         {{{.first_mb_in_slice = 5}, A}, {{.nal_ref_idc = 1, .first_mb_in_slice = 9}, A}}},
        {"pic_order_cnt_lsb differs",
         poc0,
         {},
         {{{.first_mb_in_slice = 5}, A}, {{.first_mb_in_slice = 9, .pic_order_cnt_lsb = 2}, N}}},
        {"delta_pic_order_cnt_bottom differs",
         poc0,
         bottom,
         {{{.first_mb_in_slice = 5}, A}, {{.first_mb_in_slice = 9, .delta_pic_order_cnt_bottom = -1}, N}}},
        {"delta_pic_order_cnt of type 1 differs",
         poc1,
         bottom,
         {{{.first_mb_in_slice = 5}, A}, {{.first_mb_in_slice = 9, .delta_pic_order_cnt = {0, 3}}, N}}},
        {"field of the other parity",
         fields,
         {},
         {{{.first_mb_in_slice = 5, .field_pic_flag = true}, A},
          {{.first_mb_in_slice = 9, .field_pic_flag = true, .bottom_field_flag = true}, N},
          {{.first_mb_in_slice = 9}, N}}},
        {"IDR after non-IDR, then another idr_pic_id",
         {},
         {},
         {{{.first_mb_in_slice = 5}, A},
          {Idr({.first_mb_in_slice = 9}), N},
          {Idr({.first_mb_in_slice = 12, .idr_pic_id = 1}), N}}},
        {"redundant slice stays with its primary",
         {},
         redundant,
         {{Idr({}), A}, {Idr({.redundant_pic_cnt = 1}), A}, {{.frame_num = 1}, N}}},
    };
    for (const auto &row : rows) {
        ParameterSetTable sets;
        AccessUnitSplitter splitter;
        const auto sps = buildSps(row.sps);
        const auto pps = buildPps(row.pps);
        EXPECT_EQ(splitter.Classify(sps.data(), sps.size(), sets).role, A);
        EXPECT_EQ(splitter.Classify(pps.data(), pps.size(), sets).role, A);
        for (size_t i = 0; i < row.slices.size(); ++i) {
            const auto nal = buildSlice(row.slices[i].first, row.sps, row.pps);
            EXPECT_EQ(splitter.Classify(nal.data(), nal.size(), sets).role, row.slices[i].second)
                << row.name << ", slice " << i;
        }
    }
}

TEST(DecLibSliceRules, HeadersOutOfRangeAreCorrupt)
{
    const SliceFields rows[] = {
        {.pic_parameter_set_id = 4},   // unknown PPS
        {.pic_parameter_set_id = 999}, // beyond the table
        {.slice_type = 10},
        {.first_mb_in_slice = 99}, // beyond the picture
        Idr({.slice_type = 0}),    // an IDR P slice
        Idr({.nal_ref_idc = 0}),   // an IDR that is no reference
        Idr({.idr_pic_id = 65536}),
    };
    for (const SliceFields &slice : rows) {
        ParameterSetTable sets;
        AccessUnitSplitter splitter;
        const auto sps = buildSps({});
        const auto pps = buildPps({});
        splitter.Classify(sps.data(), sps.size(), sets);
        splitter.Classify(pps.data(), pps.size(), sets);
        const auto nal = buildSlice(slice, {}, {});
        EXPECT_EQ(splitter.Classify(nal.data(), nal.size(), sets).role, C);
        EXPECT_FALSE(splitter.HasPicture());
    }
}

class DecLibSplitter : public testing::Test {
protected:
    void SetUp() override
    {
        const auto sps = buildSps(m_sps);
        const auto pps = buildPps(m_pps);
        m_splitter.Classify(sps.data(), sps.size(), m_sets);
        m_splitter.Classify(pps.data(), pps.size(), m_sets);
    }
    UnitRole Role(const std::vector<uint8_t> &nal) { return m_splitter.Classify(nal.data(), nal.size(), m_sets).role; }
    std::vector<uint8_t> SliceNal(uint32_t frameNum) { return buildSlice({.frame_num = frameNum}, m_sps, m_pps); }

    SpsFields m_sps;
    PpsFields m_pps;
    ParameterSetTable m_sets;
    AccessUnitSplitter m_splitter;
};

TEST_F(DecLibSplitter, UnitsBeforeTheFirstPictureJoinIt)
{
    EXPECT_FALSE(m_splitter.HasPicture());
    EXPECT_EQ(Role({0x06, 0x05, 0x01, 0x80}), A); // SEI
    EXPECT_EQ(Role({0x09, 0xF0}), A);             // access unit delimiter
    EXPECT_EQ(Role(SliceNal(0)), A);
    EXPECT_TRUE(m_splitter.HasPicture());
}

TEST_F(DecLibSplitter, NonPictureUnitsAfterAPictureStartTheNextAccessUnit)
{
    const std::vector<std::vector<uint8_t>> openers{{0x06, 0x05, 0x01, 0x80},
                                                    {0x09, 0xF0},
                                                    buildSps(m_sps),
                                                    buildPps(m_pps),
                                                    {0x0E, 0x80},
                                                    {0x0F, 0x80},
                                                    {0x10, 0x80},
                                                    {0x11, 0x80},
                                                    {0x12, 0x80}};
    for (size_t i = 0; i < openers.size(); ++i) {
        EXPECT_EQ(Role(SliceNal(0)), A);
        EXPECT_EQ(Role(openers[i]), N) << "unit type " << (openers[i][0] & 0x1F);
        EXPECT_FALSE(m_splitter.HasPicture());
        // More of them stay in that access unit.
        EXPECT_EQ(Role({0x06, 0x05, 0x01, 0x80}), A);
    }
}

TEST_F(DecLibSplitter, TrailingUnitsStayWithThePicture)
{
    EXPECT_EQ(Role(SliceNal(0)), A);
    for (uint8_t header : {0x03, 0x04, 0x0A, 0x0B, 0x0C, 0x0D, 0x13, 0x14, 0x00, 0x18, 0x1F})
        EXPECT_EQ(Role({header, 0x80}), A) << "unit type " << int(header);
    EXPECT_TRUE(m_splitter.HasPicture());
    EXPECT_EQ(Role(SliceNal(1)), N);
}

TEST_F(DecLibSplitter, EmptyUnitsAreSkippedAndLeaveTheStateAlone)
{
    EXPECT_EQ(Role(SliceNal(0)), A);
    EXPECT_EQ(m_splitter.Classify(nullptr, 0, m_sets).role, S);
    EXPECT_TRUE(m_splitter.HasPicture());
    EXPECT_EQ(Role(SliceNal(0)), N); // macroblock 0 again
}

TEST_F(DecLibSplitter, CorruptUnitsLeaveTheStateAlone)
{
    EXPECT_EQ(Role(SliceNal(3)), A);
    EXPECT_EQ(Role({0x85, 0x88}), C);             // forbidden bit
    EXPECT_EQ(Role({0x67, 0x42}), C);             // SPS cut short
    EXPECT_EQ(Role({0x68}), C);                   // PPS without payload
    EXPECT_EQ(Role({0x41}), C);                   // slice without payload
    EXPECT_EQ(Role({0x41, 0x00, 0x00, 0x00}), C); // ue(v) that never ends
    EXPECT_TRUE(m_splitter.HasPicture());
    EXPECT_EQ(Role(buildSlice({.first_mb_in_slice = 50, .frame_num = 3}, m_sps, m_pps)), A);
}

TEST_F(DecLibSplitter, ParameterSetsAreStoredForTheSlicesAfterThem)
{
    const PpsFields other{.pic_parameter_set_id = 7};
    const SliceFields f{.pic_parameter_set_id = 7};
    EXPECT_EQ(Role(buildSlice(f, m_sps, other)), C);
    const auto pps = buildPps(other);
    const UnitInfo info = m_splitter.Classify(pps.data(), pps.size(), m_sets);
    EXPECT_EQ(info.role, A);
    EXPECT_EQ(info.type, 8u);
    EXPECT_EQ(info.parameterSetId, 7u);
    EXPECT_EQ(Role(buildSlice(f, m_sps, other)), A);
}

TEST_F(DecLibSplitter, AnotherPpsIdStartsAPicture)
{
    const PpsFields second{.pic_parameter_set_id = 1};
    EXPECT_EQ(Role(buildPps(second)), A);
    EXPECT_EQ(Role(buildSlice({.first_mb_in_slice = 5}, m_sps, m_pps)), A);
    EXPECT_EQ(Role(buildSlice({.first_mb_in_slice = 9, .pic_parameter_set_id = 1}, m_sps, second)), N);
}

TEST_F(DecLibSplitter, RestartForgetsThePicture)
{
    EXPECT_EQ(Role(SliceNal(0)), A);
    m_splitter.Restart();
    EXPECT_EQ(Role({0x06, 0x05, 0x01, 0x80}), A);
    EXPECT_EQ(Role(SliceNal(0)), A);
}

TEST(DecLibSliceHeader, ReadsTheFieldsOfAnEncodersSlice)
{
    const SpsFields spsFields{.log2_max_frame_num_minus4 = 2, .pic_order_cnt_type = 0};
    const PpsFields ppsFields{.pic_order_present_flag = true, .redundant_pic_cnt_present_flag = true};
    ParameterSetTable sets;
    const auto spsNal = buildSps(spsFields);
    const auto sps = ParseSequenceParameterSet(spsNal.data(), spsNal.size());
    const auto ppsNal = buildPps(ppsFields);
    const auto pps = ParsePictureParameterSet(ppsNal.data(), ppsNal.size());
    ASSERT_TRUE(sps && pps);
    sets.Store(*sps);
    sets.Store(*pps);
    SliceFields f = Idr({.first_mb_in_slice = 17,
                         .frame_num = 45,
                         .idr_pic_id = 300,
                         .pic_order_cnt_lsb = 40,
                         .delta_pic_order_cnt_bottom = -7,
                         .redundant_pic_cnt = 127});
    const auto nal = buildSlice(f, spsFields, ppsFields);
    const auto sh = ParseSliceHeader(nal.data(), nal.size(), sets);
    ASSERT_TRUE(sh);
    EXPECT_EQ(sh->first_mb_in_slice, 17u);
    EXPECT_EQ(sh->slice_type, 7u);
    EXPECT_EQ(sh->frame_num, 45u);
    EXPECT_EQ(sh->idr_pic_id, 300u);
    EXPECT_EQ(sh->pic_order_cnt_lsb, 40u);
    EXPECT_EQ(sh->delta_pic_order_cnt_bottom, -7);
    EXPECT_EQ(sh->redundant_pic_cnt, 127u);
    EXPECT_TRUE(sh->IdrPicFlag());
    EXPECT_EQ(sh->nal_ref_idc, 3u);

    f.redundant_pic_cnt = 128;
    const auto bad = buildSlice(f, spsFields, ppsFields);
    EXPECT_FALSE(ParseSliceHeader(bad.data(), bad.size(), sets));
}

} // namespace
} // namespace declib_test
