// CTransformFilter and its pins between the test source and sink: pin
// creation and names, type checks, the order of Stop and Pause, receiving,
// flushing, new segments, quality and seeking passed upstream.
#include "test_filters.h"
#include "ctlutil.h"
#include "transfrm.h"

#include <evcode.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

// {8C0E0C71-5A1B-4C8E-9E62-3B0F6E7A1D03}
DEFINE_GUID(CLSID_TestTransform, 0x8c0e0c71, 0x5a1b, 0x4c8e, 0x9e, 0x62, 0x3b, 0x0f, 0x6e, 0x7a, 0x1d, 0x03);

class CTestTransform;

// Pins that note when they go inactive, to check the order of Stop.
class CLoggingInputPin : public CTransformInputPin {
public:
    CLoggingInputPin(CTestTransform *pFilter, HRESULT *phr);
    HRESULT Inactive() override;
};

class CLoggingOutputPin : public CTransformOutputPin {
public:
    CLoggingOutputPin(CTestTransform *pFilter, HRESULT *phr);
    HRESULT Inactive() override;
};

class CTestTransform : public CTransformFilter {
public:
    explicit CTestTransform(HRESULT *phr) : CTransformFilter(NAME("Test transform"), NULL, CLSID_TestTransform)
    {
        UNREFERENCED_PARAMETER(phr);
    }

    // Builds its own pins, as a derived filter does.
    CBasePin *GetPin(int n) override
    {
        HRESULT hr = S_OK;
        if (m_pInput == NULL) {
            m_pInput = new CLoggingInputPin(this, &hr);
            m_pOutput = new CLoggingOutputPin(this, &hr);
        }
        return n == 0 ? static_cast<CBasePin *>(m_pInput) : n == 1 ? static_cast<CBasePin *>(m_pOutput) : NULL;
    }

    HRESULT CheckInputType(const CMediaType *mtIn) override
    {
        return *mtIn->Type() == MEDIATYPE_Video && *mtIn->Subtype() == MEDIASUBTYPE_RGB32 ? S_OK
                                                                                          : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT CheckTransform(const CMediaType *mtIn, const CMediaType *mtOut) override
    {
        return *mtIn->Subtype() == *mtOut->Subtype() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *pProps) override
    {
        ALLOCATOR_PROPERTIES want = *pProps, got{};
        want.cBuffers = std::max<LONG>(want.cBuffers, 2);
        want.cbBuffer = std::max<LONG>(want.cbBuffer, 512);
        return pAlloc->SetProperties(&want, &got);
    }
    HRESULT GetMediaType(int iPosition, CMediaType *pMediaType) override
    {
        if (iPosition < 0) return E_INVALIDARG;
        if (iPosition > 0) return VFW_S_NO_MORE_ITEMS;
        *pMediaType = m_pInput->CurrentMediaType();
        return S_OK;
    }
    HRESULT Transform(IMediaSample *pIn, IMediaSample *pOut) override
    {
        BYTE *src = NULL, *dst = NULL;
        pIn->GetPointer(&src);
        pOut->GetPointer(&dst);
        if (m_dropOdd && (src[0] % 2) == 1) return S_FALSE;
        dst[0] = static_cast<BYTE>(src[0] + 100);
        pOut->SetActualDataLength(pIn->GetActualDataLength());
        return S_OK;
    }
    HRESULT StartStreaming() override
    {
        Log("StartStreaming", CritCheckIn(&m_csReceive));
        return S_OK;
    }
    HRESULT StopStreaming() override
    {
        Log("StopStreaming", CritCheckIn(&m_csReceive));
        return S_OK;
    }
    HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override
    {
        m_segmentSeenOnPin = m_pInput->CurrentStartTime() == tStart && m_pInput->CurrentStopTime() == tStop;
        return CTransformFilter::NewSegment(tStart, tStop, dRate);
    }
    HRESULT AlterQuality(Quality q) override
    {
        if (q.Type == Flood) {
            ++m_floods;
            return S_OK; // handled here
        }
        return S_FALSE; // passed upstream
    }

    void Log(const char *what, BOOL receiveLockHeld)
    {
        m_log += what;
        m_log += receiveLockHeld ? "(locked) " : " ";
    }
    CCritSec *ReceiveLock() { return &m_csReceive; }
    CTransformInputPin *Input() { return m_pInput; }
    CTransformOutputPin *Output() { return m_pOutput; }

    std::string m_log;
    bool m_dropOdd = false;
    bool m_segmentSeenOnPin = false;
    int m_floods = 0;
};

CLoggingInputPin::CLoggingInputPin(CTestTransform *pFilter, HRESULT *phr)
    : CTransformInputPin(NAME("Logging input"), pFilter, phr, L"XForm In")
{
}

HRESULT CLoggingInputPin::Inactive()
{
    static_cast<CTestTransform *>(m_pTransformFilter)
        ->Log("InputInactive", CritCheckIn(static_cast<CTestTransform *>(m_pTransformFilter)->ReceiveLock()));
    return CTransformInputPin::Inactive();
}

CLoggingOutputPin::CLoggingOutputPin(CTestTransform *pFilter, HRESULT *phr)
    : CTransformOutputPin(NAME("Logging output"), pFilter, phr, L"XForm Out")
{
}

HRESULT CLoggingOutputPin::Inactive()
{
    static_cast<CTestTransform *>(m_pTransformFilter)
        ->Log("OutputInactive", CritCheckIn(static_cast<CTestTransform *>(m_pTransformFilter)->ReceiveLock()));
    return CTransformOutputPin::Inactive();
}

class TransformFilterTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_objects = CBaseObject::ObjectsActive();
        HRESULT hr = S_OK;
        m_pSource = new CTestSourceFilter(&hr);
        m_pTransform = new CTestTransform(&hr);
        m_pSink = new CTestSinkFilter(&hr);
        ASSERT_EQ(S_OK, hr);
        m_pSource->NonDelegatingAddRef();
        m_pTransform->NonDelegatingAddRef();
        m_pSink->NonDelegatingAddRef();
        m_pIn = static_cast<CTransformInputPin *>(m_pTransform->GetPin(0));
        m_pOut = static_cast<CTransformOutputPin *>(m_pTransform->GetPin(1));
    }
    void TearDown() override
    {
        StopAll();
        m_pSource->Pin()->Disconnect();
        m_pIn->Disconnect();
        m_pOut->Disconnect();
        m_pSink->Pin()->Disconnect();
        m_pSink->Pin()->ReleaseHeld();
        EXPECT_EQ(0u, m_pSource->NonDelegatingRelease());
        EXPECT_EQ(0u, m_pTransform->NonDelegatingRelease());
        EXPECT_EQ(0u, m_pSink->NonDelegatingRelease());
        EXPECT_EQ(m_objects, CBaseObject::ObjectsActive()) << "a filter, pin or allocator leaked";
    }
    void ConnectAll()
    {
        ASSERT_EQ(S_OK, m_pSource->Pin()->Connect(m_pIn, nullptr));
        ASSERT_EQ(S_OK, m_pOut->Connect(m_pSink->Pin(), nullptr));
    }
    // As a graph does: the renderer first, then upstream.
    void RunAll()
    {
        ASSERT_EQ(S_OK, m_pSink->Run(0));
        ASSERT_EQ(S_OK, m_pTransform->Run(0));
        ASSERT_EQ(S_OK, m_pSource->Run(0));
    }
    void StopAll()
    {
        m_pSink->Stop();
        m_pTransform->Stop();
        m_pSource->Stop();
    }
    LONG m_objects = 0;
    CTestSourceFilter *m_pSource = nullptr;
    CTestTransform *m_pTransform = nullptr;
    CTestSinkFilter *m_pSink = nullptr;
    CTransformInputPin *m_pIn = nullptr;
    CTransformOutputPin *m_pOut = nullptr;
};

TEST_F(TransformFilterTest, HasTwoNamedPins)
{
    EXPECT_EQ(2, m_pTransform->GetPinCount());
    EXPECT_EQ(nullptr, m_pTransform->GetPin(2));
    EXPECT_STREQ(L"XForm In", m_pIn->Name());
    EXPECT_STREQ(L"XForm Out", m_pOut->Name());
    LPWSTR id = nullptr;
    m_pIn->QueryId(&id);
    EXPECT_STREQ(L"In", id);
    CoTaskMemFree(id);
    m_pOut->QueryId(&id);
    EXPECT_STREQ(L"Out", id);
    CoTaskMemFree(id);
    IPin *pin = nullptr;
    ASSERT_EQ(S_OK, m_pTransform->FindPin(L"Out", &pin));
    EXPECT_EQ(static_cast<IPin *>(m_pOut), pin);
    pin->Release();
    EXPECT_EQ(VFW_E_NOT_FOUND, m_pTransform->FindPin(L"XForm Out", &pin));
}

TEST_F(TransformFilterTest, BaseClassMakesItsOwnPins)
{
    class CPlainTransform : public CTransformFilter {
    public:
        CPlainTransform() : CTransformFilter(NAME("Plain"), NULL, CLSID_TestTransform) {}
        HRESULT CheckInputType(const CMediaType *) override { return S_OK; }
        HRESULT CheckTransform(const CMediaType *, const CMediaType *) override { return S_OK; }
        HRESULT DecideBufferSize(IMemAllocator *, ALLOCATOR_PROPERTIES *) override { return S_OK; }
        HRESULT GetMediaType(int, CMediaType *) override { return VFW_S_NO_MORE_ITEMS; }
    };
    CPlainTransform *plain = new CPlainTransform;
    plain->NonDelegatingAddRef();
    CBasePin *in = plain->GetPin(0);
    ASSERT_NE(nullptr, in);
    EXPECT_EQ(in, plain->GetPin(0)) << "made once";
    EXPECT_STREQ(L"XForm Out", plain->GetPin(1)->Name());
    IMediaSample *none = nullptr;
    EXPECT_EQ(E_UNEXPECTED, plain->Transform(none, none));
    plain->NonDelegatingRelease();
}

TEST_F(TransformFilterTest, OutputWaitsForTheInputConnection)
{
    CMediaType mt;
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, m_pOut->GetMediaType(0, &mt));
    CMediaType rgb = MakeVideoType(MEDIASUBTYPE_RGB32, 16, 8);
    EXPECT_EQ(E_UNEXPECTED, m_pOut->Connect(m_pSink->Pin(), &rgb));
    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, m_pOut->Connect(m_pSink->Pin(), nullptr)) << "no types to offer yet";
    EXPECT_FALSE(m_pOut->IsConnected());
    ConnectAll();
    EXPECT_EQ(S_OK, m_pOut->GetMediaType(0, &mt));
    EXPECT_TRUE(mt == m_pIn->CurrentMediaType());
    EXPECT_TRUE(m_pSink->Pin()->CurrentMediaType() == m_pIn->CurrentMediaType());
}

TEST_F(TransformFilterTest, InputTypeIsCheckedAgainstTheConnectedOutput)
{
    ConnectAll();
    CMediaType yv12 = MakeVideoType(MEDIASUBTYPE_YV12, 16, 8);
    EXPECT_EQ(S_FALSE, m_pIn->QueryAccept(&yv12));
    CMediaType rgb = MakeVideoType(MEDIASUBTYPE_RGB32, 64, 64);
    EXPECT_EQ(S_OK, m_pIn->QueryAccept(&rgb));
}

TEST_F(TransformFilterTest, PauseFromStoppedStartsStreamingUnderTheReceiveLock)
{
    ConnectAll();
    ASSERT_EQ(S_OK, m_pTransform->Pause());
    EXPECT_EQ("StartStreaming(locked) ", m_pTransform->m_log);
    ASSERT_EQ(S_OK, m_pTransform->Pause());
    ASSERT_EQ(S_OK, m_pTransform->Run(0));
    EXPECT_EQ("StartStreaming(locked) ", m_pTransform->m_log) << "only the first pause starts streaming";
}

TEST_F(TransformFilterTest, StopDecommitsInputThenLocksThenOutputThenStopsStreaming)
{
    ConnectAll();
    ASSERT_EQ(S_OK, m_pTransform->Pause());
    m_pTransform->m_log.clear();
    ASSERT_EQ(S_OK, m_pTransform->Stop());
    EXPECT_EQ("InputInactive OutputInactive(locked) StopStreaming(locked) ", m_pTransform->m_log);
    EXPECT_TRUE(m_pTransform->IsStopped());
    m_pTransform->m_log.clear();
    ASSERT_EQ(S_OK, m_pTransform->Stop());
    EXPECT_EQ("", m_pTransform->m_log) << "stopping a stopped filter does nothing";
}

TEST_F(TransformFilterTest, UnconnectedFilterStopsAndPausesQuietly)
{
    ASSERT_EQ(S_OK, m_pTransform->Pause());
    ASSERT_EQ(S_OK, m_pTransform->Stop());
    EXPECT_EQ("", m_pTransform->m_log);
}

TEST_F(TransformFilterTest, PauseWithoutInputSendsEndOfStreamOnce)
{
    ConnectAll();
    // Connected downstream only: nothing can ever come from upstream.
    m_pSource->Pin()->Disconnect();
    m_pIn->Disconnect();
    ASSERT_EQ(S_OK, m_pSink->Pause());
    ASSERT_EQ(S_OK, m_pTransform->Pause());
    EXPECT_EQ(1, m_pSink->Pin()->EndOfStreams());
    ASSERT_EQ(S_OK, m_pTransform->Run(0));
    EXPECT_EQ(1, m_pSink->Pin()->EndOfStreams());
    ASSERT_EQ(S_OK, m_pTransform->Stop());
    ASSERT_EQ(S_OK, m_pTransform->Pause());
    EXPECT_EQ(2, m_pSink->Pin()->EndOfStreams()) << "once per pause from stopped";
    EXPECT_EQ("", m_pTransform->m_log) << "no streaming without input";
}

TEST_F(TransformFilterTest, ReceiveTransformsAndDelivers)
{
    ConnectAll();
    RunAll();
    std::thread streaming([this] {
        for (int i = 0; i < 20; i++)
            ASSERT_EQ(S_OK, m_pSource->DeliverOne(i));
    });
    streaming.join();
    std::vector<ReceivedSample> got = m_pSink->Pin()->Received();
    ASSERT_EQ(20u, got.size());
    for (int i = 0; i < 20; i++) {
        EXPECT_EQ(static_cast<BYTE>(i + 100), got[i].firstByte);
        EXPECT_EQ(i * 1000LL, got[i].start) << "the output sample carries the input's times";
        EXPECT_EQ(i % 2 == 0, (got[i].flags & AM_SAMPLE_SPLICEPOINT) != 0);
    }
}

TEST_F(TransformFilterTest, DroppedSampleIsNoFailureAndTellsTheGraphOnce)
{
    CTestGraph graph;
    m_pTransform->JoinFilterGraph(&graph, L"transform");
    ConnectAll();
    RunAll();
    m_pTransform->m_dropOdd = true;
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(S_OK, m_pSource->DeliverOne(i));
    EXPECT_EQ(3u, m_pSink->Pin()->Received().size());
    ASSERT_EQ(1u, graph.m_events.size());
    EXPECT_EQ(EC_QUALITY_CHANGE, graph.m_events[0].code);
    m_pTransform->JoinFilterGraph(nullptr, nullptr);
}

TEST_F(TransformFilterTest, OtherStreamsPassThroughUnchanged)
{
    ConnectAll();
    RunAll();
    ASSERT_EQ(S_OK, m_pSource->DeliverOne(7, AM_STREAM_CONTROL));
    std::vector<ReceivedSample> got = m_pSink->Pin()->Received();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(7, got[0].firstByte) << "not transformed";
    EXPECT_EQ(static_cast<DWORD>(AM_STREAM_CONTROL), got[0].streamId);
}

TEST_F(TransformFilterTest, InputPinRefusesWhenStoppedFlushingOrUnconnected)
{
    ASSERT_EQ(S_OK, m_pSource->Pin()->Connect(m_pIn, nullptr));
    ASSERT_EQ(S_OK, m_pSource->Pause());
    EXPECT_EQ(VFW_E_NOT_CONNECTED, m_pSource->DeliverOne(0)) << "nowhere to deliver";
    EXPECT_EQ(VFW_E_NOT_CONNECTED, m_pIn->BeginFlush());
    m_pSource->Stop();
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pSink->Pin(), nullptr));
    ASSERT_EQ(S_OK, m_pSource->Pause());
    EXPECT_EQ(VFW_E_WRONG_STATE, m_pSource->DeliverOne(0)) << "the transform is stopped";
    ASSERT_EQ(S_OK, m_pSource->Pin()->DeliverBeginFlush());
    EXPECT_EQ(S_FALSE, m_pSource->DeliverOne(0)) << "flushing comes before the state check";
    ASSERT_EQ(S_OK, m_pSource->Pin()->DeliverEndFlush());
    EXPECT_EQ(VFW_E_WRONG_STATE, m_pSource->DeliverOne(0));
}

TEST_F(TransformFilterTest, FlushAndEndOfStreamReachDownstream)
{
    ConnectAll();
    RunAll();
    ASSERT_EQ(S_OK, m_pSource->Pin()->DeliverBeginFlush());
    EXPECT_TRUE(m_pIn->IsFlushing());
    EXPECT_TRUE(m_pSink->Pin()->IsFlushing());
    ASSERT_EQ(S_OK, m_pSource->Pin()->DeliverEndFlush());
    EXPECT_FALSE(m_pIn->IsFlushing());
    EXPECT_FALSE(m_pSink->Pin()->IsFlushing());
    ASSERT_EQ(S_OK, m_pSource->Pin()->DeliverEndOfStream());
    EXPECT_EQ(1, m_pSink->Pin()->EndOfStreams());
}

TEST_F(TransformFilterTest, NewSegmentReachesTheInputPinBeforeTheFilter)
{
    ConnectAll();
    ASSERT_EQ(S_OK, m_pSource->Pin()->DeliverNewSegment(20000000, 80000000, 1.0));
    EXPECT_TRUE(m_pTransform->m_segmentSeenOnPin);
    EXPECT_EQ(20000000, m_pSink->Pin()->CurrentStartTime()) << "and goes on downstream";
    EXPECT_EQ(80000000, m_pSink->Pin()->CurrentStopTime());
}

TEST_F(TransformFilterTest, QualityIsHandledOrPassedUpstream)
{
    ConnectAll();
    Quality flood{Flood, 1200, -10000, 0};
    Quality famine{Famine, 800, 50000, 0};
    EXPECT_EQ(S_OK, m_pSink->Pin()->PassNotify(flood));
    EXPECT_EQ(1, m_pTransform->m_floods);
    EXPECT_TRUE(m_pSource->Pin()->m_quality.empty());
    EXPECT_EQ(S_OK, m_pSink->Pin()->PassNotify(famine));
    ASSERT_EQ(1u, m_pSource->Pin()->m_quality.size());
    EXPECT_EQ(50000, m_pSource->Pin()->m_quality[0].Late);
}

TEST_F(TransformFilterTest, StoppingInGraphOrderEndsAThreeFilterStream)
{
    ConnectAll();
    m_pSink->Pin()->m_holdSamples = true; // downstream keeps every buffer
    RunAll();
    HRESULT last = S_OK;
    std::thread streaming([&] {
        for (int i = 0; SUCCEEDED(last); i++)
            last = m_pSource->DeliverOne(i);
    });
    while (m_pSink->Pin()->Received().size() < 2)
        std::this_thread::yield();
    // The transform's thread now waits for an output buffer inside Receive,
    // holding the receive lock; stopping the sink frees it.
    StopAll();
    streaming.join();
    EXPECT_TRUE(FAILED(last));
    EXPECT_TRUE(m_pTransform->IsStopped());
}

// An upstream pin that seeks: the test source's pin with IMediaSeeking.
class CSeekingPin : public CTestSourcePin, public IMediaSeeking {
public:
    using CTestSourcePin::CTestSourcePin;
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_IMediaSeeking) return GetInterface(static_cast<IMediaSeeking *>(this), ppv);
        return CTestSourcePin::NonDelegatingQueryInterface(riid, ppv);
    }
    LONGLONG m_set = -1;
    STDMETHODIMP GetCapabilities(DWORD *p) override
    {
        *p = AM_SEEKING_CanSeekAbsolute;
        return S_OK;
    }
    STDMETHODIMP CheckCapabilities(DWORD *) override { return E_NOTIMPL; }
    STDMETHODIMP IsFormatSupported(const GUID *) override { return E_NOTIMPL; }
    STDMETHODIMP QueryPreferredFormat(GUID *) override { return E_NOTIMPL; }
    STDMETHODIMP GetTimeFormat(GUID *) override { return E_NOTIMPL; }
    STDMETHODIMP IsUsingTimeFormat(const GUID *) override { return E_NOTIMPL; }
    STDMETHODIMP SetTimeFormat(const GUID *) override { return E_NOTIMPL; }
    STDMETHODIMP GetDuration(LONGLONG *p) override
    {
        *p = 123456789;
        return S_OK;
    }
    STDMETHODIMP GetStopPosition(LONGLONG *) override { return E_NOTIMPL; }
    STDMETHODIMP GetCurrentPosition(LONGLONG *) override { return E_NOTIMPL; }
    STDMETHODIMP ConvertTimeFormat(LONGLONG *, const GUID *, LONGLONG, const GUID *) override { return E_NOTIMPL; }
    STDMETHODIMP SetPositions(LONGLONG *pCurrent, DWORD, LONGLONG *, DWORD) override
    {
        m_set = *pCurrent;
        return S_OK;
    }
    STDMETHODIMP GetPositions(LONGLONG *, LONGLONG *) override { return E_NOTIMPL; }
    STDMETHODIMP GetAvailable(LONGLONG *, LONGLONG *) override { return E_NOTIMPL; }
    STDMETHODIMP SetRate(double) override { return E_NOTIMPL; }
    STDMETHODIMP GetRate(double *p) override
    {
        *p = 1.0;
        return S_OK;
    }
    STDMETHODIMP GetPreroll(LONGLONG *) override { return E_NOTIMPL; }
};

TEST_F(TransformFilterTest, OutputPinSeeksThroughTheUpstreamPin)
{
    HRESULT hr = S_OK;
    CSeekingPin *seeking = new CSeekingPin(m_pSource, m_pSource->Lock(), &hr);
    IMediaSeeking *ms = nullptr;
    ASSERT_EQ(S_OK, m_pOut->QueryInterface(IID_IMediaSeeking, (void **)&ms));
    LONGLONG duration = 0;
    EXPECT_EQ(E_NOTIMPL, ms->GetDuration(&duration)) << "no upstream pin yet";

    ASSERT_EQ(S_OK, seeking->Connect(m_pIn, nullptr));
    ASSERT_EQ(S_OK, ms->GetDuration(&duration));
    EXPECT_EQ(123456789, duration);
    LONGLONG pos = 50000000;
    ASSERT_EQ(S_OK, ms->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, 0));
    EXPECT_EQ(50000000, seeking->m_set);
    double rate = 0;
    EXPECT_EQ(S_OK, ms->GetRate(&rate));
    EXPECT_EQ(E_NOTIMPL, ms->GetPreroll(&pos)) << "the upstream answer itself";

    IUnknown *a = nullptr, *b = nullptr;
    ms->QueryInterface(IID_IUnknown, (void **)&a);
    m_pOut->QueryInterface(IID_IUnknown, (void **)&b);
    EXPECT_EQ(a, b) << "the seeking object is part of the output pin";
    IPin *pin = nullptr;
    EXPECT_EQ(S_OK, ms->QueryInterface(IID_IPin, (void **)&pin));
    pin->Release();
    a->Release();
    b->Release();
    ms->Release();
    seeking->Disconnect();
    m_pIn->Disconnect();
    delete seeking;
}

TEST(CreatePosPassThru, NeedsAPin)
{
    IUnknown *unk = reinterpret_cast<IUnknown *>(1);
    EXPECT_EQ(E_POINTER, CreatePosPassThru(nullptr, FALSE, nullptr, &unk));
    EXPECT_EQ(nullptr, unk);
    EXPECT_EQ(E_POINTER, CreatePosPassThru(nullptr, FALSE, nullptr, nullptr));
}

} // namespace
