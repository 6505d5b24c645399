// CreateAVCConfiguration and CheckAVCSampleEntry over a media built in
// memory: which sample descriptions are served as H.264 video.
#include "MyH264/MyAVCSampleEntry.h"
#include "MyQuickTimeAPIs/MyQTMedia.h"
#include "h264_builders.h"
#include "media_builder.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

using namespace orvex::test;

namespace {

std::vector<uint8_t> goodAvcC()
{
    return buildAvcC(SpsFields{}, PpsFields{});
}

std::vector<uint8_t> pasp()
{
    return makeAtom("pasp", {0, 0, 0, 1, 0, 0, 0, 1});
}

// Holds the media atom bytes and the media built over them.
struct Media {
    explicit Media(const MediaFields &fields) : bytes(makeMediaAtom(fields)), media(bytes.data(), nullptr) {}
    std::vector<uint8_t> bytes;
    CMyQTMedia media;
};

MediaFields withDescription(const std::vector<uint8_t> &description)
{
    MediaFields f;
    f.descriptions.push_back(description);
    return f;
}

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(AvcSampleEntry, AnAvc1DescriptionWithAGoodRecordIsServed)
{
    Media m(withDescription(makeImageDescription("avc1", goodAvcC())));
    const auto record = CreateAVCConfiguration(&m.media);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->GetSPS().m_profile_idc, 66);
    EXPECT_TRUE(CheckAVCSampleEntry(&m.media));
}

TEST(AvcSampleEntry, TheRecordIsFoundBehindOtherExtensions)
{
    Media m(withDescription(
        makeImageDescription("avc1", concat({pasp(), makeAtom("colr", std::vector<uint8_t>(10)), goodAvcC()}))));
    EXPECT_NE(CreateAVCConfiguration(&m.media), nullptr);
}

TEST(AvcSampleEntry, TheCheckHandsOutTheRecordWhenAsked)
{
    Media m(withDescription(makeImageDescription("avc1", goodAvcC())));
    std::unique_ptr<CMyAVCConfiguration> record;
    EXPECT_TRUE(CheckAVCSampleEntry(&m.media, &record));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->m_SPSs.size(), 1u);
}

TEST(AvcSampleEntry, TheCheckEmptiesTheOutParameterOnRefusal)
{
    Media good(withDescription(makeImageDescription("avc1", goodAvcC())));
    Media bad(withDescription(makeImageDescription("avc1", {})));
    std::unique_ptr<CMyAVCConfiguration> record;
    ASSERT_TRUE(CheckAVCSampleEntry(&good.media, &record));
    EXPECT_FALSE(CheckAVCSampleEntry(&bad.media, &record));
    EXPECT_EQ(record, nullptr);
}

TEST(AvcSampleEntry, CompositionOffsetsAreTracedAndRefusedEvenWithAGoodRecord)
{
    MediaFields f = withDescription(makeImageDescription("avc1", goodAvcC()));
    f.hasCtts = true;
    Media m(f);
    DebugCapture capture;
    EXPECT_EQ(CreateAVCConfiguration(&m.media), nullptr);
    EXPECT_EQ(capture.messages(), std::vector<std::string>{"Has 'ctts' atom \n"});
    capture.clear();
    EXPECT_FALSE(CheckAVCSampleEntry(&m.media));
    EXPECT_EQ(capture.messages(), std::vector<std::string>{"Has 'ctts' atom \n"});
}

struct RefusedEntry {
    const char *name;
    MediaFields (*make)();
};

class RefusedEntries : public ::testing::TestWithParam<RefusedEntry> {};

TEST_P(RefusedEntries, GiveNoRecordAndNoException)
{
    Media m(GetParam().make());
    EXPECT_EQ(CreateAVCConfiguration(&m.media), nullptr);
    std::unique_ptr<CMyAVCConfiguration> record;
    EXPECT_FALSE(CheckAVCSampleEntry(&m.media, &record));
    EXPECT_EQ(record, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, RefusedEntries,
    ::testing::Values(
        RefusedEntry{"exactly_86_bytes", [] { return withDescription(makeImageDescription("avc1", {})); }},
        RefusedEntry{"not_avc1", [] { return withDescription(makeImageDescription("mp4v", goodAvcC())); }},
        RefusedEntry{"shorter_than_an_image_description",
                     [] {
                         auto entry = makeImageDescription("avc1", {});
                         entry.resize(40);
                         entry[3] = 40;
                         return withDescription(entry);
                     }},
        RefusedEntry{"two_descriptions",
                     [] {
                         MediaFields f = withDescription(makeImageDescription("avc1", goodAvcC()));
                         f.descriptions.push_back(makeImageDescription("avc1", goodAvcC()));
                         return f;
                     }},
        RefusedEntry{"no_descriptions", [] { return MediaFields{}; }},
        RefusedEntry{"no_stsd",
                     [] {
                         MediaFields f;
                         f.hasStsd = false;
                         return f;
                     }}),
    [](const ::testing::TestParamInfo<RefusedEntry> &info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Extensions, RefusedEntries,
    ::testing::Values(RefusedEntry{"size_zero_before_the_record",
                                   [] {
                                       std::vector<uint8_t> zero = {0, 0, 0, 0, 'f', 'r', 'e', 'e'};
                                       return withDescription(makeImageDescription("avc1", concat({zero, goodAvcC()})));
                                   }},
                      RefusedEntry{"size_below_the_header_before_the_record",
                                   [] {
                                       std::vector<uint8_t> four = {0, 0, 0, 4, 'f', 'r', 'e', 'e'};
                                       return withDescription(makeImageDescription("avc1", concat({four, goodAvcC()})));
                                   }},
                      RefusedEntry{"extension_running_past_the_description",
                                   [] {
                                       auto ext = pasp();
                                       ext[3] = 0x40;
                                       return withDescription(makeImageDescription("avc1", concat({ext, goodAvcC()})));
                                   }},
                      RefusedEntry{"no_avcC", [] { return withDescription(makeImageDescription("avc1", pasp())); }},
                      RefusedEntry{"cabac_record",
                                   [] {
                                       SpsFields sps;
                                       sps.profile_idc = 77;
                                       PpsFields pps;
                                       pps.entropy_coding_mode_flag = true;
                                       return withDescription(makeImageDescription("avc1", buildAvcC(sps, pps)));
                                   }},
                      RefusedEntry{"record_with_two_pps",
                                   [] {
                                       AvcCFields f;
                                       f.sps.push_back(buildSps(SpsFields{}));
                                       f.pps.push_back(buildPps(PpsFields{}));
                                       f.pps.push_back(buildPps(PpsFields{}));
                                       return withDescription(makeImageDescription("avc1", buildAvcC(f)));
                                   }},
                      RefusedEntry{"record_cut_by_the_description_end",
                                   [] {
                                       // The record's last byte lies beyond the description's
                                       // size, though still inside the movie atom.
                                       auto record = goodAvcC();
                                       const uint32_t shortSize = static_cast<uint32_t>(86 + record.size() - 1);
                                       return withDescription(makeImageDescription("avc1", record, shortSize));
                                   }}),
    [](const ::testing::TestParamInfo<RefusedEntry> &info) { return std::string(info.param.name); });

} // namespace
