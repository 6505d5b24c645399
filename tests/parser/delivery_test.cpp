// What the output pins deliver through a real graph, compared with the
// index the parser builds and with the file's bytes.
#include "parser_graph.h"

#include "MyH264/MyAVCConfiguration.h"
#include "common/IOrvexMovParserH264Accessor.h"
#include "support/annexb.h"

#include <gtest/gtest.h>

#include <mmreg.h>

#include <algorithm>

using namespace orvex::test;

namespace {

struct MovieCase {
    const char *file; // under tests/data/movies, or "camera" for a written camera movie
    const wchar_t *videoPin;
    const wchar_t *soundPin; // null without sound
};

std::vector<BYTE> prefixed(const BYTE *unit, WORD length)
{
    std::vector<BYTE> bytes(size_t(length) + 4, 0);
    bytes[2] = BYTE(length >> 8);
    bytes[3] = BYTE(length);
    std::copy(unit, unit + length, bytes.begin() + 4);
    return bytes;
}

std::vector<BYTE> fileRange(const Bytes &file, const MediaSampleRef &entry)
{
    return std::vector<BYTE>(file.begin() + long(entry.offset), file.begin() + long(entry.offset + entry.size));
}

class Delivery : public testing::TestWithParam<MovieCase> {};

TEST_P(Delivery, EverySampleArrivesWithItsIndexTimesAndFileBytes)
{
    TempFolder folder;
    std::string path = GetParam().file;
    if (path == "camera") {
        path = folder.path("camera.mov");
        writeCameraMovie(path, true);
    } else {
        path = dataMovie(path);
    }
    const Bytes file = readFileBytes(path);
    const CMyMovieStreams expected = loadStreams(path);

    ParserGraph graph(path);
    ASSERT_EQ(S_OK, graph.connectResult());
    IPin *video = graph.pin(GetParam().videoPin);
    ASSERT_NE(video, nullptr);
    IPin *sound = GetParam().soundPin ? graph.pin(GetParam().soundPin) : nullptr;
    ASSERT_EQ(sound != nullptr, GetParam().soundPin != nullptr);
    GrabberLog *videoLog = graph.grab(video);
    GrabberLog *soundLog = sound ? graph.grab(sound) : nullptr;
    graph.useClock(false);
    ASSERT_EQ(S_OK, graph.run());
    ASSERT_TRUE(graph.completes()); // every renderer had its end of stream
    graph.stop();

    // The segment opens with the SPS and the PPS, length-prefixed, marked by
    // their stream identifiers, without times; the accessor hands out the same units.
    const CMyAVCConfiguration *avc = GetAVCConfiguration(expected.video.get());
    ASSERT_NE(avc, nullptr);
    const CMyH264SPS &sps = avc->GetSPS();
    const CMyH264PPS &pps = avc->GetPPS();
    std::vector<SampleRecord> got = videoLog->samples();
    const auto &index = expected.video->GetSampleIndex();
    ASSERT_EQ(got.size(), index.size() + 2);
    EXPECT_EQ(got[0].streamId, 0x80000000u);
    EXPECT_EQ(got[0].bytes, prefixed(sps.m_pData.get(), sps.m_size));
    EXPECT_EQ(got[1].streamId, 0x80000001u);
    EXPECT_EQ(got[1].bytes, prefixed(pps.m_pData.get(), pps.m_size));
    EXPECT_FALSE(got[0].hasTime || got[1].hasTime || got[0].sync || got[1].sync);

    IOrvexMovParserH264Accessor *accessor = nullptr;
    ASSERT_EQ(S_OK,
              graph.parser()->QueryInterface(IID_IOrvexMovParserH264Accessor, reinterpret_cast<void **>(&accessor)));
    BYTE *spsBytes = nullptr, *ppsBytes = nullptr;
    DWORD spsLength = 0, ppsLength = 0;
    EXPECT_EQ(S_OK, accessor->GetParameterSets(&spsBytes, &spsLength, &ppsBytes, &ppsLength));
    EXPECT_EQ(prefixed(spsBytes, WORD(spsLength)), got[0].bytes);
    EXPECT_EQ(prefixed(ppsBytes, WORD(ppsLength)), got[1].bytes);
    LONG timeScale = 0, duration = 0, count = 0;
    EXPECT_EQ(S_OK, accessor->GetMediaInfo(&timeScale, &duration, &count));
    EXPECT_EQ(timeScale, expected.video->GetMediaTimeScale());
    EXPECT_EQ(count, expected.video->GetSampleCount());
    EXPECT_NE(accessor->GetImageDescription(), nullptr);
    accessor->Release();

    for (size_t i = 0; i < index.size(); ++i) {
        const SampleRecord &s = got[i + 2];
        SCOPED_TRACE("video entry " + std::to_string(i));
        EXPECT_EQ(s.streamId, 0u);
        EXPECT_TRUE(s.hasTime);
        EXPECT_EQ(s.start, index[i].start);
        EXPECT_EQ(s.stop, index[i].stop);
        EXPECT_TRUE(s.hasMediaTime);
        EXPECT_EQ(s.mediaStart, LONGLONG(i));
        EXPECT_EQ(s.mediaStop, LONGLONG(i));
        EXPECT_EQ(s.sync, index[i].sync != 0);
        EXPECT_FALSE(s.discontinuity);
        EXPECT_EQ(s.bytes, fileRange(file, index[i]));
    }

    if (!soundLog) return;
    const auto &soundIndex = expected.sound->GetSampleIndex();
    got = soundLog->samples();
    ASSERT_EQ(got.size(), soundIndex.size());
    const CMediaType &type = expected.sound->GetMediaType();
    DWORD rate = 0;
    if (*type.Subtype() == MEDIASUBTYPE_PCM)
        rate = reinterpret_cast<const WAVEFORMATEX *>(type.Format())->nSamplesPerSec;
    for (size_t i = 0; i < soundIndex.size(); ++i) {
        SCOPED_TRACE("sound entry " + std::to_string(i));
        EXPECT_EQ(got[i].start, soundIndex[i].start);
        EXPECT_EQ(got[i].stop, soundIndex[i].stop);
        EXPECT_EQ(got[i].hasMediaTime, rate != 0);
        if (rate) {
            EXPECT_EQ(got[i].mediaStart, soundIndex[i].start * LONGLONG(rate) / 10000000);
            EXPECT_EQ(got[i].mediaStop, soundIndex[i].stop * LONGLONG(rate) / 10000000);
        }
        EXPECT_EQ(got[i].bytes, fileRange(file, soundIndex[i]));
    }
}

INSTANTIATE_TEST_SUITE_P(ParserMovies, Delivery,
                         testing::Values(MovieCase{"baseline_sowt.mov", L"Video(H.264) Out", L"Audio(PCM) Out"},
                                         MovieCase{"main_aac_faststart.mov", L"Video(H.264) Out", L"Audio(AAC) Out"},
                                         MovieCase{"video_only_faststart.mov", L"Video(H.264) Out", nullptr},
                                         MovieCase{"camera", L"Video(Orvex H.264) Out", L"Audio(PCM) Out"}),
                         [](const testing::TestParamInfo<MovieCase> &info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

TEST(ParserDelivery, LateFramesFromASlowRendererAreSkippedToAPassedSyncEntry)
{
    TempFolder folder;
    const std::string path = folder.path("camera.mov");
    writeCameraMovie(path, false, 5);
    ParserGraph graph(path);
    ASSERT_EQ(S_OK, graph.connectResult());
    GrabberLog *log = graph.grab(graph.videoPin());
    // A renderer that stalls for a second on frame 2: the frames after it
    // come late against the clock, and the renderer says so upstream.
    log->stallAt(2, 1000);
    graph.useClock(true);
    ASSERT_EQ(S_OK, graph.run());
    ASSERT_TRUE(graph.completes());
    graph.stop();

    const CMyMovieStreams expected = loadStreams(path);
    const auto &index = expected.video->GetSampleIndex();
    LONGLONG previous = -1;
    int skips = 0;
    for (const SampleRecord &s : log->samples()) {
        if (s.streamId) continue;
        if (s.discontinuity) {
            ++skips;
            EXPECT_TRUE(s.sync);
            EXPECT_GT(s.mediaStart, previous + 1); // the frames between never came
            EXPECT_EQ(index[size_t(s.mediaStart)].sync, 1u);
        } else {
            EXPECT_EQ(s.mediaStart, previous + 1);
        }
        previous = s.mediaStart;
    }
    EXPECT_GE(skips, 1);
}

} // namespace
