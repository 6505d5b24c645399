// CBaseFilter, the base pins and CTransformFilter between a test source and a test sink: identities, enumeration,
// connection, wrong states, and streaming on real threads (flushing, blocking, stopping, quality, seeking upstream).
#include "support/dshow_doubles.h"
#include "support/hang_guard.h"
#include "transfrm.h"

#include <functional>
#include <thread>

#include <gtest/gtest.h>

namespace {

DEFINE_GUID(CLSID_TestTransform, 0x8c0e0c71, 0x5a1b, 0x4c8e, 0x9e, 0x62, 0x3b, 0x0f, 0x6e, 0x7a, 0x1d, 0x03);

IUnknown *Identity(IUnknown *p)
{
    IUnknown *unk = nullptr;
    EXPECT_EQ(S_OK, p->QueryInterface(IID_IUnknown, (void **)&unk));
    unk->Release();
    return unk;
}

ULONG Refs(IUnknown *p)
{
    p->AddRef();
    return p->Release();
}

// A transform passing TestB through (first byte + 100), noting its streaming
// calls and whether the receive lock was held for each.
class CTestTransform : public CTransformFilter {
    template <class Base> class Pin : public Base {
    public:
        Pin(CTestTransform *f, HRESULT *phr, LPCWSTR name) : Base(NAME("Pin"), f, phr, name), m_owner(f) {}
        HRESULT Inactive() override
        {
            m_owner->Log(this->m_dir == PINDIR_INPUT ? "InputInactive" : "OutputInactive");
            return Base::Inactive();
        }
        CTestTransform *m_owner;
    };

public:
    CTestTransform() : CTransformFilter(NAME("Test transform"), NULL, CLSID_TestTransform) {}
    CBasePin *GetPin(int n) override
    {
        HRESULT hr = S_OK;
        if (!m_pInput) {
            m_pInput = new Pin<CTransformInputPin>(this, &hr, L"XForm In");
            m_pOutput = new Pin<CTransformOutputPin>(this, &hr, L"XForm Out");
        }
        return n == 0 ? static_cast<CBasePin *>(m_pInput) : n == 1 ? m_pOutput : nullptr;
    }
    HRESULT CheckInputType(const CMediaType *mt) override
    {
        return *mt->Subtype() == MEDIASUBTYPE_TestB ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT CheckTransform(const CMediaType *in, const CMediaType *out) override
    {
        return *in->Subtype() == *out->Subtype() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *) override
    {
        ALLOCATOR_PROPERTIES want{2, 512, 1, 0}, got{};
        return pAlloc->SetProperties(&want, &got);
    }
    HRESULT GetMediaType(int i, CMediaType *pmt) override
    {
        if (i > 0) return VFW_S_NO_MORE_ITEMS;
        *pmt = m_pInput->CurrentMediaType();
        return S_OK;
    }
    HRESULT Transform(IMediaSample *pIn, IMediaSample *pOut) override
    {
        BYTE *src = NULL, *dst = NULL;
        pIn->GetPointer(&src);
        pOut->GetPointer(&dst);
        dst[0] = static_cast<BYTE>(src[0] + 100);
        return pOut->SetActualDataLength(pIn->GetActualDataLength());
    }
    HRESULT StartStreaming() override { return Log("StartStreaming"), S_OK; }
    HRESULT StopStreaming() override { return Log("StopStreaming"), S_OK; }
    HRESULT AlterQuality(Quality q) override { return q.Type == Flood ? S_OK : S_FALSE; }
    void Log(const char *what) { m_log += what + std::string(CritCheckIn(&m_csReceive) ? "(locked) " : " "); }

    std::string m_log;
};

// source -> sink, or source -> transform -> sink. The source offers A and B;
// the sink's first pin and the transform take B only.
class Filters : public testing::Test {
protected:
    void SetUp() override
    {
        m_source->NonDelegatingAddRef();
        m_transform->NonDelegatingAddRef();
        m_sink->NonDelegatingAddRef();
        m_sink->In()->m_accepted = {MEDIASUBTYPE_TestB};
        m_xin = static_cast<CTransformInputPin *>(m_transform->GetPin(0));
        m_xout = static_cast<CTransformOutputPin *>(m_transform->GetPin(1));
    }
    void TearDown() override
    {
        // Renderer first, as a graph stops its filters.
        m_sink->Stop();
        m_transform->Stop();
        m_source->Stop();
        for (IPin *pin : std::initializer_list<IPin *>{m_out, m_in, m_xin, m_xout})
            pin->Disconnect();
        m_in->ReleaseHeld();
        EXPECT_EQ(0u, m_source->NonDelegatingRelease());
        EXPECT_EQ(0u, m_transform->NonDelegatingRelease());
        EXPECT_EQ(0u, m_sink->NonDelegatingRelease());
        EXPECT_EQ(m_objects, CBaseObject::ObjectsActive()) << "a filter, pin, enumerator or allocator leaked";
    }
    // Connects source and sink unless connected already, and runs all.
    void Run()
    {
        if (!m_out->IsConnected()) {
            ASSERT_EQ(S_OK, m_out->Connect(m_in, nullptr));
        }
        ASSERT_EQ(S_OK, m_sink->Run(0));
        ASSERT_EQ(S_OK, m_transform->Run(0));
        ASSERT_EQ(S_OK, m_source->Run(0));
    }
    LONG m_objects = CBaseObject::ObjectsActive();
    HRESULT m_hr = S_OK;
    CTestFilter *m_source = new CTestFilter(&m_hr, 0, {{MEDIASUBTYPE_TestA, MEDIASUBTYPE_TestB}});
    CTestTransform *m_transform = new CTestTransform;
    CTestFilter *m_sink = new CTestFilter(&m_hr, 2, {});
    CTestOutputPin *m_out = m_source->Out();
    CTestInputPin *m_in = m_sink->In();
    IBaseFilter *m_filter = m_sink; // the sink's, not counted
    CTransformInputPin *m_xin = nullptr;
    CTransformOutputPin *m_xout = nullptr;
};

TEST_F(Filters, IdentitiesReferencesAndEnumeration)
{
    void *none = reinterpret_cast<void *>(1);
    EXPECT_EQ(E_NOINTERFACE, m_filter->QueryInterface(IID_IPin, &none));
    EXPECT_EQ(nullptr, none);
    ULONG filterRefs = Refs(m_filter);
    ComPtr<IMemInputPin> mem = QueryHeld<IMemInputPin>(static_cast<IPin *>(m_in), IID_IMemInputPin);
    EXPECT_EQ(filterRefs + 1, Refs(m_filter)) << "a pin's interface holds its filter";
    EXPECT_NE(Identity(mem.Get()), Identity(m_filter)) << "a pin is an object of its own";
    mem.Reset();
    EXPECT_EQ(filterRefs, Refs(m_filter));

    ComPtr<IEnumPins> pins;
    ASSERT_EQ(S_OK, m_filter->EnumPins(&pins));
    IPin *got[3] = {};
    ULONG fetched = 0;
    ASSERT_EQ(S_OK, pins->Next(1, got, nullptr));
    got[0]->Release();
    m_sink->AddInput(L"In2");
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Skip(1));
    EXPECT_EQ(S_FALSE, pins->Next(3, got, &fetched));
    ASSERT_EQ(2u, fetched) << "the pin handed out already does not come again";
    EXPECT_EQ(static_cast<IPin *>(m_sink->In(2)), got[1]);
    got[0]->Release();
    got[1]->Release();
    m_sink->RemoveLastInput();

    IPin *pin = reinterpret_cast<IPin *>(1);
    EXPECT_EQ(VFW_E_NOT_FOUND, m_filter->FindPin(L"In9", &pin));
    EXPECT_EQ(nullptr, pin);
    ASSERT_EQ(S_OK, m_transform->FindPin(L"Out", &pin)) << "transform pins are found by id, not name";
    EXPECT_EQ(static_cast<IPin *>(m_xout), Adopt(pin).Get());
}

TEST_F(Filters, ConnectAgreesOnATypeAndAnAllocator)
{
    struct Case {
        const char *what;
        const GUID *given; // the type passed to Connect, none when null
        bool partial;      // only major type and subtype given
        GUID sinkTakes;
        HRESULT result;
    } cases[] = {
        {"the source's second type, the one the sink takes", nullptr, false, MEDIASUBTYPE_TestB, S_OK},
        {"a full type is the only one tried", &MEDIASUBTYPE_TestA, false, MEDIASUBTYPE_TestB, VFW_E_TYPE_NOT_ACCEPTED},
        {"a partial type filters the candidates", &MEDIASUBTYPE_TestA, true, MEDIASUBTYPE_TestB,
         VFW_E_NO_ACCEPTABLE_TYPES},
        {"a partial type the sink takes", &MEDIASUBTYPE_TestA, true, MEDIASUBTYPE_TestA, S_OK},
        {"nothing in common", nullptr, false, MEDIASUBTYPE_TestC, VFW_E_NO_ACCEPTABLE_TYPES},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        m_in->m_accepted = {c.sinkTakes};
        CMediaType given(&MEDIATYPE_Test);
        if (c.given && !c.partial) given = TestType(*c.given, 320);
        if (c.given && c.partial) given.SetSubtype(c.given);
        ASSERT_EQ(c.result, m_out->Connect(m_in, c.given ? &given : nullptr));
        EXPECT_EQ(c.result == S_OK, m_out->IsConnected() && m_in->IsConnected());
        if (c.result != S_OK) continue;
        EXPECT_TRUE(m_in->CurrentMediaType().subtype == (c.given ? *c.given : c.sinkTakes));
        EXPECT_TRUE(m_out->CurrentMediaType() == m_in->CurrentMediaType());
        m_out->Disconnect();
        m_in->Disconnect();
    }
    // The sink's requirements reach DecideBufferSize; one allocator, the sink's or
    // else the source's own, announced with NotifyAllocator; committed while paused.
    for (bool refuse : {false, true}) {
        m_in->m_accepted = {MEDIASUBTYPE_TestB};
        m_in->m_refuseAllocator = refuse;
        ASSERT_EQ(S_OK, m_out->Connect(m_in, nullptr));
        IMediaSample *s = nullptr;
        std::string seen = std::to_string(m_out->m_request.cBuffers) + " " + std::to_string(m_out->m_request.cbAlign) +
                           " " + std::to_string(m_in->Allocator() == m_out->Allocator()) + " ";
        seen += std::to_string(m_out->Allocator()->GetBuffer(&s, nullptr, nullptr, 0) == VFW_E_NOT_COMMITTED);
        ASSERT_EQ(S_OK, m_source->Pause());
        ASSERT_EQ(S_OK, m_out->Allocator()->GetBuffer(&s, nullptr, nullptr, 0));
        s->Release();
        ASSERT_EQ(S_OK, m_source->Stop());
        seen += std::to_string(m_out->Allocator()->GetBuffer(&s, nullptr, nullptr, 0) == VFW_E_NOT_COMMITTED);
        LONG objects = CBaseObject::ObjectsActive();
        m_out->Disconnect();
        m_in->Disconnect();
        EXPECT_EQ("2 16 1 11 1", seen + " " + std::to_string(objects - CBaseObject::ObjectsActive()))
            << "the allocator goes with the connection";
    }
}

TEST_F(Filters, WrongStatesAndBadArgumentsAreRefused)
{
    CMediaType b = TestType(MEDIASUBTYPE_TestB);
    IMediaSample *s = nullptr;
    const std::pair<HRESULT, std::function<HRESULT()>> calls[] = {
        {E_POINTER, [&] { return m_out->Connect(nullptr, nullptr); }},
        {VFW_E_INVALID_DIRECTION, [&] { return m_in->ReceiveConnection(m_sink->In(1), &b); }},
        {VFW_E_NO_ALLOCATOR, [&] { return m_out->Active(); }},
        {E_NOINTERFACE, [&] { return m_out->GetDeliveryBuffer(&s, nullptr, nullptr, 0); }},
        {E_UNEXPECTED, [&] { return m_xout->Connect(m_in, &b); }}, // the transform's input is not connected
        {S_OK, [&] { return m_sink->Pause(); }},
        {VFW_E_NOT_STOPPED, [&] { return m_in->ReceiveConnection(m_out, &b); }},
        {VFW_E_NOT_STOPPED, [&] { return m_out->Connect(m_in, nullptr); }},
        {S_OK, [&] { return m_sink->Stop(); }},
        {S_OK, [&] { return m_out->Connect(m_in, nullptr); }},
        {VFW_E_ALREADY_CONNECTED, [&] { return m_out->Connect(m_in, nullptr); }},
        {S_OK, [&] { return m_source->Pause(); }},
        {VFW_E_NOT_STOPPED, [&] { return m_out->Disconnect(); }},
        {VFW_E_WRONG_STATE, [&] { return m_out->DeliverOne(0); }}, // the sink is stopped
        {S_OK, [&] { return m_source->Stop(); }},
        {S_OK, [&] { return m_out->Disconnect(); }},
        {S_FALSE, [&] { return m_out->Disconnect(); }},
    };
    int i = 0;
    for (const auto &[expected, call] : calls)
        EXPECT_EQ(expected, call()) << "call " << i++;
}

TEST_F(Filters, ReceiveRefusesWhileStoppedOrFlushingAndFlushReleasesABlockedReceive)
{
    ASSERT_EQ(S_OK, m_out->Connect(m_in, nullptr));
    ASSERT_EQ(S_OK, m_source->Pause());
    EXPECT_EQ(VFW_E_WRONG_STATE, m_out->DeliverOne(0)) << "stopped";
    ASSERT_EQ(S_OK, m_sink->Run(0));
    ASSERT_EQ(S_OK, m_out->DeliverBeginFlush());
    EXPECT_EQ(S_FALSE, m_out->DeliverOne(1));
    IMediaSample *s[2] = {};
    for (IMediaSample *&p : s)
        ASSERT_EQ(S_OK, m_out->GetDeliveryBuffer(&p, nullptr, nullptr, 0));
    LONG done = -1;
    EXPECT_EQ(S_FALSE, m_out->PeerInput()->ReceiveMultiple(s, 2, &done));
    EXPECT_EQ(0, done);
    ASSERT_EQ(S_OK, m_out->DeliverEndFlush());
    EXPECT_EQ(S_OK, m_out->PeerInput()->ReceiveMultiple(s, 2, &done));
    EXPECT_EQ(2, done);
    for (IMediaSample *p : s)
        p->Release();

    m_in->m_blockUntilFlush = true;
    HRESULT delivered = E_FAIL;
    std::thread streaming([&] { delivered = m_out->DeliverOne(0); });
    ASSERT_TRUE(m_in->m_entered.Wait());
    ASSERT_EQ(S_OK, m_out->DeliverBeginFlush());
    streaming.join();
    EXPECT_EQ(S_FALSE, delivered);
    EXPECT_EQ(3u, m_in->Received().size()) << "only what came outside the flushes";
}

TEST_F(Filters, SamplesCrossThreadsWithTheirPropertiesAndWaitForBuffers)
{
    m_out->m_minBuffers = 3;
    Run();
    m_in->m_holdSamples = true; // the sink keeps every buffer
    HRESULT last = S_OK;
    std::thread streaming([&] {
        for (DWORD id : {DWORD(0x80000000), DWORD(0x80000001), DWORD(AM_STREAM_MEDIA)})
            last = m_out->DeliverOne(9, id);
        for (int i = 0; SUCCEEDED(last); i++)
            last = m_out->DeliverOne(i);
    });
    ASSERT_TRUE(m_in->WaitReceived(3));
    m_in->ReleaseHeld(); // a returned buffer wakes the source
    ASSERT_TRUE(m_in->WaitReceived(6)) << "blocked again, all three buffers held";
    m_sink->Stop();
    m_source->Stop();
    orvex::test::expectReturns("the source's wait for a buffer", [&] { streaming.join(); });
    EXPECT_EQ(VFW_E_NOT_COMMITTED, last) << "the source waiting for a buffer gives up on stop";
    std::vector<ReceivedSample> first5 = m_in->Received();
    first5.resize(5);
    EXPECT_EQ("9 90000-100000 16 2147483648 110\n"
              "9 90000-100000 16 2147483649 110\n"
              "9 90000-100000 16 0 110\n"
              "0 0-10000 16 0 111\n"
              "1 10000-20000 16 0 110\n", // a reused buffer starts again as media
              Describe(first5));
}

TEST_F(Filters, TransformStreamsStopsInOrderAndPassesQualityAndSeeks)
{
    ASSERT_EQ(S_OK, m_out->Connect(m_xin, nullptr));
    ASSERT_EQ(S_OK, m_xout->Connect(m_in, nullptr));
    Run();
    std::thread streaming([this] {
        EXPECT_EQ(S_OK, m_out->DeliverOne(1));
        EXPECT_EQ(S_OK, m_out->DeliverOne(7, 0x80000000));
    });
    streaming.join();
    EXPECT_EQ("101 10000-20000 16 0 110\n"
              "7 70000-80000 16 2147483648 110\n", // another stream passes unchanged
              Describe(m_in->Received()));
    Quality flood{Flood, 1200, -10000, 0}, famine{Famine, 800, 50000, 0};
    EXPECT_EQ(S_OK, m_in->PassNotify(flood));
    EXPECT_EQ(S_OK, m_in->PassNotify(famine));
    ASSERT_EQ(1u, m_out->QualityMessages().size()) << "a message the filter does not handle goes upstream";
    EXPECT_EQ(50000, m_out->QualityMessages()[0].Late);
    ASSERT_EQ(S_OK, m_transform->Stop());
    ASSERT_EQ(S_OK, m_transform->Stop());
    // Input inactive first, before the receive lock, so an upstream thread
    // waiting for a buffer gives up and frees the lock.
    EXPECT_EQ("StartStreaming(locked) InputInactive OutputInactive(locked) StopStreaming(locked) ", m_transform->m_log);

    // The output pin answers seeking questions with the upstream pin's answers.
    m_source->Stop();
    m_out->m_sampleCount = 12;
    m_out->m_sampleDuration = 1000;
    auto ms = QueryHeld<IMediaSeeking>(static_cast<IPin *>(m_xout), IID_IMediaSeeking);
    EXPECT_EQ(Identity(ms.Get()), Identity(static_cast<IPin *>(m_xout))) << "the seeking object is part of the pin";
    LONGLONG pos = 5000, duration = -1, stop = -1, current = -1;
    ASSERT_EQ(S_OK, ms->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, 0));
    ms->GetDuration(&duration);
    ms->GetStopPosition(&stop);
    ms->GetCurrentPosition(&current);
    EXPECT_EQ("12000 12000 5000",
              std::to_string(duration) + " " + std::to_string(stop) + " " + std::to_string(current));
}

} // namespace
