// Streaming through the decode filter with a push source driven by the test
// thread (which is then the upstream thread that decodes) and a test sink.
#include "decode_graph.h"
#include "support/ffmpeg_reference.h"

#include "support/debug_capture.h"
#include "support/hang_guard.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <memory>
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
        ASSERT_EQ(S_OK, m_control->Run());
        ASSERT_EQ(S_OK, m_push->Out()->DeliverNewSegment(0, StartOf(m_stream.samples.size()), 1.0));
        ASSERT_EQ(S_OK, m_push->PushParameterSets());
    }

    // Samples [from, to) with their times; the first failure.
    HRESULT PushRange(size_t from, size_t to, size_t discontinuityAt = SIZE_MAX)
    {
        for (size_t i = from; i < to; ++i) {
            HRESULT hr =
                m_push->Push(m_stream.samples[i], AM_STREAM_MEDIA, StartOf(i), StartOf(i + 1), i == discontinuityAt);
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    }

    HRESULT EndAndWait()
    {
        HRESULT hr = m_push->Out()->DeliverEndOfStream();
        if (FAILED(hr)) return hr;
        return WaitForEndOfStream(m_sink) ? S_OK : E_FAIL;
    }

    // "N@START" per picture received: N the reference picture it equals
    // ("?" for none), START its start ("-" without a time).
    std::string Trace()
    {
        std::string text;
        for (const ReceivedSample &p : m_sink->Received()) {
            const auto it = std::find(m_reference.begin(), m_reference.end(), PictureMd5(p));
            text += (it == m_reference.end() ? std::string("?") : std::to_string(it - m_reference.begin())) + "@" +
                    (p.Timed() ? std::to_string(p.start) : "-") + " ";
        }
        return text;
    }
    // The trace of reference pictures [from, to) measured from segmentStart.
    static std::string Expected(size_t from, size_t to, REFERENCE_TIME segmentStart = 0)
    {
        std::string text;
        for (size_t i = from; i < to; ++i)
            text += std::to_string(i) + "@" + std::to_string(StartOf(i) - segmentStart) + " ";
        return text;
    }

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
        for (const std::vector<BYTE> &unit : SplitUnits(m_stream.samples[i])) {
            ASSERT_EQ(S_OK, m_push->Push(unit, AM_STREAM_MEDIA));
            ++pushed;
        }
        if (i == 14) {
            ASSERT_EQ(S_OK, m_push->PushParameterSets()); // again, while pictures wait
        }
    }
    ASSERT_GT(pushed, m_stream.samples.size());
    ASSERT_EQ(S_OK, EndAndWait());
    std::string untimed;
    for (size_t i = 0; i < m_reference.size(); ++i)
        untimed += std::to_string(i) + "@- ";
    EXPECT_EQ(untimed, Trace());
}

TEST_F(StreamingTest, AnUnknownStreamIsRefusedAndNotQueued)
{
    ASSERT_EQ(S_OK, m_control->Run());
    // Queued, this picture would come before the parameter sets and fail them.
    EXPECT_EQ(E_FAIL, m_push->Push(m_stream.samples[0], 1));
    ASSERT_EQ(S_OK, m_push->PushParameterSets());
    ASSERT_EQ(S_OK, PushRange(0, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());
    EXPECT_EQ(m_reference.size(), m_sink->Received().size());
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
    EXPECT_THAT(Trace(), testing::AnyOf(Expected(15, 30), Expected(0, 1) + Expected(15, 30)));
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
        ASSERT_EQ(S_OK, m_push->Push(samples[i], AM_STREAM_MEDIA, StartOf(i), StartOf(i + 1)));
    ASSERT_EQ(S_OK, EndAndWait());

    // After the damaged picture, its successors up to the next IDR are concealed.
    std::string expected = Expected(0, kLost);
    for (size_t k = kLost; k + 1 < samples.size(); ++k)
        expected += (damaged && k < 14 ? "?" : std::to_string(damaged ? k + 1 : k)) + "@" +
                    std::to_string(StartOf(k + 1)) + " ";
    EXPECT_EQ(expected, Trace());
}

INSTANTIATE_TEST_SUITE_P(Samples, NoPictureTest, testing::Values(NoPicture::DamagedSliceHeader, NoPicture::SeiOnly));

// A new segment without a flush: the pictures before it keep the old start,
// also when a discontinuity after it drops the pictures still waiting.
class NoFlushSegmentTest : public StreamingTest, public testing::WithParamInterface<bool> {};

TEST_P(NoFlushSegmentTest, PicturesAreMeasuredAgainstTheSegmentTheyCameIn)
{
    const bool discontinuity = GetParam();
    m_sink->BlockAt(1);
    Start();
    ASSERT_EQ(S_OK, PushRange(0, 6));
    const REFERENCE_TIME segmentStart = StartOf(15);
    ASSERT_EQ(S_OK, m_push->Out()->DeliverNewSegment(segmentStart, StartOf(30), 1.0));
    ASSERT_EQ(S_OK, m_push->PushParameterSets());
    ASSERT_EQ(S_OK, PushRange(15, 16, discontinuity ? 15 : SIZE_MAX));
    m_sink->Unblock();
    ASSERT_EQ(S_OK, PushRange(16, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());

    const std::vector<SinkSegment> segments = Segments(m_sink->Events());
    ASSERT_EQ(2u, segments.size());
    EXPECT_EQ(segmentStart, segments[1].start);
    const size_t before = segments[1].picturesBefore;
    EXPECT_TRUE(discontinuity ? before <= 6 : before == 6) << before;
    EXPECT_EQ(Expected(0, before) + Expected(15, 30, segmentStart), Trace());
}

INSTANTIATE_TEST_SUITE_P(Discontinuity, NoFlushSegmentTest, testing::Bool());

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
    EXPECT_EQ(kept, m_push->Push(m_stream.samples[0], AM_STREAM_MEDIA, 0, kFrame));

    ASSERT_EQ(S_OK, m_control->Stop());
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
    ASSERT_TRUE(WaitUntilBlocked(m_sink));
    EXPECT_EQ(S_OK, m_control->Stop());
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
    ASSERT_EQ(S_OK, m_control->Run());
    ASSERT_EQ(S_OK, m_push->Out()->DeliverNewSegment(0, StartOf(4), 1.0));
    ASSERT_EQ(S_OK, m_push->PushParameterSets());

    const auto release = [](IUnknown *p) { p->Release(); };
    IMemInputPin *input = nullptr;
    ASSERT_EQ(S_OK, DecodeIn()->QueryInterface(IID_IMemInputPin, reinterpret_cast<void **>(&input)));
    const std::unique_ptr<IMemInputPin, decltype(release)> inputRef(input, release);
    IMemAllocator *allocator = nullptr;
    ASSERT_EQ(S_OK, input->GetAllocator(&allocator));
    const std::unique_ptr<IMemAllocator, decltype(release)> allocatorRef(allocator, release);
    IMediaSample *held = nullptr;
    ASSERT_EQ(S_OK, allocator->GetBuffer(&held, nullptr, nullptr, 0));
    const std::unique_ptr<IMediaSample, decltype(release)> heldRef(held, release);

    orvex::test::expectReturns("pushing with one of two buffers held", [&] {
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(S_OK, m_push->Push(stream.samples[i], AM_STREAM_MEDIA, StartOf(i), StartOf(i + 1)));
    });
    ASSERT_EQ(S_OK, m_push->Out()->DeliverEndOfStream());
    ASSERT_TRUE(WaitForEndOfStream(m_sink));
    EXPECT_EQ(4u, m_sink->Received().size());
}

TEST_F(StreamingTest, AFlushEmptiesTheQueuesAndTheNewSegmentFollowsInOrder)
{
    m_sink->BlockAt(1);
    Start();
    ASSERT_EQ(S_OK, PushRange(0, 6));
    ASSERT_EQ(S_OK, m_push->Out()->DeliverBeginFlush());
    ASSERT_EQ(S_OK, m_push->Out()->DeliverEndFlush());
    m_sink->Unblock();
    const REFERENCE_TIME segmentStart = StartOf(15);
    ASSERT_EQ(S_OK, m_push->Out()->DeliverNewSegment(segmentStart, StartOf(30), 1.0));
    ASSERT_EQ(S_OK, m_push->PushParameterSets());
    ASSERT_EQ(S_OK, PushRange(15, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());

    const std::vector<SinkSegment> segments = Segments(m_sink->Events());
    ASSERT_EQ(2u, segments.size());
    EXPECT_EQ(segmentStart, segments[1].start);
    // The one the blocked sink held may come before.
    EXPECT_THAT(Trace(),
                testing::AnyOf(Expected(15, 30, segmentStart), Expected(0, 1) + Expected(15, 30, segmentStart)));
}

TEST_F(StreamingTest, PicturesEndingBeforeTheSegmentStartAreDropped)
{
    ASSERT_EQ(S_OK, m_control->Run());
    const REFERENCE_TIME segmentStart = StartOf(3) + kFrame / 2; // in the middle of picture 3
    ASSERT_EQ(S_OK, m_push->Out()->DeliverNewSegment(segmentStart, StartOf(30), 1.0));
    ASSERT_EQ(S_OK, m_push->PushParameterSets());
    orvex::test::DebugCapture trace;
    ASSERT_EQ(S_OK, PushRange(0, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());

    // Picture 3 starts before the segment: it goes without a time.
    EXPECT_EQ("3@- " + Expected(4, 30, segmentStart), Trace());
    EXPECT_EQ(3u, trace.count("COrvexH264DecodeFilter11::output discard frame before segment startTime \n"));
    EXPECT_EQ(1u, trace.count("  frame endTime(66) < segment startTime(233) \n"));
    EXPECT_EQ(1u, trace.count("  frame endTime(199) < segment startTime(233) \n"));
}

// A renderer's surface with a wider stride, attached to a sample.
TEST_F(StreamingTest, ATypeChangeOnASampleWidensTheStride)
{
    CMediaType wide = m_decoder->GetPin(1)->CurrentMediaType();
    auto &vih = *reinterpret_cast<VIDEOINFOHEADER *>(wide.Format());
    vih.bmiHeader.biWidth = 256;
    vih.rcSource = vih.rcTarget = RECT{0, 0, 176, 144};
    const LONG bytes = 256 * 144 * 3 / 2;
    m_sink->m_requirements = {2, bytes, 1, 0};
    ASSERT_EQ(S_OK, m_graph->Reconnect(DecodeOut()));
    m_sink->AttachToNextSample(wide);
    Start();
    ASSERT_EQ(S_OK, PushRange(0, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());
    for (const ReceivedSample &p : m_sink->Received())
        EXPECT_EQ(256, reinterpret_cast<const VIDEOINFOHEADER *>(p.type.Format())->bmiHeader.biWidth);
    EXPECT_EQ(Expected(0, 30), Trace());
}

// A type the filter refuses drops that one picture; the rest keep their times.
TEST_F(StreamingTest, ARefusedTypeChangeDropsOnePictureAndTheRestKeepTheirTimes)
{
    CMediaType other = m_decoder->GetPin(1)->CurrentMediaType();
    other.SetSubtype(&MEDIASUBTYPE_RGB24);
    m_sink->AttachToNextSample(other);
    orvex::test::DebugCapture trace;
    Start();
    ASSERT_EQ(S_OK, PushRange(0, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());
    EXPECT_EQ(1u, trace.count("COrvexH264DecodeFilter11::validateNewOutputMediaType : REJECT : newSubType changed \n"));
    EXPECT_EQ(Expected(1, 30), Trace());
}

// The same surface without buffers to hold it: pictures are refused, not overrun.
TEST_F(StreamingTest, ASampleTooSmallForTheNewTypeIsRefused)
{
    CMediaType wide = m_decoder->GetPin(1)->CurrentMediaType();
    reinterpret_cast<VIDEOINFOHEADER *>(wide.Format())->bmiHeader.biWidth = 256;
    m_sink->AttachToNextSample(wide);
    Start();
    ASSERT_EQ(S_OK, PushRange(0, m_stream.samples.size()));
    ASSERT_EQ(S_OK, EndAndWait());
    EXPECT_EQ(0u, m_sink->Received().size());
    EXPECT_EQ(S_OK, m_decoder->GetStreamingError());
}

TEST_F(StreamingTest, OnlyTheLastFloodMessageGoesUpstream)
{
    Start();
    IQualityControl *quality = nullptr;
    ASSERT_EQ(S_OK, DecodeOut()->QueryInterface(IID_IQualityControl, reinterpret_cast<void **>(&quality)));
    quality->Notify(nullptr, Quality{Famine, 900, 10, 0});
    quality->Notify(nullptr, Quality{Flood, 1100, -10, 1});
    quality->Notify(nullptr, Quality{Flood, 1200, -20, 2});
    quality->Release();
    ASSERT_EQ(S_OK, PushRange(0, 1));
    const std::vector<Quality> passed = m_push->Out()->QualityMessages();
    ASSERT_EQ(1u, passed.size());
    EXPECT_EQ(1200, passed[0].Proportion);
}

} // namespace
