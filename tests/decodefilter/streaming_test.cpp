// Streaming through the decode filter with a push source driven by the test
// thread (which is then the upstream thread that decodes) and a test sink;
// seeking a running graph of file source, parser, decode filter and sink.
#include "decode_graph.h"
#include "support/ffmpeg_reference.h"

#include "support/hang_guard.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <random>
#include <thread>

namespace {

constexpr REFERENCE_TIME kFrame = 666666; // 15 fps
const char kStream[] = "movies/stream_176x144_15fps.h264";

REFERENCE_TIME StartOf(size_t i)
{
    return static_cast<REFERENCE_TIME>(i) * kFrame;
}

// The NAL units of a length-prefixed sample, each as a sample of its own.
std::vector<std::vector<BYTE>> SplitUnits(const std::vector<BYTE> &s)
{
    std::vector<std::vector<BYTE>> units;
    for (size_t at = 0, n = 0; at + 4 <= s.size(); at += 4 + n) {
        n = size_t(s[at]) << 24 | size_t(s[at + 1]) << 16 | size_t(s[at + 2]) << 8 | s[at + 3];
        units.emplace_back(s.begin() + long(at), s.begin() + long(at + 4 + n));
    }
    return units;
}

// The trace of reference pictures [from, to) measured from segmentStart.
std::string Expected(size_t from, size_t to, REFERENCE_TIME segmentStart = 0)
{
    std::string text;
    for (size_t i = from; i < to; ++i)
        text += std::to_string(i) + "@" + std::to_string(StartOf(i) - segmentStart) + "-" +
                std::to_string(StartOf(i + 1) - segmentStart) + " ";
    return text;
}

class StreamingTest : public DecodeGraphTest {
protected:
    void SetUp() override
    {
        DecodeGraphTest::SetUp();
        m_stream = LoadPushStream(kStream, 176, 144);
        m_stream.buffers = m_buffers;
        m_reference = orvex::test::referenceMd5s(std::string(ORVEX_TEST_DATA_DIR) + "/" + kStream);
        ASSERT_EQ(S_OK, BuildPushInput(m_stream));
        ConnectSink(MEDIASUBTYPE_YV12);
    }

    void Start()
    {
        ASSERT_EQ(S_OK, m_graph.Run());
        ASSERT_EQ(S_OK, m_push->Out()->DeliverNewSegment(0, StartOf(m_stream.samples.size()), 1.0));
        ASSERT_EQ(S_OK, m_push->PushParameterSets());
    }

    // Samples [from, to) with their times; the first failure.
    HRESULT PushRange(size_t from, size_t to, size_t discontinuityAt = SIZE_MAX)
    {
        HRESULT hr = S_OK;
        for (size_t i = from; i < to && SUCCEEDED(hr); ++i)
            hr = m_push->Out()->Push(m_stream.samples[i], AM_STREAM_MEDIA, StartOf(i), StartOf(i + 1),
                                     i == discontinuityAt);
        return hr;
    }

    HRESULT EndAndWait()
    {
        const HRESULT hr = m_push->Out()->DeliverEndOfStream();
        return FAILED(hr) ? hr : m_sink->WaitFor("eos") ? S_OK : E_FAIL;
    }

    std::string Trace() { return ::Trace(m_sink, m_reference); }

    LONG m_buffers = 16; // upstream; with many, pictures wait in the filter's queue
    PushStream m_stream;
    std::vector<std::string> m_reference;
};

// Parameter sets, SEI and every other unit each in a sample of their own:
// samples without a picture must not leave decoding waiting for input. A
// sample of an unknown stream is refused: queued, it would come before the
// parameter sets and fail them.
TEST_F(StreamingTest, SamplesWithoutPicturesNeverStallDecoding)
{
    ASSERT_EQ(S_OK, m_graph.Run());
    EXPECT_EQ(E_FAIL, m_push->Out()->Push(m_stream.samples[0], 1));
    Start();
    for (size_t i = 0; i < m_stream.samples.size(); ++i) {
        for (const std::vector<BYTE> &unit : SplitUnits(m_stream.samples[i]))
            ASSERT_EQ(S_OK, m_push->Out()->Push(unit, AM_STREAM_MEDIA));
        ASSERT_TRUE(i != 14 || m_push->PushParameterSets() == S_OK); // again, while pictures wait
    }
    ASSERT_EQ(S_OK, EndAndWait());
    std::string untimed = "seg 0 ";
    for (size_t i = 0; i < m_reference.size(); ++i)
        untimed += std::to_string(i) + "@- ";
    EXPECT_EQ(untimed + "eos ", Trace());
}

// A sample that gives no picture gives up its times: every picture keeps
// the time of its own sample, before and after it.
// The parameter: a damaged slice header, or else an SEI-only sample.
class NoPictureTest : public StreamingTest, public testing::WithParamInterface<bool> {};

TEST_P(NoPictureTest, EveryPictureKeepsItsOwnSamplesTime)
{
    constexpr size_t kLost = 10;
    const bool damaged = GetParam();
    std::vector<std::vector<BYTE>> &samples = m_stream.samples;
    if (damaged) {
        ASSERT_EQ(1, samples[kLost][4] & 0x1F);
        std::copy_n("\x80\0\0", 3, samples[kLost].begin() + 5); // first_mb_in_slice 0, a slice_type out of range
    } else {
        std::vector<BYTE> sei;
        for (const std::vector<BYTE> &unit : SplitUnits(samples[0]))
            if ((unit[4] & 0x1F) == 6) sei = unit;
        samples.insert(samples.begin() + kLost, sei);
    }
    Start();
    ASSERT_EQ(S_OK, PushRange(0, samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());

    // After the damaged picture, its successors up to the next IDR are concealed.
    std::string expected = "seg 0 " + Expected(0, kLost);
    for (size_t k = kLost; k + 1 < samples.size(); ++k)
        expected += (damaged && k < 14 ? "?" : std::to_string(damaged ? k + 1 : k)) + "@" +
                    std::to_string(StartOf(k + 1)) + "-" + std::to_string(StartOf(k + 2)) + " ";
    EXPECT_EQ(expected + "eos ", Trace());
}

INSTANTIATE_TEST_SUITE_P(Samples, NoPictureTest, testing::Bool());

// A discontinuity drops the pictures still waiting (the blocked sink may
// hold one); a new segment without a flush keeps the old start for the
// pictures before it; the pictures after keep their own times.
struct Restart {
    bool segment, discontinuity;
    size_t minBefore, maxBefore; // pictures of the old segment that come
};

class RestartTest : public StreamingTest, public testing::WithParamInterface<Restart> {};

TEST_P(RestartTest, PicturesAreMeasuredAgainstTheSegmentTheyCameIn)
{
    const Restart &c = GetParam();
    const REFERENCE_TIME start = c.segment ? StartOf(15) : 0;
    m_sink->BlockAt(1);
    Start();
    ASSERT_EQ(S_OK, PushRange(0, 6));
    if (c.segment) {
        ASSERT_EQ(S_OK, m_push->Out()->DeliverNewSegment(start, StartOf(30), 1.0));
        ASSERT_EQ(S_OK, m_push->PushParameterSets());
    }
    ASSERT_EQ(S_OK, PushRange(15, 16, c.discontinuity ? 15 : SIZE_MAX)); // an IDR picture
    m_sink->Unblock();
    ASSERT_EQ(S_OK, PushRange(16, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());
    std::vector<std::string> allowed;
    for (size_t before = c.minBefore; before <= c.maxBefore; ++before)
        allowed.push_back("seg 0 " + Expected(0, before) + (c.segment ? "seg " + std::to_string(start) + " " : "") +
                          Expected(15, 30, start) + "eos ");
    EXPECT_THAT(Trace(), testing::AnyOfArray(allowed));
}

INSTANTIATE_TEST_SUITE_P(Kinds, RestartTest,
                         testing::Values(Restart{false, true, 0, 1}, Restart{true, false, 6, 6},
                                         Restart{true, true, 0, 6}));

// A downstream failure from the third picture on stops delivery until the
// next start; a not-committed allocator is a stop under way, no failure.
class DownstreamFailureTest : public StreamingTest, public testing::WithParamInterface<HRESULT> {};

TEST_P(DownstreamFailureTest, AFailureStopsDeliveryUntilTheNextStart)
{
    m_sink->FailFrom(3, GetParam());
    Start();
    // Receive refuses samples once the output thread has met the failure.
    PushRange(0, m_stream.samples.size());
    ASSERT_EQ(S_OK, EndAndWait());
    const HRESULT kept = GetParam() == E_FAIL ? E_FAIL : S_OK;
    EXPECT_EQ(kept == S_OK ? 30u : 3u, m_sink->Received().size());
    EXPECT_EQ(kept, m_decoder->GetStreamingError());
    EXPECT_EQ(kept, m_push->Out()->Push(m_stream.samples[0], AM_STREAM_MEDIA, 0, kFrame));

    ASSERT_EQ(S_OK, m_graph.Stop());
    m_sink->Forget();
    Start();
    ASSERT_EQ(S_OK, PushRange(0, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());
    EXPECT_EQ(m_reference.size(), m_sink->Received().size());
}

INSTANTIATE_TEST_SUITE_P(Results, DownstreamFailureTest, testing::Values(E_FAIL, VFW_E_NOT_COMMITTED));

TEST_F(StreamingTest, StopWhileDecodingWaitsForRoomDoesNotHang)
{
    m_sink->BlockAt(1);
    Start();
    std::thread upstream([this] {
        // Blocks for room once the queue of pictures is full; the stop ends it.
        PushRange(0, m_stream.samples.size());
        m_push->Out()->DeliverEndOfStream();
    });
    ASSERT_TRUE(m_sink->WaitFor("blocked"));
    EXPECT_EQ(S_OK, m_graph.Stop());
    upstream.join();
    EXPECT_LT(m_sink->Received().size(), m_reference.size());
}

// An upstream filter may keep one of its two buffers while it delivers from
// the other: the filter must not keep that one queued, or upstream waits for
// a buffer while nothing is decoded.
struct TwoBufferTest : StreamingTest {
    TwoBufferTest() { m_buffers = 2; }
};

TEST_F(TwoBufferTest, WithOneOfTwoUpstreamBuffersHeldEverySampleIsDecoded)
{
    Start();
    ComPtr<IMediaSample> held;
    ASSERT_EQ(S_OK, m_push->Out()->Allocator()->GetBuffer(&held, nullptr, nullptr, 0));
    orvex::test::expectReturns("pushing with one of two buffers held", [&] { EXPECT_EQ(S_OK, PushRange(0, 4)); });
    ASSERT_EQ(S_OK, EndAndWait());
    EXPECT_EQ("seg 0 " + Expected(0, 4) + "eos ", Trace());
}

// A renderer's surface attached to a sample: a wider stride with room for it
// is taken; without the room the pictures are refused, not overrun; another
// subtype is refused and drops that one picture, the rest keep their times.
struct TypeChange {
    const GUID *subtype;
    LONG stride, firstPicture;
    bool room;
};

class TypeChangeTest : public StreamingTest, public testing::WithParamInterface<TypeChange> {};

TEST_P(TypeChangeTest, ATypeOnASampleIsTakenOrRefused)
{
    const TypeChange &c = GetParam();
    CMediaType changed = m_decoder->GetPin(1)->CurrentMediaType();
    changed.SetSubtype(c.subtype);
    auto &vih = *reinterpret_cast<VIDEOINFOHEADER *>(changed.Format());
    vih.bmiHeader.biWidth = c.stride;
    if (c.room) {
        vih.rcSource = vih.rcTarget = RECT{0, 0, 176, 144};
        m_sink->m_requirements = {2, c.stride * 144 * 3 / 2, 1, 0};
        ASSERT_EQ(S_OK, m_graph->Reconnect(DecodeOut()));
    }
    m_sink->AttachToNextSample(changed);
    Start();
    ASSERT_EQ(S_OK, PushRange(0, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());
    EXPECT_EQ("seg 0 " + Expected(size_t(c.firstPicture), 30) + "eos ", Trace());
    for (const ReceivedSample &p : m_sink->Received())
        EXPECT_EQ(c.subtype == &MEDIASUBTYPE_YV12 ? c.stride : 176,
                  reinterpret_cast<const VIDEOINFOHEADER *>(p.type.Format())->bmiHeader.biWidth);
    EXPECT_EQ(S_OK, m_decoder->GetStreamingError());
}

INSTANTIATE_TEST_SUITE_P(Surfaces, TypeChangeTest,
                         testing::Values(TypeChange{&MEDIASUBTYPE_YV12, 256, 0, true},
                                         TypeChange{&MEDIASUBTYPE_YV12, 256, 30, false},
                                         TypeChange{&MEDIASUBTYPE_RGB24, 176, 1, false}));

// Seeks at random places, with and without a flush, running and paused,
// through the graph and through the decode filter's output pin, with a sink
// that holds pictures while paused: every seek ends, and the next three
// pictures are ffmpeg's from the sync picture at or before the new start,
// less those ending before it, at times from the start (none for the one
// that straddles it).
TEST_F(DecodeGraphTest, FiveHundredRandomSeeksEachFollowedByTheRightPicturesAtTheRightTimes)
{
    const std::string path = MoviePath("baseline_sowt.mov"); // 15 fps, a sync picture every second
    const std::vector<ReferencePicture> reference = ReferencePictures(path, 160, 120);
    ASSERT_TRUE(!reference.empty() && reference.front().sync);
    std::vector<std::string> md5s;
    for (const ReferencePicture &p : reference)
        md5s.push_back(p.md5);
    BuildMovieInput(path);
    ConnectSink(MEDIASUBTYPE_YV12);
    m_sink->m_holdWhilePaused = true;
    ComPtr<IMediaSeeking> outputSeeking = QueryHeld<IMediaSeeking>(DecodeOut(), IID_IMediaSeeking);
    IMediaSeeking *const seekers[] = {m_graph.Seeking(), outputSeeking.Get()};
    std::mt19937 random(16);
    std::uniform_int_distribution<LONGLONG> anyTime(0, reference.back().stop - 1);
    for (int i = 0; i < 500; ++i) {
        const bool paused = random() % 2, noFlush = random() % 2;
        IMediaSeeking *seeking = seekers[random() % 2];
        LONGLONG start = anyTime(random);
        ASSERT_EQ(S_OK, paused ? m_graph.Pause() : m_graph.Run());
        m_sink->Forget();
        orvex::test::expectReturns("a seek", [&] {
            EXPECT_EQ(S_OK,
                      seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning | (noFlush ? AM_SEEKING_NoFlush : 0),
                                            nullptr, AM_SEEKING_NoPositioning));
        });
        ASSERT_EQ(S_OK, paused ? m_graph.Run() : S_OK);
        size_t first = 0;
        for (size_t k = 0; k < reference.size(); ++k)
            if (reference[k].sync && reference[k].start <= start) first = k;
        while (reference[first].stop < start)
            ++first;
        const std::string segment = "seg " + std::to_string(start) + " ";
        std::string expected = segment;
        const size_t pictures = std::min<size_t>(3, reference.size() - first);
        for (size_t k = first; k < first + pictures; ++k) {
            const REFERENCE_TIME from = reference[k].start - start, to = reference[k].stop - start;
            expected +=
                std::to_string(k) + "@" + (from >= 0 ? std::to_string(from) + "-" + std::to_string(to) : "-") + " ";
        }
        m_sink->WaitEvents([&](const std::vector<std::string> &events) {
            size_t seen = 0;
            for (auto e = events.rbegin(); e != events.rend(); seen += e++->rfind("sample ", 0) == 0)
                if (e->rfind("segment " + std::to_string(start) + " ", 0) == 0) return seen >= pictures;
            return false;
        });
        const std::string trace = Trace(m_sink, md5s);
        const size_t at = trace.rfind(segment);
        ASSERT_EQ(expected, at == std::string::npos ? trace : trace.substr(at, expected.size())) << "seek " << i;
    }
    orvex::test::expectReturns("the stop", [&] { EXPECT_EQ(S_OK, m_graph.Stop()); });
}

} // namespace
