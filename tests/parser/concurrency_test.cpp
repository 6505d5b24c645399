// Seeks, stops and disconnections of the parser racing its delivery threads
// and downstream, with the interleavings forced through the delivery hook.
#include "parser_graph.h"

#include "support/hang_guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

using namespace orvex::test;

namespace {

constexpr LONGLONG kSecond = 10000000;
using Point = DeliveryHook::Point;

bool has(const std::vector<std::string> &events, const std::string &event)
{
    return std::find(events.begin(), events.end(), event) != events.end();
}

// The events after the last occurrence of event (all of them when it never came).
std::vector<std::string> after(const std::vector<std::string> &events, const std::string &event)
{
    auto it = std::find(events.rbegin(), events.rend(), event);
    return std::vector<std::string>(it.base(), events.end());
}

std::string segment(LONGLONG start, LONGLONG stop)
{
    return "segment " + std::to_string(start) + " " + std::to_string(stop);
}

// The start of the sync entry at or before time.
LONGLONG syncBefore(const CQuickTimeMediaStreamInfo &info, LONGLONG time)
{
    LONGLONG found = 0;
    for (const MediaSampleRef &e : info.GetSampleIndex())
        if (e.sync && e.start <= time) found = e.start;
    return found;
}

// A new segment opens with both parameter sets and the sync entry at or before its start.
void expectSegmentOpening(RecordingSink *sink, const CQuickTimeMediaStreamInfo &info, LONGLONG start, LONGLONG stop)
{
    const std::string opened = segment(start, stop);
    auto samplesAfter = [&](const std::vector<std::string> &events) {
        std::vector<std::string> found;
        for (const std::string &e : after(events, opened))
            if (e.rfind("sample ", 0) == 0 && found.size() < 3) found.push_back(e);
        return found;
    };
    ASSERT_TRUE(sink->waitUntil([&](const auto &e) { return has(e, opened) && samplesAfter(e).size() == 3; }));
    EXPECT_EQ(samplesAfter(sink->events()),
              (std::vector<std::string>{"sample 2147483648 0", "sample 2147483649 0",
                                        "sample 0 " + std::to_string(syncBefore(info, start))}));
}

TEST(ParserSeekRaces, NoSampleOfTheOldSegmentFollowsTheFlushOfASeek)
{
    const std::string path = dataMovie("baseline_sowt.mov");
    const CMyMovieStreams expected = loadStreams(path);
    ParserGraph graph(path);
    ASSERT_EQ(S_OK, graph.connectResult());
    IPin *video = graph.videoPin();
    RecordingSink *sink = graph.record(video);
    CMyParserOutputPin *const pin = parserPin(video);
    Flag inWindow;
    int rounds = 0;
    // The sixth round stops between its command check and the delivery lock
    // until the seek has flushed.
    DeliveryHook hook([&](CMyParserOutputPin *p, Point point) {
        if (p != pin || point != Point::kBeforeDeliveryLock || ++rounds != 6) return;
        inWindow.set();
        sink->waitUntil([](const auto &e) { return has(e, "endflush"); });
    });
    graph.useClock(false);
    ASSERT_EQ(S_OK, graph.run());
    ASSERT_TRUE(inWindow.wait());
    LONGLONG start = kSecond / 2, stop = expected.video->GetDuration();
    expectReturns("the seek", [&] {
        EXPECT_EQ(S_OK, graph.seeking(video)->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0));
    });
    expectSegmentOpening(sink, *expected.video, start, stop);
    const std::vector<std::string> afterFlush = after(sink->events(), "endflush");
    ASSERT_FALSE(afterFlush.empty());
    EXPECT_EQ(afterFlush.front(), segment(start, stop));
    expectReturns("the stop", [&] { graph.stop(); });
}

// A seek without flush while downstream holds the delivery thread in
// Receive: through the graph while running (the graph pauses first) and
// through the pin on a paused graph.
class NoFlushSeek : public testing::TestWithParam<bool> {};

TEST_P(NoFlushSeek, EndsWhileDownstreamHoldsASampleAndTheStreamGoesOnFromTheNewStart)
{
    const bool throughGraph = GetParam();
    const std::string path = dataMovie("baseline_sowt.mov");
    const CMyMovieStreams expected = loadStreams(path);
    ParserGraph graph(path);
    ASSERT_EQ(S_OK, graph.connectResult());
    IPin *video = graph.videoPin();
    RecordingSink *sink = graph.record(video);
    sink->holdWhilePaused();
    sink->recordStateChanges();
    CMyParserOutputPin *const pin = parserPin(video);
    Flag delivering;
    int samples = 0;
    // Through the graph: the fifth entry goes downstream only once the graph
    // has paused for the seek, and is held there.
    DeliveryHook hook([&](CMyParserOutputPin *p, Point point) {
        if (!throughGraph || p != pin || point != Point::kBeforeReceive || ++samples != 5) return;
        delivering.set();
        sink->waitUntil([](const auto &e) { return std::count(e.begin(), e.end(), "pause") == 2; });
    });
    graph.useClock(false);
    LONGLONG start = kSecond, stop = expected.video->GetDuration();
    const DWORD flags = AM_SEEKING_AbsolutePositioning | AM_SEEKING_NoFlush;
    if (throughGraph) {
        ASSERT_EQ(S_OK, graph.run());
        ASSERT_TRUE(delivering.wait());
        expectReturns("the seek",
                      [&] { EXPECT_EQ(S_OK, graph.graphSeeking()->SetPositions(&start, flags, nullptr, 0)); });
    } else {
        ASSERT_EQ(S_OK, graph.pause());
        ASSERT_TRUE(sink->waitUntil([](const auto &e) { return has(e, "held"); }));
        expectReturns("the seek",
                      [&] { EXPECT_EQ(S_OK, graph.seeking(video)->SetPositions(&start, flags, nullptr, 0)); });
        ASSERT_EQ(S_OK, graph.run());
    }
    expectSegmentOpening(sink, *expected.video, start, stop);
    EXPECT_FALSE(has(sink->events(), "flush"));
    expectReturns("the stop", [&] { graph.stop(); });
}

INSTANTIATE_TEST_SUITE_P(ParserSeekRaces, NoFlushSeek, testing::Values(true, false));

TEST(ParserSeekRaces, APositionQueryAtTheEndOfTheStreamDoesNotWaitForAFlushingSeek)
{
    const std::string path = dataMovie("video_only_faststart.mov");
    const CMyMovieStreams expected = loadStreams(path);
    const LONGLONG duration = expected.video->GetDuration();
    ParserGraph graph(path);
    ASSERT_EQ(S_OK, graph.connectResult());
    IPin *video = graph.videoPin();
    RecordingSink *sink = graph.record(video);
    sink->askStopPositionAtEndOfStream(); // once the seek is flushing
    graph.useClock(false);
    ASSERT_EQ(S_OK, graph.run());
    ASSERT_TRUE(sink->waitUntil([](const auto &e) { return has(e, "eos"); }));
    LONGLONG start = kSecond / 2;
    expectReturns("the seek", [&] {
        EXPECT_EQ(S_OK, graph.seeking(video)->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0));
    });
    EXPECT_TRUE(has(sink->events(), "stop " + std::to_string(duration)));
    expectSegmentOpening(sink, *expected.video, start, duration);
    expectReturns("the stop", [&] { graph.stop(); });
}

TEST(ParserStop, ADownstreamFirstStopEndsDeliveryAndKeepsThePosition)
{
    const std::string path = dataMovie("baseline_sowt.mov");
    ParserGraph graph(path);
    ASSERT_EQ(S_OK, graph.connectResult());
    IPin *video = graph.videoPin();
    RecordingSink *sink = graph.record(video);
    sink->recordStateChanges();
    CMyParserOutputPin *const pin = parserPin(video);
    Flag between, waiting;
    int rounds = 0;
    // The sixth round waits between two samples while downstream stops.
    DeliveryHook hook([&](CMyParserOutputPin *p, Point point) {
        if (p != pin) return;
        if (point == Point::kWaiting) waiting.set();
        if (point != Point::kBeforeDeliveryLock || ++rounds != 6) return;
        between.set();
        sink->waitUntil([](const auto &e) { return has(e, "inactive"); });
    });
    graph.useClock(false);
    ASSERT_EQ(S_OK, graph.run());
    ASSERT_TRUE(between.wait());
    ASSERT_EQ(S_OK, sink->Stop()); // the graph's stop, downstream first, begins
    ASSERT_TRUE(waiting.wait());
    EXPECT_EQ(after(sink->events(), "inactive"), std::vector<std::string>{});
    const LONGLONG lastDelivered = sink->samples().back().start;
    LONGLONG current = -1;
    EXPECT_EQ(S_OK, graph.seeking(video)->GetCurrentPosition(&current));
    EXPECT_EQ(current, lastDelivered);
    expectReturns("the stop", [&] { graph.stop(); });
    EXPECT_EQ(S_OK, graph.seeking(video)->GetCurrentPosition(&current));
    EXPECT_EQ(current, lastDelivered);
}

TEST(ParserDisconnect, BothEndsDisconnectingAtOnceEnd)
{
    ParserGraph graph(dataMovie("video_only_faststart.mov"));
    ASSERT_EQ(S_OK, graph.connectResult());
    IPin *video = findPin(graph.parser(), L"Video(H.264) Out");
    RecordingSink *sink = graph.record(video);
    EXPECT_EQ(video->Release(), 2u); // the filter's reference and the sink's are left
    IPin *in = findPin(graph.parser(), L"XForm In");
    sink->holdNextDisconnect();
    std::thread downstream([&] { sink->GetPin(0)->Disconnect(); });
    ASSERT_TRUE(sink->waitUntil([](const auto &e) { return has(e, "disconnect held"); }));
    expectReturns("the disconnections", [&] {
        EXPECT_EQ(S_OK, in->Disconnect());
        downstream.join();
    });
    EXPECT_EQ(pinCount(graph.parser()), 1);
    IPin *peer = nullptr;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, sink->GetPin(0)->ConnectedTo(&peer));
    in->Release();
}

// The first n samples and ends of stream after the last new segment of
// this value among the events from mark on.
std::vector<std::string> openingOf(const std::vector<std::string> &events, size_t mark, const std::string &opened,
                                   size_t n)
{
    const std::vector<std::string> tail(events.begin() + std::ptrdiff_t(std::min(mark, events.size())), events.end());
    std::vector<std::string> found;
    if (!has(tail, opened)) return found;
    for (const std::string &e : after(tail, opened))
        if ((e.rfind("sample ", 0) == 0 || e == "eos") && found.size() < n) found.push_back(e);
    return found;
}

TEST(ParserStress, FiveHundredRandomSeeksRunningAndPausedEachFollowedByTheRightSamples)
{
    TempFolder folder;
    const std::string path = folder.path("camera.mov");
    writeCameraMovie(path, true, 5);
    const CMyMovieStreams expected = loadStreams(path);
    const std::vector<MediaSampleRef> &index = expected.video->GetSampleIndex();
    const LONGLONG duration = expected.video->GetDuration();
    ParserGraph graph(path);
    ASSERT_EQ(S_OK, graph.connectResult());
    IPin *video = graph.videoPin();
    RecordingSink *videoSink = graph.record(video);
    RecordingSink *soundSink = graph.record(graph.pin(L"Audio(PCM) Out"));
    for (RecordingSink *sink : {videoSink, soundSink})
        sink->holdWhilePaused(); // as renderers do
    IMediaSeeking *const seekers[] = {graph.seeking(video), graph.graphSeeking()};
    graph.useClock(false);

    std::mt19937 random(16);
    std::uniform_int_distribution<LONGLONG> anyTime(0, duration);
    LONGLONG stop = duration;
    for (int i = 0; i < 500; ++i) {
        const bool paused = random() % 2, noFlush = random() % 2, setStop = random() % 4 == 0;
        IMediaSeeking *seeking = seekers[random() % 2];
        ASSERT_EQ(S_OK, paused ? graph.pause() : graph.run());
        LONGLONG start = anyTime(random), current = 0;
        // Half the stops fall on an entry's start, which ends the stream before that entry.
        if (setStop) stop = random() % 2 ? anyTime(random) : index[size_t(random()) % index.size()].start;
        const size_t mark = videoSink->events().size();
        expectReturns("a seek", [&] {
            ASSERT_EQ(S_OK,
                      seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning | (noFlush ? AM_SEEKING_NoFlush : 0),
                                            setStop ? &stop : nullptr,
                                            setStop ? AM_SEEKING_AbsolutePositioning : AM_SEEKING_NoPositioning));
        });
        seeking->GetCurrentPosition(&current);
        if (paused) {
            ASSERT_EQ(S_OK, graph.run());
        }

        // Both parameter sets, then up to three entries from the sync entry
        // at or before the start, or the end of the stream before them.
        std::vector<std::string> want = {"sample 2147483648 0", "sample 2147483649 0"};
        size_t next = 0;
        for (size_t k = 0; k < index.size(); ++k)
            if (index[k].sync && index[k].start <= start) next = k;
        for (; want.size() < 5; ++next) {
            if (next == index.size() || index[next].start >= stop) {
                want.push_back("eos");
                break;
            }
            want.push_back("sample 0 " + std::to_string(index[next].start));
        }
        const std::string opened = segment(start, stop);
        ASSERT_TRUE(videoSink->waitUntil([&](const auto &e) {
            return openingOf(e, mark, opened, want.size()).size() == want.size();
        })) << "seek "
            << i << " to " << start;
        ASSERT_EQ(openingOf(videoSink->events(), mark, opened, want.size()), want) << "seek " << i;
    }
    expectReturns("the stop", [&] { EXPECT_EQ(S_OK, graph.stop()); });
}

} // namespace
