// CBaseFilter and CBasePin conformance: QueryInterface rules and reference
// counts, pin enumeration, FindPin, filter information, graph events, state
// and the reference clock.
#include "test_filters.h"

#include <evcode.h>

#include <gtest/gtest.h>

#include <vector>

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

class BaseFilterTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_objects = CBaseObject::ObjectsActive();
        HRESULT hr = S_OK;
        m_pSink = new CTestSinkFilter(&hr, 2);
        ASSERT_EQ(S_OK, hr);
        m_pSink->NonDelegatingAddRef();
        m_pFilter = Query<IBaseFilter>(m_pSink->GetOwner(), IID_IBaseFilter);
    }
    void TearDown() override
    {
        m_pFilter->Release();
        EXPECT_EQ(0u, m_pSink->NonDelegatingRelease());
        EXPECT_EQ(m_objects, CBaseObject::ObjectsActive()) << "a filter, pin or enumerator leaked";
    }
    std::vector<IPin *> AllPins(IEnumPins *pEnum)
    {
        std::vector<IPin *> pins;
        IPin *pin = nullptr;
        while (pEnum->Next(1, &pin, nullptr) == S_OK)
            pins.push_back(pin);
        return pins;
    }
    LONG m_objects = 0;
    CTestSinkFilter *m_pSink = nullptr;
    IBaseFilter *m_pFilter = nullptr;
};

TEST_F(BaseFilterTest, AnswersItsInterfacesWithOneIdentity)
{
    IMediaFilter *mf = Query<IMediaFilter>(m_pFilter, IID_IMediaFilter);
    IPersist *persist = Query<IPersist>(m_pFilter, IID_IPersist);
    IAMovieSetup *setup = Query<IAMovieSetup>(m_pFilter, IID_IAMovieSetup);
    EXPECT_EQ(Identity(m_pFilter), Identity(mf));
    EXPECT_EQ(Identity(m_pFilter), Identity(persist));
    EXPECT_EQ(Identity(m_pFilter), Identity(setup));
    void *none = reinterpret_cast<void *>(1);
    EXPECT_EQ(E_NOINTERFACE, m_pFilter->QueryInterface(IID_IPin, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, m_pFilter->QueryInterface(IID_IBaseFilter, nullptr));
    CLSID clsid;
    EXPECT_EQ(S_OK, persist->GetClassID(&clsid));
    EXPECT_TRUE(IsEqualGUID(CLSID_TestSink, clsid));
    EXPECT_EQ(S_FALSE, setup->Register()) << "no setup data";
    mf->Release();
    persist->Release();
    setup->Release();
}

TEST_F(BaseFilterTest, PinsCountOnTheirFilter)
{
    IPin *pin = Query<IPin>(static_cast<IPin *>(m_pSink->Pin(0)), IID_IPin);
    ULONG filterRefs = m_pFilter->AddRef() - 1;
    m_pFilter->Release();
    IQualityControl *qc = Query<IQualityControl>(pin, IID_IQualityControl);
    IMemInputPin *mem = Query<IMemInputPin>(pin, IID_IMemInputPin);
    EXPECT_EQ(filterRefs + 2, m_pFilter->AddRef() - 1) << "each pin interface holds the filter";
    m_pFilter->Release();
    EXPECT_EQ(Identity(pin), Identity(qc));
    EXPECT_EQ(Identity(pin), Identity(mem));
    EXPECT_NE(Identity(pin), Identity(m_pFilter)) << "a pin is an object of its own";
    void *none = nullptr;
    EXPECT_EQ(E_NOINTERFACE, pin->QueryInterface(IID_IBaseFilter, &none));
    qc->Release();
    mem->Release();
    pin->Release();
}

TEST_F(BaseFilterTest, EnumeratesEveryPinOnce)
{
    IEnumPins *pEnum = nullptr;
    ASSERT_EQ(S_OK, m_pFilter->EnumPins(&pEnum));
    IPin *pins[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(E_INVALIDARG, pEnum->Next(2, pins, nullptr)) << "several pins need a count";
    EXPECT_EQ(S_FALSE, pEnum->Next(3, pins, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_EQ(static_cast<IPin *>(m_pSink->Pin(0)), pins[0]);
    EXPECT_EQ(static_cast<IPin *>(m_pSink->Pin(1)), pins[1]);
    pins[0]->Release();
    pins[1]->Release();
    EXPECT_EQ(S_FALSE, pEnum->Next(1, pins, &fetched));
    EXPECT_EQ(0u, fetched);

    EXPECT_EQ(S_OK, pEnum->Reset());
    EXPECT_EQ(S_OK, pEnum->Skip(1));
    EXPECT_EQ(S_FALSE, pEnum->Skip(2));
    IEnumPins *pClone = nullptr;
    ASSERT_EQ(S_OK, pEnum->Clone(&pClone));
    ASSERT_EQ(S_OK, pClone->Next(1, pins, nullptr));
    EXPECT_EQ(static_cast<IPin *>(m_pSink->Pin(1)), pins[0]) << "the clone continues where the original was";
    pins[0]->Release();
    pClone->Release();
    pEnum->Release();
}

TEST_F(BaseFilterTest, EnumerationFollowsAChangeOfPins)
{
    IEnumPins *pEnum = nullptr;
    ASSERT_EQ(S_OK, m_pFilter->EnumPins(&pEnum));
    IPin *first = nullptr;
    ASSERT_EQ(S_OK, pEnum->Next(1, &first, nullptr));
    m_pSink->AddPin(L"In2");
    IEnumPins *pClone = nullptr;
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pEnum->Clone(&pClone));
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pEnum->Skip(1));
    std::vector<IPin *> rest = AllPins(pEnum);
    ASSERT_EQ(2u, rest.size()) << "the pin already handed out does not come again";
    EXPECT_EQ(static_cast<IPin *>(m_pSink->Pin(1)), rest[0]);
    EXPECT_EQ(static_cast<IPin *>(m_pSink->Pin(2)), rest[1]);
    for (IPin *p : rest)
        p->Release();
    first->Release();
    pEnum->Release();
    m_pSink->RemoveLastPin();
}

TEST_F(BaseFilterTest, FindsPinsByName)
{
    IPin *pin = nullptr;
    ASSERT_EQ(S_OK, m_pFilter->FindPin(L"In1", &pin));
    EXPECT_EQ(static_cast<IPin *>(m_pSink->Pin(1)), pin);
    pin->Release();
    pin = reinterpret_cast<IPin *>(1);
    EXPECT_EQ(VFW_E_NOT_FOUND, m_pFilter->FindPin(L"In9", &pin));
    EXPECT_EQ(nullptr, pin);
    EXPECT_EQ(E_POINTER, m_pFilter->FindPin(L"In1", nullptr));
}

TEST_F(BaseFilterTest, PinsDescribeThemselves)
{
    IPin *pin = m_pSink->Pin(1);
    PIN_INFO info;
    ASSERT_EQ(S_OK, pin->QueryPinInfo(&info));
    EXPECT_EQ(m_pFilter, info.pFilter);
    EXPECT_STREQ(L"In1", info.achName);
    EXPECT_EQ(PINDIR_INPUT, info.dir);
    info.pFilter->Release();
    PIN_DIRECTION dir;
    EXPECT_EQ(S_OK, pin->QueryDirection(&dir));
    EXPECT_EQ(PINDIR_INPUT, dir);
    LPWSTR id = nullptr;
    ASSERT_EQ(S_OK, pin->QueryId(&id));
    EXPECT_STREQ(L"In1", id);
    CoTaskMemFree(id);
    IPin *peer = reinterpret_cast<IPin *>(1);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, pin->ConnectedTo(&peer));
    EXPECT_EQ(nullptr, peer);
    CMediaType mt = MakeVideoType(MEDIASUBTYPE_RGB32, 4, 4);
    AM_MEDIA_TYPE connection;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, pin->ConnectionMediaType(&connection));
    EXPECT_EQ(S_OK, pin->QueryAccept(&mt));
    CMediaType other = MakeVideoType(MEDIASUBTYPE_YV12, 4, 4);
    EXPECT_EQ(S_FALSE, pin->QueryAccept(&other));
    EXPECT_EQ(E_NOTIMPL, pin->QueryInternalConnections(nullptr, nullptr));
}

TEST_F(BaseFilterTest, JoiningAGraphKeepsItsNameAndEventSink)
{
    FILTER_INFO info;
    ASSERT_EQ(S_OK, m_pFilter->QueryFilterInfo(&info));
    EXPECT_STREQ(L"", info.achName);
    EXPECT_EQ(nullptr, info.pGraph);
    EXPECT_EQ(E_NOTIMPL, m_pSink->NotifyEvent(EC_COMPLETE, S_OK, 0)) << "no graph to tell";

    CTestGraph graph;
    WCHAR name[] = L"Renderer";
    ASSERT_EQ(S_OK, m_pFilter->JoinFilterGraph(&graph, name));
    name[0] = L'X'; // the filter keeps its own copy
    EXPECT_EQ(1, graph.m_cRef) << "the graph is not counted";
    ASSERT_EQ(S_OK, m_pFilter->QueryFilterInfo(&info));
    EXPECT_STREQ(L"Renderer", info.achName);
    EXPECT_EQ(static_cast<IFilterGraph *>(&graph), info.pGraph);
    info.pGraph->Release();

    EXPECT_EQ(S_OK, m_pSink->NotifyEvent(EC_COMPLETE, S_OK, 0));
    EXPECT_EQ(S_OK, m_pSink->NotifyEvent(EC_ERRORABORT, E_FAIL, 7));
    ASSERT_EQ(2u, graph.m_events.size());
    EXPECT_EQ(EC_COMPLETE, graph.m_events[0].code);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(m_pFilter), graph.m_events[0].param2) << "EC_COMPLETE names its filter";
    EXPECT_EQ(7, graph.m_events[1].param2);

    ASSERT_EQ(S_OK, m_pFilter->JoinFilterGraph(nullptr, nullptr));
    EXPECT_EQ(E_NOTIMPL, m_pSink->NotifyEvent(EC_COMPLETE, S_OK, 0));
    EXPECT_EQ(E_NOTIMPL, m_pFilter->QueryVendorInfo(nullptr));
}

TEST_F(BaseFilterTest, StateChangesWithoutConnectedPins)
{
    FILTER_STATE state;
    EXPECT_EQ(S_OK, m_pFilter->GetState(0, &state));
    EXPECT_EQ(State_Stopped, state);
    EXPECT_FALSE(m_pSink->IsActive());
    EXPECT_EQ(S_OK, m_pFilter->Run(0)) << "running from stopped pauses first";
    m_pFilter->GetState(0, &state);
    EXPECT_EQ(State_Running, state);
    EXPECT_TRUE(m_pSink->IsActive());
    EXPECT_EQ(S_OK, m_pFilter->Pause());
    m_pFilter->GetState(0, &state);
    EXPECT_EQ(State_Paused, state);
    EXPECT_EQ(S_OK, m_pFilter->Stop());
    EXPECT_TRUE(m_pSink->IsStopped());
    EXPECT_EQ(E_POINTER, m_pFilter->GetState(0, nullptr));
}

TEST_F(BaseFilterTest, StreamTimeIsClockTimeSinceTheRunStart)
{
    CRefTime rt(REFERENCE_TIME(-1));
    EXPECT_EQ(VFW_E_NO_CLOCK, m_pSink->StreamTime(rt));
    EXPECT_EQ(-1, REFERENCE_TIME(rt)) << "left alone without a clock";

    CTestClock clock;
    ASSERT_EQ(S_OK, m_pFilter->SetSyncSource(&clock));
    EXPECT_EQ(2, clock.m_cRef);
    IReferenceClock *got = nullptr;
    ASSERT_EQ(S_OK, m_pFilter->GetSyncSource(&got));
    EXPECT_EQ(&clock, got);
    got->Release();
    clock.m_now = 5000000;
    ASSERT_EQ(S_OK, m_pFilter->Run(2000000));
    ASSERT_EQ(S_OK, m_pSink->StreamTime(rt));
    EXPECT_EQ(3000000, REFERENCE_TIME(rt));
    m_pFilter->Stop();
    ASSERT_EQ(S_OK, m_pFilter->SetSyncSource(nullptr));
    EXPECT_EQ(1, clock.m_cRef) << "the clock is released";
}

TEST_F(BaseFilterTest, PinVersionCountsPinChanges)
{
    LONG v = m_pSink->GetPinVersion();
    m_pSink->IncrementPinVersion();
    EXPECT_EQ(v + 1, m_pSink->GetPinVersion());
}

} // namespace
