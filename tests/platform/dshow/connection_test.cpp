// Connecting the test source to the test sink: media type agreement,
// allocator negotiation, refusals and disconnection.
#include "test_filters.h"

#include <gtest/gtest.h>

namespace {

class PinConnectionTest : public testing::Test {
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
    }
    void TearDown() override
    {
        m_pSource->Stop();
        m_pSink->Stop();
        m_pOut->Disconnect();
        m_pIn->Disconnect();
        EXPECT_EQ(0u, m_pSource->NonDelegatingRelease());
        EXPECT_EQ(0u, m_pSink->NonDelegatingRelease());
        EXPECT_EQ(m_objects, CBaseObject::ObjectsActive()) << "a filter, pin or allocator leaked";
    }
    LONG m_objects = 0;
    CTestSourceFilter *m_pSource = nullptr;
    CTestSinkFilter *m_pSink = nullptr;
    CTestSourcePin *m_pOut = nullptr;
    CTestSinkPin *m_pIn = nullptr;
};

TEST_F(PinConnectionTest, AgreesOnATypeBothPinsAccept)
{
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr));
    IPin *peer = nullptr;
    ASSERT_EQ(S_OK, m_pOut->ConnectedTo(&peer));
    EXPECT_EQ(static_cast<IPin *>(m_pIn), peer);
    peer->Release();
    ASSERT_EQ(S_OK, m_pIn->ConnectedTo(&peer));
    EXPECT_EQ(static_cast<IPin *>(m_pOut), peer);
    peer->Release();

    AM_MEDIA_TYPE mt;
    ASSERT_EQ(S_OK, m_pIn->ConnectionMediaType(&mt));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_RGB32, mt.subtype)) << "the source's second type, the one the sink takes";
    EXPECT_EQ(sizeof(VIDEOINFOHEADER), mt.cbFormat);
    FreeMediaType(mt);
    EXPECT_TRUE(m_pOut->CurrentMediaType() == m_pIn->CurrentMediaType());
}

TEST_F(PinConnectionTest, NegotiatesTheInputPinsAllocator)
{
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr));
    EXPECT_EQ(2, m_pOut->m_request.cBuffers) << "the sink's requirements reach DecideBufferSize";
    EXPECT_EQ(16, m_pOut->m_request.cbAlign);
    EXPECT_EQ(3, m_pOut->m_granted.cBuffers);
    EXPECT_GE(m_pOut->m_granted.cbBuffer, 512);
    ASSERT_NE(nullptr, m_pOut->Allocator());
    EXPECT_EQ(m_pIn->Allocator(), m_pOut->Allocator()) << "both pins use the sink's allocator";
    EXPECT_FALSE(m_pIn->IsReadOnly());
}

TEST_F(PinConnectionTest, FallsBackToItsOwnAllocator)
{
    m_pIn->m_refuseAllocator = true;
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr));
    ASSERT_NE(nullptr, m_pOut->Allocator());
    EXPECT_EQ(m_pIn->Allocator(), m_pOut->Allocator()) << "announced to the sink with NotifyAllocator";
}

TEST_F(PinConnectionTest, FullySpecifiedTypeIsTheOnlyOneTried)
{
    CMediaType yv12 = MakeVideoType(MEDIASUBTYPE_YV12, 16, 8);
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, m_pOut->Connect(m_pIn, &yv12));
    EXPECT_FALSE(m_pOut->IsConnected());
    EXPECT_FALSE(m_pIn->IsConnected());
    EXPECT_EQ(nullptr, m_pOut->Allocator());

    CMediaType rgb = MakeVideoType(MEDIASUBTYPE_RGB32, 320, 240);
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, &rgb));
    EXPECT_TRUE(m_pIn->CurrentMediaType() == rgb);
}

TEST_F(PinConnectionTest, PartialTypeFiltersTheCandidates)
{
    CMediaType partial(&MEDIATYPE_Video);
    partial.SetSubtype(&MEDIASUBTYPE_YV12);
    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, m_pOut->Connect(m_pIn, &partial)) << "the sink refuses YV12";
    m_pIn->m_accepted = MEDIASUBTYPE_YV12;
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, &partial));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_YV12, *m_pIn->CurrentMediaType().Subtype()));
}

TEST_F(PinConnectionTest, NoCommonTypeIsRefused)
{
    m_pIn->m_accepted = MEDIASUBTYPE_RGB24;
    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, m_pOut->Connect(m_pIn, nullptr));
    EXPECT_FALSE(m_pOut->IsConnected());
}

TEST_F(PinConnectionTest, SecondConnectionIsRefused)
{
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, m_pOut->Connect(m_pIn, nullptr));
    CMediaType rgb = MakeVideoType(MEDIASUBTYPE_RGB32, 4, 4);
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, m_pIn->ReceiveConnection(m_pOut, &rgb));
}

TEST_F(PinConnectionTest, PinsOfOneDirectionDoNotConnect)
{
    HRESULT hr = S_OK;
    CTestSinkFilter *other = new CTestSinkFilter(&hr);
    other->NonDelegatingAddRef();
    CMediaType rgb = MakeVideoType(MEDIASUBTYPE_RGB32, 4, 4);
    EXPECT_EQ(VFW_E_INVALID_DIRECTION, m_pIn->ReceiveConnection(other->Pin(), &rgb));
    EXPECT_EQ(VFW_E_INVALID_DIRECTION, m_pOut->Connect(m_pOut, &rgb));
    other->NonDelegatingRelease();
}

TEST_F(PinConnectionTest, ConnectingNeedsStoppedFilters)
{
    ASSERT_EQ(S_OK, m_pSource->Pause());
    EXPECT_EQ(VFW_E_NOT_STOPPED, m_pOut->Connect(m_pIn, nullptr));
    m_pSource->Stop();
    ASSERT_EQ(S_OK, m_pSink->Pause());
    CMediaType rgb = MakeVideoType(MEDIASUBTYPE_RGB32, 4, 4);
    EXPECT_EQ(VFW_E_NOT_STOPPED, m_pIn->ReceiveConnection(m_pOut, &rgb));
    EXPECT_EQ(VFW_E_NOT_STOPPED, m_pOut->Connect(m_pIn, nullptr)) << "the sink refuses while paused";
    EXPECT_FALSE(m_pOut->IsConnected());
    m_pSink->Stop();
}

TEST_F(PinConnectionTest, BadArgumentsAreRefused)
{
    EXPECT_EQ(E_POINTER, m_pOut->Connect(nullptr, nullptr));
    EXPECT_EQ(E_POINTER, m_pIn->ReceiveConnection(nullptr, nullptr));
    CMediaType rgb;
    EXPECT_EQ(E_POINTER, m_pIn->ReceiveConnection(m_pOut, nullptr));
    EXPECT_EQ(E_POINTER, m_pOut->ConnectedTo(nullptr));
    EXPECT_EQ(E_POINTER, m_pOut->ConnectionMediaType(nullptr));
    EXPECT_EQ(E_POINTER, m_pOut->QueryAccept(nullptr));
}

TEST_F(PinConnectionTest, DisconnectNeedsStoppedFilterAndBreaksTheConnection)
{
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr));
    ASSERT_EQ(S_OK, m_pSource->Pause());
    EXPECT_EQ(VFW_E_NOT_STOPPED, m_pOut->Disconnect());
    m_pSource->Stop();
    LONG objects = CBaseObject::ObjectsActive();
    EXPECT_EQ(S_OK, m_pOut->Disconnect());
    EXPECT_EQ(nullptr, m_pOut->Allocator());
    EXPECT_EQ(S_OK, m_pIn->Disconnect());
    EXPECT_EQ(nullptr, m_pIn->Allocator());
    EXPECT_EQ(objects - 1, CBaseObject::ObjectsActive()) << "the allocator went with the connection";
    EXPECT_EQ(S_FALSE, m_pOut->Disconnect()) << "nothing left to disconnect";
    EXPECT_FALSE(m_pOut->IsConnected());
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr)) << "and they connect again";
}

TEST_F(PinConnectionTest, MediaTypesEnumerateFromThePin)
{
    IEnumMediaTypes *pEnum = nullptr;
    ASSERT_EQ(S_OK, m_pOut->EnumMediaTypes(&pEnum));
    AM_MEDIA_TYPE *types[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(E_INVALIDARG, pEnum->Next(2, types, nullptr));
    EXPECT_EQ(S_FALSE, pEnum->Next(3, types, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_YV12, types[0]->subtype));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_RGB32, types[1]->subtype));
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
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_RGB32, types[0]->subtype));
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
    EXPECT_EQ(0u, fetched);
    pEnum->Release();
}

TEST_F(PinConnectionTest, StateChangesReachConnectedPins)
{
    ASSERT_EQ(S_OK, m_pOut->Connect(m_pIn, nullptr));
    IMemAllocator *alloc = m_pOut->Allocator();
    IMediaSample *s = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, alloc->GetBuffer(&s, nullptr, nullptr, 0));
    ASSERT_EQ(S_OK, m_pSource->Pause()) << "the output pin commits its allocator";
    ASSERT_EQ(S_OK, alloc->GetBuffer(&s, nullptr, nullptr, 0));
    s->Release();
    ASSERT_EQ(S_OK, m_pSource->Stop());
    EXPECT_EQ(VFW_E_NOT_COMMITTED, alloc->GetBuffer(&s, nullptr, nullptr, 0));
}

TEST_F(PinConnectionTest, OutputPinWithoutAllocatorCannotGoActive)
{
    EXPECT_EQ(VFW_E_NO_ALLOCATOR, m_pOut->Active());
    EXPECT_EQ(VFW_E_NO_ALLOCATOR, m_pOut->Inactive());
    EXPECT_EQ(VFW_E_NOT_CONNECTED, m_pOut->DeliverEndOfStream());
    EXPECT_EQ(VFW_E_NOT_CONNECTED, m_pOut->DeliverNewSegment(0, 1, 1.0));
    EXPECT_EQ(VFW_E_NOT_CONNECTED, m_pOut->DeliverBeginFlush());
    EXPECT_EQ(VFW_E_NOT_CONNECTED, m_pOut->DeliverEndFlush());
    EXPECT_EQ(E_UNEXPECTED, m_pOut->EndOfStream());
    EXPECT_EQ(E_UNEXPECTED, m_pOut->BeginFlush());
    IMediaSample *s = nullptr;
    EXPECT_EQ(E_NOINTERFACE, m_pOut->GetDeliveryBuffer(&s, nullptr, nullptr, 0));
}

} // namespace
