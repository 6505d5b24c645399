// Sound indexes: the plain one (a chunk, or the rest of one, an entry, by the
// per-sample lookup) and the camera one (a second an entry from the chunk
// numbers, the last chunk apart), with the camera layout's refusals.
#include "MovFileParserFilter/OrvexCameraPCMSoundMediaStreamInfo.h"
#include "MovFileParserFilter/PCMSoundMediaStreamInfo.h"
#include "streaminfo/streaminfo_fixtures.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

namespace orvex::test {
namespace {

constexpr ULONGLONG kFarAway = 0xFFFFFFFF;

TEST(PlainSoundIndex, OneEntryAChunkOfFrames)
{
    // 'sowt' stereo 16-bit at 48 kHz, one sample a frame, 4 chunks of 24000 frames.
    TestMovie movie(movieAtom({soundTrack("sowt", 2, 16, 48000, 96000,
                                          {qt::stts({{96000, 1}}), qt::stsc({{1, 24000, 1}}), qt::stszCommon(1, 96000),
                                           qt::stco({1000, 200000, 400000, 600000})})}));
    CPCMSoundMediaStreamInfo info;
    info.BuildSampleIndex(movie.media(), kFarAway);
    const auto &index = info.GetSampleIndex();
    ASSERT_EQ(index.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(index[i].size, 96000u);
        EXPECT_EQ(index[i].sampleCount, 24000u);
        EXPECT_EQ(index[i].sync, 1u);
        EXPECT_EQ(index[i].start, LONGLONG(i) * 5000000);
        EXPECT_EQ(index[i].stop, LONGLONG(i + 1) * 5000000);
    }
    EXPECT_EQ(index[1].offset, 200000u);
    EXPECT_EQ(info.GetDuration(), 20000000);
    EXPECT_EQ(info.GetTotalBytes(), 384000u);
}

TEST(PlainSoundIndex, ChunksOfDifferentLengthsAndTableSizes)
{
    // Sizes from the table: chunks of 3, 2 and 1 samples of 1024 units.
    TestMovie movie(movieAtom({soundTrack("mp4a", 1, 16, 16000, 6 * 1024,
                                          {qt::stts({{6, 1024}}), qt::stsc({{1, 3, 1}, {2, 2, 1}, {3, 1, 1}}),
                                           qt::stsz({10, 11, 12, 20, 21, 30}), qt::stco({100, 500, 900})})}));
    CPCMSoundMediaStreamInfo info;
    info.BuildSampleIndex(movie.media(), kFarAway);
    const auto &index = info.GetSampleIndex();
    ASSERT_EQ(index.size(), 3u);
    EXPECT_EQ(index[0].size, 33u);
    EXPECT_EQ(index[1].size, 41u);
    EXPECT_EQ(index[2].size, 30u);
    EXPECT_EQ(index[1].sampleCount, 2u);
    EXPECT_EQ(index[1].start, MediaTimeToReferenceTime(3 * 1024, 16000));
    EXPECT_EQ(index[1].stop, MediaTimeToReferenceTime(5 * 1024, 16000));
    EXPECT_EQ(index[2].offset, 900u);
}

TEST(PlainSoundIndex, ChunkBeyondTheMediaDataFailsTheLoad)
{
    TestMovie movie(movieAtom({soundTrack(
        "sowt", 1, 16, 8000, 16000,
        {qt::stts({{16000, 1}}), qt::stsc({{1, 8000, 1}}), qt::stszCommon(1, 16000), qt::stco({100, 16100})})}));
    CPCMSoundMediaStreamInfo fits;
    fits.BuildSampleIndex(movie.media(), 16100 + 16000 - 1);
    EXPECT_EQ(fits.GetEntryCount(), 2u);
    CPCMSoundMediaStreamInfo beyond;
    DebugCapture capture;
    EXPECT_QT_ERROR(beyond.BuildSampleIndex(movie.media(), 16100 + 16000 - 2), kChunkOffsetError);
    EXPECT_TRUE(capture.contains("ChunkOffset Error  \n"));
}

TEST(PlainSoundIndex, VersionTwoDescriptionFailsTheLoad)
{
    auto track =
        soundTrack("sowt", 2, 16, 48000, 48000,
                   {qt::stts({{48000, 1}}), qt::stsc({{1, 48000, 1}}), qt::stszCommon(1, 48000), qt::stco({100})});
    track.sampleDescriptions = qt::stsd({qt::soundDescriptionV2("sowt", 2, 16, 48000.0)});
    TestMovie movie(movieAtom({track}));
    CPCMSoundMediaStreamInfo info;
    EXPECT_OUTCOME(info.BuildSampleIndex(movie.media(), kFarAway), "bare code 26");
}

// The camera example: 48 kHz stereo 16-bit, nine full seconds and a quarter.
std::vector<Atom> cameraSoundTables(uint32_t chunks, std::vector<qt::ChunkRun> runs)
{
    std::vector<uint32_t> offsets;
    for (uint32_t i = 0; i < chunks; ++i)
        offsets.push_back(1000 + i * 200000);
    return {qt::stts({{48000 * chunks, 1}}), qt::stsc(runs), qt::stszCommon(1, 48000 * chunks), qt::stco(offsets)};
}

std::unique_ptr<COrvexCameraPCMSoundMediaStreamInfo> buildCamera(const qt::TrackAtoms &track,
                                                                 ULONGLONG lastMediaByte = kFarAway)
{
    TestMovie movie(movieAtom({track}));
    auto info = std::make_unique<COrvexCameraPCMSoundMediaStreamInfo>();
    info->BuildSampleIndex(movie.media(), lastMediaByte);
    return info;
}

TEST(CameraSoundIndex, WholeSecondsAndAShorterLastChunk)
{
    auto info =
        buildCamera(soundTrack("twos", 2, 16, 48000, 1, cameraSoundTables(10, {{1, 48000, 1}, {10, 12000, 1}})));
    const auto &index = info->GetSampleIndex();
    ASSERT_EQ(index.size(), 10u);
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(index[i].size, 192000u);
        EXPECT_EQ(index[i].start, LONGLONG(i) * 10000000);
        EXPECT_EQ(index[i].stop, LONGLONG(i + 1) * 10000000);
        EXPECT_EQ(index[i].sampleCount, 48000u);
        EXPECT_EQ(index[i].offset, 1000 + 200000 * i);
        EXPECT_EQ(index[i].sync, 1u);
    }
    EXPECT_EQ(index[9].size, 48000u);
    EXPECT_EQ(index[9].start, 90000000);
    EXPECT_EQ(index[9].stop, 92496000); // 208 units a frame, truncated first
    EXPECT_EQ(index[9].sampleCount, 12000u);
    EXPECT_EQ(index[9].offset, 1000u + 9 * 200000);
    EXPECT_EQ(info->GetDuration(), 92496000);
}

TEST(CameraSoundIndex, OneStscEntryMakesEveryChunkASecond)
{
    auto info = buildCamera(soundTrack("sowt", 1, 16, 8000, 1, cameraSoundTables(3, {{1, 8000, 1}})));
    ASSERT_EQ(info->GetEntryCount(), 3u);
    EXPECT_EQ(info->GetSampleIndex()[2].size, 16000u);
    EXPECT_EQ(info->GetSampleIndex()[2].stop, 30000000);
}

TEST(CameraSoundIndex, TimesComeFromChunkNumbersNotFromTheMedia)
{
    auto track = soundTrack("sowt", 1, 16, 8000, 1, cameraSoundTables(2, {{1, 8000, 1}}));
    track.timeScale = 1234;
    track.tables[0] = qt::stts({{1, 77}});
    auto info = buildCamera(track);
    ASSERT_EQ(info->GetEntryCount(), 2u);
    EXPECT_EQ(info->GetSampleIndex()[1].start, 10000000);
}

TEST(CameraSoundIndex, LastMediaByteIsChecked)
{
    auto track = soundTrack("sowt", 2, 16, 48000, 1, cameraSoundTables(10, {{1, 48000, 1}, {10, 12000, 1}}));
    const ULONGLONG lastByte = 1000 + 9 * 200000 + 48000 - 1;
    EXPECT_EQ(buildCamera(track, lastByte)->GetEntryCount(), 10u);
    EXPECT_QT_ERROR(buildCamera(track, lastByte - 1), kChunkOffsetError);
}

struct BrokenCameraSound {
    const char *name;
    uint16_t channels, bits;
    uint32_t rate;
    uint32_t chunks;
    std::vector<qt::ChunkRun> runs;
    CMyQTException::EExceptionType code;
};

class CameraSoundRefusal : public testing::TestWithParam<BrokenCameraSound> {};

TEST_P(CameraSoundRefusal, ThrowsWhileBuilt)
{
    const BrokenCameraSound &c = GetParam();
    auto track = soundTrack("sowt", c.channels, c.bits, c.rate, 1, cameraSoundTables(c.chunks, c.runs));
    EXPECT_OUTCOME(buildCamera(track), qtError(c.code));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CameraSoundRefusal,
    testing::Values(BrokenCameraSound{"ZeroSampleRate", 2, 16, 0, 3, {{1, 0, 1}}, CMyQTException::kBadTableEntry},
                    BrokenCameraSound{"FramesOfNoBytes", 1, 4, 8000, 3, {{1, 8000, 1}}, CMyQTException::kBadTableEntry},
                    BrokenCameraSound{"NoStscEntry", 1, 16, 8000, 3, {}, CMyQTException::kBadTableEntry},
                    BrokenCameraSound{"SecondStscEntryNotTheLastChunk",
                                      1,
                                      16,
                                      8000,
                                      3,
                                      {{1, 8000, 1}, {2, 4000, 1}},
                                      CMyQTException::kBadTableEntry},
                    BrokenCameraSound{"SecondStscEntryWithoutChunks",
                                      1,
                                      16,
                                      8000,
                                      0,
                                      {{1, 8000, 1}, {1, 4000, 1}},
                                      CMyQTException::kBadTableEntry},
                    BrokenCameraSound{
                        "ChunksNotASecondLong", 1, 16, 8000, 3, {{1, 4000, 1}}, CMyQTException::kBadTableEntry},
                    BrokenCameraSound{
                        "SecondOfMoreThan4GiB", 65535, 16, 65535, 2, {{1, 65535, 1}}, CMyQTException::kBadTableEntry}),
    [](const testing::TestParamInfo<BrokenCameraSound> &info) { return info.param.name; });

TEST(CameraSoundIndex, DescriptionTooShortIsRefused)
{
    auto track = soundTrack("sowt", 1, 16, 8000, 1, cameraSoundTables(2, {{1, 8000, 1}}));
    track.sampleDescriptions = qt::stsd({Atom("sowt", Bytes(20, 0))});
    EXPECT_QT_ERROR(buildCamera(track), kOutsideAtom);
}

} // namespace
} // namespace orvex::test
