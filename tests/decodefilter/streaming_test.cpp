// Streaming through the decode filter with a push source driven by the test
// thread (which is then the upstream thread that decodes) and a test sink.
#include "decode_graph.h"
#include "support/ffmpeg_reference.h"

#include "support/debug_capture.h"
#include "support/hang_guard.h"

#include <gmock/gmock.h>

#include <thread>

namespace {

constexpr REFERENCE_TIME kFrame = 666666; // 15 fps
const char kStream[] = "movies/stream_176x144_15fps.h264";

REFERENCE_TIME StartOf(size_t i)
{
    return static_cast<REFERENCE_TIME>(i) * kFrame;
}

// The NAL units of a length-prefixed sample, each as a sample of its own.
std::vector<std::vector<BYTE>> SplitUnits(const std::vector<BYTE> &sample)
{
    std::vector<std::vector<BYTE>> units;
    for (size_t at = 0; at + 4 <= sample.size();) {
        const size_t n = (size_t(sample[at]) << 24) | (size_t(sample[at + 1]) << 16) | (size_t(sample[at + 2]) << 8) |
                         sample[at + 3];
        units.emplace_back(sample.begin() + long(at), sample.begin() + long(at + 4 + n));
        at += 4 + n;
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
        m_reference = orvex::test::referenceMd5s(std::string(ORVEX_TEST_DATA_DIR) + "/" + kStream);
        ASSERT_EQ(m_stream.samples.size(), m_reference.size());
        ASSERT_EQ(S_OK, BuildPushInput(m_stream.config));
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
        for (size_t i = from; i < to; ++i) {
            HRESULT hr = m_push->Out()->Push(m_stream.samples[i], AM_STREAM_MEDIA, StartOf(i), StartOf(i + 1),
                                             i == discontinuityAt);
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    }

    HRESULT EndAndWait()
    {
        HRESULT hr = m_push->Out()->DeliverEndOfStream();
        if (FAILED(hr)) return hr;
        return m_sink->WaitFor("eos") ? S_OK : E_FAIL;
    }

    std::string Trace() { return ::Trace(m_sink, m_reference); }

    PushStream m_stream;
    std::vector<std::string> m_reference;
};

// Parameter sets, SEI and every other unit each in a sample of their own:
// samples without a picture must not leave decoding waiting for input.
TEST_F(StreamingTest, SamplesWithoutPicturesNeverStallDecoding)
{
    Start();
    size_t pushed = 0;
    for (size_t i = 0; i < m_stream.samples.size(); ++i) {
        for (const std::vector<BYTE> &unit : SplitUnits(m_stream.samples[i]))
            pushed += m_push->Out()->Push(unit, AM_STREAM_MEDIA) == S_OK;
        ASSERT_TRUE(i != 14 || m_push->PushParameterSets() == S_OK); // again, while pictures wait
    }
    ASSERT_GT(pushed, m_stream.samples.size());
    ASSERT_EQ(S_OK, EndAndWait());
    std::string untimed = "seg 0 ";
    for (size_t i = 0; i < m_reference.size(); ++i)
        untimed += std::to_string(i) + "@- ";
    EXPECT_EQ(untimed + "eos ", Trace());
}

TEST_F(StreamingTest, AnUnknownStreamIsRefusedAndNotQueued)
{
    ASSERT_EQ(S_OK, m_graph.Run());
    // Queued, this picture would come before the parameter sets and fail them.
    EXPECT_EQ(E_FAIL, m_push->Out()->Push(m_stream.samples[0], 1));
    ASSERT_EQ(S_OK, m_push->PushParameterSets());
    ASSERT_EQ(S_OK, PushRange(0, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());
    EXPECT_EQ(Expected(0, 30) + "eos ", Trace());
}

// A discontinuity drops what waits, and the pictures after it keep their own times.
TEST_F(StreamingTest, ADiscontinuityDropsWaitingPicturesAndKeepsTheRestPaired)
{
    m_sink->BlockAt(1);
    Start();
    ASSERT_EQ(S_OK, PushRange(0, 8));
    ASSERT_EQ(S_OK, PushRange(15, 16, 15)); // an IDR picture
    m_sink->Unblock();
    ASSERT_EQ(S_OK, PushRange(16, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());
    // The one the blocked sink held may come before.
    EXPECT_THAT(Trace(), testing::AnyOf("seg 0 " + Expected(15, 30) + "eos ",
                                        "seg 0 " + Expected(0, 1) + Expected(15, 30) + "eos "));
}

// A sample that gives no picture gives up its times: every picture keeps
// the time of its own sample, before and after it.
enum class NoPicture { DamagedSliceHeader, SeiOnly };

class NoPictureTest : public StreamingTest, public testing::WithParamInterface<NoPicture> {};

TEST_P(NoPictureTest, EveryPictureKeepsItsOwnSamplesTime)
{
    constexpr size_t kLost = 10;
    const bool damaged = GetParam() == NoPicture::DamagedSliceHeader;
    std::vector<std::vector<BYTE>> samples = m_stream.samples;
    if (damaged) {
        // first_mb_in_slice 0, then a slice_type out of range.
        std::vector<BYTE> &slice = samples[kLost];
        ASSERT_EQ(1, slice[4] & 0x1F);
        slice[5] = 0x80;
        slice[6] = slice[7] = 0;
    } else {
        std::vector<BYTE> sei;
        for (const std::vector<BYTE> &unit : SplitUnits(samples[0]))
            if ((unit[4] & 0x1F) == 6) sei = unit;
        ASSERT_FALSE(sei.empty());
        samples.insert(samples.begin() + kLost, sei);
    }
    Start();
    for (size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(S_OK, m_push->Out()->Push(samples[i], AM_STREAM_MEDIA, StartOf(i), StartOf(i + 1)));
    ASSERT_EQ(S_OK, EndAndWait());

    // After the damaged picture, its successors up to the next IDR are concealed.
    std::string expected = "seg 0 " + Expected(0, kLost);
    for (size_t k = kLost; k + 1 < samples.size(); ++k)
        expected += (damaged && k < 14 ? "?" : std::to_string(damaged ? k + 1 : k)) + "@" +
                    std::to_string(StartOf(k + 1)) + "-" + std::to_string(StartOf(k + 2)) + " ";
    EXPECT_EQ(expected + "eos ", Trace());
}

INSTANTIATE_TEST_SUITE_P(Samples, NoPictureTest, testing::Values(NoPicture::DamagedSliceHeader, NoPicture::SeiOnly));

// A new segment, after a flush or without one: the pictures before it keep
// the old start, also when a discontinuity after it drops the pictures
// still waiting; a flush empties the queues.
enum class NewSegment { Flush, NoFlush, NoFlushDiscontinuity };

class NewSegmentTest : public StreamingTest, public testing::WithParamInterface<NewSegment> {};

TEST_P(NewSegmentTest, PicturesAreMeasuredAgainstTheSegmentTheyCameIn)
{
    m_sink->BlockAt(1);
    Start();
    ASSERT_EQ(S_OK, PushRange(0, 6));
    if (GetParam() == NewSegment::Flush) {
        ASSERT_EQ(S_OK, m_push->Out()->DeliverBeginFlush());
        ASSERT_EQ(S_OK, m_push->Out()->DeliverEndFlush());
        m_sink->Unblock();
    }
    const REFERENCE_TIME segmentStart = StartOf(15);
    ASSERT_EQ(S_OK, m_push->Out()->DeliverNewSegment(segmentStart, StartOf(30), 1.0));
    ASSERT_EQ(S_OK, m_push->PushParameterSets());
    ASSERT_EQ(S_OK, PushRange(15, 16, GetParam() == NewSegment::NoFlushDiscontinuity ? 15 : SIZE_MAX));
    m_sink->Unblock();
    ASSERT_EQ(S_OK, PushRange(16, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());

    // Without a flush all six come first, with a discontinuity those not
    // dropped, after a flush at most the one the blocked sink held.
    const NewSegment kind = GetParam();
    std::vector<std::string> allowed;
    for (size_t before = 0; before <= 6; ++before)
        if (kind == NewSegment::NoFlushDiscontinuity || (kind == NewSegment::NoFlush ? before == 6 : before < 2))
            allowed.push_back("seg 0 " + Expected(0, before) + "seg " + std::to_string(segmentStart) + " " +
                              Expected(15, 30, segmentStart) + "eos ");
    EXPECT_THAT(Trace(), testing::AnyOfArray(allowed));
}

INSTANTIATE_TEST_SUITE_P(Kinds, NewSegmentTest,
                         testing::Values(NewSegment::Flush, NewSegment::NoFlush, NewSegment::NoFlushDiscontinuity));

struct DownstreamFailure {
    HRESULT hr;
    size_t picturesSeen; // of 30, failing from the third
};

class DownstreamFailureTest : public StreamingTest, public testing::WithParamInterface<DownstreamFailure> {};

TEST_P(DownstreamFailureTest, AFailureStopsDeliveryUntilTheNextStart)
{
    m_sink->FailFrom(3, GetParam().hr);
    Start();
    // Receive refuses samples once the output thread has met the failure.
    PushRange(0, m_stream.samples.size());
    ASSERT_EQ(S_OK, EndAndWait());
    EXPECT_EQ(GetParam().picturesSeen, m_sink->Received().size());
    const HRESULT kept = GetParam().hr == E_FAIL ? E_FAIL : S_OK;
    EXPECT_EQ(kept, m_decoder->GetStreamingError());
    EXPECT_EQ(kept, m_push->Out()->Push(m_stream.samples[0], AM_STREAM_MEDIA, 0, kFrame));

    ASSERT_EQ(S_OK, m_graph.Stop());
    m_sink->Forget();
    Start();
    ASSERT_EQ(S_OK, m_decoder->GetStreamingError());
    ASSERT_EQ(S_OK, PushRange(0, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());
    EXPECT_EQ(m_reference.size(), m_sink->Received().size());
}

INSTANTIATE_TEST_SUITE_P(Results, DownstreamFailureTest,
                         testing::Values(DownstreamFailure{E_FAIL, 3}, DownstreamFailure{VFW_E_NOT_COMMITTED, 30}));

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

// An upstream filter may keep one buffer while it delivers from another: with
// two, the filter must not keep the other queued, or upstream waits for a
// buffer while nothing is decoded.
TEST_F(DecodeGraphTest, WithTwoUpstreamBuffersAndOneHeldUpstreamEverySampleIsDecoded)
{
    PushStream stream = LoadPushStream(kStream, 176, 144);
    stream.config.buffers = 2;
    ASSERT_EQ(S_OK, BuildPushInput(stream.config));
    ConnectSink(MEDIASUBTYPE_YV12);
    ASSERT_EQ(S_OK, m_graph.Run());
    ASSERT_EQ(S_OK, m_push->Out()->DeliverNewSegment(0, StartOf(4), 1.0));
    ASSERT_EQ(S_OK, m_push->PushParameterSets());
    ComPtr<IMediaSample> held;
    ASSERT_EQ(S_OK, m_push->Out()->Allocator()->GetBuffer(&held, nullptr, nullptr, 0));
    orvex::test::expectReturns("pushing with one of two buffers held", [&] {
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(S_OK, m_push->Out()->Push(stream.samples[i], AM_STREAM_MEDIA, StartOf(i), StartOf(i + 1)));
    });
    ASSERT_EQ(S_OK, m_push->Out()->DeliverEndOfStream());
    ASSERT_TRUE(m_sink->WaitFor("eos"));
    EXPECT_EQ(4u, m_sink->Received().size());
}

TEST_F(StreamingTest, PicturesEndingBeforeTheSegmentStartAreDropped)
{
    ASSERT_EQ(S_OK, m_graph.Run());
    const REFERENCE_TIME segmentStart = StartOf(3) + kFrame / 2; // in the middle of picture 3
    ASSERT_EQ(S_OK, m_push->Out()->DeliverNewSegment(segmentStart, StartOf(30), 1.0));
    ASSERT_EQ(S_OK, m_push->PushParameterSets());
    orvex::test::DebugCapture trace;
    ASSERT_EQ(S_OK, PushRange(0, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());

    // Picture 3 starts before the segment: it goes without a time.
    EXPECT_EQ("seg 2333331 3@- " + Expected(4, 30, segmentStart) + "eos ", Trace());
    EXPECT_EQ("3 1 1", std::to_string(
                           trace.count("COrvexH264DecodeFilter11::output discard frame before segment startTime \n")) +
                           " " + std::to_string(trace.count("  frame endTime(66) < segment startTime(233) \n")) + " " +
                           std::to_string(trace.count("  frame endTime(199) < segment startTime(233) \n")));
}

// A renderer's surface attached to a sample: a wider stride with room for it
// is taken; without the room the pictures are refused, not overrun; another
// subtype is refused and drops that one picture, the rest keep their times.
struct TypeChange {
    const GUID *subtype;
    LONG stride;
    bool room;
    size_t firstPicture;
    size_t rejects;
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
    orvex::test::DebugCapture trace;
    Start();
    ASSERT_EQ(S_OK, PushRange(0, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());
    EXPECT_EQ(c.rejects,
              trace.count("COrvexH264DecodeFilter11::validateNewOutputMediaType : REJECT : newSubType changed \n"));
    EXPECT_EQ("seg 0 " + Expected(c.firstPicture, 30) + "eos ", Trace());
    for (const ReceivedSample &p : m_sink->Received())
        EXPECT_EQ(c.subtype == &MEDIASUBTYPE_YV12 ? c.stride : 176,
                  reinterpret_cast<const VIDEOINFOHEADER *>(p.type.Format())->bmiHeader.biWidth);
    EXPECT_EQ(S_OK, m_decoder->GetStreamingError());
}

INSTANTIATE_TEST_SUITE_P(Surfaces, TypeChangeTest,
                         testing::Values(TypeChange{&MEDIASUBTYPE_YV12, 256, true, 0, 0},
                                         TypeChange{&MEDIASUBTYPE_YV12, 256, false, 30, 0},
                                         TypeChange{&MEDIASUBTYPE_RGB24, 176, false, 1, 1}));

} // namespace
