// CBaseFilter and the base pins between a test source and a test sink:
// QueryInterface and reference counts, pin enumeration, graph events, state
// and clock, connection and allocator negotiation, wrong-state refusals, and
// streaming on real threads (flushing, blocking, stopping, type changes).
#include "support/dshow_doubles.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace {

template <typename T> T *Query(IUnknown *p, REFIID iid)
{
    T *out = nullptr;
    EXPECT_EQ(S_OK, p->QueryInterface(iid, reinterpret_cast<void **>(&out)));
    return out;
}

IUnknown *Identity(IUnknown *p)
{
    IUnknown *unk = Query<IUnknown>(p, IID_IUnknown);
    unk->Release();
    return unk;
}

ULONG Refs(IUnknown *p)
{
    p->AddRef();
    return p->Release();
}

// The source offers A then B; the sink's first pin takes B only.
class Pins : public testing::Test {
protected:
    void SetUp() override
    {
        m_objects = CBaseObject::ObjectsActive();
        HRESULT hr = S_OK;
        m_pSource = new CTestFilter(&hr, 0, {{MEDIASUBTYPE_TestA, MEDIASUBTYPE_TestB}});
        m_pSink = new CTestFilter(&hr, 2, {});
        ASSERT_EQ(S_OK, hr);
        m_pSource->NonDelegatingAddRef();
        m_pSink->NonDelegatingAddRef();
        m_pOut = m_pSource->Out();
        m_pIn = m_pSink->In();
        m_pIn->m_accepted = {MEDIASUBTYPE_TestB};
        m_pFilter = Query<IBaseFilter>(m_pSink->GetOwner(), IID_IBaseFilter);
    }
    void TearDown() override
    {
        // Renderer first, as a graph stops its filters.
        m_pSink->Stop();
        m_pSource->Stop();
        m_pOut->Disconnect();
        m_pIn->Disconnect();
        m_pIn->ReleaseHeld();
        m_pFilter->Release();
        EXPECT_EQ(0u, m_pSource->NonDelegatingRelease());
        EXPECT_EQ(0u, m_pSink->NonDelegatingRelease());
        EXPECT_EQ(m_objects, CBaseObject::ObjectsActive()) << "a filter, pin, enumerator or allocator leaked";
    }
    void Start()
    {
        ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr));
        ASSERT_EQ(S_OK, m_pSink->Run(0));
        ASSERT_EQ(S_OK, m_pSource->Run(0));
    }
    LONG m_objects = 0;
    CTestFilter *m_pSource = nullptr;
    CTestFilter *m_pSink = nullptr;
    CTestOutputPin *m_pOut = nullptr;
    CTestInputPin *m_pIn = nullptr;
    IBaseFilter *m_pFilter = nullptr;
};

TEST_F(Pins, InterfacesShareOneIdentityAndPinsCountOnTheirFilter)
{
    for (REFIID iid : {IID_IMediaFilter, IID_IPersist, IID_IAMovieSetup}) {
        IUnknown *p = Query<IUnknown>(m_pFilter, iid);
        EXPECT_EQ(Identity(m_pFilter), Identity(p));
        p->Release();
    }
    void *none = reinterpret_cast<void *>(1);
    EXPECT_EQ(E_NOINTERFACE, m_pFilter->QueryInterface(IID_IPin, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, m_pFilter->QueryInterface(IID_IBaseFilter, nullptr));
    CLSID clsid;
    EXPECT_EQ(S_OK, m_pFilter->GetClassID(&clsid));
    EXPECT_TRUE(IsEqualGUID(CLSID_TestFilter, clsid));
    IAMovieSetup *setup = Query<IAMovieSetup>(m_pFilter, IID_IAMovieSetup);
    EXPECT_EQ(S_FALSE, setup->Register()) << "no setup data";
    setup->Release();

    IPin *pin = m_pIn;
    ULONG filterRefs = Refs(m_pFilter);
    IQualityControl *qc = Query<IQualityControl>(pin, IID_IQualityControl);
    IMemInputPin *mem = Query<IMemInputPin>(pin, IID_IMemInputPin);
    EXPECT_EQ(filterRefs + 2, Refs(m_pFilter)) << "each pin interface holds the filter";
    EXPECT_EQ(Identity(pin), Identity(qc));
    EXPECT_EQ(Identity(pin), Identity(mem));
    EXPECT_NE(Identity(pin), Identity(m_pFilter)) << "a pin is an object of its own";
    EXPECT_EQ(E_NOINTERFACE, pin->QueryInterface(IID_IBaseFilter, &none));
    qc->Release();
    mem->Release();
    EXPECT_EQ(filterRefs, Refs(m_pFilter));
}

TEST_F(Pins, EnumerationHandsOutEveryPinOnceAndFollowsChanges)
{
    IEnumPins *pEnum = nullptr;
    ASSERT_EQ(S_OK, m_pFilter->EnumPins(&pEnum));
    IPin *pins[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(E_INVALIDARG, pEnum->Next(2, pins, nullptr)) << "several pins need a count";
    EXPECT_EQ(S_FALSE, pEnum->Next(3, pins, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_EQ(static_cast<IPin *>(m_pSink->In(0)), pins[0]);
    EXPECT_EQ(static_cast<IPin *>(m_pSink->In(1)), pins[1]);
    pins[0]->Release();
    pins[1]->Release();
    EXPECT_EQ(S_OK, pEnum->Reset());
    EXPECT_EQ(S_OK, pEnum->Skip(1));
    EXPECT_EQ(S_FALSE, pEnum->Skip(2));
    IEnumPins *pClone = nullptr;
    pEnum->Reset();
    pEnum->Skip(1);
    ASSERT_EQ(S_OK, pEnum->Clone(&pClone));
    ASSERT_EQ(S_OK, pClone->Next(1, pins, nullptr));
    EXPECT_EQ(static_cast<IPin *>(m_pSink->In(1)), pins[0]) << "the clone continues where the original was";
    pins[0]->Release();
    pClone->Release();
    pEnum->Release();

    ASSERT_EQ(S_OK, m_pFilter->EnumPins(&pEnum));
    ASSERT_EQ(S_OK, pEnum->Next(1, pins, nullptr));
    pins[0]->Release();
    m_pSink->AddInput(L"In2");
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pEnum->Clone(&pClone));
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pEnum->Skip(1));
    EXPECT_EQ(S_FALSE, pEnum->Next(3, pins, &fetched));
    ASSERT_EQ(2u, fetched) << "the pin already handed out does not come again";
    EXPECT_EQ(static_cast<IPin *>(m_pSink->In(1)), pins[0]);
    EXPECT_EQ(static_cast<IPin *>(m_pSink->In(2)), pins[1]);
    pins[0]->Release();
    pins[1]->Release();
    pEnum->Release();
    m_pSink->RemoveLastInput();
}

TEST_F(Pins, PinsDescribeThemselves)
{
    IPin *pin = nullptr;
    ASSERT_EQ(S_OK, m_pFilter->FindPin(L"In1", &pin));
    EXPECT_EQ(static_cast<IPin *>(m_pSink->In(1)), pin);
    pin->Release();
    pin = reinterpret_cast<IPin *>(1);
    EXPECT_EQ(VFW_E_NOT_FOUND, m_pFilter->FindPin(L"In9", &pin));
    EXPECT_EQ(nullptr, pin);
    EXPECT_EQ(E_POINTER, m_pFilter->FindPin(L"In1", nullptr));

    PIN_INFO info;
    ASSERT_EQ(S_OK, m_pIn->QueryPinInfo(&info));
    EXPECT_EQ(m_pFilter, info.pFilter);
    EXPECT_STREQ(L"In0", info.achName);
    EXPECT_EQ(PINDIR_INPUT, info.dir);
    info.pFilter->Release();
    PIN_DIRECTION dir;
    EXPECT_EQ(S_OK, m_pOut->QueryDirection(&dir));
    EXPECT_EQ(PINDIR_OUTPUT, dir);
    LPWSTR id = nullptr;
    ASSERT_EQ(S_OK, m_pIn->QueryId(&id));
    EXPECT_STREQ(L"In0", id);
    CoTaskMemFree(id);
    IPin *peer = reinterpret_cast<IPin *>(1);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, m_pIn->ConnectedTo(&peer));
    EXPECT_EQ(nullptr, peer);
    AM_MEDIA_TYPE connection;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, m_pIn->ConnectionMediaType(&connection));
    CMediaType b = TestType(MEDIASUBTYPE_TestB), a = TestType(MEDIASUBTYPE_TestA);
    EXPECT_EQ(S_OK, m_pIn->QueryAccept(&b));
    EXPECT_EQ(S_FALSE, m_pIn->QueryAccept(&a));
    EXPECT_EQ(E_NOTIMPL, m_pIn->QueryInternalConnections(nullptr, nullptr));
}

TEST_F(Pins, JoiningAGraphKeepsANameAndAnUncountedEventSink)
{
    FILTER_INFO info;
    ASSERT_EQ(S_OK, m_pFilter->QueryFilterInfo(&info));
    EXPECT_STREQ(L"", info.achName);
    EXPECT_EQ(nullptr, info.pGraph);
    EXPECT_EQ(E_NOTIMPL, m_pSink->SendEvent(EC_COMPLETE, S_OK, 0)) << "no graph to tell";

    CTestGraph graph;
    WCHAR name[] = L"Renderer";
    ASSERT_EQ(S_OK, m_pFilter->JoinFilterGraph(&graph, name));
    name[0] = L'X'; // the filter keeps its own copy
    EXPECT_EQ(1, graph.m_cRef) << "the graph is not counted";
    ASSERT_EQ(S_OK, m_pFilter->QueryFilterInfo(&info));
    EXPECT_STREQ(L"Renderer", info.achName);
    EXPECT_EQ(static_cast<IFilterGraph *>(&graph), info.pGraph);
    info.pGraph->Release();
    EXPECT_EQ(S_OK, m_pSink->SendEvent(EC_COMPLETE, S_OK, 0));
    EXPECT_EQ(S_OK, m_pSink->SendEvent(EC_ERRORABORT, E_FAIL, 7));
    ASSERT_EQ(2u, graph.m_events.size());
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(m_pFilter), graph.m_events[0].param2) << "EC_COMPLETE names its filter";
    EXPECT_EQ(7, graph.m_events[1].param2);
    ASSERT_EQ(S_OK, m_pFilter->JoinFilterGraph(nullptr, nullptr));
    EXPECT_EQ(E_NOTIMPL, m_pSink->SendEvent(EC_COMPLETE, S_OK, 0));
    EXPECT_EQ(E_NOTIMPL, m_pFilter->QueryVendorInfo(nullptr));
}

TEST_F(Pins, StateAndStreamTimeFollowTheClock)
{
    FILTER_STATE state;
    EXPECT_EQ(E_POINTER, m_pFilter->GetState(0, nullptr));
    EXPECT_EQ(S_OK, m_pFilter->Run(0)) << "running from stopped pauses first";
    m_pFilter->GetState(0, &state);
    EXPECT_EQ(State_Running, state);
    EXPECT_EQ(S_OK, m_pFilter->Pause());
    m_pFilter->GetState(0, &state);
    EXPECT_EQ(State_Paused, state);
    EXPECT_EQ(S_OK, m_pFilter->Stop());
    EXPECT_TRUE(m_pSink->IsStopped());

    CRefTime rt(REFERENCE_TIME(-1));
    EXPECT_EQ(VFW_E_NO_CLOCK, m_pSink->StreamTime(rt));
    EXPECT_EQ(-1, REFERENCE_TIME(rt)) << "left alone without a clock";
    CTestClock clock;
    ASSERT_EQ(S_OK, m_pFilter->SetSyncSource(&clock));
    EXPECT_EQ(2, clock.m_cRef);
    clock.m_now = 5000000;
    ASSERT_EQ(S_OK, m_pFilter->Run(2000000));
    ASSERT_EQ(S_OK, m_pSink->StreamTime(rt));
    EXPECT_EQ(3000000, REFERENCE_TIME(rt));
    m_pFilter->Stop();
    ASSERT_EQ(S_OK, m_pFilter->SetSyncSource(nullptr));
    EXPECT_EQ(1, clock.m_cRef) << "the clock is released";
}

struct ConnectCase {
    const char *what;
    const GUID *given; // the type passed to Connect, none when null
    bool partial;      // only major type and subtype given
    GUID sinkTakes;
    HRESULT result;
};

TEST_F(Pins, ConnectAgreesOnATypeBothPinsAccept)
{
    const ConnectCase cases[] = {
        {"the source's second type, the one the sink takes", nullptr, false, MEDIASUBTYPE_TestB, S_OK},
        {"a full type is the only one tried", &MEDIASUBTYPE_TestA, false, MEDIASUBTYPE_TestB, VFW_E_TYPE_NOT_ACCEPTED},
        {"a full type both take", &MEDIASUBTYPE_TestB, false, MEDIASUBTYPE_TestB, S_OK},
        {"a partial type filters the candidates", &MEDIASUBTYPE_TestA, true, MEDIASUBTYPE_TestB,
         VFW_E_NO_ACCEPTABLE_TYPES},
        {"a partial type the sink takes", &MEDIASUBTYPE_TestA, true, MEDIASUBTYPE_TestA, S_OK},
        {"nothing in common", nullptr, false, MEDIASUBTYPE_TestC, VFW_E_NO_ACCEPTABLE_TYPES},
    };
    for (const ConnectCase &c : cases) {
        SCOPED_TRACE(c.what);
        m_pIn->m_accepted = {c.sinkTakes};
        CMediaType given(&MEDIATYPE_Test);
        if (c.given && c.partial) given.SetSubtype(c.given);
        if (c.given && !c.partial) given = TestType(*c.given, 320);
        ASSERT_EQ(c.result, m_pOut->Connect(m_pIn, c.given ? &given : nullptr));
        EXPECT_EQ(c.result == S_OK, m_pOut->IsConnected() && m_pIn->IsConnected());
        if (c.result != S_OK) {
            EXPECT_EQ(nullptr, m_pOut->Allocator());
            continue;
        }
        AM_MEDIA_TYPE mt;
        ASSERT_EQ(S_OK, m_pIn->ConnectionMediaType(&mt));
        EXPECT_TRUE(IsEqualGUID(c.given ? *c.given : c.sinkTakes, mt.subtype));
        EXPECT_EQ(sizeof(VIDEOINFOHEADER), mt.cbFormat);
        FreeMediaType(mt);
        EXPECT_TRUE(m_pOut->CurrentMediaType() == m_pIn->CurrentMediaType());
        if (c.given && !c.partial) {
            EXPECT_TRUE(m_pIn->CurrentMediaType() == given) << "the width given is kept";
        }
        IPin *peer = nullptr;
        ASSERT_EQ(S_OK, m_pIn->ConnectedTo(&peer));
        EXPECT_EQ(static_cast<IPin *>(m_pOut), peer);
        peer->Release();
        m_pOut->Disconnect();
        m_pIn->Disconnect();
    }
}

TEST_F(Pins, ConnectNegotiatesTheInputPinsAllocatorOrFallsBackToItsOwn)
{
    for (bool refuse : {false, true}) {
        m_pIn->m_refuseAllocator = refuse;
        ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr));
        EXPECT_EQ(2, m_pOut->m_request.cBuffers) << "the sink's requirements reach DecideBufferSize";
        EXPECT_EQ(16, m_pOut->m_request.cbAlign);
        EXPECT_GE(m_pOut->m_granted.cbBuffer, 512);
        ASSERT_NE(nullptr, m_pOut->Allocator());
        EXPECT_EQ(m_pIn->Allocator(), m_pOut->Allocator()) << "one allocator, announced with NotifyAllocator";
        EXPECT_FALSE(m_pIn->IsReadOnly());
        m_pOut->Disconnect();
        m_pIn->Disconnect();
    }
}

TEST_F(Pins, WrongStatesAndBadArgumentsAreRefused)
{
    CMediaType b = TestType(MEDIASUBTYPE_TestB);
    IMediaSample *s = nullptr;
    const std::pair<HRESULT, std::function<HRESULT()>> unconnected[] = {
        {E_POINTER, [&] { return m_pOut->Connect(nullptr, nullptr); }},
        {E_POINTER, [&] { return m_pIn->ReceiveConnection(nullptr, nullptr); }},
        {E_POINTER, [&] { return m_pIn->ReceiveConnection(m_pOut, nullptr); }},
        {E_POINTER, [&] { return m_pOut->ConnectedTo(nullptr); }},
        {E_POINTER, [&] { return m_pOut->ConnectionMediaType(nullptr); }},
        {E_POINTER, [&] { return m_pOut->QueryAccept(nullptr); }},
        {VFW_E_INVALID_DIRECTION, [&] { return m_pIn->ReceiveConnection(m_pSink->In(1), &b); }},
        {VFW_E_INVALID_DIRECTION, [&] { return m_pOut->Connect(m_pOut, &b); }},
        {VFW_E_NO_ALLOCATOR, [&] { return m_pOut->Active(); }},
        {VFW_E_NO_ALLOCATOR, [&] { return m_pOut->Inactive(); }},
        {VFW_E_NOT_CONNECTED, [&] { return m_pOut->DeliverEndOfStream(); }},
        {VFW_E_NOT_CONNECTED, [&] { return m_pOut->DeliverNewSegment(0, 1, 1.0); }},
        {VFW_E_NOT_CONNECTED, [&] { return m_pOut->DeliverBeginFlush(); }},
        {VFW_E_NOT_CONNECTED, [&] { return m_pOut->DeliverEndFlush(); }},
        {E_UNEXPECTED, [&] { return m_pOut->EndOfStream(); }},
        {E_UNEXPECTED, [&] { return m_pOut->BeginFlush(); }},
        {E_NOINTERFACE, [&] { return m_pOut->GetDeliveryBuffer(&s, nullptr, nullptr, 0); }},
    };
    for (const auto &[expected, call] : unconnected)
        EXPECT_EQ(expected, call());

    ASSERT_EQ(S_OK, m_pSource->Pause());
    EXPECT_EQ(VFW_E_NOT_STOPPED, m_pOut->Connect(m_pIn, nullptr));
    m_pSource->Stop();
    ASSERT_EQ(S_OK, m_pSink->Pause());
    EXPECT_EQ(VFW_E_NOT_STOPPED, m_pIn->ReceiveConnection(m_pOut, &b));
    EXPECT_EQ(VFW_E_NOT_STOPPED, m_pOut->Connect(m_pIn, nullptr)) << "the sink refuses while paused";
    m_pSink->Stop();

    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, m_pOut->Connect(m_pIn, nullptr));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, m_pIn->ReceiveConnection(m_pOut, &b));
    ASSERT_EQ(S_OK, m_pSource->Pause());
    EXPECT_EQ(VFW_E_NOT_STOPPED, m_pOut->Disconnect());
    m_pSource->Stop();
    LONG objects = CBaseObject::ObjectsActive();
    EXPECT_EQ(S_OK, m_pOut->Disconnect());
    EXPECT_EQ(nullptr, m_pOut->Allocator());
    EXPECT_EQ(S_OK, m_pIn->Disconnect());
    EXPECT_EQ(objects - 1, CBaseObject::ObjectsActive()) << "the allocator went with the connection";
    EXPECT_EQ(S_FALSE, m_pOut->Disconnect()) << "nothing left to disconnect";
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr)) << "and they connect again";
}

TEST_F(Pins, MediaTypesEnumerateFromThePin)
{
    IEnumMediaTypes *pEnum = nullptr;
    ASSERT_EQ(S_OK, m_pOut->EnumMediaTypes(&pEnum));
    AM_MEDIA_TYPE *types[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(E_INVALIDARG, pEnum->Next(2, types, nullptr));
    EXPECT_EQ(S_FALSE, pEnum->Next(3, types, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_TestA, types[0]->subtype));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_TestB, types[1]->subtype));
    DeleteMediaType(types[0]);
    DeleteMediaType(types[1]);
    EXPECT_EQ(S_OK, pEnum->Reset());
    EXPECT_EQ(S_OK, pEnum->Skip(2));
    EXPECT_EQ(S_FALSE, pEnum->Skip(1));
    IEnumMediaTypes *pClone = nullptr;
    pEnum->Reset();
    pEnum->Skip(1);
    ASSERT_EQ(S_OK, pEnum->Clone(&pClone));
    ASSERT_EQ(S_OK, pClone->Next(1, types, nullptr));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_TestB, types[0]->subtype));
    DeleteMediaType(types[0]);
    pClone->Release();
    m_pOut->IncrementTypeVersion();
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pEnum->Next(1, types, nullptr));
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pEnum->Clone(&pClone));
    EXPECT_EQ(S_OK, pEnum->Reset());
    EXPECT_EQ(S_OK, pEnum->Next(1, types, nullptr));
    DeleteMediaType(types[0]);
    pEnum->Release();
    ASSERT_EQ(S_OK, m_pIn->EnumMediaTypes(&pEnum));
    EXPECT_EQ(S_FALSE, pEnum->Next(1, types, &fetched)) << "the sink offers no types";
    pEnum->Release();
}

TEST_F(Pins, PausingCommitsTheAllocatorAndStoppingDecommitsIt)
{
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr));
    IMemAllocator *alloc = m_pOut->Allocator();
    IMediaSample *s = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, alloc->GetBuffer(&s, nullptr, nullptr, 0));
    ASSERT_EQ(S_OK, m_pSource->Pause());
    ASSERT_EQ(S_OK, alloc->GetBuffer(&s, nullptr, nullptr, 0));
    s->Release();
    ASSERT_EQ(S_OK, m_pSource->Stop());
    EXPECT_EQ(VFW_E_NOT_COMMITTED, alloc->GetBuffer(&s, nullptr, nullptr, 0));
}

TEST_F(Pins, SamplesArriveWithTheirPropertiesFromAnotherThread)
{
    Start();
    HRESULT last = S_OK;
    std::thread streaming([&] {
        for (int i = 0; i < 4 && SUCCEEDED(last); i++)
            last = m_pOut->DeliverOne(i);
        for (DWORD id : {DWORD(0x80000000), DWORD(0x80000001), DWORD(AM_STREAM_MEDIA)})
            if (SUCCEEDED(last)) last = m_pOut->DeliverOne(9, id);
    });
    streaming.join();
    EXPECT_EQ(S_OK, last);
    // The last: a reused buffer starts again as media.
    EXPECT_EQ("0 0-10000 16 0 111\n"
              "1 10000-20000 16 0 110\n"
              "2 20000-30000 16 0 111\n"
              "3 30000-40000 16 0 110\n"
              "9 90000-100000 16 2147483648 110\n"
              "9 90000-100000 16 2147483649 110\n"
              "9 90000-100000 16 0 110\n",
              Describe(m_pIn->Received()));
}

TEST_F(Pins, ReceiveRefusesWhenStoppedOrFlushing)
{
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr));
    ASSERT_EQ(S_OK, m_pSource->Pause());
    EXPECT_EQ(VFW_E_WRONG_STATE, m_pOut->DeliverOne(0));
    ASSERT_EQ(S_OK, m_pSink->Run(0));
    ASSERT_EQ(S_OK, m_pOut->DeliverBeginFlush());
    EXPECT_TRUE(m_pIn->IsFlushing());
    EXPECT_EQ(S_FALSE, m_pOut->DeliverOne(1));
    IMediaSample *s[2] = {};
    ASSERT_EQ(S_OK, m_pOut->GetDeliveryBuffer(&s[0], nullptr, nullptr, 0));
    ASSERT_EQ(S_OK, m_pOut->GetDeliveryBuffer(&s[1], nullptr, nullptr, 0));
    LONG done = -1;
    EXPECT_EQ(S_FALSE, m_pOut->PeerInput()->ReceiveMultiple(s, 2, &done));
    EXPECT_EQ(0, done);
    ASSERT_EQ(S_OK, m_pOut->DeliverEndFlush());
    EXPECT_FALSE(m_pIn->IsFlushing());
    EXPECT_EQ(S_OK, m_pOut->PeerInput()->ReceiveMultiple(s, 2, &done));
    EXPECT_EQ(2, done);
    s[0]->Release();
    s[1]->Release();
    EXPECT_EQ(S_OK, m_pOut->DeliverOne(2));
    EXPECT_EQ(3u, m_pIn->Received().size()) << "only what came outside the flush";
    EXPECT_EQ(S_OK, m_pOut->PeerInput()->ReceiveCanBlock()) << "a sink without outputs may block";
}

TEST_F(Pins, BeginFlushReleasesABlockedReceive)
{
    Start();
    m_pIn->m_blockUntilFlush = true;
    HRESULT delivered = E_FAIL;
    std::thread streaming([&] { delivered = m_pOut->DeliverOne(0); });
    ASSERT_TRUE(m_pIn->m_entered.Wait());
    ASSERT_EQ(S_OK, m_pOut->DeliverBeginFlush());
    streaming.join();
    EXPECT_EQ(S_FALSE, delivered);
    m_pIn->m_blockUntilFlush = false;
    ASSERT_EQ(S_OK, m_pOut->DeliverEndFlush());
    EXPECT_EQ(S_OK, m_pOut->DeliverOne(1));
}

TEST_F(Pins, ASourceWaitingForBuffersGoesOnWhenOneComesBackAndGivesUpOnStop)
{
    m_pOut->m_minBuffers = 3;
    Start();
    m_pIn->m_holdSamples = true; // the sink keeps every buffer
    HRESULT last = S_OK;
    int delivered = 0;
    std::thread streaming([&] {
        for (int i = 0;; i++) {
            last = m_pOut->DeliverOne(i);
            if (FAILED(last)) break;
            ++delivered;
        }
    });
    for (size_t seen = 3; seen <= 9; seen += 3) {
        ASSERT_TRUE(m_pIn->WaitReceived(seen));
        m_pIn->ReleaseHeld();
    }
    ASSERT_TRUE(m_pIn->WaitReceived(12)) << "blocked again, all three buffers held";
    ASSERT_EQ(S_OK, m_pSink->Stop());
    ASSERT_EQ(S_OK, m_pSource->Stop());
    streaming.join();
    EXPECT_EQ(VFW_E_NOT_COMMITTED, last);
    EXPECT_EQ(12, delivered);
}

TEST_F(Pins, NewSegmentAndEndOfStreamReachTheInputPin)
{
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr));
    EXPECT_EQ(0, m_pIn->CurrentStartTime());
    EXPECT_EQ(MAX_TIME, m_pIn->CurrentStopTime());
    EXPECT_EQ(1.0, m_pIn->CurrentRate());
    ASSERT_EQ(S_OK, m_pOut->DeliverNewSegment(50000000, 90000000, 1.0));
    EXPECT_EQ(50000000, m_pIn->CurrentStartTime());
    EXPECT_EQ(90000000, m_pIn->CurrentStopTime());
    ASSERT_EQ(S_OK, m_pOut->DeliverEndOfStream());
    EXPECT_EQ(1, m_pIn->EndOfStreams());
}

TEST_F(Pins, QualityMessagesGoUpstreamOrToTheSink)
{
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr));
    Quality q{Famine, 800, 250000, 1000000};
    EXPECT_EQ(S_OK, m_pIn->PassNotify(q));
    IQualityControl *sinkQc = Query<IQualityControl>(static_cast<IPin *>(m_pOut), IID_IQualityControl);
    ASSERT_EQ(S_OK, m_pIn->SetSink(sinkQc));
    q.Late = 7;
    EXPECT_EQ(S_OK, m_pIn->PassNotify(q));
    m_pIn->SetSink(nullptr);
    sinkQc->Release();
    std::vector<Quality> got = m_pOut->QualityMessages();
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ(250000, got[0].Late);
    EXPECT_EQ(7, got[1].Late);
}

TEST_F(Pins, RefusedTypeChangeIsARunTimeErrorUntilAFlush)
{
    CTestGraph graph;
    m_pSink->JoinFilterGraph(&graph, L"sink");
    Start();
    for (GUID subtype : {MEDIASUBTYPE_TestA, MEDIASUBTYPE_TestB}) {
        IMediaSample *s = nullptr;
        ASSERT_EQ(S_OK, m_pOut->GetDeliveryBuffer(&s, nullptr, nullptr, 0));
        CMediaType changed = TestType(subtype, 64);
        s->SetMediaType(&changed);
        EXPECT_EQ(subtype == MEDIASUBTYPE_TestB ? S_OK : VFW_E_INVALIDMEDIATYPE, m_pOut->Deliver(s));
        s->Release();
        if (subtype == MEDIASUBTYPE_TestB) break;
        EXPECT_TRUE(m_pIn->RunTimeError());
        EXPECT_EQ(1, m_pIn->EndOfStreams()) << "the stream ends where the type was refused";
        ASSERT_EQ(1u, graph.m_events.size()) << "an error, no completion";
        EXPECT_EQ(EC_ERRORABORT, graph.m_events[0].code);
        EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, graph.m_events[0].param1);
        EXPECT_EQ(VFW_E_RUNTIME_ERROR, m_pOut->DeliverOne(1));
        m_pOut->DeliverBeginFlush();
        m_pOut->DeliverEndFlush();
        EXPECT_EQ(S_OK, m_pOut->DeliverOne(2)) << "a flush clears the error";
    }
    m_pSink->JoinFilterGraph(nullptr, nullptr);
}

} // namespace
