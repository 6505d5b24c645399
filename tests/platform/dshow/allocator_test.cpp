// CMemAllocator: properties, commit and decommit, the blocking GetBuffer and
// the return of samples to the pool, across threads.
#include "memallocator.h"

#include <vfwmsgs.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Exposes the number of GetBuffer calls waiting, so a test can see a
// thread blocked without timing it.
class CObservedAllocator : public CMemAllocator {
public:
    CObservedAllocator(HRESULT *phr) : CMemAllocator(NAME("Observed allocator"), NULL, phr) {}
    LONG Waiting()
    {
        CAutoLock lock(this);
        return m_lWaiting;
    }
    void WaitForWaiters(LONG n)
    {
        while (Waiting() < n)
            std::this_thread::yield();
    }
};

struct CountingNotify : IMemAllocatorNotifyCallbackTemp {
    std::atomic<int> releases{0};
    STDMETHODIMP QueryInterface(REFIID, void **ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP NotifyRelease() override
    {
        ++releases;
        return S_OK;
    }
};

// A GetBuffer on a thread of its own, which says when it has returned.
struct Waiter {
    explicit Waiter(IMemAllocator *alloc)
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

class MemAllocatorTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_objects = CBaseObject::ObjectsActive();
        HRESULT hr = S_OK;
        m_pAlloc = new CObservedAllocator(&hr);
        m_pAlloc->NonDelegatingAddRef();
    }
    void TearDown() override
    {
        m_pAlloc->Decommit(); // wakes a waiter a fault left behind, so it can be joined
        m_waiters.clear();
        m_pAlloc->NonDelegatingRelease();
        EXPECT_EQ(m_objects, CBaseObject::ObjectsActive()) << "the allocator outlived its last reference";
    }
    void Configure(LONG count, LONG size)
    {
        ALLOCATOR_PROPERTIES req{count, size, 1, 0}, act{};
        ASSERT_EQ(S_OK, m_pAlloc->SetProperties(&req, &act));
    }
    LONG FreeCount()
    {
        LONG n = -1;
        m_pAlloc->GetFreeCount(&n);
        return n;
    }
    // Starts n waiters and returns once all of them are blocked in GetBuffer.
    void StartWaiters(int n)
    {
        for (int i = 0; i < n; i++)
            m_waiters.push_back(std::make_unique<Waiter>(m_pAlloc));
        m_pAlloc->WaitForWaiters(n);
    }
    // Bounded only so that a waiter never woken fails the test instead of hanging it.
    bool WaitersReturned()
    {
        std::vector<HANDLE> done;
        for (auto &w : m_waiters)
            done.push_back(w->done);
        return WaitForMultipleObjects(static_cast<DWORD>(done.size()), done.data(), TRUE, 20000) == WAIT_OBJECT_0;
    }
    LONG m_objects = 0;
    CObservedAllocator *m_pAlloc = nullptr;
    std::vector<std::unique_ptr<Waiter>> m_waiters;
};

TEST_F(MemAllocatorTest, PropertiesRoundUpToTheAlignment)
{
    ALLOCATOR_PROPERTIES req{3, 1000, 16, 4}, act{};
    ASSERT_EQ(S_OK, m_pAlloc->SetProperties(&req, &act));
    EXPECT_EQ(3, act.cBuffers);
    EXPECT_EQ(1008 - 4, act.cbBuffer) << "prefix plus buffer is a multiple of the alignment";
    EXPECT_EQ(16, act.cbAlign);
    EXPECT_EQ(4, act.cbPrefix);
    ALLOCATOR_PROPERTIES got{};
    m_pAlloc->GetProperties(&got);
    EXPECT_EQ(act.cbBuffer, got.cbBuffer);

    ASSERT_EQ(S_OK, m_pAlloc->Commit());
    IMediaSample *s = nullptr;
    ASSERT_EQ(S_OK, m_pAlloc->GetBuffer(&s, nullptr, nullptr, 0));
    BYTE *p = nullptr;
    s->GetPointer(&p);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(p - 4) % 16) << "the prefix starts aligned";
    EXPECT_EQ(act.cbBuffer, s->GetSize());
    s->Release();
}

TEST_F(MemAllocatorTest, BadPropertiesAreRefused)
{
    const std::pair<ALLOCATOR_PROPERTIES, HRESULT> cases[] = {
        {{1, 100, 0, 0}, VFW_E_BADALIGN},        {{1, 100, 3, 0}, VFW_E_BADALIGN},
        {{1, 100, -4, 0}, VFW_E_BADALIGN},       {{1, 100, 1 << 20, 0}, VFW_E_BADALIGN},
        {{1, -1, 1, 0}, E_INVALIDARG},           {{1, 100, 1, -8}, E_INVALIDARG},
        {{-1, 100, 1, 0}, E_INVALIDARG},         {{1, 0x7FFFFFF0, 1, 0x100}, E_OUTOFMEMORY},
        {{1, 0x7FFFFFF0, 64, 0}, E_OUTOFMEMORY},
    };
    for (const auto &[props, expected] : cases) {
        ALLOCATOR_PROPERTIES req = props, act{};
        EXPECT_EQ(expected, m_pAlloc->SetProperties(&req, &act))
            << req.cBuffers << " " << req.cbBuffer << " " << req.cbAlign << " " << req.cbPrefix;
    }
}

TEST_F(MemAllocatorTest, CommitNeedsProperties)
{
    EXPECT_EQ(VFW_E_SIZENOTSET, m_pAlloc->Commit());
    Configure(0, 100);
    EXPECT_EQ(VFW_E_SIZENOTSET, m_pAlloc->Commit());
    Configure(2, 0x7FFF0000);
    EXPECT_EQ(E_OUTOFMEMORY, m_pAlloc->Commit()) << "two buffers of 2 GiB exceed the 32-bit total";
}

TEST_F(MemAllocatorTest, GetBufferNeedsCommit)
{
    Configure(1, 64);
    IMediaSample *s = reinterpret_cast<IMediaSample *>(1);
    EXPECT_EQ(VFW_E_NOT_COMMITTED, m_pAlloc->GetBuffer(&s, nullptr, nullptr, 0));
    EXPECT_EQ(nullptr, s);
    EXPECT_EQ(E_POINTER, m_pAlloc->GetBuffer(nullptr, nullptr, nullptr, 0));
}

TEST_F(MemAllocatorTest, BufferReturnsToThePoolWithItsLastReference)
{
    Configure(2, 64);
    ASSERT_EQ(S_OK, m_pAlloc->Commit());
    EXPECT_EQ(2, FreeCount());
    IMediaSample *a = nullptr, *b = nullptr;
    ASSERT_EQ(S_OK, m_pAlloc->GetBuffer(&a, nullptr, nullptr, 0));
    ASSERT_EQ(S_OK, m_pAlloc->GetBuffer(&b, nullptr, nullptr, 0));
    EXPECT_NE(a, b);
    EXPECT_EQ(0, FreeCount());
    a->AddRef();
    a->Release();
    EXPECT_EQ(0, FreeCount()) << "still held once";
    a->SetDiscontinuity(TRUE);
    a->Release();
    EXPECT_EQ(1, FreeCount());
    IMediaSample *again = nullptr;
    ASSERT_EQ(S_OK, m_pAlloc->GetBuffer(&again, nullptr, nullptr, 0));
    EXPECT_EQ(a, again) << "the returned buffer is handed out again";
    EXPECT_EQ(S_FALSE, again->IsDiscontinuity()) << "with its properties cleared";
    again->Release();
    b->Release();
    EXPECT_EQ(2, FreeCount());
}

TEST_F(MemAllocatorTest, NoWaitAnswersTimeoutWhenEmpty)
{
    Configure(1, 64);
    ASSERT_EQ(S_OK, m_pAlloc->Commit());
    IMediaSample *a = nullptr, *b = nullptr;
    ASSERT_EQ(S_OK, m_pAlloc->GetBuffer(&a, nullptr, nullptr, AM_GBF_NOWAIT));
    EXPECT_EQ(VFW_E_TIMEOUT, m_pAlloc->GetBuffer(&b, nullptr, nullptr, AM_GBF_NOWAIT));
    EXPECT_EQ(0, m_pAlloc->Waiting());
    a->Release();
}

TEST_F(MemAllocatorTest, GetBufferBlocksUntilABufferComesBack)
{
    Configure(1, 64);
    ASSERT_EQ(S_OK, m_pAlloc->Commit());
    IMediaSample *held = nullptr;
    ASSERT_EQ(S_OK, m_pAlloc->GetBuffer(&held, nullptr, nullptr, 0));
    StartWaiters(1);
    EXPECT_FALSE(m_waiters[0]->done.Check()) << "no buffer is free";
    held->Release();
    ASSERT_TRUE(WaitersReturned());
    EXPECT_EQ(S_OK, m_waiters[0]->hr);
    EXPECT_EQ(held, m_waiters[0]->sample);
    m_waiters[0]->sample->Release();
}

TEST_F(MemAllocatorTest, DecommitWakesEveryWaiterWithNotCommitted)
{
    Configure(1, 64);
    ASSERT_EQ(S_OK, m_pAlloc->Commit());
    IMediaSample *held = nullptr;
    ASSERT_EQ(S_OK, m_pAlloc->GetBuffer(&held, nullptr, nullptr, 0));
    StartWaiters(3);
    ASSERT_EQ(S_OK, m_pAlloc->Decommit());
    EXPECT_TRUE(WaitersReturned());
    for (auto &w : m_waiters) {
        EXPECT_EQ(VFW_E_NOT_COMMITTED, w->hr);
        EXPECT_EQ(nullptr, w->sample);
    }
    IMediaSample *late = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, m_pAlloc->GetBuffer(&late, nullptr, nullptr, AM_GBF_NOWAIT))
        << "at once after decommit, even with samples still out";
    held->Release();
}

TEST_F(MemAllocatorTest, OutstandingBuffersKeepTheAllocatorAlive)
{
    Configure(2, 64);
    ASSERT_EQ(S_OK, m_pAlloc->Commit());
    IMediaSample *held = nullptr;
    ASSERT_EQ(S_OK, m_pAlloc->GetBuffer(&held, nullptr, nullptr, 0));
    ALLOCATOR_PROPERTIES req{4, 64, 1, 0}, act{};
    EXPECT_EQ(VFW_E_ALREADY_COMMITTED, m_pAlloc->SetProperties(&req, &act));
    ASSERT_EQ(S_OK, m_pAlloc->Decommit());
    EXPECT_EQ(VFW_E_BUFFERS_OUTSTANDING, m_pAlloc->SetProperties(&req, &act));

    // The test's reference goes; the committed allocator stays for the sample.
    m_pAlloc->NonDelegatingAddRef();
    LONG objects = CBaseObject::ObjectsActive();
    m_pAlloc->NonDelegatingRelease();
    EXPECT_EQ(objects, CBaseObject::ObjectsActive());
    BYTE *p = nullptr;
    held->GetPointer(&p);
    p[63] = 0x5A; // the memory is still there
    held->Release();
    EXPECT_EQ(S_OK, m_pAlloc->SetProperties(&req, &act));
}

TEST_F(MemAllocatorTest, RecommitBeforeTheBuffersReturnKeepsThem)
{
    Configure(1, 64);
    ASSERT_EQ(S_OK, m_pAlloc->Commit());
    IMediaSample *held = nullptr;
    ASSERT_EQ(S_OK, m_pAlloc->GetBuffer(&held, nullptr, nullptr, 0));
    m_pAlloc->Decommit();
    ASSERT_EQ(S_OK, m_pAlloc->Commit());
    held->Release();
    IMediaSample *again = nullptr;
    ASSERT_EQ(S_OK, m_pAlloc->GetBuffer(&again, nullptr, nullptr, 0));
    EXPECT_EQ(held, again);
    again->Release();
}

TEST_F(MemAllocatorTest, ReleaseCallbackHearsEveryReturn)
{
    CountingNotify notify;
    IMemAllocatorCallbackTemp *cb = nullptr;
    ASSERT_EQ(S_OK, m_pAlloc->NonDelegatingQueryInterface(IID_IMemAllocatorCallbackTemp, (void **)&cb));
    ASSERT_EQ(S_OK, cb->SetNotify(&notify));
    Configure(2, 64);
    ASSERT_EQ(S_OK, m_pAlloc->Commit());
    IMediaSample *s = nullptr;
    m_pAlloc->GetBuffer(&s, nullptr, nullptr, 0);
    s->Release();
    EXPECT_EQ(1, notify.releases.load());
    cb->SetNotify(nullptr);
    cb->Release();
}

TEST_F(MemAllocatorTest, SamplesCrossThreadsUnderLoad)
{
    Configure(3, 256);
    ASSERT_EQ(S_OK, m_pAlloc->Commit());
    constexpr int kSamples = 2000;
    // The producer blocks in GetBuffer whenever this thread holds all three.
    std::mutex lock;
    std::condition_variable ready;
    std::deque<IMediaSample *> queue;
    std::thread producer([&] {
        IMediaSample *s = nullptr;
        for (int i = 0; i < kSamples && m_pAlloc->GetBuffer(&s, nullptr, nullptr, 0) == S_OK; i++) {
            BYTE *p = nullptr;
            s->GetPointer(&p);
            p[0] = static_cast<BYTE>(i);
            std::lock_guard<std::mutex> guard(lock);
            queue.push_back(s);
            ready.notify_one();
        }
    });
    int received = 0;
    for (; received < kSamples; ++received) {
        std::unique_lock<std::mutex> guard(lock);
        // Bounded only so that a producer never woken fails the test instead of hanging it.
        if (!ready.wait_for(guard, std::chrono::seconds(20), [&] { return !queue.empty(); })) break;
        IMediaSample *s = queue.front();
        queue.pop_front();
        guard.unlock();
        BYTE *p = nullptr;
        s->GetPointer(&p);
        EXPECT_EQ(static_cast<BYTE>(received), p[0]);
        s->Release();
    }
    EXPECT_EQ(kSamples, received) << "the producer was left waiting for a returned buffer";
    if (received < kSamples) m_pAlloc->Decommit(); // its GetBuffer gives up
    producer.join();
    for (IMediaSample *s : queue)
        s->Release();
    if (received == kSamples) {
        EXPECT_EQ(3, FreeCount());
    }
}

TEST(CreateMemoryAllocator, HandsOutOneReference)
{
    LONG objects = CBaseObject::ObjectsActive();
    IMemAllocator *pAlloc = nullptr;
    ASSERT_EQ(S_OK, CreateMemoryAllocator(&pAlloc));
    EXPECT_EQ(0u, pAlloc->Release());
    EXPECT_EQ(objects, CBaseObject::ObjectsActive());
    EXPECT_EQ(E_POINTER, CreateMemoryAllocator(nullptr));
}

} // namespace
