// The base classes' building blocks: published values, CMediaType, CMediaSample with the IMediaSample2 properties, and
// CMemAllocator's commit, decommit and blocking GetBuffer across threads.
#include "support/dshow_doubles.h"

#include <orvexcom.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <thread>
#include <vector>

namespace {

TEST(DShowPublishedValues, MatchTheSdk)
{
    // A wrong constant looks right on both sides of our platform, wrong to the system.
    EXPECT_EQ("80040211 80040227 8004022A 00040103 0 1 3 20 600000", [] {
        char text[128];
        snprintf(text, sizeof(text), "%08X %08X %08X %08X %u %u %X %X %X", (unsigned)VFW_E_NOT_COMMITTED,
                 (unsigned)VFW_E_WRONG_STATE, (unsigned)VFW_E_TYPE_NOT_ACCEPTED, (unsigned)VFW_S_NO_MORE_ITEMS,
                 (unsigned)AM_STREAM_MEDIA, (unsigned)AM_STREAM_CONTROL, (unsigned)AM_SEEKING_PositioningBitsMask,
                 (unsigned)AM_SEEKING_NoFlush, (unsigned)MERIT_NORMAL);
        return std::string(text);
    }());
}

TEST(CMediaType, OwnsComparesAndMatchesFormatBlocks)
{
    LONG blocks = OrvexTaskMemBlockCount();
    {
        CMediaType a = TestType(MEDIASUBTYPE_TestA, 1920), b(a);
        EXPECT_NE(a.Format(), b.Format());
        EXPECT_TRUE(a == b);
        reinterpret_cast<VIDEOINFOHEADER *>(b.Format())->bmiHeader.biWidth = 1280;
        EXPECT_TRUE(a != b) << "the format block takes part in the comparison";
        b = a;
        EXPECT_TRUE(a == b);

        AM_MEDIA_TYPE bad{}, out;
        bad.cbFormat = 88; // a length without a block
        EXPECT_EQ(E_INVALIDARG, CopyMediaType(&out, &bad));
        EXPECT_EQ(nullptr, CreateMediaType(&bad));
        BYTE stray = 0;
        bad.cbFormat = 0;
        bad.pbFormat = &stray; // a length of 0 means there is no block
        ASSERT_EQ(S_OK, CopyMediaType(&out, &bad));
        EXPECT_EQ(nullptr, out.pbFormat);
    }
    EXPECT_EQ(blocks, OrvexTaskMemBlockCount()) << "a format block leaked";
}

class Allocator : public CMemAllocator {
public:
    Allocator(HRESULT *phr) : CMemAllocator(NAME("Allocator"), NULL, phr) { NonDelegatingAddRef(); }
    LONG Waiting()
    {
        CAutoLock lock(this);
        return m_lWaiting;
    }
    HRESULT Configure(LONG count, LONG size, LONG align = 1, LONG prefix = 0)
    {
        ALLOCATOR_PROPERTIES req{count, size, align, prefix}, act{};
        return SetProperties(&req, &act);
    }
};

// A GetBuffer on a thread of its own; done is set when it returns.
struct Waiter {
    explicit Waiter(Allocator *alloc)
        : thread([this, alloc] {
              hr = alloc->GetBuffer(&sample, nullptr, nullptr, 0);
              done.Set();
          })
    {
    }
    ~Waiter() { thread.join(); }
    HRESULT hr = E_FAIL;
    IMediaSample *sample = nullptr;
    CAMEvent done{TRUE};
    std::thread thread;
};

class MemAllocator : public testing::Test {
protected:
    void TearDown() override
    {
        m_alloc->Decommit(); // wakes a waiter a fault left behind, so it can be joined
        m_waiters.clear();
        m_alloc->NonDelegatingRelease();
        EXPECT_EQ(m_objects, CBaseObject::ObjectsActive()) << "the allocator outlived its last reference";
    }
    IMediaSample *Get(DWORD flags = 0)
    {
        IMediaSample *s = nullptr;
        EXPECT_EQ(S_OK, m_alloc->GetBuffer(&s, nullptr, nullptr, flags));
        return s;
    }
    // Starts n waiters and returns once all of them are blocked in GetBuffer.
    void StartWaiters(int n)
    {
        for (int i = 0; i < n; i++)
            m_waiters.push_back(std::make_unique<Waiter>(m_alloc));
        while (m_alloc->Waiting() < n)
            std::this_thread::yield();
    }
    bool WaitersReturned() // bounded only so that a fault cannot hang the run
    {
        std::vector<HANDLE> done;
        for (auto &w : m_waiters)
            done.push_back(w->done);
        return WaitForMultipleObjects((DWORD)done.size(), done.data(), TRUE, 20000) == WAIT_OBJECT_0;
    }
    LONG m_objects = CBaseObject::ObjectsActive();
    HRESULT m_hr = S_OK;
    Allocator *m_alloc = new Allocator(&m_hr);
    std::vector<std::unique_ptr<Waiter>> m_waiters;
};

TEST_F(MemAllocator, PropertiesAndCommit)
{
    const std::pair<ALLOCATOR_PROPERTIES, HRESULT> refused[] = {
        {{1, 100, 0, 0}, VFW_E_BADALIGN},
        {{1, 100, 3, 0}, VFW_E_BADALIGN},
        {{1, -1, 1, 0}, E_INVALIDARG},
        {{1, 0x7FFFFFF0, 1, 0x100}, E_OUTOFMEMORY}, // the sum would wrap
    };
    for (const auto &[p, expected] : refused)
        EXPECT_EQ(expected, m_alloc->Configure(p.cBuffers, p.cbBuffer, p.cbAlign, p.cbPrefix))
            << p.cbAlign << p.cbBuffer;
    EXPECT_EQ(VFW_E_SIZENOTSET, m_alloc->Commit());
    ASSERT_EQ(S_OK, m_alloc->Configure(2, 0x7FFF0000));
    EXPECT_EQ(E_OUTOFMEMORY, m_alloc->Commit()) << "two buffers of 2 GiB exceed the 32-bit total";
    ALLOCATOR_PROPERTIES req{3, 1000, 16, 4}, act{};
    ASSERT_EQ(S_OK, m_alloc->SetProperties(&req, &act));
    EXPECT_EQ(1008 - 4, act.cbBuffer) << "prefix plus buffer is a multiple of the alignment";
    ASSERT_EQ(S_OK, m_alloc->Commit());
    IMediaSample *s = Get();
    BYTE *p = nullptr;
    s->GetPointer(&p);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(p - 4) % 16) << "the prefix starts aligned";
    std::string states = std::to_string(m_alloc->SetProperties(&req, &act) == VFW_E_ALREADY_COMMITTED);
    ASSERT_EQ(S_OK, m_alloc->Decommit());
    states += std::to_string(m_alloc->SetProperties(&req, &act) == VFW_E_BUFFERS_OUTSTANDING);
    // The last reference goes; the decommitted allocator stays for its sample.
    m_alloc->NonDelegatingAddRef();
    LONG objects = CBaseObject::ObjectsActive();
    m_alloc->NonDelegatingRelease();
    states += std::to_string(objects == CBaseObject::ObjectsActive());
    p[0] = 0x5A; // the memory is still there
    s->Release();
    EXPECT_EQ("1110", states + std::to_string(m_alloc->SetProperties(&req, &act)));
}

TEST_F(MemAllocator, BuffersComeBackWithTheirLastReference)
{
    ASSERT_EQ(S_OK, m_alloc->Configure(1, 64));
    ASSERT_EQ(S_OK, m_alloc->Commit());
    IMediaSample *a = Get();
    IMediaSample *none = nullptr;
    EXPECT_EQ(VFW_E_TIMEOUT, m_alloc->GetBuffer(&none, nullptr, nullptr, AM_GBF_NOWAIT));
    a->AddRef();
    a->Release();
    EXPECT_EQ(VFW_E_TIMEOUT, m_alloc->GetBuffer(&none, nullptr, nullptr, AM_GBF_NOWAIT)) << "still held once";
    a->SetDiscontinuity(TRUE);
    StartWaiters(1);
    EXPECT_FALSE(m_waiters[0]->done.Check()) << "no buffer is free";
    a->Release();
    ASSERT_TRUE(WaitersReturned()) << "the returned buffer woke nobody";
    EXPECT_EQ(a, m_waiters[0]->sample);
    EXPECT_EQ(S_FALSE, a->IsDiscontinuity()) << "handed out again with its properties cleared";
    // Decommit before the buffer returns, then commit again: it is kept.
    m_alloc->Decommit();
    ASSERT_EQ(S_OK, m_alloc->Commit());
    a->Release();
    IMediaSample *again = Get();
    EXPECT_EQ(a, again);
    again->Release();
}

TEST_F(MemAllocator, DecommitWakesEveryWaiterWithNotCommitted)
{
    ASSERT_EQ(S_OK, m_alloc->Configure(1, 64));
    ASSERT_EQ(S_OK, m_alloc->Commit());
    IMediaSample *held = Get();
    StartWaiters(3);
    ASSERT_EQ(S_OK, m_alloc->Decommit());
    EXPECT_TRUE(WaitersReturned()); // and goes on, so that the held sample returns
    for (auto &w : m_waiters)
        EXPECT_EQ(VFW_E_NOT_COMMITTED, w->hr);
    IMediaSample *late = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, m_alloc->GetBuffer(&late, nullptr, nullptr, AM_GBF_NOWAIT))
        << "at once after decommit, even with a sample still out";
    EXPECT_EQ(nullptr, late);
    held->Release();
}

class MediaSample : public MemAllocator {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, m_alloc->Configure(1, 100));
        ASSERT_EQ(S_OK, m_alloc->Commit());
        m_sample = Get();
        m_sample->QueryInterface(IID_IMediaSample2, (void **)&m_sample2);
        m_sample2->Release(); // the test keeps only its one reference
    }
    void TearDown() override
    {
        m_sample->Release();
        MemAllocator::TearDown();
    }
    // "flags tStart tStop lActual streamId" of the sample's properties.
    std::string Props()
    {
        AM_SAMPLE2_PROPERTIES p{};
        EXPECT_EQ(S_OK, m_sample2->GetProperties(sizeof(p), reinterpret_cast<BYTE *>(&p)));
        char text[96];
        snprintf(text, sizeof(text), "%X %lld %lld %d %X", (unsigned)p.dwSampleFlags, (long long)p.tStart,
                 (long long)p.tStop, (int)p.lActual, (unsigned)p.dwStreamId);
        return text;
    }
    HRESULT Set(AM_SAMPLE2_PROPERTIES p, DWORD size = sizeof(AM_SAMPLE2_PROPERTIES))
    {
        return m_sample2->SetProperties(size, reinterpret_cast<BYTE *>(&p));
    }
    AM_SAMPLE2_PROPERTIES Current()
    {
        AM_SAMPLE2_PROPERTIES p{};
        m_sample2->GetProperties(sizeof(p), reinterpret_cast<BYTE *>(&p));
        return p;
    }
    IMediaSample *m_sample = nullptr;
    IMediaSample2 *m_sample2 = nullptr;
};

TEST_F(MediaSample, TimesFlagsLengthAndType)
{
    REFERENCE_TIME start = 0, stop = 0, s = 400000, e = 800000;
    std::string results = std::to_string(m_sample->GetTime(&start, &stop) == VFW_E_SAMPLE_TIME_NOT_SET);
    m_sample->SetTime(&s, nullptr);
    results += std::to_string(m_sample->GetTime(&start, &stop) == VFW_S_NO_STOP_TIME) + " ";
    results += std::to_string(stop) + " ";
    m_sample->SetTime(&s, &e);
    m_sample->SetSyncPoint(TRUE);
    m_sample->SetPreroll(TRUE);
    m_sample->SetDiscontinuity(TRUE);
    for (LONG length : {100, 101, -1})
        results += std::to_string(m_sample->SetActualDataLength(length) == S_OK) + " ";
    EXPECT_EQ("11 400001 1 0 0 ", results);
    EXPECT_EQ("117 400000 800000 100 0", Props()) << "splice point, preroll, discontinuity and both times";
    LONG blocks = OrvexTaskMemBlockCount();
    CMediaType mt = TestType(MEDIASUBTYPE_TestA, 8);
    AM_MEDIA_TYPE *pmt = nullptr;
    ASSERT_EQ(S_OK, m_sample->SetMediaType(&mt));
    ASSERT_EQ(S_OK, m_sample->GetMediaType(&pmt));
    EXPECT_TRUE(mt == *pmt && (Current().dwSampleFlags & AM_SAMPLE_TYPECHANGED)) << "a copy, marked as a change";
    DeleteMediaType(pmt);
    ASSERT_EQ(S_OK, m_sample->SetMediaType(nullptr));
    EXPECT_EQ(S_FALSE, m_sample->GetMediaType(&pmt));
    EXPECT_EQ(blocks + 1, OrvexTaskMemBlockCount()) << "only the local type's block is left";
}

TEST_F(MediaSample, PropertiesCarryTheStreamIdentifier)
{
    AM_SAMPLE2_PROPERTIES in = Current();
    in.cbData = offsetof(AM_SAMPLE2_PROPERTIES, dwStreamId) + sizeof(DWORD);
    in.dwSampleFlags = AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
    in.lActual = 60;
    in.tStart = 1000;
    in.tStop = 2000;
    in.dwStreamId = 0x80000001;
    ASSERT_EQ(S_OK, Set(in, 36));
    EXPECT_EQ("111 1000 2000 60 80000001", Props());
    EXPECT_EQ(S_OK, m_sample->IsSyncPoint());
    in.cbData = 16; // as read with GetProperties(16): the stream identifier is not part of it
    in.dwStreamId = AM_STREAM_CONTROL;
    ASSERT_EQ(S_OK, Set(in, 36));
    EXPECT_EQ("111 1000 2000 60 80000001", Props());

    // Refusals change nothing.
    const std::pair<const char *, void (*)(AM_SAMPLE2_PROPERTIES &)> spoilers[] = {
        {"unknown flag", [](AM_SAMPLE2_PROPERTIES &p) { p.dwSampleFlags = 0x200; }},
        {"other buffer", [](AM_SAMPLE2_PROPERTIES &p) { p.pbBuffer += 1; }},
        {"length over size", [](AM_SAMPLE2_PROPERTIES &p) { p.lActual = 101; }},
        {"cbData past the structure", [](AM_SAMPLE2_PROPERTIES &p) { p.cbData = sizeof(p) + 4; }},
        {"type change without a type", [](AM_SAMPLE2_PROPERTIES &p) { p.dwSampleFlags = AM_SAMPLE_TYPECHANGED; }},
    };
    for (const auto &[what, spoil] : spoilers) {
        AM_SAMPLE2_PROPERTIES bad = Current();
        spoil(bad);
        EXPECT_TRUE(FAILED(Set(bad))) << what;
        EXPECT_EQ("111 1000 2000 60 80000001", Props()) << what;
    }
}

} // namespace
