// The plain video index: one entry a sample by the per-sample lookup, times
// converted start and stop apart, sync flags from 'stss', the end of the
// media data, and how the walk ends on tables that stop early.
#include "MovFileParserFilter/H264MediaStreamInfo.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTException.h"
#include "streaminfo/streaminfo_fixtures.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

namespace orvex::test {
namespace {

constexpr ULONGLONG kFarAway = 0xFFFFFFFFULL;

std::unique_ptr<CH264MediaStreamInfo> build(const TestMovie &movie, ULONGLONG lastMediaByte = kFarAway)
{
    return std::make_unique<CH264MediaStreamInfo>(movie.media(), lastMediaByte);
}

TEST(PlainVideoIndex, ConvertsStartAndStopApartSoEntriesMeet)
{
    TestMovie movie(movieAtom({videoTrack(30000, 10 * 1001, evenVideoTables(10, 1001, 50, 100))}));
    auto info = build(movie);
    const auto &index = info->GetSampleIndex();
    ASSERT_EQ(index.size(), 10u);
    EXPECT_EQ(index[0].start, 0);
    EXPECT_EQ(index[0].stop, 333666);
    EXPECT_EQ(index[1].start, 333666);
    EXPECT_EQ(index[1].stop, 667333);
    for (size_t i = 1; i < index.size(); ++i)
        EXPECT_EQ(index[i].start, index[i - 1].stop);
    EXPECT_EQ(info->GetDuration(), index.back().stop);
}

TEST(PlainVideoIndex, FollowsSampleDurationsOfEverySttsEntry)
{
    TestMovie movie(movieAtom({videoTrack(
        600, 60, {qt::stts({{1, 20}, {1, 40}}), qt::stsc({{1, 1, 1}}), qt::stsz({10, 20}), qt::stco({100, 110})})}));
    auto info = build(movie);
    const auto &index = info->GetSampleIndex();
    ASSERT_EQ(index.size(), 2u);
    EXPECT_EQ(index[0].start, 0);
    EXPECT_EQ(index[0].stop, 333333);
    EXPECT_EQ(index[1].start, 333333);
    EXPECT_EQ(index[1].stop, 1000000);
    EXPECT_EQ(index[1].offset, 110u);
    EXPECT_EQ(index[1].size, 20u);
    EXPECT_EQ(index[1].sampleCount, 1u);
}

TEST(PlainVideoIndex, TakesSyncFlagsFromStss)
{
    auto tables = evenVideoTables(90, 100, 10, 100);
    tables.push_back(qt::stss({1, 31, 61}));
    TestMovie withStss(movieAtom({videoTrack(3000, 9000, tables)}));
    auto info = build(withStss);
    ASSERT_EQ(info->GetEntryCount(), 90u);
    for (DWORD i = 0; i < 90; ++i)
        EXPECT_EQ(info->GetSampleIndex()[i].sync, (i == 0 || i == 30 || i == 60) ? 1u : 0u) << i;

    TestMovie withoutStss(movieAtom({videoTrack(3000, 9000, evenVideoTables(90, 100, 10, 100))}));
    auto noStss = build(withoutStss);
    for (const auto &entry : noStss->GetSampleIndex())
        EXPECT_EQ(entry.sync, 1u);
}

TEST(PlainVideoIndex, SamplesInSharedChunksFollowEachOther)
{
    // Three chunks of 2, 3 and 1 samples.
    TestMovie movie(movieAtom({videoTrack(600, 60,
                                          {qt::stts({{6, 10}}), qt::stsc({{1, 2, 1}, {2, 3, 1}, {3, 1, 1}}),
                                           qt::stsz({1, 2, 3, 4, 5, 6}), qt::stco({100, 200, 300})})}));
    auto info = build(movie);
    std::vector<ULONGLONG> offsets;
    for (const auto &entry : info->GetSampleIndex())
        offsets.push_back(entry.offset);
    EXPECT_EQ(offsets, (std::vector<ULONGLONG>{100, 101, 200, 203, 207, 300}));
    EXPECT_EQ(info->GetTotalBytes(), 21u);
    EXPECT_EQ(info->GetLargestEntry(), 6u);
}

TEST(PlainVideoIndex, EndsAtTheFirstFailingLookupWhenMdhdRunsLonger)
{
    TestMovie movie(movieAtom({videoTrack(600, 5000, evenVideoTables(10, 100, 10, 100))}));
    auto info = build(movie);
    EXPECT_EQ(info->GetEntryCount(), 10u);
    EXPECT_EQ(info->GetDuration(), MediaTimeToReferenceTime(1000, 600));
    EXPECT_EQ(info->GetMediaDuration(), 5000);
}

TEST(PlainVideoIndex, EndsWhereSttsStopsGivingDurations)
{
    // 'stts' covers 10 samples, the other tables 12: the lookup past the tenth
    // sample answers a duration of 0 and would return the same sample for ever.
    auto tables = evenVideoTables(12, 100, 10, 100);
    tables[0] = qt::stts({{10, 100}});
    TestMovie movie(movieAtom({videoTrack(600, 2000, tables)}));
    auto info = build(movie);
    EXPECT_EQ(info->GetEntryCount(), 10u);
}

TEST(PlainVideoIndex, EndsAtAZeroDurationSttsEntry)
{
    auto tables = evenVideoTables(12, 100, 10, 100);
    tables[0] = qt::stts({{4, 100}, {8, 0}});
    TestMovie movie(movieAtom({videoTrack(600, 1200, tables)}));
    EXPECT_EQ(build(movie)->GetEntryCount(), 4u);
}

TEST(PlainVideoIndex, AcceptsALastSampleEndingOnTheLastMediaByte)
{
    // Five samples of 10 bytes from 100: the last byte is 149.
    TestMovie movie(movieAtom({videoTrack(600, 500, evenVideoTables(5, 100, 10, 100))}));
    EXPECT_EQ(build(movie, 149)->GetEntryCount(), 5u);
}

TEST(PlainVideoIndex, RefusesASampleEndingBeyondTheLastMediaByte)
{
    TestMovie movie(movieAtom({videoTrack(600, 500, evenVideoTables(5, 100, 10, 100))}));
    DebugCapture capture;
    EXPECT_QT_ERROR(build(movie, 148), kChunkOffsetError);
    EXPECT_EQ(capture.count("ChunkOffset Error  \n"), 1u);
}

TEST(PlainVideoIndex, RefusesASampleWhoseEndWouldWrapIn32Bits)
{
    // 0xFFFFFFF0 + 0x20 - 1 wraps to 0xF in 32 bits, below any last media byte.
    TestMovie movie(movieAtom({videoTrack(
        600, 100, {qt::stts({{1, 100}}), qt::stsc({{1, 1, 1}}), qt::stsz({0x20}), qt::stco({0xFFFFFFF0})})}));
    EXPECT_QT_ERROR(build(movie, 1000), kChunkOffsetError);
}

TEST(PlainVideoIndex, RefusesMoreSamplesThanAnIndexMayHold)
{
    TestMovie movie(movieAtom(
        {videoTrack(600, 100,
                    {qt::stts({{1, 100}}), qt::stsc({{1, 1, 1}}),
                     qt::stszCommon(10, static_cast<uint32_t>(kMaxSampleIndexEntries + 1)), qt::stco({100})})}));
    EXPECT_QT_ERROR(build(movie), kBadTableEntry);
}

TEST(PlainVideoIndex, BrokenTablesGiveAnEmptyIndexNotAFailure)
{
    auto tables = evenVideoTables(5, 100, 10, 100);
    tables[1] = qt::stsc({}); // no entry to find a chunk by
    TestMovie movie(movieAtom({videoTrack(600, 500, tables)}));
    auto info = build(movie);
    EXPECT_EQ(info->GetEntryCount(), 0u);
    EXPECT_EQ(info->GetDuration(), 0);
}

TEST(VideoStreamInfo, KeepsTheMediaFiguresAndTheImageDescription)
{
    TestMovie movie(movieAtom({videoTrack(15000, 5000, evenVideoTables(5, 1000, 10, 100))}));
    auto info = build(movie);
    EXPECT_EQ(info->GetMediaTimeScale(), 15000);
    EXPECT_EQ(info->GetMediaDuration(), 5000);
    EXPECT_EQ(info->GetSampleCount(), 5);
    ASSERT_NE(info->GetImageDescription(), nullptr);
    EXPECT_EQ(info->GetImageDescription()->GetWidth(), 176);
    EXPECT_EQ(info->GetImageDescription()->GetDataFormat(), MyQTFourCC("avc1"));
    ASSERT_NE(info->GetAVCConfiguration(), nullptr);
    const CMyH264SPS &sps = info->GetAVCConfiguration()->GetSPS();
    EXPECT_EQ(Bytes(sps.m_pData.get(), sps.m_pData.get() + sps.m_size), testSps());
    EXPECT_EQ(GetAVCConfiguration(info.get()), info->GetAVCConfiguration());
}

TEST(VideoStreamInfo, RefusedConfigurationRecordLeavesNone)
{
    auto track = videoTrack(600, 500, evenVideoTables(5, 100, 10, 100));
    track.sampleDescriptions = qt::stsd({qt::imageDescription("avc1", 176, 144, {Atom("avcC", Bytes{1, 2, 3})})});
    TestMovie movie(movieAtom({track}));
    auto info = build(movie);
    EXPECT_EQ(info->GetAVCConfiguration(), nullptr);
    EXPECT_EQ(info->GetEntryCount(), 5u);
}

} // namespace
} // namespace orvex::test
