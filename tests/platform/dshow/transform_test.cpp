// CTransformFilter and its pins between the test source and sink: pin
// creation and names, type checks, the order of Stop and Pause, receiving,
// flushing, new segments, quality and seeking passed upstream.
#include "support/dshow_doubles.h"
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
        return *mtIn->Subtype() == MEDIASUBTYPE_TestB ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
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
        m_pSource = new CTestFilter(&hr, 0, {{MEDIASUBTYPE_TestA, MEDIASUBTYPE_TestB}});
        m_pTransform = new CTestTransform(&hr);
        m_pSink = new CTestFilter(&hr, 1, {});
        m_pSink->In()->m_accepted = {MEDIASUBTYPE_TestB};
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
        m_pSource->Out()->Disconnect();
        m_pIn->Disconnect();
        m_pOut->Disconnect();
        m_pSink->In()->Disconnect();
        m_pSink->In()->ReleaseHeld();
        EXPECT_EQ(0u, m_pSource->NonDelegatingRelease());
        EXPECT_EQ(0u, m_pTransform->NonDelegatingRelease());
        EXPECT_EQ(0u, m_pSink->NonDelegatingRelease());
        EXPECT_EQ(m_objects, CBaseObject::ObjectsActive()) << "a filter, pin or allocator leaked";
    }
    void ConnectAll()
    {
        ASSERT_EQ(S_OK, m_pSource->Out()->Connect(m_pIn, nullptr));
        ASSERT_EQ(S_OK, m_pOut->Connect(m_pSink->In(), nullptr));
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
    CTestFilter *m_pSource = nullptr;
    CTestTransform *m_pTransform = nullptr;
    CTestFilter *m_pSink = nullptr;
    CTransformInputPin *m_pIn = nullptr;
    CTransformOutputPin *m_pOut = nullptr;
};

TEST_F(TransformFilterTest, HasTwoNamedPinsMadeOnce)
{
    EXPECT_EQ(2, m_pTransform->GetPinCount());
    EXPECT_EQ(nullptr, m_pTransform->GetPin(2));
    std::wstring names;
    for (CBasePin *pin : {static_cast<CBasePin *>(m_pIn), static_cast<CBasePin *>(m_pOut)}) {
        LPWSTR id = nullptr;
        pin->QueryId(&id);
        names += std::wstring(pin->Name()) + L"/" + id + L" ";
        CoTaskMemFree(id);
    }
    EXPECT_EQ(L"XForm In/In XForm Out/Out ", names);
    IPin *pin = nullptr;
    ASSERT_EQ(S_OK, m_pTransform->FindPin(L"Out", &pin));
    EXPECT_EQ(static_cast<IPin *>(m_pOut), pin);
    pin->Release();
    EXPECT_EQ(VFW_E_NOT_FOUND, m_pTransform->FindPin(L"XForm Out", &pin));

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
    EXPECT_EQ(in, plain->GetPin(0)) << "the base class makes its pins once";
    EXPECT_STREQ(L"XForm Out", plain->GetPin(1)->Name());
    IMediaSample *none = nullptr;
    EXPECT_EQ(E_UNEXPECTED, plain->Transform(none, none));
    plain->NonDelegatingRelease();
}

TEST_F(TransformFilterTest, OutputWaitsForTheInputConnectionAndInputTypesAreCheckedAgainstIt)
{
    CMediaType mt;
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, m_pOut->GetMediaType(0, &mt));
    CMediaType b = TestType(MEDIASUBTYPE_TestB);
    EXPECT_EQ(E_UNEXPECTED, m_pOut->Connect(m_pSink->In(), &b));
    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, m_pOut->Connect(m_pSink->In(), nullptr)) << "no types to offer yet";
    EXPECT_FALSE(m_pOut->IsConnected());
    ConnectAll();
    EXPECT_EQ(S_OK, m_pOut->GetMediaType(0, &mt));
    EXPECT_TRUE(mt == m_pIn->CurrentMediaType());
    EXPECT_TRUE(m_pSink->In()->CurrentMediaType() == m_pIn->CurrentMediaType());
    CMediaType a = TestType(MEDIASUBTYPE_TestA), wider = TestType(MEDIASUBTYPE_TestB, 64);
    EXPECT_EQ(S_FALSE, m_pIn->QueryAccept(&a));
    EXPECT_EQ(S_OK, m_pIn->QueryAccept(&wider));
}

TEST_F(TransformFilterTest, StreamingStartsOnTheFirstPauseAndStopsInTheOrderThatFreesTheLocks)
{
    ASSERT_EQ(S_OK, m_pTransform->Pause());
    ASSERT_EQ(S_OK, m_pTransform->Stop());
    EXPECT_EQ("", m_pTransform->m_log) << "an unconnected filter does not stream";
    ConnectAll();
    ASSERT_EQ(S_OK, m_pTransform->Pause());
    ASSERT_EQ(S_OK, m_pTransform->Pause());
    ASSERT_EQ(S_OK, m_pTransform->Run(0));
    ASSERT_EQ(S_OK, m_pTransform->Stop());
    ASSERT_EQ(S_OK, m_pTransform->Stop());
    // Input inactive first, before the receive lock, so an upstream thread
    // waiting for a buffer gives up and frees the lock.
    EXPECT_EQ("StartStreaming(locked) InputInactive OutputInactive(locked) StopStreaming(locked) ",
              m_pTransform->m_log);
    EXPECT_TRUE(m_pTransform->IsStopped());
}

TEST_F(TransformFilterTest, PauseWithoutInputSendsEndOfStreamOnce)
{
    ConnectAll();
    // Connected downstream only: nothing can ever come from upstream.
    m_pSource->Out()->Disconnect();
    m_pIn->Disconnect();
    ASSERT_EQ(S_OK, m_pSink->Pause());
    ASSERT_EQ(S_OK, m_pTransform->Pause());
    EXPECT_EQ(1, m_pSink->In()->EndOfStreams());
    ASSERT_EQ(S_OK, m_pTransform->Run(0));
    EXPECT_EQ(1, m_pSink->In()->EndOfStreams());
    ASSERT_EQ(S_OK, m_pTransform->Stop());
    ASSERT_EQ(S_OK, m_pTransform->Pause());
    EXPECT_EQ(2, m_pSink->In()->EndOfStreams()) << "once per pause from stopped";
    EXPECT_EQ("", m_pTransform->m_log) << "no streaming without input";
}

TEST_F(TransformFilterTest, ReceiveTransformsDropsAndPassesOtherStreamsOn)
{
    CTestGraph graph;
    m_pTransform->JoinFilterGraph(&graph, L"transform");
    ConnectAll();
    RunAll();
    std::thread streaming([this] {
        for (int i = 0; i < 6; i++) {
            m_pTransform->m_dropOdd = i >= 2;
            ASSERT_EQ(S_OK, m_pSource->Out()->DeliverOne(i)) << "a dropped sample is no failure";
        }
        ASSERT_EQ(S_OK, m_pSource->Out()->DeliverOne(7, 0x80000000));
    });
    streaming.join();
    // Transformed samples carry the input's times and flags; the control
    // sample passes unchanged.
    EXPECT_EQ("100 0-10000 16 0 111\n"
              "101 10000-20000 16 0 110\n"
              "102 20000-30000 16 0 111\n"
              "104 40000-50000 16 0 111\n"
              "7 70000-80000 16 2147483648 110\n",
              Describe(m_pSink->In()->Received()));
    ASSERT_EQ(1u, graph.m_events.size()) << "the graph hears of dropping once";
    EXPECT_EQ(EC_QUALITY_CHANGE, graph.m_events[0].code);
    m_pTransform->JoinFilterGraph(nullptr, nullptr);
}

TEST_F(TransformFilterTest, InputPinRefusesWhenStoppedFlushingOrUnconnected)
{
    ASSERT_EQ(S_OK, m_pSource->Out()->Connect(m_pIn, nullptr));
    ASSERT_EQ(S_OK, m_pSource->Pause());
    EXPECT_EQ(VFW_E_NOT_CONNECTED, m_pSource->Out()->DeliverOne(0)) << "nowhere to deliver";
    EXPECT_EQ(VFW_E_NOT_CONNECTED, m_pIn->BeginFlush());
    m_pSource->Stop();
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pSink->In(), nullptr));
    ASSERT_EQ(S_OK, m_pSource->Pause());
    EXPECT_EQ(VFW_E_WRONG_STATE, m_pSource->Out()->DeliverOne(0)) << "the transform is stopped";
    ASSERT_EQ(S_OK, m_pSource->Out()->DeliverBeginFlush());
    EXPECT_EQ(S_FALSE, m_pSource->Out()->DeliverOne(0)) << "flushing comes before the state check";
    ASSERT_EQ(S_OK, m_pSource->Out()->DeliverEndFlush());
    EXPECT_EQ(VFW_E_WRONG_STATE, m_pSource->Out()->DeliverOne(0));
}

TEST_F(TransformFilterTest, FlushSegmentEndOfStreamAndQualityTakeTheirWays)
{
    ConnectAll();
    ASSERT_EQ(S_OK, m_pSource->Out()->DeliverNewSegment(20000000, 80000000, 1.0));
    EXPECT_TRUE(m_pTransform->m_segmentSeenOnPin) << "stored on the input pin before the filter hears it";
    EXPECT_EQ(20000000, m_pSink->In()->CurrentStartTime()) << "and on downstream";
    EXPECT_EQ(80000000, m_pSink->In()->CurrentStopTime());
    RunAll();
    ASSERT_EQ(S_OK, m_pSource->Out()->DeliverBeginFlush());
    EXPECT_TRUE(m_pIn->IsFlushing() && m_pSink->In()->IsFlushing());
    ASSERT_EQ(S_OK, m_pSource->Out()->DeliverEndFlush());
    EXPECT_FALSE(m_pIn->IsFlushing() || m_pSink->In()->IsFlushing());
    ASSERT_EQ(S_OK, m_pSource->Out()->DeliverEndOfStream());
    EXPECT_EQ(1, m_pSink->In()->EndOfStreams());

    Quality flood{Flood, 1200, -10000, 0}, famine{Famine, 800, 50000, 0};
    EXPECT_EQ(S_OK, m_pSink->In()->PassNotify(flood));
    EXPECT_EQ(1, m_pTransform->m_floods) << "handled by the filter";
    EXPECT_EQ(S_OK, m_pSink->In()->PassNotify(famine));
    ASSERT_EQ(1u, m_pSource->Out()->QualityMessages().size()) << "passed upstream";
    EXPECT_EQ(50000, m_pSource->Out()->QualityMessages()[0].Late);
}

TEST_F(TransformFilterTest, StoppingInGraphOrderEndsAThreeFilterStream)
{
    ConnectAll();
    m_pSink->In()->m_holdSamples = true; // downstream keeps every buffer
    RunAll();
    HRESULT last = S_OK;
    std::thread streaming([&] {
        for (int i = 0; SUCCEEDED(last); i++)
            last = m_pSource->Out()->DeliverOne(i);
    });
    ASSERT_TRUE(m_pSink->In()->WaitReceived(2));
    // The transform's thread now waits for an output buffer inside Receive,
    // holding the receive lock; stopping the sink frees it.
    StopAll();
    streaming.join();
    EXPECT_TRUE(FAILED(last));
    EXPECT_TRUE(m_pTransform->IsStopped());
}

TEST_F(TransformFilterTest, OutputPinSeeksThroughTheUpstreamPin)
{
    IMediaSeeking *ms = nullptr;
    ASSERT_EQ(S_OK, m_pOut->QueryInterface(IID_IMediaSeeking, (void **)&ms));
    LONGLONG value = 0;
    EXPECT_EQ(E_NOTIMPL, ms->GetDuration(&value)) << "no upstream pin yet";
    CTestOutputPin *up = m_pSource->Out();
    up->m_sampleCount = 12;
    up->m_sampleDuration = 1000;
    ASSERT_EQ(S_OK, up->Connect(m_pIn, nullptr));
    LONGLONG pos = 5000;
    ASSERT_EQ(S_OK, ms->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, 0));
    ASSERT_EQ(1u, up->SeekCalls().size());
    EXPECT_EQ(5000, up->SeekCalls()[0].current);
    // Each answer is the upstream pin's own.
    using Get = HRESULT (STDMETHODCALLTYPE IMediaSeeking::*)(LONGLONG *);
    for (Get get : {&IMediaSeeking::GetDuration, &IMediaSeeking::GetStopPosition, &IMediaSeeking::GetCurrentPosition,
                    &IMediaSeeking::GetPreroll}) {
        LONGLONG passed = -1, direct = -1;
        HRESULT hr = (up->*get)(&direct);
        EXPECT_EQ(hr, (ms->*get)(&passed));
        EXPECT_EQ(direct, passed);
    }
    LONGLONG current = 0, stop = 0;
    ASSERT_EQ(S_OK, ms->GetPositions(&current, &stop));
    EXPECT_EQ("5000 12000", std::to_string(current) + " " + std::to_string(stop));
    DWORD caps = 0;
    EXPECT_EQ(S_OK, ms->GetCapabilities(&caps));
    EXPECT_EQ(DWORD(AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration), caps);

    IUnknown *a = nullptr, *b = nullptr;
    ms->QueryInterface(IID_IUnknown, (void **)&a);
    m_pOut->QueryInterface(IID_IUnknown, (void **)&b);
    EXPECT_EQ(a, b) << "the seeking object is part of the output pin";
    a->Release();
    b->Release();
    ms->Release();
}

TEST(CreatePosPassThru, NeedsAPin)
{
    IUnknown *unk = reinterpret_cast<IUnknown *>(1);
    EXPECT_EQ(E_POINTER, CreatePosPassThru(nullptr, FALSE, nullptr, &unk));
    EXPECT_EQ(nullptr, unk);
    EXPECT_EQ(E_POINTER, CreatePosPassThru(nullptr, FALSE, nullptr, nullptr));
}

} // namespace
