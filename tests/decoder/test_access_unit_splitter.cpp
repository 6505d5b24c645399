// Where access units end: slice headers compared by the rules for the first
// slice of a new primary picture, and the non-picture units that open the
// next access unit.
#include "AccessUnitSplitter.h"
#include "SliceHeader.h"
#include "support/h264_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

struct SplitCase {
    const char *name;
    SpsFields sps;
    PpsFields pps;
    std::vector<std::pair<SliceFields, UnitRole>> slices; // after SPS and PPS
};

SliceFields Slice(void (*change)(SliceFields &))
{
    SliceFields f;
    change(f);
    return f;
}

SpsFields SpsOf(uint32_t pocType, bool frameMbsOnly = true)
{
    SpsFields f;
    f.pic_order_cnt_type = pocType;
    f.frame_mbs_only_flag = frameMbsOnly;
    return f;
}

PpsFields PpsOf(bool bottomFieldPoc, bool redundant)
{
    PpsFields f;
    f.pic_order_present_flag = bottomFieldPoc;
    f.redundant_pic_cnt_present_flag = redundant;
    return f;
}

class DecLibSliceRules : public testing::TestWithParam<SplitCase> {};

TEST_P(DecLibSliceRules, SlicesAreGroupedIntoPictures)
{
    const SplitCase &c = GetParam();
    ParameterSetTable sets;
    AccessUnitSplitter splitter;
    const auto sps = buildSps(c.sps);
    const auto pps = buildPps(c.pps);
    EXPECT_EQ(splitter.Classify(sps.data(), sps.size(), sets).role, A);
    EXPECT_EQ(splitter.Classify(pps.data(), pps.size(), sets).role, A);
    for (size_t i = 0; i < c.slices.size(); ++i) {
        const auto nal = buildSlice(c.slices[i].first, c.sps, c.pps);
        EXPECT_EQ(splitter.Classify(nal.data(), nal.size(), sets).role, c.slices[i].second) << "slice " << i;
    }
}

const SliceFields kIdr = Slice([](SliceFields &f) {
    f.nal_unit_type = 5;
    f.nal_ref_idc = 3;
    f.slice_type = 7;
});

SliceFields IdrWith(void (*change)(SliceFields &))
{
    SliceFields f = kIdr;
    change(f);
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DecLibSliceRules,
    testing::Values(SplitCase{"SecondSliceOfAPicture",
                              SpsOf(2),
                              PpsOf(false, false),
                              {{kIdr, A}, {IdrWith([](SliceFields &f) { f.first_mb_in_slice = 40; }), A}}},
                    SplitCase{"SliceAtMacroblockZeroStartsAPicture",
                              SpsOf(2),
                              PpsOf(false, false),
                              {{kIdr, A}, {IdrWith([](SliceFields &f) { f.first_mb_in_slice = 40; }), A}, {kIdr, N}}},
                    SplitCase{"FrameNumDiffers",
                              SpsOf(2),
                              PpsOf(false, false),
                              {{Slice([](SliceFields &f) { f.first_mb_in_slice = 5; }), A},
                               {Slice([](SliceFields &f) {
                                    f.first_mb_in_slice = 9;
                                    f.frame_num = 1;
                                }),
                                N}}},
                    SplitCase{"NalRefIdcBecomesZero",
                              SpsOf(0),
                              PpsOf(false, false),
                              {{Slice([](SliceFields &f) { f.first_mb_in_slice = 5; }), A},
                               {Slice([](SliceFields &f) {
                                    f.first_mb_in_slice = 9;
                                    f.nal_ref_idc = 0;
                                }),
                                N},
                               {Slice([](SliceFields &f) {
                                    f.first_mb_in_slice = 12;
                                    f.nal_ref_idc = 0;
                                }),
                                A}}},
                    SplitCase{"NalRefIdcChangesBetweenNonZeroValues",
                              SpsOf(0),
                              PpsOf(false, false),
                              {{Slice([](SliceFields &f) { f.first_mb_in_slice = 5; }), A},
                               {Slice([](SliceFields &f) {
                                    f.first_mb_in_slice = 9;
                                    f.nal_ref_idc = 1;
                                }),
                                A}}},
                    SplitCase{"OrderCountLsbDiffers",
                              SpsOf(0),
                              PpsOf(false, false),
                              {{Slice([](SliceFields &f) { f.first_mb_in_slice = 5; }), A},
                               {Slice([](SliceFields &f) {
                                    f.first_mb_in_slice = 9;
                                    f.pic_order_cnt_lsb = 2;
                                }),
                                N}}},
                    SplitCase{"DeltaOrderCountBottomDiffers",
                              SpsOf(0),
                              PpsOf(true, false),
                              {{Slice([](SliceFields &f) { f.first_mb_in_slice = 5; }), A},
                               {Slice([](SliceFields &f) {
                                    f.first_mb_in_slice = 9;
                                    f.delta_pic_order_cnt_bottom = -1;
                                }),
                                N}}},
                    SplitCase{"DeltaOrderCountOfType1Differs",
                              SpsOf(1),
                              PpsOf(true, false),
                              {{Slice([](SliceFields &f) { f.first_mb_in_slice = 5; }), A},
                               {Slice([](SliceFields &f) {
                                    f.first_mb_in_slice = 9;
                                    f.delta_pic_order_cnt[1] = 3;
                                }),
                                N}}},
                    SplitCase{"FieldOfTheOtherParity",
                              SpsOf(2, false),
                              PpsOf(false, false),
                              {{Slice([](SliceFields &f) {
                                    f.first_mb_in_slice = 5;
                                    f.field_pic_flag = true;
                                }),
                                A},
                               {Slice([](SliceFields &f) {
                                    f.first_mb_in_slice = 9;
                                    f.field_pic_flag = true;
                                    f.bottom_field_flag = true;
                                }),
                                N},
                               {Slice([](SliceFields &f) { f.first_mb_in_slice = 9; }), N}}},
                    SplitCase{"IdrAfterNonIdrAndIdrPicIdDiffers",
                              SpsOf(2),
                              PpsOf(false, false),
                              {{Slice([](SliceFields &f) { f.first_mb_in_slice = 5; }), A},
                               {IdrWith([](SliceFields &f) { f.first_mb_in_slice = 9; }), N},
                               {IdrWith([](SliceFields &f) {
                                    f.first_mb_in_slice = 12;
                                    f.idr_pic_id = 1;
                                }),
                                N}}},
                    SplitCase{"RedundantSliceStaysWithItsPrimary",
                              SpsOf(2),
                              PpsOf(false, true),
                              {{kIdr, A},
                               {IdrWith([](SliceFields &f) { f.redundant_pic_cnt = 1; }), A},
                               {Slice([](SliceFields &f) { f.frame_num = 1; }), N}}}),
    [](const auto &info) { return std::string(info.param.name); });

struct HeaderRefusal {
    const char *name;
    SliceFields slice;
};

class DecLibSliceHeaderRefused : public testing::TestWithParam<HeaderRefusal> {};

TEST_P(DecLibSliceHeaderRefused, IsCorrupt)
{
    ParameterSetTable sets;
    AccessUnitSplitter splitter;
    const SpsFields spsFields;
    const PpsFields ppsFields;
    const auto sps = buildSps(spsFields);
    const auto pps = buildPps(ppsFields);
    splitter.Classify(sps.data(), sps.size(), sets);
    splitter.Classify(pps.data(), pps.size(), sets);
    const auto nal = buildSlice(GetParam().slice, spsFields, ppsFields);
    EXPECT_EQ(splitter.Classify(nal.data(), nal.size(), sets).role, C);
    EXPECT_FALSE(splitter.HasPicture());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, DecLibSliceHeaderRefused,
    testing::Values(HeaderRefusal{"UnknownPps", Slice([](SliceFields &f) { f.pic_parameter_set_id = 4; })},
                    HeaderRefusal{"PpsIdBeyondTheTable", Slice([](SliceFields &f) { f.pic_parameter_set_id = 999; })},
                    HeaderRefusal{"SliceType10", Slice([](SliceFields &f) { f.slice_type = 10; })},
                    HeaderRefusal{"MacroblockBeyondThePicture",
                                  Slice([](SliceFields &f) { f.first_mb_in_slice = 99; })},
                    HeaderRefusal{"IdrWithAPSlice", IdrWith([](SliceFields &f) { f.slice_type = 5; })},
                    HeaderRefusal{"IdrThatIsNotAReference", IdrWith([](SliceFields &f) { f.nal_ref_idc = 0; })},
                    HeaderRefusal{"IdrPicIdAbove65535", IdrWith([](SliceFields &f) { f.idr_pic_id = 65536; })}),
    [](const auto &info) { return std::string(info.param.name); });

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
    std::vector<uint8_t> SliceNal(uint32_t frameNum)
    {
        SliceFields f;
        f.frame_num = frameNum;
        return buildSlice(f, m_sps, m_pps);
    }

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
    SliceFields f;
    f.first_mb_in_slice = 50;
    f.frame_num = 3;
    EXPECT_EQ(Role(buildSlice(f, m_sps, m_pps)), A);
}

TEST_F(DecLibSplitter, ParameterSetsAreStoredForTheSlicesAfterThem)
{
    PpsFields other;
    other.pic_parameter_set_id = 7;
    SliceFields f;
    f.pic_parameter_set_id = 7;
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
    PpsFields second;
    second.pic_parameter_set_id = 1;
    const auto pps = buildPps(second);
    EXPECT_EQ(Role(pps), A);
    SliceFields f;
    f.first_mb_in_slice = 5;
    EXPECT_EQ(Role(buildSlice(f, m_sps, m_pps)), A);
    f.first_mb_in_slice = 9;
    f.pic_parameter_set_id = 1;
    EXPECT_EQ(Role(buildSlice(f, m_sps, second)), N);
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
    SpsFields spsFields;
    spsFields.pic_order_cnt_type = 0;
    spsFields.log2_max_frame_num_minus4 = 2;
    PpsFields ppsFields;
    ppsFields.pic_order_present_flag = true;
    ppsFields.redundant_pic_cnt_present_flag = true;
    ParameterSetTable sets;
    const auto spsNal = buildSps(spsFields);
    const auto sps = ParseSequenceParameterSet(spsNal.data(), spsNal.size());
    const auto ppsNal = buildPps(ppsFields);
    const auto pps = ParsePictureParameterSet(ppsNal.data(), ppsNal.size());
    ASSERT_TRUE(sps && pps);
    sets.Store(*sps);
    sets.Store(*pps);
    SliceFields f = kIdr;
    f.first_mb_in_slice = 17;
    f.frame_num = 45;
    f.idr_pic_id = 300;
    f.pic_order_cnt_lsb = 40;
    f.delta_pic_order_cnt_bottom = -7;
    f.redundant_pic_cnt = 127;
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
