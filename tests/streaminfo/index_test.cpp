// Sample indexes, plain (by the sample lookups) and camera (from the tables
// directly), the end of the media data and the refusals: each row the index
// in short or what building it did.
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
using Build = std::function<std::string()>;

// The index in short, or the refusal and the lines it traced.
template <typename Info> Build index(const qt::TrackAtoms &track, ULONGLONG lastMediaByte)
{
    return [track, lastMediaByte] {
        auto movie = movieFrom(movieAtomWith({track}));
        DebugCapture capture;
        std::string answer = answerOf([&] {
            if constexpr (std::is_constructible_v<Info, const CMyQTMedia *, ULONGLONG>) {
                return indexSummary(Info(mediaOf(movie), lastMediaByte));
            } else {
                Info info;
                info.BuildSampleIndex(mediaOf(movie), lastMediaByte);
                return indexSummary(info);
            }
        });
        for (const std::string &line : capture.messages())
            answer += " {" + line + "}";
        return answer;
    };
}
Build plainVideo(const std::string &tables, int32_t scale = 600, int32_t duration = 500, ULONGLONG last = kFar)
{
    return index<CH264MediaStreamInfo>(videoTrack(scale, duration, tables), last);
}
// Camera video: samples of 1000 units at 15000.
Build cameraVideo(const std::string &tables, ULONGLONG last = kFar)
{
    return index<COrvexCameraH264MediaStreamInfo>(videoTrack(15000, 60000, tables), last);
}
std::string cameraTables(uint32_t n, const std::string &stss)
{
    return evenVideoTables(n, 1000, 10, 100) + "; stss " + stss;
}
// The camera example's sound: chunks a second apart from 1000 on, with those 'stsc' entries.
qt::TrackAtoms cameraSoundTrack(uint32_t chunks, const std::string &stsc, uint16_t channels = 2, uint16_t bits = 16,
                                uint32_t rate = 48000)
{
    const std::string frames = std::to_string(rate * chunks);
    return soundTrack("sowt", channels, bits, rate, int32_t(rate * chunks),
                      "stts " + frames + " 1; stsc " + stsc + "; stsz =1 #" + frames + "; stco " +
                          std::to_string(chunks) + "@1000+200000");
}
const auto cameraSound = [](const qt::TrackAtoms &track, ULONGLONG last = kFar) {
    return index<COrvexCameraPCMSoundMediaStreamInfo>(track, last);
};
const auto plainSound = [](const qt::TrackAtoms &track, ULONGLONG last = kFar) {
    return index<CPCMSoundMediaStreamInfo>(track, last);
};
qt::TrackAtoms described(qt::TrackAtoms track, Atom description)
{
    track.sampleDescriptions = qt::stsd({std::move(description)});
    return track;
}

struct Row {
    const char *name;
    Build index;
    std::string expected;
};

class SampleIndex : public ::testing::TestWithParam<Row> {};

TEST_P(SampleIndex, IsBuiltOrRefused)
{
    EXPECT_EQ(GetParam().index(), GetParam().expected);
}

const std::string kChunkOffsetError = "E22 {ChunkOffset Error  \n}";

INSTANTIATE_TEST_SUITE_P(
    Rows, SampleIndex,
    ::testing::Values(
        // Start and stop are converted apart, so that entries meet.
        Row{"PlainVideo", plainVideo(evenVideoTables(10, 1001, 50, 100), 30000, 10010, 599),
            "10 entries 500 bytes max 50 dur 3336666 sync all | 0-333666 50@100 x1 | 333666-667333 50@150 x1 ... | "
            "3003000-3336666 50@550 x1"},
        Row{"PlainVideoStss", plainVideo(evenVideoTables(90, 100, 10, 100) + "; stss 1 31 61", 3000, 9000),
            "90 entries 900 bytes max 10 dur 30000000 sync 0,30,60 | 0-333333 10@100 x1 | 333333-666666 10@110 x1 ... "
            "| 29666666-30000000 10@990 x1"},
        Row{"PlainVideoSttsShort", plainVideo("stts 10 100; stsc 1 1 1; stsz 12@10+0; stco 12@100+10", 600, 2000),
            "10 entries 100 bytes max 10 dur 16666666 sync all | 0-1666666 10@100 x1 | 1666666-3333333 10@110 x1 ... | "
            "15000000-16666666 10@190 x1"},
        Row{"PlainVideoNoStscEntry", plainVideo("stts 5 100; stsc; stsz 5@10+0; stco 5@100+10"),
            "0 entries 0 bytes max 0 dur 0 sync none"},
        Row{"PlainVideoPastTheLastByte", plainVideo(evenVideoTables(5, 100, 10, 100), 600, 500, 148),
            kChunkOffsetError},
        // 0xFFFFFFF0 + 0x20 - 1 wraps to 0xF in 32 bits.
        Row{"PlainVideoEndWraps", plainVideo("stts 1 100; stsc 1 1 1; stsz 32; stco 4294967280", 600, 500, 1000),
            kChunkOffsetError},
        Row{"PlainVideoTooManySamples",
            plainVideo("stts 1 100; stsc 1 1 1; stco 100; stsz =10 #" + std::to_string(kMaxSampleIndexEntries + 1)),
            "E29"},
        // Camera video: sync every gop entries by the first two 'stss' entries only.
        Row{"CameraVideo", cameraVideo(cameraTables(60, "1 16 31 46"), 699),
            "60 entries 600 bytes max 10 dur 40000000 sync 0,15,30,45 | 0-666666 10@100 x1 | 666666-1333333 10@110 x1 "
            "... | 39333333-40000000 10@690 x1"},
        // Later durations and 'stsc' are not read.
        Row{"CameraVideoFirstDurationNoStsc",
            cameraVideo("stts 1 1000 3 5000; stsc 1 4 1; stsz 4@10+0; stco 4@100+10; stss 1 3"),
            "4 entries 40 bytes max 10 dur 2666666 sync 0,2 | 0-666666 10@100 x1 | 666666-1333333 10@110 x1 ... | "
            "2000000-2666666 10@130 x1"},
        Row{"CameraVideoPastTheLastByte", cameraVideo(cameraTables(5, "1 3"), 148), kChunkOffsetError},
        Row{"CameraVideoNoStss", cameraVideo(evenVideoTables(10, 1000, 10, 100)), "E29"},
        Row{"CameraVideoStssEqual", cameraVideo(cameraTables(10, "3 3")), "E29"},
        Row{"CameraVideoZeroDuration", cameraVideo("stts 10 0; stsc 1 1 1; stsz 10@10+0; stco 10@100+10; stss 1 6"),
            "E29"},
        Row{"CameraVideoFewChunks", cameraVideo("stts 10 1000; stsc 1 1 1; stsz 10@10+0; stco 3@100+10; stss 1 6"),
            "E28"},
        Row{"CameraVideoCommonSize", cameraVideo("stts 10 1000; stsc 1 1 1; stsz =10 #10; stco 10@100+10; stss 1 6"),
            "E28"},
        Row{"CameraVideoStszCut", cameraVideo("stts 10 1000; stsc 1 1 1; stsz #10 10 10 10; stco 10@100+10; stss 1 6"),
            "E28"},
        // Plain sound: 'sowt' stereo 16-bit at 48 kHz, one sample a frame, 4 chunks of 24000 frames.
        Row{"PlainSound",
            plainSound(soundTrack("sowt", 2, 16, 48000, 96000,
                                  "stts 96000 1; stsc 1 24000 1; stsz =1 #96000; stco 1000 200000 400000 600000"),
                       600000 + 96000 - 1),
            "4 entries 384000 bytes max 96000 dur 20000000 sync all | 0-5000000 96000@1000 x24000 | 5000000-10000000 "
            "96000@200000 x24000 ... | 15000000-20000000 96000@600000 x24000"},
        // Sizes from the table: chunks of 3, 2 and 1 samples of 1024 units.
        Row{"PlainSoundSizeTable",
            plainSound(soundTrack("mp4a", 1, 16, 16000, 6 * 1024,
                                  "stts 6 1024; stsc 1 3 1 2 2 1 3 1 1; stsz 10 11 12 20 21 30; stco 100 500 900")),
            "3 entries 104 bytes max 41 dur 3840000 sync all | 0-1920000 33@100 x3 | 1920000-3200000 41@500 x2 | "
            "3200000-3840000 30@900 x1"},
        Row{"PlainSoundPastTheLastByte", plainSound(cameraSoundTrack(2, "1 8000 1", 1, 16, 8000), 201000 + 16000 - 2),
            kChunkOffsetError},
        // Camera sound: 48 kHz stereo 16-bit, nine whole seconds and a quarter; 208 units a frame, truncated first.
        Row{"CameraSound", cameraSound(cameraSoundTrack(10, "1 48000 1 10 12000 1"), 1000 + 9 * 200000 + 48000 - 1),
            "10 entries 1776000 bytes max 192000 dur 92496000 sync all | 0-10000000 192000@1000 x48000 | "
            "10000000-20000000 192000@201000 x48000 ... | 90000000-92496000 48000@1801000 x12000"},
        // Times come from chunk numbers, not from the media.
        Row{"CameraSoundPastTheLastByte",
            cameraSound(cameraSoundTrack(10, "1 48000 1 10 12000 1"), 1000 + 9 * 200000 + 48000 - 2),
            kChunkOffsetError},
        Row{"CameraSoundZeroRate", cameraSound(cameraSoundTrack(3, "1 0 1", 2, 16, 0)), "E29"},
        Row{"CameraSoundFramesOfNoBytes", cameraSound(cameraSoundTrack(3, "1 8000 1", 1, 4, 8000)), "E29"},
        Row{"CameraSoundSecondEntryNotLast", cameraSound(cameraSoundTrack(3, "1 8000 1 2 4000 1", 1, 16, 8000)), "E29"},
        Row{"CameraSoundHalfSecondChunks", cameraSound(cameraSoundTrack(3, "1 4000 1", 1, 16, 8000)), "E29"},
        Row{"CameraSoundSecondOver4GiB", cameraSound(cameraSoundTrack(2, "1 65535 1", 65535, 16, 65535)), "E29"},
        Row{"CameraSoundShortDescription",
            cameraSound(described(cameraSoundTrack(2, "1 8000 1", 1, 16, 8000), Atom("sowt", Bytes(20, 0)))), "E28"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace orvex::test
