// CMyH264PPS: id limits, the CABAC refusal and short sets.
#include "MyH264/MyH264PPS.h"
#include "MyH264/MyH264Refusals.h"
#include "h264_builders.h"
#include "refusal.h"
#include "support/bit_writer.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

#include <memory>

using namespace orvex::test;

namespace {

std::unique_ptr<CMyH264PPS> parse(const std::vector<uint8_t> &nal)
{
    return std::make_unique<CMyH264PPS>(static_cast<WORD>(nal.size()), nal.data());
}

std::string refusal(const PpsFields &fields)
{
    const auto nal = buildPps(fields);
    return refusalOf([&] { parse(nal); });
}

TEST(Pps, StoresItsFieldsAndTheNalUnit)
{
    PpsFields f;
    f.pic_parameter_set_id = 200;
    f.seq_parameter_set_id = 30;
    f.pic_order_present_flag = true;
    f.num_slice_groups_minus1 = 3;
    const auto nal = buildPps(f);
    const auto pps = parse(nal);
    EXPECT_EQ(pps->m_size, nal.size());
    EXPECT_EQ(std::vector<uint8_t>(pps->m_pData.get(), pps->m_pData.get() + pps->m_size), nal);
    EXPECT_EQ(pps->m_pic_parameter_set_id, 200u);
    EXPECT_EQ(pps->m_seq_parameter_set_id, 30u);
    EXPECT_EQ(pps->m_entropy_coding_mode_flag, 0);
    EXPECT_EQ(pps->m_pic_order_present_flag, 1);
    EXPECT_EQ(pps->m_num_slice_groups_minus1, 3u);
}

struct PpsLimit {
    const char *name;
    uint32_t pic_parameter_set_id, seq_parameter_set_id;
    const char *refusal;
};

class PpsLimits : public ::testing::TestWithParam<PpsLimit> {};

TEST_P(PpsLimits, AcceptAtTheBoundAndRefuseBeyond)
{
    PpsFields f;
    f.pic_parameter_set_id = GetParam().pic_parameter_set_id;
    f.seq_parameter_set_id = GetParam().seq_parameter_set_id;
    EXPECT_EQ(refusal(f), GetParam().refusal);
}

INSTANTIATE_TEST_SUITE_P(Ids, PpsLimits,
                         ::testing::Values(PpsLimit{"pps_id_255", 255, 0, ""},
                                           PpsLimit{"pps_id_256", 256, 0, MyH264Refusal::kPpsId},
                                           PpsLimit{"pps_id_huge", 0xFFFFFFFE, 0, MyH264Refusal::kPpsId},
                                           PpsLimit{"sps_id_31", 0, 31, ""},
                                           PpsLimit{"sps_id_32", 0, 32, MyH264Refusal::kPpsSpsId},
                                           // The picture set id is checked first.
                                           PpsLimit{"both_out_of_range", 256, 32, MyH264Refusal::kPpsId}),
                         [](const ::testing::TestParamInfo<PpsLimit> &info) { return std::string(info.param.name); });

TEST(Pps, CabacIsTracedAndRefusedEvenWithValidIds)
{
    PpsFields f;
    f.pic_parameter_set_id = 1;
    f.seq_parameter_set_id = 1;
    f.entropy_coding_mode_flag = true;
    DebugCapture capture;
    EXPECT_EQ(refusal(f), MyH264Refusal::kCabac);
    EXPECT_EQ(capture.messages(), std::vector<std::string>{"m_entropy_coding_mode_flag is CABAC. \n"});
}

TEST(Pps, CabacIsCheckedAfterNumSliceGroups)
{
    // A CABAC set cut before num_slice_groups_minus1 is refused as short,
    // without the CABAC trace.
    const std::vector<uint8_t> nal = {0x68, 0b11100000}; // ids 0 and 0, CABAC, pic_order_present 0, then nothing
    DebugCapture capture;
    EXPECT_EQ(refusalOf([&] { parse(nal); }), MyH264Refusal::kOutOfData);
    EXPECT_FALSE(capture.contains("CABAC"));
}

TEST(Pps, EveryShorterPrefixIsRefusedAsShort)
{
    PpsFields f;
    f.pic_parameter_set_id = 100;
    f.seq_parameter_set_id = 20;
    f.num_slice_groups_minus1 = 7;
    // Only the fields the parser reads, to a whole byte.
    BitWriter w;
    w.ue(100).ue(20).flag(false).flag(false).ue(7);
    const auto nal = makeNalUnit(0x68, w.bytes());
    ASSERT_EQ(refusalOf([&] { parse(nal); }), "");
    for (size_t length = 0; length < nal.size(); ++length) {
        const std::vector<uint8_t> prefix(nal.begin(), nal.begin() + static_cast<std::ptrdiff_t>(length));
        const char *expected = length == 0 ? MyH264Refusal::kEmptyNalUnit : MyH264Refusal::kOutOfData;
        EXPECT_EQ(refusalOf([&] { CMyH264PPS(static_cast<WORD>(prefix.size()), prefix.data()); }), expected)
            << "length " << length;
    }
}

} // namespace
