// IMediaSeeking on the parser's output pins, in running graphs.
#include "parser_graph.h"

#include "support/debug_capture.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace orvex::test;

namespace {

constexpr LONGLONG kSecond = 10000000;

// The events from the first "segment START" on.
std::vector<std::string> from(const std::vector<std::string> &events, const std::string &first)
{
    auto it = std::find(events.begin(), events.end(), first);
    return std::vector<std::string>(it, events.end());
}

// A camera movie with sound on two paced sinks, running without a clock.
class RunningSeek : public testing::Test {
protected:
    void SetUp() override
    {
        path = folder.path("camera.mov");
        writeCameraMovie(path, true, 5);
        expected = loadStreams(path);
        graph = std::make_unique<ParserGraph>(path);
        ASSERT_EQ(S_OK, graph->connectResult());
        video = graph->pin(L"Video(Orvex H.264) Out");
        sound = graph->pin(L"Audio(PCM) Out");
        videoSeeking = graph->seeking(video);
        soundSeeking = graph->seeking(sound);
    }
    void start(bool connectVideo = true)
    {
        if (connectVideo) videoSink = graph->record(video);
        soundSink = graph->record(sound);
        for (RecordingSink *sink : {videoSink, soundSink})
            if (sink) sink->pace(2);
        graph->useClock(false);
        ASSERT_EQ(S_OK, graph->run());
        RecordingSink *first = videoSink ? videoSink : soundSink;
        ASSERT_TRUE(first->waitUntil([](const auto &e) { return e.size() >= 4; }));
    }
    // The sync entry at or before time in the video index.
    LONGLONG syncBefore(LONGLONG time)
    {
        LONGLONG found = 0;
        for (const MediaSampleRef &e : expected.video->GetSampleIndex())
            if (e.sync && e.start <= time) found = e.start;
        return found;
    }

    TempFolder folder;
    std::string path;
    CMyMovieStreams expected;
    std::unique_ptr<ParserGraph> graph;
    IPin *video = nullptr, *sound = nullptr;
    IMediaSeeking *videoSeeking = nullptr, *soundSeeking = nullptr;
    RecordingSink *videoSink = nullptr, *soundSink = nullptr;
};

TEST_F(RunningSeek, FlushesBothPinsAndRestartsAtTheSyncEntryBeforeTheStart)
{
    start();
    LONGLONG stopBefore = 0;
    ASSERT_EQ(S_OK, videoSeeking->GetStopPosition(&stopBefore));
    LONGLONG position = kSecond + kSecond / 10; // between two sync entries
    ASSERT_EQ(S_OK, videoSeeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning | AM_SEEKING_ReturnTime,
                                               nullptr, AM_SEEKING_NoPositioning));
    EXPECT_EQ(position, kSecond + kSecond / 10); // the segment start, not the sync entry's time
    const std::string segment = "segment " + std::to_string(position) + " ";
    for (RecordingSink *sink : {videoSink, soundSink}) {
        ASSERT_TRUE(sink->waitUntil([](const auto &e) { return !e.empty() && e.back() == "eos"; }));
        // Flush, end of flush, then the new segment (a sample under way may
        // still land inside the flush).
        std::vector<std::string> events = sink->events();
        auto flush = std::find(events.begin(), events.end(), "flush");
        auto endFlush = std::find(flush, events.end(), "endflush");
        ASSERT_NE(endFlush, events.end());
        auto newSegment =
            std::find_if(endFlush, events.end(), [&](const std::string &e) { return e.rfind(segment, 0) == 0; });
        ASSERT_NE(newSegment, events.end());
    }
    // The video segment opens with both parameter sets, then the sync entry at or before the start.
    std::vector<std::string> after =
        from(videoSink->events(), "segment " + std::to_string(position) + " " + std::to_string(stopBefore));
    ASSERT_GE(after.size(), 4u);
    EXPECT_EQ(after[1].rfind("sample 2147483648 ", 0), 0u);
    EXPECT_EQ(after[2].rfind("sample 2147483649 ", 0), 0u);
    EXPECT_EQ(after[3], "sample 0 " + std::to_string(syncBefore(position)));
    // Sound times are relative to the segment start.
    std::vector<SampleRecord> sounds = soundSink->samples();
    EXPECT_EQ(sounds.back().stop, expected.sound->GetDuration() - position);
    LONGLONG duration = 0;
    EXPECT_EQ(S_OK, videoSeeking->GetDuration(&duration));
    EXPECT_EQ(duration, stopBefore - position);
}

TEST_F(RunningSeek, NoFlushInTheCurrentFlagsRepositionsWithoutFlushing)
{
    start();
    LONGLONG position = kSecond / 2;
    ASSERT_EQ(S_OK, videoSeeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning | AM_SEEKING_NoFlush, nullptr,
                                               AM_SEEKING_NoPositioning));
    const std::string segment = "segment " + std::to_string(position) + " ";
    ASSERT_TRUE(videoSink->waitUntil([&](const auto &e) {
        return std::any_of(e.begin(), e.end(), [&](const std::string &x) { return x.rfind(segment, 0) == 0; }) &&
               e.back() == "eos";
    }));
    const std::vector<std::string> events = videoSink->events();
    EXPECT_EQ(std::find(events.begin(), events.end(), "flush"), events.end());
}

TEST_F(RunningSeek, SoundPinRefusesWhileVideoIsConnected)
{
    LONGLONG position = kSecond;
    start(true);
    EXPECT_EQ(E_NOTIMPL, soundSeeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, 0));
}

TEST_F(RunningSeek, SoundPinSeeksBothPinsWhileVideoIsUnconnected)
{
    start(false);
    LONGLONG position = kSecond + kSecond / 4, stop = 2 * kSecond;
    ASSERT_EQ(S_OK, soundSeeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, &stop,
                                               AM_SEEKING_AbsolutePositioning));
    ASSERT_TRUE(soundSink->waitUntil([&](const auto &e) {
        return !from(e, "segment " + std::to_string(position) + " " + std::to_string(stop)).empty() &&
               e.back() == "eos";
    }));
    // The first sound chunk of the new segment starts at 1 s: 0.25 s before the segment start.
    std::vector<std::string> after =
        from(soundSink->events(), "segment " + std::to_string(position) + " " + std::to_string(stop));
    EXPECT_EQ(after[1], "sample 0 " + std::to_string(kSecond - position));
    // The chunk at 2 s starts at the stop position: it is not sent.
    EXPECT_EQ(
        1, std::count_if(after.begin(), after.end(), [](const std::string &e) { return e.rfind("sample", 0) == 0; }));
    LONGLONG duration = 0;
    EXPECT_EQ(S_OK, videoSeeking->GetDuration(&duration));
    EXPECT_EQ(duration, stop - position);
}

struct Refusal {
    DWORD currentFlags;
    DWORD stopFlags;
    bool nullCurrent;
    HRESULT expected;
    const char *trace; // "" for none
};

class SeekRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(SeekRefusal, IsRefusedWithItsTraceAndChangesNothing)
{
    ParserGraph graph(dataMovie("baseline_sowt.mov"));
    ASSERT_EQ(S_OK, graph.connectResult());
    IMediaSeeking *seeking = graph.seeking(graph.videoPin());
    LONGLONG before = 0;
    seeking->GetDuration(&before);
    LONGLONG current = kSecond, stop = kSecond * 2;
    DebugCapture capture;
    EXPECT_EQ(GetParam().expected, seeking->SetPositions(GetParam().nullCurrent ? nullptr : &current,
                                                         GetParam().currentFlags, &stop, GetParam().stopFlags));
    std::vector<std::string> messages = capture.messages();
    if (*GetParam().trace)
        EXPECT_EQ(messages, std::vector<std::string>{GetParam().trace});
    else
        EXPECT_TRUE(messages.empty());
    LONGLONG after = 0;
    seeking->GetDuration(&after);
    EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(
    ParserSeeking, SeekRefusal,
    testing::Values(
        Refusal{AM_SEEKING_RelativePositioning, 0, false, E_INVALIDARG, "  dwCurrentPos(2) is NOT supported \n"},
        Refusal{AM_SEEKING_IncrementalPositioning, 0, false, E_INVALIDARG, "  dwCurrentPos(3) is NOT supported \n"},
        Refusal{AM_SEEKING_AbsolutePositioning, 0, true, E_POINTER, ""},
        Refusal{AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, 0, false, E_INVALIDARG, ""},
        Refusal{AM_SEEKING_ReturnTime, 0, true, E_POINTER, ""},
        Refusal{AM_SEEKING_AbsolutePositioning | AM_SEEKING_Segment, 0, false, E_INVALIDARG,
                "  dwCurrentFlags AM_SEEKING_Segment is NOT supported \n"},
        Refusal{0, AM_SEEKING_RelativePositioning, false, E_INVALIDARG, "  dwStopPos(2) is NOT supported \n"},
        Refusal{0, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, false, E_INVALIDARG, ""},
        Refusal{0, AM_SEEKING_AbsolutePositioning | AM_SEEKING_Segment, false, E_INVALIDARG,
                "  dwStopFlags AM_SEEKING_Segment is NOT supported \n"},
        Refusal{AM_SEEKING_AbsolutePositioning, AM_SEEKING_AbsolutePositioning | AM_SEEKING_NoFlush, false,
                E_INVALIDARG, "  dwStopFlags AM_SEEKING_NoFlush is NOT supported \n"}));

TEST(ParserSeeking, PositionsDurationAvailabilityCapabilitiesAndTimeFormat)
{
    const std::string path = dataMovie("video_only_faststart.mov");
    const CMyMovieStreams expected = loadStreams(path);
    const LONGLONG duration = expected.video->GetDuration();
    ParserGraph graph(path);
    ASSERT_EQ(S_OK, graph.connectResult());
    IPin *video = graph.videoPin();
    IMediaSeeking *seeking = graph.seeking(video);
    LONGLONG current = -1, stop = -1, earliest = -1, latest = -1;
    EXPECT_EQ(S_OK, seeking->GetCurrentPosition(&current));
    EXPECT_EQ(current, 0); // nothing delivered yet
    EXPECT_EQ(S_OK, seeking->GetDuration(&stop));
    EXPECT_EQ(stop, duration);

    // A stopped seek only stores the segment; availability stays the stream's.
    LONGLONG start = kSecond / 2, end = kSecond;
    ASSERT_EQ(S_OK,
              seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, &end, AM_SEEKING_AbsolutePositioning));
    EXPECT_EQ(S_OK, seeking->GetDuration(&stop));
    EXPECT_EQ(stop, end - start);
    EXPECT_EQ(S_OK, seeking->GetAvailable(&earliest, &latest));
    EXPECT_EQ(earliest, 0);
    EXPECT_EQ(latest, duration);
    start = 0;
    end = duration;
    seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, &end, AM_SEEKING_AbsolutePositioning);

    DWORD caps = 0;
    EXPECT_EQ(E_FAIL, seeking->CheckCapabilities(&caps));
    caps = 3;
    EXPECT_EQ(S_FALSE, seeking->CheckCapabilities(&caps));
    EXPECT_EQ(caps, DWORD(AM_SEEKING_CanSeekAbsolute));
    EXPECT_EQ(S_OK, seeking->CheckCapabilities(&caps));
    EXPECT_EQ(E_POINTER, seeking->GetPositions(&current, nullptr));

    // Another time format is stored only while stopped, and changes no position.
    EXPECT_EQ(S_FALSE, seeking->IsFormatSupported(&TIME_FORMAT_NONE));
    EXPECT_EQ(S_OK, seeking->SetTimeFormat(&TIME_FORMAT_NONE));
    GUID format = TIME_FORMAT_MEDIA_TIME;
    EXPECT_EQ(S_OK, seeking->GetTimeFormat(&format));
    EXPECT_EQ(format, TIME_FORMAT_NONE);
    EXPECT_EQ(S_OK, seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME));

    graph.grab(video);
    graph.useClock(false);
    ASSERT_EQ(S_OK, graph.run());
    EXPECT_EQ(VFW_E_WRONG_STATE, seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME));
    ASSERT_TRUE(graph.completes());
    EXPECT_EQ(S_OK, seeking->GetPositions(&current, &stop));
    EXPECT_EQ(current, duration); // the last entry has been handed out
    EXPECT_EQ(stop, duration);
}

} // namespace
