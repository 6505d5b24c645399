// CMyAVCConfiguration over bytes: the header checks in their order, the
// parameter set lists, the record-level checks and the bounds of the buffer.
#include "MyH264/MyAVCConfiguration.h"
#include "MyH264/MyH264Refusals.h"
#include "h264_builders.h"
#include "refusal.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

#include <memory>

using namespace orvex::test;

namespace {

std::unique_ptr<CMyAVCConfiguration> parse(const std::vector<uint8_t> &atom)
{
    return std::make_unique<CMyAVCConfiguration>(atom.data(), static_cast<DWORD>(atom.size()));
}

std::string refusal(const std::vector<uint8_t> &atom)
{
    return refusalOf([&] { parse(atom); });
}

AvcCFields oneOfEach()
{
    AvcCFields f;
    f.sps.push_back(buildSps(SpsFields{}));
    f.pps.push_back(buildPps(PpsFields{}));
    return f;
}

TEST(AvcConfiguration, StoresTheHeaderAndOwnsOneSpsAndOnePps)
{
    SpsFields sps;
    sps.profile_idc = 77;
    sps.seq_parameter_set_id = 3;
    PpsFields pps;
    pps.pic_parameter_set_id = 9;
    pps.seq_parameter_set_id = 3;
    AvcCFields f;
    f.AVCProfileIndication = 77;
    f.profile_compatibility = 0x40;
    f.AVCLevelIndication = 31;
    f.byte12 = 0xFD;
    f.sps.push_back(buildSps(sps));
    f.pps.push_back(buildPps(pps));
    const auto record = parse(buildAvcC(f));

    EXPECT_EQ(record->m_AVCProfileIndication, 77);
    EXPECT_EQ(record->m_profile_compatibility, 0x40);
    EXPECT_EQ(record->m_AVCLevelIndication, 31);
    EXPECT_EQ(record->m_lengthSizeMinusOne, 1);
    EXPECT_EQ(record->m_numOfSequenceParameterSets, 1);
    EXPECT_EQ(record->m_numOfPictureParameterSets, 1);
    ASSERT_EQ(record->m_SPSs.size(), 1u);
    ASSERT_EQ(record->m_PPSs.size(), 1u);
    EXPECT_EQ(record->GetSPS().m_profile_idc, 77);
    EXPECT_EQ(record->GetSPS().m_seq_parameter_set_id, 3u);
    EXPECT_EQ(record->GetPPS().m_pic_parameter_set_id, 9u);
    EXPECT_EQ(
        std::vector<uint8_t>(record->GetSPS().m_pData.get(), record->GetSPS().m_pData.get() + record->GetSPS().m_size),
        f.sps[0]);
    EXPECT_EQ(
        std::vector<uint8_t>(record->GetPPS().m_pData.get(), record->GetPPS().m_pData.get() + record->GetPPS().m_size),
        f.pps[0]);
}

TEST(AvcConfiguration, ReservedBitsAllSetPass)
{
    auto f = oneOfEach();
    f.byte12 = 0xFF;          // lengthSizeMinusOne 3
    f.byte13_reserved = 0xE0; // with one SPS: 0xE1
    const auto atom = buildAvcC(f);
    ASSERT_EQ(atom[12], 0xFF);
    ASSERT_EQ(atom[13], 0xE1);
    EXPECT_EQ(parse(atom)->m_lengthSizeMinusOne, 3);
}

struct RecordCase {
    const char *name;
    void (*change)(AvcCFields &);
    const char *refusal;
};

class RecordChecks : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RecordChecks, RefuseWithTheirText)
{
    auto f = oneOfEach();
    GetParam().change(f);
    EXPECT_EQ(refusal(buildAvcC(f)), GetParam().refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Header, RecordChecks,
    ::testing::Values(
        RecordCase{"not_avcC", [](AvcCFields &f) { f.atomFormat = 0x61766331; }, MyH264Refusal::kAtomFormat},
        // The type is looked at before the size.
        RecordCase{"not_avcC_and_too_small",
                   [](AvcCFields &f) {
                       f.atomFormat = 0x70617370;
                       f.atomSize = 8;
                   },
                   MyH264Refusal::kAtomFormat},
        RecordCase{"size_14", [](AvcCFields &f) { f.atomSize = 14; }, MyH264Refusal::kAtomSize},
        RecordCase{"size_15", [](AvcCFields &f) { f.atomSize = 15; }, ""},
        RecordCase{"size_negative", [](AvcCFields &f) { f.atomSize = -1; }, MyH264Refusal::kAtomSize},
        RecordCase{"version_0", [](AvcCFields &f) { f.configurationVersion = 0; }, MyH264Refusal::kVersion},
        RecordCase{"version_2", [](AvcCFields &f) { f.configurationVersion = 2; }, MyH264Refusal::kVersion},
        RecordCase{"byte12_03", [](AvcCFields &f) { f.byte12 = 0x03; }, MyH264Refusal::kLengthSizeReserved},
        RecordCase{"byte12_7F", [](AvcCFields &f) { f.byte12 = 0x7F; }, MyH264Refusal::kLengthSizeReserved},
        RecordCase{"byte12_FB", [](AvcCFields &f) { f.byte12 = 0xFB; }, MyH264Refusal::kLengthSizeReserved},
        RecordCase{"byte13_01", [](AvcCFields &f) { f.byte13_reserved = 0x00; }, MyH264Refusal::kSpsCountReserved},
        RecordCase{"byte13_C1", [](AvcCFields &f) { f.byte13_reserved = 0xC0; }, MyH264Refusal::kSpsCountReserved}),
    [](const ::testing::TestParamInfo<RecordCase> &info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Lists, RecordChecks,
    ::testing::Values(RecordCase{"no_sps", [](AvcCFields &f) { f.sps.clear(); }, MyH264Refusal::kSpsCount},
                      RecordCase{"two_sps", [](AvcCFields &f) { f.sps.push_back(f.sps[0]); }, MyH264Refusal::kSpsCount},
                      RecordCase{"no_pps", [](AvcCFields &f) { f.pps.clear(); }, MyH264Refusal::kPpsCount},
                      RecordCase{"two_pps", [](AvcCFields &f) { f.pps.push_back(f.pps[0]); }, MyH264Refusal::kPpsCount},
                      RecordCase{"sps_ids_differ",
                                 [](AvcCFields &f) {
                                     PpsFields pps;
                                     pps.seq_parameter_set_id = 1;
                                     f.pps[0] = buildPps(pps);
                                 },
                                 MyH264Refusal::kSpsIdMismatch},
                      RecordCase{"main_profile_cabac",
                                 [](AvcCFields &f) {
                                     SpsFields sps;
                                     sps.profile_idc = 77;
                                     f.sps[0] = buildSps(sps);
                                     PpsFields pps;
                                     pps.entropy_coding_mode_flag = true;
                                     f.pps[0] = buildPps(pps);
                                 },
                                 MyH264Refusal::kCabac},
                      RecordCase{"high_profile_sps",
                                 [](AvcCFields &f) {
                                     SpsFields sps;
                                     sps.profile_idc = 100;
                                     f.sps[0] = buildSps(sps);
                                 },
                                 MyH264Refusal::kProfile},
                      RecordCase{"empty_sps", [](AvcCFields &f) { f.sps[0].clear(); }, MyH264Refusal::kEmptyNalUnit}),
    [](const ::testing::TestParamInfo<RecordCase> &info) { return std::string(info.param.name); });

TEST(AvcConfiguration, AParameterSetRefusalEndsTheParseAndFreesWhatWasBuilt)
{
    // Two SPS of which the second is refused: the first must not leak (the
    // sanitizer build checks) and the refusal is the SPS's own.
    auto f = oneOfEach();
    SpsFields bad;
    bad.log2_max_frame_num_minus4 = 13;
    f.sps.push_back(buildSps(bad));
    EXPECT_EQ(refusal(buildAvcC(f)), MyH264Refusal::kLog2MaxFrameNum);
}

TEST(AvcConfiguration, NoRecordLevelRefusalIsTraced)
{
    auto f = oneOfEach();
    f.pps.push_back(f.pps[0]);
    DebugCapture capture;
    EXPECT_EQ(refusal(buildAvcC(f)), MyH264Refusal::kPpsCount);
    EXPECT_TRUE(capture.lines().empty());
}

TEST(AvcConfigurationBounds, EveryTruncationIsRefusedWithoutReadingPastTheBuffer)
{
    const auto atom = buildAvcC(oneOfEach());
    ASSERT_EQ(refusal(atom), "");
    for (size_t length = 0; length < atom.size(); ++length) {
        // A buffer of exactly length bytes, so the sanitizer sees any read behind it.
        std::unique_ptr<BYTE[]> copy(new BYTE[length ? length : 1]);
        std::copy(atom.begin(), atom.begin() + static_cast<std::ptrdiff_t>(length), copy.get());
        const std::string text = refusalOf([&] { CMyAVCConfiguration(copy.get(), static_cast<DWORD>(length)); });
        EXPECT_FALSE(text.empty()) << "length " << length;
    }
}

TEST(AvcConfigurationBounds, ALengthRunningPastTheBufferIsRefused)
{
    auto atom = buildAvcC(oneOfEach());
    // The SPS length field (bytes 14 and 15) claims more than is there.
    atom[14] = 0xFF;
    atom[15] = 0xF0;
    EXPECT_EQ(refusal(atom), MyH264Refusal::kRecordTruncated);
}

TEST(AvcConfigurationBounds, ARecordCutBeforeThePpsCountIsRefused)
{
    AvcCFields f = oneOfEach();
    auto atom = buildAvcC(f);
    atom.resize(14 + 2 + f.sps[0].size()); // header, SPS; no PPS count byte
    EXPECT_EQ(refusal(atom), MyH264Refusal::kRecordTruncated);
}

TEST(AvcConfigurationBounds, AMissingBufferIsRefused)
{
    EXPECT_EQ(refusalOf([] { CMyAVCConfiguration(nullptr, 100); }), MyH264Refusal::kRecordTruncated);
}

} // namespace
