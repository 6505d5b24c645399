// CMediaSample: times, flags, data length, attached media types and the
// IMediaSample2 properties, including the stream identifier.
#include "memallocator.h"
#include "mtype.h"

#include <orvexcom.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <gtest/gtest.h>

#include <cstddef>

namespace {

class CMediaSampleTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CreateMemoryAllocator(&m_pAlloc));
        ALLOCATOR_PROPERTIES req{1, 100, 1, 0}, act{};
        ASSERT_EQ(S_OK, m_pAlloc->SetProperties(&req, &act));
        ASSERT_EQ(S_OK, m_pAlloc->Commit());
        ASSERT_EQ(S_OK, m_pAlloc->GetBuffer(&m_pSample, nullptr, nullptr, 0));
        ASSERT_EQ(S_OK, m_pSample->QueryInterface(IID_IMediaSample2, (void **)&m_pSample2));
        m_pSample2->Release(); // the test keeps only its one reference
    }
    void TearDown() override
    {
        m_pSample->Release();
        m_pAlloc->Decommit();
        m_pAlloc->Release();
    }
    AM_SAMPLE2_PROPERTIES Props()
    {
        AM_SAMPLE2_PROPERTIES p{};
        EXPECT_EQ(S_OK, m_pSample2->GetProperties(sizeof(p), reinterpret_cast<BYTE *>(&p)));
        return p;
    }
    IMemAllocator *m_pAlloc = nullptr;
    IMediaSample *m_pSample = nullptr;
    IMediaSample2 *m_pSample2 = nullptr;
};

TEST_F(CMediaSampleTest, TimesAreUnsetStartOnlyOrBoth)
{
    REFERENCE_TIME start = 0, stop = 0;
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, m_pSample->GetTime(&start, &stop));
    REFERENCE_TIME s = 400000, e = 800000;
    m_pSample->SetTime(&s, nullptr);
    EXPECT_EQ(VFW_S_NO_STOP_TIME, m_pSample->GetTime(&start, &stop));
    EXPECT_EQ(400000, start);
    EXPECT_EQ(400001, stop);
    m_pSample->SetTime(&s, &e);
    EXPECT_EQ(S_OK, m_pSample->GetTime(&start, &stop));
    EXPECT_EQ(800000, stop);
    m_pSample->SetTime(nullptr, nullptr);
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, m_pSample->GetTime(&start, &stop));
    EXPECT_EQ(E_POINTER, m_pSample->GetTime(nullptr, &stop));
}

TEST_F(CMediaSampleTest, MediaTimesKeepStartAndStop)
{
    LONGLONG start = 0, stop = 0;
    EXPECT_EQ(VFW_E_MEDIA_TIME_NOT_SET, m_pSample->GetMediaTime(&start, &stop));
    LONGLONG s = 48000, e = 48000 + 0x100000000LL; // a span beyond 32 bits is kept whole
    EXPECT_EQ(E_POINTER, m_pSample->SetMediaTime(&s, nullptr));
    ASSERT_EQ(S_OK, m_pSample->SetMediaTime(&s, &e));
    ASSERT_EQ(S_OK, m_pSample->GetMediaTime(&start, &stop));
    EXPECT_EQ(s, start);
    EXPECT_EQ(e, stop);
    EXPECT_EQ(0u, Props().dwSampleFlags & 0x20) << "the media-time flag is internal";
    m_pSample->SetMediaTime(nullptr, nullptr);
    EXPECT_EQ(VFW_E_MEDIA_TIME_NOT_SET, m_pSample->GetMediaTime(&start, &stop));
}

TEST_F(CMediaSampleTest, FlagsReadBackAsTheyWereSet)
{
    EXPECT_EQ(S_FALSE, m_pSample->IsSyncPoint());
    EXPECT_EQ(S_FALSE, m_pSample->IsPreroll());
    EXPECT_EQ(S_FALSE, m_pSample->IsDiscontinuity());
    m_pSample->SetSyncPoint(TRUE);
    m_pSample->SetPreroll(TRUE);
    m_pSample->SetDiscontinuity(TRUE);
    EXPECT_EQ(S_OK, m_pSample->IsSyncPoint());
    EXPECT_EQ(S_OK, m_pSample->IsPreroll());
    EXPECT_EQ(S_OK, m_pSample->IsDiscontinuity());
    EXPECT_EQ(static_cast<DWORD>(AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_PREROLL | AM_SAMPLE_DATADISCONTINUITY),
              Props().dwSampleFlags);
    m_pSample->SetSyncPoint(FALSE);
    EXPECT_EQ(S_FALSE, m_pSample->IsSyncPoint());
}

TEST_F(CMediaSampleTest, DataLengthStaysWithinTheBuffer)
{
    EXPECT_EQ(100, m_pSample->GetSize());
    EXPECT_EQ(S_OK, m_pSample->SetActualDataLength(100));
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, m_pSample->SetActualDataLength(101));
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, m_pSample->SetActualDataLength(-1));
    EXPECT_EQ(100, m_pSample->GetActualDataLength());
    EXPECT_EQ(S_OK, m_pSample->SetActualDataLength(0));
    EXPECT_EQ(0, m_pSample->GetActualDataLength());
}

TEST_F(CMediaSampleTest, AttachedMediaTypeIsCopiedOutAndCleared)
{
    LONG blocks = OrvexTaskMemBlockCount();
    AM_MEDIA_TYPE *pmt = nullptr;
    EXPECT_EQ(S_FALSE, m_pSample->GetMediaType(&pmt));
    EXPECT_EQ(nullptr, pmt);
    CMediaType mt(&MEDIATYPE_Video);
    mt.SetSubtype(&MEDIASUBTYPE_RGB32);
    BYTE block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    mt.SetFormat(block, sizeof(block));
    ASSERT_EQ(S_OK, m_pSample->SetMediaType(&mt));
    EXPECT_NE(0u, Props().dwSampleFlags & AM_SAMPLE_TYPECHANGED);
    EXPECT_NE(nullptr, Props().pMediaType);
    ASSERT_EQ(S_OK, m_pSample->GetMediaType(&pmt));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_RGB32, pmt->subtype));
    EXPECT_EQ(8u, pmt->cbFormat);
    DeleteMediaType(pmt);
    ASSERT_EQ(S_OK, m_pSample->SetMediaType(nullptr));
    EXPECT_EQ(S_FALSE, m_pSample->GetMediaType(&pmt));
    EXPECT_EQ(blocks + 1, OrvexTaskMemBlockCount()) << "only the local type's block is left";
}

TEST_F(CMediaSampleTest, PropertiesRoundTripWithTheStreamIdentifier)
{
    AM_SAMPLE2_PROPERTIES in = Props();
    in.cbData = offsetof(AM_SAMPLE2_PROPERTIES, dwStreamId) + sizeof(DWORD);
    in.dwTypeSpecificFlags = 0x1234;
    in.dwSampleFlags = AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
    in.lActual = 60;
    in.tStart = 1000;
    in.tStop = 2000;
    in.dwStreamId = AM_STREAM_CONTROL;
    ASSERT_EQ(S_OK, m_pSample2->SetProperties(in.cbData, reinterpret_cast<BYTE *>(&in)));

    AM_SAMPLE2_PROPERTIES out = Props();
    EXPECT_EQ(sizeof(AM_SAMPLE2_PROPERTIES), out.cbData);
    EXPECT_EQ(0x1234u, out.dwTypeSpecificFlags);
    EXPECT_EQ(in.dwSampleFlags, out.dwSampleFlags);
    EXPECT_EQ(60, out.lActual);
    EXPECT_EQ(1000, out.tStart);
    EXPECT_EQ(2000, out.tStop);
    EXPECT_EQ(static_cast<DWORD>(AM_STREAM_CONTROL), out.dwStreamId);
    EXPECT_EQ(100, out.cbBuffer);
    BYTE *p = nullptr;
    m_pSample->GetPointer(&p);
    EXPECT_EQ(p, out.pbBuffer);
    EXPECT_EQ(S_OK, m_pSample->IsSyncPoint());
    EXPECT_EQ(60, m_pSample->GetActualDataLength());
    REFERENCE_TIME start, stop;
    EXPECT_EQ(S_OK, m_pSample->GetTime(&start, &stop));
    EXPECT_EQ(2000, stop);
}

TEST_F(CMediaSampleTest, StreamIdentifierIsClearedWhenTheSampleReturns)
{
    AM_SAMPLE2_PROPERTIES in = Props();
    in.cbData = 36;
    in.dwStreamId = 0x80000001;
    ASSERT_EQ(S_OK, m_pSample2->SetProperties(36, reinterpret_cast<BYTE *>(&in)));
    EXPECT_EQ(0x80000001u, Props().dwStreamId);
    m_pSample->Release();
    ASSERT_EQ(S_OK, m_pAlloc->GetBuffer(&m_pSample, nullptr, nullptr, 0));
    m_pSample->QueryInterface(IID_IMediaSample2, (void **)&m_pSample2);
    m_pSample2->Release();
    EXPECT_EQ(static_cast<DWORD>(AM_STREAM_MEDIA), Props().dwStreamId);
}

TEST_F(CMediaSampleTest, SetPropertiesUsesNoMoreThanCbDataSays)
{
    AM_SAMPLE2_PROPERTIES in = Props();
    in.cbData = 16; // as read with GetProperties(16): the stream identifier is not part of it
    in.dwStreamId = AM_STREAM_CONTROL;
    ASSERT_EQ(S_OK, m_pSample2->SetProperties(36, reinterpret_cast<BYTE *>(&in)));
    EXPECT_EQ(static_cast<DWORD>(AM_STREAM_MEDIA), Props().dwStreamId);
}

TEST_F(CMediaSampleTest, PartialReadsFillOnlyTheBytesAskedFor)
{
    BYTE raw[sizeof(AM_SAMPLE2_PROPERTIES)];
    std::memset(raw, 0xEE, sizeof(raw));
    m_pSample->SetSyncPoint(TRUE);
    ASSERT_EQ(S_OK, m_pSample2->GetProperties(16, raw));
    AM_SAMPLE2_PROPERTIES *p = reinterpret_cast<AM_SAMPLE2_PROPERTIES *>(raw);
    EXPECT_EQ(16u, p->cbData);
    EXPECT_EQ(static_cast<DWORD>(AM_SAMPLE_SPLICEPOINT), p->dwSampleFlags);
    EXPECT_EQ(0xEE, raw[16]) << "nothing past the 16 bytes is written";
    EXPECT_EQ(S_OK, m_pSample2->GetProperties(0, nullptr));
    EXPECT_EQ(E_POINTER, m_pSample2->GetProperties(4, nullptr));
}

TEST_F(CMediaSampleTest, BadPropertiesAreRefusedWithoutChange)
{
    const std::pair<const char *, void (*)(AM_SAMPLE2_PROPERTIES &)> cases[] = {
        {"unknown flag", [](AM_SAMPLE2_PROPERTIES &p) { p.dwSampleFlags = 0x200; }},
        {"media time flag", [](AM_SAMPLE2_PROPERTIES &p) { p.dwSampleFlags = 0x20; }},
        {"other buffer", [](AM_SAMPLE2_PROPERTIES &p) { p.pbBuffer += 1; }},
        {"other size", [](AM_SAMPLE2_PROPERTIES &p) { p.cbBuffer = 50; }},
        {"length over size", [](AM_SAMPLE2_PROPERTIES &p) { p.lActual = 101; }},
        {"negative length", [](AM_SAMPLE2_PROPERTIES &p) { p.lActual = -1; }},
        {"cbData past the structure", [](AM_SAMPLE2_PROPERTIES &p) { p.cbData = sizeof(p) + 4; }},
    };
    for (const auto &[what, spoil] : cases) {
        AM_SAMPLE2_PROPERTIES in = Props(), before = Props();
        spoil(in);
        EXPECT_EQ(E_INVALIDARG, m_pSample2->SetProperties(sizeof(in), reinterpret_cast<BYTE *>(&in))) << what;
        AM_SAMPLE2_PROPERTIES after = Props();
        EXPECT_EQ(0, std::memcmp(&before, &after, sizeof(before))) << what;
    }
}

TEST_F(CMediaSampleTest, TypeChangeThroughPropertiesNeedsAType)
{
    AM_SAMPLE2_PROPERTIES in = Props();
    in.dwSampleFlags = AM_SAMPLE_TYPECHANGED;
    in.pMediaType = nullptr;
    EXPECT_EQ(E_POINTER, m_pSample2->SetProperties(sizeof(in), reinterpret_cast<BYTE *>(&in)));
    CMediaType mt(&MEDIATYPE_Audio);
    in.pMediaType = &mt;
    ASSERT_EQ(S_OK, m_pSample2->SetProperties(sizeof(in), reinterpret_cast<BYTE *>(&in)));
    AM_MEDIA_TYPE *pmt = nullptr;
    ASSERT_EQ(S_OK, m_pSample->GetMediaType(&pmt));
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Audio, pmt->majortype));
    DeleteMediaType(pmt);
}

} // namespace
