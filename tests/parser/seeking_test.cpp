// IMediaSeeking on the parser's output pins: refusals, positions, seeks of a
// running graph, and seeks, stops and disconnections racing the delivery
// threads and downstream, the interleavings forced through the delivery hook.
#include "parser_graph.h"

#include "support/debug_capture.h"
#include "support/hang_guard.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

using namespace orvex::test;

namespace {

constexpr LONGLONG kSecond = 10000000;
using Point = DeliveryHook::Point;

// "flush|" when the events from mark on have a flush, then the last new
// segment opened there and up to n samples and ends of stream after it.
std::string opening(const std::vector<std::string> &events, size_t mark, const std::string &opened, size_t n = 4)
{
    const std::vector<std::string> tail(events.begin() + std::ptrdiff_t(std::min(mark, events.size())), events.end());
    if (!has(tail, opened)) return "";
    std::string text = (has(tail, "flush") ? "flush|" : "") + opened;
    for (const std::string &e : after(tail, opened))
        if ((e.rfind("sample ", 0) == 0 || e == "eos") && n > 0) {
            text += "|" + e;
            --n;
        }
    return text;
}

// Stopped: refused seeks change nothing, a seek only stores the segment,
// another time format is stored; running, the time format is kept.
TEST(ParserSeeking, RefusalsPositionsDurationAvailabilityCapabilitiesAndTimeFormat)
{
    const struct {
        DWORD currentFlags, stopFlags;
        bool nullCurrent;
        HRESULT expected;
        const char *trace; // "" for none
    } refusals[] = {
        {AM_SEEKING_RelativePositioning, 0, false, E_INVALIDARG, "  dwCurrentPos(2) is NOT supported \n"},
        {AM_SEEKING_IncrementalPositioning, 0, false, E_INVALIDARG, "  dwCurrentPos(3) is NOT supported \n"},
        {AM_SEEKING_AbsolutePositioning, 0, true, E_POINTER, ""},
        {AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, 0, false, E_INVALIDARG, ""},
        {AM_SEEKING_ReturnTime, 0, true, E_POINTER, ""},
        {AM_SEEKING_AbsolutePositioning | AM_SEEKING_Segment, 0, false, E_INVALIDARG,
         "  dwCurrentFlags AM_SEEKING_Segment is NOT supported \n"},
        {0, AM_SEEKING_RelativePositioning, false, E_INVALIDARG, "  dwStopPos(2) is NOT supported \n"},
        {0, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, false, E_INVALIDARG, ""},
        {0, AM_SEEKING_AbsolutePositioning | AM_SEEKING_Segment, false, E_INVALIDARG,
         "  dwStopFlags AM_SEEKING_Segment is NOT supported \n"},
        {AM_SEEKING_AbsolutePositioning, AM_SEEKING_AbsolutePositioning | AM_SEEKING_NoFlush, false, E_INVALIDARG,
         "  dwStopFlags AM_SEEKING_NoFlush is NOT supported \n"},
    };
    ParserGraph graph(dataMovie("video_only_faststart.mov"));
    IMediaSeeking *seeking = graph.seeking(graph.videoPin());
    const LONGLONG duration = loadStreams(dataMovie("video_only_faststart.mov")).video->GetDuration();
    for (const auto &r : refusals) {
        LONGLONG current = kSecond, stop = kSecond * 2;
        DebugCapture capture;
        EXPECT_EQ(r.expected,
                  seeking->SetPositions(r.nullCurrent ? nullptr : &current, r.currentFlags, &stop, r.stopFlags));
        EXPECT_EQ(*r.trace ? std::vector<std::string>{r.trace} : std::vector<std::string>{}, capture.messages());
    }
    LONGLONG start = kSecond / 2, end = kSecond, current = -1, length = -1, earliest = -1, latest = -1;
    DWORD none = 0, three = 3;
    GUID format = TIME_FORMAT_MEDIA_TIME;
    const DWORD abs = AM_SEEKING_AbsolutePositioning;
    std::string text;
    for (HRESULT hr : {seeking->GetDuration(&length), seeking->GetCurrentPosition(&current),
                       seeking->SetPositions(&start, abs, &end, abs), seeking->GetAvailable(&earliest, &latest),
                       seeking->CheckCapabilities(&none), seeking->CheckCapabilities(&three),
                       seeking->GetPositions(&current, nullptr), seeking->IsFormatSupported(&TIME_FORMAT_NONE),
                       seeking->SetTimeFormat(&TIME_FORMAT_NONE), seeking->GetTimeFormat(&format),
                       seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME)})
        text += std::to_string(hr) + " ";
    text += std::to_string(length) + " " + std::to_string(current) + " " + std::to_string(earliest) + "-" +
            std::to_string(latest) + " " + std::to_string(three) + (format == TIME_FORMAT_NONE ? " none " : " media ");
    seeking->GetDuration(&length);
    EXPECT_EQ("0 0 0 0 " + std::to_string(E_FAIL) + " 1 " + std::to_string(E_POINTER) + " 1 0 0 0 " +
                  std::to_string(duration) + " 0 0-" + std::to_string(duration) + " 1 none " +
                  std::to_string(kSecond / 2),
              text + std::to_string(length));
    graph.Record(graph.videoPin());
    ASSERT_EQ(S_OK, graph.Run());
    EXPECT_EQ(VFW_E_WRONG_STATE, seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME));
}

// Seeks of a running camera movie with sound (a sync entry every 5 of 30
// video entries, sound in 1 s chunks) while both sinks hold the fourth sample.
struct RunningSeek {
    const char *name;
    bool throughSound, videoConnected;
    DWORD flags;
    LONGLONG start, stop; // stop -1: left as it is
    HRESULT result;
    const char *video, *sound; // the openings after the seek
};

class RunningSeeks : public testing::TestWithParam<RunningSeek> {};

TEST_P(RunningSeeks, OpenTheNewSegmentAsExpected)
{
    const RunningSeek &c = GetParam();
    ScratchFolder folder;
    writeCameraMovie(folder.path("camera.mov"), 5);
    ParserGraph graph(folder.path("camera.mov"));
    IPin *videoPin = graph.videoPin();
    CTestInputPin *video = c.videoConnected ? graph.Record(videoPin) : nullptr;
    CTestInputPin *sound = graph.Record(graph.pin(L"Audio(PCM) Out"));
    for (CTestInputPin *sink : {video, sound})
        if (sink) sink->BlockAt(sink == video ? 4 : 2);
    ASSERT_EQ(S_OK, graph.Run());
    for (CTestInputPin *sink : {video, sound})
        ASSERT_TRUE(!sink || sink->WaitFor("blocked"));
    LONGLONG start = c.start, stop = c.stop;
    ASSERT_EQ(c.result, graph.seeking(c.throughSound ? graph.pin(L"Audio(PCM) Out") : videoPin)
                            ->SetPositions(&start, c.flags, c.stop < 0 ? nullptr : &stop,
                                           c.stop < 0 ? AM_SEEKING_NoPositioning : AM_SEEKING_AbsolutePositioning));
    EXPECT_EQ(start, c.start); // the segment start, not the sync entry's time
    for (CTestInputPin *sink : {video, sound})
        if (sink) sink->Unblock();
    if (FAILED(c.result)) return;
    for (auto [sink, want] : {std::pair(video, c.video), std::pair(sound, c.sound)}) {
        if (!sink) continue;
        graph.seeking(sink->GetConnected())->GetStopPosition(&stop); // each pin's own
        const std::string opened = segment(start, stop);
        sink->WaitEvents([&](const auto &e) { return has(after(e, opened), "eos"); });
        EXPECT_EQ(want, opening(sink->Events(), 0, opened, sink == video ? 3 : 4));
    }
}

const DWORD kAbs = AM_SEEKING_AbsolutePositioning;
INSTANTIATE_TEST_SUITE_P(
    ParserSeeking, RunningSeeks,
    testing::Values(
        RunningSeek{"Flush", false, true, kAbs | AM_SEEKING_ReturnTime, 11000000, -1, S_OK,
                    "flush|segment 11000000 20000000|sample 2147483648 0|sample 2147483649 0|sample 0 10000000",
                    "flush|segment 11000000 25000000|sample 0 -1000000|sample 0 9000000|eos"},
        RunningSeek{"NoFlush", false, true, kAbs | AM_SEEKING_NoFlush, 5000000, -1, S_OK,
                    "segment 5000000 20000000|sample 2147483648 0|sample 2147483649 0|sample 0 3333333",
                    "segment 5000000 25000000|sample 0 -5000000|sample 0 5000000|sample 0 15000000|eos"},
        RunningSeek{"SoundBesideVideo", true, true, kAbs, kSecond, -1, E_NOTIMPL, "", ""},
        RunningSeek{"SoundAlone", true, false, kAbs, 12500000, 2 * kSecond, S_OK, "",
                    "flush|segment 12500000 20000000|sample 0 -2500000|eos"}),
    [](const testing::TestParamInfo<RunningSeek> &info) { return std::string(info.param.name); });

// The baseline movie with a recording sink on its video pin; a seek through
// seeking that must return.
class BaselineVideo : public testing::Test {
protected:
    void seek(IMediaSeeking *seeking, LONGLONG start, DWORD flags = AM_SEEKING_AbsolutePositioning)
    {
        expectReturns("the seek", [&] { EXPECT_EQ(S_OK, seeking->SetPositions(&start, flags, nullptr, 0)); });
    }
    ParserGraph graph{dataMovie("baseline_sowt.mov")};
    IPin *video = graph.videoPin();
    CTestInputPin *sink = graph.Record(video);
    CMyParserOutputPin *const pin = parserPin(video);
    const LONGLONG duration = loadStreams(dataMovie("baseline_sowt.mov")).video->GetDuration();
};

TEST_F(BaselineVideo, NoSampleOfTheOldSegmentFollowsTheFlushOfASeek)
{
    Flag inWindow;
    int rounds = 0;
    // The sixth round stops between its command check and the delivery lock until the seek has flushed.
    DeliveryHook hook([&](CMyParserOutputPin *p, Point point) {
        if (p != pin || point != Point::kBeforeDeliveryLock || ++rounds != 6) return;
        inWindow.set();
        sink->WaitFor("endflush");
    });
    ASSERT_EQ(S_OK, graph.Run());
    ASSERT_TRUE(inWindow.wait());
    seek(graph.seeking(video), kSecond / 2);
    ASSERT_TRUE(sink->WaitEvents([](const auto &e) { return after(e, "endflush").size() >= 4; }));
    const std::vector<std::string> afterFlush = after(sink->Events(), "endflush");
    EXPECT_EQ(std::vector<std::string>(afterFlush.begin(), afterFlush.begin() + 4),
              (std::vector<std::string>{segment(kSecond / 2, duration), "sample 2147483648 0", "sample 2147483649 0",
                                        "sample 0 0"}));
    expectReturns("the stop", [&] { graph.Stop(); });
}

// A seek without flush while downstream holds the delivery thread in
// Receive: through the graph while running (the graph pauses first) and
// through the pin on a paused graph.
class NoFlushSeek : public BaselineVideo, public testing::WithParamInterface<bool> {};

TEST_P(NoFlushSeek, EndsWhileDownstreamHoldsASampleAndTheStreamGoesOnFromTheNewStart)
{
    const bool throughGraph = GetParam();
    sink->m_holdWhilePaused = true;
    Flag delivering;
    int samples = 0;
    // Through the graph: the fifth entry goes downstream only once the graph
    // has paused for the seek, and is held there.
    DeliveryHook hook([&](CMyParserOutputPin *p, Point point) {
        if (!throughGraph || p != pin || point != Point::kBeforeReceive || ++samples != 5) return;
        delivering.set();
        sink->WaitEvents([](const auto &e) { return std::count(e.begin(), e.end(), "pause") == 2; });
    });
    if (throughGraph) {
        ASSERT_EQ(S_OK, graph.Run());
        ASSERT_TRUE(delivering.wait());
    } else {
        ASSERT_EQ(S_OK, graph.Pause());
        ASSERT_TRUE(sink->WaitFor("held"));
    }
    seek(throughGraph ? graph.Seeking() : graph.seeking(video), kSecond,
         AM_SEEKING_AbsolutePositioning | AM_SEEKING_NoFlush);
    ASSERT_EQ(S_OK, throughGraph ? S_OK : graph.Run());
    const std::string opened = segment(kSecond, duration);
    const std::string want = opened + "|sample 2147483648 0|sample 2147483649 0|sample 0 10000000";
    sink->WaitEvents([&](const auto &e) { return opening(e, 0, opened, 3) == want; });
    EXPECT_EQ(want, opening(sink->Events(), 0, opened, 3));
    expectReturns("the stop", [&] { graph.Stop(); });
}

INSTANTIATE_TEST_SUITE_P(ParserSeekRaces, NoFlushSeek, testing::Values(true, false));

TEST_F(BaselineVideo, APositionQueryAtTheEndOfTheStreamDoesNotWaitForAFlushingSeek)
{
    sink->m_askStop = true; // once the seek is flushing
    ASSERT_EQ(S_OK, graph.Run());
    ASSERT_TRUE(sink->WaitFor("eos"));
    seek(graph.seeking(video), kSecond / 2);
    EXPECT_TRUE(has(sink->Events(), "stop " + std::to_string(duration)));
    expectReturns("the stop", [&] { graph.Stop(); });
}

TEST_F(BaselineVideo, ADownstreamFirstStopEndsDeliveryAndKeepsThePosition)
{
    Flag between, waiting;
    int rounds = 0;
    // The sixth round waits between two samples while downstream stops.
    DeliveryHook hook([&](CMyParserOutputPin *p, Point point) {
        if (p != pin) return;
        if (point == Point::kWaiting) waiting.set();
        if (point != Point::kBeforeDeliveryLock || ++rounds != 6) return;
        between.set();
        sink->WaitFor("inactive");
    });
    ASSERT_EQ(S_OK, graph.Run());
    ASSERT_TRUE(between.wait());
    PIN_INFO info{};
    sink->QueryPinInfo(&info);
    ASSERT_EQ(S_OK, Adopt(info.pFilter)->Stop()); // the graph's stop, downstream first, begins
    ASSERT_TRUE(waiting.wait());
    EXPECT_EQ(after(sink->Events(), "inactive"), std::vector<std::string>{});
    const LONGLONG lastDelivered = sink->Received().back().start;
    LONGLONG current = -1, afterStop = -1;
    EXPECT_EQ(S_OK, graph.seeking(video)->GetCurrentPosition(&current));
    expectReturns("the stop", [&] { graph.Stop(); });
    EXPECT_EQ(S_OK, graph.seeking(video)->GetCurrentPosition(&afterStop));
    EXPECT_EQ(std::to_string(lastDelivered) + " " + std::to_string(lastDelivered),
              std::to_string(current) + " " + std::to_string(afterStop));
}

TEST(ParserDisconnect, BothEndsDisconnectingAtOnceEnd)
{
    ParserGraph graph(dataMovie("video_only_faststart.mov"));
    IPin *video = nullptr;
    graph.parser()->FindPin(L"Video(H.264) Out", &video);
    CTestInputPin *sink = graph.Record(video);
    ComPtr<IPin> in = findPin(graph.parser(), L"XForm In");
    EXPECT_EQ(video->Release(), 2u); // the filter's reference and the sink's are left
    sink->m_holdDisconnect = true;
    std::thread downstream([&] { sink->Disconnect(); });
    ASSERT_TRUE(sink->WaitFor("disconnect held"));
    expectReturns("the disconnections", [&] {
        EXPECT_EQ(S_OK, in->Disconnect());
        downstream.join();
    });
    EXPECT_EQ(graph.filter()->GetPinCount(), 1);
    EXPECT_FALSE(sink->IsConnected());
}

// Random seeks through the pin and the graph, with and without a flush,
// running and paused, with sinks that hold samples while paused as
// renderers do: every seek ends, followed by both parameter sets and up to
// three entries from the sync entry at or before the start, or the end of
// the stream before them.
TEST(ParserStress, FiveHundredRandomSeeksRunningAndPausedEachFollowedByTheRightSamples)
{
    ScratchFolder folder;
    writeCameraMovie(folder.path("camera.mov"), 5);
    const CMyMovieStreams expected = loadStreams(folder.path("camera.mov"));
    const std::vector<MediaSampleRef> &index = expected.video->GetSampleIndex();
    const LONGLONG duration = expected.video->GetDuration();
    ParserGraph graph(folder.path("camera.mov"));
    IPin *video = graph.videoPin();
    CTestInputPin *videoSink = graph.Record(video);
    graph.Record(graph.pin(L"Audio(PCM) Out"))->m_holdWhilePaused = true;
    videoSink->m_holdWhilePaused = true;
    IMediaSeeking *const seekers[] = {graph.seeking(video), graph.Seeking()};

    std::mt19937 random(16);
    std::uniform_int_distribution<LONGLONG> anyTime(0, duration);
    LONGLONG stop = duration;
    for (int i = 0; i < 500; ++i) {
        const bool paused = random() % 2, noFlush = random() % 2, setStop = random() % 4 == 0;
        IMediaSeeking *seeking = seekers[random() % 2];
        ASSERT_EQ(S_OK, paused ? graph.Pause() : graph.Run());
        LONGLONG start = anyTime(random);
        // Half the stops fall on an entry's start, which ends the stream before that entry.
        if (setStop) stop = random() % 2 ? anyTime(random) : index[size_t(random()) % index.size()].start;
        const size_t mark = videoSink->Events().size();
        expectReturns("a seek", [&] {
            ASSERT_EQ(S_OK,
                      seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning | (noFlush ? AM_SEEKING_NoFlush : 0),
                                            setStop ? &stop : nullptr,
                                            setStop ? AM_SEEKING_AbsolutePositioning : AM_SEEKING_NoPositioning));
        });
        ASSERT_EQ(S_OK, paused ? graph.Run() : S_OK);

        const std::string opened = segment(start, stop);
        std::string want = opened + "|sample 2147483648 0|sample 2147483649 0";
        size_t next = 0, items = 2;
        for (size_t k = 0; k < index.size(); ++k)
            if (index[k].sync && index[k].start <= start) next = k;
        for (; items < 5; ++next, ++items)
            want += next == index.size() || index[next].start >= stop
                        ? "|eos"
                        : "|sample 0 " + std::to_string(index[next].start);
        want = want.substr(0, want.find("|eos") == std::string::npos ? std::string::npos : want.find("|eos") + 4);
        const size_t n = size_t(std::count(want.begin(), want.end(), '|'));
        auto got = [&](const std::vector<std::string> &e) {
            const std::string text = opening(e, mark, opened, n);
            return text.rfind("flush|", 0) == 0 ? text.substr(6) : text;
        };
        videoSink->WaitEvents([&](const auto &e) { return got(e) == want; });
        ASSERT_EQ(want, got(videoSink->Events())) << "seek " << i << " to " << start;
    }
    expectReturns("the stop", [&] { EXPECT_EQ(S_OK, graph.Stop()); });
}

} // namespace
