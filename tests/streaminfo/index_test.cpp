// Sample indexes: the plain ones by the sample lookups (a sample an entry for
// video, a chunk or the rest of one for sound), the camera ones from the
// tables directly (a constant frame duration and a sync entry every gop
// entries; a second of sound an entry), the end of the media data, and the
// refusals. Each row gives the index in short or what building it did.
#include "MovFileParserFilter/H264MediaStreamInfo.h"
#include "MovFileParserFilter/OrvexCameraH264MediaStreamInfo.h"
#include "MovFileParserFilter/OrvexCameraPCMSoundMediaStreamInfo.h"
#include "MovFileParserFilter/PCMSoundMediaStreamInfo.h"
#include "streaminfo/streaminfo_fixtures.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

namespace orvex::test {
namespace {

constexpr ULONGLONG kFar = 0xFFFFFFFF;

// The index in short, or the refusal and the lines it traced.
template <typename Info> std::string indexOf(const qt::TrackAtoms &track, ULONGLONG lastMediaByte = kFar)
{
    auto movie = movieFrom(movieAtomWith({track}));
    DebugCapture capture;
    std::string summary;
    std::string how = outcome([&] {
        if constexpr (std::is_constructible_v<Info, const CMyQTMedia *, ULONGLONG>) {
            Info info(mediaOf(movie), lastMediaByte);
            summary = indexSummary(info);
        } else {
            Info info;
            info.BuildSampleIndex(mediaOf(movie), lastMediaByte);
            summary = indexSummary(info);
        }
    });
    for (const std::string &line : capture.messages())
        how += " {" + line + "}";
    return how == "ok" ? summary : how;
}
const auto plainVideo = indexOf<CH264MediaStreamInfo>;
const auto cameraVideo = indexOf<COrvexCameraH264MediaStreamInfo>;
const auto plainSound = indexOf<CPCMSoundMediaStreamInfo>;
const auto cameraSound = indexOf<COrvexCameraPCMSoundMediaStreamInfo>;

qt::TrackAtoms video(std::vector<Atom> tables, int32_t scale = 600, int32_t duration = 500)
{
    return videoTrack(scale, duration, std::move(tables));
}
std::vector<Atom> with(std::vector<Atom> tables, size_t at, Atom table)
{
    if (at < tables.size())
        tables[at] = std::move(table);
    else
        tables.push_back(std::move(table));
    return tables;
}
// A camera video track of n samples of 1000 units at 15000, with those sync samples.
qt::TrackAtoms camera(uint32_t n, std::vector<uint32_t> sync, size_t at = 9, Atom table = Atom("none"))
{
    return videoTrack(15000, 60000, with(with(evenVideoTables(n, 1000, 10, 100), 4, qt::stss(sync)), at, table));
}
// The camera example's sound: chunks a second apart from 1000 on.
qt::TrackAtoms cameraSoundTrack(uint32_t chunks, std::vector<qt::ChunkRun> runs, uint16_t channels = 2,
                                uint16_t bits = 16, uint32_t rate = 48000)
{
    std::vector<uint32_t> offsets;
    for (uint32_t i = 0; i < chunks; ++i)
        offsets.push_back(1000 + i * 200000);
    return soundTrack(
        "sowt", channels, bits, rate, int32_t(rate * chunks),
        {qt::stts({{rate * chunks, 1}}), qt::stsc(runs), qt::stszCommon(1, rate * chunks), qt::stco(offsets)});
}

struct Row {
    const char *name;
    std::function<std::string()> index;
    std::string expected;
};

class SampleIndex : public ::testing::TestWithParam<Row> {};

TEST_P(SampleIndex, IsBuiltOrRefused)
{
    EXPECT_EQ(GetParam().index(), GetParam().expected);
}

const std::string kChunkOffsetError = "CMyQTException 22 {ChunkOffset Error  \n}";
const std::string kBad = "CMyQTException 29", kOutside = "CMyQTException 28";

INSTANTIATE_TEST_SUITE_P(
    Rows, SampleIndex,
    ::testing::Values(
        // Start and stop are converted apart, so that entries meet.
        Row{"PlainVideo", [] { return plainVideo(video(evenVideoTables(10, 1001, 50, 100), 30000, 10010), kFar); },
            "10 entries, 500 bytes, largest 50, duration 3336666, sync all | 0-333666 50@100 x1 | 333666-667333 50@150 "
            "x1 | 667333-1001000 50@200 x1 ... | 3003000-3336666 50@550 x1"},
        Row{"PlainVideoSttsEntries",
            [] {
                return plainVideo(video({qt::stts({{1, 20}, {1, 40}}), qt::stsc({{1, 1, 1}}), qt::stsz({10, 20}),
                                         qt::stco({100, 110})},
                                        600, 60),
                                  kFar);
            },
            "2 entries, 30 bytes, largest 20, duration 1000000, sync all | 0-333333 10@100 x1 | 333333-1000000 20@110 "
            "x1"},
        Row{"PlainVideoStss",
            [] {
                return plainVideo(video(with(evenVideoTables(90, 100, 10, 100), 4, qt::stss({1, 31, 61})), 3000, 9000),
                                  kFar);
            },
            "90 entries, 900 bytes, largest 10, duration 30000000, sync 0,30,60 | 0-333333 10@100 x1 | 333333-666666 "
            "10@110 x1 | 666666-1000000 10@120 x1 ... | 29666666-30000000 10@990 x1"},
        Row{"PlainVideoSharedChunks",
            [] {
                return plainVideo(video({qt::stts({{6, 10}}), qt::stsc({{1, 2, 1}, {2, 3, 1}, {3, 1, 1}}),
                                         qt::stsz({1, 2, 3, 4, 5, 6}), qt::stco({100, 200, 300})},
                                        600, 60),
                                  kFar);
            },
            "6 entries, 21 bytes, largest 6, duration 1000000, sync all | 0-166666 1@100 x1 | 166666-333333 2@101 x1 | "
            "333333-500000 3@200 x1 ... | 833333-1000000 6@300 x1"},
        // The walk ends at the first failing lookup, at a duration of 0, at a zero-duration entry.
        Row{"PlainVideoMdhdLonger",
            [] { return plainVideo(video(evenVideoTables(10, 100, 10, 100), 600, 5000), kFar); },
            "10 entries, 100 bytes, largest 10, duration 16666666, sync all | 0-1666666 10@100 x1 | 1666666-3333333 "
            "10@110 x1 | 3333333-5000000 10@120 x1 ... | 15000000-16666666 10@190 x1"},
        Row{"PlainVideoSttsShort",
            [] {
                return plainVideo(video(with(evenVideoTables(12, 100, 10, 100), 0, qt::stts({{10, 100}})), 600, 2000),
                                  kFar);
            },
            "10 entries, 100 bytes, largest 10, duration 16666666, sync all | 0-1666666 10@100 x1 | 1666666-3333333 "
            "10@110 x1 | 3333333-5000000 10@120 x1 ... | 15000000-16666666 10@190 x1"},
        Row{"PlainVideoZeroDuration",
            [] {
                return plainVideo(
                    video(with(evenVideoTables(12, 100, 10, 100), 0, qt::stts({{4, 100}, {8, 0}})), 600, 1200), kFar);
            },
            "4 entries, 40 bytes, largest 10, duration 6666666, sync all | 0-1666666 10@100 x1 | 1666666-3333333 "
            "10@110 x1 | 3333333-5000000 10@120 x1 | 5000000-6666666 10@130 x1"},
        Row{"PlainVideoNoStscEntry",
            [] { return plainVideo(video(with(evenVideoTables(5, 100, 10, 100), 1, qt::stsc({}))), kFar); },
            "0 entries, 0 bytes, largest 0, duration 0, sync none"},
        Row{"PlainVideoEndsOnTheLastByte", [] { return plainVideo(video(evenVideoTables(5, 100, 10, 100)), 149); },
            "5 entries, 50 bytes, largest 10, duration 8333333, sync all | 0-1666666 10@100 x1 | 1666666-3333333 "
            "10@110 x1 | 3333333-5000000 10@120 x1 ... | 6666666-8333333 10@140 x1"},
        Row{"PlainVideoPastTheLastByte", [] { return plainVideo(video(evenVideoTables(5, 100, 10, 100)), 148); },
            "CMyQTException 22 {ChunkOffset Error  \n}"},
        // 0xFFFFFFF0 + 0x20 - 1 wraps to 0xF in 32 bits.
        Row{"PlainVideoEndWraps",
            [] {
                return plainVideo(
                    video({qt::stts({{1, 100}}), qt::stsc({{1, 1, 1}}), qt::stsz({0x20}), qt::stco({0xFFFFFFF0})}),
                    1000);
            },
            "CMyQTException 22 {ChunkOffset Error  \n}"},
        Row{"PlainVideoTooManySamples",
            [] {
                return plainVideo(video({qt::stts({{1, 100}}), qt::stsc({{1, 1, 1}}),
                                         qt::stszCommon(10, uint32_t(kMaxSampleIndexEntries + 1)), qt::stco({100})}),
                                  kFar);
            },
            "CMyQTException 29"},
        // Camera video: sync every gop entries by the first two 'stss' entries only.
        Row{"CameraVideo",
            [] {
                return cameraVideo(camera(60, {1, 16, 31, 46}), kFar);
            },
            "60 entries, 600 bytes, largest 10, duration 40000000, sync 0,15,30,45 | 0-666666 10@100 x1 | "
            "666666-1333333 10@110 x1 | 1333333-2000000 10@120 x1 ... | 39333333-40000000 10@690 x1"},
        Row{"CameraVideoGop12",
            [] {
                return cameraVideo(camera(40, {1, 13, 14, 15}), kFar);
            },
            "40 entries, 400 bytes, largest 10, duration 26666666, sync 0,12,24,36 | 0-666666 10@100 x1 | "
            "666666-1333333 10@110 x1 | 1333333-2000000 10@120 x1 ... | 26000000-26666666 10@490 x1"},
        // Later durations and 'stsc' are not read.
        Row{"CameraVideoFirstDuration",
            [] {
                return cameraVideo(camera(4, {1, 3}, 0, qt::stts({{1, 1000}, {3, 5000}})), kFar);
            },
            "4 entries, 40 bytes, largest 10, duration 2666666, sync 0,2 | 0-666666 10@100 x1 | 666666-1333333 10@110 "
            "x1 | 1333333-2000000 10@120 x1 | 2000000-2666666 10@130 x1"},
        Row{"CameraVideoStscNotRead",
            [] {
                return cameraVideo(camera(6, {1, 4}, 1, qt::stsc({{1, 6, 1}})), kFar);
            },
            "6 entries, 60 bytes, largest 10, duration 4000000, sync 0,3 | 0-666666 10@100 x1 | 666666-1333333 10@110 "
            "x1 | 1333333-2000000 10@120 x1 ... | 3333333-4000000 10@150 x1"},
        Row{"CameraVideoEndsOnTheLastByte",
            [] {
                return cameraVideo(camera(5, {1, 3}), 149);
            },
            "5 entries, 50 bytes, largest 10, duration 3333333, sync 0,2,4 | 0-666666 10@100 x1 | 666666-1333333 "
            "10@110 x1 | 1333333-2000000 10@120 x1 ... | 2666666-3333333 10@140 x1"},
        Row{"CameraVideoPastTheLastByte",
            [] {
                return cameraVideo(camera(5, {1, 3}), 148);
            },
            "CMyQTException 22 {ChunkOffset Error  \n}"},
        Row{"CameraVideoNoStss",
            [] {
                return cameraVideo(camera(10, {1, 6}, 4, Atom("none")), kFar);
            },
            "CMyQTException 29"},
        Row{"CameraVideoOneStssEntry", [] { return cameraVideo(camera(10, {1}), kFar); }, "CMyQTException 29"},
        Row{"CameraVideoStssBackwards",
            [] {
                return cameraVideo(camera(10, {6, 1}), kFar);
            },
            "CMyQTException 29"},
        Row{"CameraVideoStssEqual",
            [] {
                return cameraVideo(camera(10, {3, 3}), kFar);
            },
            "CMyQTException 29"},
        Row{"CameraVideoZeroDuration",
            [] {
                return cameraVideo(camera(10, {1, 6}, 0, qt::stts({{10, 0}})), kFar);
            },
            "CMyQTException 29"},
        Row{"CameraVideoEmptyStts",
            [] {
                return cameraVideo(camera(10, {1, 6}, 0, qt::stts({})), kFar);
            },
            "CMyQTException 28"},
        Row{"CameraVideoFewChunks",
            [] {
                return cameraVideo(camera(10, {1, 6}, 3, qt::stco({100, 110, 120})), kFar);
            },
            "CMyQTException 28"},
        Row{"CameraVideoCommonSize",
            [] {
                return cameraVideo(camera(10, {1, 6}, 2, qt::stszCommon(10, 10)), kFar);
            },
            "CMyQTException 28"},
        Row{"CameraVideoStszCut",
            [] {
                Atom stsz = qt::stsz({10, 10, 10});
                stsz.body()[11] = 10; // count 10, three sizes
                return cameraVideo(camera(10, {1, 6}, 2, stsz), kFar);
            },
            "CMyQTException 28"},
        // Plain sound: 'sowt' stereo 16-bit at 48 kHz, one sample a frame, 4 chunks of 24000 frames.
        Row{"PlainSound",
            [] {
                return plainSound(soundTrack("sowt", 2, 16, 48000, 96000,
                                             {qt::stts({{96000, 1}}), qt::stsc({{1, 24000, 1}}),
                                              qt::stszCommon(1, 96000), qt::stco({1000, 200000, 400000, 600000})}),
                                  kFar);
            },
            "4 entries, 384000 bytes, largest 96000, duration 20000000, sync all | 0-5000000 96000@1000 x24000 | "
            "5000000-10000000 96000@200000 x24000 | 10000000-15000000 96000@400000 x24000 | 15000000-20000000 "
            "96000@600000 x24000"},
        // Sizes from the table: chunks of 3, 2 and 1 samples of 1024 units.
        Row{"PlainSoundSizeTable",
            [] {
                return plainSound(soundTrack("mp4a", 1, 16, 16000, 6 * 1024,
                                             {qt::stts({{6, 1024}}), qt::stsc({{1, 3, 1}, {2, 2, 1}, {3, 1, 1}}),
                                              qt::stsz({10, 11, 12, 20, 21, 30}), qt::stco({100, 500, 900})}),
                                  kFar);
            },
            "3 entries, 104 bytes, largest 41, duration 3840000, sync all | 0-1920000 33@100 x3 | 1920000-3200000 "
            "41@500 x2 | 3200000-3840000 30@900 x1"},
        Row{"PlainSoundEndsOnTheLastByte",
            [] {
                return plainSound(cameraSoundTrack(2, {{1, 8000, 1}}, 1, 16, 8000), 201000 + 16000 - 1);
            },
            "2 entries, 32000 bytes, largest 16000, duration 20000000, sync all | 0-10000000 16000@1000 x8000 | "
            "10000000-20000000 16000@201000 x8000"},
        Row{"PlainSoundPastTheLastByte",
            [] {
                return plainSound(cameraSoundTrack(2, {{1, 8000, 1}}, 1, 16, 8000), 201000 + 16000 - 2);
            },
            "CMyQTException 22 {ChunkOffset Error  \n}"},
        Row{"PlainSoundVersion2",
            [] {
                auto track = cameraSoundTrack(1, {{1, 48000, 1}});
                track.sampleDescriptions = qt::stsd({qt::soundDescriptionV2("sowt", 2, 16, 48000.0)});
                return plainSound(track, kFar);
            },
            "bare code 26"},
        // Camera sound: 48 kHz stereo 16-bit, nine whole seconds and a quarter; 208 units a frame, truncated first.
        Row{"CameraSound",
            [] {
                return cameraSound(cameraSoundTrack(10, {{1, 48000, 1}, {10, 12000, 1}}), kFar);
            },
            "10 entries, 1776000 bytes, largest 192000, duration 92496000, sync all | 0-10000000 192000@1000 x48000 | "
            "10000000-20000000 192000@201000 x48000 | 20000000-30000000 192000@401000 x48000 ... | 90000000-92496000 "
            "48000@1801000 x12000"},
        Row{"CameraSoundOneStscEntry",
            [] {
                return cameraSound(cameraSoundTrack(3, {{1, 8000, 1}}, 1, 16, 8000), kFar);
            },
            "3 entries, 48000 bytes, largest 16000, duration 30000000, sync all | 0-10000000 16000@1000 x8000 | "
            "10000000-20000000 16000@201000 x8000 | 20000000-30000000 16000@401000 x8000"},
        // Times come from chunk numbers, not from the media.
        Row{"CameraSoundTimesFromChunks",
            [] {
                auto track = cameraSoundTrack(2, {{1, 8000, 1}}, 1, 16, 8000);
                track.timeScale = 1234;
                track.tables[0] = qt::stts({{1, 77}});
                return cameraSound(track, kFar);
            },
            "2 entries, 32000 bytes, largest 16000, duration 20000000, sync all | 0-10000000 16000@1000 x8000 | "
            "10000000-20000000 16000@201000 x8000"},
        Row{"CameraSoundEndsOnTheLastByte",
            [] {
                return cameraSound(cameraSoundTrack(10, {{1, 48000, 1}, {10, 12000, 1}}),
                                   1000 + 9 * 200000 + 48000 - 1);
            },
            "10 entries, 1776000 bytes, largest 192000, duration 92496000, sync all | 0-10000000 192000@1000 x48000 | "
            "10000000-20000000 192000@201000 x48000 | 20000000-30000000 192000@401000 x48000 ... | 90000000-92496000 "
            "48000@1801000 x12000"},
        Row{"CameraSoundPastTheLastByte",
            [] {
                return cameraSound(cameraSoundTrack(10, {{1, 48000, 1}, {10, 12000, 1}}),
                                   1000 + 9 * 200000 + 48000 - 2);
            },
            "CMyQTException 22 {ChunkOffset Error  \n}"},
        Row{"CameraSoundZeroRate",
            [] {
                return cameraSound(cameraSoundTrack(3, {{1, 0, 1}}, 2, 16, 0), kFar);
            },
            "CMyQTException 29"},
        Row{"CameraSoundFramesOfNoBytes",
            [] {
                return cameraSound(cameraSoundTrack(3, {{1, 8000, 1}}, 1, 4, 8000), kFar);
            },
            "CMyQTException 29"},
        Row{"CameraSoundNoStscEntry", [] { return cameraSound(cameraSoundTrack(3, {}, 1, 16, 8000), kFar); },
            "CMyQTException 29"},
        Row{"CameraSoundSecondEntryNotLast",
            [] {
                return cameraSound(cameraSoundTrack(3, {{1, 8000, 1}, {2, 4000, 1}}, 1, 16, 8000), kFar);
            },
            "CMyQTException 29"},
        Row{"CameraSoundSecondEntryWithoutChunks",
            [] {
                return cameraSound(cameraSoundTrack(0, {{1, 8000, 1}, {1, 4000, 1}}, 1, 16, 8000), kFar);
            },
            "CMyQTException 29"},
        Row{"CameraSoundHalfSecondChunks",
            [] {
                return cameraSound(cameraSoundTrack(3, {{1, 4000, 1}}, 1, 16, 8000), kFar);
            },
            "CMyQTException 29"},
        Row{"CameraSoundSecondOver4GiB",
            [] {
                return cameraSound(cameraSoundTrack(2, {{1, 65535, 1}}, 65535, 16, 65535), kFar);
            },
            "CMyQTException 29"},
        Row{"CameraSoundShortDescription",
            [] {
                auto track = cameraSoundTrack(2, {{1, 8000, 1}}, 1, 16, 8000);
                track.sampleDescriptions = qt::stsd({Atom("sowt", Bytes(20, 0))});
                return cameraSound(track, kFar);
            },
            "CMyQTException 28"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace orvex::test
