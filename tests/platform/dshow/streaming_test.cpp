// Streaming between the test filters on real threads: delivery, the refusals
// of Receive when stopped or flushing, flushing a blocked Receive, stopping a
// source blocked for buffers, new segments, end of stream, quality messages
// and refused media type changes.
#include "test_filters.h"

#include <evcode.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class PinStreamingTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_objects = CBaseObject::ObjectsActive();
        HRESULT hr = S_OK;
        m_pSource = new CTestSourceFilter(&hr);
        m_pSink = new CTestSinkFilter(&hr);
        ASSERT_EQ(S_OK, hr);
        m_pSource->NonDelegatingAddRef();
        m_pSink->NonDelegatingAddRef();
        m_pOut = m_pSource->Pin();
        m_pIn = m_pSink->Pin();
        ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr));
    }
    void TearDown() override
    {
        // Renderer first, as a graph stops its filters.
        m_pSink->Stop();
        m_pSource->Stop();
        m_pOut->Disconnect();
        m_pIn->Disconnect();
        m_pIn->ReleaseHeld();
        EXPECT_EQ(0u, m_pSource->NonDelegatingRelease());
        EXPECT_EQ(0u, m_pSink->NonDelegatingRelease());
        EXPECT_EQ(m_objects, CBaseObject::ObjectsActive()) << "a filter, pin or allocator leaked";
    }
    void Start()
    {
        ASSERT_EQ(S_OK, m_pSink->Pause());
        ASSERT_EQ(S_OK, m_pSource->Pause());
        ASSERT_EQ(S_OK, m_pSink->Run(0));
        ASSERT_EQ(S_OK, m_pSource->Run(0));
    }
    LONG m_objects = 0;
    CTestSourceFilter *m_pSource = nullptr;
    CTestSinkFilter *m_pSink = nullptr;
    CTestSourcePin *m_pOut = nullptr;
    CTestSinkPin *m_pIn = nullptr;
};

TEST_F(PinStreamingTest, SamplesArriveInOrderFromAnotherThread)
{
    Start();
    HRESULT last = S_OK;
    std::thread streaming([&] {
        for (int i = 0; i < 50 && SUCCEEDED(last); i++)
            last = m_pSource->DeliverOne(i);
    });
    streaming.join();
    EXPECT_EQ(S_OK, last);
    std::vector<ReceivedSample> got = m_pIn->Received();
    ASSERT_EQ(50u, got.size());
    for (size_t k = 0; k < got.size(); k++) {
        int i = static_cast<int>(k);
        EXPECT_EQ(static_cast<BYTE>(i), got[k].firstByte);
        EXPECT_EQ(i * 1000LL, got[k].start);
        EXPECT_EQ((i + 1) * 1000LL, got[k].stop);
        EXPECT_EQ(100, got[k].length);
        EXPECT_EQ(static_cast<DWORD>(AM_STREAM_MEDIA), got[k].streamId);
        EXPECT_NE(0u, got[k].flags & AM_SAMPLE_TIMEVALID);
        EXPECT_EQ(i % 2 == 0, (got[k].flags & AM_SAMPLE_SPLICEPOINT) != 0);
    }
}

TEST_F(PinStreamingTest, StreamIdentifierReachesTheInputPin)
{
    Start();
    ASSERT_EQ(S_OK, m_pSource->DeliverOne(1, AM_STREAM_CONTROL));
    ASSERT_EQ(S_OK, m_pSource->DeliverOne(2, 0x80000001));
    ASSERT_EQ(S_OK, m_pSource->DeliverOne(3));
    std::vector<ReceivedSample> got = m_pIn->Received();
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ(static_cast<DWORD>(AM_STREAM_CONTROL), got[0].streamId);
    EXPECT_EQ(0x80000001u, got[1].streamId);
    EXPECT_EQ(0u, got[2].streamId) << "a reused buffer starts again as media";
}

TEST_F(PinStreamingTest, StoppedInputPinRefusesWithWrongState)
{
    ASSERT_EQ(S_OK, m_pSource->Pause());
    EXPECT_EQ(VFW_E_WRONG_STATE, m_pSource->DeliverOne(0));
    EXPECT_TRUE(m_pIn->Received().empty());
}

TEST_F(PinStreamingTest, FlushingInputPinRefusesWithFalse)
{
    Start();
    ASSERT_EQ(S_OK, m_pOut->DeliverBeginFlush());
    EXPECT_TRUE(m_pIn->IsFlushing());
    EXPECT_EQ(S_FALSE, m_pSource->DeliverOne(0));
    ASSERT_EQ(S_OK, m_pOut->DeliverEndFlush());
    EXPECT_FALSE(m_pIn->IsFlushing());
    EXPECT_EQ(S_OK, m_pSource->DeliverOne(1));
    ASSERT_EQ(1u, m_pIn->Received().size());
    EXPECT_EQ(1, m_pIn->Received()[0].firstByte);
}

TEST_F(PinStreamingTest, BeginFlushReleasesABlockedReceive)
{
    Start();
    m_pIn->m_blockUntilFlush = true;
    HRESULT delivered = E_FAIL;
    std::thread streaming([&] { delivered = m_pSource->DeliverOne(0); });
    ASSERT_TRUE(m_pIn->m_entered.Wait());
    ASSERT_EQ(S_OK, m_pOut->DeliverBeginFlush());
    streaming.join();
    EXPECT_EQ(S_FALSE, delivered);
    m_pIn->m_blockUntilFlush = false;
    ASSERT_EQ(S_OK, m_pOut->DeliverEndFlush());
    EXPECT_EQ(S_OK, m_pSource->DeliverOne(1));
}

TEST_F(PinStreamingTest, StoppingWakesASourceWaitingForBuffers)
{
    Start();
    m_pIn->m_holdSamples = true; // the sink keeps every buffer
    std::atomic<int> delivered{0};
    HRESULT last = S_OK;
    std::thread streaming([&] {
        for (int i = 0;; i++) {
            last = m_pSource->DeliverOne(i);
            if (FAILED(last)) break;
            ++delivered;
        }
    });
    // The source blocks once all three buffers are held downstream.
    while (m_pIn->Received().size() < 3)
        std::this_thread::yield();
    ASSERT_EQ(S_OK, m_pSink->Stop());
    ASSERT_EQ(S_OK, m_pSource->Stop());
    streaming.join();
    EXPECT_EQ(VFW_E_NOT_COMMITTED, last);
    EXPECT_EQ(3, delivered.load());
}

TEST_F(PinStreamingTest, ReleasedBuffersLetTheSourceGoOn)
{
    Start();
    m_pIn->m_holdSamples = true;
    std::thread streaming([&] {
        for (int i = 0; i < 9; i++)
            ASSERT_EQ(S_OK, m_pSource->DeliverOne(i));
    });
    for (size_t seen = 3; seen <= 9; seen += 3) {
        while (m_pIn->Received().size() < seen)
            std::this_thread::yield();
        m_pIn->ReleaseHeld();
    }
    streaming.join();
    EXPECT_EQ(9u, m_pIn->Received().size());
}

TEST_F(PinStreamingTest, NewSegmentIsStoredOnTheInputPin)
{
    EXPECT_EQ(0, m_pIn->CurrentStartTime());
    EXPECT_EQ(MAX_TIME, m_pIn->CurrentStopTime());
    EXPECT_EQ(1.0, m_pIn->CurrentRate());
    ASSERT_EQ(S_OK, m_pOut->DeliverNewSegment(50000000, 90000000, 1.0));
    EXPECT_EQ(50000000, m_pIn->CurrentStartTime());
    EXPECT_EQ(90000000, m_pIn->CurrentStopTime());
    ASSERT_EQ(S_OK, m_pOut->DeliverEndOfStream());
    EXPECT_EQ(1, m_pIn->EndOfStreams());
}

TEST_F(PinStreamingTest, QualityMessagesGoUpstreamOrToTheSink)
{
    Quality q{Famine, 800, 250000, 1000000};
    EXPECT_EQ(S_OK, m_pIn->PassNotify(q));
    ASSERT_EQ(1u, m_pOut->m_quality.size());
    EXPECT_EQ(250000, m_pOut->m_quality[0].Late);

    CTestSourceFilter *sinkOwner = m_pSource; // any quality control will do
    IQualityControl *sinkQc = nullptr;
    ASSERT_EQ(S_OK, m_pOut->QueryInterface(IID_IQualityControl, (void **)&sinkQc));
    ASSERT_EQ(S_OK, m_pIn->SetSink(sinkQc));
    q.Late = 7;
    EXPECT_EQ(S_OK, m_pIn->PassNotify(q));
    EXPECT_EQ(2u, m_pOut->m_quality.size());
    m_pIn->SetSink(nullptr);
    sinkQc->Release();
    (void)sinkOwner;
}

TEST_F(PinStreamingTest, RefusedTypeChangeIsARunTimeError)
{
    CTestGraph graph;
    m_pSink->JoinFilterGraph(&graph, L"sink");
    Start();
    IMediaSample *s = nullptr;
    ASSERT_EQ(S_OK, m_pOut->GetDeliveryBuffer(&s, nullptr, nullptr, 0));
    CMediaType yv12 = MakeVideoType(MEDIASUBTYPE_YV12, 16, 8);
    s->SetMediaType(&yv12);
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, m_pOut->Deliver(s));
    s->Release();
    EXPECT_TRUE(m_pIn->RunTimeError());
    EXPECT_EQ(1, m_pIn->EndOfStreams()) << "the stream ends where the type was refused";
    ASSERT_EQ(1u, graph.m_events.size());
    EXPECT_EQ(EC_ERRORABORT, graph.m_events[0].code);
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, graph.m_events[0].param1);
    EXPECT_EQ(VFW_E_RUNTIME_ERROR, m_pSource->DeliverOne(1));

    m_pOut->DeliverBeginFlush();
    m_pOut->DeliverEndFlush();
    EXPECT_EQ(S_OK, m_pSource->DeliverOne(2)) << "a flush clears the error";

    ASSERT_EQ(S_OK, m_pOut->GetDeliveryBuffer(&s, nullptr, nullptr, 0));
    CMediaType rgb = MakeVideoType(MEDIASUBTYPE_RGB32, 64, 8);
    s->SetMediaType(&rgb);
    EXPECT_EQ(S_OK, m_pOut->Deliver(s)) << "an acceptable type change passes";
    s->Release();
    m_pSink->JoinFilterGraph(nullptr, nullptr);
}

TEST_F(PinStreamingTest, ReceiveMultipleStopsAtTheFirstRefusal)
{
    Start();
    IMediaSample *s[2] = {};
    ASSERT_EQ(S_OK, m_pOut->GetDeliveryBuffer(&s[0], nullptr, nullptr, 0));
    ASSERT_EQ(S_OK, m_pOut->GetDeliveryBuffer(&s[1], nullptr, nullptr, 0));
    LONG done = -1;
    EXPECT_EQ(S_OK, m_pOut->PeerInput()->ReceiveMultiple(s, 2, &done));
    EXPECT_EQ(2, done);
    m_pOut->DeliverBeginFlush();
    EXPECT_EQ(S_FALSE, m_pOut->PeerInput()->ReceiveMultiple(s, 2, &done));
    EXPECT_EQ(0, done);
    m_pOut->DeliverEndFlush();
    s[0]->Release();
    s[1]->Release();
    EXPECT_EQ(S_OK, m_pOut->PeerInput()->ReceiveCanBlock()) << "a sink without outputs may block";
}

} // namespace
